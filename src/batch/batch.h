// The batch command line, `vegmatch classify`: every sample of one or more files
// (sample blocks, or a survey exported as CSV) scored with the engine of the typed
// run, without a question, into tidy CSV or into the typed run's own results file.
//
// Every input becomes sample blocks, the data-file format of the typed run, and is
// read by the same sample entry, so a survey written as CSV is scored exactly as
// the same samples written as blocks; the classic formats are the typed run's
// results file byte for byte.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <initializer_list>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "console/console.h"
#include "refdata/refdata.h"
#include "report/report.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// ---- options ----------------------------------------------------------------------
enum class InputKind { kAuto, kBlocks, kCsv };
// What the cover field of the inputs holds: covers on the cover scale, or nothing
// that counts (presence data: the names alone are scored).
enum class ScaleKind { kCover, kPresence };
enum class OutputFormat { kCsv, kClassicCsv, kClassicText };

// Every option of `vegmatch classify`, with its default from DefaultClassifyOptions.
struct ClassifyOptions {
  std::string tables;  // empty: the bundled NVC tables
  InputKind input;
  int16_t nCoverScale;    // a code of the cover-scale table (CoverScales)
  ScaleKind scale;
  int16_t nAnalysisType;  // 0: mixed, or composition for presence data
  int16_t nSpeciesGroupLimit;
  int16_t nFitsToOutput;
  OutputFormat format;
  std::string output;         // empty or "-": standard output
  std::string speciesLists;   // empty: none
  std::vector<std::string> habitats;  // classification keys, in the order asked
  std::string poolBy;         // empty: none
  RankBy rankBy;  // tidy results; the classic formats always rank by fit
  int jobs;       // threads that score samples; 0: one per core
  bool strict;
  bool quiet;
  std::vector<std::string> files;  // empty or "-": standard input
};
ClassifyOptions DefaultClassifyOptions();

// Exit statuses of `vegmatch classify`.
enum ClassifyStatus {
  kClassifyOk = 0,
  kClassifyInputFailed = 1,   // an input cannot be read or holds no sample; --strict refusals
  kClassifyUsage = 2,
  kClassifyTablesFailed = 3,
  kClassifyOutputFailed = 4,
};

namespace CLI {
class App;
}
// Parses the arguments of a batch command with its CLI11 description. Returns -1
// to go on, 0 after --help (printed), 2 after a usage error (said, with the usage
// on the error stream).
int ParseCommand(CLI::App& app, int argc, const char* const* argv, Console& con,
                 const char* command);
// The input kind an --input value names.
InputKind InputKindOf(const std::string& value);
// The options every command that reads inputs has: --tables and --input (whose
// default is said as `inputDefault`).
void AddTablesAndInputOptions(CLI::App& app, std::string& tables, std::string& input,
                              const char* inputDefault);

// Parses the arguments after "classify". Returns -1 to go on, or the exit status
// (0 after --help, 2 after a usage error, with the usage on the error stream).
int ParseClassifyOptions(int argc, const char* const* argv, Console& con, ClassifyOptions& opt);

// ---- CSV text -----------------------------------------------------------------------
// A table read from CSV text: the header's names, and every row with the line it
// starts on (a quoted field may hold line ends).
struct CsvRow {
  long line;
  std::vector<std::string> fields;
};
struct CsvTable {
  char delimiter;
  std::vector<std::string> header;
  std::vector<CsvRow> rows;
};

// The delimiter of a header line: the one of comma, semicolon and tab that occurs
// most often outside quotes, or 0 when none occurs.
char DetectDelimiter(std::string_view headerLine);

// RFC 4180 reading: quoted fields, "" inside quotes, line ends inside quotes;
// CR LF or LF; a UTF-8 byte-order mark skipped; blank lines skipped. The delimiter
// is detected from the header line. False (with the line in `error`) when a quote
// is never closed.
bool ParseCsv(std::string_view text, CsvTable& table, std::string& error);

// Appends one field to a CSV line, quoted when it holds the delimiter, a quote or
// a line end (quotes doubled), as RFC 4180 writes it.
void AppendCsvField(std::string& line, std::string_view field);

// ---- surveys: samples in any input --------------------------------------------------
// One species record of a survey, as written, with where it stands.
struct SurveyRecord {
  std::string species;
  std::string cover;      // as written; empty: present, no cover given
  std::string frequency;  // as written; empty: none
  long line;
};
struct SurveySample {
  std::string name;
  long line;  // where it was first seen
  int maxFreq;  // 0: cover data; pooled samples: the number of samples pooled
  std::vector<SurveyRecord> records;
};

