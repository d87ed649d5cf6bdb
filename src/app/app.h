// The top of the house: the state of a whole run, assembled from the states the
// subsystems own, the run sequence of the typed program, and the command line.
#pragma once

#include <memory>
#include <optional>
#include <string>

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

// The folder of the NVC tables that come with the program: VEGMATCH_TABLES when
// set, else <executable>/../share/vegmatch/nvc when the tables are installed
// there, else (in the build tree) the data/nvc folder of the sources.
std::string BundledTablesFolder();

// The folder the reference files are read from: the console's folder when it
// holds all three, else the bundled folder (said on the error stream). Nothing
// when neither is complete, after saying which files are missing where.
std::optional<std::string> ChooseTablesFolder(Console& con, const std::string& bundled);

// The whole run sequence on an allocated state; returns the exit status: 0, or
// 1 when no complete set of reference files can be found or read.
int RunVegmatch(Console& con, AppState& st, const std::string& bundledTables);
inline int RunVegmatch(Console& con, AppState& st) {
  return RunVegmatch(con, st, BundledTablesFolder());
}

// Command-line front end: no arguments runs the program; --dump-tables loads the
// reference files and writes the table dump; --help prints the usage.
int VegmatchMain(int argc, const char* const* argv, Console& con);
