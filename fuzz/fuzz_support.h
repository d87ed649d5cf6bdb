// What the fuzz targets share: a private working folder per process, the small
// demonstration data set, and the checks of what the program promises after an
// input, whatever the input was.
//
// Every target is a file of its own defining LLVMFuzzerTestOneInput; it is built
// twice, with libFuzzer (clang, -DVM_FUZZ=ON) to search for new inputs, and with
// replay_main.cpp as a plain program that runs the committed corpus as a test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "batch/batch.h"
#include "survey/covers.h"
#include "tables/csv.h"
#include "survey/blocks.h"
#include "survey/inputs.h"
#include "survey/survey.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"
#include "refdata/refdata.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// Stops the process with a message when a promise is broken; unlike assert it
// holds in every build, so the corpus runs check the same things everywhere.
#define FUZZ_CHECK(cond)                                                   \
  do {                                                                     \
    if (!(cond)) FuzzCheckFailed(#cond, __FILE__, __LINE__);              \
  } while (false)
[[noreturn]] void FuzzCheckFailed(const char* what, const char* file, int line);

// A folder of this process's own, made at the first call and removed at exit.
const std::string& FuzzFolder();

// The folder of the demonstration data (data/ of the sources).
std::string DemoFolder();

// Writes bytes to a file, replacing it.
void WriteFileBytes(const std::string& path, std::string_view bytes);

// Copies a file of the demonstration data into a folder.
void CopyDemoFile(const std::string& name, const std::string& folder);

// A folder for whole runs of the program: `name` in this process's folder,
// holding copies of the named demonstration files.
std::string MakeRunFolder(const std::string& name, const std::vector<std::string>& files);
// Removes what a run left in such a folder besides the named files.
void TidyRunFolder(const std::string& folder, const std::vector<std::string>& keep);

// The program run with no argument in a folder, `typed` at its console: its
// status, screen and error stream. The program says nothing about the tables
// of such a folder, which are whole; that is checked here.
struct ProgramRun {
  int status;
  std::string out;
  std::string err;
};
ProgramRun RunProgramIn(const std::string& folder, const std::string& typed);

// The input as text, with its first byte taken off as a selector (0 when empty).
struct Split {
  uint8_t selector;
  std::string_view rest;
};
Split TakeSelector(const uint8_t* data, size_t size);

// The tables as the loaders promise them: CheckReferenceTables, and what
// CheckTextsAndJoins adds to it.
void CheckLoadedTables(const RefData& ref);
// Every text field terminated within its width, the dictionary entries that take
// part within 1..9000, and the regrouped lines those of real units and valid
// quants.
void CheckTextsAndJoins(const RefData& ref);

// Regrouped association lines: those that take part in scoring.
int LinesTakingPart(const RefData& ref);

// A completed sample: at most 300 rows, covers 0..100, plain codes within the
// species group, rows of the species table.
void CheckCompletedSample(const RefData& ref, const SampleState& sample, const RunSettings& rs);

// The best fits: real units, means that are numbers, best first, each the mean
// of its unit.
void CheckTopFits(const RefData& ref, const ScoringState& sc, int nFits);

// True when the text holds the byte.
inline bool Holds(std::string_view text, char c) { return text.find(c) != std::string_view::npos; }

// One load of the reference tables with one of the three files replaced by the
// input and the other two from the demonstration data (of the association file,
// only its first three units when the input is another file, which keeps the
// load short). The tables are kept from
// one input to the next: the files before the input's are loaded once, and the
// loaders from the input's file on run for every input, as LoadReferenceData
// runs them, ending with FinishReferenceData. An input of more than
// kMaxLoaderInput bytes is not loaded (loaded is false).
constexpr size_t kMaxLoaderInput = 1 << 14;
struct Load {
  bool loaded;
  bool whole;       // what FinishReferenceData returned
  std::string err;  // what the load said on the error stream
  const RefData& ref;
};
Load LoadWithFile(const char* fileName, std::string_view bytes);

// The promises of every load: the tables as CheckLoadedTables states them, and
// no silent wrong tables: a load that says nothing leaves every association line
// taking part, and one that says the tables are whole joins at least one line.
void CheckLoad(const Load& load);
