#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "refdata_fixture.h"

namespace {

std::string Codes(const RefData& ref) {
  std::string s;
  for (int j = 1; j <= ref.nSpeciesCount; ++j) {
    s += std::to_string(ref.arrSortedSpecies[j].nSpeciesCode) + ":" +
         std::to_string(ref.arrSortedSpecies[j].nSpeciesIndex) + " ";
  }
  return s;
}

TEST(DictionaryMessages, AllFilesPresentAndAllMissing) {
  {
    RefFolder f;
    f.Dict("12 ab cd Ab cd\n");
    f.Defs("W8\tA\tB\tC\tD\n");
    f.Data("W8\t12\t45\n");
    f.Load();
    EXPECT_EQ(f.Out(), LoadMessages());
    EXPECT_EQ(f.Err(), "");
  }
  {
    RefFolder f;
    f.Load();
    EXPECT_EQ(f.Out(),
              "\n Reading in dictionary from file SPECDICT.txtError opening SPECDICT3.txt\n"
              "\n Reading NVC Types from file VegmatchNVCDef3.txtError opening VegmatchNVCDef3.txt\n"
              "\n Reading in NVC tables from file VegmatchNVCData3.txt\n"
              "Error opening VegmatchNVCData3.txt\n");
  }
}

TEST(DictionaryFixedEntries, MissingOrEmptyFileLeavesOnlyTheFixedEntries) {
  for (bool present : {false, true}) {
    RefFolder f;
    if (present) f.Dict("\n  \n");
    f.Defs("W8\tx\ty\tz\tq\n");
    f.Data("W8\t12\t45\n");
    RefData& ref = f.Load();
    EXPECT_EQ(ref.nSpeciesCount, 2);
    EXPECT_STREQ(ref.arrSpecies[1].szShortName, "NEW NAME ");
    EXPECT_STREQ(ref.arrSpecies[2].szShortName, "DELETE   ");
    EXPECT_EQ(ref.arrSpecies[1].nSpeciesCode, 0);
    EXPECT_STREQ(ref.arrSpecies[2].szFullName, "");
    EXPECT_EQ(Codes(ref), "0:1 0:2 ");
    for (int c = 0; c <= kMaxSpeciesCode; ++c) ASSERT_EQ(ref.arrSpeciesIndexByCode[c], 0) << c;
    EXPECT_EQ(FindSortedRowByCode(ref, 0), 0);
    // Nothing is regrouped without a dictionary, but the file lines are kept.
    EXPECT_EQ(ref.nSpeciesTableCount, 1);
    EXPECT_EQ(ref.arrTbSpeciesToNVCJoinTable[1].nNVCIndex, 0);
    EXPECT_EQ(ref.arrSpeciesBySpeciesCode[12].nEndIndex, 0);
  }
}

TEST(DictionaryShortNames, PaddingOfTheFirstWordAndOrderOfSharedCodes) {
  RefFolder f;
  f.Dict("12 ab cdef Abies cdefiana\n12 abcd ef Abcdia efia\n3 a b A b\n");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nSpeciesCount, 5);
  EXPECT_STREQ(ref.arrSpecies[3].szShortName, "ab   cdef");
  EXPECT_STREQ(ref.arrSpecies[4].szShortName, "abcd ef");
  EXPECT_STREQ(ref.arrSpecies[5].szShortName, "a    b");
  EXPECT_STREQ(ref.arrSpecies[3].szFullName, "Abies cdefiana");
  EXPECT_EQ(ref.arrSpecies[4].nSpeciesCode, 12);
  // A blank sorts below a letter, so the two shared-code entries stand in byte order.
  EXPECT_LT(std::string(ref.arrSpecies[3].szShortName), std::string(ref.arrSpecies[4].szShortName));
  EXPECT_EQ(Codes(ref), "0:1 0:2 3:5 12:3 12:4 ");
  EXPECT_EQ(ref.arrSpeciesIndexByCode[12], 3);
  EXPECT_EQ(ref.arrSpeciesIndexByCode[3], 5);
  EXPECT_EQ(ref.arrSpeciesIndexByCode[4], 0);
}

