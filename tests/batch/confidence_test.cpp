// The confidence of the first place: the first places and margins read off
// hand-made fits (ties as the ranking breaks them), the look-up at a bin
// boundary, and on samples drawn from the bundled tables a higher class right
// more often than a lower one.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "analyses/confidence.h"
#include "batch_kit.h"

namespace {

struct Keys {
  double fit, consensus, czekanowski;
};

TEST(Confidence, FirstPlacesAgreementAndMarginOfHandMadeFits) {
  struct Case {
    const char* what;
    std::vector<Keys> units;  // units 1.. as CG3, CG3a, CG3b, MG5
    RankBy by;
    std::array<int32_t, 3> first;
    int32_t second;
    Agreement agreement;
    bool communityAgrees;
    double margin;
  };
  const Case cases[] = {
      {"all agree", {{.2, .1, .5}, {.6, .4, .8}, {.5, .2, .4}, {0, 0, 0}}, RankBy::kFit, {2, 2, 2}, 3,
       Agreement::kAll, true, 10.0},
      {"tie of the fit goes to the lower unit", {{.1, .1, .1}, {.5, .2, .4}, {.3, .1, .3}, {.5, .3, .6}},
       RankBy::kFit, {2, 4, 4}, 4, Agreement::kTwo, false, 0.0},
      {"consensus margin in percent of the first", {{.5, .4, .8}, {.6, .3, .5}, {.4, .2, .5}, {0, 0, 0}},
       RankBy::kConsensus, {2, 1, 1}, 2, Agreement::kTwo, true, 25.0},
      {"none agree", {{.7, .3, .1}, {.2, .4, .2}, {.1, .1, .9}, {0, 0, 0}}, RankBy::kCzekanowski, {1, 2, 3},
       2, Agreement::kNone, true, 100.0 * (.9 - .2) / .9},
  };
  auto ref = std::make_unique<RefData>();
  auto sc = std::make_unique<ScoringState>();
  const char* codes[] = {"", "CG3", "CG3a", "CG3b", "MG5"};
  ref->nNVCCount = 4;
  for (int g = 1; g <= 4; ++g) CopyField(ref->arrNVCData[g].szNVCType, codes[g], kTypeWidth);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (size_t g = 1; g <= 4; ++g) {
      const Keys& k = c.units[g - 1];
      sc->arrNVCFit[g] = NVCFit{};
      sc->arrNVCFit[g].dMeanGoF = k.fit;
      sc->arrNVCFit[g].dConsensus = k.consensus;
      sc->arrNVCFit[g].dCzekanowski = k.czekanowski;
    }
    const FirstPlaces p = ReadFirstPlaces(*ref, *sc, c.by);
    EXPECT_EQ(p.first, c.first);
    EXPECT_EQ(p.second, c.second);
    EXPECT_EQ(p.agreement, c.agreement);
    EXPECT_EQ(p.communityAgrees, c.communityAgrees);
    EXPECT_NEAR(p.margin, c.margin, 1e-9);
    // The places are those the ranking of the results takes.
    for (const RankBy by : {RankBy::kFit, RankBy::kConsensus, RankBy::kCzekanowski}) {
      RankTopFits(*ref, 2, *sc, by);
      EXPECT_EQ(sc->arrTopFits[1].nNVCIndex, p.first[static_cast<size_t>(by)]);
      if (by == c.by) {
        EXPECT_EQ(sc->arrTopFits[2].nNVCIndex, p.second);
      }
    }
  }
  // A sample that reached no unit has no first place to be sure of.
  for (size_t g = 1; g <= 4; ++g) sc->arrNVCFit[g] = NVCFit{};
  const Confidence none = AssessConfidence(*ref, *sc, RankBy::kFit);
  EXPECT_FALSE(none.places.scored);
  EXPECT_EQ(none.level, ConfidenceClass::kLow);
  EXPECT_EQ(none.pCorrect, 0.0);
}

