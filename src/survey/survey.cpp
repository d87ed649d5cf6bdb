// Surveys in any layout as samples of records: pooling by identifying columns,
// repeated species, and the records sample entry takes from them.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "common/common.h"
#include "survey/covers.h"
#include "survey/survey.h"

namespace {

constexpr int kWordKept = 20;  // a lookup reads 4 characters of a word; keep lines short
constexpr size_t kLongestNumber = 12;  // characters of a frequency field

// The words of a name, without "*" (which would read as a marker).
std::vector<std::string> NameWords(const std::string& name) {
  std::vector<std::string> words;
  std::string word;
  for (char c : name + " ") {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) {
      if (!word.empty()) words.push_back(word.substr(0, kWordKept));
      word.clear();
    } else if (c != '*') {
      word += c;
    }
  }
  return words;
}

// A species key for pooling: the first two words, lower case.
std::string PoolKey(const std::string& species) {
  std::vector<std::string> words = NameWords(species);
  std::string key;
  for (size_t i = 0; i < words.size() && i < 2; ++i) {
    if (i > 0) key += ' ';
    for (char c : words[i]) key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return key;
}

// The name a sample header holds: 30 columns, "+" for "*" (which starts a
// header's maximum frequency), no line ends or other control bytes.
std::string HeaderName(const std::string& label) {
  std::string name = label.substr(0, kSampleNameWidth);
  std::replace(name.begin(), name.end(), '*', '+');
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

// The words of a lookup as a line holds them, one blank between.
std::string JoinWords(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& w : words) {
    if (!line.empty()) line += ' ';
    line += w;
  }
  return line;
}

char LowerAsciiChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool StartsWithDigit(const std::string& w) { return !w.empty() && w[0] >= '0' && w[0] <= '9'; }

// The words sample entry would read a record by, as text: its frequency (for
// frequency data) and its cover (the nominal one where there is none).
std::string FrequencyWord(const SurveyRecord& r) {
  if (!r.oddFrequency.empty()) return r.oddFrequency;
  return r.frequency == kNoFrequency ? std::string("1") : std::to_string(r.frequency);
}
std::string CoverWordText(const SurveyRecord& r) {
  return r.meanCover ? Fmt("%.1f", r.cover) : CoverText(r.cover);
}

// A record sample entry cannot read: longer than any number it reads.
bool NumbersTooLong(const SurveyRecord& r) {
  return r.oddFrequency.size() > kLongestNumber || (r.hasCover && CoverWordOf(r.cover).length > kLongestNumber);
}

// The species line sample entry would read for a record: its lookup words,
// frequency (for frequency data) and cover.
std::string EntryLine(const std::vector<std::string>& words, const SurveyRecord& r, bool frequencyData,
                      bool presence) {
  std::string line = JoinWords(words);
  if (frequencyData) line += " " + FrequencyWord(r);
  line += " " + (!r.hasCover || presence ? std::string(kPresenceCover) : CoverWordText(r));
  return line;
}

// Whether a record's words stand where sample entry reads a name, a frequency
// and a cover: one or two words of name (the second not starting with a digit,
// which would read as the frequency), a frequency that is a plain number, and
// a maximum frequency that is not refused.
bool ReadsAsNumbers(const std::vector<std::string>& words, const SurveyRecord& r, int maxFreq) {
  if (words.empty() || words.size() > 2 || maxFreq > kMaxFrequency) return false;
  for (const std::string& w : words) {
    if (w.empty() || w.find(' ') != std::string::npos) return false;
  }
  if (words.size() == 2 && StartsWithDigit(words[1])) return false;
  return maxFreq == 0 || r.oddFrequency.empty();
}

// A record's key, frequency and cover from its words and numbers, as sample
// entry reads them from its species line (ParseSpeciesWords): the key is the
// first four characters of each name word, lower case; a frequency above the
// sample's maximum, or a cover whose tenfold does not fit 16 bits, is a bad line.
void FillFromNumbers(const std::vector<std::string>& words, const SurveyRecord& r, int16_t nMaxFreq, bool presence,
                     SampleRecord& rec) {
  char* key = rec.key.text;
  int k = 0;
  for (; k < 4 && static_cast<size_t>(k) < words[0].size(); ++k) key[k] = LowerAsciiChar(words[0][static_cast<size_t>(k)]);
  for (; k < 5; ++k) key[k] = ' ';
  if (words.size() == 2) {
    for (size_t c = 0; c < 4 && c < words[1].size(); ++c) key[5 + c] = LowerAsciiChar(words[1][c]);
  }
  rec.ok = true;
  rec.nFreq = 1;
  if (nMaxFreq > 0) {
    rec.nFreq = r.frequency == kNoFrequency ? int16_t{1} : r.frequency;
    rec.ok = rec.nFreq <= nMaxFreq;
  }
  rec.dCover = !r.hasCover || presence ? kPresenceCoverValue : CoverWordOf(r.cover).value;
  const double tenfold = std::floor(rec.dCover * 10.0 + 0.001);
  if (!(tenfold >= -32768.0 && tenfold <= 32767.0)) rec.ok = false;
}

// The same for a record whose words do not stand where they are read as
// numbers: its species line read as sample entry reads it.
void FillFromLine(const std::string& line, int16_t nMaxFreq, SampleRecord& rec) {
  std::vector<std::string_view> words;
  for (size_t a = 0; a < line.size();) {
    const size_t e = std::min(line.find(' ', a), line.size());
    if (e > a) words.emplace_back(line.data() + a, e - a);
    a = e + 1;
  }
  const SpeciesLine parsed = ParseSpeciesWords(words.data(), words.size(), nMaxFreq);
  rec.key = parsed.key;
  rec.nFreq = parsed.nFreq;
  rec.dCover = parsed.dCover;
  rec.ok = parsed.ok;
}

// The records of a sample that sample entry can read: one with no name or
// numbers longer than any it reads is refused.
std::vector<const SurveyRecord*> KeptRecords(const SurveySample& s, std::vector<InputProblem>& problems) {
  std::vector<const SurveyRecord*> kept;
  kept.reserve(s.records.size());
  for (const SurveyRecord& r : s.records) {
    if (NumbersTooLong(r)) {
      problems.push_back({r.line, "the frequency is too long to be a number; the record is left out", true, r.col});
    } else if (std::all_of(r.species.begin(), r.species.end(), [](char c) { return c == '*' || IsSpaceC(c); })) {
      problems.push_back({r.line, "no species name; the record is left out", true, r.col});
    } else {
      kept.push_back(&r);
    }
  }
  return kept;
}

// A sample's input without its records: where it stands, its header and ids.
SampleInput& StartInput(const SurveySample& s, int file, std::vector<SampleInput>& out) {
  SampleInput& in = out.emplace_back();
  in.where = SourcePos{file, static_cast<int32_t>(s.line), s.col};
  const std::string name = HeaderName(s.name);
  std::memcpy(in.header.szName, name.c_str(), name.size() + 1);
  // A maximum frequency beyond 100 is refused: the sample is read as cover data.
  in.header.refused = s.maxFreq > kMaxFrequency;
  in.header.nMaxFreq = static_cast<int16_t>(in.header.refused ? 0 : s.maxFreq);
  in.ids = s.ids;
  in.label = s.name;
  return in;
}

}  // namespace

