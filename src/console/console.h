// The console: the streams a run talks through, the run settings and their
// tables, the prompts, the start-up dialogues, and the title and help screens.
//
// Everything the program says or asks goes through a Console, never through the
// process's own streams, so whole dialogues run in-process in the tests.
#pragma once

#include <cstdint>
#include <istream>
#include <ostream>
#include <sstream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

#include "common/common.h"

// ---- messages ------------------------------------------------------------------
// One message of a run, as it is said and kept: where it stands, as said
// ("FILE:LINE", "FILE" or nothing), and what happened; for a message on an
// input, that input as named and the lines it stands on there (none: the input
// as a whole); and the kind it is counted as (the text without its numbers and
// quoted parts, unless the sayer names one).
struct Message {
  std::string where;
  std::string what;
  std::string file;
  std::vector<long> lines;
  std::string kind;
};
// The kind of a message of no kind of its own: its text without numbers and
// quoted parts.
std::string KindOfText(std::string_view what);

// The messages of a run kept as records, in the order they were said: the
// report and the R package read them; nothing reads the text on the error
// stream back.
class MessageLog {
 public:
  void Add(Message m) { messages_.push_back(std::move(m)); }
  const std::vector<Message>& All() const { return messages_; }

 private:
  std::vector<Message> messages_;
};

// All console traffic goes through these streams, and every file is opened in
// `dir` (empty: the working directory). Messages said through the console
// (Diagnose, SayMessages) are also kept in `log` when there is one.
struct Console {
  std::istream& in;
  std::ostream& out;  // the program's own texts only
  std::ostream& err;  // diagnostics (skipped lines, capacity warnings, I/O failures)
  std::string dir;
  MessageLog* log = nullptr;

  Console(std::istream& i, std::ostream& o, std::ostream& e, std::string d = std::string(),
          MessageLog* l = nullptr)
      : in(i), out(o), err(e), dir(std::move(d)), log(l) {}
};

// Says "vegmatch: WHERE: WHAT" (or "vegmatch: WHAT") on the console's error
// stream and keeps the message in its log.
void Diagnose(Console& con, std::string_view where, std::string_view what);
// A message on an input file (the whole file for line 0), said at "FILE:LINE"
// or "FILE", and kept with the file and line it stands on.
void DiagnoseInput(Console& con, const std::string& file, long line, std::string_view what);
// Says the messages in one write, and keeps them.
void SayMessages(Console& con, std::vector<Message> messages);

// A stream buffer that swallows what is written to it.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
  std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

// A console for work done out of the user's sight (on another thread, for a
// batch command): it reads nothing, shows nothing, and keeps what it says on
// its error stream in `err` for the caller to pass on.
struct QuietConsole {
  explicit QuietConsole(const std::string& dir) : con(in, screen, err, dir) {}
  QuietConsole(const QuietConsole&) = delete;
  QuietConsole& operator=(const QuietConsole&) = delete;
  // What it said since the last call, taken out.
  std::string TakeSaid() {
    std::string said = err.str();
    err.str(std::string());
    return said;
  }
  std::istringstream in;
  NullBuffer nothing;
  std::ostream screen{&nothing};
  std::ostringstream err;
  Console con;
};

// printf-style output to the console's output stream.
void Say(Console& con, const char* fmt, ...) VM_PRINTF(2, 3);

// ---- run settings --------------------------------------------------------------
// Written by the dialogues (and, for the cover scale, by sample entry when only
// the order of the species counts); read by every later stage.
struct RunSettings {
  int16_t nCoverScale;         // kPercentScale, kBraunBlanquetScale or kDominScale
  int16_t nAnalysisType;       // kMixedAnalysis..kTopFewAnalysis
  int16_t nSpeciesGroupLimit;  // kAllSpecies, kNoLichens or kVascularOnly
  int16_t nFitsToOutput;       // 1..99
  int16_t nOutputFormat;       // 0 CSV, 1 tabulated text
  int16_t nInputSource;        // 0 keyboard, 1 data file
  File fpResults;
  File fpDataFile;
  File fpRecordFile;
  char szDataFileName[kFileNameSize];  // the data file as named in the dialogue
  int32_t nDataFileLine;               // data-file lines read to their end so far
  int32_t nSampleCounter;
  // A write failure of a file is reported once, not after every sample.
  bool bResultsFailureReported;
  bool bRecordFailureReported;
};

// Reports, once per file, a results or record file whose writes have failed;
// called after every sample.
void CheckRunFileWrites(Console& con, RunSettings& rs);

