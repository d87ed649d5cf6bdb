// Weight tables derived from the quant codes, and the per-community expectation
// totals that every goodness-of-fit value is measured against.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

#include "scoring/scoring.h"

namespace {

// Expected frequency of a species of constancy class I..V in a stand.
constexpr double kClassFreq[6] = {0.0, 0.12, 0.25, 0.5, 0.75, 0.95};

// Cover weights below this are too small to mean anything and become kTiny.
constexpr double kSmallestCoverWeight = 2.0;

// The most lines one species has in any one unit: 1, unless a table lists a
// species twice for a unit. A sample holds a code at most kSampleCapacity
// times, so no unit counts more lines of a class than that many times this.
int MostLinesInOneUnit(const RefData& ref) {
  std::vector<int> rangeOfUnit(ref.arrNVCData.size() + 1, 0);
  std::vector<int> lines(ref.arrNVCData.size() + 1, 0);
  std::vector<char> seen(ref.arrTbSpeciesToNVCJoinTable.size(), 0);  // synonyms share a range
  int most = 0;
  const int rows = std::min(ref.nSpeciesCount, static_cast<int>(ref.arrSpeciesBySpeciesIndex.size()) - 1);
  for (int idx = 1; idx <= rows; ++idx) {
    const TableRange& range = ref.arrSpeciesBySpeciesIndex[idx];
    if (range.nEndIndex == 0 || seen[static_cast<size_t>(range.nStartIndex)]) continue;
    seen[static_cast<size_t>(range.nStartIndex)] = 1;
    for (int r = range.nStartIndex; r <= range.nEndIndex; ++r) {
      const size_t g = static_cast<size_t>(ref.arrTbSpeciesToNVCJoinTable[r].nNVCIndex);
      if (rangeOfUnit[g] != range.nStartIndex) {
        rangeOfUnit[g] = range.nStartIndex;
        lines[g] = 0;
      }
      most = std::max(most, ++lines[g]);
    }
  }
  return most;
}

}  // namespace

void BuildQuantTables(ScoringState& sc) {
  for (int d = 1; d <= 10; ++d) {
    sc.nDominPercent[d] =
        static_cast<int16_t>(std::floor(0.25 * std::pow(static_cast<double>(d), 2.6)));
  }
  for (int c = 1; c <= 5; ++c) sc.dClassFreq[c] = kClassFreq[c];
  for (int c = 1; c <= 5; ++c) sc.dClassValue[c] = c / 5.0;
  for (int k = 1; k <= 100; ++k) sc.dCoverPow[k] = std::pow(static_cast<double>(k), 0.75);

  // q = 10 * (constancy class - 1) + Domin class.
  for (int q = 1; q <= kQuantCodes; ++q) {
    const int c = (q - 1) / 10 + 1;
    const int d = (q - 1) % 10 + 1;
    QuantEntry& qe = sc.arrQuantTable[q];
    qe.nConstancyClass = static_cast<int16_t>(c);
    // A rarer class contributes less of its Domin cover: divide by 11, 9, 7, 5, 3.
    double weight = static_cast<double>(sc.nDominPercent[d]) / (13 - 2 * c);
    if (weight < kSmallestCoverWeight) weight = kTiny;
    qe.dCoverWeight = weight;
    // In woodland the constant, abundant species count in full.
    const double f = sc.dClassFreq[c];
    const int s = c + d;
    if (s < 10) {
      qe.dWoodlandFactor = f * f;
    } else if (s == 10) {
      qe.dWoodlandFactor = f;
    } else {
      qe.dWoodlandFactor = 1.0;
    }
    qe.dCoverWeightPow = std::pow(qe.dCoverWeight, 0.75);
  }

  for (int q = 1; q <= kQuantCodes; ++q) {
    const QuantEntry& qe = sc.arrQuantTable[q];
    const double f = sc.dClassFreq[qe.nConstancyClass];
    sc.arrLineWeights[WeightKey(q, false)] = LineWeights{qe.dCoverWeight, f, f};
    sc.arrLineWeights[WeightKey(q, true)] = LineWeights{qe.dCoverWeight, qe.dWoodlandFactor, 1.0};
  }
  sc.arrCoverTerms.assign(101 * kWeightKeys, UnitSums{});
  for (int cover = 0; cover <= 100; ++cover) {
    const double a = cover > 0 ? sc.dCoverPow[cover] : kTiny;
    for (int q = 1; q <= kQuantCodes; ++q) {
      const int c = sc.arrQuantTable[q].nConstancyClass;
      for (const bool woodland : {false, true}) {
        const int key = WeightKey(q, woodland);
        const LineWeights& lw = sc.arrLineWeights[key];
        UnitSums& term = sc.arrCoverTerms[static_cast<size_t>(cover * kWeightKeys + key)];
        term.dClassCover = a * sc.dClassFreq[c];
        term.dValue = sc.dClassValue[c];
        term.dCover = CappedCoverTerm(1.0, cover, lw);  // cover data weigh each species by 1
        term.dClassCounts = ClassCountUnit(c);
      }
    }
  }
}

