// Whole batch runs on the bundled NVC tables: 20,000 pseudo-quadrats in one data
// file, scored with the matching analysis by the typed run reading the data file
// and by `vegmatch classify`, beside the time it takes to copy the results file
// the run writes (the floor for writing that much); and a national-scale survey.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "batch/batch.h"
#include "tables/csv.h"
#include "survey/blocks.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"

namespace {

namespace fs = std::filesystem;

constexpr int kBatchSamples = 20000;

// A new, empty working folder under the temporary folder.
std::string FreshFolder(const char* name) {
  const std::string dir = (fs::temp_directory_path() / name).string();
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// The bundled tables; null when they cannot be loaded.
std::unique_ptr<RefData> BundledTables() {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err, VM_SOURCE_DIR "/data/nvc");
  auto ref = std::make_unique<RefData>();
  return LoadReferenceData(con, *ref) ? std::move(ref) : nullptr;
}


// A working folder with the tables and a data file of pseudo-quadrats: for a
// random unit, each species of its table with the probability of its constancy
// class, at a cover within its Domin range.
struct BatchFolder {
  std::string dir;
  bool ok = false;

  BatchFolder() {
    dir = FreshFolder("vegmatch-bench-batch");
    const std::string tables = VM_SOURCE_DIR "/data/nvc";
    for (const char* f : {"SPECDICT3.txt", "VegmatchNVCDef3.txt", "VegmatchNVCData3.txt",
                          "units.csv", "habitats.csv"}) {
      fs::copy_file(tables + "/" + f, dir + "/" + f, fs::copy_options::overwrite_existing);
    }
    const std::unique_ptr<RefData> ref = BundledTables();
    if (!ref) return;
    std::mt19937 rng(20261207);
    auto uniform = [&rng] { return std::uniform_real_distribution<double>(0, 1)(rng); };
    const double keep[6] = {0, 0.1, 0.3, 0.5, 0.7, 0.9};
    std::ofstream data(dir + "/SAMP.txt");
    for (int s = 1; s <= kBatchSamples; ++s) {
      const NVCUnit* unit = nullptr;
      while (unit == nullptr || unit->nSpeciesTableEndIndex == 0) {
        unit = &ref->arrNVCData[std::uniform_int_distribution<int>(1, ref->nNVCCount)(rng)];
      }
      data << "PQ" << s << " " << unit->szNVCType << "\n";
      for (int l = unit->nSpeciesTableStartIndex; l <= unit->nSpeciesTableEndIndex; ++l) {
        const SpeciesTableLine& line = ref->arrTbNVCToSpeciesJoinTable[l];
        if (!IsValidQuant(line.nQuant) || uniform() > keep[(line.nQuant - 1) / 10 + 1]) continue;
        const int row = DictionaryRowOfCode(*ref, line.nSpeciesCode);
        if (row == 0) continue;
        const int domin = (line.nQuant - 1) % 10 + 1;
        data << ref->arrSpecies[row].szFullName << " "
             << std::max(1, static_cast<int>(0.25 * std::pow(domin, 2.6) * uniform())) << "\n";
      }
      data << "\n";
    }
    ok = static_cast<bool>(data);
  }
  // VEGMATCH_BENCH_KEEP leaves the folder for profiling the runs by hand.
  ~BatchFolder() {
    if (std::getenv("VEGMATCH_BENCH_KEEP") == nullptr) fs::remove_all(dir);
  }
};

BatchFolder& Folder() {
  static BatchFolder f;
  return f;
}

void Remove(const std::string& path) { std::remove(path.c_str()); }

void CopyFile(const std::string& from, const std::string& to) {
  std::FILE* in = std::fopen(from.c_str(), "rb");
  std::FILE* out = std::fopen(to.c_str(), "wb");
  static char buf[1 << 16];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, in)) > 0;) std::fwrite(buf, 1, n, out);
  std::fclose(in);
  std::fclose(out);
}

