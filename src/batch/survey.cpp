// Surveys in any input: the columns of a survey CSV, its samples in order of
// first appearance, pooling, and the sample blocks that sample entry reads.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <thread>

#include "batch/batch.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VM_BLOCK_SCAN 1
#else
#define VM_BLOCK_SCAN 0
#endif

namespace {

constexpr int kWordKept = 20;  // a lookup reads 4 characters of a word; keep lines short
constexpr size_t kLongestNumber = 12;  // characters of a cover or frequency field

// A column name as it is matched: folded to ASCII, trimmed, lower case, blanks
// and hyphens as "_".
std::string ColumnKey(std::string_view name) {
  std::string key;
  for (char c : Trim(FoldToAscii(name))) {
    if (c == ' ' || c == '-') c = '_';
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return key;
}

const std::initializer_list<const char*> kSampleNames = {
    "sample", "sample_name", "sample_id", "quadrat", "quadrat_id", "plot", "plot_id",
    "releve", "site_id"};
const std::initializer_list<const char*> kSpeciesNames = {
    "species", "species_name", "taxon", "name", "taxon_name", "scientific_name"};
const std::initializer_list<const char*> kCoverNames = {"cover", "cover_value", "abundance",
                                                        "value", "domin", "percent"};
const std::initializer_list<const char*> kFrequencyNames = {"frequency", "freq"};

std::string Field(const CsvRow& row, int column) {
  if (column < 0 || static_cast<size_t>(column) >= row.fields.size()) return std::string();
  return Trim(row.fields[static_cast<size_t>(column)]);
}

// The words of a name, without "*" (which would read as a marker).
std::vector<std::string> NameWords(const std::string& name) {
  std::vector<std::string> words;
  std::string word;
  for (char c : name + " ") {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) {
      if (!word.empty()) words.push_back(word.substr(0, kWordKept));
      word.clear();
    } else if (c != '*') {
      word += c;
    }
  }
  return words;
}

// A cover as sample entry reads it: one token, a decimal comma as a point.
std::string CoverToken(const std::string& cover) {
  std::string token;
  for (char c : cover) {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) continue;
    token += c == ',' ? '.' : c;
  }
  return token;
}

// A species key for pooling: the first two words, lower case.
std::string PoolKey(const std::string& species) {
  std::vector<std::string> words = NameWords(species);
  std::string key;
  for (size_t i = 0; i < words.size() && i < 2; ++i) {
    if (i > 0) key += ' ';
    for (char c : words[i]) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return key;
}

// What the tables say of a line of the block text: where it comes from, the
// name as written, the line as the input holds it (where it differs) and the
// dictionary row its name resolved to.
void AddLineSource(BlockText& out, int file, long source, std::string_view written = {},
                   std::string_view original = {}, int row = 0) {
  out.sourceFile.push_back(file);
  out.sourceLine.push_back(source);
  out.writtenName.push_back(written);
  out.sourceText.push_back(original);
  out.resolvedRow.push_back(row);
}

void AddLine(BlockText& out, std::string_view line, int file, long source, std::string_view written = {},
             std::string_view original = {}, int row = 0) {
  out.text.append(line.data(), line.size());
  out.text.push_back('\n');
  AddLineSource(out, file, source, written, original, row);
}

// Where a cover written with a decimal comma ("0,5", "12,5") has its comma, or
// npos: sample entry reads the number only up to the comma (0 and 12), so the
// line is given a decimal point, as a CSV cover is.
size_t DecimalComma(std::string_view t) {
  size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  size_t comma = std::string_view::npos;
  bool digit = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') {
      digit = true;
    } else if (t[i] == ',' && comma == std::string_view::npos) {
      comma = i;
    } else {
      return std::string_view::npos;
    }
  }
  return digit ? comma : std::string_view::npos;
}

// A token sample entry reads as a number (a cover or a frequency).
bool Numeric(std::string_view t) {
  size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
  return i < t.size() && ((t[i] >= '0' && t[i] <= '9') || t[i] == '.');
}

