// Goodness of fit of the current sample against every community.
//
// Each sample entry leads through its dictionary row straight to the association
// lines of its species, so the work is proportional to those lines plus a few
// steps per community; nothing is allocated per sample.
//
// The fits four units at a time, and the walk of cover data four fields at a
// time, are in fit_x4.cpp.
#include <algorithm>
#include <cassert>
#include <cstddef>

#include "scoring/fitting.h"

namespace {

constexpr double kCoverStart = 0.001;  // start of K
constexpr int kMaxCover = 100;

MeanWeights WeightsFor(int nAnalysisType) {
  switch (nAnalysisType) {
    case kMixedAnalysis: return {0.25, 0.25, 0.25, 0.25, true};
    case kCompositionAnalysis: return {0.5, 0.5, 0.0, 0.0, true};
    case kCoverAnalysis: return {0.0, 0.0, 0.5, 0.5, true};
    case kIncompleteAnalysis: return {0.0, 1.0, 0.0, 0.0, false};
    default: return {0.0, 0.25, 0.5, 0.25, false};  // kTopFewAnalysis, and unknown types
  }
}

// One constancy class of the profile, classes taken from V down to I. The
// sample's share s is set against what a stand of the community holds there, r;
// the excess of the class itself (not what it received) is passed one class
// down. A class with nothing sampled and nothing carried adds exactly nothing
// (min(0, r) and max(0, -r) are 0 for r >= 0), so every class is worked through
// without a test.
inline void ProfileClass(double s, double r, double f, double& sum, double& carry, double& p) {
  sum += std::min(s + carry, r) * f;
  const double excess = s - r;
  carry = excess > 0.0 ? excess : 0.0;
  p += s * f;
}

// The sample's share of a class: relative frequencies for frequency data; for
// cover data J is 1, and dividing by 1 is exact, so it is left out.
template <bool kWholeJ>
inline double Share(int sampled, double j) {
  return kWholeJ ? static_cast<double>(sampled) : sampled / j;
}

template <bool kWholeJ, bool kAdjusted>
void FitCommunity(const NVCTotals& t, const SampleTotals& st, NVCFit& fit) {
  const int16_t* sampled = fit.nSampleFreqByClass;
  const double* expect = t.dClassExpect;  // r of each class
  double sum = 0.0;
  double carry = 0.0;
  double p = kTiny;
  ProfileClass(Share<kWholeJ>(sampled[5], st.j), expect[5], st.f[5], sum, carry, p);
  ProfileClass(Share<kWholeJ>(sampled[4], st.j), expect[4], st.f[4], sum, carry, p);
  ProfileClass(Share<kWholeJ>(sampled[3], st.j), expect[3], st.f[3], sum, carry, p);
  ProfileClass(Share<kWholeJ>(sampled[2], st.j), expect[2], st.f[2], sum, carry, p);
  ProfileClass(Share<kWholeJ>(sampled[1], st.j), expect[1], st.f[1], sum, carry, p);

  const double g1 = sum / t.dSumFreqSq;
  const double g2 = std::min(1.0, p / (st.presencePerJ * t.dMeanFreq));
  const double g3 = std::min(1.0, fit.dGoF3 / (st.j * t.dCoverExpectation));
  const double g4 = std::min(1.0, fit.dGoF4 / (st.sumCover * t.dMeanFreqCover));

  double m1 = g1;
  double m2 = g2;
  double m3 = g3;
  double m4 = g4;
  if (kAdjusted) {
    // G * (2 - G) = 1 - (1 - G)^2: each value is discounted by its partner, and
    // the partner is capped by the discounted value.
    m1 = g1 * g2 * (2.0 - g2);
    m3 = g3 * g4 * (2.0 - g4);
    m2 = std::min(m1, g2);
    m4 = std::min(m3, g4);
  }
  fit.dGoF1 = g1;
  fit.dGoF2 = g2;
  fit.dGoF3 = g3;
  fit.dGoF4 = g4;
  fit.dMeanGoF = m2 * st.wt.w2 + m1 * st.wt.w1 + m3 * st.wt.w3 + m4 * st.wt.w4;
  fit.dCzekanowski = 2.0 * fit.dCzekanowski / (st.species + t.dUnitValueSum);
  fit.dConsensus = fit.dMeanGoF * fit.dCzekanowski;
}

// Clears a unit's sums for the next sample.
inline void ClearSums(UnitSums& u, UnitFreq& q) {
  u = UnitSums{};
  q = UnitFreq{};
}

// True when some entry of the sample with a frequency reached the unit.
inline bool AnyFreq(const UnitFreq& q) {
  const int16_t* s = q.nFreq;
  return (s[1] | s[2] | s[3] | s[4] | s[5]) != 0;
}

// The fits of every unit, one at a time: units the sample reached are fitted,
// units whose fit holds values from an earlier sample are cleared, and the rest
// are passed over.
template <bool kWholeJ, bool kAdjusted>
void FitUnits(ScoringState& sc, const SampleTotals& st, int nUnits) {
  for (int g = 1; g <= nUnits; ++g) {
    UnitSums& u = sc.arrUnitSums[g];
    if (u.dValue == 0.0 && sc.arrFitLive[g] == 0) continue;
    UnitFreq& q = sc.arrUnitFreq[g];
    NVCFit& fit = sc.arrNVCFit[g];
    const bool reached = AnyFreq(q);
    if (!reached) {
      // Not reached, or reached only by species of frequency 0: no values.
      fit = NVCFit{};
    } else {
      for (int c = 1; c <= kConstancyClasses; ++c) fit.nSampleFreqByClass[c] = q.nFreq[c];
      fit.dGoF3 = u.dCover;
      fit.dGoF4 = u.dClassCover;
      fit.dCzekanowski = u.dValue;
      FitCommunity<kWholeJ, kAdjusted>(sc.arrNVCTotals[g], st, fit);
    }
    sc.arrFitLive[g] = reached ? 1 : 0;
    ClearSums(u, q);
  }
}

// The fits of every unit the sample reached or an earlier sample left values in.
// packed: the walk counted the classes in the sums (cover data, four at a time).
// Returns true when the places asked for (if any) were taken as well.
template <bool kWholeJ, bool kAdjusted>
bool FitAll(ScoringState& sc, const SampleTotals& st, int nUnits, bool packed, const PlacesAsked* places) {
#if VM_VECTOR_FIT
  if (sc.bVectorFit) {
    if constexpr (kWholeJ) {
      if (packed) {
        FitUnitsX4<kWholeJ, kAdjusted, true>(sc, st, nUnits, places);
        return places != nullptr;
      }
    }
    FitUnitsX4<kWholeJ, kAdjusted, false>(sc, st, nUnits, places);
    return places != nullptr;
  }
#endif
  assert(!packed);
  (void)packed;
  (void)places;
  FitUnits<kWholeJ, kAdjusted>(sc, st, nUnits);
  return false;
}

}  // namespace

