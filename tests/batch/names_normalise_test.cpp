// Species names as surveys write them, resolved against the bundled dictionary.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>

#include "batch/batch.h"
#include "tables/csv.h"
#include "survey/blocks.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"
#include "support/testkit.h"

namespace {

// The bundled tables, loaded once for every case.
class BundledNames : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::string(ProjectDir() + "/data/nvc");
    ref_ = new RefData();
    ScriptedConsole sc("", *folder_);
    ASSERT_TRUE(LoadReferenceData(sc.con, *ref_));
    resolver_ = new NameResolver(*ref_, *folder_);
  }
  static void TearDownTestSuite() {
    delete resolver_;
    delete ref_;
    delete folder_;
  }
  // The short name of the dictionary entry a written name resolves to ("" when unknown).
  static std::string Entry(const std::string& written) {
    const NameMatch m = resolver_->Resolve(written);
    return m.row == 0 ? std::string() : ref_->arrSpecies[m.row].szShortName;
  }
  static std::string* folder_;
  static RefData* ref_;
  static NameResolver* resolver_;
};
std::string* BundledNames::folder_ = nullptr;
RefData* BundledNames::ref_ = nullptr;
NameResolver* BundledNames::resolver_ = nullptr;

TEST_F(BundledNames, WrittenNamesReachTheirEntries) {
  const struct {
    const char* written;
    const char* entry;
  } cases[] = {
      {"Quercus robur", "quer robu"},
      {"Quercus robur L.", "quer robu"},
      {"Calluna vulgaris (L.) Hull", "call vulg"},
      {"Erica tetralix L.", "eric tetr"},
      {"Ulex europaeus L.", "ulex euro"},
      {"Hyacinthoides non-scripta (L.) Chouard ex Rothm.", "hyac non-"},
      {"Deschampsia flexuosa (L.) Trin.", "desc flex"},  // an older name
      {"Avenella flexuosa (L.) Drejer", "aven flex"},
      {"QUERCUS ROBUR", "quer robu"},
      // Diacritics and ligatures, UTF-8 and Latin-1.
      {"G\xC3\xA9ranium robertianum", "gera robe"},
      {"G\xE9ranium robertianum", "gera robe"},
      {"\xC5\x92nanthe crocata", "oena croc"},
      {"Oenanthe crocata L.", "oena croc"},
      {"Mol\xC3\xADnia caerulea", "moli caer"},
      // Genus entries.
      {"Cladonia spp.", "clad sp"},
      {"Cladonia sp.", "clad sp"},
      {"Cladonia sp", "clad sp"},
      {"Cladonia", "clad sp"},
      // Qualifiers.
      {"Festuca rubra agg.", "fest rubr"},
      {"Festuca rubra s.l.", "fest rubr"},
      {"Festuca rubra sensu lato", "fest rubr"},
      {"Festuca rubra s.str.", "fest rubr"},
      {"Rubus fruticosus agg.", "rubu frut"},
      {"Sphagnum capillifolium agg.", "spha capi"},
      {"Carex cf. nigra", "care nigr"},
      {"Carex aff. nigra", "care nigr"},
      // Infraspecific parts.
      {"Festuca rubra subsp. commutata", "fest rubr"},
      {"Festuca rubra ssp. rubra", "fest rubr"},
      {"Ranunculus acris var. acris", "ranu acri"},
      {"Viola riviniana f. minor", "viol rivi"},
      {"Hedera helix L. subsp. helix", "hede heli"},
      // Layer marks, quotes and stray punctuation.
      {"Betula pendula (c)", "betu pend"},
      {"Betula pendula (s)", "betu pend"},
      {"Juncus effusus L. (g)", "junc effu"},
      {"'Quercus robur'", "quer robu"},
      {"\"Poa annua\"", "poa  annu"},
      {"Poa annua,", "poa  annu"},
      // Hybrids by their own name or their formula.
      {"Betula x aurata", "betu aura"},
      {"Betula \xC3\x97 aurata", "betu aura"},
      {"Quercus x rosacea", "quer rosa"},
      {"Quercus petraea x robur", "quer rosa"},
  };
  for (const auto& c : cases) EXPECT_EQ(Entry(c.written), c.entry) << c.written;
}

