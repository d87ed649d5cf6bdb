// A survey table as classify reads it: ParseCsv, the layout told by content or
// named (long, wide, matrix), the samples, their covers, pooling and the
// records made of them. Whatever the text, every row keeps the line it starts
// on in order, every sample is one distinct combination of its identifying
// fields, every cover taken is a number, and every sample becomes one input
// with one record per species record, its name a header's name (at most 30
// characters, no "*" and no control bytes).
#include <set>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CsvTable csv;
  std::string error;
  if (!ParseCsv(text, csv, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  long previous = 0;
  for (const CsvRow& row : csv.rows) {
    FUZZ_CHECK(row.line > previous);
    FUZZ_CHECK(!row.fields.empty());
    previous = row.line;
  }
  const Grid grid = GridOf(std::move(csv));
  // The layout and options from the size, so every reading is reached.
  SurveyReading how;
  how.layout = static_cast<Layout>(size % 4);
  how.presence = (size / 4) % 2 == 0;
  if ((size / 8) % 3 == 1) how.sampleCols = {"site", "plot"};
  SurveyTable table;
  std::vector<InputProblem> problems;
  if (!ReadSurvey(grid, how, table, problems, error)) {
    FUZZ_CHECK(!error.empty());
    return 0;
  }
  FUZZ_CHECK(table.layout != Layout::kAuto);
  std::set<std::vector<std::string>> distinct;
  for (const SurveySample& s : table.samples) {
    FUZZ_CHECK(s.ids.size() == table.idHeaders.size());
    FUZZ_CHECK(distinct.insert(s.ids).second);
  }
  TakeCovers(table, CoverRules{static_cast<int16_t>(1 + (size / 16) % 3), how.presence, (size / 32) % 2 == 0},
             problems);
  for (const SurveySample& s : table.samples) {
    for (const SurveyRecord& r : s.records) {
      FUZZ_CHECK(r.hasCover != how.presence && (!r.hasCover || r.cover >= 0));
    }
  }
  std::string poolError;
  if ((size / 64) % 2 == 0 && !table.idHeaders.empty() && !PoolSamples(table, {table.idHeaders[0]}, poolError)) {
    FUZZ_CHECK(false);  // a column that names the samples can always pool them
  }
  size_t records = 0;
  for (const SurveySample& s : table.samples) records += s.records.size();
  BlockRules rules;
  rules.presence = how.presence;
  TextStore store;
  std::vector<SampleInput> inputs;
  AppendSurveyInputs(table.samples, rules, 1, store, inputs, problems);
  FUZZ_CHECK(inputs.size() == table.samples.size());
  size_t made = 0;
  for (const SampleInput& in : inputs) {
    const std::string_view name(in.header.szName);
    FUZZ_CHECK(name.size() <= static_cast<size_t>(kSampleNameWidth));
    for (char c : name) FUZZ_CHECK(c != '*' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    FUZZ_CHECK(in.header.nMaxFreq >= 0 && in.header.nMaxFreq <= 100);
    for (const SampleRecord& r : in.records) {
      FUZZ_CHECK(r.ok || (r.shown != nullptr && r.quoted != nullptr));
    }
    made += in.records.size();
  }
  FUZZ_CHECK(made <= records);
  return 0;
}