TEST(DictionarySort, RunsOfEqualCodesKeepDictionaryOrder) {
  RefFolder f;
  // Entries 3 and 9 have code 40, entry 5 code 7; a code above the index and a
  // code below 1 are stored and sorted too.
  f.Dict("40 a a A\n6000 b b B\n7 c c C\n-3 d d D\n12 e e E\n11 f f F\n40 g g G\n");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nSpeciesCount, 9);
  EXPECT_EQ(Codes(ref), "-3:6 0:1 0:2 7:5 11:8 12:7 40:3 40:9 6000:4 ");
  EXPECT_EQ(ref.arrSpeciesIndexByCode[40], 3);
  EXPECT_EQ(ref.arrSpeciesIndexByCode[7], 5);
  EXPECT_EQ(ref.arrSpecies[4].nSpeciesCode, 6000);
  EXPECT_EQ(FindSortedRowByCode(ref, 6000), 9);
  EXPECT_EQ(FindSortedRowByCode(ref, 40), 7);
  EXPECT_EQ(FindSortedRowByCode(ref, -3), 1);
  EXPECT_EQ(FindSortedRowByCode(ref, 0), 2);
  EXPECT_EQ(FindSortedRowByCode(ref, 13), 0);
  EXPECT_EQ(FindSortedRowByCode(ref, 9001), 0);
  // The fixed entries match no code of the index.
  for (int c = 1; c <= kMaxSpeciesCode; ++c) {
    ASSERT_NE(ref.arrSpeciesIndexByCode[c], 1);
    ASSERT_NE(ref.arrSpeciesIndexByCode[c], 2);
  }
}

TEST(SortSpecies, AgreesWithAStableSortByCode) {
  std::mt19937 rng(7);
  for (int n : {0, 1, 2, 3, 4, 5, 8, 17, 64, 255, 1000}) {
    std::vector<SortedSpeciesEntry> arr(static_cast<size_t>(n) + 2, SortedSpeciesEntry{-99, -99});
    std::vector<int16_t> codes;
    for (int k = 1; k <= n; ++k) {
      auto code = static_cast<int16_t>(static_cast<int>(rng() % 30) - 5);  // many repeats
      arr[static_cast<size_t>(k)] = SortedSpeciesEntry{code, static_cast<int16_t>(k)};
      codes.push_back(code);
    }
    std::vector<int> order(static_cast<size_t>(n));
    for (int k = 0; k < n; ++k) order[static_cast<size_t>(k)] = k;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
      return codes[static_cast<size_t>(a)] < codes[static_cast<size_t>(b)];
    });
    SortSpecies(arr.data(), n);
    for (int k = 1; k <= n; ++k) {
      int want = order[static_cast<size_t>(k - 1)];
      ASSERT_EQ(arr[static_cast<size_t>(k)].nSpeciesCode, codes[static_cast<size_t>(want)]) << n;
      ASSERT_EQ(arr[static_cast<size_t>(k)].nSpeciesIndex, want + 1) << n;
    }
    // Entry 0 and the entry after n are not touched.
    EXPECT_EQ(arr[0].nSpeciesCode, -99);
    EXPECT_EQ(arr[static_cast<size_t>(n) + 1].nSpeciesIndex, -99);
  }
}

TEST(FindSortedRowByCode, FindsTheFirstOfARunAtEveryPosition) {
  auto tables = NewRefData();
  RefData& ref = *tables;
  // Rows 1..9: 0 0 5 5 5 8 9 9 12
  const int16_t codes[] = {0, 0, 5, 5, 5, 8, 9, 9, 12};
  ref.nSpeciesCount = 9;
  for (int j = 1; j <= 9; ++j) ref.arrSortedSpecies[j] = SortedSpeciesEntry{codes[j - 1], 1};
  EXPECT_EQ(FindSortedRowByCode(ref, 0), 1);
  EXPECT_EQ(FindSortedRowByCode(ref, 5), 3);
  EXPECT_EQ(FindSortedRowByCode(ref, 8), 6);
  EXPECT_EQ(FindSortedRowByCode(ref, 9), 7);
  EXPECT_EQ(FindSortedRowByCode(ref, 12), 9);
  for (int missing : {-1, 1, 4, 6, 10, 13, 32767}) EXPECT_EQ(FindSortedRowByCode(ref, missing), 0);
  // Rows past the count are never looked at.
  ref.arrSortedSpecies[10] = SortedSpeciesEntry{20, 1};
  EXPECT_EQ(FindSortedRowByCode(ref, 20), 0);
  ref.nSpeciesCount = 2;
  EXPECT_EQ(FindSortedRowByCode(ref, 0), 0);
  ref.nSpeciesCount = 3;
  EXPECT_EQ(FindSortedRowByCode(ref, 5), 3);
}

