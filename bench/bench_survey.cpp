// `vegmatch classify` on a national-scale survey: quadrats of 15 species each
// (VEGMATCH_BENCH_QUADRATS of them, 100,000 unless set; the closing figures are
// for 1,000,000), as a long survey CSV and as sample blocks, into tidy results.
// The inputs are written a line at a time, so the peak memory the process
// reaches (peak_MB, the high-water mark of the whole process) is the run's.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "batch/batch.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSpeciesPerQuadrat = 15;

long Quadrats() {
  const char* n = std::getenv("VEGMATCH_BENCH_QUADRATS");
  return n != nullptr && std::atol(n) > 0 ? std::atol(n) : 100000;
}

struct SurveyFolder {
  std::string dir;
  bool ok = false;
  SurveyFolder() {
    dir = (fs::temp_directory_path() / "vegmatch-bench-survey").string();
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string tables = VM_SOURCE_DIR "/data/nvc";
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    Console con(in, out, err, tables);
    auto ref = std::make_unique<RefData>();
    if (!LoadReferenceData(con, *ref)) return;
    std::vector<std::string> names;
    for (int row = 3; row <= ref->nSpeciesCount; ++row) names.emplace_back(ref->arrSpecies[row].szFullName);
    std::mt19937 rng(20261209);
    std::uniform_int_distribution<size_t> pick(0, names.size() - 1);
    std::uniform_int_distribution<int> cover(1, 60);
    std::FILE* csv = std::fopen((dir + "/survey.csv").c_str(), "w");
    std::FILE* blocks = std::fopen((dir + "/survey.txt").c_str(), "w");
    if (csv == nullptr || blocks == nullptr) return;
    std::fputs("Site,Year,Quadrat,Species,Cover\n", csv);
    const long n = Quadrats();
    for (long q = 0; q < n; ++q) {
      const long site = q / 1000;
      const int year = 2000 + static_cast<int>(q % 7);
      const long quadrat = q % 1000 + 1;
      std::fprintf(blocks, "S%ld %d %ld\n", site, year, quadrat);
      for (int k = 0; k < kSpeciesPerQuadrat; ++k) {
        const std::string& name = names[pick(rng)];
        const int c = cover(rng);
        std::fprintf(csv, "S%ld,%d,%ld,%s,%d\n", site, year, quadrat, name.c_str(), c);
        std::fprintf(blocks, "%s %d\n", name.c_str(), c);
      }
      std::fputs("\n", blocks);
    }
    ok = std::fclose(csv) == 0 && std::fclose(blocks) == 0;
  }
  ~SurveyFolder() {
    if (std::getenv("VEGMATCH_BENCH_KEEP") == nullptr) fs::remove_all(dir);
  }
};

SurveyFolder& Folder() {
  static SurveyFolder f;
  return f;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// Arg 0: the survey CSV; 1: the same as sample blocks.
void BM_ClassifySurvey(benchmark::State& state) {
  SurveyFolder& f = Folder();
  if (!f.ok) {
    state.SkipWithError("no survey");
    return;
  }
  const std::string input = state.range(0) == 0 ? "survey.csv" : "survey.txt";
  const std::string output = f.dir + "/results.csv";
  for (auto _ : state) {
    std::remove(output.c_str());
    std::vector<const char*> argv = {"classify", "-q", "--tables", VM_SOURCE_DIR "/data/nvc", "-o",
                                     output.c_str(), input.c_str()};
    std::istringstream in;
    std::ostringstream screen;
    std::ostringstream err;
    Console con(in, screen, err, f.dir);
    if (ClassifyMain(static_cast<int>(argv.size()), argv.data(), con) != 0) {
      state.SkipWithError(("classify failed: " + err.str().substr(0, 500)).c_str());
      return;
    }
  }
  state.counters["samples_per_s"] = benchmark::Counter(static_cast<double>(Quadrats()),
                                                       benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB_in"] = static_cast<double>(fs::file_size(f.dir + "/" + input)) / 1e6;
  state.counters["peak_MB"] = PeakMegabytes();
  state.SetLabel(state.range(0) == 0 ? "csv" : "blocks");
}
BENCHMARK(BM_ClassifySurvey)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

}  // namespace
