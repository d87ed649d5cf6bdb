#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "app/app.h"
#include "sample/sample.h"
#include "support/testkit.h"

namespace {

struct Parsed {
  std::string key;
  int16_t freq;
  double cover;
  bool ok;
};

Parsed Species(const std::string& line, int16_t maxFreq = 0) {
  const SpeciesLine got = ParseSpeciesLine(line.c_str(), maxFreq);
  return Parsed{got.key.c_str(), got.nFreq, got.dCover, got.ok};
}

// ---- species lines -------------------------------------------------------------

TEST(ParseSpeciesLine, EdgeCaseTableRowByRow) {
  Parsed p = Species("Quercus robur 5");
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_EQ(p.freq, 1);
  EXPECT_DOUBLE_EQ(p.cover, 5.0);
  EXPECT_TRUE(p.ok);

  p = Species("  Poa   annua   2.5  ");
  EXPECT_EQ(p.key, "poa  annu");
  EXPECT_EQ(p.freq, 1);
  EXPECT_DOUBLE_EQ(p.cover, 2.5);
  EXPECT_TRUE(p.ok);

  p = Species("Sphagnum 5");
  EXPECT_EQ(p.key, "spha ");
  EXPECT_DOUBLE_EQ(p.cover, 5.0);
  EXPECT_TRUE(p.ok);

  p = Species("Calluna vulgaris +");
  EXPECT_EQ(p.key, "call vulg");
  EXPECT_DOUBLE_EQ(p.cover, 0.0);
  EXPECT_TRUE(p.ok);

  p = Species("Quercus robur 3 25", 10);
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_EQ(p.freq, 3);
  EXPECT_DOUBLE_EQ(p.cover, 25.0);
  EXPECT_TRUE(p.ok);

  p = Species("Quercus robur 11 25", 10);
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_EQ(p.freq, 11);
  EXPECT_DOUBLE_EQ(p.cover, 25.0);
  EXPECT_FALSE(p.ok);

  p = Species("Quercus robur 1000 25", 10);
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_FALSE(p.ok);

  p = Species("Quercus robur 12.3456789");
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_DOUBLE_EQ(p.cover, 12.345);
  EXPECT_TRUE(p.ok);

  for (int16_t maxFreq : {0, 10}) {
    p = Species("          ", maxFreq);
    EXPECT_EQ(p.key, "");
    EXPECT_EQ(p.freq, 1);
    EXPECT_TRUE(p.ok);
  }
  EXPECT_EQ(Species("").key, "");
}

TEST(ParseSpeciesLine, NameWordsAndNumberTokens) {
  // Upper case is lowered, long words give their first four letters.
  EXPECT_EQ(Species("QUERCUS Robur 5").key, "quer robu");
  // Short words keep their length; the key is padded to five before word two.
  EXPECT_EQ(Species("Ab cd 1").key, "ab   cd");
  // A third word of the name stands where the cover should: it reads as 0.
  Parsed p = Species("Quercus robur petraea 5");
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_DOUBLE_EQ(p.cover, 0.0);
  EXPECT_TRUE(p.ok);
  // One-word name with frequency data: the digit token is the frequency.
  p = Species("Sphagnum 4 2.5", 10);
  EXPECT_EQ(p.key, "spha ");
  EXPECT_EQ(p.freq, 4);
  EXPECT_DOUBLE_EQ(p.cover, 2.5);
  EXPECT_TRUE(p.ok);
  // Only a decimal digit makes a one-word name; a sign does not.
  EXPECT_EQ(Species("Sphagnum -1 5").key, "spha -1");
  // Frequency 0 and the maximum itself are within limits; a negative one is not.
  EXPECT_TRUE(Species("Quercus robur 0 5", 10).ok);
  EXPECT_TRUE(Species("Quercus robur 10 5", 10).ok);
  p = Species("Quercus robur -1 5", 10);
  EXPECT_EQ(p.freq, -1);
  EXPECT_FALSE(p.ok);
  // Tokens after the cover are ignored.
  p = Species("Quercus robur 5 extra words 7");
  EXPECT_DOUBLE_EQ(p.cover, 5.0);
  EXPECT_TRUE(p.ok);
}

TEST(ParseSpeciesLine, CoverTokenKeepsSixCharacters) {
  // No "." among the six: read as an integer, even with an exponent.
  EXPECT_DOUBLE_EQ(Species("Quercus robur 25e1").cover, 25.0);
  EXPECT_DOUBLE_EQ(Species("Quercus robur 25abcdefg").cover, 25.0);
  EXPECT_DOUBLE_EQ(Species("Quercus robur 3.7").cover, 3.7);
  EXPECT_DOUBLE_EQ(Species("Quercus robur 2.5e1").cover, 25.0);
  EXPECT_DOUBLE_EQ(Species("Quercus robur 0.123456").cover, 0.1234);
  EXPECT_DOUBLE_EQ(Species("Quercus robur 12.3456").cover, 12.345);
  // The "." in the seventh character does not count: integer 123456 is read
  // (and is too large for the entry, see below).
  EXPECT_DOUBLE_EQ(Species("Quercus robur 123456.5").cover, 123456.0);
  EXPECT_DOUBLE_EQ(Species("Quercus robur r").cover, 0.0);
  EXPECT_DOUBLE_EQ(Species("Quercus robur -2").cover, -2.0);
  EXPECT_TRUE(Species("Quercus robur -2").ok);  // negative covers are the entry's to refuse
}

TEST(ParseSpeciesLine, LineWithoutCoverIsBad) {
  Parsed p = Species("Quercus robur");
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_FALSE(p.ok);
  p = Species("Quercus");
  EXPECT_EQ(p.key, "quer");  // the only token: no padding blanks
  EXPECT_FALSE(p.ok);
  p = Species("  Quercus robur   ");
  EXPECT_EQ(p.key, "quer robu");
  EXPECT_FALSE(p.ok);
  p = Species("Quercus robur 3", 10);
  EXPECT_FALSE(p.ok);
  p = Species("Sphagnum 3", 10);
  EXPECT_EQ(p.key, "spha ");
  EXPECT_FALSE(p.ok);
}

TEST(ParseSpeciesLine, CoverMustFitTheEntryInTenths) {
  EXPECT_TRUE(Species("Quercus robur 3276.7").ok);  // tenfold 32767
  EXPECT_FALSE(Species("Quercus robur 3276.8").ok);  // tenfold 32768
  EXPECT_FALSE(Species("Quercus robur 999999").ok);
  EXPECT_TRUE(Species("Quercus robur -3276.").ok);  // tenfold -32760
  EXPECT_FALSE(Species("Quercus robur -4000.").ok);
  EXPECT_FALSE(Species("Quercus robur inf.").ok);
  EXPECT_FALSE(Species("Quercus robur nan.").ok);
  EXPECT_FALSE(Species("Quercus robur 3 9999", 10).ok);
}

TEST(ParseSpeciesLine, EightyColumnWorkArea) {
  // A cover ending in column 79 is read; one running into column 80 is not.
  std::string name = "Quercus robur";
  std::string line79 = name + std::string(79 - name.size() - 1, ' ') + "5";
  ASSERT_EQ(line79.size(), 79u);
  Parsed p = Species(line79);
  EXPECT_DOUBLE_EQ(p.cover, 5.0);
  EXPECT_TRUE(p.ok);
  EXPECT_FALSE(Species(line79 + "0").ok);
  // Nothing past column 80 is looked at.
  std::string far = name + std::string(80 - name.size(), ' ') + "5";
  EXPECT_FALSE(Species(far).ok);
  EXPECT_EQ(Species(far).key, "quer robu");
  // A first word filling the whole area.
  p = Species(std::string(100, 'X'));
  EXPECT_EQ(p.key, "xxxx");
  EXPECT_FALSE(p.ok);
}

// ---- header lines ---------------------------------------------------------------

struct Header {
  std::string name;
  int16_t maxFreq;
  bool refused;
  std::string tag;  // empty: the header carries no cover-scale tag
  std::string out;
};

class ParseSampleHeaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st_ = NewAppState();
    st_->settings.nCoverScale = 1;
    st_->settings.nAnalysisType = 1;
    st_->settings.nSampleCounter = 7;
  }

  Header Parse(const std::string& line) {
    ScriptedConsole sc("");
    const SampleHeader got = ParseSampleHeader(sc.con, line.c_str(), st_->settings.nSampleCounter);
    Header h{};
    h.name = got.szName;
    h.maxFreq = got.nMaxFreq;
    h.refused = got.refused;
    h.tag = got.tag != nullptr ? got.tag : "";
    h.out = sc.out.str();
    return h;
  }

  // Parses a typed header and records it as entry does (an accepted header
  // only) into a fresh record file; returns what was recorded.
  std::string Record(const std::string& line, Header* h = nullptr) {
    st_->settings.fpRecordFile = File(std::fopen(dir_.File("SAMP.txt").c_str(), "w"));
    EXPECT_TRUE(st_->settings.fpRecordFile);
    Header got = Parse(line);
    if (!got.refused) RecordSampleHeader(st_->settings, got.name.c_str(), got.maxFreq);
    if (h != nullptr) *h = got;
    EXPECT_TRUE(st_->settings.fpRecordFile.Close());
    return dir_.Read("SAMP.txt");
  }

  std::unique_ptr<AppState> st_;
  TempDir dir_;
};

