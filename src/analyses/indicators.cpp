// Ellenberg indicator values: the means of a sample and of a group, and their
// tidy columns beside the unit's.
#include <cassert>
#include <charconv>
#include <cmath>
#include <optional>
#include <cstdlib>
#include <vector>

#include "analyses/indicators.h"

namespace {

constexpr double kNone = kNoIndicatorValue;

// Means over species given as (code, weight).
IndicatorMeans MeansOf(const IndicatorTables& tables, const std::vector<std::pair<int, double>>& species) {
  IndicatorMeans m;
  IndicatorSet sum{}, count{}, wsum{}, weights{};
  for (const auto& [code, weight] : species) {
    ++m.species;
    const IndicatorSet* v = tables.OfSpecies(code);
    if (v == nullptr) continue;
    bool any = false;
    for (size_t i = 0; i < kIndicators; ++i) {
      if (std::isnan((*v)[i])) continue;
      any = true;
      sum[i] += (*v)[i];
      count[i] += 1;
      wsum[i] += weight * (*v)[i];
      weights[i] += weight;
    }
    if (any) ++m.withValues;
  }
  for (size_t i = 0; i < kIndicators; ++i) {
    m.mean[i] = count[i] > 0 ? sum[i] / count[i] : kNone;
    m.weighted[i] = weights[i] > 0 ? wsum[i] / weights[i] : kNone;
  }
  return m;
}

}  // namespace

double IndicatorMeans::Share() const {
  return species > 0 ? static_cast<double>(withValues) / species : kNone;
}

IndicatorMeans SampleIndicators(const IndicatorTables& tables, const SampleEntries& sample) {
  std::vector<std::pair<int, double>> species;
  for (int i = 1; i <= sample.nSampleEntries; ++i) {
    species.emplace_back(sample.arrSample[i].nSpeciesCode, sample.arrSample[i].nCover);
  }
  return MeansOf(tables, species);
}

IndicatorMeans GroupIndicators(const IndicatorTables& tables, const GroupTally& group) {
  std::vector<std::pair<int, double>> species;
  for (const GroupSpecies& sp : group.Species()) species.emplace_back(sp.code, sp.percentSum);
  return MeansOf(tables, species);
}

std::optional<bool> OutsideUnit(double mean, double unitMean, double unitSd) {
  if (std::isnan(mean) || std::isnan(unitMean) || std::isnan(unitSd)) return std::nullopt;
  return mean < unitMean - unitSd || mean > unitMean + unitSd;
}

std::string IndicatorColumnName(size_t column) {
  assert(column < kIndicatorColumns);
  if (column == 0) return "indicator_share";
  static const char* const kSuffixes[] = {"", "_weighted", "_unit", "_unit_sd", "_outside"};
  return std::string(kIndicatorNames[(column - 1) / 5]) + kSuffixes[(column - 1) % 5];
}

bool IndicatorColumnIsLogical(size_t column) { return column > 0 && (column - 1) % 5 == 4; }

void AppendIndicatorHeader(std::string& line) {
  for (size_t c = 0; c < kIndicatorColumns; ++c) line += "," + IndicatorColumnName(c);
}

IndicatorFields::IndicatorFields(const IndicatorMeans& means) : mean(means.mean) {
  AppendIndicatorValue(text[0], means.Share());
  for (size_t i = 0; i < kIndicators; ++i) {
    AppendIndicatorValue(text[1 + 2 * i], means.mean[i]);
    AppendIndicatorValue(text[2 + 2 * i], means.weighted[i]);
  }
}

void AppendIndicatorField(std::string& line, const IndicatorFields& sample, const UnitIndicators* unit,
                          size_t column) {
  assert(column < kIndicatorColumns);
  if (column == 0) {
    line += sample.text[0];
    return;
  }
  const size_t i = (column - 1) / 5;
  switch ((column - 1) % 5) {
    case 0: line += sample.text[1 + 2 * i]; break;
    case 1: line += sample.text[2 + 2 * i]; break;
    case 2: if (unit != nullptr) line += unit->meanText[i]; break;
    case 3: if (unit != nullptr) line += unit->sdText[i]; break;
    default: {
      const std::optional<bool> outside =
          OutsideUnit(sample.mean[i], unit != nullptr ? unit->mean[i] : kNone, unit != nullptr ? unit->sd[i] : kNone);
      if (outside) line += *outside ? "TRUE" : "FALSE";
    }
  }
}

void AppendIndicatorFields(std::string& line, const IndicatorFields& sample, const UnitIndicators* unit) {
  for (size_t c = 0; c < kIndicatorColumns; ++c) {
    line += ',';
    AppendIndicatorField(line, sample, unit, c);
  }
}
