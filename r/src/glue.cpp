// The package's door into the engine: a batch command run in-process with its
// messages kept, a data frame written as the CSV the engine reads, the CSV it
// writes read back as columns of text, and the tables' units and habitat
// correspondences. Nothing here scores or reads a sample itself: the R side
// hands the engine what `vegmatch classify` would read, so the results are
// that command's.
#include <Rcpp.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "batch/batch.h"
#include "batch/csv.h"
#include "batch/layouts.h"
#include "batch/reader.h"
#include "batch/units.h"

namespace {

// Appends a cell of a column as the CSV holds it: nothing for NA; numbers as R
// prints them, to 15 significant digits; a factor by its level.
void AppendCell(std::string& line, SEXP column, R_xlen_t row) {
  char buf[64];
  switch (TYPEOF(column)) {
    case STRSXP: {
      SEXP s = STRING_ELT(column, row);
      if (s != NA_STRING) AppendCsvField(line, Rf_translateCharUTF8(s));
      return;
    }
    case LGLSXP: {
      const int v = LOGICAL(column)[row];
      if (v != NA_LOGICAL) line += v != 0 ? "TRUE" : "FALSE";
      return;
    }
    case INTSXP: {
      const int v = INTEGER(column)[row];
      if (v == NA_INTEGER) return;
      if (Rf_isFactor(column)) {
        SEXP levels = Rf_getAttrib(column, R_LevelsSymbol);
        if (v >= 1 && v <= Rf_length(levels)) AppendCsvField(line, Rf_translateCharUTF8(STRING_ELT(levels, v - 1)));
        return;
      }
      line.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
      return;
    }
    case REALSXP: {
      const double v = REAL(column)[row];
      if (ISNAN(v)) return;
      line.append(buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr);
      return;
    }
    default:
      Rcpp::stop("a column of a type that cannot be written (%s)", Rf_type2char(TYPEOF(column)));
  }
}

// Line ends as the engine's reader counts them: LF, CR LF or a lone CR.
long LineEnds(std::string_view text) {
  long n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++n;
  }
  return n;
}

// A CSV file the engine wrote, read a record at a time into its fields.
class CsvRecords {
 public:
  explicit CsvRecords(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "rb")) {
    if (file_ == nullptr) Rcpp::stop("%s: cannot be read", path);
    reader_ = std::make_unique<RecordReader>(file_, RecordReader::Kind::kCsv);
  }
  ~CsvRecords() { std::fclose(file_); }
  CsvRecords(const CsvRecords&) = delete;
  CsvRecords& operator=(const CsvRecords&) = delete;
  // The next record's fields; false at the end.
  bool Next(std::vector<std::string>& fields) {
    std::string_view record;
    long line = 0;
    while (reader_->Next(record, line)) {
      if (ParseCsvRecord(record, ',', fields)) return true;
    }
    if (reader_->ReadFailed() || reader_->UnclosedQuote() != 0 || !reader_->TakeLong().empty()) {
      Rcpp::stop("%s: could not be read whole", path_);
    }
    return false;
  }

 private:
  std::string path_;
  std::FILE* file_;
  std::unique_ptr<RecordReader> reader_;
};

// A number as the engine writes one: digits with a point, a sign, an exponent;
// no "inf", "nan" or hexadecimal words. Empty: no value.
bool LooksNumeric(const std::string& f) {
  size_t i = f[0] == '-' ? 1 : 0;
  bool digits = false;
  for (; i < f.size(); ++i) {
    const char c = f[i];
    if (c >= '0' && c <= '9') {
      digits = true;
    } else if (c != '.' && c != 'e' && c != 'E' && !((c == '-' || c == '+') && (f[i - 1] == 'e' || f[i - 1] == 'E'))) {
      return false;
    }
  }
  return digits;
}

// The value of a field LooksNumeric took (NA for an empty one).
double NumberOf(const std::string& f) {
  if (f.empty()) return NA_REAL;
  double value = NA_REAL;
  const char* begin = f.data() + (f[0] == '+' ? 1 : 0);
  const std::from_chars_result r = std::from_chars(begin, f.data() + f.size(), value);
  return r.ec == std::errc() && r.ptr == f.data() + f.size() ? value : NA_REAL;
}

// Whether an R string holds the text of a field.
bool Same(SEXP s, const std::string& f) {
  return static_cast<size_t>(LENGTH(s)) == f.size() && std::memcmp(CHAR(s), f.data(), f.size()) == 0;
}

