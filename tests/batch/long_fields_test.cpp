// Fields no number could fill are refused rows, so that every block line stays
// within what sample entry reads as one line.
#include <gtest/gtest.h>

#include "batch/batch.h"
#include "batch/csv.h"
#include "batch/inputs.h"
#include "batch/options.h"
#include "batch/results.h"
#include "batch/units.h"

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
  // The rows kept become records as sample entry reads them.
  TextStore store;
  std::vector<SampleInput> inputs;
  AppendSurveyInputs(samples, BlockRules{}, 1, store, inputs);
  ASSERT_EQ(inputs.size(), 1u);
  ASSERT_EQ(inputs[0].records.size(), 2u);
  EXPECT_TRUE(inputs[0].records[0].ok);
  EXPECT_EQ(inputs[0].records[0].dCover, 60.0);
  EXPECT_EQ(inputs[0].records[1].where.line, 5);
}

}  // namespace
