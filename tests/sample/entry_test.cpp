// The sample entry loop, run in-process over a scripted console, a small
// hand-made dictionary and record, results and data files in a temporary folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "app/app.h"
#include "sample/sample.h"
#include "support/testkit.h"

namespace {

const char kEndMessage[] =
    "\n\n\n\n*** Program finished  ***\n Press <RETURN> to exit\n\n\n *************************\n";
const char kCsvHeader[] =
    "Sample,Analysis_Type,Fit#,Eunis_Comm,NVC_Comm,Mean_GoF,GoF_1,GoF_2,GoF_3,GoF_4,"
    "NVC_Comm_Name,NVC_Sub_Name,Eunis_Name,Vasc_Param,Cover_Scale,Anal_Param\n";
const std::string kClosing = std::string(22, ' ') + "\n";

// The fixture's dictionary ends with "t001 leaf" .. "t110 leaf".
constexpr int kNumbered = 110;

std::string Pad(const std::string& s, size_t w) {
  return s.size() >= w ? s : s + std::string(w - s.size(), ' ');
}

std::string Numbered(int k) {
  std::string digits = std::to_string(k);
  return "t" + std::string(digits.size() < 3 ? 3 - digits.size() : 0, '0') + digits + " leaf";
}

// The text with every "@" made a NUL byte.
std::string WithNul(std::string text) {
  for (char& c : text) {
    if (c == '@') c = '\0';
  }
  return text;
}

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

size_t Count(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

class EntryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st = NewAppState();
    int row = 0;
    Add(++row, "NEW NAME ", 0);
    Add(++row, "DELETE   ", 0);
    Add(++row, "call vulg", 300);
    Add(++row, "fest ovin", 400);
    Add(++row, "fest rubr", 410);
    Add(++row, "hypn cupr", 3100);
    Add(++row, "poa  annu", 500);
    Add(++row, "quer petr", 600);
    Add(++row, "quer robu", 610);
    Add(++row, "quer sess", 600);  // a synonym of quer petr
    Add(++row, "spha ", 3200);
    for (int k = 1; k <= kNumbered; ++k) Add(++row, Numbered(k).c_str(), 1000 + k);
    Add(++row, "xant pari", 4500);
    st->ref.nSpeciesCount = static_cast<int16_t>(row);
    st->ref.nSpeciesEntries = static_cast<int16_t>(row);
    st->ref.nNextNewSpeciesCode = 9000;

    RunSettings& rs = st->settings;
    rs.nCoverScale = 1;
    rs.nAnalysisType = 1;
    rs.nSpeciesGroupLimit = 10000;
    rs.nFitsToOutput = 5;
    rs.nOutputFormat = 0;
    rs.nSampleCounter = 1;
  }

  void TearDown() override {
    RunSettings& rs = st->settings;
    for (File* f : {&rs.fpResults, &rs.fpDataFile, &rs.fpRecordFile}) f->Close();
  }

  void Add(int row, const char* name, int code) {
    SpeciesEntry& e = st->ref.arrSpecies[row];
    std::snprintf(e.szShortName, sizeof e.szShortName, "%s", name);
    e.nSpeciesCode = static_cast<int16_t>(code);
  }

  void Keyboard() {
    st->settings.nInputSource = 0;
    st->settings.fpRecordFile = File(std::fopen(dir.File("SAMP.txt").c_str(), "w+"));
    st->settings.fpResults = File(std::fopen(dir.File("TABLOUT.TXT").c_str(), "w+"));
    ASSERT_TRUE(st->settings.fpRecordFile);
    ASSERT_TRUE(st->settings.fpResults);
  }

  void DataFile(const std::string& content) {
    dir.Write("DATA.txt", content);
    std::snprintf(st->settings.szDataFileName, sizeof st->settings.szDataFileName, "DATA.txt");
    st->settings.nDataFileLine = 0;
    st->settings.nInputSource = 1;
    st->settings.fpDataFile = File(std::fopen(dir.File("DATA.txt").c_str(), "r"));
    st->settings.fpResults = File(std::fopen(dir.File("TABLOUT.TXT").c_str(), "w+"));
    ASSERT_TRUE(st->settings.fpDataFile);
    ASSERT_TRUE(st->settings.fpResults);
  }

