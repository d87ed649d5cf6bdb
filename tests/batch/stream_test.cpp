// `vegmatch classify` at any size: past the typed run's limits of samples and
// new names, rows of a sample scattered through the file, inputs read in parts,
// and lines longer than any record said once each, ten at most.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/reader.h"
#include "batch_kit.h"

using batchtest::Classify;
using batchtest::CountOf;
using batchtest::Lines;

namespace {

// A name the tables do not hold, its short name (four letters of each word)
// told apart from every other's.
std::string UnknownName(int n) {
  std::string genus = "Zz";
  std::string epithet;
  for (int k = 0; k < 4; ++k, n /= 26) epithet += static_cast<char>('a' + n % 26);
  return genus + "q" + epithet.substr(0, 1) + "x " + epithet + "um";
}

}  // namespace

TEST(ClassifyAtAnySize, EverySampleAndEveryUnknownNameIsScoredInInputOrder) {
  // 101 sites of 1000 quadrats (quadrat numbers repeat across sites), one
  // record each; every 60th quadrat also holds a name of its own that the
  // tables do not hold (1683 of them, past the 1000 codes of new names); the
  // second record of some quadrats stands at the end of the file.
  constexpr int kSites = 101;
  constexpr int kQuadrats = 1000;
  std::string csv = "\"\",\"Site\",\"Quadrat\",\"Species\",\"Cover\"\n";
  std::string late;
  std::vector<std::string> order;
  long records = 0;
  int unknown = 0;
  for (int s = 1; s <= kSites; ++s) {
    for (int q = 1; q <= kQuadrats; ++q) {
      const std::string ids = "\"S" + std::to_string(s) + "\"," + std::to_string(q) + ",";
      order.push_back("S" + std::to_string(s) + " " + std::to_string(q));
      csv += "\"" + std::to_string(++records) + "\"," + ids + "\"Achillea millefolium\",20\n";
      if ((s * kQuadrats + q) % 60 == 0) {
        csv += "\"" + std::to_string(++records) + "\"," + ids + "\"" + UnknownName(unknown++) + "\",5\n";
      }
      if (q == 500) late += "\"" + std::to_string(++records) + "\"," + ids + "\"Agrostis capillaris\",10\n";
    }
  }
  TempDir dir;
  dir.Write("survey.csv", csv + late);
  const batchtest::Run r =
      Classify(dir.path(), {"--tables", batchtest::DemoTables(), "--fits", "1", "-o", "fits.csv", "survey.csv"});
  ASSERT_EQ(r.status, 0) << r.err.substr(0, 2000);
  EXPECT_NE(r.err.find(std::to_string(kSites * kQuadrats) + " samples, " + std::to_string(records) +
                       " species records, " + std::to_string(unknown) + " unknown names, 0 refused lines"),
            std::string::npos)
      << r.err;
  EXPECT_GT(unknown, 1000);
  // Standard error stays small: ten unknown names, then how many more.
  EXPECT_LT(Lines(r.err).size(), 20u) << r.err;
  EXPECT_NE(r.err.find(std::to_string(unknown - 10) + " more unknown names"), std::string::npos) << r.err;

  const batchtest::Table fits = batchtest::ReadRfc4180(dir.Read("fits.csv"));
  ASSERT_TRUE(fits.ok);
  ASSERT_EQ(fits.rows.size(), order.size() + 1);
  const size_t sample = batchtest::Col(fits.rows[0], "sample");
  const size_t species = batchtest::Col(fits.rows[0], "species");
  size_t outOfOrder = 0;
  for (size_t k = 0; k < order.size(); ++k) {
    const std::vector<std::string>& row = fits.rows[k + 1];
    if (row[sample] != order[k]) ++outOfOrder;
    const bool withUnknown = (static_cast<int>(k) + kQuadrats + 1) % 60 == 0;
    const bool withLate = k % kQuadrats == 499;
    EXPECT_EQ(row[species], std::to_string(1 + (withUnknown ? 1 : 0) + (withLate ? 1 : 0))) << row[sample];
  }
  EXPECT_EQ(outOfOrder, 0u);
}

