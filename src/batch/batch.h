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

#include <vector>

#include "console/console.h"
#include "tables/csv.h"

// ---- the commands -------------------------------------------------------------------
// `vegmatch classify` and `vegmatch names`; the arguments after the command name.
int ClassifyMain(int argc, const char* const* argv, Console& con);
int NamesMain(int argc, const char* const* argv, Console& con);

// ---- what the commands write ---------------------------------------------------------
// The columns of every CSV the commands write, by what it is: "results" (every
// column any option adds), "lists" (--species-lists), "habitats"
// (--habitats-out), "synoptic", "names" and "map" (vegmatch names and its
// --map-out). Empty for another word. Readers of those files (the R package)
// take the columns' types from here.
std::vector<ColumnSpec> OutputColumns(const std::string& what);
// The columns of `vegmatch names` and of its names map.
const std::vector<ColumnSpec>& NamesColumns();
const std::vector<ColumnSpec>& NamesMapColumns();
