// The tidy results of `vegmatch classify`: the header and its habitat columns,
// every row the same columns, fits to one decimal, full names from units.csv,
// habitat items from habitats.csv, agreement with the classic results, the tie
// column and the species lists.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::Classify;
using batchtest::Col;
using batchtest::DemoTables;
using batchtest::Lines;
using batchtest::NvcTables;
using batchtest::ReadRfc4180;
using batchtest::TidyHeader;

// ---- header --------------------------------------------------------------------------------

TEST(TidyHeader, IsTheFixedColumnsThenOneColumnPerHabitatKeyAsked) {
  struct Case {
    std::vector<std::string> habitats;  // --habitats values, empty: option not given
    std::vector<std::string> extraStartsWith;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      {{"ukhab"}, {"ukhab"}},
      {{"phase1,ukhab"}, {"phase1", "ukhab"}},
      {{"ukhab,ukhab,annex1"}, {"ukhab", "annex1"}},
      {{"all"}, {"ukhab", "annex1", "priority", "phase1", "eunis"}},
  };
  TempDir dir;
  dir.Write("s.txt", "Wood\nQuercus robur 60\n");
  std::vector<std::string> withoutHabitats;
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--tables", NvcTables(), "-q", "--fits", "1"};
    for (const std::string& h : c.habitats) {
      args.push_back("--habitats");
      args.push_back(h);
    }
    args.push_back("s.txt");
    const batchtest::Run r = Classify(dir.path(), args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string header = Lines(r.out).at(0);
    // The columns the tidy format promises come first, in order; the habitat
    // columns asked for come last, in the order asked.
    ASSERT_TRUE(header == TidyHeader() || header.rfind(TidyHeader() + ",", 0) == 0) << header;
    const batchtest::Table t = ReadRfc4180(header + "\n");
    const std::vector<std::string>& h = t.rows.at(0);
    ASSERT_GE(h.size(), 16 + c.extraStartsWith.size()) << header;
    const size_t first = h.size() - c.extraStartsWith.size();
    for (size_t i = 0; i < c.extraStartsWith.size(); ++i) {
      EXPECT_EQ(h[first + i].rfind(c.extraStartsWith[i], 0), 0u) << header;
    }
    // Only the habitat columns depend on --habitats.
    if (c.habitats.empty()) withoutHabitats = h;
    EXPECT_EQ(std::vector<std::string>(h.begin(), h.begin() + static_cast<long>(first)), withoutHabitats)
        << header;
  }
}

// ---- every row on the full tables ---------------------------------------------------------

std::map<std::string, std::vector<std::string>> ReadUnits() {
  const batchtest::Table t = ReadRfc4180(ReadWholeFile(NvcTables() + "/units.csv"));
  EXPECT_TRUE(t.ok);
  std::map<std::string, std::vector<std::string>> byCode;
  for (size_t i = 1; i < t.rows.size(); ++i) byCode[t.rows[i][0]] = t.rows[i];
  return byCode;
}

const char* ClassOf(int percent) {
  if (percent < 50) return "very poor";
  if (percent < 60) return "poor";
  if (percent < 70) return "fair";
  if (percent < 80) return "good";
  return "very good";
}