// Closes every file the settings hold open; reports a failed write or close.
void CloseRunFiles(Console& con, RunSettings& rs);

// The codes of the settings, as the run settings hold them and the dialogues ask
// for them.
constexpr int16_t kPercentScale = 1;
constexpr int16_t kBraunBlanquetScale = 2;
constexpr int16_t kDominScale = 3;
constexpr int16_t kMixedAnalysis = 1;        // species and their covers
constexpr int16_t kCompositionAnalysis = 2;  // species alone
constexpr int16_t kCoverAnalysis = 3;        // covers alone
constexpr int16_t kIncompleteAnalysis = 4;   // an incomplete species list
constexpr int16_t kTopFewAnalysis = 5;       // the top few species in order of cover
constexpr int16_t kAllSpecies = 10000;       // species codes up to it take part
constexpr int16_t kNoLichens = 4000;         // vascular plants and bryophytes
constexpr int16_t kVascularOnly = 3000;

// One table per setting: what the run settings' numbers mean, how they are shown,
// and the word that names them on the batch command line.
struct CoverScaleInfo {
  int16_t nCoverScale;
  const char* word;   // on the command line: "braun-blanquet"
  const char* label;  // in sample headers and results: "Cover%"
  const char* tag;    // in recorded sample headers: "COVR%"
  double limit;       // typed values above it are accepted with a warning
  double (*percentOf)(double);  // percent cover of a typed scale value
};
struct AnalysisTypeInfo {
  int16_t nAnalysisType;
  const char* word;
  const char* headerLabel;
  const char* csvLabel;
};
struct SpeciesGroupInfo {
  int16_t nSpeciesGroupLimit;  // species codes above it take no part
  const char* word;
  const char* headerLabel;
  const char* csvLabel;
};

// The entry of a setting; an unknown value (0 before the dialogues) gets an entry
// with empty words and labels and the percent scale's limit and conversion.
const CoverScaleInfo& CoverScaleOf(int16_t nCoverScale);
const AnalysisTypeInfo& AnalysisTypeOf(int16_t nAnalysisType);
const SpeciesGroupInfo& SpeciesGroupOf(int16_t nSpeciesGroupLimit);

// The known entries of a setting table (the unknown one left out), in the order
// of their codes in the dialogues.
template <typename Info>
struct SettingEntries {
  const Info* first;
  const Info* last;
  const Info* begin() const { return first; }
  const Info* end() const { return last; }
};
SettingEntries<CoverScaleInfo> CoverScales();
SettingEntries<AnalysisTypeInfo> AnalysisTypes();
SettingEntries<SpeciesGroupInfo> SpeciesGroups();

enum class LabelForm { kHeader, kCsv };
const char* CoverScaleLabel(int16_t nCoverScale);
const char* AnalysisTypeLabel(int16_t nAnalysisType, LabelForm form);
const char* SpeciesGroupLabel(int16_t nSpeciesGroupLimit, LabelForm form);

// ---- prompts ---------------------------------------------------------------------
// Reads one answer line into buf (at most size-1 characters, without its line end,
// zero-terminated). A longer line is cut to the buffer and the rest of it is
// discarded. Returns false when the console input had ended before anything was
// read (buf is then empty, which callers treat like a bare RETURN).
bool ReadAnswerLine(Console& con, char* buf, int size);

// True once the console input has ended.
bool ConsoleInputEnded(const Console& con);

// Shows the existing value and lets the user keep it (RETURN) or type a new one
// within lo..hi (both inclusive); never lets an out-of-limit value through.
void PromptInteger(Console& con, int16_t& value, int16_t lo, int16_t hi);

// Creates name (or, when taken, the first free numbered variant base1.ext,
// base2.ext, ...) opened for update; name (a buffer of nameSize bytes) is updated
// to the name actually used. Not open when even the free name cannot be created.
File OpenNextFreeFile(Console& con, char* name, int nameSize);

// The end message and its RETURN pause.
void ShowEndMessage(Console& con);

// ---- dialogues ---------------------------------------------------------------------
// Results file, output format, input source, data or record file, species group.
// Returns false when the console input ended before every file was open (the run
// then ends cleanly).
bool RunSettingsDialogue(Console& con, RunSettings& rs);

// Cover scale and analysis type, showing the current values.
void ParameterDialogue(Console& con, RunSettings& rs);

// ---- title and help -----------------------------------------------------------------
void ShowTitleScreen(Console& con, int helpPageLength);
void ShowHelpFile(Console& con, int pageLength);
