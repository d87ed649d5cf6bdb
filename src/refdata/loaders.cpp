// Loaders of the three reference files: the species dictionary, the community
// definitions and the association tables, and the regrouping of the association
// lines by species code.
//
// Whatever the files hold, nothing is written past a field or a table: over-long
// text is cut to its field, and a file with more lines than its table holds is
// read up to the capacity; a line that holds a NUL byte, or a number that is not
// a whole integer within its range, is skipped; a file that gives no record is
// said to be empty. Each such event is noted on the error stream; the console
// output carries only the loaders' own messages. What the loaders leave behind is
// checked once, by CheckReferenceTables.
#include <algorithm>
#include <array>
#include <cassert>
#include <cctype>
#include <cstring>
#include <ostream>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "refdata/refdata.h"

namespace {

// A table of the given number of rows, every row zero (as a value-initialised
// row is), reusing the room of an earlier load: tables are loaded again and
// again in the tests and the fuzz runs, and filling row by row dominated that.
template <typename T>
void ZeroTable(std::vector<T>& table, size_t rows) {
  static_assert(std::is_trivially_copyable_v<T>, "rows are zeroed as bytes");
  table.resize(rows);
  std::memset(static_cast<void*>(table.data()), 0, rows * sizeof(T));
}


// Lines of the definitions and association files hold at most 511 characters;
// one more than that (plus the line end and terminator) tells a longer line.
constexpr int kMaxLineLength = 511;
constexpr int kLineBufferSize = kMaxLineLength + 2;

// Dictionary word limits (the short name is built from the two words).
constexpr int kFirstWordWidth = 14;
constexpr int kSecondWordWidth = 19;
constexpr int kCodeFieldWidth = 4;  // sign included

// Association line fields 1 to 3 are read into 20-character buffers.
constexpr int kAssocFieldWidth = 19;

constexpr int kNewSpeciesCodeBase = kFirstNewSpeciesCode - 1;

// ---- character reading ---------------------------------------------------------

// Hands out the characters of a file one by one, reading it in pieces through
// ReadFilePiece, so that CR LF and a lone CR come out as a single line feed. It
// counts the NUL bytes it hands out, so a reader can tell a line that held one.
class CharSource {
 public:
  explicit CharSource(std::FILE* fp) : fp_(fp) {}

  int Peek() {
    if (pos_ >= len_ && !Refill()) return EOF;
    return static_cast<unsigned char>(buf_[pos_]);
  }
  int Get() {
    int c = Peek();
    if (c != EOF) ++pos_;
    if (c == 0) ++nuls_;
    return c;
  }
  long Nuls() const { return nuls_; }

 private:
  bool Refill() {
    if (ended_) return false;
    int n = ReadFilePiece(fp_, buf_, static_cast<int>(sizeof buf_));
    if (n <= 0) {
      ended_ = true;
      return false;
    }
    len_ = n;
    pos_ = 0;
    return true;
  }

