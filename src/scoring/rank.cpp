// The best communities of the current sample, best first.
#include <cassert>

#include "scoring/scoring.h"

namespace {

// The key a community is ranked by.
template <RankBy kBy>
double KeyOf(const NVCFit& fit) {
  if constexpr (kBy == RankBy::kFit) return fit.dMeanGoF;
  if constexpr (kBy == RankBy::kConsensus) return fit.dConsensus;
  return fit.dCzekanowski;
}

// One pass over every community, the key read straight from the fit records.
template <RankBy kBy>
void RankAll(int nUnits, const NVCFit* fits, int n, TopFit* top) {
  ClearPlaces(top, n);
  int g = 1;
  for (; g + 3 <= nUnits; g += 4) {
    const double m[4] = {KeyOf<kBy>(fits[g]), KeyOf<kBy>(fits[g + 1]), KeyOf<kBy>(fits[g + 2]),
                         KeyOf<kBy>(fits[g + 3])};
    OfferFour(top, n, g, m);
  }
  for (; g <= nUnits; ++g) OfferPlace(top, n, g, KeyOf<kBy>(fits[g]));
}

}  // namespace

void RankTopFits(const RefData& ref, int16_t nFitsToOutput, ScoringState& sc, RankBy by) {
  const int n = nFitsToOutput;
  assert(n >= 1 && n < kTopFitsRecords);
  const int nUnits = ref.nNVCCount;
  const NVCFit* fits = sc.arrNVCFit.data();
  switch (by) {
    case RankBy::kFit: RankAll<RankBy::kFit>(nUnits, fits, n, sc.arrTopFits); break;
    case RankBy::kConsensus: RankAll<RankBy::kConsensus>(nUnits, fits, n, sc.arrTopFits); break;
    case RankBy::kCzekanowski: RankAll<RankBy::kCzekanowski>(nUnits, fits, n, sc.arrTopFits); break;
  }
}

const char* RankingWord(RankBy by) {
  switch (by) {
    case RankBy::kConsensus: return "consensus";
    case RankBy::kCzekanowski: return "czekanowski";
    case RankBy::kFit: break;
  }
  return "fit";
}
