// Full unit names (units.csv) and habitat correspondences (habitats.csv), read
// from the folder of the reference tables when they are there.
#include "batch/csv.h"
#include "batch/units.h"
#include "batch/batch.h"

namespace {

// The habitat columns --habitats can ask for, and the classifications of
// habitats.csv that go into each.
const std::vector<HabitatKey> kHabitatKeys = {
    {"ukhab", "ukhab", "UKHab"},
    {"annex1", "annex1", "EU Habitats Directive Annex I"},
    {"priority", "priority_habitat", "Biodiversity Action Plan Priority Habitats"},
    {"phase1", "phase1", "Phase 1 Habitat Classification"},
    {"eunis", "eunis_habitat", "EUNIS Classification"},
};

// A CSV file of the folder that may be absent: kAbsent, or read (kRead), or
// present but no CSV (kBad, with the error named after the file).
enum class OptionalCsv { kAbsent, kRead, kBad };
OptionalCsv ReadOptionalCsv(const std::string& folder, const char* name, CsvTable& table,
                            std::string& error) {
  std::string text;
  if (!ReadFileText(PathIn(folder, name), text)) return OptionalCsv::kAbsent;
  if (ParseCsv(text, table, error)) return OptionalCsv::kRead;
  error = std::string(name) + ": " + error;
  return OptionalCsv::kBad;
}

int Column(const std::vector<std::string>& header, const char* name) {
  for (size_t i = 0; i < header.size(); ++i) {
    if (header[i] == name) return static_cast<int>(i);
  }
  return -1;
}

const std::string& At(const CsvRow& row, int column) {
  static const std::string kEmpty;
  if (column < 0 || static_cast<size_t>(column) >= row.fields.size()) return kEmpty;
  return row.fields[static_cast<size_t>(column)];
}

}  // namespace

const std::vector<HabitatKey>& HabitatKeys() { return kHabitatKeys; }

bool LoadUnitInfo(const std::string& folder, UnitInfo& info, std::string& error) {
  info = UnitInfo{};
  CsvTable table;
  OptionalCsv read = ReadOptionalCsv(folder, "units.csv", table, error);
  if (read == OptionalCsv::kBad) return false;
  if (read == OptionalCsv::kRead) {
    const int code = Column(table.header, "nvc_code");
    const int community = Column(table.header, "community_code");
    const int full = Column(table.header, "full_name");
    std::map<std::string, std::string> fullName;
    for (const CsvRow& row : table.rows) fullName[At(row, code)] = At(row, full);
    for (const CsvRow& row : table.rows) {
      const std::string& unit = At(row, code);
      const std::string& of = At(row, community);
      UnitNames names;
      names.community = fullName[of];
      if (unit != of) {
        // "<community>, <sub-community>": the sub-community is what follows.
        const std::string& whole = At(row, full);
        const std::string prefix = names.community + ", ";
        names.subCommunity =
            whole.compare(0, prefix.size(), prefix) == 0 ? whole.substr(prefix.size()) : whole;
      }
      info.names[unit] = names;
    }
  }
  read = ReadOptionalCsv(folder, "habitats.csv", table, error);
  if (read == OptionalCsv::kBad) return false;
  if (read == OptionalCsv::kRead) {
    const int code = Column(table.header, "nvc_code");
    const int classification = Column(table.header, "classification");
    const int habitatCode = Column(table.header, "habitat_code");
    const int habitatName = Column(table.header, "habitat_name");
    for (const CsvRow& row : table.rows) {
      const std::string& cls = At(row, classification);
      for (const HabitatKey& key : kHabitatKeys) {
        if (cls.compare(0, std::string(key.prefix).size(), key.prefix) != 0) continue;
        const std::string& hc = At(row, habitatCode);
        const std::string& hn = At(row, habitatName);
        std::vector<std::string>& items = info.habitats[At(row, code)][key.key];
        const std::string item = hc.empty() ? hn : hc + " " + hn;
        bool known = false;
        for (const std::string& i : items) known = known || i == item;
        if (!known) items.push_back(item);
      }
    }
  }
  return true;
}

// The folder of the reference tables: the one given, or the bundled one.
std::string TablesFolder(const std::string& tables) {
  return tables.empty() ? BundledTablesFolder() : tables;
}

// The reference tables of a batch command: --tables, or the bundled ones. False
// (after saying why) when they cannot be loaded.
bool LoadBatchTables(Console& con, Console& quiet, const std::string& tables, std::string& folder,
                     RefData& ref) {
  folder = TablesFolder(tables);
  const std::vector<std::string> missing = MissingReferenceFiles(folder);
  if (!missing.empty()) {
    std::string names;
    for (const std::string& m : missing) names += (names.empty() ? "" : ", ") + m;
    Diagnose(con.err, folder.empty() ? "(no tables folder)" : folder, "missing " + names);
    return false;
  }
  if (!LoadReferenceData(quiet, ref, folder)) {
    Diagnose(con.err, folder, "the reference tables could not be loaded");
    return false;
  }
  return true;
}
