// Reference data: the species dictionary, the community definitions and the
// association tables, loaded and joined once at start-up; new species appended
// during the run; and the table dump.
//
// Only this folder writes RefData. The loaders guarantee every count, range and
// code that later code relies on (CheckReferenceTables states them), so the
// scoring and report code reads the tables without clamping.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/common.h"
#include "console/console.h"

struct SpeciesEntry {
  int16_t nSpeciesCode;
  char szShortName[kShortNameWidth + 1];
  char szFullName[kFullNameWidth + 1];
};

struct SortedSpeciesEntry {
  int16_t nSpeciesCode;
  int32_t nSpeciesIndex;
};

struct NVCUnit {
  char szNVCType[kTypeWidth + 1];
  char szNVCCommonName[kCommonNameWidth + 1];
  char szNVCSubName[kSubNameWidth + 1];
  char szEunisCode[kEunisCodeWidth + 1];
  char szEunisName[kEunisNameWidth + 1];
  int32_t nSpeciesTableStartIndex;
  int32_t nSpeciesTableEndIndex;  // 0: the unit has no lines
};

struct SpeciesTableLine {
  int16_t nSpeciesCode;
  int16_t nQuant;  // 1..50; any other value marks a line that takes no part
};

struct NVCTableLine {
  int32_t nNVCIndex;
  int16_t nQuant;
};

struct TableRange {
  int32_t nStartIndex;
  int32_t nEndIndex;  // 0: empty range
};

// What the association file gives beyond the species code and quant, kept as
// the loader reads each line, for the analyses and the names (the file is read
// once): of each line its fourth field (the species name as the table writes
// it), its fifth (the constancy class, I..V) and the rest after that (the
// Domin range), and of each block the unit code as written. The texts of the
// lines stand one after the other in `text`; a species name that the line
// before of its code gave as well is kept once.
struct AssociationLineText {
  uint32_t name;          // where the name starts in AssociationText::text
  uint32_t domin;         // where the Domin range starts
  uint16_t nameLength;
  uint16_t dominLength;
  uint8_t fields;         // the fields of the line, 1..6 (6: six or more); 0: no code, or a NUL
  uint8_t constancy;      // the class the fifth field names (1..5), 0 when it names none
  bool usable;            // species code and quant read whole and within their ranges
};
struct AssociationBlock {
  std::string code;  // the unit code as the file writes it (cut to 19 characters)
  int firstLine;
};
struct AssociationText {
  std::string path;                         // the file read (folder and name)
  std::vector<AssociationBlock> blocks;     // in file order
  std::vector<AssociationLineText> lines;   // rows 1..nSpeciesTableCount
  std::string text;
  std::string_view Name(int line) const {
    const AssociationLineText& l = lines[static_cast<size_t>(line)];
    return std::string_view(text).substr(l.name, l.nameLength);
  }
  std::string_view Domin(int line) const {
    const AssociationLineText& l = lines[static_cast<size_t>(line)];
    return std::string_view(text).substr(l.domin, l.dominLength);
  }
};

// The tables start at their least sizes (so hand-built tables in the tests have
// room) and the loaders grow them to whatever the files hold.
struct RefData {
  std::vector<SpeciesEntry> arrSpecies = std::vector<SpeciesEntry>(kSpeciesCapacity + 1);
  std::vector<SortedSpeciesEntry> arrSortedSpecies =
      std::vector<SortedSpeciesEntry>(kSpeciesCapacity + 1);
  std::vector<int32_t> arrSpeciesIndexByCode = std::vector<int32_t>(kMaxSpeciesCode + 1);
  std::vector<NVCUnit> arrNVCData = std::vector<NVCUnit>(kNVCCapacity + 1);
  std::vector<SpeciesTableLine> arrTbNVCToSpeciesJoinTable =
      std::vector<SpeciesTableLine>(kTableLineCapacity + 1);
  std::vector<NVCTableLine> arrTbSpeciesToNVCJoinTable =
      std::vector<NVCTableLine>(kTableLineCapacity + 1);
  std::vector<TableRange> arrSpeciesBySpeciesIndex = std::vector<TableRange>(kSpeciesCapacity + 1);
  std::vector<TableRange> arrSpeciesBySpeciesCode = std::vector<TableRange>(kMaxSpeciesCode + 1);
  int32_t nSpeciesCount;       // last dictionary row (2 + lines read)
  int32_t nNVCCount;           // units read
  int32_t nSpeciesTableCount;  // association lines read
  // Rows nSpeciesCount+1..nSpeciesEntries hold species typed during the run, in
  // order of creation; the last of them has code nNextNewSpeciesCode.
  int32_t nSpeciesEntries;
  int16_t nNextNewSpeciesCode;
  // Built at the end of loading: the row the halving search finds for each short
  // name of the dictionary, by a hash of the name (0: an empty slot), and the
  // dictionary size it was built for.
  std::vector<int32_t> arrNameIndex;
  int32_t nNameIndexCount;
  // The association file's names, constancy classes and Domin ranges.
  AssociationText association;
};

