// The tidy results of a scored sample (its rows, species lists and habitats),
// and where results go.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>

#include "tables/csv.h"
#include "outputs/results.h"
#include "report/report.h"

std::string Compact(const char* s) {
  std::string t;
  for (; *s != '\0'; ++s) {
    if (*s != ' ') t += *s;
  }
  return t;
}

namespace {

// A fraction as a percentage to one decimal, as printf's "%.1f" writes it: both
// give the correctly rounded decimal of the double, and to_chars without the
// cost of printf (the tidy rows hold seven of these each).
std::string OneDecimal(double fraction) {
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r =
      std::to_chars(buf, buf + sizeof buf, fraction * 100.0, std::chars_format::fixed, 1);
  return std::string(buf, r.ptr);
}

// A set of species codes, one bit each: a unit's lines are looked up in the
// sample's codes in one step each. Negative codes are never held.
class CodeBits {
 public:
  bool Has(int code) const {
    return code >= 0 && ((words_[static_cast<size_t>(code) >> 6] >> (code & 63)) & 1) != 0;
  }
  void Add(int code) {
    if (code >= 0) words_[static_cast<size_t>(code) >> 6] |= uint64_t{1} << (code & 63);
  }
  void Remove(int code) {
    if (code >= 0) words_[static_cast<size_t>(code) >> 6] &= ~(uint64_t{1} << (code & 63));
  }

 private:
  // Species codes are 16-bit.
  std::vector<uint64_t> words_ = std::vector<uint64_t>((size_t{1} << 15) / 64);
};

// The sample's species found in a unit's table, each code once. The codes met
// are noted in `counted` and taken out of it again before returning.
int Matched(const RefData& ref, const CodeBits& sampleCodes, CodeBits& counted, int unit) {
  const NVCUnit& u = ref.arrNVCData[unit];
  if (u.nSpeciesTableEndIndex == 0) return 0;
  int found = 0;
  for (int l = u.nSpeciesTableStartIndex; l <= u.nSpeciesTableEndIndex; ++l) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[l];
    if (IsValidQuant(line.nQuant) && sampleCodes.Has(line.nSpeciesCode) && !counted.Has(line.nSpeciesCode)) {
      counted.Add(line.nSpeciesCode);
      ++found;
    }
  }
  for (int l = u.nSpeciesTableStartIndex; l <= u.nSpeciesTableEndIndex; ++l) {
    counted.Remove(ref.arrTbNVCToSpeciesJoinTable[l].nSpeciesCode);
  }
  return found;
}

// The full name of a unit's EUNIS code as habitats.csv gives it; the
// reference file's text (cut short) when habitats.csv does not hold the code.
std::string EunisName(const UnitInfo& info, const NVCUnit& u) {
  auto it = info.eunisNames.find(Compact(u.szEunisCode));
  return it != info.eunisNames.end() ? it->second : TrimBlanks(u.szEunisName);
}

// A habitat column: the unit's items of one --habitats key, each once.
std::string HabitatItems(const std::vector<HabitatLink>& links, const std::string& key) {
  std::vector<std::string> items;
  for (const HabitatLink& link : links) {
    if (link.key == nullptr || key != link.key->key) continue;
    std::string item = HabitatItem(link);
    if (std::find(items.begin(), items.end(), item) == items.end()) items.push_back(std::move(item));
  }
  std::string column;
  for (const std::string& item : items) column += (column.empty() ? "" : kHabitatItemSeparator) + item;
  return column;
}

// A name beside `path` to write it under, created empty (mode as a new file of
// the user's), or empty when it cannot be made.
std::string CreateBeside(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = dir + "." + base + ".vegmatch-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return std::string();
  // A new file of the user's: what the process's umask leaves of rw-rw-rw-.
  const mode_t mask = umask(0);
  umask(mask);
  const bool ok = fchmod(fd, 0666 & ~mask) == 0;
  close(fd);
  if (!ok) {
    unlink(temp.c_str());
    return std::string();
  }
  return temp;
}

