// Loads the bundled NVC tables and checks the tables against facts read straight
// from the file text.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "refdata_fixture.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Tabs(const std::string& line) {
  std::vector<std::string> fields;
  size_t from = 0;
  for (;;) {
    size_t tab = line.find('\t', from);
    fields.push_back(line.substr(from, tab == std::string::npos ? std::string::npos : tab - from));
    if (tab == std::string::npos) return fields;
    from = tab + 1;
  }
}

struct FileFacts {
  std::vector<int> dictCodes;             // dictionary entry 3.. in file order
  std::map<std::string, int> unitIndex;   // unit code -> 1-based unit number
  std::vector<std::pair<std::string, std::pair<int, int>>> lines;  // unit code, (species, quant)
};

FileFacts ReadFacts(const std::string& dir, size_t maxLines) {
  FileFacts f;
  for (const std::string& line : Lines(ReadWholeFile(dir + "/" + kDictName))) {
    std::istringstream words(line);
    int code = 0;
    if (words >> code) f.dictCodes.push_back(code);
  }
  int n = 0;
  for (const std::string& line : Lines(ReadWholeFile(dir + "/" + kDefsName))) {
    f.unitIndex.emplace(Tabs(line)[0], ++n);
  }
  for (const std::string& line : Lines(ReadWholeFile(dir + "/" + kDataName))) {
    if (f.lines.size() == maxLines) break;
    std::vector<std::string> fields = Tabs(line);
    f.lines.push_back({fields[0], {std::stoi(fields[1]), std::stoi(fields[2])}});
  }
  return f;
}

// Checks every table built from the files against the facts.
void CheckTables(const RefData& ref, const FileFacts& f) {
  ASSERT_EQ(ref.nSpeciesCount, static_cast<int>(f.dictCodes.size()) + 2);
  ASSERT_EQ(ref.nNVCCount, static_cast<int>(f.unitIndex.size()));
  ASSERT_EQ(ref.nSpeciesTableCount, static_cast<int>(f.lines.size()));

  // The code index names the first dictionary line of each code.
  std::map<int, int> firstEntry;
  for (size_t k = 0; k < f.dictCodes.size(); ++k) firstEntry.emplace(f.dictCodes[k], static_cast<int>(k) + 3);
  for (int c = 1; c <= LastRow(ref.arrSpeciesIndexByCode); ++c) {
    auto it = firstEntry.find(c);
    ASSERT_EQ(ref.arrSpeciesIndexByCode[c], it == firstEntry.end() ? 0 : it->second) << c;
  }

  // File-order lines, and each unit's block.
  std::map<int, std::pair<int, int>> unitLines;
  for (size_t k = 0; k < f.lines.size(); ++k) {
    int l = static_cast<int>(k) + 1;
    ASSERT_EQ(ref.arrTbNVCToSpeciesJoinTable[l].nSpeciesCode, f.lines[k].second.first) << l;
    ASSERT_EQ(ref.arrTbNVCToSpeciesJoinTable[l].nQuant, f.lines[k].second.second) << l;
    int unit = f.unitIndex.at(f.lines[k].first);
    auto ins = unitLines.emplace(unit, std::make_pair(l, l));
    if (!ins.second) {
      ASSERT_EQ(ins.first->second.second, l - 1) << "blocks of one unit are contiguous";
      ins.first->second.second = l;
    }
  }
  for (int m = 1; m <= ref.nNVCCount; ++m) {
    auto it = unitLines.find(m);
    std::pair<int, int> want = it == unitLines.end() ? std::make_pair(0, 0) : it->second;
    ASSERT_EQ(ref.arrNVCData[m].nSpeciesTableStartIndex, want.first) << m;
    ASSERT_EQ(ref.arrNVCData[m].nSpeciesTableEndIndex, want.second) << m;
  }

  // The regrouped lines of every code with a dictionary entry, in file order.
  std::map<int, std::vector<std::pair<int, int>>> byCode;
  for (const auto& line : f.lines) {
    if (firstEntry.count(line.second.first) == 0) continue;
    byCode[line.second.first].push_back({f.unitIndex.at(line.first), line.second.second});
  }
  int total = 0;
  int expectedStart = 1;
  for (int c = 1; c <= LastRow(ref.arrSpeciesBySpeciesCode); ++c) {
    const TableRange& r = ref.arrSpeciesBySpeciesCode[c];
    if (firstEntry.count(c) == 0) {
      ASSERT_EQ(r.nStartIndex, 0) << c;
      ASSERT_EQ(r.nEndIndex, 0) << c;
      continue;
    }
    const std::vector<std::pair<int, int>>& want = byCode[c];
    ASSERT_EQ(r.nStartIndex, expectedStart) << c;
    ASSERT_EQ(r.nEndIndex, want.empty() ? 0 : expectedStart + static_cast<int>(want.size()) - 1) << c;
    for (size_t k = 0; k < want.size(); ++k) {
      const NVCTableLine& got = ref.arrTbSpeciesToNVCJoinTable[r.nStartIndex + static_cast<int>(k)];
      ASSERT_EQ(got.nNVCIndex, want[k].first) << c;
      ASSERT_EQ(got.nQuant, want[k].second) << c;
    }
    expectedStart += static_cast<int>(want.size());
    total += static_cast<int>(want.size());
  }
  for (int e = total + 1; e <= LastRow(ref.arrTbSpeciesToNVCJoinTable); ++e) {
    ASSERT_EQ(ref.arrTbSpeciesToNVCJoinTable[e].nNVCIndex, 0) << e;
  }

  // Every dictionary entry shares the range of its code.
  for (int i = 3; i <= ref.nSpeciesCount; ++i) {
    int c = ref.arrSpecies[i].nSpeciesCode;
    ASSERT_GE(c, 1);
    ASSERT_LE(c, LastRow(ref.arrSpeciesIndexByCode));
    ASSERT_EQ(ref.arrSpeciesBySpeciesIndex[i].nStartIndex, ref.arrSpeciesBySpeciesCode[c].nStartIndex);
    ASSERT_EQ(ref.arrSpeciesBySpeciesIndex[i].nEndIndex, ref.arrSpeciesBySpeciesCode[c].nEndIndex);
  }
}

