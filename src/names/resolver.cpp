// Species names as surveys write them, resolved through the dictionary and the
// other names the tables list: by full name first, then as "A/B", aggregates and
// genera, and only last by the short name the typed run looks names up by, which
// is said. Unknown names get suggestions, never silent corrections.
#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstdint>
#include <unordered_map>

#include "common/common.h"
#include "names/resolver.h"
#include "refdata/name_lists.h"

namespace {

// The lookup key of the typed run from two words: 4 + blank + 4, lower case.
std::string KeyOf(const std::string& first, const std::string& second) {
  std::string key = LowerAscii(first.substr(0, 4));
  while (key.size() < 4 && !second.empty()) key += ' ';
  if (!second.empty()) key += " " + LowerAscii(second.substr(0, 4));
  return key;
}

// What a not-a-taxon word is known by: its words of letters, lower case, each
// without a plural "s"; words in parentheses ("Bare ground (%)") left out.
std::string NotTaxonKey(std::string_view written) {
  const std::string folded = LowerAscii(FoldToAscii(written));
  std::string key;
  std::string word;
  int depth = 0;
  const auto flush = [&key, &word] {
    if (word.size() > 3 && word.back() == 's' && word[word.size() - 2] != 's') word.pop_back();
    if (!word.empty()) key += (key.empty() ? "" : " ") + word;
    word.clear();
  };
  for (const char c : folded) {
    if (c == '(' || c == ')') {
      depth += c == '(' ? 1 : depth > 0 ? -1 : 0;
      flush();
    } else if (depth == 0 && std::isalpha(static_cast<unsigned char>(c)) != 0) {
      word += c;
    } else {
      flush();
    }
  }
  flush();
  return key;
}

std::string Joined(const std::vector<std::string>& words) {
  std::string out;
  for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
  return out;
}

}  // namespace

const char* NameStatusWord(NameStatus status) {
  switch (status) {
    case NameStatus::kExact: return "exact";
    case NameStatus::kOlderName: return "older-name";
    case NameStatus::kNormalised: return "normalised";
    case NameStatus::kAggregate: return "aggregate";
    case NameStatus::kShortName: return "short-name";
    case NameStatus::kAmbiguous: return "ambiguous";
    case NameStatus::kGenusOnly: return "genus-only";
    case NameStatus::kNotTaxon: return "not-a-taxon";
    case NameStatus::kUnknown: break;
  }
  return "unknown";
}

uint8_t NoteOfStatus(NameStatus status) {
  switch (status) {
    case NameStatus::kAggregate:
    case NameStatus::kShortName:
    case NameStatus::kAmbiguous:
    case NameStatus::kGenusOnly:
    case NameStatus::kNotTaxon: return static_cast<uint8_t>(static_cast<int>(status) + 1);
    default: return 0;
  }
}

NameStatus StatusOfNote(uint8_t note) {
  assert(note > 0 && note <= static_cast<uint8_t>(NameStatus::kUnknown) + 1);
  return static_cast<NameStatus>(note - 1);
}

std::string DidYouMean(const std::vector<std::string>& close) {
  std::string said;
  for (size_t k = 0; k < close.size(); ++k) {
    said += k == 0 ? " (did you mean " : k + 1 == close.size() ? " or " : ", ";
    said += close[k];
  }
  return close.empty() ? said : said + "?)";
}

NameResolver::NameResolver(const RefData& ref, const std::string& folder) : ref_(ref), folder_(folder) {
  // Full names (and the "= B. x aurata" form of a hybrid) as they normalise.
  for (int row = 3; row <= ref.nSpeciesCount; ++row) {
    const std::string full = ref.arrSpecies[row].szFullName;
    rowOfCode_.emplace(ref.arrSpecies[row].nSpeciesCode, row);
    const size_t eq = full.find(" = ");
    const std::string main = eq == std::string::npos ? full : full.substr(0, eq);
    const NormalisedName n = NormaliseName(main);
    const FullName entry{row, full, false};
    fullNames_.emplace(n.text, entry);
    if (eq != std::string::npos) {
      // The full name as the dictionary writes it, "= B. x aurata" and all.
      fullNames_.emplace(NormaliseName(full).text, entry);
      // "B. x aurata": the genus is the one of the main name.
      std::vector<std::string> alias = SplitWords(full.substr(eq + 3));
      if (!alias.empty() && !n.words.empty()) alias[0] = n.words[0];
      fullNames_.emplace(NormaliseName(Joined(alias)).text, entry);
    }
    genusRows_[n.words.empty() ? std::string() : n.words[0]].push_back(row);
  }
  ReadSynonyms(folder);
  ReadNotTaxa(folder);
}

