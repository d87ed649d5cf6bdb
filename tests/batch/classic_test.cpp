// The classic formats of `vegmatch classify` are the typed program's results file
// byte for byte: the typed program is run through the built binary on a data file,
// answering its questions, and classify is run on the same file with the same
// settings.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::Binary;
using batchtest::Classify;
using batchtest::CopyDemoData;

const char* const kAnalysisNames[] = {"", "mixed", "composition", "cover", "incomplete", "top-few"};
const char* const kScaleNames[] = {"", "percent", "braun-blanquet", "domin"};
const char* const kGroupNames[] = {"all", "no-lichens", "vascular"};
const char* const kFormatNames[] = {"classic-csv", "classic-text"};

struct Settings {
  int analysis;  // 1..5
  int scale;     // 1..3
  int group;     // 0..2
  int format;    // 0 CSV, 1 text
  int fits;
};

// The answers of a data-file run: title pauses, results file (default), output
// format, input from a data file, its name, species group, cover scale, type of
// analysis, number of fits.
std::string TypedAnswers(const Settings& s, const std::string& dataFile) {
  return "\n\n\n" + std::string("\n") + std::to_string(s.format) + "\n1\n" + dataFile + "\n" +
         std::to_string(s.group) + "\n" + std::to_string(s.scale) + "\n" +
         std::to_string(s.analysis) + "\n" + std::to_string(s.fits) + "\n";
}

std::vector<std::string> ClassifyArgs(const TempDir& dir, const Settings& s, bool analysisByName,
                                      const std::string& dataFile) {
  return {"--tables", dir.path(),
          "--format", kFormatNames[s.format],
          "--scale", kScaleNames[s.scale],
          "--analysis", analysisByName ? kAnalysisNames[s.analysis] : std::to_string(s.analysis),
          "--species-group", kGroupNames[s.group],
          "--fits", std::to_string(s.fits),
          "-q", "-o", "classified.txt", dataFile};
}

// Runs both and compares the results files.
void ExpectSameResults(const TempDir& dir, const Settings& s, bool analysisByName,
                       const std::string& dataFile) {
  const batchtest::Run typed = Binary(dir, {}, TypedAnswers(s, dataFile));
  ASSERT_EQ(typed.status, 0) << typed.err;
  const std::string expected = dir.Read("TABLOUT.TXT");
  ASSERT_FALSE(expected.empty());

  const batchtest::Run run = Classify(dir.path(), ClassifyArgs(dir, s, analysisByName, dataFile));
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(dir.Read("classified.txt"), expected);
}

std::string SettingName(const ::testing::TestParamInfo<std::tuple<int, int, int, int>>& info) {
  return "A" + std::to_string(std::get<0>(info.param)) + "_S" + std::to_string(std::get<1>(info.param)) +
         "_G" + std::to_string(std::get<2>(info.param)) + (std::get<3>(info.param) == 0 ? "_csv" : "_text");
}

class ClassicFormatTest : public ::testing::TestWithParam<std::tuple<int, int, int, int>> {};

TEST_P(ClassicFormatTest, IsTheTypedDataFileRunsResultsFile) {
  const auto [analysis, scale, group, format] = GetParam();
  static const int kFits[] = {1, 5, 14, 20, 99};
  const Settings s{analysis, scale, group, format, kFits[(analysis + scale + group + format) % 5]};
  TempDir dir;
  CopyDemoData(dir);
  ExpectSameResults(dir, s, (analysis + group) % 2 == 0, "SAMP.txt");
  // Every sample of SAMP.txt was reported.
  const std::string results = dir.Read("classified.txt");
  for (const char* name : {"Oakwood bluebell plot", "Chalk down turf", "Field margin by the lane"}) {
    EXPECT_NE(results.find(name), std::string::npos) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EverySetting, ClassicFormatTest,
    ::testing::Combine(::testing::Range(1, 6), ::testing::Range(1, 4), ::testing::Range(0, 3),
                       ::testing::Range(0, 2)),
    SettingName);

// A data file with lines the typed run refuses or reports in its results: a
// maximum frequency out of range, a name without a cover, an unknown name, a
// frequency above the maximum, a CR LF line, a blank first sample, and a last
// sample without a closing blank line.
const char kOddData[] =
    "Wet corner * 200\n"
    "Calluna vulgaris 30\n"
    "Erica tetralix 10\n"
    "\n"
    "Dry bank\n"
    "Festuca ovina 20\n"
    "Koeleria macrantha\n"
    "Xylaria hypoxylon 5\n"
    "Thymus praecox 5\r\n"
    "\n"
    "Empty one\n"
    "\n"
    "Heath * 5\n"
    "Calluna vulgaris 5 40\n"
    "Vaccinium myrtillus 6 10\n"
    "Hypnum jutlandicum 3 10";

class ClassicOddDataTest : public ::testing::TestWithParam<int> {};

TEST_P(ClassicOddDataTest, RefusedAndUnknownLinesAreReportedAsTheTypedRunReportsThem) {
  TempDir dir;
  CopyDemoData(dir);
  dir.Write("odd.txt", kOddData);
  ExpectSameResults(dir, Settings{1, 1, 0, GetParam(), 3}, true, "odd.txt");
  const std::string results = dir.Read("classified.txt");
  EXPECT_NE(results.find("Heath"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, ClassicOddDataTest, ::testing::Values(0, 1));

}  // namespace
