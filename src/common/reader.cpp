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

bool RecordReader::Next(std::string_view& record, long& line) {
  const bool csv = kind_ == Kind::kCsv;
  for (;;) {
    // The record's end, scanned from its start each time more is read (at
    // most kLongestRecord characters are scanned again).
    size_t i = pos_;
    bool quoted = false;
    long inner = 0;  // line ends inside quotes
    long openedOn = 0;
    size_t end = std::string_view::npos;
    size_t endLength = 0;
    const size_t size = text_.size();
    const char* data = text_.data();
    const size_t limit = std::min(size, pos_ + kLongestRecord + 2);
    if (!csv && limit > i) {
      const void* nl = std::memchr(data + i, '\n', limit - i);
      if (nl != nullptr) {
        end = static_cast<size_t>(static_cast<const char*>(nl) - data);
        endLength = 1;
      }
    }
    if (!csv) i = limit;
    if (csv && limit > i) {
      // Most records hold no quote: they end at the next line feed (after a CR).
      const void* nl = std::memchr(data + i, '\n', limit - i);
      if (nl != nullptr) {
        const size_t lf = static_cast<size_t>(static_cast<const char*>(nl) - data);
        const std::string_view run(data + i, lf - i);
        const size_t cr = run.find('\r');
        if (run.find('"') == std::string_view::npos && (cr == std::string_view::npos || cr + 1 == run.size())) {
          end = cr == std::string_view::npos ? lf : lf - 1;
          endLength = cr == std::string_view::npos ? 1 : 2;
        }
      }
    }
    for (; csv && end == std::string_view::npos && i < limit; ++i) {
      const char c = data[i];
      if (c == '"') {
        quoted = !quoted;
        if (quoted) openedOn = line_ + inner;
      } else if (c == '\n') {
        if (!quoted) {
          end = i;
          endLength = 1;
          break;
        }
        ++inner;
      } else if (c == '\r' && !quoted) {
        if (i + 1 < size) {
          end = i;
          endLength = data[i + 1] == '\n' ? 2 : 1;
          break;
        }
        if (eof_) {
          end = i;
          endLength = 1;
          break;
        }
        break;  // a CR at the end of what is held: its LF may follow
      }
    }
    if (end != std::string_view::npos && end - pos_ <= kLongestRecord) {
      record = Taken(text_.substr(pos_, end - pos_));
      line = line_;
      line_ += 1 + inner;
      pos_ = end + endLength;
      return true;
    }
    if (end != std::string_view::npos || limit - pos_ > kLongestRecord) {
      SkipLong(line_, 0);
      continue;
    }
    if (Fill()) continue;
    if (pos_ >= text_.size()) return false;
    if (csv && quoted) {
      unclosedAt_ = openedOn;
      pos_ = text_.size();
      return false;
    }
    record = Taken(text_.substr(pos_));
    line = line_;
    line_ += 1 + inner;
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
