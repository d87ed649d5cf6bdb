// Loading the three reference files in turn (LoadReferenceData), and the reading
// of tab-separated lines and fields that the definitions and association loaders
// share. Each file has its loader in a file of its own: the species dictionary
// in dictionary.cpp, the community definitions in definitions.cpp and the
// association tables, with their regrouping by species code, in associations.cpp.
//
// Whatever the files hold, nothing is written past a field or a table: over-long
// text is cut to its field, and a file with more lines than its table holds is
// read up to the capacity; a line that holds a NUL byte, or a number that is not
// a whole integer within its range, is skipped; a file that gives no record is
// said to be empty. Each such event is noted on the error stream; the console
// output carries only the loaders' own messages. What the loaders leave behind is
// checked once, by CheckReferenceTables.
#include <array>
#include <cassert>
#include <string>
#include <vector>

#include "refdata/loading.h"

// ---- tab-separated lines ---------------------------------------------------------

// Reads one line of at most 511 characters (line end not kept).
TextLine ReadTextLine(std::FILE* fp, char* buf) {
  int n = ReadFilePiece(fp, buf, kLineBufferSize);
  if (n < 0) return TextLine::kEnd;
  if (n > kMaxLineLength && buf[n - 1] != '\n') return TextLine::kTooLong;
  if (HoldsNul(buf, n)) return TextLine::kNul;
  StripLineEnd(buf);
  return TextLine::kLine;
}

// Copies the field that starts at p (up to the next tab or the end of the line)
// into dst, cut to width. Returns the start of the next field, or null when this
// was the last field of the line. `cut` is set when the field was longer.
const char* TakeField(const char* p, char* dst, int width, bool& cut) {
  int n = 0;
  for (; p[n] != '\0' && p[n] != '\t'; ++n) {
    if (n < width) dst[n] = p[n];
  }
  dst[n < width ? n : width] = '\0';
  if (n > width) cut = true;
  return p[n] == '\t' ? p + n + 1 : nullptr;
}

// Takes the next field of a line whose earlier field may already have been the
// last one (p null): a missing field is the empty string.
const char* NextField(const char* p, char* dst, int width, bool& cut, bool& present) {
  if (p == nullptr) {
    dst[0] = '\0';
    present = false;
    return nullptr;
  }
  present = true;
  return TakeField(p, dst, width, cut);
}

// A line too long for the line buffer ends the reading of its file.
void SayTooLong(Console& con, const std::string& where) {
  Diagnose(con, where,
           Fmt("the line is longer than %d characters; it and the lines after it are not read",
               kMaxLineLength));
}

// ---- the three files together ---------------------------------------------------

std::vector<std::string> MissingReferenceFiles(const std::string& folder) {
  std::vector<std::string> missing;
  for (const char* name : {kDictionaryFile, kDefinitionsFile, kAssociationFile}) {
    if (!FileExists(folder, name)) missing.emplace_back(name);
  }
  return missing;
}

namespace {

constexpr int kNewSpeciesCodeBase = kFirstNewSpeciesCode - 1;

// The regrouped lines: those of a unit, a dictionary species and a valid quant.
int LinesTakingPart(const RefData& ref) {
  int n = 0;
  for (int t = 1; t <= ref.nSpeciesTableCount; ++t) {
    if (ref.arrTbSpeciesToNVCJoinTable[t].nNVCIndex != 0) ++n;
  }
  return n;
}

}  // namespace

bool LoadReferenceData(Console& con, RefData& ref, const std::string& folder) {
  const int dictionary = LoadSpeciesDictionary(con, ref, folder);
  const int definitions = LoadCommunityDefinitions(con, ref, folder);
  const int associations = LoadAssociationTables(con, ref, folder);
  return FinishReferenceData(con, ref, {dictionary, definitions, associations});
}

