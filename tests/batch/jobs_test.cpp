// Scoring on several threads gives what one thread gives, in input order.
#include <gtest/gtest.h>

#include <string>

#include "support/testkit.h"

namespace {

TEST(Jobs, OneAndFourThreadsWriteTheSameFiles) {
  TempDir dir;
  // 40 pseudo-quadrats, 40 times over: several batches of samples, more than
  // the threads take at once. Every copy adds a species the tables do not hold, so
  // that entry adds to the tables while earlier batches are scored.
  const std::string pq = ReadWholeFile(ProjectDir() + "/tests/data/pquads_small.txt");
  std::string many;
  for (int k = 0; k < 40; ++k) {
    many += "ODD" + std::to_string(k) + "\nZzzz unknownia" + std::to_string(k) + " 5\nCalluna vulgaris 20\n\n";
    many += pq + "\n";
  }
  dir.Write("many.txt", many);
  const std::string bin = VM_BINARY;
  for (const char* format : {"csv", "classic-csv", "classic-text"}) {
    for (const char* jobs : {"1", "4"}) {
      const std::string cmd = "cd " + dir.path() + " && " + bin + " classify -q --jobs " + jobs +
                              " --format " + format + " --species-lists lists" + jobs +
                              ".csv -o out" + jobs + ".csv many.txt 2>err.txt";
      ASSERT_EQ(RunCommand(cmd), 0) << dir.Read("err.txt");
    }
    const std::string one = dir.Read("out1.csv");
    EXPECT_GT(one.size(), 300000u) << format;
    EXPECT_EQ(one, dir.Read("out4.csv")) << format;
    EXPECT_EQ(dir.Read("lists1.csv"), dir.Read("lists4.csv")) << format;
  }
}

}  // namespace