// The columns of a survey CSV, found by name (case-insensitive, usual synonyms).
struct SurveyColumns {
  int sample = -1;
  int species = -1;
  int cover = -1;
  int frequency = -1;
  int pool = -1;
};
// The columns of a header; `poolBy` names the pooling column (empty: none).
SurveyColumns FindSurveyColumns(const std::vector<std::string>& header, const std::string& poolBy);

// True when a first line holds a sample and a species column name and a delimiter.
bool LooksLikeSurveyCsv(std::string_view firstLine);

// A problem with one line of an input, said as FILE:LINE: what.
struct InputProblem {
  long line;
  std::string what;
  bool refused;  // the row or line is left out (counts for --strict)
};

// The samples of a survey table, in order of first appearance (a sample's rows
// need not be adjacent). Rows without a sample or species, or (unless presence
// data) without a cover, are refused.
std::vector<SurveySample> SurveySamples(const CsvTable& table, const SurveyColumns& columns,
                                        bool presence, std::vector<InputProblem>& problems);

// The samples of each group of the pooling column as one frequency sample:
// frequency = the group's samples holding the species, maximum frequency = the
// number of samples in the group, cover = the mean of the covers given.
std::vector<SurveySample> PoolSamples(const CsvTable& table, const SurveyColumns& columns,
                                      const std::vector<SurveySample>& samples);

// ---- sample blocks --------------------------------------------------------------------
// Sample blocks for the sample entry of the typed run, with the input file, the
// source line and the species name as written of every line (line 0 for the
// blank lines put between samples).
//
// A text kept for each line, the texts one after another in one string: a large
// input has hundreds of thousands of lines, and a string of their own each cost
// more than reading the input (an allocation to make, move and free per line).
class LineTexts {
 public:
  explicit LineTexts(size_t emptyLines = 0) : starts_(emptyLines + 1, 0) {}
  size_t size() const { return starts_.size() - 1; }
  std::string_view operator[](size_t line) const {
    return std::string_view(text_).substr(starts_[line], starts_[line + 1] - starts_[line]);
  }
  void push_back(std::string_view s) {
    if (!s.empty()) text_.append(s.data(), s.size());
    starts_.push_back(text_.size());
  }
  void reserve(size_t lines, size_t bytes) {
    starts_.reserve(starts_.size() + lines);
    text_.reserve(text_.size() + bytes);
  }
  // Appends the other's lines from `first` on.
  void Append(const LineTexts& other, size_t first) {
    const size_t from = other.starts_[first];
    const size_t shift = text_.size() - from;
    text_.append(other.text_, from, std::string::npos);
    starts_.reserve(starts_.size() + other.size() - first);
    for (size_t k = first + 1; k < other.starts_.size(); ++k) starts_.push_back(other.starts_[k] + shift);
  }

 private:
  std::string text_;
  std::vector<size_t> starts_;  // line k is text_[starts_[k], starts_[k + 1])
};

struct BlockText {
  std::string text;
  std::vector<int> sourceFile;   // by line of text, from 1 (index 0 unused)
  std::vector<long> sourceLine;
  LineTexts writtenName;  // species lines only
  LineTexts sourceText;   // the line as the input holds it, where rewritten
  // The dictionary row the name resolved to, where the line names it by that
  // row's words (0 elsewhere): rows that share a short name are told apart by it.
  std::vector<int> resolvedRow;
  BlockText()
      : sourceFile(1, 0), sourceLine(1, 0), writtenName(1), sourceText(1), resolvedRow(1, 0) {}
};

class NameResolver;

// How inputs become blocks.
struct BlockRules {
  bool presence = false;  // no cover needed: a nominal cover is given
  // Names are written as the dictionary entry they resolve to (null: the first
  // two words as written, which is all the typed run's lookup reads).
  const NameResolver* resolver = nullptr;
  bool rewriteBlockNames = false;  // block lines too, not only CSV names
  bool strict = false;  // a line whose cover is a word that is no number is left out
  bool checkCovers = true;  // say when the word read as a cover is no number
};

// The cover a presence record is given (percent).
constexpr const char* kPresenceCover = "5";

// Appends the samples as blocks: header line, one "genus epithet [freq] cover"
// line per record, blank line.
void AppendSurveyBlocks(const std::vector<SurveySample>& samples, const BlockRules& rules,
                        int file, BlockText& out);
// Appends a block file line for line, then a blank line. A species line whose
// word read as the cover is no number (an authority such as "L.") is said; for
// presence data a name alone gets a nominal cover; with a resolver and
// rewriteBlockNames, names are rewritten as for CSV.
void AppendBlockFile(std::string_view text, const BlockRules& rules, int file, BlockText& out,
                     std::vector<InputProblem>& problems);
