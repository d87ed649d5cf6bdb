// What is said of the inputs of a run: problems counted by kind (the first ten
// of each said, then how many more), and the names sample entry could not
// place, said once per input at the end with the lines they stand on.
#pragma once

#include <climits>
#include <cstdint>
#include <map>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "console/console.h"
#include "names/resolver.h"
#include "sample/sample.h"
#include "survey/inputs.h"

// "file:line" of a source position (the file alone for line 0; nothing for no file).
std::string WhereText(const std::vector<InputFile>& files, const SourcePos& where);
// A message at a source position, as said (WhereText) and kept: the input as
// given and the line it stands on (none for line 0); `kind` null: by its text.
Message MessageAt(const std::vector<InputFile>& files, const SourcePos& where, std::string what,
                  const char* kind = nullptr);

// Messages counted by kind: the first ten of each kind are said, then how many
// more there were.
class ProblemCounter {
 public:
  static constexpr long kSaidPerKind = 10;
  // `all` (--all-problems): every one of each kind is said.
  explicit ProblemCounter(bool all = false) : limit_(all ? LONG_MAX : kSaidPerKind) {}
  // How many of each kind are said.
  long Limit() const { return limit_; }
  // True when this message is to be said; `kind` null: the text without its
  // numbers and quoted parts.
  bool Take(const std::string& what, const char* kind = nullptr);
  // One line per kind that went past the limit: how many more, like which.
  std::vector<std::string> Beyond() const;

 private:
  struct Kind {
    std::string first;
    long count;
  };
  long limit_;
  std::vector<Kind> kinds_;
  std::map<std::string, size_t> index_;
};

// What sample entry says about the records it takes, said as FILE:LINE: what;
// unknown names are kept and said once per file at the end, with their lines:
// the first ten names with the first hundred lines of each, then how many more.
class InputReporter : public EntryObserver {
 public:
  static constexpr size_t kPlacesShown = 100;
  // `all` (--all-problems): every problem and every unknown name said, each with
  // all its lines.
  InputReporter(Console& con, const std::vector<InputFile>& files, Tally& tally, bool all = false)
      : counter_(all),
        placesShown_(all ? SIZE_MAX : kPlacesShown),
        con_(con),
        files_(files),
        tally_(tally) {}
  void LineProblem(const SourcePos& where, const SampleRecord* rec, const std::string& what, bool refused,
                   bool quoteLine) override;
  void UnknownName(const SampleRecord& rec) override;
  // A record whose name has a note (NoteOfStatus): kept to be said at the end.
  void NotedName(const SampleRecord& rec);
  // The unknown names said, with the lines they stand on and what they may
  // have meant (they were scored as new species); then the names of each
  // noted status with what was done with them.
  void SayUnknownNames(const NameResolver& resolver);
  // How many more of each kind of problem there were past the first ten.
  void SayBeyond();

 private:
  // A name said with its places: the first kPlacesShown of its records.
  struct NamePlaces {
    int file;
    std::string written;
    std::vector<SourcePos> where;
    long records = 0;
  };
  // The names of a kind: the first ProblemCounter::kSaidPerKind, then the
  // others by a hash of file and name.
  struct NamesOfKind {
    std::vector<NamePlaces> said;
    std::map<std::pair<int, std::string>, size_t> index;
    std::unordered_set<uint64_t> beyond;
    long beyondRecords = 0;
  };
  static constexpr uint8_t kUnknownNote = 0;  // unknown names come first
  void Keep(NamesOfKind& kind, const SampleRecord& rec);
  long UnknownCount() const;
  std::string PlacesOf(const NamePlaces& u) const;
  ProblemCounter counter_;  // also how many names of each kind are said
  size_t placesShown_;
  Console& con_;
  const std::vector<InputFile>& files_;
  Tally& tally_;
  std::map<uint8_t, NamesOfKind> names_;  // by note
};
