// Batches handed from entry to the job threads: written in the order pushed,
// never more than the room allows between push and write, each written once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "batch/batch.h"

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

}  // namespace

// The memory stream is opened once and reused: each use hands out what that use
// wrote and nothing of the uses before (a shorter text after a longer one
// included), and closing the borrowed File leaves the stream open for the next.
TEST(MemoryFile, EachUseHandsOutOnlyWhatItWrote) {
  MemoryFile memory;
  std::string long_text(10000, 'x');
  File a = memory.Open();
  ASSERT_TRUE(a);
  std::FILE* stream = a.get();
  std::fputs(long_text.c_str(), a.get());
  std::string text = "kept:";
  memory.TakeInto(a, text);
  EXPECT_EQ(text, "kept:" + long_text);
  EXPECT_FALSE(a);

  File b = memory.Open();
  EXPECT_EQ(b.get(), stream);
  std::fputs("short\n", b.get());
  EXPECT_EQ(memory.Take(b), "short\n");

  File c = memory.Open();
  EXPECT_EQ(memory.Take(c), "");

  // A File that is not the stream's own hands out nothing.
  File none;
  EXPECT_EQ(memory.Take(none), "");
}
