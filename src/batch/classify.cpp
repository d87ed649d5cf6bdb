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
#include <cerrno>
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

namespace {

using Clock = std::chrono::steady_clock;

// Samples entered before they are scored together. Small batches keep the
// memory in flight small (a few batches per thread, each sample's report
// about 4 KB): batches of 512 made the run fault in some 40 MB more pages.
constexpr size_t kBatchSamples = 64;

struct InputFile {
  std::string name;  // as given; "-" for standard input
  std::string text;
  std::string failure;    // why it could not be read, as the system says it
  bool noSample = false;  // already said to hold no sample
};

// Counts kept for the summary and the exit status.
struct Tally {
  long samples = 0;
  long records = 0;
  long unknownNames = 0;
  long refused = 0;
  long warnings = 0;
  bool inputFailed = false;
};

// "file:line" (the file alone for line 0) for Diagnose, appended to a text.
void AppendWhere(std::string& out, const InputFile& f, long line) {
  const std::string_view name = f.name == "-" ? std::string_view("(standard input)") : std::string_view(f.name);
  if (line > 0) {
    AppendAt(out, name, line);
  } else {
    out += name;
  }
}

std::string Where(const InputFile& f, long line) {
  std::string where;
  AppendWhere(where, f, line);
  return where;
}

bool ReadInput(Console& con, const std::string& name, InputFile& file) {
  file.name = name;
  errno = 0;
  const bool read = name == "-" ? ReadWholeStream(con.in, file.text) : ReadFileText(PathIn(con.dir, name), file.text);
  if (!read) file.failure = SystemReason();
  return read;
}

// Whether an input is read as a survey CSV (else as a block file).
bool IsSurveyCsv(const ClassifyOptions& opt, const InputFile& file) {
  return opt.input == InputKind::kCsv || (opt.input == InputKind::kAuto && LooksLikeSurveyCsv(file.text));
}

// Turns one input into sample blocks (a block file's text is taken for them);
// says what it refuses. False when the input holds no sample or cannot be read
// as its kind.
bool AddInput(Console& con, const ClassifyOptions& opt, const BlockRules& rules,
              InputFile& file, int index, BlockText& blocks, Tally& tally) {
  const bool presence = opt.scale == ScaleKind::kPresence;
  auto say = [&](const std::vector<InputProblem>& problems) {
    std::string all;  // said in one write
    std::string where;  // its room kept from problem to problem
    for (const InputProblem& p : problems) {
      where.clear();
      AppendWhere(where, file, p.line);
      AppendDiagnosis(all, where, p.what);
      ++(p.refused ? tally.refused : tally.warnings);
    }
    con.err << all;
  };
  if (!IsSurveyCsv(opt, file)) {
    if (!opt.poolBy.empty()) {
      Diagnose(con.err, Where(file, 0), "--pool-by needs CSV input; the samples are not pooled");
    }
    const bool any = std::any_of(file.text.begin(), file.text.end(),
                                 [](char c) { return c != ' ' && c != '\t' && c != '\r' && c != '\n'; });
    if (!any) {
      Diagnose(con.err, Where(file, 0), "holds no sample");
      return false;
    }
    std::vector<InputProblem> problems;
    TakeBlockFile(file.text, rules, index, blocks, problems);  // the text is not needed again
    say(problems);
    return true;
  }

  CsvTable table;
  std::string error;
  if (!ParseCsv(file.text, table, error)) {
    Diagnose(con.err, Where(file, 0), error);
    return false;
  }
  const SurveyColumns columns = FindSurveyColumns(table.header, opt.poolBy);
  if (columns.sample < 0 || columns.species < 0) {
    Diagnose(con.err, Where(file, 1), "no sample or no species column in the header");
    return false;
  }
  if (columns.cover < 0 && !presence) {
    Diagnose(con.err, Where(file, 1),
             "no cover column in the header (presence data: use --scale presence)");
    return false;
  }
  if (!opt.poolBy.empty() && columns.pool < 0) {
    Diagnose(con.err, Where(file, 1), "no column " + opt.poolBy + " to pool by");
    return false;
  }
  std::vector<InputProblem> problems;
  std::vector<SurveySample> samples = SurveySamples(table, columns, presence, problems);
  say(problems);
  if (columns.pool >= 0) samples = PoolSamples(table, columns, samples);
  if (samples.empty()) {
    Diagnose(con.err, Where(file, 0), "holds no sample");
    return false;
  }
  for (const SurveySample& s : samples) {
    if (s.maxFreq > kMaxFrequency) {
      Diagnose(con.err, Where(file, s.line),
               "sample " + s.name +
                   Fmt(" pools more than %d samples; frequencies are kept to %d", kMaxFrequency, kMaxFrequency));
    }
  }
  AppendSurveyBlocks(samples, rules, index, blocks);
  return true;
}

// What sample entry says about the lines it reads, said as FILE:LINE: what. The
// line is found from the position of the block text sample entry reads.
class LineReporter : public EntryObserver {
 public:
  LineReporter(Console& con, const RefData& ref, const BlockText& blocks,
               const std::vector<InputFile>& files, Tally& tally)
      : con_(con), ref_(ref), blocks_(blocks), files_(files), tally_(tally) {
    anyResolved_ = std::any_of(blocks.resolvedRow.begin(), blocks.resolvedRow.end(),
                               [](int row) { return row != 0; });
  }
  void SetDataFile(std::FILE* fp) { fp_ = fp; }

