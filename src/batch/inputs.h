// The inputs of `vegmatch classify` and `vegmatch names` as samples of records:
// a survey exported as CSV (one row per species record), or a block file (the
// data-file format of the typed run). Every input becomes SampleInputs whose
// records carry the name as written, the dictionary row it resolved to, the
// frequency and cover, and the file and line they stand on.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "batch/csv.h"
#include "batch/resolver.h"
#include "sample/sample.h"

// A problem with one line of an input, said as FILE:LINE: what.
struct InputProblem {
  long line;
  std::string what;
  bool refused;  // the row or line is left out (counts for --strict)
};

// How inputs become records.
struct BlockRules {
  bool presence = false;  // no cover needed: a nominal cover is given
  // Names are looked up as the dictionary entry they resolve to (null: by the
  // first two words as written, which is all the typed run's lookup reads).
  const NameResolver* resolver = nullptr;
  bool rewriteBlockNames = false;  // block lines too, not only CSV names
  bool strict = false;  // a line whose cover is a word that is no number is left out
  bool checkCovers = true;  // say when the word read as a cover is no number
};

// The cover a presence record is given (percent).
constexpr const char* kPresenceCover = "5";

// ---- surveys ------------------------------------------------------------------------
// One species record of a survey, as written, with where it stands.
struct SurveyRecord {
  std::string species;
  std::string cover;      // as written; empty: present, no cover given
  std::string frequency;  // as written; empty: none
  long line;
};
struct SurveySample {
  std::string name;
  long line;    // where it was first seen
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

// The survey samples of input `file` as records, appended to `out`: each row
// becomes a record directly, its name looked up as the rules say. The texts
// the records view are kept in `store`.
void AppendSurveyInputs(const std::vector<SurveySample>& samples, const BlockRules& rules, int file,
                        TextStore& store, std::vector<SampleInput>& out);

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

// The words a line names a species by, and the dictionary row they stand for
// when the resolver found one (0 otherwise).
std::string LookupWords(const BlockRules& rules, std::string_view written, int* row = nullptr);

// ---- the inputs of a run ------------------------------------------------------------------
struct ClassifyOptions;

// An input as given and read.
struct InputFile {
  std::string name;  // as given; "-" for standard input
  std::string text;  // the records of a block file view it
  bool read = false;
  std::string failure;    // why it could not be read, as the system says it
  bool noSample = false;  // already said to hold no sample
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

// Every input of a run as samples of records, in input order.
struct RunInputs {
  std::vector<InputFile> files;  // by file number - 1
  std::vector<SampleInput> samples;
  TextStore store;  // the texts the records view, where not the files' own
};

// "file:line" of a source position (the file alone for line 0; nothing for no file).
std::string WhereText(const std::vector<InputFile>& files, const SourcePos& where);

// The inputs named on the command line, in order. Standard input is left to
// AddInputs unless `withStandardInput`: a run that fails before it gets there
// must not wait for standard input to end.
std::vector<InputFile> ReadInputTexts(Console& con, const ClassifyOptions& opt, bool withStandardInput);

// Whether an input is read as a survey CSV (else as a block file).
bool IsSurveyCsv(const ClassifyOptions& opt, const InputFile& file);

// Every input as samples of records (standard input read here, where it was
// left). Inputs that cannot be read or hold no sample are said, and mark the
// tally; what is refused or warned about is said and counted.
void AddInputs(Console& con, const ClassifyOptions& opt, const BlockRules& rules, std::vector<InputFile>& texts,
               RunInputs& inputs, Tally& tally);

// What sample entry says about the records it takes, said as FILE:LINE: what;
// unknown names are kept and said once per file at the end, with their lines.
class InputReporter : public EntryObserver {
 public:
  InputReporter(Console& con, const std::vector<InputFile>& files, Tally& tally)
      : con_(con), files_(files), tally_(tally) {}
  void LineProblem(const SourcePos& where, const SampleRecord* rec, const std::string& what, bool refused,
                   bool quoteLine) override;
  void UnknownName(const SampleRecord& rec) override;
  // Every unknown name once per file, with the lines it stands on and what it
  // may have meant; it was scored as a new species.
  void SayUnknownNames(const NameResolver& resolver);

 private:
  struct Unknown {
    int file;
    std::string written;
    std::vector<long> lines;
  };
  Console& con_;
  const std::vector<InputFile>& files_;
  Tally& tally_;
  std::vector<Unknown> unknown_;
  std::map<std::pair<int, std::string>, size_t> unknownIndex_;
};
