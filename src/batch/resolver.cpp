// Species names as surveys write them: folded to ASCII, stripped of authorities,
// qualifiers, infraspecific parts and layer marks, then resolved through the
// dictionary: by its full names (older names included), then by the lookup key
// of the typed run. Unknown names get suggestions, never silent corrections.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <unordered_map>

#include "batch/batch.h"
#include "batch/resolver.h"

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

// The words of a name that has been folded to ASCII, split at blanks; each word
// keeps its punctuation for the rules below.
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

// The lookup key of the typed run from two words: 4 + blank + 4, lower case.
std::string KeyOf(const std::string& first, const std::string& second) {
  std::string key = LowerAscii(first.substr(0, 4));
  while (key.size() < 4 && !second.empty()) key += ' ';
  if (!second.empty()) key += " " + LowerAscii(second.substr(0, 4));
  return key;
}

// The words a name's reading gives a meaning of their own, each in one list.
enum class WordKind { kPlain, kLayerMark, kQualifier, kRank, kGenusOnly, kAuthorLink };
WordKind KindOf(const std::string& lowerWord) {
  static const std::unordered_map<std::string, WordKind> kKinds = [] {
    std::unordered_map<std::string, WordKind> kinds;
    const auto add = [&kinds](WordKind kind, std::initializer_list<const char*> words) {
      for (const char* w : words) kinds.emplace(w, kind);
    };
    add(WordKind::kLayerMark, {"(c)", "(s)", "(g)", "(f)", "(h)"});
    add(WordKind::kQualifier, {"agg.", "agg", "s.l.", "s.l", "sl", "s.str.", "s.str", "s.s.", "cf.",
                               "cf", "aff.", "aff", "sensu", "lato", "stricto", "sens.", "lat.", "str."});
    add(WordKind::kRank, {"subsp.", "subsp", "ssp.", "ssp", "var.", "var", "f.", "forma", "cv."});
    add(WordKind::kGenusOnly, {"sp.", "sp", "spp.", "spp"});
    add(WordKind::kAuthorLink, {"ex", "&", "et", "in"});
    return kinds;
  }();
  const auto it = kKinds.find(lowerWord);
  return it == kKinds.end() ? WordKind::kPlain : it->second;
}

