# Shell functions for the scripts that show windows under Wine without a screen (source this file).
#   start_virtual_display WxHxD   start Xvfb on a free display number with one screen of that size, export
#                                 DISPLAY and wait (up to 10 s) until the server answers
#   stop_virtual_displays         end every display started here
virtual_display_pids=()
start_virtual_display() {
  local n display=
  for n in $(seq 90 160); do
    if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  done
  if [ -z "$display" ]; then echo "no free display number for Xvfb" >&2; return 1; fi
  Xvfb ":$display" -screen 0 "$1" -nolisten tcp >/dev/null 2>&1 &
  virtual_display_pids+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && return 0; sleep 0.2; done
  echo "Xvfb on $DISPLAY does not answer yet; going on" >&2
}
stop_virtual_displays() {
  local pid
  for pid in "${virtual_display_pids[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  virtual_display_pids=()
}
