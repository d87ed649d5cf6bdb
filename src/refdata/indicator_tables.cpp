// Ellenberg indicator values: indicators.csv and unit_indicators.csv read
// from the folder of the tables.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "common/common.h"
#include "common/csv.h"
#include "refdata/indicator_tables.h"

namespace {

constexpr double kNone = kNoIndicatorValue;

// "line N: what" as ParseCsv says it, made "FILE:N: what".
std::string NamedAtFile(const std::string& path, const std::string& error) {
  const std::string prefix = "line ";
  if (error.compare(0, prefix.size(), prefix) == 0) {
    if (error.find(": ", prefix.size()) != std::string::npos) return path + ":" + error.substr(prefix.size());
  }
  return path + ": " + error;
}

// A CSV file of the folder: false when absent; `bad` (with `error`) when it is
// present but no CSV.
bool ReadTable(const std::string& path, CsvTable& table, bool& bad, std::string& error) {
  std::string text;
  bad = false;
  if (!ReadFileText(path, text)) return false;
  if (!ParseCsv(text, table, error)) {
    error = NamedAtFile(path, error);
    bad = true;
  }
  return true;
}

// The columns of the names given, in order; false (said at the header) when one is missing.
bool Columns(const std::string& path, const CsvTable& table, const std::vector<std::string>& names,
             std::vector<size_t>& columns, std::string& error) {
  columns.clear();
  for (const std::string& name : names) {
    size_t k = 0;
    while (k < table.header.size() && Trim(table.header[k]) != name) ++k;
    if (k == table.header.size()) {
      error = At(path, table.headerLine) + ": no column " + name;
      return false;
    }
    columns.push_back(k);
  }
  return true;
}

// A value field: empty is none; anything but a number is refused.
bool ReadValue(const CsvRow& row, size_t column, double& value) {
  const std::string field = column < row.fields.size() ? Trim(row.fields[column]) : std::string();
  value = kNone;
  if (field.empty()) return true;
  char* end = nullptr;
  value = std::strtod(field.c_str(), &end);
  return *end == '\0' && std::isfinite(value);
}

bool ReadSpeciesValues(const std::string& path, const CsvTable& table, IndicatorTables& tables, std::string& error) {
  std::vector<size_t> col;
  if (!Columns(path, table, {"code", "F", "L", "N", "R", "S"}, col, error)) return false;
  for (const CsvRow& row : table.rows) {
    const std::string code = col[0] < row.fields.size() ? row.fields[col[0]] : std::string();
    const WholeNumber n = ReadWholeNumber(code.c_str());
    if (!n.whole || n.value < 1 || n.value > kMaxDictionaryCode) {
      error = At(path, row.line) + ": \"" + code + "\" is no dictionary code";
      return false;
    }
    IndicatorSet values;
    for (int i = 0; i < kIndicators; ++i) {
      if (!ReadValue(row, col[static_cast<size_t>(i) + 1], values[static_cast<size_t>(i)])) {
        error = At(path, row.line) + ": the " + kIndicatorNames[static_cast<size_t>(i)] + " value is no number";
        return false;
      }
    }
    tables.species.emplace(static_cast<int>(n.value), values);
  }
  return true;
}

bool ReadUnitValues(const std::string& path, const CsvTable& table, IndicatorTables& tables, std::string& error) {
  std::vector<std::string> names{"nvc_code"};
  for (const char* x : kIndicatorNames) {
    names.push_back(x);
    names.push_back(std::string(x) + "_sd");
  }
  std::vector<size_t> col;
  if (!Columns(path, table, names, col, error)) return false;
  for (const CsvRow& row : table.rows) {
    const std::string unit = col[0] < row.fields.size() ? Trim(row.fields[col[0]]) : std::string();
    if (unit.empty()) {
      error = At(path, row.line) + ": no unit code";
      return false;
    }
    UnitIndicators u;
    for (size_t i = 0; i < kIndicators; ++i) {
      if (!ReadValue(row, col[1 + 2 * i], u.mean[i]) || !ReadValue(row, col[2 + 2 * i], u.sd[i])) {
        error = At(path, row.line) + ": the " + kIndicatorNames[i] + " mean or sd is no number";
        return false;
      }
      AppendIndicatorValue(u.meanText[i], u.mean[i]);
      AppendIndicatorValue(u.sdText[i], u.sd[i]);
    }
    tables.units.emplace(unit, u);
  }
  return true;
}

}  // namespace

void AppendIndicatorValue(std::string& line, double v) {
  if (std::isnan(v)) return;
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  line.append(buf, r.ptr);
}

const IndicatorSet* IndicatorTables::OfSpecies(int code) const {
  if (code < 1 || code >= kFirstNewSpeciesCode) return nullptr;
  auto it = species.find(code);
  return it == species.end() ? nullptr : &it->second;
}

const UnitIndicators* IndicatorTables::OfUnit(std::string_view unit) const {
  auto it = units.find(unit);
  return it == units.end() ? nullptr : &it->second;
}

bool LoadIndicators(const std::string& folder, IndicatorTables& tables, std::string& error) {
  tables = IndicatorTables{};
  bool bad = false;
  CsvTable table;
  const std::string speciesPath = PathIn(folder, "indicators.csv");
  if (ReadTable(speciesPath, table, bad, error) && (bad || !ReadSpeciesValues(speciesPath, table, tables, error))) {
    return false;
  }
  const std::string unitPath = PathIn(folder, "unit_indicators.csv");
  if (ReadTable(unitPath, table, bad, error) && (bad || !ReadUnitValues(unitPath, table, tables, error))) {
    return false;
  }
  return true;
}
