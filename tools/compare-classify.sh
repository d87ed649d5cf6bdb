#!/usr/bin/env bash
# Runs two builds of vegmatch through a fixed list of `classify` and `names` runs
# on the surveys of tests/data, the bundled survey and any extra files given, and
# checks that every output is the same byte for byte: standard output, standard
# error, the exit status and every file written (a workbook is compared sheet by
# sheet, as the XML of its cells, since the zip's dates differ between runs).
#
#   tools/compare-classify.sh OLD_BINARY NEW_BINARY [EXTRA_INPUT...]
#
# Prints one line per run ("same" or "DIFFERENT") and a count; exits 0 when every
# run matched, 1 otherwise. The runs are kept in a temporary folder when any differ.
set -uo pipefail

[[ $# -ge 2 ]] || { echo "usage: $0 OLD_BINARY NEW_BINARY [EXTRA_INPUT...]" >&2; exit 2; }
OLD=$(realpath "$1")
NEW=$(realpath "$2")
shift 2
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
D="$ROOT/tests/data"
WORK=$(mktemp -d "${TMPDIR:-/tmp}/compare-classify.XXXXXX")

inputs=("$D/survey_long.csv" "$D/survey_long_excel.csv" "$D/survey_matrix.csv"
        "$D/survey_wide.csv" "$D/survey.xlsx" "$D/pquads_small.txt"
        "$ROOT/data/samples/example_real.txt" "$D/damaged.xlsx" "$@")
runs=()
for f in "${inputs[@]}"; do
  runs+=("classify|$f"
         "classify --format classic-csv|$f"
         "classify --format classic-text --fits 3|$f"
         "classify --rank-by fit --habitats all --habitats-out habitats.csv --species-lists lists.csv|$f"
         "classify --indicators --synoptic synoptic.csv --report report.html|$f"
         "classify --scale presence --all-problems -o out.csv|$f"
         "classify --scale domin --strict --species-group vascular|$f"
         "classify -o out.xlsx --habitats all --indicators --synoptic synoptic.csv|$f"
         "names|$f"
         "names --map-out map.csv|$f")
done
runs+=("classify --group-by Site,Year --synoptic synoptic.csv --report report.html --indicators|$D/survey_long.csv"
       "classify --pool-by Site,Year|$D/survey_long.csv"
       "classify --sample-cols Site,Quadrat --layout long|$D/survey_long.csv"
       "classify --sheet Survey --group-by Site|$D/survey.xlsx"
       "classify --layout matrix --scale braun-blanquet|$D/survey_matrix.csv"
       "classify --jobs 1 --fits 7 --analysis cover|$D/pquads_small.txt"
       "classify --input blocks|$D/survey_long.csv"
       "classify|$D/survey_long.csv $D/survey_wide.csv $D/survey_matrix.csv")

# Normalises a run's folder for comparison: workbooks unzipped.
flatten() {
  local dir=$1
  for x in "$dir"/*.xlsx; do
    [[ -f "$x" ]] || continue
    mkdir -p "$x.d" && (cd "$x.d" && unzip -qo "$x" 'xl/*' 2>/dev/null) ; rm -f "$x"
  done
}

run_one() {
  local bin=$1 dir=$2 args=$3 files=$4
  mkdir -p "$dir"
  # shellcheck disable=SC2086
  (cd "$dir" && VEGMATCH_TABLES="$ROOT/data/nvc" "$bin" $args $files </dev/null >stdout 2>stderr; echo $? >status)
  # Paths of the two builds' own folders differ only by the folder name.
  # The time a run took is left out.
  sed -i -E "s#$dir#RUN#g; s/, [0-9]+\.[0-9] s\$/, T s/" "$dir/stdout" "$dir/stderr" 2>/dev/null
  [[ -f "$dir/report.html" ]] && sed -i "s#$dir#RUN#g" "$dir/report.html"
  flatten "$dir"
}

same=0
diff=0
i=0
for r in "${runs[@]}"; do
  i=$((i + 1))
  args=${r%%|*}
  files=${r#*|}
  run_one "$OLD" "$WORK/$i/o" "$args" "$files"
  run_one "$NEW" "$WORK/$i/n" "$args" "$files"
  if diff -r "$WORK/$i/o" "$WORK/$i/n" >/dev/null; then
    same=$((same + 1))
  else
    diff=$((diff + 1))
    echo "DIFFERENT ($i): $args ${files//$ROOT\//}"
  fi
done
echo "compare-classify: $same of $((same + diff)) runs the same"
if [[ $diff -eq 0 ]]; then rm -rf "$WORK"; exit 0; fi
echo "runs kept in $WORK"
exit 1
