// The run settings and parameter dialogues, as whole console transcripts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "console/console.h"
#include "support/testkit.h"

namespace {

// The dialogue's texts, written out from the program's documented messages.
const std::string kHeading =
    std::string(15, '\n') + " Enter files and parameters to run VEGMATCH" + std::string(10, '\n');
const std::string kResultsQuestion =
    " Type name of output file for answers or press <RETURN> for default\n";
const std::string kFormatQuestion =
    "\n\n Type 0 for output in new CSV format\n"
    " Type 1 for output in original tabulated text format\n";
const std::string kSourceQuestion =
    "\n\n Type 0 for input of stand data from keyboard\n"
    " Type 1 for input from existing datafile\n";
const std::string kRecordQuestion =
    "\n\n Enter name of file with record of data entry\n"
    "    or press <RETURN> for default SAMP.txt\n";
const std::string kDataQuestion =
    "\n\n Enter name of existing datafile\n"
    "     or press <RETURN> for default SAMP.txt\n";
const std::string kNoDataFile = "\n  *** ERROR *** File does not exist\n Type another name\n";
const std::string kRecordTaken = "  *** ERROR *** File already exists/n Type another name\n";
const std::string kGroupQuestion =
    "\n\n Type 0 for all species to be included in analysis\n"
    " Type 1 for vascular plants + bryos (excluding lichens & algae)\n"
    " Type 2 to include only vascular plants\n\n";

std::string Existing(const std::string& shown) {
  return "\n Existing value is " + shown + ".\n Press <RETURN> to retain it, or type new value\n";
}

std::string ResultsTaken(const std::string& name) {
  return "  *** ERROR *** File already exists/n Type another name, not " + name + "\n";
}

// One dialogue run on fresh settings in a folder of its own.
struct Dialogue {
  RunSettings rs{};
  ScriptedConsole sc;
  bool ok = false;

  Dialogue(const std::string& input, const std::string& dir) : sc(input, dir) {
    ok = RunSettingsDialogue(sc.con, rs);
  }
  ~Dialogue() { CloseRunFiles(sc.con, rs); }
  std::string Out() const { return sc.out.str(); }
};

// Writes a line through an open handle and closes it, so the test can see which
// file on disk the handle belonged to.
void Mark(File& fp, const char* text) {
  ASSERT_TRUE(fp);
  std::fputs(text, fp.get());
  EXPECT_TRUE(fp.Close());
}

TEST(RunSettingsDialogue, AllDefaultsByReturn) {
  TempDir dir;
  Dialogue d("\n\n\n\n\n", dir.path());
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Out(), kHeading + kResultsQuestion + kFormatQuestion + Existing("  0") +
                         kSourceQuestion + Existing("  0") + kRecordQuestion + kGroupQuestion +
                         Existing("  0"));
  EXPECT_EQ(d.rs.nOutputFormat, 0);
  EXPECT_EQ(d.rs.nInputSource, 0);
  EXPECT_EQ(d.rs.nSpeciesGroupLimit, 10000);
  EXPECT_FALSE(d.rs.fpDataFile);
  Mark(d.rs.fpResults, "results\n");
  Mark(d.rs.fpRecordFile, "record\n");
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), "results\n");
  EXPECT_EQ(dir.Read("SAMP.txt"), "record\n");
  EXPECT_EQ(d.sc.err.str(), "");
}

TEST(RunSettingsDialogue, TakenResultsAndRecordNamesAreRefused) {
  TempDir dir;
  dir.Write("TABLOUT.TXT", "old results");
  dir.Write("SAMP.txt", "old record");
  // Typed taken names are refused without repeating the question; RETURN then
  // takes the next free numbered default.
  Dialogue d("TABLOUT.TXT\n\n1\n\nSAMP.txt\n\n1\n", dir.path());
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Out(), kHeading + kResultsQuestion + ResultsTaken("TABLOUT.TXT") + kFormatQuestion +
                         Existing("  0") + kSourceQuestion + Existing("  0") + kRecordQuestion +
                         kRecordTaken + kGroupQuestion + Existing("  0"));
  EXPECT_EQ(d.rs.nOutputFormat, 1);
  EXPECT_EQ(d.rs.nSpeciesGroupLimit, 4000);
  Mark(d.rs.fpResults, "new results\n");
  Mark(d.rs.fpRecordFile, "new record\n");
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), "old results");
  EXPECT_EQ(dir.Read("TABLOUT1.TXT"), "new results\n");
  EXPECT_EQ(dir.Read("SAMP.txt"), "old record");
  EXPECT_EQ(dir.Read("SAMP1.txt"), "new record\n");
}

