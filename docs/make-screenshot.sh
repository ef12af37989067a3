#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Photographs the real window on a private X server: idle, or with "running"
# in the middle of a run, with the pointer resting on the progress bar so that
# its tool tip shows.
# Usage: docs/make-screenshot.sh PATH-TO-quorvane OUTPUT.png [running]
set -euo pipefail
program=$(realpath "$1")
output=$(realpath -m "$2")
mode=${3:-idle}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The program's PATH holds the encoder alone, so the start-up draw can never
# reach a browser; a run needs a video long enough to be caught half done.
mkdir "$work/bin" "$work/videos"
arguments=()
if [ "$mode" = running ]; then
    ln -s "$(command -v ffmpeg)" "$work/bin/ffmpeg"
    ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=1280x720:rate=25:duration=120 \
        -c:v mpeg4 -q:v 5 "$work/videos/Summer trip.mkv"
    arguments=("$work/videos/Summer trip.mkv")
fi

bash "$(dirname "$(realpath "$0")")/../tests/xserver.sh" --screen 1024x768 bash -c '
    set -euo pipefail
    program=$1 path=$2 output=$3 mode=$4
    shift 4
    env PATH="$path" QT_QPA_PLATFORM=xcb "$program" "$@" &
    pid=$!
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^Quorvane$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "${id:-}" ] || { echo "the window did not appear" >&2; kill $pid; exit 1; }
    sleep 1
    if [ "$mode" = running ]; then
        xdotool mousemove --window "$id" 364 176 click 1   # Start
        sleep 0.3
        xdotool mousemove --window "$id" 220 237            # over the bar
        sleep 3
        # The tool tip is a window of its own: take the screen around the window.
        eval "$(xdotool getwindowgeometry --shell "$id")"
        /usr/bin/import -window root -crop "700x300+$((X - 10))+$((Y - 10))" "$output"
    else
        /usr/bin/import -window "$id" "$output"
    fi
    kill $pid
' _ "$program" "$work/bin" "$output" "$mode" "${arguments[@]}"
echo "wrote $output"
