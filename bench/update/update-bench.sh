#!/usr/bin/env bash
# Update worker benchmark, in the private test network against the update
# server stand-in, with generations published by the operators' publisher:
#
#   full      1,000 small files + 8 x 64 MiB into an empty install folder:
#             DownloadExec vs bare WinHTTP+CNG (same Wine, one connection,
#             nothing written; and again writing each body to a new file, the
#             least any installer does) vs curl + sha256sum natively (one curl process
#             for every URL, so one connection); also DownloadVerifiedFile
#             alone over the data files (the download layer without the worker)
#   small     the 1,000 small files alone, the same three ways (per-request cost)
#   noop-main 10,000 files, 1 GiB, all current, Main (digests checked):
#             DownloadExec vs a bare CNG loop over the same files; also
#             CompareLocalFiles alone
#   noop-ext  100,000 files, all current, External (size and time only):
#             DownloadExec and CompareLocalFiles alone, time per file
#   big       one 2 GiB file fetched by DownloadExec: peak working set above idle
#
# Every round runs each scenario's paths back to back, alternating which goes
# first; the table gives the median and the spread (min-max) over the rounds.
#
#   bench/update/update-bench.sh [--rounds N] [--quick] [--only "SCENARIO..."] [--keep]
#
# --quick shrinks every size (a smoke run of the script itself, not a result);
# --only runs the named scenarios (default: all five); --keep leaves the
# generated files and the update's run logs in build/x64/testnet/update-bench.
# Build first: cmake --build --preset x64 --target update_bench. Needs curl.
set -euo pipefail
repo="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
if [ "${TQ_TESTNET_INSIDE:-}" != 1 ]; then
  command -v curl >/dev/null || { echo "update-bench: curl is missing" >&2; exit 1; }
  [ -x "$repo/build/x64/bin/update_bench.exe" ] || {
    echo "update-bench: build update_bench first (cmake --build --preset x64 --target update_bench)" >&2
    exit 1
  }
fi
. "$repo/bench/enter-testnet.sh" update-bench "$0" "$@"

rounds=3 quick=0 host="$TQ_BENCH_HOST" keep=0 only="small full noop-main noop-ext big"
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --quick) quick=1; shift ;;
    --only) only="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    *) echo "update-bench: unknown argument $1" >&2; exit 2 ;;
  esac
done

if [ "$quick" = 1 ]; then
  small_count=100 big_count=2 big_mib=4 noop_count=1000 noop_mib=16 ext_count=2000 huge_mib=64
else
  small_count=1000 big_count=8 big_mib=64 noop_count=10000 noop_mib=1024 ext_count=100000 huge_mib=2048
fi

bench="$repo/build/x64/bin/update_bench.exe"
work="$(dirname "$TQ_UPDATE_ROOT")/work"
rm -rf "$work"
mkdir -p "$work"
[ "$keep" = 1 ] || trap 'rm -rf "$work" "$TQ_UPDATE_ROOT"' EXIT
wanted() { [[ " $only " == *" $1 "* ]]; }
win() { printf 'Z:%s' "${1//\//\\}"; }
wine_bench() { "$repo/scripts/wine-run" "$bench" "$@"; }
now_ns() { date +%s%N; }

