#!/usr/bin/env bash
# Soak run (not part of the tests): the windowed program on a private Xvfb with a
# tray host, its Test button pressed every few seconds for a long time. Reports
# the program's memory (VmRSS) and open file descriptors at the start and the
# end, how many scripts started and ended, and whether any key was left down.
#
#   scripts/soak.sh [SECONDS] [INTERVAL]     defaults: 3600 s, a script every 3 s
#
# TAPWELL names the program (default build/default/src/app/tapwell). The script
# holds Shift and Ctrl for 1 s and strikes F13 and F14, which the us keymap
# lacks, so that every round also maps and restores spare keycodes.
set -euo pipefail
cd "$(dirname "$0")/.."

SECONDS_TOTAL="${1:-3600}"
INTERVAL="${2:-3}"
TAPWELL="${TAPWELL:-build/default/src/app/tapwell}"
SCRIPT='>shift>ctrl!1<ctrl<shift_f13_f14'

for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "soak: $tool is missing (scripts/install-deps.sh)" >&2; exit 2; }
done
[ -x "$TAPWELL" ] || { echo "soak: $TAPWELL is not built (scripts/build.sh default)" >&2; exit 2; }

work="$(mktemp -d /tmp/tapwell-soak-XXXXXX)"
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A private server on a free display number.
exec 9>"$work/display"
Xvfb -displayfd 9 -noreset -nolisten tcp -screen 0 640x480x24 >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export QT_QPA_PLATFORM=xcb

# Keys down on the server, counted with XQueryKeymap.
keys_down() {
  python3 - "$DISPLAY" <<'EOF'
import ctypes, sys
x = ctypes.cdll.LoadLibrary("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
d = x.XOpenDisplay(sys.argv[1].encode())
keys = (ctypes.c_char * 32)()
x.XQueryKeymap(ctypes.c_void_p(d), keys)
print(sum(bin(b).count("1") for b in bytes(keys)))
x.XCloseDisplay(ctypes.c_void_p(d))
EOF
}

if command -v trayer >/dev/null; then
  trayer --edge top --align right --widthtype pixel --width 100 --height 24 >/dev/null 2>&1 &
  pids+=($!)
  sleep 1
fi

"$TAPWELL" >"$work/tapwell.log" 2>&1 &
app=$!
pids+=($app)

# The main window (491 pixels wide); a report box, if any, is closed first.
main=""
for _ in $(seq 100); do
  for w in $(xdotool search --pid "$app" --onlyvisible --name '^Tapwell$' 2>/dev/null || true); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ "$WIDTH" = 491 ]; then main="$w"; else xdotool windowclose "$w" 2>/dev/null || true; fi
  done
  [ -n "$main" ] && break
  sleep 0.2
done
[ -n "$main" ] || { echo "soak: the main window did not come" >&2; cat "$work/tapwell.log" >&2; exit 1; }
eval "$(xdotool getwindowgeometry --shell "$main")"
top=$((Y + HEIGHT - 104))
xdotool mousemove $((X + 244)) $((top + 58)) click 1 key ctrl+a BackSpace
xdotool type --delay 20 -- "$SCRIPT"
test_x=$((X + 125))
test_y=$((top + 84))

usage() {
  local rss fds
  rss="$(awk '/^VmRSS/ {print $2}' "/proc/$app/status")"
  fds="$(find "/proc/$app/fd" -mindepth 1 -maxdepth 1 | wc -l)"
  echo "$rss $fds"
}

started=0
ended=0
stuck=0
round() {
  xdotool mousemove "$test_x" "$test_y" click 1
  # Shift and Ctrl are held in the middle of the script (the first step may
  # wait out the timer's interval from before).
  local seen=0 i
  for i in $(seq 40); do
    if [ "$(keys_down)" -ge 2 ]; then seen=1; break; fi
    sleep 0.02
  done
  started=$((started + seen))
  for i in $(seq 60); do
    if [ "$(keys_down)" -eq 0 ]; then ended=$((ended + 1)); return; fi
    sleep 0.05
  done
  stuck=$((stuck + 1))
}

# The first rounds warm up caches; the start is measured after them.
round
round
read -r rss0 fds0 <<<"$(usage)"
echo "soak: $DISPLAY, program $app, a script every ${INTERVAL}s for ${SECONDS_TOTAL}s"
echo "soak: start VmRSS ${rss0} kB, ${fds0} open file descriptors"
end=$((SECONDS + SECONDS_TOTAL))
while [ "$SECONDS" -lt "$end" ]; do
  round_start=$SECONDS
  kill -0 "$app" 2>/dev/null || { echo "soak: the program ended" >&2; cat "$work/tapwell.log" >&2; exit 1; }
  round
  sleep "$(awk -v i="$INTERVAL" -v t="$((SECONDS - round_start))" 'BEGIN { r = i - t; print (r > 0 ? r : 0) }')"
done
read -r rss1 fds1 <<<"$(usage)"
echo "soak: end   VmRSS ${rss1} kB, ${fds1} open file descriptors"
echo "soak: rounds $((started)) started, $ended ended with no key down, $stuck with a key left down"
echo "soak: VmRSS change $((rss1 - rss0)) kB, descriptor change $((fds1 - fds0))"
xdotool mousemove 0 0
kill -TERM "$app"
wait "$app" || true
echo "soak: keys down after the program ended: $(keys_down)"
[ "$stuck" -eq 0 ] && [ "$started" -eq "$ended" ] && [ "$fds1" -le "$fds0" ]
