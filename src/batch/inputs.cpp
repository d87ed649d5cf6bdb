// The inputs of a run read as a stream of parts: each input opened and told
// apart by content, then turned into samples of records a part at a time.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "batch/batch.h"
#include "batch/covers.h"
#include "batch/inputs.h"
#include "batch/options.h"
#include "batch/reader.h"
#include "batch/workbook.h"

namespace {

constexpr size_t kHeadBytes = 64 * 1024;  // what tells an input's kind
constexpr size_t kCopyBlock = 1 << 20;

// True when the bytes are no text: a known binary signature, UTF-16, or many
// control bytes near the start.
const char* BinaryKind(std::string_view text) {
  if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
    return "UTF-16 text; save it as CSV (UTF-8)";
  }
  for (std::string_view sig : {std::string_view("%PDF"), std::string_view("\x1F\x8B"), std::string_view("\x89PNG")}) {
    if (text.substr(0, sig.size()) == sig) return "a binary file";
  }
  const size_t n = std::min<size_t>(text.size(), 65536);
  size_t odd = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') || c == 0x7f) ++odd;
  }
  return odd > 8 && odd * 20 > n ? "a binary file" : nullptr;
}

// Reads up to `n` bytes of a file or a stream.
bool ReadSome(std::FILE* fp, std::istream* in, std::string& out, size_t n) {
  out.resize(n);
  size_t got = 0;
  if (fp != nullptr) {
    got = std::fread(&out[0], 1, n, fp);
    out.resize(got);
    return std::ferror(fp) == 0;
  }
  in->read(&out[0], static_cast<std::streamsize>(n));
  got = static_cast<size_t>(in->gcount());
  out.resize(got);
  return !in->bad();
}

// The head and the rest of a file or stream copied to a temporary file, at its
// start; null (errno says why) when it cannot be.
std::FILE* CopyToTemporary(const std::string& head, std::FILE* fp, std::istream* in) {
  std::FILE* tmp = std::tmpfile();
  if (tmp == nullptr) return nullptr;
  bool ok = std::fwrite(head.data(), 1, head.size(), tmp) == head.size();
  std::string block;
  while (ok) {
    if (!ReadSome(fp, in, block, kCopyBlock)) {
      ok = false;
      break;
    }
    if (block.empty()) break;
    ok = std::fwrite(block.data(), 1, block.size(), tmp) == block.size();
  }
  if (!ok || std::fflush(tmp) != 0) {
    const int e = errno;
    std::fclose(tmp);
    errno = e;
    return nullptr;
  }
  std::rewind(tmp);
  return tmp;
}

// The rest of a file, from its start.
bool ReadAll(std::FILE* fp, std::string& text) {
  std::rewind(fp);
  text.clear();
  std::string block(kCopyBlock, '\0');
  size_t n = 0;
  while ((n = std::fread(&block[0], 1, block.size(), fp)) > 0) text.append(block, 0, n);
  return std::ferror(fp) == 0;
}

bool Blank(std::string_view line) { return std::all_of(line.begin(), line.end(), IsSpaceC); }

}  // namespace

// An input being read.
struct InputStream::Source {
  enum class Kind {
    kRefused,
    kBlocks,
    kTable,  // a long or matrix table, read a part at a time
    kWhole,  // a wide table or a workbook, read whole when opened
  };
  struct FileCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
  };
  // Rows of one sample (or pooled group) while its last row is still to come.
  struct Pending {
    std::vector<GridRow> rows;
    bool complete = false;
  };

  size_t index = 0;  // in the run's files
  Kind kind = Kind::kRefused;
  std::unique_ptr<std::FILE, FileCloser> fp;
  std::unique_ptr<RecordReader> reader;
  std::string layoutText;
  std::vector<size_t> placeOf;  // the run's column of each identifying column (SIZE_MAX: none)
  bool started = false;
  bool firstInput = false;
  bool failed = false;  // refused part way: said already
  // A table read a part at a time: its header, layout and the columns a row's
  // sample is told by; the last row of each sample (from a first reading).
  GridRow header;
  char delim = ',';
  Layout layout = Layout::kAuto;
  std::vector<std::string> tableIdHeaders;  // before pooling
  std::vector<size_t> keyColumns;
  bool indexed = false;
  std::unordered_map<uint64_t, uint64_t> lastRow;  // by key hash
  std::deque<Pending> pending;  // in order of first row
  std::unordered_map<uint64_t, uint64_t> inFlight;  // key hash -> place in pending + popped
  uint64_t popped = 0;
  uint64_t rowNo = 0;
  bool firstPart = true;
  std::vector<GridRow> spare;  // rows read before, their cells' room used again
  // A table read whole, its samples ready.
  SurveyTable whole;
  std::vector<InputProblem> wholeProblems;
  // Said once per input, at its end.
  ProblemCounter counter;
  CoverScaleSeen seen;
  EmptyFieldCheck empty;
  long samples = 0;
  long records = 0;
};

