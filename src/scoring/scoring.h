// Scoring: weight tables, community expectation totals, goodness of fit of a
// sample against every community, and the ranking of the best fits.
//
// The scoring passes read the reference tables as the loaders left them and the
// sample as completion left it; what they rely on is asserted, not clamped.
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <vector>

#include "common/common.h"
#include "refdata/refdata.h"

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
  double dClassExpect[kConstancyClasses + 1];  // 1..5: species in the class times F
  double dUnitValueSum;  // sum of constancy class / 5 over the unit's species
  int16_t nSpeciesInClass[kConstancyClasses + 1];  // 1..5
};

struct NVCFit {
  double dGoF1;
  double dGoF2;
  double dGoF3;
  double dGoF4;
  double dMeanGoF;
  // The second opinion: Czekanowski's coefficient of the sample's species against
  // the unit's floristic table (while scoring, the sum of the matched unit
  // values), and the consensus, mean fit times the coefficient.
  double dCzekanowski;
  double dConsensus;
  int16_t nSampleFreqByClass[kConstancyClasses + 1];  // 1..5
};

// A regrouped association line as scoring walks it: the unit, the constancy
// class, and the line's weight key (WeightKey), which names its weights.
struct ScoredLine {
  int32_t nNVCIndex;
  int16_t nClass;
  int16_t nWeightKey;
};

// The weights of a line: the cover weight A, and the factors B1, B2 that a
// capped cover is multiplied by in turn (F and F, or the woodland factor and 1),
// so the products round exactly as written out in full. They depend only on the
// line's quant and whether its unit is woodland.
struct LineWeights {
  double dCoverWeight;
  double dFactor1;
  double dFactor2;
};

// What a line adds to its unit's sum of capped covers (GoF_3's numerator): the
// entry's cover, capped at what the community expects, weighted, times the
// line's factors in turn. The walk and the cover terms made beforehand must
// round alike.
inline double CappedCoverTerm(double weight, double cover, const LineWeights& lw) {
  return weight * std::min(cover, lw.dCoverWeight) * lw.dFactor1 * lw.dFactor2;
}

constexpr int kWeightKeys = 2 * (kQuantCodes + 1);
inline int WeightKey(int nQuant, bool woodland) { return 2 * nQuant + (woodland ? 1 : 0); }

// What the current sample has put into one unit while its lines are walked.
// Every unit's sums are zero between samples: the walk adds to them without
// asking whether the unit was reached before, and the fits clear them. A unit
// was reached exactly when its dValue is not zero (every line adds a class
// value of at least 1/5).
struct alignas(32) UnitSums {
  double dClassCover;  // sum of cover power times class frequency (GoF_4's numerator)
  double dValue;       // sum of matched unit values (Czekanowski's numerator)
  double dCover;       // sum of capped covers (GoF_3's numerator)
  // Cover data walked four fields at a time (ScoringState::bPackedCounts): the
  // unit's count of lines per constancy class, kCountBits bits each, class I
  // lowest. Whole numbers below 2^50 add exactly. Zero otherwise.
  double dClassCounts;
};

// Bits of one class's count in UnitSums::dClassCounts.
constexpr int kCountBits = 10;
// What a line of constancy class c adds to dClassCounts: 2^(kCountBits (c - 1)).
inline double ClassCountUnit(int c) { return static_cast<double>(1LL << (kCountBits * (c - 1))); }

// The sample frequencies a unit received per constancy class, as the fit keeps
// them; slots 0, 6 and 7 stay zero so that the record copies whole.
struct alignas(16) UnitFreq {
  int16_t nFreq[8];
};

struct TopFit {
  int32_t nNVCIndex;
  double dMeanGoF;
};

// The totals the four-at-a-time fits read, for the group of units g0..g0+3
// (g0 a multiple of 4) side by side: [unit - g0]. Copied from arrNVCTotals.
struct alignas(32) GroupTotals {
  double dSumFreqSq[4];
  double dMeanFreq[4];
  double dMeanFreqCover[4];
  double dCoverExpectation[4];
  double dClassExpect[kConstancyClasses][4];  // class c at c - 1
  double dUnitValueSum[4];
};

// Unit tables hold whole groups of four rows, so that four units are read and
// written at a time without a short last group.
constexpr size_t UnitRows(size_t records) { return (records + 3) / 4 * 4; }

// True when this processor can fit four units at a time.
bool VectorFitAvailable();

