// Internal to src/tables: what reading a workbook's container and parts
// (workbook_read.cpp) shares with reading its sheet's cells into the grid
// (workbook_sheet.cpp): the limits, the wording of what went wrong, the XML
// helpers and the reader of one part. Nothing outside this folder includes it;
// tables/workbook.h is the public header.
#pragma once

#include <expat.h>
#include <zip.h>

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tables/grid.h"

namespace xlsx {

// The most shared strings, and the most cells of a sheet, read.
constexpr size_t kMaxCells = 50'000'000;
// Expat joins a namespace and a local name with this; no namespace holds a space.
constexpr char kNamespaceSeparator = ' ';

// What is said of a damaged workbook, and of one too large to read.
inline std::string Damaged(const std::string& what) { return "the workbook is damaged: " + what; }
inline std::string TooLarge(const std::string& what) { return "the workbook is too large to read: " + what; }
// A name as it is shown in what is said: between double quotes.
inline std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

// What follows the namespace of an element's or attribute's name.
inline std::string_view LocalName(const XML_Char* name) {
  const XML_Char* sep = std::strrchr(name, kNamespaceSeparator);
  return sep == nullptr ? name : sep + 1;
}

// The value of the attribute with this local name: one in no namespace, or
// (qualified) one in some namespace, as r:id is. Null when there is none.
inline const XML_Char* Attribute(const XML_Char** attrs, std::string_view local, bool qualified = false) {
  for (size_t i = 0; attrs[i] != nullptr; i += 2) {
    const bool inNamespace = std::strchr(attrs[i], kNamespaceSeparator) != nullptr;
    if (inNamespace == qualified && LocalName(attrs[i]) == local) return attrs[i + 1];
  }
  return nullptr;
}

// Text as Excel writes it, with the characters XML cannot hold as _xHHHH_ (and a
// "_x" of the text itself as _x005F_x).
std::string Unescaped(std::string text);

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

enum class PartStatus { kRead, kMissing, kFailed };

// Streams the part `name` of the container through `reader`, a chunk at a time.
PartStatus ReadPart(zip_t* zip, const std::string& name, PartReader& reader, std::string& error);

// Reads the sheet's part `part` into grid.rows, its shared strings `shared`
// (grid.sheet names the sheet in what is said of it).
PartStatus ReadSheetPart(zip_t* zip, const std::string& part, const std::vector<std::string>& shared, Grid& grid,
                         std::string& error);

}  // namespace xlsx
