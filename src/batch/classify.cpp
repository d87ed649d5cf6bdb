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

namespace {

using Clock = std::chrono::steady_clock;

// Samples entered before they are scored together. Small batches keep the
// memory in flight small (a few batches per thread, each sample's report
// about 4 KB): batches of 512 made the run fault in some 40 MB more pages.
constexpr size_t kBatchSamples = 64;

int16_t CoverScaleOfKind(ScaleKind scale) {
  switch (scale) {
    case ScaleKind::kBraunBlanquet: return 2;
    case ScaleKind::kDomin: return 3;
    default: return 1;
  }
}

// ---- tidy results ---------------------------------------------------------------------

std::string Trimmed(const char* s) {
  std::string t(s);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  size_t a = 0;
  while (a < t.size() && t[a] == ' ') ++a;
  return t.substr(a);
}

std::string Compact(const char* s) {
  std::string t;
  for (; *s != '\0'; ++s) {
    if (*s != ' ') t += *s;
  }
  return t;
}

// A fraction as a percentage to one decimal, as printf's "%.1f" writes it: both
// give the correctly rounded decimal of the double, and to_chars without the
// cost of printf (the tidy rows hold seven of these each).
std::string OneDecimal(double fraction) {
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf, fraction * 100.0, std::chars_format::fixed, 1);
  return std::string(buf, r.ptr);
}

// A set of species codes, one bit each: a unit's lines are looked up in the
// sample's codes in one step each. Negative codes are never held.
class CodeBits {
 public:
  bool Has(int code) const {
    return code >= 0 && ((words_[static_cast<size_t>(code) >> 6] >> (code & 63)) & 1) != 0;
  }
  void Add(int code) {
    if (code >= 0) words_[static_cast<size_t>(code) >> 6] |= uint64_t{1} << (code & 63);
  }
  void Remove(int code) {
    if (code >= 0) words_[static_cast<size_t>(code) >> 6] &= ~(uint64_t{1} << (code & 63));
  }

 private:
  // Species codes are 16-bit.
  std::vector<uint64_t> words_ = std::vector<uint64_t>((size_t{1} << 15) / 64);
};

struct Writer {
  const ClassifyOptions& opt;
  const RefData& ref;
  const UnitInfo& info;
  const std::vector<std::string> habitatColumns;

  std::string Header() const {
    std::string h =
        "sample,rank,nvc_code,community,sub_community,mean_fit,fit_1,fit_2,fit_3,fit_4,fit_class,"
        "eunis_code,eunis_name,species,species_matched,tie,czekanowski,consensus";
    for (const std::string& key : opt.habitats) {
      for (const HabitatKey& k : HabitatKeys()) {
        if (key == k.key) h += std::string(",") + k.column;
      }
    }
    return h + "\n";
  }

  // The sample's species found in a unit's table, each code once. The codes met
  // are noted in `counted` and taken out of it again before returning.
  int Matched(const CodeBits& sampleCodes, CodeBits& counted, int unit) const {
    const NVCUnit& u = ref.arrNVCData[unit];
    if (u.nSpeciesTableEndIndex == 0) return 0;
    int found = 0;
    for (int l = u.nSpeciesTableStartIndex; l <= u.nSpeciesTableEndIndex; ++l) {
      const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[l];
      if (IsValidQuant(line.nQuant) && sampleCodes.Has(line.nSpeciesCode) && !counted.Has(line.nSpeciesCode)) {
        counted.Add(line.nSpeciesCode);
        ++found;
      }
    }
    for (int l = u.nSpeciesTableStartIndex; l <= u.nSpeciesTableEndIndex; ++l) {
      counted.Remove(ref.arrTbNVCToSpeciesJoinTable[l].nSpeciesCode);
    }
    return found;
  }

