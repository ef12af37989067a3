#!/bin/bash
# SPDX-License-Identifier: MIT
# Records what ffmpeg and ffprobe say about a small corpus of awkward Matroska
# sources, so the conversion tests read the very text the program reads at run
# time instead of text written by hand.
#
#   tools/record-ffmpeg-fixtures.sh [TOOLS [VERSION]]
#
# TOOLS is a folder holding an ffmpeg, an ffprobe or both (default: the ones on
# PATH); VERSION names the recording (default: the tools' own "X.Y", which
# static builds of a development snapshot do not carry). The sources are always
# made by the ffmpeg on PATH, so every version reads the same bytes.
#
# For every kind of source KIND it writes, into tests/convert/data/ffmpeg-<VERSION>/:
#   KIND.probe.json         what the program's ffprobe call prints (with an ffprobe)
#   KIND.stderr.txt         what the plain ffmpeg command prints, then "exit=N";
#                           without an ffmpeg, the same listing as ffprobe prints it
#   KIND.after.stderr.txt   what the command the program runs prints, for the
#                           kinds where that command differs (with an ffmpeg)
#
# Sources are generated from lavfi test patterns, so nothing large is stored.
# The work folder is removed afterwards unless QUORVANE_KEEP_WORK=1 is set, in
# which case its path is printed and the sources and outputs stay for study.
set -euo pipefail

repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
tool() { # tool NAME: the folder's, or the one on PATH; empty when there is none
    if [[ -n ${tools:-} ]]; then
        if [[ -x $tools/$1 ]]; then echo "$tools/$1"; fi
    else
        command -v "$1" || true
    fi
}
tools=${1:-}
encoder=$(tool ffmpeg)
prober=$(tool ffprobe)
if [[ -z $encoder && -z $prober ]]; then
    echo "no ffmpeg or ffprobe in ${tools:-PATH}" >&2
    exit 2
fi
version=${2:-$("${encoder:-$prober}" -version |
    sed -n '1s/^ff[a-z]* version \([0-9]*\.[0-9]*\).*/\1/p')}
if [[ -z $version ]]; then
    echo "the tools tell no version: name it after the folder" >&2
    exit 2
fi
out=$repo/tests/convert/data/ffmpeg-$version
mkdir -p "$out"

work=$(mktemp -d)
if [[ ${QUORVANE_KEEP_WORK:-0} == 1 ]]; then
    echo "work folder: $work"
else
    trap 'rm -rf "$work"' EXIT
fi
src=$work/src     # the sources and the outputs, shown as /videos in the fixtures
keep=$work/keep   # outputs moved aside so a later run writes the same file name
mkdir -p "$src" "$keep"

# Generated sources must not carry the version of the library that made them
# or a random segment id, so a rerun gives the same bytes and the same text.
bitexact=(-fflags +bitexact -flags:v +bitexact -flags:a +bitexact)
generate() {
    ffmpeg -nostdin -hide_banner -loglevel error -y "$@"
}
# testsrc2 rounds its size down to even in a subsampled format; asked for RGB
# it keeps an odd size, and the encoder's own conversion takes it from there.
pattern() { # pattern SIZE SECONDS [RATE]
    echo "testsrc2=s=$1:r=${3:-25}:d=$2,format=gbrp"
}
h264=(-c:v libx264 -preset veryfast -pix_fmt yuv420p)

cat >"$work/subs.srt" <<'EOF'
1
00:00:00,000 --> 00:00:01,500
The first stream is this subtitle.
EOF
generate -f lavfi -i "testsrc=s=64x64:d=1" -frames:v 1 "${bitexact[@]}" "$work/cover.png"
cover=(-attach "$work/cover.png" -metadata:s:t mimetype=image/png
       -metadata:s:t filename=cover.png)

generate -f lavfi -i "$(pattern 320x240 2)" -f lavfi -i sine=d=2 \
    "${h264[@]}" -c:a aac "${bitexact[@]}" "$src/plain.mkv"
generate -f lavfi -i "$(pattern 320x240 2)" -f lavfi -i sine=d=2 -map 1:a -map 0:v \
    "${h264[@]}" -c:a aac "${bitexact[@]}" "$src/sound-first.mkv"