// The words a block line names a species by, and the dictionary row they stand
// for when the resolver found one.
std::string LookupWords(const BlockRules& rules, std::string_view written, int* row = nullptr) {
  std::string line;
  const auto add = [&line](const std::string& word) {
    if (!line.empty()) line += ' ';
    line.append(word, 0, kWordKept);
  };
  if (rules.resolver != nullptr) {
    const NameMatch& m = rules.resolver->Resolve(written);
    for (const std::string& w : m.lookupWords) add(w);
    if (row != nullptr) *row = m.row;
  } else {
    const std::vector<std::string> words = NameWords(std::string(written));
    for (size_t i = 0; i < words.size() && i < 2; ++i) add(words[i]);
  }
  return line;
}

}  // namespace

SurveyColumns FindSurveyColumns(const std::vector<std::string>& header, const std::string& poolBy) {
  SurveyColumns c;
  const std::string pool = ColumnKey(poolBy);
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string key = ColumnKey(header[i]);
    const int col = static_cast<int>(i);
    if (!pool.empty() && key == pool && c.pool < 0) {
      c.pool = col;
      continue;
    }
    if (c.sample < 0 && IsOneOf(key, kSampleNames)) c.sample = col;
    else if (c.species < 0 && IsOneOf(key, kSpeciesNames)) c.species = col;
    else if (c.cover < 0 && IsOneOf(key, kCoverNames)) c.cover = col;
    else if (c.frequency < 0 && IsOneOf(key, kFrequencyNames)) c.frequency = col;
  }
  return c;
}

bool LooksLikeSurveyCsv(std::string_view firstLine) {
  if (firstLine.substr(0, 3) == "\xEF\xBB\xBF") firstLine.remove_prefix(3);
  // The header is the first line that holds anything.
  while (!firstLine.empty() && (firstLine[0] == '\n' || firstLine[0] == '\r')) firstLine.remove_prefix(1);
  const size_t end = firstLine.find_first_of("\r\n");
  if (end != std::string_view::npos) firstLine = firstLine.substr(0, end);
  if (DetectDelimiter(firstLine) == 0) return false;
  CsvTable t;
  std::string error;
  if (!ParseCsv(firstLine, t, error)) return false;
  const SurveyColumns c = FindSurveyColumns(t.header, std::string());
  return c.sample >= 0 && c.species >= 0;
}

std::vector<SurveySample> SurveySamples(const CsvTable& table, const SurveyColumns& columns,
                                        bool presence, std::vector<InputProblem>& problems) {
  std::vector<SurveySample> samples;
  std::map<std::string, size_t> index;
  for (const CsvRow& row : table.rows) {
    const std::string name = Field(row, columns.sample);
    SurveyRecord rec{Field(row, columns.species), Field(row, columns.cover),
                     Field(row, columns.frequency), row.line};
    if (name.empty()) {
      problems.push_back({row.line, "no sample name; the row is left out", true});
      continue;
    }
    if (NameWords(rec.species).empty()) {
      problems.push_back({row.line, "no species name; the row is left out", true});
      continue;
    }
    // Longer than any number sample entry reads: a block line must stay within
    // kLineWidth characters, and such a field is no cover or frequency anyway.
    if (CoverToken(rec.cover).size() > kLongestNumber || CoverToken(rec.frequency).size() > kLongestNumber) {
      problems.push_back({row.line, "the cover or frequency is too long to be a number; the row is left out", true});
      continue;
    }
    if (rec.cover.empty() && !presence) {
      problems.push_back(
          {row.line, "no cover; the row is left out (presence data: use --scale presence)", true});
      continue;
    }
    auto [it, added] = index.emplace(name, samples.size());
    if (added) samples.push_back(SurveySample{name, row.line, 0, {}});
    samples[it->second].records.push_back(std::move(rec));
  }
  // A frequency column makes frequency data; the largest frequency given is the
  // maximum frequency of the sample.
  for (SurveySample& s : samples) {
    for (const SurveyRecord& r : s.records) {
      if (!r.frequency.empty()) s.maxFreq = std::max(s.maxFreq, std::max(1, std::atoi(r.frequency.c_str())));
    }
  }
  return samples;
}