TEST(Confidence, ABinHoldsItsLowerBoundAndTheFieldsShowIt) {
  const CalibrationRow rows[] = {{RankBy::kFit, Agreement::kTwo, true, 0.0, 0.30, 1000},
                                 {RankBy::kFit, Agreement::kTwo, true, 5.0, 0.55, 1000},
                                 {RankBy::kFit, Agreement::kTwo, true, 10.0, 0.85, 1000}};
  const CalibrationTable table{rows, 3, 0.8, 0.5};
  const struct {
    double margin;
    bool communityAgrees;
    const char* fields;
  } cases[] = {{4.99, true, ",two,5.0,low,0.30"},   // shown as 5.0, still below the bound
               {5.0, true, ",two,5.0,medium,0.55"},
               {10.0, true, ",two,10.0,high,0.85"},
               {12.0, false, ",two,12.0,low,0.00"}};  // a group the table lacks
  for (const auto& c : cases) {
    FirstPlaces p{};
    p.agreement = Agreement::kTwo;
    p.communityAgrees = c.communityAgrees;
    p.margin = c.margin;
    p.scored = true;
    std::string line;
    AppendConfidenceFields(line, GradeFirstPlaces(table, RankBy::kFit, p));
    EXPECT_EQ(line, c.fields) << c.margin;
  }
  std::string header;
  AppendConfidenceHeader(header);
  EXPECT_EQ(header, ",agreement,margin,confidence,p_correct");
  // Every group of the shipped table starts at a margin of 0, its p_correct never falling.
  const CalibrationTable& shipped = ShippedCalibration();
  ASSERT_GT(shipped.count, 0u);
  for (size_t i = 0; i < shipped.count; ++i) {
    const CalibrationRow& r = shipped.rows[i];
    const bool sameGroup = i > 0 && shipped.rows[i - 1].by == r.by && shipped.rows[i - 1].agreement == r.agreement &&
                           shipped.rows[i - 1].communityAgrees == r.communityAgrees;
    if (!sameGroup) {
      EXPECT_EQ(r.marginFrom, 0.0) << i;
    } else {
      EXPECT_GT(r.marginFrom, shipped.rows[i - 1].marginFrom) << i;
      EXPECT_GE(r.pCorrect, shipped.rows[i - 1].pCorrect) << i;
    }
  }
}

// One sample of every unit, drawn with a seed the calibration did not use.
TEST(Confidence, OnDrawnSamplesAHigherClassIsRightMoreOften) {
  ScriptedConsole quiet("");
  auto ref = std::make_unique<RefData>();
  ASSERT_TRUE(LoadReferenceData(quiet.con, *ref, batchtest::NvcTables()));
  auto sc = std::make_unique<ScoringState>();
  BuildQuantTables(*sc);
  BuildNVCTotals(*ref, *sc);
  std::vector<int8_t> least;
  std::string error;
  ASSERT_TRUE(LeastDominOf(*ref, least, error)) << error;
  auto sample = std::make_unique<SampleEntries>();
  DrawRng rng(7);
  int right[3][3] = {};  // [ranking][class]
  int count[3][3] = {};
  for (int g = 1; g <= ref->nNVCCount; ++g) {
    DrawSample(*ref, *sc, least, g, rng, *sample);
    ASSERT_GT(sample->nSampleEntries, 0) << g;
    ScoreAndRank(*ref, *sample, kMixedAnalysis, 5, *sc, RankBy::kFit);
    for (const RankBy by : {RankBy::kFit, RankBy::kConsensus, RankBy::kCzekanowski}) {
      const Confidence c = AssessConfidence(*ref, *sc, by);
      const size_t b = static_cast<size_t>(by);
      ++count[b][static_cast<size_t>(c.level)];
      right[b][static_cast<size_t>(c.level)] += c.places.first[b] == g;
    }
  }
  for (size_t b = 0; b < 3; ++b) {
    for (size_t level = 0; level < 3; ++level) ASSERT_GE(count[b][level], 20) << b << " " << level;
    const auto share = [&](size_t level) { return static_cast<double>(right[b][level]) / count[b][level]; };
    EXPECT_GT(share(2), share(1)) << "ranking " << b;
    EXPECT_GT(share(1), share(0)) << "ranking " << b;
  }
}

}  // namespace
