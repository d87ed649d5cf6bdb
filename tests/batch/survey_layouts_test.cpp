// One survey in every layout and file a surveyor exports gives the same tidy
// results; field cover codes, repeated species, scales that do not fit and
// files that are no survey are read right or said.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tables/workbook.h"
#include "batch_kit.h"

namespace {

using batchtest::Classify;
using batchtest::CountOf;
using batchtest::Lines;
using batchtest::ReadRfc4180;

std::string Data(const std::string& name) { return ProjectDir() + "/tests/data/" + name; }

// The species count of the first row of tidy results.
std::string SpeciesOfFirstRow(const std::string& out) {
  const batchtest::Table t = ReadRfc4180(out);
  if (t.rows.size() < 2) return "no rows";
  const auto col = std::find(t.rows[0].begin(), t.rows[0].end(), "species") - t.rows[0].begin();
  return t.rows[1][static_cast<size_t>(col)];
}

batchtest::Run Vegmatch(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"--tables", batchtest::NvcTables()});
  return Classify(dir.path(), args);
}

// 2 sites x 2 years x 2 groups x quadrats 1-3: the quadrat numbers repeat.
constexpr size_t kSurveySamples = 24;

TEST(SurveyLayouts, EveryLayoutAndWorkbookGivesTheSameTidyResults) {
  TempDir dir;
  const batchtest::Run longCsv = Vegmatch(dir, {"-q", Data("survey_long.csv")});
  ASSERT_EQ(longCsv.status, 0) << longCsv.err;
  const std::vector<std::string> lines = Lines(longCsv.out);
  ASSERT_EQ(lines.size(), 1 + 5 * kSurveySamples);
  EXPECT_EQ(lines[0].rfind("sample,Site,Year,Group,Quadrat,rank,nvc_code,", 0), 0u) << lines[0];
  EXPECT_EQ(lines[1].rfind("Leith Hill Place Wood 1971 A 1,Leith Hill Place Wood,1971,A,1,1,W10", 0), 0u) << lines[1];
  EXPECT_EQ(lines[5 * 12 + 1].rfind("Box Hill Chalk Bank 1971 A 1,", 0), 0u);
  // Hazel of two layers is one species: the quadrat's seven species.
  EXPECT_EQ(SpeciesOfFirstRow(longCsv.out), "7");

  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool sameHeader;
  };
  const std::vector<Case> cases = {
      {"wide", {Data("survey_wide.csv")}, true},
      {"matrix", {Data("survey_matrix.csv")}, true},
      {"wide named", {"--layout", "wide", Data("survey_wide.csv")}, true},
      {"workbook, first sheet", {Data("survey.xlsx")}, true},
      {"workbook, wide sheet", {"--sheet", "Wide", Data("survey.xlsx")}, true},
      {"Excel CSV, headers typed on a field sheet", {Data("survey_long_excel.csv")}, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-q"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const batchtest::Run r = Vegmatch(dir, args);
    ASSERT_EQ(r.status, 0) << c.name << "\n" << r.err;
    if (c.sameHeader) {
      EXPECT_EQ(r.out, longCsv.out) << c.name;
    } else {
      EXPECT_EQ(r.out.substr(r.out.find('\n')), longCsv.out.substr(longCsv.out.find('\n'))) << c.name;
    }
  }
}

