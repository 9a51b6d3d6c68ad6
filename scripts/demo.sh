#!/usr/bin/env bash
# The run command: builds Kilnworks, lays out a fresh working copy of the demo package in the
# build folder (so tracked files never change), and runs the main job on it.
#   --window   opens the main window on the demo package instead, on $DISPLAY; without a
#              display, performs one run in it under Xvfb and saves a screenshot in build/demo/.
set -euo pipefail
window=0
if [ "${1:-}" = --window ]; then window=1; fi
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"
log="$KW_OUT/demo-build.log"
mkdir -p "$KW_OUT"
# The build's own output goes to a log; on failure its end is shown with the reason.
if ! (kw_build_all) >"$log" 2>&1; then
  tail -n 40 "$log" >&2
  echo "demo: the build failed; the whole log is in $log" >&2
  exit 1
fi
kw_setup >/dev/null

work="$KW_OUT/demo"
rm -rf "$work"
mkdir -p "$work"
cp -r "$KW_ROOT/demo/." "$work/"
rm -f "$work/Demo.kwp.in"
demo_win="$(kw_winpath "$work")"
# The package names absolute Windows paths where the working copy lies under Wine.
sed "s|@DEMO@|$(printf %s "$demo_win" | sed 's/[\\&|]/\\&/g')|g" "$KW_ROOT/demo/Demo.kwp.in" > "$work/Demo.kwp"

if [ "$window" = 1 ] && [ -z "${DISPLAY:-}" ]; then
  shot="$work/main-window.png"
  bash "$KW_ROOT/scripts/screenshot.sh" main-run "$shot" >/dev/null
  echo "demo: no display here, so Kilnworks ran once under Xvfb on the demo package"
  echo "      (>> all targets, Build Debug and Release, Version Auto - Increment, Start)."
  echo "      Screenshot of the window after the run: $shot"
  exit 0
fi

trap kw_stop_all EXIT
kw_start_wine
package="$demo_win\\Demo.kwp"
if [ "$window" = 1 ]; then
  echo "== kilnworks.exe $package (on $DISPLAY; close the window to end)"
  "$KW_WINE" "$KW_TREE/kilnworks.exe" "$package"
  exit 0
fi
echo "== kilnworks-cli show $package"
"$KW_WINE" "$KW_TREE/kilnworks-cli.exe" show "$package"
echo
report="$demo_win\\run-report.html"
echo "== kilnworks-cli run $package --targets all --auto-increment --debug --release --report $report"
"$KW_WINE" "$KW_TREE/kilnworks-cli.exe" run "$package" --targets all --auto-increment --debug --release --report "$report"
echo "(the run's report, to open in a browser: $work/run-report.html)"
echo
echo "== version lines in the working copy after the run"
for f in Calc/Calc.rc MathLib/MathLib.rc Reports/Reports.vbp; do
  grep -E 'FILEVERSION|PRODUCTVERSION|"(File|Product)Version"|^(MajorVer|MinorVer|RevisionVer)=' "$work/$f" |
    tr -d '\r' | sed "s|^ *|$f: |"
done
