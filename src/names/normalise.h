// Names reduced to the words a lookup reads: folded to ASCII, stripped of
// authorities, qualifiers, infraspecific parts and layer marks; and the
// distance of two names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Diacritics and ligatures folded to ASCII; UTF-8 and Latin-1 input alike.
std::string FoldToAscii(std::string_view text);

// A name reduced to the words a lookup reads: lower-case ASCII, authorities,
// qualifiers (agg., s.l., cf. ...), infraspecific parts (subsp. X ...), layer
// marks ((c), (s), (g)), quotes and punctuation dropped; "sp."/"spp." or a genus
// alone give "genus sp"; a hybrid sign stays as "x".
struct NormalisedName {
  std::vector<std::string> words;
  std::string text;        // the words joined by blanks
  bool aggregate = false;  // written as an aggregate (agg., s.l., sensu lato ...)
};
NormalisedName NormaliseName(std::string_view written);

// The words of a text, split at white space.
std::vector<std::string> SplitWords(const std::string& s);
// The edit distance of a and b; or, once it must exceed `within`, some value above it.
size_t EditDistance(const std::string& a, const std::string& b, size_t within = SIZE_MAX);
