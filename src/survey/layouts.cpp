// Surveys as tables: the three layouts told apart, and each read into samples
// keyed on every identifying column.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>

#include "common/common.h"
#include "tables/csv.h"
#include "survey/columns.h"
#include "survey/layouts.h"
#include "names/resolver.h"

const char kLayoutsText[] =
    "long (one row per species record: sample columns, species, cover), wide (one row per species, one "
    "column per sample, rows for site, year, group or quadrat above) or matrix (one row per sample, one "
    "column per species)";

namespace {

// The rows of a header that name a sample's fields before the species of a
// wide table.
constexpr size_t kMaxHeaderRows = 12;
constexpr size_t kLongestFrequency = 12;  // characters

const std::string& CellOf(const GridRow& row, size_t col) {
  static const std::string kEmpty;
  return col < row.cells.size() ? row.cells[col] : kEmpty;
}
std::string TrimmedCell(const GridRow& row, size_t col) { return Trim(CellOf(row, col)); }



// A cell of a wide or matrix table that records no species: empty, 0 or NA.
bool IsAbsent(const std::string& cell) {
  const std::string t = Trim(cell);
  if (t.empty() || t == "NA" || t == "na" || t == "N/A") return true;
  return t.find_first_not_of("0.,") == std::string::npos && t.find('0') != std::string::npos;
}

// The columns that name samples: those --sample-cols names (else those whose
// name says so), and those --pool-by names.
class SampleColumns {
 public:
  explicit SampleColumns(const SurveyReading& how) : named_(Keys(how.sampleCols)), pool_(Keys(how.poolBy)) {}
  bool Has(std::string_view header) const {
    const std::string key = ColumnKey(header);
    if (key.empty()) return false;
    const auto in = [&key](const std::vector<std::string>& keys) {
      return std::find(keys.begin(), keys.end(), key) != keys.end();
    };
    return (named_.empty() ? IsIdentifying(RoleOfColumn(header)) : in(named_)) || in(pool_);
  }

 private:
  static std::vector<std::string> Keys(const std::vector<std::string>& names) {
    std::vector<std::string> keys;
    for (const std::string& n : names) keys.push_back(ColumnKey(n));
    return keys;
  }
  std::vector<std::string> named_;
  std::vector<std::string> pool_;
};

// A header that reads as a species name: two words or more, the first a word
// of letters starting with a capital.
bool LooksLikeSpecies(std::string_view header) {
  if (RoleOfColumn(header) != ColumnRole::kOther) return false;
  const std::string name = MatrixSpeciesName(header);
  const size_t space = name.find(' ');
  if (space == std::string::npos || space < 2) return false;
  if (std::isupper(static_cast<unsigned char>(name[0])) == 0) return false;
  return std::all_of(name.begin(), name.begin() + static_cast<long>(space),
                     [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; });
}

// Samples in order of first appearance, keyed on every identifying field.
class SampleIndex {
 public:
  explicit SampleIndex(SurveyTable& table) : table_(table) {}
  SurveySample& Of(const std::vector<std::string>& ids, long line, int col) {
    // Rows of a sample mostly follow one another.
    if (last_ < table_.samples.size() && table_.samples[last_].ids == ids) return table_.samples[last_];
    std::string key;
    for (const std::string& id : ids) key += id + '\x1f';
    auto [it, added] = index_.emplace(key, table_.samples.size());
    if (added) {
      SurveySample s{ids, std::string(), line, 0, {}, col};
      s.name = SampleName(s.ids);
      table_.samples.push_back(std::move(s));
    }
    last_ = it->second;
    return table_.samples[it->second];
  }