  std::string Record() {
    if (st->settings.fpRecordFile) std::fflush(st->settings.fpRecordFile.get());
    return dir.Read("SAMP.txt");
  }

  std::string Results() {
    if (st->settings.fpResults) std::fflush(st->settings.fpResults.get());
    return dir.Read("TABLOUT.TXT");
  }

  EntryResult Enter(Console& con) { return EnterSample(con, st->ref, st->sample, st->settings); }

  const SampleEntry& Row(int k) const { return st->sample.arrSample[k]; }

  // The rows of the completed sample as "code/index/cover/freq" texts.
  std::string Rows() const {
    std::string s;
    for (int k = 1; k <= st->sample.nSampleEntries; ++k) {
      const SampleEntry& e = Row(k);
      s += std::to_string(e.nSpeciesCode) + "/" + std::to_string(e.nSpeciesIndex) + "/" +
           std::to_string(e.nCover) + "/" + std::to_string(e.nFreq) + " ";
    }
    return s;
  }

  // What the rest of a data file gives: "name: rows | " per sample, in order.
  std::string AllSamples(Console& con) {
    std::string s;
    while (Enter(con) == EntryResult::kSampleReady) {
      s += std::string(st->sample.szSampleName) + ": " + Rows() + "| ";
      ++st->settings.nSampleCounter;
    }
    return s;
  }

  TempDir dir;
  std::unique_ptr<AppState> st;
};

