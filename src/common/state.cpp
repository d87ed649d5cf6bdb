#include "common/state.h"

#include <cstdio>
#include <ostream>

std::unique_ptr<AppState> NewAppState() {
  // Value-initialisation zero-fills every table, count and setting.
  return std::unique_ptr<AppState>(new AppState());
}

namespace {

void CloseOne(Console& con, std::FILE*& fp, const char* what) {
  if (fp == nullptr) return;
  // A write that failed earlier leaves the error flag set; the close flushes the rest.
  bool failed = std::ferror(fp) != 0;
  if (std::fclose(fp) != 0) failed = true;
  if (failed) con.err << "vegmatch: error writing or closing the " << what << " file\n";
  fp = nullptr;
}

}  // namespace

void CloseRunFiles(Console& con, RunSettings& rs) {
  CloseOne(con, rs.fpDataFile, "data");
  CloseOne(con, rs.fpRecordFile, "record");
  CloseOne(con, rs.fpResults, "results");
}