  void LineProblem(const std::string& what, bool refused, bool quoteLine) override {
    std::string said = what;
    if (quoteLine) {
      const LineAt at = CurrentLine();
      std::string text(at.line < blocks_.sourceText.size() ? blocks_.sourceText[at.line] : "");
      if (text.empty() && at.start < blocks_.text.size()) {
        text = blocks_.text.substr(at.start, blocks_.text.find('\n', at.start) - at.start);
      }
      said += ": " + text;
    }
    Diagnose(con_.err, Where(), said);
    ++(refused ? tally_.refused : tally_.warnings);
  }

  // The input file of the line last read (0 before any).
  int CurrentFile() const {
    const size_t line = CurrentLine().line;
    return line < blocks_.sourceFile.size() ? blocks_.sourceFile[line] : 0;
  }
  void UnknownName(const char* key) override {
    const LineAt at = CurrentLine();
    const size_t line = at.line;
    std::string written(line < blocks_.writtenName.size() ? blocks_.writtenName[line] : "");
    if (written.empty()) written = LineText(at.start);
    if (written.empty()) written = key;
    const int file = line < blocks_.sourceFile.size() ? blocks_.sourceFile[line] : 0;
    const long source = line < blocks_.sourceLine.size() ? blocks_.sourceLine[line] : 0;
    auto [it, fresh] = unknownIndex_.emplace(std::make_pair(file, written), unknown_.size());
    if (fresh) unknown_.push_back(Unknown{file, written, {}});
    unknown_[it->second].lines.push_back(source);
    tally_.unknownNames = static_cast<long>(unknown_.size());
  }

  // A name resolved to one of several rows that share its short name is that row.
  int RowOfKey(const char* key, int found) override {
    if (!anyResolved_) return found;
    const size_t line = CurrentLine().line;
    const int row = line < blocks_.resolvedRow.size() ? blocks_.resolvedRow[line] : 0;
    if (row < 3 || row > ref_.nSpeciesCount) return found;
    return CompareShortName(key, ref_.arrSpecies[row].szShortName) == 0 ? row : found;
  }

  // Every unknown name once per file, with the lines it stands on and what it may
  // have meant; it was scored as a new species.
  void SayUnknownNames(const NameResolver& resolver) {
    for (const Unknown& u : unknown_) {
      std::string where = u.file >= 1 && static_cast<size_t>(u.file) <= files_.size()
                              ? ::Where(files_[static_cast<size_t>(u.file) - 1], 0)
                              : std::string();
      std::string lines;
      for (long l : u.lines) {
        if (l > 0) lines += (lines.empty() ? "" : ",") + std::to_string(l);
      }
      if (!lines.empty()) where += ":" + lines;
      std::string what = "unknown name \"" + u.written + "\"";
      const std::vector<std::string> close = resolver.Suggest(u.written);
      for (size_t k = 0; k < close.size(); ++k) {
        what += k == 0 ? " (did you mean " : k + 1 == close.size() ? " or " : ", ";
        what += close[k];
      }
      if (!close.empty()) what += "?)";
      Diagnose(con_.err, where, what);
    }
  }

