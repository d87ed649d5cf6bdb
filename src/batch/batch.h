// The batch command line: `vegmatch classify` scores every sample of one or
// more files (sample blocks, or a survey exported as CSV) with the engine of the
// typed run, without a question, into tidy CSV or into the typed run's own
// results file; `vegmatch names` checks the species names of such files.
//
// Every input becomes samples of records (inputs.h) that the typed run's sample
// entry takes, so a survey written as CSV is scored exactly as the same samples
// written as blocks; the classic formats are the typed run's results file byte
// for byte.
#pragma once

#include "console/console.h"

// ---- the commands -------------------------------------------------------------------
// `vegmatch classify` and `vegmatch names`; the arguments after the command name.
int ClassifyMain(int argc, const char* const* argv, Console& con);
int NamesMain(int argc, const char* const* argv, Console& con);
