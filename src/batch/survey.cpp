// Surveys in any input: the columns of a survey CSV, its samples in order of
// first appearance, pooling, and the records sample entry takes from them.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cctype>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <thread>

#include "batch/batch.h"
#include "batch/inputs.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define VM_BLOCK_SCAN 1
#else
#define VM_BLOCK_SCAN 0
#endif

namespace {

constexpr int kWordKept = 20;  // a lookup reads 4 characters of a word; keep lines short
constexpr size_t kLongestNumber = 12;  // characters of a cover or frequency field

// A column name as it is matched: folded to ASCII, trimmed, lower case, blanks
// and hyphens as "_".
std::string ColumnKey(std::string_view name) {
  std::string key;
  for (char c : Trim(FoldToAscii(name))) {
    if (c == ' ' || c == '-') c = '_';
    key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return key;
}

const std::initializer_list<const char*> kSampleNames = {
    "sample", "sample_name", "sample_id", "quadrat", "quadrat_id", "plot", "plot_id",
    "releve", "site_id"};
const std::initializer_list<const char*> kSpeciesNames = {
    "species", "species_name", "taxon", "name", "taxon_name", "scientific_name"};
const std::initializer_list<const char*> kCoverNames = {"cover", "cover_value", "abundance",
                                                        "value", "domin", "percent"};
const std::initializer_list<const char*> kFrequencyNames = {"frequency", "freq"};

std::string Field(const CsvRow& row, int column) {
  if (column < 0 || static_cast<size_t>(column) >= row.fields.size()) return std::string();
  return Trim(row.fields[static_cast<size_t>(column)]);
}

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

// A cover as sample entry reads it: one token, a decimal comma as a point.
std::string CoverToken(const std::string& cover) {
  std::string token;
  for (char c : cover) {
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

}  // namespace

std::string LookupWords(const BlockRules& rules, std::string_view written, int* row) {
  std::string line;
  const auto add = [&line](const std::string& word) {
    if (!line.empty()) line += ' ';
    line.append(word, 0, kWordKept);
  };
  if (rules.resolver != nullptr) {
    const NameMatch& m = rules.resolver->Resolve(written);
    for (const std::string& w : m.lookupWords) add(w);
    if (row != nullptr) *row = m.row;
  } else {
    const std::vector<std::string> words = NameWords(std::string(written));
    for (size_t i = 0; i < words.size() && i < 2; ++i) add(words[i]);
  }
  return line;
}


SurveyColumns FindSurveyColumns(const std::vector<std::string>& header, const std::string& poolBy) {
  SurveyColumns c;
  const std::string pool = ColumnKey(poolBy);
  for (size_t i = 0; i < header.size(); ++i) {
    const std::string key = ColumnKey(header[i]);
    const int col = static_cast<int>(i);
    if (!pool.empty() && key == pool && c.pool < 0) {
      c.pool = col;
      continue;
    }
    if (c.sample < 0 && IsOneOf(key, kSampleNames)) c.sample = col;
    else if (c.species < 0 && IsOneOf(key, kSpeciesNames)) c.species = col;
    else if (c.cover < 0 && IsOneOf(key, kCoverNames)) c.cover = col;
    else if (c.frequency < 0 && IsOneOf(key, kFrequencyNames)) c.frequency = col;
  }
  return c;
}

bool LooksLikeSurveyCsv(std::string_view firstLine) {
  if (firstLine.substr(0, 3) == "\xEF\xBB\xBF") firstLine.remove_prefix(3);
  // The header is the first line that holds anything.
  while (!firstLine.empty() && (firstLine[0] == '\n' || firstLine[0] == '\r')) firstLine.remove_prefix(1);
  const size_t end = firstLine.find_first_of("\r\n");
  if (end != std::string_view::npos) firstLine = firstLine.substr(0, end);
  if (DetectDelimiter(firstLine) == 0) return false;
  CsvTable t;
  std::string error;
  if (!ParseCsv(firstLine, t, error)) return false;
  const SurveyColumns c = FindSurveyColumns(t.header, std::string());
  return c.sample >= 0 && c.species >= 0;
}

std::vector<SurveySample> SurveySamples(const CsvTable& table, const SurveyColumns& columns,
                                        bool presence, std::vector<InputProblem>& problems) {
  std::vector<SurveySample> samples;
  std::map<std::string, size_t> index;
  for (const CsvRow& row : table.rows) {
    const std::string name = Field(row, columns.sample);
    SurveyRecord rec{Field(row, columns.species), Field(row, columns.cover),
                     Field(row, columns.frequency), row.line};
    if (name.empty()) {
      problems.push_back({row.line, "no sample name; the row is left out", true});
      continue;
    }
    if (NameWords(rec.species).empty()) {
      problems.push_back({row.line, "no species name; the row is left out", true});
      continue;
    }
    // Longer than any number sample entry reads: a block line must stay within
    // kLineWidth characters, and such a field is no cover or frequency anyway.
    if (CoverToken(rec.cover).size() > kLongestNumber || CoverToken(rec.frequency).size() > kLongestNumber) {
      problems.push_back({row.line, "the cover or frequency is too long to be a number; the row is left out", true});
      continue;
    }
    if (rec.cover.empty() && !presence) {
      problems.push_back(
          {row.line, "no cover; the row is left out (presence data: use --scale presence)", true});
      continue;
    }
    auto [it, added] = index.emplace(name, samples.size());
    if (added) samples.push_back(SurveySample{name, row.line, 0, {}});
    samples[it->second].records.push_back(std::move(rec));
  }
  // A frequency column makes frequency data; the largest frequency given is the
  // maximum frequency of the sample.
  for (SurveySample& s : samples) {
    for (const SurveyRecord& r : s.records) {
      if (!r.frequency.empty()) s.maxFreq = std::max(s.maxFreq, std::max(1, std::atoi(r.frequency.c_str())));
    }
  }
  return samples;
}

std::vector<SurveySample> PoolSamples(const CsvTable& table, const SurveyColumns& columns,
                                      const std::vector<SurveySample>& samples) {
  // The group of a sample is the pooling value of its first row.
  std::map<long, std::string> groupOfLine;
  for (const CsvRow& row : table.rows) groupOfLine[row.line] = Field(row, columns.pool);

  struct Species {
    std::string name;
    long line;
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
  std::map<std::string, size_t> groupIndex;
  for (const SurveySample& s : samples) {
    const std::string group = groupOfLine[s.line];
    auto [git, added] = groupIndex.emplace(group, groups.size());
    if (added) groups.push_back(Group{SurveySample{group, s.line, 0, {}}, {}, {}});
    Group& g = groups[git->second];
    ++g.pooled.maxFreq;
    std::map<std::string, bool> seen;
    for (const SurveyRecord& r : s.records) {
      const std::string key = PoolKey(r.species);
      auto [sit, fresh] = g.index.emplace(key, g.species.size());
      if (fresh) g.species.push_back(Species{r.species, r.line});
      Species& sp = g.species[sit->second];
      if (!seen[key]) {
        seen[key] = true;
        ++sp.samples;
      }
      if (!r.cover.empty()) {
        sp.coverSum += std::strtod(CoverToken(r.cover).c_str(), nullptr);
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
      g.pooled.records.push_back(SurveyRecord{sp.name, cover, std::to_string(freq), sp.line});
    }
    pooled.push_back(std::move(g.pooled));
  }
  return pooled;
}

void AppendSurveyInputs(const std::vector<SurveySample>& samples, const BlockRules& rules, int file,
                        TextStore& store, std::vector<SampleInput>& out) {
  std::string line;  // the words, frequency and cover of a record as a species line holds them
  std::vector<std::string_view> words;
  for (const SurveySample& s : samples) {
    SampleInput& in = out.emplace_back();
    in.where = SourcePos{file, static_cast<int32_t>(s.line)};
    // The name as a header holds it: 30 columns, "+" for "*" (which starts a
    // header's maximum frequency), no line ends or other control bytes.
    std::string name = s.name.substr(0, kSampleNameWidth);
    std::replace(name.begin(), name.end(), '*', '+');
    for (char& c : name) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    while (!name.empty() && name.back() == ' ') name.pop_back();
    std::memcpy(in.header.szName, name.c_str(), name.size() + 1);
    // A maximum frequency beyond 100 is refused: the sample is read as cover data.
    in.header.refused = s.maxFreq > kMaxFrequency;
    in.header.nMaxFreq = static_cast<int16_t>(in.header.refused ? 0 : s.maxFreq);
    in.ids.push_back(s.name);
    in.records.reserve(s.records.size());
    for (const SurveyRecord& r : s.records) {
      int row = 0;
      line = LookupWords(rules, r.species, &row);
      const std::string freq = CoverToken(r.frequency);
      if (s.maxFreq > 0) line += " " + (freq.empty() ? std::string("1") : freq);
      const std::string cover = CoverToken(r.cover);
      line += " " + (cover.empty() || rules.presence ? std::string(kPresenceCover) : cover);
      words.clear();
      for (size_t a = 0; a < line.size();) {
        const size_t e = std::min(line.find(' ', a), line.size());
        if (e > a) words.emplace_back(line.data() + a, e - a);
        a = e + 1;
      }
      const SpeciesLine parsed = ParseSpeciesWords(words.data(), words.size(), in.header.nMaxFreq);
      SampleRecord& rec = in.records.emplace_back();
      rec.where = SourcePos{file, static_cast<int32_t>(r.line)};
      rec.written = store.Keep(r.species);
      rec.key = parsed.key;
      rec.row = row;
      rec.nFreq = parsed.nFreq;
      rec.dCover = parsed.dCover;
      rec.ok = parsed.ok;
      if (!rec.ok) {  // a bad line is shown as sample entry reads it and quoted as written
        rec.shown = store.Keep(line).data();
        rec.quoted = store.Keep(r.species + (r.cover.empty() ? std::string() : " " + r.cover)).data();
      }
    }
  }
}
