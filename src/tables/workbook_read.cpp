// Reading one sheet of an Excel workbook (.xlsx): the zip container through libzip,
// and the parts xl/workbook.xml (the sheets in order), its relationships (the part
// of each sheet), the shared strings and the sheet's part through expat, each
// streamed a chunk at a time. A workbook is hostile input: cells beyond the sheet's
// limits, shared strings out of range, document types, and parts or sheets too
// large to hold are refused with what went wrong.
#include <expat.h>
#include <strings.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "tables/workbook.h"

namespace {

constexpr std::string_view kZipSignature = "PK\x03\x04";
constexpr std::string_view kOleSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr long kMaxRows = 1048576;
constexpr long kMaxColumns = 16384;  // A..XFD
constexpr uint64_t kMaxPartBytes = uint64_t{2} << 30;
constexpr size_t kMaxCells = 50'000'000;
constexpr size_t kChunk = 64 * 1024;
// Expat joins a namespace and a local name with this; no namespace holds a space.
constexpr char kNamespaceSeparator = ' ';

constexpr const char* kOleRefused =
    "an encrypted (password-protected) workbook or an old .xls workbook; "
    "save it as an .xlsx workbook without a password";

std::string Damaged(const std::string& what) { return "the workbook is damaged: " + what; }
std::string TooLarge(const std::string& what) { return "the workbook is too large to read: " + what; }

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// What follows the namespace of an element's or attribute's name.
std::string_view LocalName(const XML_Char* name) {
  const XML_Char* sep = std::strrchr(name, kNamespaceSeparator);
  return sep == nullptr ? name : sep + 1;
}

// The value of the attribute with this local name: one in no namespace, or
// (qualified) one in some namespace, as r:id is. Null when there is none.
const XML_Char* Attribute(const XML_Char** attrs, std::string_view local, bool qualified = false) {
  for (size_t i = 0; attrs[i] != nullptr; i += 2) {
    const bool inNamespace = std::strchr(attrs[i], kNamespaceSeparator) != nullptr;
    if (inNamespace == qualified && LocalName(attrs[i]) == local) return attrs[i + 1];
  }
  return nullptr;
}

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

// Text as Excel writes it, with the characters XML cannot hold as _xHHHH_ (and a
// "_x" of the text itself as _x005F_x).
std::string Unescaped(std::string text) {
  if (text.find("_x") == std::string::npos) return text;
  std::string out;
  for (size_t i = 0; i < text.size();) {
    unsigned code = 0;
    if (text.compare(i, 2, "_x") == 0 && i + 7 <= text.size() && text[i + 6] == '_' &&
        std::from_chars(&text[i + 2], &text[i + 6], code, 16).ptr == &text[i + 6] && (code < 0xD800 || code > 0xDFFF)) {
      // UTF-8 of a code point below 0x10000: one, two or three bytes.
      constexpr unsigned kLead[] = {0x00, 0xC0, 0xE0};
      const int tail = code < 0x80 ? 0 : code < 0x800 ? 1 : 2;
      out += static_cast<char>(kLead[tail] | (code >> (6 * tail)));
      for (int k = tail - 1; k >= 0; --k) out += static_cast<char>(0x80 | ((code >> (6 * k)) & 0x3F));
      i += 7;
    } else {
      out += text[i++];
    }
  }
  return out;
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

// What reads one XML part. A handler stops the parse with Fail (what is wrong, as
// the whole error text) or Finish (all that is needed has been read).
class PartReader {
 public:
  virtual ~PartReader() = default;
  virtual void Start(std::string_view name, const XML_Char** attrs) = 0;
  virtual void End(const XML_Char* name) = 0;  // as expat has it; LocalName(name) when needed
  virtual void Text(std::string_view) {}

  void Begin(XML_Parser parser, const std::string& part) {
    parser_ = parser;
    part_ = part;
  }
  void Fail(std::string problem) {
    if (Stopped()) return;
    problem_ = std::move(problem);
    XML_StopParser(parser_, XML_FALSE);
  }
  void Finish() {
    if (Stopped()) return;
    finished_ = true;
    XML_StopParser(parser_, XML_FALSE);
  }
  bool Stopped() const { return finished_ || !problem_.empty(); }
  bool Finished() const { return finished_; }
  const std::string& Problem() const { return problem_; }
  const std::string& Part() const { return part_; }

 protected:
  int depth_ = 0;  // of the element being read; the root is 1

 private:
  friend struct ExpatCallbacks;
  XML_Parser parser_ = nullptr;
  std::string part_;
  std::string problem_;
  bool finished_ = false;
};

// Expat's callbacks, which hand each event to the part's reader. Nothing is
// thrown through expat: a failed allocation stops the parse as a failure.
struct ExpatCallbacks {
  template <typename F>
  static void Guarded(void* data, F&& body) {
    PartReader& reader = *static_cast<PartReader*>(data);
    if (reader.Stopped()) return;
    try {
      body(reader);
    } catch (const std::bad_alloc&) {
      reader.Fail("there is not enough memory to read the workbook");
    }
  }
  static void Start(void* data, const XML_Char* name, const XML_Char** attrs) {
    Guarded(data, [&](PartReader& r) {
      ++r.depth_;
      r.Start(LocalName(name), attrs);
    });
  }
  static void End(void* data, const XML_Char* name) {
    Guarded(data, [&](PartReader& r) {
      r.End(name);
      --r.depth_;
    });
  }
  static void Text(void* data, const XML_Char* text, int length) {
    Guarded(data, [&](PartReader& r) { r.Text(std::string_view(text, static_cast<size_t>(length))); });
  }
  static void Doctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Guarded(data, [](PartReader& r) { r.Fail(Damaged(r.Part() + " declares a document type, as no workbook does")); });
  }
};

enum class PartStatus { kRead, kMissing, kFailed };

// Streams the part `name` of the container through `reader`, a chunk at a time.
PartStatus ReadPart(zip_t* zip, const std::string& name, PartReader& reader, std::string& error) {
  const zip_int64_t index = zip_name_locate(zip, name.c_str(), ZIP_FL_NOCASE);
  if (index < 0) return PartStatus::kMissing;
  const std::unique_ptr<zip_file_t, decltype(&zip_fclose)> file(
      zip_fopen_index(zip, static_cast<zip_uint64_t>(index), 0), &zip_fclose);
  if (!file) {
    error = Damaged(name + " cannot be opened (" + zip_strerror(zip) + ")");
    return PartStatus::kFailed;
  }
  const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
      XML_ParserCreateNS(nullptr, kNamespaceSeparator), &XML_ParserFree);
  if (!parser) {
    error = "there is not enough memory to read the workbook";
    return PartStatus::kFailed;
  }
  reader.Begin(parser.get(), name);
  XML_SetUserData(parser.get(), &reader);
  XML_SetElementHandler(parser.get(), &ExpatCallbacks::Start, &ExpatCallbacks::End);
  XML_SetCharacterDataHandler(parser.get(), &ExpatCallbacks::Text);
  XML_SetStartDoctypeDeclHandler(parser.get(), &ExpatCallbacks::Doctype);

