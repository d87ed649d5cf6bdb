// The columns of the tidy results: one table, each entry a column's name, the
// type of its fields and how a row's field is written. The results' header,
// their rows and what the R package reads back all come from it.
#include <algorithm>
#include <charconv>

#include "outputs/tidy_row.h"
#include "tables/csv.h"

std::string OneDecimal(double fraction) {
  // Both to_chars and printf's "%.1f" give the correctly rounded decimal of
  // the double; to_chars without the cost of printf (a row holds seven).
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf, fraction * 100.0, std::chars_format::fixed, 1);
  return std::string(buf, r.ptr);
}

namespace {

// The full name of a unit's EUNIS code as the habitat correspondences give it;
// the definitions' text (cut short) when they do not hold the code.
std::string EunisName(const UnitInfo& info, const NVCUnit& u) {
  auto it = info.eunisNames.find(Compact(u.szEunisCode));
  return it != info.eunisNames.end() ? it->second : TrimBlanks(u.szEunisName);
}

// A habitat column: the unit's items of one --habitats key, each once.
std::string HabitatItems(const std::vector<HabitatLink>& links, const std::string& key) {
  std::vector<std::string> items;
  for (const HabitatLink& link : links) {
    if (link.key == nullptr || key != link.key->key) continue;
    std::string item = HabitatItem(link);
    if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(std::move(item));
  }
  std::string column;
  for (const std::string& item : items) column += (column.empty() ? "" : kHabitatItemSeparator) + item;
  return column;
}

using Row = TidyRow;

// The fixed columns, in order.
const TidyColumn kFixed[] = {
    {"rank", FieldType::kWhole, [](const Row& r, size_t, std::string& l) { l += std::to_string(r.rank); }},
    {"nvc_code", FieldType::kText, [](const Row& r, size_t, std::string& l) { AppendCsvField(l, r.code); }},
    {"community", FieldType::kText, [](const Row& r, size_t, std::string& l) { AppendCsvField(l, r.community); }},
    {"sub_community", FieldType::kText, [](const Row& r, size_t, std::string& l) { AppendCsvField(l, r.sub); }},
    {"mean_fit", FieldType::kNumber, [](const Row& r, size_t, std::string& l) { l += OneDecimal(r.fit.dMeanGoF); }},
    {"fit_1", FieldType::kNumber, [](const Row& r, size_t, std::string& l) { l += OneDecimal(r.shown.fit[1]); }},
    {"fit_2", FieldType::kNumber, [](const Row& r, size_t, std::string& l) { l += OneDecimal(r.shown.fit[2]); }},
    {"fit_3", FieldType::kNumber, [](const Row& r, size_t, std::string& l) { l += OneDecimal(r.shown.fit[3]); }},
    {"fit_4", FieldType::kNumber, [](const Row& r, size_t, std::string& l) { l += OneDecimal(r.shown.fit[4]); }},
    {"fit_class", FieldType::kText,
     [](const Row& r, size_t, std::string& l) {
       if (r.real) l += FitClass(PercentFit(r.fit.dMeanGoF));
     }},
    {"eunis_code", FieldType::kText,
     [](const Row& r, size_t, std::string& l) { AppendCsvField(l, r.real ? Compact(r.unit.szEunisCode) : ""); }},
    {"eunis_name", FieldType::kText,
     [](const Row& r, size_t, std::string& l) { AppendCsvField(l, r.real ? EunisName(r.w.info, r.unit) : ""); }},
    {"species", FieldType::kWhole, [](const Row& r, size_t, std::string& l) { l += std::to_string(r.species); }},
    {"species_matched", FieldType::kWhole,
     [](const Row& r, size_t, std::string& l) { l += std::to_string(r.matched); }},
    // The place a tie is with, or nothing: R reads it as text, as it always has.
    {"tie", FieldType::kText,
     [](const Row& r, size_t, std::string& l) {
       if (r.tie > 0) l += std::to_string(r.tie);
     }},
    {"czekanowski", FieldType::kNumber,
     [](const Row& r, size_t, std::string& l) { l += OneDecimal(r.real ? r.fit.dCzekanowski : 0.0); }},
    {"consensus", FieldType::kNumber,
     [](const Row& r, size_t, std::string& l) { l += OneDecimal(r.real ? r.fit.dConsensus : 0.0); }},
    {"ranked_by", FieldType::kText, [](const Row& r, size_t, std::string& l) { l += RankingWord(r.w.opt.rankBy); }},
};

void ConfidenceField(const Row& r, size_t k, std::string& l) { AppendConfidenceField(l, r.summary.confidence, k); }

void HabitatField(const Row& r, size_t k, std::string& l) {
  if (r.links != nullptr) AppendCsvField(l, HabitatItems(*r.links, r.w.opt.habitats[k]));
}

void IndicatorField(const Row& r, size_t k, std::string& l) {
  AppendIndicatorField(l, *r.sampleIndicators, r.unitIndicators, k);
}

}  // namespace

std::vector<TidyColumn> ResultColumns(const TidyColumns& cols) {
  std::vector<TidyColumn> columns(std::begin(kFixed), std::end(kFixed));
  for (size_t k = 0; k < kConfidenceColumns; ++k) {
    const bool number = k == 1 || k == 3;  // margin, p_correct
    columns.push_back({ConfidenceColumnName(k), number ? FieldType::kNumber : FieldType::kText, ConfidenceField, k});
  }
  for (size_t k = 0; k < cols.habitats.size(); ++k) {
    for (const HabitatKey& h : HabitatKeys()) {
      if (cols.habitats[k] == h.key) columns.push_back({h.column, FieldType::kText, HabitatField, k});
    }
  }
  if (cols.indicators) {
    for (size_t k = 0; k < kIndicatorColumns; ++k) {
      columns.push_back({IndicatorColumnName(k), IndicatorColumnIsLogical(k) ? FieldType::kLogical : FieldType::kNumber,
                         IndicatorField, k});
    }
  }
  return columns;
}
