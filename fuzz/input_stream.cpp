// A run's input read as classify reads it, a part at a time (InputStream): a
// table twice (the last row of each sample first, then whole samples in parts),
// a block file in parts ending between samples. Whatever the bytes, samples
// come in the order of their first line, their records stand on lines of the
// input, every sample has a field for each of the run's identifying columns,
// and a table read in parts gives exactly the samples and records it gives
// read whole (in the order of their first rows, where read whole they come in
// the order of their first records). The first byte picks the options.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "fuzz_support.h"

namespace {

// The samples of a table read whole, as classify read tables before parts.
std::vector<SampleInput> ReadWhole(std::string_view text, const InputRules& opt, TextStore& store) {
  std::vector<SampleInput> out;
  CsvTable csv;
  std::string error;
  if (!ParseCsv(text, csv, error)) return out;
  const SurveyReading how{opt.layout, opt.sampleCols, opt.poolBy, opt.presence};
  SurveyTable table;
  std::vector<InputProblem> problems;
  if (!ReadSurvey(GridOf(std::move(csv)), how, table, problems, error)) return out;
  TakeCovers(table, CoverRules{opt.nCoverScale, how.presence, opt.strict}, problems);
  if (!opt.poolBy.empty() && !PoolSamples(table, opt.poolBy, error)) return out;
  AppendSurveyInputs(table.samples, BlockRules{}, 1, store, out, problems);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Split in = TakeSelector(data, size);
  InputRules opt = InputRulesOf(DefaultClassifyOptions());
  opt.input = static_cast<InputKind>(in.selector % 3);
  if ((in.selector & 4) != 0) opt.presence = true;
  if ((in.selector & 8) != 0) opt.poolBy = {"site"};
  if ((in.selector & 16) != 0) opt.layout = Layout::kLong;
  opt.quiet = true;
  const std::string path = FuzzFolder() + "/input.csv";
  WriteFileBytes(path, in.rest);
  opt.files = {path};

  std::istringstream input;
  std::ostringstream out;
  std::ostringstream err;
  Console con(input, out, err, FuzzFolder());
  Tally tally;
  InputStream stream(con, opt, tally);
  stream.Open();
  long lines = 0;
  for (char c : in.rest) lines += c == '\n' || c == '\r' ? 1 : 0;
  ++lines;

  std::vector<std::pair<std::string, size_t>> read;  // label and records of each sample
  long previous = 0;
  bool table = stream.AnyTable();
  BlockRules rules;
  rules.presence = opt.presence;
  while (std::shared_ptr<SampleBatch> batch = stream.Next(rules)) {
    FUZZ_CHECK(!batch->samples.empty());
    for (const SampleInput& s : batch->samples) {
      FUZZ_CHECK(s.where.file == 1);
      // A table's samples come in the order of their first row, which may be a
      // row refused, while a sample stands where its first record does.
      FUZZ_CHECK((table || s.where.line >= previous) && s.where.line >= 1 && s.where.line <= lines);
      previous = s.where.line;
      FUZZ_CHECK(s.ids.size() == stream.Inputs().idHeaders.size());
      for (const SampleRecord& r : s.records) FUZZ_CHECK(r.where.line >= 1 && r.where.line <= lines);
      read.emplace_back(s.label, s.records.size());
    }
  }
  // Read in parts or whole, a table gives the same samples (where it holds no
  // line too long to read whole, which ParseCsv refuses).
  // (A binary file is refused before it is read as a table.)
  const std::string said = err.str();
  if (table && stream.Inputs().files[0].sheet.empty() && said.find("longer than any record") == std::string::npos &&
      said.find("not a survey") == std::string::npos) {
    TextStore store;
    const std::vector<SampleInput> whole = ReadWhole(in.rest, opt, store);
    std::vector<std::pair<std::string, size_t>> wholeRead;
    for (const SampleInput& s : whole) wholeRead.emplace_back(s.label, s.records.size());
    std::sort(wholeRead.begin(), wholeRead.end());
    std::sort(read.begin(), read.end());
    FUZZ_CHECK(wholeRead == read);
  }
  return 0;
}
