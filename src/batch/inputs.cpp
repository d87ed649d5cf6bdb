// The inputs of a run: read, told apart by content, turned into samples of
// records, and what entry says about their records said where they stand.
#include <algorithm>
#include <cerrno>

#include "batch/batch.h"
#include "batch/inputs.h"
#include "batch/options.h"

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

std::string WhereOf(const InputFile& f, long line) {
  std::string where;
  if (line > 0) {
    AppendAt(where, ShownName(f), line);
  } else {
    where = ShownName(f);
  }
  return where;
}

// Says problems of one input, in one write, and counts them.
void SayProblems(Console& con, const InputFile& file, const std::vector<InputProblem>& problems, Tally& tally) {
  std::string all;
  for (const InputProblem& p : problems) {
    AppendDiagnosis(all, WhereOf(file, p.line), p.what);
    ++(p.refused ? tally.refused : tally.warnings);
  }
  con.err << all;
}

// Turns input `index` into samples of records; says what it refuses. False
// when the input holds no sample or cannot be read as its kind.
bool AddInput(Console& con, const ClassifyOptions& opt, const BlockRules& rules, const InputFile& file, int index,
              RunInputs& inputs, Tally& tally) {
  const bool presence = opt.scale == ScaleKind::kPresence;
  if (!IsSurveyCsv(opt, file)) {
    if (!opt.poolBy.empty()) {
      Diagnose(con.err, WhereOf(file, 0), "--pool-by needs CSV input; the samples are not pooled");
    }
    if (std::all_of(file.text.begin(), file.text.end(),
                    [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; })) {
      Diagnose(con.err, WhereOf(file, 0), "holds no sample");
      return false;
    }
    std::vector<InputProblem> problems;
    // What the typed run would read first: nothing of an input before this one.
    const bool first = std::none_of(inputs.files.begin(), inputs.files.begin() + (index - 1),
                                    [](const InputFile& f) { return !f.noSample; });
    AppendBlockInputs(file.text, rules, index, first, inputs.store, inputs.samples, problems);
    SayProblems(con, file, problems, tally);
    return true;
  }

  CsvTable table;
  std::string error;
  if (!ParseCsv(file.text, table, error)) {
    Diagnose(con.err, WhereOf(file, 0), error);
    return false;
  }
  const SurveyColumns columns = FindSurveyColumns(table.header, opt.poolBy);
  if (columns.sample < 0 || columns.species < 0) {
    Diagnose(con.err, WhereOf(file, 1), "no sample or no species column in the header");
    return false;
  }
  if (columns.cover < 0 && !presence) {
    Diagnose(con.err, WhereOf(file, 1), "no cover column in the header (presence data: use --scale presence)");
    return false;
  }
  if (!opt.poolBy.empty() && columns.pool < 0) {
    Diagnose(con.err, WhereOf(file, 1), "no column " + opt.poolBy + " to pool by");
    return false;
  }
  std::vector<InputProblem> problems;
  std::vector<SurveySample> samples = SurveySamples(table, columns, presence, problems);
  SayProblems(con, file, problems, tally);
  if (columns.pool >= 0) samples = PoolSamples(table, columns, samples);
  if (samples.empty()) {
    Diagnose(con.err, WhereOf(file, 0), "holds no sample");
    return false;
  }
  for (const SurveySample& s : samples) {
    if (s.maxFreq > kMaxFrequency) {
      Diagnose(con.err, WhereOf(file, s.line),
               "sample " + s.name +
                   Fmt(" pools more than %d samples; frequencies are kept to %d", kMaxFrequency, kMaxFrequency));
    }
  }
  AppendSurveyInputs(samples, rules, index, inputs.store, inputs.samples);
  return true;
}

}  // namespace

std::string WhereText(const std::vector<InputFile>& files, const SourcePos& where) {
  if (where.file < 1 || static_cast<size_t>(where.file) > files.size()) return std::string();
  return WhereOf(files[static_cast<size_t>(where.file) - 1], where.line);
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

bool IsSurveyCsv(const ClassifyOptions& opt, const InputFile& file) {
  return opt.input == InputKind::kCsv || (opt.input == InputKind::kAuto && LooksLikeSurveyCsv(file.text));
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
}

void InputReporter::LineProblem(const SourcePos& where, const SampleRecord* rec, const std::string& what,
                                bool refused, bool quoteLine) {
  std::string said = what;
  if (quoteLine && rec != nullptr) {
    said += ": ";
    said += rec->quoted != nullptr ? rec->quoted : "";
  }
  Diagnose(con_.err, WhereText(files_, where), said);
  ++(refused ? tally_.refused : tally_.warnings);
}

void InputReporter::UnknownName(const SampleRecord& rec) {
  std::string written(rec.written.empty() ? std::string_view(rec.key.c_str()) : rec.written);
  auto [it, fresh] = unknownIndex_.emplace(std::make_pair(rec.where.file, written), unknown_.size());
  if (fresh) unknown_.push_back(Unknown{rec.where.file, written, {}});
  unknown_[it->second].lines.push_back(rec.where.line);
  tally_.unknownNames = static_cast<long>(unknown_.size());
}

void InputReporter::SayUnknownNames(const NameResolver& resolver) {
  for (const Unknown& u : unknown_) {
    std::string where = WhereText(files_, SourcePos{u.file, 0});
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
