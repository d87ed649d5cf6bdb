// Fit report: one line per rank in the results file (CSV or text table), the
// screen summary and table for typed samples, the closing prompt, and in CSV
// format the matching analysis of every reported community.
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "common/textio.h"
#include "refdata/refdata.h"
#include "report/report.h"
#include "run/run.h"

namespace {

// Means below this are reported without any text: the community is only a
// filler of the ranking, not a fit.
constexpr double kNoFit = 0.0001;

// Leading characters of each record text the report shows.
constexpr int kTypeWidth = 6;
constexpr int kEunisCodeWidth = 8;
constexpr int kCommonNameWidth = 24;
constexpr int kSubNameWidth = 16;
constexpr int kEunisNameWidth = 24;

constexpr int kShortNameWidth = static_cast<int>(sizeof(SpeciesEntry::szShortName)) - 1;

// The texts of one rank, in the forms the report needs.
struct RankTexts {
  char type[kTypeWidth + 1];
  char eunisCode[kEunisCodeWidth + 1];
  char commonName[kCommonNameWidth + 1];
  char subName[kSubNameWidth + 1];
  char eunisName[kEunisNameWidth + 1];
  char compactType[kTypeWidth + 1];
  char compactEunisCode[kEunisCodeWidth + 1];
  char preparedCommon[kCommonNameWidth + 1];
  char preparedSub[kSubNameWidth + 1];
  char preparedEunis[kEunisNameWidth + 1];
};

// The five values of one rank, in integer percent.
struct RankValues {
  int mean;
  int fit[5];  // 1..4
};

// Every blank removed.
void MakeCompact(char* dst, const char* src) {
  int n = 0;
  for (const char* p = src; *p != '\0'; ++p) {
    if (*p != ' ') dst[n++] = *p;
  }
  dst[n] = '\0';
}

// Trailing blanks removed (a name of blanks only keeps its first one), then
// every blank after the first character joined by "_", so that the name stays
// one CSV field without inner blanks.
template <size_t kSize>
void MakePrepared(char (&dst)[kSize], const char (&src)[kSize]) {
  size_t n = 0;
  while (n < kSize - 1 && src[n] != '\0') ++n;
  while (n > 1 && src[n - 1] == ' ') --n;
  for (size_t i = 0; i < n; ++i) dst[i] = (i > 0 && src[i] == ' ') ? '_' : src[i];
  dst[n] = '\0';
}

// Community rows the report may read; anything else stands for unit 1, which is
// what the ranking leaves in places beyond the number of units.
int UnitRow(const RefData& ref, int nNVCIndex) {
  if (nNVCIndex >= 1 && nNVCIndex <= ref.nNVCCount && nNVCIndex <= kNVCCapacity) return nNVCIndex;
  return 1;
}

int FitsToReport(const RunSettings& rs) {
  int n = rs.nFitsToOutput;
  if (n < 0) return 0;
  if (n > kTopFitsRecords - 1) return kTopFitsRecords - 1;
  return n;
}

int SampleRows(const SampleState& sample) {
  int n = sample.nSampleEntries;
  if (n < 0) return 0;
  if (n > kSampleCapacity) return kSampleCapacity;
  return n;
}

// The association lines of a unit as a range clipped to the lines that exist;
// first > last means none.
void UnitLines(const RefData& ref, int unit, int& first, int& last) {
  const NVCUnit& u = ref.arrNVCData[unit];
  int limit = ref.nSpeciesTableCount < kTableLineCapacity ? ref.nSpeciesTableCount
                                                          : kTableLineCapacity;
  first = u.nSpeciesTableStartIndex < 1 ? 1 : u.nSpeciesTableStartIndex;
  last = u.nSpeciesTableEndIndex > limit ? limit : u.nSpeciesTableEndIndex;
  if (u.nSpeciesTableEndIndex == 0) last = 0;
}

void MakeTexts(const NVCUnit& u, bool blank, RankTexts& t) {
  CopyField(t.type, blank ? "" : u.szNVCType, kTypeWidth);
  CopyField(t.eunisCode, blank ? "" : u.szEunisCode, kEunisCodeWidth);
  CopyField(t.commonName, blank ? "" : u.szNVCCommonName, kCommonNameWidth);
  CopyField(t.subName, blank ? "" : u.szNVCSubName, kSubNameWidth);
  CopyField(t.eunisName, blank ? "" : u.szEunisName, kEunisNameWidth);
  MakeCompact(t.compactType, t.type);
  MakeCompact(t.compactEunisCode, t.eunisCode);
  MakePrepared(t.preparedCommon, t.commonName);
  MakePrepared(t.preparedSub, t.subName);
  MakePrepared(t.preparedEunis, t.eunisName);
}

// A community that no species of the sample reached has no fits of its own for
// this sample (only its mean is set); it shows zeros rather than what an
// earlier sample left in the record.
bool Unreached(const NVCFit& fit) {
  if (fit.dMeanGoF >= kNoFit) return false;
  for (int c = 1; c <= 5; ++c) {
    if (fit.nSampleFreqByClass[c] != 0) return false;
  }
  return true;
}

RankValues MakeValues(const NVCFit& fit, int16_t nAnalysisType) {
  RankValues v{};
  v.mean = PercentFit(fit.dMeanGoF);
  if (!Unreached(fit)) {
    v.fit[1] = PercentFit(fit.dGoF1);
    v.fit[2] = PercentFit(fit.dGoF2);
    v.fit[3] = PercentFit(fit.dGoF3);
    v.fit[4] = PercentFit(fit.dGoF4);
  }
  // Only the fits that make up the mean of this analysis type are shown;
  // unknown types are scored as type 5 and shown as type 5.
  switch (nAnalysisType) {
    case 1:
      break;
    case 2:
      v.fit[3] = 0;
      v.fit[4] = 0;
      break;
    case 3:
      v.fit[1] = 0;
      v.fit[2] = 0;
      break;
    case 4:
      v.fit[1] = 0;
      v.fit[3] = 0;
      v.fit[4] = 0;
      break;
    default:
      v.fit[1] = 0;
      break;
  }
  return v;
}

// ---- matching analysis ------------------------------------------------------

// The first sample row (1..) holding the code, or 0. Rows with a negative code
// take no part.
int SampleRowWithCode(const SampleState& sample, int code) {
  if (code < 0) return 0;
  int n = SampleRows(sample);
  for (int i = 1; i <= n; ++i) {
    if (sample.arrSample[i].nSpeciesCode == code) return i;
  }
  return 0;
}

// Whether a valid association line of the unit holds the code. Lines with a
// quant outside 1..50 are bad lines kept only for their line numbers.
bool UnitHasCode(const RefData& ref, int first, int last, int code) {
  for (int k = first; k <= last; ++k) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[k];
    if (IsValidQuant(line.nQuant) && line.nSpeciesCode == code) return true;
  }
  return false;
}

