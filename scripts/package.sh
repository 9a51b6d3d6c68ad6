#!/usr/bin/env bash
# Makes the release: build/dist/kilnworks-<version>-win32.zip with both programs (stripped), the
# user guide with its pictures, the demo package and a README for Windows users, and beside it
# the zip's SHA-256 checksum. The same sources give the same bytes: fixed file dates (the last
# commit's, or SOURCE_DATE_EPOCH) also as the programs' time stamps, a sorted file list, no owner
# or extra time fields.
#   --check  then tries the zip as a user gets it: unpacked into an empty folder and run in a
#            fresh Wine prefix: kilnworks-cli --version, show on the demo package, and
#            kilnworks.exe opening its window (screenshot build/dist/check/kilnworks-window.png).
set -euo pipefail
check=0
if [ "${1:-}" = --check ]; then check=1; fi
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"

# zip and unzip, beyond what building needs.
missing=()
for p in zip unzip; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  [ "$(id -u)" -eq 0 ] || kw_fail "missing packages: ${missing[*]}; run as root to install them"
  echo "package: installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" ||
    kw_fail "installing ${missing[*]} failed"
fi

# The release is the 32-bit program, whatever Wine runs here.
kw_setup
tree="$KW_OUT/i686"
kw_build_tree i686 "$tree" kilnworks kilnworks-cli
# The build's version header, made from project(... VERSION) in CMakeLists.txt.
version="$(sed -n 's/^#define KW_VERSION_TEXT "\(.*\)"$/\1/p' "$tree/generated/KilnworksVersion.h")"
[ -n "$version" ] || kw_fail "no version number in $tree/generated/KilnworksVersion.h (project VERSION in CMakeLists.txt)"

dist="$KW_OUT/dist"
name="kilnworks-$version-win32"
stage="$dist/stage"
top="$stage/Kilnworks"
rm -rf "$stage" "$dist/$name.zip" "$dist/$name.zip.sha256"
mkdir -p "$top/images" "$top/Demo"

# One date for everything in the zip, the programs' own time stamps too (strip writes one).
epoch="${SOURCE_DATE_EPOCH:-$(git -C "$KW_ROOT" log -1 --format=%ct 2>/dev/null || echo 1767225600)}"
for program in kilnworks kilnworks-cli; do
  SOURCE_DATE_EPOCH="$epoch" i686-w64-mingw32-strip --strip-all -o "$top/$program.exe" "$tree/$program.exe" ||
    kw_fail "stripping $program.exe failed"
done
cp "$KW_ROOT/docs/kilnworks-guide.html" "$top/"
cp "$KW_ROOT"/docs/images/*.png "$top/images/"
cp -r "$KW_ROOT/demo/." "$top/Demo/"
rm -f "$top/Demo/Demo.kwp.in"
# The demo names its projects where unzipping into C:\ puts them.
sed 's|@DEMO@|C:\\Kilnworks\\Demo|g' "$KW_ROOT/demo/Demo.kwp.in" | sed 's/\r*$/\r/' >"$top/Demo/Demo.kwp"
sed "s/@VERSION@/$version/g; s/\r*\$/\r/" "$KW_ROOT/docs/windows-readme.txt" >"$top/README.txt"

find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +
find "$stage" -exec touch -h -d "@$epoch" {} +
(
  cd "$stage"
  find Kilnworks -type f | LC_ALL=C sort | TZ=UTC zip -X -D -9 -q "$dist/$name.zip" -@
) || kw_fail "making the zip failed"
(cd "$dist" && sha256sum "$name.zip" >"$name.zip.sha256")
rm -rf "$stage"
echo "$dist/$name.zip"
cat "$dist/$name.zip.sha256"
[ "$check" = 1 ] || exit 0

# ---- the zip as a user gets it ----
[ "$KW_ARCH" = i686 ] || kw_fail "this host can't run 32-bit Wine, so the 32-bit release can't be tried here"
checkdir="$dist/check"
rm -rf "$checkdir"
mkdir -p "$checkdir/unpacked" "$checkdir/prefix"
unzip -q "$dist/$name.zip" -d "$checkdir/unpacked"
export WINEPREFIX="$checkdir/prefix"
trap kw_stop_all EXIT
kw_start_xvfb
kw_started_wineserver=1
setsid sh -c '"$WINESERVER" -p; "$KW_WINE" cmd /c exit' </dev/null >/dev/null 2>&1 ||
  kw_fail "Wine could not start in the fresh prefix $WINEPREFIX"
# Xvfb has no window manager: let Wine draw the window's frame itself.
"$KW_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 || true

cd "$checkdir/unpacked/Kilnworks"
echo "== kilnworks-cli --version"
said="$("$KW_WINE" kilnworks-cli.exe --version | tr -d '\r')"
echo "$said"
[ "$said" = "kilnworks-cli $version" ] || kw_fail "kilnworks-cli --version said '$said'"
echo "== kilnworks-cli show Demo\\Demo.kwp"
"$KW_WINE" kilnworks-cli.exe show 'Demo\Demo.kwp' || kw_fail "show on the demo package failed"
echo "== kilnworks.exe Demo\\Demo.kwp"
"$KW_WINE" kilnworks.exe 'Demo\Demo.kwp' </dev/null >/dev/null 2>&1 &
gui=$!
for _ in $(seq 1 300); do
  xwininfo -root -tree 2>/dev/null | grep -q '"Kilnworks"' && break
  kill -0 "$gui" 2>/dev/null || kw_fail "kilnworks.exe ended before its window came up"
  sleep 0.2
done
xwininfo -root -tree | grep -q '"Kilnworks"' || kw_fail "kilnworks.exe opened no window"
sleep 2
import -window root "$checkdir/root.png"
convert "$checkdir/root.png" -trim +repage "$checkdir/kilnworks-window.png"
rm -f "$checkdir/root.png"
"$WINESERVER" -k >/dev/null 2>&1 || true
wait "$gui" 2>/dev/null || true
echo "window: $checkdir/kilnworks-window.png"
