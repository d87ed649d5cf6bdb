// Goodness of fit of a sample against every community.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tables.h"

namespace {

using scoring_test::Entry;
using scoring_test::Tables;

// Species of the worked example: A, B and E are listed by the community, X is not.
constexpr int kA = 1, kB = 2, kE = 3, kX = 4;

// A community that is not woodland, with A at quant 45 (V, Domin 5), B at 32
// (IV, Domin 2) and E at 18 (II, Domin 8); X belongs to a second community only.
void BuildWorkedExample(Tables& t) {
  for (int code : {kA, kB, kE, kX}) t.AddSpecies(code);
  t.AddUnit("MG1", {{kA, 45}, {kB, 32}, {kE, 18}});
  t.AddUnit("MG2", {{kX, 30}});
  t.Build();
}

// Half a unit of the fourth decimal.
constexpr double k4 = 5e-5;

TEST(WorkedExample, TotalsOfTheCommunity) {
  Tables t;
  BuildWorkedExample(t);
  const NVCTotals& tot = t.sc().arrNVCTotals[1];
  EXPECT_NEAR(tot.dSumFreqSq, 1.527501, 1e-9);
  EXPECT_NEAR(tot.dMeanFreq, 0.783333, 1e-6);
  EXPECT_NEAR(tot.dMeanFreqCover, 0.792028, 1e-6);
  EXPECT_NEAR(tot.dCoverExpectation, 4.668154, 1e-6);
}

TEST(WorkedExample, AllFourAnalysisTypesOnCoverData) {
  Tables t;
  BuildWorkedExample(t);
  t.SetSample({{kA, 20, 1}, {kE, 5, 1}, {kX, 10, 1}});
  const double means[5] = {0, 0.6411, 0.4991, 0.7830, 0.5106};
  for (int type = 1; type <= 4; ++type) {
    const NVCFit& fit = t.Score(type);
    EXPECT_NEAR(fit.dGoF1, 0.6563, k4) << "type " << type;
    EXPECT_NEAR(fit.dGoF2, 0.5106, k4) << "type " << type;
    EXPECT_EQ(fit.dGoF3, 1.0) << "type " << type;  // 1.098 clamped
    EXPECT_NEAR(fit.dGoF4, 0.6729, k4) << "type " << type;
    EXPECT_NEAR(fit.dMeanGoF, means[type], k4) << "type " << type;
    const int classes[6] = {0, 0, 1, 0, 0, 1};
    for (int c = 1; c <= 5; ++c) EXPECT_EQ(fit.nSampleFreqByClass[c], classes[c]);
  }
  // The printed percent (value x 100.1, rounded down) of the type 1 mean.
  EXPECT_EQ(static_cast<int>(std::floor(t.Score(1).dMeanGoF * 100.1)), 64);
}

TEST(WorkedExample, TopFewSpeciesWithFallingCovers) {
  Tables t;
  BuildWorkedExample(t);
  t.SetSample({{kA, 60, 1}, {kE, 50, 1}, {kX, 40, 1}});
  const NVCFit& fit = t.Score(5);
  EXPECT_NEAR(fit.dGoF1, 0.6563, k4);
  EXPECT_NEAR(fit.dGoF2, 0.5106, k4);
  EXPECT_EQ(fit.dGoF3, 1.0);
  EXPECT_NEAR(fit.dGoF4, 0.5650, k4);
  EXPECT_NEAR(fit.dMeanGoF, 0.7689, k4);
  // Any analysis type outside 1..4 weighs as type 5.
  for (int type : {0, 6, -1}) EXPECT_EQ(t.Score(type).dMeanGoF, fit.dMeanGoF) << type;
}

TEST(WorkedExample, SpeciesOutsideTheDictionaryCountOnlyInTheSampleSize) {
  Tables listed;
  BuildWorkedExample(listed);
  listed.SetSample({{kA, 20, 1}, {kE, 5, 1}, {kX, 10, 1}});
  const NVCFit expected = listed.Score(1);

  Tables typed;
  BuildWorkedExample(typed);
  typed.SetSample({{kA, 20, 1}, {kE, 5, 1}, {9001, 10, 1}});  // a name typed during the run
  const NVCFit& fit = typed.Score(1);
  EXPECT_EQ(fit.dGoF1, expected.dGoF1);
  EXPECT_EQ(fit.dGoF2, expected.dGoF2);
  EXPECT_EQ(fit.dGoF4, expected.dGoF4);
  EXPECT_EQ(fit.dMeanGoF, expected.dMeanGoF);
  EXPECT_EQ(typed.sc().arrNVCFit[2].dMeanGoF, 0.0);  // X's own community is not reached
  EXPECT_GT(listed.sc().arrNVCFit[2].dMeanGoF, 0.0);
}

TEST(ConstancyProfile, ExcessGoesOneClassDownOnly) {
  // V and III listed, IV empty: the excess of V (1 - 0.95) reaches IV, where
  // nothing is expected, and stops there.
  Tables gap;
  gap.AddSpecies(kA);
  gap.AddSpecies(kB);
  gap.AddUnit("H1", {{kA, 45}, {kB, 25}});
  gap.Build();
  gap.SetSample({{kA, 10, 1}});
  EXPECT_NEAR(gap.Score(1).dGoF1, 0.9025 / (1e-6 + 0.9025 + 0.25), 1e-12);

  // V, IV and III listed, the sample holds the V and IV species: IV receives
  // 0.05 and passes on only its own excess, 1 - 0.75, to III.
  Tables chain;
  for (int code : {kA, kB, kE}) chain.AddSpecies(code);
  chain.AddUnit("H1", {{kA, 45}, {kB, 35}, {kE, 25}});
  chain.Build();
  chain.SetSample({{kA, 10, 1}, {kB, 10, 1}});
  const double sum = 0.95 * 0.95 + 0.75 * 0.75 + 0.25 * 0.5;
  EXPECT_NEAR(chain.Score(1).dGoF1, sum / (1e-6 + 0.9025 + 0.5625 + 0.25), 1e-12);
}

TEST(CoverAgreement, WoodlandUsesItsFactorWhereOthersUseFSquared) {
  // Quant 45: F^2 0.9025, factor 0.95, weight 16/3; quant 10: F^2 0.0144, factor 1, weight 9.
  Tables t;
  t.AddSpecies(kA);
  t.AddSpecies(kB);
  for (const char* type : {"W1", "O1", "w1", "o1", "MG1"}) t.AddUnit(type, {{kA, 45}, {kB, 10}});
  t.Build();
  t.SetSample({{kA, 2, 1}, {kB, 3, 1}});
  ScoreSample(t.ref(), t.sample(), 1, t.sc());
  const double wood = (2 * 0.95 + 3 * 1.0) / (1e-6 + 0.95 * (16.0 / 3) * 0.95 + 0.12 * 9 * 1.0);
  const double other =
      (2 * 0.9025 + 3 * 0.0144) / (1e-6 + 0.95 * (16.0 / 3) * 0.9025 + 0.12 * 9 * 0.0144);
  EXPECT_NEAR(t.sc().arrNVCFit[1].dGoF3, wood, 1e-12);
  EXPECT_NEAR(t.sc().arrNVCFit[2].dGoF3, wood, 1e-12);
  for (int g = 3; g <= 5; ++g) EXPECT_NEAR(t.sc().arrNVCFit[g].dGoF3, other, 1e-12) << g;
  EXPECT_GT(wood - other, 0.4);
  // The other three values do not depend on the woodland rule.
  EXPECT_EQ(t.sc().arrNVCFit[1].dGoF1, t.sc().arrNVCFit[5].dGoF1);
  EXPECT_EQ(t.sc().arrNVCFit[1].dGoF4, t.sc().arrNVCFit[5].dGoF4);
}

TEST(FrequencyData, FrequencyZeroCountsOnlyInTheCoverWeightedValue) {
  Tables t;
  BuildWorkedExample(t);
  t.SetSample({{kA, 20, 5}, {kX, 10, 5}, {kE, 5, 0}}, 10);
  const NVCFit with = t.Score(1);
  const double a20 = std::pow(20.0, 0.75);
  const double a10 = std::pow(10.0, 0.75);
  const double a5 = std::pow(5.0, 0.75);
  // J = 10: A is present in half the stands; E adds nothing to L or to the classes.
  const double p = 1e-6 + 0.5 * 0.95;
  EXPECT_NEAR(with.dGoF1, 0.5 * 0.95 / 1.527501, 1e-9);
  EXPECT_NEAR(with.dGoF2, p / ((1e-6 + 10) / 10 * (1.527501 / 1.950001)), 1e-9);
  EXPECT_NEAR(with.dGoF3, 5 * (16.0 / 3) * 0.9025 / (10 * t.sc().arrNVCTotals[1].dCoverExpectation),
              1e-9);
  EXPECT_NEAR(with.dGoF4,
              (a20 * 0.95 + a5 * 0.25) /
                  ((0.001 + a20 + a10 + a5) * t.sc().arrNVCTotals[1].dMeanFreqCover),
              1e-9);
  EXPECT_EQ(with.nSampleFreqByClass[5], 5);
  EXPECT_EQ(with.nSampleFreqByClass[2], 0);
  const NVCFit typeFour = t.Score(4);
  EXPECT_EQ(typeFour.dGoF2, with.dGoF2);
  EXPECT_EQ(typeFour.dMeanGoF, with.dGoF2);

  t.SetSample({{kA, 20, 5}, {kX, 10, 5}}, 10);
  const NVCFit without = t.Score(1);
  EXPECT_EQ(with.dGoF1, without.dGoF1);
  EXPECT_EQ(with.dGoF2, without.dGoF2);
  EXPECT_EQ(with.dGoF3, without.dGoF3);
  EXPECT_GT(without.dGoF4, with.dGoF4);  // E's cover joins K and its constancy the sum
  EXPECT_LT(without.dGoF4, 1.0);
}

TEST(FrequencyData, CommunityReachedOnlyAtFrequencyZeroIsNotReached) {
  Tables t;
  BuildWorkedExample(t);
  t.SetSample({{kA, 20, 5}, {kX, 30, 0}}, 10);
  const NVCFit& fit = t.Score(1, 2);
  EXPECT_EQ(fit.dMeanGoF, 0.0);
  EXPECT_EQ(fit.dGoF3, 0.0);
  EXPECT_EQ(fit.dGoF4, 0.0);  // the raw sum a * F is not left behind
}

TEST(Clamps, RatiosAboveOneBecomeExactlyOne) {
  // A (V, Domin 5) beside B (I, Domin 10): the sample holding A alone beats the
  // community's expectations on every ratio but the constancy profile.
  Tables t;
  t.AddSpecies(kA);
  t.AddSpecies(kB);
  t.AddUnit("MG1", {{kA, 45}, {kB, 10}});
  t.Build();
  t.SetSample({{kA, 20, 1}});
  const NVCFit& fit = t.Score(1);
  EXPECT_EQ(fit.dGoF2, 1.0);
  EXPECT_EQ(fit.dGoF3, 1.0);
  EXPECT_EQ(fit.dGoF4, 1.0);
  EXPECT_NEAR(fit.dGoF1, 0.9025 / (1e-6 + 0.9025 + 0.0144), 1e-12);
  // Adjusted: G1' = G1 * 1 * 1, G3' = 1; the mean of G2' = G1', G1', 1, 1.
  EXPECT_NEAR(fit.dMeanGoF, 0.5 * fit.dGoF1 + 0.5, 1e-12);
}

TEST(Mean, FourHalvesUnderEachAnalysisType) {
  Tables t;
  t.AddSpecies(kA);
  t.AddUnit("MG1", {{kA, 45}});
  t.Build();
  t.SetSample({{kA, 10, 1}});
  // Set the totals so that each value comes out at one half.
  NVCTotals& tot = t.sc().arrNVCTotals[1];
  const double p = 1e-6 + 0.95;
  const double lj = 1e-6 + 1;
  const double a = std::pow(10.0, 0.75);
  tot.dSumFreqSq = 2 * (0.95 * 0.95);
  tot.dMeanFreq = 2 * p / lj;
  tot.dCoverExpectation = 2 * ((16.0 / 3) * 0.95 * 0.95);
  tot.dMeanFreqCover = 2 * (a * 0.95) / (0.001 + a);
  BuildGroupTotals(t.sc());
  const double means[6] = {0, 0.375, 0.375, 0.375, 0.5, 0.5};
  for (int type = 1; type <= 5; ++type) {
    const NVCFit& fit = t.Score(type);
    EXPECT_NEAR(fit.dGoF1, 0.5, 1e-12);
    EXPECT_NEAR(fit.dGoF2, 0.5, 1e-12);
    EXPECT_NEAR(fit.dGoF3, 0.5, 1e-12);
    EXPECT_NEAR(fit.dGoF4, 0.5, 1e-12);
    EXPECT_NEAR(fit.dMeanGoF, means[type], 1e-12) << "type " << type;
  }
}

TEST(Mean, TypeFourIsGoFTwo) {
  Tables t;
  BuildWorkedExample(t);
  const std::vector<std::vector<Entry>> samples = {
      {{kA, 20, 1}, {kE, 5, 1}, {kX, 10, 1}},
      {{kB, 1, 1}},
      {{kA, 100, 1}, {kB, 0, 1}, {kE, 50, 1}},
  };
  for (const auto& s : samples) {
    t.SetSample(s);
    const NVCFit& fit = t.Score(4);
    EXPECT_GT(fit.dGoF2, 0.0);
    EXPECT_EQ(fit.dMeanGoF, fit.dGoF2);
  }
}

TEST(EmptySamples, EveryMeanIsZero) {
  Tables t;
  BuildWorkedExample(t);
  const std::vector<std::vector<Entry>> samples = {
      {},
      {{-5, 20, 1}, {-1, 10, 1}},  // negative codes are not counted
      {{9001, 30, 1}},             // not in the dictionary
      {{0, 30, 1}},                // the fixed entries have no lines
  };
  for (const auto& s : samples) {
    // A sample that reaches both communities first, so that stale values would show.
    t.SetSample({{kA, 20, 1}, {kX, 20, 1}});
    t.Score(1);
    ASSERT_GT(t.sc().arrNVCFit[1].dMeanGoF, 0.0);
    t.SetSample(s);
    ScoreSample(t.ref(), t.sample(), 1, t.sc());
    for (int g = 1; g <= 2; ++g) {
      const NVCFit& fit = t.sc().arrNVCFit[g];
      EXPECT_EQ(fit.dMeanGoF, 0.0);
      EXPECT_EQ(fit.dGoF1, 0.0);
      EXPECT_EQ(fit.dGoF2, 0.0);
      EXPECT_EQ(fit.dGoF3, 0.0);
      EXPECT_EQ(fit.dGoF4, 0.0);
    }
  }
}

}  // namespace
