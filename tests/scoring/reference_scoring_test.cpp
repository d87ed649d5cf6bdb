// The optimised scoring pass against a plain one written out from the formulas:
// every unit, every line looked up through the quant table, every community fitted
// in full. The doubles must be the same bits: the summation orders are the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "app/app.h"
#include "support/testkit.h"
#include "tables.h"

namespace {

// The plain pass: what ScoreSample computes, the long way.
std::vector<NVCFit> PlainScore(const RefData& ref, const ScoringState& sc, const SampleEntries& s,
                               int type) {
  const int nUnits = ref.nNVCCount;
  std::vector<NVCFit> fit(static_cast<size_t>(nUnits) + 1, NVCFit{});
  const bool freqData = s.nMaxFreq > 0;
  double L = kTiny;
  double K = 0.001;
  int species = 0;
  for (int e = 1; e <= s.nSampleEntries; ++e) {
    const SampleEntry& en = s.arrSample[e];
    if (en.nSpeciesCode < 0) continue;
    ++species;
    const int w = freqData ? en.nFreq : 1;
    const double a = en.nCover > 0 ? sc.dCoverPow[en.nCover] : kTiny;
    L += w;
    K += a;
    const int idx = DictionaryRowOfCode(ref, en.nSpeciesCode);
    if (idx == 0) continue;
    const TableRange& r = ref.arrSpeciesBySpeciesIndex[idx];
    if (r.nEndIndex == 0) continue;
    for (int k = r.nStartIndex; k <= r.nEndIndex; ++k) {
      const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[k];
      const QuantEntry& q = sc.arrQuantTable[line.nQuant];
      const int c = q.nConstancyClass;
      const double f = sc.dClassFreq[c];
      NVCFit& ft = fit[static_cast<size_t>(line.nNVCIndex)];
      ft.nSampleFreqByClass[c] = static_cast<int16_t>(ft.nSampleFreqByClass[c] + w);
      double x = static_cast<double>(w) * std::min(static_cast<double>(en.nCover), q.dCoverWeight);
      const char t0 = ref.arrNVCData[line.nNVCIndex].szNVCType[0];
      x = (t0 == 'W' || t0 == 'O') ? x * q.dWoodlandFactor : x * f * f;
      ft.dGoF3 += x;
      ft.dGoF4 += a * f;
      ft.dCzekanowski += sc.dClassValue[c];
    }
  }
  const double J = freqData ? s.nMaxFreq : 1.0;
  static const double kW[6][4] = {{0, 0, 0, 0},         {0.25, 0.25, 0.25, 0.25}, {0.5, 0.5, 0, 0},
                                  {0, 0, 0.5, 0.5},     {0, 1.0, 0, 0},           {0, 0.25, 0.5, 0.25}};
  const bool adjusted = type <= 3;
  for (int g = 1; g <= nUnits; ++g) {
    NVCFit& ft = fit[static_cast<size_t>(g)];
    int reached = 0;
    for (int c = 1; c <= 5; ++c) reached |= ft.nSampleFreqByClass[c];
    if (reached == 0) {
      ft.dGoF3 = ft.dGoF4 = ft.dCzekanowski = 0.0;
      continue;
    }
    const NVCTotals& t = sc.arrNVCTotals[g];
    double sum = 0.0;
    double carry = 0.0;
    double p = kTiny;
    for (int c = 5; c >= 1; --c) {
      const double share = freqData ? ft.nSampleFreqByClass[c] / J : ft.nSampleFreqByClass[c];
      const double f = sc.dClassFreq[c];
      const double cap = t.nSpeciesInClass[c] * f;
      sum += std::min(share + carry, cap) * f;
      carry = std::max(0.0, share - cap);
      p += share * f;
    }
    const double g1 = sum / t.dSumFreqSq;
    const double g2 = std::min(1.0, p / ((L / J) * t.dMeanFreq));
    const double g3 = std::min(1.0, ft.dGoF3 / (J * t.dCoverExpectation));
    const double g4 = std::min(1.0, ft.dGoF4 / (K * t.dMeanFreqCover));
    double m1 = g1, m2 = g2, m3 = g3, m4 = g4;
    if (adjusted) {
      m1 = g1 * g2 * (2.0 - g2);
      m3 = g3 * g4 * (2.0 - g4);
      m2 = std::min(m1, g2);
      m4 = std::min(m3, g4);
    }
    const double* w = kW[type];
    ft.dGoF1 = g1;
    ft.dGoF2 = g2;
    ft.dGoF3 = g3;
    ft.dGoF4 = g4;
    ft.dMeanGoF = m2 * w[1] + m1 * w[0] + m3 * w[2] + m4 * w[3];
    ft.dCzekanowski = 2.0 * ft.dCzekanowski / (species + t.dUnitValueSum);
    ft.dConsensus = ft.dMeanGoF * ft.dCzekanowski;
  }
  return fit;
}

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Which fit kernel scores each sample: one unit at a time, four at a time, or
// the two in turn (each must leave the sums and live marks as the other expects).
enum class Kernel { kOneByOne, kFourByFour, kInTurn };

class ReferenceScoring : public ::testing::TestWithParam<Kernel> {
 protected:
  // The bundled tables with their weights and totals.
  void SetUp() override {
    if (GetParam() != Kernel::kOneByOne && !VectorFitAvailable()) {
      GTEST_SKIP() << "this processor cannot fit four units at a time";
    }
    ScriptedConsole sc("", ProjectDir() + "/data/nvc");
    ASSERT_TRUE(LoadReferenceData(sc.con, st->ref));
    BuildQuantTables(st->scoring);
    BuildNVCTotals(st->ref, st->scoring);
  }
  // Sets the kernel that scores the n-th sample.
  void UseKernelFor(int n) {
    st->scoring.bVectorFit = GetParam() == Kernel::kFourByFour || (GetParam() == Kernel::kInTurn && n % 2 == 1);
  }
  std::unique_ptr<AppState> st = NewAppState();
};

TEST_P(ReferenceScoring, OptimisedPassGivesTheSameDoublesOnRandomSamples) {
  const RefData& ref = st->ref;

  std::mt19937 rng(7);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int compared = 0;
  for (int n = 0; n < 300; ++n) {
    SampleEntries s{};
    const bool freq = n % 3 == 0;
    s.nMaxFreq = static_cast<int16_t>(freq ? pick(1, 100) : 0);
    const int species = pick(1, 60);
    for (int e = 0; e < species; ++e) {
      // Mostly dictionary species, some typed during a run, some codes twice.
      const int code = pick(1, 10) == 1 ? 9001 + e : ref.arrSortedSpecies[pick(3, ref.nSpeciesCount)].nSpeciesCode;
      s.arrSample[++s.nSampleEntries] = {static_cast<int16_t>(code), 0, static_cast<int16_t>(pick(0, 100)),
                                         static_cast<int16_t>(freq ? pick(0, s.nMaxFreq) : 1)};
    }
    const int type = n % 5 + 1;
    UseKernelFor(n);
    ScoreSample(ref, s, static_cast<int16_t>(type), st->scoring);
    const std::vector<NVCFit> plain = PlainScore(ref, st->scoring, s, type);
    for (int g = 1; g <= ref.nNVCCount; ++g) {
      const NVCFit& a = st->scoring.arrNVCFit[g];
      const NVCFit& b = plain[static_cast<size_t>(g)];
      ASSERT_TRUE(SameBits(a.dGoF1, b.dGoF1) && SameBits(a.dGoF2, b.dGoF2) &&
                  SameBits(a.dGoF3, b.dGoF3) && SameBits(a.dGoF4, b.dGoF4) &&
                  SameBits(a.dMeanGoF, b.dMeanGoF) && SameBits(a.dCzekanowski, b.dCzekanowski) &&
                  SameBits(a.dConsensus, b.dConsensus))
          << "sample " << n << " unit " << g << ": " << a.dMeanGoF << " vs " << b.dMeanGoF;
      for (int c = 1; c <= 5; ++c) ASSERT_EQ(a.nSampleFreqByClass[c], b.nSampleFreqByClass[c]);
    }
    ++compared;
  }
  EXPECT_EQ(compared, 300);
}

// A table may list a species more than once for a unit, and a sample may hold
// one code up to its capacity: the class counts of cover data then reach their
// limit, and past it the counts must still come out whole.
TEST(ReferenceScoringCounts, FullSamplesOfSpeciesListedSeveralTimesInAUnit) {
  for (int repeats = 1; repeats <= 4; ++repeats) {
    scoring_test::Tables t;
    t.AddSpecies(101);
    t.AddSpecies(101);  // a synonym: the lines they share count once
    t.AddSpecies(102);
    t.AddSpecies(103);
    // Quants 45, 23 and 8: classes V, III and I.
    t.AddUnit("M1", std::vector<scoring_test::Line>(static_cast<size_t>(repeats), {101, 45}));
    t.AddUnit("W1", {{101, 45}, {102, 23}, {103, 8}});
    t.AddUnit("M2", {{103, 8}, {102, 23}, {103, 8}});
    t.Build();
    // Cover data count a unit's lines per class in the sums only while the
    // counts cannot pass what they are given room for.
    EXPECT_EQ(t.sc().bPackedCounts, kSampleCapacity * std::max(repeats, 2) < 1024) << repeats;

    std::vector<scoring_test::Entry> entries;
    // 276 entries of 101: four lines each would count 1104 in class V.
    for (int e = 0; e < kSampleCapacity; ++e) entries.push_back({e % 25 < 2 ? 102 + e % 25 : 101, e % 101, 1});
    for (const int maxFreq : {0, 100}) {
      t.SetSample(entries, maxFreq);
      for (const bool vector : {false, true}) {
        if (vector && !VectorFitAvailable()) continue;
        t.sc().bVectorFit = vector;
        t.Score(1);
        const std::vector<NVCFit> plain = PlainScore(t.ref(), t.sc(), t.sample(), 1);
        for (int g = 1; g <= 3; ++g) {
          const NVCFit& a = t.sc().arrNVCFit[g];
          const NVCFit& b = plain[static_cast<size_t>(g)];
          EXPECT_TRUE(SameBits(a.dMeanGoF, b.dMeanGoF) && SameBits(a.dGoF2, b.dGoF2) &&
                      SameBits(a.dCzekanowski, b.dCzekanowski))
              << repeats << " repeats, unit " << g << ": " << a.dMeanGoF << " vs " << b.dMeanGoF;
          for (int c = 1; c <= 5; ++c) {
            EXPECT_EQ(a.nSampleFreqByClass[c], b.nSampleFreqByClass[c]) << repeats << " " << g << " " << c;
          }
        }
      }
    }
  }
}

// Scoring and ranking in one call must leave what the two calls in turn leave:
// every fit, and every place. Samples reaching fewer units than places (one
// species, none, only species typed during a run) and lists longer than the
// table take the second reading of the fit table.
TEST_P(ReferenceScoring, RankingWhileScoringTakesThePlacesOfRankingAfter) {
  const RefData& ref = st->ref;
  ScoringState& scoring = st->scoring;

  std::mt19937 rng(11);
  auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const RankBy orders[] = {RankBy::kFit, RankBy::kConsensus, RankBy::kCzekanowski};
  const int places[] = {1, 5, 40, ref.nNVCCount, kTopFitsRecords - 1};
  int checked = 0;
  for (int n = 0; n < 120; ++n) {
    SampleEntries s{};
    const bool freq = n % 4 == 0;
    s.nMaxFreq = static_cast<int16_t>(freq ? pick(1, 100) : 0);
    const int kind = n % 6;  // 0: no species, 1: one, 2: only new species, else 2..40
    const int species = kind == 0 ? 0 : kind == 1 ? 1 : pick(2, 40);
    for (int e = 0; e < species; ++e) {
      const int code = kind == 2 ? 9001 + e : ref.arrSortedSpecies[pick(3, ref.nSpeciesCount)].nSpeciesCode;
      // Nominal covers give many units the same fits: ties across groups of four.
      const int cover = n % 3 == 0 ? 5 : pick(0, 100);
      s.arrSample[++s.nSampleEntries] = {static_cast<int16_t>(code), 0, static_cast<int16_t>(cover),
                                         static_cast<int16_t>(freq ? pick(0, s.nMaxFreq) : 1)};
    }
    const int16_t type = static_cast<int16_t>(n % 5 + 1);
    UseKernelFor(n);
    for (const RankBy by : orders) {
      for (const int places_ : places) {
        const int16_t k = static_cast<int16_t>(places_);
        ScoreSample(ref, s, type, scoring);
        RankTopFits(ref, k, scoring, by);
        const std::vector<NVCFit> fits(scoring.arrNVCFit.begin(), scoring.arrNVCFit.begin() + ref.nNVCCount + 1);
        const std::vector<TopFit> top(scoring.arrTopFits + 1, scoring.arrTopFits + k + 1);
        // Stale places must not survive: the one call fills every place itself.
        for (int i = 1; i <= k; ++i) scoring.arrTopFits[i] = TopFit{-7, 2.0};
        ScoreAndRank(ref, s, type, k, scoring, by);
        for (int i = 1; i <= k; ++i) {
          const TopFit& got = scoring.arrTopFits[i];
          ASSERT_TRUE(got.nNVCIndex == top[static_cast<size_t>(i - 1)].nNVCIndex &&
                      SameBits(got.dMeanGoF, top[static_cast<size_t>(i - 1)].dMeanGoF))
              << "sample " << n << ", " << k << " places, order " << static_cast<int>(by) << ", place " << i
              << ": unit " << got.nNVCIndex << " " << got.dMeanGoF << " vs unit "
              << top[static_cast<size_t>(i - 1)].nNVCIndex << " " << top[static_cast<size_t>(i - 1)].dMeanGoF;
        }
        for (int g = 1; g <= ref.nNVCCount; ++g) {
          ASSERT_TRUE(SameBits(scoring.arrNVCFit[g].dMeanGoF, fits[static_cast<size_t>(g)].dMeanGoF) &&
                      SameBits(scoring.arrNVCFit[g].dConsensus, fits[static_cast<size_t>(g)].dConsensus))
              << "sample " << n << " unit " << g;
        }
        ++checked;
      }
    }
  }
  EXPECT_EQ(checked, 120 * 3 * 5);
}

INSTANTIATE_TEST_SUITE_P(Kernels, ReferenceScoring,
                         ::testing::Values(Kernel::kOneByOne, Kernel::kFourByFour, Kernel::kInTurn));

}  // namespace
