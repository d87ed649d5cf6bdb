// CSV text as spreadsheets and R write it (common/csv.h reads and writes it),
// and a CSV table as the grid every reader of a survey layout works on.
#pragma once

#include "common/csv.h"
#include "tables/grid.h"

// The table as a grid: the header as its first row.
Grid GridOf(CsvTable table);
