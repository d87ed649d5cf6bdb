// A survey CSV as classify reads it: ParseCsv, the columns, the samples and the
// sample blocks made of them. Whatever the text, every row keeps the line it
// starts on in order, every record of a sample names a species, and the blocks
// hold a header and one line per record of every sample, each at most 79
// characters, so that sample entry reads them back as written.
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CsvTable table;
  std::string error;
  if (!ParseCsv(text, table, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  long previous = 0;
  for (const CsvRow& row : table.rows) {
    FUZZ_CHECK(row.line > previous);
    FUZZ_CHECK(!row.fields.empty());
    previous = row.line;
  }
  const SurveyColumns columns = FindSurveyColumns(table.header, "site");
  if (columns.sample < 0 || columns.species < 0) return 0;
  std::vector<InputProblem> problems;
  const bool presence = (size % 2) == 0;
  std::vector<SurveySample> samples = SurveySamples(table, columns, presence, problems);
  if (columns.pool >= 0) samples = PoolSamples(table, columns, samples);
  size_t records = 0;
  for (const SurveySample& s : samples) {
    FUZZ_CHECK(!s.records.empty());
    FUZZ_CHECK(s.maxFreq >= 0);
    if (columns.pool >= 0) FUZZ_CHECK(s.maxFreq <= 100);
    records += s.records.size();
  }
  BlockRules rules;
  rules.presence = presence;
  BlockText blocks;
  AppendSurveyBlocks(samples, rules, 1, blocks);
  size_t lines = 0;
  size_t start = 0;
  for (size_t i = 0; i < blocks.text.size(); ++i) {
    if (blocks.text[i] != '\n') continue;
    FUZZ_CHECK(i - start < static_cast<size_t>(kLineSize) - 1);
    start = i + 1;
    ++lines;
  }
  FUZZ_CHECK(lines == records + 2 * samples.size());
  FUZZ_CHECK(blocks.sourceLine.size() == lines + 1);
  return 0;
}
