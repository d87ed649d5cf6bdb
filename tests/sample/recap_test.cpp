// The short and full recaps and the record of a typed sample, byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "sample/sample.h"
#include "support/testkit.h"

namespace {

std::string RJust(const std::string& s, size_t w) {
  return s.size() >= w ? s : std::string(w - s.size(), ' ') + s;
}

// "spNN leaf": a nine-character short name for numbered test species.
std::string Numbered(int k) { return std::string("sp") + (k < 10 ? "0" : "") + std::to_string(k) + " leaf"; }

// Text of numbered entry k with a whole cover k and no marker: blank, name in 9,
// empty marker in 2, cover right-aligned in 4.
std::string Cell(int k) { return " " + Numbered(k) + "  " + RJust(std::to_string(k), 4); }

class RecapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st = NewAppState();
    st->settings.nInputSource = 0;
  }

  void Put(int k, const char* shortName, int code, int cover, int freq = 1) {
    std::snprintf(st->ref.arrSpecies[k + 2].szShortName, 10, "%s", shortName);
    // Rows 3.. stand for the dictionary the loaders would have read.
    if (st->ref.nSpeciesCount < k + 2) {
      st->ref.nSpeciesCount = static_cast<int16_t>(k + 2);
      st->ref.nSpeciesEntries = st->ref.nSpeciesCount;
    }
    SampleEntry& e = st->sample.arrSample[k];
    e.nSpeciesIndex = static_cast<int16_t>(k + 2);
    e.nSpeciesCode = static_cast<int16_t>(code);
    e.nCover = static_cast<int16_t>(cover);
    e.nFreq = static_cast<int16_t>(freq);
  }

  void PutNumbered(int n) {
    for (int k = 1; k <= n; ++k) Put(k, Numbered(k).c_str(), 100 + k, 10 * k);
  }

  // A record of rows 1..n written to a fresh record file, as read back.
  std::string Record(int n) {
    TempDir dir;
    st->settings.fpRecordFile = File(std::fopen(dir.File("SAMP.txt").c_str(), "w+"));
    EXPECT_TRUE(st->settings.fpRecordFile);
    ScriptedConsole sc("");
    ShowSampleEntries(sc.con, RecapMode::kRecord, n, st->ref, st->sample, st->settings);
    EXPECT_TRUE(st->settings.fpRecordFile.Close());
    EXPECT_EQ(sc.out.str(), "");
    return dir.Read("SAMP.txt");
  }

  std::unique_ptr<AppState> st;
};

// A grid line of the full recap: three cells right-aligned in 21, each followed
// by the given gap (4 blanks on the last screen, 3 before a pause).
std::string GridLine(const std::string& a, const std::string& b, const std::string& c,
                     const std::string& gap) {
  return RJust(a, 21) + gap + RJust(b, 21) + gap + RJust(c, 21) + gap + "\n";
}

TEST_F(RecapTest, EntryFormsForMarkersCoversAndFrequencies) {
  Put(1, "quer robu", 120, 50);
  Put(2, "poa  annu", 10130, 25);
  Put(3, "call vulg", 20140, 0);
  Put(4, "spha ", 30150, 1234);
  ScriptedConsole sc("");
  ShowSampleEntries(sc.con, RecapMode::kShort, 4, st->ref, st->sample, st->settings);
  EXPECT_EQ(sc.out.str(),
            " quer robu     5\n"
            " poa  annu*    2.5\n"
            " call vulg**   0\n"
            " spha     ** 123.4\n");
  EXPECT_EQ(Record(4),
            "\n quer robu     5"
            "\n poa  annu*    2.5"
            "\n call vulg**   0"
            "\n spha     ** 123.4"
            "\n");

  // Frequency data: 3 columns of frequency before a whole cover, 2 before a decimal.
  st->sample.nMaxFreq = 10;
  Put(1, "quer robu", 120, 250, 3);
  Put(2, "quer robu", 10120, 25, 3);
  Put(3, "fest rubr", 300, 0, 10);
  ScriptedConsole freq("");
  ShowSampleEntries(freq.con, RecapMode::kShort, 3, st->ref, st->sample, st->settings);
  EXPECT_EQ(freq.out.str(),
            " quer robu    3  25\n"
            " quer robu*  3   2.5\n"
            " fest rubr   10   0\n");
  EXPECT_EQ(Record(3), "\n quer robu    3  25\n quer robu*  3   2.5\n fest rubr   10   0\n");
}

