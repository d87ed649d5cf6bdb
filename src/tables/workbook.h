// Excel workbooks (.xlsx) read: one sheet into a grid of text cells.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tables/grid.h"

// True when the bytes start as a zip container (an .xlsx workbook) or as an OLE
// compound file (an encrypted workbook, or an old .xls one).
bool LooksLikeWorkbook(std::string_view bytes);

// Reads sheet `sheetName` of the workbook held in `bytes` (empty: the first
// sheet) into `grid`: shared and inline strings as their text, numbers as the
// shortest decimal that reads back the same ("5", "0.1", "1971"), booleans as
// TRUE/FALSE, formulas as their cached value, empty and merged-away cells as
// empty; grid.sheet is the sheet's name. False, with what went wrong in `error`
// (a damaged container, an encrypted workbook, no such sheet - naming those it
// has), when it cannot be read.
bool ReadWorkbook(std::string_view bytes, const std::string& sheetName, Grid& grid, std::string& error);
