// The sample entry loop (header, species lines, recap and confirmation, record)
// and the completion of a sample into percent covers, one row per species code.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>

#include "common/textio.h"
#include "run/run.h"
#include "sample/sample.h"

// ---- completion -------------------------------------------------------------------

namespace {

// Percent cover of a typed scale value x (the entry holds ten times x).
double PercentOf(double x, int16_t nCoverScale) {
  switch (nCoverScale) {
    case 2:  // Braun-Blanquet
      if (x < 1.0) return 0.0;
      if (x <= 2.0) return std::floor((x - 1.0) * 15.0);
      return std::floor(25.0 * x - 35.0);
    case 3:  // Domin, fractions included
      return std::floor(0.25 * std::pow(x, 2.6));
    default:  // percent cover
      return std::floor(x + 0.5);
  }
}

}  // namespace

void CompleteSample(SampleState& sample, const RunSettings& rs) {
  int n = sample.nSampleEntries;
  if (n > kSampleCapacity) n = kSampleCapacity;
  int m = 0;
  for (int k = 1; k <= n; ++k) {
    // Row k is copied out before anything is written: rows 1..m, m <= k, are the
    // only ones written, so compaction in place never loses an entry.
    const SampleEntry e = sample.arrSample[k];
    if (e.nCover < 0) continue;
    double p = PercentOf(e.nCover / 10.0, rs.nCoverScale);
    if (p > 100.0) p = 100.0;
    if (p < 0.0) p = 0.0;
    const int16_t percent = static_cast<int16_t>(p);

    int code = e.nSpeciesCode;
    while (code > kMarkerStep) code -= kMarkerStep;
    if (code > rs.nSpeciesGroupLimit) continue;

    int same = 0;
    for (int j = 1; j <= m; ++j) {
      if (sample.arrSample[j].nSpeciesCode == code) {
        same = j;
        break;
      }
    }
    if (same != 0) {
      SampleEntry& kept = sample.arrSample[same];
      if (e.nFreq > kept.nFreq) kept.nFreq = e.nFreq;
      int sum = kept.nCover + percent;
      kept.nCover = static_cast<int16_t>(sum > 100 ? 100 : sum);
      kept.nSpeciesIndex = e.nSpeciesIndex;
    } else {
      ++m;
      SampleEntry& row = sample.arrSample[m];
      row.nSpeciesCode = static_cast<int16_t>(code);
      row.nSpeciesIndex = e.nSpeciesIndex;
      row.nCover = percent;
      row.nFreq = e.nFreq;
    }
  }
  sample.nSampleEntries = static_cast<int16_t>(m);
}

// ---- the entry loop -----------------------------------------------------------------

