# Sourced by the other scripts: which Wine runs here, the project's own prefix, and the display.
# Expects KW_ROOT (the checkout) to be set; sets KW_BUILD when it is not set.
#
# Kilnworks ships as a 32-bit program and is tested under 32-bit Wine. Some hosts (sandboxed
# kernels) cannot execute 32-bit Linux programs at all, so 32-bit Wine cannot start there; on those
# the tests, the demo and the benchmarks run a 64-bit build of the same sources under 64-bit Wine,
# and the 32-bit program is still built.

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  KW_ARCH=i686
  export WINEARCH=win32
  KW_WINE=/usr/lib/wine/wine
else
  KW_ARCH=x86_64
  export WINEARCH=win64
  KW_WINE=/usr/lib/wine/wine64
fi
export KW_ARCH KW_WINE
export KW_BUILD="${KW_BUILD:-$KW_ROOT/build}"
export WINEPREFIX="${KW_BUILD}/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINESERVER=/usr/lib/wine/wineserver

kw_xvfb_pid=""
kw_started_wineserver=0

# Configures and builds a tree for one architecture.
kw_build_tree() {  # arch folder [targets...]
  local arch="$1" folder="$2"
  shift 2
  if [ ! -f "$folder/CMakeCache.txt" ]; then
    cmake -S "$KW_ROOT" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$KW_ROOT/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  if [ $# -gt 0 ]; then
    local t args=()
    for t in "$@"; do args+=(--target "$t"); done
    cmake --build "$folder" -j "$(nproc)" "${args[@]}"
  else
    cmake --build "$folder" -j "$(nproc)"
  fi
}

# Builds the runnable tree in KW_BUILD, and the shipped 32-bit program beside it when the
# runnable tree is not 32-bit.
kw_build_all() {
  bash "$KW_ROOT/scripts/bootstrap.sh"
  kw_build_tree "$KW_ARCH" "$KW_BUILD"
  if [ "$KW_ARCH" != i686 ]; then
    kw_build_tree i686 "$KW_BUILD/i686" kilnworks-cli
  fi
}

# Starts a private Xvfb on a free display number and exports DISPLAY.
kw_start_xvfb() {
  local n i
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X${n}-lock" ] && [ ! -e "/tmp/.X11-unix/X${n}" ]; then
      Xvfb ":${n}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
      kw_xvfb_pid=$!
      export DISPLAY=":${n}"
      for i in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X${n}" ] && return 0
        sleep 0.1
      done
      return 0
    fi
  done
  echo "no free X display" >&2
  return 1
}

# Creates the prefix on first use and starts a persistent, detached wineserver so that each
# program start costs milliseconds, not seconds. Never started from inside ctest: Wine's service
# processes would inherit ctest's pipes and ctest would wait for them for ever.
kw_start_wine() {
  mkdir -p "$WINEPREFIX"
  setsid sh -c '"$WINESERVER" -p; "$KW_WINE" cmd /c exit' </dev/null >/dev/null 2>&1
  kw_started_wineserver=1
  # The stand-in Visual Studio folder, for the builders' command lines.
  local vs="Z:$(printf %s "$KW_BUILD/vs6/Common" | tr / '\\')"
  "$KW_WINE" reg add 'HKLM\Software\Microsoft\VisualStudio\6.0\Setup' /v VsCommonDir /t REG_SZ \
    /d "$vs" /f </dev/null >/dev/null 2>&1 || true
}

kw_stop_all() {
  if [ "$kw_started_wineserver" = 1 ]; then
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w >/dev/null 2>&1 || true
    kw_started_wineserver=0
  fi
  if [ -n "$kw_xvfb_pid" ]; then
    kill "$kw_xvfb_pid" >/dev/null 2>&1 || true
    wait "$kw_xvfb_pid" 2>/dev/null || true
    kw_xvfb_pid=""
  fi
}

# A Unix path as Wine sees it.
kw_winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
