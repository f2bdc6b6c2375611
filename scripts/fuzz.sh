#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# FUZZ_SECONDS sets the time per target (default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${FUZZ_SECONDS:-30}"
bash scripts/build.sh fuzz
status=0
for target in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  work="build/fuzz/corpus-$name"
  mkdir -p "$work" "build/fuzz/artifacts-$name"
  # Inputs that once crashed run first, as regression tests.
  extra=()
  [ -d "fuzz/regressions/$name" ] && extra+=("fuzz/regressions/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -max_len=4096 -timeout=10 -print_final_stats=0 \
      -artifact_prefix="build/fuzz/artifacts-$name/" "$work" "fuzz/corpus/$name" "${extra[@]}" >"build/fuzz/$name.log" 2>&1; then
    echo "fuzz: $name FAILED (crash input in build/fuzz/artifacts-$name/)"
    tail -n 40 "build/fuzz/$name.log"
    status=1
  else
    grep -E '^(#[0-9]+|Done)' "build/fuzz/$name.log" | tail -n 1 || true
  fi
done
exit $status
