// Results: the fit report on screen and in the results file, and the matching
// analysis of the reported communities.
#pragma once

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "common/common.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// Means below this are reported without any text: the community is only a
// filler of the ranking, not a fit.
constexpr double kNoFit = 0.0001;

// The four fits (fractions, 1..4) as the report shows them: 0 for a community
// the sample did not reach, and for the fits that take no part in the mean of
// the analysis type.
struct ShownFits {
  double fit[5];
};
ShownFits FitsShown(const NVCFit& fit, int16_t nAnalysisType);

// A fraction as the integer percent the report prints: floor(value * 100.1).
int PercentFit(double value);

// Verbal class of an integer mean fit.
const char* FitClass(int nMeanFit);

// Reports the ranked fits; returns 1 to go on with the next sample, 0 to end the
// run. The closing prompt may reset the parameters.
int16_t ReportFits(Console& con, const RefData& ref, const SampleState& sample,
                   const ScoringState& sc, RunSettings& rs);

// The settings ReportFits reads, without the run's files: for reporting a sample
// into memory, on another thread.
RunSettings ReportSettings(const RunSettings& rs);

// The sample's rows by species code, for the lookups of the lists: the first
// row holding each code, in a small open-addressing table (a sample holds at most
// a few hundred codes), and a mark per code for the unit being matched. Rows with
// a negative code take no part.
class SampleCodes {
 public:
  explicit SampleCodes(const SampleState& sample);
  // The first sample row holding the code, or 0; a code found is marked as one
  // of the unit being matched.
  int FindAndMark(int code, uint32_t unitMark);
  // Whether the code of the row was marked for the unit.
  bool RowMarked(int row, uint32_t unitMark) const {
    return slots_[slotOfRow_[row]].mark == unitMark;
  }

 private:
  // The table in use is the first power of two of slots at least four times the
  // sample's rows (at least 64): a sample of 30 species clears 128 slots, not all
  // of them, and most lookups (codes the sample lacks) end at the first slot.
  static constexpr int kSlotBits = 10;
  static constexpr int kSlots = 1 << kSlotBits;
  static_assert(kSlots >= 2 * kSampleCapacity, "the code table must stay sparse");
  struct Slot {
    int32_t code;  // -1: empty
    int32_t row;
    uint32_t mark;
  };
  int Home(int code) const {
    return static_cast<int>((static_cast<uint32_t>(code) * 2654435761u) >> (32 - bits_));
  }
  int bits_ = 6;
  int mask_ = (1 << 6) - 1;
  Slot slots_[kSlots];
  int16_t slotOfRow_[kSampleCapacity + 1];
};

// One species of a matching list: its code and the species row that names it.
struct MatchedSpecies {
  int nSpeciesCode;
  int nSpeciesIndex;
};
// The matching analysis of a unit: the species of both (in table order, named as
// in the sample), of the sample only (in entry order) and of the unit only (in
// table order, under their dictionary names).
struct MatchingLists {
  std::vector<MatchedSpecies> both;
  std::vector<MatchedSpecies> sampleOnly;
  std::vector<MatchedSpecies> unitOnly;
};
// The lists are filled in place, so that their room is kept from one unit to the
// next; the unit mark tells this unit's matches from those of earlier ones and
// must differ from every mark used before with the same codes.
void MatchUnitSpecies(const RefData& ref, const SampleState& sample, SampleCodes& codes, int unit,
                      uint32_t unitMark, MatchingLists& lists);

// Three Analysis lines per rank (CSV results only).
void WriteMatchingAnalysis(const RefData& ref, const SampleState& sample, const ScoringState& sc,
                           const RunSettings& rs);

// Reports a scored sample as the typed program does, out of the user's sight:
// what the report writes to the results file is appended to text.
inline void ReportInto(const RefData& ref, const SampleState& sample, const ScoringState& sc,
                       RunSettings& settings, QuietConsole& quiet, MemoryFile& memory,
                       std::string& text) {
  settings.fpResults = memory.Open();
  ReportFits(quiet.con, ref, sample, sc, settings);
  memory.TakeInto(settings.fpResults, text);
}