namespace {

constexpr int kLineSize = 80;                 // lines of at most 79 characters
constexpr int32_t kMaxSamplesPerFile = 100000;
constexpr int32_t kDataFileEndedCounter = kMaxSamplesPerFile + 1;
constexpr int kMaxMarkers = 2;
constexpr int kTopFewAnalysis = 5;
const char kClosingLine[] = "                      \n";  // reads back as the blank ending a block

enum class LineOutcome { kTaken, kIgnored, kBlank, kInputEnded };
enum class LinesOutcome { kSampleReady, kSkipped, kInputEnded };

// What one pass through the species lines of a sample works with.
struct EntryContext {
  bool keyboard;
  double dCoverLimit;
  int nNextRow;    // next free row of arrSample
  bool bMenuUsed;  // a line went through the name menu since the last short recap
};

void WriteOrWarn(Console& con, std::FILE* fp, const char* what, const std::string& text) {
  if (fp == nullptr) return;
  if (!FileSay(fp, "%s", text.c_str())) con.err << "vegmatch: error writing the " << what << " file\n";
}

// Reads one data-file line of at most 79 characters, without its line end; the
// rest of a longer line is left for the next read. Returns false at the end of
// the file (or on a read error, which is reported).
bool ReadDataLine(Console& con, std::FILE* fp, char* buf) {
  int n = ReadFilePiece(fp, buf, kLineSize);
  if (n < 0) {
    if (fp != nullptr && std::ferror(fp)) con.err << "vegmatch: error reading the data file\n";
    return false;
  }
  if (n == kLineSize - 1 && buf[n - 1] != '\n') {
    // A line of exactly 79 characters takes its line end with it; otherwise the
    // line end would be read next as a blank line and end the sample early.
    int c = std::fgetc(fp);
    if (c == '\r') {
      int d = std::fgetc(fp);
      // A lone carriage return is no line end; it is dropped and the line goes on.
      if (d != '\n' && d != EOF) std::ungetc(d, fp);
    } else if (c != '\n' && c != EOF) {
      std::ungetc(c, fp);
    }
  }
  StripLineEnd(buf);
  return true;
}

EntryResult EndOfConsoleInput(Console& con) {
  ShowEndMessage(con);
  return EntryResult::kRunEnded;
}

EntryResult EndDataRun(Console& con, RunSettings& rs) {
  CloseRunFiles(con, rs);  // the data and results files; a data run has no record
  ShowEndMessage(con);
  return EntryResult::kRunEnded;
}

// A data file may hold more samples than one run takes; the user must learn that
// the results file does not cover the whole file.
void ReportUnreadSamples(Console& con, AppState& st) {
  char line[kLineSize];
  bool more = false;
  while (ReadDataLine(con, st.settings.fpDataFile, line)) {
    if (line[0] != '\0') {
      more = true;
      break;
    }
  }
  if (more) {
    con.err << Fmt("vegmatch: %ld samples read, the limit of a run; the rest of the data file "
                   "was not processed\n",
                   static_cast<long>(st.settings.nSampleCounter) - 1);
  }
}

void ShowSampleHeader(Console& con, AppState& st) {
  const RunSettings& rs = st.settings;
  const SampleState& sample = st.sample;
  const char* group = SpeciesGroupLabel(rs.nSpeciesGroupLimit, LabelForm::kHeader);
  const char* scale = CoverScaleLabel(rs.nCoverScale);
  const char* analysis = AnalysisTypeLabel(rs.nAnalysisType, LabelForm::kHeader);
  std::string header;
  if (sample.nMaxFreq > 0) {
    header = Fmt("\n Sample %-30s*%3d   Parameters = %8s   %6s   %8s\n", sample.szSampleName,
                 sample.nMaxFreq, group, scale, analysis);
  } else {
    header = Fmt("\n Sample %-30s       Parameters = %8s   %6s   %8s\n", sample.szSampleName,
                 group, scale, analysis);
  }
  con.out << header;
  if (rs.nOutputFormat == 1) WriteOrWarn(con, rs.fpResults, "results", header);
}

// The sample table ends at row 300; a further species is refused, and the user
// can still replace an entry or end the sample.
LineOutcome RefuseFullSample(Console& con) {
  Say(con, " *** Sample is full (%d entries) - line ignored ***\n", kSampleCapacity);
  return LineOutcome::kIgnored;
}

// One species line (markers still in it): parsed, resolved and put into the sample.
LineOutcome TakeSpeciesLine(Console& con, AppState& st, EntryContext& ctx, char* line) {
  RunSettings& rs = st.settings;
  SampleState& sample = st.sample;

  int markers = 0;
  for (char* p = line; *p != '\0'; ++p) {
    if (*p == '*') {
      *p = ' ';
      ++markers;
    }
  }
  if (markers > kMaxMarkers) markers = kMaxMarkers;

  char key[10] = {0};
  int16_t freq = 1;
  double cover = 0.0;
  int16_t status = 0;
  ParseSpeciesLine(line, key, sample.nMaxFreq, freq, cover, status);
  if (key[0] == '\0') return LineOutcome::kBlank;

  // A cover whose tenfold does not fit the 16-bit entry is no usable value.
  const double tenfold = std::floor(cover * 10.0 + 0.001);
  if (!(tenfold >= INT16_MIN && tenfold <= INT16_MAX)) status = 1;
  if (status != 0) {
    std::string msg = Fmt("     *** Bad data - ignored ***   %-40s\n", line);
    con.out << msg;
    if (!ctx.keyboard && rs.nOutputFormat == 1) WriteOrWarn(con, rs.fpResults, "results", msg);
    return LineOutcome::kIgnored;
  }

  int row = FindSpeciesRow(st.ref, sample, key);
  if (row == 0) {
    // A full sample takes no new line; asking the menu (or creating a species)
    // for a line that is then refused would only mislead.
    if (ctx.nNextRow > kSampleCapacity) return RefuseFullSample(con);
    row = ResolveUnknownName(con, st, key);
    if (row == 0) {
      if (ctx.keyboard && ConsoleInputEnded(con)) return LineOutcome::kInputEnded;
      if (ctx.keyboard && ctx.nNextRow > 1) {
        ShowSampleEntries(con, RecapMode::kShort, ctx.nNextRow - 1, st);
      }
      return LineOutcome::kIgnored;
    }
    ctx.bMenuUsed = true;
  }
  if (row < 1 || row > kSpeciesCapacity) return LineOutcome::kIgnored;

  const int code = st.ref.arrSpecies[row].nSpeciesCode + kMarkerStep * markers;
  // The same species with the same markers replaces its earlier line.
  int target = 0;
  for (int k = 1; k < ctx.nNextRow; ++k) {
    const SampleEntry& e = sample.arrSample[k];
    if (e.nSpeciesIndex == row && e.nSpeciesCode == code) {
      target = k;
      break;
    }
  }
  if (target == 0 && ctx.nNextRow > kSampleCapacity) return RefuseFullSample(con);

  if (cover > ctx.dCoverLimit) {
    Say(con, " *** Line accepted, but cover value %6.1f greater than limit %6.1f ***\n", cover,
        ctx.dCoverLimit);
  }
  if (cover < 0.0) {
    Say(con, " *** Line rejected: Cover value %6.1f less than zero ***\n", cover);
    return LineOutcome::kIgnored;
  }

  SampleEntry& e = sample.arrSample[target != 0 ? target : ctx.nNextRow];
  e.nSpeciesCode = static_cast<int16_t>(code);
  e.nSpeciesIndex = static_cast<int16_t>(row);
  e.nCover = static_cast<int16_t>(tenfold);
  e.nFreq = freq;
  if (target == 0) ++ctx.nNextRow;

  if (ctx.bMenuUsed) {
    ShowSampleEntries(con, RecapMode::kShort, ctx.nNextRow - 1, st);
    ctx.bMenuUsed = false;
  }
  return LineOutcome::kTaken;
}

// Species lines until the sample ends, then the recap, confirmation and record.
LinesOutcome EnterSpeciesLines(Console& con, AppState& st, EntryContext& ctx) {
  RunSettings& rs = st.settings;
  SampleState& sample = st.sample;
  char line[kLineSize];
  bool pending = false;  // a line typed at the confirmation is the next species line

  for (;;) {
    bool fileEnded = false;
    if (!pending) {
      if (ctx.keyboard) {
        con.out.flush();
        std::fflush(nullptr);
        if (!ReadAnswerLine(con, line, kLineSize)) return LinesOutcome::kInputEnded;
      } else if (!ReadDataLine(con, rs.fpDataFile, line)) {
        // The end of the file ends this sample and, at the next request, the run.
        rs.nSampleCounter = kDataFileEndedCounter;
        fileEnded = true;
      }
    }
    pending = false;

    if (!fileEnded) {
      LineOutcome outcome = TakeSpeciesLine(con, st, ctx, line);
      if (outcome == LineOutcome::kInputEnded) return LinesOutcome::kInputEnded;
      if (outcome != LineOutcome::kBlank) continue;
      if (ctx.nNextRow == 1) {
        // The header was recorded without its line end; the blank line must stand
        // on a line of its own, or the record read back would take the next
        // sample's lines into this one.
        if (ctx.keyboard) {
          WriteOrWarn(con, rs.fpRecordFile, "record", std::string("\n") + kClosingLine);
        }
        ++rs.nSampleCounter;
        return LinesOutcome::kSkipped;
      }
    }

    // End of the species list.
    sample.nSampleEntries = static_cast<int16_t>(ctx.nNextRow - 1);
    if (rs.nAnalysisType == kTopFewAnalysis) {
      // Only the order of the species counts: fixed covers of 60, 50, ... 10 percent.
      rs.nCoverScale = 1;
      for (int k = 1; k <= sample.nSampleEntries; ++k) {
        int percent = 60 - 10 * (k - 1);
        sample.arrSample[k].nCover = static_cast<int16_t>(10 * (percent > 0 ? percent : 0));
      }
    }

    if (ctx.keyboard) {
      Say(con, "\n\n\n\n\n\n Recap for sample %30s\n", sample.szSampleName);
      ShowSampleEntries(con, RecapMode::kFull, sample.nSampleEntries, st);
      int counted = 0;
      for (int k = 1; k <= sample.nSampleEntries; ++k) {
        if (sample.arrSample[k].nCover >= 0) ++counted;
      }
      Say(con, "\n\n    Number of entries is %5d\n", counted);
      if (counted == 0) {
        ++rs.nSampleCounter;
        return LinesOutcome::kSkipped;
      }
      Say(con, "\n Press <RETURN> if complete, or\n continue typing to add more data to sample\n");
      con.out.flush();
      std::fflush(nullptr);
      if (!ReadAnswerLine(con, line, kLineSize)) return LinesOutcome::kInputEnded;
      if (line[0] != '\0') {
        pending = true;
        continue;
      }
      Say(con, "\n Sample complete;  calculating goodness of fit ...\n");
    }

    ShowSampleEntries(con, RecapMode::kRecord, sample.nSampleEntries, st);
    if (ctx.keyboard) WriteOrWarn(con, rs.fpRecordFile, "record", kClosingLine);
    CompleteSample(sample, rs);
    return LinesOutcome::kSampleReady;
  }
}

}  // namespace