TEST(TidyResults, EveryRowHasEveryColumnOneDecimalFitsAndFullNames) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
  dir.Write("quoted.csv",
            "sample,species,cover\n"
            "\"Plot 7, \"\"upper\"\" bank\",Calluna vulgaris,60\n"
            "\"Plot 7, \"\"upper\"\" bank\",Vaccinium myrtillus,20\n"
            "\"Plot 7, \"\"upper\"\" bank\",Deschampsia flexuosa,5\n");
  const batchtest::Run r = Classify(
      dir.path(), {"--tables", NvcTables(), "-q", "--fits", "20", "--habitats", "all", "SAMP.txt", "quoted.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  const batchtest::Table t = ReadRfc4180(r.out);
  ASSERT_TRUE(t.ok);
  ASSERT_EQ(t.rows.size(), 1u + 7 * 20);
  const std::vector<std::string>& h = t.rows[0];
  ASSERT_GE(h.size(), 16u + 5u);
  const std::map<std::string, std::vector<std::string>> units = ReadUnits();
  const std::regex oneDecimal("(100|[1-9]?[0-9])\\.[0-9]");

  std::map<std::string, int> lastRank;
  int subCommunities = 0;
  for (size_t i = 1; i < t.rows.size(); ++i) {
    const std::vector<std::string>& row = t.rows[i];
    ASSERT_EQ(row.size(), h.size()) << "row " << i;
    EXPECT_EQ(std::stoi(row[Col(h, "rank")]), ++lastRank[row[0]]) << "row " << i;
    for (const char* c : {"mean_fit", "fit_1", "fit_2", "fit_3", "fit_4"}) {
      EXPECT_TRUE(std::regex_match(row[Col(h, c)], oneDecimal)) << c << " " << row[Col(h, c)];
    }
    EXPECT_LE(std::stoi(row[Col(h, "species_matched")]), std::stoi(row[Col(h, "species")]));
    const std::string code = row[Col(h, "nvc_code")];
    if (code.empty()) continue;
    // The names of units.csv: a sub-community's full name is its community's
    // full name, a comma and blank, and the sub-community's name.
    auto unit = units.find(code);
    ASSERT_NE(unit, units.end()) << code;
    const std::string& community = unit->second[1];
    EXPECT_EQ(row[Col(h, "community")], units.at(community)[2]) << code;
    if (community == code) {
      EXPECT_EQ(row[Col(h, "sub_community")], "") << code;
    } else {
      ++subCommunities;
      EXPECT_EQ(units.at(community)[2] + ", " + row[Col(h, "sub_community")], unit->second[2]) << code;
    }
  }
  EXPECT_GT(subCommunities, 0);
  EXPECT_EQ(lastRank.count("quoted.csv Plot 7, \"upper\" bank"), 1u);
}

TEST(TidyResults, HabitatColumnsJoinTheItemsOfHabitatsCsv) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
  const batchtest::Run r = Classify(
      dir.path(), {"--tables", NvcTables(), "-q", "--fits", "99", "--habitats", "ukhab,priority,phase1", "SAMP.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  const batchtest::Table t = ReadRfc4180(r.out);
  ASSERT_TRUE(t.ok);
  // From the lines of W10 in data/nvc/habitats.csv: UKHab levels 2 to 5 (code
  // and name, one name holding "; "), the priority habitats (names only, no
  // code), Phase 1 (names holding commas); each with its relationship.
  const std::string ukhab =
      "w Woodland and forest (associated with) | w1 Broadleaved mixed and yew woodland (associated with) | "
      "w1f Lowland mixed deciduous woodland (associated with) | w1g Other woodland; broadleaved (associated "
      "with) | w1f6 Oak-hornbeam forests (H9160) (associated with) | w1f7 Other Lowland mixed deciduous "
      "woodland (associated with) | w1g7 Other broadleaved woodland types (associated with)";
  const std::string priority =
      "Lowland beech and yew woodland (overlaps with) | Lowland mixed deciduous woodland (overlaps with) | "
      "Lowland wood-pasture and parkland (overlaps with)";
  const std::string phase1 =
      "A111 Woodland: broadleaved, semi-natural (overlaps with) | A112 Woodland: broadleaved, plantation "
      "(overlaps with) | A131 Woodland: mixed, semi-natural (overlaps with)";
  // The three habitat columns are the last ones.
  const size_t n = t.rows.at(0).size();
  ASSERT_GE(n, 19u);
  int found = 0;
  for (size_t i = 1; i < t.rows.size(); ++i) {
    const std::vector<std::string>& row = t.rows[i];
    ASSERT_EQ(row.size(), n);
    if (row[0] != "Oakwood bluebell plot" || row[2] != "W10") continue;
    ++found;
    EXPECT_EQ(row[n - 3], ukhab);
    EXPECT_EQ(row[n - 2], priority);
    EXPECT_EQ(row[n - 1], phase1);
  }
  EXPECT_EQ(found, 1);
}

// The Results lines of a classic CSV results file by sample, in rank order.
std::map<std::string, std::vector<std::vector<std::string>>> ClassicResults(const std::string& text) {
  std::map<std::string, std::vector<std::vector<std::string>>> by;
  for (const std::string& line : Lines(text)) {
    std::vector<std::string> f;
    std::istringstream in(line);
    for (std::string s; std::getline(in, s, ',');) f.push_back(s);
    if (f.size() > 2 && f[1] == "Results") by[f[0]].push_back(f);
  }
  return by;
}

class TidyAgainstClassicTest : public ::testing::TestWithParam<int> {};

// The classic results show the same ranks with integer percents (the fraction
// times 100.1, rounded down); the tidy fits are the same fractions to one
// decimal, and fit_class is the verbal class of the integer mean.
TEST_P(TidyAgainstClassicTest, SameRanksAndFitsAsTheClassicResults) {
  const std::string analysis = std::to_string(GetParam());
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
  const std::vector<std::string> common = {"--tables", DemoTables(), "-q", "--fits", "8", "--analysis", analysis};
  std::vector<std::string> tidyArgs = common;
  for (const char* a : {"--rank-by", "fit", "SAMP.txt"}) tidyArgs.push_back(a);
  std::vector<std::string> classicArgs = common;
  for (const char* a : {"--format", "classic-csv", "-o", "classic.csv", "SAMP.txt"}) classicArgs.push_back(a);
  const batchtest::Run tidy = Classify(dir.path(), tidyArgs);
  const batchtest::Run classic = Classify(dir.path(), classicArgs);
  ASSERT_EQ(tidy.status, 0) << tidy.err;
  ASSERT_EQ(classic.status, 0) << classic.err;
  const auto by = ClassicResults(dir.Read("classic.csv"));
  ASSERT_EQ(by.size(), 6u);

  const batchtest::Table t = ReadRfc4180(tidy.out);
  ASSERT_EQ(t.rows.size(), 1u + 6 * 8);
  for (size_t i = 1; i < t.rows.size(); ++i) {
    const std::vector<std::string>& row = t.rows[i];
    const int rank = std::stoi(row[1]);
    ASSERT_EQ(by.count(row[0]), 1u) << row[0];
    const std::vector<std::string>& c = by.at(row[0]).at(static_cast<size_t>(rank - 1));
    ASSERT_EQ(std::stoi(c[2]), rank);
    EXPECT_EQ(row[2], c[4]) << row[0] << " rank " << rank;   // unit code
    EXPECT_EQ(row[11], c[3]) << row[0] << " rank " << rank;  // EUNIS code
    for (int k = 0; k < 5; ++k) {
      const double tidyValue = std::stod(row[5 + k]);
      const int classicValue = std::stoi(c[5 + k]);
      EXPECT_NEAR(tidyValue, classicValue, 1.15) << row[0] << " rank " << rank << " value " << k;
    }
    if (!row[2].empty()) {
      EXPECT_EQ(row[10], ClassOf(std::stoi(c[5]))) << row[0] << " rank " << rank;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryAnalysis, TidyAgainstClassicTest, ::testing::Range(1, 6));

// The demonstration set has 14 units: asked for 20 fits, a sample has rows for
// 20 ranks, and no unit stands at two of them.
TEST(TidyResults, RanksBeyondTheUnitsRepeatNoUnit) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
  const batchtest::Run r = Classify(dir.path(), {"--tables", DemoTables(), "-q", "--fits", "20", "SAMP.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  const batchtest::Table t = ReadRfc4180(r.out);
  ASSERT_EQ(t.rows.size(), 1u + 6 * 20);
  const size_t tie = Col(t.rows[0], "tie");
  std::map<std::string, std::map<std::string, std::vector<std::string>>> ranksOfUnit;
  for (size_t i = 1; i < t.rows.size(); ++i) {
    const std::vector<std::string>& row = t.rows[i];
    if (row[2].empty()) {
      EXPECT_EQ(row[tie], "") << row[0] << " rank " << row[1];
      continue;
    }
    ranksOfUnit[row[0]][row[2]].push_back(row[1]);
  }
  ASSERT_EQ(ranksOfUnit.size(), 6u);
  for (const auto& [sample, units] : ranksOfUnit) {
    for (const auto& [unit, ranks] : units) {
      std::string list;
      for (const std::string& rank : ranks) list += " " + rank;
      EXPECT_EQ(ranks.size(), 1u) << sample << ": " << unit << " at ranks" << list;
    }
  }
}

// ---- ties ------------------------------------------------------------------------------------

// A reference set of three units with the same table and one with another.
void WriteTwinTables(const TempDir& dir) {
  dir.CopyIn(ProjectDir() + "/data/SPECDICT3.txt", "SPECDICT3.txt");
  dir.Write("VegmatchNVCDef3.txt",
            "TW1\tTwin grassland\t\tE1.1\tTwin habitat\n"
            "TW2\tTwin grassland\t\tE1.1\tTwin habitat\n"
            "TW3\tTwin grassland\t\tE1.1\tTwin habitat\n"
            "OD1\tOdd heath\t\tF4.2\tDry heaths\n");
  const char* twin =
      "\t28\t48\tFestuca ovina\tV\t3-8\n"
      "\t11\t45\tCarex flacca\tV\t1-5\n"
      "\t62\t45\tSanguisorba minor\tV\t1-5\n"
      "\t8\t34\tBriza media\tIV\t1-4\n"
      "\t15\t25\tCirsium acaule\tIII\t1-5\n";
  std::string data;
  for (const char* unit : {"TW1", "TW2", "TW3"}) {
    std::istringstream lines(twin);
    for (std::string line; std::getline(lines, line);) data += unit + line + "\n";
  }
  data +=
      "OD1\t9\t48\tCalluna vulgaris\tV\t3-8\n"
      "OD1\t70\t40\tVaccinium myrtillus\tIV\t1-5\n"
      "OD1\t28\t20\tFestuca ovina\tII\t1-3\n";
  dir.Write("VegmatchNVCData3.txt", data);
}

TEST(Tie, RanksOfUnitsWithTheSameTableNameTheFirstOfThem) {
  TempDir dir;
  WriteTwinTables(dir);
  dir.Write("s.txt",
            "Turf\nFestuca ovina 40\nCarex flacca 10\nBriza media 5\nCalluna vulgaris 5\n\n"
            "Moor\nVaccinium myrtillus 30\n");
  const batchtest::Run r = Classify(dir.path(), {"--tables", dir.path(), "-q", "--fits", "4", "s.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  const batchtest::Table t = ReadRfc4180(r.out);
  ASSERT_EQ(t.rows.size(), 1u + 2 * 4);
  const size_t tie = Col(t.rows[0], "tie");
  // Turf: the three twins first, with the same fits, then the heath.
  std::set<std::string> twins;
  for (size_t i = 1; i <= 3; ++i) {
    twins.insert(t.rows[i][2]);
    EXPECT_EQ(t.rows[i][5], t.rows[1][5]);
  }
  EXPECT_EQ(twins, (std::set<std::string>{"TW1", "TW2", "TW3"}));
  EXPECT_EQ(t.rows[1][tie], "");
  EXPECT_EQ(t.rows[2][tie], "1");
  EXPECT_EQ(t.rows[3][tie], "1");
  EXPECT_EQ(t.rows[4][2], "OD1");
  EXPECT_EQ(t.rows[4][tie], "");
  // Moor reaches only the heath; the places after it are no fits, and no ties.
  EXPECT_EQ(t.rows[5][2], "OD1");
  for (size_t i = 5; i <= 8; ++i) EXPECT_EQ(t.rows[i][tie], "") << "rank " << t.rows[i][1];
}

// A unit that lists a species twice matches it once; a line that takes no part
// (a quant outside 1..50) matches nothing.
TEST(TidyResults, SpeciesMatchedCountsEachSpeciesOfTheUnitOnce) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/data/SPECDICT3.txt", "SPECDICT3.txt");
  dir.Write("VegmatchNVCDef3.txt", "DU1\tDouble grassland\t\tE1.1\tTwin habitat\n");
  dir.Write("VegmatchNVCData3.txt",
            "DU1\t28\t48\tFestuca ovina\tV\t3-8\n"
            "DU1\t28\t45\tFestuca ovina\tV\t1-5\n"
            "DU1\t11\t99\tCarex flacca\tV\t1-5\n"
            "DU1\t8\t34\tBriza media\tIV\t1-4\n");
  dir.Write("s.txt", "Turf\nFestuca ovina 40\nCarex flacca 10\nBriza media 5\n");
  const batchtest::Run r = Classify(dir.path(), {"--tables", dir.path(), "-q", "--fits", "1", "s.txt"});
  ASSERT_EQ(r.status, 0) << r.err;
  const batchtest::Table t = ReadRfc4180(r.out);
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[1][2], "DU1");
  EXPECT_EQ(t.rows[1][Col(t.rows[0], "species")], "3");
  EXPECT_EQ(t.rows[1][Col(t.rows[0], "species_matched")], "2");
}

// ---- species lists ----------------------------------------------------------------------------

std::map<std::string, int> DictionaryCodes() {
  std::map<std::string, int> codes;
  for (const std::string& line : Lines(ReadWholeFile(DemoTables() + "/SPECDICT3.txt"))) {
    std::istringstream in(line);
    int code;
    std::string a, b;
    if (!(in >> code >> a >> b)) continue;
    std::string full;
    std::getline(in, full);
    while (!full.empty() && (full[0] == ' ' || full[0] == '\t')) full.erase(0, 1);
    while (!full.empty() && (full.back() == ' ' || full.back() == '\r')) full.pop_back();
    codes[full] = code;
  }
  return codes;
}

std::map<std::string, std::set<int>> UnitCodes() {
  std::map<std::string, std::set<int>> units;
  for (const std::string& line : Lines(ReadWholeFile(DemoTables() + "/VegmatchNVCData3.txt"))) {
    std::istringstream in(line);
    std::string unit, code;
    std::getline(in, unit, '\t');
    std::getline(in, code, '\t');
    if (!unit.empty()) units[unit].insert(std::stoi(code));
  }
  return units;
}

TEST(SpeciesLists, BothSampleOnlyAndUnitOnlyAgreeWithTheSampleAndTheUnit) {
  const std::vector<std::string> names = {"Quercus robur", "Calluna vulgaris", "Hedera helix",
                                          "Cladonia portentosa", "Thymus praecox", "Festuca ovina"};
  std::string block = "Mixed \"hand\", sample\n";
  for (const std::string& n : names) block += n + " 10\n";
  block += "Gymnadenia conopsea 1\n";
  TempDir dir;
  dir.Write("hand.txt", block);
  // More fits than units: the last places are no fits.
  const batchtest::Run r = Classify(
      dir.path(), {"--tables", DemoTables(), "-q", "--fits", "16", "--species-lists", "lists.csv", "hand.txt"});
  ASSERT_EQ(r.status, 0) << r.err;

  const std::map<std::string, int> dictionary = DictionaryCodes();
  std::set<int> sampleCodes;
  for (const std::string& n : names) sampleCodes.insert(dictionary.at(n));
  const std::map<std::string, std::set<int>> units = UnitCodes();

  const batchtest::Table results = ReadRfc4180(r.out);
  ASSERT_EQ(results.rows.size(), 1u + 16);
  const batchtest::Table lists = ReadRfc4180(dir.Read("lists.csv"));
  ASSERT_TRUE(lists.ok);
  ASSERT_GT(lists.rows.size(), 1u);
  const std::vector<std::string>& h = lists.rows[0];
  const size_t cSample = Col(h, "sample"), cRank = Col(h, "rank"), cUnit = Col(h, "nvc_code"),
               cList = Col(h, "list"), cCode = Col(h, "species_code"), cShort = Col(h, "short_name");

  struct Lists {
    std::string unit;
    std::set<int> both, sampleOnly, unitOnly;
    int unknown = 0;
  };
  std::map<int, Lists> byRank;
  for (size_t i = 1; i < lists.rows.size(); ++i) {
    const std::vector<std::string>& row = lists.rows[i];
    ASSERT_EQ(row.size(), h.size()) << "lists row " << i;
    EXPECT_EQ(row[cSample], "Mixed \"hand\", sample");
    Lists& l = byRank[std::stoi(row[cRank])];
    l.unit = row[cUnit];
    const int code = std::stoi(row[cCode]);
    if (code >= 9001) {
      // The unknown name is a species of the sample only, under its name.
      EXPECT_EQ(row[cList], "sample_only");
      EXPECT_EQ(row[cShort], "gymn cono");
      ++l.unknown;
      continue;
    }
    if (row[cList] == "both") l.both.insert(code);
    else if (row[cList] == "sample_only") l.sampleOnly.insert(code);
    else if (row[cList] == "unit_only") l.unitOnly.insert(code);
    else ADD_FAILURE() << "list " << row[cList];
  }

  for (int rank = 1; rank <= 16; ++rank) {
    const std::vector<std::string>& result = results.rows[static_cast<size_t>(rank)];
    const std::string unit = result[2];
    auto it = byRank.find(rank);
    if (it == byRank.end()) {
      EXPECT_TRUE(unit.empty()) << "no lists for rank " << rank << " (" << unit << ")";
      continue;
    }
    const Lists& l = it->second;
    // The lists of a rank are about the unit the results give that rank.
    if (l.unit != unit) {
      ADD_FAILURE() << "rank " << rank << ": the lists name unit \"" << l.unit
                    << "\", the results \"" << unit << "\"";
      continue;
    }
    const std::set<int> unitCodes = units.count(unit) != 0 ? units.at(unit) : std::set<int>();
    std::set<int> sampleSide = l.both;
    sampleSide.insert(l.sampleOnly.begin(), l.sampleOnly.end());
    std::set<int> unitSide = l.both;
    unitSide.insert(l.unitOnly.begin(), l.unitOnly.end());
    EXPECT_EQ(sampleSide, sampleCodes) << "rank " << rank << " " << unit;
    EXPECT_EQ(unitSide, unitCodes) << "rank " << rank << " " << unit;
    EXPECT_EQ(l.both.size() + l.sampleOnly.size(), sampleCodes.size()) << "rank " << rank;
    EXPECT_EQ(l.unknown, 1) << "rank " << rank;
    EXPECT_EQ(std::to_string(l.both.size()), result[14]) << "species_matched of rank " << rank;
    EXPECT_EQ(result[13], std::to_string(names.size() + 1)) << "species of rank " << rank;
  }
  // CG2 holds Thymus (the synonym's code) and Festuca ovina of the sample.
  bool sawCg2 = false;
  for (const auto& [rank, l] : byRank) {
    if (l.unit != "CG2") continue;
    sawCg2 = true;
    EXPECT_EQ(l.both.count(dictionary.at("Thymus praecox")), 1u);
    EXPECT_EQ(l.both.count(dictionary.at("Festuca ovina")), 1u);
  }
  EXPECT_TRUE(sawCg2);
}

}  // namespace
