// The confidence of a sample's first place, and the samples drawn from the
// association tables that the calibration is made of.
//
// Per sample the work is one pass over the units' fits (the first of each of the
// three rankings and the second of the ranking used) and a look-up in a table of
// a few dozen rows: it runs on the scoring threads beside ScoreAndRank.
#include "analyses/confidence.h"

#include <algorithm>
#include <cmath>
#include <cassert>
#include <charconv>
#include <cstring>
#include <iterator>

namespace {

#include "analyses/confidence_table.inc"

// The first two places of one ranking, taken as OfferPlace takes them: units
// in index order, a key only strictly above a place's takes it, so of equal
// keys the lower index stays first. Both places start as unit 1 below any key.
struct TopTwo {
  int32_t first = 1;
  int32_t second = 1;
  double firstKey = kEmptyPlace;
  double secondKey = kEmptyPlace;
  void Offer(int32_t g, double key) {
    if (key > firstKey) {
      second = first;
      secondKey = firstKey;
      first = g;
      firstKey = key;
    } else if (key > secondKey) {
      second = g;
      secondKey = key;
    }
  }
};

// Length of a unit code without trailing blanks and sub-community letters.
size_t CommunityLength(const char* code) {
  size_t n = std::strlen(code);
  while (n > 0 && code[n - 1] == ' ') --n;
  while (n > 0 && code[n - 1] >= 'a' && code[n - 1] <= 'z') --n;
  return n;
}

bool SameCommunity(const char* a, const char* b) {
  const size_t n = CommunityLength(a);
  return n == CommunityLength(b) && std::memcmp(a, b, n) == 0;
}

void AppendFixed(std::string& line, double value, int decimals) {
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  line.append(buf, r.ptr);
}

}  // namespace

const CalibrationTable& ShippedCalibration() {
  static const CalibrationTable table{kCalibrationRows, std::size(kCalibrationRows), kHighFrom, kMediumFrom};
  return table;
}

FirstPlaces ReadFirstPlaces(const RefData& ref, const ScoringState& sc, RankBy by) {
  const int nUnits = ref.nNVCCount;
  assert(static_cast<size_t>(nUnits) < sc.arrNVCFit.size());
  TopTwo top[3];
  const NVCFit* fits = sc.arrNVCFit.data();
  for (int32_t g = 1; g <= nUnits; ++g) {
    const NVCFit& fit = fits[g];
    top[0].Offer(g, fit.dMeanGoF);
    top[1].Offer(g, fit.dConsensus);
    top[2].Offer(g, fit.dCzekanowski);
  }
  FirstPlaces p{};
  for (size_t k = 0; k < 3; ++k) p.first[k] = top[k].first;
  const TopTwo& used = top[static_cast<size_t>(by)];
  p.second = used.second;
  const int same = (p.first[0] == p.first[1]) + (p.first[0] == p.first[2]) + (p.first[1] == p.first[2]);
  p.agreement = same == 3 ? Agreement::kAll : same == 1 ? Agreement::kTwo : Agreement::kNone;
  const char* c0 = ref.arrNVCData[static_cast<size_t>(p.first[0])].szNVCType;
  p.communityAgrees = SameCommunity(c0, ref.arrNVCData[static_cast<size_t>(p.first[1])].szNVCType) &&
                      SameCommunity(c0, ref.arrNVCData[static_cast<size_t>(p.first[2])].szNVCType);
  p.scored = used.firstKey > 0.0;
  const double second = std::max(used.secondKey, 0.0);  // one unit alone: the second is nothing
  if (!p.scored) {
    p.margin = 0.0;
  } else if (by == RankBy::kFit) {
    p.margin = 100.0 * (used.firstKey - second);
  } else {
    p.margin = 100.0 * (used.firstKey - second) / used.firstKey;
  }
  return p;
}

ConfidenceClass ClassOf(const CalibrationTable& table, double pCorrect) {
  if (pCorrect >= table.highFrom) return ConfidenceClass::kHigh;
  if (pCorrect >= table.mediumFrom) return ConfidenceClass::kMedium;
  return ConfidenceClass::kLow;
}

Confidence GradeFirstPlaces(const CalibrationTable& table, RankBy by, const FirstPlaces& places) {
  Confidence c{places, ConfidenceClass::kLow, 0.0};
  if (!places.scored) return c;
  // The group's last bin that starts at or below the margin.
  for (size_t i = 0; i < table.count; ++i) {
    const CalibrationRow& row = table.rows[i];
    if (row.by == by && row.agreement == places.agreement && row.communityAgrees == places.communityAgrees &&
        row.marginFrom <= places.margin) {
      c.pCorrect = row.pCorrect;
    }
  }
  // As the results print it (two decimals), so that a printed 0.80 is never "medium".
  c.pCorrect = std::round(c.pCorrect * 100.0) / 100.0;
  c.level = ClassOf(table, c.pCorrect);
  return c;
}

std::string CommunityOf(const char* unitCode) { return std::string(unitCode, CommunityLength(unitCode)); }

