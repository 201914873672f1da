#!/usr/bin/env bash
# One HotSync with windows: the progress window shows, the login dialog
# asks for the server's credentials and gets them typed, the server sees
# them, and the handheld is updated. Runs under xvfb-run.
# usage: desktop_sync_test.sh BIN_DIR EXAMPLES_DIR
set -euo pipefail
bin=$1
examples=$2
host=$bin/tarvo-hotsync

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-desktop-XXXXXX")
server_pid=
host_pid=
finish() {
  for pid in $host_pid $server_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "desktop test: $*" >&2
  for f in host.out server.out; do [[ -f "$work/$f" ]] && { echo "--- $f" >&2; cat "$work/$f" >&2; }; done
  exit 1
}
# The reference server with these arguments, its URL in $base.
start_server() {
  "$bin/tarvo-syncserver" "$@" >"$work/server.out" 2>&1 &
  server_pid=$!
  base=
  for _ in $(seq 100); do
    line=$(grep -m 1 "^listening on " "$work/server.out" 2>/dev/null || true)
    if [[ "$line" == "listening on "* ]]; then base=${line#listening on }; break; fi
    sleep 0.1
  done
  [[ -n "$base" ]] || fail "the reference server did not start"
}
start_sync() {
  "$host" sync --online --handheld "$work/handheld" >"$work/host.out" 2>&1 </dev/null &
  host_pid=$!
}
# Waits for the HotSync's end, at most $1 times $2 seconds; its status in $status.
wait_sync() {
  status=0
  for _ in $(seq "$1"); do kill -0 "$host_pid" 2>/dev/null || break; sleep "$2"; done
  wait "$host_pid" || status=$?
  host_pid=
}
wait_slow_login() {
  for _ in $(seq 300); do grep -q "cmd=login" "$work/slow.jsonl" 2>/dev/null && break; sleep 0.1; done
  grep -q "cmd=login" "$work/slow.jsonl" || fail "the login request did not reach the slow server"
}
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache"
export TARVO_OPENER=/bin/true
unset TARVO_NO_GUI TARVO_PROGRESS QT_QPA_PLATFORM http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
[[ -n "${DISPLAY:-}" ]] || fail "no X display (run under xvfb-run)"

cp -r "$examples/handheld" "$work/handheld"
"$bin/tarvo-make-example-handheld" --notes "$work/handheld/card0/Tarvo_Notes.pdb"
cp -r "$examples/catalogue" "$work/catalogue"
mkdir -p "$work/catalogue/files"
"$bin/tarvo-make-example-handheld" --news-edition "$work/catalogue/files/Tarvo_News.pdb"

start_server --catalogue "$work/catalogue" --state "$work/state" --log "$work/requests.jsonl"
url=${base}sync
"$host" settings set Comunicacao syncserver "$url" >/dev/null

# No stored credentials: the HotSync asks with the other servers' dialog.
start_sync

timeout 30 xdotool search --sync --onlyvisible --name '^Tarvo Sync 4\.7$' >/dev/null ||
  fail "the progress window did not appear"
login=$(timeout 30 xdotool search --sync --onlyvisible --name '^Login: 127\.0\.0\.1' | head -n 1) ||
  fail "the login dialog did not appear"
# The person types; the first key stops the countdown.
timeout 10 xdotool windowfocus --sync "$login"
xdotool type --delay 30 demo
xdotool key Tab
xdotool type --delay 30 palmtop
xdotool key Return

wait_sync 600 0.1
[[ $status -eq 0 ]] || fail "the host ended with status $status"
grep -q "HotSync finished" "$work/host.out" || fail "the HotSync did not finish"

# The login went out with the typed credentials, scrambled as the conduit sends them.
scrambled=$(printf 'demo' | od -An -tu1 | awk '{for (i = 1; i <= NF; i++) printf "%03d", $i}')
grep -q "cmd=login" "$work/requests.jsonl" || fail "no login request reached the server"
grep -q "$scrambled" "$work/requests.jsonl" || fail "the typed login did not reach the server"
# The server's answer ran on the handheld: its notes were taken and a new edition queued.
"$host" log --handheld "$work/handheld" >"$work/log.out"
grep -q "Tarvo" "$work/log.out" || fail "no HotSync log entry"
ls "$work/state"/users/*/* >/dev/null 2>&1 || fail "the server collected nothing from the handheld"

# Cancelar while a slow server has not answered: the request is broken off
# and the HotSync ends at once, logging its end, the handheld intact.
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true
cat >"$work/slow.json" <<'JSON'
[{"match": {"cmd": "login"}, "delay_ms": 20000, "body": "<tarvoconduit></tarvoconduit>"}]
JSON
start_server --script "$work/slow.json" --log "$work/slow.jsonl"
"$host" settings set Comunicacao syncserver "${base}sync" >/dev/null
"$host" settings set "Demo User\\${base}sync" login 100101109111 >/dev/null
"$host" settings set "Demo User\\${base}sync" senha 112097108109116111112 >/dev/null

start_sync
progress=$(timeout 30 xdotool search --sync --onlyvisible --name '^Tarvo Sync 4\.7$' | head -n 1) ||
  fail "the progress window did not appear"
wait_slow_login
timeout 10 xdotool windowfocus --sync "$progress"
start=$(date +%s%N)
xdotool key Return  # Cancelar is the window's default button
wait_sync 300 0.01
elapsed=$(( ($(date +%s%N) - start) / 1000000 ))
[[ $status -eq 5 ]] || fail "the cancelled HotSync ended with status $status (5: cancelled)"
grep -q "HotSync cancelled" "$work/host.out" || fail "the cancelled HotSync did not end cleanly"
((elapsed < 5000)) || fail "the HotSync took ${elapsed} ms to end after Cancelar"
"$host" handheld list --handheld "$work/handheld" >/dev/null || fail "the handheld does not read back"

# A signal cancels the window's HotSync as Cancelar does.
: >"$work/slow.jsonl"
start_sync
timeout 30 xdotool search --sync --onlyvisible --name '^Tarvo Sync 4\.7$' >/dev/null ||
  fail "the progress window did not appear"
wait_slow_login
start=$(date +%s%N)
kill -TERM "$host_pid"
wait_sync 300 0.01
signalled=$(( ($(date +%s%N) - start) / 1000000 ))
[[ $status -eq 5 ]] || fail "the HotSync SIGTERM cancelled ended with status $status (5: cancelled)"
grep -q "HotSync cancelled" "$work/host.out" || fail "the HotSync SIGTERM cancelled did not end cleanly"
# The conduit's own entries; the host's lines (Conduit, HotSync, Backup) come around them.
"$host" log --user "Demo User" | grep -v -e $'\tConduit ' -e $'\tHotSync ' -e $'\tBackup: ' | tail -n 2 >"$work/log.out"
grep -q " cancelado"$'\t' "$work/log.out" && tail -n 1 "$work/log.out" | grep -q " fim"$'\t' ||
  fail "the desktop log does not end with the cancel and end entries"
((signalled < 5000)) || fail "the HotSync took ${signalled} ms to end after SIGTERM"
echo "desktop test: progress window seen, login typed, HotSync finished; Cancelar ended the next one in ${elapsed} ms, SIGTERM the one after in ${signalled} ms"
