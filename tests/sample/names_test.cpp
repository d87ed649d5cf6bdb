#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "common/common.h"
#include "sample/sample.h"
#include "support/testkit.h"

namespace {

struct Row {
  std::string name;
  int code;
};

// Rows 1 and 2 are the fixed menu choices; the given rows follow from row 3
// and must already stand in ascending byte order.
void SetDictionary(AppState& st, const std::vector<Row>& rows) {
  std::strcpy(st.ref.arrSpecies[1].szShortName, "NEW NAME ");
  std::strcpy(st.ref.arrSpecies[2].szShortName, "DELETE   ");
  int r = 2;
  for (const Row& row : rows) {
    ++r;
    ASSERT_LE(row.name.size(), 9u);
    std::strcpy(st.ref.arrSpecies[r].szShortName, row.name.c_str());
    st.ref.arrSpecies[r].nSpeciesCode = static_cast<int16_t>(row.code);
    if (r > 3) {
      ASSERT_LT(rows[r - 4].name, row.name) << "dictionary out of order";
    }
  }
  st.ref.nSpeciesCount = static_cast<int16_t>(r);
  st.ref.nSpeciesEntries = static_cast<int16_t>(r);
  st.ref.nNextNewSpeciesCode = 9000;
}

const std::vector<Row> kSmall = {
    {"achi mill", 1}, {"agro capi", 2}, {"call vulg", 3},
    {"poa  annu", 4}, {"quer robu", 5}, {"zost mari", 6},
};

class NamesTest : public ::testing::Test {
 protected:
  void SetUp() override { st_ = NewAppState(); }

  // Resolves a name typed at the keyboard with the given answer to the menu.
  int Typed(const char* key, const std::string& answer) {
    ScriptedConsole sc(answer);
    const NameChoice choice = ResolveUnknownName(sc.con, st_->ref, st_->settings, key);
    out_ = sc.out.str();
    answered_ = choice.answered;
    return choice.row;
  }