 private:
  // A line of the block text (from 1) and where it starts.
  struct LineAt {
    size_t line;
    size_t start;
  };
  // The line that holds the last character read. Sample entry reads on through
  // the text (putting back a character at most), so the line is found from the
  // one found last: the whole run looks through the text about once.
  LineAt CurrentLine() const {
    const long pos = fp_ == nullptr ? 0 : std::ftell(fp_);
    if (pos <= 0) return LineAt{1, 0};
    const size_t last = static_cast<size_t>(pos - 1);
    const std::string& text = blocks_.text;
    while (last < cursor_.start) {  // back to the line before
      const size_t before = cursor_.start - 1;  // the line end of the line before
      const size_t end = before == 0 ? std::string::npos : text.rfind('\n', before - 1);
      cursor_.start = end == std::string::npos ? 0 : end + 1;
      --cursor_.line;
    }
    for (;;) {
      const size_t end = text.find('\n', cursor_.start);
      if (end == std::string::npos || last <= end) break;
      cursor_.start = end + 1;
      ++cursor_.line;
    }
    return cursor_;
  }
  // The name words of the line that starts at `a` (what stands before its numbers).
  std::string LineText(size_t a) const {
    if (a >= blocks_.text.size()) return std::string();
    const size_t b = blocks_.text.find('\n', a);
    std::istringstream words(blocks_.text.substr(a, b == std::string::npos ? std::string::npos : b - a));
    std::string name;
    for (std::string w; words >> w;) {
      if (!name.empty() && (std::isdigit(static_cast<unsigned char>(w[0])) != 0 || w[0] == '.')) break;
      name += (name.empty() ? "" : " ") + w;
    }
    return name;
  }
  std::string Where() const {
    const size_t line = CurrentLine().line;
    if (line >= blocks_.sourceFile.size()) return std::string();
    const int file = blocks_.sourceFile[line];
    if (file < 1 || static_cast<size_t>(file) > files_.size()) return std::string();
    return ::Where(files_[static_cast<size_t>(file) - 1], blocks_.sourceLine[line]);
  }

