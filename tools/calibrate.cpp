// The calibration of the confidence of a first place (src/batch/confidence.h):
//   vegmatch_calibrate [--tables DIR] [--per-unit N] [--seed S] [--check-seed S]
//                      [--threads T] [--table FILE] [--report FILE]
// Draws N samples of every unit from the association tables themselves
// (DrawSample), scores them as `vegmatch classify` does by default (cover data in
// percent, the mixed analysis), and notes for each of the three rankings whether
// its first unit is the unit drawn from, with the agreement of the rankings and
// the margin. From these it makes the table of p_correct by ranking, agreement
// and margin bin (written as C++ source, confidence_table.inc), and checks it on
// a second draw of another seed: per class, the mean p_correct against the share
// right. The Markdown report says how and what came out. Exit status 1 when a
// class of the check is more than 5 points off.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "analyses/confidence.h"
#include "outputs/units.h"
#include "console/console.h"

namespace {

constexpr int kRankings = 3;
const char* const kRankingNames[kRankings] = {"fit", "consensus", "czekanowski"};
const char* const kMarginUnits[kRankings] = {"percent points of the mean fit", "percent of the first's consensus",
                                             "percent of the first's coefficient"};
constexpr size_t kMinBin = 1000;  // samples a bin of the table holds at least
constexpr size_t kMaxBins = 10;   // bins of one group at most
constexpr size_t kMinGroup = 200; // a group with fewer is pooled with its other community flag
constexpr double kHigh = 0.80;
constexpr double kMedium = 0.50;
constexpr double kCheckTolerance = 0.05;

struct Settings {
  std::string tables;
  int perUnit = 200;
  uint64_t seed = 20240917;
  uint64_t checkSeed = 20250311;
  int threads = 2;
  std::string tableOut = VM_SOURCE_DIR "/src/batch/confidence_table.inc";
  std::string reportOut = VM_SOURCE_DIR "/docs/confidence.md";
};

// What one drawn sample came to.
struct Drawn {
  int32_t unit;
  Agreement agreement;
  bool communityAgrees;
  std::array<double, kRankings> margin;
  std::array<bool, kRankings> right;           // the first unit is the unit drawn from
  std::array<bool, kRankings> rightCommunity;  // ... or of its community
};

struct Engine {
  RefData ref;
  ScoringState sc;
  std::vector<int8_t> leastDomin;
};

std::vector<Drawn> DrawAndScore(const Engine& e, int perUnit, uint64_t seed, int threads) {
  const int units = e.ref.nNVCCount;
  // A seed of its own per unit: the draw is the same whatever the threads.
  std::vector<uint64_t> seeds(static_cast<size_t>(units) + 1);
  DrawRng master(seed);
  for (uint64_t& s : seeds) s = master.Next();
  std::vector<Drawn> out(static_cast<size_t>(units) * static_cast<size_t>(perUnit));
  auto lane = [&](int first) {
    auto sc = std::make_unique<ScoringState>(e.sc);
    auto sample = std::make_unique<SampleEntries>();
    for (int g = first; g <= units; g += threads) {
      DrawRng rng(seeds[static_cast<size_t>(g)]);
      const std::string community = CommunityOf(e.ref.arrNVCData[static_cast<size_t>(g)].szNVCType);
      for (int i = 0; i < perUnit; ++i) {
        DrawSample(e.ref, *sc, e.leastDomin, g, rng, *sample);
        ScoreAndRank(e.ref, *sample, kMixedAnalysis, 1, *sc, RankBy::kFit);
        Drawn& d = out[static_cast<size_t>(g - 1) * static_cast<size_t>(perUnit) + static_cast<size_t>(i)];
        d.unit = g;
        for (int b = 0; b < kRankings; ++b) {
          const FirstPlaces p = ReadFirstPlaces(e.ref, *sc, static_cast<RankBy>(b));
          const int32_t first = p.first[static_cast<size_t>(b)];
          d.agreement = p.agreement;
          d.communityAgrees = p.communityAgrees;
          d.margin[static_cast<size_t>(b)] = p.margin;
          d.right[static_cast<size_t>(b)] = first == g;
          d.rightCommunity[static_cast<size_t>(b)] =
              CommunityOf(e.ref.arrNVCData[static_cast<size_t>(first)].szNVCType) == community;
        }
      }
    }
  };
  std::vector<std::thread> pool;
  for (int t = 2; t <= threads; ++t) pool.emplace_back(lane, t);
  lane(1);
  for (std::thread& t : pool) t.join();
  return out;
}

// ---- the table ----------------------------------------------------------------------

struct Group {
  Agreement agreement;
  bool communityAgrees;
  const char* label;
};
const Group kGroups[] = {{Agreement::kAll, true, "all agree"},
                         {Agreement::kTwo, true, "two agree, one community"},
                         {Agreement::kTwo, false, "two agree, communities differ"},
                         {Agreement::kNone, true, "none agree, one community"},
                         {Agreement::kNone, false, "none agree, communities differ"}};

struct Bin {
  double from;
  long samples = 0;
  long right = 0;
  double Share() const { return samples == 0 ? 0.0 : static_cast<double>(right) / static_cast<double>(samples); }
};

// Margin bins of a group's samples (margin, right), sorted by margin: at most
// kMaxBins at quantiles, their bounds at one decimal as the results show the
// margin, each of at least kMinBin samples (all of them when the group has
// fewer); then neighbours whose share falls as the margin grows are pooled, so
// that p_correct never falls with the margin.
std::vector<Bin> BinsOf(const std::vector<std::pair<double, bool>>& s) {
  const size_t k = std::clamp<size_t>(s.size() / kMinBin, 1, kMaxBins);
  std::vector<Bin> bins{Bin{0.0}};
  for (size_t j = 1; j < k; ++j) {
    const double edge = std::round(s[j * s.size() / k].first * 10.0) / 10.0;
    if (edge > bins.back().from) bins.push_back(Bin{edge});
  }
  size_t b = 0;
  for (const auto& [margin, right] : s) {
    while (b + 1 < bins.size() && margin >= bins[b + 1].from) ++b;
    ++bins[b].samples;
    bins[b].right += right;
  }
  // A bin too small (rounding can leave one) joins the bin before it.
  for (size_t i = 1; i < bins.size();) {
    if (bins[i].samples < static_cast<long>(kMinBin) || bins[i - 1].samples < static_cast<long>(kMinBin)) {
      bins[i - 1].samples += bins[i].samples;
      bins[i - 1].right += bins[i].right;
      bins.erase(bins.begin() + static_cast<long>(i));
    } else {
      ++i;
    }
  }
  for (size_t i = 1; i < bins.size();) {
    if (bins[i].Share() < bins[i - 1].Share()) {
      bins[i - 1].samples += bins[i].samples;
      bins[i - 1].right += bins[i].right;
      bins.erase(bins.begin() + static_cast<long>(i));
      i = std::max<size_t>(1, i - 1);
    } else {
      ++i;
    }
  }
  return bins;
}

std::vector<std::pair<double, bool>> SamplesOf(const std::vector<Drawn>& drawn, int b, Agreement a,
                                               const bool* community) {
  std::vector<std::pair<double, bool>> s;
  for (const Drawn& d : drawn) {
    if (d.agreement == a && (community == nullptr || d.communityAgrees == *community)) {
      s.emplace_back(d.margin[static_cast<size_t>(b)], d.right[static_cast<size_t>(b)]);
    }
  }
  std::sort(s.begin(), s.end());
  return s;
}

std::vector<CalibrationRow> MakeTable(const std::vector<Drawn>& drawn) {
  std::vector<CalibrationRow> rows;
  for (int b = 0; b < kRankings; ++b) {
    for (const Group& g : kGroups) {
      std::vector<std::pair<double, bool>> s = SamplesOf(drawn, b, g.agreement, &g.communityAgrees);
      if (s.size() < kMinGroup) s = SamplesOf(drawn, b, g.agreement, nullptr);
      if (s.empty()) continue;  // no such sample at all: graded low, p 0
      for (const Bin& bin : BinsOf(s)) {
        rows.push_back(CalibrationRow{static_cast<RankBy>(b), g.agreement, g.communityAgrees, bin.from,
                                      std::round(bin.Share() * 1e4) / 1e4, static_cast<int32_t>(bin.samples)});
      }
    }
  }
  return rows;
}

CalibrationTable TableOf(const std::vector<CalibrationRow>& rows) {
  return CalibrationTable{rows.data(), rows.size(), kHigh, kMedium};
}

const char* EnumName(Agreement a) {
  return a == Agreement::kAll ? "Agreement::kAll" : a == Agreement::kTwo ? "Agreement::kTwo" : "Agreement::kNone";
}
const char* EnumName(int b) {
  return b == 0 ? "RankBy::kFit" : b == 1 ? "RankBy::kConsensus" : "RankBy::kCzekanowski";
}

std::string TableSource(const Settings& s, const std::vector<CalibrationRow>& rows, size_t samples) {
  std::string out = Fmt(
      "// The calibration of the confidence of a first place (confidence.h): made by\n"
      "// vegmatch_calibrate (tools/calibrate.cpp) from %zu samples drawn from the\n"
      "// association tables, %d per unit, seed %llu; docs/confidence.md says how.\n"
      "// Made, not written: run the program again rather than edit the rows.\n"
      "constexpr double kHighFrom = %.2f;\n"
      "constexpr double kMediumFrom = %.2f;\n"
      "// ranking, agreement, one community, margin from, p_correct, samples\n"
      "constexpr CalibrationRow kCalibrationRows[] = {\n",
      samples, s.perUnit, static_cast<unsigned long long>(s.seed), kHigh, kMedium);
  for (const CalibrationRow& r : rows) {
    out += Fmt("    {%s, %s, %s, %.1f, %.4f, %d},\n", EnumName(static_cast<int>(r.by)), EnumName(r.agreement),
               r.communityAgrees ? "true" : "false", r.marginFrom, r.pCorrect, r.samples);
  }
  return out + "};\n";
}

// ---- the check and the report ---------------------------------------------------------

struct ClassTally {
  long samples = 0;
  long right = 0;
  double sumP = 0.0;
};

// Per ranking and class, the second draw graded with the table.
std::array<std::array<ClassTally, 3>, kRankings> Check(const std::vector<Drawn>& drawn, const CalibrationTable& t) {
  std::array<std::array<ClassTally, 3>, kRankings> tally{};
  for (const Drawn& d : drawn) {
    for (int b = 0; b < kRankings; ++b) {
      FirstPlaces p{};
      p.agreement = d.agreement;
      p.communityAgrees = d.communityAgrees;
      p.margin = d.margin[static_cast<size_t>(b)];
      p.scored = true;
      const Confidence c = GradeFirstPlaces(t, static_cast<RankBy>(b), p);
      ClassTally& ct = tally[static_cast<size_t>(b)][static_cast<size_t>(c.level)];
      ++ct.samples;
      ct.right += d.right[static_cast<size_t>(b)];
      ct.sumP += c.pCorrect;
    }
  }
  return tally;
}

std::string Percent(double share) { return Fmt("%.1f %%", 100.0 * share); }

std::string Report(const Settings& s, const Engine& e, const std::vector<Drawn>& first,
                   const std::vector<Drawn>& second, const std::vector<CalibrationRow>& rows, bool& checkHolds) {
  const CalibrationTable table = TableOf(rows);
  std::ostringstream md;
  md << "# The confidence of the first place\n\n"
        "The tidy results of `vegmatch classify` say of each sample how sure its first place is:\n\n"
        "- `agreement`: `all` when the three rankings (mean fit, consensus, Czekanowski) name the same\n"
        "  first unit, `two` when two of them do, `none` otherwise;\n"
        "- `margin`: the first's lead over the second in the ranking the results use: in percent points\n"
        "  of the mean fit for `--rank-by fit`; for the consensus and Czekanowski's coefficient in percent\n"
        "  of the first's value (10.0: the second reaches 90 % of the first);\n"
        "- `p_correct`: the estimated probability that the first unit is right, looked up by ranking,\n"
        "  agreement, whether the three first units belong to one community (CG3a, CG3b and CG3 do), and\n"
        "  margin bin, in a table made from samples drawn from the tables themselves;\n"
        "- `confidence`: `high` from a p_correct of "
     << Fmt("%.2f, `medium` from %.2f, `low` below.\n\n", kHigh, kMedium)
     << "A sample that reached no unit is `low` with p_correct 0. \"Right\" means the exact unit: a\n"
        "sub-community named for a sample of its community (or the other way round) is wrong.\n\n"
        "This page and `src/batch/confidence_table.inc` are written by `vegmatch_calibrate`\n"
        "(`tools/calibrate.cpp`); run it again after the tables or the scoring change.\n\n"
        "## How the samples were drawn\n\n"
     << Fmt("Every one of the %d units gives %d samples (%zu in all) for the table, seed %llu, and as many\n"
            "again for the check, seed %llu.\n\n",
            e.ref.nNVCCount, s.perUnit, first.size(), static_cast<unsigned long long>(s.seed),
            static_cast<unsigned long long>(s.checkSeed))
     << "A sample is a stand as the unit's floristic table describes it: each species of the\n"
        "unit's association lines is present with the midpoint probability of its constancy class (I\n"
        "1-20 %: 10.5 %, II 30.5 %, III 50.5 %, IV 70.5 %, V 90.5 %; drawing the probability within\n"
        "the class for each sample would give each species the same chance), independently of the\n"
        "others; a present species takes a Domin class drawn alike from the line's range (\"3-10\") and\n"
        "the percent cover the scoring tables give that class (floor(0.25 d^2.6): 1 -> 0, 2 -> 1,\n"
        "3 -> 4, 4 -> 9, 5 -> 16, 6 -> 26, 7 -> 39, 8 -> 55, 9 -> 75, 10 -> 99). A draw with no species\n"
        "is drawn again. The samples are scored as `vegmatch classify` scores them by default: cover\n"
        "data in percent, the mixed analysis. The random numbers are SplitMix64 of a seed per unit, so\n"
        "a seed draws the same samples on every platform and with any number of threads.\n\n"
        "Each unit counts alike, however common it is in the field, and the stands are as\n"
        "homogeneous as the tables: real quadrats, with species from outside the table and uneven\n"
        "recording, are harder, so p_correct is best read as a ranking of samples by how sure their\n"
        "first place is rather than as a promise. The table is made for cover data and the mixed\n"
        "analysis; presence data (`--scale presence`, the composition analysis) or another `--analysis`\n"
        "rank otherwise, and their p_correct is only an approximation.\n\n"
        "## How often each ranking names the right unit\n\n"
        "| ranking | right, table draw | right, check draw | right community, check draw |\n"
        "|---|---|---|---|\n";
  for (int b = 0; b < kRankings; ++b) {
    long r1 = 0, r2 = 0, c2 = 0;
    for (const Drawn& d : first) r1 += d.right[static_cast<size_t>(b)];
    for (const Drawn& d : second) {
      r2 += d.right[static_cast<size_t>(b)];
      c2 += d.rightCommunity[static_cast<size_t>(b)];
    }
    md << "| " << kRankingNames[b] << " | " << Percent(static_cast<double>(r1) / static_cast<double>(first.size()))
       << " | " << Percent(static_cast<double>(r2) / static_cast<double>(second.size())) << " | "
       << Percent(static_cast<double>(c2) / static_cast<double>(second.size())) << " |\n";
  }
  md << "\nThe agreement of the rankings on the check draw, and how often the fit's first is right in each:\n\n"
        "| agreement | samples | share | fit right |\n|---|---|---|---|\n";
  for (const Group& g : kGroups) {
    long n = 0, r = 0;
    for (const Drawn& d : second) {
      if (d.agreement != g.agreement || d.communityAgrees != g.communityAgrees) continue;
      ++n;
      r += d.right[0];
    }
    md << "| " << g.label << " | " << n << " | "
       << Percent(static_cast<double>(n) / static_cast<double>(second.size())) << " | "
       << (n == 0 ? std::string("-") : Percent(static_cast<double>(r) / static_cast<double>(n))) << " |\n";
  }
  md << Fmt("\n## The table\n\nBins of the margin within each ranking and agreement group: at most %zu, at "
            "quantiles of the\nmargin rounded to one decimal, each of at least %zu samples; neighbours whose share "
            "right\nfalls as the margin grows are pooled, so p_correct never falls with the margin. A group of\n"
            "fewer than %zu samples takes the bins of its agreement level pooled over both community flags.\n"
            "A bin holds the margins from its own lower bound to the next bin's (that bound itself\n"
            "belongs to the upper bin).\n",
            kMaxBins, kMinBin, kMinGroup);
  for (int b = 0; b < kRankings; ++b) {
    md << "\n### Ranked by " << kRankingNames[b] << " (margin in " << kMarginUnits[b] << ")\n\n"
       << "| agreement | margin | samples | p_correct | class |\n|---|---|---|---|---|\n";
    for (size_t i = 0; i < rows.size(); ++i) {
      const CalibrationRow& r = rows[i];
      if (static_cast<int>(r.by) != b) continue;
      const bool last = i + 1 == rows.size() || rows[i + 1].by != r.by || rows[i + 1].agreement != r.agreement ||
                        rows[i + 1].communityAgrees != r.communityAgrees;
      const char* label = "";
      for (const Group& g : kGroups) {
        if (g.agreement == r.agreement && g.communityAgrees == r.communityAgrees) label = g.label;
      }
      const std::string range =
          last ? Fmt("%.1f and more", r.marginFrom) : Fmt("%.1f to %.1f", r.marginFrom, rows[i + 1].marginFrom);
      md << "| " << label << " | " << range << " | " << r.samples << " | " << Fmt("%.3f", r.pCorrect) << " | "
         << ConfidenceWord(ClassOf(table, r.pCorrect)) << " |\n";
    }
  }
  const auto tally = Check(second, table);
  md << Fmt("\n## The check on a second draw\n\nThe samples of seed %llu graded with the table: per class, the "
            "mean p_correct against\nthe share whose first unit is right. They must be within %.0f points in "
            "every class.\n",
            static_cast<unsigned long long>(s.checkSeed), 100 * kCheckTolerance);
  checkHolds = true;
  for (int b = 0; b < kRankings; ++b) {
    md << "\n| ranked by " << kRankingNames[b]
       << " | samples | share of samples | mean p_correct | share right | difference |\n|---|---|---|---|---|---|\n";
    for (int c = 2; c >= 0; --c) {
      const ClassTally& t = tally[static_cast<size_t>(b)][static_cast<size_t>(c)];
      if (t.samples == 0) {
        md << "| " << ConfidenceWord(static_cast<ConfidenceClass>(c)) << " | 0 | - | - | - | - |\n";
        continue;
      }
      const double n = static_cast<double>(t.samples);
      const double diff = t.sumP / n - static_cast<double>(t.right) / n;
      checkHolds = checkHolds && std::fabs(diff) <= kCheckTolerance;
      md << "| " << ConfidenceWord(static_cast<ConfidenceClass>(c)) << " | " << t.samples << " | "
         << Percent(n / static_cast<double>(second.size())) << " | " << Percent(t.sumP / n) << " | "
         << Percent(static_cast<double>(t.right) / n) << " | " << Fmt("%+.1f", 100 * diff) << " |\n";
    }
  }
  md << "\nThe check " << (checkHolds ? "holds" : "FAILS") << ": "
     << (checkHolds ? "every class is within the tolerance.\n" : "some class is beyond the tolerance.\n");
  md << "\n## Run it again\n\n```\ncmake --build build --target vegmatch_calibrate\n"
     << Fmt("build/vegmatch_calibrate --per-unit %d --seed %llu --check-seed %llu\n```\n\n", s.perUnit,
            static_cast<unsigned long long>(s.seed), static_cast<unsigned long long>(s.checkSeed))
     << "It writes `src/batch/confidence_table.inc` and this page (`--table FILE`, `--report FILE` write\n"
        "elsewhere); `--threads N` changes the time, not the figures.\n";
  return md.str();
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
  out.close();
  if (!out) Diagnose(std::cerr, path, "could not be written");
  return static_cast<bool>(out);
}

bool ParseArgs(int argc, char** argv, Settings& s) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) return false;
    const std::string v = argv[++i];
    if (a == "--tables") s.tables = v;
    else if (a == "--per-unit") s.perUnit = std::atoi(v.c_str());
    else if (a == "--seed") s.seed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--check-seed") s.checkSeed = std::strtoull(v.c_str(), nullptr, 10);
    else if (a == "--threads") s.threads = std::atoi(v.c_str());
    else if (a == "--table") s.tableOut = v;
    else if (a == "--report") s.reportOut = v;
    else return false;
  }
  return s.perUnit >= 1 && s.threads >= 1 && s.seed != s.checkSeed;
}

}  // namespace

