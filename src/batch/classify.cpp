// `vegmatch classify`: the run. Inputs become samples of records; sample entry,
// scoring and ranking are the typed run's own, through the one ordered
// pipeline; the results are tidy CSV, or the typed run's results file written by
// its own report.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <chrono>
#include <cstdio>
#include <future>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <unordered_set>

#include "batch/batch.h"
#include "names/names_map.h"
#include "survey/inputs.h"
#include "tables/csv.h"
#include "survey/reporter.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/sink.h"
#include "batch/summary.h"
#include "outputs/units.h"
#include "batch/run_files.h"
#include "common/pipeline.h"
#include "report/report.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// What the run scores with: the tables, their totals, the unit names, and the
// name resolver (built beside the inputs where only the suggestions use it).
struct Engine {
  std::unique_ptr<RefData> ref = std::make_unique<RefData>();
  std::unique_ptr<ScoringState> scoring = std::make_unique<ScoringState>();
  std::string folder;
  UnitInfo info;
  std::optional<NameResolver> resolver;
};

// Loads the tables; the unit names and habitat correspondences are read on a
// thread of their own where the results or the habitats file name them (the
// classic results do not). False (said) when the tables cannot be
// loaded.
bool LoadEngine(Console& con, Console& quiet, const ClassifyOptions& opt, Engine& e) {
  std::string infoError;
  std::future<bool> infoRead;
  if (opt.format == OutputFormat::kCsv || !opt.habitatsOut.empty() || !opt.report.empty()) {
    infoRead = std::async(std::launch::async, [&e, &infoError, &opt] {
      return LoadUnitInfo(TablesFolder(opt.tables), e.info, infoError);
    });
  }
  const bool loaded = LoadBatchTables(con, quiet, opt.tables, e.folder, *e.ref);
  if (infoRead.valid() && !infoRead.get() && loaded) Diagnose(con, e.folder, infoError);
  if (!loaded) return false;
  BuildQuantTables(*e.scoring);
  BuildNVCTotals(*e.ref, *e.scoring);
  return true;
}

// Opens the inputs while the name resolver is built on a thread. Names are
// resolved as surveys write them; the classic formats keep the typed run's
// reading of block lines (the resolver then gives only the suggestions for
// unknown names). Returns the rules the inputs are read with; none when the
// names map is refused (said).
std::optional<BlockRules> OpenInputs(Console& con, const ClassifyOptions& opt, Engine& e, InputStream& stream) {
  std::future<void> resolverBuilt = std::async(std::launch::async, [&e] { e.resolver.emplace(*e.ref, e.folder); });
  stream.Open();
  resolverBuilt.get();
  if (!opt.namesMap.empty()) {
    // The names map comes before anything else that reads a name.
    std::map<std::string, std::string> map;
    if (!ReadNamesMap(opt.namesMap, *e.resolver, map, con)) return std::nullopt;
    e.resolver->SetNamesMap(std::move(map));
  }
  const bool classic = opt.format != OutputFormat::kCsv;
  BlockRules rules;
  rules.presence = opt.Presence();
  rules.resolver = !classic || stream.AnyTable() ? &*e.resolver : nullptr;
  rules.rewriteBlockNames = !classic;
  rules.strict = opt.strict;
  rules.sumRepeats = !classic;
  return rules;
}

// The classic results name a sample by 30 characters: says once when two
// different samples would print the same name there.
class ClassicNames {
 public:
  void Add(const SampleInput& s, bool fileColumn) {
    if (s.label.empty() && !fileColumn) return;  // a block's own name, as the typed run reads it
    std::string full = s.label.empty() ? std::string(s.header.szName) : s.label;
    if (fileColumn) full = s.ids[0] + " " + full;
    auto [it, fresh] = fullOf_.emplace(s.header.szName, full);
    if (fresh || it->second == full) return;
    if (shared_++ == 0) example_ = "\"" + it->first + "\" stands for " + it->second + " and " + full;
  }
  void Say(Console& con) const {
    if (shared_ == 0) return;
    Diagnose(con, "",
             Fmt("%ld samples print the same 30-character name as an earlier one in the classic results (", shared_) +
                 example_ + "); the tidy results (--format csv) name them in full");
  }

 private:
  std::map<std::string, std::string> fullOf_;  // printed name -> the first full name
  long shared_ = 0;
  std::string example_;
};

