// Ellenberg indicator values: the means of a sample and of a group, and their
// tidy columns beside the unit's.
#include <charconv>
#include <cmath>
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

void AppendIndicatorHeader(std::string& line) {
  line += ",indicator_share";
  for (const char* x : kIndicatorNames) {
    const std::string s(x);
    line += "," + s + "," + s + "_weighted," + s + "_unit," + s + "_unit_sd," + s + "_outside";
  }
}

IndicatorFields::IndicatorFields(const IndicatorMeans& means) : mean(means.mean) {
  AppendIndicatorValue(text[0], means.Share());
  for (size_t i = 0; i < kIndicators; ++i) {
    AppendIndicatorValue(text[i + 1], means.mean[i]);
    AppendIndicatorValue(text[i + 1], means.weighted[i]);
  }
}

void AppendIndicatorFields(std::string& line, const IndicatorFields& sample, const UnitIndicators* unit) {
  line += sample.text[0];
  for (size_t i = 0; i < kIndicators; ++i) {
    const double unitMean = unit != nullptr ? unit->mean[i] : kNone;
    const double unitSd = unit != nullptr ? unit->sd[i] : kNone;
    line += sample.text[i + 1];
    line += unit != nullptr ? std::string_view(unit->text[i]) : std::string_view(",,");
    const std::optional<bool> outside = OutsideUnit(sample.mean[i], unitMean, unitSd);
    line += ',';
    if (outside) line += *outside ? "TRUE" : "FALSE";
  }
}