  uint64_t total = 0;
  for (;;) {
    // Each chunk is read straight into the parser's own buffer.
    void* chunk = XML_GetBuffer(parser.get(), static_cast<int>(kChunk));
    const zip_int64_t n = chunk == nullptr ? -1 : zip_fread(file.get(), chunk, kChunk);
    if (n < 0) {
      error = chunk == nullptr ? "there is not enough memory to read the workbook"
                               : Damaged(name + " cannot be read (" + zip_file_strerror(file.get()) + ")");
      return PartStatus::kFailed;
    }
    total += static_cast<uint64_t>(n);
    if (total > kMaxPartBytes) {
      error = "the workbook is too large to read: its part " + name + " holds more than 2 GiB";
      return PartStatus::kFailed;
    }
    if (XML_ParseBuffer(parser.get(), static_cast<int>(n), n == 0) == XML_STATUS_ERROR) {
      if (reader.Finished()) return PartStatus::kRead;
      error = reader.Problem();
      if (error.empty()) {
        error = Damaged(name + ", line " + std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                        XML_ErrorString(XML_GetErrorCode(parser.get())));
      }
      return PartStatus::kFailed;
    }
    if (n == 0) return PartStatus::kRead;
  }
}

// xl/workbook.xml: <workbook><sheets><sheet name="..." r:id="..."/>.
struct SheetEntry {
  std::string name;
  std::string relationship;
};
class WorkbookPartReader : public PartReader {
 public:
  std::vector<SheetEntry> sheets;