// The file a path names (a link resolved); `regular`: it is a regular file or
// does not exist yet, so it can be replaced by renaming.
std::string FinalName(const std::string& path, bool& regular) {
  // A link names the file it points to: that is the file replaced.
  std::string final = path;
  char* real = realpath(path.c_str(), nullptr);
  if (real != nullptr) {
    final = real;
    std::free(real);
  }
  struct stat st {};
  regular = stat(final.c_str(), &st) != 0 ? errno == ENOENT : S_ISREG(st.st_mode);
  return final;
}

}  // namespace

std::string TidyWriter::Identity(const SampleState& sample, const SampleInput& input) const {
  std::string label = input.label.empty() ? std::string(sample.szSampleName) : input.label;
  if (fileColumn && !input.ids.empty()) label = input.ids[0] + " " + label;
  std::string fields;
  AppendCsvField(fields, label);
  for (size_t k = 0; k < idHeaders.size(); ++k) {
    fields += ',';
    if (k < input.ids.size()) AppendCsvField(fields, input.ids[k]);
  }
  return fields;
}

namespace {

const char kResultColumns[] =
    "rank,nvc_code,community,sub_community,mean_fit,fit_1,fit_2,fit_3,fit_4,fit_class,"
    "eunis_code,eunis_name,species,species_matched,tie,czekanowski,consensus,ranked_by";
const char kListColumns[] = "rank,nvc_code,list,species_code,short_name,full_name,ranked_by";
const char kHabitatColumns[] = "rank,nvc_code,classification,habitat_code,habitat_name,relationship,inherited,ranked_by";

// "sample" and the identifying columns; one that has the name of a column of
// the results is written with "input_" before it.
std::string IdentityHeader(const std::vector<std::string>& idHeaders, const std::string& columns) {
  std::string h = "sample";
  for (const std::string& id : idHeaders) {
    const std::string name = ("," + columns + ",").find("," + id + ",") != std::string::npos || id == "sample"
                                 ? "input_" + id
                                 : id;
    h += ',';
    AppendCsvField(h, name);
  }
  return h + ",";
}

}  // namespace

std::string TidyWriter::ListsHeader() const { return IdentityHeader(idHeaders, kListColumns) + kListColumns + "\n"; }

std::string TidyWriter::HabitatsHeader() const {
  return IdentityHeader(idHeaders, kHabitatColumns) + kHabitatColumns + "\n";
}

std::string TidyWriter::Header() const {
  std::string h = IdentityHeader(idHeaders, kResultColumns) + kResultColumns;
  AppendConfidenceHeader(h);
  for (const std::string& key : opt.habitats) {
    for (const HabitatKey& k : HabitatKeys()) {
      if (key == k.key) h += std::string(",") + k.column;
    }
  }
  if (opt.indicators) AppendIndicatorHeader(h);
  return h + "\n";
}