 private:
  SurveyTable& table_;
  size_t last_ = SIZE_MAX;
  std::map<std::string, size_t> index_;
};

std::string FoundColumns(const GridRow& header) {
  std::string found;
  for (const std::string& c : header.cells) {
    if (Trim(c).empty()) continue;
    found += (found.empty() ? "" : ", ") + Trim(c);
  }
  return found.empty() ? std::string("none") : found;
}

// The refusal of a table this program cannot read, naming what it found.
std::string Refusal(const std::string& why, const GridRow& header) {
  return why + "; columns found: " + FoundColumns(header) +
         ". Sample columns are named site, year, group or quadrat (or sample, plot, releve, transect, stand, "
         "date), species columns species, taxon, name or latin name, cover columns cover, abundance, domin or "
         "percent. Name the sample columns with --sample-cols and the layout with --layout: " +
         kLayoutsText;
}

// ---- long --------------------------------------------------------------------------------

struct LongColumns {
  std::vector<size_t> ids;
  int species = -1;
  int cover = -1;
  int frequency = -1;
};

bool ReadLong(const Grid& grid, const SurveyReading& how, SurveyTable& table, std::vector<InputProblem>& problems,
              std::string& error) {
  const GridRow& header = grid.rows[0];
  const SampleColumns sampleColumns(how);
  LongColumns c;
  for (size_t i = 0; i < header.cells.size(); ++i) {
    const ColumnRole role = RoleOfColumn(header.cells[i]);
    if (sampleColumns.Has(header.cells[i])) {
      c.ids.push_back(i);
    } else if (role == ColumnRole::kSpecies && c.species < 0) {
      c.species = static_cast<int>(i);
    } else if (role == ColumnRole::kCover && c.cover < 0) {
      c.cover = static_cast<int>(i);
    } else if (role == ColumnRole::kFrequency && c.frequency < 0) {
      c.frequency = static_cast<int>(i);
    }
  }
  for (const std::string& n : how.sampleCols) {
    if (std::none_of(header.cells.begin(), header.cells.end(), [&n](const std::string& h) {
          return ColumnKey(h) == ColumnKey(n);
        })) {
      error = Refusal("no column " + n + " (named by --sample-cols)", header);
      return false;
    }
  }
  if (c.ids.empty() || c.species < 0) {
    error = Refusal(c.ids.empty() ? "no sample column in the header" : "no species column in the header", header);
    return false;
  }
  if (c.cover < 0 && !how.presence) {
    error = "no cover column in the header (presence data: use --scale presence); columns found: " +
            FoundColumns(header);
    return false;
  }
  for (size_t id : c.ids) table.idHeaders.push_back(Trim(header.cells[id]));
  SampleIndex index(table);
  std::vector<std::string> ids(c.ids.size());
  for (size_t r = 1; r < grid.rows.size(); ++r) {
    const GridRow& row = grid.rows[r];
    for (size_t k = 0; k < c.ids.size(); ++k) ids[k].assign(TrimView(CellOf(row, c.ids[k])));
    const int speciesCol = c.species;
    SurveyRecord rec = CellRecord(TrimmedCell(row, static_cast<size_t>(c.species)),
                                  c.cover < 0 ? std::string() : TrimmedCell(row, static_cast<size_t>(c.cover)), row.line,
                                  c.cover < 0 ? speciesCol : c.cover);
    const std::string frequency =
        c.frequency < 0 ? std::string() : TrimmedCell(row, static_cast<size_t>(c.frequency));
    if (std::all_of(ids.begin(), ids.end(), [](const std::string& s) { return s.empty(); })) {
      problems.push_back({row.line, "no sample name; the row is left out", true, static_cast<int>(c.ids[0])});
      continue;
    }
    if (rec.species.find_first_not_of(" *") == std::string::npos) {
      problems.push_back({row.line, "no species name; the row is left out", true, speciesCol});
      continue;
    }
    // Longer than any number sample entry reads: no frequency.
    if (frequency.size() > kLongestFrequency) {
      problems.push_back({row.line, "the frequency is too long to be a number; the row is left out", true,
                          c.frequency});
      continue;
    }
    SurveySample& s = index.Of(ids, row.line, static_cast<int>(c.ids[0]));
    if (!frequency.empty()) s.maxFreq = std::max(s.maxFreq, std::max(1, std::atoi(frequency.c_str())));
    ReadFrequency(frequency, rec);
    s.records.push_back(std::move(rec));
  }
  return true;
}

// ---- wide --------------------------------------------------------------------------------

// The rows of a wide table's header: those naming a sample field, then (where
// there is one) the row naming the species column. -1: not a wide table.
struct WideHeader {
  size_t fieldRows = 0;    // rows 0..fieldRows-1 name sample fields
  bool speciesRow = false;  // row fieldRows names the species column
};

bool FindWideHeader(const Grid& grid, const SurveyReading& how, WideHeader& h) {
  const SampleColumns sampleColumns(how);
  size_t r = 0;
  while (r < grid.rows.size() && r < kMaxHeaderRows && sampleColumns.Has(CellOf(grid.rows[r], 0))) ++r;
  if (r >= grid.rows.size()) return false;
  h.fieldRows = r;
  const GridRow& row = grid.rows[r];
  h.speciesRow = RoleOfColumn(CellOf(row, 0)) == ColumnRole::kSpecies;
  if (h.speciesRow) {
    // The row of a long table's header names other columns too.
    for (size_t i = 1; i < row.cells.size(); ++i) {
      if (RoleOfColumn(row.cells[i]) != ColumnRole::kOther) return false;
    }
    return true;
  }
  return r > 0 && how.layout == Layout::kWide;
}

bool ReadWide(const Grid& grid, const WideHeader& h, SurveyTable& table,
              std::vector<InputProblem>& problems, std::string& error) {
  std::vector<const GridRow*> fields;
  for (size_t r = 0; r < h.fieldRows; ++r) {
    fields.push_back(&grid.rows[r]);
    table.idHeaders.push_back(Trim(CellOf(grid.rows[r], 0)));
  }
  // The species row's other cells, where they hold anything, name the samples.
  const GridRow* labels = h.speciesRow ? &grid.rows[h.fieldRows] : nullptr;
  if (labels != nullptr && std::all_of(labels->cells.begin() + 1, labels->cells.end(),
                                       [](const std::string& c) { return Trim(c).empty(); })) {
    labels = nullptr;
  }
  if (labels != nullptr) {
    fields.push_back(labels);
    table.idHeaders.emplace_back("sample");
  }
  if (fields.empty()) {
    error = Refusal("a wide table needs rows naming the samples above its species", grid.rows[0]);
    return false;
  }
  size_t width = 0;
  for (const GridRow& row : grid.rows) width = std::max(width, row.cells.size());
  // Each column of cells with a sample field is a sample (kept by index: the
  // table's samples grow while they are made).
  SampleIndex index(table);
  std::vector<size_t> sampleOfColumn(width, SIZE_MAX);
  for (size_t col = 1; col < width; ++col) {
    std::vector<std::string> ids;
    for (const GridRow* f : fields) ids.push_back(TrimmedCell(*f, col));
    if (std::all_of(ids.begin(), ids.end(), [](const std::string& s) { return s.empty(); })) continue;
    const SurveySample& s = index.Of(std::move(ids), fields[0]->line, static_cast<int>(col));
    sampleOfColumn[col] = static_cast<size_t>(&s - table.samples.data());
  }
  std::vector<bool> saidUnnamed(width, false);
  const size_t first = h.fieldRows + (h.speciesRow ? 1 : 0);
  for (size_t r = first; r < grid.rows.size(); ++r) {
    const GridRow& row = grid.rows[r];
    const std::string species = TrimmedCell(row, 0);
    for (size_t col = 1; col < row.cells.size(); ++col) {
      if (IsAbsent(row.cells[col])) continue;
      if (sampleOfColumn[col] == SIZE_MAX) {
        if (!saidUnnamed[col]) {
          problems.push_back({row.line, "a cover in a column that names no sample; the column is left out", true,
                              static_cast<int>(col)});
          saidUnnamed[col] = true;
        }
        continue;
      }
      if (species.find_first_not_of(" *") == std::string::npos) {
        problems.push_back({row.line, "no species name; the row is left out", true, 0});
        break;
      }
      table.samples[sampleOfColumn[col]].records.push_back(
          CellRecord(species, Trim(row.cells[col]), row.line, static_cast<int>(col)));
    }
  }
  return true;
}

// ---- matrix ------------------------------------------------------------------------------

bool ReadMatrix(const Grid& grid, const SurveyReading& how, SurveyTable& table, std::vector<InputProblem>& problems,
                std::string& error) {
  const GridRow& header = grid.rows[0];
  const SampleColumns sampleColumns(how);
  std::vector<size_t> ids;
  std::vector<size_t> species;
  std::string leftOut;
  for (size_t i = 0; i < header.cells.size(); ++i) {
    const std::string& h = header.cells[i];
    if (sampleColumns.Has(h)) {
      ids.push_back(i);
    } else if (!Trim(h).empty() && (how.layout == Layout::kMatrix ? RoleOfColumn(h) == ColumnRole::kOther
                                                                   : LooksLikeSpecies(h))) {
      species.push_back(i);
    } else if (!Trim(h).empty()) {
      leftOut += (leftOut.empty() ? "" : ", ") + Trim(h);
    }
  }
  // R writes a community table's row names as a first column with no name.
  const bool rowNames = ids.empty() && !header.cells.empty() && Trim(header.cells[0]).empty();
  if (rowNames) ids.push_back(0);
  if (ids.empty() || species.empty()) {
    error = Refusal(ids.empty() ? "no sample column in the header" : "no species column in the header", header);
    return false;
  }
  for (size_t id : ids) table.idHeaders.push_back(rowNames ? std::string("sample") : Trim(header.cells[id]));
  if (!leftOut.empty()) {
    problems.push_back({header.line, "columns that name no species are left out: " + leftOut, false});
  }
  std::vector<std::string> names;
  for (size_t s : species) names.push_back(MatrixSpeciesName(header.cells[s]));
  SampleIndex index(table);
  for (size_t r = 1; r < grid.rows.size(); ++r) {
    const GridRow& row = grid.rows[r];
    std::vector<std::string> values;
    for (size_t id : ids) values.push_back(TrimmedCell(row, id));
    if (std::all_of(values.begin(), values.end(), [](const std::string& s) { return s.empty(); })) {
      problems.push_back({row.line, "no sample name; the row is left out", true, static_cast<int>(ids[0])});
      continue;
    }
    SurveySample& s = index.Of(std::move(values), row.line, static_cast<int>(ids[0]));
    for (size_t k = 0; k < species.size(); ++k) {
      const std::string& cell = CellOf(row, species[k]);
      if (IsAbsent(cell)) continue;
      s.records.push_back(CellRecord(names[k], Trim(cell), row.line, static_cast<int>(species[k])));
    }
  }
  return true;
}

}  // namespace

