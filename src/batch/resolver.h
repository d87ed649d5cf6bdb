// Species names as surveys write them, resolved through the dictionary.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "refdata/refdata.h"
#include "sample/sample.h"

// Diacritics and ligatures folded to ASCII; UTF-8 and Latin-1 input alike.
std::string FoldToAscii(std::string_view text);

// A name reduced to the words a lookup reads: lower-case ASCII, authorities,
// qualifiers (agg., s.l., cf. ...), infraspecific parts (subsp. X ...), layer
// marks ((c), (s), (g)), quotes and punctuation dropped; "sp."/"spp." or a genus
// alone give "genus sp"; a hybrid sign stays as "x".
struct NormalisedName {
  std::vector<std::string> words;
  std::string text;  // the words joined by blanks
};
NormalisedName NormaliseName(std::string_view written);

enum class NameStatus { kExact, kOlderName, kNormalised, kUnknown };
struct NameMatch {
  NameStatus status;
  int row;  // the dictionary row, 0 when unknown
  std::vector<std::string> lookupWords;  // the words a block line names it by
  NormalisedName normalised;
};

// Resolves written names through the dictionary: as written (the typed run's
// lookup), else by normalised full name (older names and the "= B. x aurata" form
// of hybrids included), else by the lookup key of the normalised words.
class NameResolver {
 public:
  // The folder of the reference files: the association table names the current
  // name of every code it uses, which tells older names apart.
  NameResolver(const RefData& ref, const std::string& folder);
  // The match is kept by the resolver (surveys repeat their names): the
  // reference holds while fewer than kCachedNames other names are resolved
  // (the matches kept are then let go, so that endless names are not held).
  static constexpr size_t kCachedNames = 1 << 18;
  const NameMatch& Resolve(std::string_view written) const;
  // Up to `most` dictionary names close to an unknown name (edit distance on the
  // normalised full name), then names of the same genus.
  std::vector<std::string> Suggest(std::string_view written, size_t most = 3) const;

 private:
  NameMatch ResolveUncached(std::string_view written) const;
  NameMatch ResolveByWords(std::string_view written) const;
  // kOlderName when the association table names the row's code otherwise, else kExact.
  NameStatus OlderOrExact(int row) const;
  void ReadCurrentNames() const;
  const RefData& ref_;
  std::string folder_;
  // Surveys repeat their names: each written name is resolved once.
  mutable std::unordered_map<std::string, NameMatch> cache_;
  mutable std::string key_;  // the name looked up, without a string made per lookup
  std::map<std::string, int> fullNames_;
  std::map<std::string, std::vector<int>> genusRows_;
  // The name the association table gives each code it uses, read at the first
  // status asked for.
  mutable std::map<int, std::string> currentNames_;
  mutable bool currentNamesRead_ = false;
};
