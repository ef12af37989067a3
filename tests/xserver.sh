#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command on an X server of its own and exits with the command's status.
#   xserver.sh [--screen WxH] [--window-manager] COMMAND [ARGUMENT...]
# The screen is 1280x1024 unless given. With --window-manager, openbox frames
# the command's windows (under a title bar of over twice the usual height, so
# that whatever is measured from a frame rather than from the client area is
# well off), and the command finds QUORVANE_TEST_WINDOW_MANAGER=openbox.
# The server takes the first free display number itself and tells it through
# -displayfd, so runners started at once never meet on one display. It is
# stopped however the command ends, and takes its socket with it; only a
# runner killed outright (as ctest does on a timeout) leaves the socket file,
# which the next server on that number replaces.
set -uo pipefail

screen=1280x1024
manager=
while [ $# -gt 0 ]; do
    case $1 in
    --screen) screen=${2:?--screen needs a size, e.g. 1024x768}; shift 2 ;;
    --window-manager) manager=openbox; shift ;;
    *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--screen WxH] [--window-manager] COMMAND..." >&2; exit 2; }
for tool in Xvfb $manager; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (Debian package ${tool,,})" >&2; exit 1; }
done

server=
manager_pid=
client=
stop() {
    [ -z "$client" ] || kill "$client" 2>/dev/null
    [ -z "$manager_pid" ] || kill "$manager_pid" 2>/dev/null
    # TERM, not KILL: only then does the server remove its socket.
    [ -z "$server" ] || { kill "$server" 2>/dev/null && wait "$server" 2>/dev/null; }
}
trap stop EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The server's standard output carries only its display number. Its standard
# error complains of every number it finds taken on the way to a free one:
# only those complaints are left out. It never resets: by default it does
# whenever its last client leaves, and refuses whoever connects meanwhile.
coproc XVFB {
    exec Xvfb -displayfd 1 -screen 0 "${screen}x24" -nolisten tcp -noreset \
        2> >(grep -Ev --line-buffered '^_XSERVTrans(SocketUNIXCreateListener|MakeAllCOTSServerListeners): ' >&2)
}
server=${XVFB_PID:-}
if ! read -r -t 30 -u "${XVFB[0]:-}" display || [[ ! $display =~ ^[0-9]+$ ]]; then
    echo "Xvfb did not start" >&2
    exit 1
fi

export DISPLAY=:$display
if [ -n "$manager" ]; then
    openbox --sm-disable --config-file "$(dirname "$(realpath "$0")")/openbox.xml" &
    manager_pid=$!
    # Windows mapped once it has claimed the screen are framed.
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        kill -0 "$manager_pid" 2>/dev/null || break
        sleep 0.1
    done
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' ||
        { echo "openbox did not start" >&2; exit 1; }
    export QUORVANE_TEST_WINDOW_MANAGER=$manager
fi

# In the background, so that a signal reaches the trap at once rather than
# when the command ends; with this standard input, not the background's /dev/null.
"$@" <&0 &
client=$!
wait "$client"
status=$?
client=
exit "$status"