std::vector<SurveySample> PoolSamples(const CsvTable& table, const SurveyColumns& columns,
                                      const std::vector<SurveySample>& samples) {
  // The group of a sample is the pooling value of its first row.
  std::map<long, std::string> groupOfLine;
  for (const CsvRow& row : table.rows) groupOfLine[row.line] = Field(row, columns.pool);

  struct Species {
    std::string name;
    long line;
    int samples = 0;
    double coverSum = 0;
    int covers = 0;
  };
  struct Group {
    SurveySample pooled;
    std::vector<Species> species;
    std::map<std::string, size_t> index;
  };
  std::vector<Group> groups;
  std::map<std::string, size_t> groupIndex;
  for (const SurveySample& s : samples) {
    const std::string group = groupOfLine[s.line];
    auto [git, added] = groupIndex.emplace(group, groups.size());
    if (added) groups.push_back(Group{SurveySample{group, s.line, 0, {}}, {}, {}});
    Group& g = groups[git->second];
    ++g.pooled.maxFreq;
    std::map<std::string, bool> seen;
    for (const SurveyRecord& r : s.records) {
      const std::string key = PoolKey(r.species);
      auto [sit, fresh] = g.index.emplace(key, g.species.size());
      if (fresh) g.species.push_back(Species{r.species, r.line});
      Species& sp = g.species[sit->second];
      if (!seen[key]) {
        seen[key] = true;
        ++sp.samples;
      }
      if (!r.cover.empty()) {
        sp.coverSum += std::strtod(CoverToken(r.cover).c_str(), nullptr);
        ++sp.covers;
      }
    }
  }
  std::vector<SurveySample> pooled;
  for (Group& g : groups) {
    // A frequency sample holds at most kMaxFrequency: larger groups keep their
    // relative frequencies on that scale.
    const int samplesPooled = g.pooled.maxFreq;
    if (samplesPooled > kMaxFrequency) g.pooled.maxFreq = kMaxFrequency;
    for (const Species& sp : g.species) {
      std::string cover;
      if (sp.covers > 0) {
        char buf[32];
        // The mean as a cover reads it (covers beyond the scale are said at entry).
        const double mean = std::max(-9999.0, std::min(9999.0, sp.coverSum / sp.covers));
        std::snprintf(buf, sizeof buf, "%.1f", mean);
        cover = buf;
      }
      const int freq = samplesPooled > kMaxFrequency
                           ? static_cast<int>(std::lround(kMaxFrequency * static_cast<double>(sp.samples) / samplesPooled))
                           : sp.samples;
      g.pooled.records.push_back(SurveyRecord{sp.name, cover, std::to_string(freq), sp.line});
    }
    pooled.push_back(std::move(g.pooled));
  }
  return pooled;
}

void AppendSurveyBlocks(const std::vector<SurveySample>& samples, const BlockRules& rules,
                        int file, BlockText& out) {
  for (const SurveySample& s : samples) {
    // The name as a header reads it: 30 columns, and no "*", which starts the
    // maximum frequency.
    std::string name = s.name.substr(0, kSampleNameWidth);
    std::replace(name.begin(), name.end(), '*', '+');
    // A quoted name may hold line ends or other control bytes: the header is one line.
    for (char& c : name) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (s.maxFreq > 0) name += " * " + std::to_string(s.maxFreq);
    AddLine(out, name, file, s.line);
    for (const SurveyRecord& r : s.records) {
      int row = 0;
      std::string line = LookupWords(rules, r.species, &row);
      const std::string freq = CoverToken(r.frequency);
      if (s.maxFreq > 0) line += " " + (freq.empty() ? std::string("1") : freq);
      const std::string cover = CoverToken(r.cover);
      line += " " + (cover.empty() || rules.presence ? std::string(kPresenceCover) : cover);
      AddLine(out, line, file, r.line, r.species,
              r.species + (r.cover.empty() ? std::string() : " " + r.cover), row);
    }
    AddLine(out, "", file, 0);
  }
}