// The strings of a text column kept to be used again.
constexpr size_t kStringsKept = 4096;

}  // namespace

// Runs `vegmatch COMMAND ARGS...` in this process: its exit status, and what it
// wrote on its output and error streams.
// [[Rcpp::export(.vm_run)]]
Rcpp::List VmRun(std::string command, std::vector<std::string> args) {
  std::vector<const char*> argv{command.c_str()};  // as the command line hands it on: its name first
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err);
  int status = 2;
  if (command == "classify") {
    status = ClassifyMain(static_cast<int>(argv.size()), argv.data(), con);
  } else if (command == "names") {
    status = NamesMain(static_cast<int>(argv.size()), argv.data(), con);
  } else {
    Rcpp::stop("no such command: %s", command);
  }
  return Rcpp::List::create(Rcpp::Named("status") = status, Rcpp::Named("out") = Rcpp::String(out.str(), CE_UTF8),
                            Rcpp::Named("err") = Rcpp::String(err.str(), CE_UTF8));
}

// Writes the columns (atomic vectors of one length) as CSV with a header of
// `names`, every field quoted as RFC 4180 needs. Returns the line each row
// starts on, as the engine's messages give it (a field may hold line ends).
// [[Rcpp::export(.vm_write_csv)]]
Rcpp::IntegerVector VmWriteCsv(Rcpp::List columns, std::vector<std::string> names, std::string path) {
  if (static_cast<size_t>(columns.size()) != names.size()) Rcpp::stop("as many names as columns are needed");
  const R_xlen_t rows = columns.size() == 0 ? 0 : Rf_xlength(columns[0]);
  for (R_xlen_t c = 0; c < columns.size(); ++c) {
    if (Rf_xlength(columns[c]) != rows) Rcpp::stop("columns of different lengths");
  }
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) Rcpp::stop("%s: cannot be written", path);
  std::string line;
  for (size_t c = 0; c < names.size(); ++c) {
    if (c > 0) line += ',';
    AppendCsvField(line, names[c]);
  }
  long lineNo = 2 + LineEnds(line);  // the header's line, then the first row's
  line += '\n';
  Rcpp::IntegerVector starts(rows);
  for (R_xlen_t r = 0; r < rows; ++r) {
    const size_t begin = line.size();
    for (R_xlen_t c = 0; c < columns.size(); ++c) {
      if (c > 0) line += ',';
      AppendCell(line, columns[c], r);
    }
    starts[r] = static_cast<int>(lineNo);
    lineNo += 1 + LineEnds(std::string_view(line).substr(begin));
    line += '\n';
    if (line.size() > (1u << 20)) {
      file << line;
      line.clear();
    }
  }
  file << line;
  file.close();
  if (!file) Rcpp::stop("%s: could not be written", path);
  return starts;
}

