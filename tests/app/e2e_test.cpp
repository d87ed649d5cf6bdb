// Whole runs of the program: the same dialogue in-process and through the built
// binary, a typed session's record read back as a data file, data-file runs on
// the bundled demonstration data and on the bundled NVC tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/app.h"
#include "support/testkit.h"

namespace {

const std::string kBlank22 = std::string(22, ' ') + "\n";
const char kCsvHeader[] =
    "Sample,Analysis_Type,Fit#,Eunis_Comm,NVC_Comm,Mean_GoF,GoF_1,GoF_2,GoF_3,GoF_4,"
    "NVC_Comm_Name,NVC_Sub_Name,Eunis_Name,Vasc_Param,Cover_Scale,Anal_Param";

std::string Pad(const std::string& s, size_t w) { return s + std::string(w - s.size(), ' '); }

// A working folder holding the bundled demonstration data.
void CopyDemoData(const TempDir& dir) {
  for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt", "SAMP.txt"}) {
    dir.CopyIn(ProjectDir() + "/data/" + f, f);
  }
}

struct Transcript {
  int status;
  std::string out;
  std::string err;
};

Transcript RunInProcess(const TempDir& dir, const std::string& input) {
  ScriptedConsole sc(input, dir.path());
  const char* argv[] = {"vegmatch"};
  int status = VegmatchMain(1, argv, sc.con);
  return Transcript{status, sc.out.str(), sc.err.str()};
}

Transcript RunBinary(const TempDir& dir, const std::string& input) {
  dir.Write("console-input.txt", input);
  int status = RunCommand("cd '" + dir.path() + "' && '" + VM_BINARY +
                          "' <console-input.txt >console-out.txt 2>console-err.txt");
  return Transcript{status, dir.Read("console-out.txt"), dir.Read("console-err.txt")};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> f;
  std::istringstream in(line);
  for (std::string s; std::getline(in, s, ',');) f.push_back(s);
  return f;
}

// Results lines of a CSV results file, by sample name then rank.
std::map<std::string, std::vector<std::vector<std::string>>> ResultsBySample(const std::string& csv) {
  std::map<std::string, std::vector<std::vector<std::string>>> by;
  for (const std::string& line : Lines(csv)) {
    std::vector<std::string> f = Fields(line);
    if (f.size() > 1 && f[1] == "Results") by[f[0]].push_back(f);
  }
  return by;
}

