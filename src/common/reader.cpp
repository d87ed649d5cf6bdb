// Records read from a file a block at a time.
#include "common/reader.h"

#include <cassert>
#include <cstring>

namespace {

constexpr size_t kBlock = 1 << 20;  // bytes read at a time

}  // namespace

RecordReader::RecordReader(std::FILE* file, Kind kind, bool passMark) : file_(file), kind_(kind), passMark_(passMark) {
  assert(file != nullptr);
}

RecordReader::RecordReader(std::string_view text, Kind kind, bool passMark)
    : kind_(kind), text_(text), eof_(true), passMark_(passMark) {}

std::string_view RecordReader::Taken(std::string_view record) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (first_ && passMark_ && record.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    record.remove_prefix(kByteOrderMark.size());
  }
  first_ = false;
  return record;
}

bool RecordReader::Fill() {
  if (file_ == nullptr || eof_) return false;
  buf_.erase(0, pos_);
  pos_ = 0;
  const size_t held = buf_.size();
  buf_.resize(held + kBlock);
  const size_t n = std::fread(&buf_[held], 1, kBlock, file_);
  buf_.resize(held + n);
  bytesRead_ += n;
  if (n < kBlock) {
    readFailed_ = std::ferror(file_) != 0;
    eof_ = true;
  }
  text_ = buf_;
  return n > 0;
}

void RecordReader::SkipLong(long line, uint64_t held) {
  uint64_t length = held;
  pos_ += held;
  for (;;) {
    const char* at = text_.data() + pos_;
    const void* nl = pos_ < text_.size() ? std::memchr(at, '\n', text_.size() - pos_) : nullptr;
    if (nl != nullptr) {
      const size_t n = static_cast<size_t>(static_cast<const char*>(nl) - at);
      length += n;
      pos_ += n + 1;
      break;
    }
    length += text_.size() - pos_;
    pos_ = text_.size();
    if (!Fill()) break;
  }
  long_.push_back(LongRecord{line, length});
  first_ = false;
  line_ = line + 1;
}

namespace {

// Where a record ends in the text held, as far as a scan found it.
struct RecordEnd {
  size_t at = std::string_view::npos;  // its line end (npos: not found)
  size_t length = 0;                   // the line end's length
  bool quoted = false;                 // a quoted field is open where the scan stopped
  long inner = 0;                      // line ends inside quotes
  long openedOn = 0;                   // the line the open quoted field starts on
};

// A line's end: its LF in data[from, limit).
inline RecordEnd LineEnd(const char* data, size_t from, size_t limit) {
  RecordEnd found;
  if (limit > from) {
    const void* nl = std::memchr(data + from, '\n', limit - from);
    if (nl != nullptr) {
      found.at = static_cast<size_t>(static_cast<const char*>(nl) - data);
      found.length = 1;
    }
  }
  return found;
}

// Most CSV records hold no quote: they end at the next line feed (after a CR).
// Found only when the record up to that LF holds no quote and no other CR.
inline void PlainCsvEnd(const char* data, size_t from, size_t limit, RecordEnd& found) {
  if (limit <= from) return;
  const void* nl = std::memchr(data + from, '\n', limit - from);
  if (nl == nullptr) return;
  const size_t lf = static_cast<size_t>(static_cast<const char*>(nl) - data);
  const std::string_view run(data + from, lf - from);
  const size_t cr = run.find('\r');
  if (run.find('"') == std::string_view::npos && (cr == std::string_view::npos || cr + 1 == run.size())) {
    found.at = cr == std::string_view::npos ? lf : lf - 1;
    found.length = cr == std::string_view::npos ? 1 : 2;
  }
}

// A CSV record's end scanned a character at a time from `from`, following
// quotes: LF, CR LF or a lone CR outside them. A CR at the end of what is held
// (`size`) ends the record only at the end of the input (`eof`); `line` is
// the line the record starts on.
inline void QuotedCsvEnd(const char* data, size_t from, size_t limit, size_t size, bool eof, long line,
                         RecordEnd& found) {
  for (size_t i = from; i < limit; ++i) {
    const char c = data[i];
    if (c == '"') {
      found.quoted = !found.quoted;
      if (found.quoted) found.openedOn = line + found.inner;
    } else if (c == '\n') {
      if (!found.quoted) {
        found.at = i;
        found.length = 1;
        return;
      }
      ++found.inner;
    } else if (c == '\r' && !found.quoted) {
      if (i + 1 < size) {
        found.at = i;
        found.length = data[i + 1] == '\n' ? 2 : 1;
        return;
      }
      if (eof) {
        found.at = i;
        found.length = 1;
      }
      return;  // a CR at the end of what is held: its LF may follow
    }
  }
}

// A CSV record's end: the plain way when it holds no quote, else by a scan.
inline RecordEnd CsvEnd(const char* data, size_t from, size_t limit, size_t size, bool eof, long line) {
  RecordEnd found;
  PlainCsvEnd(data, from, limit, found);
  if (found.at == std::string_view::npos) QuotedCsvEnd(data, from, limit, size, eof, line, found);
  return found;
}

}  // namespace

bool RecordReader::Next(std::string_view& record, long& line) {
  for (;;) {
    // The record's end, scanned from its start each time more is read (at
    // most kLongestRecord characters are scanned again).
    const size_t size = text_.size();
    const char* data = text_.data();
    const size_t limit = std::min(size, pos_ + kLongestRecord + 2);
    const RecordEnd found =
        kind_ == Kind::kCsv ? CsvEnd(data, pos_, limit, size, eof_, line_) : LineEnd(data, pos_, limit);
    if (found.at != std::string_view::npos && found.at - pos_ <= kLongestRecord) {
      record = Taken(text_.substr(pos_, found.at - pos_));
      line = line_;
      line_ += 1 + found.inner;
      pos_ = found.at + found.length;
      return true;
    }
    if (found.at != std::string_view::npos || limit - pos_ > kLongestRecord) {
      SkipLong(line_, 0);
      continue;
    }
    if (Fill()) continue;
    if (pos_ >= text_.size()) return false;
    if (found.quoted) {  // only a CSV record opens quotes
      unclosedAt_ = found.openedOn;
      pos_ = text_.size();
      return false;
    }
    record = Taken(text_.substr(pos_));
    line = line_;
    line_ += 1 + found.inner;
    pos_ = text_.size();
    return true;
  }
}

std::string UnclosedQuoteText(long line) {
  return "line " + std::to_string(line) + ": a quoted field is never closed";
}

std::vector<LongRecord> RecordReader::TakeLong() {
  std::vector<LongRecord> taken;
  taken.swap(long_);
  return taken;
}
