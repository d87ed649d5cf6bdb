// The sample entry loop (header, species lines, recap and confirmation, record)
// and the completion of a sample into percent covers, one row per species code.
#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>

#include "sample/sample.h"

// ---- completion -------------------------------------------------------------------

void CompleteSample(SampleState& sample, const RunSettings& rs) {
  const int n = sample.nSampleEntries;
  assert(n >= 0 && n <= kSampleCapacity);
  const auto percentOf = CoverScaleOf(rs.nCoverScale).percentOf;
  int m = 0;
  for (int k = 1; k <= n; ++k) {
    // Row k is copied out before anything is written: rows 1..m, m <= k, are the
    // only ones written, so compaction in place never loses an entry.
    const SampleEntry e = sample.arrSample[k];
    if (e.nCover < 0) continue;
    // The entry holds ten times the typed scale value.
    double p = percentOf(e.nCover / 10.0);
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

constexpr int32_t kDataFileEndedCounter = kMaxSamplesPerFile + 1;
const char kClosingLine[] = "                      \n";  // reads back as the blank ending a block

enum class LineOutcome { kTaken, kIgnored, kBlank, kInputEnded };
enum class LinesOutcome { kSampleReady, kSkipped, kInputEnded };

// What one pass through the species lines of a sample works with.
struct EntryContext {
  bool keyboard;
  const SampleInput* input;  // records given by an input (null: lines read here)
  size_t nextRecord;
  double dCoverLimit;
  int nNextRow;    // next free row of arrSample
  bool bMenuUsed;  // a line went through the name menu since the last short recap
};

// Everything entry needs of the run.
struct Tables {
  RefData& ref;
  SampleState& sample;
  RunSettings& rs;
  EntryObserver* observer;  // null for the typed run
  const SampleRecord* record = nullptr;  // the record being taken
  SourcePos header;                      // where the sample's header stands

  void Problem(const std::string& what, bool refused, bool quoteLine = false) {
    if (observer == nullptr) return;
    observer->LineProblem(record != nullptr ? record->where : header, record, what, refused, quoteLine);
  }
};

void WriteTo(const File& fp, const std::string& text) { FileSay(fp.get(), "%s", text.c_str()); }

enum class DataLine { kLine, kRefused, kEnded };

const char kNulLine[] = "the line holds a NUL byte; it is refused";

// Reads one data-file line of at most kLineWidth characters, without its line end; the
// rest of a longer line is left for the next read. A line that holds a NUL byte
// is refused, with a message naming the file and line: the text after the NUL
// could not be read, and would be lost without a word. kEnded at the end of the
// file (or on a read error, which is reported).
DataLine ReadDataLine(Console& con, RunSettings& rs, char* buf) {
  std::FILE* fp = rs.fpDataFile.get();
  const long lineNo = static_cast<long>(rs.nDataFileLine) + 1;
  const int n = ReadFilePiece(fp, buf, kLineSize);
  if (n < 0) {
    if (fp != nullptr && std::ferror(fp)) Diagnose(con, "", "error reading the data file");
    return DataLine::kEnded;
  }
  bool ended = buf[n - 1] == '\n';
  if (n == kLineWidth && !ended) {
    // A line of exactly kLineWidth characters takes its line end with it; otherwise the
    // line end would be read next as a blank line and end the sample early.
    int c = std::fgetc(fp);
    if (c == '\r') {
      // CR LF, or a lone carriage return: a line end either way.
      int d = std::fgetc(fp);
      if (d != '\n' && d != EOF) std::ungetc(d, fp);
      ended = true;
    } else if (c == '\n') {
      ended = true;
    } else if (c != EOF) {
      std::ungetc(c, fp);
    }
  }
  if (ended) ++rs.nDataFileLine;
  const bool nul = HoldsNul(buf, n);
  StripLineEnd(buf);
  if (nul) {
    const char* name = rs.szDataFileName[0] != '\0' ? rs.szDataFileName : "data file";
    Diagnose(con, At(name, lineNo), kNulLine);
    return DataLine::kRefused;
  }
  return DataLine::kLine;
}

EntryResult EndOfConsoleInput(Console& con) {
  ShowEndMessage(con);
  return EntryResult::kRunEnded;
}

EntryResult EndDataRun(Console& con) {
  ShowEndMessage(con);
  return EntryResult::kRunEnded;
}

// A data file may hold more samples than one run takes; the user must learn that
// the results file does not cover the whole file.
void ReportUnreadSamples(Console& con, RunSettings& rs) {
  char line[kLineSize];
  bool more = false;
  for (DataLine got; (got = ReadDataLine(con, rs, line)) != DataLine::kEnded;) {
    if (got == DataLine::kRefused || line[0] != '\0') {
      more = true;
      break;
    }
  }
  if (more) {
    Diagnose(con, "",
             Fmt("%ld samples read, the limit of a run; the rest of the data file was not "
                 "processed",
                 static_cast<long>(rs.nSampleCounter) - 1));
  }
}

void ShowSampleHeader(Console& con, const SampleState& sample, const RunSettings& rs) {
  const char* group = SpeciesGroupLabel(rs.nSpeciesGroupLimit, LabelForm::kHeader);
  const char* scale = CoverScaleLabel(rs.nCoverScale);
  const char* analysis = AnalysisTypeLabel(rs.nAnalysisType, LabelForm::kHeader);
  // Written out by hand: it comes once a sample, and printf's machinery cost
  // more than the rest of the sample's entry.
  //   "\n Sample %-30s*%3d   Parameters = %8s   %6s   %8s\n" (frequency data)
  //   "\n Sample %-30s       Parameters = %8s   %6s   %8s\n"
  std::string header = "\n Sample ";
  const auto pad = [&header](const char* text, size_t width, bool left) {
    const size_t n = std::strlen(text);
    if (!left && n < width) header.append(width - n, ' ');
    header += text;
    if (left && n < width) header.append(width - n, ' ');
  };
  pad(sample.szSampleName, 30, true);
  if (sample.nMaxFreq > 0) {
    header += '*';
    pad(std::to_string(sample.nMaxFreq).c_str(), 3, false);
  } else {
    header += "    ";
  }
  header += "   Parameters = ";
  pad(group, 8, false);
  header += "   ";
  pad(scale, 6, false);
  header += "   ";
  pad(analysis, 8, false);
  header += '\n';
  con.out << header;
  if (rs.nOutputFormat == 1) WriteTo(rs.fpResults, header);
}

// The sample table ends at row 300; a further species is refused, and the user
// can still replace an entry or end the sample.
LineOutcome RefuseFullSample(Console& con, Tables& t) {
  Say(con, " *** Sample is full (%d entries) - line ignored ***\n", kSampleCapacity);
  t.Problem(Fmt("the sample is full (%d species); the line is left out", kSampleCapacity), true);
  return LineOutcome::kIgnored;
}

// A line that cannot be taken is shown, and for a data file in the tabulated
// format written to the results too.
LineOutcome IgnoreBadLine(Console& con, Tables& t, const EntryContext& ctx, std::string_view line,
                          bool tell = true) {
  std::string msg = "     *** Bad data - ignored ***   ";
  msg += line;
  if (line.size() < 40) msg.append(40 - line.size(), ' ');
  msg += '\n';
  con.out << msg;
  if (!ctx.keyboard && t.rs.nOutputFormat == 1) WriteTo(t.rs.fpResults, msg);
  if (tell) t.Problem("bad line, left out", true, true);
  return LineOutcome::kIgnored;
}

// The dictionary row of a record's name, through the name menu for an unknown
// one; an outcome when the line goes no further (row then 0).
std::optional<LineOutcome> ResolveRow(Console& con, Tables& t, EntryContext& ctx, const SampleRecord& rec,
                                      int& row) {
  const char* key = rec.key.c_str();
  row = FindSpeciesRow(t.ref, key);
  // A name an input resolved to one of several rows that share its short name
  // is that row (the lookup finds the first of them).
  if (rec.row >= 3 && rec.row <= t.ref.nSpeciesCount &&
      CompareShortName(key, t.ref.arrSpecies[rec.row].szShortName) == 0) {
    row = rec.row;
  }
  // A name typed earlier in the run is still not a dictionary name.
  if (row > t.ref.nSpeciesCount && t.observer != nullptr) t.observer->UnknownName(rec);
  if (row != 0) return std::nullopt;
  // A full sample takes no new line; asking the menu (or creating a species)
  // for a line that is then refused would only mislead.
  if (ctx.nNextRow > kSampleCapacity) return RefuseFullSample(con, t);
  if (t.observer != nullptr) t.observer->UnknownName(rec);
  const NameChoice choice = ResolveUnknownName(con, t.ref, t.rs, key);
  row = choice.row;
  if (row == 0) {
    if (!ctx.keyboard) t.Problem("no room for a new species name; the line is left out", true);
    // DELETE (or a refused new name) drops the line; only a menu left without
    // any answer ends the run here.
    if (ctx.keyboard && !choice.answered) return LineOutcome::kInputEnded;
    if (ctx.keyboard && ctx.nNextRow > 1) {
      ShowSampleEntries(con, RecapMode::kShort, ctx.nNextRow - 1, t.ref, t.sample, t.rs);
    }
    return LineOutcome::kIgnored;
  }
  ctx.bMenuUsed = true;
  return std::nullopt;
}

// The row a record with `code` replaces: the same species with the same markers
// entered earlier (0: none, or the input sums repeated records, which completion adds).
int ReplacedRow(const Tables& t, const EntryContext& ctx, int row, int code) {
  const bool sumRepeats = ctx.input != nullptr && ctx.input->sumRepeats;
  for (int k = 1; k < ctx.nNextRow && !sumRepeats; ++k) {
    const SampleEntry& e = t.sample.arrSample[k];
    if (e.nSpeciesIndex == row && e.nSpeciesCode == code) return k;
  }
  return 0;
}

// Says a cover above the scale's limit (the line is taken) or below zero; true
// when the line is refused for it.
bool CoverRefused(Console& con, Tables& t, const EntryContext& ctx, double cover) {
  if (cover > ctx.dCoverLimit) {
    Say(con, " *** Line accepted, but cover value %6.1f greater than limit %6.1f ***\n", cover,
        ctx.dCoverLimit);
    t.Problem(Fmt("cover %.1f is above the limit %.1f of the scale; the line is taken", cover,
                  ctx.dCoverLimit),
              false);
  }
  if (cover < 0.0) {
    Say(con, " *** Line rejected: Cover value %6.1f less than zero ***\n", cover);
    t.Problem(Fmt("cover %.1f is below zero; the line is left out", cover), true);
    return true;
  }
  return false;
}

// One species record: resolved and put into the sample.
LineOutcome TakeRecord(Console& con, Tables& t, EntryContext& ctx, const SampleRecord& rec) {
  SampleState& sample = t.sample;
  t.record = &rec;
  const double cover = rec.dCover;
  if (rec.leftOut) return LineOutcome::kIgnored;
  if (rec.nul) {
    t.Problem(kNulLine, true);
    return IgnoreBadLine(con, t, ctx, rec.shown != nullptr ? rec.shown : "", false);
  }
  if (rec.key.c_str()[0] == '\0') return LineOutcome::kBlank;

  // The parser refuses a cover whose tenfold does not fit the 16-bit entry.
  const double tenfold = std::floor(cover * 10.0 + 0.001);
  if (!rec.ok) return IgnoreBadLine(con, t, ctx, rec.shown != nullptr ? rec.shown : "");
  assert(tenfold >= INT16_MIN && tenfold <= INT16_MAX);

  int row = 0;
  if (const std::optional<LineOutcome> ended = ResolveRow(con, t, ctx, rec, row)) return *ended;
  assert(row >= 1 && row <= t.ref.nSpeciesEntries);

  const int code = t.ref.arrSpecies[row].nSpeciesCode + kMarkerStep * rec.markers;
  const int target = ReplacedRow(t, ctx, row, code);
  if (target == 0 && ctx.nNextRow > kSampleCapacity) return RefuseFullSample(con, t);
  if (CoverRefused(con, t, ctx, cover)) return LineOutcome::kIgnored;

  SampleEntry& e = sample.arrSample[target != 0 ? target : ctx.nNextRow];
  e.nSpeciesCode = static_cast<int16_t>(code);
  e.nSpeciesIndex = row;
  e.nCover = static_cast<int16_t>(tenfold);
  e.nFreq = rec.nFreq;
  if (target == 0) ++ctx.nNextRow;

  if (ctx.bMenuUsed) {
    ShowSampleEntries(con, RecapMode::kShort, ctx.nNextRow - 1, t.ref, sample, t.rs);
    ctx.bMenuUsed = false;
  }
  return LineOutcome::kTaken;
}

enum class Fetched { kRecord, kFileEnded, kRefused, kInputEnded };

// Reads as the blank line that ends a sample.
const SampleRecord kEndOfRecords{};

// The next species record, into `rec`: a line typed at the confirmation
// (`pending`, in `line`), an input's record, a typed line or a data-file line.
Fetched FetchRecord(Console& con, Tables& t, EntryContext& ctx, char* line, bool pending, SampleRecord& parsed,
                    const SampleRecord*& rec) {
  rec = &parsed;
  if (pending) {
    parsed = ParseRecordLine(line, t.sample.nMaxFreq);
  } else if (ctx.input != nullptr) {
    const std::vector<SampleRecord>& records = ctx.input->records;
    if (ctx.nextRecord < records.size()) {
      rec = &records[ctx.nextRecord++];
    } else if (ctx.input->endsInput) {
      return Fetched::kFileEnded;
    } else {
      rec = &kEndOfRecords;
    }
  } else if (ctx.keyboard) {
    con.out.flush();
    std::fflush(nullptr);
    if (!ReadAnswerLine(con, line, kLineSize)) return Fetched::kInputEnded;
    parsed = ParseRecordLine(line, t.sample.nMaxFreq);
  } else {
    const DataLine got = ReadDataLine(con, t.rs, line);
    if (got == DataLine::kRefused) {
      IgnoreBadLine(con, t, ctx, line, false);  // already said
      return Fetched::kRefused;
    }
    if (got == DataLine::kEnded) {
      // The end of the file ends this sample and, at the next request, the run.
      t.rs.nSampleCounter = kDataFileEndedCounter;
      return Fetched::kFileEnded;
    }
    parsed = ParseRecordLine(line, t.sample.nMaxFreq);
  }
  return Fetched::kRecord;
}

// Closes the species list: the number of entries, and for the top-few analysis
// fixed covers by order.
void EndSpeciesList(Tables& t, const EntryContext& ctx) {
  SampleState& sample = t.sample;
  sample.nSampleEntries = static_cast<int16_t>(ctx.nNextRow - 1);
  if (t.rs.nAnalysisType == kTopFewAnalysis) {
    // Only the order of the species counts: fixed covers of 60, 50, ... 10 percent.
    t.rs.nCoverScale = 1;
    for (int k = 1; k <= sample.nSampleEntries; ++k) {
      int percent = 60 - 10 * (k - 1);
      sample.arrSample[k].nCover = static_cast<int16_t>(10 * (percent > 0 ? percent : 0));
    }
  }
}

enum class Confirmed { kComplete, kMoreLines, kSkipped, kInputEnded };

// The typed sample's recap and the user's answer: complete, or a further line
// (left in `line`).
Confirmed ConfirmTypedSample(Console& con, Tables& t, char* line) {
  SampleState& sample = t.sample;
  Say(con, "\n\n\n\n\n\n Recap for sample %30s\n", sample.szSampleName);
  ShowSampleEntries(con, RecapMode::kFull, sample.nSampleEntries, t.ref, sample, t.rs);
  int counted = 0;
  for (int k = 1; k <= sample.nSampleEntries; ++k) {
    if (sample.arrSample[k].nCover >= 0) ++counted;
  }
  Say(con, "\n\n    Number of entries is %5d\n", counted);
  if (counted == 0) {
    ++t.rs.nSampleCounter;
    return Confirmed::kSkipped;
  }
  Say(con, "\n Press <RETURN> if complete, or\n continue typing to add more data to sample\n");
  con.out.flush();
  std::fflush(nullptr);
  if (!ReadAnswerLine(con, line, kLineSize)) return Confirmed::kInputEnded;
  if (line[0] != '\0') return Confirmed::kMoreLines;
  Say(con, "\n Sample complete;  calculating goodness of fit ...\n");
  return Confirmed::kComplete;
}

// Species lines until the sample ends, then the recap, confirmation and record.
LinesOutcome EnterSpeciesLines(Console& con, Tables& t, EntryContext& ctx) {
  RunSettings& rs = t.rs;
  SampleState& sample = t.sample;
  char line[kLineSize];
  bool pending = false;  // a line typed at the confirmation is the next species line

  for (;;) {
    SampleRecord parsed;
    const SampleRecord* rec = nullptr;
    const Fetched fetched = FetchRecord(con, t, ctx, line, pending, parsed, rec);
    if (fetched == Fetched::kInputEnded) return LinesOutcome::kInputEnded;
    if (fetched == Fetched::kRefused) continue;
    pending = false;

    if (fetched == Fetched::kRecord) {
      LineOutcome outcome = TakeRecord(con, t, ctx, *rec);
      t.record = nullptr;
      if (outcome == LineOutcome::kInputEnded) return LinesOutcome::kInputEnded;
      if (outcome != LineOutcome::kBlank) continue;
      if (ctx.nNextRow == 1) {
        // The header was recorded without its line end; the blank line must stand
        // on a line of its own, or the record read back would take the next
        // sample's lines into this one.
        if (ctx.keyboard) WriteTo(rs.fpRecordFile, std::string("\n") + kClosingLine);
        ++rs.nSampleCounter;
        return LinesOutcome::kSkipped;
      }
    }

    EndSpeciesList(t, ctx);
    if (ctx.keyboard) {
      const Confirmed answer = ConfirmTypedSample(con, t, line);
      if (answer == Confirmed::kSkipped) return LinesOutcome::kSkipped;
      if (answer == Confirmed::kInputEnded) return LinesOutcome::kInputEnded;
      if (answer == Confirmed::kMoreLines) {
        pending = true;
        continue;
      }
    }

    ShowSampleEntries(con, RecapMode::kRecord, sample.nSampleEntries, t.ref, sample, rs);
    if (ctx.keyboard) WriteTo(rs.fpRecordFile, kClosingLine);
    CompleteSample(sample, rs);
    return LinesOutcome::kSampleReady;
  }
}

// Data recorded on one cover scale and read on another would give wrong fits
// without a word, so a header that names its scale is held against the setting,
// and the user may change the setting before any line is read.
void CheckCoverTag(Console& con, Tables& t, const char* found, RunSettings& rs) {
  const char* setting = CoverScaleOf(rs.nCoverScale).tag;
  if (found == nullptr || std::strcmp(found, setting) == 0) return;
  t.Problem(Fmt("the sample was recorded on the %s scale but is read on the %s scale", found,
                setting),
            false);
  Say(con, "\n Cover scale is set to %5s but input data are %5s\n Press <RETURN> to continue\n",
      setting, found);
  con.out.flush();
  char answer[kFileNameSize];
  ReadAnswerLine(con, answer, sizeof answer);
  ParameterDialogue(con, rs);
}

}  // namespace

namespace {

// Starts the sample of a header: its name, the check of its cover-scale tag,
// the record file (typed samples), the header shown (and written), then the
// species lines.
LinesOutcome EnterHeaderAndLines(Console& con, Tables& t, const SampleHeader& h, const SampleInput* input) {
  RunSettings& rs = t.rs;
  SampleState& sample = t.sample;
  const bool keyboard = rs.nInputSource == 0 && input == nullptr;
  std::memcpy(sample.szSampleName, h.szName, sizeof sample.szSampleName);
  if (!h.refused) {
    CheckCoverTag(con, t, h.tag, rs);
    if (keyboard) RecordSampleHeader(rs, sample.szSampleName, h.nMaxFreq);  // only typed samples
  }
  sample.nMaxFreq = h.nMaxFreq;
  sample.nSampleEntries = 0;

  ShowSampleHeader(con, sample, rs);
  if (rs.nOutputFormat == 0 && rs.nSampleCounter == 1) {
    WriteTo(rs.fpResults,
            "Sample,Analysis_Type,Fit#,Eunis_Comm,NVC_Comm,Mean_GoF,GoF_1,GoF_2,GoF_3,"
            "GoF_4,NVC_Comm_Name,NVC_Sub_Name,Eunis_Name,Vasc_Param,Cover_Scale,"
            "Anal_Param\n");
  }
  if (keyboard) Say(con, " Now enter species data, ending with blank line\n");

  EntryContext ctx{keyboard, input, 0, CoverScaleOf(rs.nCoverScale).limit, 1, false};
  return EnterSpeciesLines(con, t, ctx);
}

}  // namespace

EntryResult EnterSample(Console& con, RefData& ref, SampleState& sample, RunSettings& rs) {
  Tables t{ref, sample, rs, nullptr, nullptr, SourcePos{}};
  const bool keyboard = rs.nInputSource == 0;

  for (;;) {  // a skipped sample starts again here, with the next sample number
    char line[kLineSize];
    SampleHeader h{};
    if (keyboard) {
      for (;;) {
        Say(con, "\n\n\n\n\n");
        Say(con, "\n Now enter sample name (at most 30 characters)\n (for frequency data, "
                 "follow name by * max-freq)\n");
        con.out.flush();
        std::fflush(nullptr);
        if (!ReadAnswerLine(con, line, kLineSize)) return EndOfConsoleInput(con);
        h = ParseSampleHeader(con, line, rs.nSampleCounter);
        if (!h.refused) break;
      }
    } else {
      if (rs.nSampleCounter > kMaxSamplesPerFile) {
        ReportUnreadSamples(con, rs);
        return EndDataRun(con);
      }
      // Blank lines before a header are passed over, and so are refused ones.
      DataLine got;
      do {
        got = ReadDataLine(con, rs, line);
        if (got == DataLine::kEnded) return EndDataRun(con);
      } while (got == DataLine::kRefused || line[0] == '\0');
      h = ParseSampleHeader(con, line, rs.nSampleCounter);
      if (h.refused) h.nMaxFreq = 0;  // taken as cover data
    }
    switch (EnterHeaderAndLines(con, t, h, nullptr)) {
      case LinesOutcome::kSampleReady:
        return EntryResult::kSampleReady;
      case LinesOutcome::kInputEnded:
        return EndOfConsoleInput(con);
      case LinesOutcome::kSkipped:
        break;
    }
  }
}

RecordsResult EnterRecords(Console& con, RefData& ref, SampleState& sample, RunSettings& rs,
                           const SampleInput& input, EntryObserver* observer) {
  Tables t{ref, sample, rs, observer, nullptr, input.where};
  SampleHeader h = input.header;
  if (h.refused) {
    h.nMaxFreq = 0;  // taken as cover data
    t.Problem(Fmt("maximum frequency outside 0..%d; the sample is read as cover data", kMaxFrequency), true);
  } else {
    NameUnnamedSample(h, rs.nSampleCounter);
  }
  const LinesOutcome outcome = EnterHeaderAndLines(con, t, h, &input);
  assert(outcome != LinesOutcome::kInputEnded);  // records never wait for an answer
  return outcome == LinesOutcome::kSampleReady ? RecordsResult::kSampleReady : RecordsResult::kSkipped;
}

void CopySample(const SampleState& from, SampleState& to) {
  to.nSampleEntries = from.nSampleEntries;
  to.nMaxFreq = from.nMaxFreq;
  std::memcpy(to.szSampleName, from.szSampleName, sizeof to.szSampleName);
  assert(from.nSampleEntries >= 0 && from.nSampleEntries <= kSampleCapacity);
  std::copy(from.arrSample, from.arrSample + from.nSampleEntries + 1, to.arrSample);
}