// The last row of a table (its rows are 1..LastRow).
template <typename T>
int LastRow(const std::vector<T>& table) {
  return static_cast<int>(table.size()) - 1;
}

// ---- loading ----------------------------------------------------------------------
// The three reference files, looked for in a folder.
constexpr const char* kDictionaryFile = "SPECDICT3.txt";
constexpr const char* kDefinitionsFile = "VegmatchNVCDef3.txt";
constexpr const char* kAssociationFile = "VegmatchNVCData3.txt";

// The reference files missing from a folder (empty: all three are there).
std::vector<std::string> MissingReferenceFiles(const std::string& folder);

// The folder of the NVC tables that come with the program: VEGMATCH_TABLES when
// set, else <executable>/../share/vegmatch/nvc when the tables are installed
// there, else (in the build tree) the data/nvc folder of the sources.
std::string BundledTablesFolder();

// The folder the reference files are read from: the console's folder when it
// holds all three, else the bundled folder (said on the error stream). Nothing
// when neither is complete, after saying which files are missing where.
std::optional<std::string> ChooseTablesFolder(Console& con, const std::string& bundled);

// The three loaders, in the order LoadReferenceData runs them, reading from a
// folder. Each returns the number of malformed lines it skipped, or -1 when the
// file could not be read to its end (an I/O error part-way).
int LoadSpeciesDictionary(Console& con, RefData& ref, const std::string& folder);
int LoadCommunityDefinitions(Console& con, RefData& ref, const std::string& folder);
int LoadAssociationTables(Console& con, RefData& ref, const std::string& folder);

// All three, then the start of the new-species rows, then CheckReferenceTables;
// the skipped lines are counted once at the end. False when a file could not be
// read to its end, which is an error rather than a short table, and when no
// association line joins a unit to a species of the dictionary (an empty file,
// for one), since every fit would then be 0. The one-argument form reads the
// console's folder.
bool LoadReferenceData(Console& con, RefData& ref, const std::string& folder);
inline bool LoadReferenceData(Console& con, RefData& ref) {
  return LoadReferenceData(con, ref, con.dir);
}

// The end of LoadReferenceData, after the three loaders (skipped: what each
// returned, in their order); for a caller that loads one file again on tables
// whose earlier files are already loaded (a loader relies only on the tables of
// the files before it, and sets every table it fills anew).
bool FinishReferenceData(Console& con, RefData& ref, const std::array<int, 3>& skipped);

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

// Whether the code lies within the code index (every code the loaded tables hold).
inline bool InCodeIndex(const RefData& ref, int code) {
  return code >= 1 && code <= LastRow(ref.arrSpeciesIndexByCode);
}

// The arrSpecies row of the first dictionary entry with the code, by the halving
// search, or 0 when the dictionary has none.
int DictionaryRowOfCodeSearched(const RefData& ref, int code);
// The same row. The code index built at load time holds exactly what the halving
// search gives, so codes within it are looked up in place: the matching analysis
// and scoring ask for hundreds per sample.
inline int DictionaryRowOfCode(const RefData& ref, int code) {
  if (InCodeIndex(ref, code)) return ref.arrSpeciesIndexByCode[static_cast<size_t>(code)];
  return DictionaryRowOfCodeSearched(ref, code);
}

// ---- lookup by short name ---------------------------------------------------------
// Short names and keys compare as unsigned bytes, never past a short name.
constexpr int kShortNameBytes = kShortNameWidth + 1;
int CompareShortName(const char* key, const char* name);
// The halving search over dictionary rows 1..nSpeciesCount, which must be sorted
// by short name: the rows lo < hi that bracket the key, and the row equal to it.
struct NameBracket {
  int lo;
  int hi;
  int equal;  // row equal to the key, or 0
};
NameBracket FindNameBracket(const RefData& ref, const char* key);
// The dictionary row equal to the key that the halving search finds, or 0,
// through the name index when it was built for these rows.
int DictionaryRowOfName(const RefData& ref, const char* key);
// Builds the name index of rows 1..nSpeciesCount (loading ends with it).
void BuildNameIndex(RefData& ref);

// ---- new species ------------------------------------------------------------------------
enum class NewSpeciesResult { kAdded, kTableFull, kNoCodesLeft };
struct NewSpecies {
  NewSpeciesResult result;
  int row;  // the new row of arrSpecies when added
};
// Appends a species typed during the run, under the next free code, after the
// dictionary and the earlier new species; existing rows are never touched.
NewSpecies AppendNewSpecies(RefData& ref, std::string_view shortName);
// Room for at least `n` more new species (rows and codes).
bool RoomForNewSpecies(const RefData& ref, int n);
// Forgets the new species: their rows and codes are free again. Nothing that
// still reads them may be in flight.
void ForgetNewSpecies(RefData& ref);

// ---- the table dump -----------------------------------------------------------------------
// Writes the nine dump files A01..A09 into the console's folder.
// Returns false (after saying which) when a file could not be written.
bool DumpReferenceTables(Console& con, const RefData& ref);
