// Completion of an entered sample: covers to percent, markers off, species group,
// merging of entries that share a species code.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/app.h"
#include "sample/sample.h"

namespace {

struct Row {
  int code;
  int index;
  int cover;  // tenths of the typed value
  int freq;
};

class CompleteSampleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st = NewAppState();
    st->settings.nCoverScale = 1;
    st->settings.nSpeciesGroupLimit = 10000;
  }

  void Fill(const std::vector<Row>& rows) {
    int k = 0;
    for (const Row& r : rows) {
      ++k;
      SampleEntry& e = st->sample.arrSample[k];
      e.nSpeciesCode = static_cast<int16_t>(r.code);
      e.nSpeciesIndex = static_cast<int16_t>(r.index);
      e.nCover = static_cast<int16_t>(r.cover);
      e.nFreq = static_cast<int16_t>(r.freq);
    }
    st->sample.nSampleEntries = static_cast<int16_t>(k);
  }

  // Percent of each scale value, one entry (and species) per value.
  std::vector<int> Convert(int16_t scale, const std::vector<int>& tenths) {
    std::vector<Row> rows;
    for (size_t i = 0; i < tenths.size(); ++i) {
      rows.push_back({static_cast<int>(i) + 10, static_cast<int>(i) + 3, tenths[i], 1});
    }
    Fill(rows);
    st->settings.nCoverScale = scale;
    CompleteSample(st->sample, st->settings);
    std::vector<int> out;
    for (int k = 1; k <= st->sample.nSampleEntries; ++k) out.push_back(st->sample.arrSample[k].nCover);
    return out;
  }

  std::unique_ptr<AppState> st;
};

TEST_F(CompleteSampleTest, ConvertsWholeScaleValuesByTheTable) {
  EXPECT_EQ(Convert(2, {10, 20, 30, 40, 50}), (std::vector<int>{0, 15, 40, 65, 90}));
  EXPECT_EQ(Convert(3, {10, 20, 30, 40, 50, 60, 70, 80, 90, 100}),
            (std::vector<int>{0, 1, 4, 9, 16, 26, 39, 55, 75, 99}));
  EXPECT_EQ(Convert(1, {10, 50, 990, 1000}), (std::vector<int>{1, 5, 99, 100}));
}

TEST_F(CompleteSampleTest, ConvertsFractionsAndCapsAtOneHundred) {
  // Braun-Blanquet 0.5, 1.5, 2.5: below 1 is 0; (1.5-1)*15 = 7.5; 25*2.5-35 = 27.5.
  EXPECT_EQ(Convert(2, {5, 15, 25}), (std::vector<int>{0, 7, 27}));
  // Percent 2.5 rounds half up; 150 is capped.
  EXPECT_EQ(Convert(1, {25, 24, 1500}), (std::vector<int>{3, 2, 100}));
  // Domin 2.5: 0.25 * 2.5^2.6 = 2.7..; Domin 12 (above its limit) is capped.
  EXPECT_EQ(Convert(3, {25, 120}), (std::vector<int>{2, 100}));
  // Zero is zero on every scale; the largest storable value stays within 100.
  EXPECT_EQ(Convert(1, {0, 32767}), (std::vector<int>{0, 100}));
  EXPECT_EQ(Convert(2, {0, 32767}), (std::vector<int>{0, 100}));
  EXPECT_EQ(Convert(3, {0, 32767}), (std::vector<int>{0, 100}));
}

TEST_F(CompleteSampleTest, MergesMarkedAndPlainEntriesOfOneSpecies) {
  // Same species 120: plain 30 %, once marked 80 % (freq 5), twice marked 10 %.
  Fill({{120, 7, 300, 2}, {10120, 7, 800, 5}, {500, 9, 200, 1}, {20120, 7, 100, 3}});
  CompleteSample(st->sample, st->settings);
  ASSERT_EQ(st->sample.nSampleEntries, 2);
  const SampleEntry& a = st->sample.arrSample[1];
  EXPECT_EQ(a.nSpeciesCode, 120);
  EXPECT_EQ(a.nCover, 100);  // 30 + 80 capped, then + 10 stays capped
  EXPECT_EQ(a.nFreq, 5);
  EXPECT_EQ(a.nSpeciesIndex, 7);
  const SampleEntry& b = st->sample.arrSample[2];
  EXPECT_EQ(b.nSpeciesCode, 500);
  EXPECT_EQ(b.nCover, 20);
  EXPECT_EQ(b.nFreq, 1);
}

