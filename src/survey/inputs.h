// The inputs of `vegmatch classify` and `vegmatch names` as samples of records:
// a survey exported as CSV (one row per species record), or a block file (the
// data-file format of the typed run). Every input becomes SampleInputs whose
// records carry the name as written, the dictionary row it resolved to, the
// frequency and cover, and the file and line they stand on.
#pragma once

#include <climits>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "survey/covers.h"
#include "tables/csv.h"
#include "tables/grid.h"
#include "survey/layouts.h"
#include "tables/reader.h"
#include "names/resolver.h"
#include "sample/sample.h"

// How inputs become records.
struct BlockRules {
  bool presence = false;  // no cover needed: a nominal cover is given
  // Names are looked up as the dictionary entry they resolve to (null: by the
  // first two words as written, which is all the typed run's lookup reads).
  const NameResolver* resolver = nullptr;
  bool rewriteBlockNames = false;  // block lines too, not only CSV names
  bool strict = false;  // a line whose cover is a word that is no number is left out
  bool sumRepeats = false;  // a species recorded again in a sample adds its cover
  bool sayRepeats = true;   // say the species a sample records more than once
  bool checkCovers = true;  // say when the word read as a cover is no number
};

// The cover a presence record is given (percent).
constexpr const char* kPresenceCover = "5";

// ---- surveys ------------------------------------------------------------------------
// The samples of each combination of the `poolBy` identifying columns pooled
// into one frequency sample: frequency = the samples holding the species,
// maximum frequency = the samples pooled, cover = the mean of the covers given.
// The table is then named by those columns alone. False (with `error`) when a
// column is not one that names the samples.
bool PoolSamples(SurveyTable& table, const std::vector<std::string>& poolBy, std::string& error);

// The survey samples of input `file` as records, appended to `out`: each record
// is taken directly, its name looked up as the rules say; a record with no name
// or an overlong frequency is refused. The texts the records view are kept in
// `store`.
void AppendSurveyInputs(const std::vector<SurveySample>& samples, const BlockRules& rules, int file,
                        TextStore& store, std::vector<SampleInput>& out, std::vector<InputProblem>& problems);

// Says, once per sample from `from` on, the species it records more than once
// and what is done with them (summed, or the last taken).
void SayRepeatedSpecies(const std::vector<SampleInput>& samples, size_t from, bool summed,
                        std::vector<InputProblem>& problems);

// ---- block files ------------------------------------------------------------------------
// The samples of block file `file`, appended to `out`, read line by line as the
// typed data-file run reads them (a line longer than 79 characters goes on as
// the next line; a byte-order mark is passed over at the start of the first
// input). More kindly than the typed run: tabs part words as blanks do, a line
// of white space alone ends a sample, a cover written with a decimal comma is
// read as with a point; a species line whose word read as the cover is no
// number (an authority such as "L.") is said; for presence data a name alone
// gets a nominal cover; with a resolver and rewriteBlockNames, names are looked
// up as for CSV. The records view `text` (which must outlive them) or `store`.
void AppendBlockInputs(std::string_view text, const BlockRules& rules, int file, bool firstInput,
                       TextStore& store, std::vector<SampleInput>& out, std::vector<InputProblem>& problems);
// A line of a block file, without its line feed, and its number.
struct TextLine {
  long number;
  std::string_view text;
};
// The same for lines of an input read in parts, each part ending between
// samples: the lines view `held` (which outlives the records); `endsInput`: the
// last part.
void AppendBlockLines(const std::vector<TextLine>& lines, std::string_view held, bool endsInput,
                      const BlockRules& rules, int file, TextStore& store, std::vector<SampleInput>& out,
                      std::vector<InputProblem>& problems);

// The words a line names a species by, the dictionary row they stand for when
// the resolver found one (0 otherwise), and the note of the name's status that
// its records carry (NoteOfStatus).
std::string LookupWords(const BlockRules& rules, std::string_view written, int* row = nullptr,
                        uint8_t* note = nullptr);
// A record whose name's note says it names no taxon is left out of its sample.
inline bool IsLeftOut(uint8_t note) { return note != 0 && StatusOfNote(note) == NameStatus::kNotTaxon; }

// ---- the inputs of a run ------------------------------------------------------------------
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

// "file:line" of a source position (the file alone for line 0; nothing for no file).
std::string WhereText(const std::vector<InputFile>& files, const SourcePos& where);

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

// Messages counted by kind: the first ten of each kind are said, then how many
// more there were.
class ProblemCounter {
 public:
  static constexpr long kSaidPerKind = 10;
  // `all` (--all-problems): every one of each kind is said.
  explicit ProblemCounter(bool all = false) : limit_(all ? LONG_MAX : kSaidPerKind) {}
  // How many of each kind are said.
  long Limit() const { return limit_; }
  // True when this message is to be said; `kind` null: the text without its
  // numbers and quoted parts.
  bool Take(const std::string& what, const char* kind = nullptr);
  // One line per kind that went past the limit: how many more, like which.
  std::vector<std::string> Beyond() const;

