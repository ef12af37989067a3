#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package from this build tree, checks what it holds, and
# starts the unpacked program through its PATH link on the test's X server.
# Exits 77 (skipped) when a packaging tool is missing.
#   package.sh CPACK CPACK_CONFIG VERSION
set -euo pipefail
cpack=$1
config=$2
version=$3

skip() { echo "SKIP: $1"; exit 77; }
[ -x "$cpack" ] || skip "cpack is missing"
for tool in dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev xdotool:xdotool; do
    command -v "${tool%%:*}" >/dev/null || skip "${tool%%:*} is missing (Debian package ${tool#*:})"
done

work=$(realpath "$(mktemp -d)")
program=
cleanup() {
    [ -z "$program" ] || kill "$program" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

"$cpack" --config "$config" -B "$work/out" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "expected one .deb, got: ${debs[*]}"; exit 1; }
deb=${debs[0]}

fail() { echo "FAIL: $1"; exit 1; }
[ "$(dpkg-deb -f "$deb" Version)" = "$version-1" ] || fail "version is not $version-1"
depends=$(dpkg-deb -f "$deb" Depends)
for package in ffmpeg libqt6widgets6 libc6; do
    grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package: $depends"
done
# The pictures are drawn at build time; nothing loads SVG at run time.
! grep -q svg <<<"$depends" || fail "Depends names an SVG package: $depends"


# Exactly these files: no tests, benchmarks or build tools.
root=$work/root
dpkg-deb -x "$deb" "$root"
share=usr/share
expected=(usr/bin/quorvane usr/libexec/quorvane/quorvane usr/libexec/quorvane/HAND-M.CUR
          usr/libexec/quorvane/drag.ico $share/applications/org.example.quorvane.desktop
          $share/metainfo/org.example.quorvane.metainfo.xml $share/man/man1/quorvane.1.gz
          $share/doc/quorvane/copyright $share/doc/quorvane/changelog.Debian.gz
          $share/icons/hicolor/scalable/apps/org.example.quorvane.svg)
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expected+=("$share/icons/hicolor/${size}x$size/apps/org.example.quorvane.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) \
     <(cd "$root" && find . ! -type d | sed 's|^\./||' | sort) || fail "unexpected package contents"

# The first upload to Debian would close its request-for-packaging bug; this
# package is not uploaded there.
if command -v lintian >/dev/null; then
    # It leaves a cache file behind in its temporary folder: this one goes with the rest.
    TMPDIR=$work lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs \
        "$deb" || fail "lintian"
else
    echo "lintian is not installed (Debian package lintian): the package is not linted"
fi

if command -v appstreamcli >/dev/null; then
    # Metainfo, .desktop entry and icon must agree with each other.
    appstreamcli validate-tree --no-net "$root" || fail "appstreamcli validate-tree"
fi

# Started the way the menu entry starts it, with an empty PATH so that no
# browser can open whatever the start-up draw.
mkdir "$work/empty-path"
env PATH="$work/empty-path" "$root/usr/bin/quorvane" &
program=$!
window=
for _ in $(seq 200); do
    window=$(xdotool search --onlyvisible --name '^Quorvane$' 2>/dev/null | head -n 1) || true
    [ -n "$window" ] && break
    kill -0 "$program" 2>/dev/null || fail "the program ended before showing its window"
    sleep 0.1
done
[ -n "$window" ] || fail "no window within 20 s"

# Through the link, the program's folder is the real file's, where the file
# list above put the pointer files.
running=$(readlink "/proc/$program/exe")
[ "$running" = "$root/usr/libexec/quorvane/quorvane" ] || fail "running $running"
# Its pictures are PNG, drawn at build time: nothing SVG is loaded to start.
! grep -i svg "/proc/$program/maps" || fail "SVG code loaded at start"
echo "window $window of $running"
