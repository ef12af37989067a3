#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Farms a folder with GNU parallel over two logins that share it: this machine
# (":") and an ssh login to a private sshd on 127.0.0.1, where the program has
# no display. Then the two ways of running again only where work is left.
# Exits 77 (skipped) when a tool is missing.
#   farm.sh QUORVANE
set -euo pipefail
program=$1

skip() { echo "SKIP: $1"; exit 77; }
fail() { echo "FAIL: $1"; exit 1; }
sshd=$(command -v sshd || echo /usr/sbin/sshd)
[ -x "$sshd" ] || skip "sshd is missing (Debian package openssh-server)"
for tool in ssh:openssh-client ssh-keygen:openssh-client parallel:parallel ffmpeg:ffmpeg; do
    command -v "${tool%%:*}" >/dev/null || skip "${tool%%:*} is missing (Debian package ${tool#*:})"
done
# moreutils has a parallel of its own, with other options.
parallel --will-cite --version </dev/null 2>/dev/null | grep -q '^GNU parallel' ||
    skip "parallel is not GNU parallel (Debian package parallel)"

work=$(realpath "$(mktemp -d)")
server=
privsep=
cleanup() {
    [ -z "$server" ] || { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; } || true
    [ -z "$privsep" ] || rmdir "$privsep" || true
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
# parallel keeps what it learns of each login in its home: here, not in ~.
export PARALLEL_HOME=$work/parallel TMPDIR=$work/tmp
mkdir -p "$PARALLEL_HOME" "$TMPDIR"

user=$(id -un)
ssh-keygen -q -t ed25519 -N '' -f "$work/host_key"
ssh-keygen -q -t ed25519 -N '' -f "$work/client_key"
cp "$work/client_key.pub" "$work/authorized_keys"
# StrictModes off: the keys lie below /tmp, which anyone may write to.
printf '%s\n' "ListenAddress 127.0.0.1" "HostKey $work/host_key" "PidFile $work/sshd.pid" \
    "AuthorizedKeysFile $work/authorized_keys" "AllowUsers $user" "UsePAM no" \
    "PermitRootLogin prohibit-password" "PasswordAuthentication no" "StrictModes no" \
    >"$work/sshd_config"
# As root, sshd insists on its privilege separation folder; made only if missing.
if [ "$(id -u)" -eq 0 ] && [ ! -d /run/sshd ]; then
    mkdir -m 0755 /run/sshd
    privsep=/run/sshd
fi

# A free port without a race: sshd binds a random one itself, and exits when
# it is taken, so another is tried.
port=
for _ in $(seq 20); do
    candidate=$((20000 + RANDOM % 40000))
    "$sshd" -D -e -f "$work/sshd_config" -p "$candidate" 2>"$work/sshd.log" </dev/null &
    server=$!
    for _ in $(seq 100); do
        grep -q "Server listening on 127.0.0.1 port $candidate" "$work/sshd.log" &&
            { port=$candidate; break 2; }
        kill -0 "$server" 2>/dev/null || break
        sleep 0.1
    done
    { kill "$server" 2>/dev/null; wait "$server" 2>/dev/null; } || true
    server=
done
[ -n "$port" ] || { cat "$work/sshd.log"; fail "sshd did not start on any port tried"; }

# Only the server's own key is trusted.
echo "farm $(cut -d' ' -f1,2 "$work/host_key.pub")" >"$work/known_hosts"
printf '%s\n' "Host farm" "HostName 127.0.0.1" "Port $port" "User $user" "HostKeyAlias farm" \
    "IdentityFile $work/client_key" "UserKnownHostsFile $work/known_hosts" "BatchMode yes" \
    >"$work/ssh_config"
remote=(ssh -F "$work/ssh_config" farm)
# The login starts afresh: no display reaches the program there.
"${remote[@]}" 'test -z "${DISPLAY+set}"' </dev/null ||
    { cat "$work/sshd.log"; fail "no ssh login, or it has DISPLAY"; }

videos=$work/videos
mkdir "$videos"
for i in 1 2 3 4 5 6 7 8; do
    ffmpeg -nostdin -v error -f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg4 \
        "$videos/clip $i.mkv"
done
printf '1/%s\n' : "${remote[*]}" >"$work/logins"

# The manual's recipe: every source in a steady order, one job each.
sources() { find "$videos" -name '*.mkv' -print0 | sort -z; }
farm() {
    parallel -0 --will-cite --sshloginfile "$work/logins" --joblog "$work/jobs.log" "$@" \
        -q "$program" --convert --json {} >>"$work/results.json" 2>>"$work/messages.txt"
}
one_output_each() {
    diff <(find "$videos" -name '*.mkv' | sed 'p; s/mkv$/wmv/' | sort) \
        <(find "$videos" -type f -size +0 | sort) || fail "not one output per source"
}
sources | farm || { cat "$work/messages.txt"; fail "parallel reported failed jobs"; }
cat "$work/jobs.log"
one_output_each
# Seq Host Starttime JobRuntime Send Receive Exitval Signal Command
[ "$(tail -n +2 "$work/jobs.log" | cut -f7,8 | sort | uniq -c | xargs)" = "8 0 0" ] ||
    fail "not 8 jobs that all exited with 0"
diff <(printf '%s\n' : "${remote[*]}" | sort) <(tail -n +2 "$work/jobs.log" | cut -f2 | sort -u) ||
    fail "not both logins were used"
[ "$(grep -c '"outcome":"converted"' "$work/results.json")" -eq 8 ] || fail "not 8 converted lines"

# Again with the same log: every job succeeded, so none runs.
sources | farm --resume-failed || fail "the resumed run failed"
[ "$(wc -l <"$work/jobs.log")" -eq 9 ] || fail "the resumed run ran jobs"

# Only where an output is missing: that source alone runs.
rm "$videos/clip 3.wmv" "$work/jobs.log"
sources | while IFS= read -r -d '' f; do [ -e "${f%.*}.wmv" ] || printf '%s\0' "$f"; done |
    farm || fail "the run over missing outputs failed"
jobs=$(tail -n +2 "$work/jobs.log")
[ "$(wc -l <<<"$jobs")" -eq 1 ] && [ "$(cut -f7 <<<"$jobs")" = 0 ] && grep -qF "/clip 3.mkv" <<<"$jobs" ||
    { cat "$work/jobs.log"; fail "not clip 3 alone ran"; }
one_output_each
echo "PASS"
