// Goodness of fit of the current sample against every community.
//
// Each sample entry leads through its dictionary row straight to the association
// lines of its species, so the work is proportional to those lines plus a few
// steps per community; nothing is allocated per sample.
#include <algorithm>

#include "refdata/refdata.h"
#include "scoring/guards.h"
#include "scoring/scoring.h"

using scoring_guard::IsClass;
using scoring_guard::IsSpeciesRow;
using scoring_guard::IsUnit;
using scoring_guard::JoinLines;
using scoring_guard::UnitsInUse;

namespace {

constexpr double kTiny = 1e-6;         // start of L, and the weight of a zero cover
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

// The sample's share in each constancy class, against what a stand of the
// community holds there. The excess of a class (its own, not what it received)
// is passed one class down. Returns false when no entry reaches the community.
bool ConstancyProfile(const ScoringState& sc, const NVCTotals& t, const NVCFit& fit, double j,
                      double& sum, double& p) {
  sum = 0.0;
  p = kTiny;
  double carry = 0.0;
  bool reached = false;
  for (int c = 5; c >= 1; --c) {
    const int sampled = fit.nSampleFreqByClass[c];
    if (sampled == 0 && carry == 0.0) continue;
    reached = true;
    const double f = sc.dClassFreq[c];
    const double s = sampled / j;
    const double r = t.nSpeciesInClass[c] * f;
    sum += std::min(s + carry, r) * f;
    carry = std::max(0.0, s - r);
    p += s * f;
  }
  return reached;
}

// Halving lower-bound search for the first row of a code in arrSortedSpecies.
int SortedRowOf(const RefData& ref, int code) {
  const int n = std::clamp(static_cast<int>(ref.nSpeciesCount), 0, kSpeciesCapacity);
  if (n < 1) return 0;
  int lo = 1;
  int hi = n;
  if (n > 2) {
    while (hi - lo > 1) {
      const int mid = (lo + hi) / 2;
      if (ref.arrSortedSpecies[mid].nSpeciesCode < code) lo = mid; else hi = mid;
    }
  }
  if (ref.arrSortedSpecies[lo].nSpeciesCode == code) return lo;
  if (ref.arrSortedSpecies[hi].nSpeciesCode == code) return hi;
  return 0;
}

}  // namespace

void ScoreSample(const RefData& ref, const SampleState& sample, int16_t nAnalysisType,
                 ScoringState& sc) {
  const int nUnits = UnitsInUse(ref);
  for (int g = 1; g <= nUnits; ++g) {
    NVCFit& fit = sc.arrNVCFit[g];
    fit.dGoF3 = 0.0;
    fit.dGoF4 = 0.0;
    for (int c = 1; c <= 5; ++c) fit.nSampleFreqByClass[c] = 0;
  }
  const MeanWeights wt = WeightsFor(nAnalysisType);

  // Frequency data weigh each species by its frequency; cover data by 1.
  const bool frequencyData = sample.nMaxFreq > 0;
  const int nEntries = std::clamp(static_cast<int>(sample.nSampleEntries), 0, kSampleCapacity);
  double sumPresence = kTiny;    // L
  double sumCover = kCoverStart;  // K
  for (int e = 1; e <= nEntries; ++e) {
    const SampleEntry& entry = sample.arrSample[e];
    if (entry.nSpeciesCode < 0) continue;
    const int w = frequencyData ? entry.nFreq : 1;
    const int cover = std::clamp(static_cast<int>(entry.nCover), 0, kMaxCover);
    const double a = cover > 0 ? sc.dCoverPow[cover] : kTiny;
    sumPresence += w;
    sumCover += a;

    // Species typed during the run have no dictionary row: they count in L and K only.
    const int row = SortedRowOf(ref, entry.nSpeciesCode);
    if (!IsSpeciesRow(row)) continue;
    const int idx = ref.arrSortedSpecies[row].nSpeciesIndex;
    if (!IsSpeciesRow(idx)) continue;
    int first = 0;
    int last = 0;
    if (!JoinLines(ref.arrSpeciesBySpeciesIndex[idx], first, last)) continue;
    for (int r = first; r <= last; ++r) {
      const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[r];
      const int g = line.nNVCIndex;
      const int q = line.nQuant;
      if (!IsUnit(g, nUnits) || !IsValidQuant(q)) continue;
      const QuantEntry& qe = sc.arrQuantTable[q];
      const int c = qe.nConstancyClass;
      if (!IsClass(c)) continue;
      const double f = sc.dClassFreq[c];
      NVCFit& fit = sc.arrNVCFit[g];
      fit.nSampleFreqByClass[c] = static_cast<int16_t>(fit.nSampleFreqByClass[c] + w);
      // Cover agreement: the sample's cover, capped at what the community expects.
      double x = w * std::min(static_cast<double>(cover), qe.dCoverWeight);
      if (IsWoodland(ref.arrNVCData[g])) {
        x = x * qe.dWoodlandFactor;
      } else {
        x = x * f * f;
      }
      fit.dGoF3 += x;
      fit.dGoF4 += a * f;
    }
  }

  // The maximum frequency turns frequencies into relative frequencies.
  const double j = frequencyData ? static_cast<double>(sample.nMaxFreq) : 1.0;
  const double presencePerJ = sumPresence / j;

  for (int g = 1; g <= nUnits; ++g) {
    NVCFit& fit = sc.arrNVCFit[g];
    const NVCTotals& t = sc.arrNVCTotals[g];
    double sum = 0.0;
    double p = 0.0;
    if (!ConstancyProfile(sc, t, fit, j, sum, p)) {
      // Not reached: clear the raw sums too, so nothing of an earlier sample shows.
      fit.dGoF1 = 0.0;
      fit.dGoF2 = 0.0;
      fit.dGoF3 = 0.0;
      fit.dGoF4 = 0.0;
      fit.dMeanGoF = 0.0;
      continue;
    }
    fit.dGoF1 = sum / t.dSumFreqSq;
    fit.dGoF2 = std::min(1.0, p / (presencePerJ * t.dMeanFreq));
    fit.dGoF3 = std::min(1.0, fit.dGoF3 / (j * t.dCoverExpectation));
    fit.dGoF4 = std::min(1.0, fit.dGoF4 / (sumCover * t.dMeanFreqCover));

    double g1 = fit.dGoF1;
    double g2 = fit.dGoF2;
    double g3 = fit.dGoF3;
    double g4 = fit.dGoF4;
    if (wt.adjusted) {
      // G * (2 - G) = 1 - (1 - G)^2: each value is discounted by its partner,
      // and the partner is capped by the discounted value.
      g1 = g1 * g2 * (2.0 - g2);
      g3 = g3 * g4 * (2.0 - g4);
      g2 = std::min(g1, g2);
      g4 = std::min(g3, g4);
    }
    fit.dMeanGoF = g2 * wt.w2 + g1 * wt.w1 + g3 * wt.w3 + g4 * wt.w4;
  }
}
