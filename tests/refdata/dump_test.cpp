#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>

#include "refdata_fixture.h"

namespace {

const char kNameNote[] =
    "Note that the species name displayed for each species code is simply the first name found "
    "for that code in the Sorted Species Array, and is only output for readability purposes\n";

// A small reference set: code 12 shared by entries 3 and 5, code 40 without
// lines, code 99 only in the association file (which the load reports), a unit
// code with a blank in it, and a unit without lines.
const char kCode99Note[] =
    "vegmatch: VegmatchNVCData3.txt:4: species code 99 is not in the dictionary; its 1 line "
    "takes no part\n";

class DumpedSet : public ::testing::Test {
 protected:
  void SetUp() override {
    f.Dict("12 ab cd Abies cdia\n30 ef gh Efia ghia\n12 ij kl Ijia klia\n40 mn op Mnia opia\n");
    f.Defs("W 8\tAsh wood\tPrimula\tG1.A\tMixed wood\n"
           "MG5\tMeadow\t\tE2.2\tHay meadow\n"
           "U4\tHeath\t\tE1\tDry grass\n");
    f.Data("W 8\t12\t45\tAbies\tV\t1-5\nW 8\t30\t12\nMG5\t12\t3\nMG5\t99\t7\n");
    f.Load();
  }
  bool Dump() { return DumpReferenceTables(f.sc.con, f.ref()); }
  RefFolder f;
};

TEST_F(DumpedSet, SpeciesFilesRunOverTheWholeCapacity) {
  ASSERT_TRUE(Dump());
  std::string a01 =
      "Species Array\n"
      "This is the primary species database for Vegmatch.  Any species entered that are not found "
      "in this database are treated as new, unique species\n"
      "Used to recognise short names and full names and translate them to Vegmatch species codes\n"
      "nSpeciesIndex \tnSpeciesCode \tszShortName \tszFullName\n"
      "1\t0\tNEW NAME \t\n"
      "2\t0\tDELETE   \t\n"
      "3\t12\tab   cd\tAbies cdia\n"
      "4\t30\tef   gh\tEfia ghia\n"
      "5\t12\tij   kl\tIjia klia\n"
      "6\t40\tmn   op\tMnia opia\n";
  for (int i = 7; i <= 4000; ++i) a01 += std::to_string(i) + "\t0\t\t\n";
  EXPECT_EQ(f.dir.Read("A01-arrSpecies.txt"), a01);

  std::string a02 =
      "Sorted Species Array\n"
      "This array sorts species by Species Code and provides a link to the main Species array.\n"
      "Used for quickly finding a species from its species code.  Note that some codes link to "
      "more than one species, so when display the name for a code, Vegmatch displays the first "
      "species found with that code\n"
      "nSortedSpeciesIndex \tnSpeciesCode \tnSpeciesIndex\n"
      "1\t0\t1\n2\t0\t2\n3\t12\t3\n4\t12\t5\n5\t30\t4\n6\t40\t6\n";
  for (int j = 7; j <= 4000; ++j) a02 += std::to_string(j) + "\t0\t0\n";
  EXPECT_EQ(f.dir.Read("A02-arrSortedSpecies.txt"), a02);

  std::string a06 =
      "Species Data Array\n"
      "This array is the index to the NVC Table, which lists all NVC units associated with a given "
      "species index.  In fact the association is by species code, so where a code has more than "
      "one species, the table entries are duplicated for each species\n"
      "This is one of the primary tables used by Vegmatch when carrying out calculations.  There is "
      "an alternative index, looking up entries by species code, where there is no duplication\n"
      "nSpeciesIndex \tnStartIndex \tnEndIndex\n"
      "1\t0\t0\n2\t0\t0\n3\t1\t2\n4\t3\t3\n5\t1\t2\n6\t4\t0\n";
  for (int i = 7; i <= 4000; ++i) a06 += std::to_string(i) + "\t0\t0\n";
  EXPECT_EQ(f.dir.Read("A06-arrSpeciesBySpeciesIndex.txt"), a06);

  std::string a07 =
      "Species Code Data Array\n"
      "This is the alternative way of looking up NVC units for species, this time organised by "
      "species code rather than species index.  If there are no entries in the table associated "
      "with a given species code, both entries are zero\n"
      "This is the primary index that Vegmatch uses for its calculations\n"
      "nSpeciesCode \tnStartIndex \tnEndIndex\n";
  for (int c = 1; c <= 5021; ++c) {
    const char* range = c == 12 ? "1\t2" : c == 30 ? "3\t3" : c == 40 ? "4\t0" : "0\t0";
    a07 += std::to_string(c) + "\t" + range + "\n";
  }
  EXPECT_EQ(f.dir.Read("A07-arrSpeciesBySpeciesCode.txt"), a07);
  EXPECT_EQ(f.Err(), kCode99Note);
}

TEST_F(DumpedSet, UnitAndJoinTableFiles) {
  ASSERT_TRUE(Dump());
  std::string a03 =
      "NVC Data Array\n"
      "This is the NVC data index, which holds details about every NVC Unit recognised by "
      "Vegmatch, and also indicates the list of species in the species table associated with each "
      "unit.  Woodland Communities are recognised as starting with W or O.\n"
      "The first part of the table is used throughout Vegmatch to look up names associated with "
      "each unit. The species lookup is used in the 2018 addition to Vegmatch for matching "
      "analysis in top communities\n"
      "nNVCIndex \tszNVCType \tszNVCCommonName \tszNVCSubName \tszEunisCode \tszEunisName "
      "\tnSpeciesTableStartIndex \tnSpeciesTableEndIndex\n"
      "1\tW8\tAsh wood\tPrimula\tG1.A\tMixed wood\t1\t2\n"
      "2\tMG5\tMeadow\t\tE2.2\tHay meadow\t3\t4\n"
      "3\tU4\tHeath\t\tE1\tDry grass\t0\t0\n";
  for (int n = 4; n <= 880; ++n) a03 += std::to_string(n) + "\t\t\t\t\t\t0\t0\n";
  EXPECT_EQ(f.dir.Read("A03-arrNVCData.txt"), a03);

  std::string a04 =
      "Species Join Table\n"
      "This table lists species codes and quant values associated with the NVC Units\n"
      "Lines associated with a given NVC Unit are looked up in the NVC Data Array and used for the "
      "2018 matching analysis only\n"
      "nSpeciesTableIndex \tnSpeciesCode \tnQuant\n"
      "1\t12\t45\n2\t30\t12\n3\t12\t3\n4\t99\t7\n";
  for (int l = 5; l <= 20000; ++l) a04 += std::to_string(l) + "\t0\t0\n";
  EXPECT_EQ(f.dir.Read("A04-arrTbNVCToSpeciesJoinTable.txt"), a04);

  std::string a08 =
      "NVC Join Table\n"
      "This table lists NVC units and quant values associated with the various species codes\n"
      "Lines associated with a given species code are looked up in the Species Code Data Array "
      "(A07) or the Species Data Array (A06) and used in all Vegmatch calculations\n"
      "nNVCTableIndex \tnNVCIndex \tnQuant\n"
      "1\t1\t45\n2\t2\t3\n3\t1\t12\n";
  for (int e = 4; e <= 20000; ++e) a08 += std::to_string(e) + "\t0\t0\n";
  EXPECT_EQ(f.dir.Read("A08-arrTbSpeciesToNVCJoinTable.txt"), a08);
}

TEST_F(DumpedSet, MergedFilesFollowTheRanges) {
  ASSERT_TRUE(Dump());
  std::string a05 = std::string(
      "Combined NVC Data Array and Species Table\n"
      "This table merges the NVC Data Array (A03) with the Species Table (A04) to show the full "
      "details stored in Vegmatch by NVC Unit\n") + kNameNote +
      "nNVCIndex \tszNVCType \tszNVCCommonName \tszNVCSubName \tszEunisCode \tszEunisName "
      "\tnSpeciesTableStartIndex \tnSpeciesTableEndIndex \tnSpeciesTableIndex \tnSpeciesCode "
      "\tszFullName \tnQuant\n"
      "1\tW8\tAsh wood\tPrimula\tG1.A\tMixed wood\t1\t2\t1\t12\tAbies cdia\t45\n"
      "1\tW8\tAsh wood\tPrimula\tG1.A\tMixed wood\t1\t2\t2\t30\tEfia ghia\t12\n"
      "2\tMG5\tMeadow\t\tE2.2\tHay meadow\t3\t4\t3\t12\tAbies cdia\t3\n"
      "2\tMG5\tMeadow\t\tE2.2\tHay meadow\t3\t4\t4\t99\t\t7\n"
      // A record whose range was never set shows line 0 once.
      "3\tU4\tHeath\t\tE1\tDry grass\t0\t0\t0\t0\t\t0\n";
  for (int n = 4; n <= 880; ++n) a05 += std::to_string(n) + "\t\t\t\t\t\t0\t0\t0\t0\t\t0\n";
  EXPECT_EQ(f.dir.Read("A05-arrNVCData-arrTbNVCToSpeciesJoinTable.txt"), a05);

  std::string a09 = std::string(
      "Combined Species Code Data Array and NVC Table\n"
      "This table merges the Species Code Data Array (A07) with the NVC Table (A08) to show the "
      "full details stored in Vegmatch by Species Code\n") + kNameNote +
      "nSpeciesCode \tszFullName \tnStartIndex \tnEndIndex \tnNVCTableIndex \tnNVCIndex "
      "\tszNVCType \tnQuant\n"
      "12\tAbies cdia\t1\t2\t1\t1\tW8\t45\n"
      "12\tAbies cdia\t1\t2\t2\t2\tMG5\t3\n"
      "30\tEfia ghia\t3\t3\t3\t1\tW8\t12\n";
  EXPECT_EQ(f.dir.Read("A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt"), a09);
}

TEST_F(DumpedSet, EmptyRangesGiveNoMergedRows) {
  // A unit whose range is empty but starts at a line gives no row; so does a
  // code whose start is 0 even when its end is not.
  f.ref().arrNVCData[3].nSpeciesTableStartIndex = 5;
  f.ref().arrSpeciesBySpeciesCode[30] = TableRange{0, 3};
  ASSERT_TRUE(Dump());
  std::string a05 = f.dir.Read("A05-arrNVCData-arrTbNVCToSpeciesJoinTable.txt");
  EXPECT_EQ(a05.find("\n3\tU4"), std::string::npos);
  EXPECT_NE(a05.find("\n4\t\t\t\t\t\t0\t0\t0\t0\t\t0\n"), std::string::npos);
  std::string a09 = f.dir.Read("A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt");
  EXPECT_EQ(a09.find("\n30\t"), std::string::npos);
  EXPECT_EQ(CountOf(a09, "\n"), 6);
}

TEST_F(DumpedSet, DumpRewritesEveryFileAndLeavesTheTablesAlone) {
  f.dir.Write("A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt", std::string(100000, '#'));
  auto before = NewRefData();
  *before = f.ref();
  ASSERT_TRUE(Dump());
  std::string first = f.dir.Read("A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt");
  EXPECT_EQ(first.find('#'), std::string::npos);
  EXPECT_EQ(CountOf(first, "\n"), 7);
  ASSERT_TRUE(Dump());
  EXPECT_EQ(f.dir.Read("A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt"), first);
  EXPECT_TRUE(SameTables(*before, f.ref()));
  EXPECT_EQ(f.Err(), kCode99Note);
}

TEST_F(DumpedSet, AFileThatCannotBeWrittenIsReportedAndTheRestAreWritten) {
  ASSERT_EQ(RunCommand("mkdir '" + f.dir.File("A03-arrNVCData.txt") + "'"), 0);
  bool fullDevice = ::access("/dev/full", W_OK) == 0;
  if (fullDevice) {
    ASSERT_EQ(::symlink("/dev/full", f.dir.File("A07-arrSpeciesBySpeciesCode.txt").c_str()), 0);
  }
  EXPECT_FALSE(Dump());
  EXPECT_EQ(CountOf(f.Err(), "A03-arrNVCData.txt"), 1);
  if (fullDevice) {
    EXPECT_EQ(CountOf(f.Err(), "A07-arrSpeciesBySpeciesCode.txt"), 1);
  }
  EXPECT_EQ(f.dir.Read("A04-arrTbNVCToSpeciesJoinTable.txt").substr(0, 19), "Species Join Table\n");
  EXPECT_TRUE(f.dir.Exists("A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt"));
  EXPECT_EQ(f.Out(), LoadMessages());
}

TEST(DumpNames, BlanksAreRemovedFromUnitCodesAndUnknownCodesHaveNoName) {
  RefFolder f;
  f.Dict("5 ab cd Abc\n");
  f.Defs(" O 1 \tx\ty\tz\tw\n");
  f.Data(" O 1 \t5\t9\n O 1 \t5021\t8\n");
  f.Load();
  ASSERT_TRUE(DumpReferenceTables(f.sc.con, f.ref()));
  std::string a05 = f.dir.Read("A05-arrNVCData-arrTbNVCToSpeciesJoinTable.txt");
  EXPECT_NE(a05.find("\n1\tO1\tx\ty\tz\tw\t1\t2\t1\t5\tAbc\t9\n1\tO1\tx\ty\tz\tw\t1\t2\t2\t5021\t\t8\n"),
            std::string::npos);
  EXPECT_NE(f.dir.Read("A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt")
                .find("\n5\tAbc\t1\t1\t1\t1\tO1\t9\n"),
            std::string::npos);
  EXPECT_NE(f.dir.Read("A03-arrNVCData.txt").find("\n1\tO1\tx\t"), std::string::npos);
}

}  // namespace
