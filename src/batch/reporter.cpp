// What is said about the records of a run's inputs: problems counted by kind,
// and what sample entry says about the records it takes, where they stand.
#include <cctype>

#include "batch/batch.h"
#include "batch/inputs.h"

namespace {

std::string_view ShownName(const InputFile& f) {
  return f.name == "-" ? std::string_view("(standard input)") : std::string_view(f.name);
}

}  // namespace

std::string WhereText(const std::vector<InputFile>& files, const SourcePos& where) {
  if (where.file < 1 || static_cast<size_t>(where.file) > files.size()) return std::string();
  const InputFile& f = files[static_cast<size_t>(where.file) - 1];
  std::string text;
  if (where.line > 0 && !f.sheet.empty()) {
    text = std::string(ShownName(f)) + ":" + f.sheet + "!" + CellName(where.line, where.col < 0 ? 0 : where.col);
  } else if (where.line > 0) {
    AppendAt(text, ShownName(f), where.line);
  } else {
    text = ShownName(f);
  }
  return text;
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
  auto it = unknownIndex_.find(std::make_pair(rec.where.file, written));
  if (it == unknownIndex_.end() && unknown_.size() < static_cast<size_t>(ProblemCounter::kSaidPerKind)) {
    it = unknownIndex_.emplace(std::make_pair(rec.where.file, written), unknown_.size()).first;
    unknown_.push_back(Unknown{rec.where.file, written, {}});
  }
  if (it == unknownIndex_.end()) {
    beyond_.insert(std::hash<std::string>()(written) * 31 + static_cast<uint64_t>(rec.where.file));
    ++beyondRecords_;
  } else {
    Unknown& u = unknown_[it->second];
    if (u.where.size() < kPlacesShown) u.where.push_back(rec.where);
    ++u.records;
  }
  tally_.unknownNames = static_cast<long>(unknown_.size() + beyond_.size());
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
    if (u.records > static_cast<long>(u.where.size())) {
      what += Fmt(" (%ld records, the first %zu shown)", u.records, u.where.size());
    }
    const std::vector<std::string> close = resolver.Suggest(u.written);
    for (size_t k = 0; k < close.size(); ++k) {
      what += k == 0 ? " (did you mean " : k + 1 == close.size() ? " or " : ", ";
      what += close[k];
    }
    if (!close.empty()) what += "?)";
    Diagnose(con_.err, where, what);
  }
  if (!beyond_.empty()) {
    Diagnose(con_.err, "",
             Fmt("%zu more unknown names in %ld records, scored as species the tables do not hold; "
                 "vegmatch names lists every name with what it may have meant",
                 beyond_.size(), beyondRecords_));
  }
}
