// The lines the report writes to the results file: CSV Results and Analysis
// lines, the text table, the values per analysis type and the fit classes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "report/report.h"
#include "report_fixture.h"

namespace reporttest {
namespace {

const char kLabels[] = "All_sp,Cover%,Sp_&_cov\n";

TEST(FitValues, PercentUsesTheFactorAndClassBoundaries) {
  EXPECT_EQ(PercentFit(0.799), 79);
  EXPECT_EQ(PercentFit(0.8), 80);
  EXPECT_EQ(PercentFit(0.4999), 50);  // 50.039..., not 49
  EXPECT_EQ(PercentFit(0.57), 57);
  EXPECT_EQ(PercentFit(1.0), 100);
  EXPECT_EQ(PercentFit(0.0), 0);
  EXPECT_EQ(PercentFit(0.00005), 0);

  EXPECT_STREQ(FitClass(PercentFit(0.799)), "good");
  EXPECT_STREQ(FitClass(PercentFit(0.8)), "very good");
  EXPECT_STREQ(FitClass(PercentFit(0.4999)), "poor");
  EXPECT_STREQ(FitClass(49), "very poor");
  EXPECT_STREQ(FitClass(59), "poor");
  EXPECT_STREQ(FitClass(60), "fair");
  EXPECT_STREQ(FitClass(69), "fair");
  EXPECT_STREQ(FitClass(70), "good");
  EXPECT_STREQ(FitClass(100), "very good");

  // Values that are no fractions stay inside the int range.
  EXPECT_EQ(PercentFit(1e300), 2147483647);
  EXPECT_EQ(PercentFit(-1e300), -2147483647 - 1);
  EXPECT_EQ(PercentFit(std::nan("")), 0);
}

TEST_F(ReportTest, CsvResultsAndAnalysisLinesOfAHandCheckedSample) {
  ScriptedConsole sc("e\n");
  EXPECT_EQ(Report(sc), 1);
  std::string expected =
      // Trailing blanks dropped, inner blanks joined, a leading blank kept, an
      // all-blank name one blank, a 25-character EUNIS name cut to 24.
      std::string("Moor 1,Results,1,F4.21,H12,79,57,100,25,33,Calluna_heath,Typical__form,Dry_heaths,") +
      kLabels +
      "Moor 1,Results,2,F4.11,M15,50,50,60,0,10, Wet_heath, ,Northern_wet_heath_bogsX," + kLabels +
      // Below 0.0001: no texts at all, and zeros for a community the sample never reached.
      "Moor 1,Results,3,,,0,0,0,0,0,,,," + kLabels +
      // Sample entry's own name for code 20; code 30 of unit 1 only on a bad line.
      "Moor 1,Analysis,1,H12,NVC_&_Sample,1,Ling heat\n"
      "Moor 1,Analysis,1,H12,Sample_only,2,Newx herb;Desc flex\n"
      // Code 10 under its first dictionary name; code 40 has no entry.
      "Moor 1,Analysis,1,H12,NVC_only,2,Agro capi;\n"
      "Moor 1,Analysis,2,M15,NVC_&_Sample,1,Desc flex\n"
      "Moor 1,Analysis,2,M15,Sample_only,2,Ling heat;Newx herb\n"
      "Moor 1,Analysis,2,M15,NVC_only,1,Agro capi\n"
      // A low-fit unit without lines keeps its compact type here.
      "Moor 1,Analysis,3,U2,NVC_&_Sample,0\n"
      "Moor 1,Analysis,3,U2,Sample_only,3,Ling heat;Newx herb;Desc flex\n"
      "Moor 1,Analysis,3,U2,NVC_only,0\n";
  EXPECT_EQ(Results(), expected);
  // A data-file run shows nothing and asks nothing.
  EXPECT_EQ(sc.out.str(), "");
  EXPECT_EQ(sc.err.str(), "");
  EXPECT_EQ(sc.in.peek(), 'e');
}

TEST_F(ReportTest, TextTableLinesAndNoAnalysis) {
  st->settings.nOutputFormat = 1;
  // A 6-character type fills its column and pushes the rest one place right.
  std::snprintf(st->ref.arrNVCData[1].szNVCType, 7, "%s", "SD16bb");
  ScriptedConsole sc("");
  EXPECT_EQ(Report(sc), 1);
  std::string expected =
      std::string(" ") + "F4.21   " + "SD16bb" + " " + " 79" + " |" + " 57" + " 100" + "  25" +
      "  33" + "| " + "Calluna heath           " + "Typical  form   " + "\n" +
      " " + "F4.1 1  " + "M 15 " + " " + " 50" + " |" + " 50" + "  60" + "   0" + "  10" + "| " +
      " Wet heath              " + "                " + "\n" +
      " " + "        " + "     " + " " + "  0" + " |" + "  0" + "   0" + "   0" + "   0" + "| " +
      "                        " + "                " + "\n";
  EXPECT_EQ(Results(), expected);
  EXPECT_EQ(sc.out.str(), "");
}

TEST_F(ReportTest, ValuesShownPerAnalysisType) {
  SetFit(st->scoring, 1, 0.9, 0.5, 0.6, 0.7, 0.8);
  st->settings.nFitsToOutput = 1;
  const struct {
    int type;
    const char* values;
    const char* label;
  } cases[] = {
      {1, "90,50,60,70,80", "Sp_&_cov"}, {2, "90,50,60,0,0", "Spp_only"},
      {3, "90,0,0,70,80", "Cov_only"},   {4, "90,0,60,0,0", "Incmp_sp"},
      {5, "90,0,60,70,80", "Top_few"},
  };
  std::string expected;
  for (const auto& c : cases) {
    st->settings.nAnalysisType = static_cast<int16_t>(c.type);
    ScriptedConsole sc("");
    Report(sc);
    expected += std::string("Moor 1,Results,1,F4.21,H12,") + c.values +
                ",Calluna_heath,Typical__form,Dry_heaths,All_sp,Cover%," + c.label + "\n" +
                "Moor 1,Analysis,1,H12,NVC_&_Sample,1,Ling heat\n"
                "Moor 1,Analysis,1,H12,Sample_only,2,Newx herb;Desc flex\n"
                "Moor 1,Analysis,1,H12,NVC_only,2,Agro capi;\n";
  }
  EXPECT_EQ(Results(), expected);

  // The same rule in the text table.
  std::string before = Results();
  st->settings.nOutputFormat = 1;
  st->settings.nAnalysisType = 4;
  ScriptedConsole sc("");
  Report(sc);
  EXPECT_EQ(Results().substr(before.size()),
            " F4.21   H12    90 |  0  60   0   0| Calluna heath           Typical  form   \n");
}

TEST_F(ReportTest, ListsLongerThanAFixedCapacityAreWrittenInFull) {
  // Unit 1 holds codes 1..400; the sample holds 1..300, all in it; unit 3 has no lines.
  RefData& ref = st->ref;
  for (int k = 1; k <= 400; ++k) SetLine(ref, k, k, 11);
  ref.arrNVCData[1].nSpeciesTableStartIndex = 1;
  ref.arrNVCData[1].nSpeciesTableEndIndex = 400;
  ref.nSpeciesTableCount = 400;
  for (int i = 1; i <= kSampleCapacity; ++i) SetEntry(st->sample, i, i, 5);
  st->sample.nSampleEntries = kSampleCapacity;
  st->scoring.arrTopFits[2].nNVCIndex = 3;
  st->settings.nFitsToOutput = 2;

  ScriptedConsole sc("");
  Report(sc);
  std::string text = Results();
  auto lineOf = [&text](const std::string& start) {
    size_t at = text.find(start);
    if (at == std::string::npos) return std::string();
    return text.substr(at, text.find('\n', at) - at);
  };
  auto count = [](const std::string& s, char c) {
    return static_cast<int>(std::count(s.begin(), s.end(), c));
  };
  std::string both = lineOf("Moor 1,Analysis,1,H12,NVC_&_Sample,300,");
  ASSERT_FALSE(both.empty());
  EXPECT_EQ(count(both, ';'), 299);
  EXPECT_EQ(both.substr(both.size() - 19), "Desc flex;Desc flex");
  // Codes 301..400: no dictionary entry, empty names between the separators.
  std::string unitOnly = lineOf("Moor 1,Analysis,1,H12,NVC_only,100,");
  EXPECT_EQ(unitOnly, "Moor 1,Analysis,1,H12,NVC_only,100," + std::string(99, ';'));
  EXPECT_EQ(lineOf("Moor 1,Analysis,1,H12,Sample_only,"), "Moor 1,Analysis,1,H12,Sample_only,0");
  std::string sampleOnly = lineOf("Moor 1,Analysis,2,U2,Sample_only,300,");
  ASSERT_FALSE(sampleOnly.empty());
  EXPECT_EQ(count(sampleOnly, ';'), 299);
  EXPECT_EQ(count(sampleOnly, ','), 6);
}

TEST_F(ReportTest, AnalysisListsShortNamesOfEveryLengthAndNothingPastTheirEnd) {
  // Row 7 is the sample's first species; its field is filled before the name
  // is written, so that whatever lies past a short name's end shows if copied.
  const std::string full = "abcdefghi";
  for (size_t length = 0; length <= full.size(); ++length) {
    char* field = st->ref.arrSpecies[7].szShortName;
    std::memset(field, 'Z', sizeof st->ref.arrSpecies[7].szShortName - 1);
    std::memcpy(field, full.data(), length);
    field[length] = '\0';
    field[kShortNameWidth] = '\0';
    ScriptedConsole sc("");
    const std::string before = Results();
    Report(sc);
    const std::string text = Results().substr(before.size());
    const std::string line = "Moor 1,Analysis,3,U2,Sample_only,3," + full.substr(0, length) +
                             ";Newx herb;Desc flex\n";
    EXPECT_NE(text.find(line), std::string::npos) << "a name of " << length << " characters";
  }
}

TEST_F(ReportTest, AFailedWriteIsReported) {
  st->settings.fpResults.Close();
  st->settings.fpResults = File(std::fopen(dir.File("TABLOUT.TXT").c_str(), "r"));
  ASSERT_TRUE(st->settings.fpResults);
  ScriptedConsole sc("");
  EXPECT_EQ(Report(sc), 1);
  EXPECT_EQ(sc.err.str(), "vegmatch: error writing the results file\n");
  EXPECT_EQ(sc.out.str(), "");
  // Said once for the file, not after every report.
  ScriptedConsole next("");
  EXPECT_EQ(Report(next), 1);
  EXPECT_EQ(next.err.str(), "");
}

}  // namespace
}  // namespace reporttest
