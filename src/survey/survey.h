// Survey samples as the records sample entry takes: the rules inputs are read
// by, samples pooled by identifying columns, each record's name looked up and
// its frequency and cover (numbers since the table was read) put in its
// SampleRecord, and the species a sample records more than once said.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/common.h"
#include "names/resolver.h"
#include "sample/sample.h"
#include "survey/layouts.h"
#include "survey/problems.h"

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
constexpr double kPresenceCoverValue = 5.0;  // the same as a number

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

// The words a line names a species by, the dictionary row they stand for when
// the resolver found one (0 otherwise), and the note of the name's status that
// its records carry (NoteOfStatus).
std::string LookupWords(const BlockRules& rules, std::string_view written, int* row = nullptr,
                        uint8_t* note = nullptr);
// A record whose name's note says it names no taxon is left out of its sample.
inline bool IsLeftOut(uint8_t note) { return note != 0 && StatusOfNote(note) == NameStatus::kNotTaxon; }
