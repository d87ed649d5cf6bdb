// Fields no number could fill are refused rows, so that every block line stays
// within what sample entry reads as one line.
#include <gtest/gtest.h>

#include "batch/batch.h"

namespace {

TEST(SurveyFields, OverLongCoversAndFrequenciesAreRefusedRows) {
  CsvTable t;
  std::string error;
  ASSERT_TRUE(ParseCsv("sample,species,cover,frequency\n"
                       "A,Quercus robur,60,\n"
                       "A,Corylus avellana,1234567890123,\n"
                       "A,Hedera helix,5,99999999999999\n"
                       "A,Rubus fruticosus,123456789012,3\n",
                       t, error));
  std::vector<InputProblem> problems;
  const auto samples = SurveySamples(t, FindSurveyColumns(t.header, ""), false, problems);
  ASSERT_EQ(samples.size(), 1u);
  ASSERT_EQ(samples[0].records.size(), 2u);  // the 12-character cover is still a field
  ASSERT_EQ(problems.size(), 2u);
  EXPECT_EQ(problems[0].line, 3);
  EXPECT_EQ(problems[1].line, 4);
  EXPECT_TRUE(problems[0].refused);
  BlockText blocks;
  AppendSurveyBlocks(samples, BlockRules{}, 1, blocks);
  size_t start = 0;
  for (size_t i = 0; i < blocks.text.size(); ++i) {
    if (blocks.text[i] != '\n') continue;
    EXPECT_LT(i - start, 79u);
    start = i + 1;
  }
}

}  // namespace
