// The cells of one sheet of an Excel workbook into the grid: the sheet's part,
// read through the part reader of workbook_parts.h, each cell as text (a shared
// string by its index, a number as its shortest decimal, a boolean as TRUE or
// FALSE, inline and other text unescaped). Rows and cells out of order, beyond the
// sheet's limits or more than can be held are refused with what went wrong.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tables/workbook_parts.h"

using namespace xlsx;

namespace {

constexpr long kMaxRows = 1048576;
constexpr long kMaxColumns = 16384;  // A..XFD

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Decimal digits and nothing else; a value above `limit` reads as limit + 1.
bool ParseDigits(std::string_view text, uint64_t limit, uint64_t& value) {
  value = 0;
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    if (value <= limit) value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > limit) value = limit + 1;
  return true;
}

// A number cell's text as the shortest decimal that reads back the same: plain
// notation from 1e-6 up to 1e21, exponent notation beyond. False when the text is
// not a finite number.
bool FormatNumber(std::string_view text, std::string& out) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  uint64_t whole = 0;  // up to 15 digits without a leading zero: already written the shortest way
  if (ParseDigits(text, kMaxCells, whole) && text.size() <= 15 && (text.size() == 1 || text.front() != '0')) {
    out.assign(text.data(), text.size());
    return true;
  }
  double value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return false;
  if (value == 0) {
    out = "0";
    return true;
  }
  const double magnitude = std::fabs(value);
  const std::chars_format format =
      magnitude >= 1e-6 && magnitude < 1e21 ? std::chars_format::fixed : std::chars_format::scientific;
  char buffer[64];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  out.assign(buffer, written.ptr);
  return true;
}

// "B3": column 1, row 3. Empty when it is such a name within the sheet's limits,
// otherwise what is wrong with it.
std::string ParseCellReference(std::string_view ref, long& column, long& row) {
  size_t i = 0;
  column = 0;
  for (; i < ref.size() && ((ref[i] >= 'A' && ref[i] <= 'Z') || (ref[i] >= 'a' && ref[i] <= 'z')); ++i) {
    column = column * 26 + (ref[i] & 0x1F);  // A or a: 1
    if (column > kMaxColumns) return "cell " + Quoted(ref) + " lies beyond column XFD";
  }
  uint64_t number = 0;
  if (i == 0 || !ParseDigits(ref.substr(i), kMaxRows, number)) return "cell " + Quoted(ref) + " cannot be read";
  if (number == 0 || number > static_cast<uint64_t>(kMaxRows)) return "cell " + Quoted(ref) + " is beyond row 1048576";
  column -= 1;
  row = static_cast<long>(number);
  return std::string();
}

// The sheet's part: <worksheet><sheetData><row r><c r t><v> or <is><t>.
class SheetReader : public PartReader {
 public:
  SheetReader(const std::vector<std::string>& shared, const std::string& sheet, Grid& grid)
      : shared_(shared), sheet_(sheet), grid_(grid) {}

  void Start(std::string_view name, const XML_Char** attrs) override {
    if (depth_ == 2 && name == "sheetData") inData_ = true;
    if (depth_ == 3 && inData_ && name == "row") return StartRow(attrs);
    if (depth_ == 4 && inRow_ && name == "c") return StartCell(attrs);
    if (!inCell_) return;
    if (depth_ == 5) {
      inInline_ = name == "is";
      if (name == "v") Collect(&value_);
    } else if (depth_ == 6 && inInline_) {
      inRun_ = name == "r";
      if (name == "t") Collect(&inline_);
    } else if (depth_ == 7 && inRun_ && name == "t") {
      Collect(&inline_);
    }
  }
  void End(const XML_Char*) override {
    if (depth_ == collectingDepth_) collecting_ = nullptr;
    if (depth_ == 6) inRun_ = false;
    if (depth_ == 5) inInline_ = false;
    if (depth_ == 4 && inCell_) FinishCell();
    if (depth_ == 3 && inRow_) FinishRow();
    if (depth_ == 2 && inData_) Finish();
  }
  void Text(std::string_view text) override {
    if (collecting_ != nullptr) *collecting_ += text;
  }

 private:
  void Collect(std::string* target) {
    collecting_ = target;
    collectingDepth_ = depth_;
  }
  void FailAt(const std::string& what) { Fail(Damaged("sheet " + Quoted(sheet_) + ": " + what)); }
  std::string ThisCell() const { return "cell " + CellName(row_.line, static_cast<int>(column_)); }

