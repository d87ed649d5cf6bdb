// The inputs of `vegmatch classify`: the same samples as blocks and as a survey
// CSV in its every form give the same results; pooling makes the frequency sample
// one would write by hand; presence data; the warning on covers that are all the
// same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::Classify;
using batchtest::DemoTables;
using batchtest::Lines;
using batchtest::ReadRfc4180;

struct Record {
  std::string blockName;  // as a data-file line writes it (two words)
  std::string csvName;    // as a survey database writes it
  std::string cover;      // with a decimal point
};
struct Sample {
  std::string name;
  std::vector<Record> records;
};

// Three samples drawn from units of the demonstration set. Names with a comma and
// a quote; CSV species names with a third word or a qualifier after a comma,
// which only the first two words of resolve; an unknown name; a fractional cover.
const std::vector<Sample>& HandSamples() {
  static const std::vector<Sample> kSamples = {
      {"Oak wood, north",
       {{"Quercus robur", "Quercus robur, sensu lato", "60"},
        {"Corylus avellana", "Corylus avellana", "25"},
        {"Hyacinthoides non-scripta", "Hyacinthoides non-scripta", "40"},
        {"Rubus fruticosus", "Rubus fruticosus agg.", "10"},
        {"Kindbergia praelonga", "Kindbergia praelonga", "5"},
        {"Hedera helix", "Hedera helix", "2.5"}}},
      {"Meadow \"B\"",
       {{"Cynosurus cristatus", "Cynosurus cristatus", "15"},
        {"Centaurea nigra", "Centaurea nigra", "10"},
        {"Lathyrus pratensis", "Lathyrus pratensis", "5"},
        {"Festuca rubra", "Festuca rubra", "20"},
        {"Gymnadenia conopsea", "Gymnadenia conopsea", "1"},
        {"Trifolium repens", "Trifolium repens", "5"}}},
      {"Heath",
       {{"Calluna vulgaris", "Calluna vulgaris", "70"},
        {"Vaccinium myrtillus", "Vaccinium myrtillus", "25"},
        {"Cladonia portentosa", "Cladonia portentosa", "2"},
        {"Hypnum jutlandicum", "Hypnum jutlandicum", "10"},
        {"Deschampsia flexuosa", "Deschampsia flexuosa", "5"}}},
  };
  return kSamples;
}

std::string AsBlocks(const std::vector<Sample>& samples) {
  std::string text;
  for (const Sample& s : samples) {
    text += s.name + "\n";
    for (const Record& r : s.records) text += r.blockName + " " + r.cover + "\n";
    text += "\n";
  }
  return text;
}

struct CsvForm {
  char delimiter;
  bool bom;
  bool crlf;
  bool interleaved;
  bool quoteAll;
};

std::string CsvField(const std::string& f, const CsvForm& form) {
  const bool needs = f.find_first_of(std::string("\"\n") + form.delimiter) != std::string::npos;
  if (!needs && !form.quoteAll) return f;
  std::string q = "\"";
  for (char c : f) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

std::string AsCsv(const std::vector<Sample>& samples, const CsvForm& form) {
  const std::string eol = form.crlf ? "\r\n" : "\n";
  auto row = [&](const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) line += form.delimiter;
      line += CsvField(fields[i], form);
    }
    return line + eol;
  };
  auto cover = [&](std::string c) {
    // A semicolon-separated export writes decimal commas.
    if (form.delimiter == ';') {
      for (char& ch : c) ch = ch == '.' ? ',' : ch;
    }
    return c;
  };
  std::string text = form.bom ? "\xEF\xBB\xBF" : "";
  text += row({"Quadrat", "Taxon", "Cover"});
  if (form.interleaved) {
    // Round robin: the first row of every sample, then the second, and so on.
    for (size_t i = 0;; ++i) {
      bool any = false;
      for (const Sample& s : samples) {
        if (i < s.records.size()) {
          text += row({s.name, s.records[i].csvName, cover(s.records[i].cover)});
          any = true;
        }
      }
      if (!any) break;
    }
  } else {
    for (const Sample& s : samples) {
      for (const Record& r : s.records) text += row({s.name, r.csvName, cover(r.cover)});
    }
  }
  return text;
}

