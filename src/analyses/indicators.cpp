// Ellenberg indicator values: the two tables read, the means of a sample and
// of a group, and their tidy columns beside the unit's.
#include <cassert>
#include <charconv>
#include <cmath>
#include <optional>
#include <cstdlib>
#include <vector>

#include "tables/csv.h"
#include "analyses/indicators.h"

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

// Two decimals; empty for none.
void AppendNumber(std::string& line, double v) {
  if (std::isnan(v)) return;
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 2);
  line.append(buf, r.ptr);
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
      AppendNumber(u.meanText[i], u.mean[i]);
      AppendNumber(u.sdText[i], u.sd[i]);
    }
    tables.units.emplace(unit, u);
  }
  return true;
}

// Means over species given as (code, weight).
IndicatorMeans MeansOf(const IndicatorTables& tables, const std::vector<std::pair<int, double>>& species) {
  IndicatorMeans m;
  IndicatorSet sum{}, count{}, wsum{}, weights{};
  for (const auto& [code, weight] : species) {
    ++m.species;
    const IndicatorSet* v = tables.OfSpecies(code);
    if (v == nullptr) continue;
    bool any = false;
    for (size_t i = 0; i < kIndicators; ++i) {
      if (std::isnan((*v)[i])) continue;
      any = true;
      sum[i] += (*v)[i];
      count[i] += 1;
      wsum[i] += weight * (*v)[i];
      weights[i] += weight;
    }
    if (any) ++m.withValues;
  }
  for (size_t i = 0; i < kIndicators; ++i) {
    m.mean[i] = count[i] > 0 ? sum[i] / count[i] : kNone;
    m.weighted[i] = weights[i] > 0 ? wsum[i] / weights[i] : kNone;
  }
  return m;
}

}  // namespace

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
  const std::string speciesPath = PathIn(folder, kIndicatorsFile);
  if (ReadTable(speciesPath, table, bad, error) && (bad || !ReadSpeciesValues(speciesPath, table, tables, error))) {
    return false;
  }
  const std::string unitPath = PathIn(folder, kUnitIndicatorsFile);
  if (ReadTable(unitPath, table, bad, error) && (bad || !ReadUnitValues(unitPath, table, tables, error))) {
    return false;
  }
  return true;
}

double IndicatorMeans::Share() const {
  return species > 0 ? static_cast<double>(withValues) / species : kNone;
}

IndicatorMeans SampleIndicators(const IndicatorTables& tables, const SampleEntries& sample) {
  std::vector<std::pair<int, double>> species;
  for (int i = 1; i <= sample.nSampleEntries; ++i) {
    species.emplace_back(sample.arrSample[i].nSpeciesCode, sample.arrSample[i].nCover);
  }
  return MeansOf(tables, species);
}

IndicatorMeans GroupIndicators(const IndicatorTables& tables, const GroupTally& group) {
  std::vector<std::pair<int, double>> species;
  for (const GroupSpecies& sp : group.Species()) species.emplace_back(sp.code, sp.percentSum);
  return MeansOf(tables, species);
}

std::optional<bool> OutsideUnit(double mean, double unitMean, double unitSd) {
  if (std::isnan(mean) || std::isnan(unitMean) || std::isnan(unitSd)) return std::nullopt;
  return mean < unitMean - unitSd || mean > unitMean + unitSd;
}

std::string IndicatorColumnName(size_t column) {
  assert(column < kIndicatorColumns);
  if (column == 0) return "indicator_share";
  static const char* const kSuffixes[] = {"", "_weighted", "_unit", "_unit_sd", "_outside"};
  return std::string(kIndicatorNames[(column - 1) / 5]) + kSuffixes[(column - 1) % 5];
}

bool IndicatorColumnIsLogical(size_t column) { return column > 0 && (column - 1) % 5 == 4; }

void AppendIndicatorHeader(std::string& line) {
  for (size_t c = 0; c < kIndicatorColumns; ++c) line += "," + IndicatorColumnName(c);
}

IndicatorFields::IndicatorFields(const IndicatorMeans& means) : mean(means.mean) {
  AppendNumber(text[0], means.Share());
  for (size_t i = 0; i < kIndicators; ++i) {
    AppendNumber(text[1 + 2 * i], means.mean[i]);
    AppendNumber(text[2 + 2 * i], means.weighted[i]);
  }
}

void AppendIndicatorField(std::string& line, const IndicatorFields& sample, const UnitIndicators* unit,
                          size_t column) {
  assert(column < kIndicatorColumns);
  if (column == 0) {
    line += sample.text[0];
    return;
  }
  const size_t i = (column - 1) / 5;
  switch ((column - 1) % 5) {
    case 0: line += sample.text[1 + 2 * i]; break;
    case 1: line += sample.text[2 + 2 * i]; break;
    case 2: if (unit != nullptr) line += unit->meanText[i]; break;
    case 3: if (unit != nullptr) line += unit->sdText[i]; break;
    default: {
      const std::optional<bool> outside =
          OutsideUnit(sample.mean[i], unit != nullptr ? unit->mean[i] : kNone, unit != nullptr ? unit->sd[i] : kNone);
      if (outside) line += *outside ? "TRUE" : "FALSE";
    }
  }
}

void AppendIndicatorFields(std::string& line, const IndicatorFields& sample, const UnitIndicators* unit) {
  for (size_t c = 0; c < kIndicatorColumns; ++c) {
    line += ',';
    AppendIndicatorField(line, sample, unit, c);
  }
}
