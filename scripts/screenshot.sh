#!/usr/bin/env bash
# Photographs a window under Xvfb: the About box; the project lists (one with the three project
# kinds, one showing the empty-package hint); the main window on a fresh copy of the demo package,
# after start-up (main) or after one run driven by control ids (main-run); or the package editor
# on the demo package (editor) or on a new one (editor-new).
#   scripts/screenshot.sh about|lists|main|main-run|editor|editor-new <out.png>
# Uses KW_BUILD like the other scripts; builds the preview program there if needed.
set -euo pipefail
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"

what="${1:-}"
out="${2:-}"
case "$what" in about|lists|main|main-run|editor|editor-new) ;; *) what="" ;; esac
if [ -z "$what" ] || [ -z "$out" ]; then
  echo "usage: $0 about|lists|main|main-run|editor|editor-new <out.png>" >&2
  exit 2
fi
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"

kw_setup
case "$what" in
  main*) kw_build_tree "$KW_ARCH" "$KW_TREE" kilnworks test_app >/dev/null ;;
  editor*) kw_build_tree "$KW_ARCH" "$KW_TREE" test_editor >/dev/null ;;
  *) kw_build_tree "$KW_ARCH" "$KW_TREE" controls_preview >/dev/null ;;
esac

work="$(mktemp -d)"
preview_pid=""
finish() {
  touch "$work/done"
  if [ -d "$work/shots" ]; then touch "$work/shots/taken-1" "$work/shots/taken-2"; fi
  if [ -n "$preview_pid" ]; then wait "$preview_pid" 2>/dev/null || true; fi
  kw_stop_all
  rm -rf "$work"
}
trap finish EXIT
kw_start_xvfb
kw_start_wine
# There is no window manager on Xvfb: let Wine draw captions and frames itself.
"$KW_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /t REG_SZ /d N /f </dev/null >/dev/null 2>&1 || true

# The desktop is black: cut the picture down to the windows on it.
photograph() {  # out.png
  import -window root "$work/root.png"
  convert "$work/root.png" -trim +repage "$1"
}

wait_for() {  # file what
  for _ in $(seq 1 1200); do
    [ -e "$1" ] && return 0
    if [ -n "$preview_pid" ] && ! kill -0 "$preview_pid" 2>/dev/null; then break; fi
    sleep 0.1
  done
  echo "$2 did not come up" >&2
  exit 1
}

if [ "$what" = main ] || [ "$what" = main-run ]; then
  # A fresh working copy of the demo package: the run rewrites its version numbers.
  mkdir -p "$work/demo" "$work/shots"
  cp -r "$KW_ROOT/demo/." "$work/demo/"
  demo_win="$(kw_winpath "$work/demo")"
  sed "s|@DEMO@|$(printf %s "$demo_win" | sed 's/[\\&|]/\\&/g')|g" "$KW_ROOT/demo/Demo.kwp.in" > "$work/demo/Demo.kwp"
  rm -f "$work/demo/Demo.kwp.in"
  # The window is driven from outside by control ids, as the end-to-end test does.
  KW_SHOT_DIR="$(kw_winpath "$work/shots")" KW_SHOT_PACKAGE="$demo_win\\Demo.kwp" \
    "$KW_WINE" "$KW_TREE/test_app.exe" --gtest_also_run_disabled_tests --gtest_filter=MainWindowProcessTest.DISABLED_Screenshots </dev/null >"$work/driver.log" 2>&1 &
  preview_pid=$!
  wait_for "$work/shots/ready-1" "the main window"
  [ "$what" = main ] && photograph "$out"
  touch "$work/shots/taken-1"
  wait_for "$work/shots/ready-2" "the run"
  [ "$what" = main-run ] && photograph "$out"
  touch "$work/shots/taken-2"
  wait "$preview_pid" || { cat "$work/driver.log" >&2; exit 1; }
  preview_pid=""
elif [ "$what" = editor ] || [ "$what" = editor-new ]; then
  # The editor's test program shows it, on the demo package with a project selected (editor) or
  # on a new empty package (editor-new). Only the paths show: give them a plain folder.
  KW_PREVIEW_PACKAGE=""
  if [ "$what" = editor ]; then
    sed 's|@DEMO@|C:\\Kilnworks\\Demo|g' "$KW_ROOT/demo/Demo.kwp.in" >"$work/Demo.kwp"
    KW_PREVIEW_PACKAGE="$(kw_winpath "$work/Demo.kwp")"
  fi
  KW_PREVIEW_PACKAGE="$KW_PREVIEW_PACKAGE" KW_PREVIEW_READY="$(kw_winpath "$work/ready")" \
    KW_PREVIEW_DONE="$(kw_winpath "$work/done")" "$KW_WINE" "$KW_TREE/test_editor.exe" \
    --gtest_also_run_disabled_tests --gtest_filter=EditorPreview.* </dev/null >/dev/null 2>&1 &
  preview_pid=$!
  wait_for "$work/ready" "the editor"
  photograph "$out"
else
  "$KW_WINE" "$KW_TREE/tools/controls_preview.exe" "$what" "$(kw_winpath "$work/ready")" "$(kw_winpath "$work/done")" \
    </dev/null >/dev/null 2>&1 &
  preview_pid=$!
  wait_for "$work/ready" "the preview"
  photograph "$out"
fi
echo "$out"
