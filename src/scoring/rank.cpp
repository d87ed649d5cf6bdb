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
  const auto offer = [top, n](int g, double m) { OfferPlace(top, n, g, m); };
  // Four units at a time: most groups hold no value above the last place, and
  // one test passes them over.
  int g = 1;
  for (; g + 3 <= nUnits; g += 4) {
    const double m0 = KeyOf<kBy>(fits[g]);
    const double m1 = KeyOf<kBy>(fits[g + 1]);
    const double m2 = KeyOf<kBy>(fits[g + 2]);
    const double m3 = KeyOf<kBy>(fits[g + 3]);
    const double last = top[n].dMeanGoF;
    if (!((m0 > last) | (m1 > last) | (m2 > last) | (m3 > last))) continue;
    offer(g, m0);
    offer(g + 1, m1);
    offer(g + 2, m2);
    offer(g + 3, m3);
  }
  for (; g <= nUnits; ++g) offer(g, KeyOf<kBy>(fits[g]));
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
