// A survey CSV as classify reads it: ParseCsv, the columns, the samples and the
// records made of them. Whatever the text, every row keeps the line it starts
// on in order, every record of a sample names a species, and every sample
// becomes one input with one record per row, its name a header's name (at most
// 30 characters, no "*" and no control bytes).
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
  TextStore store;
  std::vector<SampleInput> inputs;
  AppendSurveyInputs(samples, rules, 1, store, inputs);
  FUZZ_CHECK(inputs.size() == samples.size());
  size_t made = 0;
  for (size_t k = 0; k < inputs.size(); ++k) {
    const SampleInput& in = inputs[k];
    FUZZ_CHECK(in.where.line == samples[k].line);
    FUZZ_CHECK(in.records.size() == samples[k].records.size());
    const std::string_view name(in.header.szName);
    FUZZ_CHECK(name.size() <= static_cast<size_t>(kSampleNameWidth));
    for (char c : name) FUZZ_CHECK(c != '*' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    FUZZ_CHECK(in.header.nMaxFreq >= 0 && in.header.nMaxFreq <= 100);
    for (size_t r = 0; r < in.records.size(); ++r) {
      FUZZ_CHECK(in.records[r].where.line == samples[k].records[r].line);
      FUZZ_CHECK(in.records[r].written == samples[k].records[r].species);
      FUZZ_CHECK(in.records[r].ok || (in.records[r].shown != nullptr && in.records[r].quoted != nullptr));
    }
    made += in.records.size();
  }
  FUZZ_CHECK(made == records);
  return 0;
}
