// Exit statuses of `vegmatch classify` through the built binary, each with its
// message; results that cannot be written; FILE:LINE messages and the summary.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::Binary;
using batchtest::Classify;
using batchtest::DemoTables;
using batchtest::Lines;
using batchtest::ReadRfc4180;

struct File_ {
  const char* name;
  const char* content;
};
struct ExitCase {
  const char* name;
  std::vector<File_> files;
  std::vector<std::string> args;  // after "classify"; "@tables" is the demo set
  int status;
  std::vector<std::string> errHas;  // texts standard error must hold
  bool usage;                       // the usage is on standard error, nothing on standard output
};

const char kCoverCsvWithRefusedRow[] =
    "sample,species,cover\nQ1,Quercus robur,60\nQ1,Corylus avellana,\nQ1,Hedera helix,10\n";
const char kUnknownName[] = "Wood\nQuercus robur 60\nXylaria hypoxylon 5\n";

class ExitStatusTest : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitStatusTest, StatusAndMessage) {
  const ExitCase& c = GetParam();
  TempDir dir;
  TempDir emptyTables;
  dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
  for (const File_& f : c.files) dir.Write(f.name, f.content);
  std::vector<std::string> args = {"classify"};
  for (const std::string& a : c.args) {
    args.push_back(a == "@tables" ? DemoTables() : a == "@empty" ? emptyTables.path() : a);
  }
  const batchtest::Run r = Binary(dir, args);
  EXPECT_EQ(r.status, c.status) << r.err;
  for (const std::string& text : c.errHas) EXPECT_NE(r.err.find(text), std::string::npos) << text << "\n" << r.err;
  if (c.usage) {
    EXPECT_NE(r.err.find("vegmatch classify"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--species-group"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ExitStatusTest,
    ::testing::Values(
        ExitCase{"Ok", {}, {"--tables", "@tables", "-o", "r.csv", "SAMP.txt"}, 0, {"vegmatch: 6 samples, "}, false},
        ExitCase{"OkWithARefusedRow", {{"r.csv", kCoverCsvWithRefusedRow}}, {"--tables", "@tables", "r.csv"}, 0,
                 {"r.csv:3: "}, false},
        ExitCase{"MissingInput", {}, {"--tables", "@tables", "nothere.txt"}, 1, {"vegmatch: nothere.txt: "}, false},
        ExitCase{"MissingInputAmongGoodOnes", {}, {"--tables", "@tables", "SAMP.txt", "nothere.txt"}, 1,
                 {"vegmatch: nothere.txt: "}, false},
        ExitCase{"EmptyInput", {{"empty.txt", ""}}, {"--tables", "@tables", "empty.txt"}, 1, {"vegmatch: empty.txt: "}, false},
        ExitCase{"CsvHeaderOnly", {{"h.csv", "sample,species,cover\n"}}, {"--tables", "@tables", "h.csv"}, 1,
                 {"vegmatch: h.csv"}, false},
        ExitCase{"CsvWithoutCoverColumn", {{"n.csv", "sample,species\nQ1,Quercus robur\n"}},
                 {"--tables", "@tables", "n.csv"}, 1, {"vegmatch: n.csv:1: "}, false},
        ExitCase{"UnclosedQuote", {{"q.csv", "sample,species,cover\nQ1,\"Quercus robur,60\n"}},
                 {"--tables", "@tables", "q.csv"}, 1, {"vegmatch: q.csv"}, false},
        ExitCase{"StrictWithARefusedRow", {{"r.csv", kCoverCsvWithRefusedRow}},
                 {"--tables", "@tables", "--strict", "r.csv"}, 1, {"r.csv:3: "}, false},
        ExitCase{"StrictWithAnUnknownName", {{"u.txt", kUnknownName}}, {"--tables", "@tables", "--strict", "u.txt"}, 1,
                 {"u.txt:3: unknown name"}, false},
        ExitCase{"UnknownNameWithoutStrict", {{"u.txt", kUnknownName}}, {"--tables", "@tables", "u.txt"}, 0,
                 {"u.txt:3: unknown name"}, false},
        ExitCase{"UnknownOption", {}, {"--tables", "@tables", "--bogus", "SAMP.txt"}, 2, {"--bogus"}, true},
        ExitCase{"UnknownScale", {}, {"--scale", "foo", "SAMP.txt"}, 2, {"foo"}, true},
        ExitCase{"AnalysisSix", {}, {"--analysis", "6", "SAMP.txt"}, 2, {"--analysis"}, true},
        ExitCase{"FitsZero", {}, {"--fits", "0", "SAMP.txt"}, 2, {"--fits"}, true},
        ExitCase{"FitsOneHundred", {}, {"--fits", "100", "SAMP.txt"}, 2, {"--fits"}, true},
        ExitCase{"FitsNotANumber", {}, {"--fits", "five", "SAMP.txt"}, 2, {"--fits"}, true},
        ExitCase{"UnknownFormat", {}, {"--format", "xml", "SAMP.txt"}, 2, {"xml"}, true},
        ExitCase{"UnknownSpeciesGroup", {}, {"--species-group", "mosses", "SAMP.txt"}, 2, {"mosses"}, true},
        ExitCase{"UnknownInputKind", {}, {"--input", "json", "SAMP.txt"}, 2, {"json"}, true},
        ExitCase{"UnknownHabitatKey", {}, {"--habitats", "ukhab,foo", "SAMP.txt"}, 2, {"foo"}, true},
        ExitCase{"TablesFolderWithoutTheFiles", {}, {"--tables", "@empty", "SAMP.txt"}, 3,
                 {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt"}, false},
        ExitCase{"TablesFolderThatDoesNotExist", {}, {"--tables", "/nonexistent/vegmatch/tables", "SAMP.txt"}, 3,
                 {"/nonexistent/vegmatch/tables"}, false},
        ExitCase{"ResultsIntoAMissingFolder", {}, {"--tables", "@tables", "-o", "no/such/r.csv", "SAMP.txt"}, 4,
                 {"no/such/r.csv"}, false},
        ExitCase{"ResultsIntoAFullDevice", {}, {"--tables", "@tables", "-o", "/dev/full", "SAMP.txt"}, 4,
                 {"/dev/full"}, false},
        ExitCase{"ClassicResultsIntoAFullDevice", {}, {"--tables", "@tables", "--format", "classic-text", "-o",
                 "/dev/full", "SAMP.txt"}, 4, {"/dev/full"}, false},
        ExitCase{"SpeciesListsIntoAMissingFolder", {},
                 {"--tables", "@tables", "--species-lists", "no/such/l.csv", "SAMP.txt"}, 4, {"no/such/l.csv"}, false}),
    [](const ::testing::TestParamInfo<ExitCase>& info) { return std::string(info.param.name); });

// A file that cannot be read or created is said with the system's reason, in the
// one shape of messages, by both commands.
TEST(Messages, FilesThatCannotBeOpenedAreSaidWithTheSystemsReason) {
  struct Case {
    std::vector<std::string> args;  // "@tables" is the demo set; "folder" is a folder
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"classify", "--tables", "@tables", "nothere.txt"}, kClassifyInputFailed,
       "vegmatch: nothere.txt: No such file or directory\n"},
      {{"classify", "--tables", "@tables", "SAMP.txt", "folder"}, kClassifyInputFailed,
       "vegmatch: folder: Is a directory\n"},
      {{"classify", "--tables", "@tables", "-o", "no/such/r.csv", "SAMP.txt"}, kClassifyOutputFailed,
       "vegmatch: no/such/r.csv: cannot create the results file: No such file or directory\n"},
      {{"classify", "--tables", "@tables", "--format", "classic-text", "-o", "folder", "SAMP.txt"},
       kClassifyOutputFailed, "vegmatch: folder: cannot create the results file: Is a directory\n"},
      {{"classify", "--tables", "@tables", "--species-lists", "folder", "SAMP.txt"}, kClassifyOutputFailed,
       "vegmatch: folder: cannot create the species lists file: Is a directory\n"},
      {{"names", "--tables", "@tables", "nothere.csv"}, kClassifyInputFailed,
       "vegmatch: nothere.csv: No such file or directory\n"},
      {{"names", "--tables", "@tables", "-o", "folder", "SAMP.txt"}, kClassifyOutputFailed,
       "vegmatch: folder: cannot create the output file: Is a directory\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
    std::filesystem::create_directory(dir.File("folder"));
    std::vector<std::string> args;
    for (const std::string& a : c.args) args.push_back(a == "@tables" ? DemoTables() : a);
    const batchtest::Run r = Binary(dir, args);
    EXPECT_EQ(r.status, c.status) << c.message << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.message << r.err;
  }
}

TEST(ExitStatus, HelpGoesToStandardOutputWithStatusZero) {
  TempDir dir;
  const batchtest::Run r = Binary(dir, {"classify", "--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--pool-by"), std::string::npos);
  EXPECT_EQ(r.err, "");
}

// A block file holding a sample name and no species holds no sample.
TEST(ExitStatus, BlockFileWithoutSpeciesHoldsNoSample) {
  TempDir dir;
  dir.Write("header.txt", "Wood\n\n");
  const batchtest::Run r = Binary(dir, {"classify", "--tables", DemoTables(), "header.txt"});
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_NE(r.err.find("header.txt"), std::string::npos) << r.err;
}

// Results are written beside their final name and put in place only when the
// run ends well: a run that fails (an input missing, --strict refusing, a file
// size limit reached while writing) leaves an earlier file byte for byte, and
// no half-written file beside it; a run that ends well replaces it.
TEST(ExitStatus, FailedRunsLeaveEarlierResultsUntouched) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* shell;
    int status;
  };
  const std::string survey = ProjectDir() + "/tests/data/pquads_small.txt";
  const std::vector<Case> cases = {
      {"input missing", {"missing.csv"}, "", 1},
      {"strict refuses an unknown name", {"--strict", "unknown.txt"}, "", 1},
      {"file size limit", {survey}, "trap '' XFSZ; ulimit -f 8; ", 4},
      {"workbook, input missing", {"missing.csv"}, "", 1},
      {"ends well", {survey}, "", 0},
  };
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("unknown.txt", "Wood\nQuercus robur 60\nXylaria hypoxylon 5\n");
    const bool workbook = std::string(c.name).find("workbook") != std::string::npos;
    const std::string out = workbook ? "results.xlsx" : "results.csv";
    const std::string earlier = "sample,rank\nfrom an earlier run,1\n";
    dir.Write(out, earlier);
    dir.Write("lists.csv", earlier);
    std::vector<std::string> args = {"classify", "--tables", batchtest::NvcTables(), "-q", "-o", out,
                                     "--species-lists", "lists.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const batchtest::Run r = Binary(dir, args, "", c.shell);
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
    if (c.status == 0) {
      EXPECT_NE(dir.Read(out), earlier) << c.name;
      EXPECT_EQ(dir.Read(out).rfind("sample,rank,nvc_code,", 0), 0u) << c.name;
    } else {
      EXPECT_EQ(dir.Read(out), earlier) << c.name;
      EXPECT_EQ(dir.Read("lists.csv"), earlier) << c.name;
      const std::string said = c.status == 4 ? ": the results could not be written" : ": not written, as the run failed";
      EXPECT_NE(r.err.find(out + said), std::string::npos) << c.name << "\n" << r.err;
      // Each file that could not be written is named.
      if (c.status == 4) {
        EXPECT_NE(r.err.find("lists.csv: the species lists could not be written"), std::string::npos) << r.err;
      }
    }
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
      EXPECT_EQ(e.path().filename().string().find(".vegmatch-"), std::string::npos) << c.name << ": " << e.path();
    }
  }
}

// ---- messages on standard error -------------------------------------------------------------

const char kBlocksWithProblems[] =
    "Wood\n"
    "Quercus robur 60\n"
    "Corylus avellana\n"       // 3: no cover
    "Xylaria hypoxylon 5\n"    // 4: unknown
    "\n"
    "Turf * 200\n"             // 6: maximum frequency out of range
    "Festuca ovina 20\n";
const char kCsvWithProblems[] =
    "sample,species,cover\n"
    "Q1,\"Quercus\n"
    "robur\",60\n"
    "Q1,Corylus avellana,\n"   // 4: no cover
    "\n"
    "Q2,Gymnadenia conopsea,5\n"  // 6: unknown
    ",Hedera helix,10\n"       // 7: no sample
    "Q1,Hedera helix,10\n";

TEST(Messages, EveryProblemIsSaidAsFileAndLineThenTheSummary) {
  TempDir dir;
  dir.Write("a.txt", kBlocksWithProblems);
  dir.Write("b.csv", kCsvWithProblems);
  const batchtest::Run r = Classify(dir.path(), {"--tables", DemoTables(), "a.txt", "b.csv"});
  ASSERT_EQ(r.status, 0) << r.err;
  struct Want {
    const char* where;
    const char* what;
  };
  const std::vector<Want> wants = {
      {"vegmatch: a.txt:3: ", "Corylus avellana"},
      {"vegmatch: a.txt:4: ", "unknown name \"Xylaria hypoxylon\""},
      {"vegmatch: a.txt:6: ", "frequency"},
      {"vegmatch: b.csv:4: ", "cover"},
      {"vegmatch: b.csv:6: ", "unknown name \"Gymnadenia conopsea\""},
      {"vegmatch: b.csv:7: ", "sample"},
  };
  const std::vector<std::string> lines = Lines(r.err);
  for (const Want& w : wants) {
    int n = 0;
    for (const std::string& line : lines) {
      if (line.rfind(w.where, 0) == 0) {
        ++n;
        EXPECT_NE(line.find(w.what), std::string::npos) << line;
      }
    }
    EXPECT_EQ(n, 1) << w.where << "\n" << r.err;
  }
  // Four samples (Wood, Turf, Q1, Q2) of 2, 1, 2 and 1 species, two unknown
  // names, four refused lines (a.txt:3, a.txt:6, b.csv:4, b.csv:7).
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("vegmatch: 4 samples, 6 species records, 2 unknown names, 4 refused lines, ", 0), 0u)
      << lines.back();
  // Each input says how many samples it held, as it is read.
  std::vector<std::string> problems;
  std::vector<std::string> perInput;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    (lines[i].find(" samples read (") != std::string::npos ? perInput : problems).push_back(lines[i]);
  }
  EXPECT_EQ(perInput, (std::vector<std::string>{
                          "vegmatch: a.txt: 2 samples read (sample blocks), 4 species records",
                          "vegmatch: b.csv: 2 samples read (long layout, samples named by sample), 3 species records"}));
  EXPECT_EQ(problems.size(), wants.size()) << r.err;

  // -q leaves out the summaries, not the problems.
  const batchtest::Run q = Classify(dir.path(), {"--tables", DemoTables(), "-q", "a.txt", "b.csv"});
  EXPECT_EQ(q.out, r.out);
  EXPECT_EQ(Lines(q.err), problems);
  // A clean run with -q says nothing.
  dir.Write("clean.txt", "Wood\nQuercus robur 60\nCorylus avellana 20\n");
  EXPECT_EQ(Classify(dir.path(), {"--tables", DemoTables(), "-q", "clean.txt"}).err, "");
}

