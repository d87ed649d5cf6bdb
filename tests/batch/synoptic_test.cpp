// Synoptic tables and indicator values: constancy classes at their edges, a
// group of quadrats entered as the pipeline enters them and set beside the
// bundled table of CG3, the group pooled and entered again, and Ellenberg
// means worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analyses/confidence.h"
#include "analyses/indicators.h"
#include "analyses/synoptic.h"
#include "batch_kit.h"
#include "survey/blocks.h"

namespace {

using batchtest::Lines;
using batchtest::NvcTables;

TEST(ConstancyClass, ClassesCoverLowerExclusiveToUpperInclusive) {
  const struct {
    int quadrats, total, cls;
  } cases[] = {
      {1, 5, 1},     {20, 100, 1}, {3, 15, 1},     // 20 %: I
      {41, 200, 2},  {21, 100, 2}, {40, 100, 2},   // 20.5 %, 21 %: II; 40 %: II
      {41, 100, 3},  {60, 100, 3}, {61, 100, 4},   // 60 %: III
      {4, 5, 4},     {80, 100, 4}, {161, 200, 5},  // 80 %: IV; 80.5 %: V
      {81, 100, 5},  {5, 5, 5},    {150, 150, 5},  // 81 %, 100 %: V
      {0, 5, 0},     {0, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ConstancyClass(c.quadrats, c.total), c.cls) << c.quadrats << " of " << c.total;
  }
  EXPECT_STREQ(ConstancyText(4), "IV");
  EXPECT_STREQ(ConstancyText(0), "");
}

// The bundled tables, loaded once; every case starts without new species.
class Synoptic : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ref_ = new RefData();
    units_ = new UnitTables();
    indicators_ = new IndicatorTables();
    ScriptedConsole sc("", NvcTables());
    ASSERT_TRUE(LoadReferenceData(sc.con, *ref_));
    BuildUnitTables(*ref_, *units_);
    std::string error;
    ASSERT_TRUE(LoadIndicators(NvcTables(), *indicators_, error)) << error;
  }
  static void TearDownTestSuite() {
    delete indicators_;
    delete units_;
    delete ref_;
  }
  void SetUp() override { ForgetNewSpecies(*ref_); }

  // A sample entered as `vegmatch classify` enters it (percent scale).
  static std::unique_ptr<SampleState> Enter(const SampleInput& input) {
    ScriptedConsole sc("");
    RunSettings rs{};
    rs.nCoverScale = kPercentScale;
    rs.nAnalysisType = kMixedAnalysis;
    rs.nSpeciesGroupLimit = kAllSpecies;
    rs.nFitsToOutput = 1;
    rs.nInputSource = 1;
    rs.nSampleCounter = 1;
    auto sample = std::make_unique<SampleState>();
    EXPECT_EQ(EnterRecords(sc.con, *ref_, *sample, rs, input, nullptr), RecordsResult::kSampleReady);
    return sample;
  }
  // Each sample of a block file entered and added to the tally.
  static void AddQuadrats(GroupTally& group, const std::string& blocks) {
    TextStore store;
    std::vector<SampleInput> inputs;
    std::vector<InputProblem> problems;
    AppendBlockInputs(blocks, BlockRules{}, 1, true, store, inputs, problems);
    for (const SampleInput& in : inputs) group.Add(in, *Enter(in));
  }
  // code -> frequency of a completed sample (new species under -1).
  static std::map<int, int> Frequencies(const SampleState& s) {
    std::map<int, int> f;
    for (int i = 1; i <= s.nSampleEntries; ++i) {
      const int code = s.arrSample[i].nSpeciesCode;
      f[code >= kFirstNewSpeciesCode ? -1 : code] = s.arrSample[i].nFreq;
    }
    return f;
  }
  static RefData* ref_;
  static UnitTables* units_;
  static IndicatorTables* indicators_;
};
RefData* Synoptic::ref_ = nullptr;
UnitTables* Synoptic::units_ = nullptr;
IndicatorTables* Synoptic::indicators_ = nullptr;

// Three quadrats of chalk grassland; a name the tables do not hold.
const char kThreeQuadrats[] =
    "Q1\nBromopsis erecta 40\nFestuca ovina 10\nCarex flacca 5\nBriza media 2\nCalluna vulgaris 30\n\n"
    "Q2\nBromopsis erecta 25\nFestuca ovina 20\nLotus corniculatus 3\nCalluna vulgaris 20\n\n"
    "Q3\nBromopsis erecta 60\nCarex flacca 1\nZzyzx unknownia 4\n";

