// The second opinion: Czekanowski's coefficient of a sample against a unit's
// floristic table, and the consensus with the mean fit.
#include <gtest/gtest.h>

#include "tables.h"

namespace {

using scoring_test::Tables;

// Three units; quants 41..50 are constancy V, 21..30 III, 11..20 II, 31..40 IV, 1..10 I.
//   unit 1: 10 (V), 20 (III), 30 (I)    unit values 1.0 + 0.6 + 0.2 = 1.8
//   unit 2: 10 (II), 40 (IV)            unit values 0.4 + 0.8       = 1.2
//   unit 3: 50 (V)                      unit values 1.0
// The completed sample holds 10, 20, 40 and a species typed during the run (9001):
// four distinct species.
TEST(Czekanowski, HandComputedExample) {
  Tables t;
  for (int code : {10, 20, 30, 40, 50}) t.AddSpecies(code);
  t.AddUnit("MG1", {{10, 45}, {20, 25}, {30, 5}});
  t.AddUnit("MG2", {{10, 15}, {40, 35}});
  t.AddUnit("MG3", {{50, 47}});
  t.Build();
  t.SetSample({{10, 20, 1}, {20, 5, 1}, {40, 10, 1}, {9001, 30, 1}});
  for (int type = 1; type <= 5; ++type) {
    t.Score(type);
    const NVCFit& u1 = t.sc().arrNVCFit[1];
    const NVCFit& u2 = t.sc().arrNVCFit[2];
    const NVCFit& u3 = t.sc().arrNVCFit[3];
    // C = 2 * (matched unit values) / (sample species + all unit values).
    EXPECT_DOUBLE_EQ(u1.dCzekanowski, 2 * (1.0 + 0.6) / (4 + 1.8)) << type;
    EXPECT_DOUBLE_EQ(u2.dCzekanowski, 2 * (0.4 + 0.8) / (4 + 1.2)) << type;
    EXPECT_EQ(u3.dCzekanowski, 0.0) << type;
    // The consensus is the mean fit of the analysis type times C.
    EXPECT_EQ(u1.dConsensus, u1.dMeanGoF * u1.dCzekanowski) << type;
    EXPECT_EQ(u2.dConsensus, u2.dMeanGoF * u2.dCzekanowski) << type;
    EXPECT_EQ(u3.dConsensus, 0.0) << type;
  }
}

TEST(Czekanowski, ASampleOfExactlyAUnitsConstancyVSpeciesScoresOne) {
  Tables t;
  for (int code : {1, 2, 3, 4, 5, 6}) t.AddSpecies(code);
  t.AddUnit("W1", {{1, 41}, {2, 44}, {3, 50}, {4, 46}});
  t.AddUnit("W2", {{1, 41}, {5, 41}, {6, 3}});
  t.Build();
  t.SetSample({{1, 10, 1}, {2, 10, 1}, {3, 10, 1}, {4, 10, 1}});
  t.Score(2);
  EXPECT_DOUBLE_EQ(t.sc().arrNVCFit[1].dCzekanowski, 1.0);
  EXPECT_LT(t.sc().arrNVCFit[2].dCzekanowski, 1.0);
  // One more species, of no unit, and the coefficient falls below one.
  t.SetSample({{1, 10, 1}, {2, 10, 1}, {3, 10, 1}, {4, 10, 1}, {9001, 10, 1}});
  t.Score(2);
  EXPECT_DOUBLE_EQ(t.sc().arrNVCFit[1].dCzekanowski, 8.0 / 9.0);
}

TEST(Czekanowski, RankingsByEachOpinionBreakTiesByUnitIndex) {
  Tables t;
  for (int code : {1, 2, 3}) t.AddSpecies(code);
  // Units 1 and 3 are the same table; unit 2 holds the sample's species rarely.
  t.AddUnit("U1", {{1, 45}, {2, 45}});
  t.AddUnit("U2", {{1, 5}, {2, 5}, {3, 5}});
  t.AddUnit("U3", {{1, 45}, {2, 45}});
  t.Build();
  t.SetSample({{1, 10, 1}, {2, 10, 1}, {3, 10, 1}});
  t.Score(2);
  for (RankBy by : {RankBy::kFit, RankBy::kConsensus, RankBy::kCzekanowski}) {
    RankTopFits(t.ref(), 3, t.sc(), by);
    // Units 1 and 3 tie on every opinion, and the lower index goes first.
    int first = 0;
    int second = 0;
    for (int r = 1; r <= 3; ++r) {
      const int unit = t.sc().arrTopFits[r].nNVCIndex;
      if (unit == 1) first = r;
      if (unit == 3) second = r;
    }
    EXPECT_LT(first, second);
  }
  // The ranked value is the opinion asked for.
  RankTopFits(t.ref(), 1, t.sc(), RankBy::kCzekanowski);
  const int best = t.sc().arrTopFits[1].nNVCIndex;
  EXPECT_EQ(t.sc().arrTopFits[1].dMeanGoF, t.sc().arrNVCFit[best].dCzekanowski);
}

}  // namespace