InputStream::InputStream(Console& con, const ClassifyOptions& opt, Tally& tally)
    : con_(con), opt_(opt), tally_(tally) {}

InputStream::~InputStream() = default;

bool InputStream::AnyTable() const {
  return std::any_of(sources_.begin(), sources_.end(),
                     [](const std::unique_ptr<Source>& s) {
                       return s->kind == Source::Kind::kTable || s->kind == Source::Kind::kWhole;
                     });
}

void InputStream::Open() {
  std::vector<std::string> names = opt_.files;
  if (names.empty()) names.emplace_back("-");
  run_.files.resize(names.size());
  for (size_t k = 0; k < names.size(); ++k) {
    run_.files[k].name = names[k];
    sources_.push_back(std::make_unique<Source>());
    sources_.back()->index = k;
    if (!OpenSource(*sources_.back())) {
      sources_.back()->kind = Source::Kind::kRefused;
      run_.files[k].noSample = true;
      tally_.inputFailed = true;
    }
  }
  JoinIdentifyingColumns();
}

std::string InputStream::Where(const Source& src, long line, int col) const {
  return WhereText(run_.files, SourcePos{static_cast<int>(src.index) + 1, static_cast<int32_t>(line), col});
}

bool InputStream::OpenSource(Source& src) {
  InputFile& file = run_.files[src.index];
  std::FILE* fp = nullptr;
  std::istream* in = nullptr;
  bool regular = false;
  errno = 0;
  if (file.name == "-") {
    in = &con_.in;
  } else {
    fp = std::fopen(PathIn(con_.dir, file.name).c_str(), "rb");
    if (fp == nullptr) {
      Diagnose(con_.err, file.name, SystemReason());
      return false;
    }
    struct stat st {};
    regular = fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode);
  }
  src.fp.reset(fp);
  std::string head;
  if (!ReadSome(fp, in, head, kHeadBytes)) {
    Diagnose(con_.err, file.name, SystemReason());
    return false;
  }
  const bool workbook = LooksLikeWorkbook(head);
  if (const char* binary = workbook ? nullptr : BinaryKind(head)) {
    Diagnose(con_.err, Where(src, 0),
             std::string(binary) + ", not a survey: surveys are read as CSV text or .xlsx workbooks in the " +
                 "layouts " + kLayoutsText + ", or as sample blocks");
    return false;
  }
  // What is read twice, or read again from its start, is read from a file.
  if (!regular) {
    std::FILE* tmp = CopyToTemporary(head, fp, in);
    if (tmp == nullptr) {
      Diagnose(con_.err, Where(src, 0), "cannot copy the input to a temporary file: " + SystemReason());
      return false;
    }
    src.fp.reset(tmp);
  } else {
    std::rewind(fp);
  }
  if (workbook) return OpenWorkbook(src);
  if (opt_.input == InputKind::kCsv || (opt_.input == InputKind::kAuto && LooksLikeTable(head))) {
    return OpenTable(src);
  }
  if (!opt_.poolBy.empty()) {
    Diagnose(con_.err, Where(src, 0), "--pool-by needs a survey table; the samples are not pooled");
  }
  src.kind = Source::Kind::kBlocks;
  src.layoutText = "sample blocks";
  src.reader = std::make_unique<RecordReader>(src.fp.get(), RecordReader::Kind::kLines);
  return true;
}

bool InputStream::OpenWorkbook(Source& src) {
  InputFile& file = run_.files[src.index];
  std::string bytes;
  if (!ReadAll(src.fp.get(), bytes)) {
    Diagnose(con_.err, file.name, SystemReason());
    return false;
  }
  src.fp.reset();
  Grid grid;
  std::string error;
  if (!ReadWorkbook(bytes, opt_.sheet, grid, error)) {
    Diagnose(con_.err, Where(src, 0), error);
    return false;
  }
  bytes = std::string();
  file.sheet = grid.sheet;
  if (!ReadWhole(src, grid)) return false;
  src.layoutText = "sheet " + grid.sheet + ", " + src.layoutText;
  return true;
}