generate -i "$work/subs.srt" -f lavfi -i "$(pattern 320x240 2)" -f lavfi -i sine=d=2 \
    -map 0:s -map 1:v -map 2:a -c:s srt "${h264[@]}" -c:a aac "${bitexact[@]}" \
    "$src/subtitle-first.mkv"
# The Matroska reader shows an image attachment as a video stream marked
# "attached pic"; a picture muxed as a track of its own would be a real video.
generate -f lavfi -i sine=d=2 -c:a flac "${cover[@]}" "${bitexact[@]}" "$src/cover-only.mkv"
generate -f lavfi -i "$(pattern 320x240 2)" -f lavfi -i sine=d=2 \
    "${h264[@]}" -c:a aac "${cover[@]}" "${bitexact[@]}" "$src/cover-video.mkv"
generate -f lavfi -i "$(pattern 721x405 2)" -c:v libvpx-vp9 -deadline realtime \
    -cpu-used 8 -b:v 1M -pix_fmt yuv420p "${bitexact[@]}" "$src/odd-width-vp9.mkv"
generate -f lavfi -i "$(pattern 321x240 2)" -c:v libx264 -preset veryfast \
    -pix_fmt yuv444p "${bitexact[@]}" "$src/odd-width-444.mkv"
generate -f lavfi -i "$(pattern 3x3 2)" -c:v ffv1 -pix_fmt yuv420p "${bitexact[@]}" \
    "$src/tiny-lossless.mkv"
# Every picture is cut away before the encoder sees one: the track is declared
# with its size but holds no frame. Asking for zero frames instead leaves a
# file the reader cannot open at all.
generate -f lavfi -i "$(pattern 320x240 2)" -f lavfi -i sine=d=2 -vf trim=start=100 \
    "${h264[@]}" -c:a aac "${bitexact[@]}" "$src/no-frames.mkv"

generate -f lavfi -i "$(pattern 320x240 4)" -f lavfi -i sine=d=4 \
    "${h264[@]}" -c:a aac "${bitexact[@]}" "$src/cut-off.mkv"
truncate -s $(( $(stat -c %s "$src/cut-off.mkv") / 2 )) "$src/cut-off.mkv"

# One cluster for the whole file, so the damage sits inside the cluster the
# reader is walking rather than between clusters it can resynchronise on.
generate -f lavfi -i "$(pattern 320x240 4)" -f lavfi -i sine=d=4 \
    "${h264[@]}" -c:a aac -cluster_time_limit 100000 -cluster_size_limit 100000000 \
    "${bitexact[@]}" "$src/garbage-cluster.mkv"
# A keyed stream cipher over zeros: noise that is the same on every run.
head -c 65536 /dev/zero |
    openssl enc -aes-128-ctr -nosalt -pbkdf2 -pass pass:quorvane >"$work/noise"
size=$(stat -c %s "$src/garbage-cluster.mkv")
dd if="$work/noise" of="$src/garbage-cluster.mkv" bs=1 conv=notrunc status=none \
    seek=$(( size / 2 - 32768 ))

# Real interlaced pictures: two fields from two moments of a 50 fps pattern.
# The video flags come after the bitexact ones, which they would replace.
interlaced=(-flags:v +bitexact+ildct+ilme -top 1 -field_order tt)
generate -f lavfi -i "$(pattern 1920x1080 2 50),interlace=scan=tff" \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -x264-params tff=1 \
    "${bitexact[@]}" "${interlaced[@]}" "$src/interlaced-h264.mkv"
generate -f lavfi -i "$(pattern 720x576 2 50),interlace=scan=tff" \
    -c:v mpeg2video -b:v 8M "${bitexact[@]}" "${interlaced[@]}" \
    "$src/interlaced-mpeg2.mkv"

# The pattern's own light, carried into BT.2020 with SDR white at 100 nits,
# so a tone-mapped result can be set against the same pattern left in SDR.
for trc in smpte2084 arib-std-b67; do
    case $trc in smpte2084) kind=hdr-pq ;; *) kind=hdr-hlg ;; esac
    generate -f lavfi -i "$(pattern 640x360 2),zscale=tin=bt709:pin=bt709:rin=full:t=$trc:p=bt2020:m=bt2020nc:r=tv:npl=100,format=yuv420p10le" \
        -c:v libx265 -preset ultrafast \
        -x265-params "log-level=error:colorprim=bt2020:transfer=$trc:colormatrix=bt2020nc" \
        -color_primaries bt2020 -color_trc "$trc" -colorspace bt2020nc \
        "${bitexact[@]}" "$src/$kind.mkv"
