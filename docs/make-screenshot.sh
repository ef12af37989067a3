#!/usr/bin/env bash
# Photographs the real window on a private X server.
# Usage: docs/make-screenshot.sh PATH-TO-quorvane OUTPUT.png
set -euo pipefail
program=$(realpath "$1")
output=$(realpath -m "$2")
empty_path=$(mktemp -d)
trap 'rm -rf "$empty_path"' EXIT

xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" bash -c '
    set -euo pipefail
    # No PATH for the program: the start-up draw can never reach a browser.
    env PATH="$2" QT_QPA_PLATFORM=xcb "$1" &
    pid=$!
    for _ in $(seq 100); do
        id=$(xdotool search --onlyvisible --name "^Quorvane$" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "${id:-}" ] || { echo "the window did not appear" >&2; kill $pid; exit 1; }
    sleep 1
    /usr/bin/import -window "$id" "$3"
    kill $pid
' _ "$program" "$empty_path" "$output"
echo "wrote $output"
