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

#include "batch/batch.h"
#include "survey/inputs.h"
#include "tables/csv.h"
#include "survey/reporter.h"
#include "batch/options.h"
#include "outputs/results.h"
#include "batch/summary.h"
#include "outputs/units.h"
#include "outputs/workbook.h"
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

// Loads the tables; the unit names and habitats (units.csv, habitats.csv) are
// read on a thread of their own where the results or the habitats file name
// them (the classic results do not). False (said) when the tables cannot be
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
  if (infoRead.valid() && !infoRead.get() && loaded) Diagnose(con.err, e.folder, infoError);
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
    if (!ReadNamesMap(opt.namesMap, *e.resolver, map, con.err)) return std::nullopt;
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

// True when results go to a workbook.
bool ToWorkbook(const std::string& path) {
  return path.size() > 5 && path.compare(path.size() - 5, 5, ".xlsx") == 0;
}

// The habitats of the units the results name: one row per unit and
// correspondence, of the classifications asked for (all when none are).
std::string HabitatRows(const std::string& results, const UnitInfo& info, const std::vector<std::string>& keys) {
  std::string out = "nvc_code,classification,habitat_code,habitat_name,relationship,inherited\n";
  CsvTable t;
  std::string error;
  if (!ParseCsv(results, t, error)) return out;
  const auto col = std::find(t.header.begin(), t.header.end(), "nvc_code") - t.header.begin();
  std::vector<std::string> codes;
  for (const CsvRow& row : t.rows) {
    const size_t c = static_cast<size_t>(col);
    if (c < row.fields.size() && !row.fields[c].empty() &&
        std::find(codes.begin(), codes.end(), row.fields[c]) == codes.end()) {
      codes.push_back(row.fields[c]);
    }
  }
  for (const std::string& code : codes) {
    auto unit = info.habitats.find(code);
    if (unit == info.habitats.end()) continue;
    for (const HabitatLink& link : unit->second) {
      if (!HabitatAsked(link, keys)) continue;
      std::string line;
      AppendCsvField(line, code);
      line += ',';
      AppendHabitatFields(line, link);
      out += line + "\n";
    }
  }
  return out;
}

// The results file, the species lists and the habitats, each written a whole
// sample at a time, beside their final names; or, for a workbook, into
// temporary files whose text becomes its sheets at the end.
struct Outputs {
  Sink results;
  Sink lists;
  Sink habitats;
  Sink book;  // the workbook, when the results go to one (results and lists then in memory)
  Sink synoptic;
  Sink report;
  std::optional<RowWriter> resultRows;
  std::optional<RowWriter> listRows;
  std::optional<RowWriter> habitatRows;