// The other names the tables list (name, code, current name). A name is read
// by its full name; where it normalises as a dictionary name does, the
// dictionary's name is the one kept.
void NameResolver::ReadSynonyms(const std::string& folder) {
  const std::vector<SynonymLine> lines = LoadSynonyms(folder);
  for (const SynonymLine& l : lines) {
    const int c = std::atoi(l.code.c_str());
    if (rowOfCode_.count(c) == 0) continue;  // no species of the dictionary
    otherCurrentNames_.emplace(c, l.currentName);
    // The row scored for the code is the one of its current name.
    const auto cur = fullNames_.find(NormaliseName(l.currentName).text);
    if (cur != fullNames_.end() && ref_.arrSpecies[cur->second.row].nSpeciesCode == c) {
      rowOfCode_[c] = cur->second.row;
    }
  }
  for (const SynonymLine& l : lines) {
    const auto row = rowOfCode_.find(std::atoi(l.code.c_str()));
    if (row == rowOfCode_.end()) continue;
    fullNames_.emplace(NormaliseName(l.name).text, FullName{row->second, l.name, true});
  }
}

// The not-a-taxon words the tables list ("bare ground"), as NotTaxonKey writes them.
void NameResolver::ReadNotTaxa(const std::string& folder) {
  for (const std::string& line : LoadNotTaxonWords(folder)) notTaxa_.insert(NotTaxonKey(line));
}

// Made when a status first needs them: the results of block files never do.
void NameResolver::ReadCurrentNames() const {
  // The current name of a code is the one the association table uses: the
  // fourth field of the first line of the code that the loader took and that
  // has one.
  currentNamesRead_ = true;
  const AssociationText& kept = ref_.association;
  for (int u = 1; u <= ref_.nSpeciesTableCount; ++u) {
    const AssociationLineText& line = kept.lines[static_cast<size_t>(u)];
    if (!line.usable || line.fields < 4) continue;
    currentNames_.try_emplace(ref_.arrTbNVCToSpeciesJoinTable[static_cast<size_t>(u)].nSpeciesCode,
                              std::string(kept.Name(u)));
  }
}

std::string NameResolver::CurrentName(int row) const {
  assert(row >= 3 && row <= ref_.nSpeciesCount);
  if (!currentNamesRead_) ReadCurrentNames();
  const int code = ref_.arrSpecies[row].nSpeciesCode;
  if (auto it = currentNames_.find(code); it != currentNames_.end()) return it->second;
  if (auto it = otherCurrentNames_.find(code); it != otherCurrentNames_.end()) return it->second;
  return ref_.arrSpecies[row].szFullName;
}

bool NameResolver::IsOlder(int row) const { return CurrentName(row) != ref_.arrSpecies[row].szFullName; }

void NameResolver::SetNamesMap(std::map<std::string, std::string> map) {
  namesMap_ = std::move(map);
  cache_.clear();
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
  if (!namesMap_.empty()) {
    const auto mapped = namesMap_.find(Trim(written));
    if (mapped != namesMap_.end()) {
      NameMatch m = ResolveOne(mapped->second, true);
      m.mappedTo = mapped->second;
      return m;
    }
  }
  return ResolveOne(written, true);
}

void NameResolver::Reach(NameMatch& m, int row, NameStatus status) const {
  m.row = row;
  m.status = status;
  m.lookupWords = SplitWords(ref_.arrSpecies[row].szShortName);
}

