// Run control: the console prompts, the start-up dialogues, the title and help
// screens, the setting labels and the run sequence itself.
#pragma once

#include <cstdint>
#include <cstdio>

#include "common/state.h"

// ---- console prompts ----------------------------------------------------------
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
// to the name actually used. Returns null when even the free name cannot be created.
std::FILE* OpenNextFreeFile(Console& con, char* name, int nameSize);

// The end message and its RETURN pause.
void ShowEndMessage(Console& con);

// ---- setting labels -------------------------------------------------------------
enum class LabelForm { kHeader, kCsv };
const char* CoverScaleLabel(int16_t nCoverScale);
const char* AnalysisTypeLabel(int16_t nAnalysisType, LabelForm form);
const char* SpeciesGroupLabel(int16_t nSpeciesGroupLimit, LabelForm form);

// ---- dialogues ------------------------------------------------------------------
// Results file, output format, input source, data or record file, species group.
// Returns false when the console input ended before every file was open (the run
// then ends cleanly).
bool RunSettingsDialogue(Console& con, RunSettings& rs);

// Cover scale and analysis type, showing the current values.
void ParameterDialogue(Console& con, RunSettings& rs);

// ---- title and help ---------------------------------------------------------------
void ShowTitleScreen(Console& con, int helpPageLength);
void ShowHelpFile(Console& con, int pageLength);

// ---- the run ------------------------------------------------------------------------
// The whole run sequence on an allocated state; returns the exit status (always 0).
int RunVegmatch(Console& con, AppState& st);

// Command-line front end: no arguments runs the program; --dump-tables loads the
// reference files and writes the table dump; --help prints the usage.
int VegmatchMain(int argc, const char* const* argv, Console& con);
