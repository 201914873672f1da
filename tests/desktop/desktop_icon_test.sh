#!/usr/bin/env bash
# The status icon on a real X server with a real tray (trayer) and a real
# session bus with a notification service (dunst), watched by dbus-monitor:
# the icon is embedded in the tray, a HotSync turns its status to running
# and then done, and exactly one notification is sent for it. The manager is
# played by played_manager.py on the real socket path.
# usage: dbus-run-session -- desktop_icon_test.sh BIN_DIR   (under xvfb-run)
set -euo pipefail
bin=$1
here=$(cd "$(dirname "$0")" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-icon-XXXXXX")
pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "desktop icon test: $*" >&2
  for f in ui.out ui.err monitor.out manager.out; do [[ -f "$work/$f" ]] && { echo "--- $f" >&2; cat "$work/$f" >&2; }; done
  exit 1
}
# Waits up to 20 s for a command to succeed.
wait_for() {
  for _ in $(seq 200); do "$@" && return 0; sleep 0.1; done
  return 1
}
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache \
  XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
unset QT_QPA_PLATFORM

python3 "$here/played_manager.py" "$XDG_RUNTIME_DIR/tarvo-hotsync/manager.sock" >"$work/manager.out" 2>&1 &
manager=$!
pids+=("$manager")
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$work/monitor.out" 2>&1 &
pids+=($!)
dunst >"$work/dunst.out" 2>&1 &
pids+=($!)
trayer --edge top --widthtype request --height 24 >"$work/trayer.out" 2>&1 &
pids+=($!)
wait_for grep -q listening "$work/manager.out" || fail "the played manager did not start"
wait_for xwininfo -root -name panel >/dev/null 2>&1 || fail "trayer did not show its panel"
wait_for dbus-send --session --print-reply --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
  org.freedesktop.Notifications.GetServerInformation >/dev/null 2>&1 || fail "no notification service on the bus"

"$bin/tarvo-hotsync-manager-ui" --verbose >"$work/ui.out" 2>"$work/ui.err" &
pids+=($!)
in_tray() { xwininfo -root -tree | grep -q '("tarvo-hotsync-manager-ui" "tarvo-hotsync-manager")'; }
wait_for in_tray || fail "the icon did not appear in the tray"
grep -q "no status area" "$work/ui.err" && fail "the program saw no status area"
wait_for grep -q "^status: Waiting for a handheld on USB, the network" "$work/ui.out" ||
  fail "the status never said it waits"

kill -USR1 "$manager"
wait_for grep -q "^status: HotSync of Ana Souza over the network: Tarvo Sync, 50%" "$work/ui.out" ||
  fail "the status never said the HotSync runs"
wait_for grep -q "^status: Waiting for a handheld on USB, the network | Last HotSync done at" "$work/ui.out" ||
  fail "the status never said the HotSync is done"
wait_for grep -q "^notified: HotSync of Ana Souza done" "$work/ui.out" || fail "the notification was not taken"
sleep 1  # a second notification would come by now
count=$(grep -c "member=Notify" "$work/monitor.out" || true)
[[ "$count" == 1 ]] || fail "$count notifications instead of one"
grep -q '"HotSync of Ana Souza done"' "$work/monitor.out" || fail "the notification does not name the user"
echo "desktop icon test: in the tray, running, done, one notification"
