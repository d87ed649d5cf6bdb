// A survey as a table of text cells, whatever file it came from: a CSV file, or
// one sheet of an Excel workbook. Every reader of a survey layout works on it.
#pragma once

#include <string>
#include <vector>

// One row of cells. Cell k is column k (0-based); a row may be shorter than its
// neighbours (the cells after its last are empty).
struct GridRow {
  long line = 0;  // CSV: the line the row starts on; workbook: the sheet's row number (1-based)
  std::vector<std::string> cells;
};

struct Grid {
  std::string sheet;  // the sheet's name for a workbook; empty for CSV
  std::vector<GridRow> rows;  // in file order; rows with no text at all are left out
};

// The name of a cell as a spreadsheet shows it: column 0 of row 7 is "A7",
// column 27 is "AB".
std::string CellName(long row, int column);
