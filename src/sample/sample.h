// Sample entry: header and species lines, name resolution, the recaps and the
// record file, completion of the sample, and the entry loop itself.
//
// Lines typed at the console or read from a data file are checked here, so a
// completed sample always holds what scoring relies on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/common.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "scoring/scoring.h"

// The sample being entered, then the completed sample scoring reads.
struct SampleState : SampleEntries {
  char szSampleName[kSampleNameSize];  // at most 30 characters
};

// ---- line parsing -------------------------------------------------------------
// The key a species line is looked up by: the first 4 characters of the first
// word, a blank, the first 4 of the second word ("quer robu"), lower case.
struct NameKey {
  char text[kShortNameWidth + 1];
  const char* c_str() const { return text; }
};

// What a sample header line gives: the name (the default "SAMPL    n" for an
// empty one), the maximum frequency (0 for cover data), and the cover-scale tag
// ("COVR%", "BR-BL", "DOMIN") where a recorded header carries one, else null.
// A refused maximum frequency is said on the console.
struct SampleHeader {
  char szName[kSampleNameSize];
  int16_t nMaxFreq;
  bool refused;
  const char* tag;
};
SampleHeader ParseSampleHeader(Console& con, const char* line, int32_t nSampleCounter);
// The same, leaving a header without a name unnamed; NameUnnamedSample names it
// as the sample counter gives.
SampleHeader ReadSampleHeader(Console& con, const char* line);
void NameUnnamedSample(SampleHeader& h, int32_t nSampleCounter);

// Writes a typed sample's header to the record file, without its line end (the
// first recorded entry begins with one).
void RecordSampleHeader(const RunSettings& rs, const char* szName, int16_t nMaxFreq);

// Key, frequency and cover value of a species line; ok false for a bad line.
struct SpeciesLine {
  NameKey key;
  int16_t nFreq;
  double dCover;
  bool ok;
};
SpeciesLine ParseSpeciesLine(const char* line, int16_t nMaxFreq);
// The same for a line already split into its words (at blanks; a tab is part
// of a word); lastAtEnd: the last word runs into the 80th column, where a line
// is cut.
SpeciesLine ParseSpeciesWords(const std::string_view* words, size_t n, int16_t nMaxFreq, bool lastAtEnd = false);
// A cover word as a species line reads it: its first 6 characters, as a
// decimal number where they hold a point, else as a whole one.
double ReadCoverWord(std::string_view word);

// ---- records: the lines of a sample from any input -----------------------------------
// Where a line stands in the inputs: the input (from 1; 0: the typed run's own
// data file or the keyboard) and its line (from 1; 0: none); in a workbook, the
// line is the sheet's row and `col` its column (from 0; -1: none).
struct SourcePos {
  int file = 0;
  int32_t line = 0;
  int32_t col = -1;
};

constexpr int kMaxMarkers = 2;  // "*" marks a species line at most twice

// One species line of a sample, however the input wrote it: what was written,
// the dictionary row an input resolved its name to, the frequency and cover,
// and where it came from. The texts are what the input keeps; a survey holds
// hundreds of thousands of records, so a record is kept small.
struct SampleRecord {
  SourcePos where;
  std::string_view written;  // the name as the input writes it (empty: not known)
  const char* quoted = nullptr;  // a bad line as the input holds it, for messages
  const char* shown = nullptr;   // a bad line as it is shown (markers blanked)
  double dCover = 0.0;
  int row = 0;  // the dictionary row the input resolved the name to; 0: looked up by the key
  NameKey key{};
  int16_t markers = 0;
  int16_t nFreq = 1;
  bool ok = true;    // false: a bad line, left out
  bool nul = false;  // the line holds a NUL byte: refused, already said
  bool nameGuessed = false;  // `written` is the line's first words, not a name the input gave
  bool leftOut = false;      // the input's reading left it out of the sample (said there)
  uint8_t nameNote = 0;      // what the input's reading has to say of the name (0: nothing)
};

// A species line parsed into a record: the markers ("*") in `line` are blanked
// and counted; the record's shown text is a view of `line`.
SampleRecord ParseRecordLine(char* line, int16_t nMaxFreq);

// A sample as an input gives it: its header, its records in input order, and
// where it came from. `ids` holds the identifying fields of its input (site,
// year, group, quadrat... as written) and `label` their combination in full (the
// header's name holds at most 30 characters of it).
struct SampleInput {
  SourcePos where;
  SampleHeader header{};  // a header without a name is named at entry ("SAMPL    n")
  std::vector<SampleRecord> records;
  std::vector<std::string> ids;
  std::string label;  // empty: the header's name
  // A species recorded again adds its cover (summed in percent at completion,
  // at most 100) rather than replacing the earlier record as the typed run does.
  bool sumRepeats = false;
  // The input ended right after the sample's last line, as a data file ends:
  // like the typed run, a header alone there is a sample of no species.
  bool endsInput = false;
};

// ---- name resolution --------------------------------------------------------------
int FindSpeciesRow(const RefData& ref, const char* key);
// Menu (keyboard) or new species (data file). row: the species row, or 0 to drop
// the line; answered: false only when the console input ended before any answer
// to the menu could be read (a data file asks nothing, so it is always true).
struct NameChoice {
  int row;
  bool answered;
};
NameChoice ResolveUnknownName(Console& con, RefData& ref, const RunSettings& rs, const char* key);

// ---- recaps and record ----------------------------------------------------------------
enum class RecapMode { kShort, kFull, kRecord };
void ShowSampleEntries(Console& con, RecapMode mode, int n, const RefData& ref,
                       const SampleState& sample, const RunSettings& rs);

// ---- completion and entry -------------------------------------------------------------
void CompleteSample(SampleState& sample, const RunSettings& rs);

// What sample entry says about the records it takes, for a front end without a
// screen (the batch command line); the typed run has none. A record carries
// where it stands.
class EntryObserver {
 public:
  virtual ~EntryObserver() = default;
  // The record (or the sample header, for `rec` null) is left out (refused) or
  // taken with a warning; quoteLine: the message should show the line as the
  // input holds it.
  virtual void LineProblem(const SourcePos& where, const SampleRecord* rec, const std::string& what,
                           bool refused, bool quoteLine) = 0;
  // The record's name is not in the dictionary; it is scored as a new species.
  virtual void UnknownName(const SampleRecord& rec) = 0;
};

// A completed sample, as scoring and the report read it: the header fields and
// the entries in use (the rows past them are never read).
void CopySample(const SampleState& from, SampleState& to);

enum class EntryResult { kSampleReady, kRunEnded };
// Obtains one complete sample; kRunEnded when the run is over (end of the data
// file, or end of console input), after the end message is shown.
EntryResult EnterSample(Console& con, RefData& ref, SampleState& sample, RunSettings& rs);

// Enters a sample an input gave as records, with the typed run's rules (what
// entry shows and writes to the results file included). kSampleReady, or
// kSkipped when no record could be taken (the sample counter moves on).
enum class RecordsResult { kSampleReady, kSkipped };
RecordsResult EnterRecords(Console& con, RefData& ref, SampleState& sample, RunSettings& rs,
                           const SampleInput& input, EntryObserver* observer);
