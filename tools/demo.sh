#!/usr/bin/env bash
# Builds the program and starts it in build/demo, a working folder holding a copy
# of the bundled demonstration data (reference files, help text, sample file).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j2 --target vegmatch >/dev/null
mkdir -p build/demo
cp data/* build/demo/
cd build/demo
exec ../vegmatch "$@"