# ---- generate and publish -------------------------------------------------
echo "update-bench: generating and publishing (quick=$quick)" >&2
# Writes <count> files of random bytes below <folder>, 100 to a subfolder,
# sizes spread evenly from 1 byte to twice the mean so they add up to about
# <total bytes>.
make_files() {
  python3 - "$@" <<'EOF'
import os, random, sys
folder, count, total = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(count)
mean = total // count
for i in range(count):
    sub = os.path.join(folder, "d%04d" % (i // 100))
    os.makedirs(sub, exist_ok=True)
    with open(os.path.join(sub, "f%06d.bin" % i), "wb") as f:
        f.write(os.urandom(rng.randint(1, 2 * mean - 1)))
EOF
}
# Publishes <folder> as <target> and prints the generation's name; the
# source folder goes (the server keeps its own copy).
publish() {
  local out
  out="$(python3 "$repo/tools/publisher/publish.py" --root "$TQ_UPDATE_ROOT" --target "$1" \
    --source "$2" --label bench)"
  rm -rf "$2"
  sed -n 's/^published [A-Za-z]* generation \([^ ]*\) .*/\1/p' <<<"$out"
}
# Makes <generation> (possibly empty) the published one of <target>.
set_published() {
  mkdir -p "$TQ_UPDATE_ROOT/$1"
  printf '%s' "$2" >"$TQ_UPDATE_ROOT/$1/published.tmp"
  mv "$TQ_UPDATE_ROOT/$1/published.tmp" "$TQ_UPDATE_ROOT/$1/published"
}
data_of() { printf '%s/%s/generations/%s/data' "$TQ_UPDATE_ROOT" "$1" "$2"; }

mkdir -p "$work/src"
if wanted small; then
  make_files "$work/src" "$small_count" $((small_count * 32768))
  gen_small="$(publish Main "$work/src")"
fi
if wanted full; then
  make_files "$work/src" "$small_count" $((small_count * 32768))
  mkdir -p "$work/src/large"
  for i in $(seq "$big_count"); do
    head -c $((big_mib * 1048576)) /dev/urandom >"$work/src/large/big$i.bin"
  done
  gen_full="$(publish Main "$work/src")"
fi
# Installations that are already current: hard links keep size and time.
if wanted noop-main; then
  make_files "$work/src" "$noop_count" $((noop_mib * 1048576))
  gen_noop="$(publish Main "$work/src")"
  mkdir -p "$work/noop-main/UserData/Common/Temp"
  cp -al "$(data_of Main "$gen_noop")/." "$work/noop-main/"
fi
if wanted noop-ext; then
  make_files "$work/src" "$ext_count" $((ext_count * 512))
  gen_ext="$(publish External "$work/src")"
  mkdir -p "$work/noop-ext/External" "$work/noop-ext/UserData/Common/Temp"
  cp -al "$(data_of External "$gen_ext")/." "$work/noop-ext/External/"
fi
if wanted big; then
  mkdir -p "$work/src"
  # One byte short of 2 GiB: Wine's WinHTTP reads a Content-Length through a
  # 32-bit signed conversion and ends every body at 2^31 - 1 bytes, so a
  # file of 2 GiB or more never completes under Wine (the download refuses
  # the short body). Windows is not affected.
  head -c $((huge_mib * 1048576 - 1)) /dev/urandom >"$work/src/huge.bin"
  gen_huge="$(publish Main "$work/src")"
fi
set_published External ""
set_published Main ""

# The request paths of a generation, manifests first (what the update fetches).
request_list() {
  local target="$1" gen="$2" root
  root="$(dirname "$(data_of "$target" "$gen")")"
  printf '/qvdwn/fdl/%s/%s/updHeader.dat\n/qvdwn/fdl/%s/%s/updFiles.dat\n' \
    "$target" "$gen" "$target" "$gen"
  (cd "$root/data" && find . -type f | sed 's|^\./||' | LC_ALL=C sort) |
    sed "s|^|/qvdwn/fdl/$target/$gen/data/|"
}
fetch_scenarios=()
for s in small full; do
  wanted "$s" || continue
  fetch_scenarios+=("$s")
  eval "gen=\$gen_$s"
  request_list Main "$gen" >"$work/$s.list"
  i=0
  while read -r path; do
    i=$((i + 1))
    printf 'url = "https://%s%s"\noutput = "%s/curl-out/%d"\n' "$host" "$path" "$work" "$i"
  done <"$work/$s.list" >"$work/$s.curl"
  eval "${s}_files=\$((\$(wc -l <"\$work/\$s.list") - 2))"
done

# ---- measured paths --------------------------------------------------------
results="$work/results"
: >"$results"
record() { printf '%s %s %s\n' "$1" "$2" "$3" >>"$results"; }  # scenario path seconds
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p" <<<"$2"; }

run_update() {  # scenario root expected
  local out
  mkdir -p "$2/UserData/Common/Temp"
  if ! out="$(wine_bench update "$(win "$2")" "$(win "$2/UserData/Common/Temp")" "$3")"; then
    echo "  $1 update FAILED: $out; the run log ends:" >&2
    tail -n 25 "$2"/UserData/Common/Temp/*.mlg >&2 || true
    exit 1
  fi
  echo "  $1 update: $out" >&2
  record "$1" update "$(field seconds "$out")"
  last_update="$out"
}
run_fetch() {  # scenario
  local out
  out="$(wine_bench fetch "$(win "$work/$1.list")")"
  echo "  $1 bare: $out" >&2
  record "$1" bare "$(field seconds "$out")"
}
run_fetch_write() {  # scenario: the bare loop writing each body to a new file
  local out
  rm -rf "$work/bare-out"
  mkdir -p "$work/bare-out"
  out="$(wine_bench fetch "$(win "$work/$1.list")" "$(win "$work/bare-out")")"
  echo "  $1 bare-write: $out" >&2
  record "$1" bare-write "$(field seconds "$out")"
  rm -rf "$work/bare-out"
}
run_curl() {  # scenario
  local start ms
  rm -rf "$work/curl-out"
  mkdir -p "$work/curl-out"
  start=$(now_ns)
  curl -sS --fail -K "$work/$1.curl"
  (cd "$work/curl-out" && find . -type f -print0 | xargs -0 sha256sum >/dev/null)
  ms=$((($(now_ns) - start) / 1000000))
  echo "  $1 curl: $ms ms" >&2
  record "$1" curl "$(printf '%d.%03d' $((ms / 1000)) $((ms % 1000)))"
  rm -rf "$work/curl-out"
}
run_download() {  # scenario: DownloadVerifiedFile alone, no worker
  local gen out
  eval "gen=\$gen_$1"
  rm -rf "$work/download"
  mkdir -p "$work/download"
  out="$(wine_bench download "$(win "$(dirname "$(data_of Main "$gen")")")" \
    "/qvdwn/fdl/Main/$gen/data/" "$(win "$work/download")")"
  echo "  $1 download: $out" >&2
  record "$1" download "$(field seconds "$out")"
  rm -rf "$work/download"
}
run_hash() {  # scenario root
  local temp="$2/UserData/Common/Temp" out
  out="$(wine_bench hash "$(win "$2")" "$(win "$temp/updHeader_Main.dat")" \
    "$(win "$temp/updFiles_Main.dat")")"
  echo "  $1 bare: $out" >&2
  record "$1" bare "$(field seconds "$out")"
}
run_compare() {  # scenario folder target digests
  local temp="$2/UserData/Common/Temp" folder="$2" out
  [ "$3" = External ] && folder="$2/External"
  out="$(wine_bench compare "$(win "$folder")" "$(win "$temp/updHeader_$3.dat")" \
    "$(win "$temp/updFiles_$3.dat")" "$4")"
  echo "  $1 compare: $out" >&2
  record "$1" compare "$(field seconds "$out")"
}

for round in $(seq "$rounds"); do
  echo "update-bench: round $round of $rounds" >&2
  for s in "${fetch_scenarios[@]}"; do
    eval "gen=\$gen_$s"
    eval "expected=\$${s}_files"
    set_published Main "$gen"
    set_published External ""
    paths=(update download bare bare-write curl)
    [ $((round % 2)) = 0 ] && paths=(curl bare-write bare download update)
    for p in "${paths[@]}"; do
      case "$p" in
        update) rm -rf "$work/install"; run_update "$s" "$work/install" "$expected" ;;
        download) run_download "$s" ;;
        bare) run_fetch "$s" ;;
        bare-write) run_fetch_write "$s" ;;
        curl) run_curl "$s" ;;
      esac
    done
    rm -rf "$work/install"
  done

  if wanted noop-main; then
  set_published Main "$gen_noop"
  set_published External ""
  paths=(update bare compare)
  [ $((round % 2)) = 0 ] && paths=(compare bare update)
  # The manifest copies the hash and compare passes read come from an update.
  [ -f "$work/noop-main/UserData/Common/Temp/updFiles_Main.dat" ] || paths=(update bare compare)
  for p in "${paths[@]}"; do
    case "$p" in
      update) run_update noop-main "$work/noop-main" 0 ;;
      bare) run_hash noop-main "$work/noop-main" ;;
      compare) run_compare noop-main "$work/noop-main" Main 1 ;;
    esac
  done
  fi

  if wanted noop-ext; then
  set_published Main ""
  set_published External "$gen_ext"
  paths=(update compare)
  [ $((round % 2)) = 0 ] && [ -f "$work/noop-ext/UserData/Common/Temp/updFiles_External.dat" ] &&
    paths=(compare update)
  for p in "${paths[@]}"; do
    case "$p" in
      update) run_update noop-ext "$work/noop-ext" 0 ;;
      compare) run_compare noop-ext "$work/noop-ext" External 0 ;;
    esac
  done
  fi
done

huge_peak=- huge_sampled=-
if wanted big; then
  echo "update-bench: one ${huge_mib} MiB file" >&2
  set_published Main "$gen_huge"
  set_published External ""
  rm -rf "$work/install"
  run_update big "$work/install" 1
  huge_peak="$(field peak_above_idle_mib "$last_update")"
  huge_sampled="$(field sampled_above_idle_mib "$last_update")"
  [ "$keep" = 1 ] || rm -rf "$work/install"
fi

# ---- table -----------------------------------------------------------------
stats() {  # scenario path -> "median min max"
  awk -v s="$1" -v p="$2" '$1 == s && $2 == p { print $3 }' "$results" | sort -g |
    awk '{ v[NR] = $1 } END {
      if (NR == 0) { print "- - -"; exit }
      m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'
}
cell() { set -- $(stats "$1" "$2"); printf '%s s (%s–%s)' "$1" "$2" "$3"; }
median() { set -- $(stats "$1" "$2"); printf '%s' "$1"; }
ratio() { awk -v a="$(median "$1" "$2")" -v b="$(median "$1" "$3")" 'BEGIN { printf "%.2f", a / b }'; }
per_file_ms() { awk -v t="$(median "$1" "$2")" -v n="$3" 'BEGIN { printf "%.3f", t * 1000 / n }'; }
full_mib=$(((small_count * 32768 + big_count * big_mib * 1048576) / 1048576))

echo
echo "Update worker benchmark, $(date -u +%Y-%m-%d), $rounds rounds, median (min–max)"
if wanted small || wanted full; then
  echo
  echo "| scenario | DownloadExec | DownloadVerifiedFile alone | bare WinHTTP+CNG | bare, writing files | curl + sha256sum | update / bare | update / bare writing | update / curl |"
  echo "|---|---|---|---|---|---|---|---|---|"
  wanted full &&
    echo "| full: $full_files files, ~$full_mib MiB | $(cell full update) | $(cell full download) | $(cell full bare) | $(cell full bare-write) | $(cell full curl) | $(ratio full update bare) | $(ratio full update bare-write) | $(ratio full update curl) |"
  wanted small &&
    echo "| small: $small_files files only | $(cell small update) | $(cell small download) | $(cell small bare) | $(cell small bare-write) | $(cell small curl) | $(ratio small update bare) | $(ratio small update bare-write) | $(ratio small update curl) |"
  wanted small &&
    echo && echo "Per small file (small scenario): update $(per_file_ms small update "$small_files") ms," \
      "download alone $(per_file_ms small download "$small_files") ms, bare $(per_file_ms small bare "$small_files") ms," \
      "bare writing $(per_file_ms small bare-write "$small_files") ms, curl $(per_file_ms small curl "$small_files") ms"
fi
if wanted noop-main || wanted noop-ext; then
  echo
  echo "| no-op check | DownloadExec | bare CNG loop | CompareLocalFiles alone | update / bare |"
  echo "|---|---|---|---|---|"
  wanted noop-main &&
    echo "| Main, $noop_count files, $noop_mib MiB, digests | $(cell noop-main update) | $(cell noop-main bare) | $(cell noop-main compare) | $(ratio noop-main update bare) |"
  wanted noop-ext &&
    echo "| External, $ext_count files, size and time | $(cell noop-ext update) | - | $(cell noop-ext compare) | - |" &&
    echo && echo "External no-op per file: whole update $(per_file_ms noop-ext update "$ext_count") ms," \
      "CompareLocalFiles $(per_file_ms noop-ext compare "$ext_count") ms"
fi
if wanted big; then
  echo
  echo "One file of ${huge_mib} MiB less 1 byte: $(cell big update); peak working set above idle" \
    "${huge_peak} MiB (process high-water mark), ${huge_sampled} MiB (sampled every 100 ms)"
fi
[ "$keep" = 0 ] || echo "kept: $work" >&2
