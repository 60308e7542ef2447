#!/usr/bin/env bash
# Local file hashing benchmark under Wine: ComputeFileSha256 against a bare
# CNG loop over the same file.   bench/http/file-hash-bench.sh [size in MiB, default 1024]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$repo/scripts/env.sh"
file="$repo/build/x64/bench-hash.bin"
trap 'rm -f "$file"' EXIT
head -c "$((${1:-1024} * 1048576))" /dev/urandom >"$file"
"$repo/scripts/wine-run" "$repo/build/x64/bin/file_hash_bench.exe" "Z:${file//\//\\}"
