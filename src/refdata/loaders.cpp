// Loaders of the three reference files: the species dictionary, the community
// definitions and the association tables, and the regrouping of the association
// lines by species code.
//
// Whatever the files hold, nothing is written past a field or a table: over-long
// text is cut to its field, and a file with more lines than its table holds is
// read up to the capacity. Each such event is noted on the error stream; the
// console output carries only the loaders' own messages.
#include <cctype>
#include <cstring>
#include <ostream>
#include <vector>

#include "common/textio.h"
#include "refdata/refdata.h"

namespace {

constexpr const char* kDictionaryFile = "SPECDICT3.txt";
constexpr const char* kDefinitionsFile = "VegmatchNVCDef3.txt";
constexpr const char* kAssociationFile = "VegmatchNVCData3.txt";

// Lines of the definitions and association files hold at most 511 characters;
// one more than that (plus the line end and terminator) tells a longer line.
constexpr int kMaxLineLength = 511;
constexpr int kLineBufferSize = kMaxLineLength + 2;

// Dictionary word limits (the short name is built from the two words).
constexpr int kFirstWordWidth = 14;
constexpr int kSecondWordWidth = 19;
constexpr int kShortNameWidth = static_cast<int>(sizeof(SpeciesEntry::szShortName)) - 1;
constexpr int kFullNameWidth = static_cast<int>(sizeof(SpeciesEntry::szFullName)) - 1;
constexpr int kCodeFieldWidth = 4;  // sign included

// Association line fields 1 to 3 are read into 20-character buffers.
constexpr int kAssocFieldWidth = 19;

constexpr int kLastDictionaryLine = kSpeciesCapacity - 2;  // entries 1 and 2 are fixed

// ---- character reading ---------------------------------------------------------

// Hands out the characters of a file one by one, reading it in pieces through
// ReadFilePiece, so that CR LF comes out as a single line feed.
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
    return c;
  }

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
// lines included, is skipped before a record.
enum class RecordRead { kRecord, kEnd, kNotANumber };

RecordRead ReadDictionaryRecord(CharSource& src, int& lineNo, DictionaryRecord& rec) {
  rec = DictionaryRecord();
  for (int c = src.Peek(); c != EOF && std::isspace(c) != 0; c = src.Peek()) {
    if (src.Get() == '\n') ++lineNo;
  }
  rec.line = lineNo;
  if (src.Peek() == EOF) return RecordRead::kEnd;

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
  if (digits == 0) return RecordRead::kNotANumber;
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
  // Consume the line end.
  for (c = src.Get(); c != EOF && c != '\n'; c = src.Get()) {
  }
  if (c == '\n') ++lineNo;
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

// Reads one line of at most 511 characters (line end not kept). Returns 1 for a
// line, 0 at the end of the file, -1 for a line that is too long.
int ReadTextLine(std::FILE* fp, char* buf) {
  int n = ReadFilePiece(fp, buf, kLineBufferSize);
  if (n < 0) return 0;
  if (n > kMaxLineLength && buf[n - 1] != '\n') return -1;
  StripLineEnd(buf);
  return 1;
}

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

// ---- regrouping ------------------------------------------------------------------

bool InCodeIndex(int code) { return code >= 1 && code <= kMaxSpeciesCode; }

// Regroups the association lines by species code: lines of the codes that have a
// dictionary entry, by ascending code and in file order within a code, leaving
// out lines that lie in no unit's range and lines whose quant takes no part.
// One counting pass and one placing pass over the lines.
void RegroupBySpeciesCode(RefData& ref) {
  const int lines = ref.nSpeciesTableCount;

  // The unit of every line; 0 for a line in no unit's range.
  std::vector<int16_t> owner(static_cast<size_t>(lines) + 1, 0);
  for (int m = 1; m <= ref.nNVCCount; ++m) {
    const NVCUnit& unit = ref.arrNVCData[m];
    if (unit.nSpeciesTableEndIndex == 0) continue;
    int from = unit.nSpeciesTableStartIndex < 1 ? 1 : unit.nSpeciesTableStartIndex;
    int to = unit.nSpeciesTableEndIndex > lines ? lines : unit.nSpeciesTableEndIndex;
    for (int u = from; u <= to; ++u) owner[static_cast<size_t>(u)] = static_cast<int16_t>(m);
  }

  auto takesPart = [&](int u) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[u];
    return owner[static_cast<size_t>(u)] != 0 && IsValidQuant(line.nQuant) &&
           InCodeIndex(line.nSpeciesCode) && ref.arrSpeciesIndexByCode[line.nSpeciesCode] != 0;
  };

  std::vector<int> next(kMaxSpeciesCode + 1, 0);  // lines per code, then next free slot
  for (int u = 1; u <= lines; ++u) {
    if (takesPart(u)) ++next[static_cast<size_t>(ref.arrTbNVCToSpeciesJoinTable[u].nSpeciesCode)];
  }

  for (TableRange& r : ref.arrSpeciesBySpeciesCode) r = TableRange{0, 0};
  for (TableRange& r : ref.arrSpeciesBySpeciesIndex) r = TableRange{0, 0};
  for (NVCTableLine& l : ref.arrTbSpeciesToNVCJoinTable) l = NVCTableLine{0, 0};

  int v = 1;
  for (int m = 1; m <= kMaxSpeciesCode; ++m) {
    if (ref.arrSpeciesIndexByCode[m] == 0) continue;
    int count = next[static_cast<size_t>(m)];
    ref.arrSpeciesBySpeciesCode[m].nStartIndex = static_cast<int16_t>(v);
    ref.arrSpeciesBySpeciesCode[m].nEndIndex = static_cast<int16_t>(count > 0 ? v + count - 1 : 0);
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
  int entries = ref.nSpeciesCount > kSpeciesCapacity ? kSpeciesCapacity : ref.nSpeciesCount;
  for (int j = 1; j <= entries; ++j) {
    const SortedSpeciesEntry& e = ref.arrSortedSpecies[j];
    if (!InCodeIndex(e.nSpeciesCode)) continue;
    if (e.nSpeciesIndex < 1 || e.nSpeciesIndex > kSpeciesCapacity) continue;
    ref.arrSpeciesBySpeciesIndex[e.nSpeciesIndex] = ref.arrSpeciesBySpeciesCode[e.nSpeciesCode];
  }
}

}  // namespace