TEST(SurveyLayouts, SamplesAreDistinctCombinationsAndPoolByNamesTheirColumns) {
  TempDir dir;
  const batchtest::Run r = Vegmatch(dir, {Data("survey_long.csv")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("survey_long.csv: 24 samples read (long layout, samples named by Site, Year, Group, Quadrat)"),
            std::string::npos)
      << r.err;
  // Repeated species are said once per sample.
  EXPECT_EQ(CountOf(r.err, "species recorded more than once: Corylus avellana (2 times)"), 8u) << r.err;

  struct Case {
    const char* poolBy;
    std::vector<std::string> labels;
  };
  const std::vector<Case> cases = {
      {"Year", {"1971", "1972"}},
      {"site,YEAR", {"Leith Hill Place Wood 1971", "Leith Hill Place Wood 1972", "Box Hill Chalk Bank 1971",
                     "Box Hill Chalk Bank 1972"}},
  };
  for (const Case& c : cases) {
    for (const char* file : {"survey_long.csv", "survey_matrix.csv"}) {
      const batchtest::Run p = Vegmatch(dir, {"-q", "--fits", "1", "--pool-by", c.poolBy, Data(file)});
      ASSERT_EQ(p.status, 0) << c.poolBy << "\n" << p.err;
      const batchtest::Table t = ReadRfc4180(p.out);
      std::vector<std::string> labels;
      for (size_t i = 1; i < t.rows.size(); ++i) labels.push_back(t.rows[i][0]);
      EXPECT_EQ(labels, c.labels) << c.poolBy << " " << file;
    }
  }
  // Named sample columns replace those found by name: any column, in any case.
  dir.Write("observers.csv",
            "Plot,Observer,Species,Cover\nP1,AB,Quercus robur,60\nP1,CD,Hedera helix,10\nP1,AB,Hedera helix,20\n");
  const batchtest::Run named = Vegmatch(dir, {"-q", "--fits", "1", "--sample-cols", "plot,OBSERVER", "observers.csv"});
  ASSERT_EQ(named.status, 0) << named.err;
  EXPECT_EQ(Lines(named.out).size(), 3u);
  EXPECT_EQ(Lines(named.out)[0].rfind("sample,Plot,Observer,rank,", 0), 0u) << named.out;
  EXPECT_EQ(Lines(named.out)[2].rfind("P1 CD,P1,CD,1,", 0), 0u) << named.out;

  // A site written once above its rows leaves the rows below with no site: said.
  dir.Write("filldown.csv", "Site,Quadrat,Species,Cover\nLeith,1,Quercus robur,60\n,1,Hedera helix,10\n"
                            ",2,Quercus robur,50\nBox,1,Festuca ovina,40\n");
  const batchtest::Run filldown = Vegmatch(dir, {"-q", "--strict", "filldown.csv"});
  EXPECT_EQ(filldown.status, 1);
  EXPECT_NE(filldown.err.find("filldown.csv:3: 2 samples have no Site where others have one"), std::string::npos)
      << filldown.err;

  const batchtest::Run missing = Vegmatch(dir, {"-q", "--pool-by", "Habitat", Data("survey_long.csv")});
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("no sample column Habitat to pool by"), std::string::npos) << missing.err;
}

TEST(SurveyLayouts, FieldCoverCodesAreReadOrSaidAndStrictRefusesTheDoubtful) {
  TempDir dir;
  // Trace codes are the scale's lowest class: a list with "+" and "r" scores
  // as the list with 1.
  const std::string head = "Quadrat,Species,Cover\n";
  const std::string chalk[] = {"Bromopsis erecta", "Brachypodium pinnatum", "Sanguisorba minor",
                               "Carex flacca", "Helianthemum nummularium", "Asperula cynanchica"};
  std::string codes = head;
  std::string ones = head;
  for (size_t i = 0; i < 6; ++i) {
    const std::string cover = i < 2 ? "40" : i % 2 == 0 ? "+" : "r";
    codes += "1," + chalk[i] + "," + cover + "\n";
    ones += "1," + chalk[i] + "," + (i < 2 ? "40" : "1") + "\n";
  }
  dir.Write("codes.csv", codes);
  dir.Write("ones.csv", ones);
  const batchtest::Run a = Vegmatch(dir, {"-q", "codes.csv"});
  const batchtest::Run b = Vegmatch(dir, {"-q", "ones.csv"});
  ASSERT_EQ(a.status, 0) << a.err;
  EXPECT_EQ(a.err, "");
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(ReadRfc4180(a.out).rows[1][3].substr(0, 2), "CG");

  struct Case {
    const char* cover;
    const char* said;  // at codes.csv:2
    bool refused;      // left out even without --strict
  };
  const std::vector<Case> cases = {
      {"NA", "no cover (\"NA\"); the record is left out (presence data: use --scale presence)", true},
      {"", "no cover (empty); the record is left out", true},
      {"abundant", "cover \"abundant\" is no cover value; the record is left out", true},
      {"5-10%", "cover \"5-10%\" is a range; read as its midpoint 7.5", false},
      {"25%", "cover \"25%\" has a percent sign; read as 25", false},
      {"x", "cover \"x\" marks presence only; read as the scale's lowest class, 1", false},
      {"120", "cover 120.0 is above the limit 100.0 of the scale; the line is taken", false},
  };
  for (const Case& c : cases) {
    dir.Write("one.csv", head + "1," + chalk[0] + "," + c.cover + "\n1," + chalk[1] + ",20\n");
    const batchtest::Run r = Vegmatch(dir, {"-q", "one.csv"});
    EXPECT_EQ(r.status, 0) << c.cover << "\n" << r.err;
    EXPECT_NE(r.err.find("vegmatch: one.csv:2: " + std::string(c.said)), std::string::npos) << c.cover << "\n" << r.err;
    const batchtest::Run strict = Vegmatch(dir, {"-q", "--strict", "one.csv"});
    EXPECT_EQ(strict.status, 1) << c.cover;
    // Under --strict a doubtful cover leaves the record out: one species left.
    EXPECT_EQ(SpeciesOfFirstRow(strict.out), "1") << c.cover;
  }
  // As presence data, NA and empty mean present.
  dir.Write("presence.csv", head + "1," + chalk[0] + ",NA\n1," + chalk[1] + ",\n1," + chalk[2] + ",x\n");
  const batchtest::Run p = Vegmatch(dir, {"-q", "--scale", "presence", "presence.csv"});
  ASSERT_EQ(p.status, 0) << p.err;
  EXPECT_EQ(p.err, "");
  EXPECT_EQ(SpeciesOfFirstRow(p.out), "3");
}

