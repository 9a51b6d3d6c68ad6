#!/usr/bin/env bash
# Photographs a window under Xvfb: the About box; the project lists (one with the three project
# kinds, one showing the empty-package hint); the main window on a fresh copy of the demo package,
# after start-up (main), after one run driven by control ids (main-run) or after the same run with
# two projects failing and one warning, the first error selected (main-errors), or halfway through
# that run with slow builders, the caption saying where it is (main-progress); or the package
# editor on the demo package (editor) or on a new one (editor-new), or with the dependency list of
# its first project open (editor-deps, Calc needing MathLib); or the main window's File menu with
# recent packages, the demo laid out in C:\Kilnworks\Demo (main-recent).
#   scripts/screenshot.sh about|lists|main|main-run|main-errors|main-progress|main-parallel|main-recent|editor|editor-new|editor-deps <out.png>
# Uses KW_BUILD like the other scripts; builds the preview program there if needed.
set -euo pipefail
export KW_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
. "$KW_ROOT/scripts/wine-env.sh"

what="${1:-}"
out="${2:-}"
case "$what" in about|lists|main|main-run|main-errors|main-progress|main-parallel|main-recent|editor|editor-new|editor-deps) ;; *) what="" ;; esac
if [ -z "$what" ] || [ -z "$out" ]; then
  echo "usage: $0 about|lists|main|main-run|main-errors|main-progress|main-parallel|main-recent|editor|editor-new|editor-deps <out.png>" >&2
  exit 2
fi
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"

kw_setup
case "$what" in
  main*) kw_build_tree "$KW_ARCH" "$KW_TREE" kilnworks window_shots >/dev/null ;;
  editor*) kw_build_tree "$KW_ARCH" "$KW_TREE" editor_preview >/dev/null ;;
  *) kw_build_tree "$KW_ARCH" "$KW_TREE" controls_preview >/dev/null ;;
esac