size_t CountOf(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

// A typed session: the fits answer 100 refused, a blank first sample, a duplicate,
// a marker, a deleted name, a name chosen from the menu, a new name, a line added
// after the recap, a reset to the Domin scale, and exit.
const std::string kTypedSession =
    "\n\n\n"              // title pauses and the help question
    "\n\n\n\n\n"          // results file, CSV, keyboard, record file, all species
    "\n\n"                // percent cover, mixed analysis
    "100\n3\n"            // fits: 100 refused, then 3
    "\n\n"                // sample 1: default name, blank first line (skipped)
    "\n"                  // sample 2: default name
    "Quercus robur 40\n"
    "Corylus avellana 30\n"
    "Hyacinthoides non-scripta 50\n"
    "Quercus robur 45\n"  // replaces the first line
    "*Anemone nemorosa 10\n"
    "Anemone nemorosa 5\n"
    "Xylaria hypoxylon 5\n\n"   // not in the dictionary: deleted at the menu
    "Hedera hibrida 10\n3\n"    // menu item 3 is hede heli
    "Gymnadenia conopsea 2\n1\n"  // a new name
    "\n"                        // end of the list: recap
    "Rubus fruticosus 20\n"     // typed at the confirmation: added
    "\n\n"                      // end of the list again, and confirm
    "r\n3\n\n"                  // reset to Domin, analysis unchanged
    "Grass plot\n"
    "Cynosurus cristatus 7\n"
    "Centaurea nigra 5\n"
    "Lathyrus pratensis 4.5\n"
    "\n\n"
    "exit\n\n";

// What the record of that session must hold, line by line.
const std::string kTypedRecord =
    Pad("SAMPL    1", 30) + "     COVR%\n" + kBlank22 +
    Pad("SAMPL    2", 30) + "     COVR%" +
    "\n quer robu    45"
    "\n cory avel    30"
    "\n hyac non-    50"
    "\n anem nemo*   10"
    "\n anem nemo     5"
    "\n hede heli    10"
    "\n gymn cono     2"
    "\n rubu frut    20"
    "\n" + kBlank22 +
    Pad("Grass plot", 30) + "     DOMIN" +
    "\n cyno cris     7"
    "\n cent nigr     5"
    "\n lath prat     4.5"  // a fraction: 6 columns with one decimal
    "\n" + kBlank22;

TEST(WholeRun, TypedSessionIsTheSameInProcessAndThroughTheBinary) {
  TempDir inProcess;
  TempDir binary;
  CopyDemoData(inProcess);
  CopyDemoData(binary);

  Transcript a = RunInProcess(inProcess, kTypedSession);
  Transcript b = RunBinary(binary, kTypedSession);
  EXPECT_EQ(a.status, 0);
  EXPECT_EQ(b.status, 0);
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(a.err, b.err);
  EXPECT_EQ(a.err, "");

  // SAMP.txt was there already, so the record went to SAMP1.txt.
  EXPECT_EQ(inProcess.Read("SAMP1.txt"), kTypedRecord);
  EXPECT_EQ(binary.Read("SAMP1.txt"), kTypedRecord);
  const std::string results = binary.Read("TABLOUT.TXT");
  EXPECT_EQ(inProcess.Read("TABLOUT.TXT"), results);

  EXPECT_NE(a.out.find(" * Inadmissible entry *\n   Limits are      1    99\n"), std::string::npos);
  EXPECT_EQ(CountOf(a.out, "*** Name not in dictionary ***"), 3u);
  EXPECT_EQ(CountOf(a.out, "Recap for sample"), 3u);
  EXPECT_EQ(CountOf(a.out, "*** Program finished  ***"), 1u);

  // One CSV header, then 3 Results and 9 Analysis lines per scored sample.
  std::vector<std::string> lines = Lines(results);
  ASSERT_EQ(lines.size(), 1u + 2 * 12);
  EXPECT_EQ(lines[0], kCsvHeader);
  EXPECT_EQ(CountOf(results, "Sample,Analysis_Type"), 1u);
  auto by = ResultsBySample(results);
  ASSERT_EQ(by.size(), 2u);
  ASSERT_EQ(by["SAMPL    2"].size(), 3u);
  ASSERT_EQ(by["Grass plot"].size(), 3u);
  // A bluebell oakwood sample is best fitted by the oak woodland; the meadow sample,
  // typed after the reset, by the hay meadow, and its lines carry the Domin label.
  EXPECT_EQ(by["SAMPL    2"][0][4].substr(0, 3), "W10");
  EXPECT_EQ(by["Grass plot"][0][4].substr(0, 3), "MG5");
  EXPECT_EQ(by["SAMPL    2"][0][14], "Cover%");
  EXPECT_EQ(by["Grass plot"][0][14], "Domin");
}

// Console input handed out one character at a time; at every read it notes
// whether the results file already holds a given text.
class WatchingInput : public std::streambuf {
 public:
  WatchingInput(std::string text, std::string file, std::string wanted)
      : text_(std::move(text)), file_(std::move(file)), wanted_(std::move(wanted)) {}
  // The number of the read at which the text was first in the file (0: never).
  size_t SeenAtRead() const { return seenAt_; }
  size_t Reads() const { return reads_; }

 protected:
  int_type underflow() override {
    if (at_ >= text_.size()) return traits_type::eof();
    ++reads_;
    if (seenAt_ == 0 && Holds()) seenAt_ = reads_;
    c_ = text_[at_++];
    setg(&c_, &c_, &c_ + 1);
    return traits_type::to_int_type(c_);
  }

 private:
  // The file may not be there yet.
  bool Holds() const {
    std::ifstream f(file_, std::ios::binary);
    std::stringstream content;
    content << f.rdbuf();
    return content.str().find(wanted_) != std::string::npos;
  }
  std::string text_;
  std::string file_;
  std::string wanted_;
  size_t at_ = 0;
  size_t reads_ = 0;
  size_t seenAt_ = 0;
  char c_ = 0;
};

// A typed sample's results are in the file while the program waits for the next
// answer, so that they are kept when the run is cut short there.
TEST(WholeRun, ATypedSampleIsInTheResultsFileWhileTheNextAnswerIsAwaited) {
  TempDir dir;
  CopyDemoData(dir);
  WatchingInput watch(kTypedSession, dir.File("TABLOUT.TXT"), "SAMPL    2,Results,3,");
  std::istream in(&watch);
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err, dir.path());
  const char* argv[] = {"vegmatch"};
  ASSERT_EQ(VegmatchMain(1, argv, con), 0);
  ASSERT_NE(dir.Read("TABLOUT.TXT").find("Grass plot,Results,1,"), std::string::npos);
  // Seen well before the end of the session (the second sample is still to come).
  EXPECT_GT(watch.SeenAtRead(), 0u);
  EXPECT_LT(watch.SeenAtRead() + 20, watch.Reads());
}

