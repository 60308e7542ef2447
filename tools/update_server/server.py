#!/usr/bin/env python3
"""Stand-in for the update server: HTTPS on loopback, serving published
generations from a folder, with faults injected on command for the tests.

Folder layout (written by tools/publisher/publish.py, or by a test):
  <root>/<target>/published               the published generation's name
  <root>/<target>/generations/<gen>/...   updHeader.dat, updFiles.dat, data/

Requests:
  POST /qvdwn/sts/<target>                200, body = published generation ("" if none)
  GET  /qvdwn/fdl/<target>/<gen>/<file>   200 with the file, 409 if <gen> is not
                                          the published one, 404 if missing

Faults: <root>/_faults holds one rule a line, "<METHOD> <path glob> <action>...",
read on every request; its use counters restart whenever its text changes.
Actions (space separated, key=value):
  status=N        answer N with a short body
  drop=N          announce the whole body, send N bytes, close
  length=N        announce Content-Length N, send the real body, close
  nolength        no Content-Length; the body ends when the connection closes
  flip=K          flip the bits of body byte K
  stall=MS        wait MS before the answer, or (with at=N) after N body bytes
  endless         no Content-Length, bytes without end
  publish=GEN     make GEN the published generation of the path's target first
  bodyhex=HEX     answer 200 with these bytes (status requests)
  times=N         apply to the first N matching requests only
Every request is appended to <root>/_requests.log as "<METHOD> <path>".
"""
import argparse
import fnmatch
import http.server
import os
import socket
import ssl
import sys
import threading
import time
import urllib.parse

ROOT = ""
STATE_LOCK = threading.Lock()
STATE = {"text": None, "used": []}
STREAM_CHUNK = 1 << 20


def read_rules():
    try:
        with open(os.path.join(ROOT, "_faults"), encoding="utf-8") as f:
            text = f.read()
    except OSError:
        text = ""
    rules = []
    for line in text.splitlines():
        parts = line.split()
        if len(parts) < 3 or line.lstrip().startswith("#"):
            continue
        options = {}
        for item in parts[2:]:
            key, _, value = item.partition("=")
            options[key] = value
        rules.append((parts[0], parts[1], options))
    return text, rules


def take_rule(method, path):
    """The first matching rule with uses left, counted as used."""
    with STATE_LOCK:
        text, rules = read_rules()
        if text != STATE["text"]:
            STATE["text"] = text
            STATE["used"] = [0] * len(rules)
        for index, (m, pattern, options) in enumerate(rules):
            if m != method or not fnmatch.fnmatchcase(path, pattern):
                continue
            times = options.get("times")
            if times is not None and STATE["used"][index] >= int(times):
                continue
            STATE["used"][index] += 1
            return options
    return {}


def published(target):
    try:
        with open(os.path.join(ROOT, target, "published"), encoding="utf-8") as f:
            return f.read().strip()
    except OSError:
        return ""


def publish(target, generation):
    temp = os.path.join(ROOT, target, "published.tmp")
    with open(temp, "w", encoding="utf-8") as f:
        f.write(generation)
    os.replace(temp, os.path.join(ROOT, target, "published"))


