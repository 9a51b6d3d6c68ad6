#!/usr/bin/env bash
# The checked build, for CI: the tests built again with undefined behaviour trapping and the
# standard library's assertions on (KW_CHECKED), in a tree and Wine prefix of their own
# (<build>/checked-<arch>/, <build>/wineprefix-checked-<arch>/), then run under Wine like the
# README's test command. Arguments go to ctest.
set -euo pipefail
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"
kw_setup

export KW_TREE="$KW_OUT/checked-$KW_ARCH"
export WINEPREFIX="$KW_OUT/wineprefix-checked-$KW_ARCH"
if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
  rm -rf "$WINEPREFIX"
fi
if [ ! -f "$KW_TREE/CMakeCache.txt" ]; then
  cmake -S "$KW_ROOT" -B "$KW_TREE" -DCMAKE_TOOLCHAIN_FILE="$KW_ROOT/cmake/mingw-$KW_ARCH.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DKW_CHECKED=ON >/dev/null || kw_fail "configuring $KW_TREE failed"
fi
# The test programs and the programs they start; no benchmarks.
targets=(kilnworks kilnworks-cli)
for folder in "$KW_ROOT"/tests/*/; do
  name="$(basename "$folder")"
  [ "$name" = common ] || targets+=("test_$name")
done
kw_build_tree "$KW_ARCH" "$KW_TREE" "${targets[@]}"

trap kw_stop_all EXIT
kw_start_xvfb
kw_start_wine
# A trap is a crash: let Wine's debugger print where and leave, not wait on a dialog for ever.
"$KW_WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  </dev/null >/dev/null 2>&1 || kw_fail "could not turn off Wine's crash dialog in $WINEPREFIX"

cd "$KW_TREE"
ctest --output-on-failure --timeout 600 "$@"
