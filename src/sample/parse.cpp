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

  if (len == 0) {
    std::snprintf(szName, sizeof h.szName, "SAMPL%5d", static_cast<int>(nSampleCounter));
  }
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

SpeciesLine ParseSpeciesLine(const char* line, int16_t nMaxFreq) {
  char work[kWorkColumns];
  int n = WorkLength(line);
  std::memcpy(work, line, static_cast<size_t>(n));
  std::memset(work + n, ' ', static_cast<size_t>(kWorkColumns - n));
  SpeciesLine parsed{};
  char* key = parsed.key.text;
  int16_t& nFreq = parsed.nFreq;
  double& dCover = parsed.dCover;
  nFreq = 1;
  dCover = 0.0;
  parsed.ok = true;

  int i = 0;
  auto skipBlanks = [&] {
    while (i < kWorkColumns && work[i] == ' ') ++i;
  };
  auto skipWord = [&] {
    while (i < kWorkColumns && work[i] != ' ') ++i;
  };

  skipBlanks();
  if (i >= kWorkColumns) return parsed;  // a blank line: empty key

  // First word: its first 4 characters.
  int k = 0;
  for (; k < 4 && i < kWorkColumns && work[i] != ' '; ++k, ++i) key[k] = LowerAscii(work[i]);
  skipWord();
  // From here on, running out of line means the cover is missing: a bad line,
  // though the key is complete.
  if (i >= kWorkColumns) {
    parsed.ok = false;
    return parsed;
  }
  skipBlanks();
  if (i >= kWorkColumns) {
    parsed.ok = false;
    return parsed;
  }
  for (; k < 5; ++k) key[k] = ' ';

  if (!IsDigit(work[i])) {
    // Second word; otherwise the name has one word and this is the first number.
    for (int c = 0; c < 4 && i < kWorkColumns && work[i] != ' '; ++c, ++i) {
      key[5 + c] = LowerAscii(work[i]);
    }
    skipWord();
  }

  if (nMaxFreq > 0) {
    skipBlanks();
    if (i >= kWorkColumns) {
      parsed.ok = false;
      return parsed;
    }
    int start = i;
    skipWord();
    int len = i - start;
    if (len > kFreqTokenMax) {
      parsed.ok = false;
      return parsed;
    }
    char token[kFreqTokenMax + 1];
    CopyToken(token, work + start, len);
    int v = ReadInt(token);  // a few characters: always within 16 bits
    nFreq = static_cast<int16_t>(v);
    if (v < 0 || v > nMaxFreq) parsed.ok = false;
  }

  skipBlanks();
  if (i >= kWorkColumns) {
    parsed.ok = false;
    return parsed;
  }
  int start = i;
  skipWord();
  if (i >= kWorkColumns) {  // the cover token runs into the last column
    parsed.ok = false;
    return parsed;
  }
  int len = i - start < kCoverKept ? i - start : kCoverKept;
  char token[kCoverKept + 1];
  CopyToken(token, work + start, len);
  dCover = std::strchr(token, '.') != nullptr ? ReadDouble(token) : ReadInt(token);

  // The entry keeps ten times the cover in 16 bits; a value that does not fit
  // there (or is no number at all) is refused rather than wrapped.
  double tenfold = std::floor(dCover * 10.0 + 0.001);
  if (!(tenfold >= -32768.0 && tenfold <= 32767.0)) parsed.ok = false;
  return parsed;
}