TEST(Messages, RecordedCoverScaleOtherThanTheSettingIsSaid) {
  // A record file's header carries the scale its covers were typed on; read on
  // another scale its covers would be misread without a word.
  TempDir dir;
  dir.Write("domin.txt", "Grass plot                         DOMIN\nCynosurus cristatus 7\nCentaurea nigra 5\n");
  const batchtest::Run same = Classify(dir.path(), {"--tables", DemoTables(), "-q", "--scale", "domin", "domin.txt"});
  EXPECT_EQ(same.err, "");
  const batchtest::Run other = Classify(dir.path(), {"--tables", DemoTables(), "-q", "domin.txt"});
  EXPECT_NE(other.err.find("domin.txt:1: "), std::string::npos) << other.err;
}

}  // namespace

TEST(Messages, UnitNamesFileIsReadOnlyByResultsThatNameUnits) {
  // The tidy results name units from units.csv and say when it cannot be read;
  // the classic results do not use it, so a broken one is no concern of theirs.
  // Unknown names are still said with what they may have meant.
  TempDir tables;
  for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt"}) {
    tables.CopyIn(ProjectDir() + "/data/" + f, f);
  }
  tables.Write("units.csv", "nvc_code,community_code,full_name\n\"W10,W10,x\n");
  TempDir dir;
  dir.Write("u.txt", "Wood\nQuercus robur 60\nQeurcus robur 20\n");
  const std::string unknown = "vegmatch: u.txt:3: unknown name \"Qeurcus robur\" (did you mean Quercus robur?)\n";

  const batchtest::Run tidy = Classify(dir.path(), {"--tables", tables.path(), "-q", "u.txt"});
  EXPECT_EQ(tidy.status, 0) << tidy.err;
  EXPECT_NE(tidy.err.find("units.csv: line 2: a quoted field is never closed"), std::string::npos) << tidy.err;
  EXPECT_NE(tidy.err.find(unknown), std::string::npos) << tidy.err;

  for (const char* format : {"classic-csv", "classic-text"}) {
    const batchtest::Run broken = Classify(dir.path(), {"--tables", tables.path(), "-q", "--format", format, "u.txt"});
    EXPECT_EQ(broken.status, 0) << broken.err;
    EXPECT_EQ(broken.err, unknown) << format;
    const batchtest::Run good = Classify(dir.path(), {"--tables", DemoTables(), "-q", "--format", format, "u.txt"});
    EXPECT_EQ(broken.out, good.out) << format;
    EXPECT_NE(broken.out.find("Quercus"), std::string::npos) << broken.out;
  }
}