int main(int argc, char** argv) {
  Settings s;
  if (!ParseArgs(argc, argv, s)) {
    std::cerr << "usage: vegmatch_calibrate [--tables DIR] [--per-unit N] [--seed S] [--check-seed S]\n"
                 "                          [--threads T] [--table FILE] [--report FILE]\n";
    return 2;
  }
  std::istringstream in;
  std::ostringstream quietOut, quietErr;
  Console con(in, std::cout, std::cerr, "");
  Console quiet(in, quietOut, quietErr, "");
  auto e = std::make_unique<Engine>();
  std::string folder;
  if (!LoadBatchTables(con, quiet, s.tables, folder, e->ref)) return 1;
  BuildQuantTables(e->sc);
  BuildNVCTotals(e->ref, e->sc);
  std::string error;
  if (!LeastDominOf(e->ref, e->leastDomin, error)) {
    Diagnose(std::cerr, "", error);
    return 1;
  }
  const std::vector<Drawn> first = DrawAndScore(*e, s.perUnit, s.seed, s.threads);
  const std::vector<Drawn> second = DrawAndScore(*e, s.perUnit, s.checkSeed, s.threads);
  const std::vector<CalibrationRow> rows = MakeTable(first);
  bool checkHolds = false;
  const std::string report = Report(s, *e, first, second, rows, checkHolds);
  if (!WriteText(s.tableOut, TableSource(s, rows, first.size())) || !WriteText(s.reportOut, report)) return 1;
  std::cout << report;
  if (!checkHolds) Diagnose(std::cerr, s.reportOut, "the check on the second draw fails");
  return checkHolds ? 0 : 1;
}