// How each written name is found, and the code it is scored as (0: none, a
// species of its own or left out).
TEST_F(BundledNames, WrittenNamesReachTheirStatusAndCode) {
  using S = NameStatus;
  const struct {
    const char* written;
    NameStatus status;
    int code;
  } cases[] = {
      {"Festuca ovina", S::kExact, 403},
      {"Festuca ovina L.", S::kNormalised, 403},
      {"Festuca ovinna", S::kShortName, 403},  // a misspelling the short name hides
      {"Festuca ovina agg.", S::kNormalised, 403},
      {"Deschampsia flexuosa", S::kOlderName, 100},
      {"Deschampsia flexuosa (L.) Trin.", S::kOlderName, 100},
      {"Asplenium trichomanes-ramosum", S::kOlderName, 88},  // an other name only synonyms.csv knows
      {"Festuca ovina/rubra (vegetative)", S::kOlderName, 402},
      {"Cetraria hiascens/delisei", S::kOlderName, 4012},
      {"Quercus robur/petraea", S::kAggregate, 805},
      {"Quercus robur / Q. petraea", S::kAggregate, 805},
      {"Quercus robur/Quercus petraea", S::kAggregate, 805},
      {"Taraxacum officinale agg.", S::kAggregate, 1000},
      {"Viola riviniana/reichenbachiana", S::kAmbiguous, 1103},
      {"Viola riviniana / V. reichenbachiana", S::kAmbiguous, 1103},
      {"Quercus", S::kExact, 805},
      {"Cladonia sp.", S::kNormalised, 4017},
      {"Poa", S::kGenusOnly, 0},
      {"Poa sp.", S::kGenusOnly, 0},
      {"Viola spp.", S::kGenusOnly, 0},
      {"Dryopteris", S::kGenusOnly, 0},
      {"Dactylorhiza", S::kGenusOnly, 0},
      {"Rhytidiadelphus", S::kGenusOnly, 0},
      {"Brachythecium", S::kGenusOnly, 0},
      {"Bare ground", S::kNotTaxon, 0},
      {"bare soil", S::kNotTaxon, 0},
      {"Bare Ground (%)", S::kNotTaxon, 0},
      {"LITTER", S::kNotTaxon, 0},
      {"Stones", S::kNotTaxon, 0},
      {"Rock", S::kNotTaxon, 0},
      {"Open water", S::kNotTaxon, 0},
      {"Dung", S::kNotTaxon, 0},
      {"Dead wood", S::kNotTaxon, 0},
      {"Qurecus robur", S::kUnknown, 0},
      {"Grass", S::kUnknown, 0},  // a word that is no genus of the dictionary
  };
  for (const auto& c : cases) {
    const NameMatch m = resolver_->Resolve(c.written);
    EXPECT_STREQ(NameStatusWord(m.status), NameStatusWord(c.status)) << c.written;
    EXPECT_EQ(m.row == 0 ? 0 : ref_->arrSpecies[m.row].nSpeciesCode, c.code) << c.written;
  }
  // The name shown for a code is its current name, however it was reached.
  EXPECT_EQ(resolver_->CurrentName(resolver_->Resolve("Deschampsia flexuosa").row), "Avenella flexuosa");
  EXPECT_EQ(resolver_->CurrentName(resolver_->Resolve("Asplenium trichomanes-ramosum").row), "Asplenium viride");
  // An ambiguous name keeps what it may be, the one scored first.
  const NameMatch& viola = resolver_->Resolve("Viola riviniana/reichenbachiana");
  ASSERT_EQ(viola.candidates.size(), 2u);
  EXPECT_EQ(resolver_->CurrentName(viola.candidates[1]), "Viola reichenbachiana");
  // A genus alone is scored under words of its own, never a species of the genus.
  EXPECT_EQ(resolver_->Resolve("Poa").lookupWords, (std::vector<std::string>{"poa", "sp"}));
}

