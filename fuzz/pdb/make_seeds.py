#!/usr/bin/env python3
"""Writes the fuzzer's seed images (a few tiny databases in the published
layout) into fuzz/seeds/pdb_reader/. Run from anywhere; rerun after changes."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "seeds", "pdb_reader")


def header(name, attrs, app, sort, dbtype, creator, count):
    return (name.ljust(32, b"\0") + struct.pack(">HHIIIIIIIIIIH", attrs, 1, 0xB9000000, 0xB9000001, 0, 3,
                                                 app, sort, dbtype, creator, 0x100, 0, count))


def records(pad, app=b"", sort=b"", recs=()):
    """recs: (attributes, unique id, data); the list is followed by `pad` zero bytes."""
    at = 78 + 8 * len(recs) + pad
    app_at = at if app else 0
    at += len(app)
    sort_at = at if sort else 0
    at += len(sort)
    entries = b""
    for attrs, uid, data in recs:
        entries += struct.pack(">IB", at, attrs) + uid.to_bytes(3, "big")
        at += len(data)
    body = app + sort + b"".join(d for _, _, d in recs)
    return header(b"Seed", 0, app_at, sort_at, 0x44415441, 0x54617276, len(recs)) + entries + b"\0" * pad + body


def resources(res):
    at = 78 + 10 * len(res) + 2
    entries = b""
    for rtype, rid, data in res:
        entries += rtype + struct.pack(">HI", rid, at)
        at += len(data)
    body = b"".join(d for _, _, d in res)
    return header(b"SeedApp", 1, 0, 0, 0x6170706C, 0x54617276, len(res)) + entries + b"\0\0" + body


SEEDS = {
    "records_padded": records(2, b"cats", b"s", [(0x40, 0, b"one"), (0x80, 0, b""), (0x01, 0x123456, b"three")]),
    "records_no_gap": records(0, b"", b"", [(0, 1, b"a"), (0, 2, b"bc")]),
    "empty_with_app_info": records(2, b"Unfiled\0", b"", []),
    "header_only": header(b"Bare", 0, 0, 0, 0x44415441, 0x54617276, 0),
    "resources": resources([(b"tSTR", 1000, b"hello\0"), (b"code", 0, b"\x4e\x75"), (b"tver", 1000, b"1.0\0")]),
}

os.makedirs(OUT, exist_ok=True)
for name, image in SEEDS.items():
    with open(os.path.join(OUT, name + (".prc" if name == "resources" else ".pdb")), "wb") as f:
        f.write(image)