TEST_F(Synoptic, GroupBesideTheBundledTableOfCG3) {
  GroupTally group(*ref_, units_, "Downs, north", false);
  AddQuadrats(group, kThreeQuadrats);
  ASSERT_EQ(group.Quadrats(), 3);
  std::string out;
  AppendSynopticRows(out, "site 7", group, *units_, "CG3");
  const std::vector<std::string> rows = Lines(out);
  // VegmatchNVCData3.txt: CG3 135 Bromopsis erecta V 5-9; 590 Lotus corniculatus
  // IV 1-6; 786 Poterium sanguisorba V 1-6; 733 Plantago lanceolata IV 1-7;
  // Calluna vulgaris is not in CG3's table.
  const std::string start = "site 7,\"Downs, north\",3,CG3,";
  const std::vector<std::string> expected = {
      "Bromopsis erecta,135,3,100.0,V,25,60,V,5-9,",
      "Calluna vulgaris,149,2,66.7,IV,20,30,,,group constant not in unit",
      "Carex flacca,186,2,66.7,IV,1,5,IV,1-6,",
      "Festuca ovina,403,2,66.7,IV,10,20,IV,2-8,",
      "Briza media,133,1,33.3,II,2,2,III,1-7,",
      "Lotus corniculatus,590,1,33.3,II,3,3,IV,1-6,",
      "Zzyzx unknownia,,1,33.3,II,4,4,,,",
      "Poterium sanguisorba,786,0,0.0,,,,V,1-6,unit constant missing",
      "Plantago lanceolata,733,0,0.0,,,,IV,1-7,unit constant missing",
      "Cirsium acaule,253,0,0.0,,,,III,1-8,",
  };
  // Seven species of the group, five of them in CG3's table.
  ASSERT_EQ(rows.size(), 7 + units_->Of("CG3")->size() - 5);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(rows[i], start + expected[i]) << i;
  EXPECT_EQ(SynopticHeader("site"),
            "site,group,quadrats,unit,species,code,group_quadrats,group_frequency,group_constancy,cover_min,"
            "cover_max,unit_constancy,unit_domin,note\n");

  // A unit the tables do not hold: the group's rows alone, without notes.
  const std::vector<SynopticRow> alone = SynopticTable(group, *units_, "ZZ9");
  ASSERT_EQ(alone.size(), 7u);
  EXPECT_TRUE(alone[1].note.empty());

  // The constants of CG3 in quadrat 2 alone.
  const UnitConstantsOfSample q2 = UnitConstants(*units_, "CG3", {135, 403, 590, 149});
  EXPECT_EQ(q2.present, (std::vector<std::string>{"Bromopsis erecta", "Festuca ovina", "Lotus corniculatus"}));
  EXPECT_EQ(q2.missing, (std::vector<std::string>{"Poterium sanguisorba", "Carex flacca", "Plantago lanceolata"}));

  // Indicators of the group: S is 1 for Lotus corniculatus alone, 0 for the
  // other five with values. Unweighted 1/6; weighted by the percent covers
  // summed over the quadrats (Bromopsis 125, Calluna 50, Festuca 30, Carex 6,
  // Lotus 3, Briza 2): 3/216.
  const IndicatorMeans g = GroupIndicators(*indicators_, group);
  EXPECT_DOUBLE_EQ(g.Share(), 6.0 / 7.0);
  EXPECT_DOUBLE_EQ(g.mean[4], 1.0 / 6.0);
  EXPECT_DOUBLE_EQ(g.weighted[4], 3.0 / 216.0);
}

TEST_F(Synoptic, GroupPooledIsEnteredAsAFrequencySample) {
  GroupTally group(*ref_, units_, "Downs", false);
  AddQuadrats(group, kThreeQuadrats);
  TextStore store;
  const SampleInput pooled = GroupAsSample(group, store);
  const std::unique_ptr<SampleState> s = Enter(pooled);
  EXPECT_EQ(s->nMaxFreq, 3);
  EXPECT_EQ(Frequencies(*s), (std::map<int, int>{{-1, 1}, {133, 1}, {135, 3}, {149, 2}, {186, 2}, {403, 2}, {590, 1}}));
  // Bromopsis erecta: covers 40, 25, 60, mean 41.7 as written, entered as 42 %.
  for (int i = 1; i <= s->nSampleEntries; ++i) {
    if (s->arrSample[i].nSpeciesCode == 135) {
      EXPECT_EQ(s->arrSample[i].nCover, 42);
    }
  }

  // 250 quadrats of presence data: frequencies scaled to 100 (5 of 250 is 2),
  // and at least 1 (1 of 250 would round to 0).
  std::string blocks;
  for (int q = 0; q < 250; ++q) {
    blocks += "Q" + std::to_string(q) + "\nBromopsis erecta 5\n";
    if (q < 125) blocks += "Festuca ovina 5\n";
    if (q < 5) blocks += "Carex flacca 5\n";
    if (q == 0) blocks += "Briza media 5\n";
    blocks += "\n";
  }
  GroupTally large(*ref_, units_, "Large", true);
  AddQuadrats(large, blocks);
  ASSERT_EQ(large.Quadrats(), 250);
  const std::unique_ptr<SampleState> l = Enter(GroupAsSample(large, store));
  EXPECT_EQ(l->nMaxFreq, 100);
  EXPECT_EQ(Frequencies(*l), (std::map<int, int>{{133, 1}, {135, 100}, {186, 2}, {403, 50}}));
  EXPECT_EQ(l->arrSample[1].nCover, 5);  // the nominal cover of presence data
  const std::vector<SynopticRow> rows = SynopticTable(large, *units_, "");
  EXPECT_EQ(rows[0].groupConstancy, 5);
  EXPECT_FALSE(rows[0].hasCover);
  EXPECT_EQ(rows[3].groupConstancy, 1);  // 1 of 250
}