class BlocksAndCsvTest : public ::testing::TestWithParam<CsvForm> {};

TEST_P(BlocksAndCsvTest, SameSamplesGiveTheSameTidyResults) {
  TempDir dir;
  dir.Write("samples.txt", AsBlocks(HandSamples()));
  dir.Write("survey.csv", AsCsv(HandSamples(), GetParam()));
  const batchtest::Run blocks = Classify(dir.path(), {"--tables", DemoTables(), "samples.txt"});
  const batchtest::Run csv = Classify(dir.path(), {"--tables", DemoTables(), "survey.csv"});
  ASSERT_EQ(blocks.status, 0) << blocks.err;
  ASSERT_EQ(csv.status, 0) << csv.err;
  // The survey's results name each sample by its Quadrat column too.
  EXPECT_EQ(csv.out.substr(0, csv.out.find('\n')).rfind("sample,Quadrat,rank,", 0), 0u) << csv.out;
  EXPECT_EQ(batchtest::DropColumns(csv.out, 1, 1), blocks.out);
  EXPECT_EQ(batchtest::CountOf(csv.err, "unknown name \""), 1u) << csv.err;
  EXPECT_EQ(batchtest::CountOf(csv.err, "left out"), 0u) << csv.err;

  // Three samples, five ranks each, in order of first appearance, names intact.
  const batchtest::Table t = ReadRfc4180(blocks.out);
  ASSERT_TRUE(t.ok);
  ASSERT_EQ(t.rows.size(), 1u + 3 * 5);
  EXPECT_EQ(t.rows[1][0], "Oak wood, north");
  EXPECT_EQ(t.rows[6][0], "Meadow \"B\"");
  EXPECT_EQ(t.rows[11][0], "Heath");
  // Every species was found: the wood's six and the heath's five.
  EXPECT_EQ(t.rows[1][13], "6");
  EXPECT_EQ(t.rows[11][13], "5");
}

INSTANTIATE_TEST_SUITE_P(
    Forms, BlocksAndCsvTest,
    ::testing::Values(CsvForm{',', false, false, false, false}, CsvForm{',', true, true, true, false},
                      CsvForm{';', false, false, true, false}, CsvForm{';', true, true, false, true},
                      CsvForm{'\t', false, true, false, false}, CsvForm{'\t', true, false, true, true},
                      CsvForm{',', false, false, true, true}),
    [](const ::testing::TestParamInfo<CsvForm>& info) {
      const CsvForm& f = info.param;
      std::string n = f.delimiter == ',' ? "comma" : f.delimiter == ';' ? "semicolon" : "tab";
      if (f.bom) n += "_bom";
      if (f.crlf) n += "_crlf";
      if (f.interleaved) n += "_interleaved";
      if (f.quoteAll) n += "_quoted";
      return n;
    });

TEST(CsvInput, BlankLinesBeforeTheHeaderAreSkipped) {
  // Exports sometimes begin with an empty line; the header is the first line
  // that is not blank.
  for (const char delimiter : {',', ';'}) {
    TempDir dir;
    const std::string csv = AsCsv(HandSamples(), CsvForm{delimiter, false, false, false, false});
    dir.Write("plain.csv", csv);
    dir.Write("blank.csv", "\n\n" + csv);
    const batchtest::Run plain = Classify(dir.path(), {"--tables", DemoTables(), "-q", "plain.csv"});
    const batchtest::Run blank = Classify(dir.path(), {"--tables", DemoTables(), "-q", "blank.csv"});
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_EQ(blank.status, 0) << blank.err;
    EXPECT_EQ(blank.out, plain.out) << "delimiter " << delimiter << "\n" << blank.err;
  }
}