bool FinishReferenceData(Console& con, RefData& ref, const std::array<int, 3>& skipped) {
  ref.nSpeciesEntries = ref.nSpeciesCount;
  ref.nNextNewSpeciesCode = kNewSpeciesCodeBase;
  CheckReferenceTables(ref);
  BuildNameIndex(ref);
  bool whole = true;
  int total = 0;
  for (int n : skipped) {
    if (n < 0) whole = false;
    if (n > 0) total += n;
  }
  if (total > 0) {
    Diagnose(con, "",
             Fmt("%d malformed line%s of the reference files %s skipped (see above)", total,
                 total == 1 ? "" : "s", total == 1 ? "was" : "were"));
  }
  // Without a line that joins a unit to a species of the dictionary every fit of
  // every sample would be 0: such tables are refused rather than scored.
  if (whole && LinesTakingPart(ref) == 0) {
    Diagnose(con, "",
             "no association line joins a unit to a species of the dictionary (see above); "
             "no sample can be scored");
    return false;
  }
  return whole;
}

void CheckReferenceTables([[maybe_unused]] const RefData& ref) {
#ifndef NDEBUG
  assert(ref.nSpeciesCount >= 2 && ref.nSpeciesCount <= LastRow(ref.arrSpecies));
  assert(ref.arrSortedSpecies.size() == ref.arrSpecies.size());
  assert(ref.arrSpeciesBySpeciesIndex.size() == ref.arrSpecies.size());
  assert(ref.arrSpeciesBySpeciesCode.size() == ref.arrSpeciesIndexByCode.size());
  assert(ref.arrTbSpeciesToNVCJoinTable.size() == ref.arrTbNVCToSpeciesJoinTable.size());
  assert(ref.nNVCCount >= 0 && ref.nNVCCount + 1 <= LastRow(ref.arrNVCData));
  assert(ref.nSpeciesTableCount >= 0 &&
         ref.nSpeciesTableCount <= LastRow(ref.arrTbNVCToSpeciesJoinTable));
  assert(ref.nSpeciesEntries >= ref.nSpeciesCount &&
         ref.nSpeciesEntries <= LastRow(ref.arrSpecies));
  for (int m = 1; m <= ref.nNVCCount + 1; ++m) {
    const NVCUnit& u = ref.arrNVCData[m];
    assert(u.nSpeciesTableEndIndex == 0 ||
           (u.nSpeciesTableStartIndex >= 1 && u.nSpeciesTableStartIndex <= u.nSpeciesTableEndIndex &&
            u.nSpeciesTableEndIndex <= ref.nSpeciesTableCount));
  }
  for (int i = 1; i <= ref.nSpeciesCount; ++i) {
    const SortedSpeciesEntry& e = ref.arrSortedSpecies[i];
    assert(e.nSpeciesIndex >= 1 && e.nSpeciesIndex <= ref.nSpeciesCount);
    assert(i == 1 || ref.arrSortedSpecies[i - 1].nSpeciesCode <= e.nSpeciesCode);
  }
  int lines = 0;
  for (int c = 1; c <= LastRow(ref.arrSpeciesIndexByCode); ++c) {
    const int idx = ref.arrSpeciesIndexByCode[c];
    assert(idx >= 0 && idx <= ref.nSpeciesCount);
    assert(idx == 0 || ref.arrSpecies[idx].nSpeciesCode == c);
    const TableRange& r = ref.arrSpeciesBySpeciesCode[c];
    if (r.nEndIndex == 0) continue;
    assert(idx != 0 && r.nStartIndex >= 1 && r.nStartIndex <= r.nEndIndex &&
           r.nEndIndex <= ref.nSpeciesTableCount);
    for (int t = r.nStartIndex; t <= r.nEndIndex; ++t) {
      const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[t];
      assert(line.nNVCIndex >= 1 && line.nNVCIndex <= ref.nNVCCount);
      assert(IsValidQuant(line.nQuant));
      ++lines;
    }
  }
  assert(lines <= ref.nSpeciesTableCount);
  for (int i = 1; i <= ref.nSpeciesCount; ++i) {
    const TableRange& r = ref.arrSpeciesBySpeciesIndex[i];
    assert(r.nEndIndex == 0 ||
           (r.nStartIndex >= 1 && r.nStartIndex <= r.nEndIndex &&
            r.nEndIndex <= ref.nSpeciesTableCount));
  }
#endif
}
