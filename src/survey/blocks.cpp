// Block files, the data-file format of the typed run, as samples of records:
// each line made kinder to spreadsheets first (tabs, white space alone, decimal
// commas, names looked up as surveys write them), then read as the typed
// data-file run reads its lines, by its own parsers.
#include <algorithm>
#include <cassert>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "common/common.h"
#include "survey/blocks.h"

namespace {

// A line that holds nothing but white space (a line between samples).
bool Blank(std::string_view line) { return std::all_of(line.begin(), line.end(), IsSpaceC); }

// Where a cover written with a decimal comma ("0,5", "12,5") has its comma, or
// npos: sample entry reads the number only up to the comma (0 and 12), so the
// line is given a decimal point, as a CSV cover is.
size_t DecimalComma(std::string_view t) {
  size_t i = (!t.empty() && (t[0] == '+' || t[0] == '-')) ? 1 : 0;
  size_t comma = std::string_view::npos;
  bool digit = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') {
      digit = true;
    } else if (t[i] == ',' && comma == std::string_view::npos) {
      comma = i;
    } else {
      return std::string_view::npos;
    }
  }
  return digit ? comma : std::string_view::npos;
}

// A word sample entry reads as a number (a cover or a frequency).
bool Numeric(std::string_view t) {
  size_t i = (t[0] == '+' || t[0] == '-') ? 1 : 0;
  return i < t.size() && ((t[i] >= '0' && t[i] <= '9') || t[i] == '.');
}

// The name words of a line (what stands before its numbers), parted at white
// space: the name said for a line the block reading did not take as a species
// line.
std::string NameOfLine(std::string_view line) {
  std::string name;
  for (size_t a = 0; a < line.size();) {
    if (IsSpaceC(line[a])) {
      ++a;
      continue;
    }
    size_t e = a + 1;
    while (e < line.size() && !IsSpaceC(line[e])) ++e;
    const std::string_view w = line.substr(a, e - a);
    if (!name.empty() && ((w[0] >= '0' && w[0] <= '9') || w[0] == '.')) break;
    if (!name.empty()) name += ' ';
    name += w;
    a = e;
  }
  return name;
}

// What a species line says, read the way sample entry reads it: the name's
// words, then (for frequency data) the frequency, then the cover.
struct SpeciesWords {
  bool keep;                 // false: left out (--strict), the sample goes on without it
  std::string_view written;  // the name's words, one blank between them
  size_t coverAt;            // the word read as the cover
  size_t firstNumber;        // the first word read as a number after the first
};

// The species line of words tokens[0..n-1] (n >= 1, views of the line), line
// lineNo of a sample whose frequencies go up to maxFreq (0: cover data). Says
// when the word read as the cover is no number. The name is a view of the line
// where the line has one blank between its words (nearly always), else of
// `joined`.
SpeciesWords ReadSpeciesWords(const std::string_view* tokens, size_t n, int maxFreq, long lineNo,
                              const BlockRules& rules, std::string& joined, std::vector<InputProblem>& problems) {
  assert(n >= 1);
  SpeciesWords w;
  const size_t nameWords = n > 1 && !Numeric(tokens[1]) ? 2 : 1;
  w.coverAt = nameWords + (maxFreq > 0 ? 1 : 0);
  w.firstNumber = 1;
  while (w.firstNumber < n && !Numeric(tokens[w.firstNumber])) ++w.firstNumber;
  w.keep = true;
  const unsigned char first = w.coverAt < n ? tokens[w.coverAt][0] : ' ';
  const bool letter = static_cast<unsigned char>((first | 0x20) - 'a') < 26;  // isalpha in the C locale
  if (rules.checkCovers && (letter || first == '(')) {
    problems.push_back({lineNo,
                        "the word read as the cover, \"" + std::string(tokens[w.coverAt]) +
                            "\", is not a number (an authority?)",
                        rules.strict});
    w.keep = !rules.strict;
  }
  const std::string_view last = tokens[w.firstNumber - 1];
  const std::string_view span(tokens[0].data(), static_cast<size_t>(last.data() + last.size() - tokens[0].data()));
  size_t letters = 0;
  for (size_t k = 0; k < w.firstNumber; ++k) letters += tokens[k].size();
  if (span.size() == letters + w.firstNumber - 1) {
    w.written = span;
  } else {
    joined.clear();
    for (size_t k = 0; k < w.firstNumber; ++k) {
      if (k > 0) joined += ' ';
      joined += tokens[k];
    }
    w.written = joined;
  }
  return w;
}

