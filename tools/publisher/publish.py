#!/usr/bin/env python3
"""Publishes a folder of files as a new generation of one update target.

    publish.py --root SERVER_FOLDER --target Main --source FOLDER [--label TEXT]

Writes SERVER_FOLDER/<target>/generations/<generation>/ with
  updFiles.dat   one line per file: SHA-256 (upper case), size, extra (empty),
                 last-write time as FILETIME (100 ns since 1601-01-01 UTC),
                 path with "/" separators; ordered by the path's UTF-8 bytes
  updHeader.dat  label, number of lines, SHA-256 of updFiles.dat
  data/...       the files, with their modification times
and then makes it the published generation in one atomic step (a rename of
SERVER_FOLDER/<target>/published), so a client sees the old generation or the
complete new one, never a half-published one.

Names the client would refuse are refused here, before anything is written:
empty or dot components, a trailing dot or blank, control characters,
: * ? " < > | and backslashes, device names (CON, PRN, AUX, NUL, CLOCK$,
CONIN$, CONOUT$, COM1-9, LPT1-9, COM/LPT with a superscript 1-3, with any
extension and blanks before it), and two names that differ only in letter
case (Windows would store them as one file).
"""
import argparse
import datetime
import hashlib
import os
import secrets
import shutil
import sys

TARGETS = ("Main", "External", "MyApp")
DEVICES = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"}
SUPERSCRIPTS = ("\u00b9", "\u00b2", "\u00b3")
# 1601-01-01 to 1970-01-01 in 100 ns units.
FILETIME_EPOCH = 116444736000000000


def component_problem(name):
    if name in ("", ".", ".."):
        return "empty or dot component"
    if name.endswith(".") or name.endswith(" "):
        return "ends in a dot or a blank"
    stem = name.split(".", 1)[0].rstrip(" ")
    upper = "".join(c.upper() if "a" <= c <= "z" else c for c in stem)
    if upper in DEVICES:
        return "device name"
    if len(upper) == 4 and upper[:3] in ("COM", "LPT") and "1" <= upper[3] <= "9":
        return "device name"
    if len(upper) == 4 and upper[:3] in ("COM", "LPT") and upper[3] in SUPERSCRIPTS:
        return "device name"
    return None


def path_problem(path):
    """Why the client's path rules would refuse path ("/" separated), or None."""
    if not path:
        return "empty path"
    for c in path:
        if ord(c) < 0x20 or c in ':*?"<>|\\':
            return "character %r" % c
    for name in path.split("/"):
        problem = component_problem(name)
        if problem:
            return problem
    return None


def collect(source):
    """(relative path, full path) of every file below source, in list order."""
    files = []
    for folder, dirs, names in os.walk(source):
        dirs.sort()
        for name in names + [d for d in dirs if os.path.islink(os.path.join(folder, d))]:
            full = os.path.join(folder, name)
            rel = os.path.relpath(full, source).replace(os.sep, "/")
            files.append((rel, full))
    files.sort(key=lambda item: item[0].encode("utf-8", "surrogateescape"))
    return files


def check(files):
    problems = []
    seen = {}
    for rel, full in files:
        try:
            rel.encode("utf-8")
        except UnicodeEncodeError:
            problems.append("%r: not UTF-8" % rel)
            continue
        if os.path.islink(full) or not os.path.isfile(full):
            problems.append("%s: not a regular file" % rel)
            continue
        problem = path_problem(rel)
        if problem:
            problems.append("%s: %s" % (rel, problem))
            continue
        key = rel.upper()
        if key in seen:
            problems.append("%s: same name as %s apart from letter case" % (rel, seen[key]))
        seen[key] = rel
    return problems


def digest_of(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest().upper()


def filetime(ns):
    return FILETIME_EPOCH + ns // 100


def write_synced(path, data):
    with open(path, "wb") as f:
        f.write(data)
        f.flush()
        os.fsync(f.fileno())


def publish(root, target, source, label):
    files = collect(source)
    problems = check(files)
    if problems:
        raise ValueError("refused:\n  " + "\n  ".join(problems))
    target_dir = os.path.join(root, target)
    generations = os.path.join(target_dir, "generations")
    os.makedirs(generations, exist_ok=True)
    stamp = datetime.datetime.now(datetime.timezone.utc).strftime("%Y%m%dT%H%M%SZ")
    generation = "%s-%s" % (stamp, secrets.token_hex(4))
    staging = os.path.join(generations, "." + generation + ".tmp")
    os.makedirs(os.path.join(staging, "data"))
    try:
        lines = []
        for rel, full in files:
            dest = os.path.join(staging, "data", *rel.split("/"))
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            shutil.copy2(full, dest)
            st = os.stat(dest)
            lines.append("%s,%d,,%d,%s\n" % (digest_of(dest), st.st_size,
                                            filetime(st.st_mtime_ns), rel))
        listing = "".join(lines).encode("utf-8")
        write_synced(os.path.join(staging, "updFiles.dat"), listing)
        header = "%s,%d,%s\n" % (label, len(lines), hashlib.sha256(listing).hexdigest().upper())
        write_synced(os.path.join(staging, "updHeader.dat"), header.encode("utf-8"))
        final = os.path.join(generations, generation)
        os.rename(staging, final)
    except BaseException:
        shutil.rmtree(staging, ignore_errors=True)
        raise
    # The one step a client can see.
    pointer = os.path.join(target_dir, "published.tmp")
    write_synced(pointer, generation.encode("utf-8"))
    os.replace(pointer, os.path.join(target_dir, "published"))
    return generation, len(lines)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="the update server's folder")
    parser.add_argument("--target", required=True, choices=TARGETS)
    parser.add_argument("--source", required=True, help="folder of files to publish")
    parser.add_argument("--label", default="tqVorn", help="first field of the header")
    args = parser.parse_args(argv)
    if "," in args.label or any(ord(c) < 0x20 for c in args.label):
        parser.error("the label must not contain commas or control characters")
    if not os.path.isdir(args.source):
        parser.error("no such folder: %s" % args.source)
    try:
        generation, count = publish(args.root, args.target, args.source, args.label)
    except (ValueError, OSError) as error:
        print("publish: %s" % error, file=sys.stderr)
        return 1
    print("published %s generation %s (%d files)" % (args.target, generation, count))
    return 0


if __name__ == "__main__":
    sys.exit(main())
