// The survey outputs of a run: groups with their synoptic tables (counted by
// hand from the survey file), each group classified as its pooled sample, the
// confidence every row carries, and the report.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::Col;

CsvTable ReadCsv(const std::string& text) {
  CsvTable t;
  std::string error;
  EXPECT_TRUE(ParseCsv(text, t, error)) << error;
  return t;
}

const std::string kSurvey = ProjectDir() + "/tests/data/survey_long.csv";

TEST(SurveyOutputs, SynopticTableOfAGroupMatchesAHandCountAndItsUnitThePooledSample) {
  TempDir dir;
  const batchtest::Run run = batchtest::Classify(
      dir.path(), {"-q", "--group-by", "Site", "--synoptic", "syn.csv", "-o", "r.csv", kSurvey});
  ASSERT_EQ(run.status, 0) << run.err;

  // The hand count: the quadrats of the chalk bank, and those holding each species.
  const CsvTable survey = ReadCsv(ReadWholeFile(kSurvey));
  std::set<std::string> quadrats;
  std::map<std::string, std::set<std::string>> holding;
  for (const CsvRow& r : survey.rows) {
    if (r.fields[1] != "Box Hill Chalk Bank") continue;
    const std::string quadrat = r.fields[2] + "/" + r.fields[3] + "/" + r.fields[4];
    quadrats.insert(quadrat);
    holding[r.fields[5]].insert(quadrat);
  }
  ASSERT_EQ(quadrats.size(), 12u);

  const CsvTable syn = ReadCsv(dir.Read("syn.csv"));
  std::string unit;
  size_t rows = 0;
  for (const CsvRow& r : syn.rows) {
    const auto at = [&](const char* c) { return r.fields[Col(syn.header, c)]; };
    if (at("Site") != "Box Hill Chalk Bank" || at("group_quadrats") == "0") continue;
    ++rows;
    unit = at("unit");
    EXPECT_EQ(at("quadrats"), "12");
    // The table shows the current name of a species.
    const std::string written = at("species") == "Poterium sanguisorba" ? "Sanguisorba minor" : at("species");
    ASSERT_EQ(holding.count(written), 1u) << written;
    const size_t n = holding.at(written).size();
    EXPECT_EQ(at("group_quadrats"), std::to_string(n)) << at("species");
    const double percent = 100.0 * static_cast<double>(n) / 12.0;
    EXPECT_NEAR(std::stod(at("group_frequency")), percent, 0.05) << at("species");
    const char* classes[] = {"I", "II", "III", "IV", "V"};
    EXPECT_EQ(at("group_constancy"), classes[percent <= 20 ? 0 : percent <= 40 ? 1 : percent <= 60 ? 2 : percent <= 80 ? 3 : 4])
        << at("species");
  }
  EXPECT_EQ(rows, holding.size());

  // The group's unit is the first unit of the site pooled as one sample.
  const batchtest::Run pooled =
      batchtest::Classify(dir.path(), {"-q", "--pool-by", "Site", "--fits", "1", "-o", "p.csv", kSurvey});
  ASSERT_EQ(pooled.status, 0) << pooled.err;
  const CsvTable p = ReadCsv(dir.Read("p.csv"));
  ASSERT_EQ(p.rows.size(), 2u);
  EXPECT_EQ(p.rows[1].fields[Col(p.header, "nvc_code")], unit);
}

TEST(SurveyOutputs, EveryRowSaysItsRankingAndTheConfidenceOfTheFirstPlace) {
  TempDir dir;
  for (const char* ranking : {"consensus", "fit"}) {
    std::vector<std::string> args = {"-q", "-o", "r.csv", "--indicators", kSurvey};
    if (std::string(ranking) == "fit") args.insert(args.begin(), {"--rank-by", "fit"});
    const batchtest::Run run = batchtest::Classify(dir.path(), args);
    ASSERT_EQ(run.status, 0) << run.err;
    const CsvTable r = ReadCsv(dir.Read("r.csv"));
    std::map<std::string, std::string> confidenceOf;
    // The indicator fields of a sample are the same on each of its rows, those
    // of a unit the same on each row that names it.
    std::map<std::string, std::string> sampleValues;
    std::map<std::string, std::string> unitValues;
    std::set<std::string> distinctSampleValues;
    for (const CsvRow& row : r.rows) {
      const auto at = [&](const char* c) { return row.fields[Col(r.header, c)]; };
      std::string ofSample = at("indicator_share");
      std::string ofUnit;
      for (const std::string x : {"F", "L", "N", "R", "S"}) {
        ofSample += "," + at(x.c_str()) + "," + at((x + "_weighted").c_str());
        ofUnit += "," + at((x + "_unit").c_str()) + "," + at((x + "_unit_sd").c_str());
      }
      EXPECT_EQ(sampleValues.emplace(row.fields[0], ofSample).first->second, ofSample) << row.fields[0];
      EXPECT_EQ(unitValues.emplace(at("nvc_code"), ofUnit).first->second, ofUnit) << at("nvc_code");
      distinctSampleValues.insert(ofSample);
      EXPECT_EQ(at("ranked_by"), ranking);
      EXPECT_TRUE(at("agreement") == "all" || at("agreement") == "two" || at("agreement") == "none");
      const double p = std::stod(at("p_correct"));
      EXPECT_TRUE(p >= 0 && p <= 1) << p;
      const std::string c = at("confidence");
      EXPECT_EQ(c, p >= 0.8 ? "high" : p >= 0.5 ? "medium" : "low") << p;
      // One value a sample, on each of its rows.
      auto [it, fresh] = confidenceOf.emplace(row.fields[0], c + "/" + at("margin"));
      EXPECT_EQ(it->second, c + "/" + at("margin")) << row.fields[0];
      EXPECT_FALSE(at("F").empty()) << row.fields[0];
      EXPECT_TRUE(at("F_outside") == "TRUE" || at("F_outside") == "FALSE");
    }
    EXPECT_EQ(confidenceOf.size(), 24u);
    EXPECT_GT(distinctSampleValues.size(), 12u);
    EXPECT_GT(unitValues.size(), 24u);
  }
}

TEST(SurveyOutputs, TheReportHoldsEverySampleAndAnUnknownGroupColumnIsRefused) {
  TempDir dir;
  dir.Write("s.csv", "plot,species,cover\n<script>x</script>,Festuca ovina,30\n<script>x</script>,Bare ground,20\n"
                     "B&Q,Bromopsis erecta,40\nB&Q,Festuca rubar,10\n");
  const batchtest::Run run = batchtest::Classify(dir.path(), {"-q", "--report", "r.html", "-o", "r.csv", "s.csv"});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::string html = dir.Read("r.html");
  EXPECT_NE(html.find("&lt;script&gt;x&lt;/script&gt;"), std::string::npos);
  EXPECT_EQ(html.find("<script>x"), std::string::npos);
  EXPECT_NE(html.find("B&amp;Q"), std::string::npos);
  EXPECT_NE(html.find("Festuca rubar"), std::string::npos);  // the run's message of the unknown name
  EXPECT_EQ(html.find("http://"), std::string::npos);        // nothing fetched
  EXPECT_EQ(html.find("https://"), std::string::npos);

  dir.Write("earlier.html", "earlier\n");
  const batchtest::Run bad = batchtest::Classify(
      dir.path(), {"-q", "--group-by", "Site", "--report", "earlier.html", "-o", "r2.csv", "s.csv"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, "vegmatch: classify: --group-by: no sample column Site; the samples are named by plot\n");
  EXPECT_EQ(dir.Read("earlier.html"), "earlier\n");
}

}  // namespace