// What a line adds to its unit's sums for frequency data: the sample's cover,
// capped at what the community expects, weighted, times the line's factors in
// turn; the class cover; the class value.
inline UnitSums WeightedTerm(const LineWalk& walk, const ScoredLine& line) {
  const LineWeights& lw = walk.weights[line.nWeightKey];
  const ClassSums& cs = walk.byClass[line.nClass];
  return UnitSums{cs.dClassCover, cs.dValue, CappedCoverTerm(walk.weight, walk.coverPercent, lw), 0.0};
}

// Adds an entry's lines first..last to the sums of the units they name.
template <bool kWeighted>
void WalkLines(const LineWalk& walk, int first, int last, int nUnits) {
  (void)nUnits;
  const ScoredLine* lines = walk.lines;
  UnitSums* sums = walk.sums;
  UnitFreq* freq = walk.freq;
  const int w = walk.w;
  for (int r = first; r <= last; ++r) {
    const ScoredLine& line = lines[r];
    const int g = line.nNVCIndex;
    assert(g >= 1 && g <= nUnits);
    const UnitSums add = kWeighted ? WeightedTerm(walk, line) : walk.coverTerms[line.nWeightKey];
    UnitSums& u = sums[g];
    u.dClassCover += add.dClassCover;
    u.dValue += add.dValue;
    u.dCover += add.dCover;
    int16_t& n = freq[g].nFreq[line.nClass];
    n = static_cast<int16_t>(n + w);
  }
}