void TidyWriter::Rows(const SampleState& sample, const std::string& identity, const ScoringState& sc,
                      int16_t nAnalysisType, const SampleSummary& summary, std::string& out) const {
  std::vector<int> codes;
  for (int i = 1; i <= sample.nSampleEntries; ++i) {
    if (sample.arrSample[i].nSpeciesCode >= 0) codes.push_back(sample.arrSample[i].nSpeciesCode);
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  CodeBits sampleCodes;
  for (int code : codes) sampleCodes.Add(code);
  CodeBits counted;
  std::string previousKey;
  int tieRank = 0;
  std::string line;
  const std::optional<IndicatorFields> sampleIndicators =
      opt.indicators ? std::optional<IndicatorFields>(summary.indicators) : std::nullopt;
  for (int r = 1; r <= opt.fits; ++r) {
    const int unit = sc.arrTopFits[r].nNVCIndex;
    const NVCFit& fit = sc.arrNVCFit[unit];
    // Places beyond the number of units, and units that only fill a place, name nothing.
    const bool real = r <= ref.nNVCCount && fit.dMeanGoF >= kNoFit;
    const NVCUnit& u = ref.arrNVCData[unit];
    const std::string code = real ? Compact(u.szNVCType) : std::string();
    std::string community;
    std::string sub;
    if (real) {
      auto it = info.names.find(code);
      community = it != info.names.end() ? it->second.community : TrimBlanks(u.szNVCCommonName);
      sub = it != info.names.end() ? it->second.subCommunity : TrimBlanks(u.szNVCSubName);
    }
    const ShownFits shown = FitsShown(fit, nAnalysisType);
    const std::string mean = OneDecimal(fit.dMeanGoF);
    // A tie is an equal value of the ranking, as shown.
    const std::string key = OneDecimal(sc.arrTopFits[r].dMeanGoF);
    std::string tie;
    if (real && r > 1 && key == previousKey) {
      tie = std::to_string(tieRank);
    } else {
      tieRank = r;
    }
    previousKey = real ? key : std::string();

    // Made up in one line whose room is kept from rank to rank.
    const auto field = [&line](const std::string& text) {
      line += ',';
      line += text;
    };
    line.assign(identity);
    field(std::to_string(r));
    line += ',';
    AppendCsvField(line, code);
    line += ',';
    AppendCsvField(line, community);
    line += ',';
    AppendCsvField(line, sub);
    field(mean);
    for (int k = 1; k <= 4; ++k) field(OneDecimal(shown.fit[k]));
    line += ',';
    line += real ? FitClass(PercentFit(fit.dMeanGoF)) : "";
    line += ',';
    AppendCsvField(line, real ? Compact(u.szEunisCode) : std::string());
    line += ',';
    AppendCsvField(line, real ? EunisName(info, u) : std::string());
    field(std::to_string(codes.size()));
    field(std::to_string(real ? Matched(ref, sampleCodes, counted, unit) : 0));
    field(tie);
    field(OneDecimal(real ? fit.dCzekanowski : 0.0));
    field(OneDecimal(real ? fit.dConsensus : 0.0));
    field(RankingWord(opt.rankBy));
    AppendConfidenceFields(line, summary.confidence);
    auto links = real && !opt.habitats.empty() ? info.habitats.find(code) : info.habitats.end();
    for (const std::string& key : opt.habitats) {
      line += ',';
      if (links != info.habitats.end()) AppendCsvField(line, HabitatItems(links->second, key));
    }
    if (sampleIndicators) {
      AppendIndicatorFields(line, *sampleIndicators, real && indicators != nullptr ? indicators->OfUnit(code) : nullptr);
    }
    line += '\n';
    out += line;
  }
}

// The matching analysis of every rank: one row per species and list.
void TidyWriter::SpeciesLists(const SampleState& sample, const std::string& identity, const ScoringState& sc,
                              std::string& out) const {
  SampleCodes codes(sample);
  MatchingLists matched;
  for (int r = 1; r <= opt.fits; ++r) {
    const int unit = sc.arrTopFits[r].nNVCIndex;
    // As in the results, a place that names no unit has no lists.
    if (r > ref.nNVCCount || sc.arrNVCFit[unit].dMeanGoF < kNoFit) continue;
    const std::string code = Compact(ref.arrNVCData[unit].szNVCType);
    auto row = [&](const char* list, int speciesCode, int speciesRow) {
      std::string line = identity;
      line += "," + std::to_string(r) + ",";
      AppendCsvField(line, code);
      line += std::string(",") + list + "," + std::to_string(speciesCode) + ",";
      AppendCsvField(line, ref.arrSpecies[speciesRow].szShortName);
      line += ",";
      AppendCsvField(line, ref.arrSpecies[speciesRow].szFullName);
      out += line + "," + RankingWord(opt.rankBy) + "\n";
    };
    MatchUnitSpecies(ref, sample, codes, unit, static_cast<uint32_t>(r), matched);
    for (const MatchedSpecies& m : matched.both) row("both", m.nSpeciesCode, m.nSpeciesIndex);
    for (const MatchedSpecies& m : matched.sampleOnly) row("sample_only", m.nSpeciesCode, m.nSpeciesIndex);
    for (const MatchedSpecies& m : matched.unitOnly) row("unit_only", m.nSpeciesCode, m.nSpeciesIndex);
  }
}

void TidyWriter::Habitats(const std::string& identity, const ScoringState& sc, std::string& out) const {
  for (int r = 1; r <= opt.fits; ++r) {
    const int unit = sc.arrTopFits[r].nNVCIndex;
    // As in the results, a place that names no unit has no habitats.
    if (r > ref.nNVCCount || sc.arrNVCFit[unit].dMeanGoF < kNoFit) continue;
    const std::string code = Compact(ref.arrNVCData[unit].szNVCType);
    auto links = info.habitats.find(code);
    if (links == info.habitats.end()) continue;
    for (const HabitatLink& link : links->second) {
      if (!HabitatAsked(link, opt.habitats)) continue;
      std::string line = identity;
      line += "," + std::to_string(r) + ",";
      AppendCsvField(line, code);
      line += ',';
      AppendHabitatFields(line, link);
      out += line + "," + RankingWord(opt.rankBy) + "\n";
    }
  }
}

bool OpenSink(Console& con, const std::string& path, Sink& sink) {
  if (!path.empty() && path != "-") {
    bool regular = true;
    sink.path = FinalName(PathIn(con.dir, path), regular);
    if (!regular) {
      // A device or a pipe is written as it is: there is nothing to keep.
      sink.file = File(std::fopen(sink.path.c_str(), "w"));
      return static_cast<bool>(sink.file);
    }
    sink.temp = CreateBeside(sink.path);
    if (sink.temp.empty()) return false;
    sink.file = File(std::fopen(sink.temp.c_str(), "w"));
    if (!sink.file) {
      unlink(sink.temp.c_str());
      sink.temp.clear();
    }
    return static_cast<bool>(sink.file);
  }
  if (&con.out == &std::cout) {
    std::cout.flush();
    const int fd = dup(STDOUT_FILENO);
    sink.file = File(fd < 0 ? nullptr : fdopen(fd, "w"));
  } else {
    sink.file = File(std::tmpfile());
    sink.toConsole = true;
  }
  return static_cast<bool>(sink.file);
}

bool OpenMemorySink(Sink& sink) {
  sink.file = File(std::tmpfile());
  sink.toMemory = true;
  return static_cast<bool>(sink.file);
}

bool ReadSinkText(Sink& sink, std::string& text) {
  std::FILE* fp = sink.file.get();
  text.clear();
  if (fp == nullptr) return true;
  if (std::fflush(fp) != 0 || std::ferror(fp) != 0) return false;
  std::rewind(fp);
  char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;) text.append(buf, n);
  return std::ferror(fp) == 0;
}