done

# Pictures only from 10 s on, sound from 0. Without passthrough the constant
# frame rate rule would fill the first ten seconds with copies of one picture.
generate -itsoffset 10 -f lavfi -i "$(pattern 320x240 3)" -f lavfi -i sine=d=13 \
    -map 0:v -map 1:a -fps_mode:v passthrough "${h264[@]}" -c:a aac "${bitexact[@]}" \
    "$src/late-start.mkv"

# Progress lines end in a carriage return and there are as many as the run is
# long; keeping the first and the last tells the whole story in a few lines.
trim_progress() {
    tr '\r' '\n' <"$1" | awk '
        { line[NR] = $0; progress[NR] = /frame=/ && /time=/ }
        progress[NR] { if (!first) first = NR; last = NR }
        END { for (i = 1; i <= NR; i++)
                  if (!progress[i] || i == first || i == last) print line[i] }'
}

# record STEM KIND MAP [FILTERS]: runs the command the program runs, with no
# terminal on stdin, and writes what it printed and how it ended. Without an
# encoder, the probe tool's listing of the source stands for its.
record() {
    local stem=$1 kind=$2 map=$3 filters=${4:-} rc=0
    local args=(-i "$src/$kind.mkv" -map "$map" -an)
    if [[ -n $filters ]]; then args+=(-vf "$filters"); fi
    args+=(-vcodec wmv2 -b 5872k -r 25.00 "$src/$kind.wmv")
    if [[ -n $encoder ]]; then
        "$encoder" "${args[@]}" </dev/null 2>"$work/stderr" || rc=$?
    else
        "$prober" -i "$src/$kind.mkv" </dev/null 2>"$work/stderr" || rc=$?
    fi
    { trim_progress "$work/stderr"; echo "exit=$rc"; } |
        sed "s|$src|/videos|g" >"$out/$stem.stderr.txt"
    if [[ -e $src/$kind.wmv ]]; then mv "$src/$kind.wmv" "$keep/$stem.wmv"; fi
}

probe() {
    if [[ -z $prober ]]; then return; fi
    "$prober" -v error -hide_banner -of json -show_entries \
        format=duration,start_time:stream=index,codec_type,width,height,field_order,color_transfer,start_time,duration:stream_disposition=attached_pic:stream_tags \
        -i "$src/$1.mkv" | sed "s|$src|/videos|g" >"$out/$1.probe.json"
}

odd='scale=w='\''iw+mod(iw,2)'\'':h=ih'
deint='yadif=deint=interlaced'
# zscale takes the source's colours from the decoded frames, and a stream that
# tags only its transfer leaves it with no path between colour spaces; naming
# the input transfer, BT.2020 primaries and matrix, and BT.709 primaries in the
# first step works whether the rest is tagged or not.
tonemap() { # tonemap TRANSFER
    echo "zscale=tin=$1:pin=bt2020:min=bt2020nc:t=linear:p=bt709:npl=100,format=gbrpf32le,tonemap=tonemap=hable:desat=0,zscale=t=bt709:m=bt709:r=tv,format=yuv420p"
}

# kind, then the stream the program maps and the filters it adds; "-" where the
# program runs the legacy command unchanged, "none" where it runs nothing.
while read -r kind map filters; do
    probe "$kind"
    record "$kind" "$kind" 0:0
    if [[ -z $encoder || $map == - || $map == none ]]; then continue; fi
    record "$kind.after" "$kind" "$map" "${filters/#-/}"
done <<EOF
plain - -
sound-first 0:1 -
subtitle-first 0:1 -
cover-only none -
cover-video - -
odd-width-vp9 0:0 $odd
odd-width-444 0:0 $odd
tiny-lossless 0:0 $odd
no-frames - -
cut-off - -
garbage-cluster - -
interlaced-h264 0:0 $deint
interlaced-mpeg2 0:0 $deint
hdr-pq 0:0 $(tonemap smpte2084)
hdr-hlg 0:0 $(tonemap arib-std-b67)
late-start - -
EOF
echo "fixtures written to $out"
