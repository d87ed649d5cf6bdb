// The package's door into the engine: a batch command run in-process with its
// messages kept, a data frame written as the CSV the engine reads, the CSV it
// writes read back as columns of text, and the tables' units and habitat
// correspondences. Nothing here scores or reads a sample itself: the R side
// hands the engine what `vegmatch classify` would read, so the results are
// that command's.
#include <Rcpp.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch.h"
#include "batch/csv.h"
#include "batch/layouts.h"
#include "batch/units.h"

namespace {

// A cell of a column as the CSV holds it: empty for NA; numbers as R prints
// them to 15 significant digits; a factor by its level.
std::string CellText(SEXP column, R_xlen_t row) {
  char buf[64];
  switch (TYPEOF(column)) {
    case STRSXP: {
      SEXP s = STRING_ELT(column, row);
      return s == NA_STRING ? std::string() : std::string(Rf_translateCharUTF8(s));
    }
    case LGLSXP: {
      const int v = LOGICAL(column)[row];
      return v == NA_LOGICAL ? std::string() : (v != 0 ? "TRUE" : "FALSE");
    }
    case INTSXP: {
      const int v = INTEGER(column)[row];
      if (v == NA_INTEGER) return std::string();
      if (Rf_isFactor(column)) {
        SEXP levels = Rf_getAttrib(column, R_LevelsSymbol);
        if (v < 1 || v > Rf_length(levels)) return std::string();
        return Rf_translateCharUTF8(STRING_ELT(levels, v - 1));
      }
      std::snprintf(buf, sizeof buf, "%d", v);
      return buf;
    }
    case REALSXP: {
      const double v = REAL(column)[row];
      if (ISNAN(v)) return std::string();
      std::snprintf(buf, sizeof buf, "%.15g", v);
      return buf;
    }
    default:
      Rcpp::stop("a column of a type that cannot be written (%s)", Rf_type2char(TYPEOF(column)));
  }
}

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
  return Rcpp::List::create(Rcpp::Named("status") = status, Rcpp::Named("out") = out.str(),
                            Rcpp::Named("err") = err.str());
}

// Line ends as the engine's reader counts them: LF, CR LF or a lone CR.
static long LineEnds(std::string_view text) {
  long n = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) ++n;
  }
  return n;
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
      AppendCsvField(line, CellText(columns[c], r));
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

// Reads a CSV file the engine wrote: a named list of character columns.
// [[Rcpp::export(.vm_read_csv)]]
Rcpp::List VmReadCsv(std::string path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) Rcpp::stop("%s: cannot be read", path);
  std::ostringstream text;
  text << file.rdbuf();
  CsvTable table;
  std::string error;
  if (!ParseCsv(text.str(), table, error)) Rcpp::stop("%s: %s", path, error);
  const size_t cols = table.header.size();
  Rcpp::List out(cols);
  for (size_t c = 0; c < cols; ++c) {
    Rcpp::CharacterVector column(table.rows.size());
    for (size_t r = 0; r < table.rows.size(); ++r) {
      const std::vector<std::string>& f = table.rows[r].fields;
      const std::string& cell = c < f.size() ? f[c] : std::string();
      SET_STRING_ELT(column, static_cast<R_xlen_t>(r), Rf_mkCharLenCE(cell.data(), static_cast<int>(cell.size()), CE_UTF8));
    }
    out[static_cast<R_xlen_t>(c)] = column;
  }
  Rcpp::CharacterVector header(cols);
  for (size_t c = 0; c < cols; ++c) header[static_cast<R_xlen_t>(c)] = Rcpp::String(table.header[c], CE_UTF8);
  out.attr("names") = header;
  return out;
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