// What is known of a line beside the text sample entry reads.
struct LineFacts {
  long line;                 // in the input, from 1
  std::string_view written;  // the name as written (species lines the reading took)
  std::string_view source;   // the line as the input holds it, without its CR
  int row;                   // the dictionary row the name was looked up as (0: by its words)
  uint8_t note = 0;          // the note of the name's status
};

// Lines into samples, as sample entry takes them from a data file: lines before
// a header that are blank or refused are passed over; a header starts a sample;
// its species lines follow until a line that reads as blank.
class SampleSplitter {
 public:
  // `text` is the input the lines come from, which outlives the records.
  SampleSplitter(std::string_view text, int file, TextStore& store, std::vector<SampleInput>& out,
                 std::vector<InputProblem>& problems)
      : text_(text), file_(file), store_(store), out_(out), problems_(problems), quiet_(std::string()) {}

  // One line as the typed run reads it (at most 79 characters, without its
  // line end; `nul`: it holds a NUL byte and is refused), from the line `kept`
  // of the text sample entry reads.
  void Line(char* buf, bool nul, std::string_view kept, const LineFacts& facts) {
    const SourcePos where{file_, static_cast<int32_t>(facts.line)};
    if (current_ == kNone) {
      if (nul) {
        problems_.push_back({facts.line, "the line holds a NUL byte; it is refused", true});
        return;
      }
      if (buf[0] == '\0') return;
      current_ = out_.size();
      SampleInput& in = out_.emplace_back();
      in.where = where;
      in.header = ReadSampleHeader(quiet_.con, buf);
      if (in.header.refused) in.header.nMaxFreq = 0;  // taken as cover data
      return;
    }
    if (nul) {
      SampleRecord& rec = records_.emplace_back();
      rec.where = where;
      rec.nul = true;
      rec.shown = store_.Keep(buf).data();
      return;
    }
    SampleRecord rec = ParseRecordLine(buf, out_[current_].header.nMaxFreq);
    if (rec.key.c_str()[0] == '\0') {  // a blank line ends the sample
      // Its records take no more room than they need: a survey has many.
      out_[current_].records.assign(records_.begin(), records_.end());
      records_.clear();
      current_ = kNone;
      return;
    }
    rec.where = where;
    rec.row = facts.row;
    rec.nameNote = facts.note;
    rec.leftOut = IsLeftOut(facts.note);
    rec.nameGuessed = facts.written.empty();
    rec.written = rec.nameGuessed ? store_.Keep(NameOfLine(kept)) : Held(facts.written);
    rec.shown = rec.ok ? nullptr : store_.Keep(rec.shown).data();
    rec.quoted = rec.ok ? nullptr : store_.Keep(facts.source).data();
    records_.push_back(rec);
  }

  // The end of the input: as the end of a data file, it ends the last sample
  // (a header alone there is a sample of no species).
  void End() {
    if (current_ == kNone) return;
    out_[current_].records.assign(records_.begin(), records_.end());
    out_[current_].endsInput = true;
    records_.clear();
    current_ = kNone;
  }

