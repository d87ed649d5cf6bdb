#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "refdata_fixture.h"

namespace {

// "(unit,quant) ..." of regrouped lines first..last.
std::string Regrouped(const RefData& ref, int first, int last) {
  std::string s;
  for (int e = first; e <= last; ++e) {
    s += "(" + std::to_string(ref.arrTbSpeciesToNVCJoinTable[e].nNVCIndex) + "," +
         std::to_string(ref.arrTbSpeciesToNVCJoinTable[e].nQuant) + ")";
  }
  return s;
}

const char kUnits[] = "W8\tAsh\t\tG1\tWood\nMG5\tMeadow\t\tE2\tGrass\nU4\tHeath\t\tE1\tDry\n";

TEST(AssociationJoins, LinesAreRegroupedByCodeInFileOrder) {
  RefFolder f;
  f.Dict("12 ab cd Ab cd\n30 ef gh Ef gh\n");
  f.Defs(kUnits);
  f.Data("W8\t12\t45\tAb cd\tV\t1-5\nW8\t30\t12\tEf gh\tII\t1-2\nMG5\t12\t3\tAb cd\tI\t3-3\n");
  RefData& ref = f.Load();
  EXPECT_EQ(ref.nSpeciesTableCount, 3);
  EXPECT_EQ(UnitRange(ref.arrNVCData[1]), "1-2");
  EXPECT_EQ(UnitRange(ref.arrNVCData[2]), "3-3");
  EXPECT_EQ(UnitRange(ref.arrNVCData[3]), "0-0");  // a unit without lines
  EXPECT_EQ(Regrouped(ref, 1, 4), "(1,45)(2,3)(1,12)(0,0)");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[12]), "1-2");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[30]), "3-3");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[3]), "1-2");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[4]), "3-3");
  EXPECT_EQ(ref.arrTbNVCToSpeciesJoinTable[2].nSpeciesCode, 30);
  EXPECT_EQ(ref.arrTbNVCToSpeciesJoinTable[2].nQuant, 12);
  EXPECT_EQ(f.Err(), "");
}

TEST(AssociationJoins, CodesWithoutDictionaryEntryOrWithoutLines) {
  RefFolder f;
  // 12 twice (entries 3 and 5), 20 without lines, 40 above nothing, 6000 beyond the
  // index's least size (the index grows to take it).
  f.Dict("12 ab cd Ab\n20 ef gh Ef\n12 ij kl Ij\n40 mn op Mn\n6000 qr st Qr\n");
  f.Defs(kUnits);
  f.Data("U4\t40\t5\nU4\t25\t7\nU4\t12\t9\nW8\t6000\t4\nW8\t12\t1\n");
  RefData& ref = f.Load();
  // Code 12 first (2 lines), then 20 (none, start at the next free line), then 40.
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[12]), "1-2");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[20]), "3-0");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[40]), "3-3");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[25]), "0-0");  // no dictionary entry
  EXPECT_EQ(Regrouped(ref, 1, 4), "(3,9)(1,1)(3,5)(1,4)");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[6000]), "4-4");
  // Entries that share a code share its range; the fixed entries have none.
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[3]), "1-2");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[5]), "1-2");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[4]), "3-0");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[6]), "3-3");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[7]), "4-4");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[1]), "0-0");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesIndex[2]), "0-0");
}

TEST(AssociationJoins, EmptyDefinitionsAndAssociationsLeaveEveryRangeEmpty) {
  RefFolder f;
  f.Dict("12 ab cd Ab\n30 ef gh Ef\n");
  f.Defs("");
  f.Data("");
  RefData& ref = f.Load();
  EXPECT_EQ(ref.nNVCCount, 0);
  EXPECT_EQ(ref.nSpeciesTableCount, 0);
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[12]), "1-0");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[30]), "1-0");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[13]), "0-0");
  EXPECT_EQ(UnitRange(ref.arrNVCData[0]), "0-0");
  EXPECT_EQ(UnitRange(ref.arrNVCData[1]), "0-0");
  EXPECT_EQ(f.Out(), LoadMessages());
}