  void Rows(const SampleState& sample, const ScoringState& sc, int16_t nAnalysisType,
            std::string& out) const {
    std::vector<int> codes;
    for (int i = 1; i <= sample.nSampleEntries; ++i) {
      if (sample.arrSample[i].nSpeciesCode >= 0) codes.push_back(sample.arrSample[i].nSpeciesCode);
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    CodeBits sampleCodes;
    for (int code : codes) sampleCodes.Add(code);
    CodeBits counted;
    std::string previousKey;
    int tieRank = 0;
    std::string line;
    for (int r = 1; r <= opt.nFitsToOutput; ++r) {
      const int unit = sc.arrTopFits[r].nNVCIndex;
      const NVCFit& fit = sc.arrNVCFit[unit];
      // Places beyond the number of units, and units that only fill a place, name nothing.
      const bool real = r <= ref.nNVCCount && fit.dMeanGoF >= kNoFit;
      const NVCUnit& u = ref.arrNVCData[unit];
      const std::string code = real ? Compact(u.szNVCType) : std::string();
      std::string community;
      std::string sub;
      if (real) {
        auto it = info.names.find(code);
        community = it != info.names.end() ? it->second.community : Trimmed(u.szNVCCommonName);
        sub = it != info.names.end() ? it->second.subCommunity : Trimmed(u.szNVCSubName);
      }
      const ShownFits shown = FitsShown(fit, nAnalysisType);
      const std::string mean = OneDecimal(fit.dMeanGoF);
      // A tie is an equal value of the ranking, as shown.
      const std::string key = OneDecimal(sc.arrTopFits[r].dMeanGoF);
      std::string tie;
      if (real && r > 1 && key == previousKey) {
        tie = std::to_string(tieRank);
      } else {
        tieRank = r;
      }
      previousKey = real ? key : std::string();

      // Made up in one line whose room is kept from rank to rank.
      const auto field = [&line](const std::string& text) {
        line += ',';
        line += text;
      };
      line.clear();
      AppendCsvField(line, sample.szSampleName);
      field(std::to_string(r));
      line += ',';
      AppendCsvField(line, code);
      line += ',';
      AppendCsvField(line, community);
      line += ',';
      AppendCsvField(line, sub);
      field(mean);
      for (int k = 1; k <= 4; ++k) field(OneDecimal(shown.fit[k]));
      line += ',';
      line += real ? FitClass(PercentFit(fit.dMeanGoF)) : "";
      line += ',';
      AppendCsvField(line, real ? Compact(u.szEunisCode) : std::string());
      line += ',';
      AppendCsvField(line, real ? Trimmed(u.szEunisName) : std::string());
      field(std::to_string(codes.size()));
      field(std::to_string(real ? Matched(sampleCodes, counted, unit) : 0));
      field(tie);
      field(OneDecimal(real ? fit.dCzekanowski : 0.0));
      field(OneDecimal(real ? fit.dConsensus : 0.0));
      for (const std::string& key : opt.habitats) {
        std::string items;
        if (real) {
          auto unitIt = info.habitats.find(code);
          if (unitIt != info.habitats.end()) {
            auto keyIt = unitIt->second.find(key);
            if (keyIt != unitIt->second.end()) {
              for (const std::string& item : keyIt->second) items += (items.empty() ? "" : "; ") + item;
            }
          }
        }
        line += ',';
        AppendCsvField(line, items);
      }
      line += '\n';
      out += line;
    }
  }

  // The matching analysis of every rank: one row per species and list.
  void SpeciesLists(const SampleState& sample, const ScoringState& sc, std::string& out) const {
    SampleCodes codes(sample);
    MatchingLists matched;
    for (int r = 1; r <= opt.nFitsToOutput; ++r) {
      const int unit = sc.arrTopFits[r].nNVCIndex;
      // As in the results, a place that names no unit has no lists.
      if (r > ref.nNVCCount || sc.arrNVCFit[unit].dMeanGoF < kNoFit) continue;
      const std::string code = Compact(ref.arrNVCData[unit].szNVCType);
      auto row = [&](const char* list, int speciesCode, int speciesRow) {
        std::string line;
        AppendCsvField(line, sample.szSampleName);
        line += "," + std::to_string(r) + ",";
        AppendCsvField(line, code);
        line += std::string(",") + list + "," + std::to_string(speciesCode) + ",";
        AppendCsvField(line, ref.arrSpecies[speciesRow].szShortName);
        line += ",";
        AppendCsvField(line, ref.arrSpecies[speciesRow].szFullName);
        out += line + "\n";
      };
      MatchUnitSpecies(ref, sample, codes, unit, static_cast<uint32_t>(r), matched);
      for (const MatchedSpecies& m : matched.both) row("both", m.nSpeciesCode, m.nSpeciesIndex);
      for (const MatchedSpecies& m : matched.sampleOnly) row("sample_only", m.nSpeciesCode, m.nSpeciesIndex);
      for (const MatchedSpecies& m : matched.unitOnly) row("unit_only", m.nSpeciesCode, m.nSpeciesIndex);
    }
  }
};

// Where the results go: a file, or standard output (the process's own when the
// console is the process's, else the console's stream, through a temporary file).
struct Sink {
  File file;
  bool toConsole = false;
};

bool OpenSink(Console& con, const std::string& path, Sink& sink) {
  if (!path.empty() && path != "-") {
    sink.file = OpenIn(con.dir, path, "w");
    return static_cast<bool>(sink.file);
  }
  if (&con.out == &std::cout) {
    std::cout.flush();
    const int fd = dup(STDOUT_FILENO);
    sink.file = File(fd < 0 ? nullptr : fdopen(fd, "w"));
  } else {
    sink.file = File(std::tmpfile());
    sink.toConsole = true;
  }
  return static_cast<bool>(sink.file);
}

// Closes the sink (copying a temporary file to the console); false when writing failed.
bool CloseSink(Console& con, Sink& sink) {
  if (!sink.file) return true;
  if (sink.toConsole) {
    std::FILE* fp = sink.file.get();
    if (std::fflush(fp) != 0 || std::ferror(fp) != 0) return false;
    std::rewind(fp);
    char buf[65536];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;) con.out.write(buf, static_cast<std::streamsize>(n));
  }
  return sink.file.Close();
}