namespace {

// The words a name is looked up by, each cut to what sample entry keeps, handed
// to `add` in order: the resolver's lookup words, or the first two words as
// written (a record of no taxon is read as written, so that its line reads
// whole).
template <class Add>
void ForEachLookupWord(const BlockRules& rules, std::string_view written, int* row, uint8_t* note, Add add) {
  if (note != nullptr) *note = 0;
  const NameMatch* m = rules.resolver != nullptr ? &rules.resolver->Resolve(written) : nullptr;
  if (m != nullptr && m->status != NameStatus::kNotTaxon) {
    for (const std::string& w : m->lookupWords) add(std::string_view(w).substr(0, kWordKept));
    if (row != nullptr) *row = m->row;
    if (note != nullptr) *note = NoteOfStatus(m->status);
  } else {
    if (m != nullptr && note != nullptr) *note = NoteOfStatus(m->status);
    const std::vector<std::string> words = NameWords(std::string(written));
    for (size_t i = 0; i < words.size() && i < 2; ++i) add(std::string_view(words[i]).substr(0, kWordKept));
  }
}

// The same words, each in a string of its own.
void LookupWordList(const BlockRules& rules, std::string_view written, std::vector<std::string>& words, int* row,
                    uint8_t* note) {
  words.clear();
  ForEachLookupWord(rules, written, row, note, [&words](std::string_view w) { words.emplace_back(w); });
}

}  // namespace

