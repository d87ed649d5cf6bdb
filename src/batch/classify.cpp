// `vegmatch classify`: the run. Inputs become sample blocks; sample entry, scoring
// and ranking are the typed run's own; the results are tidy CSV, or the typed
// run's results file written by its own report.
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cassert>
#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include <CLI/CLI.hpp>

#include "batch/batch.h"
#include "batch/inputs.h"
#include "batch/options.h"
#include "batch/results.h"
#include "batch/units.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kBatchSamples = 64;

void Progress(Console& con, bool show, long done, Clock::time_point start) {
  if (!show) return;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (seconds < 1.0) return;
  con.err << Fmt("\rvegmatch: %ld samples, %.0f per second", done, done / seconds) << std::flush;
}

}  // namespace

int ClassifyMain(int argc, const char* const* argv, Console& con) {
  const Clock::time_point start = Clock::now();
  ClassifyOptions opt;
  const int parsed = ParseClassifyOptions(argc, argv, con, opt);
  if (parsed >= 0) return parsed;

  std::istringstream noInput;
  NullBuffer nullBuffer;
  std::ostream screen(&nullBuffer);
  Console quiet(noInput, screen, con.err, con.dir);
  auto ref = std::make_unique<RefData>();
  auto scoring = std::make_unique<ScoringState>();
  auto sample = std::make_unique<SampleState>();
  const bool classic = opt.format != OutputFormat::kCsv;
  // While the reference tables load, the input files are read on a thread of
  // their own, and so are the unit names and habitats (units.csv, habitats.csv)
  // where the results name them (the classic results do not).
  UnitInfo info;
  std::string infoError;
  std::future<bool> infoRead;
  if (!classic) {
    infoRead = std::async(std::launch::async, [&info, &infoError, &opt] {
      return LoadUnitInfo(TablesFolder(opt.tables), info, infoError);
    });
  }
  std::future<std::vector<InputFile>> textsRead =
      std::async(std::launch::async, [&con, &opt] { return ReadInputTexts(con, opt, false); });
  std::string folder;
  if (!LoadBatchTables(con, quiet, opt.tables, folder, *ref)) return kClassifyTablesFailed;
  BuildQuantTables(*scoring);
  BuildNVCTotals(*ref, *scoring);

  // The inputs, as samples of records.
  Tally tally;
  RunInputs inputs;
  std::vector<InputFile> texts = textsRead.get();
  // Names are resolved as surveys write them; the classic formats keep the typed
  // run's reading of block lines. Where no input needs the resolver (classic
  // results of block files), it is built on a thread while the inputs are read:
  // only the suggestions for unknown names, said at the end, use it. It reads
  // the tables, so it is done before sample entry adds new species to them.
  std::optional<NameResolver> resolver;
  const bool resolveNow =
      !classic || std::any_of(texts.begin(), texts.end(), [&opt](const InputFile& t) {
        return !t.read || IsSurveyCsv(opt, t);  // standard input, still unread, may be CSV
      });
  std::future<void> resolverBuilt;
  if (resolveNow) {
    resolver.emplace(*ref, folder);
  } else {
    resolverBuilt = std::async(std::launch::async, [&resolver, &ref, &folder] { resolver.emplace(*ref, folder); });
  }
  if (infoRead.valid() && !infoRead.get()) Diagnose(con.err, folder, infoError);
  BlockRules rules;
  rules.presence = opt.scale == ScaleKind::kPresence;
  rules.resolver = resolveNow ? &*resolver : nullptr;
  rules.rewriteBlockNames = !classic;
  rules.strict = opt.strict;
  AddInputs(con, opt, rules, texts, inputs, tally);
  if (resolverBuilt.valid()) resolverBuilt.get();
  const std::vector<InputFile>& files = inputs.files;

  // The results.
  Sink sink;
  if (!OpenSink(con, opt.output, sink)) {
    Diagnose(con.err, opt.output, "cannot create the results file: " + SystemReason());
    return kClassifyOutputFailed;
  }
  Sink lists;
  if (!opt.speciesLists.empty() && !OpenSink(con, opt.speciesLists, lists)) {
    Diagnose(con.err, opt.speciesLists, "cannot create the species lists file: " + SystemReason());
    return kClassifyOutputFailed;
  }
  TidyWriter writer{opt, *ref, info};
  RowWriter results(sink.file);
  RowWriter listRows(lists.file);
  if (!classic) results.Add(writer.Header());
  if (lists.file) listRows.Add("sample,rank,nvc_code,list,species_code,short_name,full_name\n");

  RunSettings rs{};
  rs.nCoverScale = opt.nCoverScale;
  rs.nAnalysisType = opt.nAnalysisType;
  rs.nSpeciesGroupLimit = opt.nSpeciesGroupLimit;
  rs.nFitsToOutput = opt.nFitsToOutput;
  rs.nOutputFormat = opt.format == OutputFormat::kClassicText ? 1 : 0;
  rs.nInputSource = 1;
  rs.nSampleCounter = 1;
  const bool showProgress = !opt.quiet && &con.err == &std::cerr && isatty(STDERR_FILENO) != 0;
  // Which covers the samples hold (completed covers are percent, 0..100).
  std::array<bool, 101> coverSeen{};
  int distinctCovers = 0;
  int someCover = 0;
  bool coversSeen = false;
  std::vector<long> samplesOfFile(files.size() + 1, 0);
  InputReporter reporter(con, files, tally);
  // Samples are entered one after another (entry may add new species to the
  // tables) and handed on in batches. Each job thread takes the next batch
  // entered, scores and writes it up with scoring state and a console of its
  // own; batches are written in input order by whichever thread finished the
  // oldest one. Entry goes on while batches are scored, up to a few batches
  // ahead. The classic report also writes while a sample is entered; that goes
  // into memory, so that only whole samples reach the file, in order.
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const int threads = opt.jobs > 0 ? opt.jobs : static_cast<int>(cores);
  struct Worker {
    explicit Worker(const std::string& dir) : quiet(dir) {}
    std::unique_ptr<ScoringState> scoring;
    MemoryFile memory;
    QuietConsole quiet;  // what it says is said after its batch is written
  };
  std::vector<std::unique_ptr<Worker>> workers;
  for (int t = 0; t < threads; ++t) {
    workers.push_back(std::make_unique<Worker>(con.dir));
    workers.back()->scoring = t == 0 ? std::move(scoring) : std::make_unique<ScoringState>(*workers[0]->scoring);
  }

  struct Job {
    SampleState sample;
    int16_t nCoverScale;
    std::string rows;   // what entry wrote, then the report
    std::string lists;
  };
  auto writeUp = [&](Job& job, Worker& w) {
    ScoringState& sc = *w.scoring;
    ScoreAndRank(*ref, job.sample, rs.nAnalysisType, rs.nFitsToOutput, sc, classic ? RankBy::kFit : opt.rankBy);
    if (classic) {
      RunSettings report = ReportSettings(rs);
      report.nCoverScale = job.nCoverScale;
      ReportInto(*ref, job.sample, sc, report, w.quiet, w.memory, job.rows);
    } else {
      writer.Rows(job.sample, sc, rs.nAnalysisType, job.rows);
    }
    if (lists.file) writer.SpeciesLists(job.sample, sc, job.lists);
  };
  using Batch = JobBatch<Job>;
  auto writeBatch = [&](Batch& b) {
    for (size_t k = 0; k < b.count; ++k) {
      results.Add(b.jobs[k].rows);
      listRows.Add(b.jobs[k].lists);
    }
  };
  BatchQueue<Batch> queue(2 * static_cast<size_t>(threads) + 2);
  std::vector<std::thread> pool;
  if (threads > 1) {
    for (size_t t = 0; t < workers.size(); ++t) {
      pool.emplace_back([&, t] {
        Worker& w = *workers[t];
        queue.Work([&](Batch& b) {
          for (size_t k = 0; k < b.count; ++k) writeUp(b.jobs[k], w);
          b.err = w.quiet.TakeSaid();
        }, writeBatch);
      });
    }
  }
  // Says what the job threads said, batch by batch in input order.
  auto sayErrors = [&] {
    for (const std::string& text : queue.TakeSaid()) con.err << text;
  };
  std::unique_ptr<Batch> batch = queue.Recycled();
  // Hands the entered batch on; with one job it is scored and written here.
  auto launch = [&] {
    if (batch->count == 0) return;
    if (threads == 1) {
      Worker& w = *workers[0];
      for (size_t k = 0; k < batch->count; ++k) writeUp(batch->jobs[k], w);
      writeBatch(*batch);
      con.err << w.quiet.TakeSaid();
      batch->count = 0;
      return;
    }
    queue.Push(std::move(batch));
    sayErrors();
    batch = queue.Recycled();
  };

  MemoryFile entryOut;
  std::string entered;  // what entry wrote since the last sample handed on
  for (size_t k = 0; k < inputs.samples.size(); ++k) {
    if (rs.nSampleCounter > kMaxSamplesPerFile) {
      Diagnose(con.err, "",
               Fmt("%ld samples read, the limit of a run; the rest of the data file was not processed",
                   static_cast<long>(rs.nSampleCounter) - 1));
      break;
    }
    const SampleInput& input = inputs.samples[k];
    if (classic) rs.fpResults = entryOut.Open();
    const bool ready = EnterRecords(quiet, *ref, *sample, rs, input, &reporter) == RecordsResult::kSampleReady;
    if (classic) entryOut.TakeInto(rs.fpResults, entered);
    if (!ready) continue;
    ++rs.nSampleCounter;
    ++tally.samples;
    ++samplesOfFile[static_cast<size_t>(input.where.file)];
    tally.records += sample->nSampleEntries;
    for (int i = 1; i <= sample->nSampleEntries; ++i) {
      const int cover = sample->arrSample[i].nCover;
      assert(cover >= 0 && cover <= 100);
      if (!coverSeen[static_cast<size_t>(cover)]) {
        coverSeen[static_cast<size_t>(cover)] = true;
        ++distinctCovers;
        someCover = cover;
      }
    }
    coversSeen = coversSeen || sample->nSampleEntries > 0;
    Job& job = batch->Add();
    CopySample(*sample, job.sample);
    job.nCoverScale = rs.nCoverScale;
    job.rows.assign(entered);  // the job's text keeps its room from batch to batch
    entered.clear();
    job.lists.clear();
    if (batch->count == kBatchSamples) launch();
    if (tally.samples % 1000 == 0) Progress(con, showProgress, tally.samples, start);
  }
  launch();
  const std::string tail = std::move(entered);  // what entry wrote after the last sample
  queue.Close();
  for (std::thread& th : pool) th.join();
  sayErrors();
  results.Add(tail);  // what entry wrote after the last sample
  if (showProgress && std::chrono::duration<double>(Clock::now() - start).count() >= 1.0) {
    con.err << "\n";
  }
  reporter.SayUnknownNames(*resolver);
  for (size_t f = 0; f < files.size(); ++f) {
    if (samplesOfFile[f + 1] == 0 && !files[f].noSample) {
      Diagnose(con.err, WhereText(files, SourcePos{static_cast<int>(f) + 1, 0}), "holds no sample that could be scored");
      tally.inputFailed = true;
    }
  }

  bool written = results.Finish() && listRows.Finish();
  written = CloseSink(con, sink) && written;
  written = CloseSink(con, lists) && written;

  if (coversSeen && distinctCovers == 1 && opt.scale != ScaleKind::kPresence &&
      opt.nAnalysisType != kTopFewAnalysis) {
    Diagnose(con.err, "",
             Fmt("every cover in the input is %d%%; if the data are presence only, use --scale "
                 "presence",
                 someCover));
    ++tally.warnings;
  }
  if (!opt.quiet) {
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    Diagnose(con.err, "",
             Fmt("%ld samples, %ld species records, %ld unknown names, %ld refused lines, %.1f s",
                 tally.samples, tally.records, tally.unknownNames, tally.refused, seconds));
  }
  if (!written) {
    Diagnose(con.err, opt.output.empty() ? "-" : opt.output, "the results could not be written");
    return kClassifyOutputFailed;
  }
  if (tally.inputFailed) return kClassifyInputFailed;
  // --strict: anything refused, unknown or warned about fails the run.
  if (opt.strict && (tally.refused > 0 || tally.unknownNames > 0 || tally.warnings > 0)) {
    return kClassifyInputFailed;
  }
  return kClassifyOk;
}