// ---- the species dictionary --------------------------------------------------------

void LoadSpeciesDictionary(Console& con, RefData& ref) {
  Say(con, "\n Reading in dictionary from file SPECDICT.txt");
  std::FILE* fp = OpenIn(con, kDictionaryFile, "r");
  if (fp == nullptr) Say(con, "Error opening %s\n", kDictionaryFile);

  ref.arrSortedSpecies[1] = SortedSpeciesEntry{0, 1};
  ref.arrSortedSpecies[2] = SortedSpeciesEntry{0, 2};
  std::memcpy(ref.arrSpecies[1].szShortName, "NEW NAME ", 10);
  std::memcpy(ref.arrSpecies[2].szShortName, "DELETE   ", 10);
  int i = 2;

  if (fp != nullptr) {
    CharSource src(fp);
    int lineNo = 1;
    DictionaryRecord rec;
    RecordRead got;
    while ((got = ReadDictionaryRecord(src, lineNo, rec)) == RecordRead::kRecord) {
      if (i == kSpeciesCapacity) {
        con.err << kDictionaryFile << ": more than " << kLastDictionaryLine
                << " species lines; the dictionary holds " << kSpeciesCapacity
                << " entries, so reading stops at line " << rec.line << "\n";
        break;
      }
      ++i;
      SpeciesEntry& entry = ref.arrSpecies[i];
      bool shortCut = ComposeShortName(rec.firstWord, rec.secondWord, entry.szShortName);
      entry.nSpeciesCode = rec.code;
      CopyField(entry.szFullName, rec.fullName, kFullNameWidth);
      ref.arrSortedSpecies[i] = SortedSpeciesEntry{rec.code, static_cast<int16_t>(i)};

      if (rec.fields < 4) {
        con.err << kDictionaryFile << " line " << rec.line << ": only " << rec.fields
                << " of 4 fields; the missing ones are left empty\n";
      }
      if (rec.codeRunsOn) {
        con.err << kDictionaryFile << " line " << rec.line
                << ": the species code runs into the next field\n";
      }
      if (rec.cut || shortCut) {
        con.err << kDictionaryFile << " line " << rec.line
                << ": text longer than its field was cut to fit\n";
      }
    }
    if (got == RecordRead::kNotANumber) {
      con.err << kDictionaryFile << " line " << rec.line
              << " does not begin with a species code; the rest of the file is not read\n";
    }
    if (std::fclose(fp) != 0) con.err << kDictionaryFile << ": error closing the file\n";
  }

  ref.nSpeciesCount = static_cast<int16_t>(i);
  SortSpecies(ref.arrSortedSpecies, ref.nSpeciesCount);

  ref.arrSpeciesIndexByCode[0] = 0;
  for (int c = 1; c <= kMaxSpeciesCode; ++c) {
    int row = FindSortedRowByCode(ref, c);
    ref.arrSpeciesIndexByCode[c] = row == 0 ? 0 : ref.arrSortedSpecies[row].nSpeciesIndex;
  }
}

