// Title screens and the paged help text: what is shown and which key presses
// each pause takes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "console/console.h"
#include "support/testkit.h"

namespace {

const std::string kPause = "\n\n Press <RETURN> to continue\n";
const std::string kHelpQuestion = " Press <RETURN> to continue, or type H for help\n";
const std::string kIndent(10, ' ');

// What is left unread of the console input.
std::string Rest(ScriptedConsole& sc) {
  sc.in.clear();
  return std::string(std::istreambuf_iterator<char>(sc.in), std::istreambuf_iterator<char>());
}

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string Lines(int count, char fill) {
  std::string s;
  for (int i = 1; i <= count; ++i) s += std::string(static_cast<size_t>(i % 7 + 1), fill) + "\n";
  return s;
}

std::string Shown(const std::string& lines) {
  std::string s;
  size_t start = 0;
  while (start < lines.size()) {
    size_t end = lines.find('\n', start);
    s += kIndent + lines.substr(start, end - start + 1);
    start = end + 1;
  }
  return s;
}

TEST(ShowTitleScreen, ThreeScreensThenTheHelpQuestion) {
  TempDir dir;
  ScriptedConsole sc("\n\n\nREST", dir.path());
  ShowTitleScreen(sc.con, 23);
  const std::string out = sc.out.str();
  const std::string title =
      std::string(10, '\n') +
      "                   VEGMATCH  Version 4 (Beta 1)\n\n"
      "             A program to identify types of vegetation\n"
      "                  by measuring goodness-of-fit to \n"
      "                         association tables\n\n\n";
  EXPECT_EQ(out.substr(0, title.size()), title);
  EXPECT_EQ(Count(out, "\n\n\n\n\n Press <RETURN> to continue\n"), 2);
  EXPECT_EQ(Count(out, kHelpQuestion), 1);
  EXPECT_EQ(out.substr(out.size() - 5 - kHelpQuestion.size()), "\n\n\n\n\n" + kHelpQuestion);
  // Each pause took exactly one character.
  EXPECT_EQ(Rest(sc), "REST");
}

TEST(ShowTitleScreen, OtherKeysRepeatTheQuestion) {
  TempDir dir;
  // x is answered by the question again, its newline then ends the title screen.
  ScriptedConsole sc("\n\nx\nREST", dir.path());
  ShowTitleScreen(sc.con, 23);
  EXPECT_EQ(Count(sc.out.str(), kHelpQuestion), 2);
  EXPECT_EQ(Rest(sc), "REST");
}

TEST(ShowTitleScreen, EndOfInputEndsTheTitleScreen) {
  TempDir dir;
  ScriptedConsole sc("\n\nq", dir.path());
  ShowTitleScreen(sc.con, 23);
  EXPECT_EQ(Count(sc.out.str(), kHelpQuestion), 2);
}

TEST(ShowTitleScreen, MissingHelpFileIsReportedAndTheRunGoesOn) {
  TempDir dir;
  ScriptedConsole sc("\n\nh\nREST", dir.path());
  ShowTitleScreen(sc.con, 23);
  const std::string tail = kHelpQuestion + " *** File HELP.txt is not available ***";
  const std::string out = sc.out.str();
  ASSERT_GE(out.size(), tail.size());
  EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
  // The newline after h is left for the first answer of the settings dialogue.
  EXPECT_EQ(Rest(sc), "\nREST");
}

TEST(ShowTitleScreen, HelpPausesTakeTypedAheadCharacters) {
  TempDir dir;
  const std::string text = Lines(30, 'a');
  dir.Write("HELP.txt", text);
  // After "H\n" the first page's pause takes that newline and one more RETURN;
  // the second page's pause takes two characters of its own.
  ScriptedConsole sc("\n\nH\n\nabREST", dir.path());
  ShowTitleScreen(sc.con, 23);
  const std::string out = sc.out.str();
  const std::string help = kHelpQuestion + Shown(Lines(23, 'a')) + kPause +
                           Shown(text.substr(Lines(23, 'a').size())) + kPause;
  ASSERT_GE(out.size(), help.size());
  EXPECT_EQ(out.substr(out.size() - help.size()), help);
  EXPECT_EQ(Count(out, kHelpQuestion), 1);
  EXPECT_EQ(Rest(sc), "REST");
}

TEST(ShowHelpFile, ExactlyOnePageGivesAFullPageAndAnEmptyOne) {
  TempDir dir;
  const std::string text = Lines(23, 'b');
  dir.Write("HELP.txt", text);
  ScriptedConsole sc("1234REST", dir.path());
  ShowHelpFile(sc.con, 23);
  EXPECT_EQ(sc.out.str(), Shown(text) + kPause + kPause);
  EXPECT_EQ(Rest(sc), "REST");
}

TEST(ShowHelpFile, LongLinesAreShownInPiecesThatCountAsLines) {
  TempDir dir;
  const std::string a79(79, 'a');
  const std::string b79(79, 'b');
  // A line of exactly 79 characters leaves its line end as a piece of its own;
  // a line of 170 comes in three pieces. CR LF reads as a plain line end. The
  // second page is full, so an empty third page follows it.
  dir.Write("HELP.txt", a79 + "\r\n" + b79 + b79 + std::string(12, 'b') + "\nlast");
  ScriptedConsole sc("", dir.path());
  ShowHelpFile(sc.con, 3);
  EXPECT_EQ(sc.out.str(), kIndent + a79 + kIndent + "\n" + kIndent + b79 + kPause +  //
                              kIndent + b79 + kIndent + std::string(12, 'b') + "\n" +
                              kIndent + "last" + kPause + kPause);
}

TEST(ShowHelpFile, EmptyFileAndMissingFile) {
  TempDir dir;
  ScriptedConsole missing("", dir.path());
  ShowHelpFile(missing.con, 23);
  EXPECT_EQ(missing.out.str(), " *** File HELP.txt is not available ***");

  dir.Write("HELP.txt", "");
  ScriptedConsole empty("\n\nREST", dir.path());
  ShowHelpFile(empty.con, 23);
  EXPECT_EQ(empty.out.str(), kPause);
  EXPECT_EQ(Rest(empty), "REST");
}

TEST(ShowHelpFile, AByteOrderMarkIsSkippedAndALoneCarriageReturnIsText) {
  TempDir dir;
  // The mark names the encoding and is not shown; a lone CR stays inside its
  // line, so the pages are cut as before.
  dir.Write("HELP.txt", "\xEF\xBB\xBFone\rtwo\nthree\n");
  ScriptedConsole sc("", dir.path());
  ShowHelpFile(sc.con, 1);
  EXPECT_EQ(sc.out.str(), kIndent + "one\rtwo\n" + kPause + kIndent + "three\n" + kPause + kPause);
}

TEST(ShowHelpFile, PageLengthBelowOneStillMovesThroughTheFile) {
  TempDir dir;
  dir.Write("HELP.txt", "one\ntwo\n");
  ScriptedConsole sc("", dir.path());
  ShowHelpFile(sc.con, 0);
  EXPECT_EQ(sc.out.str(), kIndent + "one\n" + kPause + kIndent + "two\n" + kPause + kPause);
}

TEST(HelpText, ProjectHelpFileFitsTheScreen) {
  const std::string text = ReadWholeFile(ProjectDir() + "/data/HELP.txt");
  ASSERT_GT(text.size(), 1000u);
  size_t start = 0;
  int line = 1;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string::npos) << "the last line has no line end";
    // Behind the ten-blank indent every line must fit an 80-column console, which
    // also keeps it to one piece of the help reader.
    EXPECT_LE(end - start, 69u) << "line " << line << " is too long for the screen";
    start = end + 1;
    ++line;
  }
}

}  // namespace
