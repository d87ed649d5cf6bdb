#!/usr/bin/env bash
# Runs two builds of vegmatch through the same fixed list of sessions and checks
# that they behave identically: for every session, the exit status, the console
# output and every file the run leaves in its working folder (results files,
# record files, table dumps, anything else) must match byte for byte. Standard
# error is compared too, but a difference there is only a warning, since the
# wording of diagnostics may change.
#
#   tools/compare-runs.sh OLD_BINARY NEW_BINARY [WORKDIR]
#
# Each session gets a fresh folder per binary under WORKDIR (which must be absent
# or empty, and is kept). Without WORKDIR a temporary folder is used; it is
# removed when every session matched and kept (its path is printed) otherwise.
# Prints one line per session ("same" or "DIFFERENT: what") and exits 0 when
# all matched, 1 when any session differed, 2 on a usage or setup error.
#
# The demonstration data is taken from data/ and the shared reference files and
# samples from ../shared beside the repository (VEGMATCH_SHARED overrides it).
# Sessions run COMPARE_JOBS at a time (default: the number of processors); each
# run is stopped after 60 seconds.
set -euo pipefail

usage() {
  echo "usage: $0 OLD_BINARY NEW_BINARY [WORKDIR]" >&2
  exit 2
}
die() {
  echo "compare-runs: $*" >&2
  exit 2
}

