// A CSV table as the grid every reader of a survey layout works on.
#include "tables/csv.h"

Grid GridOf(CsvTable table) {
  Grid grid;
  grid.rows.reserve(table.rows.size() + 1);
  grid.rows.push_back(GridRow{table.headerLine, std::move(table.header)});
  for (CsvRow& row : table.rows) grid.rows.push_back(GridRow{row.line, std::move(row.fields)});
  return grid;
}

const char* FieldTypeWord(FieldType type) {
  switch (type) {
    case FieldType::kNumber: return "number";
    case FieldType::kWhole: return "whole";
    case FieldType::kLogical: return "logical";
    case FieldType::kText: break;
  }
  return "text";
}

std::string ColumnNames(const std::vector<ColumnSpec>& columns) {
  std::string names;
  for (const ColumnSpec& c : columns) names += (names.empty() ? "" : ",") + c.name;
  return names;
}