  struct Unknown {
    int file;
    std::string written;
    std::vector<long> lines;
  };
  std::vector<Unknown> unknown_;
  std::map<std::pair<int, std::string>, size_t> unknownIndex_;
  Console& con_;
  bool anyResolved_ = false;  // some line names its dictionary row
  const RefData& ref_;
  const BlockText& blocks_;
  const std::vector<InputFile>& files_;
  Tally& tally_;
  mutable LineAt cursor_{1, 0};  // the line CurrentLine found last
  std::FILE* fp_ = nullptr;
};

// ---- tidy results ---------------------------------------------------------------------

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
        community = it != info.names.end() ? it->second.community : TrimBlanks(u.szNVCCommonName);
        sub = it != info.names.end() ? it->second.subCommunity : TrimBlanks(u.szNVCSubName);
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
      AppendCsvField(line, real ? TrimBlanks(u.szEunisName) : std::string());
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

// An input as read, or not (read is false).
struct ReadText {
  InputFile file;
  bool read = false;
};

// The inputs named on the command line, in order. Standard input is left to
// AddInputs unless `withStandardInput`: a run that fails before it gets there must
// not wait for standard input to end.
std::vector<ReadText> ReadInputTexts(Console& con, const ClassifyOptions& opt, bool withStandardInput) {
  std::vector<std::string> names = opt.files;
  if (names.empty()) names.push_back("-");
  std::vector<ReadText> texts(names.size());
  for (size_t k = 0; k < names.size(); ++k) {
    texts[k].file.name = names[k];
    if (names[k] != "-" || withStandardInput) texts[k].read = ReadInput(con, names[k], texts[k].file);
  }
  return texts;
}

// Every input as sample blocks (standard input read here, where it was left).
// Inputs that cannot be read or hold no sample are said, and mark the tally.
void AddInputs(Console& con, const ClassifyOptions& opt, const BlockRules& rules, std::vector<ReadText>& texts,
               std::vector<InputFile>& files, BlockText& blocks, Tally& tally) {
  files.reserve(texts.size());
  for (ReadText& t : texts) {
    if (!t.read && t.file.name == "-") t.read = ReadInput(con, "-", t.file);
    if (!t.read) {
      Diagnose(con.err, t.file.name, t.file.failure);
      tally.inputFailed = true;
      continue;
    }
    files.push_back(std::move(t.file));
    if (!AddInput(con, opt, rules, files.back(), static_cast<int>(files.size()), blocks, tally)) {
      tally.inputFailed = true;
      files.back().noSample = true;
    }
  }
}

void ReadInputs(Console& con, const ClassifyOptions& opt, const BlockRules& rules,
                std::vector<InputFile>& files, BlockText& blocks, Tally& tally) {
  std::vector<ReadText> texts = ReadInputTexts(con, opt, true);
  AddInputs(con, opt, rules, texts, files, blocks, tally);
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
  std::vector<InputFile> files;
  BlockText blocks;
  ReadInputs(con, opt, rules, files, blocks, tally);

  // Distinct names as written, in order of first appearance.
  std::vector<std::string> order;
  std::map<std::string, long> records;
  for (size_t k = 1; k < blocks.writtenName.size(); ++k) {
    const std::string written(blocks.writtenName[k]);
    if (written.empty()) continue;
    if (records[written]++ == 0) order.push_back(written);
  }
  Sink sink;
  if (!OpenSink(con, opt.output, sink)) {
    Diagnose(con.err, opt.output, "cannot create the output file: " + SystemReason());
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
  std::future<std::vector<ReadText>> textsRead =
      std::async(std::launch::async, [&con, &opt] { return ReadInputTexts(con, opt, false); });
  std::string folder;
  if (!LoadBatchTables(con, quiet, opt.tables, folder, *ref)) return kClassifyTablesFailed;
  BuildQuantTables(*scoring);
  BuildNVCTotals(*ref, *scoring);

  // The inputs, as sample blocks.
  Tally tally;
  std::vector<InputFile> files;
  BlockText blocks;
  std::vector<ReadText> texts = textsRead.get();
  // Names are resolved as surveys write them; the classic formats keep the typed
  // run's reading of block lines. Where no input needs the resolver (classic
  // results of block files), it is built on a thread while the inputs become
  // blocks: only the suggestions for unknown names, said at the end, use it. It
  // reads the tables, so it is done before sample entry adds new species to them.
  std::optional<NameResolver> resolver;
  const bool resolveNow =
      !classic || std::any_of(texts.begin(), texts.end(), [&opt](const ReadText& t) {
        return !t.read || IsSurveyCsv(opt, t.file);  // standard input, still unread, may be CSV
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
  AddInputs(con, opt, rules, texts, files, blocks, tally);
  if (resolverBuilt.valid()) resolverBuilt.get();

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
  Writer writer{opt, *ref, info, {}};
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
  if (!blocks.text.empty()) {
    rs.fpDataFile = File(fmemopen(blocks.text.data(), blocks.text.size(), "r"));
  }

  const bool showProgress = !opt.quiet && &con.err == &std::cerr && isatty(STDERR_FILENO) != 0;
  // Which covers the samples hold (completed covers are percent, 0..100).
  std::array<bool, 101> coverSeen{};
  int distinctCovers = 0;
  int someCover = 0;
  bool coversSeen = false;
  std::vector<long> samplesOfFile(files.size() + 1, 0);
  LineReporter reporter(con, *ref, blocks, files, tally);
  reporter.SetDataFile(rs.fpDataFile.get());
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
  std::string entered;  // what entry wrote for the sample
  std::string tail;
  for (bool more = static_cast<bool>(rs.fpDataFile); more;) {
    if (classic) rs.fpResults = entryOut.Open();
    more = EnterSample(quiet, *ref, *sample, rs, &reporter) == EntryResult::kSampleReady;
    entered.clear();
    if (classic) entryOut.TakeInto(rs.fpResults, entered);
    if (more) {
      ++rs.nSampleCounter;
      ++tally.samples;
      ++samplesOfFile[static_cast<size_t>(reporter.CurrentFile())];
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
      job.lists.clear();
      if (batch->count == kBatchSamples) launch();
      if (tally.samples % 1000 == 0) Progress(con, showProgress, tally.samples, start);
    } else {
      launch();
      tail = std::move(entered);
    }
  }
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
      Diagnose(con.err, Where(files[f], 0), "holds no sample that could be scored");
      tally.inputFailed = true;
    }
  }

  bool written = results.Finish() && listRows.Finish();
  written = CloseSink(con, sink) && written;
  written = CloseSink(con, lists) && written;
  rs.fpDataFile.Close();

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
