# Sourced by the other scripts: installs what is missing, decides which Wine runs here, and
# manages the project's own prefix and display. Expects KW_ROOT (the checkout) to be set.
#
# Kilnworks ships as a 32-bit program and is tested under 32-bit Wine. Some hosts (sandboxed
# kernels) cannot execute 32-bit Linux programs at all, so 32-bit Wine cannot start there; on those
# the tests, the demo and the benchmarks run a 64-bit build of the same sources under 64-bit Wine,
# and the 32-bit program is still built. Which of the two applies can only be told once Wine is
# installed, so kw_setup bootstraps first and decides after.
#
# Layout under KW_OUT (KW_BUILD when set, else <checkout>/build): one build tree and one prefix
# per architecture (i686/, x86_64/, wineprefix-i686/, wineprefix-x86_64/), so either order of the
# scripts, and a host that changes its mind, never mixes them.

export KW_OUT="${KW_BUILD:-$KW_ROOT/build}"
export WINEDEBUG=-all
# Wine spells Windows file names in the host's character set: without a UTF-8 locale (a bare
# machine has none set) names outside ASCII can't be made at all. C.UTF-8 is always there.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree=;mshtml="
export WINESERVER=/usr/lib/wine/wineserver

kw_xvfb_pid=""
kw_started_wineserver=0

kw_fail() {  # message...
  echo "kilnworks: $*" >&2
  exit 1
}

# Installs what is missing, then sets KW_ARCH, KW_WINE, WINEARCH, WINEPREFIX and KW_TREE (the
# runnable build tree).
kw_setup() {
  bash "$KW_ROOT/scripts/bootstrap.sh" || kw_fail "installing the build tools failed (see above); run as root on Debian 12"
  # KW_WINE_ARCH=x86_64 takes the 64-bit way on any host, to try it where 32-bit Wine works.
  if [ "${KW_WINE_ARCH:-}" != x86_64 ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    KW_ARCH=i686
    export WINEARCH=win32
    KW_WINE=/usr/lib/wine/wine
  elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
    KW_ARCH=x86_64
    export WINEARCH=win64
    KW_WINE=/usr/lib/wine/wine64
  else
    kw_fail "neither 32-bit nor 64-bit Wine starts here; reinstall the packages wine, wine32:i386 and wine64"
  fi
  export KW_ARCH KW_WINE
  export KW_TREE="$KW_OUT/$KW_ARCH"
  export WINEPREFIX="$KW_OUT/wineprefix-$KW_ARCH"
  # A prefix made for the other architecture can't be used: make it anew.
  if [ -f "$WINEPREFIX/system.reg" ] && ! grep -q "^#arch=$WINEARCH" "$WINEPREFIX/system.reg"; then
    rm -rf "$WINEPREFIX"
  fi
}

# Configures and builds a tree for one architecture.
kw_build_tree() {  # arch folder [targets...]
  local arch="$1" folder="$2"
  shift 2
  if [ ! -f "$folder/CMakeCache.txt" ]; then
    cmake -S "$KW_ROOT" -B "$folder" -DCMAKE_TOOLCHAIN_FILE="$KW_ROOT/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null || kw_fail "configuring $folder failed"
  fi
  local args=()
  if [ $# -gt 0 ]; then
    local t
    for t in "$@"; do args+=(--target "$t"); done
  fi
  cmake --build "$folder" -j "$(nproc)" "${args[@]}" || kw_fail "building $folder failed (see the compiler's messages above)"
}

# Builds the runnable tree, and the shipped 32-bit programs beside it when the runnable tree is
# not 32-bit.
kw_build_all() {
  kw_setup
  kw_build_tree "$KW_ARCH" "$KW_TREE"
  if [ "$KW_ARCH" != i686 ]; then
    kw_build_tree i686 "$KW_OUT/i686" kilnworks kilnworks-cli
  fi
}

# Starts a private Xvfb on a free display number and exports DISPLAY. A number whose server
# can't start (taken by a server we can't see, say from another file-system view) is skipped.
kw_start_xvfb() {
  local n i
  for n in $(seq 91 140); do
    if [ -e "/tmp/.X${n}-lock" ] || [ -e "/tmp/.X11-unix/X${n}" ]; then continue; fi
    Xvfb ":${n}" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    kw_xvfb_pid=$!
    for i in $(seq 1 100); do
      if [ -e "/tmp/.X11-unix/X${n}" ]; then
        export DISPLAY=":${n}"
        return 0
      fi
      kill -0 "$kw_xvfb_pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$kw_xvfb_pid" >/dev/null 2>&1 || true
    wait "$kw_xvfb_pid" 2>/dev/null || true
    kw_xvfb_pid=""
  done
  kw_fail "no X display could be started with Xvfb (tried :91 to :140)"
}

# Creates the prefix on first use and starts a persistent, detached wineserver so that each
# program start costs milliseconds, not seconds. Never started from inside ctest: Wine's service
# processes would inherit ctest's pipes and ctest would wait for them for ever.
kw_start_wine() {
  mkdir -p "$WINEPREFIX"
  kw_started_wineserver=1
  if ! setsid sh -c '"$WINESERVER" -p; "$KW_WINE" cmd /c exit' </dev/null >/dev/null 2>&1; then
    kw_fail "Wine could not start in $WINEPREFIX (delete that folder and try again)"
  fi
  # The stand-in Visual Studio folder, for the builders' command lines.
  local vs
  vs="$(kw_winpath "$KW_TREE/vs6/Common")"
  if ! "$KW_WINE" reg add 'HKLM\Software\Microsoft\VisualStudio\6.0\Setup' /v VsCommonDir /t REG_SZ \
    /d "$vs" /f </dev/null >/dev/null 2>&1; then
    kw_fail "could not set VsCommonDir in the Wine registry of $WINEPREFIX"
  fi
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
