#!/usr/bin/env python3
"""Writes the demo's sample suite: a few dozen files of the two targets,
one of them large enough that the file bar visibly moves.

  demo-suite.py <suite folder> <tqVornMain.exe to ship>
"""
import os
import random
import shutil
import sys

suite, main_exe = sys.argv[1], sys.argv[2]
rng = random.Random(20261211)
courses = ["Tokyo", "Nakayama", "Kyoto", "Hanshin", "Chukyo", "Niigata", "Sapporo", "Kokura"]


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


main = os.path.join(suite, "Main")
shutil.copyfile(main_exe, os.path.join(main, "tqVornMain.exe"))
for course in courses:
    for month in range(1, 4):
        rows = ["race,horse,finish,time"]
        for race in range(1, 13):
            for horse in range(1, rng.randint(9, 17)):
                rows.append(f"{race},{horse},{rng.randint(1, 18)},{rng.uniform(58, 150):.1f}")
        write(os.path.join(main, "Data", course, f"2026-{month:02}.csv"),
              ("\n".join(rows) + "\n").encode())
write(os.path.join(main, "Help", "はじめに.txt"), "競馬データ分析スイートへようこそ。\n".encode())
write(os.path.join(main, "Data", "history.bin"), rng.randbytes(48 * 1024 * 1024))

external = os.path.join(suite, "External")
for name in ("odds-feed.cfg", "weather.cfg", "jockeys.tsv"):
    write(os.path.join(external, name), rng.randbytes(rng.randint(200, 4000)))
