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

test_name="desktop icon test"
shown=(ui.out ui.err monitor.out manager.out)
source "$here/tray_session.sh"

python3 "$here/played_manager.py" "$XDG_RUNTIME_DIR/tarvo-hotsync/manager.sock" >"$work/manager.out" 2>&1 &
manager=$!
pids+=("$manager")
wait_for grep -q listening "$work/manager.out" || fail "the played manager did not start"
start_tray_and_notifications

start_icon
wait_for grep -q "^status: Waiting for a handheld on USB, the network" "$work/ui.out" ||
  fail "the status never said it waits"

kill -USR1 "$manager"
wait_for grep -q "^status: HotSync of Ana Souza over the network: Tarvo Sync, 50%" "$work/ui.out" ||
  fail "the status never said the HotSync runs"
wait_for grep -q "^status: Waiting for a handheld on USB, the network | Last HotSync done at" "$work/ui.out" ||
  fail "the status never said the HotSync is done"
expect_one_notification "Ana Souza"
echo "desktop icon test: in the tray, running, done, one notification"
