#!/usr/bin/env bash
# Runs one command under Wine on an existing build, e.g. scripts/wine.sh ctest --test-dir
# build -R prennik. Where the kernel runs no 32-bit programs, it runs in the qemu guest.
set -euo pipefail
source "$(dirname "$0")/env.sh"
run_with_wine "$@"
