#!/usr/bin/env bash
# Fresh machine to the main job: installs what is missing, builds everything, and runs an
# OPOS application that prints a receipt through the service object to the simulated printer.
set -euo pipefail
source "$(dirname "$0")/env.sh"
bash "$ROOT/scripts/setup.sh"
build_all
cd "$BUILD/bin"
run_with_wine wine receipt_app.exe
