// The association table loader: the input is VegmatchNVCData3.txt, the
// dictionary and definitions are the demonstration ones. Besides the promises of
// every load (CheckLoad), every line kept with a species code and a quant that
// could take part was written so in the file: its fields, split here
// independently of the loader, are whole numbers of those values. A file with a
// NUL byte never loads in silence.
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

// The lines of a text file: LF, CR LF and a lone CR end a line; a byte-order
// mark at the start is no text.
std::vector<std::string_view> LinesOf(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string_view> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n' && text[i] != '\r') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// Field k (from 0) of a tab-separated line; empty when the line has fewer.
std::string_view Field(std::string_view line, int k) {
  for (; k > 0; --k) {
    const size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return std::string_view();
    line.remove_prefix(tab + 1);
  }
  return line.substr(0, line.find('\t'));
}

// The value of a field of blanks, a sign and digits (at most 19 characters);
// -1 for any other field.
long WholeValue(std::string_view f) {
  if (f.size() > 19) return -1;
  size_t i = 0;
  while (i < f.size() && f[i] == ' ') ++i;
  bool negative = false;
  if (i < f.size() && (f[i] == '+' || f[i] == '-')) negative = f[i++] == '-';
  const size_t digits = i;
  long v = 0;
  for (; i < f.size() && f[i] >= '0' && f[i] <= '9'; ++i) v = v * 10 + (f[i] - '0');
  if (i == digits) return -1;
  while (i < f.size() && (f[i] == ' ' || f[i] == '\t')) ++i;
  if (i != f.size()) return -1;
  return negative ? -v : v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Load load = LoadWithFile(kAssociationFile, bytes);
  if (!load.loaded) return 0;
  CheckLoad(load);
  const RefData* const ref = &load.ref;
  if (load.err.empty()) FUZZ_CHECK(!Holds(bytes, '\0'));

  const std::vector<std::string_view> lines = LinesOf(bytes);
  FUZZ_CHECK(static_cast<size_t>(ref->nSpeciesTableCount) <= lines.size());
  for (int u = 1; u <= ref->nSpeciesTableCount; ++u) {
    const SpeciesTableLine& stored = ref->arrTbNVCToSpeciesJoinTable[u];
    if (!IsValidQuant(stored.nQuant)) continue;
    if (stored.nSpeciesCode < 1 || stored.nSpeciesCode > kMaxDictionaryCode) continue;
    const std::string_view line = lines[static_cast<size_t>(u - 1)];
    FUZZ_CHECK(!Holds(line, '\0'));
    FUZZ_CHECK(WholeValue(Field(line, 1)) == stored.nSpeciesCode);
    FUZZ_CHECK(WholeValue(Field(line, 2)) == stored.nQuant);
  }
  return 0;
}
