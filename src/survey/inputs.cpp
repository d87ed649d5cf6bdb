// The inputs of a run read as a stream of parts: each input opened and told
// apart by content, then turned into samples of records a part at a time.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <deque>
#include <unordered_map>

#include "common/common.h"
#include "survey/covers.h"
#include "survey/blocks.h"
#include "survey/inputs.h"
#include "survey/table_parts.h"
#include "tables/csv.h"
#include "common/reader.h"
#include "tables/workbook.h"

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


InputStream::InputStream(Console& con, const InputRules& opt, Tally& tally)
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
    sources_.back()->counter = ProblemCounter(opt_.allProblems);
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

void InputStream::SayAt(const Source& src, long line, const std::string& what, const char* kind) {
  SayMessages(con_, {MessageAt(run_.files, SourcePos{static_cast<int>(src.index) + 1, static_cast<int32_t>(line)},
                               what, kind)});
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
      DiagnoseInput(con_, file.name, 0, SystemReason());
      return false;
    }
    struct stat st {};
    regular = fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode);
  }
  src.fp.reset(fp);
  std::string head;
  if (!ReadSome(fp, in, head, kHeadBytes)) {
    DiagnoseInput(con_, file.name, 0, SystemReason());
    return false;
  }
  const bool workbook = LooksLikeWorkbook(head);
  if (const char* binary = workbook ? nullptr : BinaryKind(head)) {
    SayAt(src, 0,
             std::string(binary) + ", not a survey: surveys are read as CSV text or .xlsx workbooks in the " +
                 "layouts " + kLayoutsText + ", or as sample blocks");
    return false;
  }
  // What is read twice, or read again from its start, is read from a file.
  if (!regular) {
    std::FILE* tmp = CopyToTemporary(head, fp, in);
    if (tmp == nullptr) {
      SayAt(src, 0, "cannot copy the input to a temporary file: " + SystemReason());
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
    SayAt(src, 0, "--pool-by needs a survey table; the samples are not pooled");
  }
  src.kind = Source::Kind::kBlocks;
  src.layoutText = "sample blocks";
  return true;
}

bool InputStream::OpenWorkbook(Source& src) {
  InputFile& file = run_.files[src.index];
  std::string bytes;
  if (!ReadAll(src.fp.get(), bytes)) {
    DiagnoseInput(con_, file.name, 0, SystemReason());
    return false;
  }
  src.fp.reset();
  Grid grid;
  std::string error;
  if (!ReadWorkbook(bytes, opt_.sheet, grid, error)) {
    SayAt(src, 0, error);
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
  std::vector<Message> all;
  for (const InputProblem& p : problems) {
    if (src.counter.Take(p.what, p.kind)) {
      all.push_back(MessageAt(run_.files, SourcePos{static_cast<int>(src.index) + 1, static_cast<int32_t>(p.line), p.col},
                              p.what, p.kind));
    }
    ++(p.refused ? tally_.refused : tally_.warnings);
  }
  SayMessages(con_, std::move(all));
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
      // A byte-order mark can only begin what the typed run reads.
      if (src.kind == Source::Kind::kBlocks) {
        src.reader = std::make_unique<RecordReader>(src.fp.get(), RecordReader::Kind::kLines, src.firstInput);
      }
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
    SayAt(src, 0, "reading stopped: " + SystemReason());
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
  std::vector<Message> beyond;
  for (const std::string& more : src.counter.Beyond()) {
    beyond.push_back(MessageAt(run_.files, SourcePos{static_cast<int>(src.index) + 1, 0}, more));
  }
  SayMessages(con_, std::move(beyond));
  src.reader.reset();
  src.fp.reset();
  if (src.samples == 0 && !src.failed) {
    SayAt(src, 0, "holds no sample");
  }
  if (src.samples == 0) {
    file.noSample = true;
    tally_.inputFailed = true;
    return;
  }
  if (!opt_.quiet) {
    SayAt(src, 0, Fmt("%ld samples read (%s), %ld species records", src.samples, src.layoutText.c_str(), src.records),
          kSamplesReadKind);
  }
}