TEST_F(Synoptic, IndicatorMeansOfASampleByHand) {
  // indicators.csv, F L N R S: 135 Bromopsis erecta 4 7 3 8 0; 403 Festuca
  // ovina 5 7 2 4 0; 186 Carex flacca 5 7 2 6 0; 3188 has a line without
  // values; 9001 is a species the tables do not hold. Covers 50, 30, 20, 5, 10.
  // Unweighted: F 14/3 = 4.67, L 7, N 7/3 = 2.33, R 18/3 = 6, S 0.
  // Weighted: F (200+150+100)/100 = 4.5, N (150+60+40)/100 = 2.5,
  // R (400+120+120)/100 = 6.4. Share 3 of 5.
  // unit_indicators.csv, A1: F 10.72 1.23, L 7.00 0.34, N 6.17 1.47, R 6.67 1.28, S 0.56 0.78.
  SampleEntries s{};
  const int codes[][2] = {{135, 50}, {403, 30}, {186, 20}, {3188, 5}, {9001, 10}};
  for (const auto& c : codes) {
    SampleEntry& e = s.arrSample[++s.nSampleEntries];
    e.nSpeciesCode = static_cast<int16_t>(c[0]);
    e.nCover = static_cast<int16_t>(c[1]);
    e.nFreq = 1;
  }
  const IndicatorMeans m = SampleIndicators(*indicators_, s);
  EXPECT_EQ(m.species, 5);
  EXPECT_EQ(m.withValues, 3);
  EXPECT_DOUBLE_EQ(m.mean[0], 14.0 / 3.0);
  EXPECT_DOUBLE_EQ(m.weighted[0], 4.5);
  EXPECT_DOUBLE_EQ(m.weighted[3], 6.4);
  std::string line = "s";
  AppendIndicatorFields(line, m, indicators_->OfUnit("A1"));
  EXPECT_EQ(line,
            "s,0.60,4.67,4.50,10.72,1.23,TRUE,7.00,7.00,7.00,0.34,FALSE,2.33,2.50,6.17,1.47,TRUE,"
            "6.00,6.40,6.67,1.28,FALSE,0.00,0.00,0.56,0.78,FALSE");
  std::string header = "s";
  AppendIndicatorHeader(header);
  EXPECT_EQ(header.substr(0, 30), "s,indicator_share,F,F_weighted");
  EXPECT_EQ(batchtest::CountOf(header, ","), batchtest::CountOf(line, ","));
  // On the edge of the unit's mean +- sd is inside.
  EXPECT_EQ(OutsideUnit(5.0, 4.0, 1.0), false);
  EXPECT_EQ(OutsideUnit(5.01, 4.0, 1.0), true);
  EXPECT_EQ(OutsideUnit(2.99, 4.0, 1.0), true);
  EXPECT_EQ(OutsideUnit(m.mean[0], kNoIndicatorValue, 1.0), std::nullopt);
  // No unit: its fields and the flags are empty.
  line.clear();
  AppendIndicatorFields(line, m, nullptr);
  EXPECT_EQ(line.substr(0, 26), ",0.60,4.67,4.50,,,,7.00,7.");
}