EntryResult EnterSample(Console& con, AppState& st) {
  RunSettings& rs = st.settings;
  SampleState& sample = st.sample;
  const bool keyboard = rs.nInputSource == 0;

  for (;;) {  // a skipped sample starts again here, with the next sample number
    char line[kLineSize];
    int16_t maxFreq = 0;
    bool refused = false;
    if (keyboard) {
      for (;;) {
        Say(con, "\n\n\n\n\n");
        Say(con, "\n Now enter sample name (at most 30 characters)\n (for frequency data, "
                 "follow name by * max-freq)\n");
        con.out.flush();
        std::fflush(nullptr);
        if (!ReadAnswerLine(con, line, kLineSize)) return EndOfConsoleInput(con);
        ParseSampleHeader(con, st, line, sample.szSampleName, maxFreq, refused);
        if (!refused) break;
      }
    } else {
      if (rs.nSampleCounter > kMaxSamplesPerFile) {
        ReportUnreadSamples(con, st);
        return EndDataRun(con, rs);
      }
      do {
        if (!ReadDataLine(con, rs.fpDataFile, line)) return EndDataRun(con, rs);
      } while (line[0] == '\0');
      ParseSampleHeader(con, st, line, sample.szSampleName, maxFreq, refused);
      if (refused) maxFreq = 0;  // taken as cover data
    }
    sample.nMaxFreq = maxFreq;
    sample.nSampleEntries = 0;

    ShowSampleHeader(con, st);
    if (rs.nOutputFormat == 0 && rs.nSampleCounter == 1) {
      WriteOrWarn(con, rs.fpResults, "results",
                  "Sample,Analysis_Type,Fit#,Eunis_Comm,NVC_Comm,Mean_GoF,GoF_1,GoF_2,GoF_3,"
                  "GoF_4,NVC_Comm_Name,NVC_Sub_Name,Eunis_Name,Vasc_Param,Cover_Scale,"
                  "Anal_Param\n");
    }
    if (keyboard) Say(con, " Now enter species data, ending with blank line\n");

    EntryContext ctx{keyboard, CoverScaleLimit(rs.nCoverScale), 1, false};
    switch (EnterSpeciesLines(con, st, ctx)) {
      case LinesOutcome::kSampleReady:
        return EntryResult::kSampleReady;
      case LinesOutcome::kInputEnded:
        return EndOfConsoleInput(con);
      case LinesOutcome::kSkipped:
        break;
    }
  }
}
