// The best communities of the current sample, best first.
#include <cassert>

#include "scoring/scoring.h"

namespace {

// Below any mean, so that the first communities always enter the list.
constexpr double kEmptyPlace = -1e10;
}  // namespace

void RankTopFits(const RefData& ref, int16_t nFitsToOutput, ScoringState& sc, RankBy by) {
  const int n = nFitsToOutput;
  assert(n >= 1 && n < kTopFitsRecords);
  TopFit* top = sc.arrTopFits;
  for (int i = 1; i <= n; ++i) {
    top[i].nNVCIndex = 1;
    top[i].dMeanGoF = kEmptyPlace;
  }
  // Strict comparisons keep ties in index order: a later community with the same
  // mean goes after the earlier one, and one equal to the last row stays out.
  const int nUnits = ref.nNVCCount;
  for (int g = 1; g <= nUnits; ++g) {
    const NVCFit& fit = sc.arrNVCFit[g];
    const double m = by == RankBy::kFit         ? fit.dMeanGoF
                     : by == RankBy::kConsensus ? fit.dConsensus
                                                : fit.dCzekanowski;
    if (!(m > top[n].dMeanGoF)) continue;
    int p = 1;
    while (!(top[p].dMeanGoF < m)) ++p;
    for (int i = n; i > p; --i) top[i] = top[i - 1];
    top[p].nNVCIndex = g;
    top[p].dMeanGoF = m;
  }
}