TEST(AssociationBlocks, LastLineClosesTheBlockWithOrWithoutNewline) {
  for (const char* end : {"", "\n", "\r\n"}) {
    RefFolder f;
    f.Dict("12 ab cd Ab\n");
    f.Defs(kUnits);
    f.Data(std::string("W8\t12\t45\r\nMG5\t12\t3\r\nMG5\t12\t4") + end);
    RefData& ref = f.Load();
    EXPECT_EQ(ref.nSpeciesTableCount, 3) << end;
    EXPECT_EQ(UnitRange(ref.arrNVCData[2]), "2-3");
    EXPECT_EQ(Regrouped(ref, 1, 3), "(1,45)(2,3)(2,4)");
  }
}

TEST(AssociationBlocks, UndefinedCodesAndRepeatedBlocksTakeNoPart) {
  RefFolder f;
  f.Dict("12 ab cd Ab\n");
  f.Defs(kUnits);
  // "W8 " (trailing blank) is not W8; the first W8 block is replaced by the later one.
  f.Data("W8\t12\t1\nW8 \t12\t2\nW8 \t12\t3\nMG5\t12\t4\nW8\t12\t5\nX9\t12\t6\nU4\t12\t7\n");
  RefData& ref = f.Load();
  EXPECT_EQ(ref.nSpeciesTableCount, 7);
  EXPECT_EQ(UnitRange(ref.arrNVCData[1]), "5-5");
  EXPECT_EQ(UnitRange(ref.arrNVCData[2]), "4-4");
  EXPECT_EQ(UnitRange(ref.arrNVCData[3]), "7-7");
  // Record 4, after the last unit, holds the last block that matched no unit.
  EXPECT_EQ(UnitRange(ref.arrNVCData[4]), "6-6");
  EXPECT_EQ(Regrouped(ref, 1, 4), "(2,4)(1,5)(3,7)(0,0)");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[12]), "1-3");
  EXPECT_EQ(CountOf(f.Err(), "community W8  is not defined"), 1);
  EXPECT_EQ(CountOf(f.Err(), "community X9 is not defined"), 1);
  EXPECT_EQ(CountOf(f.Err(), "community W8 comes again"), 1);
}

TEST(AssociationMalformed, BadQuantsAndMissingFieldsKeepTheirLineButTakeNoPart) {
  RefFolder f;
  f.Dict("12 ab cd Ab\n13 ef gh Ef\n");
  f.Defs(kUnits);
  f.Data("W8\t12\t0\n"          // 1 quant 0
         "W8\t12\t51\n"         // 2 quant 51
         "W8\t12\t50\n"         // 3 the highest quant
         "W8\t12\n"             // 4 no quant field
         "W8\t\t7\n"            // 5 empty species field
         "W8\n"                 // 6 code alone
         "\n"                   // 7 blank line: stays in the W8 block
         "W8\t13\t1\n"          // 8
         "W8\tab\t9\n"          // 9 non-numeric species: code 0
         "W8\t13\tx\n"          // 10 non-numeric quant: 0
         "W8\t65548\t9\n"       // 11 would wrap to 12 in 16 bits
         "W8\t13\t-1\n"         // 12
         "W8\t13\t65537\n"      // 13 would wrap to 1 in 16 bits
         "W8\t13\t2\n"          // 14
         "\tx\t9\n"             // 15 no community code
         "MG5\t13\t3\n");       // 16
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nSpeciesTableCount, 16);
  EXPECT_EQ(UnitRange(ref.arrNVCData[1]), "1-15");
  EXPECT_EQ(UnitRange(ref.arrNVCData[2]), "16-16");
  const SpeciesTableLine* t = ref.arrTbNVCToSpeciesJoinTable.data();
  EXPECT_EQ(t[1].nQuant, 0);
  EXPECT_EQ(t[2].nQuant, 51);
  EXPECT_EQ(t[4].nSpeciesCode, 12);
  EXPECT_EQ(t[4].nQuant, 0);
  EXPECT_EQ(t[5].nSpeciesCode, 0);
  EXPECT_EQ(t[5].nQuant, 0);
  EXPECT_EQ(t[6].nSpeciesCode, 0);
  EXPECT_EQ(t[7].nQuant, 0);
  EXPECT_EQ(t[9].nSpeciesCode, 0);
  EXPECT_EQ(t[10].nQuant, 0);
  EXPECT_EQ(t[11].nSpeciesCode, 32767);
  EXPECT_EQ(t[13].nQuant, 32767);
  EXPECT_EQ(t[15].nSpeciesCode, 0);
  // Only lines 3, 8, 14 and 16 take part.
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[12]), "1-1");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[13]), "2-4");
  EXPECT_EQ(Regrouped(ref, 1, 5), "(1,50)(1,1)(1,2)(2,3)(0,0)");
  for (int e = 1; e <= kTableLineCapacity; ++e) {
    if (ref.arrTbSpeciesToNVCJoinTable[e].nNVCIndex == 0) continue;
    ASSERT_TRUE(IsValidQuant(ref.arrTbSpeciesToNVCJoinTable[e].nQuant)) << e;
  }
  EXPECT_EQ(CountOf(f.Err(), "outside 1..50"), 4);
  EXPECT_EQ(CountOf(f.Err(), "species code 65548 outside 1..9000"), 1);
  EXPECT_EQ(CountOf(f.Err(), "species code \"ab\" is not a whole number"), 1);
  EXPECT_EQ(CountOf(f.Err(), "quant \"x\" is not a whole number"), 1);
  EXPECT_EQ(CountOf(f.Err(), "species or quant field missing"), 3);
  EXPECT_EQ(CountOf(f.Err(), "no community code"), 2);
  EXPECT_EQ(f.Out(), LoadMessages());
}

