// The batch command line, `vegmatch classify`: every sample of one or more files
// (sample blocks, or a survey exported as CSV) scored with the engine of the typed
// run, without a question, into tidy CSV or into the typed run's own results file.
//
// Every input becomes sample blocks, the data-file format of the typed run, and is
// read by the same sample entry, so a survey written as CSV is scored exactly as
// the same samples written as blocks; the classic formats are the typed run's
// results file byte for byte.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "common/pipeline.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "report/report.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

#include "batch/options.h"
#include "batch/inputs.h"


// ---- the commands -------------------------------------------------------------------
// `vegmatch classify` and `vegmatch names`; the arguments after the command name.
int ClassifyMain(int argc, const char* const* argv, Console& con);
int NamesMain(int argc, const char* const* argv, Console& con);
