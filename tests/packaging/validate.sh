#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one validator on one file; anything beyond AppStream's pedantic notes
# fails. Exits 77 (skipped) when the validator is not installed.
#   validate.sh metainfo|desktop|manpage FILE
set -uo pipefail
kind=$1
file=$2

need() {
    command -v "$1" >/dev/null || { echo "SKIP: $1 is not installed (Debian package $2)"; exit 77; }
}

case $kind in
metainfo)
    need appstreamcli appstream
    out=$(appstreamcli validate --no-net --pedantic "$file" 2>&1)
    status=$?
    printf '%s\n' "$out"
    [ "$status" -eq 0 ] && ! grep -Eq '^[EW]:' <<<"$out"
    ;;
desktop)
    need desktop-file-validate desktop-file-utils
    out=$(desktop-file-validate "$file" 2>&1)
    status=$?
    printf '%s\n' "$out"
    [ "$status" -eq 0 ] && [ -z "$out" ]
    ;;
manpage)
    need groff groff
    out=$(LC_ALL=C.UTF-8 groff -man -ww -z "$file" 2>&1)
    status=$?
    if command -v man >/dev/null; then
        # As lintian renders manual pages; its words start on a line of their own.
        out+=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 \
               >/dev/null | sed '1s/^/\n/') || status=1
    else
        echo "man is not installed (Debian package man-db): checked with groff only"
    fi
    printf '%s\n' "$out"
    [ "$status" -eq 0 ] && [ -z "$out" ]
    ;;
*)
    echo "unknown kind: $kind" >&2
    exit 2
    ;;
esac