  void StartRow(const XML_Char** attrs) {
    inRow_ = true;
    row_.cells.clear();
    row_.cells.reserve(grid_.rows.empty() ? 0 : grid_.rows.back().cells.size());  // as wide as the last row
    nextColumn_ = 0;
    const XML_Char* r = Attribute(attrs, "r");
    numberedByCell_ = r == nullptr;
    if (r == nullptr) {
      row_.line = lastRow_ + 1;
    } else {
      uint64_t number = 0;
      if (!ParseDigits(Trimmed(r), kMaxRows, number) || number == 0 || number > static_cast<uint64_t>(kMaxRows)) {
        return FailAt("row " + Quoted(r) + " is not a row number from 1 to 1048576");
      }
      row_.line = static_cast<long>(number);
    }
    if (row_.line > kMaxRows) return FailAt("a row lies beyond row 1048576");
    if (row_.line <= lastRow_) {
      return FailAt("row " + std::to_string(row_.line) + " comes after row " + std::to_string(lastRow_));
    }
  }

  void StartCell(const XML_Char** attrs) {
    if (++cellsSeen_ > kMaxCells) return Fail(TooLarge("sheet " + Quoted(sheet_) + " has more than 50000000 cells"));
    inCell_ = true;
    value_.clear();
    inline_.clear();
    const XML_Char *type = nullptr, *r = nullptr;  // t and r, in no namespace
    for (size_t i = 0; attrs[i] != nullptr; i += 2) {
      if (attrs[i][0] == 't' && attrs[i][1] == '\0') type = attrs[i + 1];
      if (attrs[i][0] == 'r' && attrs[i][1] == '\0') r = attrs[i + 1];
    }
    // The type as one character: s(hared), i(nline), b(oolean), n(umber), o(ther).
    const std::string_view t = type == nullptr ? "n" : type;
    type_ = t == "s" || t == "b" || t == "n" ? t[0] : t == "inlineStr" ? 'i' : 'o';
    if (r == nullptr) {
      column_ = nextColumn_;
      if (column_ >= kMaxColumns) return FailAt("row " + std::to_string(row_.line) + " goes beyond column XFD");
    } else {
      long row = 0;
      const std::string problem = ParseCellReference(r, column_, row);
      if (!problem.empty()) return FailAt(problem);
      if (numberedByCell_) {
        // A row without its number takes the one of its first cell that has one.
        if (row <= lastRow_) return FailAt("cell " + std::string(r) + " comes after row " + std::to_string(lastRow_));
        row_.line = row;
      } else if (row != row_.line) {
        return FailAt("cell " + std::string(r) + " is listed under row " + std::to_string(row_.line));
      }
    }
    numberedByCell_ = false;
    nextColumn_ = column_ + 1;
  }

  void FinishCell() {
    inCell_ = false;
    const std::string_view v = Trimmed(value_);
    std::string_view text;
    if (type_ == 's' && !v.empty()) {
      uint64_t k = 0;
      if (!ParseDigits(v, kMaxCells, k) || k >= shared_.size()) {
        return FailAt(ThisCell() + " refers to shared string " + Quoted(v) + ", but the workbook has " +
                      std::to_string(shared_.size()));
      }
      text = shared_[k];
    } else if (type_ == 'b') {
      text = v == "1" ? "TRUE" : v == "0" ? "FALSE" : v;
    } else if (type_ == 'n' && !v.empty()) {
      if (!FormatNumber(v, number_)) return FailAt(ThisCell() + " holds " + Quoted(value_) + " as a number");
      text = number_;
    } else if (type_ == 'i' || type_ == 'o') {  // inline text; formula text (str), an error (#N/A), a date (d)
      value_ = Unescaped(std::move(type_ == 'i' ? inline_ : value_));
      text = value_;
    }
    if (text.empty()) return;
    const size_t column = static_cast<size_t>(column_);
    if (column >= row_.cells.size()) {
      slots_ += column + 1 - row_.cells.size();
      if (slots_ > kMaxCells) return Fail(TooLarge("sheet " + Quoted(sheet_) + " has more than 50000000 cells"));
      row_.cells.resize(column + 1);
    }
    row_.cells[column].assign(text.data(), text.size());
  }

  void FinishRow() {
    inRow_ = false;
    lastRow_ = row_.line;
    if (!row_.cells.empty()) grid_.rows.push_back(std::move(row_));
  }

  const std::vector<std::string>& shared_;
  const std::string& sheet_;
  Grid& grid_;
  bool inData_ = false, inRow_ = false, inCell_ = false;  // within <sheetData>, a <row>, a <c>
  bool inInline_ = false, inRun_ = false;                 // within the cell's <is>, a run <r> in it
  bool numberedByCell_ = false;                           // the row has no r: the first cell's r numbers it
  GridRow row_;
  long lastRow_ = 0, column_ = 0, nextColumn_ = 0;
  char type_ = 'n';
  std::string value_, inline_, number_;  // the cell's <v> and inline text; a number's text
  std::string* collecting_ = nullptr;
  int collectingDepth_ = 0;
  size_t cellsSeen_ = 0, slots_ = 0;
};

}  // namespace

namespace xlsx {

PartStatus ReadSheetPart(zip_t* zip, const std::string& part, const std::vector<std::string>& shared, Grid& grid,
                         std::string& error) {
  SheetReader cells(shared, grid.sheet, grid);
  return ReadPart(zip, part, cells, error);
}

}  // namespace xlsx
