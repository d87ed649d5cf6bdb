// Header and species line parsing.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "sample/sample.h"

namespace {

constexpr int kWorkColumns = kLineSize;  // lines are handled in a blank-padded work area
constexpr int kNameColumns = kSampleNameWidth;  // the sample name stands in columns 1..30
constexpr int kMaxFreqTokenMax = 19; // longer maximum-frequency tokens are refused
constexpr int DigitsOf(int v) { return v < 10 ? 1 : 1 + DigitsOf(v / 10); }
constexpr int kFreqTokenMax = DigitsOf(kMaxFrequency);  // longer tokens are no frequency
constexpr int kCoverKept = 6;        // only the first 6 characters of a cover count

// Length of a line as far as the parsers look at it.
int WorkLength(const char* line) { return static_cast<int>(strnlen(line, kWorkColumns)); }

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A token of the work area as a zero-terminated text (dst holds len + 1 bytes).
void CopyToken(char* dst, const char* from, int len) {
  std::memcpy(dst, from, static_cast<size_t>(len));
  dst[len] = '\0';
}

// The tag a header line carries where the record header puts it, or null.
// A record header puts the tag after the name and (for frequency data) the
// "*" and maximum frequency, so its column depends on the kind of data.
const char* HeaderTag(const char* line, int16_t nMaxFreq) {
  int first = nMaxFreq > 0 ? 38 : 35;  // 0-based: columns 39..43 or 36..40
  int n = WorkLength(line);
  if (n < first + 5) return nullptr;
  static const char* const kTags[] = {"COVR%", "BR-BL", "DOMIN"};
  for (const char* tag : kTags) {
    if (std::strncmp(line + first, tag, 5) == 0) return tag;
  }
  return nullptr;
}

}  // namespace

SampleHeader ParseSampleHeader(Console& con, const char* line, int32_t nSampleCounter) {
  SampleHeader h = ReadSampleHeader(con, line);
  if (!h.refused) NameUnnamedSample(h, nSampleCounter);
  return h;
}

void NameUnnamedSample(SampleHeader& h, int32_t nSampleCounter) {
  if (h.szName[0] == '\0') {
    std::snprintf(h.szName, sizeof h.szName, "SAMPL%5d", static_cast<int>(nSampleCounter));
  }
}

SampleHeader ReadSampleHeader(Console& con, const char* line) {
  SampleHeader h{};
  char* szName = h.szName;

  int n = WorkLength(line);
  for (int l = 0; l < n; ++l) {
    if (line[l] != '*') {
      if (l < kNameColumns) szName[l] = line[l];
      continue;
    }
    // The first "*" starts the maximum frequency; nothing after it is name.
    int p = l + 1;
    while (p < n && line[p] == ' ') ++p;
    if (p >= n) break;
    int start = p;
    while (p < n && line[p] != ' ') ++p;
    int len = p - start;
    bool bad = len > kMaxFreqTokenMax;
    int v = 0;
    if (!bad) {
      char token[kMaxFreqTokenMax + 1];
      CopyToken(token, line + start, len);
      v = ReadInt(token);
      bad = v < 0 || v > kMaxFrequency;
    }
    if (bad) {
      Say(con, " *** Maximum frequency may not be lower than 0 or exceed %d ***", kMaxFrequency);
      h.refused = true;
    } else {
      h.nMaxFreq = static_cast<int16_t>(v);
    }
    break;
  }

  int len = static_cast<int>(std::strlen(szName));
  while (len > 0 && szName[len - 1] == ' ') szName[--len] = '\0';

  if (h.refused) return h;
  h.tag = HeaderTag(line, h.nMaxFreq);
  return h;
}

void RecordSampleHeader(const RunSettings& rs, const char* szName, int16_t nMaxFreq) {
  const char* tag = CoverScaleOf(rs.nCoverScale).tag;
  if (nMaxFreq > 0) {
    FileSay(rs.fpRecordFile.get(), "%-30s   *%3d %5s", szName, nMaxFreq, tag);
  } else {
    FileSay(rs.fpRecordFile.get(), "%-30s     %5s", szName, tag);
  }
}

