#!/usr/bin/env bash
# Fresh machine to the main job: installs what is missing, builds everything, prints a
# receipt with PrintNormal through the printer sub-module to the simulated printer.
set -euo pipefail
source "$(dirname "$0")/env.sh"
bash "$ROOT/scripts/setup.sh"
build_all
cd "$BUILD/bin"
run_with_wine wine demo_print.exe