TEST(SurveyLayouts, CoversThatDoNotFitTheScaleAreSaidOnceNamingTheLikelyScale) {
  TempDir dir;
  std::string domin = "Quadrat,Species,Cover\n";
  std::string percent = domin;
  const char* names[] = {"Festuca ovina", "Carex flacca", "Lotus corniculatus", "Plantago lanceolata"};
  for (int q = 1; q <= 4; ++q) {
    for (int s = 0; s < 4; ++s) {
      domin += std::to_string(q) + "," + names[s] + "," + std::to_string(1 + (q * 3 + s * 2) % 10) + "\n";
      percent += std::to_string(q) + "," + names[s] + "," + std::to_string(5 + (q * 17 + s * 11) % 60) + "\n";
    }
  }
  dir.Write("domin.csv", domin);
  dir.Write("percent.csv", percent);
  struct Case {
    std::vector<std::string> args;
    const char* said;  // empty: nothing
  };
  const std::vector<Case> cases = {
      {{"domin.csv"}, "the data look like Domin classes; if so, use --scale domin"},
      {{"--scale", "domin", "domin.csv"}, ""},
      {{"--scale", "domin", "percent.csv"}, "the data look like percent covers; if so, use --scale percent"},
      {{"percent.csv"}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-q"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const batchtest::Run r = Vegmatch(dir, args);
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string said = c.said;
    if (said.empty()) {
      EXPECT_EQ(CountOf(r.err, "the data look like"), 0u) << r.err;
    } else {
      EXPECT_EQ(CountOf(r.err, said), 1u) << r.err;
    }
  }
}

TEST(SurveyLayouts, WhatIsNoSurveyIsRefusedNamingTheLayoutsAndNeverScored) {
  TempDir dir;
  std::string binary = "\x89PNG\r\n\x1a\n";
  for (int i = 0; i < 400; ++i) binary += static_cast<char>((i * 37) % 256);
  dir.Write("photo.png", binary);
  dir.Write("unknown.csv", "Ref,Plant taxa,Amount\n1,Quercus robur,60\n1,Hedera helix,10\n");
  dir.Write("nospecies.csv", "Site,Quadrat,Cover\nWood,1,60\n");
  struct Case {
    std::string file;
    std::vector<const char*> said;
  };
  const std::vector<Case> cases = {
      {"photo.png", {"photo.png: a binary file, not a survey", "wide (one row per species"}},
      {"unknown.csv",
       {"unknown.csv:1: no sample column in the header; columns found: Ref, Plant taxa, Amount.",
        "--sample-cols", "matrix (one row per sample, one column per species)"}},
      {"nospecies.csv", {"nospecies.csv:1: no species column in the header; columns found: Site, Quadrat, Cover."}},
      {Data("damaged.xlsx"), {"damaged.xlsx: "}},
      {Data("encrypted.xlsx"), {"password"}},
      // Endless bytes: refused from the first block read, never held.
      {"/dev/zero", {"/dev/zero: a binary file, not a survey"}},
  };
  for (const Case& c : cases) {
    const batchtest::Run r = Vegmatch(dir, {"-q", c.file});
    EXPECT_EQ(r.status, 1) << c.file << "\n" << r.err;
    for (const char* s : c.said) EXPECT_NE(r.err.find(s), std::string::npos) << c.file << "\n" << r.err;
    EXPECT_EQ(Lines(r.out).size(), 1u) << c.file << ": only the header\n" << r.out;
  }
}

TEST(SurveyLayouts, RepeatedSpeciesAreSummedInTidyResultsAndTheLastTakenInClassicOnes) {
  TempDir dir;
  const std::string head = "Quadrat,Layer,Species,Cover\n";
  const std::string rest = "1,field,Hedera helix,10\n1,field,Mercurialis perennis,30\n";
  dir.Write("layers.csv", head + "1,canopy,Corylus avellana,30\n" + rest + "1,shrub,Corylus avellana,20\n");
  dir.Write("summed.csv", head + "1,canopy,Corylus avellana,50\n" + rest);
  dir.Write("last.csv", head + "1,shrub,Corylus avellana,20\n" + rest);
  for (const char* format : {"csv", "classic-csv"}) {
    const bool tidy = std::string(format) == "csv";
    const batchtest::Run r = Vegmatch(dir, {"-q", "--format", format, "layers.csv"});
    const batchtest::Run want = Vegmatch(dir, {"-q", "--format", format, tidy ? "summed.csv" : "last.csv"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, want.out) << format;
    EXPECT_EQ(CountOf(r.err, "vegmatch: layers.csv:2: sample 1: species recorded more than once: Corylus avellana "
                             "(2 times); " +
                                 std::string(tidy ? "their covers are summed" : "the last record of each is taken")),
              1u)
        << r.err;
  }
}

TEST(SurveyLayouts, ProblemsOfAKindAreSaidTenTimesThenCounted) {
  TempDir dir;
  std::string csv = "Quadrat,Species,Cover\n";
  for (int q = 1; q <= 15; ++q) csv += std::to_string(q) + ",Festuca ovina,NA\n" + std::to_string(q) + ",Carex flacca,5\n";
  dir.Write("many.csv", csv);
  const batchtest::Run r = Vegmatch(dir, {"-q", "many.csv"});
  EXPECT_EQ(CountOf(r.err, "no cover (\"NA\")"), 11u) << r.err;  // ten, and the count
  EXPECT_NE(r.err.find("vegmatch: many.csv: 5 more like the first ten of this kind (15 in all): no cover"),
            std::string::npos)
      << r.err;
}

TEST(SurveyLayouts, ClassicNamesOfThirtyCharactersThatWouldMeetAreSaidOnce) {
  TempDir dir;
  std::string csv = "Site,Quadrat,Species,Cover\n";
  for (const char* q : {"1", "10", "11"}) {
    csv += std::string("Leith Hill Place Wood 1971 A,") + q + ",Quercus robur,60\n";
    csv += std::string("Leith Hill Place Wood 1971 A,") + q + ",Hedera helix,20\n";
  }
  dir.Write("long names.csv", csv);
  const batchtest::Run classic = Vegmatch(dir, {"-q", "--format", "classic-csv", "long names.csv"});
  ASSERT_EQ(classic.status, 0) << classic.err;
  EXPECT_EQ(CountOf(classic.err, "print the same 30-character name"), 1u) << classic.err;
  EXPECT_NE(classic.err.find("2 samples print the same 30-character name as an earlier one"), std::string::npos);
  const batchtest::Run tidy = Vegmatch(dir, {"-q", "--fits", "1", "long names.csv"});
  EXPECT_EQ(tidy.err, "");
  const batchtest::Table t = ReadRfc4180(tidy.out);
  ASSERT_EQ(t.rows.size(), 4u);
  EXPECT_EQ(t.rows[2][0], "Leith Hill Place Wood 1971 A 10");
}

TEST(SurveyLayouts, ResultsAsAWorkbookHoldTheResultsListsAndHabitatsSheets) {
  TempDir dir;
  const batchtest::Run csv =
      Vegmatch(dir, {"-q", "--habitats", "all", "--species-lists", "lists.csv", Data("survey_long.csv")});
  const batchtest::Run xlsx = Vegmatch(dir, {"-q", "--habitats", "all", "-o", "results.xlsx", Data("survey_long.csv")});
  ASSERT_EQ(xlsx.status, 0) << xlsx.err;
  const std::string bytes = dir.Read("results.xlsx");
  struct Sheet {
    const char* name;
    std::string csv;
  };
  for (const Sheet& s : {Sheet{"results", csv.out}, Sheet{"species lists", dir.Read("lists.csv")}}) {
    Grid grid;
    std::string error;
    ASSERT_TRUE(ReadWorkbook(bytes, s.name, grid, error)) << error;
    const batchtest::Table want = ReadRfc4180(s.csv);
    ASSERT_EQ(grid.rows.size(), want.rows.size()) << s.name;
    for (size_t i = 0; i < want.rows.size(); ++i) {
      std::vector<std::string> cells = grid.rows[i].cells;
      cells.resize(want.rows[i].size());
      // Numbers come back as the shortest text that reads as them.
      for (size_t k = 0; k < cells.size(); ++k) {
        if (cells[k] != want.rows[i][k] && !cells[k].empty() && std::stod(cells[k]) == std::stod(want.rows[i][k])) {
          cells[k] = want.rows[i][k];
        }
      }
      EXPECT_EQ(cells, want.rows[i]) << s.name << " row " << i;
    }
  }
  Grid habitats;
  std::string error;
  ASSERT_TRUE(ReadWorkbook(bytes, "habitats", habitats, error)) << error;
  ASSERT_GT(habitats.rows.size(), 1u);
  EXPECT_EQ(habitats.rows[0].cells, (std::vector<std::string>{"nvc_code", "classification", "habitat_code",
                                                              "habitat_name", "relationship", "inherited"}));
}

}  // namespace
