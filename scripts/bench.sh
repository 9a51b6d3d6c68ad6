#!/usr/bin/env bash
# Builds and runs every benchmark under Wine; each prints its figures as ratios to its floor.
set -euo pipefail
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"
kw_build_all
trap kw_stop_all EXIT
# bench_window drives the main window: it needs a display.
kw_start_xvfb
kw_start_wine
for b in "$KW_TREE"/bench/bench_*.exe; do
  [ -e "$b" ] || continue
  if [ $# -gt 0 ] && ! printf '%s\n' "$@" | grep -qx "$(basename "$b" .exe)"; then continue; fi
  echo "== $(basename "$b" .exe)"
  "$KW_WINE" "$b"
done