TEST(RunSettingsDialogue, TypedNamesThatCannotBeCreatedAreRefusedLikeTakenOnes) {
  TempDir dir;
  Dialogue d("no-such-folder/out.csv\nmine.csv\n\n\nno-such-folder/rec.txt\nrec.txt\n2\n",
             dir.path());
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Out(), kHeading + kResultsQuestion + ResultsTaken("no-such-folder/out.csv") +
                         kFormatQuestion + Existing("  0") + kSourceQuestion + Existing("  0") +
                         kRecordQuestion + kRecordTaken + kGroupQuestion + Existing("  0"));
  EXPECT_EQ(d.rs.nSpeciesGroupLimit, 3000);
  Mark(d.rs.fpResults, "r");
  Mark(d.rs.fpRecordFile, "s");
  EXPECT_EQ(dir.Read("mine.csv"), "r");
  EXPECT_EQ(dir.Read("rec.txt"), "s");
  EXPECT_FALSE(dir.Exists("TABLOUT.TXT"));
  EXPECT_FALSE(dir.Exists("SAMP.txt"));
}

TEST(RunSettingsDialogue, DataFileModeWithoutTheDefaultFile) {
  TempDir dir;
  dir.Write("plots.txt", "Plot 1\nQuercus robur 5\n\n");
  // RETURN asks for SAMP.txt, which is missing; a typed name that does not
  // exist is refused too; then an existing file opens.
  Dialogue d("\n\n1\n\nnothere.txt\nplots.txt\n\n", dir.path());
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Out(), kHeading + kResultsQuestion + kFormatQuestion + Existing("  0") +
                         kSourceQuestion + Existing("  0") + kDataQuestion + kNoDataFile +
                         kNoDataFile + kGroupQuestion + Existing("  0"));
  EXPECT_EQ(d.rs.nInputSource, 1);
  EXPECT_FALSE(d.rs.fpRecordFile);
  ASSERT_TRUE(d.rs.fpDataFile);
  char line[20] = "";
  ASSERT_NE(std::fgets(line, sizeof line, d.rs.fpDataFile.get()), nullptr);
  EXPECT_STREQ(line, "Plot 1\n");
  // The name that opened is kept for messages about the file's lines.
  EXPECT_STREQ(d.rs.szDataFileName, "plots.txt");
  EXPECT_FALSE(dir.Exists("SAMP.txt"));
}

TEST(RunSettingsDialogue, DataFileDefaultAndFoldersAsDataFiles) {
  TempDir dir;
  dir.Write("SAMP.txt", "Plot 2\n");
  ASSERT_TRUE(std::filesystem::create_directory(dir.File("plots")));
  // A folder opens for reading on some systems but holds no samples: refused.
  Dialogue d("\n\n1\nplots\n\n\n", dir.path());
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.Out(), kHeading + kResultsQuestion + kFormatQuestion + Existing("  0") +
                         kSourceQuestion + Existing("  0") + kDataQuestion + kNoDataFile +
                         kGroupQuestion + Existing("  0"));
  ASSERT_TRUE(d.rs.fpDataFile);
  char line[20] = "";
  ASSERT_NE(std::fgets(line, sizeof line, d.rs.fpDataFile.get()), nullptr);
  EXPECT_STREQ(line, "Plot 2\n");
  EXPECT_STREQ(d.rs.szDataFileName, "SAMP.txt");
  // The data file is only read: the default results file is still created.
  EXPECT_TRUE(dir.Exists("TABLOUT.TXT"));
}

TEST(RunSettingsDialogue, EndOfInputInTheDataFileLoopEndsTheRunCleanly) {
  TempDir dir;
  Dialogue d("\n\n1\nnothere.txt\n", dir.path());
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.Out(), kHeading + kResultsQuestion + kFormatQuestion + Existing("  0") +
                         kSourceQuestion + Existing("  0") + kDataQuestion + kNoDataFile +
                         kNoDataFile);
  EXPECT_NE(d.sc.err.str().find("input ended"), std::string::npos) << d.sc.err.str();
  EXPECT_FALSE(d.rs.fpDataFile);
  EXPECT_TRUE(dir.Exists("TABLOUT.TXT"));
  // The results file it had opened is closed with the run's files at the end:
  // closed, still empty, and with nothing more to report.
  CloseRunFiles(d.sc.con, d.rs);
  EXPECT_FALSE(d.rs.fpResults);
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), "");
  EXPECT_EQ(d.sc.err.str(),
            "vegmatch: the console input ended before the data file could be opened; the run "
            "ends\n");
}

