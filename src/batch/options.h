// The options of `vegmatch classify` and `vegmatch names`, their defaults, and
// the exit statuses of both.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "outputs/tidy.h"
#include "survey/inputs.h"
#include "console/console.h"
#include "scoring/scoring.h"

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
  std::string habitatsOut;    // the habitats of the fits in long form; empty: none
  std::vector<std::string> habitats;  // classification keys, in the order asked; empty: none asked
  std::vector<std::string> poolBy;      // identifying columns; empty: no pooling
  std::vector<std::string> sampleCols;  // the columns that name the samples; empty: found by name
  Layout layout;                        // kAuto: told by content
  std::string sheet;                    // a workbook's sheet; empty: the first
  std::string namesMap;                 // names as written -> names to use; empty: none
  std::vector<std::string> groupBy;     // identifying columns that group the samples; empty: one group
  std::string synoptic;                 // the groups' synoptic tables (CSV); empty: none
  std::string report;                   // the HTML report; empty: none
  bool indicators;                      // indicator values in the tidy results
  RankBy rankBy;  // the tidy outputs (RankingOf); the classic formats always rank by fit
  int jobs;       // threads that score samples; 0: one per core
  bool strict;
  bool quiet;
  bool allProblems;  // every problem said, not the first ten of each kind
  std::vector<std::string> files;  // empty or "-": standard input

  bool Presence() const { return scale == ScaleKind::kPresence; }
};
ClassifyOptions DefaultClassifyOptions();
// What the parts of a run are told of the options: how the inputs are read, and
// the columns of the tidy results.
InputRules InputRulesOf(const ClassifyOptions& opt);
TidyColumns TidyColumnsOf(const ClassifyOptions& opt);
// The ranking the results are ordered by: --rank-by (consensus by default) for
// the tidy outputs; the classic formats always rank by fit, as the typed run does.
RankBy RankingOf(const ClassifyOptions& opt);

// Exit statuses of `vegmatch classify`.
enum ClassifyStatus {
  kClassifyOk = 0,
  kClassifyInputFailed = 1,   // an input cannot be read or holds no sample; --strict refusals
  kClassifyUsage = 2,
  kClassifyTablesFailed = 3,
  kClassifyOutputFailed = 4,
};

// Runs a command: memory running out, or any other failure thrown, ends it
// with a message and exit status 1, never an abort; what it wrote is not put
// in place.
int StopsCleanly(Console& con, const std::function<int()>& run);

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

// The options of how survey tables are read: --sample-cols, --layout (its word
// into `layout`) and --sheet; TakeSurveyOptions sets them after parsing.
void AddSurveyOptions(CLI::App& app, ClassifyOptions& opt, std::string& layout);
void TakeSurveyOptions(const std::string& layout, ClassifyOptions& opt);

// Parses the arguments after "classify". Returns -1 to go on, or the exit status
// (0 after --help, 2 after a usage error, with the usage on the error stream).
int ParseClassifyOptions(int argc, const char* const* argv, Console& con, ClassifyOptions& opt);
