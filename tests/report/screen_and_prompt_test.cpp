// What a typed sample's report shows on screen, and the closing prompt.
#include <gtest/gtest.h>

#include <string>

#include "report/report.h"
#include "report_fixture.h"

namespace reporttest {
namespace {

const char kPrompt[] =
    "\n\n\n\n Press <RETURN> to continue\n  or type r to reset parameters\n  or type e to exit\n";
const char kEnd[] = "\n\n\n\n*** Program finished  ***\n Press <RETURN> to exit\n\n\n *************************\n";

// The screen table lines of the fixture's three ranks.
std::string ScreenTable() {
  return std::string("\n ") + "F4.21   " + "H12  " + " " + " 79" + " |" + " 57" + " 100" + "  25" +
         "  33" + "| " + "Calluna heath           " + "Typical  form   " +
         "\n " + "F4.1 1  " + "M 15 " + " " + " 50" + " |" + " 50" + "  60" + "   0" + "  10" +
         "| " + " Wet heath              " + "                " +
         "\n " + "        " + "     " + " " + "  0" + " |" + "  0" + "   0" + "   0" + "   0" + "| " +
         "                        " + "                ";
}

// The summary and table of the fixture's sample, before the closing prompt.
std::string ScreenReport() {
  return std::string("\n\n\n\n\n\n\n NVC type of Moor 1 is H12 with goodness of fit 79 - good") +
         "\n NVC Community: Calluna_heath   Subcommunity: Typical__form" +
         "\n EUNIS        : Dry_heaths   F4.21   " + "\n\n\n\n Analysis of top  3 possibilities\n" +
         ScreenTable();
}

class ScreenTest : public ReportTest {
 protected:
  void SetUp() override {
    ReportTest::SetUp();
    st->settings.nInputSource = 0;
  }
};

TEST_F(ScreenTest, SummaryAndTableForKeyboardInput) {
  ScriptedConsole sc("\n");
  EXPECT_EQ(Report(sc), 1);
  EXPECT_EQ(sc.out.str(), ScreenReport() + kPrompt);
  // The file gets the same report as in a data-file run.
  EXPECT_EQ(Results().rfind("Moor 1,Results,1,F4.21,H12,79,", 0), 0u);
  EXPECT_NE(Results().find("Moor 1,Analysis,3,U2,NVC_only,0\n"), std::string::npos);
}

TEST_F(ScreenTest, SummaryOfANoFitBestRankAndTheTextFormat) {
  // The best rank below 0.0001: every text of the summary is empty. The text
  // format shows the same screen as the CSV format.
  st->settings.nOutputFormat = 1;
  st->settings.nFitsToOutput = 1;
  st->scoring.arrTopFits[1].nNVCIndex = 3;
  ScriptedConsole sc("\n");
  EXPECT_EQ(Report(sc), 1);
  std::string expected =
      std::string("\n\n\n\n\n\n\n NVC type of Moor 1 is  with goodness of fit 0 - very poor") +
      "\n NVC Community: " + "" + "   Subcommunity: " + "" + "\n EUNIS        : " + "" + "   " +
      std::string(8, ' ') +
      "\n\n\n\n Analysis of top  1 possibilities\n" + "\n " + "        " + "     " + " " + "  0" +
      " |" + "  0" + "   0" + "   0" + "   0" + "| " + std::string(40, ' ') + kPrompt;
  EXPECT_EQ(sc.out.str(), expected);
  EXPECT_EQ(Results(), std::string(" ") + std::string(13, ' ') + " " + "  0 |  0   0   0   0| " +
                           std::string(40, ' ') + "\n");
}

TEST_F(ScreenTest, ClosingPromptAnswers) {
  const std::string report = ScreenReport();
  const struct {
    const char* input;
    int result;
    std::string after;  // what follows the screen table
    int leftOver;       // next unread character, -1 for none
  } cases[] = {
      {"\nx\n", 1, kPrompt, 'x'},
      {"E\n\nx", 0, std::string(kPrompt) + kEnd, 'x'},
      {"exit\n\nx", 0, std::string(kPrompt) + kEnd, 'x'},
      {"e", 0, std::string(kPrompt) + kEnd, -1},
      // Only the first character counts: a leading blank is not an "e".
      {" e\n\n", 1, std::string(kPrompt) + kPrompt, -1},
      {"q\n?\ne\n\n", 0, std::string(kPrompt) + kPrompt + kPrompt + kEnd, -1},
      // End of console input ends the run as "e" does.
      {"", 0, std::string(kPrompt) + kEnd, -1},
      {"zz\n", 0, std::string(kPrompt) + kPrompt + kEnd, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.input);
    ScriptedConsole sc(c.input);
    EXPECT_EQ(Report(sc), c.result);
    EXPECT_EQ(sc.out.str(), report + c.after);
    EXPECT_EQ(sc.in.peek(), c.leftOver);
  }
}

TEST_F(ScreenTest, ResetRunsTheParameterDialogueAndKeepsFilesAndFits) {
  const char* answers[] = {"R\n2\n4\n", "reset\n3\n\n"};
  const int16_t scale[] = {2, 3};
  const int16_t type[] = {4, 4};
  std::FILE* results = st->settings.fpResults.get();
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(answers[i]);
    ScriptedConsole sc(answers[i]);
    EXPECT_EQ(Report(sc), 1);
    EXPECT_EQ(st->settings.nCoverScale, scale[i]);
    EXPECT_EQ(st->settings.nAnalysisType, type[i]);
    EXPECT_EQ(sc.out.str().find(kEnd), std::string::npos);
    EXPECT_EQ(sc.in.peek(), -1);  // the dialogue took the rest of the answers
  }
  EXPECT_EQ(st->settings.fpResults.get(), results);
  EXPECT_EQ(st->settings.nFitsToOutput, 3);
  EXPECT_EQ(st->scoring.arrNVCFit[1].dMeanGoF, 0.799);
  EXPECT_EQ(st->scoring.arrTopFits[2].nNVCIndex, 2);
  // The results file is still open and takes the next report.
  ScriptedConsole sc("\n");
  EXPECT_EQ(Report(sc), 1);
  std::string text = Results();
  EXPECT_NE(text.find(",Domin,Incmp_sp\n"), std::string::npos);
  EXPECT_NE(text.find(",Cover%,Sp_&_cov\n"), std::string::npos);
}

}  // namespace
}  // namespace reporttest
