// All fixed-capacity tables of the program and the run settings.
//
// Every table is a plain array indexed from 1; record 0 exists but never holds
// data, and 0 in an index field means "none". The whole state is allocated once
// at start-up (NewAppState) and zero-filled, so tests get a fresh state per case.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <memory>
#include <string>

// ---- capacities ------------------------------------------------------------
constexpr int kSpeciesCapacity = 4000;     // arrSpecies rows 1..4000
constexpr int kMaxSpeciesCode = 5021;      // codes indexed by arrSpeciesIndexByCode
constexpr int kNVCCapacity = 880;          // arrNVCData rows 1..880
constexpr int kTableLineCapacity = 20000;  // association lines 1..20000
constexpr int kSampleCapacity = 300;       // arrSample rows 1..300
constexpr int kTopFitsRecords = 900;       // arrTopFits records (rows 1..nFitsToOutput)
constexpr int kQuantCodes = 50;            // quant codes 1..50
constexpr int kFirstNewSpeciesCode = 9001; // codes of species typed during the run
constexpr int kMarkerStep = 10000;         // added to an entry code per "*" marker

// ---- reference tables -------------------------------------------------------
struct SpeciesEntry {
  int16_t nSpeciesCode;
  char szShortName[10];
  char szFullName[80];
};

struct SortedSpeciesEntry {
  int16_t nSpeciesCode;
  int16_t nSpeciesIndex;
};

struct NVCUnit {
  char szNVCType[7];
  char szNVCCommonName[25];
  char szNVCSubName[17];
  char szEunisCode[9];
  char szEunisName[26];
  int16_t nSpeciesTableStartIndex;
  int16_t nSpeciesTableEndIndex;
};

struct SpeciesTableLine {
  int16_t nSpeciesCode;
  int16_t nQuant;  // 1..50; any other value marks a line that takes no part
};

struct NVCTableLine {
  int16_t nNVCIndex;
  int16_t nQuant;
};

struct TableRange {
  int16_t nStartIndex;
  int16_t nEndIndex;  // 0: empty range
};

struct RefData {
  SpeciesEntry arrSpecies[kSpeciesCapacity + 1];
  SortedSpeciesEntry arrSortedSpecies[kSpeciesCapacity + 1];
  int32_t arrSpeciesIndexByCode[kMaxSpeciesCode + 1];
  NVCUnit arrNVCData[kNVCCapacity + 1];
  SpeciesTableLine arrTbNVCToSpeciesJoinTable[kTableLineCapacity + 1];
  NVCTableLine arrTbSpeciesToNVCJoinTable[kTableLineCapacity + 1];
  TableRange arrSpeciesBySpeciesIndex[kSpeciesCapacity + 1];
  TableRange arrSpeciesBySpeciesCode[kMaxSpeciesCode + 1];
  int16_t nSpeciesCount;       // last dictionary row (2 + lines read)
  int16_t nNVCCount;           // units read
  int16_t nSpeciesTableCount;  // association lines read
};

// ---- scoring tables ---------------------------------------------------------
struct QuantEntry {
  int16_t nConstancyClass;
  double dCoverWeightPow;
  double dCoverWeight;
  double dWoodlandFactor;
};

struct NVCTotals {
  double dSumFreqSq;
  double dMeanFreq;
  double dMeanFreqCover;
  double dCoverExpectation;
  int16_t nSpeciesInClass[6];  // 1..5
};

struct NVCFit {
  double dGoF1;
  double dGoF2;
  double dGoF3;
  double dGoF4;
  double dMeanGoF;
  int16_t nSampleFreqByClass[6];  // 1..5
};

struct TopFit {
  int16_t nNVCIndex;
  double dMeanGoF;
};

struct ScoringState {
  int16_t nDominPercent[11];  // 1..10
  double dClassFreq[6];       // 1..5
  double dCoverPow[101];      // 1..100
  QuantEntry arrQuantTable[kQuantCodes + 1];
  NVCTotals arrNVCTotals[kNVCCapacity + 1];
  NVCFit arrNVCFit[kNVCCapacity + 1];
  TopFit arrTopFits[kTopFitsRecords];
};

// ---- the sample -------------------------------------------------------------
struct SampleEntry {
  int16_t nSpeciesCode;   // entering: code + 10000 per marker; completed: plain code
  int16_t nSpeciesIndex;  // row of arrSpecies
  int16_t nCover;         // entering: tenths of the typed scale value; completed: percent
  int16_t nFreq;          // 1 for cover data
};

struct SampleState {
  SampleEntry arrSample[kSampleCapacity + 1];
  int16_t nSampleEntries;
  int16_t nMaxFreq;          // 0: cover data; 1..100: frequency data
  char szSampleName[32];     // at most 30 characters
  int16_t nSpeciesEntries;   // rows of arrSpecies in use, new names included
  int16_t nNextNewSpeciesCode;  // last code given to a new species (9000 at start)
};

// ---- run settings -------------------------------------------------------------
struct RunSettings {
  int16_t nCoverScale;         // 1 percent, 2 Braun-Blanquet, 3 Domin
  int16_t nAnalysisType;       // 1..5
  int16_t nSpeciesGroupLimit;  // 10000, 4000 or 3000
  int16_t nFitsToOutput;       // 1..99
  int16_t nOutputFormat;       // 0 CSV, 1 tabulated text
  int16_t nInputSource;        // 0 keyboard, 1 data file
  std::FILE* fpResults;
  std::FILE* fpDataFile;
  std::FILE* fpRecordFile;
  int32_t nSampleCounter;
};

// Everything the program holds for one run.
struct AppState {
  RefData ref;
  ScoringState scoring;
  SampleState sample;
  RunSettings settings;
};

// Allocates a zero-filled state. Called once at start-up (and once per test case).
std::unique_ptr<AppState> NewAppState();

// Closes every file the settings hold open; reports a failed close on the error stream.
struct Console;
void CloseRunFiles(Console& con, RunSettings& rs);

// ---- console --------------------------------------------------------------------
// All console traffic goes through these streams, and every file is opened in `dir`
// (empty: the working directory), so whole dialogues can run in-process.
struct Console {
  std::istream& in;
  std::ostream& out;  // the specified texts only
  std::ostream& err;  // diagnostics (skipped lines, capacity warnings, I/O failures)
  std::string dir;

  Console(std::istream& i, std::ostream& o, std::ostream& e, std::string d = std::string())
      : in(i), out(o), err(e), dir(std::move(d)) {}
};