TEST(NewSpecies, RowsAndCodesStartAfterTheLoadedDictionary) {
  for (const char* dict : {"", "12 ab cd Ab cd\n30 ef gh Ef\n"}) {
    RefFolder f;
    if (dict[0] != '\0') f.Dict(dict);
    RefData& ref = f.Load();
    EXPECT_EQ(ref.nSpeciesEntries, ref.nSpeciesCount) << dict;
    EXPECT_EQ(ref.nNextNewSpeciesCode, 9000) << dict;
    const int count = ref.nSpeciesCount;
    NewSpecies added = AppendNewSpecies(ref, "gymn cono");
    ASSERT_EQ(added.result, NewSpeciesResult::kAdded) << dict;
    EXPECT_EQ(added.row, count + 1);
    EXPECT_EQ(ref.arrSpecies[count + 1].nSpeciesCode, 9001);
    EXPECT_STREQ(ref.arrSpecies[count + 1].szShortName, "gymn cono");
    added = AppendNewSpecies(ref, "xyzz abcdef");
    EXPECT_EQ(added.row, count + 2);
    EXPECT_EQ(ref.arrSpecies[count + 2].nSpeciesCode, 9002);
    EXPECT_STREQ(ref.arrSpecies[count + 2].szShortName, "xyzz abcd");  // cut to 9
    // The dictionary and its sorted index are left as loaded.
    EXPECT_EQ(ref.nSpeciesCount, count);
    EXPECT_EQ(ref.nSpeciesEntries, count + 2);
    EXPECT_EQ(FindSortedRowByCode(ref, 9001), 0);
  }
}

TEST(DictionaryLayout, BlankLinesLeadingWhiteSpaceTabsAndCrLf) {
  std::string lf = "\n\n  12 ab cd Ab cd var. x\n\n\t13\tef\tgh\tEf gh  \n   \n14 ij kl Ij\n";
  std::string crlf;
  for (char c : lf) crlf += (c == '\n') ? std::string("\r\n") : std::string(1, c);
  for (const std::string& text : {lf, crlf}) {
    RefFolder f;
    f.Dict(text);
    RefData& ref = f.Load();
    ASSERT_EQ(ref.nSpeciesCount, 5);
    EXPECT_EQ(ref.arrSpecies[3].nSpeciesCode, 12);
    EXPECT_STREQ(ref.arrSpecies[3].szFullName, "Ab cd var. x");
    EXPECT_STREQ(ref.arrSpecies[4].szShortName, "ef   gh");
    // The full name is the rest of the line: blanks after it are kept.
    EXPECT_STREQ(ref.arrSpecies[4].szFullName, "Ef gh  ");
    EXPECT_STREQ(ref.arrSpecies[5].szFullName, "Ij");
    EXPECT_EQ(f.Err(), kNothingToScore);
  }
}

TEST(DictionaryMalformed, OverlongTextIsCutToItsField) {
  RefFolder f;
  std::string longName(120, 'N');
  f.Dict("1 abcdefghijklmnopq rstuvwxyzabcdefghijklm " + longName + "\n" +
         "2 abcdef gh Fits exactly\n" + "3 abcdefg hi Too long by one\n" + "4 ab cdefghijk X\n");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nSpeciesCount, 6);
  EXPECT_STREQ(ref.arrSpecies[3].szShortName, "abcdefghi");
  EXPECT_EQ(std::string(ref.arrSpecies[3].szFullName), std::string(79, 'N'));
  EXPECT_STREQ(ref.arrSpecies[4].szShortName, "abcdef gh");
  EXPECT_STREQ(ref.arrSpecies[5].szShortName, "abcdefg h");
  EXPECT_STREQ(ref.arrSpecies[6].szShortName, "ab   cdef");
  EXPECT_STREQ(ref.arrSpecies[6].szFullName, "X");
  EXPECT_EQ(CountOf(f.Err(), "cut to fit"), 3);
  EXPECT_EQ(CountOf(f.Err(), "SPECDICT3.txt:2:"), 0);
}

TEST(DictionaryMalformed, ShortLinesStayOnTheirOwnLine) {
  RefFolder f;
  f.Dict("10 ab cd\n11 ef\n12\n13 gh ij Gh ij\n");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nSpeciesCount, 6);
  EXPECT_STREQ(ref.arrSpecies[3].szShortName, "ab   cd");
  EXPECT_STREQ(ref.arrSpecies[3].szFullName, "");
  EXPECT_STREQ(ref.arrSpecies[4].szShortName, "ef   ");
  EXPECT_STREQ(ref.arrSpecies[5].szShortName, "     ");
  EXPECT_EQ(ref.arrSpecies[5].nSpeciesCode, 12);
  EXPECT_EQ(ref.arrSpecies[6].nSpeciesCode, 13);
  EXPECT_STREQ(ref.arrSpecies[6].szFullName, "Gh ij");
  EXPECT_NE(f.Err().find("vegmatch: SPECDICT3.txt:1: only 3 of 4 fields"), std::string::npos);
  EXPECT_NE(f.Err().find("vegmatch: SPECDICT3.txt:2: only 2 of 4 fields"), std::string::npos);
  EXPECT_NE(f.Err().find("vegmatch: SPECDICT3.txt:3: only 1 of 4 fields"), std::string::npos);
}