// "Plot 7" in the 30 name columns, followed by the rest as given.
std::string Plot7(const std::string& rest) { return "Plot 7" + std::string(24, ' ') + rest; }

const char kRefusal[] = " *** Maximum frequency may not be lower than 0 or exceed 100 ***";

TEST_F(ParseSampleHeaderTest, EdgeCaseTableRowByRow) {
  Header h = Parse("Plot 7 * 10");
  EXPECT_EQ(h.name, "Plot 7");
  EXPECT_EQ(h.maxFreq, 10);
  EXPECT_FALSE(h.refused);

  h = Parse("Plot 7*0");
  EXPECT_EQ(h.name, "Plot 7");
  EXPECT_EQ(h.maxFreq, 0);
  EXPECT_FALSE(h.refused);

  h = Parse("Plot 7 * 101");
  EXPECT_EQ(h.name, "Plot 7");
  EXPECT_EQ(h.maxFreq, 0);
  EXPECT_TRUE(h.refused);
  EXPECT_EQ(h.out, kRefusal);

  h = Parse("");
  EXPECT_EQ(h.name, "SAMPL    7");
  EXPECT_EQ(h.maxFreq, 0);
  EXPECT_FALSE(h.refused);

  h = Parse("abcdefghijklmnopqrstuvwxyzABCDEFGHI * 5");
  EXPECT_EQ(h.name, "abcdefghijklmnopqrstuvwxyzABCD");
  EXPECT_EQ(h.maxFreq, 5);
  EXPECT_FALSE(h.refused);
}

