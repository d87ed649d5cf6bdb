// An Excel workbook as classify reads it: ReadWorkbook of the first sheet, of
// that sheet again by its name, and of a sheet that is not there. Whatever the
// bytes, a refusal says why, and a sheet read holds its rows in increasing row
// order within the sheet's limits, each row ending in a cell with text.
#include <string>
#include <string_view>

#include "tables/workbook.h"
#include "fuzz_support.h"

namespace {

void CheckGrid(const Grid& grid) {
  long previous = 0;
  for (const GridRow& row : grid.rows) {
    FUZZ_CHECK(row.line > previous && row.line <= 1048576);
    FUZZ_CHECK(!row.cells.empty() && row.cells.size() <= 16384);
    FUZZ_CHECK(!row.cells.back().empty());
    previous = row.line;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Grid first;
  std::string error;
  if (!ReadWorkbook(bytes, "", first, error)) {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(first.rows.empty());
    return 0;
  }
  CheckGrid(first);

  // The same sheet asked for by the name it was read under reads the same.
  Grid named;
  FUZZ_CHECK(ReadWorkbook(bytes, first.sheet, named, error));
  FUZZ_CHECK(named.sheet == first.sheet && named.rows.size() == first.rows.size());
  for (size_t i = 0; i < named.rows.size(); ++i) {
    FUZZ_CHECK(named.rows[i].line == first.rows[i].line && named.rows[i].cells == first.rows[i].cells);
  }

  // No sheet name holds a control character: XML has none to give.
  Grid missing;
  const std::string absent = first.sheet + "\x01";
  FUZZ_CHECK(!ReadWorkbook(bytes, absent, missing, error));
  FUZZ_CHECK(error.rfind("no sheet \"", 0) == 0);
  return 0;
}