[[ $# -eq 2 || $# -eq 3 ]] || usage

abs_path() { (cd "$(dirname "$1")" && printf '%s/%s\n' "$(pwd)" "$(basename "$1")"); }

[[ -f "$1" && -x "$1" ]] || die "not an executable file: $1"
[[ -f "$2" && -x "$2" ]] || die "not an executable file: $2"
OLD_BIN=$(abs_path "$1")
NEW_BIN=$(abs_path "$2")

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
DEMO="$ROOT/data"
SHARED=${VEGMATCH_SHARED:-"$ROOT/../shared"}
REFS=(SPECDICT3.txt VegmatchNVCDef3.txt VegmatchNVCData3.txt)

for f in "${REFS[@]}" HELP.txt SAMP.txt; do
  [[ -f "$DEMO/$f" ]] || die "missing demonstration file $DEMO/$f"
done
for f in "${REFS[@]}"; do
  [[ -f "$SHARED/refdata/$f" ]] || die "missing shared reference file $SHARED/refdata/$f"
done
SHARED_SAMPLES=("$SHARED"/samples/*.txt)
[[ -f "${SHARED_SAMPLES[0]}" ]] || die "no sample files in $SHARED/samples"
HAVE_FULL=1
for f in "${REFS[@]}"; do [[ -f "$SHARED/refdata-full/$f" ]] || HAVE_FULL=0; done

KEEP_WORK=1
if [[ $# -eq 3 ]]; then
  WORK=$3
  if [[ -e "$WORK" ]]; then
    [[ -d "$WORK" && -z "$(ls -A "$WORK")" ]] || die "WORKDIR must be absent or empty: $WORK"
  fi
  mkdir -p "$WORK"
  WORK=$(cd "$WORK" && pwd)
else
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/compare-runs.XXXXXX")
  KEEP_WORK=0
fi
mkdir -p "$WORK/setup" "$WORK/old" "$WORK/new" "$WORK/gen"

# Any stop other than the verdicts 0 and 1 says where the runs are.
# shellcheck disable=SC2317  # run by the trap
on_exit() {
  local status=$?
  if [[ $status -ne 0 && $status -ne 1 ]]; then
    echo "compare-runs: stopped (status $status); runs kept in $WORK" >&2
  fi
}
trap on_exit EXIT

# The runs see the same plain environment whichever binary they belong to.
RUN_ENV=(env -i "PATH=/usr/bin:/bin" "LC_ALL=C" "TZ=UTC" "HOME=$WORK")

N_SESSIONS=0
N_SAME=0
N_DIFFERENT=0
N_WARNED=0
declare -A SEEN=()

# ---- building a session ----------------------------------------------------------
#
# begin NAME SET   starts a session whose folder holds the reference set SET:
#                  demo (everything in data/), demo-refs (the three reference files
#                  of data/ only), shared, full (the complete shared tables), none.
# put NAME         writes stdin to NAME in the session folder.
# copy SRC [NAME]  copies a file into the session folder.
# drop NAME        removes a file of the set from the session folder.
# args ARG...      the command-line arguments of the run.
# console          writes stdin as the console input.
# lines LINE...    the console input: each argument is one line ending in "\n".
# run              the session is complete: it is run with both binaries (in the
#                  background, see JOBS) and what they did is compared.

CUR=""
ARGS=()

begin() {
  CUR=$1
  [[ -z "${SEEN[$CUR]:-}" ]] || die "session name used twice: $CUR"
  SEEN[$CUR]=1
  ARGS=()
  local dir="$WORK/setup/$CUR"
  mkdir -p "$dir"
  : >"$WORK/setup/$CUR.in"
  case $2 in
    demo) find "$DEMO" -maxdepth 1 -type f -exec cp {} "$dir/" \; ;;
    demo-refs) for f in "${REFS[@]}"; do cp "$DEMO/$f" "$dir/"; done ;;
    shared) for f in "${REFS[@]}"; do cp "$SHARED/refdata/$f" "$dir/"; done ;;
    full) for f in "${REFS[@]}"; do cp "$SHARED/refdata-full/$f" "$dir/"; done ;;
    none) ;;
    *) die "unknown reference set $2" ;;
  esac
  chmod -R u+w "$dir"
}

put() { cat >"$WORK/setup/$CUR/$1"; }
copy() {
  cp "$1" "$WORK/setup/$CUR/${2:-$(basename "$1")}"
  chmod u+w "$WORK/setup/$CUR/${2:-$(basename "$1")}"
}
drop() { rm -f "$WORK/setup/$CUR/$1"; }
args() { ARGS=("$@"); }
console() { cat >"$WORK/setup/$CUR.in"; }
lines() {
  if [[ $# -gt 0 ]]; then printf '%s\n' "$@" >"$WORK/setup/$CUR.in"; else : >"$WORK/setup/$CUR.in"; fi
}

# Runs one binary in a fresh copy of the session folder.
run_one() {
  local name=$1 side=$2 bin=$3
  local base="$WORK/$side/$name" args=()
  mapfile -d '' -t args <"$WORK/setup/$name.args"
  cp -a "$WORK/setup/$name" "$base.dir"
  local status=0
  (cd "$base.dir" &&
    "${RUN_ENV[@]}" timeout 60 "$bin" ${args[@]+"${args[@]}"} \
      <"$WORK/setup/$name.in" >"$base.stdout" 2>"$base.stderr") || status=$?
  echo "$status" >"$base.status"
}

# Name, type and permission bits of everything in a folder.
listing() { (cd "$1" && find . -mindepth 1 -printf '%P\t%y\t%m\t%l\n' | LC_ALL=C sort); }

# What differs between the old and the new folder of a session, or nothing.
compare_folders() {
  local name=$1 a b msg=""
  a=$(listing "$WORK/old/$name.dir")
  b=$(listing "$WORK/new/$name.dir")
  if [[ "$a" != "$b" ]]; then
    local only_old only_new meta
    only_old=$(LC_ALL=C comm -23 <(cut -f1 <<<"$a") <(cut -f1 <<<"$b") | tr '\n' ' ')
    only_new=$(LC_ALL=C comm -13 <(cut -f1 <<<"$a") <(cut -f1 <<<"$b") | tr '\n' ' ')
    # A name in both columns is in both folders, with another type or mode.
    meta=$(LC_ALL=C comm -3 <(printf '%s\n' "$a") <(printf '%s\n' "$b") | sed 's/^\t//' |
      cut -f1 | LC_ALL=C sort | uniq -d | tr '\n' ' ')
    if [[ -n "$only_old" ]]; then msg+="only in old run: ${only_old% }; "; fi
    if [[ -n "$only_new" ]]; then msg+="only in new run: ${only_new% }; "; fi
    if [[ -n "$meta" ]]; then msg+="type or mode: ${meta% }; "; fi
    if [[ -z "$msg" ]]; then msg+="folder listing; "; fi
  fi
  local out status=0 changed
  out=$(cd "$WORK" && LC_ALL=C diff -rq --no-dereference "old/$name.dir" "new/$name.dir" 2>&1) ||
    status=$?
  changed=$(sed -n "s|^Files old/$name\\.dir/\\(.*\\) and new/$name\\.dir/.* differ\$|\\1|p" <<<"$out" |
    tr '\n' ' ')
  if [[ -n "$changed" ]]; then
    msg+="file contents: ${changed% }; "
  elif [[ $status -ne 0 && -z "$msg" ]]; then
    msg+="diff -r: $(head -n 1 <<<"$out"); "
  fi
  printf '%s' "${msg%; }"
}

# Runs a session with both binaries and writes its verdict to result/NAME:
# "same" or "different", the line to print, then any warning lines.
session_worker() {
  local name=$1
  run_one "$name" old "$OLD_BIN"
  run_one "$name" new "$NEW_BIN"
  local o="$WORK/old/$name" n="$WORK/new/$name"
  local what=() status_old status_new folder
  status_old=$(<"$o.status")
  status_new=$(<"$n.status")
  [[ "$status_old" == "$status_new" ]] || what+=("exit status (old $status_old, new $status_new)")
  cmp -s "$o.stdout" "$n.stdout" || what+=("stdout")
  folder=$(compare_folders "$name")
  if [[ -n "$folder" ]]; then what+=("$folder"); fi

  local tmp="$WORK/result/.$name"
  if [[ ${#what[@]} -eq 0 ]]; then
    printf 'same\nsame       %s\n' "$name" >"$tmp"
  else
    local joined
    joined=$(printf '%s; ' "${what[@]}")
    printf 'different\nDIFFERENT  %s: %s\n' "$name" "${joined%; }" >"$tmp"
  fi
  if ! cmp -s "$o.stderr" "$n.stderr"; then
    printf 'WARNING    %s: diagnostics differ (stderr)\n' "$name" >>"$tmp"
  fi
  if [[ "$status_old" -ge 124 || "$status_new" -ge 124 ]]; then
    printf 'WARNING    %s: a run timed out, crashed or could not start (old %s, new %s)\n' \
      "$name" "$status_old" "$status_new" >>"$tmp"
  fi
  mv "$tmp" "$WORK/result/$name"
}

# Sessions run in the background, JOBS at a time; their lines are printed in
# the order the sessions were defined.
JOBS=${COMPARE_JOBS:-$(nproc 2>/dev/null || echo 2)}
[[ "$JOBS" =~ ^[1-9][0-9]*$ ]] || die "COMPARE_JOBS must be a positive number"
mkdir -p "$WORK/result"
SESSIONS=()
RUNNING=0
NEXT=0

print_results() {
  while [[ $NEXT -lt ${#SESSIONS[@]} && -e "$WORK/result/${SESSIONS[$NEXT]}" ]]; do
    local file="$WORK/result/${SESSIONS[$NEXT]}" verdict
    verdict=$(head -n 1 "$file")
    N_SESSIONS=$((N_SESSIONS + 1))
    if [[ "$verdict" == same ]]; then N_SAME=$((N_SAME + 1)); else N_DIFFERENT=$((N_DIFFERENT + 1)); fi
    N_WARNED=$((N_WARNED + $(grep -c '^WARNING' "$file" || true)))
    tail -n +2 "$file"
    NEXT=$((NEXT + 1))
  done
}

wait_for_one() {
  wait -n || true
  RUNNING=$((RUNNING - 1))
  print_results
}

run() {
  if [[ ${#ARGS[@]} -gt 0 ]]; then
    printf '%s\0' "${ARGS[@]}" >"$WORK/setup/$CUR.args"
  else
    : >"$WORK/setup/$CUR.args"
  fi
  while [[ $RUNNING -ge $JOBS ]]; do wait_for_one; done
  SESSIONS+=("$CUR")
  session_worker "$CUR" &
  RUNNING=$((RUNNING + 1))
}

# ---- console inputs --------------------------------------------------------------

# Title screen (two pauses and the help question), then the run settings of a
# data-file run: results file, format, input source 1, data file, species group,
# cover scale, analysis type, fits, and RETURN at the closing message.
datafile_run() { # FORMAT DATAFILE GROUP SCALE ANALYSIS FITS
  lines "" "" "" "" "$1" "1" "$2" "$3" "$4" "$5" "$6" ""
}

# ---- generated data files --------------------------------------------------------

GEN="$WORK/gen"
pad79() { printf '%-*s%s' $((79 - ${#2})) "$1" "$2"; } # TEXT END: exactly 79 characters

# CRLF line ends throughout.
sed 's/$/\r/' "$DEMO/SAMP.txt" >"$GEN/crlf.txt"

# Lines of exactly 79 characters (header and species, LF and CRLF), lines of 80
# and more (split by the reader), an empty sample block, blank lines between and
# around samples, tabs, a lone carriage return, and no line end at the very end.
{
  printf '\n\n'
  printf '%s\n' "$(pad79 'Header of exactly seventy-nine characters' 'x')"
  printf '%s\n' "$(pad79 'Quercus robur' '40')"
  printf '%s\r\n' "$(pad79 'Corylus avellana' '25')"
  printf '%s\n' "$(pad79 'Hyacinthoides non-scripta' '4')"
  printf '%s\n' "$(pad79 'Anemone nemorosa' '30')X"
  printf '%-90s%s\n' "Hedera helix" "10"
  printf 'Rubus\tfruticosus\t10\n'
  printf '   \n'
  printf '\n'
  printf 'Empty block\n'
  printf '\n'
  printf '\n\n'
  printf 'Meadow after blanks\n'
  printf 'Cynosurus cristatus 15\r\n'
  printf 'Centaurea nigra 10\rLathyrus pratensis 5\n'
  printf '%s\r\n' "$(pad79 'Festuca rubra' '20')"
  printf '%s\r' "$(pad79 'Holcus lanatus' '15')"
  printf 'Plantago lanceolata 10\n'
  printf '\n'
  printf 'Last sample without line end\n'
  printf 'Calluna vulgaris 50\n'
  printf 'Erica cinerea 5'
} >"$GEN/edges.txt"

# Header only, at the end of the file.
printf 'Oak\nQuercus robur 50\n\nHeader only at the end\n' >"$GEN/header-last.txt"
# Nothing but blank lines; and an empty file.
printf '\n\n   \n\n' >"$GEN/blank-only.txt"
: >"$GEN/empty.txt"

# Bad data-file lines: missing covers, words for numbers, negative, over the limit,
# too large for the table, frequencies out of range, bad maximum frequencies,
# markers, repeats, one-word names and names the dictionary lacks.
cat >"$GEN/bad-lines.txt" <<'EOF'
Odd lines
Quercus robur
Quercus robur forty
Quercus robur -5
Corylus avellana 250
Corylus avellana 99999
Corylus avellana 3276.7
Corylus avellana 3276.8
Hedera helix 1e3
Hedera helix 0.05
Hedera helix 12.345678
Quercus
Quercus 20
*Anemone nemorosa 10
**Anemone nemorosa 12
***Anemone nemorosa 14
Anemone nemorosa* 16
Anemone nemorosa 18
Anemone nemorosa 19
Nonesuch plantus 5
Nonesuch plantus 6
NONESUCH PLANTUS 7
X 1

Frequencies * 10
Festuca ovina 10 40
Festuca ovina 11 40
Festuca ovina -1 40
Festuca ovina 1000 5
Festuca ovina 7
Carex flacca 9 5 extra

Too frequent * 200
Festuca ovina 10 40

Word frequency * ten
Festuca ovina 10 40

Zero frequency * 0
Festuca ovina 10 40

Frequency with blanks *    7
Festuca ovina 5 40

A sample name that is very much longer than thirty characters
Calluna vulgaris 50
EOF

# Record-file headers that name a cover scale (COVR%, BR-BL, DOMIN at the columns
# a record puts them), read back with the percent setting.
{
  printf '%-30s     %5s\n' "Plot on percent" "COVR%"
  printf ' quer robu    45\n cory avel    30\n hyac non-    50\n'
  printf '                      \n'
  printf '%-30s     %5s\n' "Plot on Braun-Blanquet" "BR-BL"
  printf ' cyno cris     3\n cent nigr     2\n lath prat     1\n'
  printf '                      \n'
  printf '%-30s   *%3d %5s\n' "Frequency on Domin" 10 "DOMIN"
  printf ' fest ovin   10   7\n care flac    9   4\n'
  printf '                      \n'
} >"$GEN/record-tags.txt"

# A data file with more species than a sample takes (300), from the shared dictionary.
awk 'BEGIN { print "Crowded plot" } NR <= 320 { print $2, $3, 1 }' \
  "$SHARED/refdata/SPECDICT3.txt" >"$GEN/crowded.txt"

# More new names than there are codes for them (1000): five samples of 250
# names that no dictionary holds.
awk 'BEGIN {
  a = "abcdefghijklmnopqrstuvwxyz"; n = 0
  for (s = 1; s <= 5; s++) {
    print "New names " s
    for (k = 0; k < 250; k++) {
      i = n++
      print "Q" substr(a, int(i / 676) % 26 + 1, 1) substr(a, int(i / 26) % 26 + 1, 1) \
        substr(a, i % 26 + 1, 1) " zz" substr(a, i % 26 + 1, 1) " 2"
    }
    print ""
  }
}' >"$GEN/new-names.txt"

# More samples than one run takes (100000): the rest is reported as unread.
awk 'BEGIN { for (i = 1; i <= 100002; i++) printf "P%d\nCalluna vulgaris %d\n\n", i, i % 90 + 1 }' \
  >"$GEN/many-samples.txt"

# ---- (1) data-file runs of the demonstration sample file -------------------------

for format in 0 1; do
  for scale in 1 2 3; do
    for analysis in 1 2 3 4 5; do
      for group in 0 1 2; do
        for fits in 1 5 99; do
          begin "demo-file-f$format-s$scale-a$analysis-g$group-n$fits" demo
          datafile_run "$format" "" "$group" "$scale" "$analysis" "$fits"
          run
        done
      done
    done
  done
done

# ---- (2) data-file runs on the shared reference files and samples ----------------

for sample in "${SHARED_SAMPLES[@]}"; do
  stem=$(basename "$sample" .txt)
  # FORMAT GROUP SCALE ANALYSIS FITS
  for settings in "0 0 1 1 5" "1 0 1 1 5" "1 1 1 2 99" "0 2 3 3 1" "1 0 2 4 10" "0 1 1 5 99" \
    "0 0 1 4 99"; do
    read -r format group scale analysis fits <<<"$settings"
    begin "shared-$stem-f$format-s$scale-a$analysis-g$group-n$fits" shared
    copy "$sample" samples.txt
    datafile_run "$format" samples.txt "$group" "$scale" "$analysis" "$fits"
    run
  done
done

if [[ $HAVE_FULL -eq 1 ]]; then
  # The complete tables hold more association lines than the program takes.
  begin shared-full-pquads full
  copy "$SHARED/samples/pquads_small.txt" samples.txt
  datafile_run 0 samples.txt 0 1 1 5
  run
fi

# ---- (3) other data files --------------------------------------------------------

for gen in crlf edges header-last blank-only empty bad-lines record-tags; do
  for format in 0 1; do
    begin "datafile-$gen-f$format" demo
    copy "$GEN/$gen.txt" data.txt
    datafile_run "$format" data.txt 0 1 1 5
    run
  done
done

begin datafile-record-tags-domin-then-bb demo
copy "$GEN/record-tags.txt" data.txt
# Each header naming another scale asks for RETURN and the parameters again.
lines "" "" "" "" "1" "1" "data.txt" "" "" "" "3" "" "2" "" "" "3" "4" ""
run

begin datafile-crowded-f1 shared
copy "$GEN/crowded.txt" data.txt
datafile_run 1 data.txt 0 1 1 5
run

begin datafile-new-names-f1 demo-refs
copy "$GEN/new-names.txt" data.txt
datafile_run 1 data.txt 0 1 1 3
run

begin datafile-new-names-f0 demo-refs
copy "$GEN/new-names.txt" data.txt
datafile_run 0 data.txt 2 1 2 3
run

begin datafile-many-samples demo-refs
copy "$GEN/many-samples.txt" data.txt
datafile_run 0 data.txt 0 1 1 1
run

# The data file question: missing names, a folder, then the default.
begin datafile-question-refusals demo
mkdir "$WORK/setup/$CUR/plots"
lines "" "" "" "" "" "1" "nothere.txt" "plots" "" "" "" "" "" ""
run

begin datafile-question-input-ends demo
drop SAMP.txt
lines "" "" "" "" "" "1" "" "nothere.txt"
run

# A data-file dialogue (a missing file refused first), cut short after every line.
DF_DIALOGUE=("" "" "" "" "1" "1" "nothere.txt" "" "2" "3" "4" "7" "")
for ((k = 4; k < ${#DF_DIALOGUE[@]}; k++)); do
  begin "$(printf 'datafile-dialogue-ends-after-line-%02d' "$k")" demo
  lines "${DF_DIALOGUE[@]:0:k}"
  run
done

# A data-file run whose answers are given with carriage returns.
begin datafile-crlf-answers demo
printf '\n\n\n\r\n1\r\n1\r\nSAMP.txt\r\n1\r\n2\r\n3\r\n7\r\n\r\n' | console
run

# ---- (4) typed sessions -----------------------------------------------------------

# One long typed session, run whole and cut short after every line of it.
KB_LONG=(
  "" ""                        # title pauses
  ""                           # no help
  ""                           # results file TABLOUT.TXT
  "1"                          # tabulated text output
  "0"                          # keyboard
  ""                           # record file: SAMP.txt is taken, so SAMP1.txt
  "1"                          # no lichens
  "1"                          # percent cover
  "1"                          # mixed analysis
  "3"                          # fits
  "Oak wood"                   # sample name
  "Quercus robur 40"
  "Corylus avellana 30"
  "Hyacinthoides non-scripta 50"
  "Quercus robur 45"           # replaces the first line
  "*Anemone nemorosa 10"       # marked
  "Anemone nemorosa 5"
  "Hedera hibrida 10" "3"      # menu: item 3
  "Xylaria hypoxylon 5" "2"    # menu: DELETE
  "Gymnadenia conopsea 2" "1"  # menu: NEW NAME
  "Quercus robur"              # bad line
  ""                           # end of the list: recap
  "Rubus fruticosus 20"        # typed at the confirmation: added
  "" ""                        # end of the list, complete
  "r" "3" "2"                  # reset: Domin, species only
  "Meadow * 10"                # frequency sample
  "Cynosurus cristatus 8 7"
  "Centaurea nigra 5 5"
  "Lathyrus pratensis 11 5"    # frequency over the maximum
  "" ""
  "x"                          # not an answer: asked again
  ""                           # continue
  "Empty"                      # a sample with no lines
  ""
  ""                           # default sample name
  "Calluna vulgaris 5"
  "" ""
  "e"
  ""
)
begin kb-long demo
lines "${KB_LONG[@]}"
run
for ((k = 0; k < ${#KB_LONG[@]}; k++)); do
  begin "$(printf 'kb-long-ends-after-line-%02d' "$k")" demo
  if [[ $k -gt 0 ]]; then lines "${KB_LONG[@]:0:k}"; else lines; fi
  run
done
# Input ending inside a line: the first K lines, then TEXT with no line end.
for cut in "3:TABL" "4:1" "11:Oak wo" "12:Quercus robur 4" "19:3" "26:Rubus fruticosus 20" \
  "29:r" "30:3" "38:x" "46:e"; do
  k=${cut%%:*}
  begin "$(printf 'kb-long-ends-inside-line-%02d' "$k")" demo
  { printf '%s\n' "${KB_LONG[@]:0:k}"; printf '%s' "${cut#*:}"; } | console
  run
done

# Title screen: help shown (HELP.txt present and absent), help paged to the end
# and cut short, letters typed ahead at the pauses.
HELP_SESSION_TAIL=("" "" "" "" "" "" "" "" "Heath" "Calluna vulgaris 60" "Erica tetralix 10" "" "" "e" "")
begin kb-title-help demo
{
  printf '\n\nH'
  printf '\n%.0s' $(seq 18)
  printf '%s\n' "${HELP_SESSION_TAIL[@]}"
} | console
run
begin kb-title-help-lower-case demo
{
  printf '\n\nhelp\n'
  printf '\n%.0s' $(seq 14)
  printf '%s\n' "${HELP_SESSION_TAIL[@]}"
} | console
run
begin kb-title-help-missing demo
drop HELP.txt
{
  printf '\n\nH'
  printf '%s\n' "${HELP_SESSION_TAIL[@]}"
} | console
run
for n in 0 1 2 3 5 17 19 25; do
  begin "kb-title-help-input-ends-after-$n" demo
  { printf '\n\nH'; if [[ $n -gt 0 ]]; then printf '\n%.0s' $(seq "$n"); fi; } | console
  run
done
begin kb-title-typed-ahead demo
printf 'abcxyz\nq\n\n\n\n\n\n\n\nT1\nQuercus robur 40\n\n\ne\n\n' | console
run
begin kb-title-help-short-page demo
# A help file with long lines (read in pieces) and no line end at its end.
{
  for i in $(seq 30); do printf 'Help line %d %s\n' "$i" "$(printf 'x%.0s' $(seq $((i * 4))))"; done
  printf 'last'
} | put HELP.txt
{ printf '\n\nH'; printf '\n%.0s' $(seq 4); printf '%s\n' "${HELP_SESSION_TAIL[@]}"; } | console
run

# Samples typed at the keyboard.
begin kb-cover-sample demo
lines "" "" "" "" "" "" "" "" "" "" "" \
  "Oakwood bluebell plot" "Quercus robur 60" "Corylus avellana 25" "Crataegus monogyna 5" \
  "Lonicera periclymenum 5" "Rubus fruticosus 10" "Hedera helix 10" "Pteridium aquilinum 5" \
  "Anemone nemorosa 30" "Hyacinthoides non-scripta 40" "Viola riviniana 2" "Holcus mollis 5" \
  "Kindbergia praelonga 5" "Thuidium tamariscinum 5" "Mnium hornum 2" "" "" "e" ""
run

begin kb-frequency-sample demo
lines "" "" "" "" "" "" "" "" "" "" "99" \
  "Chalk down turf * 10" "Festuca ovina 10 40" "Avenula pratensis 7 10" "Koeleria macrantha 6 3" \
  "Carex flacca 9 5" "Sanguisorba minor 8 5" "Lotus corniculatus 8 5" "Thymus praecox 9 8" \
  "Festuca ovina 11 40" "Festuca ovina 7" "Gymnadenia conopsea 2 1" "1" "" "" "E" ""
run

begin kb-frequency-header-refused demo
lines "" "" "" "" "" "" "" "" "" "" "" \
  "Turf * 200" "Turf * -3" "Turf * 12345678901234567890" "Turf *" \
  "Festuca ovina 40" "" "" "" \
  "Turf two * abc" "Festuca ovina 40" "" "" "e" ""
run

begin kb-bad-lines demo
lines "" "" "" "" "1" "" "" "" "" "" "" \
  "Odd lines" "Quercus robur" "Quercus robur forty" "Quercus robur -5" "Corylus avellana 250" \
  "Corylus avellana 99999" "Hedera helix 0.05" "Hedera helix 12.345678" "Quercus 20" "4" \
  "X 1" "2" "$(printf 'Calluna vulgaris%70s' 5)" "$(pad79 'Erica tetralix' '7')" \
  "$(printf '%0120d' 0)" "Taraxacum sp 2" "Mnium hornum 2" "   " "" "e" ""
run

begin kb-markers-and-repeats demo
lines "" "" "" "" "" "" "" "" "" "" "" \
  "Marked" "*Anemone nemorosa 10" "**Anemone nemorosa 12" "***Anemone nemorosa 14" \
  "Anemone nemorosa* 16" "Anemone nemorosa 18" "Anemone nemorosa 19" "*Anemone nemorosa 11" \
  "Quercus robur 40" "Quercus robur 45" "quercus ROBUR 50" "Quercus robustissima 55" \
  "Avenula pratensis 5" "Helictochloa pratensis 7" "" "" "e" ""
run

# Names the dictionary lacks, through the menu: an item, NEW NAME (and the new
# name typed again), DELETE, answers outside the menu, one-word names; then the
# console input ending at the menu; then a menu longer than can be shown.
begin kb-menu-choices demo
lines "" "" "" "" "" "" "" "" "" "" "" \
  "Menu plot" "Quercus robur 40" \
  "Hedera hibrida 10" "3" \
  "Gymnadenia conopsea 5" "1" \
  "Gymnadenia conopsea 6" \
  "Xylaria hypoxylon 5" "2" \
  "Zzzz zzzz 5" "99" \
  "Corylus 5" "" \
  "Pteridium 5" "abc" \
  "Pteridium 7" "11" \
  "Gymnadenia 3" "4" \
  "" "" "e" ""
run

begin kb-menu-input-ends demo
lines "" "" "" "" "" "" "" "" "" "" "" "Menu plot" "Quercus robur 40" "Hedera hibrida 10"
run

begin kb-menu-long-list shared
lines "" "" "" "" "" "" "" "" "" "" "" \
  "Sedge plot" "Carex 5" "75" "Carex 6" "60" "Carex 7" "74" "Salix zzz 3" "3" "" "" "e" ""
run

begin kb-shared-sample shared
lines "" "" "" "" "0" "0" "" "0" "3" "1" "10" \
  "Wet meadow" "Filipendula ulmaria 7" "Galium uliginosum 4" "Angelica sylvestris 5" \
  "Juncus subnodulosus 6" "Holcus lanatus 4" "Calliergonella cuspidata 3" "" "" \
  "r" "2" "4" "Another" "Filipendula ulmaria 5" "Urtica dioica 4" "" "" "e" ""
run

# File names: a results name and a record name that exist already are refused,
# defaults move on to the next free numbered name, names that cannot be created.
begin kb-file-names-taken demo
echo "old results" | put TABLOUT.TXT
echo "old results 1" | put TABLOUT1.TXT
echo "my old results" | put mine.csv
lines "" "" "" "TABLOUT.TXT" "mine.csv" "" "" "0" "SAMP.txt" "" "" "" "" "" \
  "Taken names" "Quercus robur 40" "" "" "e" ""
run

begin kb-file-names-typed demo
lines "" "" "" "no-such-folder/out.csv" "results.csv" "" "" \
  "no-such-folder/rec.txt" "record.txt" "" "" "" "" "Typed names" "Quercus robur 40" "" "" "e" ""
run

begin kb-file-names-long demo
# Typed names longer than 49 characters are cut to 49.
lines "" "" "" "$(printf 'r%.0s' $(seq 60)).txt" "" "" \
  "$(printf 's%.0s' $(seq 45)).record" "" "" "" "" "Long names" "Quercus robur 40" "" "" "e" ""
run

begin kb-settings-refused demo
# Answers outside the limits or without digits are refused and asked again.
lines "" "" "" "" \
  "2" "-1" "abc" "1" \
  "5" " 0" \
  "" \
  "3" "x" "2" \
  "0" "4" "99999999999999999999" "2" \
  "0" "6" "3" \
  "0" "100" "abc" "-3" " 7 " \
  "Refusals" "Quercus robur 4" "Corylus avellana 3" "" "" "e" ""
run

# A header naming another cover scale than the one set: RETURN, then the
# parameters again, before the species lines.
begin kb-header-scale-mismatch demo
lines "" "" "" "" "" "" "" "" "2" "" "" \
  "$(printf '%-30s     %5s' 'Percent plot' 'COVR%')" "" "1" "" "Quercus robur 40" "" "" \
  "" "$(printf '%-30s   *%3d %5s' 'Domin freq plot' 10 'DOMIN')" "" "" "" \
  "Festuca ovina 10 7" "" "" \
  "" "$(printf '%-30s     %5s' 'Same scale plot' 'COVR%')" "Quercus robur 40" "" "" "e" ""
run

begin kb-reset-and-top-few demo
lines "" "" "" "" "1" "" "" "2" "" "" "4" \
  "First" "Quercus robur 40" "Corylus avellana 30" "" "" \
  "r" "2" "5" "Second" "Quercus robur 2" "Corylus avellana 4" "Hedera helix 1" "" "" \
  "R" "" "" "Third" "Quercus robur 40" "" "" "exit" ""
run

begin kb-empty-samples demo
lines "" "" "" "" "" "" "" "" "" "" "" \
  "" "" "No lines" "" "Only bad" "Quercus robur" "" "Only deleted" "Xylaria hypoxylon 5" "2" "" \
  "Real" "Quercus robur 4" "" "" "e" ""
run

# Answers ending in CR LF; at the title pauses, which take single characters,
# the carriage returns count as keys of their own.
begin kb-crlf-answers demo
printf '\n\n\n\r\n1\r\n0\r\n\r\n\r\n\r\n\r\n\r\nCR plot\r\nQuercus robur 40\r\nCorylus avellana 30\r\n\r\n\r\ne\r\n\r\n' |
  console
run
begin kb-crlf-everywhere demo
printf '\r\n\r\n\r\n\r\n1\r\n0\r\n\r\n\r\n\r\n\r\n\r\nCR plot\r\nQuercus robur 40\r\nCorylus avellana 30\r\n\r\n\r\ne\r\n\r\n' |
  console
run

begin kb-no-input demo
lines
run

# ---- (5) command line, table dumps and missing reference files --------------------

begin cmd-help none
args --help
run
begin cmd-bad-argument none
args -x
run
begin cmd-help-extra-argument none
args --help extra
run
begin cmd-two-arguments none
args --dump-tables --help
run
begin dump-tables-demo demo
args --dump-tables
run
begin dump-tables-shared shared
args --dump-tables
run
if [[ $HAVE_FULL -eq 1 ]]; then
  begin dump-tables-full full
  args --dump-tables
  run
fi
begin dump-tables-no-reference-files none
args --dump-tables
run
begin dump-tables-existing-dump demo
echo "an older dump" | put A01-arrSpecies.txt
args --dump-tables
run

begin refs-missing-datafile-run none
copy "$DEMO/SAMP.txt"
datafile_run 0 "" 0 1 1 5
run
for f in "${REFS[@]}"; do
  begin "refs-without-$f" demo
  drop "$f"
  datafile_run 1 "" 0 1 1 5
  run
done

# Damaged reference files: truncated lines, a dictionary line with too few fields,
# an association line naming an unknown unit, an over-long line.
begin refs-damaged-dictionary demo
{ head -n 20 "$DEMO/SPECDICT3.txt"; echo "77"; echo "78 abcd"; printf '79 %0100d x\n' 0;
  tail -n +21 "$DEMO/SPECDICT3.txt" | head -n 30; echo "x y z"; tail -n +51 "$DEMO/SPECDICT3.txt"; } |
  put SPECDICT3.txt
datafile_run 0 "" 0 1 1 5
run
begin refs-damaged-definitions demo
{ head -n 5 "$DEMO/VegmatchNVCDef3.txt"; printf 'XX1\t%0100d\t\tE9\tLong\n' 0; echo "XX9";
  printf '%0200d\n' 0; tail -n +6 "$DEMO/VegmatchNVCDef3.txt"; } | put VegmatchNVCDef3.txt
datafile_run 0 "" 0 1 1 5
run
begin refs-damaged-associations demo
{ head -n 30 "$DEMO/VegmatchNVCData3.txt"; printf 'ZZ99\t1\t5\tNothing\tV\t1-5\n';
  printf 'W10\t99999\t5\tNothing\tV\t1-5\n'; printf 'W10\t1\t999\tNothing\tV\t1-5\n';
  printf 'W10\t1\n'; printf '%0300d\n' 0; tail -n +31 "$DEMO/VegmatchNVCData3.txt"; } |
  put VegmatchNVCData3.txt
datafile_run 0 "" 0 1 1 5
run
begin refs-damaged-dump demo
{ head -n 30 "$DEMO/VegmatchNVCData3.txt"; printf 'ZZ99\t1\t5\tNothing\tV\t1-5\n';
  printf 'W10\t1\t999\tNothing\tV\t1-5\n'; tail -n +31 "$DEMO/VegmatchNVCData3.txt"; } |
  put VegmatchNVCData3.txt
args --dump-tables
run

# ---- summary ---------------------------------------------------------------------

while [[ $RUNNING -gt 0 ]]; do wait_for_one; done
wait
print_results
if [[ $NEXT -lt ${#SESSIONS[@]} ]]; then
  for ((k = NEXT; k < ${#SESSIONS[@]}; k++)); do
    [[ -e "$WORK/result/${SESSIONS[$k]}" ]] || echo "ERROR      ${SESSIONS[$k]}: the comparison did not finish" >&2
  done
  die "some sessions could not be compared"
fi

# A comparison that never ran the program would find nothing: the default
# data-file run must have scored the six demonstration samples.
sanity="$WORK/old/demo-file-f0-s1-a1-g0-n5"
if [[ "$(<"$sanity.status")" != 0 ]] ||
  [[ "$(grep -c ',Results,1,' "$sanity.dir/TABLOUT.TXT" 2>/dev/null || true)" != 6 ]]; then
  die "the old binary did not score the demonstration samples; is $OLD_BIN a build of vegmatch?"
fi

echo
echo "$N_SESSIONS sessions: $N_SAME same, $N_DIFFERENT different, $N_WARNED warnings"
if [[ $N_DIFFERENT -gt 0 ]]; then
  echo "runs kept in $WORK (old/ and new/: NAME.dir, NAME.stdout, NAME.stderr, NAME.status)"
  exit 1
fi
if [[ $KEEP_WORK -eq 1 ]]; then
  echo "runs kept in $WORK"
else
  rm -rf "$WORK"
fi
exit 0
