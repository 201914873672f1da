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
here=$(cd "$(dirname "$0")" && pwd)

test_name="desktop manager test"
shown=(ui.out ui.err monitor.out handheld.out run/tarvo-hotsync/manager.log)
before_finish() { "$bin/tarvo-hotsync" manager --quit >/dev/null 2>&1 || true; }
source "$here/tray_session.sh"
export TARVO_NO_TTY=1 TARVO_NO_GUI=1
mkdir -p "$XDG_DATA_HOME/tarvo-hotsync"
cp -r "$examples/handheld" "$work/handheld"
printf 'Tarv\nTarv\tmodule\t%s\n' "$conduit" >"$XDG_DATA_HOME/tarvo-hotsync/conduits.conf"

start_tray_and_notifications

"$bin/tarvo-hotsync" manager -r --listen=127.0.0.1:0 >/dev/null 2>&1 || fail "the manager did not start"
log=$XDG_RUNTIME_DIR/tarvo-hotsync/manager.log
wait_for grep -q "listening for network HotSync on port " "$log" || fail "the manager does not listen"
port=$(sed -n 's/.*listening for network HotSync on port \([0-9]*\).*/\1/p' "$log" | tail -n 1)

start_icon
wait_for grep -q "^status: Waiting for a handheld on .*the network" "$work/ui.out" || fail "the status never said it waits"

"$bin/tarvo-handheld" --handheld "$work/handheld" --hotsync "127.0.0.1:$port" >"$work/handheld.out" 2>&1 ||
  fail "the played handheld's HotSync failed"
grep -q "HotSync complete" "$work/handheld.out" || fail "the handheld did not hear a complete HotSync"
wait_for grep -q "^status: HotSync of Demo User over the network" "$work/ui.out" ||
  fail "the status never said the HotSync runs"
wait_for grep -q "^status: Waiting for a handheld on .* | Last HotSync done at" "$work/ui.out" ||
  fail "the status never said the HotSync is done"
expect_one_notification "Demo User"
"$bin/tarvo-hotsync" manager --quit >/dev/null || fail "the manager did not quit"
echo "desktop manager test: the real manager's HotSync ran, then done, one notification"