// The run settings of the typed run that the options stand for.
RunSettings SettingsOf(const ClassifyOptions& opt) {
  RunSettings rs{};
  rs.nCoverScale = opt.nCoverScale;
  rs.nAnalysisType = opt.nAnalysisType;
  rs.nSpeciesGroupLimit = opt.nSpeciesGroupLimit;
  rs.nFitsToOutput = opt.nFitsToOutput;
  rs.nOutputFormat = opt.format == OutputFormat::kClassicText ? 1 : 0;
  rs.nInputSource = 1;
  rs.nSampleCounter = 1;
  return rs;
}

// Which covers the entered samples hold (completed covers are percent, 0..100):
// one cover for every record suggests presence data read as covers.
class CoversSeen {
 public:
  void Add(const SampleState& sample) {
    for (int i = 1; i <= sample.nSampleEntries; ++i) {
      const int cover = sample.arrSample[i].nCover;
      assert(cover >= 0 && cover <= kMaxPercentCover);
      if (!seen_[static_cast<size_t>(cover)]) {
        seen_[static_cast<size_t>(cover)] = true;
        ++distinct_;
        some_ = cover;
      }
    }
  }
  void SayIfUniform(Console& con, const ClassifyOptions& opt, Tally& tally) const {
    if (distinct_ != 1 || opt.Presence() || opt.nAnalysisType == kTopFewAnalysis) return;
    Diagnose(con, "",
             Fmt("every cover in the input is %d%%; if the data are presence only, use --scale presence", some_));
    ++tally.warnings;
  }

 private:
  std::array<bool, kMaxPercentCover + 1> seen_{};
  int distinct_ = 0;
  int some_ = 0;
};

// A sample on its way from entry to the results.
struct Job {
  SampleState sample;
  std::shared_ptr<const SampleBatch> batch;  // holds the input
  const SampleInput* input;
  int16_t nCoverScale;
  std::string rows;  // what entry wrote, then the report
  std::string lists;
  std::string habitats;
  std::vector<std::string> units;  // the units its places name (for a workbook)
  SampleSummary summary;
};
// What one scoring thread scores and reports with.
struct Lane {
  // `copyOf` null: the run's own scoring state.
  Lane(const std::string& dir, ScoringState& run, const ScoringState* copyOf)
      : own(copyOf != nullptr ? std::make_unique<ScoringState>(*copyOf) : nullptr),
        scoring(own ? *own : run),
        quiet(dir) {}
  std::string TakeSaid() { return quiet.TakeSaid(); }
  std::unique_ptr<ScoringState> own;
  ScoringState& scoring;
  MemoryFile memory;
  QuietConsole quiet;  // what it says is said after its batch is written
};

// One run of `vegmatch classify` with its options, from the tables loaded to
// the exit status.
class ClassifyRun {
 public:
  ClassifyRun(Console& con, const ClassifyOptions& opt, Clock::time_point start)
      : con_(con),
        opt_(opt),
        start_(start),
        quiet_(noInput_, screen_, con.err, con.dir, con.log),
        summary_(opt, *engine_.ref, engine_.info),
        inputRules_(InputRulesOf(opt)),
        stream_(con, inputRules_, tally_) {}
  int Run();

 private:
  // Enters the samples one after another (entry may add new species to the
  // tables) and hands them to the pipeline, which scores and writes them up on
  // every core and writes them in input order. The classic report also writes
  // while a sample is entered; that goes into memory, so that only whole
  // samples reach the file, in order.
  void EnterAndScore(const TidyWriter& writer, const BlockRules& rules, InputReporter& reporter);
  // A sample entered: handed to the pipeline, and the run's counts.
  void HandOn(OrderedPipeline<Job, Lane>& pipeline, const SampleInput& input,
              const std::shared_ptr<SampleBatch>& batch, const RunSettings& rs, std::string& entered);
  // What is said once every sample is scored: names, inputs without a sample, covers.
  void SayWhatIsLeft(InputReporter& reporter);
  // The files put in place or removed, what failed said; the exit status.
  int Finish();
  bool ShowProgress() const { return !opt_.quiet && &con_.err == &std::cerr && isatty(STDERR_FILENO) != 0; }

  Console& con_;
  const ClassifyOptions& opt_;
  Clock::time_point start_;
  // Loading and entry show nothing and ask nothing; what they say goes to the
  // error stream as it is said.
  std::istringstream noInput_;
  NullBuffer nullBuffer_;
  std::ostream screen_{&nullBuffer_};
  Console quiet_;
  Engine engine_;
  SurveySummary summary_;
  Tally tally_;
  InputRules inputRules_;
  InputStream stream_;
  RunFiles out_;
  CoversSeen covers_;
  std::unique_ptr<SampleState> sample_ = std::make_unique<SampleState>();
  std::vector<long> samplesOfFile_;
};