const char* ShortNameAt(const RefData& ref, int index) {
  if (index < 0 || index > kSpeciesCapacity) index = 0;
  return ref.arrSpecies[index].szShortName;
}

// The short name of the first dictionary entry of a code; entry 0 (no name)
// for a code the dictionary does not hold.
const char* DictionaryNameOfCode(const RefData& ref, int code) {
  int row = FindSortedRowByCode(ref, code);
  if (row < 1 || row > kSpeciesCapacity) return ShortNameAt(ref, 0);
  int index = ref.arrSortedSpecies[row].nSpeciesIndex;
  if (index < 0) index = 1;
  return ShortNameAt(ref, index);
}

// Writes one name of a list: a comma before the first, semicolons between.
void WriteListName(std::FILE* fp, bool& first, const char* name) {
  FileSay(fp, first ? ",%.*s" : ";%.*s", kShortNameWidth, name);
  first = false;
}

// The three lists are written without being stored: each line's count is taken
// in one pass and its names in a second, so a community or sample of any size
// is listed in full.
void WriteAnalysisOfRank(const AppState& st, const char* sampleName, int rank, int unit) {
  const RefData& ref = st.ref;
  const SampleState& sample = st.sample;
  std::FILE* fp = st.settings.fpResults;

  char compactType[kTypeWidth + 1];
  char type[kTypeWidth + 1];
  CopyField(type, ref.arrNVCData[unit].szNVCType, kTypeWidth);
  MakeCompact(compactType, type);

  int first = 0;
  int last = 0;
  UnitLines(ref, unit, first, last);
  int rows = SampleRows(sample);

  // Species of both: the unit's lines in table order, named as in the sample.
  int count = 0;
  for (int k = first; k <= last; ++k) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[k];
    if (IsValidQuant(line.nQuant) && SampleRowWithCode(sample, line.nSpeciesCode) != 0) ++count;
  }
  FileSay(fp, "%s,Analysis,%d,%s,NVC_&_Sample,%d", sampleName, rank, compactType, count);
  bool firstName = true;
  for (int k = first; k <= last; ++k) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[k];
    if (!IsValidQuant(line.nQuant)) continue;
    int row = SampleRowWithCode(sample, line.nSpeciesCode);
    if (row != 0) WriteListName(fp, firstName, ShortNameAt(ref, sample.arrSample[row].nSpeciesIndex));
  }
  FileSay(fp, "\n");

  // Species of the sample only, in entry order.
  count = 0;
  for (int i = 1; i <= rows; ++i) {
    const SampleEntry& e = sample.arrSample[i];
    if (e.nSpeciesCode >= 0 && !UnitHasCode(ref, first, last, e.nSpeciesCode)) ++count;
  }
  FileSay(fp, "%s,Analysis,%d,%s,Sample_only,%d", sampleName, rank, compactType, count);
  firstName = true;
  for (int i = 1; i <= rows; ++i) {
    const SampleEntry& e = sample.arrSample[i];
    if (e.nSpeciesCode >= 0 && !UnitHasCode(ref, first, last, e.nSpeciesCode)) {
      WriteListName(fp, firstName, ShortNameAt(ref, e.nSpeciesIndex));
    }
  }
  FileSay(fp, "\n");

  // Species of the unit only, in table order, under their dictionary names.
  count = 0;
  for (int k = first; k <= last; ++k) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[k];
    if (IsValidQuant(line.nQuant) && SampleRowWithCode(sample, line.nSpeciesCode) == 0) ++count;
  }
  FileSay(fp, "%s,Analysis,%d,%s,NVC_only,%d", sampleName, rank, compactType, count);
  firstName = true;
  for (int k = first; k <= last; ++k) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[k];
    if (IsValidQuant(line.nQuant) && SampleRowWithCode(sample, line.nSpeciesCode) == 0) {
      WriteListName(fp, firstName, DictionaryNameOfCode(ref, line.nSpeciesCode));
    }
  }
  FileSay(fp, "\n");
}

