// Reference data: the species dictionary, the community definitions and the
// association tables, loaded and joined once at start-up; new species appended
// during the run; and the table dump.
//
// Only this folder writes RefData. The loaders guarantee every count, range and
// code that later code relies on (CheckReferenceTables states them), so the
// scoring and report code reads the tables without clamping.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/common.h"
#include "console/console.h"

struct SpeciesEntry {
  int16_t nSpeciesCode;
  char szShortName[kShortNameWidth + 1];
  char szFullName[kFullNameWidth + 1];
};

struct SortedSpeciesEntry {
  int16_t nSpeciesCode;
  int16_t nSpeciesIndex;
};

struct NVCUnit {
  char szNVCType[kTypeWidth + 1];
  char szNVCCommonName[kCommonNameWidth + 1];
  char szNVCSubName[kSubNameWidth + 1];
  char szEunisCode[kEunisCodeWidth + 1];
  char szEunisName[kEunisNameWidth + 1];
  int16_t nSpeciesTableStartIndex;
  int16_t nSpeciesTableEndIndex;  // 0: the unit has no lines
};

struct SpeciesTableLine {
  int16_t nSpeciesCode;
  int16_t nQuant;  // 1..50; any other value marks a line that takes no part
};

struct NVCTableLine {
  int16_t nNVCIndex;
  int16_t nQuant;
};

struct TableRange {
  int16_t nStartIndex;
  int16_t nEndIndex;  // 0: empty range
};

struct RefData {
  SpeciesEntry arrSpecies[kSpeciesCapacity + 1];
  SortedSpeciesEntry arrSortedSpecies[kSpeciesCapacity + 1];
  int32_t arrSpeciesIndexByCode[kMaxSpeciesCode + 1];
  NVCUnit arrNVCData[kNVCCapacity + 1];
  SpeciesTableLine arrTbNVCToSpeciesJoinTable[kTableLineCapacity + 1];
  NVCTableLine arrTbSpeciesToNVCJoinTable[kTableLineCapacity + 1];
  TableRange arrSpeciesBySpeciesIndex[kSpeciesCapacity + 1];
  TableRange arrSpeciesBySpeciesCode[kMaxSpeciesCode + 1];
  int16_t nSpeciesCount;       // last dictionary row (2 + lines read)
  int16_t nNVCCount;           // units read
  int16_t nSpeciesTableCount;  // association lines read
  // Rows nSpeciesCount+1..nSpeciesEntries hold species typed during the run, in
  // order of creation; the last of them has code nNextNewSpeciesCode.
  int16_t nSpeciesEntries;
  int16_t nNextNewSpeciesCode;
};

// ---- loading ----------------------------------------------------------------------
// The three loaders, in the order LoadReferenceData runs them. The reference
// files are read from the console's folder.
void LoadSpeciesDictionary(Console& con, RefData& ref);
void LoadCommunityDefinitions(Console& con, RefData& ref);
void LoadAssociationTables(Console& con, RefData& ref);
// All three, then the start of the new-species rows, then CheckReferenceTables.
void LoadReferenceData(Console& con, RefData& ref);

// Asserts what the loaders guarantee: counts within their tables, unit ranges
// within the lines read, regrouped lines of real units with valid quants, code
// index and species ranges consistent with the sorted index.
void CheckReferenceTables(const RefData& ref);

// ---- lookups ------------------------------------------------------------------------
// Sorts entries 1..n of the sorted index by (code, index), in place.
void SortSpecies(SortedSpeciesEntry* arr, int n);

// Halving lower-bound search over arrSortedSpecies rows 1..nSpeciesCount for the
// first row with the given code; returns that row of arrSortedSpecies, or 0.
int FindSortedRowByCode(const RefData& ref, int code);

// The arrSpecies row of the first dictionary entry with the code (what the
// halving search gives), or 0 when the dictionary has none.
int DictionaryRowOfCode(const RefData& ref, int code);

// ---- new species ------------------------------------------------------------------------
enum class NewSpeciesResult { kAdded, kTableFull, kNoCodesLeft };
struct NewSpecies {
  NewSpeciesResult result;
  int row;  // the new row of arrSpecies when added
};
// Appends a species typed during the run, under the next free code, after the
// dictionary and the earlier new species; existing rows are never touched.
NewSpecies AppendNewSpecies(RefData& ref, std::string_view shortName);

// ---- the table dump -----------------------------------------------------------------------
// Writes the nine dump files A01..A09 into the console's folder.
// Returns false (after saying which) when a file could not be written.
bool DumpReferenceTables(Console& con, const RefData& ref);
