// Results: the fit report on screen and in the results file, and the matching
// analysis of the reported communities.
#pragma once

#include <cstdint>

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

// Three Analysis lines per rank (CSV results only).
void WriteMatchingAnalysis(const RefData& ref, const SampleState& sample, const ScoringState& sc,
                           const RunSettings& rs);