  // The line `kept` as the typed run reads it, followed by its line end:
  // pieces of at most 79 characters (a longer line goes on as the next), a CR
  // alone or before a line feed ending a line.
  void Read(std::string_view kept, const LineFacts& facts) {
    const size_t n = kept.size();
    char buf[kLineSize];
    if (n < kLineSize && kept.find('\r') == std::string_view::npos) {
      // The usual line: no CR, and short enough to be read whole.
      if (n > 0) std::memcpy(buf, kept.data(), n);  // an empty line may view nothing
      buf[n] = '\0';
      Line(buf, std::memchr(buf, '\0', n) != nullptr, kept, facts);
      return;
    }
    const auto at = [&kept, n](size_t k) -> int {
      return k < n ? static_cast<unsigned char>(kept[k]) : k == n ? '\n' : -1;
    };
    for (size_t pos = 0; pos <= n;) {
      int len = 0;
      bool ended = false;
      while (pos <= n) {
        int c = at(pos++);
        if (c == '\r') {
          if (at(pos) == '\n') ++pos;
          c = '\n';
        }
        buf[len++] = static_cast<char>(c);
        if (c == '\n') {
          ended = true;
          break;
        }
        if (len == kLineSize - 1) break;
      }
      if (!ended && len == kLineSize - 1) {
        // A line of exactly 79 characters takes its line end with it.
        const int c = at(pos);
        if (c == '\r') {
          ++pos;
          if (at(pos) == '\n') ++pos;
        } else if (c == '\n') {
          ++pos;
        }
      }
      buf[len] = '\0';
      const bool nul = std::memchr(buf, '\0', static_cast<size_t>(len)) != nullptr;
      if (len > 0 && buf[len - 1] == '\n') buf[len - 1] = '\0';
      Line(buf, nul, kept, facts);
    }
  }

 private:
  // A view of the input's own text as it is, anything else kept in the store.
  std::string_view Held(std::string_view s) {
    const std::less<const char*> before;
    const bool inText = !before(s.data(), text_.data()) && !before(text_.data() + text_.size(), s.data() + s.size());
    return inText ? s : store_.Keep(s);
  }

  static constexpr size_t kNone = static_cast<size_t>(-1);
  std::string_view text_;
  int file_;
  TextStore& store_;
  std::vector<SampleInput>& out_;
  std::vector<InputProblem>& problems_;
  QuietConsole quiet_;  // a refused maximum frequency is said at entry, not here
  size_t current_ = kNone;  // the sample being read, in out_
  std::vector<SampleRecord> records_;  // its records so far
};

}  // namespace

