// Survey tables read as a stream: the header and layout told from the first
// rows, then (long and matrix tables) the last row of each sample from a first
// reading, and whole samples a part at a time, each part read into samples on
// a thread of its own while the part before it is entered.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <future>

#include "common/common.h"
#include "survey/covers.h"
#include "survey/inputs.h"
#include "survey/survey.h"
#include "survey/table_parts.h"
#include "tables/csv.h"
#include "common/reader.h"

namespace {

constexpr size_t kProbeRows = 200;  // rows read with the header to tell a table's layout

// The next row of a table that holds anything.
bool NextRow(RecordReader& reader, char delim, GridRow& row, size_t maxFields = SIZE_MAX) {
  std::string_view record;
  long line = 0;
  while (reader.Next(record, line)) {
    if (ParseCsvRecord(record, delim, row.cells, maxFields)) {
      row.line = line;
      return true;
    }
  }
  return false;
}

// What tells a row's sample: its fields in the key columns, trimmed, as a
// 64-bit hash (0 when every one is empty: the row names no sample). Two samples
// that share a hash are only held together until the later one is complete:
// the rows are parted into samples by their fields when read.
uint64_t KeyOf(const GridRow& row, const std::vector<size_t>& columns, std::string& key) {
  key.clear();
  bool any = false;
  for (size_t c : columns) {
    const std::string_view field = c < row.cells.size() ? TrimView(row.cells[c]) : std::string_view();
    any = any || !field.empty();
    key.append(field);
    key += '\x1f';
  }
  if (!any) return 0;
  const uint64_t h = std::hash<std::string>()(key);
  return h == 0 ? 1 : h;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string s;
  for (const std::string& i : items) s += (s.empty() ? "" : ", ") + i;
  return s;
}

std::string LayoutText(const SurveyTable& t) {
  return std::string(LayoutName(t.layout)) + " layout, samples named by " + JoinList(t.idHeaders);
}

SurveyReading ReadingOf(const InputRules& opt, Layout layout) {
  return SurveyReading{layout, opt.sampleCols, opt.poolBy, opt.presence};
}

CoverRules CoverRulesOf(const InputRules& opt) {
  return CoverRules{opt.nCoverScale, opt.presence, opt.strict};
}

}  // namespace

bool InputStream::OpenTable(Source& src) {
  src.reader = std::make_unique<RecordReader>(src.fp.get(), RecordReader::Kind::kCsv);
  Grid probe;
  GridRow row;
  std::string_view record;
  long line = 0;
  while (probe.rows.empty() && src.reader->Next(record, line)) {
    if (record.empty()) continue;
    // The delimiter is the header's, the first line that holds anything.
    src.delim = DetectDelimiter(record.substr(0, std::min(record.find('\n'), record.size())));
    if (src.delim == 0) src.delim = ',';
    if (ParseCsvRecord(record, src.delim, row.cells)) {
      row.line = line;
      probe.rows.push_back(row);
    }
  }
  while (probe.rows.size() <= kProbeRows && NextRow(*src.reader, src.delim, row)) probe.rows.push_back(row);
  if (src.reader->UnclosedQuote() != 0) {
    SayAt(src, 0, UnclosedQuoteText(src.reader->UnclosedQuote()));
    return false;
  }
  if (probe.rows.empty()) {
    SayAt(src, 0, "holds no sample");
    return false;
  }
  SurveyReading how = ReadingOf(opt_, opt_.layout);
  how.checkEmptyFields = false;
  SurveyTable t;
  std::vector<InputProblem> problems;  // said as the rows are read again
  std::string error;
  if (!ReadSurvey(probe, how, t, problems, error)) {
    SayAt(src, probe.rows[0].line, error);
    return false;
  }
  if (t.layout == Layout::kWide) {  // a column per sample: read whole
    while (NextRow(*src.reader, src.delim, row)) probe.rows.push_back(row);
    if (src.reader->UnclosedQuote() != 0) {
      SayAt(src, 0, UnclosedQuoteText(src.reader->UnclosedQuote()));
      return false;
    }
    SayLongRecords(src, src.wholeProblems);
    src.reader.reset();
    return ReadWhole(src, probe);
  }
  src.tableIdHeaders = t.idHeaders;
  if (!opt_.poolBy.empty() && !PoolSamples(t, opt_.poolBy, error)) {
    SayAt(src, probe.rows[0].line, error);
    return false;
  }
  run_.files[src.index].idHeaders = t.idHeaders;
  src.header = probe.rows[0];
  src.layout = t.layout;
  src.keyColumns = SampleKeyColumns(src.header, how, t.layout);
  src.kind = Source::Kind::kTable;
  src.layoutText = LayoutText(t);
  src.reader.reset();
  return true;
}

