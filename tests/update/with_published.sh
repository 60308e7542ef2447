#!/usr/bin/env bash
# Inside the test network: publishes a small fixture folder as the published
# generation of the External target with the operators' publisher, then runs
# the rest of the command line.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
source="$(mktemp -d)"
trap 'rm -rf "$source"' EXIT
mkdir -p "$source/bin" "$source/データ"
printf 'first file\r\n' >"$source/readme.txt"
head -c 150000 /dev/zero | tr '\0' 'q' >"$source/bin/big.dll"
printf 'jp' >"$source/データ/ファイル.txt"
: >"$source/bin/empty.dat"
printf 'MZ' >"$source/tqVornStart.exe"
touch -d '2024-05-06 07:08:09.1234567 UTC' "$source/readme.txt" "$source/bin/big.dll"
python3 "$repo/tools/publisher/publish.py" --root "$TQ_UPDATE_ROOT" --target External \
  --source "$source" --label fixture >/dev/null
"$@"
