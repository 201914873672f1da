# What the status icon's tests under X share: a folder of their own for
# home and the XDG folders, a tray (trayer), a notification service (dunst)
# watched by dbus-monitor, the icon's program, and the checks both make.
# The sourcing script sets `test_name`, `shown` (files to print on failure,
# relative to $work) and may define `before_finish`.
work=$(mktemp -d "${TMPDIR:-/tmp}/tarvo-desktop-XXXXXX")
pids=()
finish() {
  declare -F before_finish >/dev/null && before_finish
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "$test_name: $*" >&2
  for f in "${shown[@]}"; do [[ -f "$work/$f" ]] && { echo "--- $f" >&2; cat "$work/$f" >&2; }; done
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

start_tray_and_notifications() {
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
}

# Starts the icon's program ($bin) and waits until the tray holds it.
start_icon() {
  "$bin/tarvo-hotsync-manager-ui" --verbose >"$work/ui.out" 2>"$work/ui.err" &
  pids+=($!)
  in_tray() { xwininfo -root -tree | grep -q '("tarvo-hotsync-manager-ui" "tarvo-hotsync-manager")'; }
  wait_for in_tray || fail "the icon did not appear in the tray"
  grep -q "no status area" "$work/ui.err" && fail "the program saw no status area"
  return 0
}

# After a HotSync of `user` ended: its notification, and only one.
expect_one_notification() {
  local user=$1
  wait_for grep -q "^notified: HotSync of $user done" "$work/ui.out" || fail "the notification was not taken"
  sleep 1  # a second notification would come by now
  local count
  count=$(grep -c "member=Notify" "$work/monitor.out" || true)
  [[ "$count" == 1 ]] || fail "$count notifications instead of one"
  grep -q "\"HotSync of $user done\"" "$work/monitor.out" || fail "the notification does not name the user"
}