TEST(ClassifyAtAnySize, LinesLongerThanAnyRecordAreSaidOnceEachTenAtMost) {
  // Twelve over-long lines among the samples, in a survey table and in a block
  // file of more samples than one part holds: each is said once with its line
  // and length (ten of them, then how many more), the samples around them are
  // scored, and lines after them keep their numbers.
  const std::string longName(kLongestRecord + 100, 'x');
  std::string csv = "Quadrat,Species,Cover\n";
  std::string blocks;
  long csvLine = 1;
  long blockLine = 0;
  std::vector<std::pair<long, size_t>> csvLong;  // line, length
  std::vector<std::pair<long, size_t>> blockLong;
  const int samples = static_cast<int>(kPartSamples) * 2 + 7;
  for (int q = 1; q <= samples; ++q) {
    csv += std::to_string(q) + ",Achillea millefolium,20\n";
    blocks += "Q" + std::to_string(q) + "\nAchillea millefolium 20\n";
    ++csvLine;
    blockLine += 2;
    if (q % 80 == 0 && csvLong.size() < 12) {
      const std::string row = std::to_string(q) + "," + longName + ",5";
      csv += row + "\n";
      blocks += longName + " 5\n";
      csvLong.emplace_back(++csvLine, row.size());
      blockLong.emplace_back(++blockLine, longName.size() + 2);
    }
    blocks += q == samples ? "Qeurcus robur 5\n" : "\n";
    ++blockLine;
  }
  TempDir dir;
  dir.Write("survey.csv", csv);
  dir.Write("blocks.txt", blocks);
  struct Case {
    const char* file;
    const std::vector<std::pair<long, size_t>>& longLines;
    std::string unknownAt;
  };
  const std::vector<Case> cases = {{"survey.csv", csvLong, ""},
                                   {"blocks.txt", blockLong, "blocks.txt:" + std::to_string(blockLine) + ": "}};
  for (const Case& c : cases) {
    const batchtest::Run r = Classify(dir.path(), {"--tables", batchtest::DemoTables(), "--fits", "1", c.file});
    EXPECT_EQ(r.status, 0) << c.file;
    for (size_t k = 0; k < 10; ++k) {
      const auto [line, length] = c.longLines[k];
      EXPECT_EQ(CountOf(r.err, std::string(c.file) + ":" + std::to_string(line) + ": a line of " +
                                   std::to_string(length) + " characters, longer than any record"),
                1u)
          << c.file << " " << line << "\n" << r.err.substr(0, 3000);
    }
    EXPECT_EQ(CountOf(r.err, "longer than any record"), 11u) << c.file;
    EXPECT_NE(r.err.find("2 more like the first ten of this kind (12 in all)"), std::string::npos) << c.file;
    EXPECT_EQ(Lines(r.out).size(), static_cast<size_t>(samples) + 1) << c.file;
    if (!c.unknownAt.empty()) {
      EXPECT_NE(r.err.find(c.unknownAt + "unknown name \"Qeurcus robur\""), std::string::npos) << r.err;
    }
    EXPECT_LT(r.err.size(), 5000u) << c.file;
  }
}

TEST(ClassifyAtAnySize, AllProblemsSaysEveryProblemAndEveryLineOfAName) {
  // A name on 105 lines, then twelve covers given as ranges and twelve more
  // unknown names: by default ten of each kind are said (the first name and
  // nine others), a name with its first 100 lines; --all-problems says every
  // one, each name with all its lines.
  std::string csv = "Quadrat,Species,Cover\n";
  for (int q = 13; q <= 117; ++q) csv += std::to_string(q) + ",Qeurcus robur,20\n";
  for (int q = 1; q <= 12; ++q) {
    csv += std::to_string(q) + ",Achillea millefolium,5-10\n";
    csv += std::to_string(q) + ",Nonesuch species" + std::string(static_cast<size_t>(q), 'a') + ",5\n";
  }
  TempDir dir;
  dir.Write("survey.csv", csv);
  struct Case {
    std::vector<std::string> extra;
    size_t ranges;
    size_t names;
    bool beyond;     // "N more like the first ten" said
    size_t places;   // lines of the name on 105 lines said
  };
  for (const Case& c : {Case{{}, 10, 9, true, 100}, Case{{"--all-problems"}, 12, 12, false, 105}}) {
    std::vector<std::string> args{"--tables", batchtest::DemoTables(), "--fits", "1", "survey.csv"};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const batchtest::Run r = Classify(dir.path(), args);
    const std::string label = c.extra.empty() ? "default" : c.extra[0];
    EXPECT_EQ(r.status, 0) << label;
    EXPECT_EQ(CountOf(r.err, "is a range; read as its midpoint"), c.ranges + (c.beyond ? 1 : 0)) << label;
    EXPECT_EQ(CountOf(r.err, "\"Nonesuch species"), c.names) << label << "\n" << r.err;
    EXPECT_EQ(r.err.find("more like the first ten") != std::string::npos, c.beyond) << label;
    const size_t at = r.err.find("\"Qeurcus robur\"");
    ASSERT_NE(at, std::string::npos) << label;
    const size_t start = r.err.rfind("survey.csv:", at);
    const std::string places = r.err.substr(start + 11, r.err.find(':', start + 11) - start - 11);
    EXPECT_EQ(CountOf(places, ",") + 1, c.places) << label;
    EXPECT_EQ(places.substr(0, 4), "2,3,") << label;
  }
}