SurveyRecord CellRecord(std::string species, std::string coverWritten, long line, int col) {
  SurveyRecord rec;
  rec.species = std::move(species);
  rec.coverWritten = std::move(coverWritten);
  rec.line = line;
  rec.col = col;
  return rec;
}

void ReadFrequency(std::string_view written, SurveyRecord& rec) {
  // The word sample entry reads: one token, a decimal comma as a point.
  std::string token;
  for (char c : written) {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) continue;
    token += c == ',' ? '.' : c;
  }
  rec.frequency = kNoFrequency;
  rec.oddFrequency.clear();
  if (token.empty()) return;
  const bool digits = token.size() <= 3 && std::all_of(token.begin(), token.end(), [](char c) {
                        return c >= '0' && c <= '9';
                      });
  if (digits && (token.size() == 1 || token[0] != '0')) {
    rec.frequency = static_cast<int16_t>(std::atoi(token.c_str()));
  } else {
    rec.oddFrequency = std::move(token);
  }
}

std::string SampleName(const std::vector<std::string>& ids) {
  std::string name;
  for (const std::string& id : ids) {
    if (id.empty()) continue;
    if (!name.empty()) name += ' ';
    name += id;
  }
  return name;
}

const char* LayoutName(Layout layout) {
  switch (layout) {
    case Layout::kLong: return "long";
    case Layout::kWide: return "wide";
    case Layout::kMatrix: return "matrix";
    case Layout::kAuto: break;
  }
  return "auto";
}

