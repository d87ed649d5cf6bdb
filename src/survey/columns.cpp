// Column names as surveys write them: the key a name is matched by, the role
// its name gives a column, and the species a matrix column stands for.
#include <cctype>
#include <initializer_list>

#include "common/common.h"
#include "names/normalise.h"
#include "survey/columns.h"

namespace {

struct RoleNames {
  ColumnRole role;
  std::initializer_list<const char*> names;
};
const RoleNames kRoles[] = {
    {ColumnRole::kSite, {"site", "site_name", "site_id", "site_code", "location", "locality", "wood", "reserve"}},
    {ColumnRole::kYear, {"year", "date", "survey_year", "survey_date", "recording_year", "visit", "visit_date"}},
    {ColumnRole::kGroup,
     {"group", "transect", "transect_id", "plot_group", "stand", "block", "compartment", "section"}},
    {ColumnRole::kQuadrat,
     {"quadrat", "quadrat_id", "quadrat_no", "quadrat_number", "quad", "sample", "sample_name", "sample_id",
      "sample_no", "plot", "plot_id", "plot_no", "plot_number", "releve", "releve_id", "releve_no"}},
    {ColumnRole::kSpecies,
     {"species", "species_name", "taxon", "taxon_name", "name", "scientific_name", "latin_name", "plant_name"}},
    {ColumnRole::kCover,
     {"cover", "cover_value", "abundance", "value", "domin", "percent", "percent_cover", "cover_percent",
      "percentage", "braun_blanquet", "cover_class"}},
    {ColumnRole::kFrequency, {"frequency", "freq"}},
    {ColumnRole::kLayer, {"layer", "stratum"}},
};

}  // namespace

std::string ColumnKey(std::string_view name) {
  std::string key;
  bool gap = false;
  for (char c : FoldToAscii(name)) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
      if (gap && !key.empty()) key += '_';
      gap = false;
      key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else {
      gap = true;
    }
  }
  return key;
}

ColumnRole RoleOfColumn(std::string_view name) {
  const std::string key = ColumnKey(name);
  for (const RoleNames& r : kRoles) {
    if (IsOneOf(key, r.names)) return r.role;
  }
  return ColumnRole::kOther;
}

std::string MatrixSpeciesName(std::string_view header) {
  std::string name;
  for (char c : Trim(header)) name += (c == '.' || c == '_') ? ' ' : c;
  // R makes repeated names unique with ".1", ".2"...
  const size_t last = name.find_last_of(' ');
  if (last != std::string::npos && last + 1 < name.size() &&
      name.find_first_not_of("0123456789", last + 1) == std::string::npos && header.find('.') != std::string::npos) {
    name.erase(last);
  }
  // Runs of blanks as one.
  std::string out;
  for (char c : name) {
    if (c == ' ' && (out.empty() || out.back() == ' ')) continue;
    out += c;
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}
