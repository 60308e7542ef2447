# Shared environment for building and testing under Wine.
# Source it (". scripts/env.sh"); do not execute it. Safe under "set -euo pipefail".
#
# Typical use in a test script:
#   . scripts/env.sh
#   tq_xvfb_up          # before tq_wineserver_up, so Wine's helper processes get this DISPLAY
#   tq_wineserver_up
#   "$WINE" build/tests/foo.exe

export TQ_CACHE="${TQ_CACHE:-$HOME/.cache/tqvornstart}"
# TQ_WINEPREFIX gives a separate prefix (and so a separate wineserver with its own
# named objects) to test runs that must not meet, e.g. two checkouts at once.
export WINEPREFIX="${TQ_WINEPREFIX:-$TQ_CACHE/wineprefix}"
export WINEARCH=win64
# Only the 64-bit loader exists here; the generic "wine" wrapper prefers a 32-bit one.
export WINELOADER=/usr/lib/wine/wine64
export WINE="$WINELOADER"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono/Gecko install prompts, and no menu/desktop entries written into the host $HOME.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export TQ_SODIUM_X64="$TQ_CACHE/libsodium/x86_64"
export TQ_SODIUM_X86="$TQ_CACHE/libsodium/i686"

# Debian's /usr/lib/wine/wineserver wrapper runs wineserver64 with -p0 (quit as soon as the
# last client does); a later -p on its command line overrides that.
for _tq_ws in /usr/lib/wine/wineserver /usr/lib/wine/wineserver64 "$(command -v wineserver 2>/dev/null || true)"; do
  if [ -n "$_tq_ws" ] && [ -x "$_tq_ws" ]; then export WINESERVER="$_tq_ws"; break; fi
done
unset _tq_ws

# Prints the pid of the wineserver serving $WINEPREFIX, if one runs. A wineserver keeps its
# working directory in .../server-<dev>-<inode>, both in hex, of the prefix directory.
_tq_wineserver_pid() {
  local dir pid
  [ -d "$WINEPREFIX" ] || return 0
  dir="server-$(printf '%x-%x' "0x$(stat -c %D "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")"
  for pid in $(pgrep -u "$(id -u)" -x 'wineserver.*' || true); do
    if [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null || true)")" = "$dir" ]; then
      echo "$pid"
      return 0
    fi
  done
}

# True if the wineserver with pid $1 was started persistent (last -p option without a delay).
_tq_wineserver_is_persistent() {
  local last
  last="$(tr '\0' '\n' <"/proc/$1/cmdline" 2>/dev/null | grep -E '^(-p[0-9]*|--persistent(=.*)?)$' | tail -n 1 || true)"
  [ "$last" = "-p" ] || [ "$last" = "--persistent" ]
}

# Starts a persistent wineserver for $WINEPREFIX unless one already runs, so each test
# program does not pay for a server and Wine's service processes starting up.
tq_wineserver_up() {
  local pid
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "tq_wineserver_up: no Wine prefix at $WINEPREFIX (run scripts/setup)" >&2
    return 1
  fi
  pid="$(_tq_wineserver_pid)"
  if [ -n "$pid" ]; then
    _tq_wineserver_is_persistent "$pid" && return 0
    # A server started on demand quits with its last client; let it go, then start ours.
    if ! timeout 30 "$WINESERVER" -w; then
      echo "tq_wineserver_up: a non-persistent wineserver ($pid) is still busy" >&2
      return 1
    fi
  fi
  # wineserver daemonizes itself and returns once it accepts connections; status 2 means
  # another one won the race, which is fine if that one is persistent.
  "$WINESERVER" -p </dev/null >>"$TQ_CACHE/wineserver.log" 2>&1 || true
  pid="$(_tq_wineserver_pid)"
  if [ -z "$pid" ] || ! _tq_wineserver_is_persistent "$pid"; then
    echo "tq_wineserver_up: could not start a persistent wineserver (see $TQ_CACHE/wineserver.log)" >&2
    return 1
  fi
  # Start Wine's session processes (services, device drivers) now, so the first test does
  # not pay for them; they live as long as the server.
  "$WINE" cmd.exe /c exit </dev/null >/dev/null 2>&1 || true
}

# Starts Xvfb (1280x1024x24) on the first usable display from ${TQ_XVFB_DISPLAY:-77} up,
# or reuses an Xvfb already answering there, and exports DISPLAY.
tq_xvfb_up() {
  local n lock pid
  if ! command -v Xvfb >/dev/null || ! command -v xdpyinfo >/dev/null; then
    echo "tq_xvfb_up: Xvfb or xdpyinfo missing (run scripts/setup)" >&2
    return 1
  fi
  for n in $(seq "${TQ_XVFB_DISPLAY:-77}" 99); do
    lock="/tmp/.X$n-lock"
    if [ -e "$lock" ]; then
      pid="$(tr -dc 0-9 <"$lock" 2>/dev/null || true)"
      # A zombie (killed, not yet reaped) counts as gone.
      if [ -n "$pid" ] && [ -d "/proc/$pid" ] && [ "$(ps -o stat= -p "$pid" | cut -c1)" != Z ]; then
        if [ "$(cat "/proc/$pid/comm" 2>/dev/null || true)" = Xvfb ] && DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
          export DISPLAY=":$n"
          return 0
        fi
        continue # some other live X server owns this number
      fi
      # Lock left behind by a server that is gone: Xvfb would refuse to start over it.
      rm -f "$lock" "/tmp/.X11-unix/X$n"
    fi
    mkdir -p "$TQ_CACHE"
    setsid -f Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >"$TQ_CACHE/xvfb-$n.log" 2>&1
    for _ in $(seq 50); do
      if DISPLAY=":$n" xdpyinfo >/dev/null 2>&1; then
        export DISPLAY=":$n"
        return 0
      fi
      sleep 0.1
    done
    echo "tq_xvfb_up: Xvfb did not come up on :$n (see $TQ_CACHE/xvfb-$n.log)" >&2
  done
  return 1
}