  void Start(std::string_view name, const XML_Char** attrs) override {
    if (depth_ == 2 && name == "sheets") inSheets_ = true;
    if (depth_ != 3 || !inSheets_ || name != "sheet") return;
    const XML_Char* sheetName = Attribute(attrs, "name");
    const XML_Char* id = Attribute(attrs, "id", true);
    if (sheetName == nullptr || id == nullptr) return Fail(Damaged(Part() + " lists a sheet without its name or part"));
    sheets.push_back({sheetName, id});
  }
  void End(const XML_Char* name) override {
    if (depth_ == 2 && LocalName(name) == "sheets") Finish();
  }

 private:
  bool inSheets_ = false;
};

// xl/_rels/workbook.xml.rels: <Relationships><Relationship Id Type Target/>.
struct Relationship {
  std::string type;
  std::string target;
};
class RelationshipsReader : public PartReader {
 public:
  std::map<std::string, Relationship> byId;

  void Start(std::string_view name, const XML_Char** attrs) override {
    if (depth_ != 2 || name != "Relationship") return;
    const XML_Char* id = Attribute(attrs, "Id");
    const XML_Char* target = Attribute(attrs, "Target");
    const XML_Char* mode = Attribute(attrs, "TargetMode");
    if (id == nullptr || target == nullptr || (mode != nullptr && std::string_view(mode) == "External")) return;
    const XML_Char* type = Attribute(attrs, "Type");
    byId.emplace(id, Relationship{type == nullptr ? "" : type, target});
  }
  void End(const XML_Char*) override {}
};

// The part a workbook relationship names: relative to xl/, or from the root of
// the container when it starts with "/".
std::string ResolveTarget(std::string_view target) {
  std::string path = target.substr(0, 1) == "/" ? std::string() : std::string("xl/");
  path += target;
  std::vector<std::string> segments;
  size_t start = 0;
  while (start <= path.size()) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string segment = path.substr(start, end - start);
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
    } else if (!segment.empty() && segment != ".") {
      segments.push_back(segment);
    }
    start = end + 1;
  }
  std::string resolved;
  for (const std::string& s : segments) resolved += (resolved.empty() ? "" : "/") + s;
  return resolved;
}

// xl/sharedStrings.xml: <sst><si> with its text in <t>, or in the <t> of rich
// text runs <r>; phonetic runs <rPh> are not part of the text.
class SharedStringsReader : public PartReader {
 public:
  std::vector<std::string> strings;

  void Start(std::string_view name, const XML_Char**) override {
    if (depth_ == 2 && name == "si") {
      if (strings.size() >= kMaxCells) return Fail(TooLarge("it has more than 50000000 shared strings"));
      text_.clear();
      inItem_ = true;
    }
    if (depth_ == 3) inRun_ = name == "r";
    collecting_ = inItem_ && name == "t" && (depth_ == 3 || (depth_ == 4 && inRun_));
  }
  void End(const XML_Char*) override {
    collecting_ = false;
    if (depth_ == 3) inRun_ = false;
    if (depth_ == 2 && inItem_) {
      strings.push_back(Unescaped(std::move(text_)));
      text_.clear();
      inItem_ = false;
    }
  }
  void Text(std::string_view text) override {
    if (collecting_) text_ += text;
  }

 private:
  std::string text_;
  bool inItem_ = false;
  bool inRun_ = false;
  bool collecting_ = false;
};

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

