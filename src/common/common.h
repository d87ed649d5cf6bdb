// The bottom layer: every capacity and field width of the program, small
// text helpers, files that close themselves, and the one shape of diagnostics.
//
// Nothing here knows about the console, the reference tables or a sample; every
// other folder builds on this one.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// ---- limits -------------------------------------------------------------------
// Tables are indexed from 1; row 0 exists but never holds data, and 0 in an index
// field means "none". The reference tables hold at least the rows below and grow
// with the files, up to the limits that keep a damaged file from exhausting memory.
constexpr int kSpeciesCapacity = 4000;     // arrSpecies rows 1..4000 at least
constexpr int kMaxSpeciesCode = 5021;      // codes indexed by arrSpeciesIndexByCode, at least
constexpr int kNVCCapacity = 880;          // arrNVCData rows 1..880 at least
constexpr int kTableLineCapacity = 20000;  // association lines 1..20000 at least
constexpr int kMaxDictionaryLines = 100000;
constexpr int kMaxUnits = 100000;
constexpr int kMaxAssociationLines = 1000000;
constexpr int kSampleCapacity = 300;       // arrSample rows 1..300
constexpr int kTopFitsRecords = 900;       // arrTopFits records (rows 1..nFitsToOutput)
constexpr int kMaxFits = 99;               // at most 99 fits are reported
constexpr int kQuantCodes = 50;            // quant codes 1..50
constexpr int kConstancyClasses = 5;       // constancy classes I..V
constexpr int kDominClasses = 10;          // Domin classes 1..10
constexpr int kFirstNewSpeciesCode = 9001; // codes of species typed during the run
constexpr int kMarkerStep = 10000;         // added to an entry code per "*" marker
constexpr int kMaxNewSpeciesCode = kMarkerStep;  // above it a code reads as a marked one
constexpr int kNewSpeciesCodes = kMaxNewSpeciesCode - kFirstNewSpeciesCode + 1;
constexpr int kMaxDictionaryCode = kFirstNewSpeciesCode - 1;  // dictionary codes 1..9000
constexpr int kMaxSamplesPerFile = 100000; // samples one run takes from a data file
constexpr int kMaxFrequency = 100;         // frequencies and maximum frequencies: 0..100
constexpr int kMaxPercentCover = 100;      // a completed sample's covers are percent, 0..100

// Text fields: the width is the number of characters, the array holds one more.
constexpr int kShortNameWidth = 9;   // "quer robu": 4 + blank + 4
constexpr int kFullNameWidth = 79;
constexpr int kTypeWidth = 6;        // unit code, e.g. "MG5a"
constexpr int kCommonNameWidth = 24;
constexpr int kSubNameWidth = 16;
constexpr int kEunisCodeWidth = 8;
constexpr int kEunisNameWidth = 25;
constexpr int kEunisNameShown = 24;  // the report shows the first 24
constexpr int kSampleNameWidth = 30;
constexpr int kSampleNameSize = 32;  // the name buffer of a sample
constexpr int kFileNameSize = 50;    // typed file names: at most 49 characters
constexpr int kLineSize = 80;        // the buffer of a console answer or a data-file line
constexpr int kLineWidth = kLineSize - 1;  // such a line: at most 79 characters

// Start value of the sums that later divide, so that none of them is ever 0; also
// the weight of a zero cover and of a cover weight too small to mean anything.
constexpr double kTiny = 1e-6;

// A quant code that takes part in any calculation lies in 1..50.
inline bool IsValidQuant(int q) { return q >= 1 && q <= kQuantCodes; }

// ---- text -----------------------------------------------------------------------
#if defined(__GNUC__)
#define VM_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define VM_PRINTF(fmt_index, first_arg)
#endif

// printf-style formatting into a std::string (any length).
std::string Fmt(const char* fmt, ...) VM_PRINTF(1, 2);
std::string VFmt(const char* fmt, va_list ap);

// Copies at most width characters of src into dst (dst has width+1 bytes) and
// zero-terminates it.
void CopyField(char* dst, const char* src, int width);

