// Damaged reference files: a NUL byte, lone carriage returns, an empty file, a
// byte-order mark, numbers that are not whole or not within their range. Each
// ends either in the right tables or with a message, never in wrong tables said
// by nothing.
#include <gtest/gtest.h>

#include <string>

#include "refdata_fixture.h"

namespace {

const char kDict[] = "12 ab cd Ab cd\n30 ef gh Ef gh\n";
const char kDefs[] = "W8\tAsh\t\tG1\tWood\nMG5\tMeadow\t\tE2\tGrass\n";
const char kData[] = "W8\t12\t45\nW8\t30\t12\nMG5\t12\t3\n";
const std::string kBom = "\xEF\xBB\xBF";

std::string WithNul(const std::string& before, const std::string& after) {
  return before + std::string(1, '\0') + after;
}

// What was loaded: the dictionary codes with their full names, the units with
// their line ranges, and the regrouped lines of every code that has any.
std::string Summary(const RefData& ref) {
  std::string s = "names";
  for (int i = 3; i <= ref.nSpeciesCount; ++i) {
    s += " " + std::to_string(ref.arrSpecies[i].nSpeciesCode) + "=" + ref.arrSpecies[i].szFullName;
  }
  s += "; units";
  for (int m = 1; m <= ref.nNVCCount; ++m) {
    s += std::string(" ") + ref.arrNVCData[m].szNVCType + "/" + ref.arrNVCData[m].szEunisName + " " +
         UnitRange(ref.arrNVCData[m]);
  }
  s += "; joined";
  for (int c = 1; c <= LastRow(ref.arrSpeciesBySpeciesCode); ++c) {
    const TableRange& r = ref.arrSpeciesBySpeciesCode[c];
    if (r.nEndIndex == 0) continue;
    s += " " + std::to_string(c) + ":";
    for (int t = r.nStartIndex; t <= r.nEndIndex; ++t) {
      const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[t];
      s += "(" + std::to_string(line.nNVCIndex) + "," + std::to_string(line.nQuant) + ")";
    }
  }
  return s;
}

const std::string kWholeSet =
    "names 12=Ab cd 30=Ef gh; units W8/Wood 1-2 MG5/Grass 3-3; joined 12:(1,45)(2,3) 30:(1,12)";

struct Case {
  const char* name;
  std::string dict;
  std::string defs;
  std::string data;
  bool loads;           // what LoadReferenceData returns
  std::string summary;  // what was loaded
  std::string err;      // everything said on the error stream
};

void Check(const Case& c) {
  SCOPED_TRACE(c.name);
  RefFolder f;
  f.Dict(c.dict);
  f.Defs(c.defs);
  f.Data(c.data);
  EXPECT_EQ(LoadReferenceData(f.sc.con, f.ref()), c.loads);
  EXPECT_EQ(Summary(f.ref()), c.summary);
  EXPECT_EQ(f.Err(), c.err);
  // The program's own texts are the same whatever the files hold.
  EXPECT_EQ(f.Out(), LoadMessages());
}

TEST(DamagedFiles, Dictionary) {
  const Case cases[] = {
      {"a NUL byte skips its line", WithNul("12 ab cd Ab", "cd\n30 ef gh Ef gh\n"), kDefs,
       kData, true, "names 30=Ef gh; units W8/Wood 1-2 MG5/Grass 3-3; joined 30:(1,12)",
       "vegmatch: SPECDICT3.txt:1: the line holds a NUL byte; it is skipped\n"
       "vegmatch: VegmatchNVCData3.txt:1: species code 12 is not in the dictionary; its 2 lines "
       "take no part\n"
       "vegmatch: 1 malformed line of the reference files was skipped (see above)\n"},
      {"a line of a NUL byte alone", WithNul("12 ab cd Ab cd\n", "\n30 ef gh Ef gh\n"),
       kDefs, kData, true, kWholeSet,
       "vegmatch: SPECDICT3.txt:2: the line holds a NUL byte; it is skipped\n"
       "vegmatch: 1 malformed line of the reference files was skipped (see above)\n"},
      {"lone carriage returns end lines", "12 ab cd Ab cd\r30 ef gh Ef gh\r", kDefs, kData, true,
       kWholeSet, ""},
      {"an empty file", "", kDefs, kData, false,
       "names; units W8/Wood 1-2 MG5/Grass 3-3; joined",
       "vegmatch: SPECDICT3.txt: no species name was read\n" + std::string(kNothingToScore)},
      {"a byte-order mark", kBom + kDict, kDefs, kData, true, kWholeSet, ""},
      // Dictionary codes are read as before: at most 4 characters, and what runs on is said.
      {"a code that is not a whole number", "1e308 ab cd Ab cd\n30 ef gh Ef gh\n", kDefs, kData,
       true, "names 1=cd Ab cd 30=Ef gh; units W8/Wood 1-2 MG5/Grass 3-3; joined 30:(1,12)",
       "vegmatch: SPECDICT3.txt:1: the species code runs into the next field\n"
       "vegmatch: VegmatchNVCData3.txt:1: species code 12 is not in the dictionary; its 2 lines "
       "take no part\n"},
  };
  for (const Case& c : cases) Check(c);
}

TEST(DamagedFiles, Definitions) {
  const Case cases[] = {
      {"a NUL byte skips its line", kDict,
       WithNul("W8\tAsh", "\t\tG1\tWood\nMG5\tMeadow\t\tE2\tGrass\n"), kData, true,
       "names 12=Ab cd 30=Ef gh; units MG5/Grass 3-3; joined 12:(1,3)",
       "vegmatch: VegmatchNVCDef3.txt:1: the line holds a NUL byte; it is skipped\n"
       "vegmatch: VegmatchNVCData3.txt:1: community W8 is not defined; its lines take no part\n"
       "vegmatch: 1 malformed line of the reference files was skipped (see above)\n"},
      {"lone carriage returns end lines", kDict, "W8\tAsh\t\tG1\tWood\rMG5\tMeadow\t\tE2\tGrass\r",
       kData, true, kWholeSet, ""},
      {"an empty file", kDict, "", kData, false, "names 12=Ab cd 30=Ef gh; units; joined",
       "vegmatch: VegmatchNVCDef3.txt: no unit was read\n"
       "vegmatch: VegmatchNVCData3.txt:1: community W8 is not defined; its lines take no part\n"
       "vegmatch: VegmatchNVCData3.txt:3: community MG5 is not defined; its lines take no part\n" +
           std::string(kNothingToScore)},
      {"a byte-order mark", kDict, kBom + kDefs, kData, true, kWholeSet, ""},
  };
  for (const Case& c : cases) Check(c);
}

TEST(DamagedFiles, Associations) {
  const Case cases[] = {
      {"a NUL byte skips its line", kDict, kDefs,
       WithNul("W8\t12\t4", "5\nW8\t30\t12\nMG5\t12\t3\n"), true,
       // The refused line starts no block.
       "names 12=Ab cd 30=Ef gh; units W8/Wood 2-2 MG5/Grass 3-3; joined 12:(2,3) 30:(1,12)",
       "vegmatch: VegmatchNVCData3.txt:1: the line holds a NUL byte; it is skipped\n"
       "vegmatch: 1 malformed line of the reference files was skipped (see above)\n"},
      {"lone carriage returns end lines", kDict, kDefs, "W8\t12\t45\rW8\t30\t12\rMG5\t12\t3", true,
       kWholeSet, ""},
      {"an empty file", kDict, kDefs, "", false,
       "names 12=Ab cd 30=Ef gh; units W8/Wood 0-0 MG5/Grass 0-0; joined",
       "vegmatch: VegmatchNVCData3.txt: no usable association line was read\n" +
           std::string(kNothingToScore)},
      {"a byte-order mark", kDict, kDefs, kBom + kData, true, kWholeSet, ""},
      {"numbers that are not whole or not within their range", "1 aa bb Aa bb\n" + std::string(kDict),
       kDefs,
       "W8\t1e308\t45\nW8\t99999999999\t5\nW8\t-7\t5\nW8\t0\t5\nW8\t12\t4.5\nW8\t30\t12\n"
       "MG5\t12\t3\nMG5\t77\t3\nMG5\t1\t\t\nMG5\t000000000000000000001\t7\n",
       true,
       "names 1=Aa bb 12=Ab cd 30=Ef gh; units W8/Wood 1-6 MG5/Grass 7-10; joined 12:(2,3) "
       "30:(1,12)",
       "vegmatch: VegmatchNVCData3.txt:1: species code \"1e308\" is not a whole number; the line "
       "takes no part\n"
       "vegmatch: VegmatchNVCData3.txt:2: species code 99999999999 outside 1..9000; the line takes "
       "no part\n"
       "vegmatch: VegmatchNVCData3.txt:3: species code -7 outside 1..9000; the line takes no part\n"
       "vegmatch: VegmatchNVCData3.txt:4: species code 0 outside 1..9000; the line takes no part\n"
       "vegmatch: VegmatchNVCData3.txt:5: quant \"4.5\" is not a whole number; the line takes no "
       "part\n"
       "vegmatch: VegmatchNVCData3.txt:9: species or quant field missing; the line takes no part\n"
       "vegmatch: VegmatchNVCData3.txt:10: a field longer than 19 characters was cut\n"
       "vegmatch: VegmatchNVCData3.txt:10: species code longer than 19 characters; the line takes "
       "no part\n"
       "vegmatch: VegmatchNVCData3.txt:8: species code 77 is not in the dictionary; its 1 line "
       "takes no part\n"
       "vegmatch: 7 malformed lines of the reference files were skipped (see above)\n"},
  };
  for (const Case& c : cases) Check(c);
}

TEST(DamagedFiles, EveryUnknownCodeIsReportedOnceWithItsLines) {
  RefFolder f;
  f.Dict(kDict);
  f.Defs(kDefs);
  f.Data("W8\t12\t45\nW8\t77\t1\nW8\t78\t2\nMG5\t77\t3\nMG5\t77\t4\n");
  EXPECT_TRUE(LoadReferenceData(f.sc.con, f.ref()));
  EXPECT_EQ(f.Err(),
            "vegmatch: VegmatchNVCData3.txt:2: species code 77 is not in the dictionary; its 3 "
            "lines take no part\n"
            "vegmatch: VegmatchNVCData3.txt:3: species code 78 is not in the dictionary; its 1 "
            "line takes no part\n");
}

// A run on tables that join nothing stops with exit 1 before scoring, whichever
// file is empty; the demonstration files stand for the others.
TEST(DamagedFiles, ARunOnAnEmptyTableStopsBeforeScoring) {
  for (const char* emptied : {kDictName, kDefsName, kDataName}) {
    SCOPED_TRACE(emptied);
    TempDir dir;
    for (const char* name : {kDictName, kDefsName, kDataName, "SAMP.txt"}) {
      dir.CopyIn(ProjectDir() + "/data/" + name, name);
    }
    dir.Write(emptied, "");
    // Title pauses, default results file, CSV, data file input, SAMP.txt, all
    // species, percent cover, species and cover, 5 fits.
    dir.Write("console-input.txt", "\n\n\n\n0\n1\n\n0\n1\n1\n5\n\n");
    const int status = RunCommand("cd '" + dir.path() + "' && '" + VM_BINARY +
                                  "' <console-input.txt >out.txt 2>err.txt");
    EXPECT_EQ(status, 1);
    const std::string err = dir.Read("err.txt");
    EXPECT_NE(err.find(std::string(emptied) + ": no "), std::string::npos) << err;
    EXPECT_NE(err.find("no sample can be scored"), std::string::npos) << err;
    EXPECT_EQ(dir.Read("TABLOUT.TXT"), "");
  }
}

}  // namespace
