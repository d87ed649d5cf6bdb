// The loader of the species dictionary: its records read character by character
// (a code, two words and the full name to the line end), the short names
// composed from the two words, and the sorted index and the code index built.
#include <algorithm>
#include <cassert>
#include <cctype>
#include <cstring>
#include <string>

#include "refdata/loading.h"

namespace {

// Dictionary word limits (the short name is built from the two words).
constexpr int kFirstWordWidth = 14;
constexpr int kSecondWordWidth = 19;
constexpr int kCodeFieldWidth = 4;  // sign included

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

// Empties the dictionary tables but for their two fixed first rows.
void StartDictionary(RefData& ref) {
  ZeroTable(ref.arrSpecies, kSpeciesCapacity + 1);
  ZeroTable(ref.arrSortedSpecies, kSpeciesCapacity + 1);
  ref.arrSortedSpecies[1] = SortedSpeciesEntry{0, 1};
  ref.arrSortedSpecies[2] = SortedSpeciesEntry{0, 2};
  std::memcpy(ref.arrSpecies[1].szShortName, "NEW NAME ", kShortNameWidth + 1);
  std::memcpy(ref.arrSpecies[2].szShortName, "DELETE   ", kShortNameWidth + 1);
}

// Stores a record as dictionary row `row`, then says what was wrong with it.
void StoreRecord(Console& con, RefData& ref, const DictionaryRecord& rec, int row) {
  SpeciesEntry& entry = GrowTo(ref.arrSpecies, row);
  entry = SpeciesEntry{};
  bool shortCut = ComposeShortName(rec.firstWord, rec.secondWord, entry.szShortName);
  entry.nSpeciesCode = rec.code;
  CopyField(entry.szFullName, rec.fullName, kFullNameWidth);
  GrowTo(ref.arrSortedSpecies, row) = SortedSpeciesEntry{rec.code, row};

  // The place is only spelt out when something is said.
  auto where = [&] { return At(kDictionaryFile, rec.line); };
  if (rec.fields < 4) {
    Diagnose(con, where(), Fmt("only %d of 4 fields; the missing ones are left empty", rec.fields));
  }
  if (rec.codeRunsOn) Diagnose(con, where(), "the species code runs into the next field");
  if (rec.cut || shortCut) Diagnose(con, where(), "text longer than its field was cut to fit");
  if (rec.code < 1 || rec.code > kMaxDictionaryCode) {
    Diagnose(con, where(),
             Fmt("species code %d is outside 1..%d; the name takes part in no association line",
                 rec.code, kMaxDictionaryCode));
  }
}

// What the reading of the dictionary file came to.
struct DictionaryRead {
  int last = 2;  // the last row filled; rows 1 and 2 are fixed
  int skipped = 0;
  bool readToEnd = true;
};

// Reads the records of the open file into the rows after the fixed ones, then
// says what was wrong with the file as a whole.
DictionaryRead ReadRecords(Console& con, RefData& ref, File& file) {
  DictionaryRead read;
  CharSource src(file.get());
  int lineNo = 1;
  DictionaryRecord rec;
  RecordRead got;
  while ((got = ReadDictionaryRecord(src, lineNo, rec)) == RecordRead::kRecord) {
    if (rec.nul) {
      Diagnose(con, At(kDictionaryFile, rec.line), kNulRefusal);
      ++read.skipped;
      continue;
    }
    if (read.last - 2 == kMaxDictionaryLines) {
      Diagnose(con, At(kDictionaryFile, rec.line),
               Fmt("more than %d species lines; reading stops here", kMaxDictionaryLines));
      ++read.skipped;
      break;
    }
    ++read.last;
    StoreRecord(con, ref, rec, read.last);
  }
  if (got == RecordRead::kNotANumber) {
    Diagnose(con, At(kDictionaryFile, rec.line),
             "the line does not begin with a species code; the rest of the file is not read");
    ++read.skipped;
  }
  if (!file.Close()) {
    Diagnose(con, kDictionaryFile, "error reading the file; it was not read to its end");
    read.readToEnd = false;
  }
  if (read.last == 2) Diagnose(con, kDictionaryFile, "no species name was read");
  return read;
}

// Sizes the dictionary tables for `count` rows and builds the sorted index and
// the code index.
void IndexDictionary(RefData& ref, int count) {
  ref.nSpeciesCount = count;
  const size_t rows = static_cast<size_t>(SpeciesRowsFor(count)) + 1;
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
}

}  // namespace

int LoadSpeciesDictionary(Console& con, RefData& ref, const std::string& folder) {
  Say(con, "\n Reading in dictionary from file SPECDICT.txt");
  File file = OpenIn(folder, kDictionaryFile, "r");
  if (!file) Say(con, "Error opening %s\n", kDictionaryFile);
  StartDictionary(ref);
  const DictionaryRead read = file ? ReadRecords(con, ref, file) : DictionaryRead{};
  IndexDictionary(ref, read.last);
  return read.readToEnd ? read.skipped : -1;
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