void AppendBlockInputs(std::string_view text, const BlockRules& rules, int file, bool firstInput,
                       TextStore& store, std::vector<SampleInput>& out, std::vector<InputProblem>& problems) {
  // A byte-order mark can only begin what the typed run reads.
  if (firstInput && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<TextLine> lines;
  long lineNo = 0;
  for (size_t i = 0; i < text.size();) {
    size_t end = text.find('\n', i);
    if (end == std::string_view::npos) end = text.size();
    lines.push_back(TextLine{++lineNo, text.substr(i, end - i)});
    i = end + 1;
  }
  AppendBlockLines(lines, text, true, rules, file, store, out, problems);
}

namespace {

// The words of a line, as views of it, parted by blanks.
void SplitTokens(std::string_view bare, std::vector<std::string_view>& tokens) {
  tokens.clear();
  for (size_t a = 0; a < bare.size();) {
    if (bare[a] == ' ') {
      ++a;
      continue;
    }
    size_t e = a + 1;
    while (e < bare.size() && bare[e] != ' ') ++e;
    tokens.emplace_back(bare.data() + a, e - a);
    a = e;
  }
}

// The species lines of a block file read the way sample entry reads them, each
// made kinder where the rules say so; the room of its texts kept from line to line.
struct SpeciesLineReader {
  const BlockRules& rules;
  std::vector<InputProblem>& problems;
  std::vector<std::string_view> tokens;  // the words of a line, as views of it
  std::string rewritten;                 // the line as it is handed on, where it is rewritten
  std::string joined;  // the name's words with one blank between them, where the line has more

  // A species line (`bare`, its tabs made blanks): the name's words, then (for
  // frequency data) the frequency, then the cover. False when it is left out;
  // `rewrite`: the line becomes `rewritten`.
  bool Read(std::string_view bare, int maxFreq, long lineNo, std::string_view& written, int& row, uint8_t& note,
            bool& rewrite) {
    SplitTokens(bare, tokens);
    const SpeciesWords sw = ReadSpeciesWords(tokens.data(), tokens.size(), maxFreq, lineNo, rules, joined, problems);
    written = sw.written;
    if (!sw.keep) return false;  // left out; the sample goes on without it
    const size_t comma = sw.coverAt < tokens.size() ? DecimalComma(tokens[sw.coverAt]) : std::string_view::npos;
    const bool resolve = rules.resolver != nullptr && rules.rewriteBlockNames;
    if (!resolve && !rules.presence && comma != std::string_view::npos) {
      rewrite = true;
      rewritten.assign(bare);
      rewritten[static_cast<size_t>(tokens[sw.coverAt].data() - bare.data()) + comma] = '.';
    }
    if (resolve || rules.presence) {
      rewrite = true;
      rewritten = LookupWords(resolve ? rules : BlockRules{}, written, &row, &note);
      AppendNumbers(sw, maxFreq, comma);
    }
    return true;
  }

 private:
  // After the looked-up name: for presence data, the frequency (frequency
  // data) and the nominal cover (a name may stand alone); else the line's own
  // numbers, a decimal comma of the cover read as a point.
  void AppendNumbers(const SpeciesWords& sw, int maxFreq, size_t comma) {
    const auto add = [this](std::string_view n) {
      rewritten += ' ';
      rewritten += n;
    };
    if (rules.presence) {
      if (maxFreq > 0) add(sw.firstNumber < tokens.size() ? tokens[sw.firstNumber] : std::string_view("1"));
      add(kPresenceCover);
      return;
    }
    for (size_t k = sw.firstNumber; k < tokens.size(); ++k) {
      add(tokens[k]);
      if (k == sw.coverAt && comma != std::string_view::npos) {
        rewritten[rewritten.size() - tokens[k].size() + comma] = '.';
      }
    }
  }
};

}  // namespace

void AppendBlockLines(const std::vector<TextLine>& lines, std::string_view held, bool endsInput,
                      const BlockRules& rules, int file, TextStore& store, std::vector<SampleInput>& out,
                      std::vector<InputProblem>& problems) {
  SampleSplitter samples(held, file, store, out, problems);
  SpeciesLineReader species{rules, problems, {}, {}, {}};
  bool inSample = false;
  int maxFreq = 0;
  std::string detabbed;
  for (const TextLine& textLine : lines) {
    const std::string_view line = textLine.text;
    std::string_view source = line;  // without its CR
    if (!source.empty() && source.back() == '\r') source.remove_suffix(1);
    const bool blank = Blank(source);
    std::string_view written;
    int row = 0;
    uint8_t note = 0;
    bool rewrite = false;  // the line becomes species.rewritten
    // Tabs part words as blanks do (columns pasted from a spreadsheet); sample
    // entry reads a tab as a character of a word, so the line is given blanks.
    std::string_view bare = source;
    if (!blank && bare.find('\t') != std::string_view::npos) {
      detabbed.assign(bare);
      std::replace(detabbed.begin(), detabbed.end(), '\t', ' ');
      bare = detabbed;
      species.rewritten = detabbed;
      rewrite = true;
    }
    if (blank) {
      inSample = false;
    } else if (!inSample) {
      inSample = true;  // the header
      const size_t star = bare.find('*');
      maxFreq = star == std::string_view::npos ? 0 : std::atoi(std::string(bare.substr(star + 1)).c_str());
    } else if (bare.find('*') == std::string_view::npos &&
               !species.Read(bare, maxFreq, textLine.number, written, row, note, rewrite)) {
      continue;
    }
    // A line of white space alone is read empty: sample entry ends a sample
    // only at a line it reads as blank, and it reads a tab or a form feed as a
    // word (a spreadsheet's empty row of tabs would join the samples either side).
    const std::string_view kept = blank ? std::string_view() : rewrite ? std::string_view(species.rewritten) : line;
    samples.Read(kept, LineFacts{textLine.number, written, source, row, note});
  }
  // The end of the input ends its last sample.
  if (endsInput) samples.End();
}
