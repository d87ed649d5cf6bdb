// What the fields of one row of the tidy results are written from: the
// sample's place, its unit and fits, the texts looked up for the unit. Shared by
// the files of this folder alone (tidy.cpp fills it, tidy_columns.cpp writes
// each column's field from it).
#pragma once

#include <string>
#include <vector>

#include "outputs/tidy.h"
#include "report/report.h"

struct TidyRow {
  const TidyWriter& w;
  const SampleSummary& summary;
  int rank;
  bool real;  // the place names a unit (places beyond the units, or that only fill a place, do not)
  const NVCUnit& unit;
  const NVCFit& fit;
  std::string code{};  // compact, as "CG3a"; empty when the place names no unit
  std::string community{};
  std::string sub{};
  ShownFits shown{};
  size_t species = 0;   // the sample's species codes
  int matched = 0;      // of them, those in the unit's table
  int tie = 0;          // the first place of an equal value of the ranking; 0: none
  const std::vector<HabitatLink>* links = nullptr;        // the unit's habitats (with --habitats)
  const UnitIndicators* unitIndicators = nullptr;         // the unit's indicator values
  const IndicatorFields* sampleIndicators = nullptr;      // the sample's (with --indicators)
};

// A fraction as a percentage to one decimal, as printf's "%.1f" writes it.
std::string OneDecimal(double fraction);
