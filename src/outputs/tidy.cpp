// The tidy results of a scored sample (its rows, species lists and habitats),
// and where results go.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>

#include "tables/csv.h"
#include "outputs/tidy.h"
#include "outputs/tidy_row.h"
#include "report/report.h"

std::string Compact(const char* s) {
  std::string t;
  for (; *s != '\0'; ++s) {
    if (*s != ' ') t += *s;
  }
  return t;
}

namespace {

// A set of species codes, one bit each: a unit's lines are looked up in the
// sample's codes in one step each. Negative codes are never held.
class CodeBits {
 public:
  bool Has(int code) const {
    return code >= 0 && ((words_[static_cast<size_t>(code) >> 6] >> (code & 63)) & 1) != 0;
  }
  void Add(int code) {
    if (code >= 0) words_[static_cast<size_t>(code) >> 6] |= uint64_t{1} << (code & 63);
  }
  void Remove(int code) {
    if (code >= 0) words_[static_cast<size_t>(code) >> 6] &= ~(uint64_t{1} << (code & 63));
  }

 private:
  // Species codes are 16-bit.
  std::vector<uint64_t> words_ = std::vector<uint64_t>((size_t{1} << 15) / 64);
};

// The sample's species found in a unit's table, each code once. The codes met
// are noted in `counted` and taken out of it again before returning.
int Matched(const RefData& ref, const CodeBits& sampleCodes, CodeBits& counted, int unit) {
  const NVCUnit& u = ref.arrNVCData[unit];
  if (u.nSpeciesTableEndIndex == 0) return 0;
  int found = 0;
  for (int l = u.nSpeciesTableStartIndex; l <= u.nSpeciesTableEndIndex; ++l) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[l];
    if (IsValidQuant(line.nQuant) && sampleCodes.Has(line.nSpeciesCode) && !counted.Has(line.nSpeciesCode)) {
      counted.Add(line.nSpeciesCode);
      ++found;
    }
  }
  for (int l = u.nSpeciesTableStartIndex; l <= u.nSpeciesTableEndIndex; ++l) {
    counted.Remove(ref.arrTbNVCToSpeciesJoinTable[l].nSpeciesCode);
  }
  return found;
}

}  // namespace

std::string TidyWriter::Identity(const SampleState& sample, const SampleInput& input) const {
  std::string label = input.label.empty() ? std::string(sample.szSampleName) : input.label;
  if (fileColumn && !input.ids.empty()) label = input.ids[0] + " " + label;
  std::string fields;
  AppendCsvField(fields, label);
  for (size_t k = 0; k < idHeaders.size(); ++k) {
    fields += ',';
    if (k < input.ids.size()) AppendCsvField(fields, input.ids[k]);
  }
  return fields;
}

namespace {

// "sample" and the identifying columns; one that has the name of a column of
// the results is written with "input_" before it.
std::string IdentityHeader(const std::vector<std::string>& idHeaders, const std::string& columns) {
  std::string h = "sample";
  for (const std::string& id : idHeaders) {
    const std::string name = ("," + columns + ",").find("," + id + ",") != std::string::npos || id == "sample"
                                 ? "input_" + id
                                 : id;
    h += ',';
    AppendCsvField(h, name);
  }
  return h + ",";
}

}  // namespace


const std::vector<ColumnSpec>& ListColumns() {
  static const std::vector<ColumnSpec> columns = {
      {"rank", FieldType::kWhole},      {"nvc_code", FieldType::kText},   {"list", FieldType::kText},
      {"species_code", FieldType::kWhole}, {"short_name", FieldType::kText}, {"full_name", FieldType::kText},
      {"ranked_by", FieldType::kText}};
  return columns;
}

const std::vector<ColumnSpec>& HabitatColumns() {
  static const std::vector<ColumnSpec> columns = {
      {"rank", FieldType::kWhole},          {"nvc_code", FieldType::kText},     {"classification", FieldType::kText},
      {"habitat_code", FieldType::kText},   {"habitat_name", FieldType::kText}, {"relationship", FieldType::kText},
      {"inherited", FieldType::kLogical},   {"ranked_by", FieldType::kText}};
  return columns;
}

std::string TidyWriter::ListsHeader() const {
  const std::string names = ColumnNames(ListColumns());
  return IdentityHeader(idHeaders, names) + names + "\n";
}

std::string TidyWriter::HabitatsHeader() const {
  const std::string names = ColumnNames(HabitatColumns());
  return IdentityHeader(idHeaders, names) + names + "\n";
}

std::string TidyWriter::Header() const {
  // The identity's columns are told apart from the results' fixed columns.
  std::string fixed;
  for (const TidyColumn& c : ResultColumns(TidyColumns{{}, false, opt.fits, opt.rankBy})) {
    if (c.name == "agreement") break;
    fixed += (fixed.empty() ? "" : ",") + c.name;
  }
  std::string h = IdentityHeader(idHeaders, fixed);
  for (size_t k = 0; k < columns.size(); ++k) h += (k == 0 ? "" : ",") + columns[k].name;
  return h + "\n";
}

