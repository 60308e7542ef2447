#!/usr/bin/env bash
# Start window timings: the real tqVornStart.exe in a scratch installation
# against the update server stand-in, whose only file download stalls after
# 50,000 bytes. Times start -> window visible -> first frame, then Esc ->
# hidden and Esc -> process exit (see start_window_bench.cpp).
#   bench/launcher/start-window-bench.sh [rounds, default 5] [post]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$repo/bench/enter-testnet.sh" start-window-bench "$0" "$@"
rounds="${1:-5}" mode="${2:-}"
source="$(mktemp -d)"
trap 'rm -rf "$source"' EXIT
mkdir -p "$source/lib"
head -c 200000 /dev/urandom >"$source/lib/core.dat"
python3 "$repo/tools/publisher/publish.py" --root "$TQ_UPDATE_ROOT" --target Main \
  --source "$source" >/dev/null
mkdir -p "$TQ_UPDATE_ROOT/External"
: >"$TQ_UPDATE_ROOT/External/published"
# Longer than any round, so that only the program's own cancel ends the wait.
echo 'GET /qvdwn/fdl/Main/*/data/* stall=120000 at=50000' >"$TQ_UPDATE_ROOT/_faults"
"$repo/scripts/wine-run" "$repo/build/x64/bin/start_window_bench.exe" "$rounds" $mode
