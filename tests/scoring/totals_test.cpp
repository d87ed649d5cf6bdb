// Per-community expectation totals.
#include <gtest/gtest.h>

#include <cmath>

#include "tables.h"

namespace {

using scoring_test::Tables;

const double kTinyPow = std::pow(1e-6, 0.75);  // cover weight power of a tiny weight

TEST(NVCTotals, TwoLineCommunity) {
  // Quant 45: class V, Domin 5 (F 0.95, weight 16/3); quant 12: class II, Domin 2
  // (F 0.25, weight 1e-6).
  Tables t;
  t.AddSpecies(10);
  t.AddSpecies(20);
  t.AddUnit("MG5", {{10, 45}, {20, 12}});
  t.Build();
  const NVCTotals& tot = t.sc().arrNVCTotals[1];
  const int classes[6] = {0, 0, 1, 0, 0, 1};
  for (int c = 1; c <= 5; ++c) EXPECT_EQ(tot.nSpeciesInClass[c], classes[c]) << "class " << c;
  EXPECT_NEAR(tot.dSumFreqSq, 0.965001, 1e-12);
  EXPECT_NEAR(tot.dMeanFreq, 0.965001 / 1.200001, 1e-12);
  const double pow45 = std::pow(16.0 / 3.0, 0.75);
  EXPECT_NEAR(tot.dMeanFreqCover,
              (0.9025 * pow45 + 0.0625 * kTinyPow) / (1e-6 + 0.95 * pow45 + 0.25 * kTinyPow),
              1e-12);
  EXPECT_NEAR(tot.dCoverExpectation, 1e-6 + 0.857375 * 16.0 / 3.0 + 0.015625 * 1e-6, 1e-12);
  // The scratch sum of F^2 times the weight power stays in the fit table.
  EXPECT_NEAR(t.sc().arrNVCFit[1].dGoF4, 0.9025 * pow45 + 0.0625 * kTinyPow, 1e-12);
}

TEST(NVCTotals, CommunityWithoutLinesKeepsStartValues) {
  Tables t;
  t.AddSpecies(10);
  t.AddUnit("A1", {{10, 45}});
  t.AddUnit("A2", {});
  t.Build();
  const NVCTotals& tot = t.sc().arrNVCTotals[2];
  EXPECT_DOUBLE_EQ(tot.dSumFreqSq, 1e-6);
  EXPECT_DOUBLE_EQ(tot.dMeanFreq, 1.0);
  EXPECT_EQ(tot.dMeanFreqCover, 0.0);
  EXPECT_DOUBLE_EQ(tot.dCoverExpectation, 1e-6);
  for (int c = 1; c <= 5; ++c) EXPECT_EQ(tot.nSpeciesInClass[c], 0);
}

TEST(NVCTotals, SharedCodesCountOnceAndSpeciesWithoutLinesAddNothing) {
  Tables once;
  once.AddSpecies(10);
  once.AddUnit("H1", {{10, 45}, {30, 27}});  // 30 has no dictionary entry
  once.Build();

  Tables synonyms;
  synonyms.AddSpecies(10);
  synonyms.AddSpecies(10);  // a synonym shares the code and its lines
  synonyms.AddSpecies(10);
  synonyms.AddSpecies(40);  // in the dictionary, in no table
  synonyms.AddUnit("H1", {{10, 45}, {30, 27}});
  synonyms.Build();

  const NVCTotals& a = once.sc().arrNVCTotals[1];
  const NVCTotals& b = synonyms.sc().arrNVCTotals[1];
  EXPECT_EQ(b.nSpeciesInClass[5], 1);
  EXPECT_EQ(b.nSpeciesInClass[3], 0);
  EXPECT_NEAR(b.dSumFreqSq, 1e-6 + 0.9025, 1e-12);
  EXPECT_EQ(a.dSumFreqSq, b.dSumFreqSq);
  EXPECT_EQ(a.dMeanFreq, b.dMeanFreq);
  EXPECT_EQ(a.dMeanFreqCover, b.dMeanFreqCover);
  EXPECT_EQ(a.dCoverExpectation, b.dCoverExpectation);
}

TEST(NVCTotals, WoodlandIsCapitalWOrOFirst) {
  // Quant 10: class I, Domin 10: weight 9, woodland factor 1 where F^2 is 0.0144.
  const char* woodland[] = {"W8", "O1"};
  const char* other[] = {"w8", "o1", "MG1", "SW1", ""};
  Tables t;
  t.AddSpecies(10);
  for (const char* type : woodland) t.AddUnit(type, {{10, 10}});
  for (const char* type : other) t.AddUnit(type, {{10, 10}});
  t.Build();
  const double expectedWood = 1e-6 + 0.12 * 9.0 * 1.0;
  const double expectedOther = 1e-6 + 0.12 * 9.0 * 0.12 * 0.12;
  for (int g = 1; g <= 2; ++g) {
    EXPECT_TRUE(IsWoodland(t.ref().arrNVCData[g])) << t.ref().arrNVCData[g].szNVCType;
    EXPECT_NEAR(t.sc().arrNVCTotals[g].dCoverExpectation, expectedWood, 1e-12);
  }
  for (int g = 3; g <= 7; ++g) {
    EXPECT_FALSE(IsWoodland(t.ref().arrNVCData[g])) << t.ref().arrNVCData[g].szNVCType;
    EXPECT_NEAR(t.sc().arrNVCTotals[g].dCoverExpectation, expectedOther, 1e-12);
    // The other totals do not depend on the woodland rule.
    EXPECT_EQ(t.sc().arrNVCTotals[g].dSumFreqSq, t.sc().arrNVCTotals[1].dSumFreqSq);
    EXPECT_EQ(t.sc().arrNVCTotals[g].dMeanFreqCover, t.sc().arrNVCTotals[1].dMeanFreqCover);
  }
}

}  // namespace
