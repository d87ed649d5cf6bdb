// The run sequence: title, settings, loading, then the sample loop; and the
// command-line dispatch in front of it.
#include <cstring>
#include <optional>
#include <ostream>

#include "app/app.h"

namespace {

constexpr int kHelpPageLength = 23;
constexpr int16_t kDefaultFits = 5;

const char kUsage[] =
    "usage: vegmatch [--dump-tables | --help | --version]\n"
    "       vegmatch classify [options] FILE...\n"
    "       vegmatch names [--tables DIR] FILE...\n"
    "  (no argument)   run the interactive program in the working directory\n"
    "  classify        classify every sample of the files (sample blocks or a survey\n"
    "                  CSV) without a question; 'vegmatch classify --help' lists\n"
    "                  its options and their defaults\n"
    "  names           check the species names of the files against the dictionary\n"
    "  --dump-tables   load the reference files and write the table dump files\n"
    "                  A01..A09 in the working directory\n"
    "  --version       show the version\n"
    "  --help          show this text\n";
const char kVersion[] = "vegmatch 4.1.0\n";

// A data-file run scores and reports its samples on other threads while the
// next ones are entered. Entry still runs here and alone speaks on the screen;
// what it writes to the results file is collected in memory and written after
// the report of the sample before, so that the file holds what a run one sample
// at a time writes, byte for byte. While the pipeline runs it holds the results
// file and the run's scoring state (each further thread scores with a copy).
class ReportPipeline {
 public:
  ReportPipeline(AppState& st, RunSettings& rs, Console& con)
      : st_(st),
        files_(TakeResultsFile(rs)),
        pipeline_(
            0, [this, &con](int lane) { return std::make_unique<Lane>(con.dir, lane == 0 ? nullptr : &st_.scoring); },
            [this](Job& job, Lane& lane) { Score(job, lane); }, [this](Job& job, Lane& lane) { Write(job, lane); },
            con.err) {}

  // Where entry writes what it would write to the results file (nothing when
  // the run has no results file).
  File EntryFile() { return files_.fpResults ? entry_.Open() : File(); }
  std::string TakeEntry(File& file) { return file ? entry_.Take(file) : std::string(); }

  // Hands on an entered sample with what its entry wrote to the results file.
  void Push(const SampleState& sample, const RunSettings& rs, const std::string& entered) {
    Job& job = pipeline_.Add();
    CopySample(sample, job.sample);
    job.settings = ReportSettings(rs);
    job.text.assign(entered);  // the job's text keeps its room from batch to batch
  }

  // Waits for every sample to be written, writes what entry wrote last, and
  // gives the results file back to the run.
  void Finish(RunSettings& rs, const std::string& tail) {
    pipeline_.Finish();
    rs.fpResults = std::move(files_.fpResults);
    rs.bResultsFailureReported = files_.bResultsFailureReported;
    if (rs.fpResults && !tail.empty()) std::fwrite(tail.data(), 1, tail.size(), rs.fpResults.get());
  }

 private:
  struct Job {
    SampleState sample;
    RunSettings settings;
    std::string text;  // what entry wrote, then the report
  };
  // What one scoring thread scores and reports with.
  struct Lane {
    // `copyOf` null: the run's own scoring state.
    Lane(const std::string& dir, const ScoringState* copyOf)
        : own(copyOf ? std::make_unique<ScoringState>(*copyOf) : nullptr), quiet(dir) {}
    std::string TakeSaid() { return quiet.TakeSaid(); }
    std::unique_ptr<ScoringState> own;
    MemoryFile report;
    QuietConsole quiet;
  };

  // The results file and whether its failure was said, taken from the run.
  static RunSettings TakeResultsFile(RunSettings& rs) {
    RunSettings files{};
    files.fpResults = std::move(rs.fpResults);
    files.bResultsFailureReported = rs.bResultsFailureReported;
    // A data-file run: its results are checked after each sample but left to
    // the file's buffer, not flushed one sample at a time.
    files.nInputSource = 1;
    return files;
  }
  void Score(Job& job, Lane& lane) {
    ScoringState& sc = lane.own ? *lane.own : st_.scoring;
    ScoreAndRank(st_.ref, job.sample, job.settings.nAnalysisType, job.settings.nFitsToOutput, sc);
    ReportInto(st_.ref, job.sample, sc, job.settings, lane.quiet, lane.report, job.text);
  }
  // Writes a sample, checking the file after each as the run does (a failed
  // write is said once, through the lane).
  void Write(Job& job, Lane& lane) {
    const std::string& text = job.text;
    if (files_.fpResults && !text.empty()) std::fwrite(text.data(), 1, text.size(), files_.fpResults.get());
    CheckRunFileWrites(lane.quiet.con, files_);
  }

