#!/usr/bin/env bash
# Fresh machine to the main job: installs what is missing, builds everything, and runs an
# OPOS application that prints a receipt through the service object to the simulated printer.
set -euo pipefail
source "$(dirname "$0")/env.sh"
bash "$ROOT/scripts/setup.sh"
build_all
cd "$BUILD/bin"
# Through a pipe, so Wine writes plain lines rather than drawing on a terminal.
run_with_wine bash -c 'wine receipt_app.exe | cat; exit "${PIPESTATUS[0]}"'
