#!/usr/bin/env bash
# Times the hide and restore hotkeys on an X server of its own (Xvfb + openbox): from a
# synthetic Ctrl+Alt+H (XTest) to the window's UnmapNotify, from Ctrl+Alt+O to its MapNotify,
# median and 99th percentile of 200 presses each, and the time from start to the window mapped
# (warm: second start). Measures, one after the other on the same server, a plain Qt window (the
# peer: hide() and show() alone), the stand-in window (bench/HotKeyWindow.cpp with the program's
# window hiding) and, once built, the program itself, and prints each restore's ratio to the
# plain window's.
#   bench/hotkeys.sh [BUILD_FOLDER [PROGRAM]]   (presses: QUIETPANE_HOTKEY_PRESSES, default 200)
# PROGRAM (default BUILD_FOLDER/src/Quietpane, with its Quietpane.mdb beside it) lets another
# build of the program, an older one for instance, be set beside the same peer.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
program=${2:-$build/src/Quietpane}
presses=${QUIETPANE_HOTKEY_PRESSES:-200}

cmake --build "$build" -j2 --target HotKeyWindow HotKeyPresser >/dev/null

source scripts/x-session.sh

start_x_session

# The restore median of the plain window, once measured.
plain_restore_ms=
measure() { # NAME PROGRAM...
  local name=$1
  shift
  # The programs' own chatter (the web engine's) goes to a log, shown only when a run fails.
  "$build/bench/HotKeyPresser" 1 "$@" >/dev/null 2>"$work/log" || { cat "$work/log"; exit 1; } # cold start, discarded
  echo "== $name (display $DISPLAY, openbox)"
  "$build/bench/HotKeyPresser" "$presses" "$@" >"$work/figures" 2>"$work/log" || { cat "$work/log"; exit 1; }
  grep -v '^registered$' "$work/figures"
  local restore_ms
  restore_ms=$(awk '/^restore/ { sub(/ ms.*/, "", $0); print $NF }' "$work/figures")
  if [[ -z $plain_restore_ms ]]; then
    plain_restore_ms=$restore_ms
  else
    awk -v mine="$restore_ms" -v plain="$plain_restore_ms" \
      'BEGIN { printf "   restore median ratio to the plain Qt window: %.2f (goal: at most 1.2)\n", mine / plain }'
  fi
}

# A runtime folder of its own: a Quietpane the user runs must not take these starts over.
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work"
measure "plain Qt window (hide() and show())" "$build/bench/HotKeyWindow" --plain
measure "stand-in window (THotKeyManager + WindowHiding)" "$build/bench/HotKeyWindow"

if [[ -x $program ]] && ! grep -q "not built yet" "$program"; then
  export QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu"
  measure "Quietpane ($program)" "$program"
else
  echo "== Quietpane: not built yet, not measured"
fi
