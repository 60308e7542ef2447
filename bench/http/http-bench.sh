#!/usr/bin/env bash
# Download benchmark: one large file from the stand-in server inside the test
# network, fetched by the verified download, by a bare WinHTTP+CNG loop (both
# under Wine, in one process) and by curl + sha256sum natively.
#   bench/http/http-bench.sh [size in MiB, default 1024]
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
if [ "${TQ_TESTNET_INSIDE:-}" != 1 ]; then
  . "$repo/scripts/env.sh"
  tq_xvfb_up
  tq_wineserver_up
  host="$(sed -n 's/^TQ_TEST_UPDATE_HOST:STRING=//p' "$repo/build/x64/CMakeCache.txt")"
  exec "$repo/scripts/testnet" "$repo/build/x64/testnet/bench" "$host" "$0" "${1:-1024}" "$host"
fi
mib="$1" host="$2"
gen="$TQ_UPDATE_ROOT/Main/generations/bench/data"
mkdir -p "$gen"
head -c "$((mib * 1048576))" /dev/urandom >"$gen/big.bin"
echo bench >"$TQ_UPDATE_ROOT/Main/published"
sha="$(sha256sum "$gen/big.bin" | cut -d' ' -f1)"
"$repo/scripts/wine-run" "$repo/build/x64/bin/http_download_bench.exe" \
  /qvdwn/fdl/Main/bench/data/big.bin "$((mib * 1048576))" "$sha"
start=$(date +%s%N)
curl -s "https://$host/qvdwn/fdl/Main/bench/data/big.bin" -o "$TQ_UPDATE_ROOT/curl.bin"
sha256sum "$TQ_UPDATE_ROOT/curl.bin" >/dev/null
ms=$((($(date +%s%N) - start) / 1000000))
echo "curl + sha256sum: $((ms / 1000)).$(printf '%03d' $((ms % 1000))) s $((mib * 1000 / ms)) MiB/s"
rm -f "$gen/big.bin" "$TQ_UPDATE_ROOT/curl.bin"
