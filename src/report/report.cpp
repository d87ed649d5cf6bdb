// Fit report: one line per rank in the results file (CSV or text table), the
// screen summary and table for typed samples, the closing prompt, and in CSV
// format the matching analysis of every reported community.
#include <algorithm>
#include <cassert>
#include <charconv>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "report/report.h"

namespace {


// The texts of one rank, in the forms the report needs (the EUNIS name is
// shown to its first 24 characters).
struct RankTexts {
  char type[kTypeWidth + 1];
  char eunisCode[kEunisCodeWidth + 1];
  char commonName[kCommonNameWidth + 1];
  char subName[kSubNameWidth + 1];
  char eunisName[kEunisNameShown + 1];
  char compactType[kTypeWidth + 1];
  char compactEunisCode[kEunisCodeWidth + 1];
  char preparedCommon[kCommonNameWidth + 1];
  char preparedSub[kSubNameWidth + 1];
  char preparedEunis[kEunisNameShown + 1];
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
  size_t n = strnlen(src, kSize - 1);
  while (n > 1 && src[n - 1] == ' ') --n;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
  if (n > 1) std::replace(dst + 1, dst + n, ' ', '_');
}

// The community of a rank. The ranking leaves unit 1 in places beyond the
// number of units, and with no units at all that is the empty record 1.
int UnitOfRank(const RefData& ref, const ScoringState& sc, int rank) {
  const int unit = sc.arrTopFits[rank].nNVCIndex;
  assert(unit >= 1 && (unit <= ref.nNVCCount || unit == 1));
  (void)ref;
  return unit;
}

int FitsToReport(const RunSettings& rs) {
  assert(rs.nFitsToOutput >= 1 && rs.nFitsToOutput <= kMaxFits);
  return rs.nFitsToOutput;
}

// The association lines of a unit; first > last means none (a unit whose range
// ends at 0 has no lines).
struct LineRange {
  int first;
  int last;
};
LineRange UnitLines(const NVCUnit& u) {
  if (u.nSpeciesTableEndIndex == 0) return LineRange{1, 0};
  return LineRange{u.nSpeciesTableStartIndex, u.nSpeciesTableEndIndex};
}

void MakeTexts(const NVCUnit& u, bool blank, RankTexts& t) {
  CopyField(t.type, blank ? "" : u.szNVCType, kTypeWidth);
  CopyField(t.eunisCode, blank ? "" : u.szEunisCode, kEunisCodeWidth);
  CopyField(t.commonName, blank ? "" : u.szNVCCommonName, kCommonNameWidth);
  CopyField(t.subName, blank ? "" : u.szNVCSubName, kSubNameWidth);
  CopyField(t.eunisName, blank ? "" : u.szEunisName, kEunisNameShown);
  MakeCompact(t.compactType, t.type);
  MakeCompact(t.compactEunisCode, t.eunisCode);
  MakePrepared(t.preparedCommon, t.commonName);
  MakePrepared(t.preparedSub, t.subName);
  MakePrepared(t.preparedEunis, t.eunisName);
}

RankValues MakeValues(const NVCFit& fit, int16_t nAnalysisType) {
  RankValues v{};
  v.mean = PercentFit(fit.dMeanGoF);
  const ShownFits shown = FitsShown(fit, nAnalysisType);
  for (int k = 1; k <= 4; ++k) v.fit[k] = PercentFit(shown.fit[k]);
  return v;
}

// ---- matching analysis ------------------------------------------------------

// The short name of a species row; row 0 (no name) for a code the dictionary
// does not hold. (Batch runs report on samples while later ones are entered and
// may add rows, so the row is held to the table, not to the rows entered so far.)
const char* ShortNameAt(const RefData& ref, int index) {
  assert(index >= 0 && index <= LastRow(ref.arrSpecies));
  return ref.arrSpecies[index].szShortName;
}


void AppendInt(std::string& out, int value) {
  char buf[16];
  const auto end = std::to_chars(buf, buf + sizeof buf, value).ptr;
  out.append(buf, static_cast<size_t>(end - buf));
}

// Text written straight into a string whose room was made beforehand.
char* Put(char* p, const char* text, size_t n) {
  std::memcpy(p, text, n);
  return p + n;
}
char* PutInt(char* p, int value) { return std::to_chars(p, p + 12, value).ptr; }

// The length of a short name (at most 9 characters, in a field of 10): the
// first zero byte of the first eight, all eight looked at at once, else 8 or 9.
size_t ShortNameLength(const char* name) {
  static_assert(kShortNameWidth == 9, "eight characters at once, then the ninth");
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  uint64_t w;
  std::memcpy(&w, name, sizeof w);
  // The lowest byte flagged is the first zero byte (a flag can be wrong only
  // above a zero byte).
  const uint64_t zero = (w - 0x0101010101010101ULL) & ~w & 0x8080808080808080ULL;
  if (zero != 0) return static_cast<size_t>(__builtin_ctzll(zero) / 8);
  return name[8] != '\0' ? 9 : 8;
#else
  return strnlen(name, kShortNameWidth);
#endif
}

// One list of the analysis: "<sample>,Analysis,<rank>,<unit>,<list>,<count>"
// and the species as ",a;b;c", each short name to its 9 characters. Every
// sample writes fifteen of these lines, so they are made in place.
void AppendList(std::string& out, const char* sampleName, int rank, const char* unit,
                const char* list, const RefData& ref, const std::vector<MatchedSpecies>& species) {
  const size_t nameLength = std::strlen(sampleName);
  const size_t unitLength = std::strlen(unit);
  const size_t listLength = std::strlen(list);
  const size_t at = out.size();
  out.resize(at + nameLength + unitLength + listLength + 48 +
             species.size() * (kShortNameWidth + 1));
  char* p = out.data() + at;
  p = Put(p, sampleName, nameLength);
  p = Put(p, ",Analysis,", 10);
  p = PutInt(p, rank);
  *p++ = ',';
  p = Put(p, unit, unitLength);
  *p++ = ',';
  p = Put(p, list, listLength);
  *p++ = ',';
  p = PutInt(p, static_cast<int>(species.size()));
  char separator = ',';
  for (const MatchedSpecies& m : species) {
    *p++ = separator;
    separator = ';';
    // The whole field is copied (the room holds it) and the name's length kept.
    const char* name = ShortNameAt(ref, m.nSpeciesIndex);
    std::memcpy(p, name, kShortNameWidth);
    p += ShortNameLength(name);
  }
  *p++ = '\n';
  out.resize(static_cast<size_t>(p - out.data()));
}

// The three lists of one rank.
void AppendAnalysisOfRank(const RefData& ref, const SampleState& sample, SampleCodes& codes,
                          const char* sampleName, int rank, int unit, MatchingLists& lists,
                          std::string& out) {
  char compactType[kTypeWidth + 1];
  char type[kTypeWidth + 1];
  CopyField(type, ref.arrNVCData[unit].szNVCType, kTypeWidth);
  MakeCompact(compactType, type);
  MatchUnitSpecies(ref, sample, codes, unit, static_cast<uint32_t>(rank), lists);
  AppendList(out, sampleName, rank, compactType, "NVC_&_Sample", ref, lists.both);
  AppendList(out, sampleName, rank, compactType, "Sample_only", ref, lists.sampleOnly);
  AppendList(out, sampleName, rank, compactType, "NVC_only", ref, lists.unitOnly);
}

// ---- closing prompt -----------------------------------------------------------

const char kClosingPrompt[] =
    "\n\n\n\n Press <RETURN> to continue\n  or type r to reset parameters\n  or type e to exit\n";

// Continue (1), reset the parameters (1) or exit (0). The answer is taken by its
// first letter in either case; the end of console input ends the run like "e".
int16_t ReportAction(Console& con, RunSettings& rs) {
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
      ParameterDialogue(con, rs);
      return 1;
    }
    Say(con, kClosingPrompt);
  }
}

}  // namespace

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