TEST_F(ParseSampleHeaderTest, NameAndMaximumFrequencyDetails) {
  EXPECT_EQ(Parse("  Plot 7    ").name, "  Plot 7");  // leading blanks stay
  EXPECT_EQ(Parse("      ").name, "SAMPL    7");
  st_->settings.nSampleCounter = 123456;
  EXPECT_EQ(Parse("").name, "SAMPL123456");
  st_->settings.nSampleCounter = 7;

  Header h = Parse("Plot *");  // nothing after the "*"
  EXPECT_EQ(h.name, "Plot");
  EXPECT_EQ(h.maxFreq, 0);
  EXPECT_FALSE(h.refused);

  h = Parse("Plot * 100 more * text");
  EXPECT_EQ(h.maxFreq, 100);
  EXPECT_EQ(h.name, "Plot");

  h = Parse("Plot * -1");
  EXPECT_TRUE(h.refused);
  EXPECT_EQ(h.out, kRefusal);

  h = Parse("* 12");  // refused or not, a name-less frequency header gets the default
  EXPECT_EQ(h.name, "SAMPL    7");
  EXPECT_EQ(h.maxFreq, 12);

  // Tokens up to 19 characters are read; 20 or more are refused.
  h = Parse("Plot * " + std::string(17, '0') + "10");
  EXPECT_EQ(h.maxFreq, 10);
  EXPECT_FALSE(h.refused);
  h = Parse("Plot * " + std::string(18, '0') + "10");
  EXPECT_EQ(h.maxFreq, 0);
  EXPECT_TRUE(h.refused);
  EXPECT_EQ(h.out, kRefusal);

  // A "*" past column 30 still starts the maximum frequency.
  h = Parse(std::string(40, 'a') + "*3");
  EXPECT_EQ(h.name, std::string(30, 'a'));
  EXPECT_EQ(h.maxFreq, 3);
}

TEST_F(ParseSampleHeaderTest, RecordHeaderBytes) {
  // Cover data: name in 30 columns, 5 blanks, the tag in columns 36 to 40.
  std::string rec = Record("Plot 7");
  EXPECT_EQ(rec, Plot7("     COVR%"));
  EXPECT_EQ(rec.substr(35), "COVR%");

  // Frequency data: "*" in column 34, maximum in 35..37, tag in 39..43.
  st_->settings.nCoverScale = 3;
  rec = Record("Plot 7 * 10");
  EXPECT_EQ(rec, Plot7("   * 10 DOMIN"));
  EXPECT_EQ(rec[33], '*');
  EXPECT_EQ(rec.substr(34, 3), " 10");
  EXPECT_EQ(rec.substr(38), "DOMIN");

  st_->settings.nCoverScale = 2;
  EXPECT_EQ(Record(""), "SAMPL    7                         BR-BL");

  // A refused header records nothing.
  Header h;
  EXPECT_EQ(Record("Plot * 200", &h), "");
  EXPECT_TRUE(h.refused);
}

TEST_F(ParseSampleHeaderTest, RecordedHeaderReadsBackTheSame) {
  st_->settings.nCoverScale = 2;
  std::string rec = Record("Heath 12 * 25");
  Header h = Parse(rec);
  EXPECT_EQ(h.name, "Heath 12");
  EXPECT_EQ(h.maxFreq, 25);
  EXPECT_FALSE(h.refused);
  EXPECT_EQ(h.out, "");
  // The tag read back is the setting's: entry asks no question.
  EXPECT_EQ(h.tag, CoverScaleOf(st_->settings.nCoverScale).tag);
}

// The check of the tag against the setting is entry's (see entry_test.cpp).

}  // namespace