// ---- closing prompt -----------------------------------------------------------

const char kClosingPrompt[] =
    "\n\n\n\n Press <RETURN> to continue\n  or type r to reset parameters\n  or type e to exit\n";

// Continue (1), reset the parameters (1) or exit (0). The answer is taken by its
// first letter in either case; the end of console input ends the run like "e".
int16_t ReportAction(Console& con, AppState& st) {
  Say(con, kClosingPrompt);
  for (;;) {
    con.out.flush();
    char answer[50];
    bool got = ReadAnswerLine(con, answer, sizeof answer);
    if (!got) {
      ShowEndMessage(con);
      return 0;
    }
    int c = std::tolower(static_cast<unsigned char>(answer[0]));
    if (c == '\0') return 1;
    if (c == 'e') {
      ShowEndMessage(con);
      return 0;
    }
    if (c == 'r') {
      ParameterDialogue(con, st.settings);
      return 1;
    }
    Say(con, kClosingPrompt);
  }
}

}  // namespace

int PercentFit(double value) {
  double p = std::floor(value * 100.1);
  // Fits are fractions; anything else is kept inside the int range rather than
  // converted with undefined result.
  if (std::isnan(p)) return 0;
  if (p >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (p <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(p);
}

const char* FitClass(int nMeanFit) {
  if (nMeanFit < 50) return "very poor";
  if (nMeanFit < 60) return "poor";
  if (nMeanFit < 70) return "fair";
  if (nMeanFit < 80) return "good";
  return "very good";
}

int16_t ReportFits(Console& con, AppState& st) {
  RunSettings& rs = st.settings;
  const bool csv = rs.nOutputFormat == 0;
  const bool keyboard = rs.nInputSource == 0;
  std::FILE* fp = rs.fpResults;

  const char* coverLabel = CoverScaleLabel(rs.nCoverScale);
  const char* analysisLabel = AnalysisTypeLabel(rs.nAnalysisType, LabelForm::kCsv);
  const char* groupLabel = SpeciesGroupLabel(rs.nSpeciesGroupLimit, LabelForm::kCsv);

  char sampleName[sizeof st.sample.szSampleName];
  CopyField(sampleName, st.sample.szSampleName, static_cast<int>(sizeof sampleName) - 1);

  bool written = fp != nullptr;
  const int fits = FitsToReport(rs);
  for (int r = 1; r <= fits; ++r) {
    int unit = UnitRow(st.ref, st.scoring.arrTopFits[r].nNVCIndex);
    const NVCFit& fit = st.scoring.arrNVCFit[unit];
    RankTexts t;
    MakeTexts(st.ref.arrNVCData[unit], fit.dMeanGoF < kNoFit, t);
    RankValues v = MakeValues(fit, rs.nAnalysisType);

    if (csv) {
      written &= FileSay(fp, "%s,Results,%d,%s,%s,%d,%d,%d,%d,%d,%s,%s,%s,%s,%s,%s\n", sampleName, r,
                         t.compactEunisCode, t.compactType, v.mean, v.fit[1], v.fit[2], v.fit[3],
                         v.fit[4], t.preparedCommon, t.preparedSub, t.preparedEunis, groupLabel,
                         coverLabel, analysisLabel);
    } else {
      written &= FileSay(fp, " %-8s%-5s %3d |%3d%4d%4d%4d| %-24s%-16s\n", t.eunisCode, t.type,
                         v.mean, v.fit[1], v.fit[2], v.fit[3], v.fit[4], t.commonName, t.subName);
    }

    if (keyboard) {
      if (r == 1) {
        Say(con, "\n\n\n\n\n\n\n NVC type of %s is %s with goodness of fit %d - %s", sampleName,
            t.type, v.mean, FitClass(v.mean));
        Say(con, "\n NVC Community: %s   Subcommunity: %s", t.preparedCommon, t.preparedSub);
        Say(con, "\n EUNIS        : %s   %-8s", t.preparedEunis, t.eunisCode);
        Say(con, "\n\n\n\n Analysis of top %2d possibilities\n", rs.nFitsToOutput);
      }
      Say(con, "\n %-8s%-5s %3d |%3d%4d%4d%4d| %-24s%-16s", t.eunisCode, t.type, v.mean, v.fit[1],
          v.fit[2], v.fit[3], v.fit[4], t.commonName, t.subName);
    }
  }

  if (csv) WriteMatchingAnalysis(st);

  // What is written stays in the file even if the run is cut short at the prompt.
  if (fp != nullptr && (std::fflush(fp) != 0 || std::ferror(fp) != 0)) written = false;
  if (!written) con.err << "vegmatch: the report could not be written to the results file\n";

  if (!keyboard) return 1;
  return ReportAction(con, st);
}

void WriteMatchingAnalysis(const AppState& st) {
  if (st.settings.fpResults == nullptr) return;
  char sampleName[sizeof st.sample.szSampleName];
  CopyField(sampleName, st.sample.szSampleName, static_cast<int>(sizeof sampleName) - 1);
  const int fits = FitsToReport(st.settings);
  for (int r = 1; r <= fits; ++r) {
    WriteAnalysisOfRank(st, sampleName, r, UnitRow(st.ref, st.scoring.arrTopFits[r].nNVCIndex));
  }
}
