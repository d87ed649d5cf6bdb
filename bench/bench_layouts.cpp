// Reading a survey of 20,000 quadrats in each layout a survey is kept in, as
// classify reads an input: CSV text parsed into a grid (or a workbook's sheet
// read into one), the samples of the grid, their covers, and the samples as
// records. Names are taken as written (no resolver), so name lookup is not
// measured here.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "survey/covers.h"
#include "tables/csv.h"
#include "tables/grid.h"
#include "survey/survey.h"
#include "survey/layouts.h"
#include "tables/workbook.h"
#include "outputs/workbook.h"
#include "console/console.h"

namespace {

namespace fs = std::filesystem;

constexpr int kSites = 40;
constexpr int kYears = 5;
constexpr int kGroups = 4;
constexpr int kQuadrats = 25;  // numbered 1-25 in every transect
constexpr int kSamples = kSites * kYears * kGroups * kQuadrats;
constexpr int kSpecies = 300;

struct Quadrat {
  std::string site;
  int year;
  int group;
  int number;
  std::vector<std::pair<int, std::string>> records;  // species index, cover as written
};

// The survey, generated once from a fixed seed, written in every layout.
struct Survey {
  std::vector<std::string> species;
  std::vector<Quadrat> quadrats;
  long records = 0;
  std::string longCsv, wideCsv, matrixCsv, workbook;
  std::string error;  // why the workbook could not be made

