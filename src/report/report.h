// Results: the fit report on screen and in the results file, and the matching
// analysis of the reported communities.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "common/common.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// Means below this are reported without any text: the community is only a
// filler of the ranking, not a fit.
constexpr double kNoFit = 0.0001;

// The four fits (fractions, 1..4) as the report shows them: 0 for a community
// the sample did not reach, and for the fits that take no part in the mean of
// the analysis type.
struct ShownFits {
  double fit[5];
};
ShownFits FitsShown(const NVCFit& fit, int16_t nAnalysisType);

// A fraction as the integer percent the report prints: floor(value * 100.1).
int PercentFit(double value);

// Verbal class of an integer mean fit.
const char* FitClass(int nMeanFit);

// Reports the ranked fits; returns 1 to go on with the next sample, 0 to end the
// run. The closing prompt may reset the parameters.
int16_t ReportFits(Console& con, const RefData& ref, const SampleState& sample,
                   const ScoringState& sc, RunSettings& rs);

// The sample's rows by species code, for the lookups of the lists: (code, first
// row) pairs in code order. Rows with a negative code take no part.
class SampleCodes {
 public:
  explicit SampleCodes(const SampleState& sample) {
    for (int i = 1; i <= sample.nSampleEntries; ++i) {
      const int code = sample.arrSample[i].nSpeciesCode;
      if (code >= 0) byCode_.emplace_back(code, i);
    }
    std::sort(byCode_.begin(), byCode_.end());
  }
  // The first sample row holding the code, or 0.
  int RowOf(int code) const {
    const auto it = std::lower_bound(byCode_.begin(), byCode_.end(), std::make_pair(code, 0));
    return it != byCode_.end() && it->first == code ? it->second : 0;
  }

 private:
  std::vector<std::pair<int, int>> byCode_;
};


// One species of a matching list: its code and the species row that names it.
struct MatchedSpecies {
  int nSpeciesCode;
  int nSpeciesIndex;
};
// The matching analysis of a unit: the species of both (in table order, named as
// in the sample), of the sample only (in entry order) and of the unit only (in
// table order, under their dictionary names).
struct MatchingLists {
  std::vector<MatchedSpecies> both;
  std::vector<MatchedSpecies> sampleOnly;
  std::vector<MatchedSpecies> unitOnly;
};
MatchingLists MatchUnitSpecies(const RefData& ref, const SampleState& sample,
                               const SampleCodes& codes, int unit);

// Three Analysis lines per rank (CSV results only).
void WriteMatchingAnalysis(const RefData& ref, const SampleState& sample, const ScoringState& sc,
                           const RunSettings& rs);