  std::FILE* fp_;
  char buf_[512];
  int len_ = 0;
  int pos_ = 0;
  bool ended_ = false;
  long nuls_ = 0;
};

bool IsBlank(int c) { return c != '\n' && c != EOF && std::isspace(c) != 0; }

// ---- dictionary records --------------------------------------------------------

struct DictionaryRecord {
  int line = 0;    // line number of the record in the file
  int fields = 0;  // fields found: code, first word, second word, full name
  int16_t code = 0;
  char firstWord[kFirstWordWidth + 1] = {};
  char secondWord[kSecondWordWidth + 1] = {};
  char fullName[kFullNameWidth + 1] = {};
  bool cut = false;          // some text was longer than its field
  bool codeRunsOn = false;   // no white space after the code's (at most 4) characters
  bool nul = false;          // the line held a NUL byte
};

// Reads a run of characters up to white space or the line end, keeping at most
// width of them. Returns the number of characters in the run.
int ReadWord(CharSource& src, char* dst, int width) {
  int n = 0;
  for (int c = src.Peek(); c != EOF && c != '\n' && !IsBlank(c); c = src.Peek()) {
    src.Get();
    if (n < width) dst[n] = static_cast<char>(c);
    ++n;
  }
  dst[n < width ? n : width] = '\0';
  return n;
}

void SkipBlanks(CharSource& src) {
  while (IsBlank(src.Peek())) src.Get();
}

// Reads the next dictionary record the way the record pattern
// "%4hd %s %s %[^\n]\n" reads it, with one difference: a record never reaches
// into the next line, so a line with fewer than four fields leaves the missing
// ones empty instead of taking them from the line below. White space, blank
// lines included, is skipped before a record. A line that holds a NUL byte is
// read to its end and comes back as a record marked nul, whatever else it holds.
enum class RecordRead { kRecord, kEnd, kNotANumber };

// Reads to the end of the line, its line end included.
void FinishLine(CharSource& src, int& lineNo) {
  int c = src.Get();
  while (c != EOF && c != '\n') c = src.Get();
  if (c == '\n') ++lineNo;
}

RecordRead ReadDictionaryRecord(CharSource& src, int& lineNo, DictionaryRecord& rec) {
  rec = DictionaryRecord();
  for (int c = src.Peek(); c != EOF && std::isspace(c) != 0; c = src.Peek()) {
    if (src.Get() == '\n') ++lineNo;
  }
  rec.line = lineNo;
  if (src.Peek() == EOF) return RecordRead::kEnd;
  const long nulsBefore = src.Nuls();

  // The code: an optional sign and digits, 4 characters at most.
  int width = 0;
  bool negative = false;
  int c = src.Peek();
  if (c == '+' || c == '-') {
    negative = (c == '-');
    src.Get();
    ++width;
  }
  int value = 0;
  int digits = 0;
  for (c = src.Peek(); width < kCodeFieldWidth && c >= '0' && c <= '9'; c = src.Peek()) {
    src.Get();
    value = value * 10 + (c - '0');
    ++width;
    ++digits;
  }
  if (digits == 0) {
    if (src.Peek() != 0) return RecordRead::kNotANumber;
    FinishLine(src, lineNo);
    rec.nul = true;
    return RecordRead::kRecord;
  }
  rec.code = static_cast<int16_t>(negative ? -value : value);
  rec.fields = 1;
  c = src.Peek();
  rec.codeRunsOn = (c != EOF && c != '\n' && !IsBlank(c));

  SkipBlanks(src);
  int n = ReadWord(src, rec.firstWord, kFirstWordWidth);
  if (n > 0) {
    rec.fields = 2;
    rec.cut = rec.cut || n > kFirstWordWidth;
    SkipBlanks(src);
    n = ReadWord(src, rec.secondWord, kSecondWordWidth);
  }
  if (n > 0 && rec.fields == 2) {
    rec.fields = 3;
    rec.cut = rec.cut || n > kSecondWordWidth;
    SkipBlanks(src);
    // The full name is the rest of the line, blanks within and after it included.
    n = 0;
    for (c = src.Peek(); c != EOF && c != '\n'; c = src.Peek()) {
      src.Get();
      if (n < kFullNameWidth) rec.fullName[n] = static_cast<char>(c);
      ++n;
    }
    rec.fullName[n < kFullNameWidth ? n : kFullNameWidth] = '\0';
    if (n > 0) rec.fields = 4;
    rec.cut = rec.cut || n > kFullNameWidth;
  }
  FinishLine(src, lineNo);
  rec.nul = src.Nuls() != nulsBefore;
  return RecordRead::kRecord;
}

// The first word filled with blanks to 4 characters, one blank, the second word;
// cut to the 9 characters of a short name.
bool ComposeShortName(const char* first, const char* second, char* dst) {
  char full[kFirstWordWidth + 1 + kSecondWordWidth + 2];
  int n = 0;
  for (const char* p = first; *p != '\0'; ++p) full[n++] = *p;
  while (n < 4) full[n++] = ' ';
  full[n++] = ' ';
  for (const char* p = second; *p != '\0'; ++p) full[n++] = *p;
  full[n] = '\0';
  CopyField(dst, full, kShortNameWidth);
  return n > kShortNameWidth;
}

// ---- tab-separated lines ---------------------------------------------------------

// Reads one line of at most 511 characters (line end not kept).
enum class TextLine { kLine, kEnd, kTooLong, kNul };
TextLine ReadTextLine(std::FILE* fp, char* buf) {
  int n = ReadFilePiece(fp, buf, kLineBufferSize);
  if (n < 0) return TextLine::kEnd;
  if (n > kMaxLineLength && buf[n - 1] != '\n') return TextLine::kTooLong;
  if (HoldsNul(buf, n)) return TextLine::kNul;
  StripLineEnd(buf);
  return TextLine::kLine;
}

constexpr const char kNulRefusal[] = "the line holds a NUL byte; it is skipped";

// Copies the field that starts at p (up to the next tab or the end of the line)
// into dst, cut to width. Returns the start of the next field, or null when this
// was the last field of the line. `cut` is set when the field was longer.
const char* TakeField(const char* p, char* dst, int width, bool& cut) {
  int n = 0;
  for (; p[n] != '\0' && p[n] != '\t'; ++n) {
    if (n < width) dst[n] = p[n];
  }
  dst[n < width ? n : width] = '\0';
  if (n > width) cut = true;
  return p[n] == '\t' ? p + n + 1 : nullptr;
}

// Takes the next field of a line whose earlier field may already have been the
// last one (p null): a missing field is the empty string.
const char* NextField(const char* p, char* dst, int width, bool& cut, bool& present) {
  if (p == nullptr) {
    dst[0] = '\0';
    present = false;
    return nullptr;
  }
  present = true;
  return TakeField(p, dst, width, cut);
}

// A line too long for the line buffer ends the reading of its file.
void SayTooLong(Console& con, const std::string& where) {
  Diagnose(con.err, where,
           Fmt("the line is longer than %d characters; it and the lines after it are not read",
               kMaxLineLength));
}

// ---- regrouping ------------------------------------------------------------------

// A row of a growing table: the table is doubled when the row is past its end.
template <typename T>
T& GrowTo(std::vector<T>& table, int row) {
  if (static_cast<size_t>(row) >= table.size()) table.resize(2 * static_cast<size_t>(row));
  return table[static_cast<size_t>(row)];
}

// Regroups the association lines by species code: lines of the codes that have a
// dictionary entry, by ascending code and in file order within a code, leaving
// out lines that lie in no unit's range and lines whose quant takes no part.
// One counting pass and one placing pass over the lines.
void RegroupBySpeciesCode(RefData& ref) {
  const int lines = ref.nSpeciesTableCount;

  // The unit of every line; 0 for a line in no unit's range.
  std::vector<int32_t> owner(static_cast<size_t>(lines) + 1, 0);
  for (int m = 1; m <= ref.nNVCCount; ++m) {
    const NVCUnit& unit = ref.arrNVCData[m];
    if (unit.nSpeciesTableEndIndex == 0) continue;
    assert(unit.nSpeciesTableStartIndex >= 1 && unit.nSpeciesTableEndIndex <= lines);
    for (int u = unit.nSpeciesTableStartIndex; u <= unit.nSpeciesTableEndIndex; ++u) {
      owner[static_cast<size_t>(u)] = m;
    }
  }

  auto takesPart = [&](int u) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[u];
    return owner[static_cast<size_t>(u)] != 0 && IsValidQuant(line.nQuant) &&
           InCodeIndex(ref, line.nSpeciesCode) && ref.arrSpeciesIndexByCode[line.nSpeciesCode] != 0;
  };