TEST(ClassifyAtAnySize, ASurveyReadInPartsGivesWhatItGivesReadWhole) {
  // 1300 quadrats of three sites, more than two parts of samples: grouped by
  // quadrat, with the second half of every quadrat's rows moved to the end of
  // the file (each sample still first seen in the same order), through standard
  // input, as a matrix (read in parts too) and as a wide table (read whole):
  // the same results, pooled by site or not.
  const char* species[] = {"Achillea millefolium", "Agrostis capillaris", "Anemone nemorosa",
                           "Anthoxanthum odoratum", "Arrhenatherum elatius"};
  std::string grouped = "Site,Quadrat,Species,Cover\n";
  std::string firstHalves = grouped;
  std::string secondHalves;
  std::string matrix = "Site,Quadrat";
  for (const char* s : species) matrix += std::string(",") + s;
  matrix += "\n";
  std::vector<std::string> wide = {"Site", "Quadrat", "Species"};
  std::vector<std::vector<std::string>> wideCovers(5);
  const int quadrats = static_cast<int>(kPartSamples) * 2 + 276;
  for (int q = 1; q <= quadrats; ++q) {
    const std::string site = "S" + std::to_string(q % 3);
    const std::string ids = site + "," + std::to_string(q) + ",";
    matrix += site + "," + std::to_string(q);
    wide[0] += "," + site;
    wide[1] += "," + std::to_string(q);
    wide[2] += ",";
    for (int k = 0; k < 5; ++k) {
      const bool present = (q + k) % 3 != 0;
      const std::string cover = std::to_string(5 + (q * 7 + k * 11) % 60);
      matrix += "," + (present ? cover : std::string("0"));
      wideCovers[static_cast<size_t>(k)].push_back(present ? cover : "");
      if (!present) continue;
      const std::string row = ids + species[k] + "," + cover + "\n";
      grouped += row;
      (k < 2 ? firstHalves : secondHalves) += row;
    }
    matrix += "\n";
  }
  std::string wideText = wide[0] + "\n" + wide[1] + "\n" + wide[2] + "\n";
  for (int k = 0; k < 5; ++k) {
    wideText += species[k];
    for (const std::string& c : wideCovers[static_cast<size_t>(k)]) wideText += "," + c;
    wideText += "\n";
  }
  TempDir dir;
  dir.Write("grouped.csv", grouped);
  dir.Write("scattered.csv", firstHalves + secondHalves);
  dir.Write("matrix.csv", matrix);
  dir.Write("wide.csv", wideText);
  for (const std::vector<std::string>& pool : {std::vector<std::string>{}, {"--pool-by", "Site"}}) {
    std::vector<std::string> args = {"--tables", batchtest::DemoTables(), "-q"};
    args.insert(args.end(), pool.begin(), pool.end());
    const auto run = [&](const std::string& file, const std::string& input = std::string()) {
      std::vector<std::string> a = args;
      a.push_back(file);
      return Classify(dir.path(), a, input);
    };
    const batchtest::Run want = run("grouped.csv");
    ASSERT_EQ(want.status, 0) << want.err;
    EXPECT_EQ(Lines(want.out).size(), 1 + 5 * static_cast<size_t>(pool.empty() ? quadrats : 3));
    struct Case {
      const char* name;
      batchtest::Run got;
    };
    const Case cases[] = {{"scattered", run("scattered.csv")},
                          {"standard input", run("-", firstHalves + secondHalves)},
                          {"matrix", run("matrix.csv")},
                          {"wide", run("wide.csv")}};
    for (const Case& c : cases) {
      EXPECT_EQ(c.got.status, 0) << c.name << "\n" << c.got.err;
      EXPECT_EQ(c.got.out, want.out) << c.name << (pool.empty() ? "" : ", pooled");
    }
  }
}
