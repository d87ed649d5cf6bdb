// Species names as surveys write them, resolved through the dictionary and the
// other names the tables' sources use.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "names/normalise.h"
#include "refdata/refdata.h"
#include "sample/sample.h"

// How a written name was found, from the surest to none:
//  exact       its full name, as written, is a current name of the dictionary;
//  older-name  it is an older or other name of a dictionary entry (the dictionary's
//              own older names, and the other names the tables list);
//  normalised  its full name, authorities, qualifiers and layer marks left out,
//              is a dictionary name;
//  aggregate   "A/B" or "A agg.": the entry that covers every name it gives;
//  short-name  its short name alone (4 + 4 letters) matches a dictionary entry
//              whose full name differs: a misspelling or another taxon;
//  ambiguous   "A/B" whose names reach different entries and none covers both:
//              scored as the first;
//  genus-only  a genus alone, which the tables hold no entry for;
//  not-a-taxon bare ground, litter, rock and the like: left out;
//  unknown     no entry: scored as a species the tables do not hold.
enum class NameStatus {
  kExact,
  kOlderName,
  kNormalised,
  kAggregate,
  kShortName,
  kAmbiguous,
  kGenusOnly,
  kNotTaxon,
  kUnknown
};
const char* NameStatusWord(NameStatus status);
// The statuses a classification says (with the records' places): the sample
// records carry them as a note (0: nothing to say).
uint8_t NoteOfStatus(NameStatus status);
NameStatus StatusOfNote(uint8_t note);

struct NameMatch {
  NameStatus status;
  int row;  // the dictionary row, 0 when none is reached
  std::vector<std::string> lookupWords;  // the words a block line names it by
  NormalisedName normalised;
  std::vector<int> candidates;  // ambiguous: the rows the names of "A/B" reach, in order
  std::string mappedTo;         // the name the names map gave instead (empty: none)
};

// Resolves written names: through a names map the user gives first, then
// as not-a-taxon words, by full name (the dictionary's and the other names',
// as written or normalised), as "A/B" or an aggregate, as a genus alone, and
// last by the short name (the typed run's lookup key).
class NameResolver {
 public:
  // The folder of the reference files: the association table names the current
  // name of every code it uses (kept by the loaded tables); the other names and
  // the not-a-taxon words are loaded from it (refdata/name_lists.h).
  NameResolver(const RefData& ref, const std::string& folder);
  // The match is kept by the resolver (surveys repeat their names): the
  // reference holds while fewer than kCachedNames other names are resolved
  // (the matches kept are then let go, so that endless names are not held).
  static constexpr size_t kCachedNames = 1 << 18;
  const NameMatch& Resolve(std::string_view written) const;
  // Up to `most` names close to a written name (edit distance on the normalised
  // full name): dictionary names, and other names written "X (older name of Y)";
  // then names of the same genus.
  std::vector<std::string> Suggest(std::string_view written, size_t most = 3) const;
  // The current name of the species of a dictionary row.
  std::string CurrentName(int row) const;
  // The names map: each name as written (trimmed) is resolved as its name to use.
  void SetNamesMap(std::map<std::string, std::string> map);

 private:
  // A full name a written name may equal once normalised: its row, and the
  // name as the list writes it.
  struct FullName {
    int row;
    std::string written;
    bool other;  // one of the other names
  };
  NameMatch ResolveUncached(std::string_view written) const;
  // Every step but the names map; "A/B" too with `alternatives`.
  NameMatch ResolveOne(std::string_view written, bool alternatives) const;
  bool ByFullName(std::string_view written, const std::string& normalised, NameMatch& m) const;
  bool ByAlternatives(std::string_view written, NameMatch& m) const;
  bool ByShortName(NameMatch& m) const;
  void Reach(NameMatch& m, int row, NameStatus status) const;
  bool IsNotTaxon(std::string_view written) const;
  bool IsOlder(int row) const;
  int GenusRow(const std::string& genus) const;
  void ReadCurrentNames() const;
  void ReadSynonyms(const std::string& folder);
  void ReadNotTaxa(const std::string& folder);
  const RefData& ref_;
  std::string folder_;
  // Surveys repeat their names: each written name is resolved once.
  mutable std::unordered_map<std::string, NameMatch> cache_;
  mutable std::string key_;  // the name looked up, without a string made per lookup
  std::map<std::string, FullName> fullNames_;  // by normalised text
  std::map<std::string, std::vector<int>> genusRows_;
  std::map<int, int> rowOfCode_;                   // the row of the current name of each code
  std::map<int, std::string> otherCurrentNames_;   // the other names' current name of a code
  std::set<std::string> notTaxa_;                  // as NotTaxonKey writes them
  std::map<std::string, std::string> namesMap_;
  // The name the association table gives each code it uses, read at the first
  // status asked for.
  mutable std::map<int, std::string> currentNames_;
  mutable bool currentNamesRead_ = false;
};

// " (did you mean A, B or C?)" for the names close to a name; empty for none.
std::string DidYouMean(const std::vector<std::string>& close);
