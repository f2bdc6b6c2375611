#!/usr/bin/env bash
# Installs what Tapwell needs, builds it and starts it.
#
# On a desktop (DISPLAY or WAYLAND_DISPLAY set) the full program starts. On a
# machine without a display a short demonstration runs instead: a virtual display
# (Xvfb) with a text window on it, Tapwell typing a script into that window, the
# text the window received printed, and a screenshot of the display saved.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh default

tapwell=./build/default/src/app/tapwell
if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$tapwell" "$@"
fi

# --- Demonstration on a virtual display -------------------------------------
text_window=./build/default/tests/e2e/e2e_qt_receiver
out_dir=./build/demo
mkdir -p "$out_dir"
screenshot="$(realpath "$out_dir")/tapwell-demo.png"

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [[ -n "${fifo_dir:-}" ]] && rm -rf "$fifo_dir"
}
trap cleanup EXIT

# Xvfb picks a free display number and reports it on a file descriptor.
fifo_dir="$(mktemp -d)"
mkfifo "$fifo_dir/display"
Xvfb -displayfd 3 -nolisten tcp -noreset -screen 0 420x60x24 3>"$fifo_dir/display" 2>/dev/null &
pids+=($!)
read -r number <"$fifo_dir/display"
export DISPLAY=":$number"
unset DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM
echo "run.sh: no display; demonstrating on the virtual display $DISPLAY"

# The text window: a line edit that prints "ready" when it has the focus and
# "text <its text>" when Enter is pressed.
"$text_window" >"$fifo_dir/window.out" 2>/dev/null &
pids+=($!)
for _ in $(seq 100); do grep -q '^ready' "$fifo_dir/window.out" && break; sleep 0.1; done

# A shifted letter, a literal, a wait, more strokes; Enter comes later.
script='>SHIFT_t<SHIFT"apwell types this line"!0.5_space_1_2_3'
echo "run.sh: tapwell --run '$script'"
"$tapwell" --run "$script"
import -window root "$screenshot"
"$tapwell" --run '_ENTER'
for _ in $(seq 50); do grep -q '^text ' "$fifo_dir/window.out" && break; sleep 0.1; done
echo "run.sh: the text window received: $(sed -n 's/^text //p' "$fifo_dir/window.out")"
echo "run.sh: screenshot saved to $screenshot"
