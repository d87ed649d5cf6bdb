// CSV text as spreadsheets and R write it (common/csv.h reads and writes it),
// and a CSV table as the grid every reader of a survey layout works on.
#pragma once

#include "common/csv.h"
#include "tables/grid.h"

// The table as a grid: the header as its first row.
Grid GridOf(CsvTable table);

// The type of a column's fields, as a reader of a CSV the program writes takes
// them: text, a number, a whole number or TRUE/FALSE (an empty field is missing
// in each).
enum class FieldType { kText, kNumber, kWhole, kLogical };
const char* FieldTypeWord(FieldType type);  // "text", "number", "whole", "logical"
// A column's name and the type of its fields.
struct ColumnSpec {
  std::string name;
  FieldType type;
};
// The names of the columns, comma-separated, as a header line holds them.
std::string ColumnNames(const std::vector<ColumnSpec>& columns);