void TidyWriter::Rows(const SampleState& sample, const std::string& identity, const ScoringState& sc,
                      int16_t nAnalysisType, const SampleSummary& summary, std::string& out) const {
  std::vector<int> codes;
  for (int i = 1; i <= sample.nSampleEntries; ++i) {
    if (sample.arrSample[i].nSpeciesCode >= 0) codes.push_back(sample.arrSample[i].nSpeciesCode);
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  CodeBits sampleCodes;
  for (int code : codes) sampleCodes.Add(code);
  CodeBits counted;
  std::string previousKey;
  int tieRank = 0;
  std::string line;  // made up in one line whose room is kept from rank to rank
  const std::optional<IndicatorFields> sampleIndicators =
      opt.indicators ? std::optional<IndicatorFields>(summary.indicators) : std::nullopt;
  for (int r = 1; r <= opt.fits; ++r) {
    const int unit = sc.arrTopFits[r].nNVCIndex;
    const NVCFit& fit = sc.arrNVCFit[unit];
    // Places beyond the number of units, and units that only fill a place, name nothing.
    TidyRow row{*this, summary, r, r <= ref.nNVCCount && fit.dMeanGoF >= kNoFit, ref.arrNVCData[unit], fit};
    if (row.real) {
      row.code = Compact(row.unit.szNVCType);
      auto it = info.names.find(row.code);
      row.community = it != info.names.end() ? it->second.community : TrimBlanks(row.unit.szNVCCommonName);
      row.sub = it != info.names.end() ? it->second.subCommunity : TrimBlanks(row.unit.szNVCSubName);
      auto links = opt.habitats.empty() ? info.habitats.end() : info.habitats.find(row.code);
      if (links != info.habitats.end()) row.links = &links->second;
      if (indicators != nullptr) row.unitIndicators = indicators->OfUnit(row.code);
      row.matched = Matched(ref, sampleCodes, counted, unit);
    }
    row.shown = FitsShown(fit, nAnalysisType);
    row.species = codes.size();
    row.sampleIndicators = sampleIndicators ? &*sampleIndicators : nullptr;
    // A tie is an equal value of the ranking, as shown.
    const std::string key = OneDecimal(sc.arrTopFits[r].dMeanGoF);
    if (row.real && r > 1 && key == previousKey) {
      row.tie = tieRank;
    } else {
      tieRank = r;
    }
    previousKey = row.real ? key : std::string();
    line.assign(identity);
    for (const TidyColumn& c : columns) {
      line += ',';
      c.write(row, c.arg, line);
    }
    line += '\n';
    out += line;
  }
}

// The matching analysis of every rank: one row per species and list.
void TidyWriter::SpeciesLists(const SampleState& sample, const std::string& identity, const ScoringState& sc,
                              std::string& out) const {
  SampleCodes codes(sample);
  MatchingLists matched;
  for (int r = 1; r <= opt.fits; ++r) {
    const int unit = sc.arrTopFits[r].nNVCIndex;
    // As in the results, a place that names no unit has no lists.
    if (r > ref.nNVCCount || sc.arrNVCFit[unit].dMeanGoF < kNoFit) continue;
    const std::string code = Compact(ref.arrNVCData[unit].szNVCType);
    auto row = [&](const char* list, int speciesCode, int speciesRow) {
      std::string line = identity;
      line += "," + std::to_string(r) + ",";
      AppendCsvField(line, code);
      line += std::string(",") + list + "," + std::to_string(speciesCode) + ",";
      AppendCsvField(line, ref.arrSpecies[speciesRow].szShortName);
      line += ",";
      AppendCsvField(line, ref.arrSpecies[speciesRow].szFullName);
      out += line + "," + RankingWord(opt.rankBy) + "\n";
    };
    MatchUnitSpecies(ref, sample, codes, unit, static_cast<uint32_t>(r), matched);
    for (const MatchedSpecies& m : matched.both) row("both", m.nSpeciesCode, m.nSpeciesIndex);
    for (const MatchedSpecies& m : matched.sampleOnly) row("sample_only", m.nSpeciesCode, m.nSpeciesIndex);
    for (const MatchedSpecies& m : matched.unitOnly) row("unit_only", m.nSpeciesCode, m.nSpeciesIndex);
  }
}

void TidyWriter::UnitCodes(const ScoringState& sc, std::vector<std::string>& codes) const {
  for (int r = 1; r <= opt.fits; ++r) {
    const int unit = sc.arrTopFits[r].nNVCIndex;
    if (r <= ref.nNVCCount && sc.arrNVCFit[unit].dMeanGoF >= kNoFit) {
      codes.push_back(Compact(ref.arrNVCData[unit].szNVCType));
    }
  }
}

void TidyWriter::Habitats(const std::string& identity, const ScoringState& sc, std::string& out) const {
  for (int r = 1; r <= opt.fits; ++r) {
    const int unit = sc.arrTopFits[r].nNVCIndex;
    // As in the results, a place that names no unit has no habitats.
    if (r > ref.nNVCCount || sc.arrNVCFit[unit].dMeanGoF < kNoFit) continue;
    const std::string code = Compact(ref.arrNVCData[unit].szNVCType);
    auto links = info.habitats.find(code);
    if (links == info.habitats.end()) continue;
    for (const HabitatLink& link : links->second) {
      if (!HabitatAsked(link, opt.habitats)) continue;
      std::string line = identity;
      line += "," + std::to_string(r) + ",";
      AppendCsvField(line, code);
      line += ',';
      AppendHabitatFields(line, link);
      out += line + "," + RankingWord(opt.rankBy) + "\n";
    }
  }
}
