// Fields no number could fill are refused rows, so that every block line stays
// within what sample entry reads as one line.
#include <gtest/gtest.h>

#include "survey/covers.h"
#include "survey/survey.h"
#include "tables/csv.h"

namespace {

TEST(SurveyFields, OverLongCoversAndFrequenciesAreRefusedRows) {
  CsvTable t;
  std::string error;
  ASSERT_TRUE(ParseCsv("sample,species,cover,frequency\n"
                       "A,Quercus robur,60,\n"
                       "A,Corylus avellana,1234567890123,\n"
                       "A,Hedera helix,5,99999999999999\n"
                       "A,Rubus fruticosus,123456789012,3\n"
                       "A,Pteridium aquilinum,0.000001,\n",
                       t, error));
  std::vector<InputProblem> problems;
  SurveyTable table;
  ASSERT_TRUE(ReadSurvey(GridOf(std::move(t)), SurveyReading{}, table, problems, error)) << error;
  TakeCovers(table, CoverRules{kPercentScale, false, false}, problems);
  const std::vector<SurveySample>& samples = table.samples;
  ASSERT_EQ(samples.size(), 1u);
  // The overlong frequency is refused as the row is read, covers no scale holds
  // as covers are read.
  std::vector<long> lines;
  for (const InputProblem& p : problems) {
    lines.push_back(p.line);
    EXPECT_TRUE(p.refused);
  }
  EXPECT_EQ(lines, (std::vector<long>{4, 3, 5}));
  // A tiny cover is kept to three decimals, as sample entry reads a cover.
  EXPECT_TRUE(samples[0].records.back().hasCover);
  EXPECT_EQ(samples[0].records.back().cover, 0.0);
  // The rows kept become records as sample entry reads them.
  TextStore store;
  std::vector<SampleInput> inputs;
  problems.clear();
  AppendSurveyInputs(samples, BlockRules{}, 1, store, inputs, problems);
  EXPECT_TRUE(problems.empty());
  ASSERT_EQ(inputs.size(), 1u);
  ASSERT_EQ(inputs[0].records.size(), 2u);
  EXPECT_TRUE(inputs[0].records[0].ok);
  EXPECT_EQ(inputs[0].records[0].dCover, 60.0);
  EXPECT_EQ(inputs[0].records[1].where.line, 6);
}

}  // namespace