namespace {

// The first words of a line within the work area, split at blanks (a tab is
// part of a word): a species line reads four at most (two of the name, the
// frequency, the cover). lastAtEnd: the last of them runs into the last column.
struct LineWords {
  static constexpr size_t kMost = 4;
  std::string_view words[kMost];
  size_t n = 0;
  bool lastAtEnd = false;
};

void SplitLineWords(const char* line, LineWords& w) {
  const int n = WorkLength(line);
  for (int i = 0; i < n && w.n < LineWords::kMost;) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    int e = i + 1;
    while (e < n && line[e] != ' ') ++e;
    w.words[w.n++] = std::string_view(line + i, static_cast<size_t>(e - i));
    w.lastAtEnd = e >= kWorkColumns;
    i = e;
  }
}

}  // namespace

double ReadCoverWord(std::string_view word) {
  char token[kCoverKept + 1];
  const int len = static_cast<int>(word.size() < kCoverKept ? word.size() : kCoverKept);
  CopyToken(token, word.data(), len);
  return std::strchr(token, '.') != nullptr ? ReadDouble(token) : ReadInt(token);
}

SpeciesLine ParseSpeciesWords(const std::string_view* words, size_t n, int16_t nMaxFreq, bool lastAtEnd) {
  SpeciesLine parsed{};
  char* key = parsed.key.text;
  parsed.nFreq = 1;
  parsed.dCover = 0.0;
  parsed.ok = true;
  if (n == 0) return parsed;  // a blank line: empty key

  // First word: its first 4 characters.
  int k = 0;
  for (; k < 4 && static_cast<size_t>(k) < words[0].size(); ++k) key[k] = LowerAscii(words[0][static_cast<size_t>(k)]);
  // From here on, running out of words means the cover is missing: a bad line,
  // though the key is complete.
  if (n == 1) {
    parsed.ok = false;
    return parsed;
  }
  for (; k < 5; ++k) key[k] = ' ';
  size_t next = 1;
  if (!IsDigit(words[1][0])) {
    // Second word; otherwise the name has one word and this is the first number.
    for (size_t c = 0; c < 4 && c < words[1].size(); ++c) key[5 + c] = LowerAscii(words[1][c]);
    next = 2;
  }

  if (nMaxFreq > 0) {
    if (next >= n || words[next].size() > kFreqTokenMax) {
      parsed.ok = false;
      return parsed;
    }
    char token[kFreqTokenMax + 1];
    CopyToken(token, words[next].data(), static_cast<int>(words[next].size()));
    const int v = ReadInt(token);  // at most 3 characters: always within 16 bits
    parsed.nFreq = static_cast<int16_t>(v);
    if (v < 0 || v > nMaxFreq) parsed.ok = false;
    ++next;
  }

  // The cover; a cover running into the last column of the work area is cut.
  if (next >= n || (next == n - 1 && lastAtEnd)) {
    parsed.ok = false;
    return parsed;
  }
  parsed.dCover = ReadCoverWord(words[next]);

  // The entry keeps ten times the cover in 16 bits; a value that does not fit
  // there (or is no number at all) is refused rather than wrapped.
  const double tenfold = std::floor(parsed.dCover * 10.0 + 0.001);
  if (!(tenfold >= -32768.0 && tenfold <= 32767.0)) parsed.ok = false;
  return parsed;
}

SpeciesLine ParseSpeciesLine(const char* line, int16_t nMaxFreq) {
  LineWords w;
  SplitLineWords(line, w);
  return ParseSpeciesWords(w.words, w.n, nMaxFreq, w.lastAtEnd);
}

SampleRecord ParseRecordLine(char* line, int16_t nMaxFreq) {
  SampleRecord rec;
  int markers = 0;
  for (char* p = line; *p != '\0'; ++p) {
    if (*p == '*') {
      *p = ' ';
      ++markers;
    }
  }
  rec.markers = static_cast<int16_t>(markers > kMaxMarkers ? kMaxMarkers : markers);
  const SpeciesLine parsed = ParseSpeciesLine(line, nMaxFreq);
  rec.key = parsed.key;
  rec.nFreq = parsed.nFreq;
  rec.dCover = parsed.dCover;
  rec.ok = parsed.ok;
  rec.shown = line;
  return rec;
}
