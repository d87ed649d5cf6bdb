// The ordered pipeline: jobs written in the order entered and what the threads
// said passed on in that order, whatever the number of threads and the batch
// size; never more batches in flight than its room. And the queue beneath it:
// batches written in the order pushed, each once, within the room.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <new>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/pipeline.h"

namespace {

struct NumberedBatch {
  int number = -1;
  bool scored = false;
  size_t count = 0;
  std::string err;
};

// Pushes `batches` batches through `threads` job threads that take random
// times to score; returns the order they were written in.
std::vector<int> RunQueue(int batches, int threads, size_t room, std::atomic<int>& mostInFlight) {
  BatchQueue<NumberedBatch> queue(room);
  std::atomic<int> inFlight{0};
  std::vector<int> written;  // touched by one writing thread at a time
  std::vector<std::thread> pool;
  for (int t = 0; t < threads; ++t) {
    pool.emplace_back([&, t] {
      std::mt19937 rng(static_cast<unsigned>(t + 1));
      queue.Work(
          [&](NumberedBatch& b) {
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 300));
            b.err = "said " + std::to_string(b.number) + "\n";
          },
          [&](NumberedBatch& b) {
            written.push_back(b.number);
            --inFlight;
          });
    });
  }
  std::string said;
  for (int n = 0; n < batches; ++n) {
    std::unique_ptr<NumberedBatch> b = queue.Recycled();
    EXPECT_FALSE(b->scored);
    EXPECT_EQ(b->count, 0u);
    b->number = n;
    b->count = 1;
    const int now = ++inFlight;
    queue.Push(std::move(b));
    int seen = mostInFlight.load();
    while (now > seen && !mostInFlight.compare_exchange_weak(seen, now)) {
    }
    for (const std::string& s : queue.TakeSaid()) said += s;
  }
  queue.Close();
  for (std::thread& th : pool) th.join();
  for (const std::string& s : queue.TakeSaid()) said += s;
  std::string expected;
  for (int n = 0; n < batches; ++n) expected += "said " + std::to_string(n) + "\n";
  EXPECT_EQ(said, expected);
  return written;
}

TEST(BatchQueue, WritesEveryBatchOnceInPushOrderWithinItsRoom) {
  for (const int threads : {1, 2, 4}) {
    std::atomic<int> most{0};
    const std::vector<int> written = RunQueue(60, threads, 3, most);
    ASSERT_EQ(written.size(), 60u) << threads << " threads";
    for (int n = 0; n < 60; ++n) EXPECT_EQ(written[static_cast<size_t>(n)], n) << threads << " threads";
    // The counter goes up just before a push waits for room.
    EXPECT_LE(most.load(), 4) << threads << " threads";
  }
}

TEST(BatchQueue, ClosingAnEmptyQueueEndsTheThreads) {
  BatchQueue<NumberedBatch> queue(2);
  std::thread worker([&] { queue.Work([](NumberedBatch&) {}, [](NumberedBatch&) {}); });
  queue.Close();
  worker.join();
  EXPECT_TRUE(queue.TakeSaid().empty());
}

// ---- the pipeline ------------------------------------------------------------
struct NumberedJob {
  int number = -1;
  std::string scored;
  std::thread::id scoredOn;
};

// A thread's own state: what it said, and a check that no two threads share it.
struct TestLane {
  explicit TestLane(int n) : rng(static_cast<unsigned>(n + 1)) {}
  std::string TakeSaid() {
    std::string s = said.str();
    said.str(std::string());
    return s;
  }
  std::ostringstream said;
  std::atomic<bool> busy{false};
  std::mt19937 rng;
};

// Scoring takes a random time, so batches finish out of order; the jobs must
// still be written in entry order, each scored before it is written, and what
// scoring and writing said must reach the caller batch by batch in that order.
TEST(OrderedPipeline, WritesAndSaysInEntryOrderWhateverTheThreadsAndBatches) {
  constexpr int kJobs = 200;
  for (const int threads : {1, 2, 3, 8}) {
    for (const size_t batch : {size_t{1}, size_t{7}, kPipelineBatchSamples}) {
      SCOPED_TRACE(testing::Message() << threads << " threads, batches of " << batch);
      std::ostringstream said;
      std::vector<int> written;  // touched by one writing thread at a time
      int lanes = 0;
      OrderedPipeline<NumberedJob, TestLane> pipeline(
          threads, [&](int n) { return ++lanes, std::make_unique<TestLane>(n); },
          [](NumberedJob& job, TestLane& lane) {
            EXPECT_FALSE(lane.busy.exchange(true));
            std::this_thread::sleep_for(std::chrono::microseconds(lane.rng() % 200));
            job.scored = "scored " + std::to_string(job.number) + "\n";
            lane.said << job.scored;
            lane.busy = false;
          },
          [&](NumberedJob& job, TestLane& lane) {
            EXPECT_EQ(job.scored, "scored " + std::to_string(job.number) + "\n");
            written.push_back(job.number);
            lane.said << "wrote " << job.number << "\n";
          },
          said, batch);
      EXPECT_EQ(pipeline.Threads(), threads);
      EXPECT_EQ(lanes, threads);
      for (int n = 0; n < kJobs; ++n) {
        NumberedJob& job = pipeline.Add();
        job.number = n;
        job.scored.clear();
      }
      pipeline.Finish();

      std::vector<int> inOrder(kJobs);
      std::string expected;
      for (int n = 0; n < kJobs; ++n) {
        inOrder[static_cast<size_t>(n)] = n;
        if (static_cast<size_t>(n) % batch != 0) continue;
        const int end = std::min(kJobs, n + static_cast<int>(batch));
        for (int k = n; k < end; ++k) expected += "scored " + std::to_string(k) + "\n";
        for (int k = n; k < end; ++k) expected += "wrote " + std::to_string(k) + "\n";
      }
      EXPECT_EQ(written, inOrder);
      EXPECT_EQ(said.str(), expected);
    }
  }
}

