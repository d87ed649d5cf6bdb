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

// A number as sample entry reads it: one token, a decimal comma as a point.
std::string NumberToken(const std::string& text) {
  std::string token;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c)) != 0) continue;
    token += c == ',' ? '.' : c;
  }
  return token;
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

}  // namespace

std::string LookupWords(const BlockRules& rules, std::string_view written, int* row, uint8_t* note) {
  std::string line;
  const auto add = [&line](const std::string& word) {
    if (!line.empty()) line += ' ';
    line.append(word, 0, kWordKept);
  };
  if (note != nullptr) *note = 0;
  const NameMatch* m = rules.resolver != nullptr ? &rules.resolver->Resolve(written) : nullptr;
  if (m != nullptr && m->status != NameStatus::kNotTaxon) {
    for (const std::string& w : m->lookupWords) add(w);
    if (row != nullptr) *row = m->row;
    if (note != nullptr) *note = NoteOfStatus(m->status);
  } else {
    // A record left out (no taxon) is read as written, so that its line reads whole.
    if (m != nullptr && note != nullptr) *note = NoteOfStatus(m->status);
    const std::vector<std::string> words = NameWords(std::string(written));
    for (size_t i = 0; i < words.size() && i < 2; ++i) add(words[i]);
  }
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
      if (!r.cover.empty()) {
        sp.coverSum += std::strtod(NumberToken(r.cover).c_str(), nullptr);
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
      std::string cover;
      if (sp.covers > 0) {
        char buf[32];
        // The mean as a cover reads it (covers beyond the scale are said at entry).
        const double mean = std::max(-9999.0, std::min(9999.0, sp.coverSum / sp.covers));
        std::snprintf(buf, sizeof buf, "%.1f", mean);
        cover = buf;
      }
      const int freq = samplesPooled > kMaxFrequency
                           ? static_cast<int>(std::lround(kMaxFrequency * static_cast<double>(sp.samples) / samplesPooled))
                           : sp.samples;
      g.pooled.records.push_back(SurveyRecord{sp.name, cover, std::to_string(freq), sp.line, sp.col});
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
  std::string line;  // the words, frequency and cover of a record as a species line holds them
  std::vector<std::string_view> words;
  for (const SurveySample& s : samples) {
    // Frequencies longer than any number sample entry reads are no frequencies:
    // a species line must stay within kLineWidth characters.
    std::vector<const SurveyRecord*> kept;
    for (const SurveyRecord& r : s.records) {
      if (NumberToken(r.frequency).size() > kLongestNumber || NumberToken(r.cover).size() > kLongestNumber) {
        problems.push_back({r.line, "the frequency is too long to be a number; the record is left out", true, r.col});
      } else if (std::all_of(r.species.begin(), r.species.end(), [](char c) { return c == '*' || IsSpaceC(c); })) {
        problems.push_back({r.line, "no species name; the record is left out", true, r.col});
      } else {
        kept.push_back(&r);
      }
    }
    SampleInput& in = out.emplace_back();
    in.where = SourcePos{file, static_cast<int32_t>(s.line), s.col};
    const std::string name = HeaderName(s.name);
    std::memcpy(in.header.szName, name.c_str(), name.size() + 1);
    // A maximum frequency beyond 100 is refused: the sample is read as cover data.
    in.header.refused = s.maxFreq > kMaxFrequency;
    in.header.nMaxFreq = static_cast<int16_t>(in.header.refused ? 0 : s.maxFreq);
    in.ids = s.ids;
    in.label = s.name;
    in.records.reserve(kept.size());
    for (const SurveyRecord* r : kept) {
      int row = 0;
      uint8_t note = 0;
      line = LookupWords(rules, r->species, &row, &note);
      const std::string freq = NumberToken(r->frequency);
      if (s.maxFreq > 0) line += " " + (freq.empty() ? std::string("1") : freq);
      const std::string cover = NumberToken(r->cover);
      line += " " + (cover.empty() || rules.presence ? std::string(kPresenceCover) : cover);
      words.clear();
      for (size_t a = 0; a < line.size();) {
        const size_t e = std::min(line.find(' ', a), line.size());
        if (e > a) words.emplace_back(line.data() + a, e - a);
        a = e + 1;
      }
      const SpeciesLine parsed = ParseSpeciesWords(words.data(), words.size(), in.header.nMaxFreq);
      SampleRecord& rec = in.records.emplace_back();
      rec.where = SourcePos{file, static_cast<int32_t>(r->line), r->col};
      rec.written = store.Keep(r->species);
      rec.key = parsed.key;
      rec.row = row;
      rec.nameNote = note;
      rec.leftOut = IsLeftOut(note);
      rec.nFreq = parsed.nFreq;
      rec.dCover = parsed.dCover;
      rec.ok = parsed.ok;
      if (!rec.ok) {  // a bad line is shown as sample entry reads it and quoted as written
        rec.shown = store.Keep(line).data();
        rec.quoted = store.Keep(r->species + (r->cover.empty() ? std::string() : " " + r->cover)).data();
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
