// Block files (the data-file format of the typed run) read into samples of
// records: a header line, species lines, a blank line between samples.
#pragma once

#include <string_view>
#include <vector>

#include "common/common.h"
#include "sample/sample.h"
#include "survey/problems.h"
#include "survey/survey.h"

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
// A line of a block file, without its line feed, and its number.
struct TextLine {
  long number;
  std::string_view text;
};
// The same for lines of an input read in parts, each part ending between
// samples: the lines view `held` (which outlives the records); `endsInput`: the
// last part.
void AppendBlockLines(const std::vector<TextLine>& lines, std::string_view held, bool endsInput,
                      const BlockRules& rules, int file, TextStore& store, std::vector<SampleInput>& out,
                      std::vector<InputProblem>& problems);