namespace {

bool SortsBefore(const SortedSpeciesEntry& a, const SortedSpeciesEntry& b) {
  if (a.nSpeciesCode != b.nSpeciesCode) return a.nSpeciesCode < b.nSpeciesCode;
  return a.nSpeciesIndex < b.nSpeciesIndex;
}

}  // namespace

// Heapsort over the 1-based entries 1..n, in place: build a max-heap by sifting
// each new entry up, then repeatedly move the root to the end of the shrinking heap
// and sift the displaced last entry down from the root.
void SortSpecies(SortedSpeciesEntry* arr, int n) {
  if (arr == nullptr || n < 2) return;
  for (int k = 2; k <= n; ++k) {
    SortedSpeciesEntry item = arr[k];
    int pos = k;
    while (pos > 1 && SortsBefore(arr[pos / 2], item)) {
      arr[pos] = arr[pos / 2];
      pos /= 2;
    }
    arr[pos] = item;
  }
  for (int last = n; last > 1; --last) {
    SortedSpeciesEntry item = arr[last];
    arr[last] = arr[1];
    int heap = last - 1;
    int pos = 1;
    while (2 * pos <= heap) {
      int child = 2 * pos;
      if (child < heap && SortsBefore(arr[child], arr[child + 1])) ++child;
      if (!SortsBefore(item, arr[child])) break;
      arr[pos] = arr[child];
      pos = child;
    }
    arr[pos] = item;
  }
}

