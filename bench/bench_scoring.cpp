// Scoring speed on the real reference files (or those VEGMATCH_BENCH_TABLES
// names): ScoreSample and RankTopFits for
// samples of 10 to 40 species drawn from the association tables, and for the
// samples of two files (pseudo-quadrats, also thinned, and a real survey).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <random>
#include <sstream>
#include <vector>

#include "app/app.h"
#include "refdata/refdata.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

namespace {

constexpr int kSamples = 1024;

struct Fixture {
  std::unique_ptr<AppState> st = NewAppState();
  std::vector<SampleState> samples;
  std::vector<SampleState> pseudoQuadrats;
  std::vector<SampleState> survey;
  bool ok = false;

  Fixture() {
    std::istringstream in;
    std::ostringstream out;
    // VEGMATCH_BENCH_TABLES names another folder of reference files to score on.
    const char* tables = std::getenv("VEGMATCH_BENCH_TABLES");
    Console con(in, out, std::cerr, tables != nullptr ? tables : VM_SOURCE_DIR "/data/nvc");
    LoadReferenceData(con, st->ref);
    BuildQuantTables(st->scoring);
    BuildNVCTotals(st->ref, st->scoring);
    ok = st->ref.nNVCCount > 0 && st->ref.nSpeciesTableCount > 0;
    if (ok) MakeSamples();
    if (ok) pseudoQuadrats = ReadSamples(VM_SOURCE_DIR "/tests/data", "pquads_small.txt");
    if (ok) survey = ReadSamples(VM_SOURCE_DIR "/data/samples", "example_real.txt");
  }

  // The samples of a data file (percent covers), read and completed by sample
  // entry exactly as a data-file run reads them: the 40 held-out pseudo-quadrats
  // of the tests, or the 60 quadrats of a real survey.
  std::vector<SampleState> ReadSamples(const char* dir, const char* name) {
    std::vector<SampleState> read;
    std::istringstream in;
    std::ostringstream screen;
    std::ostringstream err;
    Console con(in, screen, err, dir);
    RunSettings rs{};
    rs.nCoverScale = 1;
    rs.nAnalysisType = 1;
    rs.nSpeciesGroupLimit = 10000;
    rs.nFitsToOutput = 5;
    rs.nInputSource = 1;
    rs.nSampleCounter = 1;
    rs.fpDataFile = OpenIn(con.dir, name, "r");
    auto sample = std::make_unique<SampleState>();
    while (rs.fpDataFile && EnterSample(con, st->ref, *sample, rs) == EntryResult::kSampleReady) {
      ++rs.nSampleCounter;
      read.push_back(*sample);
    }
    return read;
  }