namespace {

// A line that holds nothing but white space (a line between samples).
bool Blank(std::string_view line) { return std::all_of(line.begin(), line.end(), IsSpaceC); }

// Whether a block file's lines can be written over the file's own text: no line
// becomes longer than the input holds it unless names are rewritten or given a
// cover.
bool LinesFitInPlace(const BlockRules& rules) {
  return !(rules.resolver != nullptr && rules.rewriteBlockNames) && !rules.presence;
}

// What a species line says, read the way sample entry reads it: the name's
// words, then (for frequency data) the frequency, then the cover.
struct SpeciesWords {
  bool keep;                 // false: left out (--strict), the sample goes on without it
  std::string_view written;  // the name's words, one blank between them
  size_t coverAt;            // the word read as the cover
  size_t firstNumber;        // the first word read as a number after the first
};

// The species line of words tokens[0..n-1] (n >= 1, views of the line), line
// lineNo of a sample whose frequencies go up to maxFreq (0: cover data). Says
// when the word read as the cover is no number. The name is a view of the line
// where the line has one blank between its words (nearly always), else of
// `joined`.
SpeciesWords ReadSpeciesWords(const std::string_view* tokens, size_t n, int maxFreq, long lineNo,
                              const BlockRules& rules, std::string& joined, std::vector<InputProblem>& problems) {
  assert(n >= 1);
  SpeciesWords w;
  const size_t nameWords = n > 1 && !Numeric(tokens[1]) ? 2 : 1;
  w.coverAt = nameWords + (maxFreq > 0 ? 1 : 0);
  w.firstNumber = 1;
  while (w.firstNumber < n && !Numeric(tokens[w.firstNumber])) ++w.firstNumber;
  w.keep = true;
  const unsigned char first = w.coverAt < n ? tokens[w.coverAt][0] : ' ';
  const bool letter = static_cast<unsigned char>((first | 0x20) - 'a') < 26;  // isalpha in the C locale
  if (rules.checkCovers && (letter || first == '(')) {
    problems.push_back({lineNo,
                        "the word read as the cover, \"" + std::string(tokens[w.coverAt]) +
                            "\", is not a number (an authority?)",
                        rules.strict});
    w.keep = !rules.strict;
  }
  const std::string_view last = tokens[w.firstNumber - 1];
  const std::string_view span(tokens[0].data(), static_cast<size_t>(last.data() + last.size() - tokens[0].data()));
  size_t letters = 0;
  for (size_t k = 0; k < w.firstNumber; ++k) letters += tokens[k].size();
  if (span.size() == letters + w.firstNumber - 1) {
    w.written = span;
  } else {
    joined.clear();
    for (size_t k = 0; k < w.firstNumber; ++k) {
      if (k > 0) joined += ' ';
      joined += tokens[k];
    }
    w.written = joined;
  }
  return w;
}

#if VM_BLOCK_SCAN
// What bytes hold, a bit per byte: line ends, blanks, white space of the C
// locale, and the characters that need the general reading (a tab, a '*', a
// comma).
struct ByteMasks {
  uint64_t lineEnd, blank, white, special;
};

// Adds the masks of the 16 bytes at p, as bits shift..shift + 15.
void AddMasks(const char* p, int shift, ByteMasks& m) {
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const auto bits = [&v](char c) {
    return static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)))));
  };
  const uint64_t blank = bits(' ');
  // '\t'..'\r': c - 9 is at most 4, unsigned.
  const __m128i low = _mm_subs_epu8(_mm_sub_epi8(v, _mm_set1_epi8(9)), _mm_set1_epi8(4));
  const uint64_t control =
      static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, _mm_setzero_si128())));
  m.lineEnd |= bits('\n') << shift;
  m.blank |= blank << shift;
  m.white |= (blank | control) << shift;
  m.special |= (bits('\t') | bits('*') | bits(',')) << shift;
}

// The masks of the bytes at p up to the first line end: 32 bytes, or 64 where
// the first 32 hold none (64 bytes at p must be readable).
ByteMasks MasksAt(const char* p) {
  ByteMasks m{0, 0, 0, 0};
  AddMasks(p, 0, m);
  AddMasks(p + 16, 16, m);
  if (m.lineEnd == 0) {
    AddMasks(p + 32, 32, m);
    AddMasks(p + 48, 48, m);
  }
  return m;
}
#endif

// What was written of a piece of a block file over the piece itself: its
// bytes, and whether its last line, kept, still wants the line end the piece
// does not hold.
struct Placed {
  size_t bytes = 0;
  bool owesLineEnd = false;
};