  const int lastCode = LastRow(ref.arrSpeciesIndexByCode);
  std::vector<int> next(static_cast<size_t>(lastCode) + 1, 0);  // lines per code, then next slot
  for (int u = 1; u <= lines; ++u) {
    if (takesPart(u)) ++next[static_cast<size_t>(ref.arrTbNVCToSpeciesJoinTable[u].nSpeciesCode)];
  }

  ZeroTable(ref.arrSpeciesBySpeciesCode, ref.arrSpeciesIndexByCode.size());
  ZeroTable(ref.arrSpeciesBySpeciesIndex, ref.arrSpecies.size());
  ZeroTable(ref.arrTbSpeciesToNVCJoinTable, ref.arrTbNVCToSpeciesJoinTable.size());

  int v = 1;
  for (int m = 1; m <= lastCode; ++m) {
    if (ref.arrSpeciesIndexByCode[m] == 0) continue;
    int count = next[static_cast<size_t>(m)];
    ref.arrSpeciesBySpeciesCode[m].nStartIndex = v;
    ref.arrSpeciesBySpeciesCode[m].nEndIndex = count > 0 ? v + count - 1 : 0;
    next[static_cast<size_t>(m)] = v;
    v += count;
  }

  for (int u = 1; u <= lines; ++u) {
    if (!takesPart(u)) continue;
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[u];
    int& slot = next[static_cast<size_t>(line.nSpeciesCode)];
    ref.arrTbSpeciesToNVCJoinTable[slot] = NVCTableLine{owner[static_cast<size_t>(u)], line.nQuant};
    ++slot;
  }

  // Every dictionary entry gets the range of its code; entries that share a code
  // share the range.
  for (int j = 1; j <= ref.nSpeciesCount; ++j) {
    const SortedSpeciesEntry& e = ref.arrSortedSpecies[j];
    if (!InCodeIndex(ref, e.nSpeciesCode)) continue;
    ref.arrSpeciesBySpeciesIndex[e.nSpeciesIndex] = ref.arrSpeciesBySpeciesCode[e.nSpeciesCode];
  }
}

}  // namespace

// ---- the species dictionary --------------------------------------------------------

namespace {

// The size of the dictionary table: its old fixed size while the dictionary fits
// it (new names then have the rows left over), else room for every new code.
int SpeciesRowsFor(int nSpeciesCount) {
  return nSpeciesCount <= kSpeciesCapacity ? kSpeciesCapacity : nSpeciesCount + kNewSpeciesCodes;
}

// The code index reaches the highest dictionary code, and at least its old size.
int CodeIndexSizeFor(const RefData& ref) {
  int last = kMaxSpeciesCode;
  for (int i = 3; i <= ref.nSpeciesCount; ++i) {
    const int code = ref.arrSpecies[i].nSpeciesCode;
    if (code <= kMaxDictionaryCode && code > last) last = code;
  }
  return last;
}

}  // namespace