TEST_F(BundledNames, EveryFullNameOfTheDictionaryIsKnownAsWritten) {
  // Hybrids among them are written "Quercus petraea x robur = Q. x rosacea".
  int hybrids = 0;
  for (int row = 3; row <= ref_->nSpeciesCount; ++row) {
    const std::string full = ref_->arrSpecies[row].szFullName;
    if (full.empty()) continue;
    if (full.find(" = ") != std::string::npos) ++hybrids;
    const NameMatch m = resolver_->Resolve(full);
    ASSERT_NE(m.status, NameStatus::kUnknown) << full;
    EXPECT_EQ(ref_->arrSpecies[m.row].nSpeciesCode, ref_->arrSpecies[row].nSpeciesCode) << full;
  }
  EXPECT_GT(hybrids, 5);
}

TEST_F(BundledNames, DifferentSpeciesAndMisspeltGeneraStayUnknown) {
  for (const char* written : {"Quercus rubra",             // another oak
                              "Quercus ilex L.",           // not in the tables
                              "Qurecus robur",             // misspelt genus
                              "Festuca rubar",             // misspelt epithet
                              "Quercus robur x ilex",      // a hybrid is no parent
                              "Betula pendula x pubescens x nana"}) {
    const NameMatch m = resolver_->Resolve(written);
    EXPECT_EQ(m.status, NameStatus::kUnknown) << written;
    // The words it is scored under never name a dictionary entry.
    ASSERT_GE(m.lookupWords.size(), 1u) << written;
  }
  // An unknown hybrid keeps words of its own, distinct from its first parent.
  const NameMatch hybrid = resolver_->Resolve("Quercus robur x ilex");
  ASSERT_EQ(hybrid.lookupWords.size(), 2u);
  EXPECT_NE(hybrid.lookupWords[1].substr(0, 4), "robu");
}

// The current name of a code is the first the loaded association file gives
// it, each line read alone: a line whose fields after the unit are empty names
// nothing and does not take its code from the line after it; a CR before the
// line end is no part of the name.
TEST_F(BundledNames, CurrentNamesAreReadLineByLine) {
  const int row = resolver_->Resolve("Achillea millefolium").row;
  const int other = resolver_->Resolve("Anemone nemorosa").row;
  ASSERT_NE(row, 0);
  ASSERT_NE(other, 0);
  const std::string code = std::to_string(ref_->arrSpecies[row].nSpeciesCode);
  const std::string otherCode = std::to_string(ref_->arrSpecies[other].nSpeciesCode);
  TempDir dir;
  for (const char* name : {"SPECDICT3.txt", "VegmatchNVCDef3.txt"}) dir.Write(name, ReadWholeFile(*folder_ + "/" + name));
  dir.Write("VegmatchNVCData3.txt", "W1\t \t\t\n" + code + "\t" + code + "\t45\tAchillea millefolium\r\n" +
                                        "W1\t" + otherCode + "\t45\tAnemone nemorosa agg.\tx\n" + "W2\t" + otherCode +
                                        "\t45\tAnemone nemorosa\n");
  ScriptedConsole sc("", dir.path());
  auto ref = std::make_unique<RefData>();
  ASSERT_TRUE(LoadReferenceData(sc.con, *ref));
  const NameResolver resolver(*ref, dir.path());
  EXPECT_EQ(resolver.Resolve("Achillea millefolium").status, NameStatus::kExact);
  EXPECT_EQ(resolver.Resolve("Anemone nemorosa").status, NameStatus::kOlderName);
}

TEST_F(BundledNames, StatusTellsHowTheNameWasFound) {
  EXPECT_EQ(resolver_->Resolve("Avenella flexuosa").status, NameStatus::kExact);
  EXPECT_EQ(resolver_->Resolve("Deschampsia flexuosa").status, NameStatus::kOlderName);
  EXPECT_EQ(resolver_->Resolve("G\xC3\xA9ranium robertianum").status, NameStatus::kNormalised);
  EXPECT_EQ(resolver_->Resolve("Cladonia spp.").status, NameStatus::kNormalised);
  EXPECT_EQ(resolver_->Resolve("Qurecus robur").status, NameStatus::kUnknown);
  // An older name shares the code of the current name.
  EXPECT_EQ(ref_->arrSpecies[resolver_->Resolve("Deschampsia flexuosa").row].nSpeciesCode,
            ref_->arrSpecies[resolver_->Resolve("Avenella flexuosa").row].nSpeciesCode);
}