GroupTotals GroupOfTotals(const NVCTotals* four) {
  GroupTotals gt{};
  for (size_t k = 0; k < 4; ++k) {
    const NVCTotals& t = four[k];
    gt.dSumFreqSq[k] = t.dSumFreqSq;
    gt.dMeanFreq[k] = t.dMeanFreq;
    gt.dMeanFreqCover[k] = t.dMeanFreqCover;
    gt.dCoverExpectation[k] = t.dCoverExpectation;
    for (int c = 1; c <= kConstancyClasses; ++c) gt.dClassExpect[c - 1][k] = t.dClassExpect[c];
    gt.dUnitValueSum[k] = t.dUnitValueSum;
  }
  return gt;
}

void BuildGroupTotals(ScoringState& sc) {
  const size_t groups = sc.arrNVCTotals.size() / 4;
  sc.arrGroupTotals.resize(groups);
  for (size_t i = 0; i < groups; ++i) sc.arrGroupTotals[i] = GroupOfTotals(&sc.arrNVCTotals[4 * i]);
}

namespace {

// Sizes the per-unit tables for the reference and seeds every unit's totals.
void StartNVCTotals(const RefData& ref, ScoringState& sc, size_t rows) {
  const int nUnits = ref.nNVCCount;
  sc.arrNVCTotals.assign(rows, NVCTotals{});
  sc.arrNVCFit.assign(rows, NVCFit{});
  sc.arrWoodland.assign(ref.arrNVCData.size(), 0);
  for (int g = 1; g <= nUnits; ++g) sc.arrWoodland[g] = IsWoodland(ref.arrNVCData[g]) ? 1 : 0;
  for (int g = 1; g <= nUnits; ++g) {
    NVCTotals& t = sc.arrNVCTotals[g];
    t.dSumFreqSq = kTiny;
    t.dMeanFreq = kTiny;
    t.dMeanFreqCover = kTiny;
    t.dCoverExpectation = kTiny;
    for (int c = 1; c <= 5; ++c) t.nSpeciesInClass[c] = 0;
    sc.arrNVCFit[g].dGoF4 = 0.0;  // scratch: sum of F^2 * cover weight power
  }
}

// Adds every table line of every species code into its unit's running sums.
void AddSpeciesLines(const RefData& ref, ScoringState& sc) {
  const int nUnits = ref.nNVCCount;
  // Species by species in code order. Synonyms share a code and one range of
  // lines, so only the first dictionary row of each code is walked; the fixed
  // entries (code 0) are passed over because the previous code starts at 0.
  // While accumulating, dSumFreqSq holds the sum of F and dMeanFreq the sum of F^2.
  int previousCode = 0;
  for (int i = 1; i <= ref.nSpeciesCount; ++i) {
    const int idx = ref.arrSortedSpecies[i].nSpeciesIndex;
    const int code = ref.arrSpecies[idx].nSpeciesCode;
    if (code == previousCode) continue;
    previousCode = code;

    const TableRange& range = ref.arrSpeciesBySpeciesIndex[idx];
    if (range.nEndIndex == 0) continue;
    for (int r = range.nStartIndex; r <= range.nEndIndex; ++r) {
      const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[r];
      const QuantEntry& qe = QuantOfLine(line, nUnits, sc);
      const int g = line.nNVCIndex;
      const int c = qe.nConstancyClass;
      const double f = sc.dClassFreq[c];
      NVCTotals& t = sc.arrNVCTotals[g];
      t.dSumFreqSq += f;
      t.dMeanFreq += f * f;
      t.dMeanFreqCover += f * qe.dCoverWeightPow;
      t.nSpeciesInClass[c] = static_cast<int16_t>(t.nSpeciesInClass[c] + 1);
      if (sc.arrWoodland[g]) {
        t.dCoverExpectation += f * qe.dCoverWeight * qe.dWoodlandFactor;
      } else {
        t.dCoverExpectation += f * qe.dCoverWeight * f * f;
      }
      sc.arrNVCFit[g].dGoF4 += f * qe.dCoverWeightPow * f;
    }
  }
}

// Turns each unit's running sums into its means, value sum and class expectations.
void FinishNVCTotals(int nUnits, ScoringState& sc) {
  for (int g = 1; g <= nUnits; ++g) {
    NVCTotals& t = sc.arrNVCTotals[g];
    const double sumFreq = t.dSumFreqSq;
    const double sumFreqSq = t.dMeanFreq;
    t.dMeanFreq = sumFreqSq / sumFreq;
    t.dSumFreqSq = sumFreqSq;
    t.dMeanFreqCover = sc.arrNVCFit[g].dGoF4 / t.dMeanFreqCover;
    // A species' value in the unit's table is its constancy class divided by 5.
    t.dUnitValueSum = 0.0;
    for (int c = 1; c <= kConstancyClasses; ++c) t.dUnitValueSum += t.nSpeciesInClass[c] * (c / 5.0);
    t.dClassExpect[0] = 0.0;
    for (int c = 1; c <= kConstancyClasses; ++c) {
      t.dClassExpect[c] = t.nSpeciesInClass[c] * sc.dClassFreq[c];
    }
  }
}

// Clears the per-sample fit scratch, sized for `rows` unit rows.
void ClearFitScratch(size_t rows, ScoringState& sc) {
  // The fits held scratch sums (what is left of them stays there); the next
  // sample starts by clearing every unit.
  sc.bFitsDirty = true;
  sc.arrUnitSums.assign(rows, UnitSums{});
  sc.arrUnitFreq.assign(rows, UnitFreq{});
  sc.arrFitLive.assign(rows, 0);
  sc.arrFitGroups.assign(rows / 4, 0);
  sc.arrRankKeys.assign(rows, 0.0);
}

// Every regrouped line with its weights resolved.
void ResolveScoredLines(const RefData& ref, ScoringState& sc) {
  const int nUnits = ref.nNVCCount;
  sc.arrScoredLines.assign(ref.arrTbSpeciesToNVCJoinTable.size(), ScoredLine{});
  for (size_t r = 1; r < ref.arrTbSpeciesToNVCJoinTable.size(); ++r) {
    const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[r];
    if (line.nNVCIndex == 0) continue;  // past the regrouped lines
    const QuantEntry& qe = QuantOfLine(line, nUnits, sc);
    const bool woodland = sc.arrWoodland[line.nNVCIndex] != 0;
    sc.arrScoredLines[r] = ScoredLine{line.nNVCIndex, qe.nConstancyClass,
                                      static_cast<int16_t>(WeightKey(line.nQuant, woodland))};
  }
}

}  // namespace

void BuildNVCTotals(const RefData& ref, ScoringState& sc) {
  const size_t rows = UnitRows(ref.arrNVCData.size());
  StartNVCTotals(ref, sc, rows);
  AddSpeciesLines(ref, sc);
  FinishNVCTotals(ref.nNVCCount, sc);
  BuildGroupTotals(sc);
  ClearFitScratch(rows, sc);
  sc.bPackedCounts = kSampleCapacity * MostLinesInOneUnit(ref) < (1 << kCountBits);
  ResolveScoredLines(ref, sc);
}