// The same, taking the text: where no line can grow (no names rewritten, no
// nominal covers) the lines are written over the text itself, which then
// becomes the block text when `out` holds none yet; `text` is left empty.
void TakeBlockFile(std::string& text, const BlockRules& rules, int file, BlockText& out,
                   std::vector<InputProblem>& problems);


// ---- species names as surveys write them -----------------------------------------------
// Diacritics and ligatures folded to ASCII; UTF-8 and Latin-1 input alike.
std::string FoldToAscii(std::string_view text);

// A name reduced to the words a lookup reads: lower-case ASCII, authorities,
// qualifiers (agg., s.l., cf. ...), infraspecific parts (subsp. X ...), layer
// marks ((c), (s), (g)), quotes and punctuation dropped; "sp."/"spp." or a genus
// alone give "genus sp"; a hybrid sign stays as "x".
struct NormalisedName {
  std::vector<std::string> words;
  std::string text;  // the words joined by blanks
};
NormalisedName NormaliseName(std::string_view written);

enum class NameStatus { kExact, kOlderName, kNormalised, kUnknown };
struct NameMatch {
  NameStatus status;
  int row;  // the dictionary row, 0 when unknown
  std::vector<std::string> lookupWords;  // the words a block line names it by
  NormalisedName normalised;
};

// Resolves written names through the dictionary: as written (the typed run's
// lookup), else by normalised full name (older names and the "= B. x aurata" form
// of hybrids included), else by the lookup key of the normalised words.
class NameResolver {
 public:
  // The folder of the reference files: the association table names the current
  // name of every code it uses, which tells older names apart.
  NameResolver(const RefData& ref, const std::string& folder);
  // The match is kept by the resolver (surveys repeat their names): the
  // reference holds as long as the resolver.
  const NameMatch& Resolve(std::string_view written) const;
  // Up to `most` dictionary names close to an unknown name (edit distance on the
  // normalised full name), then names of the same genus.
  std::vector<std::string> Suggest(std::string_view written, size_t most = 3) const;

 private:
  NameMatch ResolveUncached(std::string_view written) const;
  NameMatch ResolveByWords(std::string_view written) const;
  // kOlderName when the association table names the row's code otherwise, else kExact.
  NameStatus OlderOrExact(int row) const;
  void ReadCurrentNames() const;
  const RefData& ref_;
  std::string folder_;
  // Surveys repeat their names: each written name is resolved once.
  mutable std::unordered_map<std::string, NameMatch> cache_;
  mutable std::string key_;  // the name looked up, without a string made per lookup
  std::map<std::string, int> fullNames_;
  std::map<std::string, std::vector<int>> genusRows_;
  // The name the association table gives each code it uses, read at the first
  // status asked for.
  mutable std::map<int, std::string> currentNames_;
  mutable bool currentNamesRead_ = false;
};

// A stream written into memory (open_memstream): what a report or entry writes
// is collected and handed out as text. The stream is opened once and starts
// again from empty at each use, so a use costs neither an open nor a close.
class MemoryFile {
 public:
  MemoryFile() = default;
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile() {
    if (fp_ != nullptr) std::fclose(fp_);
    std::free(data_);
  }
  // The stream, empty; the File borrows it (not open when memory ran out).
  File Open() {
    if (fp_ == nullptr) {
      fp_ = open_memstream(&data_, &size_);
      if (fp_ == nullptr) return File();
    } else {
      std::rewind(fp_);  // also clears the error flag of an earlier use
    }
    return File::Borrowed(fp_);
  }
  // Closes the file and hands out what was written to it.
  std::string Take(File& file) {
    std::string text;
    TakeInto(file, text);
    return text;
  }
  // The same, appended to text.
  void TakeInto(File& file, std::string& text) {
    const bool ours = fp_ != nullptr && file.get() == fp_;
    file.Close();  // the flush sets data_ and size_
    if (ours && data_ != nullptr) text.append(data_, size_);
  }

 private:
  std::FILE* fp_ = nullptr;
  char* data_ = nullptr;
  size_t size_ = 0;
};

// Reports a scored sample as the typed program does, out of the user's sight:
// what the report writes to the results file is appended to text.
inline void ReportInto(const RefData& ref, const SampleState& sample, const ScoringState& sc,
                       RunSettings& settings, QuietConsole& quiet, MemoryFile& memory,
                       std::string& text) {
  settings.fpResults = memory.Open();
  ReportFits(quiet.con, ref, sample, sc, settings);
  memory.TakeInto(settings.fpResults, text);
}

