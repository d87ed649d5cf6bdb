// Ellenberg indicator values (F moisture, L light, N fertility, R reaction,
// S salt) as the tables give them: indicators.csv the values of each
// dictionary code, unit_indicators.csv each unit's mean and sd over the
// species of its floristic table.
#pragma once

#include <array>
#include <functional>
#include <limits>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

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

// Reads indicators.csv (code,name,F,L,N,R,S) and unit_indicators.csv
// (nvc_code,F,F_sd,...,S,S_sd) from the folder of the tables, columns found by
// their names; an empty value is none. A file that is absent leaves its table
// empty, which is no error. False, with "FILE:LINE: what" in `error` (FILE as
// the folder names it; say it with Diagnose(con, "", error)), for a file that
// is no CSV, lacks a column, or holds a value that is no number or a code that
// is no dictionary code.
bool LoadIndicators(const std::string& folder, IndicatorTables& tables, std::string& error);

// A value as the tidy columns write it: two decimals; nothing for none.
void AppendIndicatorValue(std::string& line, double v);
