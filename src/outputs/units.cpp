// The habitat correspondences of the units as the results write them (the
// tables are loaded by refdata/unit_info.h), and the reference tables of a
// batch command.
#include <algorithm>

#include "common/common.h"
#include "tables/csv.h"
#include "outputs/units.h"

std::string HabitatItem(const HabitatLink& link) {
  std::string item = link.code.empty() ? link.name : link.code + " " + link.name;
  std::string note = link.relationship;
  if (!link.inheritedFrom.empty()) note += (note.empty() ? "" : ", ") + ("inherited from " + link.inheritedFrom);
  if (!note.empty()) item += " (" + note + ")";
  return item;
}

std::string HabitatRelationship(const HabitatLink& link) {
  if (link.inheritedFrom.empty()) return link.relationship;
  return link.relationship + (link.relationship.empty() ? "" : " ") + "(inherited from " + link.inheritedFrom + ")";
}

void AppendHabitatFields(std::string& line, const HabitatLink& link) {
  AppendCsvField(line, link.classification);
  line += ',';
  AppendCsvField(line, link.code);
  line += ',';
  AppendCsvField(line, link.name);
  line += ',';
  AppendCsvField(line, HabitatRelationship(link));
  line += link.inheritedFrom.empty() ? ",FALSE" : ",TRUE";
}

bool HabitatAsked(const HabitatLink& link, const std::vector<std::string>& keys) {
  if (keys.empty()) return true;
  return link.key != nullptr && std::find(keys.begin(), keys.end(), link.key->key) != keys.end();
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
    Diagnose(con, folder.empty() ? "(no tables folder)" : folder, "missing " + names);
    return false;
  }
  if (!LoadReferenceData(quiet, ref, folder)) {
    Diagnose(con, folder, "the reference tables could not be loaded");
    return false;
  }
  return true;
}
