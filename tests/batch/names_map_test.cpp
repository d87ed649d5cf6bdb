// Names as a classification reads them: what it says of doubtful names, records
// of no taxon left out, and a names map written by `names` and read by `classify`.
#include <gtest/gtest.h>

#include <string>

#include "tables/csv.h"
#include "support/testkit.h"

namespace {

const std::string kBin = VM_BINARY;

int Vegmatch(const TempDir& dir, const std::string& args) {
  return RunCommand("cd " + dir.path() + " && " + kBin + " " + args);
}

// The survey as written in the field, and as it reads once its names are put right.
const char kWritten[] =
    "plot,species,cover\n"
    "A,Festuca rubar,30\n"
    "A,Festuca ovinna,20\n"
    "A,Poa,10\n"
    "A,Bare ground,15\n"
    "A,Bromopsis erecta,40\n"
    "B,Festuca rubar,10\n"
    "B,Viola riviniana/reichenbachiana,5\n"
    "B,Litter,5\n"
    "B,Quercus robur/petraea,5\n";
const char kCorrected[] =
    "plot,species,cover\n"
    "A,Festuca rubra,30\n"
    "A,Festuca ovina,20\n"
    "A,Poa pratensis,10\n"
    "A,Bromopsis erecta,40\n"
    "B,Festuca rubra,10\n"
    "B,Viola riviniana,5\n"
    "B,Quercus,5\n";

TEST(NamesMap, WrittenByNamesEditedAndReadByClassifyGivesTheCorrectedResults) {
  TempDir dir;
  dir.Write("survey.csv", kWritten);
  dir.Write("corrected.csv", kCorrected);
  ASSERT_EQ(Vegmatch(dir, "names --map-out map.csv survey.csv >names.csv 2>err.txt"), 1);
  EXPECT_EQ(dir.Read("map.csv"),
            "name,use,status,suggestions\n"
            "Festuca rubar,,unknown,\"Festuca rubra; Festuca ovina; Festuca\"\n"
            "Festuca ovinna,Festuca ovina,short-name,\"Festuca ovina; Festuca rubra; Festuca vivipara\"\n"
            "Poa,,genus-only,\n"
            "Bare ground,,not-a-taxon,\n"
            "Bromopsis erecta,Bromopsis erecta,exact,\n"
            "Viola riviniana/reichenbachiana,Viola riviniana,ambiguous,"
            "\"Viola riviniana; Viola reichenbachiana\"\n"
            "Litter,,not-a-taxon,\n"
            "Quercus robur/petraea,Quercus,aggregate,\n");
  // The user fills the names to use (a header and columns of their own come along).
  std::string edited = dir.Read("map.csv");
  edited.replace(edited.find("Festuca rubar,,"), 15, "Festuca rubar,Festuca rubra,");
  edited.replace(edited.find("Poa,,"), 5, "Poa,Poa pratensis L.,");
  dir.Write("map.csv", edited);
  // names reads the survey as classify will with the map.
  ASSERT_EQ(Vegmatch(dir, "names --names-map map.csv survey.csv >names.csv 2>/dev/null"), 0);
  EXPECT_NE(dir.Read("names.csv").find("\nPoa,1,normalised,744,Poa pratensis,\n"), std::string::npos)
      << dir.Read("names.csv");
  ASSERT_EQ(Vegmatch(dir, "classify -q --names-map map.csv survey.csv -o mapped.csv 2>err.txt"), 0);
  ASSERT_EQ(Vegmatch(dir, "classify -q corrected.csv -o corrected_results.csv 2>/dev/null"), 0);
  EXPECT_EQ(dir.Read("mapped.csv"), dir.Read("corrected_results.csv"));
  // Mapped names are not said again; what the map leaves as it was is.
  EXPECT_EQ(dir.Read("err.txt"),
            "vegmatch: survey.csv:5: \"Bare ground\" is no taxon; left out of scoring and the species counts\n"
            "vegmatch: survey.csv:9: \"Litter\" is no taxon; left out of scoring and the species counts\n");
}

TEST(NamesMap, ANameToUseThatReachesNoEntryIsRefusedWithItsLine) {
  TempDir dir;
  dir.Write("survey.csv", kWritten);
  dir.Write("results.csv", "earlier results\n");
  const struct {
    const char* map;
    const char* said;
  } cases[] = {
      {"name,use\nFestuca rubar,Festuca rubrra\n",
       "vegmatch: map.csv:2: the name to use for \"Festuca rubar\", \"Festuca rubrra\", is no full name of the "
       "dictionary (did you mean Festuca rubra, Festuca ovina or Festuca?)\n"},
      {"Festuca rubar;Festuca rubra\nPoa;Poa\n",  // no header, semicolons
       "vegmatch: map.csv:2: the name to use for \"Poa\", \"Poa\", is a genus the tables have no entry for (did "
       "you mean Poa alpina, Poa annua or Poa glauca?)\n"},
      {"name,use\nPoa,Poa annua\nPoa,Poa trivialis\n",
       "vegmatch: map.csv:3: \"Poa\" is mapped again, to another name (line 2 gives \"Poa annua\")\n"},
      {"name,use\nPoa,Quercus robur/petraea\nFestuca rubar,Fetsuca rubra\n",
       "vegmatch: map.csv:3: the name to use for \"Festuca rubar\", \"Fetsuca rubra\", is not in the dictionary "
       "(did you mean Festuca rubra?)\n"},
  };
  for (const auto& c : cases) {
    dir.Write("map.csv", c.map);
    EXPECT_EQ(Vegmatch(dir, "classify -q --names-map map.csv survey.csv -o results.csv 2>err.txt"), 1) << c.map;
    EXPECT_EQ(dir.Read("err.txt"), c.said) << c.map;
    EXPECT_EQ(dir.Read("results.csv"), "earlier results\n");
  }
  EXPECT_EQ(Vegmatch(dir, "classify -q --names-map absent.csv survey.csv -o results.csv 2>err.txt"), 1);
  EXPECT_EQ(dir.Read("err.txt"), "vegmatch: absent.csv: cannot read the names map: No such file or directory\n");
}

// Each doubtful name is said once with its lines and what was done; records of
// no taxon are left out of the species counts; names guessed fail --strict.
TEST(NamesMap, ClassifySaysWhatItDidWithEachDoubtfulName) {
  TempDir dir;
  dir.Write("survey.csv", kWritten);
  ASSERT_EQ(Vegmatch(dir, "classify -q survey.csv -o results.csv 2>err.txt"), 0);
  EXPECT_EQ(dir.Read("err.txt"),
            "vegmatch: survey.csv:2,7: unknown name \"Festuca rubar\" (did you mean Festuca rubra, Festuca ovina or "
            "Festuca?)\n"
            "vegmatch: survey.csv:10: \"Quercus robur/petraea\" scored as Quercus, the entry that covers every name "
            "it gives\n"
            "vegmatch: survey.csv:3: \"Festuca ovinna\" is no name of the dictionary; read by its short name as "
            "Festuca ovina\n"
            "vegmatch: survey.csv:8: \"Viola riviniana/reichenbachiana\" is ambiguous (Viola riviniana or Viola "
            "reichenbachiana); scored as Viola riviniana\n"
            "vegmatch: survey.csv:4: \"Poa\" names a genus alone, and the tables have no entry for it; scored as a "
            "species the tables do not hold\n"
            "vegmatch: survey.csv:5: \"Bare ground\" is no taxon; left out of scoring and the species counts\n"
            "vegmatch: survey.csv:9: \"Litter\" is no taxon; left out of scoring and the species counts\n");
  CsvTable t;
  std::string error;
  ASSERT_TRUE(ParseCsv(dir.Read("results.csv"), t, error)) << error;
  const size_t species = static_cast<size_t>(std::find(t.header.begin(), t.header.end(), "species") - t.header.begin());
  ASSERT_LT(species, t.header.size());
  ASSERT_FALSE(t.rows.empty());
  EXPECT_EQ(t.rows.front().fields[0], "A");
  EXPECT_EQ(t.rows.front().fields[species], "4");  // five records, bare ground left out
  EXPECT_EQ(t.rows.back().fields[species], "3");
  EXPECT_EQ(Vegmatch(dir, "classify -q --strict survey.csv -o results.csv 2>/dev/null"), 1);
  // A block line of no taxon is left out as a table's record is.
  dir.Write("plots.txt", "A\nBromopsis erecta 40\nBare ground 15\nFestuca ovina 20\n\n");
  ASSERT_EQ(Vegmatch(dir, "classify -q plots.txt -o blocks.csv 2>err.txt"), 0);
  ASSERT_TRUE(ParseCsv(dir.Read("blocks.csv"), t, error)) << error;
  EXPECT_EQ(t.rows.front().fields[species], "2");
  EXPECT_EQ(dir.Read("err.txt"),
            "vegmatch: plots.txt:3: \"Bare ground\" is no taxon; left out of scoring and the species counts\n");
  // Records of no taxon and covering entries alone do not fail a strict run.
  dir.Write("sure.csv", "plot,species,cover\nA,Bare ground,20\nA,Quercus robur/petraea,5\nA,Festuca ovina,30\n");
  EXPECT_EQ(Vegmatch(dir, "classify -q --strict sure.csv -o sure_results.csv 2>/dev/null"), 0);
}

}  // namespace