// Appends the lines of one piece of a block file, the first numbered
// firstLine + 1. A piece begins where a sample may begin: at the start of the
// file or after a blank line. With `inPlace` (LinesFitInPlace), the lines'
// text is written over the piece itself, which `text` views, instead of onto
// out.text, each with its line end where the piece has one.
Placed AppendBlockLines(std::string_view text, char* inPlace, const BlockRules& rules, int file, long firstLine,
                        BlockText& out, std::vector<InputProblem>& problems) {
  assert(inPlace == nullptr || (inPlace == text.data() && LinesFitInPlace(rules)));
  Placed placed;  // in place
  long lineNo = firstLine;
  bool inSample = false;
  int maxFreq = 0;
  size_t i = 0;
  std::vector<std::string_view> tokens;  // the words of a line, as views of it
#if VM_BLOCK_SCAN
  std::array<std::string_view, 32> scanned;  // the words of a line of at most 63 bytes
#endif
  std::string rewritten;
  std::string joined;      // the name's words with one blank between them, where the line has more
  std::string_view written;  // the name's words as the line writes them (species lines)
  std::string detabbed;
  // In place: a kept line written at or before where it stood (no line becomes
  // longer, so what is still to be read is never written over), with its line
  // end where the piece has one.
  const auto place = [inPlace, &placed](std::string_view kept, bool ended) {
    char* to = inPlace + placed.bytes;
    if (kept.data() != to && !kept.empty()) std::memmove(to, kept.data(), kept.size());
    placed.bytes += kept.size();
    if (ended) {
      inPlace[placed.bytes++] = '\n';
    } else {
      placed.owesLineEnd = true;  // only the last line of a piece can have none
    }
  };
  while (i < text.size()) {
#if VM_BLOCK_SCAN
    // A species line of the usual kind written in place is read in one look at
    // its bytes: words parted by blanks, no tab, '*' or comma, within 64 bytes
    // of the piece. Any other line takes the reading below, which this one
    // gives the same as.
    if (inSample && inPlace != nullptr && text.size() - i >= 64) {
      const ByteMasks m = MasksAt(text.data() + i);
      if (m.lineEnd != 0) {
        const size_t length = static_cast<size_t>(__builtin_ctzll(m.lineEnd));  // at most 63
        const uint64_t inLine = (uint64_t{1} << length) - 1;
        const bool cr = length > 0 && text[i + length - 1] == '\r';
        const size_t sourceLength = length - (cr ? 1 : 0);
        const uint64_t inSource = (uint64_t{1} << sourceLength) - 1;
        if ((m.special & inLine) == 0 && (~m.white & inSource) != 0) {
          const char* line = text.data() + i;
          size_t n = 0;
          for (uint64_t words = ~m.blank & inSource; words != 0;) {
            const int a = __builtin_ctzll(words);
            const int run = __builtin_ctzll(~(words >> a));  // the word ends before the line does
            scanned[n++] = std::string_view(line + a, static_cast<size_t>(run));
            words &= ~uint64_t{0} << (a + run);
          }
          ++lineNo;
          i += length + 1;
          const SpeciesWords sw = ReadSpeciesWords(scanned.data(), n, maxFreq, lineNo, rules, joined, problems);
          if (!sw.keep) continue;
          AddLineSource(out, file, lineNo, sw.written, cr ? std::string_view(line, sourceLength) : std::string_view());
          place(std::string_view(line, length), true);
          continue;
        }
      }
    }
#endif
    size_t end = text.find('\n', i);
    const bool ended = end != std::string_view::npos;
    if (!ended) end = text.size();
    const std::string_view line = text.substr(i, end - i);
    i = end + 1;
    ++lineNo;
    std::string_view source = line;  // without its CR
    if (!source.empty() && source.back() == '\r') source.remove_suffix(1);
    const bool blank = Blank(source);
    written = {};
    int row = 0;
    bool rewrite = false;  // the line becomes `rewritten`
    // Tabs part words as blanks do (columns pasted from a spreadsheet); sample
    // entry reads a tab as a character of a word, so the line is given blanks.
    std::string_view bare = source;
    if (!blank && bare.find('\t') != std::string_view::npos) {
      detabbed.assign(bare);
      std::replace(detabbed.begin(), detabbed.end(), '\t', ' ');
      bare = detabbed;
      rewritten = detabbed;
      rewrite = true;
    }
    if (blank) {
      inSample = false;
    } else if (!inSample) {
      inSample = true;  // the header
      const size_t star = bare.find('*');
      maxFreq = star == std::string_view::npos ? 0 : std::atoi(std::string(bare.substr(star + 1)).c_str());
    } else if (bare.find('*') == std::string_view::npos) {
      // A species line, read the way sample entry reads it: the name's words,
      // then (for frequency data) the frequency, then the cover.
      tokens.clear();
      for (size_t a = 0; a < bare.size();) {
        if (bare[a] == ' ') {
          ++a;
          continue;
        }
        size_t e = a + 1;  // words are short: looked through here, not with a call
        while (e < bare.size() && bare[e] != ' ') ++e;
        tokens.emplace_back(bare.data() + a, e - a);
        a = e;
      }
      const SpeciesWords sw = ReadSpeciesWords(tokens.data(), tokens.size(), maxFreq, lineNo, rules, joined, problems);
      written = sw.written;
      const size_t coverAt = sw.coverAt;
      const size_t firstNumber = sw.firstNumber;
      if (!sw.keep) continue;  // left out; the sample goes on without it
      const size_t comma = coverAt < tokens.size() ? DecimalComma(tokens[coverAt]) : std::string_view::npos;
      const bool resolve = rules.resolver != nullptr && rules.rewriteBlockNames;
      if (!resolve && !rules.presence && comma != std::string_view::npos) {
        rewrite = true;
        rewritten.assign(bare);
        rewritten[static_cast<size_t>(tokens[coverAt].data() - bare.data()) + comma] = '.';
      }
      if (resolve || rules.presence) {
        rewrite = true;
        rewritten = LookupWords(resolve ? rules : BlockRules{}, written, &row);
        const auto add = [&rewritten](std::string_view n) {
          rewritten += ' ';
          rewritten += n;
        };
        if (rules.presence) {
          // Present is all a line says: the frequency (frequency data) and the
          // nominal cover; a name may stand alone.
          if (maxFreq > 0) add(firstNumber < tokens.size() ? tokens[firstNumber] : std::string_view("1"));
          add(kPresenceCover);
        } else {
          for (size_t k = firstNumber; k < tokens.size(); ++k) {
            add(tokens[k]);
            if (k == coverAt && comma != std::string_view::npos) {
              rewritten[rewritten.size() - tokens[k].size() + comma] = '.';
            }
          }
        }
      }
    }
    // A line of white space alone is written empty: sample entry ends a sample
    // only at a line it reads as blank, and it reads a tab or a form feed as a
    // word (a spreadsheet's empty row of tabs would join the samples either side).
    const std::string_view kept = blank ? std::string_view() : rewrite ? std::string_view(rewritten) : line;
    const bool same = (kept.data() == source.data() && kept.size() == source.size()) || kept == source;
    // The line's tables first: in place, its text may be written over what the
    // name and the line as written are views of.
    AddLineSource(out, file, lineNo, written, same ? std::string_view() : source, row);
    if (inPlace == nullptr) {
      out.text.append(kept.data(), kept.size());
      out.text.push_back('\n');
      continue;
    }
    assert(kept.size() <= line.size());
    place(kept, ended);
  }
  return placed;
}