bool InputStream::ReadWhole(Source& src, const Grid& grid) {
  std::vector<InputProblem>& problems = src.wholeProblems;
  SurveyTable& t = src.whole;
  std::string error;
  if (!ReadSurvey(grid, ReadingOf(opt_, opt_.layout), t, problems, error)) {
    SayAt(src, grid.rows.empty() ? 0 : grid.rows[0].line, error);
    Say(src, problems);
    return false;
  }
  TakeCovers(t, CoverRulesOf(opt_), problems, src.seen);
  if (!opt_.poolBy.empty() && !PoolSamples(t, opt_.poolBy, error)) {
    SayAt(src, grid.rows[0].line, error);
    Say(src, problems);
    return false;
  }
  if (t.samples.empty()) {
    SayAt(src, 0, "holds no sample");
    Say(src, problems);
    return false;
  }
  run_.files[src.index].idHeaders = t.idHeaders;
  src.kind = Source::Kind::kWhole;
  src.layoutText = LayoutText(t);
  return true;
}

bool InputStream::Index(Source& src) {
  std::rewind(src.fp.get());
  RecordReader reader(src.fp.get(), RecordReader::Kind::kCsv);
  GridRow row;
  std::string key;
  uint64_t rowNo = 0;
  bool header = true;
  // Only the fields up to the last key column are read.
  const size_t fields = src.keyColumns.empty() ? 1 : *std::max_element(src.keyColumns.begin(), src.keyColumns.end()) + 1;
  while (NextRow(reader, src.delim, row, fields)) {
    if (header) {
      header = false;
      continue;
    }
    ++rowNo;
    const uint64_t k = KeyOf(row, src.keyColumns, key);
    if (k != 0) src.lastRow.insert_or_assign(k, rowNo);
  }
  if (reader.UnclosedQuote() != 0) {
    SayAt(src, 0, UnclosedQuoteText(reader.UnclosedQuote()));
    return false;
  }
  if (reader.ReadFailed()) {
    SayAt(src, 0, "cannot be read: " + SystemReason());
    return false;
  }
  std::rewind(src.fp.get());
  src.reader = std::make_unique<RecordReader>(src.fp.get(), RecordReader::Kind::kCsv);
  NextRow(*src.reader, src.delim, row);  // the header
  src.indexed = true;
  return true;
}

namespace {

void SayPooledTooMany(const SurveyTable& table, std::vector<InputProblem>& problems) {
  for (const SurveySample& s : table.samples) {
    if (s.maxFreq > kMaxFrequency) {
      problems.push_back({s.line,
                          "sample " + s.name +
                              Fmt(" pools more than %d samples; frequencies are kept to %d", kMaxFrequency, kMaxFrequency),
                          false, s.col});
    }
  }
}

TablePart ReadPart(Grid grid, const InputRules& opt, Layout found, bool firstPart, BlockRules rules, int file,
                  std::vector<InputProblem> problems) {
  TablePart r;
  r.grid = std::move(grid);
  r.problems = std::move(problems);
  if (r.grid.rows.size() < 2) return r;
  SurveyReading how = ReadingOf(opt, opt.layout);
  how.found = found;
  how.checkEmptyFields = false;
  SurveyTable table;
  if (!ReadSurvey(r.grid, how, table, r.problems, r.error)) return r;
  if (!firstPart) {  // what the header says is said once
    const long header = r.grid.rows[0].line;
    r.problems.erase(std::remove_if(r.problems.begin(), r.problems.end(),
                                    [header](const InputProblem& p) { return p.line == header; }),
                     r.problems.end());
  }
  r.empty.Add(table);
  TakeCovers(table, CoverRulesOf(opt), r.problems, r.seen);
  if (!opt.poolBy.empty() && !PoolSamples(table, opt.poolBy, r.error)) return r;
  SayPooledTooMany(table, r.problems);
  AppendSurveyInputs(table.samples, rules, file, r.batch.store, r.batch.samples, r.problems);
  if (rules.sayRepeats) SayRepeatedSpecies(r.batch.samples, 0, rules.sumRepeats, r.problems);
  return r;
}

}  // namespace

