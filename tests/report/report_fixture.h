// A small hand-made reference set, a completed sample and a results file in a
// temporary folder, shared by the report tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/app.h"
#include "support/testkit.h"

namespace reporttest {

inline void SetSpecies(RefData& ref, int row, int code, const char* shortName) {
  ref.arrSpecies[row].nSpeciesCode = static_cast<int16_t>(code);
  std::snprintf(ref.arrSpecies[row].szShortName, sizeof ref.arrSpecies[row].szShortName, "%s",
                shortName);
}

inline void SetUnit(RefData& ref, int row, const char* type, const char* common, const char* sub,
                    const char* eunisCode, const char* eunisName, int start, int end) {
  NVCUnit& u = ref.arrNVCData[row];
  std::snprintf(u.szNVCType, sizeof u.szNVCType, "%s", type);
  std::snprintf(u.szNVCCommonName, sizeof u.szNVCCommonName, "%s", common);
  std::snprintf(u.szNVCSubName, sizeof u.szNVCSubName, "%s", sub);
  std::snprintf(u.szEunisCode, sizeof u.szEunisCode, "%s", eunisCode);
  std::snprintf(u.szEunisName, sizeof u.szEunisName, "%s", eunisName);
  u.nSpeciesTableStartIndex = static_cast<int16_t>(start);
  u.nSpeciesTableEndIndex = static_cast<int16_t>(end);
}

inline void SetLine(RefData& ref, int row, int code, int quant) {
  ref.arrTbNVCToSpeciesJoinTable[row].nSpeciesCode = static_cast<int16_t>(code);
  ref.arrTbNVCToSpeciesJoinTable[row].nQuant = static_cast<int16_t>(quant);
}

inline void SetEntry(SampleState& s, int row, int code, int index) {
  s.arrSample[row].nSpeciesCode = static_cast<int16_t>(code);
  s.arrSample[row].nSpeciesIndex = static_cast<int16_t>(index);
  s.arrSample[row].nCover = 10;
  s.arrSample[row].nFreq = 1;
}

// Fits of one community; a reached community has a species in some class.
inline void SetFit(ScoringState& sc, int unit, double mean, double g1, double g2, double g3,
                   double g4, bool reached = true) {
  NVCFit& f = sc.arrNVCFit[unit];
  f.dMeanGoF = mean;
  f.dGoF1 = g1;
  f.dGoF2 = g2;
  f.dGoF3 = g3;
  f.dGoF4 = g4;
  for (int c = 1; c <= 5; ++c) f.nSampleFreqByClass[c] = 0;
  if (reached) f.nSampleFreqByClass[3] = 1;
}

// The dictionary holds two names for code 10 and two for code 20; code 40 of
// unit 1 is in no dictionary entry; lines 4 and 6 carry bad quants.
//
//   unit 1 "H12"    lines 1..4: 20 (q45), 10 (q12), 40 (q5), 30 (q99, bad)
//   unit 2 "M 15"   lines 5..7: 30 (q33), 10 (q0, bad), 10 (q14)
//   unit 3 "U2"     no lines
//
// The sample "Moor 1": code 20 typed as "Ling heat", the new species 9001, an
// entry with a negative code (takes no part), code 30.
class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    st = NewAppState();
    RefData& ref = st->ref;
    SetSpecies(ref, 1, 0, "NEW NAME ");
    SetSpecies(ref, 2, 0, "DELETE   ");
    SetSpecies(ref, 3, 10, "Agro capi");
    SetSpecies(ref, 4, 20, "Call vulg");
    SetSpecies(ref, 5, 30, "Desc flex");
    SetSpecies(ref, 6, 10, "Agro tenu");
    SetSpecies(ref, 7, 20, "Ling heat");
    SetSpecies(ref, 8, 9001, "Newx herb");  // typed during the run, not in the sorted index
    const int16_t sorted[][2] = {{0, 1}, {0, 2}, {10, 3}, {10, 6}, {20, 4}, {20, 7}, {30, 5}};
    for (int i = 0; i < 7; ++i) {
      ref.arrSortedSpecies[i + 1].nSpeciesCode = sorted[i][0];
      ref.arrSortedSpecies[i + 1].nSpeciesIndex = sorted[i][1];
    }
    // The code index names the first dictionary entry of each code.
    ref.arrSpeciesIndexByCode[10] = 3;
    ref.arrSpeciesIndexByCode[20] = 4;
    ref.arrSpeciesIndexByCode[30] = 5;
    ref.nSpeciesCount = 7;
    ref.nSpeciesEntries = 8;
    ref.nNextNewSpeciesCode = 9001;

    SetUnit(ref, 1, "H12", "Calluna heath   ", "Typical  form", "F4.21", "Dry heaths", 1, 4);
    SetUnit(ref, 2, "M 15", " Wet heath", "    ", "F4.1 1", "Northern wet heath bogsXY", 5, 7);
    SetUnit(ref, 3, "U2", "Acid grassland", "", "E1.7", "Dry acid grassland", 8, 0);
    ref.nNVCCount = 3;
    SetLine(ref, 1, 20, 45);
    SetLine(ref, 2, 10, 12);
    SetLine(ref, 3, 40, 5);
    SetLine(ref, 4, 30, 99);
    SetLine(ref, 5, 30, 33);
    SetLine(ref, 6, 10, 0);
    SetLine(ref, 7, 10, 14);
    ref.nSpeciesTableCount = 7;

    SampleState& s = st->sample;
    std::snprintf(s.szSampleName, sizeof s.szSampleName, "%s", "Moor 1");
    SetEntry(s, 1, 20, 7);
    SetEntry(s, 2, 9001, 8);
    SetEntry(s, 3, -1, 3);
    SetEntry(s, 4, 30, 5);
    s.nSampleEntries = 4;

    ScoringState& sc = st->scoring;
    SetFit(sc, 1, 0.799, 0.57, 1.0, 0.25, 0.3333);
    SetFit(sc, 2, 0.4999, 0.5, 0.6, 0.0, 0.1);
    // Stale values of an earlier sample in a community this sample does not reach.
    SetFit(sc, 3, 0.00005, 0.9, 0.9, 0.9, 0.9, false);
    for (int r = 1; r <= 3; ++r) {
      sc.arrTopFits[r].nNVCIndex = static_cast<int16_t>(r);
      sc.arrTopFits[r].dMeanGoF = sc.arrNVCFit[r].dMeanGoF;
    }

    RunSettings& rs = st->settings;
    rs.nCoverScale = 1;
    rs.nAnalysisType = 1;
    rs.nSpeciesGroupLimit = 10000;
    rs.nFitsToOutput = 3;
    rs.nOutputFormat = 0;
    rs.nInputSource = 1;
    rs.fpResults = File(std::fopen(dir.File("TABLOUT.TXT").c_str(), "w+"));
    ASSERT_TRUE(rs.fpResults);
  }

  // The report of the fixture's state through a scripted console.
  int16_t Report(ScriptedConsole& console) {
    CheckReferenceTables(st->ref);  // what a test changed must still be loader-made
    return ReportFits(console.con, st->ref, st->sample, st->scoring, st->settings);
  }

  // Everything written to the results file so far.
  std::string Results() {
    std::fflush(st->settings.fpResults.get());
    return dir.Read("TABLOUT.TXT");
  }

  TempDir dir;
  std::unique_ptr<AppState> st;
};

}  // namespace reporttest
