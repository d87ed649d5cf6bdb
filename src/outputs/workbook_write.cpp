// Writing tidy CSV results as the sheets of a new Excel workbook, with
// libxlsxwriter: each sheet's header bold and frozen with a filter over the table,
// numbers as numbers and every other field as the text it is.
#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include "tables/csv.h"
#include "outputs/workbook.h"

namespace {

// Excel keeps 15 significant digits: a longer number is written as text, as it is.
constexpr size_t kMaxSignificantDigits = 15;
constexpr double kMinColumnWidth = 8;
constexpr double kMaxColumnWidth = 50;

// A plain decimal number: an optional minus, digits without a leading zero (but
// "0" and "0.5"), optionally a point and digits. Codes such as "010", "1e5",
// "+3", ".5" or "H10a" are not.
bool IsPlainNumber(std::string_view field) {
  if (!field.empty() && field.front() == '-') field.remove_prefix(1);
  const size_t point = field.find('.');
  const std::string_view whole = field.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view() : field.substr(point + 1);
  const auto digits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
  };
  if (whole.empty() || !digits(whole) || (whole.size() > 1 && whole.front() == '0')) return false;
  if (point != std::string_view::npos && (fraction.empty() || !digits(fraction))) return false;
  // Significant digits: all but the zeros that lead the number.
  std::string all(whole);
  all += fraction;
  const size_t first = all.find_first_not_of('0');
  return first == std::string::npos || all.size() - first <= kMaxSignificantDigits;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

class SheetWriter {
 public:
  SheetWriter(lxw_worksheet* sheet, const std::string& name, lxw_format* bold)
      : sheet_(sheet), name_(name), bold_(bold) {}

  // Writes the table; false with the reason in `error` when libxlsxwriter refuses.
  bool Write(const CsvTable& table, std::string& error) {
    for (size_t c = 0; c < table.header.size(); ++c) {
      if (!Put(0, c, table.header[c], bold_, false, error)) return false;
    }
    size_t columns = table.header.size();
    for (size_t r = 0; r < table.rows.size(); ++r) {
      const std::vector<std::string>& fields = table.rows[r].fields;
      columns = std::max(columns, fields.size());
      for (size_t c = 0; c < fields.size(); ++c) {
        if (!Put(r + 1, c, fields[c], nullptr, true, error)) return false;
      }
    }
    if (columns == 0) return true;
    worksheet_freeze_panes(sheet_, 1, 0);
    const lxw_col_t last = static_cast<lxw_col_t>(columns - 1);
    if (!Check(worksheet_autofilter(sheet_, 0, 0, static_cast<lxw_row_t>(table.rows.size()), last), "", error)) {
      return false;
    }
    for (size_t c = 0; c < columns; ++c) {
      const double name = c < table.header.size() ? static_cast<double>(table.header[c].size()) : 0;
      // Room for the filter button beside the name.
      const double width = std::clamp(name + 4, kMinColumnWidth, kMaxColumnWidth);
      const auto col = static_cast<lxw_col_t>(c);
      if (!Check(worksheet_set_column(sheet_, col, col, width, nullptr), "", error)) return false;
    }
    return true;
  }

 private:
  bool Put(size_t row, size_t column, const std::string& field, lxw_format* format, bool numbers, std::string& error) {
    if (field.empty()) return true;
    if (row > LXW_ROW_MAX - 1 || column > LXW_COL_MAX - 1) {
      error = "sheet " + Quoted(name_) + " has more rows or columns than a sheet holds";
      return false;
    }
    const auto r = static_cast<lxw_row_t>(row);
    const auto c = static_cast<lxw_col_t>(column);
    const std::string cell = CellName(static_cast<long>(row) + 1, static_cast<int>(column));
    if (numbers && IsPlainNumber(field)) {
      double value = 0;
      std::from_chars(field.data(), field.data() + field.size(), value);
      return Check(worksheet_write_number(sheet_, r, c, value, format), cell, error);
    }
    return Check(worksheet_write_string(sheet_, r, c, field.c_str(), format), cell, error);
  }

  bool Check(lxw_error result, const std::string& cell, std::string& error) const {
    if (result == LXW_NO_ERROR) return true;
    error = "sheet " + Quoted(name_) + (cell.empty() ? "" : ", cell " + cell) + " cannot be written (" +
            lxw_strerror(result) + ")";
    return false;
  }

  lxw_worksheet* sheet_;
  const std::string& name_;
  lxw_format* bold_;
};

}  // namespace

bool WriteWorkbook(const std::string& path, const std::vector<WorkbookSheet>& sheets, std::string& error) {
  error.clear();
  // Whether the file can be made at all is found out first: libxlsxwriter would
  // only find out when closing, and say so on the error stream itself.
  std::error_code ec;
  const bool existed = std::filesystem::exists(path, ec);
  if (std::FILE* f = std::fopen(path.c_str(), "ab")) {
    std::fclose(f);
  } else {
    error = std::string("the workbook cannot be written (") + std::strerror(errno) + ")";
    return false;
  }
  const auto removeNew = [&]() {
    if (!existed) std::filesystem::remove(path, ec);
  };

  std::unique_ptr<lxw_workbook, decltype(&lxw_workbook_free)> book(workbook_new(path.c_str()), &lxw_workbook_free);
  lxw_format* bold = book ? workbook_add_format(book.get()) : nullptr;
  if (bold == nullptr) {
    error = "there is not enough memory to write the workbook";
    removeNew();
    return false;
  }
  format_set_bold(bold);
  for (const WorkbookSheet& s : sheets) {
    CsvTable table;
    std::string csvError;
    if (!ParseCsv(s.csv, table, csvError)) {
      error = "sheet " + Quoted(s.name) + " cannot be written: " + csvError;
      removeNew();
      return false;
    }
    // libxlsxwriter takes an empty name, which Excel would not open.
    std::string refused = s.name.empty() ? "a sheet needs a name" : "";
    const lxw_error named = workbook_validate_sheet_name(book.get(), s.name.c_str());
    if (refused.empty() && named != LXW_NO_ERROR) refused = lxw_strerror(named);
    lxw_worksheet* sheet = refused.empty() ? workbook_add_worksheet(book.get(), s.name.c_str()) : nullptr;
    if (sheet == nullptr) {
      error = refused.empty() ? "there is not enough memory to write the workbook"
                              : "the sheet name " + Quoted(s.name) + " cannot be used (" + refused + ")";
      removeNew();
      return false;
    }
    if (!SheetWriter(sheet, s.name, bold).Write(table, error)) {
      removeNew();
      return false;
    }
  }
  // workbook_close writes the file and frees the workbook, whatever it returns.
  const lxw_error closed = workbook_close(book.release());
  if (closed != LXW_NO_ERROR) {
    error = std::string("the workbook cannot be written (") + lxw_strerror(closed) + ")";
    removeNew();
    return false;
  }
  return true;
}