work="$(mktemp -d)"
preview_pid=""
finish() {
  touch "$work/done"
  if [ -n "${demo_c:-}" ]; then rm -rf "$demo_c"; fi
  if [ -d "$work/shots" ]; then touch "$work/shots/taken-1" "$work/shots/taken-2"; fi
  if [ -n "$preview_pid" ]; then wait "$preview_pid" 2>/dev/null || true; fi
  kw_stop_all
  rm -rf "$work"
  if [ -n "${recent_folders:-}" ]; then rm -rf $recent_folders; fi
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

if [ "$what" = main ] || [ "$what" = main-run ] || [ "$what" = main-errors ] || [ "$what" = main-progress ] || [ "$what" = main-parallel ]; then
  # A fresh working copy of the demo package: the run rewrites its version numbers.
  mkdir -p "$work/demo" "$work/shots"
  cp -r "$KW_ROOT/demo/." "$work/demo/"
  demo_win="$(kw_winpath "$work/demo")"
  if [ "$what" = main-errors ] || [ "$what" = main-progress ] || [ "$what" = main-parallel ]; then
    # Paths show in the builders' lines: lay the demo out where a Windows user would have it.
    demo_c="$WINEPREFIX/drive_c/Kilnworks/Demo"
    rm -rf "$demo_c"
    mkdir -p "$demo_c"
    cp -r "$KW_ROOT/demo/." "$demo_c/"
    rm -rf "$work/demo"
    ln -s "$demo_c" "$work/demo"
    demo_win='C:\Kilnworks\Demo'
  fi
  if [ "$what" = main-progress ]; then
    for p in Calc MathLib Reports; do printf 'duration=4000\n' >"$demo_c/$p/standin.ini"; done
  fi
  if [ "$what" = main-parallel ]; then
    # Slow enough for the two C++ builders' lines to take turns in the log.
    printf 'delay=150\n' >"$demo_c/Calc/standin.ini"
    printf 'delay=150\n' >"$demo_c/MathLib/standin.ini"
  fi
  if [ "$what" = main-errors ]; then
    printf 'result=fail\n' >"$demo_c/Calc/standin.ini"
    printf 'result=fail\n' >"$demo_c/Reports/standin.ini"
    printf '%s\\MathLib\\MathLibImpl.cpp(40) : warning C4101: '"'"'scale'"'"' : unreferenced local variable\r\n' \
      "$demo_win" >"$demo_c/MathLib/warning.txt"
    printf 'text=warning.txt\n' >"$demo_c/MathLib/standin.ini"
  fi
  sed "s|@DEMO@|$(printf %s "$demo_win" | sed 's/[\\&|]/\\&/g')|g" "$KW_ROOT/demo/Demo.kwp.in" > "$work/demo/Demo.kwp"
  rm -f "$work/demo/Demo.kwp.in"
  # The window is driven from outside by control ids, as the end-to-end test does.
  mode=run
  if [ "$what" = main-errors ]; then mode=errors; fi
  if [ "$what" = main-progress ]; then mode=progress; fi
  if [ "$what" = main-parallel ]; then mode=parallel=3; fi
  "$KW_WINE" "$KW_TREE/tools/window-shots.exe" "$mode" "$(kw_winpath "$KW_TREE/kilnworks.exe")" "$demo_win\\Demo.kwp" \
    "$(kw_winpath "$work/shots")" </dev/null >"$work/driver.log" 2>&1 &
  preview_pid=$!
  wait_for "$work/shots/ready-1" "the main window"
  [ "$what" = main ] && photograph "$out"
  touch "$work/shots/taken-1"
  wait_for "$work/shots/ready-2" "the run"
  [ "$what" = main-run ] || [ "$what" = main-errors ] || [ "$what" = main-progress ] || [ "$what" = main-parallel ] && photograph "$out"
  touch "$work/shots/taken-2"
  wait "$preview_pid" || { cat "$work/driver.log" >&2; exit 1; }
  preview_pid=""
  # The run remembered its Parallel builds setting; the next window starts from the default again.
  "$KW_WINE" reg delete 'HKCU\Software\Kilnworks' /v ParallelBuilds /f </dev/null >/dev/null 2>&1 || true
elif [ "$what" = main-recent ]; then
  # The demo where a Windows user keeps it, and a few more packages opened before it.
  drive_c="$WINEPREFIX/drive_c"
  recent_folders="$drive_c/Kilnworks $drive_c/Work"
  rm -rf $recent_folders
  mkdir -p "$drive_c/Kilnworks/Demo" "$work/shots"
  cp -r "$KW_ROOT/demo/." "$drive_c/Kilnworks/Demo/"
  rm -f "$drive_c/Kilnworks/Demo/Demo.kwp.in"
  sed 's|@DEMO@|C:\\Kilnworks\\Demo|g' "$KW_ROOT/demo/Demo.kwp.in" >"$drive_c/Kilnworks/Demo/Demo.kwp"
  "$KW_WINE" reg delete 'HKCU\Software\Kilnworks' /f </dev/null >/dev/null 2>&1 || true
  n=1
  for p in 'Work/Accounting/Accounting Suite.kwp' 'Work/Visual Studio Projects/Inventory Control/Release 2026/Inventory Control.kwp' \
    'Work/Tools/Build Tools.kwp'; do
    mkdir -p "$drive_c/$(dirname "$p")"
    cp "$drive_c/Kilnworks/Demo/Demo.kwp" "$drive_c/$p"
    "$KW_WINE" reg add 'HKCU\Software\Kilnworks\Recent' /v "$n" /t REG_SZ /d "C:\\$(printf %s "$p" | tr / '\\')" /f \
      </dev/null >/dev/null 2>&1
    n=$((n + 1))
  done
  "$KW_WINE" "$KW_TREE/tools/window-shots.exe" file-menu "$(kw_winpath "$KW_TREE/kilnworks.exe")" \
    'C:\Kilnworks\Demo\Demo.kwp' "$(kw_winpath "$work/shots")" </dev/null >"$work/driver.log" 2>&1 &
  preview_pid=$!
  wait_for "$work/shots/ready-1" "the File menu"
  photograph "$out"
  touch "$work/shots/taken-1"
  wait "$preview_pid" || { cat "$work/driver.log" >&2; exit 1; }
  preview_pid=""
  "$KW_WINE" reg delete 'HKCU\Software\Kilnworks' /f </dev/null >/dev/null 2>&1 || true
elif [ "$what" = editor ] || [ "$what" = editor-new ] || [ "$what" = editor-deps ]; then
  # The preview program shows the editor, on the demo package with a project selected (editor) or
  # on a new empty package (editor-new). Only the paths show: give them a plain folder.
  KW_PREVIEW_PACKAGE=""
  KW_PREVIEW_DEPENDENCIES=""
  if [ "$what" = editor ]; then
    sed 's|@DEMO@|C:\\Kilnworks\\Demo|g' "$KW_ROOT/demo/Demo.kwp.in" >"$work/Demo.kwp"
    KW_PREVIEW_PACKAGE="$(kw_winpath "$work/Demo.kwp")"
  elif [ "$what" = editor-deps ]; then
    # The demo's first project, Calc, needing MathLib (2).
    sed -e 's|@DEMO@|C:\\Kilnworks\\Demo|g' -e '0,/<Dependencies><\/Dependencies>/s||<Dependencies>2</Dependencies>|' \
      "$KW_ROOT/demo/Demo.kwp.in" >"$work/Demo.kwp"
    KW_PREVIEW_PACKAGE="$(kw_winpath "$work/Demo.kwp")"
    KW_PREVIEW_DEPENDENCIES=1
  fi
  KW_PREVIEW_PACKAGE="$KW_PREVIEW_PACKAGE" KW_PREVIEW_DEPENDENCIES="$KW_PREVIEW_DEPENDENCIES" KW_PREVIEW_READY="$(kw_winpath "$work/ready")" \
    KW_PREVIEW_DONE="$(kw_winpath "$work/done")" "$KW_WINE" "$KW_TREE/tools/editor_preview.exe" \
    </dev/null >/dev/null 2>&1 &
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
