// Ranking of the best fits.
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "app/app.h"
#include "scoring/scoring.h"

namespace {

class Ranking : public ::testing::Test {
 protected:
  void SetMeans(const std::vector<double>& means) {
    st->ref.nNVCCount = static_cast<int16_t>(means.size());
    for (size_t g = 0; g < means.size(); ++g) st->scoring.arrNVCFit[g + 1].dMeanGoF = means[g];
  }
  // Rows 1..n of the list as (unit, mean).
  std::vector<std::pair<int, double>> Rank(int n) {
    RankTopFits(st->ref, static_cast<int16_t>(n), st->scoring);
    std::vector<std::pair<int, double>> rows;
    for (int i = 1; i <= n; ++i) {
      rows.emplace_back(st->scoring.arrTopFits[i].nNVCIndex, st->scoring.arrTopFits[i].dMeanGoF);
    }
    return rows;
  }
  using Rows = std::vector<std::pair<int, double>>;
  std::unique_ptr<AppState> st = NewAppState();
};

TEST_F(Ranking, BestFirstWithTiesInIndexOrder) {
  SetMeans({0.5, 0.7, 0.5, 0.7, 0.2, 0.6});
  EXPECT_EQ(Rank(4), (Rows{{2, 0.7}, {4, 0.7}, {6, 0.6}, {1, 0.5}}));
  // Unit 3 equals the last row and stays out.
  EXPECT_EQ(Rank(3), (Rows{{2, 0.7}, {4, 0.7}, {6, 0.6}}));
  EXPECT_EQ(Rank(6), (Rows{{2, 0.7}, {4, 0.7}, {6, 0.6}, {1, 0.5}, {3, 0.5}, {5, 0.2}}));
}

TEST_F(Ranking, OneRowKeepsTheEarliestBest) {
  SetMeans({0.3, 0.9, 0.1, 0.9});
  EXPECT_EQ(Rank(1), (Rows{{2, 0.9}}));
}

TEST_F(Ranking, ZeroMeansFillTheListInIndexOrder) {
  SetMeans({0.0, 0.4, 0.0, 0.0, 0.0});
  EXPECT_EQ(Rank(3), (Rows{{2, 0.4}, {1, 0.0}, {3, 0.0}}));
}

TEST_F(Ranking, FewerCommunitiesThanPlacesLeavesEmptyRows) {
  SetMeans({0.2, 0.8});
  EXPECT_EQ(Rank(5), (Rows{{2, 0.8}, {1, 0.2}, {1, -1e10}, {1, -1e10}, {1, -1e10}}));
  SetMeans({});
  EXPECT_EQ(Rank(2), (Rows{{1, -1e10}, {1, -1e10}}));
}

TEST_F(Ranking, EachRankingStartsAfresh) {
  SetMeans({0.9, 0.8, 0.7});
  Rank(3);
  SetMeans({0.1, 0.2, 0.3});
  EXPECT_EQ(Rank(3), (Rows{{3, 0.3}, {2, 0.2}, {1, 0.1}}));
}

TEST_F(Ranking, TheLongestListTakesAFullTableAndEndsInEmptyRows) {
  std::vector<double> means(kNVCCapacity);
  for (int g = 0; g < kNVCCapacity; ++g) means[g] = (g % 7) / 10.0;
  SetMeans(means);
  // Every row of the list: all the units, then empty places up to row 899.
  RankTopFits(st->ref, kTopFitsRecords - 1, st->scoring);
  const TopFit* top = st->scoring.arrTopFits;
  for (int i = 2; i <= kNVCCapacity; ++i) EXPECT_GE(top[i - 1].dMeanGoF, top[i].dMeanGoF);
  EXPECT_EQ(top[1].nNVCIndex, 7);  // first unit with 0.6
  EXPECT_EQ(top[kNVCCapacity].dMeanGoF, 0.0);
  EXPECT_EQ(top[kNVCCapacity + 1].dMeanGoF, -1e10);
  EXPECT_EQ(top[kTopFitsRecords - 1].dMeanGoF, -1e10);
  EXPECT_EQ(top[0].nNVCIndex, 0);  // row 0 is never written
}

}  // namespace