bool LooksLikeTable(std::string_view text) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  const auto nextLine = [&text]() {
    while (!text.empty() && (text[0] == '\n' || text[0] == '\r')) text.remove_prefix(1);
    const size_t end = std::min(text.find_first_of("\r\n"), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end);
    return line;
  };
  const std::string_view first = nextLine();
  const char delim = DetectDelimiter(first);
  if (delim == 0) return false;
  CsvTable t;
  std::string error;
  if (!ParseCsv(first, t, error) || t.header.empty()) return false;
  // A long header names a species column.
  bool ids = Trim(t.header[0]).empty();  // R's row names
  bool species = false;
  for (const std::string& h : t.header) {
    if (RoleOfColumn(h) == ColumnRole::kSpecies) return true;
    ids = ids || IsIdentifying(RoleOfColumn(h));
    species = species || LooksLikeSpecies(h);
  }
  const auto fields = [delim](std::string_view line) { return std::count(line.begin(), line.end(), delim); };
  const long width = fields(first);
  std::vector<std::string_view> next;
  for (size_t r = 1; r < kMaxHeaderRows; ++r) {
    const std::string_view line = nextLine();
    if (line.empty()) break;
    next.push_back(line);
  }
  // A wide table: rows naming sample fields, then the species row.
  if (IsIdentifying(RoleOfColumn(t.header[0]))) {
    for (std::string_view line : next) {
      const ColumnRole role = RoleOfColumn(Trim(line.substr(0, std::min(line.find(delim), line.size()))));
      if (role == ColumnRole::kSpecies) return true;
      if (!IsIdentifying(role)) break;
    }
  }
  // A matrix: sample columns beside species, rows as wide as the header.
  if (ids && species && !next.empty() && fields(next[0]) == width) return true;
  // Any other table of commas or semicolons, to be refused for the columns it
  // lacks (sample blocks may part their words by tabs).
  if (delim == '\t' || width < 1 || next.empty()) return false;
  for (size_t r = 0; r < next.size() && r < 2; ++r) {
    if (fields(next[r]) != width) return false;
  }
  return true;
}

