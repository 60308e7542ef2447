#!/usr/bin/env bash
# Local file hashing benchmark under Wine: ComputeFileSha256 against a bare
# CNG loop over the same file, interleaved round by round; prints a markdown
# table of medians.
#   bench/http/file-hash-bench.sh [size in MiB, default 1024] [rounds, default 7]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$repo/scripts/env.sh"
mib="${1:-1024}" rounds="${2:-7}"
file="$repo/build/x64/bench-hash.bin"
trap 'rm -f "$file"' EXIT
head -c "$((mib * 1048576))" /dev/urandom >"$file"
runs="$("$repo/scripts/wine-run" "$repo/build/x64/bin/file_hash_bench.exe" \
  "Z:${file//\//\\}" "$rounds" | tr -d '\r')"
printf '%s\n' "$runs" >&2
printf '%s\n' "$runs" | python3 "$repo/bench/http/bench_table.py" hash "$mib" "$rounds"
