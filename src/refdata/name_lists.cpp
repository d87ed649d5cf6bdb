// synonyms.csv and not-a-taxon.txt read from the folder of the tables.
#include <algorithm>

#include "common/common.h"
#include "common/csv.h"
#include "refdata/name_lists.h"
#include "refdata/refdata.h"

std::vector<SynonymLine> LoadSynonyms(const std::string& folder) {
  std::vector<SynonymLine> lines;
  std::string text;
  CsvTable table;
  std::string error;
  if (!ReadFileText(PathIn(folder, "synonyms.csv"), text) || !ParseCsv(text, table, error)) return lines;
  const auto column = [&table](const char* name) {
    const auto it = std::find(table.header.begin(), table.header.end(), name);
    return static_cast<size_t>(it - table.header.begin());
  };
  const size_t name = column("name");
  const size_t code = column("code");
  const size_t current = column("current_name");
  for (const CsvRow& r : table.rows) {
    if (std::max({name, code, current}) >= r.fields.size()) continue;
    lines.push_back(SynonymLine{r.fields[name], r.fields[code], r.fields[current]});
  }
  return lines;
}

std::vector<std::string> LoadNotTaxonWords(const std::string& folder) {
  std::vector<std::string> words;
  std::string text;
  if (!ReadFileText(PathIn(folder, "not-a-taxon.txt"), text) &&
      !ReadFileText(PathIn(BundledTablesFolder(), "not-a-taxon.txt"), text)) {
    return words;
  }
  for (size_t at = 0; at < text.size();) {
    const size_t end = std::min(text.find('\n', at), text.size());
    const std::string_view line = TrimView(std::string_view(text).substr(at, end - at));
    at = end + 1;
    if (!line.empty() && line[0] != '#') words.emplace_back(line);
  }
  return words;
}