int LoadSpeciesDictionary(Console& con, RefData& ref, const std::string& folder) {
  Say(con, "\n Reading in dictionary from file SPECDICT.txt");
  File file = OpenIn(folder, kDictionaryFile, "r");
  if (!file) Say(con, "Error opening %s\n", kDictionaryFile);

  ZeroTable(ref.arrSpecies, kSpeciesCapacity + 1);
  ZeroTable(ref.arrSortedSpecies, kSpeciesCapacity + 1);
  ref.arrSortedSpecies[1] = SortedSpeciesEntry{0, 1};
  ref.arrSortedSpecies[2] = SortedSpeciesEntry{0, 2};
  std::memcpy(ref.arrSpecies[1].szShortName, "NEW NAME ", kShortNameWidth + 1);
  std::memcpy(ref.arrSpecies[2].szShortName, "DELETE   ", kShortNameWidth + 1);
  int i = 2;
  int skipped = 0;
  bool readFailed = false;

  if (file) {
    CharSource src(file.get());
    int lineNo = 1;
    DictionaryRecord rec;
    RecordRead got;
    while ((got = ReadDictionaryRecord(src, lineNo, rec)) == RecordRead::kRecord) {
      if (rec.nul) {
        Diagnose(con.err, At(kDictionaryFile, rec.line), kNulRefusal);
        ++skipped;
        continue;
      }
      if (i - 2 == kMaxDictionaryLines) {
        Diagnose(con.err, At(kDictionaryFile, rec.line),
                 Fmt("more than %d species lines; reading stops here", kMaxDictionaryLines));
        ++skipped;
        break;
      }
      ++i;
      SpeciesEntry& entry = GrowTo(ref.arrSpecies, i);
      entry = SpeciesEntry{};
      bool shortCut = ComposeShortName(rec.firstWord, rec.secondWord, entry.szShortName);
      entry.nSpeciesCode = rec.code;
      CopyField(entry.szFullName, rec.fullName, kFullNameWidth);
      GrowTo(ref.arrSortedSpecies, i) = SortedSpeciesEntry{rec.code, i};

      // The place is only spelt out when something is said.
      auto where = [&] { return At(kDictionaryFile, rec.line); };
      if (rec.fields < 4) {
        Diagnose(con.err, where(),
                 Fmt("only %d of 4 fields; the missing ones are left empty", rec.fields));
      }
      if (rec.codeRunsOn) Diagnose(con.err, where(), "the species code runs into the next field");
      if (rec.cut || shortCut) Diagnose(con.err, where(), "text longer than its field was cut to fit");
      if (rec.code < 1 || rec.code > kMaxDictionaryCode) {
        Diagnose(con.err, where(),
                 Fmt("species code %d is outside 1..%d; the name takes part in no association "
                     "line",
                     rec.code, kMaxDictionaryCode));
      }
    }
    if (got == RecordRead::kNotANumber) {
      Diagnose(con.err, At(kDictionaryFile, rec.line),
               "the line does not begin with a species code; the rest of the file is not read");
      ++skipped;
    }
    if (!file.Close()) {
      Diagnose(con.err, kDictionaryFile, "error reading the file; it was not read to its end");
      readFailed = true;
    }
    if (i == 2) Diagnose(con.err, kDictionaryFile, "no species name was read");
  }

  ref.nSpeciesCount = i;
  const size_t rows = static_cast<size_t>(SpeciesRowsFor(i)) + 1;
  ref.arrSpecies.resize(rows);
  ref.arrSortedSpecies.resize(rows);
  SortSpecies(ref.arrSortedSpecies.data(), ref.nSpeciesCount);

  // One pass over the sorted index: the first row of each code is the one the
  // halving search finds (FindSortedRowByCode).
  ZeroTable(ref.arrSpeciesIndexByCode, static_cast<size_t>(CodeIndexSizeFor(ref)) + 1);
  for (int j = 1; j <= ref.nSpeciesCount; ++j) {
    const SortedSpeciesEntry& e = ref.arrSortedSpecies[j];
    const bool first = j == 1 || ref.arrSortedSpecies[j - 1].nSpeciesCode != e.nSpeciesCode;
    if (first && InCodeIndex(ref, e.nSpeciesCode)) {
      ref.arrSpeciesIndexByCode[e.nSpeciesCode] = e.nSpeciesIndex;
    }
  }
  return readFailed ? -1 : skipped;
}

// Equal codes keep the order of their dictionary rows, so the comparator alone
// fixes the order and an unstable sort gives the same table every time.
void SortSpecies(SortedSpeciesEntry* arr, int n) {
  if (arr == nullptr || n < 2) return;
  std::sort(arr + 1, arr + n + 1, [](const SortedSpeciesEntry& a, const SortedSpeciesEntry& b) {
    if (a.nSpeciesCode != b.nSpeciesCode) return a.nSpeciesCode < b.nSpeciesCode;
    return a.nSpeciesIndex < b.nSpeciesIndex;
  });
}

// Halving lower-bound search: the first row of the sorted index with this code.
// With only the two fixed entries nothing is found.
int FindSortedRowByCode(const RefData& ref, int code) {
  const int n = ref.nSpeciesCount;
  assert(n >= 0 && n <= LastRow(ref.arrSortedSpecies));
  if (n <= 2) return 0;
  const SortedSpeciesEntry* first = ref.arrSortedSpecies.data() + 1;
  const SortedSpeciesEntry* last = ref.arrSortedSpecies.data() + n + 1;
  const SortedSpeciesEntry* at = std::lower_bound(
      first, last, code, [](const SortedSpeciesEntry& e, int c) { return e.nSpeciesCode < c; });
  if (at == last || at->nSpeciesCode != code) return 0;
  return static_cast<int>(at - ref.arrSortedSpecies.data());
}