// The rows of each sample, written through a large buffer. When writing fails,
// the file is cut back to the end of the last sample it holds whole, so the
// results never end inside a row.
class RowWriter {
 public:
  explicit RowWriter(File& file) : fp_(file.get()) { file.UseBuffer(kBufferSize); }
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  void Add(const std::string& rows) {
    if (fp_ == nullptr || failed_ || rows.empty()) return;
    if (std::fwrite(rows.data(), 1, rows.size(), fp_) != rows.size()) {
      Fail();
      return;
    }
    given_ += static_cast<off_t>(rows.size());
    ends_.push_back(given_);
  }
  // Writes what is left; false when some rows could not be written.
  bool Finish() {
    if (fp_ != nullptr && !failed_ && std::fflush(fp_) != 0) Fail();
    return !failed_;
  }

 private:
  static constexpr size_t kBufferSize = 1 << 20;
  void Fail() {
    failed_ = true;
    std::clearerr(fp_);
    struct stat st {};
    if (fstat(fileno(fp_), &st) != 0 || !S_ISREG(st.st_mode)) return;
    // The last sample end the file reaches.
    off_t keep = 0;
    for (off_t end : ends_) {
      if (end <= st.st_size) keep = end;
    }
    if (ftruncate(fileno(fp_), keep) != 0) return;
  }
  std::FILE* fp_;
  off_t given_ = 0;
  std::vector<off_t> ends_;
  bool failed_ = false;
};

void Progress(Console& con, bool show, long done, Clock::time_point start) {
  if (!show) return;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (seconds < 1.0) return;
  con.err << Fmt("\rvegmatch: %ld samples, %.0f per second", done, done / seconds) << std::flush;
}

// The folder of the reference tables: the one given, or the bundled one.
std::string TablesFolder(const std::string& tables) {
  return tables.empty() ? BundledTablesFolder() : tables;
}

// The reference tables of a batch command: --tables, or the bundled ones. False
// (after saying why) when they cannot be loaded.
bool LoadBatchTables(Console& con, Console& quiet, const std::string& tables, std::string& folder,
                     RefData& ref) {
  folder = TablesFolder(tables);
  const std::vector<std::string> missing = MissingReferenceFiles(folder);
  if (!missing.empty()) {
    std::string names;
    for (const std::string& m : missing) names += (names.empty() ? "" : ", ") + m;
    Diagnose(con.err, folder.empty() ? "(no tables folder)" : folder, "missing " + names);
    return false;
  }
  if (!LoadReferenceData(quiet, ref, folder)) {
    Diagnose(con.err, folder, "the reference tables could not be loaded");
    return false;
  }
  return true;
}

const char* StatusName(NameStatus status) {
  switch (status) {
    case NameStatus::kExact: return "exact";
    case NameStatus::kOlderName: return "older-name";
    case NameStatus::kNormalised: return "normalised";
    default: return "unknown";
  }
}

}  // namespace

