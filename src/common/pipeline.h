// The one ordered pipeline of the program: jobs are entered one at a time on the
// calling thread, handed on in batches, scored on every core, and written in the
// order they were entered. The data-file run of the typed program and
// `vegmatch classify` both run through it.
//
// Why it is written here and not on oneTBB's parallel_pipeline (a serial input
// stage, a parallel scoring stage, a serial writing stage in order):
// - CI runs the threaded tests under the thread sanitizer and fails on any
//   report. Debian's libtbb is not built with it, so the sanitizer cannot see the
//   hand-offs inside the library: a three-stage parallel_pipeline that is correct
//   (20000 items, every one written in order) gave 18 data-race reports in one
//   run, on the items passed between stages and on the vector of the writing
//   stage.
// - parallel_pipeline calls the input stage itself, while both runs enter their
//   samples in a loop of their own (prompts, counters, what entry writes) and
//   hand each one on.
// The pipeline below is that loop's other half: BatchQueue holds the batches in
// flight, OrderedPipeline the threads, the lanes and the batching.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Jobs handed on together. Small batches keep the memory in flight small (a few
// batches per thread, a sample's report about 4 KB each): batches of 512 made a
// large classify run fault in some 40 MB more pages.
constexpr size_t kPipelineBatchSamples = 64;

// Jobs entered and handed on together. Its jobs keep their memory from one use
// to the next; the first `count` are in use.
template <typename Job>
struct JobBatch {
  std::vector<Job> jobs;
  size_t count = 0;
  bool scored = false;
  std::string err;  // what scoring and writing it said
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
        space_.notify_all();
      }
    }
  }
  // Waits until every batch pushed is written.
  void WaitWritten() {
    std::unique_lock<std::mutex> lock(m_);
    space_.wait(lock, [&] { return queued_.empty() && !writing_; });
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

// Entry on the calling thread, scoring on `threads` threads, writing in entry
// order. Each thread has a Lane of its own (a copy of the scoring state, a quiet
// console, a memory stream...), made by `makeLane(0..threads-1)` on the calling
// thread before any job is scored; Lane has `std::string TakeSaid()`, what its
// thread said since it was last asked. The stages:
//   score(job, lane)  any thread, any order, one lane per thread;
//   write(job, lane)  in entry order, one job at a time, by whichever thread
//                     finished the oldest batch (with that thread's lane).
// What the lanes said while scoring and while writing a batch is written to
// `said` on the calling thread, batch by batch in entry order, when a batch is
// handed on and at Finish. With one thread nothing runs beside the caller: a
// batch is scored and written on the calling thread when it is handed on.
template <typename Job, typename Lane>
class OrderedPipeline {
 public:
  using MakeLane = std::function<std::unique_ptr<Lane>(int lane)>;
  using Stage = std::function<void(Job& job, Lane& lane)>;

  // threads <= 0: one per core.
  OrderedPipeline(int threads, const MakeLane& makeLane, Stage score, Stage write, std::ostream& said,
                  size_t batchSamples = kPipelineBatchSamples)
      : score_(std::move(score)),
        write_(std::move(write)),
        said_(said),
        batchSamples_(std::max<size_t>(1, batchSamples)),
        threads_(threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()))),
        queue_(Room()) {
    for (int t = 0; t < threads_; ++t) lanes_.push_back(makeLane(t));
    if (threads_ == 1) return;
    for (std::unique_ptr<Lane>& lane : lanes_) {
      Lane* l = lane.get();
      pool_.emplace_back([this, l] {
        queue_.Work([this, l](Batch& b) { Run(score_, b, *l); }, [this, l](Batch& b) { Run(write_, b, *l); });
      });
    }
  }
  OrderedPipeline(const OrderedPipeline&) = delete;
  OrderedPipeline& operator=(const OrderedPipeline&) = delete;
  // Without Finish, the batches handed on are still written; the one being
  // filled is dropped and nothing more is said.
  ~OrderedPipeline() { Join(); }

  // The next job to fill. Jobs are used again from batch to batch with what
  // they held: fill every field. A full batch is handed on here, when a job
  // beyond it is asked for; it may wait for room.
  Job& Add() {
    if (batch_->count == batchSamples_) HandOn();
    return batch_->Add();
  }
  // Hands on the last batch, waits until every job is written, and says what
  // is left to say. The pipeline takes no more jobs.
  void Finish() {
    HandOn();
    Join();
    Say();
  }

  // Hands on the batch being filled and waits until every job is written;
  // the pipeline goes on taking jobs.
  void Drain() {
    HandOn();
    if (threads_ > 1) queue_.WaitWritten();
    Say();
  }

  int Threads() const { return threads_; }
  // Batches in flight at most (handed on, not yet written): two per thread and
  // two more, so that no thread waits for the writer.
  size_t Room() const { return 2 * static_cast<size_t>(threads_) + 2; }

 private:
  using Batch = JobBatch<Job>;

  // An exception a stage throws (memory run out) stops nothing on the job
  // thread: it is kept, and thrown again on the calling thread.
  void Run(const Stage& stage, Batch& b, Lane& lane) {
    try {
      for (size_t k = 0; k < b.count; ++k) stage(b.jobs[k], lane);
    } catch (...) {
      std::lock_guard<std::mutex> lock(failedMutex_);
      if (!failed_) failed_ = std::current_exception();
    }
    b.err += lane.TakeSaid();
  }
  void ThrowFailure() {
    std::exception_ptr failed;
    {
      std::lock_guard<std::mutex> lock(failedMutex_);
      failed = failed_;
    }
    if (failed) std::rethrow_exception(failed);
  }
  void HandOn() {
    if (batch_->count == 0) return;
    if (threads_ == 1) {
      Run(score_, *batch_, *lanes_[0]);
      Run(write_, *batch_, *lanes_[0]);
      said_ << batch_->err;
      batch_->err.clear();
      batch_->count = 0;
      ThrowFailure();
      return;
    }
    queue_.Push(std::move(batch_));
    batch_ = queue_.Recycled();
    Say();
  }
  void Join() {
    queue_.Close();
    for (std::thread& t : pool_) {
      if (t.joinable()) t.join();
    }
  }
  void Say() {
    for (const std::string& text : queue_.TakeSaid()) said_ << text;
    ThrowFailure();
  }

  Stage score_;
  Stage write_;
  std::ostream& said_;
  const size_t batchSamples_;
  const int threads_;
  std::vector<std::unique_ptr<Lane>> lanes_;
  BatchQueue<Batch> queue_;
  std::unique_ptr<Batch> batch_ = queue_.Recycled();
  std::vector<std::thread> pool_;
  std::mutex failedMutex_;
  std::exception_ptr failed_;
};
