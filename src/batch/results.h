// The results of `vegmatch classify`: the tidy rows of a scored sample and its
// species lists, and where results go (a file or standard output) through a
// writer that never leaves half a sample.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "batch/options.h"
#include "batch/units.h"
#include "common/common.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// The tidy results: one row per sample and rank, every row the same columns.
struct TidyWriter {
  const ClassifyOptions& opt;
  const RefData& ref;
  const UnitInfo& info;

  // The header line of the results.
  std::string Header() const;
  // The rows of a scored sample, appended to out.
  void Rows(const SampleState& sample, const ScoringState& sc, int16_t nAnalysisType, std::string& out) const;
  // The matching analysis of every rank: one row per species and list.
  void SpeciesLists(const SampleState& sample, const ScoringState& sc, std::string& out) const;
};

// Where the results go: a file, or standard output (the process's own when the
// console is the process's, else the console's stream, through a temporary file).
struct Sink {
  File file;
  bool toConsole = false;
};
bool OpenSink(Console& con, const std::string& path, Sink& sink);
// Closes the sink (copying a temporary file to the console); false when writing failed.
bool CloseSink(Console& con, Sink& sink);

// The rows of each sample, written through a large buffer. When writing fails,
// the file is cut back to the end of the last sample it holds whole, so the
// results never end inside a row.
class RowWriter {
 public:
  explicit RowWriter(File& file);
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;
  void Add(const std::string& rows);
  // Writes what is left; false when some rows could not be written.
  bool Finish();

 private:
  static constexpr size_t kBufferSize = 1 << 20;
  void Fail();
  std::FILE* fp_;
  off_t given_ = 0;
  std::vector<off_t> ends_;
  bool failed_ = false;
};