int DictionaryRowOfCodeSearched(const RefData& ref, int code) {
  const int row = FindSortedRowByCode(ref, code);
  return row == 0 ? 0 : ref.arrSortedSpecies[row].nSpeciesIndex;
}

int CompareShortName(const char* key, const char* name) {
  return std::strncmp(key, name, kShortNameBytes);
}

NameBracket FindNameBracket(const RefData& ref, const char* key) {
  int lo = 1;
  int hi = ref.nSpeciesCount;
  assert(hi >= 2 && hi <= LastRow(ref.arrSpecies));
  while (hi - lo > 1) {
    int mid = (lo + hi) / 2;
    if (CompareShortName(key, ref.arrSpecies[mid].szShortName) < 0) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  int equal = 0;
  if (CompareShortName(key, ref.arrSpecies[lo].szShortName) == 0) {
    equal = lo;
  } else if (CompareShortName(key, ref.arrSpecies[hi].szShortName) == 0) {
    equal = hi;
  }
  return NameBracket{lo, hi, equal};
}

namespace {

// FNV-1a over the bytes of a short name (to its end or its width).
uint32_t HashOfName(const char* name) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < kShortNameBytes && name[i] != '\0'; ++i) {
    h = (h ^ static_cast<unsigned char>(name[i])) * 16777619u;
  }
  return h;
}

}  // namespace

void BuildNameIndex(RefData& ref) {
  size_t slots = 64;
  while (slots < 2 * static_cast<size_t>(ref.nSpeciesCount)) slots *= 2;
  ref.arrNameIndex.assign(slots, 0);
  ref.nNameIndexCount = ref.nSpeciesCount;
  const size_t mask = slots - 1;
  for (int row = 1; row <= ref.nSpeciesCount; ++row) {
    const char* name = ref.arrSpecies[row].szShortName;
    // A name shared by several rows (or out of order) is found as the halving
    // search finds it.
    const int found = FindNameBracket(ref, name).equal;
    if (found == 0) continue;
    size_t s = HashOfName(name) & mask;
    while (ref.arrNameIndex[s] != 0 &&
           CompareShortName(name, ref.arrSpecies[ref.arrNameIndex[s]].szShortName) != 0) {
      s = (s + 1) & mask;
    }
    ref.arrNameIndex[s] = found;
  }
}

int DictionaryRowOfName(const RefData& ref, const char* key) {
  if (ref.arrNameIndex.empty() || ref.nNameIndexCount != ref.nSpeciesCount) {
    return FindNameBracket(ref, key).equal;
  }
  const size_t mask = ref.arrNameIndex.size() - 1;
  for (size_t s = HashOfName(key) & mask;; s = (s + 1) & mask) {
    const int row = ref.arrNameIndex[s];
    if (row == 0) return 0;
    if (CompareShortName(key, ref.arrSpecies[row].szShortName) == 0) return row;
  }
}

NewSpecies AppendNewSpecies(RefData& ref, std::string_view shortName) {
  assert(ref.nSpeciesEntries >= ref.nSpeciesCount &&
         ref.nSpeciesEntries <= LastRow(ref.arrSpecies));
  if (ref.nSpeciesEntries >= LastRow(ref.arrSpecies)) {
    return NewSpecies{NewSpeciesResult::kTableFull, 0};
  }
  if (ref.nNextNewSpeciesCode >= kMaxNewSpeciesCode) {
    return NewSpecies{NewSpeciesResult::kNoCodesLeft, 0};
  }
  const int row = ++ref.nSpeciesEntries;
  SpeciesEntry& e = ref.arrSpecies[row];
  const size_t n = std::min(shortName.size(), static_cast<size_t>(kShortNameWidth));
  std::memcpy(e.szShortName, shortName.data(), n);
  e.szShortName[n] = '\0';
  e.szFullName[0] = '\0';
  e.nSpeciesCode = ++ref.nNextNewSpeciesCode;
  return NewSpecies{NewSpeciesResult::kAdded, row};
}

// ---- the community definitions -------------------------------------------------------

