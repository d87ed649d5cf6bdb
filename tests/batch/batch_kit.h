// Helpers of the tests of `vegmatch classify`: runs in-process and through the
// built binary, the bundled reference sets, and a small RFC 4180 reader of our
// own (so that the results are not read back by the reader under test).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "tables/csv.h"
#include "survey/inputs.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"
#include "support/testkit.h"

namespace batchtest {

struct Run {
  int status;
  std::string out;
  std::string err;
};

// `vegmatch classify ARGS` in-process, with `dir` as working folder and `input`
// as standard input.
inline Run Classify(const std::string& dir, const std::vector<std::string>& args,
                    const std::string& input = std::string()) {
  ScriptedConsole sc(input, dir);
  std::vector<const char*> argv{"classify"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  const int status = ClassifyMain(static_cast<int>(argv.size()), argv.data(), sc.con);
  return Run{status, sc.out.str(), sc.err.str()};
}

// Single quotes for the shell.
inline std::string Quoted(const std::string& s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += "'\\''";
    else q += c;
  }
  return q + "'";
}

// The built binary with the arguments, in `dir`; standard output and error are
// read back from files of the folder.
inline Run Binary(const TempDir& dir, const std::vector<std::string>& args,
                  const std::string& input = std::string(), const std::string& prefix = "") {
  dir.Write("stdin.txt", input);
  std::string command = "cd " + Quoted(dir.path()) + " && " + prefix + Quoted(VM_BINARY);
  for (const std::string& a : args) command += " " + Quoted(a);
  command += " <stdin.txt >stdout.txt 2>stderr.txt";
  const int status = RunCommand(command);
  return Run{status, dir.Read("stdout.txt"), dir.Read("stderr.txt")};
}

inline std::string DemoTables() { return ProjectDir() + "/data"; }
inline std::string NvcTables() { return ProjectDir() + "/data/nvc"; }

// The demonstration reference files and SAMP.txt in a folder.
inline void CopyDemoData(const TempDir& dir) {
  for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt", "SAMP.txt"}) {
    dir.CopyIn(ProjectDir() + "/data/" + f, f);
  }
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline size_t CountOf(const std::string& s, const std::string& what) {
  size_t n = 0;
  for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
  return n;
}

// A strict RFC 4180 reader: comma-separated, quoted fields with doubled quotes,
// line ends LF or CR LF. `ok` is false for a stray quote or an unclosed one.
struct Table {
  bool ok = true;
  std::vector<std::vector<std::string>> rows;
};
inline Table ReadRfc4180(const std::string& text) {
  Table t;
  size_t i = 0;
  const size_t n = text.size();
  while (i < n) {
    std::vector<std::string> row;
    for (;;) {
      std::string field;
      if (i < n && text[i] == '"') {
        ++i;
        for (;;) {
          if (i >= n) {
            t.ok = false;
            return t;
          }
          if (text[i] == '"') {
            if (i + 1 < n && text[i + 1] == '"') {
              field += '"';
              i += 2;
              continue;
            }
            ++i;
            break;
          }
          field += text[i++];
        }
        if (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r') t.ok = false;
      } else {
        while (i < n && text[i] != ',' && text[i] != '\n' && text[i] != '\r') {
          if (text[i] == '"') t.ok = false;
          field += text[i++];
        }
      }
      row.push_back(field);
      if (i < n && text[i] == ',') {
        ++i;
        continue;
      }
      if (i < n && text[i] == '\r') ++i;
      if (i < n && text[i] == '\n') ++i;
      break;
    }
    t.rows.push_back(row);
  }
  return t;
}

// The CSV text with columns [from, from + n) taken out of every row (the
// identifying columns of tidy results, to compare with results that have none).
inline std::string DropColumns(const std::string& csv, size_t from, size_t n) {
  std::string out;
  for (const std::vector<std::string>& row : ReadRfc4180(csv).rows) {
    std::string line;
    bool first = true;
    for (size_t i = 0; i < row.size(); ++i) {
      if (i >= from && i < from + n) continue;
      if (!first) line += ',';
      first = false;
      const bool quote = row[i].find_first_of(",\"\n\r") != std::string::npos;
      if (!quote) {
        line += row[i];
        continue;
      }
      line += '"';
      for (char c : row[i]) line += c == '"' ? std::string("\"\"") : std::string(1, c);
      line += '"';
    }
    out += line + "\n";
  }
  return out;
}

// The columns of the tidy results, in order.
inline const std::vector<std::string>& TidyColumns() {
  static const std::vector<std::string> kColumns = {
      "sample",    "rank",       "nvc_code",  "community", "sub_community", "mean_fit",
      "fit_1",     "fit_2",      "fit_3",     "fit_4",     "fit_class",     "eunis_code",
      "eunis_name", "species",   "species_matched", "tie"};
  return kColumns;
}
inline const std::string& TidyHeader() {
  static const std::string kHeader =
      "sample,rank,nvc_code,community,sub_community,mean_fit,fit_1,fit_2,fit_3,fit_4,fit_class,"
      "eunis_code,eunis_name,species,species_matched,tie";
  return kHeader;
}

// Index of a named column of a header row.
inline size_t Col(const std::vector<std::string>& header, const std::string& name) {
  for (size_t i = 0; i < header.size(); ++i) {
    if (header[i] == name) return i;
  }
  ADD_FAILURE() << "no column " << name;
  return 0;
}

}  // namespace batchtest