// White space as isspace takes it in the C locale, which the program never leaves:
// blank, tab, line feed, vertical tab, form feed, carriage return.
inline bool IsSpaceC(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The text without the white space (IsSpaceC) at either end.
std::string Trim(std::string_view s);
// The same as a view of the text.
std::string_view TrimView(std::string_view s);
// The text without the blanks at either end; tabs and other white space stay.
std::string TrimBlanks(std::string_view s);

// The text with its ASCII letters in lower case.
std::string LowerAscii(std::string_view s);

// Whether the word is one of the list.
bool IsOneOf(std::string_view word, std::initializer_list<const char*> list);

// Removes one trailing line feed, if any. Returns the new length.
int StripLineEnd(char* buf);

// True when the n characters of buf hold a NUL byte (a damaged or binary file:
// every text after it would be lost to the C string functions).
bool HoldsNul(const char* buf, int n);

// A reference-file number: the whole field must be an integer in decimal digits,
// with an optional sign and blanks around it ("12", " -7 "); any other text
// ("", "1e308", "12abc", "2.5") is no whole number. The value is read as
// ReadLong reads it (beyond the range of long it sticks at its ends).
struct WholeNumber {
  bool whole;
  long value;  // 0 when not whole
};
WholeNumber ReadWholeNumber(const char* s);

// Integer conversion as the C library's atoi reads it (leading blanks, one sign,
// digits up to the first non-digit; no number gives 0). Out-of-range values are
// clamped to the int range instead of being undefined.
long ReadLong(const char* s);
int ReadInt(const char* s);

// Decimal conversion as strtod reads it (no number gives 0).
double ReadDouble(const char* s);

// Clamps an int to the 16-bit signed range (for values bound for int16 fields).
int16_t ClampToInt16(long v);

// Texts kept for as long as the store lives, handed out as views: a large input
// has hundreds of thousands of short texts, and a string of their own each
// would cost an allocation per line. A view stays valid as more are kept, and
// a NUL follows each text (its data() is a C string where it holds no NUL).
class TextStore {
 public:
  std::string_view Keep(std::string_view text);

 private:
  static constexpr size_t kChunk = 1 << 16;
  std::vector<std::unique_ptr<char[]>> chunks_;
  size_t used_ = kChunk;  // of the last chunk
};

// ---- diagnostics ------------------------------------------------------------------
// Every message on the error stream has one shape: "vegmatch: <where>: <what>",
// where is a file name, "file:line" when there is a line, or left out when the
// message concerns the run as a whole.
void Diagnose(std::ostream& err, std::string_view where, std::string_view what);
// The same line appended to a text, for many said in one write.
void AppendDiagnosis(std::string& out, std::string_view where, std::string_view what);

// "file:line" for Diagnose, made or appended to a text.
std::string At(std::string_view file, long line);
void AppendAt(std::string& out, std::string_view file, long line);

// ---- files ------------------------------------------------------------------------
// An open file that closes itself. Writes go through stdio; whether any of them
// failed is learnt from stdio's error flag, once per unit of work (WriteFailed)
// and at the close (Close).
class File {
 public:
  File() = default;
  explicit File(std::FILE* fp) : fp_(fp) {}
  // A stream that stays open after this File is done with it (its owner closes
  // it): Close flushes it and lets it go.
  static File Borrowed(std::FILE* fp) {
    File f(fp);
    f.fp_.get_deleter().owned = false;
    return f;
  }
  File(File&&) noexcept = default;
  File& operator=(File&&) noexcept = default;

  std::FILE* get() const { return fp_.get(); }
  explicit operator bool() const { return fp_ != nullptr; }

  // Gives the stream a buffer of its own of the given size (before any reading
  // or writing; stdio keeps to its own small buffer unless the program supplies
  // one). The buffer lives as long as the stream.
  void UseBuffer(size_t bytes);
  // True when some write has failed; with flush, after writing out what is
  // buffered (so that a failure is learnt now, not at a later write).
  bool WriteFailed(bool flush = true) const;
  // Closes the file; false when a write, the flush or the close failed.
  // Closing a file that is not open succeeds.
  bool Close();

 private:
  struct Closer {
    Closer() noexcept : owned(true) {}
    bool owned;
    void operator()(std::FILE* fp) const {
      if (owned) std::fclose(fp);
    }
  };
  std::unique_ptr<char[]> buffer_;  // before fp_: it outlives the stream
  std::unique_ptr<std::FILE, Closer> fp_;
};

// printf-style output to an open file (nothing when fp is null); failures show in
// the file's error flag.
void FileSay(std::FILE* fp, const char* fmt, ...) VM_PRINTF(2, 3);

// What a carriage return that no line feed follows is: the end of a line (data
// and reference files, which some programs save with CR alone between lines), or
// text (the help file, whose pages are shown as they stand).
enum class LoneCr { kEndsLine, kText };

// Reads one line piece the way fgets does: at most size-1 characters, up to and
// including the line end, zero-terminated. The line end comes back as one line
// feed: a carriage return directly before a line feed belongs to it, so CRLF
// files read like LF files, and so does a lone carriage return unless it is
// read as text. At the start of the file a UTF-8 byte-order mark is skipped: it
// names the encoding and is no part of the text. Returns the number of
// characters stored (a NUL byte among them counts; see HoldsNul), or -1 when
// the file had ended before any character was read.
int ReadFilePiece(std::FILE* fp, char* buf, int size, LoneCr loneCr = LoneCr::kEndsLine);

// The rest of a stream, read in blocks; false when reading failed.
bool ReadWholeStream(std::istream& in, std::string& text);
// A whole file; false when it cannot be opened or read, with errno saying why.
bool ReadFileText(const std::string& path, std::string& text);

// The system's reason for the failure it last met (errno), as a message gives
// it: "No such file or directory".
std::string SystemReason();

// The path of a file name inside a folder (empty: the working directory); an
// absolute name stands for itself.
std::string PathIn(const std::string& dir, std::string_view name);

// True when a file of that name can be opened for reading.
bool FileExists(const std::string& dir, std::string_view name);

// Opens a file in the folder (fopen modes).
File OpenIn(const std::string& dir, std::string_view name, const char* mode);

// A stream written into memory (open_memstream): what a report or entry writes
// is collected and handed out as text. The stream is opened once and starts
// again from empty at each use, so a use costs neither an open nor a close.
class MemoryFile {
 public:
  MemoryFile() = default;
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;
  ~MemoryFile() {
    if (fp_ != nullptr) std::fclose(fp_);
    std::free(data_);
  }
  // The stream, empty; the File borrows it (not open when memory ran out).
  File Open() {
    if (fp_ == nullptr) {
      fp_ = open_memstream(&data_, &size_);
      if (fp_ == nullptr) return File();
    } else {
      std::rewind(fp_);  // also clears the error flag of an earlier use
    }
    return File::Borrowed(fp_);
  }
  // Closes the file and hands out what was written to it.
  std::string Take(File& file) {
    std::string text;
    TakeInto(file, text);
    return text;
  }
  // The same, appended to text.
  void TakeInto(File& file, std::string& text) {
    const bool ours = fp_ != nullptr && file.get() == fp_;
    file.Close();  // the flush sets data_ and size_
    if (ours && data_ != nullptr) text.append(data_, size_);
  }

 private:
  std::FILE* fp_ = nullptr;
  char* data_ = nullptr;
  size_t size_ = 0;
};
