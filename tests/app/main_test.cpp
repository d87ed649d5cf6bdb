// The command-line front end and the built binary.
#include <gtest/gtest.h>

#include "app/app.h"
#include "support/testkit.h"

namespace {

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

}  // namespace
