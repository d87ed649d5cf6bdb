// Scoring: weight tables, community expectation totals, goodness of fit of a
// sample against every community, and the ranking of the best fits.
#pragma once

#include <cstdint>

#include "common/state.h"

// A community whose code begins with capital W or O is scored as woodland.
// Inline: it is asked once per association line of every sample species.
inline bool IsWoodland(const NVCUnit& unit) {
  return unit.szNVCType[0] == 'W' || unit.szNVCType[0] == 'O';
}

void BuildQuantTables(ScoringState& sc);
void BuildNVCTotals(const RefData& ref, ScoringState& sc);
void ScoreSample(const RefData& ref, const SampleState& sample, int16_t nAnalysisType,
                 ScoringState& sc);
void RankTopFits(const RefData& ref, int16_t nFitsToOutput, ScoringState& sc);