  Survey() {
    // Two-word names; the genus letters only, as a matrix header must have it
    // to be told for a species column.
    const char* const syllables[] = {"ca", "re", "lo", "mi", "nu", "sa", "te", "vi"};
    for (int i = 0; i < kSpecies; ++i) {
      const int g = i / 10;
      std::string genus = std::string("Gen") + syllables[g % 8] + syllables[g / 8];
      species.push_back(genus + " species" + std::to_string(i % 10 + 1));
    }
    std::mt19937 rng(20260311);
    const char* const covers[] = {"1", "2", "3", "5", "8", "10", "15", "20", "25", "33", "40", "50", "60", "75", "0.5"};
    std::vector<int> pool(kSpecies);
    std::iota(pool.begin(), pool.end(), 0);
    for (int s = 1; s <= kSites; ++s) {
      for (int y = 0; y < kYears; ++y) {
        for (int g = 1; g <= kGroups; ++g) {
          for (int q = 1; q <= kQuadrats; ++q) {
            Quadrat quad{"S" + std::to_string(s), 2019 + y, g, q, {}};
            const int n = std::uniform_int_distribution<int>(15, 30)(rng);
            for (int k = 0; k < n; ++k) {  // n species, each once
              std::swap(pool[k], pool[std::uniform_int_distribution<int>(k, kSpecies - 1)(rng)]);
              const int c = std::uniform_int_distribution<int>(0, 39)(rng);
              quad.records.emplace_back(pool[k], c == 0 ? "+" : c == 1 ? "r" : covers[c % std::size(covers)]);
            }
            records += n;
            quadrats.push_back(std::move(quad));
          }
        }
      }
    }
    WriteLong();
    WriteWide();
    WriteMatrix();
    const std::string path = (fs::temp_directory_path() / "vegmatch-bench-layouts.xlsx").string();
    if (WriteWorkbook(path, {WorkbookSheet{"Survey", longCsv}}, error)) {
      std::ifstream in(path, std::ios::binary);
      workbook.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::remove(path.c_str());
  }

  static std::string Ids(const Quadrat& q) {
    return q.site + "," + std::to_string(q.year) + "," + std::to_string(q.group) + "," + std::to_string(q.number);
  }

  void WriteLong() {
    longCsv = "Site,Year,Group,Quadrat,Species,Cover\n";
    for (const Quadrat& q : quadrats) {
      const std::string ids = Ids(q);
      for (const auto& [sp, cover] : q.records) longCsv += ids + "," + species[sp] + "," + cover + "\n";
    }
  }

  // One column per quadrat, one row per species; absent is blank.
  void WriteWide() {
    std::vector<std::vector<const std::string*>> cells(kSpecies, std::vector<const std::string*>(quadrats.size()));
    for (size_t c = 0; c < quadrats.size(); ++c) {
      for (const auto& [sp, cover] : quadrats[c].records) cells[sp][c] = &cover;
    }
    const auto row = [this](const char* label, auto cell) {
      wideCsv += label;
      for (const Quadrat& q : quadrats) wideCsv += "," + cell(q);
      wideCsv += "\n";
    };
    row("Site", [](const Quadrat& q) { return q.site; });
    row("Year", [](const Quadrat& q) { return std::to_string(q.year); });
    row("Group", [](const Quadrat& q) { return std::to_string(q.group); });
    row("Quadrat", [](const Quadrat& q) { return std::to_string(q.number); });
    row("Species", [](const Quadrat&) { return std::string(); });
    for (int sp = 0; sp < kSpecies; ++sp) {
      wideCsv += species[sp];
      for (const std::string* cover : cells[sp]) {
        wideCsv += ',';
        if (cover != nullptr) wideCsv += *cover;
      }
      wideCsv += "\n";
    }
  }

  // One row per quadrat, one column per species; absent is 0.
  void WriteMatrix() {
    matrixCsv = "Site,Year,Group,Quadrat";
    for (const std::string& name : species) matrixCsv += "," + name;
    matrixCsv += "\n";
    std::vector<const std::string*> row(kSpecies);
    for (const Quadrat& q : quadrats) {
      std::fill(row.begin(), row.end(), nullptr);
      for (const auto& [sp, cover] : q.records) row[sp] = &cover;
      matrixCsv += Ids(q);
      for (const std::string* cover : row) matrixCsv += cover != nullptr ? "," + *cover : std::string(",0");
      matrixCsv += "\n";
    }
  }
};

const Survey& TheSurvey() {
  static const Survey survey;
  return survey;
}

// The samples of a grid as records, as classify takes a table; the number of
// samples and records read (-1 samples: the grid was refused).
std::pair<long, long> ReadGrid(const Grid& grid) {
  SurveyTable table;
  std::vector<InputProblem> problems;
  std::string error;
  if (!ReadSurvey(grid, SurveyReading{}, table, problems, error)) return {-1, 0};
  TakeCovers(table, CoverRules{kPercentScale, false, false}, problems);
  TextStore store;
  std::vector<SampleInput> samples;
  AppendSurveyInputs(table.samples, BlockRules{}, 1, store, samples, problems);
  long records = 0;
  for (const SampleInput& s : samples) records += static_cast<long>(s.records.size());
  benchmark::DoNotOptimize(samples.data());
  return {static_cast<long>(samples.size()), records};
}

// Every sample and record read, or the benchmark fails.
void Check(benchmark::State& state, std::pair<long, long> read, const std::string& error) {
  const Survey& survey = TheSurvey();
  if (!error.empty()) {
    state.SkipWithError(error.c_str());
  } else if (read.first != kSamples || read.second != survey.records) {
    state.SkipWithError(("read " + std::to_string(read.first) + " samples, " + std::to_string(read.second) +
                         " records; wrote " + std::to_string(kSamples) + ", " + std::to_string(survey.records))
                            .c_str());
  }
  state.SetItemsProcessed(state.iterations() * kSamples);
}

void BM_ReadCsvLayout(benchmark::State& state) {
  const Survey& survey = TheSurvey();
  const std::string* const texts[] = {&survey.longCsv, &survey.wideCsv, &survey.matrixCsv};
  const std::string& text = *texts[state.range(0)];
  std::pair<long, long> read{0, 0};
  std::string error;
  for (auto _ : state) {
    CsvTable table;
    if (!ParseCsv(text, table, error)) break;
    read = ReadGrid(GridOf(std::move(table)));
  }
  Check(state, read, error);
  state.SetLabel(state.range(0) == 0 ? "long" : state.range(0) == 1 ? "wide" : "matrix");
  state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
}
BENCHMARK(BM_ReadCsvLayout)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->Iterations(3);

// The long layout as a workbook's only sheet.
void BM_ReadWorkbookLong(benchmark::State& state) {
  const Survey& survey = TheSurvey();
  if (survey.workbook.empty()) {
    state.SkipWithError(("no workbook: " + survey.error).c_str());
    return;
  }
  std::pair<long, long> read{0, 0};
  std::string error;
  for (auto _ : state) {
    Grid grid;
    if (!ReadWorkbook(survey.workbook, "", grid, error)) break;
    read = ReadGrid(grid);
  }
  Check(state, read, error);
  state.counters["MB"] = static_cast<double>(survey.workbook.size()) / 1e6;
}
BENCHMARK(BM_ReadWorkbookLong)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