TEST_F(EntryTest, KeyboardSampleWithDuplicateMarkerMenuAndLinesAfterTheRecap) {
  Keyboard();
  ScriptedConsole sc(
      "Plot 7\n"
      "Quercus robur 5\n"
      "Calluna vulgaris 10\n"
      "Quercus robur 7\n"       // replaces the first line
      "*Quercus robur 2.5\n"    // a marked entry of the same species
      "Festuca rubia 4\n"       // not in the dictionary: menu, item 3 is fest rubr
      "3\n"
      "\n"                      // end of the list: recap
      "Poa annua 1\n"           // typed at the confirmation: added to the sample
      "\n"
      "\n",
      dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  const std::string out = sc.out.str();

  EXPECT_STREQ(st->sample.szSampleName, "Plot 7");
  EXPECT_EQ(st->sample.nMaxFreq, 0);
  // Percent 7 and 2.5 (which rounds to 3) merge into 10.
  EXPECT_EQ(Rows(), "610/9/10/1 300/3/10/1 410/5/4/1 500/7/1/1 ");

  EXPECT_EQ(out.find("\n\n\n\n\n\n Now enter sample name (at most 30 characters)\n"
                     " (for frequency data, follow name by * max-freq)\n"),
            0u);
  EXPECT_NE(out.find("\n Sample Plot 7" + std::string(24, ' ') +
                     "       Parameters =   All sp   Cover%   Sp & cov\n"
                     " Now enter species data, ending with blank line\n"),
            std::string::npos);
  EXPECT_NE(out.find("     *** Name not in dictionary ***  fest rubi\n\n"), std::string::npos);
  // The short recap after the menu choice shows every entry so far.
  EXPECT_NE(out.find("\n Type number of choice\n"
                     " quer robu     7\n call vulg    10\n quer robu*    2.5\n fest rubr     4\n"),
            std::string::npos);
  EXPECT_NE(out.find("\n\n\n\n\n\n Recap for sample " + std::string(24, ' ') + "Plot 7\n"),
            std::string::npos);
  EXPECT_NE(out.find("\n\n    Number of entries is     4\n\n Press <RETURN> if complete, or\n"
                     " continue typing to add more data to sample\n"),
            std::string::npos);
  EXPECT_NE(out.find("Number of entries is     5\n"), std::string::npos);
  EXPECT_EQ(Count(out, "Recap for sample"), 2u);
  // Only the line that went through the menu brings a short recap.
  EXPECT_EQ(Count(out, " quer robu     7\n"), 1u);
  EXPECT_TRUE(EndsWith(out, "\n Sample complete;  calculating goodness of fit ...\n"));

  EXPECT_EQ(Record(), Pad("Plot 7", 30) + "     COVR%" +
                          "\n quer robu     7"
                          "\n call vulg    10"
                          "\n quer robu*    2.5"
                          "\n fest rubr     4"
                          "\n poa  annu     1"
                          "\n" +
                          kClosing);
  EXPECT_EQ(Results(), kCsvHeader);
}

TEST_F(EntryTest, BlankFirstSampleIsSkippedAndRecorded) {
  Keyboard();
  ScriptedConsole sc("\n\n\nCalluna vulgaris 5\n\n\n", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_STREQ(st->sample.szSampleName, "SAMPL    2");
  EXPECT_EQ(st->settings.nSampleCounter, 2);
  EXPECT_EQ(Rows(), "300/3/5/1 ");
  EXPECT_EQ(Count(sc.out.str(), "Now enter sample name"), 2u);
  EXPECT_EQ(Count(sc.out.str(), "Recap for sample"), 1u);
  // The skipped sample's blank line stands on its own line, so the record reads
  // back as a skipped sample followed by sample 2.
  EXPECT_EQ(Record(), Pad("SAMPL    1", 30) + "     COVR%\n" + kClosing +
                          Pad("SAMPL    2", 30) + "     COVR%\n call vulg     5\n" + kClosing);

  // The CSV header went out with the first (skipped) sample and never again.
  ++st->settings.nSampleCounter;
  ScriptedConsole next("Plot 9\nPoa annua 2\n\n\n", dir.path());
  ASSERT_EQ(Enter(next.con), EntryResult::kSampleReady);
  EXPECT_EQ(Results(), kCsvHeader);
}

TEST_F(EntryTest, FrequencyDataAndARefusedMaximumFrequency) {
  Keyboard();
  ScriptedConsole sc("Plot F * 101\nPlot F * 10\nQuercus robur 3 25\nPoa annua 10 2.5\n\n\n",
                     dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  const std::string out = sc.out.str();
  EXPECT_EQ(Count(out, "Now enter sample name"), 2u);
  EXPECT_EQ(st->sample.nMaxFreq, 10);
  EXPECT_NE(out.find("\n Sample " + Pad("Plot F", 30) + "* 10   Parameters =   All sp   Cover%"),
            std::string::npos);
  EXPECT_EQ(Rows(), "610/9/25/3 500/7/3/10 ");
  // Only the accepted header is recorded.
  EXPECT_EQ(Record(), Pad("Plot F", 30) + "   * 10 COVR%" +
                          "\n quer robu    3  25\n poa  annu  10   2.5\n" + kClosing);
}

TEST_F(EntryTest, CoverChecksAndBadLines) {
  Keyboard();
  ScriptedConsole sc(
      "Plot 7\n"
      "Quercus robur 150\n"     // above the limit: kept, with a warning
      "Calluna vulgaris -2\n"   // below zero: refused
      "Poa annua\n"             // no cover: bad
      "Poa annua 4000\n"        // tenfold does not fit 16 bits: bad
      "Festuca rubra 100\n"     // at the limit: no warning
      "\n\n",
      dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  const std::string out = sc.out.str();
  EXPECT_NE(out.find(" *** Line accepted, but cover value  150.0 greater than limit  100.0 ***\n"),
            std::string::npos);
  EXPECT_NE(out.find(" *** Line rejected: Cover value   -2.0 less than zero ***\n"),
            std::string::npos);
  EXPECT_NE(out.find("     *** Bad data - ignored ***   " + Pad("Poa annua", 40) + "\n"),
            std::string::npos);
  EXPECT_NE(out.find("     *** Bad data - ignored ***   " + Pad("Poa annua 4000", 40) + "\n"),
            std::string::npos);
  EXPECT_EQ(Count(out, "greater than limit"), 1u);
  EXPECT_EQ(Rows(), "610/9/100/1 410/5/100/1 ");
}

TEST_F(EntryTest, TypedLinesLongerThanTheShortReaderAreParsedWhole) {
  Keyboard();
  // 60 characters: the cover stands far beyond column 39.
  const std::string line = Pad("Quercus robur", 55) + "12 ab";
  ScriptedConsole sc("Plot 7\n" + line + "\n" + Pad("Poa annua 3", 120) + "x 9\n\n\n",
                     dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_EQ(Rows(), "610/9/12/1 500/7/3/1 ");
}

TEST_F(EntryTest, DataFileRunsWithoutQuestionsAndEndsAfterItsLastSample) {
  st->settings.nOutputFormat = 1;
  DataFile(
      "\n\nPlot A\n"
      "Quercus petraea 5\n"
      "Quercus sessiliflora 3\n"
      "Unknown plant 4\n"
      "Quercus robur x7 8\n"   // a third word is read as the cover
      "Calluna vulgaris\n"    // no cover: bad
      "\n"
      "Plot B\n"
      "Unknown plant 2\n"
      "Festuca ovina 1");       // the last line has no line end, and no blank follows
  ScriptedConsole sc("", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_STREQ(st->sample.szSampleName, "Plot A");
  // The synonyms merge into the later row; the new species gets 9001.
  EXPECT_EQ(Rows(), "600/10/8/1 9001/123/4/1 610/9/0/1 ");
  EXPECT_EQ(st->settings.nSampleCounter, 1);

  ++st->settings.nSampleCounter;
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_STREQ(st->sample.szSampleName, "Plot B");
  EXPECT_EQ(Rows(), "9001/123/2/1 400/4/1/1 ");
  EXPECT_EQ(st->settings.nSampleCounter, 100001);

  ++st->settings.nSampleCounter;
  ASSERT_EQ(Enter(sc.con), EntryResult::kRunEnded);
  // The run sequence closes the files.
  EXPECT_TRUE(st->settings.fpDataFile);
  EXPECT_TRUE(st->settings.fpResults);
  const std::string out = sc.out.str();
  EXPECT_TRUE(EndsWith(out, kEndMessage));
  EXPECT_EQ(out.find("Now enter"), std::string::npos);
  EXPECT_EQ(out.find("Recap"), std::string::npos);
  EXPECT_EQ(sc.err.str(), "");

  const std::string header = "   All sp   Cover%   Sp & cov\n";
  const std::string unknown = "      *** Name not in dictionary ***  unkn plan\n";
  const std::string bad = "     *** Bad data - ignored ***   " + Pad("Calluna vulgaris", 40) + "\n";
  EXPECT_EQ(Results(), "\n Sample " + Pad("Plot A", 30) + "       Parameters =" + header + unknown +
                           bad + "\n Sample " + Pad("Plot B", 30) +
                           "       Parameters =" + header);
  // The second sample found the new species without a second message.
  EXPECT_EQ(Count(out, "Name not in dictionary"), 1u);
}

TEST_F(EntryTest, DataFileEndingRightAfterAHeader) {
  DataFile("Plot A\nPoa annua 5\n\nPlot B\n");
  ScriptedConsole sc("", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_EQ(Results(), kCsvHeader);  // CSV format, first sample
  ++st->settings.nSampleCounter;
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_STREQ(st->sample.szSampleName, "Plot B");
  EXPECT_EQ(st->sample.nSampleEntries, 0);
  EXPECT_EQ(st->settings.nSampleCounter, 100001);
  ++st->settings.nSampleCounter;
  EXPECT_EQ(Enter(sc.con), EntryResult::kRunEnded);
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), kCsvHeader);
}

TEST_F(EntryTest, TopFewAnalysisGivesFixedCoversAndSwitchesToPercent) {
  st->settings.nAnalysisType = 5;
  st->settings.nCoverScale = 3;
  st->settings.nOutputFormat = 1;
  DataFile(
      "Plot A\nt001 leaf 9\nt002 leaf 1\nt003 leaf 10\nt004 leaf 2\n"
      "t005 leaf 3\nt006 leaf 4\nt007 leaf 5\nt008 leaf 6\n\n"
      "Plot B\nt001 leaf 9\n\n");
  ScriptedConsole sc("", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  std::string covers;
  for (int k = 1; k <= st->sample.nSampleEntries; ++k) covers += std::to_string(Row(k).nCover) + " ";
  EXPECT_EQ(covers, "60 50 40 30 20 10 0 0 ");
  EXPECT_EQ(st->settings.nCoverScale, 1);

  ++st->settings.nSampleCounter;
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_EQ(Rows(), "1001/12/60/1 ");
  const std::string results = Results();
  EXPECT_NE(results.find(Pad("Plot A", 30) + "       Parameters =   All sp    Domin   Top few \n"),
            std::string::npos);
  EXPECT_NE(results.find(Pad("Plot B", 30) + "       Parameters =   All sp   Cover%   Top few \n"),
            std::string::npos);
}

TEST_F(EntryTest, KeyboardTopFewRecordsTheReplacedCovers) {
  st->settings.nAnalysisType = 5;
  Keyboard();
  ScriptedConsole sc("P\nt001 leaf 1\nt002 leaf 1\n\n\n", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_EQ(Rows(), "1001/12/60/1 1002/13/50/1 ");
  EXPECT_EQ(Record(), Pad("P", 30) + "     COVR%\n t001 leaf    60\n t002 leaf    50\n" + kClosing);
}

TEST_F(EntryTest, TheThreeHundredAndFirstEntryIsRefused) {
  Keyboard();
  std::string script = "Full\n";
  std::string record = Pad("Full", 30) + "     COVR%";
  for (int n = 0; n < kSampleCapacity; ++n) {
    int k = n / 3 + 1;
    std::string marks(static_cast<size_t>(n % 3), '*');
    script += marks + Numbered(k) + " 1\n";
    record += "\n " + Numbered(k) + Pad(marks, 2) + "   1";
  }
  script += Numbered(101) + " 1\n";  // a 301st species
  script += "Zzzz new 1\n";          // a name not in the dictionary: no menu
  script += Numbered(1) + " 2\n";    // a duplicate still replaces its entry
  script += "\n" + std::string(6, '\n') + "\n";  // the recap pauses after every 45
  ScriptedConsole sc(script, dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  const std::string out = sc.out.str();
  EXPECT_EQ(Count(out, " *** Sample is full (300 entries) - line ignored ***\n"), 2u);
  EXPECT_EQ(out.find("Name not in dictionary"), std::string::npos);
  EXPECT_EQ(st->ref.nSpeciesEntries, st->ref.nSpeciesCount);
  EXPECT_NE(out.find("Number of entries is   300\n"), std::string::npos);
  EXPECT_EQ(Count(out, "Press <RETURN> for next screen of data"), 6u);
  EXPECT_TRUE(EndsWith(out, "calculating goodness of fit ...\n"));
  // Marked and plain entries merge at completion: one row per species.
  EXPECT_EQ(st->sample.nSampleEntries, 100);
  EXPECT_EQ(Row(1).nCover, 4);  // 2 + 1 + 1
  record.replace(record.find("   1"), 4, "   2");
  EXPECT_EQ(Record(), record + "\n" + kClosing);
}

TEST_F(EntryTest, EndOfConsoleInputEndsTheRunWherever) {
  struct Case {
    const char* name;
    const char* script;
    bool recapShown;
  };
  const Case cases[] = {
      {"at the name prompt", "", false},
      {"after a refused maximum frequency", "Plot * 200\n", false},
      {"in the species lines", "Plot 7\nQuercus robur 5\n", false},
      {"at the name menu", "Plot 7\nQuercus robur 5\nFestuca rubia 4\n", false},
      {"at the confirmation", "Plot 7\nQuercus robur 5\n\n", true},
      {"after a line typed at the confirmation", "Plot 7\nQuercus robur 5\n\nPoa annua 2\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    Keyboard();
    ScriptedConsole sc(c.script, dir.path());
    EXPECT_EQ(Enter(sc.con), EntryResult::kRunEnded);
    const std::string out = sc.out.str();
    EXPECT_TRUE(EndsWith(out, kEndMessage));
    EXPECT_EQ(out.find("calculating goodness of fit"), std::string::npos);
    EXPECT_EQ(out.find("Recap for sample") != std::string::npos, c.recapShown);
    if (std::string(c.script).find("rubia") != std::string::npos) {
      // The unanswered menu ends the run at once, without a recap of the lines so far.
      EXPECT_TRUE(EndsWith(out, std::string("\n Type number of choice\n") + kEndMessage));
    }
    // The run sequence closes the files; what was written stays.
    EXPECT_TRUE(st->settings.fpRecordFile);
    const std::string header = std::string(c.script).rfind("Plot 7", 0) == 0
                                   ? Pad("Plot 7", 30) + "     COVR%"
                                   : std::string();
    EXPECT_EQ(Record(), header);
  }
}

TEST_F(EntryTest, DeleteAsTheLastAnswerOfTheInputShowsTheShortRecap) {
  // DELETE drops the line whether or not its answer ends the input; only a menu
  // left without any answer ends the run at once.
  struct Case {
    const char* answer;
    bool recap;
  };
  const Case cases[] = {{"2", true}, {"0", true}, {" ", true}, {"2\n", true}, {"", false}};
  const std::string recap = " quer robu     5\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("answer \"") + c.answer + "\"");
    TearDown();
    SetUp();
    Keyboard();
    ScriptedConsole sc(std::string("Plot 7\nQuercus robur 5\nFestuca rubia 4\n") + c.answer,
                       dir.path());
    EXPECT_EQ(Enter(sc.con), EntryResult::kRunEnded);
    const std::string menuEnd = "\n Type number of choice\n";
    EXPECT_TRUE(EndsWith(sc.out.str(), menuEnd + (c.recap ? recap : "") + kEndMessage));
    EXPECT_EQ(st->ref.nSpeciesEntries, st->ref.nSpeciesCount);  // no new species
  }
}

TEST_F(EntryTest, DamagedDataFilesAreReadRightOrRefusedAloud) {
  const std::string kSamples = "Plot A: 610/9/5/1 300/3/3/1 | Plot B: 500/7/2/1 | ";
  const std::string exact = Pad("Quercus robur", 78) + "5";
  struct Case {
    const char* name;
    std::string content;
    std::string samples;
    std::string err;
    size_t badLines;  // "Bad data - ignored" on the screen
  };
  const Case cases[] = {
      {"a NUL byte in a species line", WithNul("Plot A\nQuercus robur 5\nCalluna@ vulgaris 3\n\nPlot B\nPoa annua 2\n"),
       "Plot A: 610/9/5/1 | Plot B: 500/7/2/1 | ",
       "vegmatch: DATA.txt:3: the line holds a NUL byte; it is refused\n", 1},
      {"a line of a NUL byte alone stays in its sample",
       WithNul("Plot A\nQuercus robur 5\n@\nCalluna vulgaris 3\n\nPlot B\nPoa annua 2\n"),
       kSamples, "vegmatch: DATA.txt:3: the line holds a NUL byte; it is refused\n", 1},
      {"a NUL byte before a header",
       WithNul("Plot A\nQuercus robur 5\nCalluna vulgaris 3\n\n@\nPlot B\nPoa annua 2\n"),
       kSamples, "vegmatch: DATA.txt:5: the line holds a NUL byte; it is refused\n", 0},
      {"lines are counted past a line of 79 characters",
       "Plot A\n" + exact + "\r\n" + WithNul("Calluna vulgaris 3\n@\nPlot B\nPoa annua 2\n"),
       "Plot A: 610/9/5/1 300/3/3/1 500/7/2/1 | ",
       "vegmatch: DATA.txt:4: the line holds a NUL byte; it is refused\n", 2},
      {"lone carriage returns end lines",
       "Plot A\rQuercus robur 5\rCalluna vulgaris 3\r\rPlot B\rPoa annua 2\r", kSamples, "", 0},
      {"a byte-order mark",
       "\xEF\xBB\xBFPlot A\nQuercus robur 5\nCalluna vulgaris 3\n\nPlot B\nPoa annua 2\n",
       kSamples, "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    DataFile(c.content);
    ScriptedConsole sc("", dir.path());
    EXPECT_EQ(AllSamples(sc.con), c.samples);
    EXPECT_EQ(sc.err.str(), c.err);
    EXPECT_EQ(Count(sc.out.str(), "*** Bad data - ignored ***"), c.badLines);
    EXPECT_EQ(sc.out.str().find('\r'), std::string::npos);
  }
}

TEST_F(EntryTest, DataFileLinesOfSeventyNineCharacters) {
  // Exactly 79 characters, the cover in the last column: read whole with its
  // line end, so the sample goes on. Then a longer line, whose rest past 79
  // characters is read as a line of its own.
  const std::string exact = Pad("Quercus robur", 78) + "5";
  const std::string longer = Pad("Poa annua 3", 79) + "Festuca ovina 2";
  ASSERT_EQ(exact.size(), 79u);
  for (const char* eol : {"\n", "\r\n"}) {
    SCOPED_TRACE(eol[0] == '\r' ? "CRLF" : "LF");
    TearDown();
    SetUp();
    const std::string e = eol;
    DataFile("Plot A" + e + exact + e + "Calluna vulgaris 3" + e + longer + e + e + "Plot B" + e +
             exact + e + e);
    ScriptedConsole sc("", dir.path());
    ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
    EXPECT_STREQ(st->sample.szSampleName, "Plot A");
    EXPECT_EQ(Rows(), "610/9/5/1 300/3/3/1 500/7/3/1 400/4/2/1 ");
    ++st->settings.nSampleCounter;
    ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
    EXPECT_STREQ(st->sample.szSampleName, "Plot B");
    EXPECT_EQ(Rows(), "610/9/5/1 ");
    EXPECT_LT(st->settings.nSampleCounter, 100000);  // the blank line ended it, not the file
  }
}

TEST_F(EntryTest, CrlfDataFileReadsLikeLf) {
  DataFile("\r\nPlot A\r\nQuercus robur 5\r\n*Poa annua 2.5\r\n\r\nPlot B * 10\r\nPoa annua 4 20\r\n\r\n");
  ScriptedConsole sc("", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_STREQ(st->sample.szSampleName, "Plot A");
  EXPECT_EQ(Rows(), "610/9/5/1 500/7/3/1 ");
  ++st->settings.nSampleCounter;
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_STREQ(st->sample.szSampleName, "Plot B");
  EXPECT_EQ(st->sample.nMaxFreq, 10);
  EXPECT_EQ(Rows(), "500/7/20/4 ");
  ++st->settings.nSampleCounter;
  EXPECT_EQ(Enter(sc.con), EntryResult::kRunEnded);
}

TEST_F(EntryTest, RecordOfATypedSampleReadsBackAsTheSameSample) {
  Keyboard();
  ScriptedConsole typed("Plot 7 * 20\nQuercus robur 3 25\n**Poa annua 12 2.5\nSphagnum 5 7\n\n\n",
                        dir.path());
  ASSERT_EQ(Enter(typed.con), EntryResult::kSampleReady);
  const std::string rows = Rows();
  ASSERT_TRUE(st->settings.fpRecordFile.Close());
  const std::string record = dir.Read("SAMP.txt");

  ASSERT_TRUE(st->settings.fpResults.Close());
  st->settings.nSampleCounter = 2;
  DataFile(record);
  ScriptedConsole sc("", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_STREQ(st->sample.szSampleName, "Plot 7");
  EXPECT_EQ(st->sample.nMaxFreq, 20);
  EXPECT_EQ(Rows(), rows);
  EXPECT_EQ(rows, "610/9/25/3 500/7/3/12 3200/11/7/5 ");
  ++st->settings.nSampleCounter;
  EXPECT_EQ(Enter(sc.con), EntryResult::kRunEnded);
}

TEST_F(EntryTest, ADataFileBeyondTheSampleLimitSaysWhatWasLeftUnread) {
  DataFile("Plot A\nPoa annua 5\n\n\nPlot B\nPoa annua 5\n\n");
  st->settings.nSampleCounter = 100000;
  ScriptedConsole sc("", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  ++st->settings.nSampleCounter;
  EXPECT_EQ(Enter(sc.con), EntryResult::kRunEnded);
  EXPECT_TRUE(EndsWith(sc.out.str(), kEndMessage));
  const std::string err = sc.err.str();
  EXPECT_NE(err.find("100000 samples read"), std::string::npos);
  EXPECT_NE(err.find("not processed"), std::string::npos);
  EXPECT_TRUE(st->settings.fpDataFile);  // for the run sequence to close
}

// ---- the cover-scale tag of a header ----------------------------------------------

// "Plot 7" in the 30 name columns, followed by the rest as given.
std::string Plot7(const std::string& rest) { return Pad("Plot 7", 30) + rest; }

// What the console has not read yet.
std::string Unread(ScriptedConsole& sc) {
  return sc.in.good() ? std::string(std::istreambuf_iterator<char>(sc.in), {}) : std::string();
}

TEST_F(EntryTest, MismatchedTagAsksAndRunsTheParameterDialogue) {
  // Recorded on Domin, typed with percent cover set; the user sets Domin (3)
  // and keeps the analysis type.
  Keyboard();
  const std::string line = Plot7("     DOMIN");
  ScriptedConsole sc(line + "\n" + "\n3\n\n" + "Quercus robur 5\n\n\n", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  const std::string out = sc.out.str();
  const std::string question =
      "\n Cover scale is set to COVR% but input data are DOMIN\n"
      " Press <RETURN> to continue\n";
  const size_t asked = out.find(question);
  ASSERT_NE(asked, std::string::npos) << out;
  // The parameter dialogue follows at once, before the sample is shown.
  const std::string dialogue = "\n\n Set cover-abundance scale for samples";
  EXPECT_EQ(out.compare(asked + question.size(), dialogue.size(), dialogue), 0) << out;
  EXPECT_LT(asked, out.find("\n Sample Plot 7"));
  EXPECT_EQ(st->settings.nCoverScale, 3);
  EXPECT_EQ(st->settings.nAnalysisType, 1);
  // The sample is shown, completed and recorded on the scale now set.
  EXPECT_NE(out.find("\n Sample " + Pad("Plot 7", 30) +
                     "       Parameters =   All sp    Domin   Sp & cov\n"),
            std::string::npos);
  EXPECT_EQ(Rows(), "610/9/16/1 ");  // Domin 5 is 16 percent
  EXPECT_EQ(Record(), Plot7("     DOMIN") + "\n quer robu     5\n" + kClosing);
}

TEST_F(EntryTest, MismatchedTagInFrequencyHeaderOfDataFile) {
  DataFile(Plot7("   * 10 BR-BL") + "\nQuercus robur 3 2\n\n");
  ScriptedConsole sc("\n2\n\n", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_EQ(st->sample.nMaxFreq, 10);
  EXPECT_NE(sc.out.str().find("\n Cover scale is set to COVR% but input data are BR-BL\n"),
            std::string::npos);
  EXPECT_EQ(st->settings.nCoverScale, 2);
}

TEST_F(EntryTest, TagCheckLeavesOtherHeadersAlone) {
  const std::string input = "\n3\n\n";
  // The tag of the setting; then anything but an exact tag, or a tag in the
  // other kind's columns.
  for (const std::string& line : {Plot7("     COVR%"),
                                  Plot7("     domin"),
                                  Plot7("     DOMIX"),
                                  Plot7("      DOMIN"),
                                  Plot7("     DOMI"),
                                  Plot7("   * 10  DOMIN"),
                                  "Plot 7 * 10" + std::string(24, ' ') + "DOMIN"}) {
    SCOPED_TRACE(line);
    TearDown();
    SetUp();
    DataFile(line + "\n");
    ScriptedConsole sc(input, dir.path());
    ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
    // Nothing is said before the sample is shown, and nothing is asked.
    EXPECT_EQ(sc.out.str().rfind("\n Sample Plot 7 ", 0), 0u) << sc.out.str();
    EXPECT_EQ(sc.out.str().find("Cover scale is set to"), std::string::npos);
    EXPECT_EQ(Unread(sc), input);
    EXPECT_EQ(st->settings.nCoverScale, 1);
  }
  // A refused maximum frequency is not checked.
  TearDown();
  SetUp();
  DataFile(Plot7("   *200 DOMIN") + "\n");
  ScriptedConsole sc(input, dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_EQ(sc.out.str().rfind(" *** Maximum frequency may not be lower than 0 or exceed 100 ***\n"
                               " Sample Plot 7 ",
                               0),
            0u)
      << sc.out.str();
  EXPECT_EQ(st->sample.nMaxFreq, 0);  // taken as cover data
  EXPECT_EQ(Unread(sc), input);
  EXPECT_EQ(st->settings.nCoverScale, 1);
}

TEST_F(EntryTest, DataFileHeadersAreNotRecorded) {
  DataFile("Plot 7\nQuercus robur 5\n\n");
  st->settings.fpRecordFile = File(std::fopen(dir.File("SAMP.txt").c_str(), "w+"));
  ASSERT_TRUE(st->settings.fpRecordFile);
  ScriptedConsole sc("", dir.path());
  ASSERT_EQ(Enter(sc.con), EntryResult::kSampleReady);
  EXPECT_EQ(Rows(), "610/9/5/1 ");
  EXPECT_EQ(Record(), "");
}

}  // namespace