TEST(Messages, LinesAreFoundThroughoutALongFile) {
  // Entry reads on through the blocks; the lines its messages are about are
  // found from the last one found. Over many samples, with CR LF line ends in
  // some, blank lines of white space and a last line without its line end, every
  // unknown name and every line without a cover is said at its own line, in
  // both kinds of results.
  std::string text;
  long line = 0;
  std::vector<long> unknown;
  std::vector<long> noCover;
  for (int s = 1; s <= 400; ++s) {
    const char* end = s % 3 == 0 ? "\r\n" : "\n";
    text += "Plot " + std::to_string(s) + end;
    ++line;
    text += std::string("Quercus robur 60") + end;
    ++line;
    if (s % 7 == 0) {
      text += std::string("Xylaria hypoxylon 5") + end;
      unknown.push_back(++line);
    }
    if (s % 11 == 0) {
      text += std::string("Corylus avellana") + end;
      noCover.push_back(++line);
    }
    text += std::string("Hedera helix 10") + end;
    ++line;
    if (s < 400) {
      text += s % 5 == 0 ? " \t\n" : "\n";
      ++line;
    }
  }
  text.pop_back();  // the last line without its line end
  TempDir dir;
  dir.Write("long.txt", text);
  std::string unknownLines;
  for (long l : unknown) unknownLines += (unknownLines.empty() ? "" : ",") + std::to_string(l);
  for (const std::vector<std::string>& format : {std::vector<std::string>{}, {"--format", "classic-csv"}}) {
    std::vector<std::string> args = {"--tables", DemoTables(), "-q"};
    args.insert(args.end(), format.begin(), format.end());
    args.push_back("long.txt");
    const batchtest::Run r = Classify(dir.path(), args);
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<std::string> said = Lines(r.err);
    std::vector<long> coverLines;
    std::string beyond;
    for (const std::string& s : said) {
      const std::string prefix = "vegmatch: long.txt:";
      if (s.find(" more like the first ten of this kind ") != std::string::npos) {
        beyond = s;
        continue;
      }
      ASSERT_EQ(s.rfind(prefix, 0), 0u) << s;
      if (s.find("Corylus avellana") != std::string::npos) coverLines.push_back(std::stol(s.substr(prefix.size())));
    }
    // The first ten bad lines with their line numbers, then how many more.
    ASSERT_GT(noCover.size(), 10u);
    EXPECT_EQ(coverLines, std::vector<long>(noCover.begin(), noCover.begin() + 10));
    const std::string more = "vegmatch: " + std::to_string(noCover.size() - 10) + " more like the first ten of this kind (" +
                             std::to_string(noCover.size()) + " in all): bad line";
    EXPECT_EQ(beyond.rfind(more, 0), 0u) << beyond;
    EXPECT_NE(r.err.find("vegmatch: long.txt:" + unknownLines + ": unknown name \"Xylaria hypoxylon\""),
              std::string::npos)
        << r.err;
  }
}
