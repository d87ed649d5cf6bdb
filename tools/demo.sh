#!/usr/bin/env bash
# Builds the program and classifies the bundled real survey (data/samples/
# example_real.txt: 60 presence-only quadrats of Whitwell Common) against the
# bundled NVC tables (data/nvc), writing tidy results, the synoptic table and
# the HTML report in build/demo.
# With "-i" it starts the typed program in build/demo instead (the survey is
# there as SAMP.txt, the default data file).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh
cmake -S . -B build >/dev/null
cmake --build build -j2 --target vegmatch >/dev/null
rm -rf build/demo
mkdir -p build/demo
cp data/samples/example_real.txt build/demo/SAMP.txt
if [ "${1:-}" = "-i" ]; then
  cd build/demo
  exec ../vegmatch
fi
build/vegmatch classify --scale presence --habitats ukhab \
  --species-lists build/demo/species-lists.csv -o build/demo/results.csv \
  --synoptic build/demo/synoptic.csv --report build/demo/report.html \
  data/samples/example_real.txt
echo "Best fit of the first samples (sample, NVC unit, mean fit %, class):"
awk -F, 'NR > 1 && $2 == 1 {printf "  %-14s %-6s %5s  %s\n", $1, $3, $6, $11}' build/demo/results.csv | head -6
echo "Results written to $(pwd)/build/demo/results.csv"
echo "Species lists written to $(pwd)/build/demo/species-lists.csv"
echo "Synoptic table written to $(pwd)/build/demo/synoptic.csv"
echo "Report written to $(pwd)/build/demo/report.html (open it in a browser)"
