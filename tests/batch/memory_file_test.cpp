#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "batch/batch.h"
#include "tables/csv.h"
#include "survey/inputs.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"

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