void InputStream::JoinIdentifyingColumns() {
  run_.fileColumn = run_.files.size() > 1;
  run_.idHeaders.clear();
  std::vector<std::string> keys;
  if (run_.fileColumn) {
    run_.idHeaders.emplace_back("file");
    keys.emplace_back();  // matches no column's key
  }
  for (std::unique_ptr<Source>& src : sources_) {
    const std::vector<std::string>& headers = run_.files[src->index].idHeaders;
    for (const std::string& h : headers) {
      const std::string key = ColumnKey(h);
      // A single column named "sample" is the sample's name itself.
      if (headers.size() == 1 && key == "sample") {
        src->placeOf.push_back(SIZE_MAX);
        continue;
      }
      size_t k = std::find(keys.begin(), keys.end(), key) - keys.begin();
      if (k == keys.size()) {
        keys.push_back(key);
        run_.idHeaders.push_back(h);
      }
      src->placeOf.push_back(k);
    }
  }
}

void InputStream::Say(Source& src, const std::vector<InputProblem>& problems) {
  std::string all;
  for (const InputProblem& p : problems) {
    if (src.counter.Take(p.what, p.kind)) AppendDiagnosis(all, Where(src, p.line, p.col), p.what);
    ++(p.refused ? tally_.refused : tally_.warnings);
  }
  con_.err << all;
}

void InputStream::SayLongRecords(Source& src, std::vector<InputProblem>& problems) {
  for (const LongRecord& r : src.reader->TakeLong()) {
    problems.push_back({r.line,
                        Fmt("a line of %llu characters, longer than any record (%zu); it is left out",
                            static_cast<unsigned long long>(r.length), kLongestRecord),
                        true, -1, "line too long"});
  }
}

std::shared_ptr<SampleBatch> InputStream::Next(const BlockRules& rules) {
  while (current_ < sources_.size()) {
    Source& src = *sources_[current_];
    if (src.kind == Source::Kind::kRefused) {
      ++current_;
      continue;
    }
    if (!src.started) {
      src.started = true;
      // What the typed run would read first: nothing of an input before this one.
      src.firstInput = std::all_of(run_.files.begin(), run_.files.begin() + static_cast<long>(src.index),
                                   [](const InputFile& f) { return f.noSample; });
    }
    auto batch = std::make_shared<SampleBatch>();
    const bool more =
        src.kind == Source::Kind::kBlocks ? NextOfBlocks(src, rules, *batch) : NextOfTable(src, rules, *batch);
    for (SampleInput& s : batch->samples) {
      s.sumRepeats = rules.sumRepeats;
      std::vector<std::string> ids(run_.idHeaders.size());
      if (run_.fileColumn) ids[0] = run_.files[src.index].name;
      for (size_t j = 0; j < s.ids.size() && j < src.placeOf.size(); ++j) {
        if (src.placeOf[j] != SIZE_MAX) ids[src.placeOf[j]] = std::move(s.ids[j]);
      }
      s.ids = std::move(ids);
      src.records += static_cast<long>(s.records.size());
    }
    src.samples += static_cast<long>(batch->samples.size());
    if (!more) {
      End(src);
      ++current_;
    }
    if (!batch->samples.empty()) return batch;
  }
  return nullptr;
}

bool InputStream::NextOfBlocks(Source& src, const BlockRules& rules, SampleBatch& batch) {
  struct Span {
    long line;
    size_t at;
    size_t size;
  };
  std::vector<Span> spans;
  size_t ended = 0;  // samples ended by a blank line
  bool inSample = false;
  bool more = true;
  std::string_view record;
  long line = 0;
  while (ended < kPartSamples || inSample) {
    if (!src.reader->Next(record, line)) {
      more = false;
      break;
    }
    // A byte-order mark can only begin what the typed run reads.
    if (line == 1 && src.firstInput && record.substr(0, 3) == "\xEF\xBB\xBF") record.remove_prefix(3);
    spans.push_back(Span{line, batch.text.size(), record.size()});
    batch.text.append(record);
    batch.text += '\n';
    const bool blank = Blank(record);
    if (blank && inSample) ++ended;
    inSample = !blank;
  }
  std::vector<InputProblem> problems;
  SayLongRecords(src, problems);
  if (src.reader->ReadFailed()) {
    Diagnose(con_.err, Where(src, 0), "reading stopped: " + SystemReason());
    tally_.inputFailed = true;
  }
  std::vector<TextLine> lines;
  lines.reserve(spans.size());
  for (const Span& s : spans) lines.push_back(TextLine{s.line, std::string_view(batch.text).substr(s.at, s.size)});
  AppendBlockLines(lines, batch.text, !more, rules, static_cast<int>(src.index) + 1, batch.store, batch.samples,
                   problems);
  if (!more && !batch.samples.empty() && batch.samples.back().endsInput && batch.samples.back().records.empty()) {
    problems.push_back({batch.samples.back().where.line,
                        "the input ends after this sample's name, with no species line: as the end of a data "
                        "file, it makes a sample of no species, reported so",
                        false});
  }
  if (rules.sayRepeats) SayRepeatedSpecies(batch.samples, 0, rules.sumRepeats, problems);
  Say(src, problems);
  return more;
}