// The typed run reading the data file: CSV results with the matching analysis,
// five fits, every other answer the default.
void BM_TypedDataFileRun(benchmark::State& state) {
  BatchFolder& f = Folder();
  if (!f.ok) {
    state.SkipWithError("no data file");
    return;
  }
  int64_t bytes = 0;
  for (auto _ : state) {
    Remove(f.dir + "/TABLOUT.TXT");
    std::istringstream answers("\n\n\n\n\n1\n\n\n\n\n\n\n");
    NullBuffer null;
    std::ostream screen(&null);
    std::ostringstream err;
    Console con(answers, screen, err, f.dir);
    std::unique_ptr<AppState> st = NewAppState();
    RunVegmatch(con, *st);
    bytes = static_cast<int64_t>(fs::file_size(f.dir + "/TABLOUT.TXT"));
  }
  state.counters["samples_per_s"] =
      benchmark::Counter(kBatchSamples, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_TypedDataFileRun)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void RunClassify(benchmark::State& state, const std::vector<const char*>& extra,
                 const char* output) {
  BatchFolder& f = Folder();
  if (!f.ok) {
    state.SkipWithError("no data file");
    return;
  }
  const std::string out = f.dir + "/" + output;
  int64_t bytes = 0;
  for (auto _ : state) {
    // Into a new file, as the typed run and the copy write theirs: cutting the
    // last run's file back to nothing makes the file system wait for its pages
    // (and, on ext4, flush the new file when it is closed).
    Remove(out);
    std::vector<const char*> argv = {"classify", "-q", "--tables", f.dir.c_str(), "-o", out.c_str()};
    argv.insert(argv.end(), extra.begin(), extra.end());
    argv.push_back("SAMP.txt");
    std::istringstream in;
    std::ostringstream screen;
    std::ostringstream err;
    Console con(in, screen, err, f.dir);
    if (ClassifyMain(static_cast<int>(argv.size()), argv.data(), con) != 0) {
      state.SkipWithError("classify failed");
      return;
    }
    bytes = static_cast<int64_t>(fs::file_size(out));
  }
  state.counters["samples_per_s"] =
      benchmark::Counter(kBatchSamples, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

void BM_ClassifyClassicCsv(benchmark::State& state) {
  RunClassify(state, {"--format", "classic-csv"}, "classic.csv");
}
BENCHMARK(BM_ClassifyClassicCsv)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ClassifyTidy(benchmark::State& state) { RunClassify(state, {}, "tidy.csv"); }
BENCHMARK(BM_ClassifyTidy)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The tidy run with what a survey report adds: the synoptic table of the whole
// run beside its unit and the indicator values of every sample; then the
// report itself (its size as MB_report).
void BM_ClassifyTidySynopticIndicators(benchmark::State& state) {
  static const std::string synoptic = Folder().dir + "/synoptic.csv";
  RunClassify(state, {"--synoptic", synoptic.c_str(), "--indicators"}, "tidy.csv");
}
BENCHMARK(BM_ClassifyTidySynopticIndicators)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ClassifyReport(benchmark::State& state) {
  static const std::string report = Folder().dir + "/report.html";
  RunClassify(state, {"--report", report.c_str()}, "tidy.csv");
  std::error_code error;
  state.counters["MB_report"] = static_cast<double>(fs::file_size(report, error)) / 1e6;
}
BENCHMARK(BM_ClassifyReport)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The data file read into samples of records, as classify reads a block file
// before entry starts.
void BM_ReadBlockFile(benchmark::State& state) {
  BatchFolder& f = Folder();
  std::string text;
  if (!f.ok || !ReadFileText(f.dir + "/SAMP.txt", text)) {
    state.SkipWithError("no data file");
    return;
  }
  const BlockRules classic;
  for (auto _ : state) {
    TextStore store;
    std::vector<SampleInput> samples;
    std::vector<InputProblem> problems;
    AppendBlockInputs(text, classic, 1, true, store, samples, problems);
    benchmark::DoNotOptimize(samples.data());
  }
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ReadBlockFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Copying the results files the runs wrote: the time any run needs to write them.
void BM_CopyResultsFile(benchmark::State& state) {
  BatchFolder& f = Folder();
  const std::string from = f.dir + "/" + (state.range(0) == 0 ? "TABLOUT.TXT" : "tidy.csv");
  if (!fs::exists(from)) {
    state.SkipWithError("run the batch benchmarks first");
    return;
  }
  for (auto _ : state) {
    Remove(f.dir + "/copy.txt");
    CopyFile(from, f.dir + "/copy.txt");
  }
  state.counters["MB"] = static_cast<double>(fs::file_size(from)) / 1e6;
}
BENCHMARK(BM_CopyResultsFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// ---- a national-scale survey ------------------------------------------------------------
// `vegmatch classify` on quadrats of 15 species each (VEGMATCH_BENCH_QUADRATS of
// them, 100,000 unless set; the closing figures are for 1,000,000), as a long
// survey CSV and as sample blocks, into tidy results. The inputs are written a
// line at a time, so the peak memory of the process (peak_MB, its high-water
// mark) is that of the runs.

constexpr int kSpeciesPerQuadrat = 15;

long Quadrats() {
  const char* n = std::getenv("VEGMATCH_BENCH_QUADRATS");
  return n != nullptr && std::atol(n) > 0 ? std::atol(n) : 100000;
}

struct SurveyFolder {
  std::string dir;
  bool ok = false;
  SurveyFolder() {
    dir = FreshFolder("vegmatch-bench-survey");
    const std::unique_ptr<RefData> ref = BundledTables();
    if (!ref) return;
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

SurveyFolder& Survey() {
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
  SurveyFolder& f = Survey();
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
