// The inputs of a run: read, told apart by content, turned into samples of
// records, and what entry says about their records said where they stand.
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>

#include "batch/batch.h"
#include "batch/inputs.h"
#include "batch/covers.h"
#include "batch/options.h"
#include "batch/workbook.h"

namespace {

bool ReadInput(Console& con, InputFile& file) {
  errno = 0;
  file.read = file.name == "-" ? ReadWholeStream(con.in, file.text)
                               : ReadFileText(PathIn(con.dir, file.name), file.text);
  if (!file.read) file.failure = SystemReason();
  return file.read;
}

std::string_view ShownName(const InputFile& f) {
  return f.name == "-" ? std::string_view("(standard input)") : std::string_view(f.name);
}

std::string WhereOf(const InputFile& f, long line, int col = -1) {
  std::string where;
  if (line > 0 && !f.sheet.empty()) {
    where = std::string(ShownName(f)) + ":" + f.sheet + "!" + CellName(line, col < 0 ? 0 : col);
  } else if (line > 0) {
    AppendAt(where, ShownName(f), line);
  } else {
    where = ShownName(f);
  }
  return where;
}

// Says problems of one input, in one write, and counts them: the first ten of
// each kind, then how many more there were.
void SayProblems(Console& con, const InputFile& file, const std::vector<InputProblem>& problems, Tally& tally) {
  std::string all;
  ProblemCounter counter;
  for (const InputProblem& p : problems) {
    if (counter.Take(p.what, p.kind)) AppendDiagnosis(all, WhereOf(file, p.line, p.col), p.what);
    ++(p.refused ? tally.refused : tally.warnings);
  }
  for (const std::string& more : counter.Beyond()) AppendDiagnosis(all, WhereOf(file, 0), more);
  con.err << all;
}

// True when the bytes are no text: a known binary signature, UTF-16, or many
// control bytes near the start.
const char* BinaryKind(std::string_view text) {
  if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
    return "UTF-16 text; save it as CSV (UTF-8)";
  }
  for (std::string_view sig : {std::string_view("%PDF"), std::string_view("\x1F\x8B"), std::string_view("\x89PNG")}) {
    if (text.substr(0, sig.size()) == sig) return "a binary file";
  }
  const size_t n = std::min<size_t>(text.size(), 65536);
  size_t odd = 0;
  for (size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v') || c == 0x7f) ++odd;
  }
  return odd > 8 && odd * 20 > n ? "a binary file" : nullptr;
}

std::string JoinList(const std::vector<std::string>& items) {
  std::string s;
  for (const std::string& i : items) s += (s.empty() ? "" : ", ") + i;
  return s;
}

// The samples of a table (a CSV file or a workbook's sheet); false (said) when
// it is in no layout read here or holds no sample.
bool AddTable(Console& con, const ClassifyOptions& opt, const BlockRules& rules, InputFile& file, const Grid& grid,
              int index, RunInputs& inputs, std::vector<InputProblem>& problems, std::string& layout) {
  const bool presence = opt.scale == ScaleKind::kPresence;
  const SurveyReading how{opt.layout, opt.sampleCols, opt.poolBy, presence};
  SurveyTable table;
  std::string error;
  if (!ReadSurvey(grid, how, table, problems, error)) {
    Diagnose(con.err, WhereOf(file, grid.rows.empty() ? 0 : grid.rows[0].line), error);
    return false;
  }
  TakeCovers(table, CoverRules{opt.nCoverScale, presence, opt.strict}, problems);
  if (!opt.poolBy.empty() && !PoolSamples(table, opt.poolBy, error)) {
    Diagnose(con.err, WhereOf(file, grid.rows[0].line), error);
    return false;
  }
  if (table.samples.empty()) {
    Diagnose(con.err, WhereOf(file, 0), "holds no sample");
    return false;
  }
  for (const SurveySample& s : table.samples) {
    if (s.maxFreq > kMaxFrequency) {
      problems.push_back({s.line,
                          "sample " + s.name +
                              Fmt(" pools more than %d samples; frequencies are kept to %d", kMaxFrequency, kMaxFrequency),
                          false, s.col});
    }
  }
  AppendSurveyInputs(table.samples, rules, index, inputs.store, inputs.samples, problems);
  file.idHeaders = table.idHeaders;
  layout = std::string(LayoutName(table.layout)) + " layout, samples named by " + JoinList(table.idHeaders);
  return true;
}