TEST(BundledTables, LoadWholeAndJoinAsTheFilesSay) {
  const std::string dir = ProjectDir() + "/data/nvc";
  auto ref = NewRefData();
  ScriptedConsole sc("", dir);
  ASSERT_TRUE(LoadReferenceData(sc.con, *ref));
  EXPECT_EQ(sc.out.str(), LoadMessages());
  EXPECT_EQ(sc.err.str(), "");
  EXPECT_EQ(ref->nSpeciesCount, 1820 + 2);
  EXPECT_EQ(ref->nNVCCount, 856);
  EXPECT_EQ(ref->nSpeciesTableCount, 45916);
  EXPECT_EQ(Lines(ReadWholeFile(dir + "/" + kDataName)).size(), 45916u);
  EXPECT_STREQ(ref->arrNVCData[1].szNVCType, "A1");
  EXPECT_STREQ(ref->arrNVCData[1].szEunisName, "Free-floating vegetation");
  // The file is sorted by short name, as name lookups require.
  for (int i = 4; i <= ref->nSpeciesCount; ++i) {
    ASSERT_LT(std::string(ref->arrSpecies[i - 1].szShortName), std::string(ref->arrSpecies[i].szShortName))
        << i;
  }
  CheckTables(*ref, ReadFacts(dir, 1u << 30));
}

TEST(BundledTables, OlderNamesShareTheCodeOfTheCurrentName) {
  const std::string dir = ProjectDir() + "/data/nvc";
  auto ref = NewRefData();
  ScriptedConsole sc("", dir);
  ASSERT_TRUE(LoadReferenceData(sc.con, *ref));
  auto codeOf = [&](const char* shortName) {
    for (int i = 3; i <= ref->nSpeciesCount; ++i) {
      if (std::string(ref->arrSpecies[i].szShortName) == shortName) return ref->arrSpecies[i].nSpeciesCode;
    }
    return int16_t{-1};
  };
  for (auto pair : {std::make_pair("desc flex", "aven flex")}) {
    const int older = codeOf(pair.first);
    ASSERT_GT(older, 0) << pair.first;
    EXPECT_EQ(older, codeOf(pair.second));
    // Both names reach the same association lines.
    const int a = DictionaryRowOfCode(*ref, older);
    EXPECT_GT(ref->arrSpeciesBySpeciesIndex[a].nEndIndex, 0);
  }
}

}  // namespace