TEST(AssociationMalformed, OverlongLinesAndFields) {
  RefFolder f;
  f.Dict("12 ab cd Ab\n");
  f.Defs(kUnits);
  std::string fits = "W8\t12\t7\t" + std::string(511 - 8, 'n');
  std::string tooLong = "W8\t12\t8\t" + std::string(512 - 8, 'n');
  f.Data("W8\t00000000000000000000012\t5\n" + fits + "\n" + tooLong + "\nMG5\t12\t9\n");
  RefData& ref = f.Load();
  EXPECT_EQ(ref.nSpeciesTableCount, 2);
  // A species field is read as its first 19 characters.
  EXPECT_EQ(ref.arrTbNVCToSpeciesJoinTable[1].nSpeciesCode, 0);
  EXPECT_EQ(ref.arrTbNVCToSpeciesJoinTable[2].nQuant, 7);
  EXPECT_EQ(UnitRange(ref.arrNVCData[1]), "1-2");
  EXPECT_EQ(UnitRange(ref.arrNVCData[2]), "0-0");
  EXPECT_NE(
      f.Err().find("vegmatch: VegmatchNVCData3.txt:3: the line is longer than 511 characters"),
      std::string::npos);
  EXPECT_NE(f.Err().find("vegmatch: VegmatchNVCData3.txt:1: a field longer than 19"),
            std::string::npos);
}

TEST(AssociationTables, MoreLinesThanTheOldTwentyThousandAreLoadedWhole) {
  std::string text;
  for (int k = 1; k <= 40003; ++k) {
    text += (k <= 39999 ? "W8\t12\t" : "MG5\t12\t") + std::to_string(k % 50 + 1) + "\n";
  }
  RefFolder f;
  f.Dict("12 ab cd Ab\n");
  f.Defs(kUnits);
  f.Data(text);
  RefData& ref = f.Load();
  EXPECT_EQ(ref.nSpeciesTableCount, 40003);
  EXPECT_EQ(UnitRange(ref.arrNVCData[1]), "1-39999");
  EXPECT_EQ(UnitRange(ref.arrNVCData[2]), "40000-40003");
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[12]), "1-40003");
  // Indices past 32767 keep their value.
  EXPECT_EQ(ref.arrTbSpeciesToNVCJoinTable[39999].nNVCIndex, 1);
  EXPECT_EQ(ref.arrTbSpeciesToNVCJoinTable[40003].nNVCIndex, 2);
  EXPECT_EQ(ref.arrTbSpeciesToNVCJoinTable[40003].nQuant, 40003 % 50 + 1);
  EXPECT_EQ(LastRow(ref.arrTbNVCToSpeciesJoinTable), 40003);
  EXPECT_EQ(f.Err(), "");
}

TEST(AssociationTables, SmallFilesKeepTheOldTableSize) {
  RefFolder f;
  f.Dict("12 ab cd Ab\n");
  f.Defs(kUnits);
  f.Data("W8\t12\t45\n");
  RefData& ref = f.Load();
  // The dump lists every row of a table, so its size within the old capacity is kept.
  EXPECT_EQ(LastRow(ref.arrTbNVCToSpeciesJoinTable), kTableLineCapacity);
  EXPECT_EQ(LastRow(ref.arrTbSpeciesToNVCJoinTable), kTableLineCapacity);
  EXPECT_EQ(LastRow(ref.arrNVCData), kNVCCapacity);
  EXPECT_EQ(LastRow(ref.arrSpecies), kSpeciesCapacity);
  EXPECT_EQ(LastRow(ref.arrSpeciesIndexByCode), kMaxSpeciesCode);
}

