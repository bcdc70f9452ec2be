#!/usr/bin/env bash
# Builds everything and runs every test under Wine. Exits non-zero on failure.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset windows >/dev/null
cmake --build --preset windows
source scripts/wine-env.sh
trap wine_env_stop EXIT
wine_env_start
ctest --preset windows -j2 "$@"