ShownFits FitsShown(const NVCFit& fit, int16_t nAnalysisType) {
  ShownFits v{};
  if (!Unreached(fit)) {
    v.fit[1] = fit.dGoF1;
    v.fit[2] = fit.dGoF2;
    v.fit[3] = fit.dGoF3;
    v.fit[4] = fit.dGoF4;
  }
  // Only the fits that make up the mean of this analysis type are shown;
  // unknown types are scored as type 5 and shown as type 5.
  switch (nAnalysisType) {
    case kMixedAnalysis:
      break;
    case kCompositionAnalysis:
      v.fit[3] = 0;
      v.fit[4] = 0;
      break;
    case kCoverAnalysis:
      v.fit[1] = 0;
      v.fit[2] = 0;
      break;
    case kIncompleteAnalysis:
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

RunSettings ReportSettings(const RunSettings& rs) {
  RunSettings report{};
  report.nCoverScale = rs.nCoverScale;
  report.nAnalysisType = rs.nAnalysisType;
  report.nSpeciesGroupLimit = rs.nSpeciesGroupLimit;
  report.nFitsToOutput = rs.nFitsToOutput;
  report.nOutputFormat = rs.nOutputFormat;
  report.nInputSource = rs.nInputSource;
  return report;
}

int16_t ReportFits(Console& con, const RefData& ref, const SampleState& sample,
                   const ScoringState& sc, RunSettings& rs) {
  const bool csv = rs.nOutputFormat == 0;
  const bool keyboard = rs.nInputSource == 0;
  std::FILE* fp = rs.fpResults.get();

  const char* coverLabel = CoverScaleLabel(rs.nCoverScale);
  const char* analysisLabel = AnalysisTypeLabel(rs.nAnalysisType, LabelForm::kCsv);
  const char* groupLabel = SpeciesGroupLabel(rs.nSpeciesGroupLimit, LabelForm::kCsv);
  const char* sampleName = sample.szSampleName;

  const int fits = FitsToReport(rs);
  std::string line;  // one Results line at a time, in room made once
  if (csv) line.reserve(512);
  for (int r = 1; r <= fits; ++r) {
    const int unit = UnitOfRank(ref, sc, r);
    const NVCFit& fit = sc.arrNVCFit[unit];
    RankTexts t;
    MakeTexts(ref.arrNVCData[unit], fit.dMeanGoF < kNoFit, t);
    RankValues v = MakeValues(fit, rs.nAnalysisType);

    if (csv) {
      // "%s,Results,%d,%s,%s,%d,%d,%d,%d,%d,%s,%s,%s,%s,%s,%s", written out field by
      // field: every report writes five of these lines per sample.
      line.assign(sampleName);
      line += ",Results,";
      AppendInt(line, r);
      for (const char* text : {t.compactEunisCode, t.compactType}) {
        line += ',';
        line += text;
      }
      for (int value : {v.mean, v.fit[1], v.fit[2], v.fit[3], v.fit[4]}) {
        line += ',';
        AppendInt(line, value);
      }
      for (const char* text : {static_cast<const char*>(t.preparedCommon),
                               static_cast<const char*>(t.preparedSub),
                               static_cast<const char*>(t.preparedEunis), groupLabel, coverLabel,
                               analysisLabel}) {
        line += ',';
        line += text;
      }
      line += '\n';
      if (fp != nullptr) std::fwrite(line.data(), 1, line.size(), fp);
    } else {
      FileSay(fp, " %-8s%-5s %3d |%3d%4d%4d%4d| %-24s%-16s\n", t.eunisCode, t.type, v.mean,
              v.fit[1], v.fit[2], v.fit[3], v.fit[4], t.commonName, t.subName);
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

  if (csv) WriteMatchingAnalysis(ref, sample, sc, rs);

  // What is written stays in the file even if the run is cut short at the prompt;
  // a failed write is said once.
  CheckRunFileWrites(con, rs);

  if (!keyboard) return 1;
  return ReportAction(con, rs);
}

void WriteMatchingAnalysis(const RefData& ref, const SampleState& sample, const ScoringState& sc,
                           const RunSettings& rs) {
  std::FILE* fp = rs.fpResults.get();
  if (fp == nullptr) return;
  SampleCodes codes(sample);
  // The lists and the text keep their room from one sample to the next, one
  // set per thread that reports.
  thread_local MatchingLists lists;
  thread_local std::string out;
  out.clear();
  const int fits = FitsToReport(rs);
  // The units' lines lie far apart in the table and are seldom in the cache:
  // all of them are asked for at once, not one miss after another.
  for (int r = 1; r <= fits; ++r) {
    const LineRange lines = UnitLines(ref.arrNVCData[UnitOfRank(ref, sc, r)]);
    const SpeciesTableLine* table = ref.arrTbNVCToSpeciesJoinTable.data();
    for (int k = lines.first; k <= lines.last; k += 64 / static_cast<int>(sizeof(SpeciesTableLine))) {
      __builtin_prefetch(table + k);
    }
    if (lines.first <= lines.last) __builtin_prefetch(table + lines.last);
  }
  for (int r = 1; r <= fits; ++r) {
    AppendAnalysisOfRank(ref, sample, codes, sample.szSampleName, r, UnitOfRank(ref, sc, r), lists,
                         out);
  }
  std::fwrite(out.data(), 1, out.size(), fp);
}

SampleCodes::SampleCodes(const SampleState& sample) {
  assert(sample.nSampleEntries >= 0 && sample.nSampleEntries <= kSampleCapacity);
  while (bits_ < kSlotBits && (1 << bits_) < 4 * sample.nSampleEntries) ++bits_;
  mask_ = (1 << bits_) - 1;
  for (int s = 0; s <= mask_; ++s) slots_[s] = Slot{-1, 0, 0};
  slotOfRow_[0] = 0;
  for (int i = 1; i <= sample.nSampleEntries; ++i) {
    const int code = sample.arrSample[i].nSpeciesCode;
    slotOfRow_[i] = 0;
    if (code < 0) continue;
    int s = Home(code);
    while (slots_[s].code != -1 && slots_[s].code != code) s = (s + 1) & mask_;
    if (slots_[s].code == -1) slots_[s] = Slot{code, i, 0};
    slotOfRow_[i] = static_cast<int16_t>(s);
  }
}

int SampleCodes::FindAndMark(int code, uint32_t unitMark) {
  for (int s = Home(code);; s = (s + 1) & mask_) {
    Slot& slot = slots_[s];
    if (slot.code == code) {
      slot.mark = unitMark;
      return slot.row;
    }
    if (slot.code == -1) return 0;
  }
}

// The lists of one unit against the sample. The valid lines of the unit (a quant
// outside 1..50 marks a bad line kept only for its line number) are taken in table
// order: those whose code the sample holds are named as in the sample, the others
// under the first dictionary entry of their code.
namespace {

// Adds a species to a list. Its fields are stored straight into the list (a
// record made first and then copied in is read back before its two halves have
// settled, which stalls), and its dictionary entry is fetched on the way, as the
// list is written out by the entry's short name.
void AddMatched(const RefData& ref, std::vector<MatchedSpecies>& list, int code, int index) {
  MatchedSpecies& m = list.emplace_back();
  m.nSpeciesCode = code;
  m.nSpeciesIndex = index;
  __builtin_prefetch(ShortNameAt(ref, index));
}

}  // namespace

void MatchUnitSpecies(const RefData& ref, const SampleState& sample, SampleCodes& codes, int unit,
                      uint32_t unitMark, MatchingLists& lists) {
  assert(unitMark != 0);
  lists.both.clear();
  lists.sampleOnly.clear();
  lists.unitOnly.clear();
  const LineRange lines = UnitLines(ref.arrNVCData[unit]);
  for (int k = lines.first; k <= lines.last; ++k) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[k];
    if (!IsValidQuant(line.nQuant)) continue;
    const int row = line.nSpeciesCode < 0 ? 0 : codes.FindAndMark(line.nSpeciesCode, unitMark);
    if (row != 0) {
      AddMatched(ref, lists.both, line.nSpeciesCode, sample.arrSample[row].nSpeciesIndex);
    } else {
      AddMatched(ref, lists.unitOnly, line.nSpeciesCode, DictionaryRowOfCode(ref, line.nSpeciesCode));
    }
  }
  // The sample's species the unit lacks, in entry order.
  for (int i = 1; i <= sample.nSampleEntries; ++i) {
    const SampleEntry& e = sample.arrSample[i];
    if (e.nSpeciesCode >= 0 && !codes.RowMarked(i, unitMark)) {
      AddMatched(ref, lists.sampleOnly, e.nSpeciesCode, e.nSpeciesIndex);
    }
  }
}
