// Bounds used by the scoring passes: every count, index and code read from the
// reference or sample tables is brought inside the table it indexes before use,
// so a damaged table can make a result meaningless but never reads past storage.
#pragma once

#include <algorithm>

#include "common/state.h"
#include "refdata/refdata.h"

namespace scoring_guard {

// Units whose rows exist in arrNVCData, arrNVCTotals and arrNVCFit.
inline int UnitsInUse(const RefData& ref) {
  return std::clamp(static_cast<int>(ref.nNVCCount), 0, kNVCCapacity);
}

// Rows of arrSortedSpecies that can hold dictionary entries.
inline int DictionaryRows(const RefData& ref) {
  return std::clamp(static_cast<int>(ref.nSpeciesCount), 0, kSpeciesCapacity);
}

// One unsigned comparison: g - 1 wraps to a huge value when g is 0 or negative.
inline bool IsUnit(int g, int nUnits) {
  return static_cast<unsigned>(g - 1) < static_cast<unsigned>(nUnits);
}

inline bool IsSpeciesRow(int idx) { return idx >= 1 && idx <= kSpeciesCapacity; }

inline bool IsClass(int c) { return c >= 1 && c <= 5; }

// The lines of arrTbSpeciesToNVCJoinTable that a species range covers, cut to the
// table. False when the range is empty (end 0, or start past end).
inline bool JoinLines(const TableRange& r, int& first, int& last) {
  if (r.nEndIndex <= 0 || r.nStartIndex > r.nEndIndex) return false;
  first = std::max(1, static_cast<int>(r.nStartIndex));
  last = std::min(static_cast<int>(r.nEndIndex), kTableLineCapacity);
  return first <= last;
}

// The quant row of a regrouped association line, or null when the line's unit,
// quant code or constancy class lies outside the tables (such a line takes no part).
inline const QuantEntry* UsableLine(const NVCTableLine& line, int nUnits, const ScoringState& sc) {
  if (!IsUnit(line.nNVCIndex, nUnits) || !IsValidQuant(line.nQuant)) return nullptr;
  const QuantEntry& qe = sc.arrQuantTable[line.nQuant];
  return IsClass(qe.nConstancyClass) ? &qe : nullptr;
}

// Calls visit(line, quant row) for every line of a species range that takes part.
template <typename Visit>
inline void ForEachUsableLine(const RefData& ref, const TableRange& range, int nUnits,
                              const ScoringState& sc, Visit visit) {
  int first = 0;
  int last = 0;
  if (!JoinLines(range, first, last)) return;
  for (int r = first; r <= last; ++r) {
    const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[r];
    const QuantEntry* usable = UsableLine(line, nUnits, sc);
    if (usable != nullptr) visit(line, *usable);
  }
}

}  // namespace scoring_guard