// The sheet asked for by name (exactly, else ignoring case), or the first one.
const SheetEntry* ChooseSheet(const std::vector<SheetEntry>& sheets, const std::string& name, std::string& error) {
  if (name.empty()) return &sheets.front();
  for (const SheetEntry& s : sheets)
    if (s.name == name) return &s;
  for (const SheetEntry& s : sheets)
    if (strcasecmp(s.name.c_str(), name.c_str()) == 0) return &s;
  std::string names;
  for (const SheetEntry& s : sheets) names += (names.empty() ? "" : ", ") + s.name;
  error = "no sheet " + Quoted(name) + "; the workbook has " + (sheets.size() == 1 ? "one sheet: " : "sheets: ");
  error += names;
  return nullptr;
}

using ZipArchive = std::unique_ptr<zip_t, decltype(&zip_discard)>;

ZipArchive OpenContainer(std::string_view bytes, std::string& error) {
  zip_error_t zipError;
  zip_error_init(&zipError);
  ZipArchive zip(nullptr, &zip_discard);
  zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &zipError);
  if (source != nullptr) {
    zip.reset(zip_open_from_source(source, ZIP_RDONLY, &zipError));
    if (!zip) zip_source_free(source);
  }
  if (!zip) error = Damaged(std::string("the zip container cannot be read (") + zip_error_strerror(&zipError) + ")");
  zip_error_fini(&zipError);
  return zip;
}

}  // namespace

bool LooksLikeWorkbook(std::string_view bytes) {
  const auto startsWith = [bytes](std::string_view s) { return bytes.substr(0, s.size()) == s; };
  return startsWith(kZipSignature) || startsWith(kOleSignature);
}

bool ReadWorkbook(std::string_view bytes, const std::string& sheetName, Grid& grid, std::string& error) {
  grid = Grid{};
  error.clear();
  if (bytes.substr(0, kOleSignature.size()) == kOleSignature) {
    error = kOleRefused;
    return false;
  }
  const ZipArchive zip = OpenContainer(bytes, error);
  if (!zip) return false;

  WorkbookPartReader workbook;
  const PartStatus listed = ReadPart(zip.get(), "xl/workbook.xml", workbook, error);
  if (listed == PartStatus::kMissing) error = "the zip archive is not an Excel workbook (it has no xl/workbook.xml)";
  if (listed != PartStatus::kRead) return false;
  if (workbook.sheets.empty()) {
    error = Damaged("it lists no sheet");
    return false;
  }
  const SheetEntry* sheet = ChooseSheet(workbook.sheets, sheetName, error);
  if (sheet == nullptr) return false;

  RelationshipsReader relationships;
  const std::string relsPart = "xl/_rels/workbook.xml.rels";
  const PartStatus related = ReadPart(zip.get(), relsPart, relationships, error);
  if (related == PartStatus::kMissing) error = Damaged(relsPart + " is missing");
  if (related != PartStatus::kRead) return false;
  const auto found = relationships.byId.find(sheet->relationship);
  if (found == relationships.byId.end()) {
    error = Damaged("the part of sheet " + Quoted(sheet->name) + " is not named in " + relsPart);
    return false;
  }
  const std::string sheetPart = ResolveTarget(found->second.target);

  std::string sharedPart = "xl/sharedStrings.xml";
  const std::string_view sharedType = "/sharedStrings";
  for (const auto& [id, rel] : relationships.byId) {
    const size_t n = rel.type.size();
    if (n >= sharedType.size() && rel.type.compare(n - sharedType.size(), sharedType.size(), sharedType) == 0) {
      sharedPart = ResolveTarget(rel.target);
    }
  }
  SharedStringsReader shared;
  if (ReadPart(zip.get(), sharedPart, shared, error) == PartStatus::kFailed) return false;

  grid.sheet = sheet->name;
  SheetReader cells(shared.strings, grid.sheet, grid);
  const PartStatus read = ReadPart(zip.get(), sheetPart, cells, error);
  if (read == PartStatus::kMissing) error = Damaged("the part of sheet " + Quoted(sheet->name) + " is missing");
  if (read != PartStatus::kRead) grid = Grid{};
  return read == PartStatus::kRead;
}
