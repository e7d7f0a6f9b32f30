# A private X display for a session in a real window: Xvfb of the plant's 1024 x 768 with a
# window manager (openbox), as tests/window/run and tests/package/run use it. Source it, then
#   start_display WORK [WIDTHxHEIGHT]  starts both (logs in WORK), exports DISPLAY, XDG_RUNTIME_DIR
#                        (WORK/runtime) and QT_QPA_PLATFORM=xcb; prints why and fails when
#                        either does not start;
#   stop_display         stops both.
xvfb_pid=""
wm_pid=""

start_display() {
  local work="$1" screen="${2:-1024x768}"
  mkdir -p "$work/runtime"
  chmod 700 "$work/runtime"
  # Xvfb picks a free display and writes its number once it accepts clients. -noreset: the
  # accessibility bus launcher connects and leaves again, and a server that resets when its last
  # client leaves refuses the station that connects in that moment.
  Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>"$work/display" \
    2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 200); do
    [ -s "$work/display" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  [ -s "$work/display" ] || { cat "$work/xvfb.log"; echo "Xvfb did not start"; return 1; }

  export DISPLAY=":$(head -n 1 "$work/display")"
  export XDG_RUNTIME_DIR="$work/runtime"
  export QT_QPA_PLATFORM=xcb
  unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS

  # The panels are placed and framed as on the plant's screen: by a window manager.
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  for _ in $(seq 200); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    kill -0 "$wm_pid" 2>/dev/null || break
    sleep 0.05
  done
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" ||
    { cat "$work/openbox.log"; echo "openbox did not start"; return 1; }
}

stop_display() {
  if [ -n "$wm_pid" ]; then
    kill "$wm_pid" 2>/dev/null
    wait "$wm_pid" 2>/dev/null
  fi
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null
    wait "$xvfb_pid" 2>/dev/null
  fi
  wm_pid=""
  xvfb_pid=""
}
