// Full unit names (units.csv) and habitat correspondences (habitats.csv), read
// from the folder of the reference tables when they are there. habitats.csv
// gives many sub-communities only some classifications (often UKHab alone);
// they take their community's correspondences in the others, marked as such,
// so that a fit to a sub-community is not reported without them.
#include <algorithm>
#include <set>

#include "common/common.h"
#include "common/csv.h"
#include "refdata/unit_info.h"

namespace {

// The habitat columns --habitats can ask for, and the classifications of
// habitats.csv that go into each.
const char kEunisClassification[] = "EUNIS Classification";
const std::vector<HabitatKey> kHabitatKeys = {
    {"ukhab", "ukhab", "UKHab"},
    {"annex1", "annex1", "EU Habitats Directive Annex I"},
    {"priority", "priority_habitat", "Biodiversity Action Plan Priority Habitats"},
    {"phase1", "phase1", "Phase 1 Habitat Classification"},
    {"eunis", "eunis_habitat", kEunisClassification},
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

const HabitatKey* KeyOf(const std::string& classification) {
  for (const HabitatKey& key : kHabitatKeys) {
    if (classification.compare(0, std::string(key.prefix).size(), key.prefix) == 0) return &key;
  }
  return nullptr;
}

// The lines of habitats.csv as each unit's own correspondences (a line repeated
// is taken once), and the classifications named. False, with
// the line in `error`, when a field would part an item of a habitat column.
bool ReadHabitatLines(const CsvTable& table, std::map<std::string, std::vector<HabitatLink>>& own,
                      std::set<std::string>& classifications, std::string& error) {
  const int code = Column(table.header, "nvc_code");
  const int classification = Column(table.header, "classification");
  const int habitatCode = Column(table.header, "habitat_code");
  const int habitatName = Column(table.header, "habitat_name");
  const int relationship = Column(table.header, "relationship");
  for (const CsvRow& row : table.rows) {
    HabitatLink link;
    link.classification = At(row, classification);
    link.key = KeyOf(link.classification);
    link.code = At(row, habitatCode);
    link.name = At(row, habitatName);
    link.relationship = At(row, relationship);
    for (const std::string* field : {&link.code, &link.name, &link.relationship}) {
      if (field->find(kHabitatItemSeparator) != std::string::npos) {
        error = "habitats.csv: line " + std::to_string(row.line) + ": \"" + *field + "\" holds \"" +
                kHabitatItemSeparator + "\", which parts the items of a habitat column";
        return false;
      }
    }
    classifications.insert(link.classification);
    std::vector<HabitatLink>& links = own[At(row, code)];
    const bool known = std::any_of(links.begin(), links.end(), [&link](const HabitatLink& l) {
      return l.classification == link.classification && l.code == link.code && l.name == link.name &&
             l.relationship == link.relationship;
    });
    if (!known) links.push_back(std::move(link));
  }
  return true;
}

// Each unit's correspondences grouped by classification; a sub-community takes
// its community's in every classification of which it has none of its own.
std::map<std::string, std::vector<HabitatLink>> WithInherited(
    const std::map<std::string, std::vector<HabitatLink>>& own, const std::set<std::string>& classifications,
    const std::map<std::string, std::string>& communityOf) {
  static const std::vector<HabitatLink> kNone;
  const auto linksOf = [&own](const std::string& unit) -> const std::vector<HabitatLink>& {
    auto it = own.find(unit);
    return it == own.end() ? kNone : it->second;
  };
  std::set<std::string> units;
  for (const auto& [unit, links] : own) units.insert(unit);
  for (const auto& [unit, community] : communityOf) units.insert(unit);
  std::map<std::string, std::vector<HabitatLink>> all;
  for (const std::string& unit : units) {
    auto c = communityOf.find(unit);
    const std::string community = c != communityOf.end() && c->second != unit ? c->second : std::string();
    const std::vector<HabitatLink>& mine = linksOf(unit);
    const std::vector<HabitatLink>& theirs = community.empty() ? kNone : linksOf(community);
    std::vector<HabitatLink> links;
    for (const std::string& cls : classifications) {
      const size_t before = links.size();
      for (const HabitatLink& l : mine) {
        if (l.classification == cls) links.push_back(l);
      }
      if (links.size() > before) continue;
      for (const HabitatLink& l : theirs) {
        if (l.classification != cls) continue;
        links.push_back(l);
        links.back().inheritedFrom = community;
      }
    }
    if (!links.empty()) all[unit] = std::move(links);
  }
  return all;
}

}  // namespace

const std::vector<HabitatKey>& HabitatKeys() { return kHabitatKeys; }

bool LoadUnitInfo(const std::string& folder, UnitInfo& info, std::string& error) {
  info = UnitInfo{};
  CsvTable table;
  std::map<std::string, std::string> communityOf;
  OptionalCsv read = ReadOptionalCsv(folder, "units.csv", table, error);
  if (read == OptionalCsv::kBad) return false;
  if (read == OptionalCsv::kRead) {
    const int code = Column(table.header, "nvc_code");
    const int community = Column(table.header, "community_code");
    const int full = Column(table.header, "full_name");
    std::map<std::string, std::string> fullName;
    for (const CsvRow& row : table.rows) fullName[At(row, code)] = At(row, full);
    info.unitColumns = table.header;
    for (const CsvRow& row : table.rows) {
      std::vector<std::string>& fields = info.unitFields[At(row, code)];
      fields = row.fields;
      fields.resize(table.header.size());
    }
    for (const CsvRow& row : table.rows) {
      const std::string& unit = At(row, code);
      const std::string& of = At(row, community);
      communityOf[unit] = of;
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
    std::map<std::string, std::vector<HabitatLink>> own;
    std::set<std::string> classifications;
    if (!ReadHabitatLines(table, own, classifications, error)) return false;
    for (const auto& [unit, links] : own) {
      for (const HabitatLink& l : links) {
        if (l.classification == kEunisClassification && !l.code.empty()) info.eunisNames.emplace(l.code, l.name);
      }
    }
    info.habitats = WithInherited(own, classifications, communityOf);
  }
  return true;
}
