// Console prompts shared by the dialogues, sample entry and the report; the
// tables of the run settings; closing the run's files.
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>
#include <string>

#include "console/console.h"

void Say(Console& con, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFmt(fmt, ap);
  va_end(ap);
  con.out << s;
}

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
    char line[kLineSize];
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

File OpenNextFreeFile(Console& con, char* name, int nameSize) {
  if (name == nullptr || nameSize <= 0) return File();
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
    if (!FileExists(con.dir, name)) {
      // The create is exclusive, so a file that exists but cannot be read (and so
      // looked free) is never emptied: it counts as taken like any other.
      errno = 0;
      File fp = OpenIn(con.dir, name, "w+x");
      if (fp || errno != EEXIST) return fp;
    }
    int len = std::snprintf(name, static_cast<size_t>(nameSize), "%s%d.%s", base, counter, ext);
    // A numbered name that no longer fits the buffer would be cut back to a name
    // already tried, and the search would never end.
    if (len < 0 || len >= nameSize) {
      Diagnose(con, std::string(base) + "." + ext,
               Fmt("no free numbered name fits in %d characters", nameSize - 1));
      return File();
    }
  }
}

void ShowEndMessage(Console& con) {
  Say(con, "\n\n\n\n*** Program finished  ***\n Press <RETURN> to exit\n\n\n *************************\n");
  con.out.flush();
  char line[20];
  ReadAnswerLine(con, line, sizeof line);
}

// ---- setting tables ------------------------------------------------------------

namespace {

// Percent cover of a typed scale value x.
double PercentOfPercent(double x) { return std::floor(x + 0.5); }
double PercentOfBraunBlanquet(double x) {
  if (x < 1.0) return 0.0;
  if (x <= 2.0) return std::floor((x - 1.0) * 15.0);
  return std::floor(25.0 * x - 35.0);
}
double PercentOfDomin(double x) { return std::floor(0.25 * std::pow(x, 2.6)); }  // fractions too

// Each table begins with the entry of an unknown value.
constexpr CoverScaleInfo kCoverScales[] = {
    {0, "", "", "", 100.0, PercentOfPercent},
    {kPercentScale, "percent", "Cover%", "COVR%", 100.0, PercentOfPercent},
    {kBraunBlanquetScale, "braun-blanquet", "Br-Bla", "BR-BL", 5.0, PercentOfBraunBlanquet},
    {kDominScale, "domin", "Domin", "DOMIN", 10.0, PercentOfDomin},
};

constexpr AnalysisTypeInfo kAnalysisTypes[] = {
    {0, "", "", ""},
    {kMixedAnalysis, "mixed", "Sp & cov", "Sp_&_cov"},
    {kCompositionAnalysis, "composition", "Spp only", "Spp_only"},
    {kCoverAnalysis, "cover", "Cov only", "Cov_only"},
    {kIncompleteAnalysis, "incomplete", "Incmp sp", "Incmp_sp"},
    {kTopFewAnalysis, "top-few", "Top few ", "Top_few"},
};

constexpr SpeciesGroupInfo kSpeciesGroups[] = {
    {0, "", "", ""},
    {kAllSpecies, "all", "All sp", "All_sp"},
    {kNoLichens, "no-lichens", "Nolich", "Nolich"},
    {kVascularOnly, "vascular", "Nobryo", "Nobryo"},
};

// The entry with the value, or the first (unknown) entry.
template <typename Info, size_t kN, typename Key>
const Info& Lookup(const Info (&table)[kN], Key Info::*field, int value) {
  for (const Info& info : table) {
    if (info.*field == value) return info;
  }
  return table[0];
}

template <typename Info, size_t kN>
SettingEntries<Info> KnownEntries(const Info (&table)[kN]) {
  return SettingEntries<Info>{table + 1, table + kN};
}

}  // namespace

SettingEntries<CoverScaleInfo> CoverScales() { return KnownEntries(kCoverScales); }
SettingEntries<AnalysisTypeInfo> AnalysisTypes() { return KnownEntries(kAnalysisTypes); }
SettingEntries<SpeciesGroupInfo> SpeciesGroups() { return KnownEntries(kSpeciesGroups); }

const CoverScaleInfo& CoverScaleOf(int16_t nCoverScale) {
  return Lookup(kCoverScales, &CoverScaleInfo::nCoverScale, nCoverScale);
}

const AnalysisTypeInfo& AnalysisTypeOf(int16_t nAnalysisType) {
  return Lookup(kAnalysisTypes, &AnalysisTypeInfo::nAnalysisType, nAnalysisType);
}

const SpeciesGroupInfo& SpeciesGroupOf(int16_t nSpeciesGroupLimit) {
  return Lookup(kSpeciesGroups, &SpeciesGroupInfo::nSpeciesGroupLimit, nSpeciesGroupLimit);
}

const char* CoverScaleLabel(int16_t nCoverScale) { return CoverScaleOf(nCoverScale).label; }

const char* AnalysisTypeLabel(int16_t nAnalysisType, LabelForm form) {
  const AnalysisTypeInfo& info = AnalysisTypeOf(nAnalysisType);
  return form == LabelForm::kCsv ? info.csvLabel : info.headerLabel;
}

const char* SpeciesGroupLabel(int16_t nSpeciesGroupLimit, LabelForm form) {
  const SpeciesGroupInfo& info = SpeciesGroupOf(nSpeciesGroupLimit);
  return form == LabelForm::kCsv ? info.csvLabel : info.headerLabel;
}

// ---- the run's files ---------------------------------------------------------------

namespace {

void CheckWrites(Console& con, const File& fp, bool flush, bool& reported, const char* what) {
  if (reported || !fp.WriteFailed(flush)) return;
  Diagnose(con, "", Fmt("error writing the %s file", what));
  reported = true;
}

void CloseOne(Console& con, File& fp, bool reported, const char* what) {
  if (!fp.Close() && !reported) Diagnose(con, "", Fmt("error writing or closing the %s file", what));
}

}  // namespace

void CheckRunFileWrites(Console& con, RunSettings& rs) {
  // What a typed sample gives is flushed, so that it stays in the files if the
  // run is cut short; a data-file run leaves its results to the buffer.
  const bool flush = rs.nInputSource == 0;
  CheckWrites(con, rs.fpResults, flush, rs.bResultsFailureReported, "results");
  CheckWrites(con, rs.fpRecordFile, flush, rs.bRecordFailureReported, "record");
}

void CloseRunFiles(Console& con, RunSettings& rs) {
  CloseOne(con, rs.fpDataFile, false, "data");
  CloseOne(con, rs.fpRecordFile, rs.bRecordFailureReported, "record");
  CloseOne(con, rs.fpResults, rs.bResultsFailureReported, "results");
}
