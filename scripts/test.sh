#!/usr/bin/env bash
# Installs what the tests need, builds, and runs the whole test suite: the normal
# build, the same suite under AddressSanitizer + UndefinedBehaviorSanitizer, and a
# bounded run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== build and test (default preset)"
bash scripts/build.sh default
ctest --preset default --parallel "$(nproc)" --timeout 300

echo "== build and test under sanitizers (asan preset)"
bash scripts/build.sh asan
ctest --preset asan --parallel "$(nproc)" --timeout 600

echo "== fuzzers (${FUZZ_SECONDS:-30} s each)"
bash scripts/fuzz.sh
