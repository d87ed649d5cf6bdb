// Ellenberg indicator values (F moisture, L light, N fertility, R reaction,
// S salt) of a sample or a group of quadrats, set beside the mean and spread of
// the unit it is compared with: indicators.csv gives the values of each
// dictionary code, unit_indicators.csv each unit's mean and sd over the
// species of its floristic table.
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
#include "scoring/scoring.h"

constexpr const char* kIndicatorsFile = "indicators.csv";
constexpr const char* kUnitIndicatorsFile = "unit_indicators.csv";

// F, L, N, R, S in that order.
constexpr int kIndicators = 5;
inline constexpr std::array<const char*, kIndicators> kIndicatorNames = {"F", "L", "N", "R", "S"};
// One value per indicator; NaN where there is none.
using IndicatorSet = std::array<double, kIndicators>;
inline constexpr double kNoIndicatorValue = std::numeric_limits<double>::quiet_NaN();
inline constexpr IndicatorSet kNoIndicatorValues = {kNoIndicatorValue, kNoIndicatorValue, kNoIndicatorValue,
                                                     kNoIndicatorValue, kNoIndicatorValue};

struct UnitIndicators {
  IndicatorSet mean;
  IndicatorSet sd;
  // X_unit and X_unit_sd of each indicator as the tidy columns write them,
  // made by LoadIndicators once for every row that names the unit.
  std::array<std::string, kIndicators> meanText;
  std::array<std::string, kIndicators> sdText;
};

struct IndicatorTables {
  std::unordered_map<int, IndicatorSet> species;                // by dictionary code
  std::map<std::string, UnitIndicators, std::less<>> units;     // by unit code
  // Null when the tables hold none (codes from 9001, of species the tables do
  // not hold, never have values).
  const IndicatorSet* OfSpecies(int code) const;
  const UnitIndicators* OfUnit(std::string_view unit) const;
};

// Reads kIndicatorsFile (code,name,F,L,N,R,S) and kUnitIndicatorsFile
// (nvc_code,F,F_sd,...,S,S_sd) from the folder of the tables, columns found by
// their names; an empty value is none. A file that is absent leaves its table
// empty, which is no error. False, with "FILE:LINE: what" in `error` (FILE as
// the folder names it; say it with Diagnose(err, "", error)), for a file that
// is no CSV, lacks a column, or holds a value that is no number or a code that
// is no dictionary code.
bool LoadIndicators(const std::string& folder, IndicatorTables& tables, std::string& error);

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