  AppState& st_;
  RunSettings files_;  // the results file and whether its failure was said
  MemoryFile entry_;
  OrderedPipeline<Job, Lane> pipeline_;
};

}  // namespace

int RunVegmatch(Console& con, AppState& st, const std::string& bundledTables) {
  RunSettings& rs = st.settings;
  const std::optional<std::string> tables = ChooseTablesFolder(con, bundledTables);
  if (!tables) return 1;
  ShowTitleScreen(con, kHelpPageLength);
  if (!RunSettingsDialogue(con, rs)) {
    CloseRunFiles(con, rs);
    con.out.flush();
    return 0;
  }
  rs.nCoverScale = 1;
  rs.nAnalysisType = 1;
  ParameterDialogue(con, rs);
  rs.nSampleCounter = 1;
  Say(con, "\n\n\n\n\n Enter number of fitted communities to be output\n");
  rs.nFitsToOutput = kDefaultFits;
  PromptInteger(con, rs.nFitsToOutput, 1, static_cast<int16_t>(kMaxFits));

  if (!LoadReferenceData(con, st.ref, *tables)) {
    Diagnose(con, "", "the reference tables could not be loaded (see above); the run stops");
    CloseRunFiles(con, rs);
    con.out.flush();
    return 1;
  }
  BuildQuantTables(st.scoring);
  BuildNVCTotals(st.ref, st.scoring);

  // Samples from a data file go through the pipeline; typed ones, and the
  // prompts after them, are scored and reported here.
  std::optional<ReportPipeline> pipeline;
  for (;;) {
    if (rs.nInputSource == 1 && !pipeline) pipeline.emplace(st, rs, con);
    if (pipeline) rs.fpResults = pipeline->EntryFile();
    const EntryResult entered = EnterSample(con, st.ref, st.sample, rs);
    if (pipeline) {
      std::string text = pipeline->TakeEntry(rs.fpResults);
      if (entered == EntryResult::kSampleReady && rs.nInputSource == 1) {
        ++rs.nSampleCounter;
        pipeline->Push(st.sample, rs, text);
        CheckRunFileWrites(con, rs);  // the record file; the pipeline checks the results
        continue;
      }
      pipeline->Finish(rs, text);
      pipeline.reset();
    }
    if (entered == EntryResult::kRunEnded) break;
    ++rs.nSampleCounter;
    ScoreAndRank(st.ref, st.sample, rs.nAnalysisType, rs.nFitsToOutput, st.scoring);
    if (ReportFits(con, st.ref, st.sample, st.scoring, rs) == 0) break;
  }
  CloseRunFiles(con, rs);
  con.out.flush();
  return 0;
}

int VegmatchMain(int argc, const char* const* argv, Console& con) {
  if (argc <= 1) {
    std::unique_ptr<AppState> st = NewAppState();
    return RunVegmatch(con, *st);
  }
  if (std::strcmp(argv[1], "classify") == 0) return ClassifyMain(argc - 1, argv + 1, con);
  if (std::strcmp(argv[1], "names") == 0) return NamesMain(argc - 1, argv + 1, con);
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    con.out << kVersion;
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    con.out << kUsage;
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--dump-tables") == 0) {
    std::unique_ptr<AppState> st = NewAppState();
    const std::optional<std::string> tables = ChooseTablesFolder(con, BundledTablesFolder());
    if (!tables) return 1;
    bool ok = LoadReferenceData(con, st->ref, *tables) && DumpReferenceTables(con, st->ref);
    con.out.flush();
    return ok ? 0 : 1;
  }
  con.err << kUsage;
  return 2;
}