// ---- batches in flight ----------------------------------------------------------
// Samples entered and handed on together. Its jobs keep their memory from one
// use to the next; the first `count` are in use.
template <typename Job>
struct JobBatch {
  std::vector<Job> jobs;
  size_t count = 0;
  bool scored = false;
  std::string err;  // what scoring it said
  // The next job, to be filled.
  Job& Add() {
    if (count == jobs.size()) jobs.emplace_back();
    return jobs[count++];
  }
};

// Batches on their way from entry to the results: at most `room` at a time
// between being pushed and being written. The job threads score them in any
// order and write them in the order they were pushed; a written batch comes
// back to be filled again, with the memory of its jobs.
// B has `bool scored`, `size_t count` and `std::string err` (what its scoring
// said, handed back by TakeSaid), as JobBatch has.
template <typename B>
class BatchQueue {
 public:
  explicit BatchQueue(size_t room) : room_(room) {}

  std::unique_ptr<B> Recycled() {
    std::lock_guard<std::mutex> lock(m_);
    if (free_.empty()) return std::make_unique<B>();
    std::unique_ptr<B> b = std::move(free_.back());
    free_.pop_back();
    return b;
  }
  // Waits for room, then queues the batch.
  void Push(std::unique_ptr<B> b) {
    std::unique_lock<std::mutex> lock(m_);
    // The batch being written still counts: it is no longer queued, but its
    // memory is not yet free.
    space_.wait(lock, [&] { return queued_.size() + (writing_ ? 1 : 0) < room_; });
    queued_.push_back(std::move(b));
    work_.notify_one();
  }
  // No more batches: the job threads return once every batch is written.
  void Close() {
    std::lock_guard<std::mutex> lock(m_);
    closed_ = true;
    work_.notify_all();
  }
  // A job thread's loop: score(batch) the next batch not yet taken, then
  // write(batch) the oldest batches that are scored, one thread at a time.
  template <typename Score, typename Write>
  void Work(Score score, Write write) {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
      work_.wait(lock, [&] { return next_ < queued_.size() || closed_; });
      if (next_ >= queued_.size()) return;
      B& b = *queued_[next_++];
      lock.unlock();
      score(b);
      lock.lock();
      b.scored = true;
      while (!writing_ && !queued_.empty() && queued_.front()->scored) {
        writing_ = true;
        std::unique_ptr<B> front = std::move(queued_.front());
        queued_.pop_front();
        --next_;
        lock.unlock();
        write(*front);
        lock.lock();
        writing_ = false;
        said_.push_back(std::move(front->err));
        front->err.clear();
        front->count = 0;
        front->scored = false;
        free_.push_back(std::move(front));
        space_.notify_one();
      }
    }
  }
  // What the job threads said about the batches written so far, in order.
  std::vector<std::string> TakeSaid() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<std::string> said;
    said.swap(said_);
    return said;
  }

 private:
  const size_t room_;
  std::mutex m_;
  std::condition_variable work_;   // a batch to score, or the queue closed
  std::condition_variable space_;  // a batch written
  std::deque<std::unique_ptr<B>> queued_;  // pushed and not yet written, in order
  size_t next_ = 0;                        // queued_[next_] is the next to score
  bool writing_ = false;
  bool closed_ = false;
  std::vector<std::unique_ptr<B>> free_;
  std::vector<std::string> said_;
};

// ---- unit names and habitats ----------------------------------------------------------
struct UnitNames {
  std::string community;
  std::string subCommunity;
};
// The habitat classifications --habitats can name, and the column each gives.
struct HabitatKey {
  const char* key;       // ukhab, annex1, priority, phase1, eunis
  const char* column;    // the results column
  const char* prefix;    // classification names that belong to it start so
};
const std::vector<HabitatKey>& HabitatKeys();

// The full names of units and their habitat correspondences, from units.csv and
// habitats.csv beside the reference files (missing files leave them empty).
struct UnitInfo {
  std::map<std::string, UnitNames> names;
  // unit code -> key -> "code name" items
  std::map<std::string, std::map<std::string, std::vector<std::string>>> habitats;
};
bool LoadUnitInfo(const std::string& folder, UnitInfo& info, std::string& error);

// ---- the commands -------------------------------------------------------------------
// `vegmatch classify` and `vegmatch names`; the arguments after the command name.
int ClassifyMain(int argc, const char* const* argv, Console& con);
int NamesMain(int argc, const char* const* argv, Console& con);
