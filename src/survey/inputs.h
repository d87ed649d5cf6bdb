// The inputs of `vegmatch classify` and `vegmatch names`, read as a stream of
// parts of samples of records. The kinds of input read, told apart by content
// unless given:
// - CSV (or tab- or semicolon-separated) surveys in the long layout (one row
//   per species record), the wide layout (one column per sample) and the
//   matrix layout (one row per sample, one column per species);
// - workbooks (.xlsx), a sheet read as a table in any of those layouts;
// - block files, the data-file format of the typed run (survey/blocks.h).
// Every input becomes SampleInputs whose records carry the name as written,
// the dictionary row it resolved to, the frequency and cover, and the file and
// line they stand on. InputStream is implemented in two files: inputs.cpp
// opens the inputs, tells their kinds and reads block files; table_parts.cpp
// reads tables (the header, the first reading of a long or matrix table, the
// parts read on a thread of their own, and a table read whole).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "console/console.h"
#include "names/resolver.h"
#include "sample/sample.h"
#include "survey/layouts.h"
#include "survey/problems.h"
#include "survey/survey.h"
#include "tables/grid.h"

// How the kind of an input is told: by content, or given.
enum class InputKind { kAuto, kBlocks, kCsv };

// How the inputs of a run are read and what is said of them.
struct InputRules {
  std::vector<std::string> files;  // empty or "-": standard input
  InputKind input = InputKind::kAuto;
  Layout layout = Layout::kAuto;        // kAuto: told by content
  std::vector<std::string> sampleCols;  // the columns that name the samples; empty: found by name
  std::vector<std::string> poolBy;      // identifying columns pooled into one sample; empty: none
  std::string sheet;                    // a workbook's sheet; empty: the first
  int16_t nCoverScale = 0;              // a code of the cover-scale table (CoverScales)
  bool presence = false;                // the cover fields hold nothing that counts
  bool strict = false;                  // a cover that is no number refuses its record
  bool allProblems = false;             // every problem said, not the first ten of each kind
  bool quiet = false;                   // no count of what each input held
};

// The kind of the message that says what an input held ("N samples read (...)"),
// which a caller that lists problems leaves out.
inline constexpr const char kSamplesReadKind[] = "samples read";

// An input as given, and what is known of it once opened.
struct InputFile {
  std::string name;       // as given; "-" for standard input
  bool noSample = false;  // refused, or already said to hold no sample
  std::string sheet;      // a workbook's sheet, read as a table: cells are named SHEET!CELL
  std::vector<std::string> idHeaders;  // the columns that name its samples
};

// Counts kept for the summary and the exit status.
struct Tally {
  long samples = 0;
  long records = 0;
  long unknownNames = 0;
  long refused = 0;
  long warnings = 0;
  bool inputFailed = false;
};

// The inputs of a run and the columns that name their samples.
struct RunInputs {
  std::vector<InputFile> files;  // by file number - 1
  // The columns that name the samples of every input, each once (by its key), in
  // order of first appearance; with several inputs, the input's name first.
  std::vector<std::string> idHeaders;
  bool fileColumn = false;  // idHeaders[0] is the input's name
};

// A part of an input as samples of records, their ids in the columns of the
// run, with the texts the records view.
struct SampleBatch {
  std::vector<SampleInput> samples;
  TextStore store;
  std::string text;  // the block lines the records view
};

// Every input of a run read as a stream of parts, in input order, so that
// memory grows with the largest sample and the parts in flight, not with the
// inputs:
// - a block file is read a part at a time, each ending between samples;
// - a long or matrix table is read twice: once to find the last row of each
//   sample (its rows may be scattered through the file), then a part at a time,
//   each holding whole samples in order of first appearance;
// - a wide table or a workbook is read whole (a wide table holds a column per
//   sample; a workbook is compressed as one).
// Standard input, and any input that cannot be read twice, is first copied to
// a temporary file. A record longer than any real one is passed over and said
// once. What is refused or warned about is said as each part is read, the
// first ten of each kind per input; inputs that cannot be read or hold no
// sample are said and mark the tally.
// Samples of a part, at most (a part of a table also ends past kPartRows rows).
constexpr size_t kPartSamples = 512;
constexpr size_t kPartRows = 1 << 14;

class InputStream {
 public:
  InputStream(Console& con, const InputRules& rules, Tally& tally);
  ~InputStream();
  InputStream(const InputStream&) = delete;
  InputStream& operator=(const InputStream&) = delete;

  // Opens every input and reads what tells its kind: for a table, its header,
  // layout and the columns that name its samples.
  void Open();
  const RunInputs& Inputs() const { return run_; }
  // Whether some input is read as a table (its names are looked up as surveys write them).
  bool AnyTable() const;
  // The next part, read with `rules`; null when every input is read.
  std::shared_ptr<SampleBatch> Next(const BlockRules& rules);

 private:
  struct Source;
  // Opening: false (said) when the input cannot be read or is refused whole.
  bool OpenSource(Source& src);
  bool OpenWorkbook(Source& src);
  bool OpenTable(Source& src);
  bool ReadWhole(Source& src, const Grid& grid);
  // The last row of each sample of a long or matrix table, read before its parts.
  bool Index(Source& src);
  // The next part: false when it was the input's last.
  bool NextOfBlocks(Source& src, const BlockRules& rules, SampleBatch& batch);
  bool NextOfTable(Source& src, const BlockRules& rules, SampleBatch& batch);
  // The rows of the next part of a long or matrix table, whole samples in
  // order of their first row; false when it is the last.
  bool GatherPart(Source& src, Grid& grid, std::vector<InputProblem>& problems);
  void AppendTable(Source& src, const SurveyTable& table, const BlockRules& rules, SampleBatch& batch,
                   std::vector<InputProblem>& problems);
  void SayLongRecords(Source& src, std::vector<InputProblem>& problems);
  void Say(Source& src, const std::vector<InputProblem>& problems);
  // What is said once an input is read: the scale, empty fields, counts.
  void End(Source& src);
  void JoinIdentifyingColumns();
  std::string Where(const Source& src, long line, int col = -1) const;
  // Says a message at a line of the input (0: the input as a whole).
  void SayAt(const Source& src, long line, const std::string& what, const char* kind = nullptr);

  Console& con_;
  const InputRules& opt_;
  Tally& tally_;
  RunInputs run_;
  // The resolver the parts of tables are read with, on their thread: before
  // the sources, so that it outlives a part still being read when they go.
  std::unique_ptr<NameResolver> partResolver_;
  std::vector<std::unique_ptr<Source>> sources_;
  size_t current_ = 0;
};
