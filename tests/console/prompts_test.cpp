// The console prompts: answer lines, the integer prompt, free file names, the
// run's files, labels.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "console/console.h"
#include "support/testkit.h"

namespace {

std::string Existing(const std::string& shown) {
  return "\n Existing value is " + shown + ".\n Press <RETURN> to retain it, or type new value\n";
}

std::string Limits(const std::string& columns) {
  return " * Inadmissible entry *\n   Limits are " + columns + "\n";
}

int16_t Prompt(const std::string& input, int16_t value, int16_t lo, int16_t hi,
               std::string* out = nullptr) {
  ScriptedConsole sc(input);
  PromptInteger(sc.con, value, lo, hi);
  if (out != nullptr) *out = sc.out.str();
  return value;
}

TEST(ReadAnswerLine, OverLongLineIsCutAndItsRestDiscarded) {
  ScriptedConsole sc("abcdefgh\nxy\r\n");
  char buf[5];
  EXPECT_TRUE(ReadAnswerLine(sc.con, buf, sizeof buf));
  EXPECT_STREQ(buf, "abcd");
  EXPECT_TRUE(ReadAnswerLine(sc.con, buf, sizeof buf));
  EXPECT_STREQ(buf, "xy");  // the carriage return belongs to the line end
  // At the end of the input the answer is empty, like a bare RETURN.
  EXPECT_FALSE(ReadAnswerLine(sc.con, buf, sizeof buf));
  EXPECT_STREQ(buf, "");
}

TEST(PromptInteger, ReturnRetainsAndAnAdmissibleAnswerIsTaken) {
  std::string out;
  EXPECT_EQ(Prompt("\n", 1, 1, 3, &out), 1);
  EXPECT_EQ(out, Existing("  1"));
  EXPECT_EQ(Prompt("2\n", 1, 1, 3), 2);
  // An existing value outside the limits is kept on RETURN.
  EXPECT_EQ(Prompt("\n", 7, 1, 3), 7);
  // End of input is taken as RETURN, never as a reason to ask again.
  EXPECT_EQ(Prompt("", 1, 1, 3, &out), 1);
  EXPECT_EQ(out, Existing("  1"));
}

TEST(PromptInteger, RefusedAnswersShowTheLimitsAndAskAgain) {
  std::string out;
  EXPECT_EQ(Prompt("4\nabc\n-2\n3\n", 1, 1, 3, &out), 3);
  std::string again = Limits("     1     3") + Existing("  1");
  EXPECT_EQ(out, Existing("  1") + again + again + again);

  // With limits 0 and 1, x has no digit, while x1 reads as 0 and is taken.
  EXPECT_EQ(Prompt("x\n\n", 1, 0, 1, &out), 1);
  EXPECT_EQ(out, Existing("  1") + Limits("     0     1") + Existing("  1"));
  EXPECT_EQ(Prompt("x1\n", 1, 0, 1), 0);
}

TEST(PromptInteger, NumberIsReadFromTheStartOfTheAnswer) {
  EXPECT_EQ(Prompt("5 word\n", 1, 1, 99), 5);
  EXPECT_EQ(Prompt("3.7\n", 1, 1, 99), 3);
  // The existing value is shown right-aligned three wide.
  std::string out;
  Prompt("\n", 5, 1, 99, &out);
  EXPECT_EQ(out, "\n Existing value is   5.\n Press <RETURN> to retain it, or type new value\n");
}

TEST(PromptInteger, HugeAnswersNeverWrapIntoTheLimits) {
  // 70000 and 65537 would become 4464 and 1 if cut to 16 bits.
  std::string out;
  EXPECT_EQ(Prompt("70000\n\n", 7, 0, 5000, &out), 7);
  EXPECT_EQ(out, Existing("  7") + Limits("     0  5000") + Existing("  7"));
  EXPECT_EQ(Prompt("65537\n2\n", 3, 1, 3), 2);
  EXPECT_EQ(Prompt("99999999999999999999999\n\n", 3, 1, 3), 3);
  EXPECT_EQ(Prompt("-65535\n\n", 3, 1, 3), 3);
}

TEST(PromptInteger, RestOfAnOverLongAnswerIsNeverTheNextAnswer) {
  // 79 characters fit the answer buffer; the "2" behind them must be discarded.
  std::string out;
  EXPECT_EQ(Prompt(std::string(79, 'x') + "2\n\n", 1, 1, 3, &out), 1);
  EXPECT_EQ(out, Existing("  1") + Limits("     1     3") + Existing("  1"));
  // Cut to its first 79 characters, a long answer still gives its leading number.
  EXPECT_EQ(Prompt("3" + std::string(100, ' ') + "9\n", 1, 1, 3), 3);
}

TEST(OpenNextFreeFile, FreeNameIsUsedUnchanged) {
  TempDir dir;
  ScriptedConsole sc("", dir.path());
  char name[50] = "TABLOUT.TXT";
  File file = OpenNextFreeFile(sc.con, name, sizeof name);
  ASSERT_TRUE(file);
  EXPECT_STREQ(name, "TABLOUT.TXT");
  // Opened for update: what is written can be read back.
  std::FILE* fp = file.get();
  std::fputs("hello\n", fp);
  std::rewind(fp);
  char back[10] = "";
  ASSERT_NE(std::fgets(back, sizeof back, fp), nullptr);
  EXPECT_STREQ(back, "hello\n");
  EXPECT_TRUE(file.Close());
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), "hello\n");
}

