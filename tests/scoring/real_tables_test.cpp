// Scoring on the real reference files: a sample made of exactly the species of
// one community fills every constancy class of that community to its share.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "refdata/refdata.h"
#include "scoring/scoring.h"
#include "support/testkit.h"

namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> TabFields(const std::string& line) {
  std::vector<std::string> fields;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

struct FileLine {
  int code;
  int quant;
};

TEST(RealTables, OwnSpeciesGiveEachCommunityItsFullConstancyProfile) {
  const std::string dir = ProjectDir() + "/data/nvc";

  // The dictionary's codes, the units in file order, and each unit's lines (of its
  // last block, which is the one the loader keeps), all read from the file text.
  std::set<int> dictionaryCodes;
  for (const std::string& line : LinesOf(ReadWholeFile(dir + "/SPECDICT3.txt"))) {
    if (!line.empty()) dictionaryCodes.insert(std::atoi(line.c_str()));
  }
  const std::vector<std::string> defs = LinesOf(ReadWholeFile(dir + "/VegmatchNVCDef3.txt"));
  const std::vector<std::string> data = LinesOf(ReadWholeFile(dir + "/VegmatchNVCData3.txt"));
  std::map<std::string, std::vector<FileLine>> linesOfUnit;
  std::string previous;
  for (const std::string& line : data) {
    const std::vector<std::string> f = TabFields(line);
    ASSERT_GE(f.size(), 3u) << line;
    if (f[0] != previous) linesOfUnit[f[0]].clear();
    previous = f[0];
    linesOfUnit[f[0]].push_back({std::atoi(f[1].c_str()), std::atoi(f[2].c_str())});
  }

  std::unique_ptr<AppState> st = NewAppState();
  ScriptedConsole console("", dir);
  LoadReferenceData(console.con, st->ref);
  ASSERT_EQ(st->ref.nNVCCount, static_cast<int>(defs.size()));
  ASSERT_EQ(st->ref.nSpeciesTableCount, static_cast<int>(data.size()));
  BuildQuantTables(st->scoring);
  BuildNVCTotals(st->ref, st->scoring);

  const double classFreq[6] = {0, 0.12, 0.25, 0.5, 0.75, 0.95};
  std::set<std::string> seenUnits;
  int checked = 0;
  for (int g = 1; g <= static_cast<int>(defs.size()); ++g) {
    const std::string unit = TabFields(defs[g - 1])[0];
    ASSERT_EQ(unit, st->ref.arrNVCData[g].szNVCType);
    // A unit code defined twice gets its lines at the first definition only.
    const bool first = seenUnits.insert(unit).second;

    double sumFreqSq = 0;
    std::set<int> species;
    if (first && linesOfUnit.count(unit)) {
      for (const FileLine& l : linesOfUnit[unit]) {
        // Lines of codes without a dictionary entry never reach a community.
        if (!dictionaryCodes.count(l.code) || l.quant < 1 || l.quant > 50) continue;
        const double f = classFreq[(l.quant - 1) / 10 + 1];
        sumFreqSq += f * f;
        species.insert(l.code);
      }
    }
    ASSERT_LE(species.size(), static_cast<size_t>(kSampleCapacity)) << unit;

    SampleState& s = st->sample;
    s.nMaxFreq = 0;
    s.nSampleEntries = static_cast<int16_t>(species.size());
    int e = 0;
    for (int code : species) s.arrSample[++e] = {static_cast<int16_t>(code), 0, 10, 1};
    ScoreSample(st->ref, s, 1, st->scoring);

    const NVCFit& fit = st->scoring.arrNVCFit[g];
    if (species.empty()) {
      EXPECT_EQ(fit.dMeanGoF, 0.0) << unit;
      continue;
    }
    EXPECT_NEAR(fit.dGoF1, sumFreqSq / (1e-6 + sumFreqSq), 1e-9) << unit;
    EXPECT_LT(fit.dGoF1, 1.0) << unit;
    ++checked;
  }
  EXPECT_GT(checked, 800);
}

// A stand drawn from a unit whose lines lie past line 32767 of the association
// file (constancy-I species included) fits that unit best: the whole tables are
// loaded, and 32-bit indices reach those lines.
TEST(RealTables, StandsOfUnitsLateInTheFileFitTheirOwnUnitFirst) {
  const std::string dir = ProjectDir() + "/data/nvc";
  std::unique_ptr<AppState> st = NewAppState();
  ScriptedConsole console("", dir);
  ASSERT_TRUE(LoadReferenceData(console.con, st->ref));
  BuildQuantTables(st->scoring);
  BuildNVCTotals(st->ref, st->scoring);
  const RefData& ref = st->ref;

  int tested = 0;
  for (const char* code : {"SM13c", "U18", "U2a"}) {
    int unit = 0;
    for (int g = 1; g <= ref.nNVCCount; ++g) {
      if (std::string(ref.arrNVCData[g].szNVCType) == code) unit = g;
    }
    ASSERT_NE(unit, 0) << code;
    const NVCUnit& u = ref.arrNVCData[unit];
    ASSERT_GT(u.nSpeciesTableEndIndex, 32767) << code;
    // Every species of the unit, at the cover its Domin class stands for.
    SampleState& s = st->sample;
    s = SampleState{};
    bool rare = false;
    for (int l = u.nSpeciesTableStartIndex; l <= u.nSpeciesTableEndIndex; ++l) {
      const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[l];
      if (DictionaryRowOfCode(ref, line.nSpeciesCode) == 0 || !IsValidQuant(line.nQuant)) continue;
      if (line.nQuant <= 10) rare = true;
      const int percent = st->scoring.nDominPercent[(line.nQuant - 1) % 10 + 1];
      s.arrSample[++s.nSampleEntries] = {line.nSpeciesCode, 0, static_cast<int16_t>(percent), 1};
    }
    EXPECT_TRUE(rare) << code << " has constancy-I species";
    ScoreSample(ref, s, 1, st->scoring);
    RankTopFits(ref, 5, st->scoring);
    EXPECT_STREQ(ref.arrNVCData[st->scoring.arrTopFits[1].nNVCIndex].szNVCType, code);
    ++tested;
  }
  EXPECT_EQ(tested, 3);
}

}  // namespace