TEST_F(CompleteSampleTest, MergesSynonymsKeepingTheLaterDictionaryRow) {
  // Two dictionary rows (11 and 12) share code 700; the sum stays below 100.
  st->settings.nCoverScale = 2;
  Fill({{700, 11, 20, 4}, {800, 13, 10, 1}, {700, 12, 30, 2}});
  CompleteSample(st->sample, st->settings);
  ASSERT_EQ(st->sample.nSampleEntries, 2);
  EXPECT_EQ(st->sample.arrSample[1].nSpeciesCode, 700);
  EXPECT_EQ(st->sample.arrSample[1].nSpeciesIndex, 12);
  EXPECT_EQ(st->sample.arrSample[1].nCover, 15 + 40);
  EXPECT_EQ(st->sample.arrSample[1].nFreq, 4);
  EXPECT_EQ(st->sample.arrSample[2].nSpeciesCode, 800);
  EXPECT_EQ(st->sample.arrSample[2].nSpeciesIndex, 13);
}

TEST_F(CompleteSampleTest, KeepsOnlyTheChosenSpeciesGroup) {
  const std::vector<Row> rows = {{3000, 3, 100, 1},  {3001, 4, 100, 1}, {13500, 5, 100, 1},
                                 {4000, 6, 100, 1},  {4001, 7, 100, 1}, {9001, 8, 100, 1},
                                 {19002, 9, 100, 1}, {12, 10, 100, 1}};
  auto codes = [this]() {
    std::vector<int> out;
    for (int k = 1; k <= st->sample.nSampleEntries; ++k) out.push_back(st->sample.arrSample[k].nSpeciesCode);
    return out;
  };
  st->settings.nSpeciesGroupLimit = 3000;
  Fill(rows);
  CompleteSample(st->sample, st->settings);
  EXPECT_EQ(codes(), (std::vector<int>{3000, 12}));

  st->settings.nSpeciesGroupLimit = 4000;
  Fill(rows);
  CompleteSample(st->sample, st->settings);
  EXPECT_EQ(codes(), (std::vector<int>{3000, 3001, 3500, 4000, 12}));

  st->settings.nSpeciesGroupLimit = 10000;
  Fill(rows);
  CompleteSample(st->sample, st->settings);
  EXPECT_EQ(codes(), (std::vector<int>{3000, 3001, 3500, 4000, 4001, 9001, 9002, 12}));
}

TEST_F(CompleteSampleTest, DropsUncountedEntriesAndCanEndEmpty) {
  st->settings.nSpeciesGroupLimit = 3000;
  Fill({{100, 3, -10, 1}, {9001, 8, 50, 1}, {13001, 4, 20, 1}});
  CompleteSample(st->sample, st->settings);
  EXPECT_EQ(st->sample.nSampleEntries, 0);

  // An uncounted entry does not merge into a counted one of the same code.
  st->settings.nSpeciesGroupLimit = 10000;
  Fill({{100, 3, 400, 1}, {100, 5, -1, 9}});
  CompleteSample(st->sample, st->settings);
  ASSERT_EQ(st->sample.nSampleEntries, 1);
  EXPECT_EQ(st->sample.arrSample[1].nCover, 40);
  EXPECT_EQ(st->sample.arrSample[1].nFreq, 1);
  EXPECT_EQ(st->sample.arrSample[1].nSpeciesIndex, 3);
}

TEST_F(CompleteSampleTest, CompactsAFullTableInPlace) {
  // 300 entries alternating between two species with markers: two rows remain.
  std::vector<Row> rows;
  for (int k = 1; k <= kSampleCapacity; ++k) {
    rows.push_back({(k % 2 == 0 ? 200 : 300) + 10000 * (k % 3), k, 10, k % 7 + 1});
  }
  Fill(rows);
  CompleteSample(st->sample, st->settings);
  ASSERT_EQ(st->sample.nSampleEntries, 2);
  EXPECT_EQ(st->sample.arrSample[1].nSpeciesCode, 300);
  EXPECT_EQ(st->sample.arrSample[1].nSpeciesIndex, 299);
  EXPECT_EQ(st->sample.arrSample[1].nCover, 100);  // 150 entries of 1 % each, capped
  EXPECT_EQ(st->sample.arrSample[1].nFreq, 7);
  EXPECT_EQ(st->sample.arrSample[2].nSpeciesCode, 200);
  EXPECT_EQ(st->sample.arrSample[2].nSpeciesIndex, 300);
}

}  // namespace
