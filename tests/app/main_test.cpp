// The command-line front end and the built binary.
#include <gtest/gtest.h>

#include <memory>

#include "app/app.h"
#include "support/testkit.h"

namespace {

int Occurrences(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST(CommandLine, HelpPrintsUsageAndOtherArgumentsAreRefused) {
  {
    ScriptedConsole sc("");
    const char* argv[] = {"vegmatch", "--help"};
    EXPECT_EQ(VegmatchMain(2, argv, sc.con), 0);
    EXPECT_EQ(sc.out.str().rfind("usage: vegmatch", 0), 0u);
    EXPECT_EQ(sc.err.str(), "");
  }
  {
    ScriptedConsole sc("");
    const char* argv[] = {"vegmatch", "--frobnicate"};
    EXPECT_EQ(VegmatchMain(2, argv, sc.con), 2);
    EXPECT_EQ(sc.out.str(), "");
    EXPECT_EQ(sc.err.str().rfind("usage: vegmatch", 0), 0u);
  }
  {
    ScriptedConsole sc("");
    const char* argv[] = {"vegmatch", "--help", "extra"};
    EXPECT_EQ(VegmatchMain(3, argv, sc.con), 2);
  }
}

TEST(CommandLine, BinaryExitStatuses) {
  TempDir dir;
  std::string bin = VM_BINARY;
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " --help >out.txt 2>err.txt"), 0);
  EXPECT_EQ(dir.Read("out.txt").rfind("usage: vegmatch", 0), 0u);
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " -x >out.txt 2>err.txt"), 2);
  EXPECT_EQ(dir.Read("err.txt").rfind("usage: vegmatch", 0), 0u);
}

// The maintainer's dump: loads the working folder's reference files, writes the
// nine files there and exits without a dialogue.
TEST(CommandLine, DumpTablesWritesTheNineFiles) {
  TempDir dir;
  for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt"}) {
    dir.CopyIn(ProjectDir() + "/data/" + f, f);
  }
  std::string bin = VM_BINARY;
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " --dump-tables </dev/null >out.txt 2>err.txt"), 0);
  EXPECT_EQ(dir.Read("out.txt"),
            "\n Reading in dictionary from file SPECDICT.txt"
            "\n Reading NVC Types from file VegmatchNVCDef3.txt"
            "\n Reading in NVC tables from file VegmatchNVCData3.txt\n");
  EXPECT_EQ(dir.Read("err.txt"), "");
  for (const char* f : {"A01-arrSpecies.txt", "A02-arrSortedSpecies.txt", "A03-arrNVCData.txt",
                        "A04-arrTbNVCToSpeciesJoinTable.txt",
                        "A05-arrNVCData-arrTbNVCToSpeciesJoinTable.txt",
                        "A06-arrSpeciesBySpeciesIndex.txt", "A07-arrSpeciesBySpeciesCode.txt",
                        "A08-arrTbSpeciesToNVCJoinTable.txt",
                        "A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt"}) {
    EXPECT_TRUE(dir.Exists(f)) << f;
  }
  // The first unit of the bundled definitions, with the range of its lines.
  const std::string a03 = dir.Read("A03-arrNVCData.txt");
  EXPECT_NE(a03.find("\n1\tCG2\t"), std::string::npos);
  // The dump does not start the program: no results or record file appears.
  EXPECT_FALSE(dir.Exists("TABLOUT.TXT"));
}

// Where the tables come from: the working folder when it holds all three files,
// else the bundled NVC tables (said on standard error), else nothing: exit 1.
TEST(TablesFolder, AWorkingFolderWithoutTablesUsesTheBundledOnesAndSaysSo) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/data/SPECDICT3.txt", "SPECDICT3.txt");  // one of three is not enough
  dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
  const std::string bundled = ProjectDir() + "/data/nvc";
  ScriptedConsole sc("\n\n\n\n\n1\n\n\n\n\n\n\n", dir.path());
  std::unique_ptr<AppState> st = NewAppState();
  EXPECT_EQ(RunVegmatch(sc.con, *st, bundled), 0);
  EXPECT_EQ(sc.err.str(), "vegmatch: reference files not in the working folder; using the NVC tables in " +
                              bundled + "\n");
  EXPECT_EQ(st->ref.nSpeciesTableCount, 45916);
  // The six demonstration samples were scored against the whole tables.
  EXPECT_EQ(Occurrences(dir.Read("TABLOUT.TXT"), ",Results,1,"), 6);
}

TEST(TablesFolder, NeitherFolderCompleteStopsWithExitOneAndSaysWhatIsMissing) {
  TempDir dir;
  TempDir empty;
  empty.CopyIn(ProjectDir() + "/data/VegmatchNVCDef3.txt", "VegmatchNVCDef3.txt");
  // Through the binary, with the bundled folder named by the environment.
  const std::string bin = VM_BINARY;
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && VEGMATCH_TABLES=" + empty.path() + " " + bin +
                       " </dev/null >out.txt 2>err.txt"),
            1);
  EXPECT_EQ(dir.Read("out.txt"), "");
  EXPECT_EQ(dir.Read("err.txt"),
            "vegmatch: .: missing SPECDICT3.txt, VegmatchNVCDef3.txt, VegmatchNVCData3.txt\n"
            "vegmatch: " + empty.path() + ": missing SPECDICT3.txt, VegmatchNVCData3.txt\n"
            "vegmatch: no complete set of reference files; the run stops\n");
  EXPECT_FALSE(dir.Exists("TABLOUT.TXT"));
  // The dump stops the same way.
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && VEGMATCH_TABLES=" + empty.path() + " " + bin +
                       " --dump-tables </dev/null >out.txt 2>err.txt"),
            1);
  EXPECT_FALSE(dir.Exists("A01-arrSpecies.txt"));
}

TEST(TablesFolder, TheBinaryFindsTheBundledTablesWithoutConfiguration) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/data/SAMP.txt", "SAMP.txt");
  const std::string bin = VM_BINARY;
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && env -u VEGMATCH_TABLES " + bin +
                       " --dump-tables </dev/null >out.txt 2>err.txt"),
            0);
  EXPECT_NE(dir.Read("err.txt").find("using the NVC tables in "), std::string::npos);
  EXPECT_NE(dir.Read("A04-arrTbNVCToSpeciesJoinTable.txt").find("\n45916\t"), std::string::npos);
}

}  // namespace