TEST_F(BundledNames, SuggestionsNameCloseDictionaryNames) {
  const struct {
    const char* written;
    const char* first;
  } cases[] = {{"Festuca rubar", "Festuca rubra"},
               {"Caluna vulgaris", "Calluna vulgaris"},
               {"Hollcus lanatus", "Holcus lanatus"},
               {"Qurecus robur", "Quercus robur"},
               {"Descampsia flexuosa", "Deschampsia flexuosa (older name of Avenella flexuosa)"},
               {"Asplenium trichomanes-ramosun", "Asplenium trichomanes-ramosum (older name of Asplenium viride)"}};
  for (const auto& c : cases) {
    const std::vector<std::string> s = resolver_->Suggest(c.written);
    ASSERT_FALSE(s.empty()) << c.written;
    EXPECT_LE(s.size(), 3u);
    EXPECT_EQ(s[0], c.first) << c.written;
  }
}

TEST(NormaliseName, KeepsOnlyTheWordsALookupReads) {
  EXPECT_EQ(NormaliseName("Quercus robur L.").text, "quercus robur");
  EXPECT_EQ(NormaliseName("Carex viridula subsp. oedocarpa (Andersson) B.Schmid").text,
            "carex viridula");
  EXPECT_EQ(NormaliseName("Salix x reichardtii A.Kern.").text, "salix x reichardtii");
  EXPECT_EQ(NormaliseName("Bryum").text, "bryum sp");
  EXPECT_EQ(NormaliseName("  ").text, "");
  EXPECT_EQ(FoldToAscii("Stra\xC3\x9F" "e \xC3\x86sir \xE6"), "Strasse AEsir ae");
}

// Suggestions are only said: the name is still scored as a new species.
TEST(NamesCommand, EveryStatusAndTheExitStatus) {
  TempDir dir;
  dir.Write("survey.csv",
            "plot,species,cover\n"
            "A,Avenella flexuosa,5\n"
            "A,Deschampsia flexuosa,5\n"
            "A,G\xC3\xA9ranium robertianum,5\n"
            "B,Festuca rubar,5\n"
            "B,Avenella flexuosa,3\n");
  const std::string bin = VM_BINARY;
  ASSERT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " names survey.csv >out.csv 2>err.txt"), 1);
  EXPECT_EQ(dir.Read("out.csv"),
            "name,records,status,code,dictionary_name,suggestions\n"
            "Avenella flexuosa,2,exact,100,Avenella flexuosa,\n"
            "Deschampsia flexuosa,1,older-name,100,Avenella flexuosa,\n"
            "G\xC3\xA9ranium robertianum,1,normalised,440,Geranium robertianum,\n"
            "Festuca rubar,1,unknown,,,\"Festuca rubra; Festuca ovina; Festuca\"\n");
  dir.Write("clean.csv", "plot,species\nA,Avenella flexuosa\n");
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " names clean.csv >out.csv 2>err.txt"), 0);

  // classify says where the unknown name stands and what it may mean.
  ASSERT_EQ(RunCommand("cd " + dir.path() + " && " + bin +
                       " classify -q survey.csv -o res.csv 2>err.txt"),
            0);
  EXPECT_EQ(dir.Read("err.txt"),
            "vegmatch: survey.csv:5: unknown name \"Festuca rubar\" (did you mean Festuca rubra, "
            "Festuca ovina or Festuca?)\n");
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + bin +
                       " classify -q --strict survey.csv -o res.csv 2>err.txt"),
            1);
}