TEST(IndicatorFiles, AbsentFilesAreNoErrorAndBadLinesAreNamed) {
  const struct {
    const char* what;
    const char* species;  // null: no file
    const char* units;
    const char* error;  // after the folder; null: read
  } cases[] = {
      {"neither file", nullptr, nullptr, nullptr},
      {"an empty value is none", "code,name,F,L,N,R,S\n4,A b,5,,4,6,1\n", nullptr, nullptr},
      {"a value no number", "code,name,F,L,N,R,S\n4,A b,5,7,4,6,1\n5,C d,5,x,4,6,0\n", nullptr,
       "/indicators.csv:3: the L value is no number"},
      {"a code no code", "code,name,F,L,N,R,S\n9001,A b,5,7,4,6,1\n", nullptr,
       "/indicators.csv:2: \"9001\" is no dictionary code"},
      {"a column missing", nullptr, "nvc_code,F,F_sd,L,L_sd,N,N_sd,R,R_sd,S\nA1,1,1,1,1,1,1,1,1,1\n",
       "/unit_indicators.csv:1: no column S_sd"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    if (c.species != nullptr) dir.Write("indicators.csv", c.species);
    if (c.units != nullptr) dir.Write("unit_indicators.csv", c.units);
    IndicatorTables tables;
    std::string error;
    EXPECT_EQ(LoadIndicators(dir.path(), tables, error), c.error == nullptr) << c.what;
    if (c.error != nullptr) {
      EXPECT_EQ(error, dir.path() + c.error) << c.what;
    }
  }
  IndicatorTables tables;
  std::string error;
  TempDir dir;
  dir.Write("indicators.csv", "code,name,F,L,N,R,S\n4,A b,5,,4,6,1\n");
  ASSERT_TRUE(LoadIndicators(dir.path(), tables, error));
  ASSERT_NE(tables.OfSpecies(4), nullptr);
  EXPECT_TRUE(std::isnan((*tables.OfSpecies(4))[1]));
  EXPECT_EQ((*tables.OfSpecies(4))[4], 1.0);
}

// The units' tables, the least Domin classes and the current names all come
// from the one loading of the association file: a refused line (quant 99) is
// in none of them, a unit's later block adds to its species, a missing class
// is the quant's, and a CR before the line end is no part of a field.
TEST(AssociationFields, TheAnalysesReadTheLoadedFile) {
  TempDir dir;
  for (const char* name : {"SPECDICT3.txt", "VegmatchNVCDef3.txt"}) {
    dir.Write(name, ReadWholeFile(NvcTables() + "/" + name));
  }
  dir.Write("VegmatchNVCData3.txt",
            "A1\t560\t50\tLemna gibba\tV\t3-10\n"
            "A1\t979\t20\t Spirodela polyrhiza \t\t4-10\r\n"
            "A1\t561\t99\tLemna minor agg.\tIII\t1-3\n"
            "A2\t561\t13\tLemna minor\tII\t1-3\n"
            "A1\t562\t5\tLemna trisulca\tII\t5-5\n");
  ScriptedConsole sc("", dir.path());
  auto ref = std::make_unique<RefData>();
  ASSERT_TRUE(LoadReferenceData(sc.con, *ref));
  UnitTables units;
  BuildUnitTables(*ref, units);
  const struct {
    const char* unit;
    std::vector<std::string> species;  // "code name constancy domin"
  } cases[] = {
      {"A1", {"560 Lemna gibba 5 3-10", "979 Spirodela polyrhiza 2 4-10", "562 Lemna trisulca 2 5-5"}},
      {"A2", {"561 Lemna minor 2 1-3"}},
  };
  EXPECT_EQ(units.units.size(), std::size(cases));
  for (const auto& c : cases) {
    std::vector<std::string> got;
    if (const auto* species = units.Of(c.unit)) {
      for (const UnitSpecies& sp : *species) {
        got.push_back(std::to_string(sp.code) + " " + sp.name + " " + std::to_string(sp.constancy) + " " + sp.domin);
      }
    }
    EXPECT_EQ(got, c.species) << c.unit;
  }
  ASSERT_NE(units.NameOf(561), nullptr);
  EXPECT_EQ(*units.NameOf(561), "Lemna minor");

  std::vector<int8_t> least;
  std::string error;
  ASSERT_TRUE(LeastDominOf(*ref, least, error)) << error;
  EXPECT_EQ(least, (std::vector<int8_t>{0, 3, 4, 1, 1, 5}));

  const NameResolver resolver(*ref, dir.path());
  EXPECT_EQ(resolver.CurrentName(DictionaryRowOfCode(*ref, 561)), "Lemna minor");

  // A line without a Domin range is said with its place.
  dir.Write("VegmatchNVCData3.txt", "A1\t560\t50\tLemna gibba\tV\t3-10\nA1\t561\t13\tLemna minor\tII\tx\n");
  ASSERT_TRUE(LoadReferenceData(sc.con, *ref));
  EXPECT_FALSE(LeastDominOf(*ref, least, error));
  EXPECT_EQ(error, dir.path() + "/VegmatchNVCData3.txt:2: no Domin range in the last field: x");
}

}  // namespace