int LoadCommunityDefinitions(Console& con, RefData& ref, const std::string& folder) {
  Say(con, "\n Reading NVC Types from file %s", kDefinitionsFile);
  File file = OpenIn(folder, kDefinitionsFile, "r");
  ZeroTable(ref.arrNVCData, kNVCCapacity + 1);
  int k = 0;
  int skipped = 0;
  bool readFailed = false;
  if (!file) {
    Say(con, "Error opening %s\n", kDefinitionsFile);
  } else {
    char line[kLineBufferSize];
    int lineNo = 0;
    for (;;) {
      const TextLine got = ReadTextLine(file.get(), line);
      if (got == TextLine::kEnd) break;
      ++lineNo;
      auto where = [&] { return At(kDefinitionsFile, lineNo); };
      if (got == TextLine::kNul) {
        Diagnose(con.err, where(), kNulRefusal);
        ++skipped;
        continue;
      }
      if (got == TextLine::kTooLong) {
        SayTooLong(con, where());
        ++skipped;
        break;
      }
      if (k == kMaxUnits) {
        Diagnose(con.err, where(), Fmt("more than %d units; reading stops here", kMaxUnits));
        ++skipped;
        break;
      }
      ++k;
      NVCUnit& unit = GrowTo(ref.arrNVCData, k);
      bool cut = false;
      bool present = true;
      const char* p = TakeField(line, unit.szNVCType, kTypeWidth, cut);
      p = NextField(p, unit.szNVCCommonName, kCommonNameWidth, cut, present);
      p = NextField(p, unit.szNVCSubName, kSubNameWidth, cut, present);
      p = NextField(p, unit.szEunisCode, kEunisCodeWidth, cut, present);
      NextField(p, unit.szEunisName, kEunisNameWidth, cut, present);
      if (!present) {
        Diagnose(con.err, where(), "fewer than 5 fields; the missing ones are left empty");
      }
      if (cut) Diagnose(con.err, where(), "text longer than its field was cut to fit");
    }
    if (!file.Close()) {
      Diagnose(con.err, kDefinitionsFile, "error reading the file; it was not read to its end");
      readFailed = true;
    }
    if (k == 0) Diagnose(con.err, kDefinitionsFile, "no unit was read");
  }
  ref.nNVCCount = k;
  // One record past the last unit takes the lines of communities that are not defined.
  ref.arrNVCData.resize(static_cast<size_t>(std::max(kNVCCapacity, k + 1)) + 1);
  return readFailed ? -1 : skipped;
}

// ---- the association tables -------------------------------------------------------------