TEST(AssociationFiles, CrLfLoadsExactlyLikeLf) {
  std::string dict = "12 ab cd Ab cd\n30 ef gh Ef\n12 ij kl Ij\n";
  std::string defs = "W8\tAsh\tsub\tG1\tWood\n\nMG5\tMeadow\t\tE2\tGrass\n";
  std::string data = "W8\t12\t45\tAb\tV\t1-5\nW8\t30\t12\nMG5\t12\t3\n\nMG5\t30\t2\n";
  auto crlf = [](const std::string& s) {
    std::string r;
    for (char c : s) r += (c == '\n') ? std::string("\r\n") : std::string(1, c);
    return r;
  };
  RefFolder a;
  a.Dict(dict);
  a.Defs(defs);
  a.Data(data);
  RefFolder b;
  b.Dict(crlf(dict));
  b.Defs(crlf(defs));
  b.Data(crlf(data));
  const RefData& ra = a.Load();
  const RefData& rb = b.Load();
  EXPECT_EQ(ra.nSpeciesTableCount, 5);
  EXPECT_STREQ(rb.arrNVCData[3].szEunisName, "Grass");
  EXPECT_STREQ(rb.arrSpecies[3].szFullName, "Ab cd");
  EXPECT_TRUE(SameTables(ra, rb));
  EXPECT_EQ(a.Err(), b.Err());
}

}  // namespace

// What each line gives beyond its code and quant is kept as written, for the
// analyses and the names: the fourth field, the class the fifth names, the rest
// after it, a CR before the line end left out; and each block's unit code.
TEST(AssociationText, EachLineKeepsItsNameConstancyAndDominAsWritten) {
  const struct {
    const char* line;
    const char* name;
    int constancy;
    const char* domin;
    int fields;
    bool usable;
  } cases[] = {
      {"W8\t12\t45\tAb cd\tV\t1-5", "Ab cd", 5, "1-5", 6, true},
      {"W8\t30\t12\t Ef gh \t II \t2-3\textra\r", " Ef gh ", 2, "2-3\textra", 6, true},
      {"W8\t12\t3\tAb cd", "Ab cd", 0, "", 4, true},       // the name kept once
      {"W8\t30\t13\tEf\tVI\t1-1\r", "Ef", 0, "1-1", 6, true},  // no class
      {"W8\t30\t99\tEf gh\tI\t1-1", "Ef gh", 1, "1-1", 6, false},  // quant out of range
      {"MG5\t12", "", 0, "", 2, false},
      {"\t12\t3\tAb cd\tI\t3-3", "Ab cd", 1, "3-3", 6, false},  // no unit code
      {"MG5\t12\t3\t\tIII", "", 3, "", 5, true},
  };
  std::string data;
  for (const auto& c : cases) data += std::string(c.line) + "\n";
  RefFolder f;
  f.Dict("12 ab cd Ab cd\n30 ef gh Ef gh\n");
  f.Defs(kUnits);
  f.Data(data);
  const RefData& ref = f.Load();
  const AssociationText& kept = ref.association;
  ASSERT_EQ(ref.nSpeciesTableCount, static_cast<int>(std::size(cases)));
  ASSERT_EQ(kept.lines.size(), std::size(cases) + 1);
  for (int u = 1; u <= ref.nSpeciesTableCount; ++u) {
    const auto& c = cases[u - 1];
    const AssociationLineText& l = kept.lines[static_cast<size_t>(u)];
    EXPECT_EQ(kept.Name(u), c.name) << c.line;
    EXPECT_EQ(l.constancy, c.constancy) << c.line;
    EXPECT_EQ(kept.Domin(u), c.domin) << c.line;
    EXPECT_EQ(l.fields, c.fields) << c.line;
    EXPECT_EQ(l.usable, c.usable) << c.line;
  }
  EXPECT_EQ(kept.path, f.dir.path() + "/" + kDataName);
  ASSERT_EQ(kept.blocks.size(), 2u);
  EXPECT_EQ(kept.blocks[0].code, "W8");
  EXPECT_EQ(kept.blocks[0].firstLine, 1);
  EXPECT_EQ(kept.blocks[1].code, "MG5");
  EXPECT_EQ(kept.blocks[1].firstLine, 6);
}
