// The command-line front end and the built binary.
#include <gtest/gtest.h>

#include "run/run.h"
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

}  // namespace