// Where a large block file is cut in two: after the first blank line from the
// middle on (npos: nowhere).
size_t SplitPoint(std::string_view text) {
  for (size_t i = text.find('\n', text.size() / 2); i != std::string_view::npos && i + 1 < text.size();) {
    const size_t end = text.find('\n', i + 1);
    const std::string_view line = text.substr(i + 1, (end == std::string_view::npos ? text.size() : end) - i - 1);
    if (Blank(line) && end != std::string_view::npos) return end + 1;
    i = end;
  }
  return std::string_view::npos;
}

// Appends b's lines to a's.
template <typename T>
void AppendRows(std::vector<T>& a, const std::vector<T>& b) {
  a.insert(a.end(), b.begin() + 1, b.end());
}

// Room made at once for the lines of a text of `bytes` bytes (the closing blank
// line included): the tables of a large input would otherwise grow by
// doubling, copying what they hold each time.
void ReserveLines(BlockText& out, size_t lines, size_t bytes, size_t textBytes) {
  lines += 2;  // a last line without its line end, and the closing blank line
  if (textBytes > 0) out.text.reserve(out.text.size() + textBytes + lines);
  for (auto* v : {&out.sourceFile, &out.resolvedRow}) v->reserve(v->size() + lines);
  out.sourceLine.reserve(out.sourceLine.size() + lines);
  out.writtenName.reserve(lines, bytes);
  out.sourceText.reserve(lines, 0);
}

