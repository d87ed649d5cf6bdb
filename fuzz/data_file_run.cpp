// A whole data-file run on the demonstration tables, loaded once: the input is
// the data file, its first byte picks the output format, cover scale, type of
// analysis and species group, and the run goes sample by sample as the program
// runs it (entry, completion, scoring, ranking, report). Every completed sample
// and every ranking is checked; at the end, neither the screen nor the results
// hold a carriage return or a NUL byte (line ends are line ends, and a line with
// a NUL is refused), and a data file with a NUL byte is never read in silence.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "report/report.h"

namespace {

// The tables and the scoring state built from them, once per process.
struct Loaded {
  RefData ref;
  ScoringState scoring;
};

const Loaded& DemoTables() {
  static const Loaded* const loaded = [] {
    auto* l = new Loaded();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    Console con(in, out, err, DemoFolder());
    FUZZ_CHECK(LoadReferenceData(con, l->ref));
    FUZZ_CHECK(err.str().empty());
    BuildQuantTables(l->scoring);
    BuildNVCTotals(l->ref, l->scoring);
    return l;
  }();
  return *loaded;
}

std::string ReadBack(std::FILE* fp) {
  std::string text;
  std::rewind(fp);
  char buf[4096];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;) text.append(buf, n);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  const Loaded& tables = DemoTables();
  const Split in = TakeSelector(data, size);
  const std::string dataPath = FuzzFolder() + "/data.txt";
  const std::string resultsPath = FuzzFolder() + "/results.txt";
  WriteFileBytes(dataPath, in.rest);

  // A copy per input, so that each run starts from the same tables (new species
  // are appended to them) and a finding reproduces alone.
  std::unique_ptr<Loaded> st(new Loaded(tables));
  std::unique_ptr<SampleState> sample(new SampleState());
  RunSettings rs{};
  rs.nOutputFormat = static_cast<int16_t>(in.selector & 1);
  rs.nCoverScale = static_cast<int16_t>(1 + (in.selector >> 1) % 3);
  rs.nAnalysisType = static_cast<int16_t>(1 + (in.selector >> 3) % 5);
  static constexpr int16_t kGroups[] = {10000, 4000, 3000};
  rs.nSpeciesGroupLimit = kGroups[(in.selector >> 6) % 3];
  rs.nFitsToOutput = 5;
  rs.nInputSource = 1;
  rs.nSampleCounter = 1;
  rs.fpDataFile = File(std::fopen(dataPath.c_str(), "r"));
  rs.fpResults = File(std::fopen(resultsPath.c_str(), "w+"));
  FUZZ_CHECK(rs.fpDataFile && rs.fpResults);
  std::snprintf(rs.szDataFileName, sizeof rs.szDataFileName, "data.txt");

  std::istringstream console;  // a data-file run asks nothing but RETURN at its end
  std::ostringstream out;
  std::ostringstream err;
  Console con(console, out, err, FuzzFolder());
  for (;;) {
    if (EnterSample(con, st->ref, *sample, rs) == EntryResult::kRunEnded) break;
    CheckCompletedSample(st->ref, *sample, rs);
    ++rs.nSampleCounter;
    ScoreSample(st->ref, *sample, rs.nAnalysisType, st->scoring);
    RankTopFits(st->ref, rs.nFitsToOutput, st->scoring);
    CheckTopFits(st->ref, st->scoring, rs.nFitsToOutput);
    if (ReportFits(con, st->ref, *sample, st->scoring, rs) == 0) break;
  }
  CheckLoadedTables(st->ref);
  const std::string results = ReadBack(rs.fpResults.get());
  CloseRunFiles(con, rs);

  FUZZ_CHECK(!Holds(out.str(), '\r') && !Holds(out.str(), '\0'));
  FUZZ_CHECK(!Holds(results, '\r') && !Holds(results, '\0'));
  if (Holds(in.rest, '\0')) FUZZ_CHECK(!err.str().empty());
  return 0;
}
