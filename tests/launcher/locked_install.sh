#!/usr/bin/env bash
# ctest fixture: an installation folder that nobody, root included, can write.
#   locked_install.sh setup <folder> <tqVornStart.exe> | cleanup <folder>
set -euo pipefail
case "$1" in
  setup)
    [ -d "$2" ] && chattr -i "$2" 2>/dev/null || true
    rm -rf "$2"
    mkdir -p "$2"
    cp "$3" "$2/tqVornStart.exe"
    chattr +i "$2"
    ;;
  cleanup)
    chattr -i "$2" 2>/dev/null || true
    rm -rf "$2"
    ;;
esac
