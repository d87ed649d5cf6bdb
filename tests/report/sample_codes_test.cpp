// The sample's code table used by the matching analysis, against a plain scan
// of the sample's rows, for samples from empty to full.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "report/report.h"

namespace {

// The first row of the sample holding the code, or 0.
int FirstRow(const SampleState& s, int code) {
  for (int i = 1; i <= s.nSampleEntries; ++i) {
    if (s.arrSample[i].nSpeciesCode == code) return i;
  }
  return 0;
}

TEST(SampleCodes, FindTheFirstRowOfEachCodeAndMarkOnlyWhatWasFound) {
  std::mt19937 rng(7);
  auto s = std::make_unique<SampleState>();
  for (int entries : {0, 1, 7, 8, 9, 31, 32, 33, 150, 299, kSampleCapacity}) {
    *s = SampleState{};
    s->nSampleEntries = static_cast<int16_t>(entries);
    // Codes repeat (synonyms of one species) and some rows take no part.
    for (int i = 1; i <= entries; ++i) {
      const int code = std::uniform_int_distribution<int>(0, 3)(rng) == 0
                           ? -1
                           : std::uniform_int_distribution<int>(1, entries + 20)(rng);
      s->arrSample[i].nSpeciesCode = static_cast<int16_t>(code);
    }
    SampleCodes codes(*s);
    const uint32_t mark = 3;
    for (int code = 0; code <= entries + 25; code += 2) {
      EXPECT_EQ(codes.FindAndMark(code, mark), FirstRow(*s, code)) << entries << " code " << code;
    }
    for (int i = 1; i <= entries; ++i) {
      const int code = s->arrSample[i].nSpeciesCode;
      if (code < 0) continue;
      EXPECT_EQ(codes.RowMarked(i, mark), code % 2 == 0) << entries << " row " << i;
      EXPECT_FALSE(codes.RowMarked(i, mark + 1)) << entries << " row " << i;
    }
  }
}

}  // namespace
