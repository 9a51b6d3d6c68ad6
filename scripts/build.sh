#!/usr/bin/env bash
# Installs what is missing and builds everything (cross compiled for Windows) into build/.
set -euo pipefail
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"
kw_build_all
