// The three rankings of classify, and the accuracy tool that compares them.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "tables/csv.h"
#include "survey/inputs.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"
#include "support/testkit.h"

namespace {

// nvc_code by sample and rank, from tidy results.
std::map<std::string, std::vector<std::string>> Ranked(const std::string& csv) {
  CsvTable t;
  std::string error;
  EXPECT_TRUE(ParseCsv(csv, t, error)) << error;
  std::map<std::string, std::vector<std::string>> out;
  for (const CsvRow& r : t.rows) out[r.fields[0]].push_back(r.fields[2]);
  return out;
}

std::string Classify(const TempDir& dir, const std::string& args) {
  const std::string bin = VM_BINARY;
  EXPECT_EQ(RunCommand("cd " + dir.path() + " && " + bin + " classify -q " + args + " >out.txt 2>err.txt"), 0)
      << args << "\n" << dir.Read("err.txt");
  return dir.Read("out.txt");
}

TEST(Rankings, FitKeepsTheClassicOrderAndConsensusReordersIt) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/tests/data/pquads_small.txt", "pq.txt");
  const auto fit = Ranked(Classify(dir, "--scale presence --rank-by fit pq.txt"));
  const auto consensus = Ranked(Classify(dir, "--scale presence --rank-by consensus pq.txt"));
  // The classic results of the same settings rank by fit.
  Classify(dir, "--scale presence --format classic-csv pq.txt -o classic.csv");
  std::map<std::string, std::vector<std::string>> classic;
  std::istringstream in(dir.Read("classic.csv"));
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string s; std::getline(fields, s, ',');) f.push_back(s);
    if (f.size() > 4 && f[1] == "Results") classic[f[0]].push_back(f[4]);
  }
  ASSERT_EQ(fit.size(), 40u);
  EXPECT_EQ(fit, classic);
  // Some sample's order changes under the consensus, and every sample keeps five ranks.
  int reordered = 0;
  for (const auto& [sample, units] : consensus) {
    ASSERT_EQ(units.size(), 5u) << sample;
    reordered += units != fit.at(sample);
  }
  EXPECT_GT(reordered, 0);
}

// The accuracy tool prints one row per results file; on the pseudo-quadrats the
// consensus names the source unit first at least as often as the fit.
TEST(Rankings, TheEvaluationToolComparesTheRankings) {
  TempDir dir;
  dir.CopyIn(ProjectDir() + "/tests/data/pquads_small.txt", "pq.txt");
  dir.Write("fit.csv", Classify(dir, "--scale presence --rank-by fit pq.txt"));
  dir.Write("consensus.csv", Classify(dir, "--scale presence --rank-by consensus pq.txt"));
  const std::string tool = VM_EVALUATE;
  ASSERT_EQ(RunCommand("cd " + dir.path() + " && " + tool + " " + ProjectDir() +
                       "/tests/data/pquads_small_truth.csv fit.csv consensus.csv >eval.txt"),
            0);
  std::istringstream in(dir.Read("eval.txt"));
  std::string header;
  std::getline(in, header);
  EXPECT_NE(header.find("exact top-1"), std::string::npos);
  std::map<std::string, std::vector<double>> figures;
  for (std::string name; in >> name;) {
    int samples = 0;
    in >> samples;
    EXPECT_EQ(samples, 40);
    for (int k = 0; k < 4; ++k) {
      double v = 0;
      std::string percent;
      in >> v >> percent;
      EXPECT_EQ(percent, "%");
      EXPECT_GE(v, 0.0);
      EXPECT_LE(v, 100.0);
      figures[name].push_back(v);
    }
  }
  ASSERT_EQ(figures.size(), 2u);
  EXPECT_GE(figures["consensus.csv"][0], figures["fit.csv"][0]);
  // A unit within the first five at least as often as first.
  EXPECT_GE(figures["fit.csv"][1], figures["fit.csv"][0]);
}

}  // namespace
