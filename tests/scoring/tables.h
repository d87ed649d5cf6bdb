// Hand-made reference tables for the scoring tests: a few dictionary entries and
// units, laid out in the join tables the way the loaders lay out the real files.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app/app.h"
#include "refdata/refdata.h"
#include "scoring/scoring.h"

namespace scoring_test {

struct Line {
  int code;
  int quant;
};

struct Entry {
  int code;
  int cover;  // percent
  int freq;
};

class Tables {
 public:
  Tables() : st_(NewAppState()) {}

  RefData& ref() { return st_->ref; }
  ScoringState& sc() { return st_->scoring; }
  SampleState& sample() { return st_->sample; }

  // A dictionary entry with that code; call twice with one code for a synonym.
  void AddSpecies(int code) { codes_.push_back(code); }

  // A unit with its association lines, in file order; returns its index.
  int AddUnit(const std::string& type, const std::vector<Line>& lines) {
    units_.push_back({type, lines});
    return static_cast<int>(units_.size());
  }

  // Fills the reference tables, then builds the weight tables and the totals.
  void Build() {
    RefData& r = ref();
    const int n = 2 + static_cast<int>(codes_.size());
    r.nSpeciesCount = static_cast<int16_t>(n);
    r.arrSortedSpecies[1] = {0, 1};
    r.arrSortedSpecies[2] = {0, 2};
    for (int i = 3; i <= n; ++i) {
      r.arrSpecies[i].nSpeciesCode = static_cast<int16_t>(codes_[i - 3]);
      r.arrSortedSpecies[i] = {static_cast<int16_t>(codes_[i - 3]), static_cast<int16_t>(i)};
    }
    std::sort(r.arrSortedSpecies.begin() + 1, r.arrSortedSpecies.begin() + n + 1,
              [](const SortedSpeciesEntry& a, const SortedSpeciesEntry& b) {
                return a.nSpeciesCode != b.nSpeciesCode ? a.nSpeciesCode < b.nSpeciesCode
                                                        : a.nSpeciesIndex < b.nSpeciesIndex;
              });
    // The code index names the first dictionary entry of each code, as the loader builds it.
    for (int i = n; i >= 1; --i) {
      const SortedSpeciesEntry& e = r.arrSortedSpecies[i];
      if (e.nSpeciesCode >= 1 && e.nSpeciesCode <= kMaxSpeciesCode) {
        r.arrSpeciesIndexByCode[e.nSpeciesCode] = e.nSpeciesIndex;
      }
    }

    r.nNVCCount = static_cast<int16_t>(units_.size());
    int o = 1;
    for (size_t u = 0; u < units_.size(); ++u) {
      NVCUnit& unit = r.arrNVCData[u + 1];
      units_[u].type.copy(unit.szNVCType, sizeof unit.szNVCType - 1);
      if (units_[u].lines.empty()) continue;
      unit.nSpeciesTableStartIndex = static_cast<int16_t>(o);
      for (const Line& l : units_[u].lines) {
        r.arrTbNVCToSpeciesJoinTable[o++] = {static_cast<int16_t>(l.code),
                                             static_cast<int16_t>(l.quant)};
      }
      unit.nSpeciesTableEndIndex = static_cast<int16_t>(o - 1);
    }
    r.nSpeciesTableCount = static_cast<int16_t>(o - 1);
    r.nSpeciesEntries = r.nSpeciesCount;
    r.nNextNewSpeciesCode = static_cast<int16_t>(kFirstNewSpeciesCode - 1);

    // Regrouped by ascending code, file order within a code; codes without a
    // dictionary entry and lines whose quant takes no part are left out.
    std::vector<int> dictCodes(codes_);
    std::sort(dictCodes.begin(), dictCodes.end());
    dictCodes.erase(std::unique(dictCodes.begin(), dictCodes.end()), dictCodes.end());
    int v = 1;
    for (int code : dictCodes) {
      int a = v;
      for (size_t u = 0; u < units_.size(); ++u) {
        for (const Line& l : units_[u].lines) {
          if (l.code == code && IsValidQuant(l.quant)) {
            r.arrTbSpeciesToNVCJoinTable[a++] = {static_cast<int16_t>(u + 1),
                                                 static_cast<int16_t>(l.quant)};
          }
        }
      }
      const TableRange range{static_cast<int16_t>(v), static_cast<int16_t>(a > v ? a - 1 : 0)};
      if (code >= 1 && code <= kMaxSpeciesCode) r.arrSpeciesBySpeciesCode[code] = range;
      for (int i = 3; i <= n; ++i) {
        if (r.arrSpecies[i].nSpeciesCode == code) r.arrSpeciesBySpeciesIndex[i] = range;
      }
      v = a;
    }
    // The tables must be ones the loaders could have left.
    CheckReferenceTables(r);

    BuildQuantTables(sc());
    BuildNVCTotals(ref(), sc());
  }

  // Puts a completed sample into the sample table (maxFreq 0: cover data).
  void SetSample(const std::vector<Entry>& entries, int maxFreq = 0) {
    SampleState& s = sample();
    for (int e = 0; e <= kSampleCapacity; ++e) s.arrSample[e] = SampleEntry{};
    s.nSampleEntries = static_cast<int16_t>(entries.size());
    s.nMaxFreq = static_cast<int16_t>(maxFreq);
    for (size_t e = 0; e < entries.size(); ++e) {
      s.arrSample[e + 1] = {static_cast<int16_t>(entries[e].code), 0,
                            static_cast<int16_t>(entries[e].cover),
                            static_cast<int16_t>(entries[e].freq)};
    }
  }

  const NVCFit& Score(int analysisType, int g = 1) {
    ScoreSample(ref(), sample(), static_cast<int16_t>(analysisType), sc());
    return sc().arrNVCFit[g];
  }

 private:
  struct UnitLines {
    std::string type;
    std::vector<Line> lines;
  };
  std::unique_ptr<AppState> st_;
  std::vector<int> codes_;
  std::vector<UnitLines> units_;
};

}  // namespace scoring_test