std::string LookupWords(const BlockRules& rules, std::string_view written, int* row, uint8_t* note) {
  std::string line;
  ForEachLookupWord(rules, written, row, note, [&line](std::string_view w) {
    if (!line.empty()) line += ' ';
    line += w;
  });
  return line;
}

bool PoolSamples(SurveyTable& table, const std::vector<std::string>& poolBy, std::string& error) {
  std::vector<size_t> columns;
  for (const std::string& p : poolBy) {
    size_t k = 0;
    while (k < table.idHeaders.size() && ColumnKey(table.idHeaders[k]) != ColumnKey(p)) ++k;
    if (k == table.idHeaders.size()) {
      std::string known;
      for (const std::string& h : table.idHeaders) known += (known.empty() ? "" : ", ") + h;
      error = "no sample column " + p + " to pool by; the samples are named by " + known;
      return false;
    }
    columns.push_back(k);
  }
  struct Species {
    std::string name;
    long line;
    int col;
    int samples = 0;
    double coverSum = 0;
    int covers = 0;
  };
  struct Group {
    SurveySample pooled;
    std::vector<Species> species;
    std::map<std::string, size_t> index;
  };
  std::vector<Group> groups;
  std::map<std::vector<std::string>, size_t> groupIndex;
  for (const SurveySample& s : table.samples) {
    std::vector<std::string> ids;
    for (size_t k : columns) ids.push_back(s.ids[k]);
    auto [git, added] = groupIndex.emplace(ids, groups.size());
    if (added) groups.push_back(Group{SurveySample{ids, SampleName(ids), s.line, 0, {}, s.col}, {}, {}});
    Group& g = groups[git->second];
    ++g.pooled.maxFreq;
    std::set<std::string> seen;
    for (const SurveyRecord& r : s.records) {
      const std::string key = PoolKey(r.species);
      auto [sit, fresh] = g.index.emplace(key, g.species.size());
      if (fresh) g.species.push_back(Species{r.species, r.line, r.col});
      Species& sp = g.species[sit->second];
      if (seen.insert(key).second) ++sp.samples;
      if (r.hasCover) {
        sp.coverSum += r.cover;
        ++sp.covers;
      }
    }
  }
  std::vector<SurveySample> pooled;
  for (Group& g : groups) {
    // A frequency sample holds at most kMaxFrequency: larger groups keep their
    // relative frequencies on that scale.
    const int samplesPooled = g.pooled.maxFreq;
    if (samplesPooled > kMaxFrequency) g.pooled.maxFreq = kMaxFrequency;
    for (const Species& sp : g.species) {
      SurveyRecord rec = CellRecord(sp.name, std::string(), sp.line, sp.col);
      if (sp.covers > 0) {
        // The mean to one decimal (covers beyond the scale are said at entry).
        rec.cover = CoverTenths(std::max(-9999.0, std::min(9999.0, sp.coverSum / sp.covers)));
        rec.hasCover = true;
        rec.meanCover = true;
      }
      const int freq = samplesPooled > kMaxFrequency
                           ? static_cast<int>(std::lround(kMaxFrequency * static_cast<double>(sp.samples) / samplesPooled))
                           : sp.samples;
      rec.frequency = static_cast<int16_t>(freq);
      g.pooled.records.push_back(std::move(rec));
    }
    pooled.push_back(std::move(g.pooled));
  }
  std::vector<std::string> headers;
  for (size_t k : columns) headers.push_back(table.idHeaders[k]);
  table.idHeaders = std::move(headers);
  table.samples = std::move(pooled);
  return true;
}