TEST_F(RecapTest, ShortRecapShowsTheLastTenEntries) {
  PutNumbered(14);
  ScriptedConsole sc("");
  ShowSampleEntries(sc.con, RecapMode::kShort, 14, st->ref, st->sample, st->settings);
  std::string want;
  for (int k = 5; k <= 14; ++k) want += Cell(k) + "\n";
  EXPECT_EQ(sc.out.str(), want);
  EXPECT_NE(sc.out.str().find(" sp05 leaf     5\n sp06 leaf     6\n"), std::string::npos);

  ScriptedConsole three("");
  ShowSampleEntries(three.con, RecapMode::kShort, 3, st->ref, st->sample, st->settings);
  EXPECT_EQ(three.out.str(), Cell(1) + "\n" + Cell(2) + "\n" + Cell(3) + "\n");
}

TEST_F(RecapTest, FullRecapOfTwentyFillsColumnsTopDown) {
  PutNumbered(20);
  ScriptedConsole sc("x");
  ShowSampleEntries(sc.con, RecapMode::kFull, 20, st->ref, st->sample, st->settings);
  const std::string gap = "    ";
  std::string want = "\n";
  for (int l = 1; l <= 15; ++l) want += GridLine(Cell(l), l <= 5 ? Cell(l + 15) : "", "", gap);
  EXPECT_EQ(sc.out.str(), want);
  // The first line spelled out: 5 blanks pad each 16-character cell to 21.
  EXPECT_EQ(sc.out.str().substr(0, 77),
            "\n      sp01 leaf     1          sp16 leaf    16    " + std::string(21 + 4, ' ') + "\n");
  EXPECT_EQ(sc.in.get(), 'x');  // no pause on a single screen
}

TEST_F(RecapTest, FullRecapOfFiftyPausesAfterTheFirstScreen) {
  PutNumbered(50);
  ScriptedConsole sc("\nrest");
  ShowSampleEntries(sc.con, RecapMode::kFull, 50, st->ref, st->sample, st->settings);
  std::string want = "\n";
  for (int l = 1; l <= 15; ++l) want += GridLine(Cell(l), Cell(l + 15), Cell(l + 30), "   ");
  want += " Press <RETURN> for next screen of data";
  want += "\n";
  for (int l = 1; l <= 5; ++l) want += GridLine(Cell(45 + l), "", "", "    ");
  EXPECT_EQ(sc.out.str(), want);
  // Exactly one character was taken at the pause.
  std::string left;
  std::getline(sc.in, left);
  EXPECT_EQ(left, "rest");
}

TEST_F(RecapTest, UncountedEntriesAppearInNoMode) {
  PutNumbered(4);
  st->sample.arrSample[2].nCover = -10;
  ScriptedConsole shortSc("");
  ShowSampleEntries(shortSc.con, RecapMode::kShort, 4, st->ref, st->sample, st->settings);
  EXPECT_EQ(shortSc.out.str(), Cell(1) + "\n" + Cell(3) + "\n" + Cell(4) + "\n");

  ScriptedConsole full("");
  ShowSampleEntries(full.con, RecapMode::kFull, 4, st->ref, st->sample, st->settings);
  EXPECT_EQ(full.out.str(), "\n" + GridLine(Cell(1), "", "", "    ") +
                                GridLine(Cell(3), "", "", "    ") + GridLine(Cell(4), "", "", "    "));

  EXPECT_EQ(Record(4), "\n" + Cell(1) + "\n" + Cell(3) + "\n" + Cell(4) + "\n");
}

TEST_F(RecapTest, DataFileSamplesAreNeitherShownNorRecorded) {
  PutNumbered(50);
  st->settings.nInputSource = 1;
  for (RecapMode mode : {RecapMode::kShort, RecapMode::kFull}) {
    ScriptedConsole sc("\n");
    ShowSampleEntries(sc.con, mode, 50, st->ref, st->sample, st->settings);
    EXPECT_EQ(sc.out.str(), "");
    EXPECT_EQ(sc.in.get(), '\n');
  }
  EXPECT_EQ(Record(50), "");
}

}  // namespace
