// The weight tables derived from the quant codes.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "app/app.h"
#include "scoring/scoring.h"

namespace {

struct QuantRow {
  int q;
  int constancyClass;
  int domin;
  int dominPercent;
  double coverWeight;
  double coverWeightPow;
  double woodlandFactor;
};

// The quant table by hand, values to 4 decimals (tiny ones to 5 significant digits).
const QuantRow kRows[] = {
    {1, 1, 1, 0, 1e-6, 3.1623e-5, 0.0144},
    {2, 1, 2, 1, 1e-6, 3.1623e-5, 0.0144},
    {3, 1, 3, 4, 1e-6, 3.1623e-5, 0.0144},
    {4, 1, 4, 9, 1e-6, 3.1623e-5, 0.0144},
    {5, 1, 5, 16, 1e-6, 3.1623e-5, 0.0144},
    {6, 1, 6, 26, 2.3636, 1.9063, 0.0144},
    {7, 1, 7, 39, 3.5455, 2.5838, 0.0144},
    {8, 1, 8, 55, 5.0000, 3.3437, 0.0144},
    {9, 1, 9, 75, 6.8182, 4.2194, 0.12},
    {10, 1, 10, 99, 9.0000, 5.1962, 1},
    {11, 2, 1, 0, 1e-6, 3.1623e-5, 0.0625},
    {12, 2, 2, 1, 1e-6, 3.1623e-5, 0.0625},
    {13, 2, 3, 4, 1e-6, 3.1623e-5, 0.0625},
    {14, 2, 4, 9, 1e-6, 3.1623e-5, 0.0625},
    {15, 2, 5, 16, 1e-6, 3.1623e-5, 0.0625},
    {16, 2, 6, 26, 2.8889, 2.2159, 0.0625},
    {17, 2, 7, 39, 4.3333, 3.0034, 0.0625},
    {18, 2, 8, 55, 6.1111, 3.8868, 0.25},
    {19, 2, 9, 75, 8.3333, 4.9047, 1},
    {20, 2, 10, 99, 11.0000, 6.0401, 1},
    {21, 3, 1, 0, 1e-6, 3.1623e-5, 0.25},
    {22, 3, 2, 1, 1e-6, 3.1623e-5, 0.25},
    {23, 3, 3, 4, 1e-6, 3.1623e-5, 0.25},
    {24, 3, 4, 9, 1e-6, 3.1623e-5, 0.25},
    {25, 3, 5, 16, 2.2857, 1.8589, 0.25},
    {26, 3, 6, 26, 3.7143, 2.6755, 0.25},
    {27, 3, 7, 39, 5.5714, 3.6264, 0.5},
    {28, 3, 8, 55, 7.8571, 4.6930, 1},
    {29, 3, 9, 75, 10.7143, 5.9221, 1},
    {30, 3, 10, 99, 14.1429, 7.2929, 1},
    {31, 4, 1, 0, 1e-6, 3.1623e-5, 0.5625},
    {32, 4, 2, 1, 1e-6, 3.1623e-5, 0.5625},
    {33, 4, 3, 4, 1e-6, 3.1623e-5, 0.5625},
    {34, 4, 4, 9, 1e-6, 3.1623e-5, 0.5625},
    {35, 4, 5, 16, 3.2000, 2.3926, 0.5625},
    {36, 4, 6, 26, 5.2000, 3.4435, 0.75},
    {37, 4, 7, 39, 7.8000, 4.6674, 1},
    {38, 4, 8, 55, 11.0000, 6.0401, 1},
    {39, 4, 9, 75, 15.0000, 7.6220, 1},
    {40, 4, 10, 99, 19.8000, 9.3864, 1},
    {41, 5, 1, 0, 1e-6, 3.1623e-5, 0.9025},
    {42, 5, 2, 1, 1e-6, 3.1623e-5, 0.9025},
    {43, 5, 3, 4, 1e-6, 3.1623e-5, 0.9025},
    {44, 5, 4, 9, 3.0000, 2.2795, 0.9025},
    {45, 5, 5, 16, 5.3333, 3.5095, 0.95},
    {46, 5, 6, 26, 8.6667, 5.0511, 1},
    {47, 5, 7, 39, 13.0000, 6.8463, 1},
    {48, 5, 8, 55, 18.3333, 8.8599, 1},
    {49, 5, 9, 75, 25.0000, 11.1803, 1},
    {50, 5, 10, 99, 33.0000, 13.7685, 1},
};

// Shown to 4 decimals: agree within half a unit of the last digit; values shown
// in scientific notation agree to their 5 significant digits.
void ExpectShown(double actual, double shown, const char* what, int q) {
  const double tolerance = shown < 1e-3 ? shown * 5e-5 : 5e-5;
  EXPECT_NEAR(actual, shown, tolerance) << what << " of quant " << q;
}

class QuantTables : public ::testing::Test {
 protected:
  void SetUp() override { BuildQuantTables(st->scoring); }
  std::unique_ptr<AppState> st = NewAppState();
  ScoringState& sc = st->scoring;
};

TEST_F(QuantTables, EveryQuantRowToFourDecimals) {
  ASSERT_EQ(sizeof kRows / sizeof kRows[0], 50u);
  for (const QuantRow& row : kRows) {
    const QuantEntry& qe = sc.arrQuantTable[row.q];
    EXPECT_EQ(qe.nConstancyClass, row.constancyClass) << "quant " << row.q;
    EXPECT_EQ(sc.nDominPercent[row.domin], row.dominPercent) << "quant " << row.q;
    ExpectShown(qe.dCoverWeight, row.coverWeight, "cover weight", row.q);
    ExpectShown(qe.dCoverWeightPow, row.coverWeightPow, "cover weight power", row.q);
    ExpectShown(qe.dWoodlandFactor, row.woodlandFactor, "woodland factor", row.q);
  }
}

TEST_F(QuantTables, DominPercentsAreFloorsNotRoundedValues) {
  const int expected[11] = {0, 0, 1, 4, 9, 16, 26, 39, 55, 75, 99};
  for (int d = 1; d <= 10; ++d) EXPECT_EQ(sc.nDominPercent[d], expected[d]) << "Domin " << d;
  EXPECT_EQ(sc.nDominPercent[0], 0);  // row 0 is never written
}

TEST_F(QuantTables, ClassFrequenciesAndCoverPowers) {
  const double freq[6] = {0, 0.12, 0.25, 0.5, 0.75, 0.95};
  for (int c = 1; c <= 5; ++c) EXPECT_DOUBLE_EQ(sc.dClassFreq[c], freq[c]);
  EXPECT_DOUBLE_EQ(sc.dCoverPow[1], 1.0);
  EXPECT_NEAR(sc.dCoverPow[2], 1.681793, 1e-6);
  EXPECT_NEAR(sc.dCoverPow[10], 5.623413, 1e-6);
  EXPECT_NEAR(sc.dCoverPow[50], 18.803015, 1e-6);
  EXPECT_NEAR(sc.dCoverPow[100], 31.622777, 1e-6);
}

TEST_F(QuantTables, WeightsTooSmallToCountBecomeTiny) {
  // Every code below the lowest Domin that keeps a real weight gets exactly 1e-6.
  for (int q : {1, 2, 3, 4, 5, 11, 12, 13, 14, 15, 21, 22, 23, 24, 31, 32, 33, 34, 41, 42, 43}) {
    EXPECT_EQ(sc.arrQuantTable[q].dCoverWeight, 1e-6) << "quant " << q;
    EXPECT_DOUBLE_EQ(sc.arrQuantTable[q].dCoverWeightPow, std::pow(1e-6, 0.75)) << "quant " << q;
  }
  EXPECT_DOUBLE_EQ(sc.arrQuantTable[44].dCoverWeight, 3.0);
  EXPECT_DOUBLE_EQ(sc.arrQuantTable[25].dCoverWeight, 16.0 / 7.0);
}

TEST_F(QuantTables, WoodlandFactorFollowsClassPlusDomin) {
  EXPECT_DOUBLE_EQ(sc.arrQuantTable[8].dWoodlandFactor, 0.12 * 0.12);  // 1 + 8 < 10
  EXPECT_DOUBLE_EQ(sc.arrQuantTable[9].dWoodlandFactor, 0.12);         // 1 + 9 = 10
  EXPECT_DOUBLE_EQ(sc.arrQuantTable[10].dWoodlandFactor, 1.0);         // 1 + 10 > 10
  EXPECT_DOUBLE_EQ(sc.arrQuantTable[45].dWoodlandFactor, 0.95);        // 5 + 5 = 10
  EXPECT_DOUBLE_EQ(sc.arrQuantTable[44].dWoodlandFactor, 0.95 * 0.95);
}

}  // namespace
