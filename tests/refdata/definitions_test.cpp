#include <gtest/gtest.h>

#include <string>

#include "refdata_fixture.h"

namespace {

TEST(Definitions, FieldsAreTabSeparatedAndCopiedUnchanged) {
  RefFolder f;
  f.Defs("W8\tFraxinus woodland\tPrimula sub\tG1.A2\tMixed woodland\textra\tmore\n"
         "MG5\t\t \"q\" \tE2.1\tMeadows\n"
         "O1\tLast line\tno newline\tX\tEnd");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nNVCCount, 3);
  const NVCUnit& w8 = ref.arrNVCData[1];
  EXPECT_STREQ(w8.szNVCType, "W8");
  EXPECT_STREQ(w8.szNVCCommonName, "Fraxinus woodland");
  EXPECT_STREQ(w8.szNVCSubName, "Primula sub");
  EXPECT_STREQ(w8.szEunisCode, "G1.A2");
  EXPECT_STREQ(w8.szEunisName, "Mixed woodland");
  EXPECT_STREQ(ref.arrNVCData[2].szNVCCommonName, "");
  EXPECT_STREQ(ref.arrNVCData[2].szNVCSubName, " \"q\" ");
  EXPECT_STREQ(ref.arrNVCData[3].szEunisName, "End");
  EXPECT_STREQ(ref.arrNVCData[4].szNVCType, "");
  EXPECT_EQ(f.Err(), kNothingToScore);
}

TEST(Definitions, BlankAndShortLinesAreUnitsWithEmptyMissingFields) {
  RefFolder f;
  f.Defs("W8\ta\tb\tc\td\n\nMG5\tGrass\r\nU4\n");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nNVCCount, 4);
  EXPECT_STREQ(ref.arrNVCData[2].szNVCType, "");
  EXPECT_STREQ(ref.arrNVCData[2].szEunisName, "");
  EXPECT_STREQ(ref.arrNVCData[3].szNVCType, "MG5");
  EXPECT_STREQ(ref.arrNVCData[3].szNVCCommonName, "Grass");
  EXPECT_STREQ(ref.arrNVCData[3].szNVCSubName, "");
  EXPECT_STREQ(ref.arrNVCData[4].szNVCType, "U4");
  EXPECT_STREQ(ref.arrNVCData[4].szNVCCommonName, "");
  EXPECT_EQ(CountOf(f.Err(), "fewer than 5 fields"), 3);
}

TEST(Definitions, OverlongFieldsAreCutToTheirWidths) {
  RefFolder f;
  f.Defs(std::string("ABCDEFGH\t") + std::string(30, 'c') + "\t" + std::string(20, 's') + "\t" +
         "123456789\t" + std::string(40, 'e') + "\n");
  RefData& ref = f.Load();
  ASSERT_EQ(ref.nNVCCount, 1);
  const NVCUnit& u = ref.arrNVCData[1];
  EXPECT_STREQ(u.szNVCType, "ABCDEF");
  EXPECT_EQ(std::string(u.szNVCCommonName), std::string(24, 'c'));
  EXPECT_EQ(std::string(u.szNVCSubName), std::string(16, 's'));
  EXPECT_STREQ(u.szEunisCode, "12345678");
  EXPECT_EQ(std::string(u.szEunisName), std::string(25, 'e'));
  EXPECT_EQ(u.nSpeciesTableStartIndex, 0);
  EXPECT_EQ(CountOf(f.Err(), "cut to fit"), 1);
}

TEST(Definitions, ALineLongerThan511CharactersEndsTheReading) {
  RefFolder f;
  std::string fits = "A1\t" + std::string(511 - 3, 'x');
  std::string tooLong = "A2\t" + std::string(512 - 3, 'x');
  f.Defs("W8\ta\tb\tc\td\n" + fits + "\n" + tooLong + "\nU4\ta\tb\tc\td\n");
  RefData& ref = f.Load();
  EXPECT_EQ(ref.nNVCCount, 2);
  EXPECT_STREQ(ref.arrNVCData[2].szNVCType, "A1");
  EXPECT_STREQ(ref.arrNVCData[3].szNVCType, "");
  EXPECT_NE(
      f.Err().find("vegmatch: VegmatchNVCDef3.txt:3: the line is longer than 511 characters"),
      std::string::npos);
}

TEST(Definitions, MoreUnitsThanTheOld880AreLoadedWhole) {
  std::string text;
  for (int k = 1; k <= 883; ++k) text += "U" + std::to_string(k) + "\tn\ts\te\tE\n";
  RefFolder f;
  f.Dict("1 ab cd Ab\n");
  f.Defs(text);
  f.Data("U880\t1\t1\nU881\t1\t1\nU999\t1\t1\n");
  RefData& ref = f.Load();
  EXPECT_EQ(ref.nNVCCount, 883);
  EXPECT_STREQ(ref.arrNVCData[883].szNVCType, "U883");
  // The unit past the old capacity takes its lines, and an undefined community
  // still finds a record after the last unit.
  EXPECT_EQ(ref.nSpeciesTableCount, 3);
  EXPECT_EQ(UnitRange(ref.arrNVCData[881]), "2-2");
  EXPECT_EQ(UnitRange(ref.arrNVCData[884]), "3-3");
  EXPECT_EQ(ref.arrTbSpeciesToNVCJoinTable[2].nNVCIndex, 881);
  EXPECT_EQ(Range(ref.arrSpeciesBySpeciesCode[1]), "1-2");
  EXPECT_EQ(CountOf(f.Err(), "\n"), 1);
  EXPECT_EQ(CountOf(f.Err(), "community U999 is not defined"), 1);
}

TEST(Definitions, MissingFileStillLoadsTheAssociationLines) {
  RefFolder f;
  f.Dict("12 ab cd Ab\n");
  f.Data("W8\t12\t45\n");
  RefData& ref = f.Load();
  EXPECT_EQ(f.Out(),
            "\n Reading in dictionary from file SPECDICT.txt"
            "\n Reading NVC Types from file VegmatchNVCDef3.txtError opening VegmatchNVCDef3.txt\n"
            "\n Reading in NVC tables from file VegmatchNVCData3.txt\n");
  EXPECT_EQ(ref.nNVCCount, 0);
  EXPECT_EQ(ref.nSpeciesTableCount, 1);
  // The block matches no unit; its range goes to record 1, which is no unit.
  EXPECT_EQ(ref.arrNVCData[1].nSpeciesTableStartIndex, 1);
  EXPECT_EQ(ref.arrNVCData[1].nSpeciesTableEndIndex, 1);
  EXPECT_EQ(ref.arrSpeciesBySpeciesCode[12].nStartIndex, 1);
  EXPECT_EQ(ref.arrSpeciesBySpeciesCode[12].nEndIndex, 0);
}

}  // namespace
