#!/usr/bin/env bash
# Fresh machine to green: installs what is missing, builds everything, runs every test.
set -euo pipefail
source "$(dirname "$0")/env.sh"
bash "$ROOT/scripts/setup.sh"
build_all
cd "$BUILD"
run_with_wine ctest --output-on-failure -j "$(nproc)" "$@"
