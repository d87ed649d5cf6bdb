// The survey report of 2,000 and 20,000 samples, as a run would fill it: five
// fits, ten constants and five indicators a sample, 20 groups of 40 synoptic
// rows, a few hundred messages. The counters give the page's size.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "outputs/survey_report.h"

namespace {

constexpr int kGroups = 20;
constexpr int kUnits = 60;
constexpr int kSpecies = 400;

std::string SpeciesName(int i) { return "Species" + std::to_string(i) + " longername-agg."; }

SurveyReport Synthetic(int samples) {
  std::mt19937 rng(11);
  const auto uniform = [&rng](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
  // Units drawn unevenly, as surveys meet a few units often and many rarely.
  std::geometric_distribution<int> unitOf(0.12);
  const char* const confidences[] = {"high", "medium", "low"};
  const auto indicators = [&](void) {
    std::vector<ReportIndicator> v;
    for (char letter : {'F', 'L', 'N', 'R', 'S'}) {
      const double mean = uniform(1, 9), value = uniform(1, 9);
      v.push_back({letter, value, mean, 0.8, std::abs(value - mean) > 0.8});
    }
    return v;
  };
  SurveyReport r;
  r.run.tables = "/usr/share/vegmatch/nvc";
  r.run.ranking = "consensus";
  r.run.settings = {{"--fits", "5"}, {"--ranking", "consensus"}, {"--scale", "domin"}, {"--habitats", "ukhab"}};
  r.run.inputs = {{"survey_2019.csv", samples / 2}, {"survey_2020.xlsx", samples - samples / 2}};
  for (int i = 0; i < samples / 10; ++i) {
    r.run.messages.push_back({"survey_2019.csv:" + std::to_string(10 * i + 2),
                              "unknown name \"Carex nigrra\"; did you mean Carex nigra?"});
  }
  for (int g = 0; g < kGroups; ++g) {
    ReportGroup group{"Site " + std::to_string(g + 1) + " transect", samples / kGroups, "MG5a",
                      "Centaurea nigra sub-community", {}, indicators(), {}};
    for (int k = 0; k < 40; ++k) {
      group.synoptic.push_back({SpeciesName(k * 7 % kSpecies), k + 1, 2.5 * k, "III", "1-25", "IV", "2-5",
                                k % 9 == 0 ? "unit constant missing" : ""});
    }
    for (int k = 0; k < 6; ++k) {
      group.habitats.push_back({"UKHab - Level5", "g3a5", "Lowland meadows", "corresponds to", k % 2 == 1});
    }
    r.groups.push_back(group);
  }
  for (int i = 0; i < samples; ++i) {
    ReportSample s{"Site " + std::to_string(i % kGroups + 1) + " / 2019 / Q" + std::to_string(i),
                   r.groups[static_cast<size_t>(i % kGroups)].name, 10 + i % 35, {}, "two",
                   confidences[i % 3], uniform(0, 0.1), uniform(0.3, 0.99), {}, {}, indicators()};
    for (int k = 0; k < 5; ++k) {
      const int unit = (k == 0 ? unitOf(rng) : static_cast<int>(uniform(0, kUnits))) % kUnits;
      s.fits.push_back({"MG" + std::to_string(unit), "Lolium perenne - Cynosurus cristatus grassland", "good",
                        uniform(0.4, 0.9), uniform(0.2, 0.6), uniform(0.3, 0.7)});
    }
    for (int k = 0; k < 10; ++k) {
      (k < 7 ? s.constantsPresent : s.constantsMissing).push_back(SpeciesName((i + 13 * k) % kSpecies));
    }
    r.samples.push_back(std::move(s));
  }
  return r;
}

void BM_SurveyReportHtml(benchmark::State& state) {
  const SurveyReport report = Synthetic(static_cast<int>(state.range(0)));
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string page = SurveyReportHtml(report);
    bytes = page.size();
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["bytes_per_sample"] = static_cast<double>(bytes) / static_cast<double>(state.range(0));
}
BENCHMARK(BM_SurveyReportHtml)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
