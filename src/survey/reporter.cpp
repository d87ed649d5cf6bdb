// What is said about the records of a run's inputs: problems counted by kind,
// and what sample entry says about the records it takes, where they stand.
#include <cassert>
#include <cctype>

#include "common/common.h"
#include "survey/reporter.h"

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
  return ++kinds_[it->second].count <= limit_;
}

std::vector<std::string> ProblemCounter::Beyond() const {
  std::vector<std::string> lines;
  for (const Kind& k : kinds_) {
    if (k.count > limit_) {
      lines.push_back(Fmt("%ld more like the first ten of this kind (%ld in all): ", k.count - limit_, k.count) +
                      k.first);
    }
  }
  return lines;
}

Message MessageAt(const std::vector<InputFile>& files, const SourcePos& where, std::string what, const char* kind) {
  Message m;
  m.where = WhereText(files, where);
  m.what = std::move(what);
  if (where.file >= 1 && static_cast<size_t>(where.file) <= files.size()) {
    m.file = files[static_cast<size_t>(where.file) - 1].name;
    if (where.line > 0) m.lines.push_back(where.line);
  }
  if (kind != nullptr) m.kind = kind;
  return m;
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
  SayMessages(con_, {MessageAt(files_, where, said)});
}

void InputReporter::SayBeyond() {
  for (const std::string& more : counter_.Beyond()) Diagnose(con_, "", more);
}

void InputReporter::UnknownName(const SampleRecord& rec) {
  // A genus alone is said as such (NotedName), not again as an unknown name.
  if (rec.nameNote != 0 && StatusOfNote(rec.nameNote) == NameStatus::kGenusOnly) return;
  Keep(names_[kUnknownNote], rec);
  tally_.unknownNames = UnknownCount();
}

void InputReporter::NotedName(const SampleRecord& rec) {
  assert(rec.nameNote != 0);
  NamesOfKind& kind = names_[rec.nameNote];
  const size_t before = kind.said.size() + kind.beyond.size();
  Keep(kind, rec);
  const NameStatus status = StatusOfNote(rec.nameNote);
  // A name read by its short name alone, or as the first of two, is a guess.
  if ((status == NameStatus::kShortName || status == NameStatus::kAmbiguous) &&
      kind.said.size() + kind.beyond.size() > before) {
    ++tally_.warnings;
  }
  tally_.unknownNames = UnknownCount();
}

long InputReporter::UnknownCount() const {
  long n = 0;
  for (const uint8_t note : {kUnknownNote, NoteOfStatus(NameStatus::kGenusOnly)}) {
    const auto it = names_.find(note);
    if (it != names_.end()) n += static_cast<long>(it->second.said.size() + it->second.beyond.size());
  }
  return n;
}

void InputReporter::Keep(NamesOfKind& kind, const SampleRecord& rec) {
  std::string written(rec.written.empty() ? std::string_view(rec.key.c_str()) : rec.written);
  auto it = kind.index.find(std::make_pair(rec.where.file, written));
  if (it == kind.index.end() && kind.said.size() < static_cast<size_t>(counter_.Limit())) {
    it = kind.index.emplace(std::make_pair(rec.where.file, written), kind.said.size()).first;
    kind.said.push_back(NamePlaces{rec.where.file, written, {}});
  }
  if (it == kind.index.end()) {
    kind.beyond.insert(std::hash<std::string>()(written) * 31 + static_cast<uint64_t>(rec.where.file));
    ++kind.beyondRecords;
  } else {
    NamePlaces& u = kind.said[it->second];
    if (u.where.size() < placesShown_) u.where.push_back(rec.where);
    ++u.records;
  }
}

namespace {

// What is said of a name of each kind, and of the names past the first ten.
std::string NameSaid(NameStatus status, const NameMatch& m, const NameResolver& resolver) {
  const std::string reached = m.row == 0 ? std::string() : resolver.CurrentName(m.row);
  switch (status) {
    case NameStatus::kShortName:
      return "is no name of the dictionary; read by its short name as " + reached;
    case NameStatus::kAggregate:
      return "scored as " + reached + ", the entry that covers every name it gives";
    case NameStatus::kAmbiguous: {
      std::string which;
      for (size_t k = 0; k < m.candidates.size(); ++k) {
        which += (k == 0 ? "" : k + 1 == m.candidates.size() ? " or " : ", ") + resolver.CurrentName(m.candidates[k]);
      }
      return "is ambiguous (" + which + "); scored as " + reached;
    }
    case NameStatus::kGenusOnly:
      return "names a genus alone, and the tables have no entry for it; scored as a species the tables do not hold";
    case NameStatus::kNotTaxon: return "is no taxon; left out of scoring and the species counts";
    default: return "";
  }
}

const char* BeyondSaid(NameStatus status) {
  switch (status) {
    case NameStatus::kShortName: return "names read by their short name alone";
    case NameStatus::kAggregate: return "names scored as the entry that covers them";
    case NameStatus::kAmbiguous: return "ambiguous names, each scored as its first";
    case NameStatus::kGenusOnly: return "genera alone without an entry, scored as species the tables do not hold";
    case NameStatus::kNotTaxon: return "records of no taxon, left out,";
    default: return "";
  }
}

}  // namespace

std::string InputReporter::PlacesOf(const NamePlaces& u) const {
  const InputFile& file = files_[static_cast<size_t>(u.file) - 1];
  std::string where = WhereText(files_, SourcePos{u.file, 0});
  std::string places;
  for (const SourcePos& p : u.where) {
    if (p.line <= 0) continue;
    places += places.empty() ? "" : ",";
    places += file.sheet.empty() ? std::to_string(p.line) : CellName(p.line, p.col < 0 ? 0 : p.col);
  }
  if (!places.empty()) where += ":" + (file.sheet.empty() ? std::string() : file.sheet + "!") + places;
  return where;
}

void InputReporter::SayUnknownNames(const NameResolver& resolver) {
  for (const auto& [note, kind] : names_) {
    const bool unknown = note == kUnknownNote;
    const NameStatus status = unknown ? NameStatus::kUnknown : StatusOfNote(note);
    for (const NamePlaces& u : kind.said) {
      std::string what = unknown ? "unknown name \"" + u.written + "\"" : "\"" + u.written + "\"";
      if (u.records > static_cast<long>(u.where.size())) {
        what += Fmt(" (%ld records, the first %zu shown)", u.records, u.where.size());
      }
      if (unknown) {
        what += DidYouMean(resolver.Suggest(u.written));
      } else {
        what += " " + NameSaid(status, resolver.Resolve(u.written), resolver);
      }
      Message m = MessageAt(files_, SourcePos{u.file, 0}, what);
      m.where = PlacesOf(u);
      for (const SourcePos& p : u.where) {
        if (p.line > 0) m.lines.push_back(p.line);
      }
      SayMessages(con_, {std::move(m)});
    }
    if (kind.beyond.empty()) continue;
    if (unknown) {
      Diagnose(con_, "",
               Fmt("%zu more unknown names in %ld records, scored as species the tables do not hold; "
                   "vegmatch names lists every name with what it may have meant",
                   kind.beyond.size(), kind.beyondRecords));
    } else {
      Diagnose(con_, "",
               Fmt("%zu more %s in %ld records; vegmatch names lists every name", kind.beyond.size(),
                   BeyondSaid(status), kind.beyondRecords));
    }
  }
}
