#!/usr/bin/env bash
# Installs what Tapwell needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
bash scripts/build.sh default
exec ./build/default/src/app/tapwell "$@"