// A block line whose authority stands where the cover is read: said, and in the
// tidy results the name and cover are read as meant.
TEST(NamesCommand, AnAuthorityReadAsTheCoverIsSaid) {
  TempDir dir;
  dir.Write("a.txt", "Oak plot\nQuercus robur L. 60\nPteridium aquilinum (L.) Kuhn 20\n\n");
  dir.Write("b.txt", "Oak plot\nQuercus robur 60\nPteridium aquilinum 20\n\n");
  const std::string bin = VM_BINARY;
  ASSERT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " classify -q a.txt -o a.csv 2>err.txt"), 0);
  EXPECT_EQ(dir.Read("err.txt"),
            "vegmatch: a.txt:2: the word read as the cover, \"L.\", is not a number (an "
            "authority?)\n"
            "vegmatch: a.txt:3: the word read as the cover, \"(L.)\", is not a number (an "
            "authority?)\n");
  ASSERT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " classify -q b.txt -o b.csv 2>/dev/null"), 0);
  EXPECT_EQ(dir.Read("a.csv"), dir.Read("b.csv"));
  // --strict leaves such lines out and fails.
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " classify -q --strict a.txt -o s.csv 2>/dev/null"), 1);
}

}  // namespace

namespace {

// A match is handed out by reference into what the resolver keeps: it must hold
// while thousands of other names are resolved after it, and a resolver copied
// from it keeps matches of its own.
TEST_F(BundledNames, AMatchHoldsWhileOtherNamesAreResolved) {
  NameResolver resolver(*resolver_);
  const NameMatch& held = resolver.Resolve("Deschampsia flexuosa");
  const NameMatch copy = held;
  for (int i = 1; i <= 5000; ++i) resolver.Resolve("Unknownia species" + std::to_string(i));
  for (int row = 3; row <= ref_->nSpeciesCount; ++row) resolver.Resolve(ref_->arrSpecies[row].szFullName);
  EXPECT_EQ(held.row, copy.row);
  EXPECT_EQ(held.status, NameStatus::kOlderName);
  EXPECT_EQ(held.lookupWords, copy.lookupWords);
  EXPECT_EQ(held.normalised.text, copy.normalised.text);
  EXPECT_EQ(&resolver.Resolve("Deschampsia flexuosa"), &held);
  NameResolver other(resolver);
  EXPECT_NE(&other.Resolve("Deschampsia flexuosa"), &held);
  EXPECT_EQ(other.Resolve("Deschampsia flexuosa").row, copy.row);
}

// The written name of a block line is its words before the first number, one
// blank between them however many the line has; a bad line is quoted as the
// input holds it, without its CR.
TEST(BlockLines, NameWordsAreJoinedByOneBlank) {
  const std::string file =
      "Plot\nCalluna vulgaris 5\n  Calluna   vulgaris\t 5\nErica  tetralix L. 3\nPoa 2 x\nPoa annua 4\r\n"
      "Nardus\tstricta\r\n\n";
  TextStore store;
  std::vector<SampleInput> samples;
  std::vector<InputProblem> problems;
  AppendBlockInputs(file, BlockRules{}, 1, true, store, samples, problems);
  ASSERT_EQ(samples.size(), 1u);
  const std::vector<SampleRecord>& r = samples[0].records;
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[0].written, "Calluna vulgaris");
  EXPECT_EQ(r[1].written, "Calluna vulgaris");  // a tab parts words as a blank does
  EXPECT_EQ(r[2].written, "Erica tetralix L.");
  EXPECT_EQ(r[3].written, "Poa");
  EXPECT_EQ(r[4].written, "Poa annua");
  for (size_t k = 0; k < r.size(); ++k) EXPECT_EQ(r[k].where.line, static_cast<long>(k) + 2);
  EXPECT_EQ(r[1].dCover, 5.0);  // read as the typed run reads "Calluna vulgaris 5"
  EXPECT_EQ(std::string(r[1].key.c_str()), "call vulg");
  // "L." is the cover the typed run reads (as 0): said.
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].line, 4);
  EXPECT_EQ(r[2].dCover, 0.0);
  EXPECT_EQ(r[5].written, "Nardus stricta");
  ASSERT_FALSE(r[5].ok);  // no cover
  EXPECT_STREQ(r[5].quoted, "Nardus\tstricta");  // messages quote the line as written
  EXPECT_STREQ(r[5].shown, "Nardus stricta");     // as sample entry read it
}

}  // namespace