int LoadAssociationTables(Console& con, RefData& ref, const std::string& folder) {
  Say(con, "\n Reading in NVC tables from file %s\n", kAssociationFile);
  File file = OpenIn(folder, kAssociationFile, "r");
  if (!file) Say(con, "Error opening %s\n", kAssociationFile);
  ZeroTable(ref.arrTbNVCToSpeciesJoinTable, kTableLineCapacity + 1);

  char previous[kAssocFieldWidth + 1] = "0";
  int blockUnit = 0;  // unit of the current block; 0 before the first block
  int lineNo = 1;     // number of the next line
  int skipped = 0;
  int usable = 0;     // lines whose three fields were read whole and within their ranges
  bool readFailed = false;
  std::unordered_map<std::string, int> unitOfCode;
  // Codes within range that the dictionary lacks, in order of their first line;
  // each is reported once, with the number of its lines.
  struct UnknownCode {
    int code;
    int firstLine;
    int lines;
  };
  std::vector<UnknownCode> unknownCodes;
  std::unordered_map<int, size_t> unknownIndex;

  if (file) {
    char line[kLineBufferSize];
    char code[kAssocFieldWidth + 1];
    char species[kAssocFieldWidth + 1];
    char quant[kAssocFieldWidth + 1];
    for (;;) {
      const TextLine got = ReadTextLine(file.get(), line);
      if (got == TextLine::kEnd) break;
      auto where = [&] { return At(kAssociationFile, lineNo); };
      if (got == TextLine::kTooLong) {
        SayTooLong(con, where());
        ++skipped;
        break;
      }
      if (lineNo > kMaxAssociationLines) {
        Diagnose(con.err, kAssociationFile,
                 Fmt("more than %d association lines; only the first %d are loaded",
                     kMaxAssociationLines, kMaxAssociationLines));
        ++skipped;
        break;
      }

      SpeciesTableLine& stored = GrowTo(ref.arrTbNVCToSpeciesJoinTable, lineNo);
      if (got == TextLine::kNul) {
        // Nothing of the line can be trusted: it stays in the current block but takes no part.
        stored = SpeciesTableLine{0, 0};
        Diagnose(con.err, where(), kNulRefusal);
        ++skipped;
        ++lineNo;
        continue;
      }

      bool codeCut = false;
      bool speciesCut = false;
      bool quantCut = false;
      bool hasSpecies = false;
      bool hasQuant = false;
      const char* p = TakeField(line, code, kAssocFieldWidth, codeCut);
      p = NextField(p, species, kAssocFieldWidth, speciesCut, hasSpecies);
      NextField(p, quant, kAssocFieldWidth, quantCut, hasQuant);
      hasSpecies = hasSpecies && species[0] != '\0';
      hasQuant = hasQuant && quant[0] != '\0';

      if (code[0] == '\0') {
        // No community code: the line stays in the current block but takes no part.
        stored = SpeciesTableLine{0, 0};
        Diagnose(con.err, where(), "no community code; the line takes no part");
        ++skipped;
        ++lineNo;
        continue;
      }

      if (std::strcmp(code, previous) != 0) {
        // A new block: find its unit by exact code (the first unit of that code).
        if (unitOfCode.empty()) {
          for (int m = ref.nNVCCount; m >= 1; --m) unitOfCode[ref.arrNVCData[m].szNVCType] = m;
        }
        const auto found = unitOfCode.find(code);
        int unit = found == unitOfCode.end() ? 0 : found->second;
        if (unit == 0) {
          // The range goes to the record after the last unit, which nothing reads.
          unit = ref.nNVCCount + 1;
          GrowTo(ref.arrNVCData, unit);
          Diagnose(con.err, where(), Fmt("community %s is not defined; its lines take no part", code));
        } else if (ref.arrNVCData[unit].nSpeciesTableEndIndex != 0) {
          Diagnose(con.err, where(),
                   Fmt("community %s comes again; its earlier lines take no part", code));
        }
        if (blockUnit > 0) ref.arrNVCData[blockUnit].nSpeciesTableEndIndex = lineNo - 1;
        std::memcpy(previous, code, sizeof previous);
        blockUnit = unit;
        ref.arrNVCData[blockUnit].nSpeciesTableStartIndex = lineNo;
        ref.arrNVCData[blockUnit].nSpeciesTableEndIndex = 0;
      }

      if (codeCut || speciesCut || quantCut) {
        Diagnose(con.err, where(),
                 Fmt("a field longer than %d characters was cut", kAssocFieldWidth));
      }
      // Both numbers must be read whole: a prefix of "1e308" or of a cut field
      // would credit the line to a real species or quant.
      const WholeNumber speciesNumber =
          hasSpecies && !speciesCut ? ReadWholeNumber(species) : WholeNumber{false, 0};
      const WholeNumber quantNumber =
          hasQuant && !quantCut ? ReadWholeNumber(quant) : WholeNumber{false, 0};
      std::string refusal;
      if (!hasSpecies || !hasQuant) {
        stored.nSpeciesCode = hasSpecies ? ClampToInt16(ReadLong(species)) : 0;
        stored.nQuant = 0;
        refusal = "species or quant field missing";
      } else {
        stored.nSpeciesCode = ClampToInt16(speciesNumber.value);
        stored.nQuant = ClampToInt16(quantNumber.value);
        if (!speciesNumber.whole) {
          refusal = speciesCut ? Fmt("species code longer than %d characters", kAssocFieldWidth)
                               : Fmt("species code \"%s\" is not a whole number", species);
        } else if (speciesNumber.value < 1 || speciesNumber.value > kMaxDictionaryCode) {
          refusal = Fmt("species code %ld outside 1..%d", speciesNumber.value, kMaxDictionaryCode);
        } else if (!quantNumber.whole) {
          refusal = quantCut ? Fmt("quant longer than %d characters", kAssocFieldWidth)
                             : Fmt("quant \"%s\" is not a whole number", quant);
        } else if (!IsValidQuant(stored.nQuant)) {
          refusal = Fmt("quant %ld outside 1..%d", quantNumber.value, kQuantCodes);
        }
      }
      if (!refusal.empty()) {
        // Every refused line holds a code or a quant that takes no part.
        assert(stored.nSpeciesCode < 1 || stored.nSpeciesCode > kMaxDictionaryCode ||
               !IsValidQuant(stored.nQuant));
        Diagnose(con.err, where(), refusal + "; the line takes no part");
        ++skipped;
      } else {
        ++usable;
        if (ref.nSpeciesCount > 2 && DictionaryRowOfCode(ref, stored.nSpeciesCode) == 0) {
          const auto [at, added] = unknownIndex.try_emplace(stored.nSpeciesCode, unknownCodes.size());
          if (added) unknownCodes.push_back(UnknownCode{stored.nSpeciesCode, lineNo, 0});
          ++unknownCodes[at->second].lines;
        }
      }
      ++lineNo;
    }
    if (!file.Close()) {
      Diagnose(con.err, kAssociationFile, "error reading the file; it was not read to its end");
      readFailed = true;
    }
    for (const UnknownCode& u : unknownCodes) {
      Diagnose(con.err, At(kAssociationFile, u.firstLine),
               Fmt("species code %d is not in the dictionary; its %d line%s take%s no part",
                   u.code, u.lines, u.lines == 1 ? "" : "s", u.lines == 1 ? "s" : ""));
    }
    if (usable == 0) Diagnose(con.err, kAssociationFile, "no usable association line was read");
  }

  if (blockUnit > 0) ref.arrNVCData[blockUnit].nSpeciesTableEndIndex = lineNo - 1;
  ref.nSpeciesTableCount = lineNo - 1;
  ref.arrTbNVCToSpeciesJoinTable.resize(
      static_cast<size_t>(std::max(kTableLineCapacity, ref.nSpeciesTableCount)) + 1);
  RegroupBySpeciesCode(ref);
  return readFailed ? -1 : skipped;
}

std::vector<std::string> MissingReferenceFiles(const std::string& folder) {
  std::vector<std::string> missing;
  for (const char* name : {kDictionaryFile, kDefinitionsFile, kAssociationFile}) {
    if (!FileExists(folder, name)) missing.emplace_back(name);
  }
  return missing;
}