// Console input that ends while the data file is still being asked for ends the
// run cleanly: nothing is loaded, and the results file already created is closed
// and left empty.
TEST(WholeRun, InputEndingBeforeTheDataFileOpensEndsTheRunCleanly) {
  TempDir dir;
  for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt"}) {
    dir.CopyIn(ProjectDir() + "/data/" + f, f);
  }
  Transcript t = RunInProcess(dir, "\n\n\n\n\n1\nnothere.txt\n");
  EXPECT_EQ(t.status, 0);
  EXPECT_EQ(t.err,
            "vegmatch: the console input ended before the data file could be opened; the run "
            "ends\n");
  EXPECT_EQ(CountOf(t.out, "*** ERROR *** File does not exist"), 2u);
  EXPECT_EQ(t.out.find("Reading in dictionary"), std::string::npos);
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), "");
  EXPECT_FALSE(dir.Exists("SAMP.txt"));
}

TEST(WholeRun, RecordReadBackAsDataFileGivesTheSameResults) {
  TempDir typed;
  CopyDemoData(typed);
  ASSERT_EQ(RunBinary(typed, kTypedSession).status, 0);

  TempDir replay;
  CopyDemoData(replay);
  replay.Write("record.txt", typed.Read("SAMP1.txt"));
  // The DOMIN tag of the third sample differs from the percent setting: the user
  // is told, presses RETURN and sets the Domin scale in the parameter dialogue.
  Transcript t = RunBinary(replay,
                           "\n\n\n"
                           "\n\n1\nrecord.txt\n\n"
                           "\n\n3\n"
                           "\n3\n\n"
                           "\n");
  EXPECT_EQ(t.status, 0);
  EXPECT_EQ(t.err, "");
  EXPECT_NE(t.out.find("\n Cover scale is set to COVR% but input data are DOMIN\n"
                       " Press <RETURN> to continue\n"),
            std::string::npos);
  EXPECT_NE(t.out.find("      *** Name not in dictionary ***  gymn cono\n"), std::string::npos);
  EXPECT_EQ(replay.Read("TABLOUT.TXT"), typed.Read("TABLOUT.TXT"));
}

// In a "top few" analysis only the order of the species counts, and a data file
// whose last sample has no closing blank line still has that sample reported.
TEST(WholeRun, TopFewDataFileRunsAndTheLastSampleNeedsNoBlankLine) {
  const std::string wood =
      "Wood A\nQuercus robur %s\nCorylus avellana %s\nHyacinthoides non-scripta %s\n"
      "Anemone nemorosa %s\nHedera helix %s\nRubus fruticosus %s\nPteridium aquilinum %s\n"
      "Lonicera periclymenum %s\n\nMeadow B\nCynosurus cristatus %s\nCentaurea nigra %s";
  auto withCovers = [&](const std::vector<std::string>& covers) {
    std::string text = wood;
    for (const std::string& c : covers) text.replace(text.find("%s"), 2, c);
    return text;
  };
  const std::string dialogue = "\n\n\n\n\n1\nsamples.txt\n\n\n5\n\n\n";

  TempDir first;
  CopyDemoData(first);
  first.Write("samples.txt", withCovers({"5", "5", "5", "5", "5", "5", "5", "5", "5", "5"}));
  Transcript t = RunBinary(first, dialogue);
  EXPECT_EQ(t.status, 0);
  EXPECT_NE(t.out.find("\n Sample Meadow B"), std::string::npos);
  EXPECT_NE(t.out.find("*** Program finished  ***"), std::string::npos);
  const std::string results = first.Read("TABLOUT.TXT");
  auto by = ResultsBySample(results);
  ASSERT_EQ(by["Wood A"].size(), 5u);
  ASSERT_EQ(by["Meadow B"].size(), 5u);
  EXPECT_EQ(by["Meadow B"][0][15], "Top_few");
  EXPECT_EQ(CountOf(results, "Sample,Analysis_Type"), 1u);

  TempDir second;
  CopyDemoData(second);
  second.Write("samples.txt",
               withCovers({"90", "1", "0", "40", "12.5", "3", "100", "7", "60", "2"}));
  ASSERT_EQ(RunBinary(second, dialogue).status, 0);
  EXPECT_EQ(second.Read("TABLOUT.TXT"), results);
}

// A working folder with the bundled NVC tables and a data file of the 40
// held-out pseudo-quadrats, `copies` times over, each copy led by a sample with
// a name the dictionary does not hold (entry writes about it into the results).
void WriteLongDataFile(const TempDir& dir, int copies) {
  for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt"}) {
    dir.CopyIn(ProjectDir() + "/data/nvc/" + f, f);
  }
  const std::string pq = ReadWholeFile(ProjectDir() + "/tests/data/pquads_small.txt");
  std::string many;
  for (int k = 0; k < copies; ++k) {
    many += "ODD" + std::to_string(k) + "\nZzzz unknownia 5\nCalluna vulgaris 20\n\n" + pq + "\n";
  }
  dir.Write("many.txt", many);
}

