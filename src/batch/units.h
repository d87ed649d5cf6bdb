// The names of the units and their habitat correspondences, and the reference
// tables of a batch command.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "console/console.h"
#include "refdata/refdata.h"

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

// The full names of units and their habitat correspondences, from units.csv and
// habitats.csv beside the reference files (missing files leave them empty).
struct UnitInfo {
  std::map<std::string, UnitNames> names;
  // unit code -> key -> "code name" items
  std::map<std::string, std::map<std::string, std::vector<std::string>>> habitats;
};
bool LoadUnitInfo(const std::string& folder, UnitInfo& info, std::string& error);

// The folder of the reference tables: the one given, or the bundled one.
std::string TablesFolder(const std::string& tables);
// The reference tables of a batch command: --tables, or the bundled ones. False
// (after saying why) when they cannot be loaded.
bool LoadBatchTables(Console& con, Console& quiet, const std::string& tables, std::string& folder, RefData& ref);
