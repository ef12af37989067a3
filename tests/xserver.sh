#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command on an X server of its own and exits with the command's status.
#   xserver.sh [--screen WxH] COMMAND [ARGUMENT...]     (1280x1024 by default)
# The server takes the first free display number itself and tells it through
# -displayfd, so runners started at once never meet on one display. It is
# stopped however the command ends, and takes its socket with it; only a
# runner killed outright (as ctest does on a timeout) leaves the socket file,
# which the next server on that number replaces.
set -uo pipefail

screen=1280x1024
if [ "${1:-}" = --screen ]; then
    screen=${2:?--screen needs a size, e.g. 1024x768}
    shift 2
fi
[ $# -gt 0 ] || { echo "usage: $0 [--screen WxH] COMMAND [ARGUMENT...]" >&2; exit 2; }
command -v Xvfb >/dev/null || { echo "Xvfb is missing (Debian package xvfb)" >&2; exit 1; }

server=
client=
stop() {
    [ -z "$client" ] || kill "$client" 2>/dev/null
    # TERM, not KILL: only then does the server remove its socket.
    [ -z "$server" ] || { kill "$server" 2>/dev/null && wait "$server" 2>/dev/null; }
}
trap stop EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# The server's standard output carries only its display number. Its standard
# error complains of every number it finds taken on the way to a free one:
# only those complaints are left out.
coproc XVFB {
    exec Xvfb -displayfd 1 -screen 0 "${screen}x24" -nolisten tcp \
        2> >(grep -Ev --line-buffered '^_XSERVTrans(SocketUNIXCreateListener|MakeAllCOTSServerListeners): ' >&2)
}
server=${XVFB_PID:-}
if ! read -r -t 30 -u "${XVFB[0]:-}" display || [[ ! $display =~ ^[0-9]+$ ]]; then
    echo "Xvfb did not start" >&2
    exit 1
fi

# In the background, so that a signal reaches the trap at once rather than
# when the command ends; with this standard input, not the background's /dev/null.
DISPLAY=:$display "$@" <&0 &
client=$!
wait "$client"
status=$?
client=
exit "$status"
