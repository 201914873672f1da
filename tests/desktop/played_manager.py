#!/usr/bin/env python3
"""Plays the HotSync manager's socket for the desktop's end-to-end test and
benchmark: the documented JSON lines, version 1. Each `events` subscriber
gets the whole state first; every SIGUSR1 sends all subscribers the events
of one HotSync of "Ana Souza" over the network, start to end, and prints
`ended <monotonic ns>` on standard output the moment its `ended` line is
written. A `quit` request is answered and ends the program.

usage: played_manager.py SOCKET"""
import datetime
import json
import os
import signal
import socket
import sys
import threading
import time

path = sys.argv[1]
subscribers = []
lock = threading.Lock()
seq = 0
hotsync_id = 0
state = {
    "manager": {"pid": os.getpid(), "started": "", "quitting": False},
    "ports": [
        {"port": "usb:", "link": "usb", "condition": "waiting", "since": ""},
        {"port": "net:127.0.0.1:14238", "link": "network", "condition": "waiting", "since": ""},
    ],
    "hotsync": None,
    "queue": [],
    "last": None,
}


def now():
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%dT%H:%M:%SZ")


def line(obj):
    return (json.dumps(obj, separators=(",", ":")) + "\n").encode()


def event(kind, **fields):
    global seq
    seq += 1
    return line({"v": 1, "event": kind, "seq": seq, "time": now(), **fields})


def broadcast(data):
    with lock:
        for s in list(subscribers):
            try:
                s.sendall(data)
            except OSError:
                subscribers.remove(s)


def one_hotsync():
    global hotsync_id
    hotsync_id += 1
    h = {"id": hotsync_id, "origin": "handheld", "port": "net:127.0.0.1:14238", "link": "network", "queued": now()}
    broadcast(event("queued", hotsync=h))
    running = dict(h, started=now(), pid=os.getpid(), percent=0)
    broadcast(event("started", hotsync=running))
    broadcast(event("user", hotsync=hotsync_id, user="Ana Souza"))
    conduit = {"creator": "Tarv", "name": "Tarvo Sync"}
    broadcast(event("conduit-started", hotsync=hotsync_id, conduit=conduit))
    broadcast(event("progress", hotsync=hotsync_id, percent=50, words="Downloading news"))
    time.sleep(0.5)  # long enough for the running state to be seen
    broadcast(event("conduit-ended", hotsync=hotsync_id, conduit=conduit, status=0, words="done"))
    broadcast(event("backup", hotsync=hotsync_id, copied=2, unchanged=5, failed=0, words="backed up"))
    ended = dict(h, user="Ana Souza", started=running["started"], ended=now(), status=0, result="ok",
                 words="HotSync completed")
    data = event("ended", hotsync=ended)
    stamp = time.monotonic_ns()
    broadcast(data)
    print(f"ended {stamp}", flush=True)
    state["last"] = ended


def serve(conn):
    buf = b""
    conn.settimeout(2)
    try:
        while b"\n" not in buf:
            chunk = conn.recv(4096)
            if not chunk:
                return conn.close()
            buf += chunk
    except OSError:
        return conn.close()
    conn.settimeout(None)
    request = json.loads(buf.split(b"\n")[0])
    kind = request.get("request")
    if kind == "events":
        with lock:
            conn.sendall(event("state", state=state))
            subscribers.append(conn)
    elif kind == "state":
        conn.sendall(line({"v": 1, "reply": "state", "state": state}))
        conn.close()
    elif kind == "quit":
        conn.sendall(line({"v": 1, "reply": "quit"}))
        conn.close()
        os._exit(0)
    else:
        conn.sendall(line({"v": 1, "reply": "error", "error": "unknown-request", "message": "not played"}))
        conn.close()


def main():
    os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
    if os.path.exists(path):
        os.unlink(path)
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(path)
    os.chmod(path, 0o600)
    server.listen(8)
    signal.signal(signal.SIGUSR1, lambda *_: threading.Thread(target=one_hotsync, daemon=True).start())
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    print("listening", flush=True)
    while True:
        try:
            conn, _ = server.accept()
        except InterruptedError:
            continue
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


main()
