#!/usr/bin/env bash
# Builds the program and classifies the bundled real survey (data/samples/
# example_real.txt, 60 quadrats of Whitwell Common) against the bundled NVC
# tables (data/nvc), in build/demo. Answers the program's questions for a
# data-file run with the default settings, then says where the results are.
# With "-i" it starts the program for typing at the keyboard instead.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j2 --target vegmatch >/dev/null
rm -rf build/demo
mkdir -p build/demo
cp data/samples/example_real.txt build/demo/SAMP.txt
cd build/demo
if [ "${1:-}" = "-i" ]; then
  exec ../vegmatch
fi
# Title pauses, results file, CSV format, data file input, SAMP.txt, all species,
# percent cover, mixed analysis, five fits; the end message.
printf '\n\n\n\n\n1\n\n\n\n\n\n\n' | ../vegmatch >screen.txt
samples=$(grep -c ',Results,1,' TABLOUT.TXT)
echo "Scored $samples samples of data/samples/example_real.txt against the NVC tables."
echo "Best fit of the first samples (sample, NVC unit, mean fit %):"
grep ',Results,1,' TABLOUT.TXT | head -5 | awk -F, '{printf "  %-14s %-6s %s\n", $1, $5, $6}'
echo "Results written to $(pwd)/TABLOUT.TXT (screen output in $(pwd)/screen.txt)."