  // Each sample is a stand of one community: most of its species come from that
  // community's table, a few from anywhere, with covers near the listed Domin class.
  void MakeSamples() {
    const RefData& ref = st->ref;
    std::mt19937 rng(20240611);
    auto pick = [&rng](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    samples.resize(kSamples);
    for (SampleState& s : samples) {
      s = SampleState{};
      const NVCUnit& unit = ref.arrNVCData[pick(1, ref.nNVCCount)];
      std::vector<SpeciesTableLine> lines(
          ref.arrTbNVCToSpeciesJoinTable.begin() + std::max<int>(1, unit.nSpeciesTableStartIndex),
          ref.arrTbNVCToSpeciesJoinTable.begin() + std::max<int>(0, unit.nSpeciesTableEndIndex) + 1);
      std::shuffle(lines.begin(), lines.end(), rng);
      const int want = pick(10, 40);
      int n = 0;
      for (int i = 0; n < want; ++i) {
        SpeciesTableLine line;
        if (i < static_cast<int>(lines.size()) && pick(1, 5) > 1) {
          line = lines[i];
        } else {
          line = ref.arrTbNVCToSpeciesJoinTable[pick(1, ref.nSpeciesTableCount)];
        }
        bool dup = false;
        for (int e = 1; e <= n; ++e) dup = dup || s.arrSample[e].nSpeciesCode == line.nSpeciesCode;
        if (dup) continue;
        const int domin = (line.nQuant - 1) % 10 + 1;
        const int top = std::max(1, static_cast<int>(st->scoring.nDominPercent[domin]));
        s.arrSample[++n] = {line.nSpeciesCode, 0, static_cast<int16_t>(pick(1, top)), 1};
      }
      s.nSampleEntries = static_cast<int16_t>(n);
    }
  }
};

Fixture& Data() {
  static Fixture f;
  return f;
}

// The fixture, or null (and the benchmark skipped) when the tables did not load.
Fixture* Loaded(benchmark::State& state) {
  Fixture& f = Data();
  if (f.ok) return &f;
  state.SkipWithError("reference files not loaded");
  return nullptr;
}

void BM_ScoreAndRank(benchmark::State& state) {
  Fixture* loaded = Loaded(state);
  if (loaded == nullptr) return;
  Fixture& f = *loaded;
  const int16_t type = static_cast<int16_t>(state.range(0));
  size_t i = 0;
  for (auto _ : state) {
    ScoreAndRank(f.st->ref, f.samples[i], type, 5, f.st->scoring);
    benchmark::DoNotOptimize(f.st->scoring.arrTopFits[1].dMeanGoF);
    i = (i + 1) % f.samples.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_ScoreAndRank)->Arg(1)->Arg(5);

// Scoring and ranking five places for samples read from a file, on the whole
// tables; the counters say what an average sample walks and reaches.
void ScoreAndRankFileSamples(benchmark::State& state, Fixture& f, const std::vector<SampleState>& samples) {
  if (samples.empty()) {
    state.SkipWithError("sample file not read");
    return;
  }
  size_t i = 0;
  for (auto _ : state) {
    ScoreAndRank(f.st->ref, samples[i], 1, 5, f.st->scoring);
    benchmark::DoNotOptimize(f.st->scoring.arrTopFits[1].dMeanGoF);
    i = (i + 1) % samples.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
  double lines = 0;
  double reached = 0;
  double groups = 0;  // groups of four units with one reached
  for (const SampleState& s : samples) {
    for (int e = 1; e <= s.nSampleEntries; ++e) {
      const TableRange& r =
          f.st->ref.arrSpeciesBySpeciesIndex[DictionaryRowOfCode(f.st->ref, s.arrSample[e].nSpeciesCode)];
      if (r.nEndIndex > 0) lines += r.nEndIndex - r.nStartIndex + 1;
    }
    ScoreSample(f.st->ref, s, 1, f.st->scoring);
    for (int g = 1; g <= f.st->ref.nNVCCount; ++g) reached += f.st->scoring.arrNVCFit[g].dMeanGoF > 0;
    for (int g0 = 0; g0 <= f.st->ref.nNVCCount; g0 += 4) {
      bool any = false;
      for (int k = 0; k < 4; ++k) any = any || f.st->scoring.arrNVCFit[g0 + k].dMeanGoF > 0;
      groups += any;
    }
  }
  state.counters["lines"] = lines / static_cast<double>(samples.size());
  state.counters["reached"] = reached / static_cast<double>(samples.size());
  state.counters["groups"] = groups / static_cast<double>(samples.size());
  state.counters["units"] = f.st->ref.nNVCCount;
}

void BM_ScoreAndRankPseudoQuadrats(benchmark::State& state) {
  if (Fixture* f = Loaded(state)) ScoreAndRankFileSamples(state, *f, f->pseudoQuadrats);
}
BENCHMARK(BM_ScoreAndRankPseudoQuadrats);

// The pseudo-quadrats with fewer species: of every state.range(1) entries, the
// first state.range(0) kept. What a sample costs at a third, a half and two
// thirds of the load.
void BM_ScoreAndRankPseudoQuadratsThinned(benchmark::State& state) {
  Fixture* f = Loaded(state);
  if (f == nullptr) return;
  std::vector<SampleState> thinned = f->pseudoQuadrats;
  for (SampleState& s : thinned) {
    int kept = 0;
    for (int e = 1; e <= s.nSampleEntries; ++e) {
      if ((e - 1) % state.range(1) < state.range(0)) s.arrSample[++kept] = s.arrSample[e];
    }
    s.nSampleEntries = static_cast<int16_t>(kept);
  }
  ScoreAndRankFileSamples(state, *f, thinned);
}
BENCHMARK(BM_ScoreAndRankPseudoQuadratsThinned)->Args({1, 3})->Args({1, 2})->Args({2, 3});

void BM_ScoreAndRankRealSurvey(benchmark::State& state) {
  if (Fixture* f = Loaded(state)) ScoreAndRankFileSamples(state, *f, f->survey);
}
BENCHMARK(BM_ScoreAndRankRealSurvey);

void BM_ScoreSample(benchmark::State& state) {
  Fixture* loaded = Loaded(state);
  if (loaded == nullptr) return;
  Fixture& f = *loaded;
  size_t i = 0;
  for (auto _ : state) {
    ScoreSample(f.st->ref, f.samples[i], 1, f.st->scoring);
    benchmark::DoNotOptimize(f.st->scoring.arrNVCFit[1].dMeanGoF);
    i = (i + 1) % f.samples.size();
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));

  // What one sample costs: association lines walked and communities reached.
  double lines = 0;
  double reached = 0;
  for (const SampleState& s : f.samples) {
    ScoreSample(f.st->ref, s, 1, f.st->scoring);
    for (int e = 1; e <= s.nSampleEntries; ++e) {
      const int row = FindSortedRowByCode(f.st->ref, s.arrSample[e].nSpeciesCode);
      if (row == 0) continue;
      const TableRange& r =
          f.st->ref.arrSpeciesBySpeciesIndex[f.st->ref.arrSortedSpecies[row].nSpeciesIndex];
      if (r.nEndIndex > 0) lines += r.nEndIndex - r.nStartIndex + 1;
    }
    for (int g = 1; g <= f.st->ref.nNVCCount; ++g) reached += f.st->scoring.arrNVCFit[g].dMeanGoF > 0;
  }
  state.counters["lines"] = lines / static_cast<double>(f.samples.size());
  state.counters["reached"] = reached / static_cast<double>(f.samples.size());
}
BENCHMARK(BM_ScoreSample);

void BM_RankTopFits(benchmark::State& state) {
  Fixture* loaded = Loaded(state);
  if (loaded == nullptr) return;
  Fixture& f = *loaded;
  ScoreSample(f.st->ref, f.samples[0], 1, f.st->scoring);
  for (auto _ : state) {
    RankTopFits(f.st->ref, static_cast<int16_t>(state.range(0)), f.st->scoring);
    benchmark::DoNotOptimize(f.st->scoring.arrTopFits[1].dMeanGoF);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_RankTopFits)->Arg(5)->Arg(99);

}  // namespace