// A block file's lines appended to `out`, written onto out.text, or with
// `inPlace` over the text itself (which it then views; see AppendBlockLines),
// the file's pieces closed up.
Placed BlockFileLines(std::string_view text, char* inPlace, const BlockRules& rules, int file, BlockText& out,
                      std::vector<InputProblem>& problems) {
  // A large file is read in two halves at once, the second on a thread of its
  // own (with a resolver of its own where names are rewritten: a resolver keeps
  // what it has resolved).
  constexpr size_t kSplitBytes = 1 << 20;
  const size_t split = text.size() >= kSplitBytes && std::thread::hardware_concurrency() > 1
                           ? SplitPoint(text)
                           : std::string_view::npos;
  const size_t textBytes = inPlace == nullptr ? text.size() : 0;
  if (split == std::string_view::npos) {
    ReserveLines(out, static_cast<size_t>(std::count(text.begin(), text.end(), '\n')), text.size(), textBytes);
    return AppendBlockLines(text, inPlace, rules, file, 0, out, problems);
  }
  const std::string_view first = text.substr(0, split);
  const std::string_view second = text.substr(split);
  const long firstLines = static_cast<long>(std::count(first.begin(), first.end(), '\n'));
  // The first half's tables have room for the second's, which join them: the
  // halves are about the same size, so the lines of the second are reckoned
  // from those of the first (generously; the second half counts its own).
  const size_t reckoned = static_cast<size_t>(static_cast<double>(firstLines) * 1.25 *
                                              static_cast<double>(second.size()) /
                                              static_cast<double>(first.size()));
  ReserveLines(out, static_cast<size_t>(firstLines) + reckoned, text.size(), textBytes);
  BlockText rest;
  std::vector<InputProblem> restProblems;
  // The second half's resolver is copied here, before the first half starts
  // resolving (and so changing) the one it was copied from.
  std::optional<NameResolver> own;
  BlockRules restRules = rules;
  restRules.resolver = nullptr;
  if (rules.resolver != nullptr && rules.rewriteBlockNames) restRules.resolver = &own.emplace(*rules.resolver);
  // In place, the halves are written over halves of their own.
  char* restInPlace = inPlace == nullptr ? nullptr : inPlace + split;
  Placed restPlaced;
  std::thread other([&] {
    ReserveLines(rest, static_cast<size_t>(std::count(second.begin(), second.end(), '\n')), second.size(),
                 inPlace == nullptr ? second.size() : 0);
    restPlaced = AppendBlockLines(second, restInPlace, restRules, file, firstLines, rest, restProblems);
  });
  const Placed placed = AppendBlockLines(first, inPlace, rules, file, 0, out, problems);
  other.join();
  // The second half's tables join the first's on two threads, each table on one.
  std::thread rows([&] {
    AppendRows(out.sourceFile, rest.sourceFile);
    AppendRows(out.sourceLine, rest.sourceLine);
    AppendRows(out.resolvedRow, rest.resolvedRow);
  });
  if (inPlace != nullptr && placed.bytes < split) std::memmove(inPlace + placed.bytes, restInPlace, restPlaced.bytes);
  out.text += rest.text;
  out.writtenName.Append(rest.writtenName, 1);
  out.sourceText.Append(rest.sourceText, 1);
  problems.insert(problems.end(), restProblems.begin(), restProblems.end());
  rows.join();
  return Placed{placed.bytes + restPlaced.bytes, restPlaced.owesLineEnd};
}

}  // namespace

void AppendBlockFile(std::string_view text, const BlockRules& rules, int file, BlockText& out,
                     std::vector<InputProblem>& problems) {
  BlockFileLines(text, nullptr, rules, file, out, problems);
  AddLine(out, "", file, 0);
}

void TakeBlockFile(std::string& text, const BlockRules& rules, int file, BlockText& out,
                   std::vector<InputProblem>& problems) {
  if (!LinesFitInPlace(rules)) {
    AppendBlockFile(text, rules, file, out, problems);
  } else {
    const Placed placed = BlockFileLines(text, text.data(), rules, file, out, problems);
    text.resize(placed.bytes);
    if (placed.owesLineEnd) text.push_back('\n');  // as written onto out.text, every line ends
    if (out.text.empty()) {
      out.text.swap(text);
    } else {
      out.text += text;
    }
    AddLine(out, "", file, 0);
  }
  text.clear();
}