TEST(BlockInput, CrLfLineEndsReadAsLf) {
  TempDir dir;
  std::string crlf;
  for (char c : AsBlocks(HandSamples())) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  dir.Write("lf.txt", AsBlocks(HandSamples()));
  dir.Write("crlf.txt", crlf);
  const batchtest::Run lf = Classify(dir.path(), {"--tables", DemoTables(), "-q", "lf.txt"});
  const batchtest::Run cr = Classify(dir.path(), {"--tables", DemoTables(), "-q", "crlf.txt"});
  ASSERT_EQ(lf.status, 0);
  ASSERT_EQ(cr.status, 0) << cr.err;
  EXPECT_EQ(cr.out, lf.out);
}

TEST(BlockInput, LinesOfWhiteSpaceAloneEndASample) {
  // Any white space the C library counts as such, with or without a CR before
  // the line end, stands for the blank line between two samples (a spreadsheet
  // writes an empty row as tabs); before the first sample it is passed over.
  TempDir dir;
  const std::string lf = AsBlocks(HandSamples());
  dir.Write("lf.txt", lf);
  const batchtest::Run plain = Classify(dir.path(), {"--tables", DemoTables(), "-q", "lf.txt"});
  ASSERT_EQ(plain.status, 0) << plain.err;
  for (const std::string blank : {" ", "\t", "\v", "\f", " \t\v\f \r"}) {
    std::string spaced;
    for (size_t i = 0; i < lf.size(); ++i) {
      spaced += lf[i];
      if (lf[i] == '\n' && i + 1 < lf.size() && lf[i + 1] == '\n') spaced += blank;
    }
    spaced = blank + "\n" + spaced;
    dir.Write("spaced.txt", spaced);
    const batchtest::Run run = Classify(dir.path(), {"--tables", DemoTables(), "-q", "spaced.txt"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, plain.out) << "blank line " << ::testing::PrintToString(blank);
  }
}

// Classifies the block file `written` and the block file `plain` that says the
// same in the plainest way, in both kinds of results: the same results, and
// nothing refused or unknown.
void ExpectReadAlike(const std::string& plain, const std::string& written) {
  TempDir dir;
  dir.Write("plain.txt", plain);
  dir.Write("written.txt", written);
  for (const std::vector<std::string>& format : {std::vector<std::string>{}, {"--format", "classic-csv"}}) {
    std::vector<std::string> args = {"--tables", DemoTables(), "-q"};
    args.insert(args.end(), format.begin(), format.end());
    std::vector<std::string> plainArgs = args;
    plainArgs.push_back("plain.txt");
    args.push_back("written.txt");
    const batchtest::Run a = Classify(dir.path(), plainArgs);
    const batchtest::Run b = Classify(dir.path(), args);
    const char* kind = format.empty() ? "tidy" : "classic-csv";
    ASSERT_EQ(a.status, 0) << a.err;
    EXPECT_EQ(b.status, 0) << kind << "\n" << b.err;
    EXPECT_EQ(b.err, "") << kind;
    EXPECT_NE(a.out.find("Plot F"), std::string::npos);
    EXPECT_EQ(b.out, a.out) << kind;
  }
}

TEST(BlockInput, CoversWithADecimalCommaAreReadAsWithAPoint) {
  // "0,5" would be read as 0 and "12,5" as 12 (the number stops at the comma);
  // a CSV cover is read with its comma as a point, and so is a block file's, in
  // every format, for cover and frequency data alike.
  const std::string point =
      "Plot A\nCalluna vulgaris 0.5\nErica tetralix 12.5\nMolinia caerulea 40\n\n"
      "Plot F * 4\nCalluna vulgaris 3 0.5\nErica tetralix 2 12.5\nMolinia caerulea 4 40\n";
  std::string comma = point;
  for (const char* from : {"0.5", "12.5"}) {
    for (size_t at = comma.find(from); at != std::string::npos; at = comma.find(from, at + 1)) {
      comma[at + std::strlen(from) - 2] = ',';
    }
  }
  ASSERT_EQ(std::count(comma.begin(), comma.end(), ','), 4);
  ExpectReadAlike(point, comma);
}

TEST(BlockInput, TabsPartWordsAsBlanksDo) {
  // Columns pasted from a spreadsheet: name, frequency and cover parted by tabs,
  // a tab inside the name and the sample's name, tabs at the ends of lines.
  ExpectReadAlike(
      "Plot A\nCalluna vulgaris 50\nErica tetralix 12\nMolinia caerulea 40\n\n"
      "Plot F * 4\nCalluna vulgaris 3 50\nErica tetralix 2 12,5\n",
      "Plot\tA\t\nCalluna\tvulgaris\t50\nErica tetralix\t12\t\n\tMolinia caerulea\t40\n\t\n"
      "Plot F\t*\t4\nCalluna vulgaris\t3\t50\r\nErica\ttetralix\t2\t12,5\n");
}

TEST(Inputs, SeveralFilesAndStandardInputAreReadInTurn) {
  TempDir dir;
  const std::vector<Sample>& all = HandSamples();
  dir.Write("one.txt", AsBlocks({all[0]}));
  dir.Write("two.csv", AsCsv({all[1]}, CsvForm{',', false, false, false, false}));
  const std::string three = AsBlocks({all[2]});
  const batchtest::Run together = Classify(dir.path(), {"--tables", DemoTables(), "-q", "one.txt", "two.csv", "-"}, three);
  const batchtest::Run whole = Classify(dir.path(), {"--tables", DemoTables(), "-q"}, AsBlocks(all));
  ASSERT_EQ(together.status, 0) << together.err;
  ASSERT_EQ(whole.status, 0) << whole.err;
  // Several inputs: each sample is named by its input too.
  const batchtest::Table t = ReadRfc4180(together.out);
  ASSERT_EQ(t.rows.size(), 1u + 3 * 5);
  EXPECT_EQ(t.rows[0][1], "file");
  EXPECT_EQ(t.rows[0][2], "Quadrat");
  EXPECT_EQ(t.rows[1][0], "one.txt Oak wood, north");
  EXPECT_EQ(t.rows[6][1], "two.csv");
  EXPECT_EQ(t.rows[6][2], "Meadow \"B\"");
  EXPECT_EQ(t.rows[11][0], "- Heath");
  EXPECT_EQ(batchtest::DropColumns(together.out, 0, 3), batchtest::DropColumns(whole.out, 0, 1));
  EXPECT_EQ(Lines(whole.out).size(), 1u + 3 * 5);
}

// ---- pooling ----------------------------------------------------------------------------------

TEST(PoolBy, PooledSurveyIsTheFrequencySampleWrittenByHand) {
  TempDir dir;
  // Site S: plots P1..P3; site T: plots Q1, Q2; rows of the sites interleaved.
  dir.Write("plots.csv",
            "Site,Plot,Species,Cover\n"
            "S,P1,Quercus robur,60\n"
            "S,P1,Corylus avellana,20\n"
            "S,P1,Hedera helix,10\n"
            "S,P2,Quercus robur,40\n"
            "S,P2,Corylus avellana,15\n"
            "T,Q1,Calluna vulgaris,70\n"
            "T,Q1,Vaccinium myrtillus,20\n"
            "S,P3,Quercus robur,20\n"
            "S,P3,Hyacinthoides non-scripta,30\n"
            "T,Q2,Calluna vulgaris,50\n"
            "T,Q2,Erica tetralix,5\n");
  // Frequency = plots holding the species, maximum = plots of the site, cover =
  // the mean of the covers given: Quercus (60+40+20)/3, Corylus (20+15)/2.
  dir.Write("pooled.txt",
            "S * 3\n"
            "Quercus robur 3 40\n"
            "Corylus avellana 2 17.5\n"
            "Hedera helix 1 10\n"
            "Hyacinthoides non-scripta 1 30\n"
            "\n"
            "T * 2\n"
            "Calluna vulgaris 2 60\n"
            "Vaccinium myrtillus 1 20\n"
            "Erica tetralix 1 5\n");
  for (const char* analysis : {"mixed", "top-few"}) {
    const batchtest::Run pooled = Classify(
        dir.path(), {"--tables", DemoTables(), "--analysis", analysis, "--pool-by", "site", "plots.csv"});
    const batchtest::Run byHand =
        Classify(dir.path(), {"--tables", DemoTables(), "--analysis", analysis, "pooled.txt"});
    ASSERT_EQ(pooled.status, 0) << pooled.err;
    ASSERT_EQ(byHand.status, 0) << byHand.err;
    EXPECT_EQ(batchtest::DropColumns(pooled.out, 1, 1), byHand.out) << analysis;
    const batchtest::Table t = ReadRfc4180(pooled.out);
    ASSERT_EQ(t.rows.size(), 1u + 2 * 5);
    EXPECT_EQ(t.rows[1][0], "S");
    EXPECT_EQ(t.rows[6][0], "T");
  }
  // Without pooling every plot is a sample of its own.
  const batchtest::Run plots = Classify(dir.path(), {"--tables", DemoTables(), "-q", "plots.csv"});
  EXPECT_EQ(ReadRfc4180(plots.out).rows.size(), 1u + 5 * 5);
}

TEST(PoolBy, GroupOfMoreThanOneHundredSamplesKeepsFrequenciesToOneHundred) {
  // 101 plots that all hold the same two species: every species is in every plot,
  // so kept to 100 the pooled sample is "S * 100" with both species at 100.
  TempDir dir;
  std::string csv = "site,plot,species,cover\n";
  for (int i = 1; i <= 101; ++i) {
    csv += "S,P" + std::to_string(i) + ",Quercus robur,60\n";
    csv += "S,P" + std::to_string(i) + ",Corylus avellana,20\n";
  }
  dir.Write("many.csv", csv);
  dir.Write("hundred.txt", "S * 100\nQuercus robur 100 60\nCorylus avellana 100 20\n");
  const batchtest::Run pooled = Classify(dir.path(), {"--tables", DemoTables(), "--pool-by", "site", "many.csv"});
  const batchtest::Run byHand = Classify(dir.path(), {"--tables", DemoTables(), "hundred.txt"});
  EXPECT_EQ(pooled.status, 0) << pooled.err;
  EXPECT_EQ(batchtest::DropColumns(pooled.out, 1, 1), byHand.out) << pooled.err;
  EXPECT_EQ(pooled.err.find("read as cover data"), std::string::npos) << pooled.err;
}

TEST(PoolBy, MissingPoolingColumnIsAnInputFailure) {
  TempDir dir;
  dir.Write("plots.csv", "plot,species,cover\nP1,Quercus robur,60\n");
  const batchtest::Run r = Classify(dir.path(), {"--tables", DemoTables(), "--pool-by", "site", "plots.csv"});
  EXPECT_EQ(r.status, kClassifyInputFailed);
  EXPECT_NE(r.err.find("plots.csv:1: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("site"), std::string::npos) << r.err;
}

// ---- presence data -----------------------------------------------------------------------------

// A few samples of presence data written three ways, and the same samples with
// covers of all kinds.
const char kPresenceBlocks[] =
    "Wood\nQuercus robur\nCorylus avellana\nHedera helix\nHyacinthoides non-scripta\n\n"
    "Meadow\nCynosurus cristatus\nCentaurea nigra\nFestuca rubra\n";
const char kPresenceCsv[] =
    "sample,species\nWood,Quercus robur\nWood,Corylus avellana\nMeadow,Cynosurus cristatus\n"
    "Wood,Hedera helix\nMeadow,Centaurea nigra\nWood,Hyacinthoides non-scripta\nMeadow,Festuca rubra\n";
const char kPresenceCsvEmptyCovers[] =
    "sample,species,cover\nWood,Quercus robur,\nWood,Corylus avellana,\nWood,Hedera helix,\n"
    "Wood,Hyacinthoides non-scripta,\nMeadow,Cynosurus cristatus,\nMeadow,Centaurea nigra,\n"
    "Meadow,Festuca rubra,\n";
const char kCoverBlocks[] =
    "Wood\nQuercus robur 60\nCorylus avellana 25\nHedera helix 3\nHyacinthoides non-scripta 40\n\n"
    "Meadow\nCynosurus cristatus 15\nCentaurea nigra 1\nFestuca rubra 30\n";

TEST(Presence, NamesAloneAreScoredByCompositionWhateverTheCovers) {
  TempDir dir;
  dir.Write("p.txt", kPresenceBlocks);
  dir.Write("p.csv", kPresenceCsv);
  dir.Write("e.csv", kPresenceCsvEmptyCovers);
  dir.Write("c.txt", kCoverBlocks);
  const std::string tables = DemoTables();
  const batchtest::Run blocks = Classify(dir.path(), {"--tables", tables, "--scale", "presence", "p.txt"});
  const batchtest::Run csv = Classify(dir.path(), {"--tables", tables, "--scale", "presence", "p.csv"});
  const batchtest::Run empty = Classify(dir.path(), {"--tables", tables, "--scale", "presence", "e.csv"});
  // Composition takes no account of cover: covered samples scored by
  // composition give the same fits.
  const batchtest::Run composition =
      Classify(dir.path(), {"--tables", tables, "--analysis", "composition", "c.txt"});
  ASSERT_EQ(blocks.status, 0) << blocks.err;
  ASSERT_EQ(csv.status, 0) << csv.err;
  ASSERT_EQ(empty.status, 0) << empty.err;
  ASSERT_EQ(composition.status, 0) << composition.err;
  EXPECT_EQ(csv.out, blocks.out);
  EXPECT_EQ(empty.out, blocks.out);
  EXPECT_EQ(composition.out, blocks.out);

  // The default analysis of presence data is composition: fits 3 and 4, the
  // cover fits, are not shown.
  const batchtest::Table t = ReadRfc4180(blocks.out);
  ASSERT_EQ(t.rows.size(), 1u + 2 * 5);
  for (size_t i = 1; i < t.rows.size(); ++i) {
    EXPECT_EQ(t.rows[i][8], "0.0");
    EXPECT_EQ(t.rows[i][9], "0.0");
  }
  // Without --scale presence a name alone is a bad line.
  const batchtest::Run notPresence = Classify(dir.path(), {"--tables", tables, "p.txt"});
  EXPECT_NE(notPresence.err.find("p.txt:2: "), std::string::npos) << notPresence.err;
}

TEST(Presence, CsvAndBlocksAgreeWhenCoversAreGiven) {
  // The same covered samples, as blocks and as CSV, read as presence data and
  // scored with covers (mixed analysis asked for).
  TempDir dir;
  dir.Write("c.txt", kCoverBlocks);
  dir.Write("c.csv",
            "sample,species,cover\nWood,Quercus robur,60\nWood,Corylus avellana,25\nWood,Hedera helix,3\n"
            "Wood,Hyacinthoides non-scripta,40\nMeadow,Cynosurus cristatus,15\nMeadow,Centaurea nigra,1\n"
            "Meadow,Festuca rubra,30\n");
  const std::vector<std::string> common = {"--tables", DemoTables(), "--scale", "presence", "--analysis", "mixed", "-q"};
  std::vector<std::string> a = common;
  a.push_back("c.txt");
  std::vector<std::string> b = common;
  b.push_back("c.csv");
  const batchtest::Run blocks = Classify(dir.path(), a);
  const batchtest::Run csv = Classify(dir.path(), b);
  ASSERT_EQ(blocks.status, 0);
  ASSERT_EQ(csv.status, 0);
  EXPECT_EQ(csv.out, blocks.out);
}

TEST(Presence, FrequencyBlocksMayHoldNoCover) {
  // Presence data gathered as frequencies: each line holds a name and its
  // frequency, or a name alone; the same sample with nominal covers is the
  // reference (composition takes no account of cover).
  TempDir dir;
  dir.Write("freq.txt", "Turf * 4\nFestuca ovina 3\nCarex flacca 2\nBriza media 1\n");
  dir.Write("withcovers.txt", "Turf * 4\nFestuca ovina 3 5\nCarex flacca 2 5\nBriza media 1 5\n");
  const batchtest::Run bare = Classify(dir.path(), {"--tables", DemoTables(), "--scale", "presence", "freq.txt"});
  const batchtest::Run covered =
      Classify(dir.path(), {"--tables", DemoTables(), "--scale", "presence", "withcovers.txt"});
  ASSERT_EQ(covered.status, 0) << covered.err;
  EXPECT_EQ(bare.status, 0) << bare.err;
  EXPECT_EQ(bare.out, covered.out) << bare.err;
  EXPECT_EQ(bare.err.find("left out"), std::string::npos) << bare.err;
}

// ---- covers that are all the same --------------------------------------------------------------

TEST(UniformCovers, WarnedOfUnlessThePresenceScaleIsSet) {
  TempDir dir;
  dir.Write("same.txt", "Wood\nQuercus robur 5\nCorylus avellana 5\n\nMeadow\nCentaurea nigra 5\n");
  dir.Write("varied.txt", "Wood\nQuercus robur 5\nCorylus avellana 5\n\nMeadow\nCentaurea nigra 6\n");
  struct Case {
    const char* file;
    std::vector<std::string> extra;
    bool warned;
  };
  const std::vector<Case> cases = {
      {"same.txt", {}, true},
      {"same.txt", {"-q"}, true},
      {"same.txt", {"--scale", "presence"}, false},
      {"varied.txt", {}, false},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--tables", DemoTables()};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    args.push_back(c.file);
    const batchtest::Run r = Classify(dir.path(), args);
    EXPECT_EQ(r.status, 0) << r.err;
    const bool warned = r.err.find("every cover in the input is") != std::string::npos &&
                        r.err.find("--scale presence") != std::string::npos;
    EXPECT_EQ(warned, c.warned) << c.file << "\n" << r.err;
  }
}

}  // namespace

namespace {

// Two species whose short names are the same: each is scored as itself when its
// full name is written, in blocks and in a survey CSV alike.
TEST(SharedShortNames, AFullNameIsScoredAsItsOwnEntry) {
  TempDir dir;
  dir.Write("SPECDICT3.txt",
            "20 poa  annu Poa annua\n854 rume acet Rumex acetosa\n855 rume acet Rumex acetosella\n");
  dir.Write("VegmatchNVCDef3.txt", "MG1\tRumex acetosa grassland\t\tE2.1\tPasture\n"
                                   "U1\tRumex acetosella grassland\t\tE1.9\tDry grassland\n");
  dir.Write("VegmatchNVCData3.txt", "MG1\t854\t48\tRumex acetosa\tV\t3-8\n"
                                    "MG1\t20\t35\tPoa annua\tIV\t1-5\n"
                                    "U1\t855\t48\tRumex acetosella\tV\t3-8\n"
                                    "U1\t20\t35\tPoa annua\tIV\t1-5\n");
  dir.Write("s.txt", "S1\nRumex acetosella 40\nPoa annua 10\n\n"
                     "S2\nRumex acetosa 40\nPoa annua 10\n\n");
  dir.Write("s.csv", "sample,species,cover\nS1,Rumex acetosella,40\nS1,Poa annua,10\n"
                     "S2,Rumex acetosa,40\nS2,Poa annua,10\n");
  for (const char* input : {"s.txt", "s.csv"}) {
    const batchtest::Run run = Classify(dir.path(), {"-q", "--tables", dir.path(), "--fits", "1", "-o",
                                                     "out.csv", "--species-lists", "lists.csv", input});
    ASSERT_EQ(run.status, 0) << input << run.err;
    const std::vector<std::string> rows = Lines(dir.Read("out.csv"));
    ASSERT_EQ(rows.size(), 3u) << input;
    EXPECT_EQ(rows[1].rfind("S1,1,U1,", 0), 0u) << input << ": " << rows[1];
    EXPECT_EQ(rows[2].rfind("S2,1,MG1,", 0), 0u) << input << ": " << rows[2];
    const std::string lists = dir.Read("lists.csv");
    EXPECT_NE(lists.find("S1,1,U1,both,855,rume acet,Rumex acetosella"), std::string::npos)
        << input << "\n" << lists;
    EXPECT_NE(lists.find("S2,1,MG1,both,854,rume acet,Rumex acetosa,consensus\n"), std::string::npos)
        << input << "\n" << lists;
  }
}

}  // namespace