// Turns input `index` into samples of records; says what it refuses. False
// when the input holds no sample or cannot be read as its kind.
bool AddInput(Console& con, const ClassifyOptions& opt, const BlockRules& rules, InputFile& file, int index,
              RunInputs& inputs, Tally& tally) {
  const size_t before = inputs.samples.size();
  std::vector<InputProblem> problems;
  std::string layout;
  if (LooksLikeWorkbook(file.text)) {
    Grid grid;
    std::string error;
    if (!ReadWorkbook(file.text, opt.sheet, grid, error)) {
      Diagnose(con.err, WhereOf(file, 0), error);
      return false;
    }
    file.sheet = grid.sheet;
    if (!AddTable(con, opt, rules, file, grid, index, inputs, problems, layout)) {
      SayProblems(con, file, problems, tally);
      return false;
    }
    layout = "sheet " + grid.sheet + ", " + layout;
  } else if (const char* binary = BinaryKind(file.text)) {
    Diagnose(con.err, WhereOf(file, 0),
             std::string(binary) + ", not a survey: surveys are read as CSV text or .xlsx workbooks in the " +
                 "layouts " + kLayoutsText + ", or as sample blocks");
    return false;
  } else if (IsTableInput(opt, file)) {
    CsvTable table;
    std::string error;
    if (!ParseCsv(file.text, table, error)) {
      Diagnose(con.err, WhereOf(file, 0), error);
      return false;
    }
    const Grid grid = GridOf(std::move(table));
    if (!AddTable(con, opt, rules, file, grid, index, inputs, problems, layout)) {
      SayProblems(con, file, problems, tally);
      return false;
    }
  } else {
    if (!opt.poolBy.empty()) {
      Diagnose(con.err, WhereOf(file, 0), "--pool-by needs a survey table; the samples are not pooled");
    }
    if (std::all_of(file.text.begin(), file.text.end(),
                    [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; })) {
      Diagnose(con.err, WhereOf(file, 0), "holds no sample");
      return false;
    }
    // What the typed run would read first: nothing of an input before this one.
    const bool first = std::none_of(inputs.files.begin(), inputs.files.begin() + (index - 1),
                                    [](const InputFile& f) { return !f.noSample; });
    AppendBlockInputs(file.text, rules, index, first, inputs.store, inputs.samples, problems);
    layout = "sample blocks";
    if (inputs.samples.size() > before && inputs.samples.back().endsInput && inputs.samples.back().records.empty()) {
      problems.push_back({inputs.samples.back().where.line,
                          "the input ends after this sample's name, with no species line: as the end of a data "
                          "file, it makes a sample of no species, reported so",
                          false});
    }
  }
  for (size_t k = before; k < inputs.samples.size(); ++k) inputs.samples[k].sumRepeats = rules.sumRepeats;
  if (rules.sayRepeats) SayRepeatedSpecies(inputs.samples, before, rules.sumRepeats, problems);
  SayProblems(con, file, problems, tally);
  if (!opt.quiet) {
    size_t records = 0;
    for (size_t k = before; k < inputs.samples.size(); ++k) records += inputs.samples[k].records.size();
    Diagnose(con.err, WhereOf(file, 0),
             Fmt("%zu samples read (%s), %zu species records", inputs.samples.size() - before, layout.c_str(), records));
  }
  return true;
}

// The identifying columns of every input as one set of columns; each sample's
// fields moved to them.
void JoinIdentifyingColumns(RunInputs& inputs) {
  inputs.fileColumn = inputs.files.size() > 1;
  inputs.idHeaders.clear();
  std::vector<std::string> keys;
  if (inputs.fileColumn) {
    inputs.idHeaders.emplace_back("file");
    keys.emplace_back();  // matches no column's key
  }
  std::vector<std::vector<size_t>> placeOf(inputs.files.size());
  for (size_t f = 0; f < inputs.files.size(); ++f) {
    const std::vector<std::string>& headers = inputs.files[f].idHeaders;
    for (const std::string& h : headers) {
      const std::string key = ColumnKey(h);
      // A single column named "sample" is the sample's name itself.
      if (headers.size() == 1 && key == "sample") {
        placeOf[f].push_back(SIZE_MAX);
        continue;
      }
      size_t k = std::find(keys.begin(), keys.end(), key) - keys.begin();
      if (k == keys.size()) {
        keys.push_back(key);
        inputs.idHeaders.push_back(h);
      }
      placeOf[f].push_back(k);
    }
  }
  for (SampleInput& s : inputs.samples) {
    const size_t f = static_cast<size_t>(s.where.file) - 1;
    std::vector<std::string> ids(inputs.idHeaders.size());
    if (inputs.fileColumn) ids[0] = inputs.files[f].name;
    for (size_t j = 0; j < s.ids.size() && j < placeOf[f].size(); ++j) {
      if (placeOf[f][j] != SIZE_MAX) ids[placeOf[f][j]] = std::move(s.ids[j]);
    }
    s.ids = std::move(ids);
  }
}

}  // namespace