// With one thread everything runs on the caller; with more, scoring never
// does, so entry goes on while batches are scored.
TEST(OrderedPipeline, ScoresOnTheCallerOnlyWithOneThread) {
  for (const int threads : {1, 2}) {
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<std::thread::id> scoredOn;
    std::ostringstream said;
    OrderedPipeline<NumberedJob, TestLane> pipeline(
        threads, [](int n) { return std::make_unique<TestLane>(n); },
        [](NumberedJob& job, TestLane&) { job.scoredOn = std::this_thread::get_id(); },
        [&](NumberedJob& job, TestLane&) { scoredOn.push_back(job.scoredOn); }, said, 4);
    for (int n = 0; n < 10; ++n) pipeline.Add().number = n;
    pipeline.Finish();
    ASSERT_EQ(scoredOn.size(), 10u) << threads << " threads";
    for (const std::thread::id id : scoredOn) EXPECT_EQ(id == caller, threads == 1) << threads << " threads";
  }
}

// Entry waits when the room is full: jobs entered and not yet written never
// exceed the room's batches and the one being filled.
TEST(OrderedPipeline, KeepsWithinItsRoom) {
  for (const int threads : {2, 4}) {
    std::atomic<int> written{0};
    std::ostringstream said;
    OrderedPipeline<NumberedJob, TestLane> pipeline(
        threads, [](int n) { return std::make_unique<TestLane>(n); },
        [](NumberedJob&, TestLane& lane) { std::this_thread::sleep_for(std::chrono::microseconds(lane.rng() % 300)); },
        [&](NumberedJob&, TestLane&) { ++written; }, said, 1);
    int most = 0;
    for (int n = 1; n <= 100; ++n) {
      pipeline.Add().number = n;
      most = std::max(most, n - written.load());
    }
    pipeline.Finish();
    EXPECT_EQ(written.load(), 100) << threads << " threads";
    EXPECT_LE(static_cast<size_t>(most), pipeline.Room() + 1) << threads << " threads";
  }
}

// A pipeline given no job starts its threads and ends them, saying nothing.
TEST(OrderedPipeline, FinishingWithoutJobsCallsNoStage) {
  std::ostringstream said;
  std::atomic<int> calls{0};
  OrderedPipeline<NumberedJob, TestLane> pipeline(
      3, [](int n) { return std::make_unique<TestLane>(n); },
      [&](NumberedJob&, TestLane&) { ++calls; }, [&](NumberedJob&, TestLane&) { ++calls; }, said);
  pipeline.Finish();
  EXPECT_EQ(calls.load(), 0);
  EXPECT_EQ(said.str(), "");
}


// Draining waits until every job entered is written, and the pipeline goes on
// taking jobs after it; a stage that throws (memory run out) stops nothing on
// its thread: the failure is thrown again on the caller, after the jobs before
// it are written.
TEST(OrderedPipeline, DrainsWhenAskedAndThrowsAStageFailureOnTheCaller) {
  for (const int threads : {1, 2, 4}) {
    SCOPED_TRACE(testing::Message() << threads << " threads");
    std::ostringstream said;
    std::atomic<int> written{0};
    OrderedPipeline<NumberedJob, TestLane> drained(
        threads, [](int n) { return std::make_unique<TestLane>(n); },
        [](NumberedJob&, TestLane& lane) { std::this_thread::sleep_for(std::chrono::microseconds(lane.rng() % 200)); },
        [&](NumberedJob&, TestLane&) { ++written; }, said, 3);
    for (int round = 1; round <= 3; ++round) {
      for (int n = 0; n < 20; ++n) drained.Add().number = n;
      drained.Drain();
      EXPECT_EQ(written.load(), 20 * round);
    }
    drained.Finish();

    std::vector<int> order;
    bool thrown = false;
    try {  // the pipeline is done with (its threads joined) before the failure is caught
      OrderedPipeline<NumberedJob, TestLane> failing(
          threads, [](int n) { return std::make_unique<TestLane>(n); },
          [](NumberedJob& job, TestLane&) {
            if (job.number == 50) throw std::bad_alloc();
          },
          [&](NumberedJob& job, TestLane&) { order.push_back(job.number); }, said, 4);
      for (int n = 0; n < 200; ++n) failing.Add().number = n;
      failing.Finish();
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    EXPECT_TRUE(thrown);
    ASSERT_GE(order.size(), 48u);
    for (size_t k = 0; k < 48; ++k) EXPECT_EQ(order[k], static_cast<int>(k));
  }
}

}  // namespace