const char* AgreementWord(Agreement a) {
  switch (a) {
    case Agreement::kAll: return "all";
    case Agreement::kTwo: return "two";
    case Agreement::kNone: return "none";
  }
  return "none";
}

const char* ConfidenceWord(ConfidenceClass c) {
  switch (c) {
    case ConfidenceClass::kHigh: return "high";
    case ConfidenceClass::kMedium: return "medium";
    case ConfidenceClass::kLow: return "low";
  }
  return "low";
}

const char* ConfidenceColumnName(size_t column) {
  static const char* const kNames[kConfidenceColumns] = {"agreement", "margin", "confidence", "p_correct"};
  assert(column < kConfidenceColumns);
  return kNames[column];
}

void AppendConfidenceField(std::string& line, const Confidence& c, size_t column) {
  switch (column) {
    case 0: line += AgreementWord(c.places.agreement); break;
    case 1: AppendFixed(line, c.places.margin, 1); break;
    case 2: line += ConfidenceWord(c.level); break;
    default: AppendFixed(line, c.pCorrect, 2);
  }
}

void AppendConfidenceHeader(std::string& line) {
  for (size_t c = 0; c < kConfidenceColumns; ++c) line += std::string(",") + ConfidenceColumnName(c);
}

void AppendConfidenceFields(std::string& line, const Confidence& c) {
  for (size_t k = 0; k < kConfidenceColumns; ++k) {
    line += ',';
    AppendConfidenceField(line, c, k);
  }
}

// ---- samples drawn from the tables -----------------------------------------------

bool LeastDominOf(const RefData& ref, std::vector<int8_t>& least, std::string& error) {
  const AssociationText& kept = ref.association;
  least.assign(1, 0);
  for (int u = 1; u <= ref.nSpeciesTableCount; ++u) {
    const std::string_view rest = kept.Domin(u);
    const std::string range(rest.substr(rest.rfind('\t') + 1));
    const WholeNumber lo = ReadWholeNumber(range.substr(0, range.find('-')).c_str());
    if (!lo.whole || lo.value < 1 || lo.value > kDominClasses) {
      error = At(kept.path, u) + ": no Domin range in the last field: " + range;
      return false;
    }
    least.push_back(static_cast<int8_t>(lo.value));
  }
  return true;
}

uint64_t DrawRng::Next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double DrawRng::Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

int DrawRng::Between(int lo, int hi) {
  assert(lo <= hi);
  return lo + static_cast<int>(Uniform() * (hi - lo + 1));
}

double PresenceOfClass(int constancyClass) {
  assert(constancyClass >= 1 && constancyClass <= kConstancyClasses);
  return (20.0 * constancyClass - 9.5) / 100.0;
}

void DrawSample(const RefData& ref, const ScoringState& sc, const std::vector<int8_t>& leastDomin, int unit,
                DrawRng& rng, SampleEntries& sample) {
  assert(unit >= 1 && unit <= ref.nNVCCount);
  const NVCUnit& u = ref.arrNVCData[static_cast<size_t>(unit)];
  const int from = u.nSpeciesTableStartIndex;
  const int to = u.nSpeciesTableEndIndex;
  sample.nMaxFreq = 0;
  sample.nSampleEntries = 0;
  bool anyLine = false;  // a unit without lines that count has no stand to draw
  for (int r = from; to != 0 && r <= to; ++r) {
    anyLine = anyLine || IsValidQuant(ref.arrTbNVCToSpeciesJoinTable[static_cast<size_t>(r)].nQuant);
  }
  if (!anyLine) return;
  while (sample.nSampleEntries == 0) {
    int n = 0;
    for (int r = from; r <= to; ++r) {
      const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[static_cast<size_t>(r)];
      if (!IsValidQuant(line.nQuant)) continue;
      const int constancy = (line.nQuant - 1) / 10 + 1;
      const int most = (line.nQuant - 1) % 10 + 1;
      const int fewest = static_cast<size_t>(r) < leastDomin.size() ? leastDomin[static_cast<size_t>(r)] : 1;
      if (rng.Uniform() >= PresenceOfClass(constancy)) continue;
      const int domin = rng.Between(std::clamp(fewest, 1, most), most);
      const int16_t cover = sc.nDominPercent[domin];
      // A species listed twice adds its covers, as sample completion does.
      int same = 0;
      for (int e = 1; e <= n && same == 0; ++e) same = sample.arrSample[e].nSpeciesCode == line.nSpeciesCode ? e : 0;
      if (same != 0) {
        SampleEntry& kept = sample.arrSample[same];
        kept.nCover = static_cast<int16_t>(std::min(kMaxPercentCover, kept.nCover + cover));
      } else if (n < kSampleCapacity) {
        sample.arrSample[++n] =
            SampleEntry{line.nSpeciesCode, DictionaryRowOfCode(ref, line.nSpeciesCode), cover, 1};
      }
    }
    sample.nSampleEntries = static_cast<int16_t>(n);
  }
}