void InputStream::End(Source& src) {
  InputFile& file = run_.files[src.index];
  std::vector<InputProblem> problems;
  CheckScale(src.seen, opt_.nCoverScale, problems);
  if (src.kind == Source::Kind::kTable) src.empty.Say(src.tableIdHeaders, problems);
  Say(src, problems);
  std::string beyond;
  for (const std::string& more : src.counter.Beyond()) AppendDiagnosis(beyond, Where(src, 0), more);
  con_.err << beyond;
  src.reader.reset();
  src.fp.reset();
  if (src.samples == 0 && !src.failed) {
    Diagnose(con_.err, Where(src, 0), "holds no sample");
  }
  if (src.samples == 0) {
    file.noSample = true;
    tally_.inputFailed = true;
    return;
  }
  if (!opt_.quiet) {
    Diagnose(con_.err, Where(src, 0),
             Fmt("%ld samples read (%s), %ld species records", src.samples, src.layoutText.c_str(), src.records));
  }
}

// ---- tables ---------------------------------------------------------------------------------

namespace {

constexpr size_t kProbeRows = 200;  // rows read with the header to tell a table's layout

// The next row of a table that holds anything; a byte-order mark before the
// first line is passed over.
bool NextRow(RecordReader& reader, char delim, GridRow& row, size_t maxFields = SIZE_MAX) {
  std::string_view record;
  long line = 0;
  while (reader.Next(record, line)) {
    if (line == 1 && record.substr(0, 3) == "\xEF\xBB\xBF") record.remove_prefix(3);
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
    std::string_view field = c < row.cells.size() ? std::string_view(row.cells[c]) : std::string_view();
    while (!field.empty() && IsSpaceC(field.front())) field.remove_prefix(1);
    while (!field.empty() && IsSpaceC(field.back())) field.remove_suffix(1);
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

SurveyReading ReadingOf(const ClassifyOptions& opt, Layout layout) {
  return SurveyReading{layout, opt.sampleCols, opt.poolBy, opt.scale == ScaleKind::kPresence};
}

CoverRules CoverRulesOf(const ClassifyOptions& opt) {
  return CoverRules{opt.nCoverScale, opt.scale == ScaleKind::kPresence, opt.strict};
}

}  // namespace

bool InputStream::OpenTable(Source& src) {
  src.reader = std::make_unique<RecordReader>(src.fp.get(), RecordReader::Kind::kCsv);
  Grid probe;
  GridRow row;
  std::string_view record;
  long line = 0;
  while (probe.rows.empty() && src.reader->Next(record, line)) {
    if (line == 1 && record.substr(0, 3) == "\xEF\xBB\xBF") record.remove_prefix(3);
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
    Diagnose(con_.err, Where(src, 0), Fmt("line %ld: a quoted field is never closed", src.reader->UnclosedQuote()));
    return false;
  }
  if (probe.rows.empty()) {
    Diagnose(con_.err, Where(src, 0), "holds no sample");
    return false;
  }
  SurveyReading how = ReadingOf(opt_, opt_.layout);
  how.checkEmptyFields = false;
  SurveyTable t;
  std::vector<InputProblem> problems;  // said as the rows are read again
  std::string error;
  if (!ReadSurvey(probe, how, t, problems, error)) {
    Diagnose(con_.err, Where(src, probe.rows[0].line), error);
    return false;
  }
  if (t.layout == Layout::kWide) {  // a column per sample: read whole
    while (NextRow(*src.reader, src.delim, row)) probe.rows.push_back(row);
    if (src.reader->UnclosedQuote() != 0) {
      Diagnose(con_.err, Where(src, 0), Fmt("line %ld: a quoted field is never closed", src.reader->UnclosedQuote()));
      return false;
    }
    SayLongRecords(src, src.wholeProblems);
    src.reader.reset();
    return ReadWhole(src, probe);
  }
  src.tableIdHeaders = t.idHeaders;
  if (!opt_.poolBy.empty() && !PoolSamples(t, opt_.poolBy, error)) {
    Diagnose(con_.err, Where(src, probe.rows[0].line), error);
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
    Diagnose(con_.err, Where(src, grid.rows.empty() ? 0 : grid.rows[0].line), error);
    Say(src, problems);
    return false;
  }
  TakeCovers(t, CoverRulesOf(opt_), problems, src.seen);
  if (!opt_.poolBy.empty() && !PoolSamples(t, opt_.poolBy, error)) {
    Diagnose(con_.err, Where(src, grid.rows[0].line), error);
    Say(src, problems);
    return false;
  }
  if (t.samples.empty()) {
    Diagnose(con_.err, Where(src, 0), "holds no sample");
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
    Diagnose(con_.err, Where(src, 0), Fmt("line %ld: a quoted field is never closed", reader.UnclosedQuote()));
    return false;
  }
  if (reader.ReadFailed()) {
    Diagnose(con_.err, Where(src, 0), "cannot be read: " + SystemReason());
    return false;
  }
  std::rewind(src.fp.get());
  src.reader = std::make_unique<RecordReader>(src.fp.get(), RecordReader::Kind::kCsv);
  NextRow(*src.reader, src.delim, row);  // the header
  src.indexed = true;
  return true;
}

bool InputStream::NextOfTable(Source& src, const BlockRules& rules, SampleBatch& batch) {
  std::vector<InputProblem> problems;
  if (src.kind == Source::Kind::kWhole) {
    problems.swap(src.wholeProblems);
    AppendTable(src, src.whole, rules, batch, problems);
    src.whole = SurveyTable();
    return false;
  }
  if (!src.indexed && !Index(src)) {
    src.failed = true;
    return false;
  }
  // Whole samples, in order of their first row, each complete at its last row.
  Grid grid;
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
    if (!src.spare.empty()) {
      row = std::move(src.spare.back());
      src.spare.pop_back();
    }
  }
  if (!more) {
    // Whatever is left ends with the file (a file changed since its first reading).
    for (Source::Pending& p : src.pending) p.complete = true;
    takeComplete();
    if (src.reader->ReadFailed()) {
      Diagnose(con_.err, Where(src, 0), "reading stopped: " + SystemReason());
      tally_.inputFailed = true;
    }
  }
  SayLongRecords(src, problems);
  if (grid.rows.size() == 1) {
    Say(src, problems);
    return more;
  }
  SurveyReading how = ReadingOf(opt_, opt_.layout);
  how.found = src.layout;
  how.checkEmptyFields = false;
  SurveyTable table;
  std::string error;
  if (!ReadSurvey(grid, how, table, problems, error)) {
    Diagnose(con_.err, Where(src, src.header.line), error);
    Say(src, problems);
    src.failed = true;
    return false;
  }
  if (!src.firstPart) {  // what the header says is said once
    problems.erase(std::remove_if(problems.begin(), problems.end(),
                                  [&src](const InputProblem& p) { return p.line == src.header.line; }),
                   problems.end());
  }
  src.firstPart = false;
  for (size_t r = 1; r < grid.rows.size(); ++r) src.spare.push_back(std::move(grid.rows[r]));
  src.empty.Add(table);
  TakeCovers(table, CoverRulesOf(opt_), problems, src.seen);
  if (!opt_.poolBy.empty() && !PoolSamples(table, opt_.poolBy, error)) {
    Diagnose(con_.err, Where(src, src.header.line), error);
    Say(src, problems);
    src.failed = true;
    return false;
  }
  AppendTable(src, table, rules, batch, problems);
  return more;
}

void InputStream::AppendTable(Source& src, const SurveyTable& table, const BlockRules& rules, SampleBatch& batch,
                              std::vector<InputProblem>& problems) {
  for (const SurveySample& s : table.samples) {
    if (s.maxFreq > kMaxFrequency) {
      problems.push_back({s.line,
                          "sample " + s.name +
                              Fmt(" pools more than %d samples; frequencies are kept to %d", kMaxFrequency, kMaxFrequency),
                          false, s.col});
    }
  }
  AppendSurveyInputs(table.samples, rules, static_cast<int>(src.index) + 1, batch.store, batch.samples, problems);
  if (rules.sayRepeats) SayRepeatedSpecies(batch.samples, 0, rules.sumRepeats, problems);
  Say(src, problems);
}
