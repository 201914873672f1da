#!/usr/bin/env python3
"""The status icon's costs, on a real X server, tray and session bus:
how often it wakes while idle, its resident memory, and the time from a
HotSync's `ended` line on the manager's socket to the new status and to the
notification the service took. The manager is played on its socket
(tests/desktop/played_manager.py); times use one monotonic clock.

usage: xvfb-run -a dbus-run-session -- bench_desktop_icon BIN_DIR [IDLE_SECONDS [ROUNDS]]"""
import glob
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

bin_dir = sys.argv[1]
idle_seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 60
rounds = int(sys.argv[3]) if len(sys.argv) > 3 else 10
played = os.path.join(os.path.dirname(os.path.realpath(__file__)), "played_manager.py")
if not os.path.exists(played):
    played = os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "tests", "desktop", "played_manager.py")

work = tempfile.mkdtemp(prefix="tarvo-icon-bench-")
env = dict(os.environ, HOME=work, XDG_CONFIG_HOME=f"{work}/config", XDG_DATA_HOME=f"{work}/data",
           XDG_CACHE_HOME=f"{work}/cache", XDG_RUNTIME_DIR=f"{work}/run")
env.pop("QT_QPA_PLATFORM", None)
os.makedirs(f"{work}/run", mode=0o700)
children = []


def start(args, **kw):
    p = subprocess.Popen(args, env=env, **kw)
    children.append(p)
    return p


def switches(pid):
    total = 0
    for status in glob.glob(f"/proc/{pid}/task/*/status"):
        with open(status) as f:
            for line in f:
                if line.startswith(("voluntary_ctxt_switches", "nonvoluntary_ctxt_switches")):
                    total += int(line.split()[1])
    return total


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS"):
                return int(line.split()[1])
    return 0


def read_until(stream, prefix):
    while True:
        line = stream.readline()
        if not line:
            raise SystemExit(f"bench: the program ended before printing {prefix!r}")
        if line.startswith(prefix):
            return time.monotonic_ns(), line


try:
    manager = start([sys.executable, played, f"{work}/run/tarvo-hotsync/manager.sock"], stdout=subprocess.PIPE, text=True)
    manager.stdout.readline()  # listening
    start(["dunst"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    start(["trayer", "--edge", "top", "--widthtype", "request", "--height", "24"], stderr=subprocess.DEVNULL)
    time.sleep(1)
    ui = start([f"{bin_dir}/tarvo-hotsync-manager-ui", "--verbose"], stdout=subprocess.PIPE, text=True)
    read_until(ui.stdout, "status: Waiting")
    time.sleep(2)  # settled

    before = switches(ui.pid)
    time.sleep(idle_seconds)
    woke = switches(ui.pid) - before
    print(f"idle {idle_seconds:.0f} s: {woke} wake-ups over all threads ({woke / idle_seconds:.2f}/s), "
          f"resident {rss_kib(ui.pid) / 1024:.1f} MiB")

    to_status, to_notified = [], []
    for _ in range(rounds):
        os.kill(manager.pid, 10)  # SIGUSR1: one HotSync
        ended = int(manager.stdout.readline().split()[1])
        shown, _ = read_until(ui.stdout, "status: Waiting for a handheld on USB, the network | Last HotSync done")
        notified, _ = read_until(ui.stdout, "notified: ")
        to_status.append((shown - ended) / 1e6)
        to_notified.append((notified - ended) / 1e6)
    print(f"HotSync end -> status shown: median {statistics.median(to_status):.1f} ms, max {max(to_status):.1f} ms "
          f"({rounds} rounds)")
    print(f"HotSync end -> notification taken: median {statistics.median(to_notified):.1f} ms, "
          f"max {max(to_notified):.1f} ms (goal <= 200 ms)")
finally:
    for p in reversed(children):
        p.terminate()
    for p in children:
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()
    shutil.rmtree(work, ignore_errors=True)
