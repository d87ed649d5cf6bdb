// Scoring: weight tables, community expectation totals, goodness of fit of a
// sample against every community, and the ranking of the best fits.
#pragma once

#include <cstdint>

#include "common/state.h"

// A community whose code begins with capital W or O is scored as woodland.
bool IsWoodland(const NVCUnit& unit);

void BuildQuantTables(ScoringState& sc);
void BuildNVCTotals(const RefData& ref, ScoringState& sc);
void ScoreSample(const RefData& ref, const SampleState& sample, int16_t nAnalysisType,
                 ScoringState& sc);
void RankTopFits(const RefData& ref, int16_t nFitsToOutput, ScoringState& sc);