TEST(RunSettingsDialogue, DefaultThatCannotBeCreatedIsReportedAndAskedAgain) {
  TempDir dir;
  // Nothing can be created in a folder that does not exist: RETURN reports the
  // failure and reads again; the typed name is refused; then the input ends.
  Dialogue d("\nout.csv\n", dir.path() + "/missing");
  EXPECT_FALSE(d.ok);
  EXPECT_EQ(d.Out(), kHeading + kResultsQuestion + ResultsTaken("out.csv"));
  const std::string err = d.sc.err.str();
  EXPECT_NE(err.find("vegmatch: TABLOUT.TXT: cannot create the results file"), std::string::npos)
      << err;
  EXPECT_NE(err.find("input ended"), std::string::npos) << err;
  EXPECT_FALSE(d.rs.fpResults);
}

TEST(RunSettingsDialogue, EndOfInputAfterTheResultsFileTakesTheDefaults) {
  TempDir dir;
  Dialogue d("", dir.path());
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.rs.nOutputFormat, 0);
  EXPECT_EQ(d.rs.nInputSource, 0);
  EXPECT_EQ(d.rs.nSpeciesGroupLimit, 10000);
  EXPECT_TRUE(d.rs.fpResults);
  EXPECT_TRUE(d.rs.fpRecordFile);
}

TEST(RunSettingsDialogue, SpeciesGroupAnswers) {
  TempDir dir;
  Dialogue nolich("\n\n\n\n1\n", dir.path());
  ASSERT_TRUE(nolich.ok);
  EXPECT_EQ(nolich.rs.nSpeciesGroupLimit, 4000);
  EXPECT_STREQ(SpeciesGroupLabel(nolich.rs.nSpeciesGroupLimit, LabelForm::kHeader), "Nolich");
  EXPECT_STREQ(SpeciesGroupLabel(nolich.rs.nSpeciesGroupLimit, LabelForm::kCsv), "Nolich");

  // 3 is outside the limits 0 and 2: refused, and RETURN then keeps 0.
  Dialogue refused("\n\n\n\n3\n\n", dir.path());
  ASSERT_TRUE(refused.ok);
  EXPECT_EQ(refused.rs.nSpeciesGroupLimit, 10000);
  const std::string tail = kGroupQuestion + Existing("  0") +
                           " * Inadmissible entry *\n   Limits are      0     2\n" +
                           Existing("  0");
  const std::string out = refused.Out();
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

const std::string kParameterQuestions[2] = {
    "\n\n Set cover-abundance scale for samples\n Possible values of scale parameter are\n"
    "\t1= % cover\n\t2= Braun-Blanquet scale\n\t3= Domin scale\n",
    " Set parameter to determine type of analysis\n"
    " Possible values of analysis parameter are\n"
    "\t1= Mixed composition and cover\n\t2= Species composition only\n"
    "\t3= Species cover only\n\t4= Incomplete species list only\n"
    "\t5= Top few spp, descndng abndnce, no quant\n"};

TEST(ParameterDialogue, AsksScaleThenAnalysisType) {
  RunSettings rs{};
  rs.nCoverScale = 1;
  rs.nAnalysisType = 1;
  ScriptedConsole sc("2\n6\n5\n");
  ParameterDialogue(sc.con, rs);
  EXPECT_EQ(rs.nCoverScale, 2);
  EXPECT_EQ(rs.nAnalysisType, 5);
  EXPECT_EQ(sc.out.str(), kParameterQuestions[0] + Existing("  1") + kParameterQuestions[1] +
                              Existing("  1") +
                              " * Inadmissible entry *\n   Limits are      1     5\n" +
                              Existing("  1"));
}

TEST(ParameterDialogue, ResetShowsAndKeepsTheCurrentValues) {
  RunSettings rs{};
  rs.nCoverScale = 3;
  rs.nAnalysisType = 4;
  ScriptedConsole sc("\n\n");
  ParameterDialogue(sc.con, rs);
  EXPECT_EQ(rs.nCoverScale, 3);
  EXPECT_EQ(rs.nAnalysisType, 4);
  EXPECT_EQ(sc.out.str(),
            kParameterQuestions[0] + Existing("  3") + kParameterQuestions[1] + Existing("  4"));
}

}  // namespace
