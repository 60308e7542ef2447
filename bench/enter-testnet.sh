# Sourced by the benchmark scripts that talk to the update server stand-in.
# Outside the private test network it starts Xvfb and the wineserver and runs
# the calling script again inside the network, with TQ_BENCH_HOST naming the
# test host; inside, it returns at once.
#   . "$repo/bench/enter-testnet.sh" <state folder name> "$0" "$@"
if [ "${TQ_TESTNET_INSIDE:-}" != 1 ]; then
  . "$repo/scripts/env.sh"
  tq_xvfb_up
  tq_wineserver_up
  TQ_BENCH_HOST="$(sed -n 's/^TQ_TEST_UPDATE_HOST:STRING=//p' "$repo/build/x64/CMakeCache.txt")"
  export TQ_BENCH_HOST
  state="$1"
  shift
  exec "$repo/scripts/testnet" "$repo/build/x64/testnet/$state" "$TQ_BENCH_HOST" "$@"
fi
