// A survey's covers and frequencies are numbers from the moment they are read:
// the records they become must be those sample entry reads from the species
// line the numbers would be written as (the name's first two words, the
// frequency word, the cover to three decimals or a pooled mean to one).
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "survey/covers.h"
#include "survey/survey.h"
#include "tables/csv.h"

namespace {

std::string OneDecimal(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.1f", v);
  return buf;
}

TEST(CoverNumbers, ReadAsTheirTextReads) {
  // Ties at the third decimal, values just off them, the six characters a
  // cover word is read to, and values far above any scale.
  std::vector<double> values = {0,       0.0005, 0.0015, 0.0625, 0.1875,  1.0005,   2.5,      12.3456, 12.3455,
                                99.9995, 100,    123.456, 999.9999, 1000,   1234.5,   12345.67, 123456.7, 5e7,
                                9.5e11,  1e12,   8.8e12,  1e15,    1e23,    0.00049,  7.0625,   3.14159};
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    const double scale = std::pow(10.0, static_cast<double>(random() % 9) - 2);
    values.push_back(std::uniform_real_distribution<double>(0, scale)(random));
    values.push_back(static_cast<double>(random() % 2000000) / 2000);  // ties of half thousandths
  }
  for (double v : values) {
    const std::string text = CoverText(v);
    EXPECT_EQ(RoundedCover(v), std::strtod(text.c_str(), nullptr)) << text;
    EXPECT_EQ(CoverText(v), text);
    const double tenths = CoverTenths(v);
    EXPECT_EQ(tenths, std::strtod(OneDecimal(v).c_str(), nullptr)) << OneDecimal(v);
    const CoverWord word = CoverWordOf(RoundedCover(v));
    EXPECT_EQ(word.length, text.size()) << text;
    if (text.size() <= 12) {
      EXPECT_EQ(word.value, ReadCoverWord(text)) << text;
    }
    // A pooled mean reads the same from its one-decimal text.
    if (tenths < 10000) {
      EXPECT_EQ(CoverWordOf(tenths).value, ReadCoverWord(OneDecimal(v))) << OneDecimal(v);
    }
  }
}

// The species line a row of the survey below stands for, written as text.
struct Row {
  const char* species;
  const char* cover;
  const char* frequency;
};

std::string Token(const std::string& text) {
  std::string t;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) == 0) t += c == ',' ? '.' : c;
  }
  return t;
}

// The name's first two words (without "*"), each to twenty characters.
std::string NameWordsOf(const std::string& name) {
  std::string line;
  std::string word;
  int n = 0;
  for (char c : name + " ") {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) {
      if (!word.empty() && n < 2) line += (n++ > 0 ? " " : "") + word.substr(0, 20);
      word.clear();
    } else if (c != '*') {
      word += c;
    }
  }
  return line;
}

SpeciesLine ParseLine(const std::string& line, int16_t nMaxFreq) {
  std::vector<std::string_view> words;
  for (size_t a = 0; a < line.size();) {
    const size_t e = std::min(line.find(' ', a), line.size());
    if (e > a) words.emplace_back(line.data() + a, e - a);
    a = e + 1;
  }
  return ParseSpeciesWords(words.data(), words.size(), nMaxFreq);
}

std::vector<SampleInput> Records(const std::vector<Row>& rows, bool presence, bool frequencies, bool pool,
                                 TextStore& store) {
  std::string csv = std::string("site,quadrat,species,cover") + (frequencies ? ",frequency" : "") + "\n";
  for (size_t i = 0; i < rows.size(); ++i) {
    const Row& r = rows[i];
    // Pooled, each row is a quadrat of its own.
    csv += "S," + std::to_string(pool ? i + 1 : 1) + ",\"" + r.species + "\",\"" + r.cover + "\"" +
           (frequencies ? std::string(",\"") + r.frequency + "\"" : std::string()) + "\n";
  }
  CsvTable t;
  std::string error;
  EXPECT_TRUE(ParseCsv(csv, t, error)) << error;
  std::vector<InputProblem> problems;
  SurveyTable table;
  EXPECT_TRUE(ReadSurvey(GridOf(std::move(t)), SurveyReading{Layout::kLong, {}, {}, presence}, table, problems,
                         error))
      << error;
  TakeCovers(table, CoverRules{kPercentScale, presence, false}, problems);
  if (pool) {
    EXPECT_TRUE(PoolSamples(table, {"site"}, error)) << error;
  }
  std::vector<SampleInput> out;
  BlockRules rules;
  rules.presence = presence;
  AppendSurveyInputs(table.samples, rules, 1, store, out, problems);
  return out;
}

