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
  if (std::fclose(fp) != 0) con.err << "vegmatch: error closing the " << what << " file\n";
  fp = nullptr;
}

}  // namespace

void CloseRunFiles(Console& con, RunSettings& rs) {
  CloseOne(con, rs.fpDataFile, "data");
  CloseOne(con, rs.fpRecordFile, "record");
  CloseOne(con, rs.fpResults, "results");
}
