// Sample entry: header and species lines, name resolution, the recaps and the
// record file, completion of the sample, and the entry loop itself.
//
// Lines typed at the console or read from a data file are checked here, so a
// completed sample always holds what scoring relies on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

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

// What sample entry says about the line of a data file it has just read, for a
// front end without a screen (the batch command line); the typed run has none.
// Where the line stands is the data file's position.
class EntryObserver {
 public:
  virtual ~EntryObserver() = default;
  // The line is left out (refused) or taken with a warning; quoteLine: the
  // message should show the line as the input holds it.
  virtual void LineProblem(const std::string& what, bool refused, bool quoteLine) = 0;
  // The line's name is not in the dictionary; it is scored as a new species.
  virtual void UnknownName(const char* key) = 0;
  // The dictionary row the line's key stands for, given the row the lookup
  // found (rows that share a short name are found as the first of them); an
  // observer that knows which of them the line means may say so.
  virtual int RowOfKey(const char* key, int found) {
    (void)key;
    return found;
  }
};

// A completed sample, as scoring and the report read it: the header fields and
// the entries in use (the rows past them are never read).
void CopySample(const SampleState& from, SampleState& to);

enum class EntryResult { kSampleReady, kRunEnded };
// Obtains one complete sample; kRunEnded when the run is over (end of the data
// file, or end of console input), after the end message is shown.
EntryResult EnterSample(Console& con, RefData& ref, SampleState& sample, RunSettings& rs,
                        EntryObserver* observer = nullptr);
