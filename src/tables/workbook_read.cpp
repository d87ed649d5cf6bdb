// Reading one sheet of an Excel workbook (.xlsx): the zip container through libzip,
// and the parts xl/workbook.xml (the sheets in order), its relationships (the part
// of each sheet) and the shared strings through expat, each streamed a chunk at a
// time; the sheet's own cells are read into the grid by workbook_sheet.cpp. A
// workbook is hostile input: document types, shared strings beyond the limit, and
// parts too large to hold are refused with what went wrong.
#include <expat.h>
#include <strings.h>
#include <zip.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <new>

#include "tables/workbook.h"
#include "tables/workbook_parts.h"

using namespace xlsx;

namespace {

constexpr std::string_view kZipSignature = "PK\x03\x04";
constexpr std::string_view kOleSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr uint64_t kMaxPartBytes = uint64_t{2} << 30;
constexpr size_t kChunk = 64 * 1024;

constexpr const char* kOleRefused =
    "an encrypted (password-protected) workbook or an old .xls workbook; "
    "save it as an .xlsx workbook without a password";

}  // namespace

namespace xlsx {

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

}  // namespace xlsx

namespace {

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
  const PartStatus read = ReadSheetPart(zip.get(), sheetPart, shared.strings, grid, error);
  if (read == PartStatus::kMissing) error = Damaged("the part of sheet " + Quoted(sheet->name) + " is missing");
  if (read != PartStatus::kRead) grid = Grid{};
  return read == PartStatus::kRead;
}