bool InputStream::GatherPart(Source& src, Grid& grid, std::vector<InputProblem>& problems) {
  // Whole samples, in order of their first row, each complete at its last row.
  grid.rows.push_back(src.header);
  size_t samples = 0;
  const auto takeComplete = [&src, &grid, &samples] {
    while (!src.pending.empty() && src.pending.front().complete) {
      for (GridRow& r : src.pending.front().rows) grid.rows.push_back(std::move(r));
      src.pending.pop_front();
      ++src.popped;
      ++samples;
    }
  };
  bool more = true;
  GridRow row;
  std::string key;
  for (;;) {
    takeComplete();
    if (samples >= kPartSamples || grid.rows.size() > kPartRows) break;
    if (!src.spare.empty() && row.cells.empty()) {
      row = std::move(src.spare.back());
      src.spare.pop_back();
    }
    if (!NextRow(*src.reader, src.delim, row)) {
      more = false;
      break;
    }
    ++src.rowNo;
    const uint64_t k = KeyOf(row, src.keyColumns, key);
    Source::Pending* p = nullptr;
    if (k == 0) {  // refused when read; in its place
      p = &src.pending.emplace_back();
      p->complete = true;
    } else {
      auto [it, fresh] = src.inFlight.emplace(k, src.popped + src.pending.size());
      if (fresh) src.pending.emplace_back();
      p = &src.pending[it->second - src.popped];
      auto last = src.lastRow.find(k);
      if (last == src.lastRow.end() || last->second <= src.rowNo) {
        p->complete = true;
        src.inFlight.erase(it);
        if (last != src.lastRow.end()) src.lastRow.erase(last);
      }
    }
    p->rows.push_back(std::move(row));
    row = GridRow();
  }
  if (!more) {
    // Whatever is left ends with the file (a file changed since its first reading).
    for (Source::Pending& p : src.pending) p.complete = true;
    takeComplete();
    if (src.reader->ReadFailed()) {
      SayAt(src, 0, "reading stopped: " + SystemReason());
      tally_.inputFailed = true;
    }
  }
  SayLongRecords(src, problems);
  return more;
}

bool InputStream::NextOfTable(Source& src, const BlockRules& rules, SampleBatch& batch) {
  if (src.kind == Source::Kind::kWhole) {
    std::vector<InputProblem> problems;
    problems.swap(src.wholeProblems);
    AppendTable(src, src.whole, rules, batch, problems);
    src.whole = SurveyTable();
    return false;
  }
  if (!src.indexed && !Index(src)) {
    src.failed = true;
    return false;
  }
  // Parts are read into samples on a thread with a resolver of their own,
  // one part at a time: this part's rows are gathered, the part before it
  // taken, then this one started, to be read while that one is entered.
  if (rules.resolver != nullptr && !partResolver_) partResolver_ = std::make_unique<NameResolver>(*rules.resolver);
  BlockRules partRules = rules;
  partRules.resolver = partResolver_.get();
  Grid grid;
  std::vector<InputProblem> problems;
  if (!src.rowsDone) src.rowsDone = !GatherPart(src, grid, problems);
  bool failed = false;
  if (src.reading.valid()) {
    TablePart r = src.reading.get();
    failed = !r.error.empty();
    if (failed) SayAt(src, src.header.line, r.error);
    src.seen.Merge(r.seen);
    src.empty.Merge(r.empty);
    batch = std::move(r.batch);
    Say(src, r.problems);
    for (size_t k = 1; k < r.grid.rows.size(); ++k) src.spare.push_back(std::move(r.grid.rows[k]));
  }
  if (failed) {
    src.failed = true;
    return false;
  }
  if (grid.rows.size() > 1 || !problems.empty()) {
    src.reading = std::async(std::launch::async, ReadPart, std::move(grid), std::cref(opt_), src.layout, src.firstPart,
                             partRules, static_cast<int>(src.index) + 1, std::move(problems));
    src.firstPart = false;
  }
  return src.reading.valid() || !src.rowsDone;
}

void InputStream::AppendTable(Source& src, const SurveyTable& table, const BlockRules& rules, SampleBatch& batch,
                              std::vector<InputProblem>& problems) {
  SayPooledTooMany(table, problems);
  AppendSurveyInputs(table.samples, rules, static_cast<int>(src.index) + 1, batch.store, batch.samples, problems);
  if (rules.sayRepeats) SayRepeatedSpecies(batch.samples, 0, rules.sumRepeats, problems);
  Say(src, problems);
}