  bool Open(Console& con, const ClassifyOptions& opt, const TidyWriter& writer) {
    const bool workbook = opt.format == OutputFormat::kCsv && ToWorkbook(opt.output);
    if (!(workbook ? OpenSink(con, opt.output, book) && OpenMemorySink(results)
                   : OpenSink(con, opt.output, results))) {
      Diagnose(con.err, opt.output, "cannot create the results file: " + SystemReason());
      return false;
    }
    if (!opt.speciesLists.empty() && !OpenSink(con, opt.speciesLists, lists)) {
      Diagnose(con.err, opt.speciesLists, "cannot create the species lists file: " + SystemReason());
      return false;
    }
    if (workbook && opt.speciesLists.empty() && !OpenMemorySink(lists)) {
      Diagnose(con.err, opt.output, "cannot create a temporary file: " + SystemReason());
      return false;
    }
    if (!opt.habitatsOut.empty() && !OpenSink(con, opt.habitatsOut, habitats)) {
      Diagnose(con.err, opt.habitatsOut, "cannot create the habitats file: " + SystemReason());
      return false;
    }
    if (!opt.synoptic.empty() && !OpenSink(con, opt.synoptic, synoptic)) {
      Diagnose(con.err, opt.synoptic, "cannot create the synoptic tables file: " + SystemReason());
      return false;
    }
    if (!opt.report.empty() && !OpenSink(con, opt.report, report)) {
      Diagnose(con.err, opt.report, "cannot create the report file: " + SystemReason());
      return false;
    }
    resultRows.emplace(results.file);
    listRows.emplace(lists.file);
    habitatRows.emplace(habitats.file);
    if (opt.format == OutputFormat::kCsv) resultRows->Add(writer.Header());
    if (lists.file) listRows->Add(writer.ListsHeader());
    if (habitats.file) habitatRows->Add(writer.HabitatsHeader());
    return true;
  }
  // The synoptic tables and the report, written whole once the run is over.
  void WriteSurvey(const ClassifyOptions& opt, const std::string& synopticCsv, const std::string& html) {
    if (synoptic.file && !WriteAll(synoptic.file.get(), synopticCsv)) Fail(opt.synoptic, "synoptic tables");
    if (report.file && !WriteAll(report.file.get(), html)) Fail(opt.report, "report");
  }
  // False when some of it could not be written (SayFailed names what).
  bool Finish(const ClassifyOptions& opt) {
    if (!resultRows->Finish()) Fail(opt.output, kResults);
    if (!listRows->Finish()) FailLists(opt);
    if (!habitatRows->Finish()) Fail(opt.habitatsOut, kHabitats);
    return failed_.empty();
  }
  // Puts the files in place (`keep`) or removes what was written; false when
  // something could not be written.
  bool Close(Console& con, const ClassifyOptions& opt, const UnitInfo& info, bool keep) {
    const bool sheets = !book.file || !keep || WriteResultsWorkbook(con, opt, info);
    if (!CloseSink(con, book, keep && sheets) || !sheets) Fail(opt.output, kResults);
    if (!CloseSink(con, results, keep)) Fail(opt.output, kResults);
    if (!CloseSink(con, lists, keep)) FailLists(opt);
    if (!CloseSink(con, habitats, keep)) Fail(opt.habitatsOut, kHabitats);
    if (!CloseSink(con, synoptic, keep)) Fail(opt.synoptic, "synoptic tables");
    if (!CloseSink(con, report, keep)) Fail(opt.report, "report");
    return failed_.empty();
  }
  // Says which files could not be written, each once.
  void SayFailed(Console& con) const {
    for (const auto& [path, what] : failed_) Diagnose(con.err, path, std::string("the ") + what + " could not be written");
  }

 private:
  static bool WriteAll(std::FILE* fp, const std::string& text) {
    return std::fwrite(text.data(), 1, text.size(), fp) == text.size() && std::fflush(fp) == 0;
  }
  static constexpr const char* kResults = "results";
  static constexpr const char* kHabitats = "habitats";
  // The species lists go to their own file, or to a sheet of the workbook.
  void FailLists(const ClassifyOptions& opt) {
    if (opt.speciesLists.empty()) {
      Fail(opt.output, kResults);
    } else {
      Fail(opt.speciesLists, "species lists");
    }
  }
  void Fail(const std::string& path, const char* what) {
    const std::string shown = path.empty() ? "-" : path;
    for (const auto& f : failed_) {
      if (f.first == shown) return;
    }
    failed_.emplace_back(shown, what);
  }
  std::vector<std::pair<std::string, const char*>> failed_;