TEST(OpenNextFreeFile, TakenNamesMoveOnToTheFirstFreeNumber) {
  TempDir dir;
  dir.Write("TABLOUT.TXT", "old results");
  dir.Write("SAMP.txt", "old record");
  dir.Write("SAMP1.txt", "older record");
  ScriptedConsole sc("", dir.path());

  char results[50] = "TABLOUT.TXT";
  File fp = OpenNextFreeFile(sc.con, results, sizeof results);
  ASSERT_TRUE(fp);
  fp.Close();
  EXPECT_STREQ(results, "TABLOUT1.TXT");

  char record[50] = "SAMP.txt";
  fp = OpenNextFreeFile(sc.con, record, sizeof record);
  ASSERT_TRUE(fp);
  fp.Close();
  EXPECT_STREQ(record, "SAMP2.txt");

  // The taken files are left as they were.
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), "old results");
  EXPECT_EQ(dir.Read("SAMP.txt"), "old record");
  EXPECT_EQ(dir.Read("SAMP1.txt"), "older record");
  EXPECT_TRUE(dir.Exists("TABLOUT1.TXT"));
  EXPECT_TRUE(dir.Exists("SAMP2.txt"));
}

TEST(OpenNextFreeFile, NothingIsOpenWhenNoNameCanBeCreated) {
  TempDir dir;
  // A folder that does not exist: nothing can be created in it.
  ScriptedConsole sc("", dir.path() + "/missing");
  char name[50] = "TABLOUT.TXT";
  EXPECT_FALSE(OpenNextFreeFile(sc.con, name, sizeof name));

  // A taken name whose numbered variants no longer fit the buffer ends the search.
  TempDir full;
  full.Write("ABCDEFGH.TXT", "x");
  ScriptedConsole sc2("", full.path());
  char tight[13] = "ABCDEFGH.TXT";
  EXPECT_FALSE(OpenNextFreeFile(sc2.con, tight, sizeof tight));
  EXPECT_FALSE(sc2.err.str().empty());
  EXPECT_EQ(full.Read("ABCDEFGH.TXT"), "x");
}

TEST(RunFiles, AFailedWriteIsReportedOncePerFile) {
  TempDir dir;
  dir.Write("results.csv", "");
  dir.Write("record.txt", "");
  ScriptedConsole sc("", dir.path());
  RunSettings rs{};
  // Files opened for reading only: every write to them fails.
  rs.fpResults = File(std::fopen(dir.File("results.csv").c_str(), "r"));
  rs.fpRecordFile = File(std::fopen(dir.File("record.txt").c_str(), "r"));
  ASSERT_TRUE(rs.fpResults);
  ASSERT_TRUE(rs.fpRecordFile);

  CheckRunFileWrites(sc.con, rs);
  EXPECT_EQ(sc.err.str(), "");
  FileSay(rs.fpResults.get(), "line\n");
  CheckRunFileWrites(sc.con, rs);
  CheckRunFileWrites(sc.con, rs);
  EXPECT_EQ(sc.err.str(), "vegmatch: error writing the results file\n");

  // At the close the results file is not reported again; the record file, whose
  // failure nobody had checked yet, is.
  FileSay(rs.fpRecordFile.get(), "line\n");
  CloseRunFiles(sc.con, rs);
  EXPECT_EQ(sc.err.str(),
            "vegmatch: error writing the results file\n"
            "vegmatch: error writing or closing the record file\n");
  EXPECT_FALSE(rs.fpResults);
  EXPECT_FALSE(rs.fpRecordFile);
}

TEST(SettingLabels, FormsThatDifferFromTheirNeighbours) {
  EXPECT_STREQ(AnalysisTypeLabel(5, LabelForm::kHeader), "Top few ");
  EXPECT_STREQ(AnalysisTypeLabel(5, LabelForm::kCsv), "Top_few");
  EXPECT_STREQ(AnalysisTypeLabel(1, LabelForm::kCsv), "Sp_&_cov");
  EXPECT_STREQ(SpeciesGroupLabel(10000, LabelForm::kHeader), "All sp");
  EXPECT_STREQ(SpeciesGroupLabel(10000, LabelForm::kCsv), "All_sp");
  EXPECT_STREQ(SpeciesGroupLabel(3000, LabelForm::kCsv), "Nobryo");
  EXPECT_STREQ(CoverScaleLabel(2), "Br-Bla");
}

TEST(ShowEndMessage, PrintsTheMessageAndWaitsForOneLine) {
  ScriptedConsole sc("any answer\nnext\n");
  ShowEndMessage(sc.con);
  EXPECT_EQ(sc.out.str(),
            "\n\n\n\n*** Program finished  ***\n Press <RETURN> to exit\n\n\n *************************\n");
  std::string rest;
  std::getline(sc.in, rest);
  EXPECT_EQ(rest, "next");
}

}  // namespace