Sink::~Sink() {
  if (temp.empty()) return;
  file.Close();
  unlink(temp.c_str());
}

bool CloseSink(Console& con, Sink& sink, bool keep) {
  if (!sink.file) return true;
  bool ok = true;
  if (sink.toConsole) {
    std::string text;
    ok = ReadSinkText(sink, text);
    if (ok) con.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  ok = sink.file.Close() && ok;
  if (sink.temp.empty()) return ok;
  if (keep && ok) ok = std::rename(sink.temp.c_str(), sink.path.c_str()) == 0;
  if (!keep || !ok) unlink(sink.temp.c_str());
  sink.temp.clear();
  return ok;
}

RowWriter::RowWriter(File& file) : fp_(file.get()) { file.UseBuffer(kBufferSize); }

void RowWriter::Add(const std::string& rows) {
  if (fp_ == nullptr || failed_ || rows.empty()) return;
  if (std::fwrite(rows.data(), 1, rows.size(), fp_) != rows.size()) {
    Fail();
    return;
  }
  given_ += static_cast<off_t>(rows.size());
  ends_.push_back(given_);
}

bool RowWriter::Finish() {
  if (fp_ != nullptr && !failed_ && std::fflush(fp_) != 0) Fail();
  return !failed_;
}

void RowWriter::Fail() {
  failed_ = true;
  std::clearerr(fp_);
  struct stat st {};
  if (fstat(fileno(fp_), &st) != 0 || !S_ISREG(st.st_mode)) return;
  // The last sample end the file reaches.
  off_t keep = 0;
  for (off_t end : ends_) {
    if (end <= st.st_size) keep = end;
  }
  if (ftruncate(fileno(fp_), keep) != 0) return;
}
