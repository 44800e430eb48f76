# Sourced by the screenshot scripts. Gives them a scratch folder that is removed on exit, and
# start_virtual_desktop: an Xvfb display on the first free number with openbox running on it, so
# that minimum sizes, focus and dialogs behave as on a desktop. DISPLAY is exported.
scratch=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$scratch"
}
trap cleanup EXIT

start_virtual_desktop() {
  # The first free number from TESSALINE_DISPLAY (99 unless set), so parallel sessions do not meet.
  local display=${TESSALINE_DISPLAY:-99}
  while [ -e "/tmp/.X${display}-lock" ] || [ -e "/tmp/.X11-unix/X${display}" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1280x800x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
  pids+=($!)
  export DISPLAY=":$display"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >"$scratch/openbox.log" 2>&1 &
  pids+=($!)
  sleep 1
}