TEST(CoverNumbers, RecordsAreThoseOfTheirSpeciesLines) {
  const std::vector<Row> rows = {
      {"Quercus robur", "12.3456", "3"},      {"Corylus avellana", "0.0625", ""},
      {"Hedera helix", "123.456", "003"},     {"Rubus fruticosus agg.", "5-10", "1 2"},
      {"Sphagnum", "25%", "x"},               {"Poa 3", "40", "2"},
      {"Fraxinus excelsior", "999.9999", "-1"}, {"Acer campestre", "50000000%", "2,5"},
      {"Ilex aquifolium", "+", "0100"},       {"Crataegus monogyna", "p", "0"},
      {"Betula", "7", ""},                    {"*Calluna vulgaris*", "0.0005", "4"},
  };
  for (bool presence : {false, true}) {
    for (bool frequencies : {false, true}) {
      TextStore store;
      const std::vector<SampleInput> got = Records(rows, presence, frequencies, false, store);
      ASSERT_EQ(got.size(), 1u);
      const SampleInput& in = got[0];
      ASSERT_EQ(in.records.size(), rows.size());
      for (size_t i = 0; i < rows.size(); ++i) {
        const Row& r = rows[i];
        const SampleRecord& rec = in.records[i];
        // The cover as TakeCovers read it, written as text.
        const CoverValue c = ReadCoverValue(r.cover, 100);
        const std::string cover = presence ? std::string() : CoverText(c.value);
        std::string line = NameWordsOf(r.species);
        const std::string freq = Token(r.frequency);
        if (frequencies) line += " " + (freq.empty() ? std::string("1") : freq);
        line += " " + (presence ? std::string(kPresenceCover) : cover);
        const SpeciesLine want = ParseLine(line, in.header.nMaxFreq);
        const std::string what = line + (presence ? " (presence)" : "");
        EXPECT_STREQ(rec.key.c_str(), want.key.c_str()) << what;
        EXPECT_EQ(rec.nFreq, want.nFreq) << what;
        EXPECT_EQ(rec.dCover, want.dCover) << what;
        EXPECT_EQ(rec.ok, want.ok) << what;
        if (!want.ok) {
          ASSERT_NE(rec.shown, nullptr) << what;
          EXPECT_EQ(std::string(rec.shown), line);
          EXPECT_EQ(std::string(rec.quoted), r.species + (cover.empty() ? std::string() : " " + cover));
        }
      }
    }
  }
}

TEST(CoverNumbers, PooledMeansReadAsTheirOneDecimalText) {
  // Four quadrats of a site pooled: the mean of each species' covers to one
  // decimal, its frequency the quadrats that hold it.
  const std::vector<Row> rows = {{"Quercus robur", "10", ""},    {"Quercus robur", "10.25", ""},
                                 {"Quercus robur", "0.0625", ""}, {"Hedera helix", "4000%", ""}};
  TextStore store;
  const std::vector<SampleInput> got = Records(rows, false, false, true, store);
  ASSERT_EQ(got.size(), 1u);
  ASSERT_EQ(got[0].records.size(), 2u);
  const double mean = (10 + 10.25 + 0.062) / 3;
  const SpeciesLine quercus = ParseLine("Quercus robur 3 " + OneDecimal(mean), got[0].header.nMaxFreq);
  EXPECT_EQ(got[0].records[0].dCover, quercus.dCover);
  EXPECT_EQ(got[0].records[0].nFreq, 3);
  EXPECT_TRUE(got[0].records[0].ok);
  // A mean no cover can be is a bad line, shown and quoted with its decimal.
  const SampleRecord& hedera = got[0].records[1];
  EXPECT_FALSE(hedera.ok);
  ASSERT_NE(hedera.shown, nullptr);
  EXPECT_EQ(std::string(hedera.shown), "Hedera helix 1 4000.0");
  EXPECT_EQ(std::string(hedera.quoted), "Hedera helix 4000.0");
}

}  // namespace
