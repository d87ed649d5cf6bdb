// Inputs read a record at a time, holding only the record being read: a line
// of a block file, or a CSV record (its lines joined while a quoted field is
// open). A survey archive or a national data set may be far larger than memory;
// nothing here grows with the input, and a record longer than any real one is
// passed over and said once, not held or cut into pieces.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// The longest record read: a survey row or a sample line is a few hundred
// characters; a wide table's rows a few thousand.
constexpr size_t kLongestRecord = 64 * 1024;

// A record passed over for its length: the line it starts on and how many
// characters it held up to its line end.
struct LongRecord {
  long line;
  uint64_t length;
};

// What is said of a quoted field never closed, opened on `line`.
std::string UnclosedQuoteText(long line);

class RecordReader {
 public:
  enum class Kind {
    kLines,  // a record ends at LF; a CR is left in the record
    kCsv,    // a record ends at LF, CR LF or a lone CR outside quotes
  };
  // Reads `file` (not owned) from its start; `passMark`: a UTF-8 byte-order
  // mark before the first record is passed over.
  RecordReader(std::FILE* file, Kind kind, bool passMark = true);
  // Reads a text held in memory.
  RecordReader(std::string_view text, Kind kind, bool passMark = true);
  RecordReader(const RecordReader&) = delete;
  RecordReader& operator=(const RecordReader&) = delete;

  // The next record and the line it starts on (from 1), without its line end.
  // The view holds until the next call. False at the end of the input, on a
  // read error, or (CSV) when a quoted field is never closed.
  bool Next(std::string_view& record, long& line);

  // Records passed over for their length since the last call, in order.
  std::vector<LongRecord> TakeLong();
  bool ReadFailed() const { return readFailed_; }
  // The line of a quoted field never closed (0: none).
  long UnclosedQuote() const { return unclosedAt_; }
  // Bytes read from the input so far.
  uint64_t BytesRead() const { return bytesRead_; }

 private:
  // Reads more of the file after what is held; false at its end.
  bool Fill();
  // The record handed out (without a byte-order mark, for the first).
  std::string_view Taken(std::string_view record);
  // Passes over the rest of a record too long to hold, up to its line end.
  void SkipLong(long line, uint64_t held);

  std::FILE* file_ = nullptr;
  Kind kind_;
  std::string buf_;           // the file's bytes not yet handed out
  std::string_view text_;     // what is held: buf_, or the text in memory
  size_t pos_ = 0;            // the start of the next record in text_
  bool eof_ = false;
  bool passMark_;
  bool first_ = true;         // the next record is the input's first
  bool readFailed_ = false;
  long line_ = 1;             // the line pos_ stands on
  long unclosedAt_ = 0;
  uint64_t bytesRead_ = 0;
  std::vector<LongRecord> long_;
};
