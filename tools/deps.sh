#!/usr/bin/env bash
# Installs what the build needs when it is missing (Debian packages): the
# compiler and CMake, GoogleTest, Google Benchmark, CLI11, libzip, expat and
# libxlsxwriter for workbooks, Chromium, in which the tests open the survey
# report (headless), and R with Rcpp and testthat for the R package.
set -euo pipefail
need=()
command -v cmake >/dev/null 2>&1 || need+=(cmake)
command -v g++ >/dev/null 2>&1 || need+=(g++)
command -v make >/dev/null 2>&1 || need+=(make)
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
[ -f /usr/include/gmock/gmock.h ] || need+=(libgmock-dev)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
[ -f /usr/include/CLI/CLI.hpp ] || need+=(libcli11-dev)
command -v pkg-config >/dev/null 2>&1 || need+=(pkg-config)
[ -f /usr/include/zip.h ] || need+=(libzip-dev)
[ -f /usr/include/expat.h ] || need+=(libexpat1-dev)
[ -f /usr/include/xlsxwriter.h ] || need+=(libxlsxwriter-dev)
command -v chromium >/dev/null 2>&1 || need+=(chromium)
command -v R >/dev/null 2>&1 || need+=(r-base-core)
[ -f /usr/lib/R/site-library/Rcpp/include/Rcpp.h ] || need+=(r-cran-rcpp)
[ -d /usr/lib/R/site-library/testthat ] || need+=(r-cran-testthat)
[ -d /usr/lib/R/site-library/roxygen2 ] || need+=(r-cran-roxygen2)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update >/dev/null
  $sudo apt-get install -y --no-install-recommends "${need[@]}" >/dev/null
fi
