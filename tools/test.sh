#!/usr/bin/env bash
# Installs what the build needs (tools/deps.sh), builds everything and runs every
# test: the program's, then the R package's (assembled, checked with R CMD check,
# which runs its tests).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build && cmake --build build -j2 && ctest --test-dir build --output-on-failure
tools/r-package.sh --check