bool ReadSurvey(const Grid& grid, const SurveyReading& how, SurveyTable& table, std::vector<InputProblem>& problems,
                std::string& error) {
  table = SurveyTable{};
  if (grid.rows.empty()) {
    error = "holds no sample";
    return false;
  }
  const GridRow& header = grid.rows[0];
  bool species = false;
  bool ids = !how.sampleCols.empty();
  for (const std::string& h : header.cells) {
    species = species || RoleOfColumn(h) == ColumnRole::kSpecies;
    ids = ids || IsIdentifying(RoleOfColumn(h));
  }
  WideHeader wide;
  const bool wideHeader = FindWideHeader(grid, how, wide);
  Layout layout = how.layout == Layout::kAuto ? how.found : how.layout;
  if (layout == Layout::kAuto) {
    // Rows naming sample fields above a species row are a wide table's; a
    // header naming a species column and a sample column is a long table's.
    if (wideHeader) {
      layout = Layout::kWide;
    } else if (species && ids) {
      layout = Layout::kLong;
    } else if (!species) {
      layout = Layout::kMatrix;
    } else {
      error = Refusal("no sample column in the header", header);
      return false;
    }
  }
  table.layout = layout;
  bool read = false;
  if (layout == Layout::kLong) {
    read = ReadLong(grid, how, table, problems, error);
  } else if (layout == Layout::kMatrix) {
    read = ReadMatrix(grid, how, table, problems, error);
  } else if (!wideHeader) {
    error = Refusal("no rows naming the samples above the species of a wide table", header);
  } else {
    read = ReadWide(grid, wide, table, problems, error);
  }
  if (read && how.checkEmptyFields) {
    EmptyFieldCheck check;
    check.Add(table);
    check.Say(table.idHeaders, problems);
  }
  return read;
}

void EmptyFieldCheck::Add(const SurveyTable& table) {
  columns_.resize(std::max(columns_.size(), table.idHeaders.size()));
  for (size_t k = 0; k < table.idHeaders.size(); ++k) {
    Column& c = columns_[k];
    for (const SurveySample& s : table.samples) {
      if (k >= s.ids.size()) continue;
      if (!s.ids[k].empty()) {
        c.filled = true;
      } else if (c.empty++ == 0) {
        c.line = s.line;
        c.col = s.col;
      }
    }
  }
}

void EmptyFieldCheck::Merge(const EmptyFieldCheck& later) {
  columns_.resize(std::max(columns_.size(), later.columns_.size()));
  for (size_t k = 0; k < later.columns_.size(); ++k) {
    Column& c = columns_[k];
    const Column& l = later.columns_[k];
    if (c.empty == 0 && l.empty > 0) {
      c.line = l.line;
      c.col = l.col;
    }
    c.empty += l.empty;
    c.filled = c.filled || l.filled;
  }
}

void EmptyFieldCheck::Say(const std::vector<std::string>& idHeaders, std::vector<InputProblem>& problems) const {
  for (size_t k = 0; k < columns_.size() && k < idHeaders.size(); ++k) {
    const Column& c = columns_[k];
    if (!c.filled || c.empty == 0) continue;
    const char* h = idHeaders[k].c_str();
    problems.push_back({c.line,
                        Fmt("%ld samples have no %s where others have one (the first here); an empty %s is a "
                            "value of its own: if the rows belong to the %s written above them (or to a merged "
                            "cell), fill the column",
                            c.empty, h, h, h),
                        false, c.col});
  }
}

std::vector<size_t> SampleKeyColumns(const GridRow& header, const SurveyReading& how, Layout layout) {
  std::vector<size_t> ids;
  const SampleColumns sampleColumns(how);
  for (size_t i = 0; i < header.cells.size(); ++i) {
    if (sampleColumns.Has(header.cells[i])) ids.push_back(i);
  }
  if (layout == Layout::kMatrix && ids.empty() && !header.cells.empty() && Trim(header.cells[0]).empty()) {
    ids.push_back(0);
  }
  if (!how.poolBy.empty()) {
    std::vector<size_t> pooled;
    for (size_t i : ids) {
      const std::string key = ColumnKey(header.cells[i]);
      for (const std::string& p : how.poolBy) {
        if (ColumnKey(p) == key) {
          pooled.push_back(i);
          break;
        }
      }
    }
    ids = std::move(pooled);
  }
  return ids;
}
