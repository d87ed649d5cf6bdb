// Ellenberg indicator values (F moisture, L light, N fertility, R reaction,
// S salt) of a sample or a group of quadrats, set beside the mean and spread of
// the unit it is compared with (the tables of refdata/indicator_tables.h).
#pragma once

#include <array>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "analyses/synoptic.h"
#include "refdata/indicator_tables.h"
#include "scoring/scoring.h"

// The indicator values of a sample or a group.
struct IndicatorMeans {
  int species = 0;     // its species
  int withValues = 0;  // of them, those the tables give at least one value
  IndicatorSet mean = kNoIndicatorValues;      // unweighted, over the species with the value; NaN: none has it
  IndicatorSet weighted = kNoIndicatorValues;  // weighted as said below; NaN: none has it, or weights all 0
  // The share of the species with values, 0..1; NaN for no species.
  double Share() const;
};

// A completed sample: the cover-weighted mean weighs each species by its
// percent cover (nCover).
IndicatorMeans SampleIndicators(const IndicatorTables& tables, const SampleEntries& sample);
// A group: its species once each. The weighted mean weighs each species by its
// quadrats times its mean percent cover where present (GroupSpecies::
// percentSum): the weighted mean of all its quadrats' entries pooled, so a
// species counts as much as the cover it has across the group. For presence
// data (every cover the same) that is a weight by frequency.
IndicatorMeans GroupIndicators(const IndicatorTables& tables, const GroupTally& group);

// Whether a mean lies outside the unit's mean +- sd (on its edge is inside);
// nothing when either is missing.
std::optional<bool> OutsideUnit(double mean, double unitMean, double unitSd);

// The tidy columns, each preceded by a comma (the line so far ends without
// one): indicator_share, then for each X of F,L,N,R,S: X, X_weighted, X_unit,
// X_unit_sd, X_outside.
void AppendIndicatorHeader(std::string& line);
// The fields of a sample's means as the tidy columns write them, made once for
// all the rows of its ranks: ",indicator_share", then ",X,X_weighted" of each
// indicator (the share as a fraction 0..1, the values to two decimals, empty
// when missing).
struct IndicatorFields {
  IndicatorFields(const IndicatorMeans& means);  // NOLINT: a sample's means stand for their fields
  IndicatorSet mean;
  // indicator_share, then X and X_weighted of each indicator.
  std::array<std::string, 2 * kIndicators + 1> text;
};
// The indicator columns of the tidy results: indicator_share, then of each
// indicator X: X and X_weighted (the sample's means), X_unit and X_unit_sd (the
// unit's), and X_outside: TRUE or FALSE when the unweighted mean lies outside
// the unit's mean +- sd or not, empty where either is missing.
constexpr size_t kIndicatorColumns = 1 + 5 * kIndicators;
std::string IndicatorColumnName(size_t column);
bool IndicatorColumnIsLogical(size_t column);
// The field of one of those columns; `unit` null: the unit's fields are empty.
void AppendIndicatorField(std::string& line, const IndicatorFields& sample, const UnitIndicators* unit,
                          size_t column);
// Every one of them, each after a comma.
void AppendIndicatorFields(std::string& line, const IndicatorFields& sample, const UnitIndicators* unit);
