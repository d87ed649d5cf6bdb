// The run sequence: title, settings, loading, then the sample loop; and the
// command-line dispatch in front of it.
#include <algorithm>
#include <cstring>
#include <optional>
#include <ostream>
#include <thread>

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
  ReportPipeline(AppState& st, RunSettings& rs, const std::string& dir) : st_(st), queue_(kRoom) {
    files_.fpResults = std::move(rs.fpResults);
    files_.bResultsFailureReported = rs.bResultsFailureReported;
    // A data-file run: its results are checked after each sample but left to
    // the file's buffer, not flushed one sample at a time.
    files_.nInputSource = 1;
    const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned t = 0; t < threads; ++t) {
      lanes_.push_back(std::make_unique<Lane>(dir));
      if (t > 0) lanes_.back()->own = std::make_unique<ScoringState>(st.scoring);
    }
    for (std::unique_ptr<Lane>& lane : lanes_) {
      Lane* l = lane.get();
      l->thread = std::thread([this, l] {
        queue_.Work([this, l](Batch& b) { Score(*l, b); }, [this, l](Batch& b) { Write(*l, b); });
      });
    }
  }
  ReportPipeline(const ReportPipeline&) = delete;
  ReportPipeline& operator=(const ReportPipeline&) = delete;
  ~ReportPipeline() { Join(); }

  // Where entry writes what it would write to the results file (nothing when
  // the run has no results file).
  File EntryFile() { return files_.fpResults ? entry_.Open() : File(); }
  std::string TakeEntry(File& file) { return file ? entry_.Take(file) : std::string(); }

  // Hands on an entered sample with what its entry wrote to the results file.
  void Push(Console& con, const SampleState& sample, const RunSettings& rs, const std::string& entered) {
    Job& job = batch_->Add();
    CopySample(sample, job.sample);
    job.settings = ReportSettings(rs);
    job.text.assign(entered);  // the job's text keeps its room from batch to batch
    if (batch_->count == kBatchSamples) Launch(con);
  }

  // Waits for every sample to be written, writes what entry wrote last, and
  // gives the results file back to the run.
  void Finish(Console& con, RunSettings& rs, const std::string& tail) {
    Launch(con);
    Join();
    Say(con);
    rs.fpResults = std::move(files_.fpResults);
    rs.bResultsFailureReported = files_.bResultsFailureReported;
    if (rs.fpResults && !tail.empty()) std::fwrite(tail.data(), 1, tail.size(), rs.fpResults.get());
  }

 private:
  static constexpr size_t kBatchSamples = 64;
  static constexpr size_t kRoom = 8;
  struct Job {
    SampleState sample;
    RunSettings settings;
    std::string text;  // what entry wrote, then the report
  };
  using Batch = JobBatch<Job>;
  // One scoring thread with what it scores and reports with.
  struct Lane {
    explicit Lane(const std::string& dir) : quiet(dir) {}
    std::unique_ptr<ScoringState> own;  // null: the run's own
    MemoryFile report;
    QuietConsole quiet;
    std::thread thread;
  };

  void Launch(Console& con) {
    if (batch_->count == 0) return;
    queue_.Push(std::move(batch_));
    batch_ = queue_.Recycled();
    Say(con);
  }
  void Join() {
    queue_.Close();
    for (std::unique_ptr<Lane>& lane : lanes_) {
      if (lane->thread.joinable()) lane->thread.join();
    }
  }
  // Says what the pipeline said (a failed write of the results file).
  void Say(Console& con) {
    for (const std::string& text : queue_.TakeSaid()) con.err << text;
  }
  void Score(Lane& lane, Batch& b) {
    ScoringState& sc = lane.own ? *lane.own : st_.scoring;
    for (size_t k = 0; k < b.count; ++k) {
      Job& job = b.jobs[k];
      ScoreAndRank(st_.ref, job.sample, job.settings.nAnalysisType, job.settings.nFitsToOutput, sc);
      ReportInto(st_.ref, job.sample, sc, job.settings, lane.quiet, lane.report, job.text);
    }
  }
  // Writes the batch's samples in order, checking the file after each as the
  // run does. One thread at a time writes.
  void Write(Lane& lane, Batch& b) {
    for (size_t k = 0; k < b.count; ++k) {
      const std::string& text = b.jobs[k].text;
      if (files_.fpResults && !text.empty()) std::fwrite(text.data(), 1, text.size(), files_.fpResults.get());
      CheckRunFileWrites(lane.quiet.con, files_);
    }
    b.err += lane.quiet.TakeSaid();
  }

  AppState& st_;
  RunSettings files_{};  // the results file and whether its failure was said
  MemoryFile entry_;
  std::vector<std::unique_ptr<Lane>> lanes_;
  BatchQueue<Batch> queue_;
  std::unique_ptr<Batch> batch_ = queue_.Recycled();
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
    Diagnose(con.err, "", "the reference tables could not be loaded (see above); the run stops");
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
    if (rs.nInputSource == 1 && !pipeline) pipeline.emplace(st, rs, con.dir);
    if (pipeline) rs.fpResults = pipeline->EntryFile();
    const EntryResult entered = EnterSample(con, st.ref, st.sample, rs);
    if (pipeline) {
      std::string text = pipeline->TakeEntry(rs.fpResults);
      if (entered == EntryResult::kSampleReady && rs.nInputSource == 1) {
        ++rs.nSampleCounter;
        pipeline->Push(con, st.sample, rs, text);
        CheckRunFileWrites(con, rs);  // the record file; the pipeline checks the results
        continue;
      }
      pipeline->Finish(con, rs, text);
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
