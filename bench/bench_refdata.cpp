// Start-up cost of loading and joining the bundled NVC tables (45,916 lines).
#include <benchmark/benchmark.h>

#include <memory>
#include <sstream>

#include "app/app.h"
#include "refdata/refdata.h"

namespace {

void BM_LoadReferenceData(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<AppState> st = NewAppState();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    Console con(in, out, err, VM_SOURCE_DIR "/data/nvc");
    state.ResumeTiming();
    LoadReferenceData(con, st->ref);
    benchmark::DoNotOptimize(st->ref.nSpeciesTableCount);
    if (st->ref.nSpeciesTableCount != 45916) {
      state.SkipWithError("reference files not loaded");
    }
  }
}
BENCHMARK(BM_LoadReferenceData)->Unit(benchmark::kMillisecond);

}  // namespace