// Reads a CSV file the engine wrote: a named list of columns, each as numbers
// where every field is one (an empty field NA), else, and for the columns
// named in `text`, as text.
// [[Rcpp::export(.vm_read_csv)]]
Rcpp::List VmReadCsv(std::string path, std::vector<std::string> text) {
  // At most as many rows as line ends.
  R_xlen_t most = 0;
  {
    std::ifstream file(path, std::ios::binary);
    if (!file) Rcpp::stop("%s: cannot be read", path);
    char buf[1 << 16];
    while (file.read(buf, sizeof buf) || file.gcount() > 0) {
      most += std::count(buf, buf + file.gcount(), '\n');
    }
  }
  std::vector<std::string> header;
  std::vector<std::string> fields;
  std::vector<bool> numeric;
  for (;;) {
    CsvRecords in(path);
    if (!in.Next(header)) Rcpp::stop("%s: empty", path);
    const size_t cols = header.size();
    if (numeric.empty()) {
      for (const std::string& h : header) numeric.push_back(std::find(text.begin(), text.end(), h) == text.end());
    }
    Rcpp::List out(cols);
    std::vector<double*> numbers(cols, nullptr);
    std::vector<SEXP> texts(cols, R_NilValue);
    for (size_t c = 0; c < cols; ++c) {
      if (numeric[c]) {
        Rcpp::NumericVector v(most);
        numbers[c] = v.begin();
        out[static_cast<R_xlen_t>(c)] = v;
      } else {
        Rcpp::CharacterVector v(most);
        texts[c] = v;
        out[static_cast<R_xlen_t>(c)] = v;
      }
    }
    // A text seen before in its column (a sample's ranks, a unit's names)
    // takes the same string: R's own lookup of a string costs more.
    std::vector<std::unordered_map<std::string, SEXP>> seen(cols);
    R_xlen_t rows = 0;
    bool retyped = false;
    for (; !retyped && rows < most && in.Next(fields); ++rows) {
      fields.resize(std::max(fields.size(), cols));
      for (size_t c = 0; c < cols; ++c) {
        const std::string& f = fields[c];
        if (numbers[c] != nullptr) {
          if (!f.empty() && !LooksNumeric(f)) {
            // Read again with this column as text (its fields so far are lost).
            numeric[c] = false;
            retyped = true;
          }
          numbers[c][rows] = NumberOf(f);
        } else if (rows > 0 && Same(STRING_ELT(texts[c], rows - 1), f)) {
          SET_STRING_ELT(texts[c], rows, STRING_ELT(texts[c], rows - 1));
        } else {
          const auto it = seen[c].find(f);
          SEXP s = it != seen[c].end() ? it->second : Rf_mkCharLenCE(f.data(), static_cast<int>(f.size()), CE_UTF8);
          SET_STRING_ELT(texts[c], rows, s);  // held by the column from here
          if (it == seen[c].end() && seen[c].size() < kStringsKept) seen[c].emplace(f, s);
        }
      }
    }
    if (retyped) continue;
    if (rows < most) {
      for (size_t c = 0; c < cols; ++c) {
        out[static_cast<R_xlen_t>(c)] = Rf_xlengthgets(out[static_cast<R_xlen_t>(c)], rows);
      }
    }
    Rcpp::CharacterVector names(cols);
    for (size_t c = 0; c < cols; ++c) names[static_cast<R_xlen_t>(c)] = Rcpp::String(header[c], CE_UTF8);
    out.attr("names") = names;
    return out;
  }
}

// What each column name says its column holds, as the survey reader takes it:
// site, year, group, quadrat, species, cover, frequency, layer or other.
// [[Rcpp::export(.vm_column_roles)]]
std::vector<std::string> VmColumnRoles(std::vector<std::string> names) {
  std::vector<std::string> roles;
  for (const std::string& n : names) {
    switch (RoleOfColumn(n)) {
      case ColumnRole::kSite: roles.push_back("site"); break;
      case ColumnRole::kYear: roles.push_back("year"); break;
      case ColumnRole::kGroup: roles.push_back("group"); break;
      case ColumnRole::kQuadrat: roles.push_back("quadrat"); break;
      case ColumnRole::kSpecies: roles.push_back("species"); break;
      case ColumnRole::kCover: roles.push_back("cover"); break;
      case ColumnRole::kFrequency: roles.push_back("frequency"); break;
      case ColumnRole::kLayer: roles.push_back("layer"); break;
      case ColumnRole::kOther: roles.push_back("other"); break;
    }
  }
  return roles;
}

// The units of the tables in `folder` with their names, and their habitat
// correspondences in long form (a sub-community's inherited ones marked, as the
// loader gives them).
// [[Rcpp::export(.vm_unit_info)]]
Rcpp::List VmUnitInfo(std::string folder) {
  UnitInfo info;
  std::string error;
  if (!LoadUnitInfo(folder, info, error)) Rcpp::stop("%s", error);
  std::vector<std::string> code, community, sub;
  for (const auto& [c, n] : info.names) {
    code.push_back(c);
    community.push_back(n.community);
    sub.push_back(n.subCommunity);
  }
  std::vector<std::string> hCode, cls, hab, name, rel, from;
  for (const auto& [c, links] : info.habitats) {
    for (const HabitatLink& l : links) {
      hCode.push_back(c);
      cls.push_back(l.classification);
      hab.push_back(l.code);
      name.push_back(l.name);
      rel.push_back(l.relationship);
      from.push_back(l.inheritedFrom);
    }
  }
  return Rcpp::List::create(
      Rcpp::Named("units") = Rcpp::List::create(Rcpp::Named("nvc_code") = code, Rcpp::Named("community") = community,
                                                Rcpp::Named("sub_community") = sub),
      Rcpp::Named("habitats") = Rcpp::List::create(
          Rcpp::Named("nvc_code") = hCode, Rcpp::Named("classification") = cls, Rcpp::Named("habitat_code") = hab,
          Rcpp::Named("habitat_name") = name, Rcpp::Named("relationship") = rel,
          Rcpp::Named("inherited_from") = from));
}
