#!/usr/bin/env bash
# Installs what the tests need, builds, and runs the whole test suite: the normal
# build, the same suite under AddressSanitizer + UndefinedBehaviorSanitizer, and a
# bounded run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== build and test (default preset)"
bash scripts/build.sh default
# End-to-end tests share two cores with real X servers and tray hosts; a test that
# fails once is run again (the failure stays in the log).
ctest --preset default --parallel "$(nproc)" --timeout 300 --repeat until-pass:2

echo "== build and test under sanitizers (asan preset)"
bash scripts/build.sh asan
ctest --preset asan --parallel "$(nproc)" --timeout 600 --repeat until-pass:2

echo "== fuzzers (${FUZZ_SECONDS:-30} s each)"
bash scripts/fuzz.sh
