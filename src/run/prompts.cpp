// Console prompts shared by the dialogues, sample entry and the report.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>

#include "common/textio.h"
#include "run/run.h"

bool ReadAnswerLine(Console& con, char* buf, int size) {
  if (size <= 0) return false;
  // The question must be on the screen before the program waits for its answer.
  con.out.flush();
  int n = 0;
  bool any = false;
  bool ended = false;
  bool cut = false;
  for (;;) {
    int c = con.in.get();
    if (c == std::char_traits<char>::eof()) break;
    any = true;
    if (c == '\n') {
      ended = true;
      break;
    }
    if (n < size - 1) {
      buf[n++] = static_cast<char>(c);
    } else {
      cut = true;  // the rest of an over-long line is discarded
    }
  }
  // A carriage return before the line feed belongs to the line end.
  if (ended && !cut && n > 0 && buf[n - 1] == '\r') --n;
  buf[n] = '\0';
  return any;
}

bool ConsoleInputEnded(const Console& con) { return !con.in.good(); }

void PromptInteger(Console& con, int16_t& value, int16_t lo, int16_t hi) {
  Say(con, "\n Existing value is %3d.\n Press <RETURN> to retain it, or type new value\n", value);
  for (;;) {
    con.out.flush();
    std::fflush(nullptr);
    char line[80];
    ReadAnswerLine(con, line, sizeof line);
    if (line[0] == '\0') return;
    bool hasDigit = false;
    for (const char* p = line; *p != '\0'; ++p) {
      if (*p >= '0' && *p <= '9') hasDigit = true;
    }
    // Compared before narrowing, so a huge answer can never wrap into the limits.
    long v = ReadLong(line);
    if (hasDigit && v >= lo && v <= hi) {
      value = static_cast<int16_t>(v);
      return;
    }
    Say(con, " * Inadmissible entry *\n   Limits are %6d%6d\n", lo, hi);
    Say(con, "\n Existing value is %3d.\n Press <RETURN> to retain it, or type new value\n", value);
  }
}

std::FILE* OpenNextFreeFile(Console& con, char* name, int nameSize) {
  if (name == nullptr || nameSize <= 0) return nullptr;
  // Split at the first "." into a base of at most 49 and an extension of at most 19.
  char base[50];
  char ext[20];
  const char* dot = std::strchr(name, '.');
  size_t baseLen = dot != nullptr ? static_cast<size_t>(dot - name) : std::strlen(name);
  if (baseLen > sizeof base - 1) baseLen = sizeof base - 1;
  std::memcpy(base, name, baseLen);
  base[baseLen] = '\0';
  CopyField(ext, dot != nullptr ? dot + 1 : "", static_cast<int>(sizeof ext) - 1);

  for (int counter = 1;; ++counter) {
    if (!FileExists(con, name)) {
      // The create is exclusive, so a file that exists but cannot be read (and so
      // looked free) is never emptied: it counts as taken like any other.
      errno = 0;
      std::FILE* fp = OpenIn(con, name, "w+x");
      if (fp != nullptr || errno != EEXIST) return fp;
    }
    int len = std::snprintf(name, static_cast<size_t>(nameSize), "%s%d.%s", base, counter, ext);
    // A numbered name that no longer fits the buffer would be cut back to a name
    // already tried, and the search would never end.
    if (len < 0 || len >= nameSize) {
      con.err << "vegmatch: no free numbered name for " << base << "." << ext
              << " fits in " << (nameSize - 1) << " characters\n";
      return nullptr;
    }
  }
}

void ShowEndMessage(Console& con) {
  Say(con, "\n\n\n\n*** Program finished  ***\n Press <RETURN> to exit\n\n\n *************************\n");
  con.out.flush();
  char line[20];
  ReadAnswerLine(con, line, sizeof line);
}

const char* CoverScaleLabel(int16_t nCoverScale) {
  switch (nCoverScale) {
    case 1: return "Cover%";
    case 2: return "Br-Bla";
    case 3: return "Domin";
    default: return "";
  }
}

const char* AnalysisTypeLabel(int16_t nAnalysisType, LabelForm form) {
  bool csv = form == LabelForm::kCsv;
  switch (nAnalysisType) {
    case 1: return csv ? "Sp_&_cov" : "Sp & cov";
    case 2: return csv ? "Spp_only" : "Spp only";
    case 3: return csv ? "Cov_only" : "Cov only";
    case 4: return csv ? "Incmp_sp" : "Incmp sp";
    case 5: return csv ? "Top_few" : "Top few ";
    default: return "";
  }
}

const char* SpeciesGroupLabel(int16_t nSpeciesGroupLimit, LabelForm form) {
  bool csv = form == LabelForm::kCsv;
  switch (nSpeciesGroupLimit) {
    case 10000: return csv ? "All_sp" : "All sp";
    case 4000: return "Nolich";
    case 3000: return "Nobryo";
    default: return "";
  }
}
