#!/usr/bin/env bash
# Idle cost: the CPU that a shown, idle Quietpane takes (the program and its web engine
# processes), beside a bare Qt 6 QWebEngineView window showing the same static page, over the
# same span in one session of Xvfb + openbox. Quietpane is measured twice: right after the
# address was typed and Return pressed, and after a click into the page.
#   bench/idle.sh [BUILD_FOLDER]      (span: QUIETPANE_IDLE_SECONDS, default 30)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
span=${QUIETPANE_IDLE_SECONDS:-30}

cmake --build "$build" -j2 --target Quietpane BareWebView >/dev/null

source scripts/x-session.sh

mkdir -p "$work/program" "$work/pages" "$work/home"
cp "$build/src/Quietpane" "$build/src/Quietpane.mdb" "$work/program/"
cat >"$work/pages/index.html" <<'PAGE'
<html><head><meta charset="utf-8"><title>Idle page</title></head>
<body style="font-family: sans-serif"><h1>A static page</h1>
<p>No script, no animation, no form field: nothing on it changes by itself.</p></body></html>
PAGE
port=$(free_port)
python3 -m http.server --bind 127.0.0.1 "$port" --directory "$work/pages" >"$work/http.log" 2>&1 &
pids+=($!)
url="http://127.0.0.1:$port/index.html"

start_x_session

export QT_QPA_PLATFORM=xcb QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu" HOME="$work/home" XDG_RUNTIME_DIR="$work/home"
[[ $(id -u) -eq 0 ]] && export QTWEBENGINE_DISABLE_SANDBOX=1
ticks_per_second=$(getconf CLK_TCK)

# CPU ticks (user + system) of a process and all its descendants alive now.
tree_ticks() {
  local root=$1
  python3 - "$root" <<'PY'
import os, sys
root = int(sys.argv[1])
stats = {}
for entry in os.listdir('/proc'):
    if entry.isdigit():
        try:
            with open(f'/proc/{entry}/stat') as f:
                fields = f.read().rsplit(')', 1)[1].split()
            stats[int(entry)] = (int(fields[1]), int(fields[11]) + int(fields[12]))
        except OSError:
            pass
tree, grew = {root}, True
while grew:
    grew = False
    for pid, (parent, _) in stats.items():
        if parent in tree and pid not in tree:
            tree.add(pid)
            grew = True
print(sum(stats[pid][1] for pid in tree if pid in stats))
PY
}

window_of() { # PID
  for _ in $(seq 150); do
    local window
    window=$(xdotool search --onlyvisible --pid "$1" --name . 2>/dev/null | head -1 || true)
    [[ -n $window ]] && { echo "$window"; return; }
    sleep 0.2
  done
  echo "idle.sh: no window of process $1" >&2
  exit 1
}

wait_for_title() { # WINDOW TITLE
  for _ in $(seq 150); do
    [[ $(xdotool getwindowname "$1" 2>/dev/null) == "$2" ]] && return
    sleep 0.2
  done
  echo "idle.sh: the window never showed \"$2\"" >&2
  exit 1
}

# Settles for 5 s, then prints the process tree's CPU over the span in % of one core.
measure() { # NAME PID
  sleep 5
  local before after
  before=$(tree_ticks "$2")
  sleep "$span"
  after=$(tree_ticks "$2")
  awk -v name="$1" -v ticks=$((after - before)) -v hz="$ticks_per_second" -v span="$span" \
    'BEGIN { printf "   %-52s %5.2f %% of a core\n", name, 100 * ticks / hz / span }'
}

echo "== idle cost over ${span} s (display $DISPLAY, openbox), the same static page from 127.0.0.1"

"$build/bench/BareWebView" "$url" >"$work/bare.log" 2>&1 &
bare=$!
pids+=("$bare")
window=$(window_of "$bare")
wait_for_title "$window" "Idle page"
measure "bare QWebEngineView window (peer)" "$bare"
kill "$bare"
wait "$bare" 2>/dev/null || true

(cd "$work" && exec "$work/program/Quietpane") >"$work/quietpane.log" 2>&1 &
program=$!
pids+=("$program")
window=$(window_of "$program")
sleep 2
# The address box has the focus at start: the page's address, Return.
xdotool key --window "$window" ctrl+l
xdotool type --delay 10 "$url"
xdotool key Return
wait_for_title "$window" "Idle page"
measure "Quietpane, after Return in the address box" "$program"
# A click into the page, as a reader does.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH / 2 + 100)) $((HEIGHT / 2)) click 1
measure "Quietpane, keyboard focus in the page" "$program"
