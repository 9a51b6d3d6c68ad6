#!/usr/bin/env bash
# The test command: installs what is missing, builds, and runs every test program under Wine
# with one Xvfb and one persistent wineserver, both stopped at the end whatever happens.
set -euo pipefail
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"
kw_build_all

trap kw_stop_all EXIT
kw_start_xvfb
kw_start_wine

cd "$KW_TREE"
ctest --output-on-failure --timeout 600 "$@"
