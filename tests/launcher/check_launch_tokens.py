#!/usr/bin/env python3
"""Checks launch tokens against an AES-GCM implementation that shares no code
with the program (python3-cryptography over OpenSSL), in both directions:
tokens the program builds must open here, tokens sealed here must pass the
program's check.

usage: check_launch_tokens.py <wine-run> <launch_token_sample.exe> <launch_key_table.cpp>
"""
import base64
import hashlib
import os
import re
import struct
import subprocess
import sys
import time

from cryptography.hazmat.primitives.ciphers.aead import AESGCM


def run_sample(wine_run, sample, *args):
    out = subprocess.run([wine_run, sample, *args], check=True, capture_output=True,
                         text=True, timeout=120).stdout
    return [line.strip() for line in out.splitlines() if line.strip()]


def key_from_source(path):
    text = open(path, encoding="utf-8").read()
    entries = re.findall(r'"([A-Z2-7]{32})"', text)
    if len(entries) != 10:
        sys.exit(f"expected 10 key table entries, found {len(entries)}")
    return hashlib.sha256(entries[0].encode("ascii")).digest()


def seal(key, lead, seconds, trail):
    nonce = os.urandom(12)
    plain = struct.pack(">III", lead, seconds & 0xFFFFFFFF, trail)
    return base64.b64encode(nonce + AESGCM(key).encrypt(nonce, plain, None)).decode()


def main():
    wine_run, sample, key_source = sys.argv[1:4]
    key = key_from_source(key_source)
    failures = []

    lines = run_sample(wine_run, sample, "tokens", "8")
    now = int(lines[0].split()[1])
    tokens = lines[1:]
    if len(tokens) != 8 or len(set(tokens)) != 8:
        failures.append(f"expected 8 different tokens, got {tokens}")
    nonces = set()
    for token in tokens:
        if len(token) != 56:
            failures.append(f"{token!r}: {len(token)} characters")
            continue
        sealed = base64.b64decode(token, validate=True)
        nonce, body = sealed[:12], sealed[12:]
        nonces.add(nonce)
        lead, seconds, trail = struct.unpack(">III", AESGCM(key).decrypt(nonce, body, None))
        if (lead, trail) != (1, 5) or abs(seconds - (now & 0xFFFFFFFF)) > 5:
            failures.append(f"{token}: words {lead}, {seconds}, {trail} (now {now})")
    if len(nonces) != len(tokens):
        failures.append("a nonce repeats")

    now = int(time.time())
    good = seal(key, 1, now, 5)
    tampered = base64.b64encode(
        bytes(b ^ (1 if i == 20 else 0) for i, b in enumerate(base64.b64decode(good)))).decode()
    other_key = hashlib.sha256(b"A" * 32).digest()
    for what, token, expected in [
        ("sealed here", good, "accepted"),
        ("tampered", tampered, "rejected"),
        ("other key", seal(other_key, 1, now, 5), "rejected"),
        ("wrong words", seal(key, 1, now, 6), "rejected"),
        ("expired", seal(key, 1, now - 3600, 5), "rejected"),
    ]:
        verdict = run_sample(wine_run, sample, "check", token)
        if verdict != [expected]:
            failures.append(f"{what}: program said {verdict}, expected {expected}")

    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(tokens)} tokens opened, 5 foreign tokens judged, {len(failures)} failures")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