void AppendSurveyInputs(const std::vector<SurveySample>& samples, const BlockRules& rules, int file,
                        TextStore& store, std::vector<SampleInput>& out, std::vector<InputProblem>& problems) {
  std::vector<std::string> words;  // the words a record's name is looked up by
  for (const SurveySample& s : samples) {
    const std::vector<const SurveyRecord*> kept = KeptRecords(s, problems);
    SampleInput& in = StartInput(s, file, out);
    in.records.reserve(kept.size());
    for (const SurveyRecord* r : kept) {
      SampleRecord& rec = in.records.emplace_back();
      rec.where = SourcePos{file, static_cast<int32_t>(r->line), r->col};
      rec.written = store.Keep(r->species);
      uint8_t note = 0;
      LookupWordList(rules, r->species, words, &rec.row, &note);
      rec.nameNote = note;
      rec.leftOut = IsLeftOut(note);
      const bool numbers = ReadsAsNumbers(words, *r, s.maxFreq);
      if (numbers) FillFromNumbers(words, *r, in.header.nMaxFreq, rules.presence, rec);
      if (numbers && rec.ok) continue;
      // A bad line is shown as sample entry reads it and quoted as written.
      const std::string line = EntryLine(words, *r, s.maxFreq > 0, rules.presence);
      if (!numbers) FillFromLine(line, in.header.nMaxFreq, rec);
      if (!rec.ok) {
        rec.shown = store.Keep(line).data();
        rec.quoted = store.Keep(r->species + (r->hasCover ? " " + CoverWordText(*r) : std::string())).data();
      }
    }
  }
}

void SayRepeatedSpecies(const std::vector<SampleInput>& samples, size_t from, bool summed,
                        std::vector<InputProblem>& problems) {
  struct Seen {
    const SampleRecord* first;
    int times;
  };
  std::vector<Seen> seen;
  for (size_t k = from; k < samples.size(); ++k) {
    const SampleInput& in = samples[k];
    // Each species (its dictionary row, or its key where none) with its markers,
    // in order of first record; a sample holds at most a few hundred.
    seen.clear();
    bool repeated = false;
    for (const SampleRecord& r : in.records) {
      if (!r.ok || r.nul || r.leftOut || r.key.c_str()[0] == '\0') continue;
      const auto same = [&r](const Seen& s) {
        const SampleRecord& f = *s.first;
        if (f.markers != r.markers || (f.row > 0) != (r.row > 0)) return false;
        return r.row > 0 ? f.row == r.row : std::strcmp(f.key.c_str(), r.key.c_str()) == 0;
      };
      auto it = std::find_if(seen.begin(), seen.end(), same);
      if (it == seen.end()) {
        seen.push_back(Seen{&r, 1});
      } else {
        repeated = ++it->times > 1 || repeated;
      }
    }
    if (!repeated) continue;
    std::string which;
    for (const Seen& sp : seen) {
      if (sp.times < 2) continue;
      const SampleRecord& r = *sp.first;
      which += (which.empty() ? "" : ", ") +
               (r.written.empty() ? std::string(r.key.c_str()) : std::string(r.written)) + Fmt(" (%d times)", sp.times);
    }
    const std::string label = in.label.empty() ? std::string(in.header.szName) : in.label;
    problems.push_back({in.where.line,
                        "sample " + label + ": species recorded more than once: " + which +
                            (summed ? "; their covers are summed (at most 100%)"
                                    : "; the last record of each is taken, as the classic formats do"),
                        false, in.where.col, "repeated species"});
  }
}