def is_name(text):
    return text not in ("", ".", "..") and "/" not in text and "\\" not in text


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "tqUpdateStandIn/1.0"
    # Headers and body leave in separate writes; with Nagle on, the body of a
    # small answer waits for the client's delayed ACK (about 40 ms a request).
    disable_nagle_algorithm = True

    def log_message(self, *args):
        pass

    def do_POST(self):
        self.handle_request("POST")

    def do_GET(self):
        self.handle_request("GET")

    def handle_request(self, method):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        with STATE_LOCK:
            with open(os.path.join(ROOT, "_requests.log"), "a", encoding="utf-8") as log:
                log.write(f"{method} {self.path}\n")
        fault = take_rule(method, self.path)
        # Paths arrive percent-encoded or as raw UTF-8; both name the same file.
        raw = urllib.parse.unquote_to_bytes(self.path.encode("latin-1"))
        try:
            parts = raw.decode("utf-8").split("/")
        except UnicodeDecodeError:
            self.answer(404, b"not found\n", {})
            return
        if "publish" in fault and len(parts) > 3:
            publish(parts[3], fault["publish"])
        if "stall" in fault and "at" not in fault:
            time.sleep(int(fault["stall"]) / 1000)
        if "status" in fault:
            self.answer(int(fault["status"]), b"fault\n", {})
            return
        if "bodyhex" in fault:
            self.answer(200, bytes.fromhex(fault["bodyhex"]), fault)
            return
        status, body = self.resolve(method, parts)
        if isinstance(body, str):
            if not fault:
                self.stream(body)
                return
            with open(body, "rb") as f:
                body = f.read()
        self.answer(status, body, fault if status == 200 else {})

    def stream(self, path):
        """A file without faults, sent from disk whatever its size."""
        with open(path, "rb") as f:
            size = os.fstat(f.fileno()).st_size
            self.send_response_only(200)
            self.send_header("Content-Length", str(size))
            self.send_header("Content-Type", "application/octet-stream")
            self.end_headers()
            # One reused buffer and whole-buffer TLS writes: no per-chunk
            # allocation, so the stand-in spends its time in the cipher.
            buffer = bytearray(STREAM_CHUNK)
            view = memoryview(buffer)
            try:
                while True:
                    count = f.readinto(buffer)
                    if not count:
                        break
                    self.connection.sendall(view[:count])
            except (OSError, ssl.SSLError):
                self.close_connection = True

    def resolve(self, method, parts):
        # parts: "", "qvdwn", "sts"|"fdl", target, ...
        if len(parts) < 4 or parts[1] != "qvdwn" or not is_name(parts[3]):
            return 404, b"not found\n"
        target = parts[3]
        if not os.path.isdir(os.path.join(ROOT, target)):
            return 404, b"unknown target\n"
        if method == "POST" and parts[2] == "sts" and len(parts) == 4:
            return 200, published(target).encode("utf-8")
        if method == "GET" and parts[2] == "fdl" and len(parts) >= 6:
            generation = parts[4]
            if generation != published(target):
                return 409, b"generation changed\n"
            names = parts[5:]
            if not all(is_name(n) for n in names):
                return 404, b"not found\n"
            path = os.path.join(ROOT, target, "generations", generation, *names)
            if not os.path.isfile(path):
                return 404, b"not found\n"
            return 200, path
        return 404, b"not found\n"

    def answer(self, status, body, fault):
        if "flip" in fault and int(fault["flip"]) < len(body):
            k = int(fault["flip"])
            body = body[:k] + bytes([body[k] ^ 0xFF]) + body[k + 1:]
        close = bool(fault)
        self.send_response_only(status)
        if "nolength" in fault or "endless" in fault:
            close = True
        elif "length" in fault:
            self.send_header("Content-Length", fault["length"])
        else:
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Content-Type", "application/octet-stream")
        if close:
            self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = close
        try:
            if "endless" in fault:
                chunk = b"\x5a" * 65536
                while True:
                    self.wfile.write(chunk)
            if "drop" in fault:
                body = body[: int(fault["drop"])]
            if "stall" in fault and "at" in fault:
                at = int(fault["at"])
                self.wfile.write(body[:at])
                self.wfile.flush()
                time.sleep(int(fault["stall"]) / 1000)
                body = body[at:]
            self.wfile.write(body)
            self.wfile.flush()
        except (OSError, ssl.SSLError):
            self.close_connection = True


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    global ROOT
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert", required=True)
    parser.add_argument("--key", required=True)
    parser.add_argument("--address", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--ready-file", help="written once the server accepts connections")
    parser.add_argument("--max-seconds", type=int, default=1800,
                        help="stop by itself after this long")
    args = parser.parse_args()
    ROOT = os.path.abspath(args.root)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server = Server((args.address, args.port), Handler)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    parent = os.getppid()

    def watchdog():
        # Stop with the script that started us, or after the time limit.
        deadline = time.monotonic() + args.max_seconds
        while time.monotonic() < deadline and os.getppid() == parent:
            time.sleep(0.5)
        os._exit(0)

    threading.Thread(target=watchdog, daemon=True).start()
    if args.ready_file:
        with open(args.ready_file, "w", encoding="utf-8") as f:
            f.write(str(os.getpid()))
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
