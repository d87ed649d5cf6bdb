// A temporary working folder with the three reference files and fresh reference
// tables to load them into.
#pragma once

#include <cstring>
#include <memory>
#include <vector>
#include <string>

#include "refdata/refdata.h"
#include "support/testkit.h"

constexpr const char* kDictName = "SPECDICT3.txt";
constexpr const char* kDefsName = "VegmatchNVCDef3.txt";
constexpr const char* kDataName = "VegmatchNVCData3.txt";

// Zero-filled tables, as the program allocates them.
inline std::unique_ptr<RefData> NewRefData() { return std::unique_ptr<RefData>(new RefData()); }

class RefFolder {
 public:
  RefFolder() : sc("", dir.path()), ref_(NewRefData()) {}

  void Dict(const std::string& text) { dir.Write(kDictName, text); }
  void Defs(const std::string& text) { dir.Write(kDefsName, text); }
  void Data(const std::string& text) { dir.Write(kDataName, text); }

  RefData& Load() {
    LoadReferenceData(sc.con, *ref_);
    return *ref_;
  }
  RefData& ref() { return *ref_; }
  std::string Out() const { return sc.out.str(); }
  std::string Err() const { return sc.err.str(); }

  TempDir dir;
  ScriptedConsole sc;

 private:
  std::unique_ptr<RefData> ref_;
};

// The messages of a load in which all three files open.
inline std::string LoadMessages() {
  return "\n Reading in dictionary from file SPECDICT.txt"
         "\n Reading NVC Types from file VegmatchNVCDef3.txt"
         "\n Reading in NVC tables from file VegmatchNVCData3.txt\n";
}

// The last message of a load whose tables join no unit to a species of the
// dictionary (as when a test writes only the file it is about).
constexpr const char* kNothingToScore =
    "vegmatch: no association line joins a unit to a species of the dictionary (see above); "
    "no sample can be scored\n";

// Number of occurrences of a piece of text.
inline int CountOf(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

// Equality of two sets of tables: every table, row for row and field for field
// (records with padding cannot be compared byte for byte), and the counts.
inline bool SameRow(const SpeciesEntry& a, const SpeciesEntry& b) {
  return a.nSpeciesCode == b.nSpeciesCode && std::strcmp(a.szShortName, b.szShortName) == 0 &&
         std::strcmp(a.szFullName, b.szFullName) == 0;
}
inline bool SameRow(const SortedSpeciesEntry& a, const SortedSpeciesEntry& b) {
  return a.nSpeciesCode == b.nSpeciesCode && a.nSpeciesIndex == b.nSpeciesIndex;
}
inline bool SameRow(const NVCUnit& a, const NVCUnit& b) {
  return std::strcmp(a.szNVCType, b.szNVCType) == 0 &&
         std::strcmp(a.szNVCCommonName, b.szNVCCommonName) == 0 &&
         std::strcmp(a.szNVCSubName, b.szNVCSubName) == 0 &&
         std::strcmp(a.szEunisCode, b.szEunisCode) == 0 &&
         std::strcmp(a.szEunisName, b.szEunisName) == 0 &&
         a.nSpeciesTableStartIndex == b.nSpeciesTableStartIndex &&
         a.nSpeciesTableEndIndex == b.nSpeciesTableEndIndex;
}
inline bool SameRow(const SpeciesTableLine& a, const SpeciesTableLine& b) {
  return a.nSpeciesCode == b.nSpeciesCode && a.nQuant == b.nQuant;
}
inline bool SameRow(const NVCTableLine& a, const NVCTableLine& b) {
  return a.nNVCIndex == b.nNVCIndex && a.nQuant == b.nQuant;
}
inline bool SameRow(const TableRange& a, const TableRange& b) {
  return a.nStartIndex == b.nStartIndex && a.nEndIndex == b.nEndIndex;
}
inline bool SameRow(int32_t a, int32_t b) { return a == b; }
template <typename T>
bool SameRows(const std::vector<T>& a, const std::vector<T>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (!SameRow(a[i], b[i])) return false;
  }
  return true;
}
inline bool SameTables(const RefData& a, const RefData& b) {
  return SameRows(a.arrSpecies, b.arrSpecies) && SameRows(a.arrSortedSpecies, b.arrSortedSpecies) &&
         SameRows(a.arrSpeciesIndexByCode, b.arrSpeciesIndexByCode) &&
         SameRows(a.arrNVCData, b.arrNVCData) &&
         SameRows(a.arrTbNVCToSpeciesJoinTable, b.arrTbNVCToSpeciesJoinTable) &&
         SameRows(a.arrTbSpeciesToNVCJoinTable, b.arrTbSpeciesToNVCJoinTable) &&
         SameRows(a.arrSpeciesBySpeciesIndex, b.arrSpeciesBySpeciesIndex) &&
         SameRows(a.arrSpeciesBySpeciesCode, b.arrSpeciesBySpeciesCode) &&
         a.nSpeciesCount == b.nSpeciesCount && a.nNVCCount == b.nNVCCount &&
         a.nSpeciesTableCount == b.nSpeciesTableCount && a.nSpeciesEntries == b.nSpeciesEntries &&
         a.nNextNewSpeciesCode == b.nNextNewSpeciesCode;
}

// "start-end" of a species range or of a unit's lines.
inline std::string Range(const TableRange& r) {
  return std::to_string(r.nStartIndex) + "-" + std::to_string(r.nEndIndex);
}
inline std::string UnitRange(const NVCUnit& u) {
  return std::to_string(u.nSpeciesTableStartIndex) + "-" + std::to_string(u.nSpeciesTableEndIndex);
}
