// The results of `vegmatch classify`: the tidy rows of a scored sample, its
// species lists and its habitats, and where results go (a file or standard
// output) through a writer that never leaves half a sample.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "analyses/confidence.h"
#include "analyses/indicators.h"
#include "outputs/survey_report.h"
#include "outputs/units.h"
#include "common/common.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// A code of the tables without its blanks ("CG3a").
std::string Compact(const char* s);

// What the scoring of one sample gives the survey outputs, worked out on the
// scoring thread that scored it.
struct SampleSummary {
  Confidence confidence{};
  IndicatorMeans indicators;
  ReportSample report;  // filled when a report is written
};

// The columns of the tidy results and what their rows hold.
struct TidyColumns {
  std::vector<std::string> habitats;  // classification keys, in the order asked; empty: none
  bool indicators = false;            // indicator values beside the unit's
  int16_t fits = 5;                   // ranks written per sample
  RankBy rankBy = RankBy::kConsensus;  // the ranking the rows are in
};

// The tidy results: one row per sample and rank, every row the same columns.
// Each row starts with the sample's name in full and its identifying fields
// (one column per column that names the samples of the inputs).
struct TidyWriter {
  TidyColumns opt;
  const RefData& ref;
  const UnitInfo& info;
  std::vector<std::string> idHeaders;  // the identifying columns of the inputs
  bool fileColumn = false;             // the first of them is the input's name
  const IndicatorTables* indicators = nullptr;  // the units' indicator values (--indicators)

  // The header line of the results, of the species lists and of the habitats.
  std::string Header() const;
  std::string ListsHeader() const;
  std::string HabitatsHeader() const;
  // The first fields of a sample's rows: its name in full and its identifying fields.
  std::string Identity(const SampleState& sample, const SampleInput& input) const;
  // The rows of a scored sample, appended to out.
  // `summary`: the confidence of the first place (and the indicator values,
  // with --indicators) that every row of the sample carries.
  void Rows(const SampleState& sample, const std::string& identity, const ScoringState& sc, int16_t nAnalysisType,
            const SampleSummary& summary, std::string& out) const;
  // The matching analysis of every rank: one row per species and list.
  void SpeciesLists(const SampleState& sample, const std::string& identity, const ScoringState& sc,
                    std::string& out) const;
  // The habitat correspondences of every rank that names a unit, one row each:
  // those of the classifications of --habitats, or all when it is not given.
  void Habitats(const std::string& identity, const ScoringState& sc, std::string& out) const;
};

// Where results go: a file, or standard output (the process's own when the
// console is the process's, else the console's stream, through a temporary
// file). A file is written beside its final name and renamed into place when
// the run ends well: a failed or killed run leaves an earlier file untouched.
struct Sink {
  Sink() = default;
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;
  // A sink never closed (a run stopped by an error) leaves nothing beside its final name.
  ~Sink();
  File file;
  bool toConsole = false;
  bool toMemory = false;  // a temporary file read back at the end (workbooks)
  std::string path;       // the final name
  std::string temp;       // the name written, beside it
};
bool OpenSink(Console& con, const std::string& path, Sink& sink);
// A temporary file whose text is read back at the end.
bool OpenMemorySink(Sink& sink);
// The text written to a memory sink.
bool ReadSinkText(Sink& sink, std::string& text);
// Closes the sink: copies a temporary file to the console, or renames the file
// written into place (`keep`) or removes it. False when writing failed.
bool CloseSink(Console& con, Sink& sink, bool keep = true);

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
