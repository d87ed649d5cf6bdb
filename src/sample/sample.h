// Sample entry: header and species lines, name resolution, the recaps and the
// record file, completion of the sample, and the entry loop itself.
#pragma once

#include <cstdint>

#include "common/state.h"

// ---- cover scales -------------------------------------------------------------
const char* CoverScaleTag(int16_t nCoverScale);  // "COVR%", "BR-BL", "DOMIN"
double CoverScaleLimit(int16_t nCoverScale);     // 100, 5, 10

// ---- line parsing -------------------------------------------------------------
// Sample name (szName, 32 bytes) and maximum frequency of a header line; default
// name, cover-tag check and (keyboard) record header included.
void ParseSampleHeader(Console& con, AppState& st, const char* line, char* szName,
                       int16_t& nMaxFreq, bool& refused);

// Key (10 bytes), frequency, cover value and status (0 good, 1 bad) of a species line.
void ParseSpeciesLine(const char* line, char* key, int16_t nMaxFreq, int16_t& nFreq,
                      double& dCover, int16_t& nStatus);

// ---- name resolution --------------------------------------------------------------
struct NameBracket {
  int lo;
  int hi;
  int equal;  // row equal to the key, or 0
};
NameBracket FindNameBracket(const RefData& ref, const char* key);
int FindSpeciesRow(const RefData& ref, const SampleState& sample, const char* key);
// Menu (keyboard) or new species (data file); returns a row, or 0 to drop the line.
int ResolveUnknownName(Console& con, AppState& st, const char* key);

// ---- recaps and record ----------------------------------------------------------------
enum class RecapMode { kShort, kFull, kRecord };
void ShowSampleEntries(Console& con, RecapMode mode, int n, AppState& st);

// ---- completion and entry -------------------------------------------------------------
void CompleteSample(SampleState& sample, const RunSettings& rs);

enum class EntryResult { kSampleReady, kRunEnded };
// Obtains one complete sample; kRunEnded when the run is over (end of the data
// file, or end of console input), after files are closed and the end message shown.
EntryResult EnterSample(Console& con, AppState& st);