namespace {

// Scores the sample; returns true when the places asked for were taken too.
bool Score(const RefData& ref, const SampleEntries& sample, int16_t nAnalysisType, ScoringState& sc,
           const PlacesAsked* places) {
  const int nUnits = ref.nNVCCount;
  assert(nUnits >= 0);
  const size_t rows = UnitRows(static_cast<size_t>(nUnits) + 1);
  assert(sc.arrNVCFit.size() >= rows && sc.arrNVCTotals.size() >= rows);
  assert(sc.arrUnitSums.size() >= rows && sc.arrUnitFreq.size() >= rows && sc.arrFitLive.size() >= rows);
  assert(sc.arrFitGroups.size() >= rows / 4 && sc.arrGroupTotals.size() >= rows / 4);
  assert(sc.arrScoredLines.size() == ref.arrTbSpeciesToNVCJoinTable.size());
  (void)rows;
  // After the totals are built every unit may hold values; after a sample, only
  // the units marked live.
  if (sc.bFitsDirty) {
    for (int g = 1; g <= nUnits; ++g) sc.arrNVCFit[g] = NVCFit{};
    std::fill(sc.arrFitLive.begin(), sc.arrFitLive.end(), 0);
    sc.bFitsDirty = false;
  }

  SampleTotals st;
  for (int c = 0; c <= 5; ++c) st.f[c] = sc.dClassFreq[c];
  st.wt = WeightsFor(nAnalysisType);
  double classValue[6];
  for (int c = 0; c <= 5; ++c) classValue[c] = c == 0 ? 0.0 : sc.dClassValue[c];

  // Frequency data weigh each species by its frequency; cover data by 1.
  const bool frequencyData = sample.nMaxFreq > 0;
  // Cover data fitted four at a time count their classes in the sums.
  const bool packed = VM_VECTOR_FIT && sc.bVectorFit && sc.bPackedCounts && !frequencyData;
  const int nEntries = sample.nSampleEntries;
  assert(nEntries >= 0 && nEntries <= kSampleCapacity);
  const ScoredLine* lines = sc.arrScoredLines.data();
  UnitSums* sums = sc.arrUnitSums.data();
  UnitFreq* freq = sc.arrUnitFreq.data();
  double sumPresence = kTiny;     // L
  double sumCover = kCoverStart;  // K
  int species = 0;
  for (int e = 1; e <= nEntries; ++e) {
    const SampleEntry& entry = sample.arrSample[e];
    if (entry.nSpeciesCode < 0) continue;
    ++species;
    const int w = frequencyData ? entry.nFreq : 1;
    const int cover = entry.nCover;
    assert(cover >= 0 && cover <= kMaxCover);
    const double a = cover > 0 ? sc.dCoverPow[cover] : kTiny;
    sumPresence += w;
    sumCover += a;

    // Species typed during the run have no dictionary row: they count in L and K only.
    const int idx = DictionaryRowOfCode(ref, entry.nSpeciesCode);
    if (idx == 0) continue;
    const TableRange& range = ref.arrSpeciesBySpeciesIndex[idx];
    if (range.nEndIndex == 0) continue;

    LineWalk walk;
    walk.lines = lines;
    walk.sums = sums;
    walk.freq = freq;
    walk.w = w;
    walk.weight = w;
    walk.coverPercent = cover;
    walk.weights = sc.arrLineWeights;
    walk.coverTerms = &sc.arrCoverTerms[static_cast<size_t>(cover * kWeightKeys)];
    if (frequencyData) {
      for (int c = 0; c <= 5; ++c) walk.byClass[c] = ClassSums{a * st.f[c], classValue[c]};
    }
    assert(range.nStartIndex >= 1 && range.nEndIndex < static_cast<int>(sc.arrScoredLines.size()));
    if (frequencyData) {
      WalkLines<true>(walk, range.nStartIndex, range.nEndIndex, nUnits);
    } else if (packed) {
#if VM_VECTOR_FIT
      WalkCoverLinesX4(walk, range.nStartIndex, range.nEndIndex);
#endif
    } else {
      WalkLines<false>(walk, range.nStartIndex, range.nEndIndex, nUnits);
    }
  }

  // The maximum frequency turns frequencies into relative frequencies.
  st.j = frequencyData ? static_cast<double>(sample.nMaxFreq) : 1.0;
  st.presencePerJ = sumPresence / st.j;
  st.sumCover = sumCover;
  st.species = species;
  if (frequencyData) {
    return st.wt.adjusted ? FitAll<false, true>(sc, st, nUnits, packed, places)
                          : FitAll<false, false>(sc, st, nUnits, packed, places);
  }
  return st.wt.adjusted ? FitAll<true, true>(sc, st, nUnits, packed, places)
                        : FitAll<true, false>(sc, st, nUnits, packed, places);
}

}  // namespace

void ScoreSample(const RefData& ref, const SampleEntries& sample, int16_t nAnalysisType,
                 ScoringState& sc) {
  Score(ref, sample, nAnalysisType, sc, nullptr);
}

void ScoreAndRank(const RefData& ref, const SampleEntries& sample, int16_t nAnalysisType,
                  int16_t nFitsToOutput, ScoringState& sc, RankBy by) {
  const int n = nFitsToOutput;
  assert(n >= 1 && n < kTopFitsRecords);
  const PlacesAsked places{sc.arrTopFits, n, by};
  // The places taken with the fits offered only the groups the sample reached;
  // every other unit's key is zero, and could have taken a place only if fewer
  // than n keys were above zero.
  if (Score(ref, sample, nAnalysisType, sc, &places) && sc.arrTopFits[n].dMeanGoF > 0.0) return;
  RankTopFits(ref, nFitsToOutput, sc, by);
}
