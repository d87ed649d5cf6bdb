// The batch command line, `vegmatch classify`: every sample of one or more files
// (sample blocks, or a survey exported as CSV) scored with the engine of the typed
// run, without a question, into tidy CSV or into the typed run's own results file.
//
// Every input becomes sample blocks, the data-file format of the typed run, and is
// read by the same sample entry, so a survey written as CSV is scored exactly as
// the same samples written as blocks; the classic formats are the typed run's
// results file byte for byte.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <initializer_list>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "console/console.h"
#include "refdata/refdata.h"
#include "report/report.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

#include "batch/options.h"
#include "batch/inputs.h"

// The text without the white space at either end.
std::string Trim(std::string_view s);
// Whether the word is one of the list.
bool IsOneOf(const std::string& word, std::initializer_list<const char*> list);
// The rest of a stream, read in blocks; false when reading failed.
bool ReadWholeStream(std::istream& in, std::string& text);
// A whole file; false when it cannot be opened or read.
bool ReadFileText(const std::string& path, std::string& text);

// A stream written into memory (open_memstream): what a report or entry writes
// is collected and handed out as text. The stream is opened once and starts
// again from empty at each use, so a use costs neither an open nor a close.
class MemoryFile {
 public:
  MemoryFile() = default;
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile() {
    if (fp_ != nullptr) std::fclose(fp_);
    std::free(data_);
  }
  // The stream, empty; the File borrows it (not open when memory ran out).
  File Open() {
    if (fp_ == nullptr) {
      fp_ = open_memstream(&data_, &size_);
      if (fp_ == nullptr) return File();
    } else {
      std::rewind(fp_);  // also clears the error flag of an earlier use
    }
    return File::Borrowed(fp_);
  }
  // Closes the file and hands out what was written to it.
  std::string Take(File& file) {
    std::string text;
    TakeInto(file, text);
    return text;
  }
  // The same, appended to text.
  void TakeInto(File& file, std::string& text) {
    const bool ours = fp_ != nullptr && file.get() == fp_;
    file.Close();  // the flush sets data_ and size_
    if (ours && data_ != nullptr) text.append(data_, size_);
  }

 private:
  std::FILE* fp_ = nullptr;
  char* data_ = nullptr;
  size_t size_ = 0;
};

// Reports a scored sample as the typed program does, out of the user's sight:
// what the report writes to the results file is appended to text.
inline void ReportInto(const RefData& ref, const SampleState& sample, const ScoringState& sc,
                       RunSettings& settings, QuietConsole& quiet, MemoryFile& memory,
                       std::string& text) {
  settings.fpResults = memory.Open();
  ReportFits(quiet.con, ref, sample, sc, settings);
  memory.TakeInto(settings.fpResults, text);
}

// ---- batches in flight ----------------------------------------------------------
// Samples entered and handed on together. Its jobs keep their memory from one
// use to the next; the first `count` are in use.
template <typename Job>
struct JobBatch {
  std::vector<Job> jobs;
  size_t count = 0;
  bool scored = false;
  std::string err;  // what scoring it said
  // The next job, to be filled.
  Job& Add() {
    if (count == jobs.size()) jobs.emplace_back();
    return jobs[count++];
  }
};

// Batches on their way from entry to the results: at most `room` at a time
// between being pushed and being written. The job threads score them in any
// order and write them in the order they were pushed; a written batch comes
// back to be filled again, with the memory of its jobs.
// B has `bool scored`, `size_t count` and `std::string err` (what its scoring
// said, handed back by TakeSaid), as JobBatch has.
template <typename B>
class BatchQueue {
 public:
  explicit BatchQueue(size_t room) : room_(room) {}

  std::unique_ptr<B> Recycled() {
    std::lock_guard<std::mutex> lock(m_);
    if (free_.empty()) return std::make_unique<B>();
    std::unique_ptr<B> b = std::move(free_.back());
    free_.pop_back();
    return b;
  }
  // Waits for room, then queues the batch.
  void Push(std::unique_ptr<B> b) {
    std::unique_lock<std::mutex> lock(m_);
    // The batch being written still counts: it is no longer queued, but its
    // memory is not yet free.
    space_.wait(lock, [&] { return queued_.size() + (writing_ ? 1 : 0) < room_; });
    queued_.push_back(std::move(b));
    work_.notify_one();
  }
  // No more batches: the job threads return once every batch is written.
  void Close() {
    std::lock_guard<std::mutex> lock(m_);
    closed_ = true;
    work_.notify_all();
  }
  // A job thread's loop: score(batch) the next batch not yet taken, then
  // write(batch) the oldest batches that are scored, one thread at a time.
  template <typename Score, typename Write>
  void Work(Score score, Write write) {
    std::unique_lock<std::mutex> lock(m_);
    for (;;) {
      work_.wait(lock, [&] { return next_ < queued_.size() || closed_; });
      if (next_ >= queued_.size()) return;
      B& b = *queued_[next_++];
      lock.unlock();
      score(b);
      lock.lock();
      b.scored = true;
      while (!writing_ && !queued_.empty() && queued_.front()->scored) {
        writing_ = true;
        std::unique_ptr<B> front = std::move(queued_.front());
        queued_.pop_front();
        --next_;
        lock.unlock();
        write(*front);
        lock.lock();
        writing_ = false;
        said_.push_back(std::move(front->err));
        front->err.clear();
        front->count = 0;
        front->scored = false;
        free_.push_back(std::move(front));
        space_.notify_one();
      }
    }
  }
  // What the job threads said about the batches written so far, in order.
  std::vector<std::string> TakeSaid() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<std::string> said;
    said.swap(said_);
    return said;
  }

 private:
  const size_t room_;
  std::mutex m_;
  std::condition_variable work_;   // a batch to score, or the queue closed
  std::condition_variable space_;  // a batch written
  std::deque<std::unique_ptr<B>> queued_;  // pushed and not yet written, in order
  size_t next_ = 0;                        // queued_[next_] is the next to score
  bool writing_ = false;
  bool closed_ = false;
  std::vector<std::unique_ptr<B>> free_;
  std::vector<std::string> said_;
};

// ---- the commands -------------------------------------------------------------------
// `vegmatch classify` and `vegmatch names`; the arguments after the command name.
int ClassifyMain(int argc, const char* const* argv, Console& con);
int NamesMain(int argc, const char* const* argv, Console& con);