// A data-file run scores and reports on other threads while later samples are
// entered. Over many batches of samples, in both formats (the tabulated one has
// entry writing between the reports), the results file holds what classify
// writes with one job, one sample after another.
TEST(WholeRun, ALongDataFileRunWritesItsResultsInSampleOrder) {
  TempDir dir;
  WriteLongDataFile(dir, 30);
  const std::vector<std::pair<std::string, std::string>> formats = {{"0", "classic-csv"},
                                                                    {"1", "classic-text"}};
  for (const auto& [answer, format] : formats) {
    std::remove(dir.File("TABLOUT.TXT").c_str());
    Transcript t = RunInProcess(dir, "\n\n\n\n" + answer + "\n1\nmany.txt\n\n\n\n\n\n");
    ASSERT_EQ(t.status, 0) << format;
    EXPECT_EQ(CountOf(t.out, "*** Name not in dictionary ***  zzzz unkn"), 1u) << format;
    const std::string typed = dir.Read("TABLOUT.TXT");
    EXPECT_GT(typed.size(), 200000u) << format;
    ASSERT_EQ(RunCommand("cd '" + dir.path() + "' && '" + VM_BINARY + "' classify -q --jobs 1 --tables . --format " +
                         format + " -o one.txt many.txt 2>/dev/null"),
              0);
    EXPECT_TRUE(typed == dir.Read("one.txt")) << format;
  }
}

// A results file that fills up in the middle of a data-file run is said once,
// and the run goes on to its end.
TEST(WholeRun, AResultsFileThatFillsUpDuringADataFileRunIsSaidOnce) {
  TempDir dir;
  WriteLongDataFile(dir, 10);
  dir.Write("console-input.txt", "\n\n\n\n\n1\nmany.txt\n\n\n\n\n\n");
  // 200 blocks of 512 bytes: writes past 100 KB fail (and do not stop the program).
  const int status = RunCommand("cd '" + dir.path() + "' && sh -c \"trap '' XFSZ; ulimit -f 200; '" +
                                VM_BINARY + "' <console-input.txt >console-out.txt 2>console-err.txt\"");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(dir.Read("console-err.txt"), "vegmatch: error writing the results file\n");
  EXPECT_NE(dir.Read("console-out.txt").find("*** Program finished  ***"), std::string::npos);
  EXPECT_EQ(dir.Read("TABLOUT.TXT").size(), 102400u);
}

// Pseudo-quadrats drawn from known units of the bundled NVC tables: the best
// fit must be the unit each was drawn from (or its community, for a sub-community
// without a table of its own) for most of them, and for these few in particular.
TEST(WholeRun, PseudoQuadratsFindTheUnitsTheyWereDrawnFrom) {
  TempDir dir;
  for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt"}) {
    dir.CopyIn(ProjectDir() + "/data/nvc/" + f, f);
  }
  dir.CopyIn(ProjectDir() + "/tests/data/pquads_small.txt", "pquads.txt");
  Transcript t = RunBinary(dir, "\n\n\n\n\n1\npquads.txt\n\n\n\n1\n\n");
  ASSERT_EQ(t.status, 0);

  std::map<std::string, std::string> truth;
  for (const std::string& line : Lines(ReadWholeFile(ProjectDir() + "/tests/data/pquads_small_truth.csv"))) {
    std::vector<std::string> f = Fields(line);
    if (f.size() == 2 && f[0] != "sample_name") truth[f[0]] = f[1];
  }
  auto by = ResultsBySample(dir.Read("TABLOUT.TXT"));
  ASSERT_EQ(truth.size(), 40u);
  ASSERT_EQ(by.size(), 40u);

  int matched = 0;
  for (const auto& [sample, unit] : truth) {
    ASSERT_EQ(by[sample].size(), 1u) << sample;
    const std::string best = by[sample][0][4];
    if (best == unit || (!best.empty() && unit.rfind(best, 0) == 0)) ++matched;
  }
  EXPECT_GE(matched, 25);
  EXPECT_EQ(by["A1_1"][0][4], "A1");
  EXPECT_EQ(by["CG9d_1"][0][4], "CG9d");
  // With the whole tables W19's pseudo-quadrat fits one of its sub-communities best.
  EXPECT_EQ(by["W19_1"][0][4].rfind("W19", 0), 0u);
  EXPECT_EQ(by["OV17_1"][0][4], "OV17");
  EXPECT_EQ(by["W8e_1"][0][4], "W8");
}

}  // namespace