std::string WhereText(const std::vector<InputFile>& files, const SourcePos& where) {
  if (where.file < 1 || static_cast<size_t>(where.file) > files.size()) return std::string();
  return WhereOf(files[static_cast<size_t>(where.file) - 1], where.line, where.col);
}

std::vector<InputFile> ReadInputTexts(Console& con, const ClassifyOptions& opt, bool withStandardInput) {
  std::vector<std::string> names = opt.files;
  if (names.empty()) names.push_back("-");
  std::vector<InputFile> texts(names.size());
  for (size_t k = 0; k < names.size(); ++k) {
    texts[k].name = names[k];
    if (names[k] != "-" || withStandardInput) ReadInput(con, texts[k]);
  }
  return texts;
}

bool IsTableInput(const ClassifyOptions& opt, const InputFile& file) {
  if (LooksLikeWorkbook(file.text)) return true;
  return opt.input == InputKind::kCsv || (opt.input == InputKind::kAuto && LooksLikeTable(file.text));
}

void AddInputs(Console& con, const ClassifyOptions& opt, const BlockRules& rules, std::vector<InputFile>& texts,
               RunInputs& inputs, Tally& tally) {
  inputs.files.reserve(texts.size());
  for (InputFile& t : texts) {
    if (!t.read && t.name == "-") ReadInput(con, t);
    if (!t.read) {
      Diagnose(con.err, t.name, t.failure);
      tally.inputFailed = true;
      continue;
    }
    inputs.files.push_back(std::move(t));
    InputFile& file = inputs.files.back();
    if (!AddInput(con, opt, rules, file, static_cast<int>(inputs.files.size()), inputs, tally)) {
      tally.inputFailed = true;
      file.noSample = true;
    }
  }
  JoinIdentifyingColumns(inputs);
}

bool ProblemCounter::Take(const std::string& what, const char* kind) {
  std::string key;
  if (kind != nullptr) {
    key = kind;
  } else {
    bool quoted = false;
    for (char c : what) {
      if (c == '"') quoted = !quoted;
      if (!quoted && c != '"' && std::isdigit(static_cast<unsigned char>(c)) == 0) key += c;
    }
  }
  auto [it, fresh] = index_.emplace(key, kinds_.size());
  if (fresh) kinds_.push_back(Kind{what, 0});
  return ++kinds_[it->second].count <= kSaidPerKind;
}

std::vector<std::string> ProblemCounter::Beyond() const {
  std::vector<std::string> lines;
  for (const Kind& k : kinds_) {
    if (k.count > kSaidPerKind) {
      lines.push_back(Fmt("%ld more like the first ten of this kind (%ld in all): ", k.count - kSaidPerKind, k.count) +
                      k.first);
    }
  }
  return lines;
}

void InputReporter::LineProblem(const SourcePos& where, const SampleRecord* rec, const std::string& what,
                                bool refused, bool quoteLine) {
  ++(refused ? tally_.refused : tally_.warnings);
  if (!counter_.Take(what)) return;
  std::string said = what;
  if (quoteLine && rec != nullptr) {
    said += ": ";
    said += rec->quoted != nullptr ? rec->quoted : "";
  }
  Diagnose(con_.err, WhereText(files_, where), said);
}

void InputReporter::SayBeyond() {
  for (const std::string& more : counter_.Beyond()) Diagnose(con_.err, "", more);
}

void InputReporter::UnknownName(const SampleRecord& rec) {
  std::string written(rec.written.empty() ? std::string_view(rec.key.c_str()) : rec.written);
  auto [it, fresh] = unknownIndex_.emplace(std::make_pair(rec.where.file, written), unknown_.size());
  if (fresh) unknown_.push_back(Unknown{rec.where.file, written, {}});
  unknown_[it->second].where.push_back(rec.where);
  tally_.unknownNames = static_cast<long>(unknown_.size());
}

void InputReporter::SayUnknownNames(const NameResolver& resolver) {
  for (const Unknown& u : unknown_) {
    const InputFile& file = files_[static_cast<size_t>(u.file) - 1];
    std::string where = WhereText(files_, SourcePos{u.file, 0});
    std::string places;
    for (const SourcePos& p : u.where) {
      if (p.line <= 0) continue;
      places += places.empty() ? "" : ",";
      places += file.sheet.empty() ? std::to_string(p.line) : CellName(p.line, p.col < 0 ? 0 : p.col);
    }
    if (!places.empty()) where += ":" + (file.sheet.empty() ? std::string() : file.sheet + "!") + places;
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
