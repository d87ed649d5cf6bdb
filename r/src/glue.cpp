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
#include <cstring>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "batch/batch.h"
#include "tables/csv.h"
#include "survey/layouts.h"
#include "common/reader.h"
#include "outputs/units.h"
#include "common/common.h"

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

// A CSV text the engine wrote, read a record at a time into its fields: views
// of the text itself where a record holds no quote (nearly all do not), else of
// the fields as RFC 4180 reads them.
class CsvRecords {
 public:
  CsvRecords(std::string_view csv, const std::string& name) : name_(name), reader_(csv, RecordReader::Kind::kCsv) {}
  // The next record's fields, valid until the next call; false at the end.
  bool Next(std::vector<std::string_view>& fields) {
    std::string_view record;
    long line = 0;
    while (reader_.Next(record, line)) {
      if (record.empty()) continue;
      fields.clear();
      if (record.find('"') == std::string_view::npos) {
        for (size_t at = 0;;) {
          const size_t comma = record.find(',', at);
          fields.push_back(record.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
          if (comma == std::string_view::npos) break;
          at = comma + 1;
        }
        return true;
      }
      if (ParseCsvRecord(record, ',', quoted_)) {
        fields.assign(quoted_.begin(), quoted_.end());
        return true;
      }
    }
    if (reader_.UnclosedQuote() != 0 || !reader_.TakeLong().empty()) Rcpp::stop("%s: could not be read whole", name_);
    return false;
  }

 private:
  std::string name_;
  RecordReader reader_;
  std::vector<std::string> quoted_;
};

// The value of a field as the engine writes a number (digits with a point, a
// sign, an exponent; no "inf", "nan" or hexadecimal words): false when it is
// none. An empty field is NA.
bool NumberOf(std::string_view f, double& value) {
  value = NA_REAL;
  if (f.empty()) return true;
  const size_t start = f[0] == '-' ? 1 : 0;
  if (start == f.size() || ((f[start] < '0' || f[start] > '9') && f[start] != '.')) return false;
  const std::from_chars_result r = std::from_chars(f.data(), f.data() + f.size(), value, std::chars_format::general);
  return r.ec == std::errc() && r.ptr == f.data() + f.size();
}

// Whether an R string holds the text of a field.
bool Same(SEXP s, std::string_view f) {
  return static_cast<size_t>(LENGTH(s)) == f.size() && std::memcmp(CHAR(s), f.data(), f.size()) == 0;
}

// The strings of a text column kept to be used again.
constexpr size_t kStringsKept = 4096;

// A CSV text the engine wrote (`name` in messages) as a named list of columns,
// each as numbers where every field is one (an empty field NA), else, and for
// the columns named in `text`, as text.
Rcpp::List ColumnsOf(std::string_view csv, const std::string& name, const std::vector<std::string>& text) {
  // As many rows as lines after the header, unless a quoted field holds a line end.
  R_xlen_t lines = csv.empty() || csv.back() == '\n' ? 0 : 1;
  for (const char* p = csv.data(); (p = static_cast<const char*>(std::memchr(p, '\n', csv.data() + csv.size() - p)));
       ++p) {
    ++lines;
  }
  const R_xlen_t most = std::max<R_xlen_t>(lines - 1, 0);
  std::vector<std::string_view> fields;
  std::vector<bool> numeric;
  for (;;) {
    CsvRecords in(csv, name);
    if (!in.Next(fields)) Rcpp::stop("%s: empty", name);
    const std::vector<std::string> header(fields.begin(), fields.end());
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
    // takes the same string: R's own lookup of a string costs more. The keys
    // are the strings' own characters, held by the column.
    std::vector<std::unordered_map<std::string_view, SEXP>> seen(cols);
    R_xlen_t rows = 0;
    bool retyped = false;
    for (; !retyped && rows < most && in.Next(fields); ++rows) {
      fields.resize(std::max(fields.size(), cols));
      for (size_t c = 0; c < cols; ++c) {
        const std::string_view f = fields[c];
        if (numbers[c] != nullptr) {
          if (!NumberOf(f, numbers[c][rows])) {
            // Read again with this column as text (its fields so far are lost).
            numeric[c] = false;
            retyped = true;
          }
        } else if (rows > 0 && Same(STRING_ELT(texts[c], rows - 1), f)) {
          SET_STRING_ELT(texts[c], rows, STRING_ELT(texts[c], rows - 1));
        } else {
          const auto it = seen[c].find(f);
          SEXP s = it != seen[c].end() ? it->second : Rf_mkCharLenCE(f.data(), static_cast<int>(f.size()), CE_UTF8);
          SET_STRING_ELT(texts[c], rows, s);  // held by the column from here
          if (it == seen[c].end() && seen[c].size() < kStringsKept) {
            seen[c].emplace(std::string_view(CHAR(s), static_cast<size_t>(LENGTH(s))), s);
          }
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

// The messages of a run as a data frame: where and what as said, the input and
// the lines (comma-separated) they stand on, and their kind.
Rcpp::DataFrame MessagesOf(const MessageLog& log) {
  const std::vector<Message>& all = log.All();
  const R_xlen_t n = static_cast<R_xlen_t>(all.size());
  Rcpp::CharacterVector where(n), what(n), file(n), lines(n), kind(n);
  for (R_xlen_t i = 0; i < n; ++i) {
    const Message& m = all[static_cast<size_t>(i)];
    std::string at;
    for (long l : m.lines) at += (at.empty() ? "" : ",") + std::to_string(l);
    where[i] = Rcpp::String(m.where, CE_UTF8);
    what[i] = Rcpp::String(m.what, CE_UTF8);
    file[i] = Rcpp::String(m.file, CE_UTF8);
    lines[i] = at;
    kind[i] = Rcpp::String(m.kind, CE_UTF8);
  }
  return Rcpp::DataFrame::create(Rcpp::Named("where") = where, Rcpp::Named("what") = what,
                                 Rcpp::Named("file") = file, Rcpp::Named("lines") = lines,
                                 Rcpp::Named("kind") = kind, Rcpp::Named("stringsAsFactors") = false);
}

}  // namespace

// The columns of a CSV the engine writes ("results", "lists", "habitats",
// "synoptic", "names", "map") with the type of each: "text", "number", "whole"
// or "logical".
// [[Rcpp::export(.vm_columns)]]
Rcpp::CharacterVector VmColumns(std::string what) {
  const std::vector<ColumnSpec> columns = OutputColumns(what);
  if (columns.empty()) Rcpp::stop("no such output: %s", what);
  Rcpp::CharacterVector types(columns.size());
  Rcpp::CharacterVector names(columns.size());
  for (size_t i = 0; i < columns.size(); ++i) {
    types[static_cast<R_xlen_t>(i)] = FieldTypeWord(columns[i].type);
    names[static_cast<R_xlen_t>(i)] = columns[i].name;
  }
  types.attr("names") = names;
  return types;
}

// Runs `vegmatch COMMAND ARGS...` in this process: its exit status, and what it
// wrote on its output and error streams; with `results`, what it wrote on its
// output (the results, -o -) is CSV, read as ColumnsOf reads it.
// [[Rcpp::export(.vm_run)]]
Rcpp::List VmRun(std::string command, std::vector<std::string> args, bool results, std::vector<std::string> text) {
  std::vector<const char*> argv{command.c_str()};  // as the command line hands it on: its name first
  for (const std::string& a : args) argv.push_back(a.c_str());
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  MessageLog log;
  Console con(in, out, err, std::string(), &log);
  int status = 2;
  if (command == "classify") {
    status = ClassifyMain(static_cast<int>(argv.size()), argv.data(), con);
  } else if (command == "names") {
    status = NamesMain(static_cast<int>(argv.size()), argv.data(), con);
  } else {
    Rcpp::stop("no such command: %s", command);
  }
  Rcpp::List run = Rcpp::List::create(Rcpp::Named("status") = status, Rcpp::Named("err") = Rcpp::String(err.str(), CE_UTF8),
                                      Rcpp::Named("messages") = MessagesOf(log));
  if (!results) {
    run["out"] = Rcpp::String(out.str(), CE_UTF8);
  } else if (status == 0) {
    run["results"] = ColumnsOf(out.str(), "the results", text);
  }
  return run;
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
  File file(std::fopen(path.c_str(), "wb"));
  if (!file) Rcpp::stop("%s: cannot be written: %s", path, SystemReason());
  const auto put = [&file](const std::string& text) { std::fwrite(text.data(), 1, text.size(), file.get()); };
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
      put(line);
      line.clear();
    }
  }
  put(line);
  if (!file.Close()) Rcpp::stop("%s: could not be written: %s", path, SystemReason());
  return starts;
}

// Reads a CSV file the engine wrote (ColumnsOf).
// [[Rcpp::export(.vm_read_csv)]]
Rcpp::List VmReadCsv(std::string path, std::vector<std::string> text) {
  std::string csv;
  if (!ReadFileText(path, csv)) Rcpp::stop("%s: cannot be read", path);
  return ColumnsOf(csv, path, text);
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
  // The other columns of units.csv, as text, a field for each unit above.
  std::vector<size_t> kept;
  for (size_t c = 0; c < info.unitColumns.size(); ++c) {
    if (info.unitColumns[c] != "nvc_code") kept.push_back(c);
  }
  Rcpp::List fields(static_cast<R_xlen_t>(kept.size()));
  Rcpp::CharacterVector fieldNames(static_cast<R_xlen_t>(kept.size()));
  for (size_t k = 0; k < kept.size(); ++k) {
    Rcpp::CharacterVector column(static_cast<R_xlen_t>(code.size()), NA_STRING);
    for (size_t u = 0; u < code.size(); ++u) {
      auto it = info.unitFields.find(code[u]);
      if (it != info.unitFields.end()) column[static_cast<R_xlen_t>(u)] = Rcpp::String(it->second[kept[k]], CE_UTF8);
    }
    fields[static_cast<R_xlen_t>(k)] = column;
    fieldNames[static_cast<R_xlen_t>(k)] = Rcpp::String(info.unitColumns[kept[k]], CE_UTF8);
  }
  fields.attr("names") = fieldNames;
  return Rcpp::List::create(
      Rcpp::Named("units") = Rcpp::List::create(Rcpp::Named("nvc_code") = code, Rcpp::Named("community") = community,
                                                Rcpp::Named("sub_community") = sub),
      Rcpp::Named("unit_fields") = fields,
      Rcpp::Named("habitats") = Rcpp::List::create(
          Rcpp::Named("nvc_code") = hCode, Rcpp::Named("classification") = cls, Rcpp::Named("habitat_code") = hab,
          Rcpp::Named("habitat_name") = name, Rcpp::Named("relationship") = rel,
          Rcpp::Named("inherited_from") = from));
}