int NamesMain(int argc, const char* const* argv, Console& con) {
  ClassifyOptions opt = DefaultClassifyOptions();
  CLI::App app("Checks the species names of survey files against the dictionary: one CSV row "
               "per distinct name\nas written (name, records, status, code, dictionary_name, "
               "suggestions). Exit status 0\nwhen every name resolved, 1 otherwise.",
               "vegmatch names");
  std::string input = "auto";
  AddTablesAndInputOptions(app, opt.tables, input, "by content");
  app.add_option("-o,--output", opt.output, "where the CSV goes")
      ->type_name("FILE")
      ->default_str("standard output");
  app.add_option("FILE", opt.files, "inputs; - or none: standard input");
  const int parsed = ParseCommand(app, argc, argv, con, "names");
  if (parsed >= 0) return parsed;
  opt.input = InputKindOf(input);
  // Names need no cover: every row is taken.
  opt.scale = ScaleKind::kPresence;

  std::istringstream noInput;
  NullBuffer nullBuffer;
  std::ostream screen(&nullBuffer);
  Console quiet(noInput, screen, con.err, con.dir);
  auto ref = std::make_unique<RefData>();
  std::string folder;
  if (!LoadBatchTables(con, quiet, opt.tables, folder, *ref)) return kClassifyTablesFailed;
  const NameResolver resolver(*ref, folder);
  BlockRules rules;
  rules.presence = true;
  rules.checkCovers = false;
  Tally tally;
  std::vector<InputFile> texts = ReadInputTexts(con, opt, true);
  RunInputs inputs;
  AddInputs(con, opt, rules, texts, inputs, tally);

  // Distinct names as written, in order of first appearance.
  std::vector<std::string> order;
  std::map<std::string, long> records;
  for (const SampleInput& s : inputs.samples) {
    for (const SampleRecord& r : s.records) {
      if (r.nameGuessed || r.written.empty()) continue;
      const std::string written(r.written);
      if (records[written]++ == 0) order.push_back(written);
    }
  }
  Sink sink;
  if (!OpenSink(con, opt.output, sink)) {
    Diagnose(con.err, opt.output, "cannot create the output file");
    return kClassifyOutputFailed;
  }
  std::string out = "name,records,status,code,dictionary_name,suggestions\n";
  bool allResolved = true;
  for (const std::string& written : order) {
    const NameMatch& m = resolver.Resolve(written);
    std::string line;
    AppendCsvField(line, written);
    line += "," + std::to_string(records[written]) + "," + StatusName(m.status) + ",";
    if (m.row != 0) {
      line += std::to_string(ref->arrSpecies[m.row].nSpeciesCode) + ",";
      AppendCsvField(line, ref->arrSpecies[m.row].szFullName);
      line += ",";
    } else {
      allResolved = false;
      std::string suggestions;
      for (const std::string& s : resolver.Suggest(written)) {
        suggestions += (suggestions.empty() ? "" : "; ") + s;
      }
      line += ",,";
      AppendCsvField(line, suggestions);
    }
    out += line + "\n";
  }
  FileSay(sink.file.get(), "%s", out.c_str());
  if (!CloseSink(con, sink)) {
    Diagnose(con.err, opt.output.empty() ? "-" : opt.output, "the output could not be written");
    return kClassifyOutputFailed;
  }
  if (tally.inputFailed) return kClassifyInputFailed;
  return allResolved ? kClassifyOk : kClassifyInputFailed;
}

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
    Diagnose(con.err, opt.output, "cannot create the results file");
    return kClassifyOutputFailed;
  }
  Sink lists;
  if (!opt.speciesLists.empty() && !OpenSink(con, opt.speciesLists, lists)) {
    Diagnose(con.err, opt.speciesLists, "cannot create the species lists file");
    return kClassifyOutputFailed;
  }
  Writer writer{opt, *ref, info, {}};
  RowWriter results(sink.file);
  RowWriter listRows(lists.file);
  if (!classic) results.Add(writer.Header());
  if (lists.file) listRows.Add("sample,rank,nvc_code,list,species_code,short_name,full_name\n");

  RunSettings rs{};
  rs.nCoverScale = CoverScaleOfKind(opt.scale);
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
      opt.nAnalysisType != 5) {
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
