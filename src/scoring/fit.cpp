// Goodness of fit of the current sample against every community.
//
// Each sample entry leads through its dictionary row straight to the association
// lines of its species, so the work is proportional to those lines plus a few
// steps per community; nothing is allocated per sample.
#include <algorithm>
#include <cassert>

#include "scoring/scoring.h"

namespace {

constexpr double kCoverStart = 0.001;  // start of K
constexpr int kMaxCover = 100;

// Weights of GoF_1..GoF_4 in the mean, and whether the partners discount each other.
struct MeanWeights {
  double w1, w2, w3, w4;
  bool adjusted;
};

MeanWeights WeightsFor(int nAnalysisType) {
  switch (nAnalysisType) {
    case 1: return {0.25, 0.25, 0.25, 0.25, true};   // mixed composition and cover
    case 2: return {0.5, 0.5, 0.0, 0.0, true};       // species composition only
    case 3: return {0.0, 0.0, 0.5, 0.5, true};       // species cover only
    case 4: return {0.0, 1.0, 0.0, 0.0, false};      // incomplete species list
    default: return {0.0, 0.25, 0.5, 0.25, false};   // top few species by abundance
  }
}

// The per-sample quantities every community is measured with, with a copy of
// the class frequencies that the stores into the fit table cannot touch.
struct SampleTotals {
  double j;             // maximum frequency, 1 for cover data
  double presencePerJ;  // L / J
  double sumCover;      // K
  double f[6];          // class frequencies I..V
  double species;       // distinct species of the sample, new ones included
  MeanWeights wt;
};

// True when some entry of the sample reached the community.
bool Reached(const NVCFit& fit) {
  const int16_t* s = fit.nSampleFreqByClass;
  return (s[1] | s[2] | s[3] | s[4] | s[5]) != 0;
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

// The fits of the units the sample reached; their sums and marks are cleared
// for the next sample.
template <bool kWholeJ, bool kAdjusted>
void FitAll(ScoringState& sc, const SampleTotals& st) {
  for (int k = 0; k < sc.nTouched; ++k) {
    const int32_t g = sc.arrTouched[k];
    NVCFit& fit = sc.arrNVCFit[g];
    UnitSums& u = sc.arrUnitSums[g];
    for (int c = 1; c <= kConstancyClasses; ++c) {
      fit.nSampleFreqByClass[c] = u.nFreq[c];
    }
    if (!Reached(fit)) {
      // Reached only by species of frequency 0: no values.
      fit.dGoF1 = fit.dGoF2 = fit.dGoF3 = fit.dGoF4 = fit.dMeanGoF = 0.0;
      fit.dCzekanowski = fit.dConsensus = 0.0;
    } else {
      fit.dGoF3 = u.dCover;
      fit.dGoF4 = u.dClassCover;
      fit.dCzekanowski = u.dValue;
      FitCommunity<kWholeJ, kAdjusted>(sc.arrNVCTotals[g], st, fit);
    }
    u = UnitSums{};
    sc.arrReached[g] = 0;
  }
}

}  // namespace

void ScoreSample(const RefData& ref, const SampleEntries& sample, int16_t nAnalysisType,
                 ScoringState& sc) {
  const int nUnits = ref.nNVCCount;
  assert(static_cast<int>(sc.arrNVCFit.size()) > nUnits);
  assert(sc.arrScoredLines.size() == ref.arrTbSpeciesToNVCJoinTable.size());
  assert(static_cast<int>(sc.arrTouched.size()) > nUnits && sc.arrReached.size() == sc.arrTouched.size());
  // After the totals are built every unit may hold values; after a sample, only
  // the units it reached. Sums of an older sample count as zero.
  if (sc.bFitsDirty) {
    for (int g = 1; g <= nUnits; ++g) sc.arrNVCFit[g] = NVCFit{};
    sc.nTouched = 0;
    sc.bFitsDirty = false;
  }
  sc.arrPreviouslyTouched.swap(sc.arrTouched);
  sc.nPreviouslyTouched = sc.nTouched;
  sc.nTouched = 0;

  SampleTotals st;
  for (int c = 0; c <= 5; ++c) st.f[c] = sc.dClassFreq[c];
  st.wt = WeightsFor(nAnalysisType);
  double classValue[6];
  for (int c = 0; c <= 5; ++c) classValue[c] = c == 0 ? 0.0 : sc.dClassValue[c];

  // Frequency data weigh each species by its frequency; cover data by 1.
  const bool frequencyData = sample.nMaxFreq > 0;
  const int nEntries = sample.nSampleEntries;
  assert(nEntries >= 0 && nEntries <= kSampleCapacity);
  const ScoredLine* lines = sc.arrScoredLines.data();
  UnitSums* sums = sc.arrUnitSums.data();
  uint8_t* reached = sc.arrReached.data();
  int32_t* touched = sc.arrTouched.data();
  int nTouched = 0;
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

    const double weight = w;
    const double coverPercent = cover;
    double coverByClass[6];  // a * F, per constancy class
    for (int c = 0; c <= 5; ++c) coverByClass[c] = a * st.f[c];
    const int first = range.nStartIndex;
    const int last = range.nEndIndex;
    for (int r = first; r <= last; ++r) {
      const ScoredLine& line = lines[r];
      const int g = line.nNVCIndex;
      assert(g >= 1 && g <= nUnits);
      const int c = line.nClass;
      // A unit is listed at its first reach; written every time so that the
      // walk has no branch on it.
      touched[nTouched] = g;
      nTouched += reached[g] ^ 1;
      reached[g] = 1;
      UnitSums& u = sums[g];
      u.nFreq[c] = static_cast<int16_t>(u.nFreq[c] + w);
      // Cover agreement: the sample's cover, capped at what the community expects.
      u.dCover += weight * std::min(coverPercent, line.dCoverWeight) * line.dFactor1 * line.dFactor2;
      u.dClassCover += coverByClass[c];
      u.dValue += classValue[c];
    }
  }
  sc.nTouched = nTouched;

  // Units the previous sample reached and this one does not are cleared.
  for (int k = 0; k < sc.nPreviouslyTouched; ++k) {
    const int32_t g = sc.arrPreviouslyTouched[k];
    if (reached[g] == 0) sc.arrNVCFit[g] = NVCFit{};
  }

  // The maximum frequency turns frequencies into relative frequencies.
  st.j = frequencyData ? static_cast<double>(sample.nMaxFreq) : 1.0;
  st.presencePerJ = sumPresence / st.j;
  st.sumCover = sumCover;
  st.species = species;
  if (frequencyData) {
    if (st.wt.adjusted) {
      FitAll<false, true>(sc, st);
    } else {
      FitAll<false, false>(sc, st);
    }
  } else {
    if (st.wt.adjusted) {
      FitAll<true, true>(sc, st);
    } else {
      FitAll<true, false>(sc, st);
    }
  }
}