void ClassifyRun::EnterAndScore(const TidyWriter& writer, const BlockRules& rules, InputReporter& reporter) {
  const bool classic = opt_.format != OutputFormat::kCsv;
  RunSettings rs = SettingsOf(opt_);
  Engine& e = engine_;
  OrderedPipeline<Job, Lane> pipeline(
      opt_.jobs,
      [&](int lane) { return std::make_unique<Lane>(con_.dir, *e.scoring, lane == 0 ? nullptr : e.scoring.get()); },
      [&](Job& job, Lane& lane) {
        ScoreAndRank(*e.ref, job.sample, rs.nAnalysisType, rs.nFitsToOutput, lane.scoring, RankingOf(opt_));
        if (classic) {
          RunSettings report = ReportSettings(rs);
          report.nCoverScale = job.nCoverScale;
          ReportInto(*e.ref, job.sample, lane.scoring, report, lane.quiet, lane.memory, job.rows);
        }
        const bool identified = !classic || out_.lists.file || out_.habitats.file;
        const std::string identity = identified ? writer.Identity(job.sample, *job.input) : std::string();
        if (!classic || summary_.Grouping()) summary_.Summarise(job.sample, *job.input, lane.scoring, job.summary);
        if (!classic) writer.Rows(job.sample, identity, lane.scoring, rs.nAnalysisType, job.summary, job.rows);
        if (out_.lists.file) writer.SpeciesLists(job.sample, identity, lane.scoring, job.lists);
        if (out_.habitats.file) writer.Habitats(identity, lane.scoring, job.habitats);
        if (out_.book.file) writer.UnitCodes(lane.scoring, job.units);
      },
      [&](Job& job, Lane&) {
        summary_.Add(*job.input, job.sample, job.summary);
        out_.resultRows->Add(job.rows);
        out_.listRows->Add(job.lists);
        out_.habitatRows->Add(job.habitats);
        out_.named.Add(job.units);
      },
      con_.err);
  MemoryFile entryOut;
  std::string entered;  // what entry wrote since the last sample handed on
  ClassicNames classicNames;
  while (std::shared_ptr<SampleBatch> batch = stream_.Next(rules)) {
    for (const SampleInput& input : batch->samples) {
      if (classic) classicNames.Add(input, stream_.Inputs().fileColumn);
      // Names not in the tables are scored as species of their own whatever
      // their number: once the codes for new names run short, the samples
      // that use them are written and the codes used again.
      if (!RoomForNewSpecies(*e.ref, kSampleCapacity)) {
        pipeline.Drain();
        ForgetNewSpecies(*e.ref);
      }
      for (const SampleRecord& r : input.records) {
        if (r.nameNote != 0) reporter.NotedName(r);
      }
      if (classic) rs.fpResults = entryOut.Open();
      const bool ready = EnterRecords(quiet_, *e.ref, *sample_, rs, input, &reporter) == RecordsResult::kSampleReady;
      if (classic) entryOut.TakeInto(rs.fpResults, entered);
      if (!ready) continue;
      ++rs.nSampleCounter;
      HandOn(pipeline, input, batch, rs, entered);
    }
  }
  pipeline.Finish();
  out_.resultRows->Add(entered);  // what entry wrote after the last sample
  if (summary_.Grouping()) summary_.ClassifyGroups(quiet_, *e.ref, rs, *e.scoring);
  if (ShowProgress() && SecondsSince(start_) >= 1.0) con_.err << "\n";
  classicNames.Say(con_);
}

void ClassifyRun::HandOn(OrderedPipeline<Job, Lane>& pipeline, const SampleInput& input,
                         const std::shared_ptr<SampleBatch>& batch, const RunSettings& rs, std::string& entered) {
  ++tally_.samples;
  ++samplesOfFile_[static_cast<size_t>(input.where.file)];
  tally_.records += sample_->nSampleEntries;
  covers_.Add(*sample_);
  Job& job = pipeline.Add();
  CopySample(*sample_, job.sample);
  job.batch = batch;
  job.input = &input;
  job.nCoverScale = rs.nCoverScale;
  job.rows.assign(entered);  // the job's text keeps its room from batch to batch
  entered.clear();
  job.lists.clear();
  job.habitats.clear();
  job.units.clear();
  if (ShowProgress() && tally_.samples % 1000 == 0 && SecondsSince(start_) >= 1.0) {
    con_.err << Fmt("\rvegmatch: %ld samples, %.0f per second", tally_.samples, tally_.samples / SecondsSince(start_))
             << std::flush;
  }
}

