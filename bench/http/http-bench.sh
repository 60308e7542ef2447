#!/usr/bin/env bash
# Download benchmark inside the private test network: one large file of random
# bytes on the update server stand-in, fetched five ways per round —
# http_download_bench.exe (Wine) in its modes read, bare, bare-write and
# verified, and curl + sha256sum natively. The order rotates from round to
# round, every path starts with the file in the server's page cache and with no
# dirty pages of an earlier path pending (sync), and one discarded read pass
# warms Wine and the server first. Prints a markdown table of medians.
#
#   bench/http/http-bench.sh [size in MiB, default 1024] [rounds, default 5]
#
# TQ_BENCH_PATHS="read bare ..." picks other paths (the exe also knows
# bare-1MiB: the bare loop with 1 MiB reads).
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
. "$repo/bench/enter-testnet.sh" bench "$0" "$@"
mib="${1:-1024}" rounds="${2:-5}" host="$TQ_BENCH_HOST"
size=$((mib * 1048576))
gen="$TQ_UPDATE_ROOT/Main/generations/bench/data"
results="$TQ_UPDATE_ROOT/bench-results.txt"
curl_file="$TQ_UPDATE_ROOT/curl.bin"
trap 'rm -f "$gen/big.bin" "$curl_file"' EXIT
mkdir -p "$gen"
head -c "$size" /dev/urandom >"$gen/big.bin"
echo bench >"$TQ_UPDATE_ROOT/Main/published"
sha="$(sha256sum "$gen/big.bin" | cut -d' ' -f1)"
request=/qvdwn/fdl/Main/bench/data/big.bin
: >"$results"

wine_path() {
  local line
  line="$("$repo/scripts/wine-run" "$repo/build/x64/bin/http_download_bench.exe" \
    "$1" "$request" "$size" "$sha" | tr -d '\r' | grep '^RESULT ')" || true
  case "$line" in
    "RESULT $1 ok "*) echo "$line" | cut -d' ' -f2,4,6 >>"$results" ;;
    *) echo "http-bench: $1 failed: $line" >&2; exit 1 ;;
  esac
}

curl_path() {
  local start end got
  start=$(date +%s%N)
  curl -sf "https://$host$request" -o "$curl_file"
  got="$(sha256sum "$curl_file" | cut -d' ' -f1)"
  end=$(date +%s%N)
  rm -f "$curl_file"
  [ "$got" = "$sha" ] || { echo "http-bench: curl digest differs" >&2; exit 1; }
  awk -v ns=$((end - start)) 'BEGIN { printf "curl %.3f 0\n", ns / 1e9 }' >>"$results"
}

run_path() {
  sync
  cat "$gen/big.bin" >/dev/null
  if [ "$1" = curl ]; then curl_path; else wine_path "$1"; fi
}

read -r -a paths <<<"${TQ_BENCH_PATHS:-read bare bare-write verified curl}"
"$repo/scripts/wine-run" "$repo/build/x64/bin/http_download_bench.exe" \
  read "$request" "$size" "$sha" >/dev/null
for ((round = 0; round < rounds; ++round)); do
  for ((i = 0; i < ${#paths[@]}; ++i)); do
    path="${paths[$(((round + i) % ${#paths[@]}))]}"
    run_path "$path"
    echo "round $((round + 1)): $(tail -n 1 "$results")" >&2
  done
done

python3 "$repo/bench/http/bench_table.py" download "$mib" "$rounds" <"$results"