  std::unique_ptr<AppState> st_;
  std::string out_;
  bool answered_ = false;
};

// ---- exact lookup ---------------------------------------------------------------

TEST_F(NamesTest, BracketAtBothEndsOfTheDictionary) {
  SetDictionary(*st_, kSmall);  // rows 3..8
  NameBracket b = FindNameBracket(st_->ref, "aaaa");
  EXPECT_EQ(b.lo, 2);  // between DELETE and the first name
  EXPECT_EQ(b.hi, 3);
  EXPECT_EQ(b.equal, 0);
  b = FindNameBracket(st_->ref, "zzzz");
  EXPECT_EQ(b.lo, 7);  // the last row is never compared while halving
  EXPECT_EQ(b.hi, 8);
  EXPECT_EQ(b.equal, 0);
  b = FindNameBracket(st_->ref, "achi mill");
  EXPECT_EQ(b.equal, 3);
  b = FindNameBracket(st_->ref, "zost mari");
  EXPECT_EQ(b.equal, 8);
  b = FindNameBracket(st_->ref, "call vulh");
  EXPECT_EQ(b.lo, 5);
  EXPECT_EQ(b.hi, 6);
  EXPECT_EQ(b.equal, 0);
  // Bytes above 127 compare as unsigned: above every ASCII name.
  b = FindNameBracket(st_->ref, "\xe9t\xe9");
  EXPECT_EQ(b.hi, 8);
  EXPECT_EQ(b.equal, 0);
}

TEST_F(NamesTest, EveryDictionaryRowIsFoundAndNothingElse) {
  std::vector<Row> rows;
  for (int i = 0; i < 997; ++i) {
    char name[10];
    std::snprintf(name, sizeof name, "%c%03d s%03d", 'a' + i / 40, i, i);
    rows.push_back({name, i + 1});
  }
  SetDictionary(*st_, rows);
  // Typed keys are lower case, so only the dictionary rows need be found
  // ("NEW NAME " sorts above "DELETE   ").
  for (int r = 3; r <= st_->ref.nSpeciesCount; ++r) {
    ASSERT_EQ(FindSpeciesRow(st_->ref, st_->ref.arrSpecies[r].szShortName), r);
  }
  EXPECT_EQ(FindSpeciesRow(st_->ref, "a000 s00"), 0);
  EXPECT_EQ(FindSpeciesRow(st_->ref, "a000 s0000"), 0);
  EXPECT_EQ(FindSpeciesRow(st_->ref, "b041 s040"), 0);
  EXPECT_EQ(FindSpeciesRow(st_->ref, "zzzz"), 0);
}

TEST_F(NamesTest, AppendedRowsAreFoundOnlyWhileInUse) {
  SetDictionary(*st_, kSmall);
  std::strcpy(st_->ref.arrSpecies[9].szShortName, "xant pari");
  std::strcpy(st_->ref.arrSpecies[10].szShortName, "bbbb cccc");
  st_->ref.nSpeciesEntries = 9;
  EXPECT_EQ(FindSpeciesRow(st_->ref, "xant pari"), 9);
  EXPECT_EQ(FindSpeciesRow(st_->ref, "bbbb cccc"), 0);
  st_->ref.nSpeciesEntries = 10;
  EXPECT_EQ(FindSpeciesRow(st_->ref, "bbbb cccc"), 10);
}

// ---- new species -------------------------------------------------------------------

TEST_F(NamesTest, NewNamesGetCodesFrom9001AndAreFoundAgain) {
  SetDictionary(*st_, kSmall);
  int first = Typed("xant pari", "1\n");
  EXPECT_EQ(first, 9);
  EXPECT_EQ(st_->ref.nSpeciesEntries, 9);
  EXPECT_EQ(st_->ref.arrSpecies[9].nSpeciesCode, 9001);
  EXPECT_STREQ(st_->ref.arrSpecies[9].szShortName, "xant pari");
  EXPECT_STREQ(st_->ref.arrSpecies[9].szFullName, "");

  int second = Typed("bell pere", "1\n");
  EXPECT_EQ(second, 10);
  EXPECT_EQ(st_->ref.arrSpecies[10].nSpeciesCode, 9002);
  EXPECT_EQ(st_->ref.nNextNewSpeciesCode, 9002);

  // Later (the same sample or another one) the name is found directly.
  EXPECT_EQ(FindSpeciesRow(st_->ref, "xant pari"), 9);
  EXPECT_EQ(FindSpeciesRow(st_->ref, "bell pere"), 10);
  // The dictionary itself is untouched.
  EXPECT_STREQ(st_->ref.arrSpecies[8].szShortName, "zost mari");
  EXPECT_EQ(st_->ref.nSpeciesCount, 8);
}

TEST_F(NamesTest, DataFileNamesBecomeNewSpeciesWithTheMessage) {
  SetDictionary(*st_, kSmall);
  TempDir dir;
  st_->settings.fpResults = File(std::fopen(dir.File("TABLOUT.TXT").c_str(), "w"));
  ASSERT_TRUE(st_->settings.fpResults);
  st_->settings.nInputSource = 1;
  st_->settings.nOutputFormat = 1;
  ScriptedConsole sc("2\n");
  EXPECT_EQ(ResolveUnknownName(sc.con, st_->ref, st_->settings, "xant pari").row, 9);
  EXPECT_EQ(ResolveUnknownName(sc.con, st_->ref, st_->settings, "poa  triv").row, 10);
  ASSERT_TRUE(st_->settings.fpResults.Close());
  const std::string expected =
      "      *** Name not in dictionary ***  xant pari\n"
      "      *** Name not in dictionary ***  poa  triv\n";
  EXPECT_EQ(sc.out.str(), expected);
  EXPECT_EQ(dir.Read("TABLOUT.TXT"), expected);
  EXPECT_EQ(sc.in.tellg(), 0);  // no question asked
  EXPECT_EQ(st_->ref.arrSpecies[9].nSpeciesCode, 9001);
  EXPECT_EQ(st_->ref.arrSpecies[10].nSpeciesCode, 9002);

  // CSV output keeps the message off the results file; a short key is padded on screen.
  st_->settings.fpResults = File(std::fopen(dir.File("out.csv").c_str(), "w"));
  ASSERT_TRUE(st_->settings.fpResults);
  st_->settings.nOutputFormat = 0;
  ScriptedConsole sc2("");
  EXPECT_EQ(ResolveUnknownName(sc2.con, st_->ref, st_->settings, "spha ").row, 11);
  ASSERT_TRUE(st_->settings.fpResults.Close());
  EXPECT_EQ(sc2.out.str(), "      *** Name not in dictionary ***  spha     \n");
  EXPECT_EQ(dir.Read("out.csv"), "");
}

TEST_F(NamesTest, FullTableRefusesNewNamesAndChangesNoRow) {
  SetDictionary(*st_, kSmall);
  st_->ref.nSpeciesEntries = 3999;
  EXPECT_EQ(Typed("xant pari", "1\n"), 4000);  // the last row is still free
  EXPECT_EQ(st_->ref.arrSpecies[4000].nSpeciesCode, 9001);

  EXPECT_EQ(Typed("bell pere", "1\n"), 0);
  EXPECT_NE(out_.find(" *** Species table full"), std::string::npos) << out_;
  EXPECT_NE(out_.find("bell pere"), std::string::npos);
  EXPECT_EQ(st_->ref.nSpeciesEntries, 4000);
  EXPECT_EQ(st_->ref.nNextNewSpeciesCode, 9001);
  EXPECT_STREQ(st_->ref.arrSpecies[4000].szShortName, "xant pari");

  // A data file goes on without the name, and says so in a text results file.
  TempDir dir;
  st_->settings.fpResults = File(std::fopen(dir.File("TABLOUT.TXT").c_str(), "w"));
  ASSERT_TRUE(st_->settings.fpResults);
  st_->settings.nInputSource = 1;
  st_->settings.nOutputFormat = 1;
  ScriptedConsole sc("");
  EXPECT_EQ(ResolveUnknownName(sc.con, st_->ref, st_->settings, "bell pere").row, 0);
  ASSERT_TRUE(st_->settings.fpResults.Close());
  std::string results = dir.Read("TABLOUT.TXT");
  EXPECT_EQ(results.rfind("      *** Name not in dictionary ***  bell pere\n", 0), 0u);
  EXPECT_NE(results.find(" *** Species table full"), std::string::npos);
  EXPECT_EQ(st_->ref.nSpeciesEntries, 4000);
}

TEST_F(NamesTest, NewCodesStopAt10000) {
  SetDictionary(*st_, kSmall);
  st_->ref.nNextNewSpeciesCode = 9999;
  EXPECT_EQ(Typed("xant pari", "1\n"), 9);
  EXPECT_EQ(st_->ref.arrSpecies[9].nSpeciesCode, 10000);

  std::strcpy(st_->ref.arrSpecies[10].szShortName, "left over");
  EXPECT_EQ(Typed("bell pere", "1\n"), 0);
  EXPECT_NE(out_.find(" *** No species codes left"), std::string::npos) << out_;
  EXPECT_EQ(st_->ref.nSpeciesEntries, 9);
  EXPECT_EQ(st_->ref.nNextNewSpeciesCode, 10000);
  EXPECT_STREQ(st_->ref.arrSpecies[10].szShortName, "left over");
  EXPECT_EQ(st_->ref.arrSpecies[10].nSpeciesCode, 0);
}

// ---- the menu -----------------------------------------------------------------------

const std::vector<Row> kOaks = {
    {"poa  annu", 10}, {"quer cerr", 20}, {"quer ilex", 21}, {"quer robu", 22},
    {"quer rose", 12000}, {"quin rufa", 30}, {"ranu acri", 40},
};

TEST_F(NamesTest, MenuLayoutWithAFewCandidates) {
  SetDictionary(*st_, kOaks);  // rows 3..9
  // A new name beginning like the key is listed after the dictionary rows.
  ASSERT_EQ(Typed("quer rxyz", "1\n"), 10);

  EXPECT_EQ(Typed("quer rubr", "3\n"), 6);
  const std::string expected =
      "     *** Name not in dictionary ***  quer rubr\n\n"
      "     Select correct name from menu\n"
      "     or accept as new name or delete entry\n"
      "       1 NEW NAME    \n"
      "       2 DELETE      \n"
      "       3 quer robu   \n"
      "       4 quin rufa   \n"
      "       5 quer rxyz   \n"
      "\n Type number of choice\n";
  EXPECT_EQ(out_, expected);
  EXPECT_EQ(Typed("quer rubr", "4\n"), 8);
  EXPECT_EQ(Typed("quer rubr", "5\n"), 10);
  EXPECT_EQ(st_->ref.nSpeciesEntries, 10);  // choosing a candidate adds nothing
}

TEST_F(NamesTest, OneWordKeyListsEveryNameOfItsFirstLetter) {
  SetDictionary(*st_, kOaks);
  EXPECT_EQ(Typed("quer ", "2\n"), 0);
  EXPECT_NE(out_.find("     *** Name not in dictionary ***  quer \n\n"), std::string::npos);
  for (const char* name : {" 3 quer cerr", " 4 quer ilex", " 5 quer robu", " 6 quin rufa"}) {
    EXPECT_NE(out_.find(name), std::string::npos) << name;
  }
  EXPECT_EQ(out_.find("quer rose"), std::string::npos);  // code above 10000
  EXPECT_EQ(out_.find(" 7 "), std::string::npos);
}

TEST_F(NamesTest, UnknownFirstLetterGivesOnlyTheFixedChoices) {
  SetDictionary(*st_, kOaks);
  EXPECT_EQ(Typed("xant pari", "\n"), 0);
  EXPECT_EQ(out_,
            "     *** Name not in dictionary ***  xant pari\n\n"
            "     Select correct name from menu\n"
            "     or accept as new name or delete entry\n"
            "       1 NEW NAME    \n"
            "       2 DELETE      \n"
            "\n Type number of choice\n");
  // Letters at the very ends of the dictionary find nothing either.
  EXPECT_EQ(Typed("aaaa bbbb", "3\n"), 0);
  EXPECT_EQ(Typed("zzzz bbbb", "3\n"), 0);
}

TEST_F(NamesTest, BadOrMissingChoicesDelete) {
  SetDictionary(*st_, kOaks);
  for (const char* answer :
       {"\n", "0\n", "5\n", "-1\n", "abc\n", "", "99999999999999\n", "2", " "}) {
    EXPECT_EQ(Typed("quer rubr", answer), 0) << answer;  // 4 items: NEW, DELETE, 2 oaks
    // Only an input that had ended before the menu leaves it unanswered.
    EXPECT_EQ(answered_, answer[0] != '\0') << answer;
  }
  EXPECT_EQ(st_->ref.nSpeciesEntries, 9);
  EXPECT_EQ(st_->ref.nNextNewSpeciesCode, 9000);
  // A number followed by text is read as the number.
  EXPECT_EQ(Typed("quer rubr", " 4 please\n"), 8);
}

// Short name of candidate i (1-based): all begin with "c" then a letter, so
// they lie inside the range searched for keys beginning with "c".
std::string Candidate(int i) {
  char name[10];
  int k = i - 1;
  std::snprintf(name, sizeof name, "cb%c%c r%c%cx", 'a' + k / 26, 'a' + k % 26, 'a' + k / 26,
                'a' + k % 26);
  return name;
}

void SetCandidates(AppState& st, int n) {
  std::vector<Row> rows;
  for (int i = 1; i <= n; ++i) rows.push_back({Candidate(i), i});
  rows.push_back({"cbzz szzz", 999});  // same first letter, other second word
  SetDictionary(st, rows);
}

TEST_F(NamesTest, LongListKeepsTheLastCandidateAsItem75) {
  SetCandidates(*st_, 80);  // rows 3..82, then the non-candidate in row 83

  EXPECT_EQ(Typed("cxxx rzzz", "75\n"), 82);  // the last candidate found
  const std::string beware = " *** Beware - list too long *** ";
  size_t count = 0;
  for (size_t at = out_.find(beware); at != std::string::npos; at = out_.find(beware, at + 1)) {
    ++count;
  }
  EXPECT_EQ(count, 7u);  // one for each candidate after the 73rd

  // Line 1 holds items 1, 16, 31 and 46; item k is candidate k - 2 (row k).
  std::string line1 = std::string("  ") + "    " + " 1 NEW NAME " + "   " + "    " + "16 " +
                      Candidate(14) + "   " + "    " + "31 " + Candidate(29) + "   " + "    " +
                      "46 " + Candidate(44) + "   " + "\n";
  EXPECT_NE(out_.find(beware + line1), std::string::npos) << out_;
  std::string line15 = std::string("  ") + "    " + "15 " + Candidate(13) + "   " + "    " +
                       "30 " + Candidate(28) + "   " + "    " + "45 " + Candidate(43) + "   " +
                       "    " + "60 " + Candidate(58) + "   " + "\n";
  EXPECT_NE(out_.find(line15 + "\n Type number of choice\n"), std::string::npos);
  EXPECT_EQ(out_.find(Candidate(59)), std::string::npos);  // item 61
  EXPECT_EQ(out_.find(Candidate(80)), std::string::npos);  // item 75
  EXPECT_EQ(out_.find("cbzz"), std::string::npos);

  EXPECT_EQ(Typed("cxxx rzzz", "61\n"), 61);  // not shown, still chosen
  EXPECT_EQ(Typed("cxxx rzzz", "74\n"), 74);
  EXPECT_EQ(Typed("cxxx rzzz", "76\n"), 0);
}

TEST_F(NamesTest, ExactlySeventyThreeCandidatesNeedNoWarning) {
  SetCandidates(*st_, 73);
  EXPECT_EQ(Typed("cxxx rzzz", "75\n"), 75);
  EXPECT_EQ(out_.find("Beware"), std::string::npos);
  SetCandidates(*st_, 74);
  EXPECT_EQ(Typed("cxxx rzzz", "75\n"), 76);  // the 74th replaced the 73rd
  EXPECT_EQ(out_.find("Beware"), out_.rfind("Beware"));
  EXPECT_NE(out_.find("Beware"), std::string::npos);
}

}  // namespace
