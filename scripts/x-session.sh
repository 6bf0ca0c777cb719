# Sourced by the scripts that show windows: a work folder, processes stopped and the folder removed
# on exit, and an X server of their own (Xvfb with openbox).

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Starts Xvfb on a display it picks itself, then openbox, and returns once the window manager
# runs; DISPLAY names the display.
start_x_session() {
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
  export DISPLAY=":$(tr -d '\n' <"$work/display")"
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
  done
}

# A TCP port on 127.0.0.1 that is free now.
free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
