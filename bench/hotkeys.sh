#!/usr/bin/env bash
# Times the hide and restore hotkeys on an X server of its own (Xvfb + openbox): from a
# synthetic Ctrl+Alt+H (XTest) to the window's UnmapNotify, from Ctrl+Alt+O to its MapNotify,
# median of 50 presses each, and the time from start to the window mapped (warm: second start).
# Measures the stand-in window (bench/HotKeyWindow.cpp) and, once built, the program itself.
#   bench/hotkeys.sh [BUILD_FOLDER]      (presses: QUIETPANE_HOTKEY_PRESSES, default 50)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
presses=${QUIETPANE_HOTKEY_PRESSES:-50}

cmake --build "$build" -j2 --target HotKeyWindow HotKeyPresser >/dev/null

source scripts/x-session.sh

start_x_session

target_ms=5
measure() { # NAME PROGRAM...
  local name=$1
  shift
  "$build/bench/HotKeyPresser" 1 "$@" >/dev/null # cold start, discarded
  echo "== $name (display $DISPLAY, openbox)"
  "$build/bench/HotKeyPresser" "$presses" "$@" | tee "$work/figures"
  awk -v target="$target_ms" '/median/ { print "   " $1 " ratio to the " target " ms target: " sprintf("%.2f", $(NF-3) / target) }' \
    "$work/figures"
}

# A runtime folder of its own: a Quietpane the user runs must not take these starts over.
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
measure "stand-in window (THotKeyManager + WindowHiding)" "$build/bench/HotKeyWindow"

program="$build/src/Quietpane"
if [[ -x $program ]] && ! grep -q "not built yet" "$program"; then
  export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
  measure "Quietpane" "$program"
else
  echo "== Quietpane: not built yet, not measured"
fi