void ClassifyRun::SayWhatIsLeft(InputReporter& reporter) {
  reporter.SayUnknownNames(*engine_.resolver);
  reporter.SayBeyond();
  const RunInputs& inputs = stream_.Inputs();
  for (size_t f = 0; f < inputs.files.size(); ++f) {
    if (samplesOfFile_[f + 1] == 0 && !inputs.files[f].noSample) {
      SayMessages(con_, {MessageAt(inputs.files, SourcePos{static_cast<int>(f) + 1, 0},
                                   "holds no sample that could be scored")});
      tally_.inputFailed = true;
    }
  }
  covers_.SayIfUniform(con_, opt_, tally_);
}

int ClassifyRun::Run() {
  if (!LoadEngine(con_, quiet_, opt_, engine_)) return kClassifyTablesFailed;
  summary_.StartLoading(engine_.folder);
  const std::optional<BlockRules> opened = OpenInputs(con_, opt_, engine_, stream_);
  if (!opened) return kClassifyInputFailed;
  const RunInputs& inputs = stream_.Inputs();
  if (!summary_.Open(con_, engine_.folder, inputs)) return kClassifyUsage;
  const TidyWriter writer{TidyColumnsOf(opt_), *engine_.ref, engine_.info, inputs.idHeaders, inputs.fileColumn,
                          &summary_.Indicators()};
  if (!out_.Open(con_, opt_, writer)) return kClassifyOutputFailed;
  InputReporter reporter(con_, inputs.files, tally_, opt_.allProblems);
  samplesOfFile_.assign(inputs.files.size() + 1, 0);
  EnterAndScore(writer, *opened, reporter);
  SayWhatIsLeft(reporter);
  if (summary_.Grouping()) {
    out_.WriteSurvey(opt_, opt_.synoptic.empty() ? std::string() : summary_.SynopticCsv(),
                     opt_.report.empty()
                         ? std::string()
                         : summary_.ReportHtml(engine_.folder, inputs, samplesOfFile_, con_.log->All()));
  }
  return Finish();
}

int ClassifyRun::Finish() {
  const bool written = out_.Finish(opt_);
  // --strict: anything refused, unknown or warned about fails the run.
  const bool refusedAny = tally_.refused > 0 || tally_.unknownNames > 0 || tally_.warnings > 0;
  const bool failed = !written || tally_.inputFailed || (opt_.strict && refusedAny);
  // The results take the place of an earlier file only when the run ends well.
  const bool closed = out_.Close(con_, opt_, engine_.info, !failed);
  if (!opt_.quiet) {
    Diagnose(con_, "",
             Fmt("%ld samples, %ld species records, %ld unknown names, %ld refused lines, %.1f s", tally_.samples,
                 tally_.records, tally_.unknownNames, tally_.refused, SecondsSince(start_)));
  }
  if (!written || !closed) {
    out_.SayFailed(con_);
    return kClassifyOutputFailed;
  }
  if (failed) {
    for (const std::string& path : {opt_.output, opt_.speciesLists, opt_.habitatsOut, opt_.synoptic, opt_.report}) {
      if (!path.empty() && path != "-") {
        Diagnose(con_, path, "not written, as the run failed; an earlier file of that name is left as it was");
      }
    }
  }
  if (tally_.inputFailed) return kClassifyInputFailed;
  return opt_.strict && refusedAny ? kClassifyInputFailed : kClassifyOk;
}

int RunClassify(int argc, const char* const* argv, Console& con) {
  const Clock::time_point start = Clock::now();
  ClassifyOptions opt;
  const int parsed = ParseClassifyOptions(argc, argv, con, opt);
  if (parsed >= 0) return parsed;
  if (opt.report.empty() || con.log != nullptr) return ClassifyRun(con, opt, start).Run();
  // The report lists what the run says.
  MessageLog log;
  Console said(con.in, con.out, con.err, con.dir, &log);
  return ClassifyRun(said, opt, start).Run();
}

}  // namespace

int ClassifyMain(int argc, const char* const* argv, Console& con) {
  return StopsCleanly(con, [&] { return RunClassify(argc, argv, con); });
}

std::vector<ColumnSpec> OutputColumns(const std::string& what) {
  if (what == "results") {
    TidyColumns every{{}, true, 1, RankBy::kConsensus};
    for (const HabitatKey& h : HabitatKeys()) every.habitats.emplace_back(h.key);
    std::vector<ColumnSpec> columns{{"sample", FieldType::kText}};
    for (const TidyColumn& c : ResultColumns(every)) columns.push_back({c.name, c.type});
    return columns;
  }
  if (what == "lists") return ListColumns();
  if (what == "habitats") return HabitatColumns();
  if (what == "synoptic") return SynopticColumns();
  if (what == "names") return NamesColumns();
  if (what == "map") return NamesMapColumns();
  return {};
}
