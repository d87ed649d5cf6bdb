// The habitat correspondences of the units as the results write them, and the
// reference tables of a batch command.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "console/console.h"
#include "refdata/refdata.h"
#include "refdata/unit_info.h"

// An item of a habitat column: "CODE NAME (RELATIONSHIP, inherited from CG3)".
std::string HabitatItem(const HabitatLink& link);
// The relationship as the long habitat tables write it: "RELATIONSHIP (inherited
// from CG3)" for an inherited one.
std::string HabitatRelationship(const HabitatLink& link);
// The fields classification,habitat_code,habitat_name,relationship,inherited of
// the long habitat tables, appended to a CSV line.
void AppendHabitatFields(std::string& line, const HabitatLink& link);
// Whether a correspondence belongs to the classifications asked for (keys of
// --habitats; none asked: every classification).
bool HabitatAsked(const HabitatLink& link, const std::vector<std::string>& keys);

// The folder of the reference tables: the one given, or the bundled one.
std::string TablesFolder(const std::string& tables);
// The reference tables of a batch command: --tables, or the bundled ones. False
// (after saying why) when they cannot be loaded.
bool LoadBatchTables(Console& con, Console& quiet, const std::string& tables, std::string& folder, RefData& ref);