namespace {

// The regrouped lines: those of a unit, a dictionary species and a valid quant.
int LinesTakingPart(const RefData& ref) {
  int n = 0;
  for (int t = 1; t <= ref.nSpeciesTableCount; ++t) {
    if (ref.arrTbSpeciesToNVCJoinTable[t].nNVCIndex != 0) ++n;
  }
  return n;
}

}  // namespace

bool LoadReferenceData(Console& con, RefData& ref, const std::string& folder) {
  const int dictionary = LoadSpeciesDictionary(con, ref, folder);
  const int definitions = LoadCommunityDefinitions(con, ref, folder);
  const int associations = LoadAssociationTables(con, ref, folder);
  return FinishReferenceData(con, ref, {dictionary, definitions, associations});
}

bool FinishReferenceData(Console& con, RefData& ref, const std::array<int, 3>& skipped) {
  ref.nSpeciesEntries = ref.nSpeciesCount;
  ref.nNextNewSpeciesCode = kNewSpeciesCodeBase;
  CheckReferenceTables(ref);
  BuildNameIndex(ref);
  bool whole = true;
  int total = 0;
  for (int n : skipped) {
    if (n < 0) whole = false;
    if (n > 0) total += n;
  }
  if (total > 0) {
    Diagnose(con.err, "",
             Fmt("%d malformed line%s of the reference files %s skipped (see above)", total,
                 total == 1 ? "" : "s", total == 1 ? "was" : "were"));
  }
  // Without a line that joins a unit to a species of the dictionary every fit of
  // every sample would be 0: such tables are refused rather than scored.
  if (whole && LinesTakingPart(ref) == 0) {
    Diagnose(con.err, "",
             "no association line joins a unit to a species of the dictionary (see above); "
             "no sample can be scored");
    return false;
  }
  return whole;
}

void CheckReferenceTables([[maybe_unused]] const RefData& ref) {
#ifndef NDEBUG
  assert(ref.nSpeciesCount >= 2 && ref.nSpeciesCount <= LastRow(ref.arrSpecies));
  assert(ref.arrSortedSpecies.size() == ref.arrSpecies.size());
  assert(ref.arrSpeciesBySpeciesIndex.size() == ref.arrSpecies.size());
  assert(ref.arrSpeciesBySpeciesCode.size() == ref.arrSpeciesIndexByCode.size());
  assert(ref.arrTbSpeciesToNVCJoinTable.size() == ref.arrTbNVCToSpeciesJoinTable.size());
  assert(ref.nNVCCount >= 0 && ref.nNVCCount + 1 <= LastRow(ref.arrNVCData));
  assert(ref.nSpeciesTableCount >= 0 &&
         ref.nSpeciesTableCount <= LastRow(ref.arrTbNVCToSpeciesJoinTable));
  assert(ref.nSpeciesEntries >= ref.nSpeciesCount &&
         ref.nSpeciesEntries <= LastRow(ref.arrSpecies));
  for (int m = 1; m <= ref.nNVCCount + 1; ++m) {
    const NVCUnit& u = ref.arrNVCData[m];
    assert(u.nSpeciesTableEndIndex == 0 ||
           (u.nSpeciesTableStartIndex >= 1 && u.nSpeciesTableStartIndex <= u.nSpeciesTableEndIndex &&
            u.nSpeciesTableEndIndex <= ref.nSpeciesTableCount));
  }
  for (int i = 1; i <= ref.nSpeciesCount; ++i) {
    const SortedSpeciesEntry& e = ref.arrSortedSpecies[i];
    assert(e.nSpeciesIndex >= 1 && e.nSpeciesIndex <= ref.nSpeciesCount);
    assert(i == 1 || ref.arrSortedSpecies[i - 1].nSpeciesCode <= e.nSpeciesCode);
  }
  int lines = 0;
  for (int c = 1; c <= LastRow(ref.arrSpeciesIndexByCode); ++c) {
    const int idx = ref.arrSpeciesIndexByCode[c];
    assert(idx >= 0 && idx <= ref.nSpeciesCount);
    assert(idx == 0 || ref.arrSpecies[idx].nSpeciesCode == c);
    const TableRange& r = ref.arrSpeciesBySpeciesCode[c];
    if (r.nEndIndex == 0) continue;
    assert(idx != 0 && r.nStartIndex >= 1 && r.nStartIndex <= r.nEndIndex &&
           r.nEndIndex <= ref.nSpeciesTableCount);
    for (int t = r.nStartIndex; t <= r.nEndIndex; ++t) {
      const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[t];
      assert(line.nNVCIndex >= 1 && line.nNVCIndex <= ref.nNVCCount);
      assert(IsValidQuant(line.nQuant));
      ++lines;
    }
  }
  assert(lines <= ref.nSpeciesTableCount);
  for (int i = 1; i <= ref.nSpeciesCount; ++i) {
    const TableRange& r = ref.arrSpeciesBySpeciesIndex[i];
    assert(r.nEndIndex == 0 ||
           (r.nStartIndex >= 1 && r.nStartIndex <= r.nEndIndex &&
            r.nEndIndex <= ref.nSpeciesTableCount));
  }
#endif
}
