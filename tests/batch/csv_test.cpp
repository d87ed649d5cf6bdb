// The pieces of the CSV input: reading RFC 4180 text, the delimiter, the survey
// columns and their synonyms, telling a survey CSV from sample blocks, writing a
// field, and the samples of a survey with their pooling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch/batch.h"
#include "survey/covers.h"
#include "tables/csv.h"
#include "survey/survey.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"
#include "batch_kit.h"

namespace {

// ---- ParseCsv -------------------------------------------------------------------------

struct ExpectedRow {
  long line;
  std::vector<std::string> fields;
};
struct ParseCase {
  const char* name;
  std::string text;
  char delimiter;
  std::vector<std::string> header;
  std::vector<ExpectedRow> rows;
};

class ParseCsvTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCsvTest, ReadsHeaderRowsAndTheLineEachRowStartsOn) {
  const ParseCase& c = GetParam();
  CsvTable table;
  std::string error;
  ASSERT_TRUE(ParseCsv(c.text, table, error)) << error;
  EXPECT_EQ(table.delimiter, c.delimiter);
  EXPECT_EQ(table.header, c.header);
  ASSERT_EQ(table.rows.size(), c.rows.size());
  for (size_t i = 0; i < c.rows.size(); ++i) {
    EXPECT_EQ(table.rows[i].line, c.rows[i].line) << "row " << i;
    EXPECT_EQ(table.rows[i].fields, c.rows[i].fields) << "row " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseCsvTest,
    ::testing::Values(
        ParseCase{"QuotedDelimiterAndDoubledQuotes",
                  "sample,species,cover\n\"Plot 1, north\",\"Quercus \"\"robur\"\"\",5\n",
                  ',',
                  {"sample", "species", "cover"},
                  {{2, {"Plot 1, north", "Quercus \"robur\"", "5"}}}},
        ParseCase{"EmptyFieldsAndATrailingDelimiter",
                  "a,b,c\n1,,3\n4,5,\n",
                  ',',
                  {"a", "b", "c"},
                  {{2, {"1", "", "3"}}, {3, {"4", "5", ""}}}},
        ParseCase{"LineEndInsideQuotesKeepsTheStartLine",
                  "h1,h2\nA,\"x\ny\"\nB,z\n",
                  ',',
                  {"h1", "h2"},
                  {{2, {"A", "x\ny"}}, {4, {"B", "z"}}}},
        ParseCase{"BlankLinesAreSkippedButCounted",
                  "h\n\nA\n\r\n\nB\n",
                  0,
                  {"h"},
                  {{3, {"A"}}, {6, {"B"}}}},
        ParseCase{"CrLfLineEndsAndNoEndOnTheLastLine",
                  "a;b\r\n1;2\r\n3;4",
                  ';',
                  {"a", "b"},
                  {{2, {"1", "2"}}, {3, {"3", "4"}}}},
        ParseCase{"ByteOrderMarkIsSkipped",
                  "\xEF\xBB\xBFsample\tspecies\nQ1\tQuercus robur\n",
                  '\t',
                  {"sample", "species"},
                  {{2, {"Q1", "Quercus robur"}}}},
        ParseCase{"QuotedHeaderNames",
                  "\"Quadrat\";\"Taxon\";\"Cover\"\nQ1;\"Carex; flacca\";\"2,5\"\n",
                  ';',
                  {"Quadrat", "Taxon", "Cover"},
                  {{2, {"Q1", "Carex; flacca", "2,5"}}}},
        // The header is the first line that is not blank, and its delimiter is
        // the one of the whole table.
        ParseCase{"BlankLineBeforeTheHeader",
                  "\nsample;species;cover\nQ1;Quercus robur;5\n",
                  ';',
                  {"sample", "species", "cover"},
                  {{3, {"Q1", "Quercus robur", "5"}}}}),
    [](const ::testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(ParseCsv, CrLfInsideQuotesCountsAsOneLine) {
  CsvTable table;
  std::string error;
  ASSERT_TRUE(ParseCsv("h1,h2\r\nA,\"x\r\ny\"\r\nB,z\r\n", table, error)) << error;
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[0].line, 2);
  EXPECT_EQ(table.rows[1].line, 4);
  const std::string& f = table.rows[0].fields[1];
  ASSERT_GE(f.size(), 3u);
  EXPECT_EQ(f.front(), 'x');
  EXPECT_EQ(f.back(), 'y');
  EXPECT_EQ(table.rows[1].fields, (std::vector<std::string>{"B", "z"}));
}

TEST(ParseCsv, UnclosedQuoteIsAnErrorNamingTheLineItOpensOn) {
  CsvTable table;
  std::string error;
  EXPECT_FALSE(ParseCsv("h1,h2\nA,b\nC,\"open\nD,e\n", table, error));
  EXPECT_NE(error.find("3"), std::string::npos) << error;
  EXPECT_EQ(error.find("2"), std::string::npos) << error;
}

// ---- DetectDelimiter ------------------------------------------------------------------

struct DelimiterCase {
  const char* line;
  char expected;
};
class DetectDelimiterTest : public ::testing::TestWithParam<DelimiterCase> {};

TEST_P(DetectDelimiterTest, TakesTheMostFrequentOutsideQuotes) {
  EXPECT_EQ(DetectDelimiter(GetParam().line), GetParam().expected) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Lines, DetectDelimiterTest,
                         ::testing::Values(DelimiterCase{"sample,species,cover", ','},
                                           DelimiterCase{"sample;species;cover", ';'},
                                           DelimiterCase{"sample\tspecies\tcover", '\t'},
                                           DelimiterCase{"sample species cover", 0},
                                           DelimiterCase{"", 0},
                                           DelimiterCase{"\"a;b;c\",d,e", ','},
                                           DelimiterCase{"\"x,y,z\";b;c", ';'},
                                           DelimiterCase{"a;b;c,d", ';'},
                                           DelimiterCase{"\"a,b\"\tc\td", '\t'}));

// ---- column names ------------------------------------------------------------------------

struct ColumnsCase {
  const char* name;
  std::vector<std::string> header;
  std::vector<ColumnRole> roles;
};
class ColumnRolesTest : public ::testing::TestWithParam<ColumnsCase> {};

TEST_P(ColumnRolesTest, FindsEachColumnByItsSynonyms) {
  const ColumnsCase& c = GetParam();
  ASSERT_EQ(c.header.size(), c.roles.size());
  for (size_t i = 0; i < c.header.size(); ++i) {
    EXPECT_EQ(RoleOfColumn(c.header[i]), c.roles[i]) << c.header[i];
  }
}

using R = ColumnRole;
INSTANTIATE_TEST_SUITE_P(
    Headers, ColumnRolesTest,
    ::testing::Values(
        ColumnsCase{"Plain", {"sample", "species", "cover"}, {R::kQuadrat, R::kSpecies, R::kCover}},
        ColumnsCase{"QuadratTaxonAbundance", {"Quadrat", "Taxon", "Abundance"}, {R::kQuadrat, R::kSpecies, R::kCover}},
        ColumnsCase{"PlotNameValue", {"PLOT", "Name", "value"}, {R::kQuadrat, R::kSpecies, R::kCover}},
        ColumnsCase{"ReleveTaxonNameDomin", {"releve", "taxon_name", "Domin"}, {R::kQuadrat, R::kSpecies, R::kCover}},
        ColumnsCase{"AccentedReleveScientificNamePercent",
                    {"Relev\xC3\xA9", "scientific_name", "Percent"}, {R::kQuadrat, R::kSpecies, R::kCover}},
        ColumnsCase{"SiteIdAndBlanksInNames", {" site_id ", "Scientific Name", "cover"}, {R::kSite, R::kSpecies, R::kCover}},
        ColumnsCase{"FrequencyColumn", {"SAMPLE", "SPECIES", "COVER", "Frequency"},
                    {R::kQuadrat, R::kSpecies, R::kCover, R::kFrequency}},
        ColumnsCase{"ColumnsInAnyOrderAmongOthers", {"date", "sample", "observer", "species", "freq", "cover"},
                    {R::kYear, R::kQuadrat, R::kOther, R::kSpecies, R::kFrequency, R::kCover}},
        // As typed on a field sheet, and as R's check.names writes them.
        ColumnsCase{"FieldSheet", {"Site", "Transect", "Quadrat no.", "Latin name", "Cover (%)", "Layer"},
                    {R::kSite, R::kGroup, R::kQuadrat, R::kSpecies, R::kCover, R::kLayer}},
        ColumnsCase{"RNames", {"Site.name", "Survey.year", "Cover....", "X"}, {R::kSite, R::kYear, R::kCover, R::kOther}},
        ColumnsCase{"AccentedReleveInCapitals", {"RELEV\xC3\x89", "TAXON", "COVER"}, {R::kQuadrat, R::kSpecies, R::kCover}}),
    [](const ::testing::TestParamInfo<ColumnsCase>& info) { return std::string(info.param.name); });

// ---- LooksLikeTable ------------------------------------------------------------------

struct LooksCase {
  const char* text;
  bool table;
};
class LooksLikeTableTest : public ::testing::TestWithParam<LooksCase> {};

TEST_P(LooksLikeTableTest, TellsATableFromSampleBlocks) {
  EXPECT_EQ(LooksLikeTable(GetParam().text), GetParam().table) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    FirstLines, LooksLikeTableTest,
    ::testing::Values(LooksCase{"sample,species,cover", true},
                      LooksCase{"\xEF\xBB\xBFQuadrat;Taxon;Cover\r", true},
                      LooksCase{"plot\tname", true},
                      LooksCase{"\"Sample\",\"Species\"", true},
                      LooksCase{"sample,cover", false},
                      LooksCase{"sample,cover\nA,5\n", true},  // a table, refused later for want of species
                      // A wide table and a matrix named by R's row names.
                      LooksCase{"Site,Wood,Wood\nSpecies,,\nQuercus robur,5,", true},
                      LooksCase{"\"\",\"Quercus.robur\",\"Hedera.helix\"\n\"1\",5,0\n", true},
                      LooksCase{"Oakwood bluebell plot", false},
                      LooksCase{"Chalk down turf * 10", false},
                      LooksCase{"Wood, north side\nQuer robu 20\n", false},
                      LooksCase{"Plot\tA\nCalluna\tvulgaris\t5\n", false},
                      LooksCase{"sample species cover", false},
                      LooksCase{"", false}));

// ---- AppendCsvField ---------------------------------------------------------------------------

TEST(AppendCsvField, QuotesOnlyWhatNeedsQuotingAndDoublesQuotes) {
  struct Case {
    std::string field;
    std::string written;
  };
  const std::vector<Case> cases = {
      {"Quercus robur", "Quercus robur"},
      {"", ""},
      {"Plot 1, north", "\"Plot 1, north\""},
      {"Meadow \"B\"", "\"Meadow \"\"B\"\"\""},
      {"two\nlines", "\"two\nlines\""},
  };
  for (const Case& c : cases) {
    std::string line = "x,";
    AppendCsvField(line, c.field);
    EXPECT_EQ(line, "x," + c.written) << c.field;
    // What is written reads back as the field.
    const batchtest::Table t = batchtest::ReadRfc4180(line + "\n");
    ASSERT_TRUE(t.ok);
    ASSERT_EQ(t.rows.size(), 1u);
    ASSERT_EQ(t.rows[0].size(), 2u);
    EXPECT_EQ(t.rows[0][1], c.field);
  }
}

// ---- samples of a long table, and pooling --------------------------------------------------

SurveyTable Read(const std::string& text, std::vector<InputProblem>& problems, bool presence = false) {
  CsvTable t;
  std::string error;
  EXPECT_TRUE(ParseCsv(text, t, error)) << error;
  SurveyReading how;
  how.presence = presence;
  SurveyTable table;
  EXPECT_TRUE(ReadSurvey(GridOf(std::move(t)), how, table, problems, error)) << error;
  TakeCovers(table, CoverRules{kPercentScale, presence, false}, problems);
  return table;
}

TEST(SurveySamples, SamplesInOrderOfFirstAppearanceAndRefusedRowsWithTheirLines) {
  const std::string text =
      "sample,species,cover\n"
      "B,Quercus robur,60\n"   // 2
      "A,Calluna vulgaris,70\n"  // 3
      "B,Corylus avellana,\n"  // 4: no cover
      ",Hedera helix,5\n"      // 5: no sample
      "A,,5\n"                 // 6: no species
      "B,Hedera helix,10\n";  // 7
  std::vector<InputProblem> problems;
  const SurveyTable t = Read(text, problems);
  const std::vector<SurveySample>& s = t.samples;
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[0].name, "B");
  EXPECT_EQ(s[0].line, 2);
  ASSERT_EQ(s[0].records.size(), 2u);
  EXPECT_EQ(s[0].records[1].species, "Hedera helix");
  EXPECT_EQ(s[0].records[1].line, 7);
  EXPECT_EQ(s[1].name, "A");
  ASSERT_EQ(s[1].records.size(), 1u);
  std::vector<long> lines;
  for (const InputProblem& p : problems) {
    lines.push_back(p.line);
    EXPECT_TRUE(p.refused);
  }
  EXPECT_EQ(lines, (std::vector<long>{5, 6, 4}));  // rows as read, then covers

  // As presence data the row without a cover is taken.
  problems.clear();
  const SurveyTable p = Read(text, problems, true);
  ASSERT_EQ(p.samples.size(), 2u);
  EXPECT_EQ(p.samples[0].records.size(), 3u);
  EXPECT_EQ(problems.size(), 2u);
}

TEST(PoolSamples, FrequencyIsSamplesHoldingTheSpeciesCoverTheMeanOfTheCoversGiven) {
  // Site S: plots P1, P2, P3 (P3's rows come after site T's); site T: Q1, Q2.
  std::vector<InputProblem> problems;
  SurveyTable t = Read(
      "site,plot,species,cover\n"
      "S,P1,Quercus robur,60\n"
      "S,P1,Corylus avellana,20\n"
      "S,P2,Quercus robur,40\n"
      "S,P2,Corylus avellana,15\n"
      "T,Q1,Calluna vulgaris,70\n"
      "S,P3,Quercus robur,20\n"
      "S,P3,Hedera helix,10\n"
      "T,Q2,calluna  VULGARIS,50\n",
      problems);
  ASSERT_EQ(t.samples.size(), 5u);
  std::string error;
  EXPECT_FALSE(PoolSamples(t, {"species"}, error));  // not a column that names samples
  ASSERT_TRUE(PoolSamples(t, {"SITE"}, error)) << error;
  EXPECT_EQ(t.idHeaders, std::vector<std::string>{"site"});
  const std::vector<SurveySample>& pooled = t.samples;
  ASSERT_EQ(pooled.size(), 2u);

  const SurveySample& s = pooled[0];
  EXPECT_EQ(s.name, "S");
  EXPECT_EQ(s.maxFreq, 3);
  ASSERT_EQ(s.records.size(), 3u);
  struct Want {
    const char* species;
    int freq;
    double cover;
  };
  const Want want[] = {{"Quercus robur", 3, 40.0}, {"Corylus avellana", 2, 17.5}, {"Hedera helix", 1, 10.0}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(s.records[i].species, want[i].species);
    EXPECT_EQ(s.records[i].frequency, want[i].freq) << want[i].species;
    EXPECT_DOUBLE_EQ(s.records[i].cover, want[i].cover) << want[i].species;
  }
  // The same species written in another case and spacing is one species.
  const SurveySample& tt = pooled[1];
  EXPECT_EQ(tt.name, "T");
  EXPECT_EQ(tt.maxFreq, 2);
  ASSERT_EQ(tt.records.size(), 1u);
  EXPECT_EQ(tt.records[0].frequency, 2);
  EXPECT_DOUBLE_EQ(tt.records[0].cover, 60.0);
  EXPECT_TRUE(tt.records[0].meanCover);
}

}  // namespace