TEST(DictionaryMalformed, CodeFieldReadsAtMostFourCharacters) {
  RefFolder f;
  f.Dict("12345 ab cd Name\n+7 ef gh Plus\n-123 ij kl Minus\n99x mn op Q\n");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nSpeciesCount, 6);
  EXPECT_EQ(ref.arrSpecies[3].nSpeciesCode, 1234);
  EXPECT_STREQ(ref.arrSpecies[3].szShortName, "5    ab");
  EXPECT_STREQ(ref.arrSpecies[3].szFullName, "cd Name");
  EXPECT_EQ(ref.arrSpecies[4].nSpeciesCode, 7);
  EXPECT_EQ(ref.arrSpecies[5].nSpeciesCode, -123);
  EXPECT_EQ(ref.arrSpecies[6].nSpeciesCode, 99);
  EXPECT_STREQ(ref.arrSpecies[6].szShortName, "x    mn");
  EXPECT_EQ(CountOf(f.Err(), "runs into the next field"), 2);
}

TEST(DictionaryMalformed, ALineWithoutACodeEndsTheReading) {
  for (const char* bad : {"abc de fg Name\n", "- 1 ab Minus alone\n", "+x\n"}) {
    RefFolder f;
    f.Dict(std::string("12 ab cd Ab\n") + bad + "13 ef gh Ef\n");
    RefData& ref = f.Load();
    EXPECT_EQ(ref.nSpeciesCount, 3) << bad;
    EXPECT_EQ(ref.arrSpeciesIndexByCode[12], 3);
    EXPECT_EQ(ref.arrSpeciesIndexByCode[13], 0);
    EXPECT_NE(f.Err().find(
                  "vegmatch: SPECDICT3.txt:2: the line does not begin with a species code"),
              std::string::npos)
        << bad;
  }
}

TEST(DictionarySize, GrowsPastTheOld4000EntriesAndKeepsRoomForNewNames) {
  for (int lines : {3998, 4005}) {
    std::string text;
    for (int k = 1; k <= lines; ++k) text += std::to_string(k) + " ab cd Name " + std::to_string(k) + "\n";
    RefFolder f;
    f.Dict(text);
    RefData& ref = f.Load();
    EXPECT_EQ(ref.nSpeciesCount, lines + 2);
    EXPECT_STREQ(ref.arrSpecies[lines + 2].szFullName, ("Name " + std::to_string(lines)).c_str());
    EXPECT_EQ(ref.arrSpeciesIndexByCode[lines], lines + 2);
    EXPECT_EQ(f.Err(), kNothingToScore);
    const NewSpecies added = AppendNewSpecies(ref, "newx name");
    if (lines == 3998) {
      // Within the old size nothing changes: a full table has no room for a new name.
      EXPECT_EQ(LastRow(ref.arrSpecies), kSpeciesCapacity);
      EXPECT_EQ(added.result, NewSpeciesResult::kTableFull);
    } else {
      // Past it, the table keeps a row for every code a new name can take.
      EXPECT_EQ(LastRow(ref.arrSpecies), lines + 2 + kNewSpeciesCodes);
      EXPECT_EQ(added.result, NewSpeciesResult::kAdded);
      EXPECT_EQ(added.row, lines + 3);
    }
  }
}

TEST(DictionarySize, CodesBeyondTheNewNamesRangeAreReported) {
  RefFolder f;
  f.Dict("4092 ab cd Ab\n9001 ef gh Ef\n");
  f.Defs("W8\tn\ts\te\tE\n");
  f.Data("W8\t4092\t1\nW8\t9001\t1\n");
  RefData& ref = f.Load();
  EXPECT_EQ(CountOf(f.Err(), "SPECDICT3.txt:2: species code 9001 is outside 1..9000"), 1);
  // A code of a new name could be confused with it, so it never joins a line.
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[4]), "0-0");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[4092]), "1-1");
}

