// The names of the units and their habitat correspondences, from units.csv and
// habitats.csv beside the reference files: the tables, and their loading.
#pragma once

#include <map>
#include <string>
#include <vector>

struct UnitNames {
  std::string community;
  std::string subCommunity;
};
// The habitat classifications --habitats can name, and the column each gives.
struct HabitatKey {
  const char* key;       // ukhab, annex1, priority, phase1, eunis
  const char* column;    // the results column
  const char* prefix;    // classification names that belong to it start so
};
const std::vector<HabitatKey>& HabitatKeys();

// One correspondence of a unit with a habitat, as a line of habitats.csv gives
// it. A sub-community holds, beside its own, those of its community in every
// classification of which it has none (`inheritedFrom` names the community).
struct HabitatLink {
  std::string classification;     // as habitats.csv writes it
  const HabitatKey* key = nullptr;  // the --habitats key it belongs to, if any
  std::string code;               // may be empty (priority habitats, NPMS)
  std::string name;
  std::string relationship;
  std::string inheritedFrom;  // empty: the unit's own
};
// The separator of the items of a habitat column; no code, name or
// relationship holds it (habitats.csv is refused otherwise).
inline constexpr const char kHabitatItemSeparator[] = " | ";
// The full names of units and their habitat correspondences, from units.csv and
// habitats.csv beside the reference files (missing files leave them empty).
struct UnitInfo {
  std::map<std::string, UnitNames> names;
  // unit code -> its correspondences, grouped by classification (in the order
  // of their names, as habitats.csv lists a unit's), each group in the order of
  // its lines
  std::map<std::string, std::vector<HabitatLink>> habitats;
  // EUNIS code -> its full name (the lines of the EUNIS classification)
  std::map<std::string, std::string> eunisNames;
  // units.csv whole, for those who list the units with every field: its
  // columns, and each unit's fields in them (as many as the columns)
  std::vector<std::string> unitColumns;
  std::map<std::string, std::vector<std::string>> unitFields;
};
// Reads units.csv and habitats.csv of the folder. False, with "FILE: what" in
// `error`, for a file that is no CSV or a habitats.csv field that holds
// kHabitatItemSeparator.
bool LoadUnitInfo(const std::string& folder, UnitInfo& info, std::string& error);