// The edit distance of a and b; or, once every entry of a row of the table
// exceeds `within` (the rows' least entries never fall), some value above it.
size_t EditDistance(const std::string& a, const std::string& b, size_t within = SIZE_MAX) {
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
  for (size_t i = 0; i < raw.size(); ++i) {
    const std::string& w = raw[i];
    const std::string lw = LowerAscii(w);
    const std::string bare = Letters(w);
    const WordKind kind = KindOf(lw);
    // Layer marks and qualifiers.
    if (kind == WordKind::kLayerMark || kind == WordKind::kQualifier) continue;
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
  for (const std::string& w : words) n.text += (n.text.empty() ? "" : " ") + w;
  return n;
}

namespace {

// The number at the start of the rest of a line, as atoi reads it from the line
// alone: the blanks it skips first do not run on into the next line.
int NumberInLine(std::string_view rest) {
  size_t k = 0;
  while (k < rest.size() && IsSpaceC(rest[k])) ++k;
  return k == rest.size() ? 0 : ReadInt(rest.data() + k);
}

}  // namespace

NameResolver::NameResolver(const RefData& ref, const std::string& folder) : ref_(ref), folder_(folder) {
  // Full names (and the "= B. x aurata" form of a hybrid) as they normalise.
  for (int row = 3; row <= ref.nSpeciesCount; ++row) {
    const std::string full = ref.arrSpecies[row].szFullName;
    const size_t eq = full.find(" = ");
    const std::string main = eq == std::string::npos ? full : full.substr(0, eq);
    const NormalisedName n = NormaliseName(main);
    fullNames_.emplace(n.text, row);
    if (eq != std::string::npos) {
      // The full name as the dictionary writes it, "= B. x aurata" and all.
      fullNames_.emplace(NormaliseName(full).text, row);
      // "B. x aurata": the genus is the one of the main name.
      std::vector<std::string> alias = SplitWords(full.substr(eq + 3));
      if (!alias.empty() && !n.words.empty()) alias[0] = n.words[0];
      std::string joined;
      for (const std::string& a : alias) joined += (joined.empty() ? "" : " ") + a;
      fullNames_.emplace(NormaliseName(joined).text, row);
    }
    genusRows_[n.words.empty() ? std::string() : n.words[0]].push_back(row);
  }
}

// Read when a status first needs them: the results of block files never do.
void NameResolver::ReadCurrentNames() const {
  // The current name of a code is the one the association table uses. The file
  // is read whole and taken line by line; most lines name a code already seen.
  currentNamesRead_ = true;
  std::string text;
  if (!ReadFileText(PathIn(folder_, kAssociationFile), text)) text.clear();
  std::vector<bool> seen(size_t{1} << 16);  // codes of 0..65535 already named
  const std::string_view all(text);
  for (size_t at = 0; at < all.size();) {
    const size_t end = std::min(all.find('\n', at), all.size());
    const std::string_view line = all.substr(at, end - at);
    at = end + 1;
    // unit <tab> code <tab> quant <tab> name [<tab> ...]; the rest of a line
    // whose code was named already is not looked through.
    const size_t t1 = line.find('\t');
    if (t1 == std::string_view::npos) continue;
    const int code = NumberInLine(line.substr(t1 + 1));
    const bool inSeen = code >= 0 && static_cast<size_t>(code) < seen.size();
    if (inSeen ? seen[static_cast<size_t>(code)] : currentNames_.count(code) != 0) continue;
    const size_t t2 = line.find('\t', t1 + 1);
    const size_t t3 = t2 == std::string_view::npos ? t2 : line.find('\t', t2 + 1);
    if (t3 == std::string_view::npos) continue;
    if (inSeen) seen[static_cast<size_t>(code)] = true;
    std::string_view name = line.substr(t3 + 1, line.find('\t', t3 + 1) - t3 - 1);
    if (!name.empty() && name.back() == '\r') name.remove_suffix(1);
    currentNames_.emplace(code, std::string(name));
  }
}

const NameMatch& NameResolver::Resolve(std::string_view written) const {
  key_.assign(written);
  auto it = cache_.find(key_);
  if (it != cache_.end()) return it->second;
  // A survey names a few thousand taxa; an input of endless distinct names
  // must not hold them all.
  if (cache_.size() >= kCachedNames) cache_.clear();
  return cache_.emplace(std::string(written), ResolveUncached(written)).first->second;
}

NameMatch NameResolver::ResolveUncached(std::string_view written) const {
  NameMatch m = ResolveByWords(written);
  // A hyphen lost on the way, as R's syntactic names lose it
  // ("Hyacinthoides.non.scripta"): an unknown name of three words, no hybrid,
  // is tried with its epithet joined by a hyphen.
  if (m.row == 0) {
    const std::vector<std::string> words = SplitWords(std::string(written));
    if (words.size() == 3 && LowerAscii(words[1]) != "x" && LowerAscii(words[2]) != "x") {
      NameMatch hyphened = ResolveByWords(words[0] + " " + words[1] + "-" + words[2]);
      if (hyphened.row != 0) {
        hyphened.status = NameStatus::kNormalised;
        hyphened.normalised = m.normalised;
        return hyphened;
      }
    }
  }
  // Some species share their short name with another (Rumex acetosella and
  // Rumex acetosa are both "rume acet"): a full name of the dictionary names its
  // own entry, whatever entry the short name finds first.
  const auto full = fullNames_.find(m.normalised.text);
  if (full == fullNames_.end() || full->second == m.row) return m;
  const int row = full->second;
  if (m.row != 0 && ref_.arrSpecies[m.row].nSpeciesCode == ref_.arrSpecies[row].nSpeciesCode) {
    return m;
  }
  m.row = row;
  m.lookupWords = SplitWords(ref_.arrSpecies[row].szShortName);
  m.status = Trim(written) == ref_.arrSpecies[row].szFullName ? OlderOrExact(row)
                                                                : NameStatus::kNormalised;
  return m;
}

NameStatus NameResolver::OlderOrExact(int row) const {
  if (!currentNamesRead_) ReadCurrentNames();
  auto it = currentNames_.find(ref_.arrSpecies[row].nSpeciesCode);
  return it != currentNames_.end() && it->second != ref_.arrSpecies[row].szFullName
             ? NameStatus::kOlderName
             : NameStatus::kExact;
}

NameMatch NameResolver::ResolveByWords(std::string_view written) const {
  NameMatch m{NameStatus::kUnknown, 0, {}, NormaliseName(written)};
  const std::vector<std::string> raw = SplitWords(std::string(written));
  auto wordsOf = [&](int row) {
    std::vector<std::string> w = SplitWords(ref_.arrSpecies[row].szShortName);
    return w;
  };
  // As written, the way the typed run looks a name up.
  if (!raw.empty()) {
    const std::string second =
        raw.size() > 1 && std::isdigit(static_cast<unsigned char>(raw[1][0])) == 0 ? raw[1] : "";
    const NormalisedName& n = m.normalised;
    // A hybrid formula or a name that normalises to a different pair of words is
    // not taken from its first two written words.
    const bool plain = n.words.size() >= 2 && n.words[1] != "x" &&
                       std::find(n.words.begin(), n.words.end(), "x") == n.words.end();
    const int row = DictionaryRowOfName(ref_, KeyOf(raw[0], second).c_str());
    if (row >= 3 && row <= ref_.nSpeciesCount && plain &&
        KeyOf(n.words[0], n.words[1]) == KeyOf(raw[0], second)) {
      m.status = OlderOrExact(row);
      m.row = row;
      m.lookupWords = wordsOf(row);
      return m;
    }
  }
  // By full name, then by the key of the normalised words.
  const NormalisedName& n = m.normalised;
  auto full = fullNames_.find(n.text);
  int row = full != fullNames_.end() ? full->second : 0;
  if (row == 0 && n.words.size() >= 2) {
    const bool hybridSpecies = n.words[1] == "x" && n.words.size() >= 3;  // Genus x epithet
    const bool formula = std::find(n.words.begin() + 1, n.words.end(), "x") != n.words.end();
    if (hybridSpecies) {
      row = DictionaryRowOfName(ref_, KeyOf(n.words[0], n.words[2]).c_str());
    } else if (!formula) {
      row = DictionaryRowOfName(ref_, KeyOf(n.words[0], n.words[1]).c_str());
    }
    if (row > ref_.nSpeciesCount) row = 0;  // a name typed earlier in the run is no match
  }
  if (row >= 3) {
    m.status = NameStatus::kNormalised;
    m.row = row;
    m.lookupWords = wordsOf(row);
    return m;
  }
  // Unknown: two words that stay distinct, a hybrid formula included.
  if (!n.words.empty()) {
    m.lookupWords.push_back(n.words[0]);
    if (n.words.size() >= 2) {
      const auto x = std::find(n.words.begin() + 1, n.words.end(), "x");
      if (x != n.words.end() && x + 1 != n.words.end()) {
        m.lookupWords.push_back("x" + n.words[1] + (n.words[1] == "x" ? *(x + 1) : std::string()));
      } else {
        m.lookupWords.push_back(n.words[1]);
      }
    }
  }
  return m;
}

std::vector<std::string> NameResolver::Suggest(std::string_view written, size_t most) const {
  const NormalisedName n = NormaliseName(written);
  if (n.text.empty()) return {};
  std::vector<std::pair<size_t, int>> scored;
  const size_t limit = std::max<size_t>(2, n.text.size() / 4);
  for (const auto& [name, row] : fullNames_) {
    // The lengths alone put most names out of reach.
    const size_t gap = name.size() > n.text.size() ? name.size() - n.text.size() : n.text.size() - name.size();
    if (gap > limit) continue;
    const size_t d = EditDistance(n.text, name, limit);
    if (d <= limit) scored.push_back({d, row});
  }
  // Names of the same genus, after the close ones.
  auto genus = genusRows_.find(n.words.empty() ? std::string() : n.words[0]);
  if (genus != genusRows_.end()) {
    for (int row : genus->second) {
      const std::string full = ref_.arrSpecies[row].szFullName;
      scored.push_back({limit + 1 + EditDistance(n.text, NormaliseName(full).text), row});
    }
  }
  std::sort(scored.begin(), scored.end());
  std::vector<std::string> out;
  for (const auto& [d, row] : scored) {
    std::string full = ref_.arrSpecies[row].szFullName;
    if (std::find(out.begin(), out.end(), full) == out.end()) out.push_back(full);
    if (out.size() == most) break;
  }
  return out;
}