TEST(ReferenceFiles, AFileThatCannotBeReadToItsEndIsAnErrorNotAShortTable) {
  RefFolder f;
  // A folder opens like a file but fails at the first read.
  ASSERT_EQ(RunCommand("mkdir '" + f.dir.File(kDictName) + "'"), 0);
  f.Defs("W8\tn\ts\te\tE\n");
  f.Data("W8\t12\t45\n");
  ScriptedConsole sc("", f.dir.path());
  auto ref = NewRefData();
  EXPECT_FALSE(LoadReferenceData(sc.con, *ref));
  EXPECT_EQ(CountOf(sc.err.str(), "vegmatch: SPECDICT3.txt: error reading the file"), 1);
}

TEST(ReferenceFiles, SkippedLinesAreCountedOnceAtTheEnd) {
  RefFolder f;
  f.Dict("12 ab cd Ab\n");
  f.Defs("W8\tn\ts\te\tE\n");
  f.Data("W8\t12\t45\nW8\t12\n\t12\t3\nW8\t12\t77\n");
  ScriptedConsole sc("", f.dir.path());
  auto ref = NewRefData();
  EXPECT_TRUE(LoadReferenceData(sc.con, *ref));
  const std::string err = sc.err.str();
  EXPECT_EQ(CountOf(err, "vegmatch: 3 malformed lines of the reference files were skipped"), 1);
  EXPECT_EQ(err.rfind("vegmatch: 3 malformed"), err.rfind("vegmatch: "));
}

}  // namespace

namespace {

// Every key through the name index and through the halving search: the same row.
void ExpectIndexAgreesWithHalving(const RefData& ref, const std::vector<std::string>& keys) {
  ASSERT_FALSE(ref.arrNameIndex.empty());
  for (const std::string& key : keys) {
    EXPECT_EQ(DictionaryRowOfName(ref, key.c_str()), FindNameBracket(ref, key.c_str()).equal)
        << '"' << key << '"';
  }
}

// Each short name of the rows, and the same name cut short, lengthened past
// the short-name width, and changed in its last letter.
std::vector<std::string> KeysOf(const RefData& ref) {
  std::vector<std::string> keys = {"", " ", "zzzzzzzzz", "aaaa", "\xff\xfe"};
  for (int row = 1; row <= ref.nSpeciesEntries; ++row) {
    const std::string name = ref.arrSpecies[row].szShortName;
    keys.push_back(name);
    if (name.empty()) continue;
    keys.push_back(name.substr(0, name.size() - 1));
    keys.push_back(name + "x");
    keys.push_back(name + std::string(12, 'q'));
    std::string changed = name;
    changed.back() = static_cast<char>(changed.back() + 1);
    keys.push_back(changed);
  }
  return keys;
}

}  // namespace

TEST(NameIndex, FindsTheRowTheHalvingSearchFinds) {
  // Shared short names, and rows out of order, which the halving search may
  // not find: the index must not find them either.
  RefFolder f;
  f.Dict("5 achi mill Achillea millefolium\n6 agro capi Agrostis capillaris\n"
         "7 agro capi Agrostis capillaris var\n8 agro capi Agrostis x\n"
         "9 zost mari Zostera marina\n10 call vulg Calluna vulgaris\n"
         "11 poa  annu Poa annua\n12 quer robu Quercus robur\n12 quer robu Quercus x\n");
  ExpectIndexAgreesWithHalving(f.Load(), KeysOf(f.ref()));
  // A name typed during the run is not in the index: it is found after it.
  RefData& ref = f.ref();
  ASSERT_EQ(AppendNewSpecies(ref, "newx name").result, NewSpeciesResult::kAdded);
  EXPECT_EQ(DictionaryRowOfName(ref, "newx name"), 0);

  const std::string dir = ProjectDir() + "/data/nvc";
  auto bundled = NewRefData();
  ScriptedConsole sc("", dir);
  ASSERT_TRUE(LoadReferenceData(sc.con, *bundled));
  ExpectIndexAgreesWithHalving(*bundled, KeysOf(*bundled));
}

TEST(NameIndex, TablesChangedAfterLoadingAreSearchedByHalving) {
  RefFolder f;
  f.Dict("5 achi mill Achillea millefolium\n6 agro capi Agrostis capillaris\n");
  RefData& ref = f.Load();
  // A dictionary grown by hand, as tests build them, is not served by the stale index.
  std::strcpy(ref.arrSpecies[ref.nSpeciesCount + 1].szShortName, "zost mari");
  ++ref.nSpeciesCount;
  EXPECT_EQ(DictionaryRowOfName(ref, "zost mari"), ref.nSpeciesCount);
}
