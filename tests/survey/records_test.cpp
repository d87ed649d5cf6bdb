// Block files as samples of records: every record and sample keeps the file and
// line it stands on, however the typed run's reading cuts or joins the lines
// (long lines go on as the next line, a CR alone ends a line, a NUL byte
// refuses one), and sample entry says its problems there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "survey/blocks.h"

namespace {

// What is expected of one record: its line, its key, cover and whether it is taken.
struct Rec {
  long line;
  const char* key;
  double cover;
  bool ok;
  bool nul = false;
};
struct Sample {
  long line;
  const char* name;
  int maxFreq;
  std::vector<Rec> records;
};
struct Case {
  const char* what;
  std::string text;
  std::vector<Sample> samples;
};

TEST(BlockRecords, SamplesAndRecordsKeepTheLinesTheyStandOn) {
  const std::string longLine = "Molinia caerulea" + std::string(70, ' ') + "30";
  const std::vector<Case> cases = {
      {"two samples, cover then frequency data, a decimal comma read as a point",
       "Plot 1\nCalluna vulgaris 0,5\n\n\nTurf * 4\nFestuca ovina 3 20\n",
       {{1, "Plot 1", 0, {{2, "call vulg", 0.5, true}}}, {5, "Turf", 4, {{6, "fest ovin", 20, true}}}}},
      {"a line of 88 characters goes on as the next, both on its line",
       "Plot\n" + longLine + "\nNardus stricta 2\n",
       {{1, "Plot", 0, {{2, "moli caer", 0, false}, {2, "30", 0, false}, {3, "nard stri", 2, true}}}}},
      {"a CR alone ends a line: one input line, two samples",
       "Plot\rCalluna vulgaris 5\r\rHeath\rErica tetralix 3",
       {{1, "Plot", 0, {{1, "call vulg", 5, true}}}, {1, "Heath", 0, {{1, "eric tetr", 3, true}}}}},
      {"a NUL byte refuses its line, the sample goes on",
       std::string("Plot\nCal\0luna 5\nErica tetralix 3\n", 32),
       {{1, "Plot", 0, {{2, "", 0, false, true}, {3, "eric tetr", 3, true}}}}},
      {"a byte-order mark is not the name; markers blanked and counted",
       "\xEF\xBB\xBFPlot\nSphagnum * palustre 4\n",
       {{1, "Plot", 0, {{2, "spha palu", 4, true}}}}},
      {"a header without a name is left for entry to name; a line of stars ends a sample",
       "\n* 4\nCalluna vulgaris 2 5\n***\nNext\nPoa annua 2\n",
       {{2, "", 4, {{3, "call vulg", 5, true}}}, {5, "Next", 0, {{6, "poa  annu", 2, true}}}}},
  };
  for (const Case& c : cases) {
    TextStore store;
    std::vector<SampleInput> samples;
    std::vector<InputProblem> problems;
    AppendBlockInputs(c.text, BlockRules{}, 3, true, store, samples, problems);
    ASSERT_EQ(samples.size(), c.samples.size()) << c.what;
    for (size_t s = 0; s < samples.size(); ++s) {
      const Sample& want = c.samples[s];
      EXPECT_EQ(samples[s].where.file, 3) << c.what;
      EXPECT_EQ(samples[s].where.line, want.line) << c.what;
      EXPECT_STREQ(samples[s].header.szName, want.name) << c.what;
      EXPECT_EQ(samples[s].header.nMaxFreq, want.maxFreq) << c.what;
      ASSERT_EQ(samples[s].records.size(), want.records.size()) << c.what;
      for (size_t r = 0; r < want.records.size(); ++r) {
        const SampleRecord& got = samples[s].records[r];
        const Rec& w = want.records[r];
        EXPECT_EQ(got.where.line, w.line) << c.what << " record " << r;
        EXPECT_EQ(got.nul, w.nul) << c.what << " record " << r;
        if (w.nul) continue;
        EXPECT_EQ(got.ok, w.ok) << c.what << " record " << r;
        if (w.ok) {
          EXPECT_STREQ(got.key.c_str(), w.key) << c.what << " record " << r;
          EXPECT_DOUBLE_EQ(got.dCover, w.cover) << c.what << " record " << r;
        }
      }
    }
  }
}

}  // namespace
