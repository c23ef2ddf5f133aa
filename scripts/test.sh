#!/usr/bin/env bash
# Fresh machine to green: installs what is missing, builds everything, runs every test.
set -euo pipefail
source "$(dirname "$0")/env.sh"
bash "$ROOT/scripts/setup.sh"
build_all
start_wine
cd "$BUILD"
ctest --output-on-failure -j "$(nproc)" "$@"
