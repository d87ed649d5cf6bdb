// A CSV table as the grid every reader of a survey layout works on.
#include "tables/csv.h"

Grid GridOf(CsvTable table) {
  Grid grid;
  grid.rows.reserve(table.rows.size() + 1);
  grid.rows.push_back(GridRow{table.headerLine, std::move(table.header)});
  for (CsvRow& row : table.rows) grid.rows.push_back(GridRow{row.line, std::move(row.fields)});
  return grid;
}
