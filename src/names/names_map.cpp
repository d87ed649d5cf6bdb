// A names map the user edits: names as written, and the name to use instead.

#include "common/common.h"
#include "tables/csv.h"
#include "names/names_map.h"

bool ReadNamesMap(const std::string& path, const NameResolver& resolver, std::map<std::string, std::string>& map,
                  Console& con) {
  std::string text;
  if (!ReadFileText(path, text)) {
    DiagnoseInput(con, path, 0, "cannot read the names map: " + SystemReason());
    return false;
  }
  CsvTable table;
  std::string error;
  if (!ParseCsv(text, table, error)) {
    DiagnoseInput(con, path, 0, error);
    return false;
  }
  // The header is a row like the others unless it names the first column.
  std::vector<CsvRow> rows;
  if (!table.header.empty() && LowerAscii(Trim(table.header[0])) != "name") {
    rows.push_back(CsvRow{table.headerLine, table.header});
  }
  rows.insert(rows.end(), table.rows.begin(), table.rows.end());
  bool ok = true;
  std::map<std::string, long> lineOf;
  for (const CsvRow& row : rows) {
    if (row.fields.size() < 2) continue;
    const std::string written = Trim(row.fields[0]);
    const std::string use = Trim(row.fields[1]);
    if (written.empty() || use.empty()) continue;  // nothing to use instead
    const auto [seen, added] = lineOf.emplace(written, row.line);
    const auto before = map.find(written);
    if (!added && (before == map.end() || before->second != use)) {
      // Said once a name has two names to use (the first may have been refused).
      if (before != map.end()) {
        DiagnoseInput(con, path, row.line,
                 Fmt("\"%s\" is mapped again, to another name (line %ld gives \"%s\")", written.c_str(),
                     seen->second, before->second.c_str()));
      }
      ok = false;
      continue;
    }
    // The name to use must name an entry by its full name, or be no taxon.
    const NameMatch& m = resolver.Resolve(use);
    const NameStatus s = m.status;
    if (s == NameStatus::kExact || s == NameStatus::kOlderName || s == NameStatus::kNormalised ||
        s == NameStatus::kAggregate || s == NameStatus::kNotTaxon) {
      map[written] = use;
      continue;
    }
    std::string what = Fmt("the name to use for \"%s\", \"%s\", is %s", written.c_str(), use.c_str(),
                           s == NameStatus::kShortName ? "no full name of the dictionary"
                           : s == NameStatus::kAmbiguous ? "ambiguous"
                           : s == NameStatus::kGenusOnly ? "a genus the tables have no entry for"
                                                          : "not in the dictionary");
    DiagnoseInput(con, path, row.line, what + DidYouMean(resolver.Suggest(use)));
    ok = false;
  }
  return ok;
}
