// The top layer: the state of a whole run, assembled from the states the
// subsystems own, the run sequence of the typed program, and the command line.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "batch/batch.h"
#include "common/pipeline.h"
#include "report/report.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "report/report.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// Everything the program holds for one run.
struct AppState {
  RefData ref;
  ScoringState scoring;
  SampleState sample;
  RunSettings settings;
};

// Allocates a zero-filled state. Called once at start-up (and once per test case).
inline std::unique_ptr<AppState> NewAppState() {
  // Value-initialisation zero-fills every table, count and setting.
  return std::unique_ptr<AppState>(new AppState());
}

// The whole run sequence on an allocated state; returns the exit status: 0, or
// 1 when no complete set of reference files can be found or read.
int RunVegmatch(Console& con, AppState& st, const std::string& bundledTables);
inline int RunVegmatch(Console& con, AppState& st) {
  return RunVegmatch(con, st, BundledTablesFolder());
}

// Command-line front end: no arguments runs the program; "classify" runs the
// batch command line; --dump-tables loads the reference files and writes the
// table dump; --version and --help print the version and the usage.
int VegmatchMain(int argc, const char* const* argv, Console& con);
