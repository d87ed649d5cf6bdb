#!/usr/bin/env bash
# Assembles the R package from r/ (its R code with the roxygen comments that
# make its help pages and NAMESPACE, its tests and the glue to the engine), the
# engine's sources in src/ and the tables in data/nvc, and builds its source
# tarball: no second copy of the sources is kept in the repository.
#
#   tools/r-package.sh            assemble and build build/r/vegmatch_*.tar.gz
#   tools/r-package.sh --check    ... then R CMD check --no-manual it (its tests
#                                 run there); an ERROR or WARNING fails
#   tools/r-package.sh --install  ... then install it into build/r/library
#
# The tests compare the package with the command line: they run the engine's
# classify in the R process on the bundled and test surveys' files, as the
# command line does, so nothing but the package is needed for them.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=${VM_R_BUILD:-$root/build/r}
pkg=$out/vegmatch
export MAKEFLAGS=${MAKEFLAGS:--j2}

rm -rf "$pkg"
mkdir -p "$pkg/src" "$pkg/inst/extdata/nvc"
cp -R r/DESCRIPTION r/LICENSE r/R r/inst r/tests "$pkg/"
cp r/src/*.cpp "$pkg/src/"

# The engine: every library the batch commands stand on, as the folders lay it out.
objects="glue.o RcppExports.o"
for dir in common console refdata scoring sample report tables names survey analyses outputs batch; do
  mkdir -p "$pkg/src/$dir"
  cp src/$dir/*.h src/$dir/*.cpp "$pkg/src/$dir/"
  cp src/$dir/*.inc "$pkg/src/$dir/" 2>/dev/null || true
  for f in src/$dir/*.cpp; do objects="$objects $dir/$(basename "${f%.cpp}").o"; done
done
{
  echo "# Made by tools/r-package.sh: the engine's objects, built as the project builds them."
  echo "CXX_STD = CXX17"
  echo "PKG_CPPFLAGS = -I."
  echo "PKG_CXXFLAGS = -pthread"
  echo "PKG_LIBS = -pthread -lzip -lexpat -lxlsxwriter"
  echo "OBJECTS = $objects"
  echo
  echo "# The fits round each product and sum on their own, as the command line's do:"
  echo "# no fused multiply-add. (The library first: make builds the first target.)"
  echo 'all: $(SHLIB)'
  for f in src/scoring/*.cpp; do
    o=scoring/$(basename "${f%.cpp}")
    printf '%s.o: %s.cpp\n\t$(CXX) $(ALL_CPPFLAGS) $(ALL_CXXFLAGS) -ffp-contract=off -c %s.cpp -o %s.o\n' "$o" "$o" "$o" "$o"
  done
} >"$pkg/src/Makevars"

cp data/nvc/* "$pkg/inst/extdata/nvc/"
cp data/samples/example_real.txt "$pkg/inst/extdata/"
cp tests/data/survey_long.csv tests/data/survey_matrix.csv "$pkg/tests/testthat/"

# The help pages and NAMESPACE from the roxygen comments of the R code, read
# from its source (nothing compiled, nothing fetched); then the R side of the
# glue's exports, registered as that NAMESPACE asks.
Rscript -e 'roxygen2::roxygenise(commandArgs(TRUE)[1], roclets = c("rd", "namespace"),
                                 load_code = roxygen2::load_source)' "$pkg" >"$out/roxygen.log" 2>&1 || {
  cat "$out/roxygen.log"
  exit 1
}
if grep -qi 'warning' "$out/roxygen.log"; then
  cat "$out/roxygen.log"
  echo "roxygen2: a warning (see above)" >&2
  exit 1
fi
Rscript -e 'Rcpp::compileAttributes(commandArgs(TRUE)[1])' "$pkg" >/dev/null
(cd "$out" && rm -f vegmatch_*.tar.gz && R CMD build --no-manual vegmatch >build.log 2>&1) || {
  cat "$out/build.log"
  exit 1
}
tarball=$(ls "$out"/vegmatch_*.tar.gz)
echo "built $tarball"

case "${1:-}" in
  --check)
    (cd "$out" && R CMD check --no-manual "$tarball" >check.log 2>&1) || true
    cat "$out/check.log"
    if grep -qE '^Status:.*(ERROR|WARNING)' "$out/check.log" || ! grep -q '^Status:' "$out/check.log"; then
      echo "R CMD check: an ERROR or a WARNING (see above)" >&2
      exit 1
    fi
    ;;
  --install)
    mkdir -p "$out/library"
    R CMD INSTALL --library="$out/library" "$tarball"
    ;;
  "") ;;
  *)
    echo "usage: tools/r-package.sh [--check|--install]" >&2
    exit 2
    ;;
esac
