// Excel workbooks (.xlsx) written: tidy CSV results as the sheets of a new workbook.
#pragma once

#include <string>
#include <vector>

// A sheet to write: its name and its rows as CSV text with a header line.
struct WorkbookSheet {
  std::string name;
  std::string csv;
};
// Writes the sheets into a new workbook at `path`: the header row bold and
// frozen, fields that are numbers as numbers, everything else as text. False,
// with the reason in `error`, when it cannot be written.
bool WriteWorkbook(const std::string& path, const std::vector<WorkbookSheet>& sheets, std::string& error);