 private:
  struct Kind {
    std::string first;
    long count;
  };
  long limit_;
  std::vector<Kind> kinds_;
  std::map<std::string, size_t> index_;
};

// What sample entry says about the records it takes, said as FILE:LINE: what;
// unknown names are kept and said once per file at the end, with their lines:
// the first ten names with the first hundred lines of each, then how many more.
class InputReporter : public EntryObserver {
 public:
  static constexpr size_t kPlacesShown = 100;
  // `all` (--all-problems): every problem and every unknown name said, each with
  // all its lines.
  InputReporter(Console& con, const std::vector<InputFile>& files, Tally& tally, bool all = false)
      : counter_(all),
        placesShown_(all ? SIZE_MAX : kPlacesShown),
        con_(con),
        files_(files),
        tally_(tally) {}
  void LineProblem(const SourcePos& where, const SampleRecord* rec, const std::string& what, bool refused,
                   bool quoteLine) override;
  void UnknownName(const SampleRecord& rec) override;
  // A record whose name has a note (NoteOfStatus): kept to be said at the end.
  void NotedName(const SampleRecord& rec);
  // The unknown names said, with the lines they stand on and what they may
  // have meant (they were scored as new species); then the names of each
  // noted status with what was done with them.
  void SayUnknownNames(const NameResolver& resolver);
  // How many more of each kind of problem there were past the first ten.
  void SayBeyond();

 private:
  // A name said with its places: the first kPlacesShown of its records.
  struct NamePlaces {
    int file;
    std::string written;
    std::vector<SourcePos> where;
    long records = 0;
  };
  // The names of a kind: the first ProblemCounter::kSaidPerKind, then the
  // others by a hash of file and name.
  struct NamesOfKind {
    std::vector<NamePlaces> said;
    std::map<std::pair<int, std::string>, size_t> index;
    std::unordered_set<uint64_t> beyond;
    long beyondRecords = 0;
  };
  static constexpr uint8_t kUnknownNote = 0;  // unknown names come first
  void Keep(NamesOfKind& kind, const SampleRecord& rec);
  long UnknownCount() const;
  std::string PlacesOf(const NamePlaces& u) const;
  ProblemCounter counter_;  // also how many names of each kind are said
  size_t placesShown_;
  Console& con_;
  const std::vector<InputFile>& files_;
  Tally& tally_;
  std::map<uint8_t, NamesOfKind> names_;  // by note
};

// A part of a table read into samples, on a thread of its own: it shares
// nothing that changes but what it is given.
struct TablePart {
  SampleBatch batch;
  Grid grid;  // its rows, handed back for their room
  std::vector<InputProblem> problems;
  CoverScaleSeen seen;
  EmptyFieldCheck empty;
  std::string error;  // the part could not be read: said at the header's line
};

// An input being read (the stream's own).
struct InputStream::Source {
  enum class Kind {
    kRefused,
    kBlocks,
    kTable,  // a long or matrix table, read a part at a time
    kWhole,  // a wide table or a workbook, read whole when opened
  };
  struct FileCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
  };
  // Rows of one sample (or pooled group) while its last row is still to come.
  struct Pending {
    std::vector<GridRow> rows;
    bool complete = false;
  };

  size_t index = 0;  // in the run's files
  Kind kind = Kind::kRefused;
  std::unique_ptr<std::FILE, FileCloser> fp;
  std::unique_ptr<RecordReader> reader;
  std::string layoutText;
  std::vector<size_t> placeOf;  // the run's column of each identifying column (SIZE_MAX: none)
  bool started = false;
  bool firstInput = false;
  bool failed = false;  // refused part way: said already
  // A table read a part at a time: its header, layout and the columns a row's
  // sample is told by; the last row of each sample (from a first reading).
  GridRow header;
  char delim = ',';
  Layout layout = Layout::kAuto;
  std::vector<std::string> tableIdHeaders;  // before pooling
  std::vector<size_t> keyColumns;
  bool indexed = false;
  std::unordered_map<uint64_t, uint64_t> lastRow;  // by key hash
  std::deque<Pending> pending;  // in order of first row
  std::unordered_map<uint64_t, uint64_t> inFlight;  // key hash -> place in pending + popped
  uint64_t popped = 0;
  uint64_t rowNo = 0;
  bool firstPart = true;
  std::vector<GridRow> spare;  // rows read before, their cells' room used again
  bool rowsDone = false;       // every row gathered into parts
  std::future<TablePart> reading;  // the part being read into samples
  // A table read whole, its samples ready.
  SurveyTable whole;
  std::vector<InputProblem> wholeProblems;
  // Said once per input, at its end.
  ProblemCounter counter;
  CoverScaleSeen seen;
  EmptyFieldCheck empty;
  long samples = 0;
  long records = 0;
};