  // The results, species lists and habitats as the sheets of the workbook,
  // written under the name its sink puts in place.
  bool WriteResultsWorkbook(Console& con, const ClassifyOptions& opt, const UnitInfo& info) {
    std::vector<WorkbookSheet> sheets(3);
    sheets[0].name = "results";
    sheets[1].name = "species lists";
    sheets[2].name = "habitats";
    if (!ReadSinkText(results, sheets[0].csv) || !ReadSinkText(lists, sheets[1].csv)) return false;
    sheets[2].csv = HabitatRows(sheets[0].csv, info, opt.habitats);
    std::string error;
    if (!WriteWorkbook(book.temp.empty() ? book.path : book.temp, sheets, error)) {
      Diagnose(con.err, opt.output, error);
      return false;
    }
    return true;
  }
};

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
    Diagnose(con.err, "",
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
    Diagnose(con.err, "",
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

// Enters the samples one after another (entry may add new species to the
// tables) and hands them to the pipeline, which scores and writes them up on
// every core and writes them in input order. The classic report also writes
// while a sample is entered; that goes into memory, so that only whole samples
// reach the file, in order.
void EnterAndScore(Console& con, Console& quiet, Clock::time_point start, const ClassifyOptions& opt, Engine& e,
                   const TidyWriter& writer, InputStream& stream, const BlockRules& rules, Outputs& out,
                   InputReporter& reporter, Tally& tally, CoversSeen& covers, std::vector<long>& samplesOfFile,
                   SurveySummary& summary) {
  const bool showProgress = !opt.quiet && &con.err == &std::cerr && isatty(STDERR_FILENO) != 0;
  const bool classic = opt.format != OutputFormat::kCsv;
  RunSettings rs = SettingsOf(opt);
  auto sample = std::make_unique<SampleState>();
  OrderedPipeline<Job, Lane> pipeline(
      opt.jobs,
      [&](int lane) { return std::make_unique<Lane>(con.dir, *e.scoring, lane == 0 ? nullptr : e.scoring.get()); },
      [&](Job& job, Lane& lane) {
        ScoreAndRank(*e.ref, job.sample, rs.nAnalysisType, rs.nFitsToOutput, lane.scoring,
                     RankingOf(opt));
        if (classic) {
          RunSettings report = ReportSettings(rs);
          report.nCoverScale = job.nCoverScale;
          ReportInto(*e.ref, job.sample, lane.scoring, report, lane.quiet, lane.memory, job.rows);
        }
        const bool identified = !classic || out.lists.file || out.habitats.file;
        const std::string identity = identified ? writer.Identity(job.sample, *job.input) : std::string();
        if (!classic || summary.Grouping()) summary.Summarise(job.sample, *job.input, lane.scoring, job.summary);
        if (!classic) writer.Rows(job.sample, identity, lane.scoring, rs.nAnalysisType, job.summary, job.rows);
        if (out.lists.file) writer.SpeciesLists(job.sample, identity, lane.scoring, job.lists);
        if (out.habitats.file) writer.Habitats(identity, lane.scoring, job.habitats);
      },
      [&](Job& job, Lane&) {
        summary.Add(*job.input, job.sample, job.summary);
        out.resultRows->Add(job.rows);
        out.listRows->Add(job.lists);
        out.habitatRows->Add(job.habitats);
      },
      con.err);
  MemoryFile entryOut;
  std::string entered;  // what entry wrote since the last sample handed on
  ClassicNames classicNames;
  while (std::shared_ptr<SampleBatch> batch = stream.Next(rules)) {
    for (const SampleInput& input : batch->samples) {
      if (classic) classicNames.Add(input, stream.Inputs().fileColumn);
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
      const bool ready = EnterRecords(quiet, *e.ref, *sample, rs, input, &reporter) == RecordsResult::kSampleReady;
      if (classic) entryOut.TakeInto(rs.fpResults, entered);
      if (!ready) continue;
      ++rs.nSampleCounter;
      ++tally.samples;
      ++samplesOfFile[static_cast<size_t>(input.where.file)];
      tally.records += sample->nSampleEntries;
      covers.Add(*sample);
      Job& job = pipeline.Add();
      CopySample(*sample, job.sample);
      job.batch = batch;
      job.input = &input;
      job.nCoverScale = rs.nCoverScale;
      job.rows.assign(entered);  // the job's text keeps its room from batch to batch
      entered.clear();
      job.lists.clear();
      job.habitats.clear();
      if (showProgress && tally.samples % 1000 == 0 && SecondsSince(start) >= 1.0) {
        con.err << Fmt("\rvegmatch: %ld samples, %.0f per second", tally.samples, tally.samples / SecondsSince(start))
                << std::flush;
      }
    }
  }
  pipeline.Finish();
  out.resultRows->Add(entered);  // what entry wrote after the last sample
  if (summary.Grouping()) summary.ClassifyGroups(quiet, *e.ref, rs, *e.scoring);
  if (showProgress && SecondsSince(start) >= 1.0) con.err << "\n";
  classicNames.Say(con);
}

}  // namespace

namespace {

// The run with its options; `tee` (with a report) keeps what is said for it.
int ClassifyWith(Console& con, const ClassifyOptions& opt, Clock::time_point start, const MessageTee* tee) {
  // Loading and entry show nothing and ask nothing; what they say goes to the
  // error stream as it is said.
  std::istringstream noInput;
  NullBuffer nullBuffer;
  std::ostream screen(&nullBuffer);
  Console quiet(noInput, screen, con.err, con.dir);
  Engine engine;
  SurveySummary summary(opt, *engine.ref, engine.info);
  summary.StartLoading(TablesFolder(opt.tables));
  if (!LoadEngine(con, quiet, opt, engine)) return kClassifyTablesFailed;

  Tally tally;
  const InputRules inputRules = InputRulesOf(opt);
  InputStream stream(con, inputRules, tally);
  const std::optional<BlockRules> opened = OpenInputs(con, opt, engine, stream);
  if (!opened) return kClassifyInputFailed;
  const BlockRules& rules = *opened;
  const RunInputs& inputs = stream.Inputs();
  Outputs out;
  if (!summary.Open(con, engine.folder, inputs)) return kClassifyUsage;
  const TidyWriter writer{TidyColumnsOf(opt), *engine.ref, engine.info, inputs.idHeaders, inputs.fileColumn, &summary.Indicators()};
  if (!out.Open(con, opt, writer)) return kClassifyOutputFailed;

  InputReporter reporter(con, inputs.files, tally, opt.allProblems);
  CoversSeen covers;
  std::vector<long> samplesOfFile(inputs.files.size() + 1, 0);
  EnterAndScore(con, quiet, start, opt, engine, writer, stream, rules, out, reporter, tally, covers, samplesOfFile,
                summary);

  reporter.SayUnknownNames(*engine.resolver);
  reporter.SayBeyond();
  for (size_t f = 0; f < inputs.files.size(); ++f) {
    if (samplesOfFile[f + 1] == 0 && !inputs.files[f].noSample) {
      Diagnose(con.err, WhereText(inputs.files, SourcePos{static_cast<int>(f) + 1, 0}),
               "holds no sample that could be scored");
      tally.inputFailed = true;
    }
  }
  covers.SayIfUniform(con, opt, tally);
  if (summary.Grouping()) {
    out.WriteSurvey(opt, opt.synoptic.empty() ? std::string() : summary.SynopticCsv(),
                    tee == nullptr ? std::string()
                                   : summary.ReportHtml(engine.folder, inputs, samplesOfFile, tee->Said()));
  }
  const bool written = out.Finish(opt);
  // --strict: anything refused, unknown or warned about fails the run.
  const bool refusedAny = tally.refused > 0 || tally.unknownNames > 0 || tally.warnings > 0;
  const bool failed = !written || tally.inputFailed || (opt.strict && refusedAny);
  // The results take the place of an earlier file only when the run ends well.
  const bool closed = out.Close(con, opt, engine.info, !failed);
  if (!opt.quiet) {
    Diagnose(con.err, "",
             Fmt("%ld samples, %ld species records, %ld unknown names, %ld refused lines, %.1f s", tally.samples,
                 tally.records, tally.unknownNames, tally.refused, SecondsSince(start)));
  }
  if (!written || !closed) {
    out.SayFailed(con);
    return kClassifyOutputFailed;
  }
  if (failed) {
    for (const std::string& path : {opt.output, opt.speciesLists, opt.habitatsOut, opt.synoptic, opt.report}) {
      if (!path.empty() && path != "-") {
        Diagnose(con.err, path, "not written, as the run failed; an earlier file of that name is left as it was");
      }
    }
  }
  if (tally.inputFailed) return kClassifyInputFailed;
  return opt.strict && refusedAny ? kClassifyInputFailed : kClassifyOk;
}

int RunClassify(int argc, const char* const* argv, Console& con) {
  const Clock::time_point start = Clock::now();
  ClassifyOptions opt;
  const int parsed = ParseClassifyOptions(argc, argv, con, opt);
  if (parsed >= 0) return parsed;
  if (opt.report.empty()) return ClassifyWith(con, opt, start, nullptr);
  // The report lists what the run says, as it is said.
  MessageTee tee(con.err);
  std::ostream err(&tee);
  Console said(con.in, con.out, err, con.dir);
  return ClassifyWith(said, opt, start, &tee);
}

}  // namespace

int ClassifyMain(int argc, const char* const* argv, Console& con) {
  return StopsCleanly(con, [&] { return RunClassify(argc, argv, con); });
}