struct ScoringState {
  int16_t nDominPercent[kDominClasses + 1];      // 1..10
  double dClassFreq[kConstancyClasses + 1];      // 1..5
  double dClassValue[kConstancyClasses + 1];     // 1..5: class / 5
  double dCoverPow[101];                         // 1..100
  QuantEntry arrQuantTable[kQuantCodes + 1];
  // One row per unit record of the reference tables (BuildNVCTotals sizes them).
  std::vector<NVCTotals> arrNVCTotals = std::vector<NVCTotals>(UnitRows(kNVCCapacity + 1));
  std::vector<NVCFit> arrNVCFit = std::vector<NVCFit>(UnitRows(kNVCCapacity + 1));
  std::vector<char> arrWoodland = std::vector<char>(kNVCCapacity + 1);  // scored as woodland
  LineWeights arrLineWeights[kWeightKeys];
  // What one line adds to its unit's sums for a species of cover data, for each
  // cover 0..100 and weight key, exactly as the walk would work it out:
  // [cover * kWeightKeys + key].
  std::vector<UnitSums> arrCoverTerms = std::vector<UnitSums>(101 * kWeightKeys);
  // Built with the totals: one scored line per regrouped association line.
  std::vector<ScoredLine> arrScoredLines;
  // Per unit: the current sample's sums (zero between samples), and whether
  // its fit holds values (1) or is all zero (0). The unit tables are sized to
  // whole groups of four units.
  std::vector<UnitSums> arrUnitSums = std::vector<UnitSums>(UnitRows(kNVCCapacity + 1));
  std::vector<UnitFreq> arrUnitFreq = std::vector<UnitFreq>(UnitRows(kNVCCapacity + 1));
  std::vector<uint8_t> arrFitLive = std::vector<uint8_t>(UnitRows(kNVCCapacity + 1));
  // The totals again, a group of four units to a row (BuildGroupTotals).
  std::vector<GroupTotals> arrGroupTotals = std::vector<GroupTotals>(UnitRows(kNVCCapacity + 1) / 4);
  // Scratch of the four-at-a-time fits: the first unit of each group to fit.
  std::vector<int32_t> arrFitGroups = std::vector<int32_t>(UnitRows(kNVCCapacity + 1) / 4);
  // Scratch of scoring and ranking at once: the keys of the groups fitted, four
  // to a group, in the order of arrFitGroups.
  std::vector<double> arrRankKeys = std::vector<double>(UnitRows(kNVCCapacity + 1));
  bool bFitsDirty;  // every fit may hold values: clear them all
  // Set by BuildNVCTotals when no unit can count more than 2^kCountBits - 1
  // lines of a class in one sample (a full sample times the most lines one
  // species has in a unit): cover data fitted four at a time are then counted
  // in UnitSums::dClassCounts instead of arrUnitFreq.
  bool bPackedCounts = false;
  // Fit four units at a time with the processor's vector instructions; the
  // values are the same bits either way. Set where the processor has them.
  bool bVectorFit = VectorFitAvailable();
  TopFit arrTopFits[kTopFitsRecords];
};

// The entries of a sample, as scoring reads them once entry has completed them:
// one row per species code, covers in percent 0..100, frequencies 0..nMaxFreq.
// Sample entry keeps the sample in this record (and more besides).
struct SampleEntry {
  int16_t nSpeciesCode;   // entering: code + 10000 per marker; completed: plain code
  int32_t nSpeciesIndex;  // row of arrSpecies
  int16_t nCover;         // entering: tenths of the typed scale value; completed: percent
  int16_t nFreq;          // 1 for cover data
};

struct SampleEntries {
  SampleEntry arrSample[kSampleCapacity + 1];
  int16_t nSampleEntries;
  int16_t nMaxFreq;  // 0: cover data; 1..kMaxFrequency: frequency data
};

// A community whose code begins with capital W or O is scored as woodland.
inline bool IsWoodland(const NVCUnit& unit) {
  return unit.szNVCType[0] == 'W' || unit.szNVCType[0] == 'O';
}

// The quant row of a regrouped association line; the loaders only regroup lines
// of real units with valid quants.
inline const QuantEntry& QuantOfLine(const NVCTableLine& line, int nUnits, const ScoringState& sc) {
  assert(line.nNVCIndex >= 1 && line.nNVCIndex <= nUnits && IsValidQuant(line.nQuant));
  (void)nUnits;
  return sc.arrQuantTable[line.nQuant];
}

void BuildQuantTables(ScoringState& sc);
void BuildNVCTotals(const RefData& ref, ScoringState& sc);
// The totals of four units in a row, units side by side.
GroupTotals GroupOfTotals(const NVCTotals* four);
// Copies the totals into arrGroupTotals, as BuildNVCTotals does at its end;
// whatever changes arrNVCTotals afterwards must call it again.
void BuildGroupTotals(ScoringState& sc);
void ScoreSample(const RefData& ref, const SampleEntries& sample, int16_t nAnalysisType,
                 ScoringState& sc);
// The best communities, best first, by the mean fit (the typed run's ranking), by
// the consensus, or by Czekanowski's coefficient; ties go to the lower unit index.
enum class RankBy { kFit, kConsensus, kCzekanowski };
// "fit", "consensus" or "czekanowski".
const char* RankingWord(RankBy by);
void RankTopFits(const RefData& ref, int16_t nFitsToOutput, ScoringState& sc,
                 RankBy by = RankBy::kFit);
// ScoreSample, then RankTopFits: the same fits and the same places. Where the
// fits are made four units at a time, the places are taken as the fits are
// made, and the fit table is read again only when fewer communities than places
// scored above zero.
void ScoreAndRank(const RefData& ref, const SampleEntries& sample, int16_t nAnalysisType,
                  int16_t nFitsToOutput, ScoringState& sc, RankBy by = RankBy::kFit);

// Below any key, so that the first communities offered always take a place.
constexpr double kEmptyPlace = -1e10;

// Empties places 1..n of a ranking.
inline void ClearPlaces(TopFit* top, int n) {
  for (int i = 1; i <= n; ++i) top[i] = TopFit{1, kEmptyPlace};
}

// Offers unit g with key m to the places 1..n, best first. Communities are
// offered in index order, and strict comparisons keep ties in that order: a
// later community with the same key goes after the earlier one, and one equal
// to the last place stays out.
inline void OfferPlace(TopFit* top, int n, int g, double m) {
  if (!(m > top[n].dMeanGoF)) return;
  int p = 1;
  while (!(top[p].dMeanGoF < m)) ++p;
  for (int i = n; i > p; --i) top[i] = top[i - 1];
  top[p].nNVCIndex = g;
  top[p].dMeanGoF = m;
}

// Offers units g..g+3 with keys m[0..3]: most groups of four hold no key above
// the last place, and one test passes them over.
inline void OfferFour(TopFit* top, int n, int g, const double* m) {
  const double last = top[n].dMeanGoF;
  if (!((m[0] > last) | (m[1] > last) | (m[2] > last) | (m[3] > last))) return;
  for (int k = 0; k < 4; ++k) OfferPlace(top, n, g + k, m[k]);
}
