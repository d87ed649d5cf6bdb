// Column names as surveys write them: what a column's name says it holds, the
// key names are matched by, and the species name a matrix column stands for.
#pragma once

#include <string>
#include <string_view>

// What a column's name says it holds.
enum class ColumnRole { kOther, kSite, kYear, kGroup, kQuadrat, kSpecies, kCover, kFrequency, kLayer };
// A column name as it is matched: folded to ASCII, lower case, every run of
// other characters than letters and digits as one "_", none at the ends
// ("Quadrat no." -> "quadrat_no", "Cover (%)" -> "cover").
std::string ColumnKey(std::string_view name);
ColumnRole RoleOfColumn(std::string_view name);
inline bool IsIdentifying(ColumnRole r) {
  return r == ColumnRole::kSite || r == ColumnRole::kYear || r == ColumnRole::kGroup || r == ColumnRole::kQuadrat;
}

// The species name a matrix column header stands for: R's syntactic names
// ("Hyacinthoides.non.scripta", "Corylus.avellana.1") as the words they were.
std::string MatrixSpeciesName(std::string_view header);
