#!/usr/bin/env bash
# Builds and runs every benchmark: the engine's Google Benchmark suite, then the
# timing harness (the real program under its own Xvfb against a receiving window,
# with xdotool as the reference), which prints the table of BENCHMARKS.md.
# Arguments go to the timing harness, e.g. --quick or --runs 7.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default >/dev/null
cmake --build --preset default --parallel "$(nproc)" --target tapwell engine_bench bench_receiver reservation_day

echo "== engine (Google Benchmark)"
./build/default/bench/engine_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

echo "== timing harness"
python3 bench/timing/timing.py --build build/default "$@"

echo "== quitting after a session of use"
python3 bench/timing/quit_timing.py --build build/default

if command -v sway >/dev/null && command -v wtype >/dev/null; then
  echo "== Wayland timing harness"
  cmake --build --preset default --parallel "$(nproc)" --target wl_receiver
  python3 bench/timing/wayland_timing.py --build build/default
fi