// Halving lower-bound search: the first row of the sorted index with this code.
// With only the two fixed entries nothing is found.
int FindSortedRowByCode(const RefData& ref, int code) {
  int n = ref.nSpeciesCount > kSpeciesCapacity ? kSpeciesCapacity : ref.nSpeciesCount;
  if (n <= 2) return 0;
  int lo = 1;
  int hi = n;
  while (hi - lo > 1) {
    int mid = (lo + hi) / 2;
    if (ref.arrSortedSpecies[mid].nSpeciesCode < code) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  if (ref.arrSortedSpecies[lo].nSpeciesCode == code) return lo;
  if (ref.arrSortedSpecies[hi].nSpeciesCode == code) return hi;
  return 0;
}

// ---- the community definitions -------------------------------------------------------

void LoadCommunityDefinitions(Console& con, RefData& ref) {
  Say(con, "\n Reading NVC Types from file %s", kDefinitionsFile);
  std::FILE* fp = OpenIn(con, kDefinitionsFile, "r");
  int k = 0;
  if (fp == nullptr) {
    Say(con, "Error opening %s\n", kDefinitionsFile);
  } else {
    char line[kLineBufferSize];
    int lineNo = 0;
    for (;;) {
      int got = ReadTextLine(fp, line);
      if (got == 0) break;
      ++lineNo;
      if (got < 0) {
        con.err << kDefinitionsFile << " line " << lineNo << " is longer than " << kMaxLineLength
                << " characters; it and the lines after it are not read\n";
        break;
      }
      if (k == kNVCCapacity) {
        con.err << kDefinitionsFile << ": more than " << kNVCCapacity
                << " units; reading stops at line " << lineNo << "\n";
        break;
      }
      ++k;
      NVCUnit& unit = ref.arrNVCData[k];
      bool cut = false;
      bool present = true;
      const char* p = TakeField(line, unit.szNVCType, sizeof unit.szNVCType - 1, cut);
      p = NextField(p, unit.szNVCCommonName, sizeof unit.szNVCCommonName - 1, cut, present);
      p = NextField(p, unit.szNVCSubName, sizeof unit.szNVCSubName - 1, cut, present);
      p = NextField(p, unit.szEunisCode, sizeof unit.szEunisCode - 1, cut, present);
      NextField(p, unit.szEunisName, sizeof unit.szEunisName - 1, cut, present);
      if (!present) {
        con.err << kDefinitionsFile << " line " << lineNo
                << ": fewer than 5 fields; the missing ones are left empty\n";
      }
      if (cut) {
        con.err << kDefinitionsFile << " line " << lineNo
                << ": text longer than its field was cut to fit\n";
      }
    }
    if (std::fclose(fp) != 0) con.err << kDefinitionsFile << ": error closing the file\n";
  }
  ref.nNVCCount = static_cast<int16_t>(k);
}

// ---- the association tables -------------------------------------------------------------

void LoadAssociationTables(Console& con, RefData& ref) {
  Say(con, "\n Reading in NVC tables from file %s\n", kAssociationFile);
  std::FILE* fp = OpenIn(con, kAssociationFile, "r");
  if (fp == nullptr) Say(con, "Error opening %s\n", kAssociationFile);

  char previous[kAssocFieldWidth + 1] = "0";
  int l = 0;  // unit of the current block; 0 before the first block
  int o = 1;  // number of the next line

  if (fp != nullptr) {
    char line[kLineBufferSize];
    char code[kAssocFieldWidth + 1];
    char species[kAssocFieldWidth + 1];
    char quant[kAssocFieldWidth + 1];
    for (;;) {
      int got = ReadTextLine(fp, line);
      if (got == 0) break;
      if (got < 0) {
        con.err << kAssociationFile << " line " << o << " is longer than " << kMaxLineLength
                << " characters; it and the lines after it are not read\n";
        break;
      }
      if (o > kTableLineCapacity) {
        con.err << kAssociationFile << ": more than " << kTableLineCapacity
                << " association lines; only the first " << kTableLineCapacity
                << " are loaded\n";
        break;
      }

      bool cut = false;
      bool hasSpecies = false;
      bool hasQuant = false;
      const char* p = TakeField(line, code, kAssocFieldWidth, cut);
      p = NextField(p, species, kAssocFieldWidth, cut, hasSpecies);
      NextField(p, quant, kAssocFieldWidth, cut, hasQuant);
      hasSpecies = hasSpecies && species[0] != '\0';
      hasQuant = hasQuant && quant[0] != '\0';

      if (code[0] == '\0') {
        // No community code: the line stays in the current block but takes no part.
        ref.arrTbNVCToSpeciesJoinTable[o] = SpeciesTableLine{0, 0};
        con.err << kAssociationFile << " line " << o
                << ": no community code; the line takes no part\n";
        ++o;
        continue;
      }

      if (std::strcmp(code, previous) != 0) {
        // A new block: find its unit by exact code.
        int unit = 0;
        for (int m = 1; m <= ref.nNVCCount; ++m) {
          if (std::strcmp(ref.arrNVCData[m].szNVCType, code) == 0) {
            unit = m;
            break;
          }
        }
        if (unit == 0) {
          if (ref.nNVCCount >= kNVCCapacity) {
            con.err << kAssociationFile << " line " << o << ": community " << code
                    << " is not defined and all " << kNVCCapacity
                    << " unit records are in use; reading stops here\n";
            break;
          }
          // The range goes to the record after the last unit, which nothing reads.
          unit = ref.nNVCCount + 1;
          con.err << kAssociationFile << " line " << o << ": community " << code
                  << " is not defined; its lines take no part\n";
        } else if (ref.arrNVCData[unit].nSpeciesTableEndIndex != 0) {
          con.err << kAssociationFile << " line " << o << ": community " << code
                  << " comes again; its earlier lines take no part\n";
        }
        if (l > 0) ref.arrNVCData[l].nSpeciesTableEndIndex = static_cast<int16_t>(o - 1);
        std::memcpy(previous, code, sizeof previous);
        l = unit;
        ref.arrNVCData[l].nSpeciesTableStartIndex = static_cast<int16_t>(o);
        ref.arrNVCData[l].nSpeciesTableEndIndex = 0;
      }

      SpeciesTableLine& stored = ref.arrTbNVCToSpeciesJoinTable[o];
      stored.nSpeciesCode = hasSpecies ? ClampToInt16(ReadLong(species)) : 0;
      stored.nQuant = (hasSpecies && hasQuant) ? ClampToInt16(ReadLong(quant)) : 0;
      if (!hasSpecies || !hasQuant) {
        con.err << kAssociationFile << " line " << o
                << ": species or quant field missing; the line takes no part\n";
      } else if (!IsValidQuant(stored.nQuant)) {
        con.err << kAssociationFile << " line " << o << ": quant " << stored.nQuant
                << " outside 1.." << kQuantCodes << "; the line takes no part\n";
      }
      if (cut) {
        con.err << kAssociationFile << " line " << o
                << ": a field longer than " << kAssocFieldWidth << " characters was cut\n";
      }
      ++o;
    }
    if (std::fclose(fp) != 0) con.err << kAssociationFile << ": error closing the file\n";
  }

  if (l > 0) ref.arrNVCData[l].nSpeciesTableEndIndex = static_cast<int16_t>(o - 1);
  ref.nSpeciesTableCount = static_cast<int16_t>(o - 1);
  RegroupBySpeciesCode(ref);
}

void LoadReferenceData(Console& con, RefData& ref) {
  LoadSpeciesDictionary(con, ref);
  LoadCommunityDefinitions(con, ref);
  LoadAssociationTables(con, ref);
}