bool NameResolver::IsNotTaxon(std::string_view written) const {
  return !notTaxa_.empty() && notTaxa_.count(NotTaxonKey(written)) != 0;
}

int NameResolver::GenusRow(const std::string& genus) const {
  const auto it = fullNames_.find(genus + " sp");
  return it == fullNames_.end() ? 0 : it->second.row;
}

NameMatch NameResolver::ResolveOne(std::string_view written, bool alternatives) const {
  NameMatch m{NameStatus::kUnknown, 0, {}, NormaliseName(written), {}, {}};
  if (IsNotTaxon(written)) {
    m.status = NameStatus::kNotTaxon;
    return m;
  }
  // "A/B" is a full name only where a list writes it so (normalising drops "/ Q. petraea").
  const bool slash = alternatives && written.find('/') != std::string_view::npos;
  if (ByFullName(written, m.normalised.text, m)) {
    if (!slash || fullNames_.at(m.normalised.text).written.find('/') != std::string::npos) return m;
    m.row = 0;
    m.status = NameStatus::kUnknown;
    m.lookupWords.clear();
  }
  if (slash && ByAlternatives(written, m)) return m;
  // A hyphen lost on the way, as R's syntactic names lose it
  // ("Hyacinthoides.non.scripta"): a name of three words, no hybrid, is tried
  // with its epithet joined by a hyphen.
  const std::vector<std::string> words = SplitWords(std::string(written));
  if (words.size() == 3 && LowerAscii(words[1]) != "x" && LowerAscii(words[2]) != "x") {
    const std::string hyphened = words[0] + " " + words[1] + "-" + words[2];
    if (ByFullName(hyphened, NormaliseName(hyphened).text, m)) {
      if (m.status == NameStatus::kExact) m.status = NameStatus::kNormalised;
      return m;
    }
  }
  const NormalisedName& n = m.normalised;
  const bool genusAlone = n.words.size() == 2 && n.words[1] == "sp";
  if (genusAlone) {
    // The genus has no entry (its entry is a full name): a new species, said.
    if (genusRows_.count(n.words[0]) != 0) m.status = NameStatus::kGenusOnly;
    m.lookupWords = n.words;
    return m;
  }
  if (n.aggregate && n.words.size() >= 2) {
    // An aggregate the dictionary does not name: its genus covers it.
    const int genus = GenusRow(n.words[0]);
    if (genus != 0) {
      Reach(m, genus, NameStatus::kAggregate);
      return m;
    }
  }
  if (ByShortName(m)) return m;
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

bool NameResolver::ByFullName(std::string_view written, const std::string& normalised, NameMatch& m) const {
  const auto it = fullNames_.find(normalised);
  if (it == fullNames_.end()) return false;
  const FullName& f = it->second;
  if (f.other || IsOlder(f.row)) {
    Reach(m, f.row, NameStatus::kOlderName);
  } else {
    Reach(m, f.row, Trim(written) == f.written ? NameStatus::kExact : NameStatus::kNormalised);
  }
  return true;
}

// "Genus a/b", "Genus a / G. b", "Genus a/Genus b": each name is resolved; the
// entry they all reach, or their genus's entry, covers them; else the first is
// taken and the name is ambiguous.
bool NameResolver::ByAlternatives(std::string_view written, NameMatch& m) const {
  std::vector<std::string> names;
  std::string genus;
  for (size_t at = 0; at <= written.size();) {
    const size_t end = std::min(written.find('/', at), written.size());
    std::vector<std::string> w = SplitWords(std::string(written.substr(at, end - at)));
    at = end + 1;
    if (w.empty()) continue;
    if (names.empty()) {
      genus = w[0];
    } else if (std::isupper(static_cast<unsigned char>(w[0][0])) == 0) {
      w.insert(w.begin(), genus);  // an epithet alone
    } else if (w[0].size() <= 2 || w[0].back() == '.') {
      w[0] = genus;  // "Q. petraea"
    }
    names.push_back(Joined(w));
  }
  if (names.size() < 2) return false;
  std::vector<int> codes;
  bool allReached = true;
  bool oneGenus = true;
  const std::string firstGenus = NormaliseName(names[0]).words.empty() ? "" : NormaliseName(names[0]).words[0];
  for (const std::string& name : names) {
    const NameMatch a = ResolveOne(name, false);
    oneGenus = oneGenus && !a.normalised.words.empty() && a.normalised.words[0] == firstGenus;
    if (a.row == 0) {
      allReached = false;
      continue;
    }
    const int code = ref_.arrSpecies[a.row].nSpeciesCode;
    if (std::none_of(m.candidates.begin(), m.candidates.end(),
                     [&](int r) { return ref_.arrSpecies[r].nSpeciesCode == code; })) {
      m.candidates.push_back(a.row);
      codes.push_back(code);
    }
  }
  if (m.candidates.empty()) return false;
  if (allReached && m.candidates.size() == 1) {
    Reach(m, m.candidates[0], NameStatus::kNormalised);
    m.candidates.clear();
    return true;
  }
  const int genusRow = oneGenus ? GenusRow(firstGenus) : 0;
  if (genusRow != 0) {
    Reach(m, genusRow, NameStatus::kAggregate);
    m.candidates.clear();
    return true;
  }
  Reach(m, m.candidates[0], NameStatus::kAmbiguous);
  return true;
}

bool NameResolver::ByShortName(NameMatch& m) const {
  const NormalisedName& n = m.normalised;
  if (n.words.size() < 2) return false;
  const bool hybridSpecies = n.words[1] == "x" && n.words.size() >= 3;  // Genus x epithet
  const bool formula = std::find(n.words.begin() + 1, n.words.end(), "x") != n.words.end();
  int row = 0;
  if (hybridSpecies) {
    row = DictionaryRowOfName(ref_, KeyOf(n.words[0], n.words[2]).c_str());
  } else if (!formula) {
    row = DictionaryRowOfName(ref_, KeyOf(n.words[0], n.words[1]).c_str());
  }
  // A name typed earlier in the run is no match.
  if (row < 3 || row > ref_.nSpeciesCount) return false;
  Reach(m, row, NameStatus::kShortName);
  return true;
}

std::vector<std::string> NameResolver::Suggest(std::string_view written, size_t most) const {
  const NormalisedName n = NormaliseName(written);
  if (n.text.empty()) return {};
  struct Scored {
    size_t distance;
    int row;
    std::string shown;
    bool operator<(const Scored& o) const {
      return distance != o.distance ? distance < o.distance : row != o.row ? row < o.row : shown < o.shown;
    }
  };
  const auto shownAs = [this](const std::string& name, int row, bool other) {
    return other || name != CurrentName(row) ? name + " (older name of " + CurrentName(row) + ")" : name;
  };
  std::vector<Scored> scored;
  const size_t limit = std::max<size_t>(2, n.text.size() / 4);
  for (const auto& [name, f] : fullNames_) {
    // The lengths alone put most names out of reach.
    const size_t gap = name.size() > n.text.size() ? name.size() - n.text.size() : n.text.size() - name.size();
    if (gap > limit) continue;
    const size_t d = EditDistance(n.text, name, limit);
    if (d <= limit) scored.push_back({d, f.row, shownAs(f.written, f.row, f.other)});
  }
  // Names of the same genus, after the close ones.
  auto genus = genusRows_.find(n.words.empty() ? std::string() : n.words[0]);
  if (genus != genusRows_.end()) {
    for (int row : genus->second) {
      const std::string full = ref_.arrSpecies[row].szFullName;
      scored.push_back({limit + 1 + EditDistance(n.text, NormaliseName(full).text), row, shownAs(full, row, false)});
    }
  }
  std::sort(scored.begin(), scored.end());
  std::vector<std::string> out;
  for (const Scored& s : scored) {
    if (std::find(out.begin(), out.end(), s.shown) == out.end()) out.push_back(s.shown);
    if (out.size() == most) break;
  }
  return out;
}
