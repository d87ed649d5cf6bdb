// Scoring. (stubs, to be built)
#include "scoring/scoring.h"

bool IsWoodland(const NVCUnit& unit) {
  return unit.szNVCType[0] == 'W' || unit.szNVCType[0] == 'O';
}
void BuildQuantTables(ScoringState& sc) { (void)sc; }
void BuildNVCTotals(const RefData& ref, ScoringState& sc) { (void)ref; (void)sc; }
void ScoreSample(const RefData& ref, const SampleState& sample, int16_t nAnalysisType,
                 ScoringState& sc) {
  (void)ref; (void)sample; (void)nAnalysisType; (void)sc;
}
void RankTopFits(const RefData& ref, int16_t nFitsToOutput, ScoringState& sc) {
  (void)ref; (void)nFitsToOutput; (void)sc;
}
