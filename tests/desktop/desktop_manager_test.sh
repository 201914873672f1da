#!/usr/bin/env bash
# The status icon against the real HotSync manager, on a real X server with
# a real tray (trayer) and session bus with a notification service (dunst),
# watched by dbus-monitor: a played handheld's network HotSync turns the
# icon's status to running and then done, and exactly one notification is
# sent for it. The test conduit runs, so no server is contacted.
# usage: dbus-run-session -- desktop_manager_test.sh BIN_DIR EXAMPLES_DIR TEST_CONDUIT   (under xvfb-run)
set -euo pipefail
bin=$1
examples=$2
conduit=$3

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-manager-ui-XXXXXX")
pids=()
finish() {
  "$bin/tarvo-hotsync" manager --quit >/dev/null 2>&1 || true
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "desktop manager test: $*" >&2
  for f in ui.out ui.err monitor.out handheld.out run/tarvo-hotsync/manager.log; do
    [[ -f "$work/$f" ]] && { echo "--- $f" >&2; cat "$work/$f" >&2; }
  done
  exit 1
}
# Waits up to 20 s for a command to succeed.
wait_for() {
  for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
  return 1
}
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache \
  XDG_RUNTIME_DIR=$work/run TARVO_NO_TTY=1 TARVO_NO_GUI=1
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/tarvo-hotsync" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM
cp -r "$examples/handheld" "$work/handheld"
printf 'Tarv\nTarv\tmodule\t%s\n' "$conduit" >"$XDG_DATA_HOME/tarvo-hotsync/conduits.conf"

dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$work/monitor.out" 2>&1 &
pids+=($!)
dunst >"$work/dunst.out" 2>&1 &
pids+=($!)
trayer --edge top --widthtype request --height 24 >"$work/trayer.out" 2>&1 &
pids+=($!)
wait_for xwininfo -root -name panel >/dev/null 2>&1 || fail "trayer did not show its panel"
wait_for dbus-send --session --print-reply --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
  org.freedesktop.Notifications.GetServerInformation >/dev/null 2>&1 || fail "no notification service on the bus"

"$bin/tarvo-hotsync" manager -r --listen=127.0.0.1:0 >/dev/null 2>&1 || fail "the manager did not start"
log=$XDG_RUNTIME_DIR/tarvo-hotsync/manager.log
wait_for grep -q "listening for network HotSync on port " "$log" || fail "the manager does not listen"
port=$(sed -n 's/.*listening for network HotSync on port \([0-9]*\).*/\1/p' "$log" | tail -n 1)

"$bin/tarvo-hotsync-manager-ui" --verbose >"$work/ui.out" 2>"$work/ui.err" &
pids+=($!)
in_tray() { xwininfo -root -tree | grep -q '("tarvo-hotsync-manager-ui" "tarvo-hotsync-manager")'; }
wait_for in_tray || fail "the icon did not appear in the tray"
wait_for grep -q "^status: Waiting for a handheld on .*the network" "$work/ui.out" || fail "the status never said it waits"

"$bin/tarvo-handheld" --handheld "$work/handheld" --hotsync "127.0.0.1:$port" >"$work/handheld.out" 2>&1 ||
  fail "the played handheld's HotSync failed"
grep -q "HotSync complete" "$work/handheld.out" || fail "the handheld did not hear a complete HotSync"
wait_for grep -q "^status: HotSync of Demo User over the network" "$work/ui.out" ||
  fail "the status never said the HotSync runs"
wait_for grep -q "^status: Waiting for a handheld on .* | Last HotSync done at" "$work/ui.out" ||
  fail "the status never said the HotSync is done"
wait_for grep -q "^notified: HotSync of Demo User done" "$work/ui.out" || fail "the notification was not taken"
sleep 1  # a second notification would come by now
count=$(grep -c "member=Notify" "$work/monitor.out" || true)
[[ "$count" == 1 ]] || fail "$count notifications instead of one"
grep -q '"HotSync of Demo User done"' "$work/monitor.out" || fail "the notification does not name the user"
"$bin/tarvo-hotsync" manager --quit >/dev/null || fail "the manager did not quit"
echo "desktop manager test: the real manager's HotSync ran, then done, one notification"
