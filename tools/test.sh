#!/usr/bin/env bash
# Installs what the build needs (tools/deps.sh), builds everything and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build && cmake --build build -j2 && ctest --test-dir build --output-on-failure
