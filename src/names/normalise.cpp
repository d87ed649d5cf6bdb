// Names reduced to the words a lookup reads: folded to ASCII, stripped of
// authorities, qualifiers, infraspecific parts and layer marks.
#include <algorithm>
#include <cctype>
#include <unordered_map>

#include "common/common.h"
#include "names/normalise.h"

namespace {

// ASCII for a Latin-1 code point (U+00C0..U+00FF), ligatures and the hybrid sign.
std::string AsciiOf(unsigned cp) {
  static const char* const kLatin1[64] = {
      "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",   // C0
      "D", "N", "O", "O", "O", "O", "O",  "x", "O", "U", "U", "U", "U", "Y", "TH", "ss", // D0
      "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i", "i",   // E0
      "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y",  // F0
  };
  if (cp < 0x80) return std::string(1, static_cast<char>(cp));
  if (cp >= 0xC0 && cp <= 0xFF) return kLatin1[cp - 0xC0];
  switch (cp) {
    case 0x152: return "OE";
    case 0x153: return "oe";
    case 0x160: return "S";
    case 0x161: return "s";
    case 0x17D: return "Z";
    case 0x17E: return "z";
    case 0x2018: case 0x2019: return "'";
    case 0x201C: case 0x201D: return "\"";
    case 0xA0: return " ";
    default: return "";  // other symbols carry nothing a name lookup reads
  }
}


// Letters, digits and hyphens of a word, lower case.
std::string Letters(const std::string& w) {
  std::string out;
  for (char c : w) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-') {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

// The words a name's reading gives a meaning of their own, each in one list.
enum class WordKind { kPlain, kLayerMark, kQualifier, kAggregate, kRank, kGenusOnly, kAuthorLink };
WordKind KindOf(const std::string& lowerWord) {
  static const std::unordered_map<std::string, WordKind> kKinds = [] {
    std::unordered_map<std::string, WordKind> kinds;
    const auto add = [&kinds](WordKind kind, std::initializer_list<const char*> words) {
      for (const char* w : words) kinds.emplace(w, kind);
    };
    add(WordKind::kLayerMark, {"(c)", "(s)", "(g)", "(f)", "(h)"});
    add(WordKind::kAggregate, {"agg.", "agg", "s.l.", "s.l", "sl", "sens.lat.", "lato", "lat."});
    add(WordKind::kQualifier, {"s.str.", "s.str", "s.s.", "cf.", "cf", "aff.", "aff", "sensu", "stricto", "sens.",
                               "str."});
    add(WordKind::kRank, {"subsp.", "subsp", "ssp.", "ssp", "var.", "var", "f.", "forma", "cv."});
    add(WordKind::kGenusOnly, {"sp.", "sp", "spp.", "spp"});
    add(WordKind::kAuthorLink, {"ex", "&", "et", "in"});
    return kinds;
  }();
  const auto it = kKinds.find(lowerWord);
  return it == kKinds.end() ? WordKind::kPlain : it->second;
}


}  // namespace

std::string FoldToAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {  // ASCII stands for itself
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    unsigned cp = c;
    size_t len = 1;
    // A well-formed UTF-8 sequence is one character; any other byte is Latin-1.
    if (c >= 0xC2 && c <= 0xDF && i + 1 < text.size() && (text[i + 1] & 0xC0) == 0x80) {
      cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3Fu);
      len = 2;
    } else if (c >= 0xE0 && c <= 0xEF && i + 2 < text.size() && (text[i + 1] & 0xC0) == 0x80 &&
               (text[i + 2] & 0xC0) == 0x80) {
      cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
           (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
      len = 3;
    }
    out += AsciiOf(cp);
    i += len;
  }
  return out;
}

NormalisedName NormaliseName(std::string_view written) {
  const std::vector<std::string> raw = SplitWords(FoldToAscii(written));
  std::vector<std::string> words;
  bool authority = false;  // after the epithet, capitalised words are an author
  bool aggregate = false;
  for (size_t i = 0; i < raw.size(); ++i) {
    const std::string& w = raw[i];
    const std::string lw = LowerAscii(w);
    const std::string bare = Letters(w);
    const WordKind kind = KindOf(lw);
    // Layer marks and qualifiers.
    if (kind == WordKind::kLayerMark || kind == WordKind::kQualifier) continue;
    if (kind == WordKind::kAggregate) {
      aggregate = true;
      continue;
    }
    // Infraspecific ranks drop the name after them too.
    if (kind == WordKind::kRank) {
      ++i;
      continue;
    }
    if (kind == WordKind::kGenusOnly) {
      if (words.size() == 1) words.push_back("sp");
      authority = true;
      continue;
    }
    // The hybrid sign stays, so that a hybrid never reads as one of its parents.
    if (lw == "x" || w == "\xC3\x97" || bare == "x") {
      if (!words.empty()) words.push_back("x");
      continue;
    }
    if (bare.empty()) continue;  // quotes, stray punctuation
    if (kind == WordKind::kAuthorLink && words.size() >= 2) {
      authority = true;
      continue;
    }
    const bool capital = std::isupper(static_cast<unsigned char>(w[0])) != 0;
    const bool parenthesis = w[0] == '(';
    if (words.size() >= 2 && words.back() != "x" && (capital || parenthesis || authority)) {
      authority = true;
      continue;
    }
    if (words.size() == 1 && (parenthesis || (capital && w.back() == '.'))) {
      // "Genus (Author)" or "Genus L.": nothing of the name follows.
      authority = true;
      continue;
    }
    if (authority) continue;
    words.push_back(bare);
  }
  if (words.size() == 1) words.push_back("sp");  // a genus alone is the genus entry
  NormalisedName n;
  n.words = words;
  n.aggregate = aggregate;
  for (const std::string& w : words) n.text += (n.text.empty() ? "" : " ") + w;
  return n;
}

std::vector<std::string> SplitWords(const std::string& s) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) != 0) ++i;
    const size_t start = i;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])) == 0) ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

size_t EditDistance(const std::string& a, const std::string& b, size_t within) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    size_t least = row[0];
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t up = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = up;
      least = std::min(least, row[j]);
    }
    if (least > within) return least;
  }
  return row[b.size()];
}
