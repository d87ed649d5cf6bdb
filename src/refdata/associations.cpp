// The loader of the association tables: the lines of each community in a block
// of its code, each line a species code and a quant; and the regrouping of the
// lines by species code.
#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "refdata/loading.h"

namespace {

// Association line fields 1 to 3 are read into 20-character buffers.
constexpr int kAssocFieldWidth = 19;

// Regroups the association lines by species code: lines of the codes that have a
// dictionary entry, by ascending code and in file order within a code, leaving
// out lines that lie in no unit's range and lines whose quant takes no part.
// One counting pass and one placing pass over the lines.
void RegroupBySpeciesCode(RefData& ref) {
  const int lines = ref.nSpeciesTableCount;

  // The unit of every line; 0 for a line in no unit's range.
  std::vector<int32_t> owner(static_cast<size_t>(lines) + 1, 0);
  for (int m = 1; m <= ref.nNVCCount; ++m) {
    const NVCUnit& unit = ref.arrNVCData[m];
    if (unit.nSpeciesTableEndIndex == 0) continue;
    assert(unit.nSpeciesTableStartIndex >= 1 && unit.nSpeciesTableEndIndex <= lines);
    for (int u = unit.nSpeciesTableStartIndex; u <= unit.nSpeciesTableEndIndex; ++u) {
      owner[static_cast<size_t>(u)] = m;
    }
  }

  auto takesPart = [&](int u) {
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[u];
    return owner[static_cast<size_t>(u)] != 0 && IsValidQuant(line.nQuant) &&
           InCodeIndex(ref, line.nSpeciesCode) && ref.arrSpeciesIndexByCode[line.nSpeciesCode] != 0;
  };

  const int lastCode = LastRow(ref.arrSpeciesIndexByCode);
  std::vector<int> next(static_cast<size_t>(lastCode) + 1, 0);  // lines per code, then next slot
  for (int u = 1; u <= lines; ++u) {
    if (takesPart(u)) ++next[static_cast<size_t>(ref.arrTbNVCToSpeciesJoinTable[u].nSpeciesCode)];
  }

  ZeroTable(ref.arrSpeciesBySpeciesCode, ref.arrSpeciesIndexByCode.size());
  ZeroTable(ref.arrSpeciesBySpeciesIndex, ref.arrSpecies.size());
  ZeroTable(ref.arrTbSpeciesToNVCJoinTable, ref.arrTbNVCToSpeciesJoinTable.size());

  int v = 1;
  for (int m = 1; m <= lastCode; ++m) {
    if (ref.arrSpeciesIndexByCode[m] == 0) continue;
    int count = next[static_cast<size_t>(m)];
    ref.arrSpeciesBySpeciesCode[m].nStartIndex = v;
    ref.arrSpeciesBySpeciesCode[m].nEndIndex = count > 0 ? v + count - 1 : 0;
    next[static_cast<size_t>(m)] = v;
    v += count;
  }

  for (int u = 1; u <= lines; ++u) {
    if (!takesPart(u)) continue;
    const SpeciesTableLine& line = ref.arrTbNVCToSpeciesJoinTable[u];
    int& slot = next[static_cast<size_t>(line.nSpeciesCode)];
    ref.arrTbSpeciesToNVCJoinTable[slot] = NVCTableLine{owner[static_cast<size_t>(u)], line.nQuant};
    ++slot;
  }

  // Every dictionary entry gets the range of its code; entries that share a code
  // share the range.
  for (int j = 1; j <= ref.nSpeciesCount; ++j) {
    const SortedSpeciesEntry& e = ref.arrSortedSpecies[j];
    if (!InCodeIndex(ref, e.nSpeciesCode)) continue;
    ref.arrSpeciesBySpeciesIndex[e.nSpeciesIndex] = ref.arrSpeciesBySpeciesCode[e.nSpeciesCode];
  }
}


// The class a constancy field names (I..V), or 0.
uint8_t ClassOfText(std::string_view field) {
  static const char* const kClasses[] = {"I", "II", "III", "IV", "V"};
  const std::string_view t = TrimView(field);
  for (int c = 0; c < kConstancyClasses; ++c) {
    if (t == kClasses[c]) return static_cast<uint8_t>(c + 1);
  }
  return 0;
}

// Keeps what a line gives beyond its code and quant (`line` whole, line end
// taken off): its name, constancy class and Domin range as written, a CR
// before the line end left out. A usable line's name that the last usable line
// of its code gave too is not kept again (`lastOfCode`: that line, by code).
void KeepLineText(AssociationText& kept, int lineNo, const char* line, bool usable, int code,
                  std::vector<int32_t>& lastOfCode) {
  std::string_view rest(line);
  if (!rest.empty() && rest.back() == '\r') rest.remove_suffix(1);
  AssociationLineText& l = kept.lines[static_cast<size_t>(lineNo)];
  l.usable = usable;
  l.fields = 1;
  std::string_view field[6];
  for (size_t tab = rest.find('\t'); l.fields < 6 && tab != std::string_view::npos; tab = rest.find('\t')) {
    field[l.fields - 1] = rest.substr(0, tab);
    rest.remove_prefix(tab + 1);
    ++l.fields;
  }
  field[l.fields - 1] = rest;
  l.constancy = ClassOfText(field[4]);
  const std::string_view name = field[3];
  l.nameLength = static_cast<uint16_t>(name.size());
  l.dominLength = static_cast<uint16_t>(field[5].size());
  int32_t* last = usable ? &lastOfCode[static_cast<size_t>(code)] : nullptr;
  if (last != nullptr && *last != 0 && kept.Name(*last) == name) {
    l.name = kept.lines[static_cast<size_t>(*last)].name;
  } else {
    l.name = static_cast<uint32_t>(kept.text.size());
    kept.text.append(name);
  }
  if (last != nullptr) *last = lineNo;
  l.domin = static_cast<uint32_t>(kept.text.size());
  kept.text.append(field[5]);
}

}  // namespace

int LoadAssociationTables(Console& con, RefData& ref, const std::string& folder) {
  Say(con, "\n Reading in NVC tables from file %s\n", kAssociationFile);
  File file = OpenIn(folder, kAssociationFile, "r");
  if (!file) Say(con, "Error opening %s\n", kAssociationFile);
  ZeroTable(ref.arrTbNVCToSpeciesJoinTable, kTableLineCapacity + 1);
  AssociationText& kept = ref.association;
  kept = AssociationText{};
  kept.path = PathIn(folder, kAssociationFile);
  kept.lines.emplace_back();
  std::vector<int32_t> lastOfCode(kMaxDictionaryCode + 1, 0);

  char previous[kAssocFieldWidth + 1] = "0";
  int blockUnit = 0;  // unit of the current block; 0 before the first block
  int lineNo = 1;     // number of the next line
  int skipped = 0;
  int usable = 0;     // lines whose three fields were read whole and within their ranges
  bool readFailed = false;
  std::unordered_map<std::string, int> unitOfCode;
  // Codes within range that the dictionary lacks, in order of their first line;
  // each is reported once, with the number of its lines.
  struct UnknownCode {
    int code;
    int firstLine;
    int lines;
  };
  std::vector<UnknownCode> unknownCodes;
  std::unordered_map<int, size_t> unknownIndex;

  if (file) {
    char line[kLineBufferSize];
    char code[kAssocFieldWidth + 1];
    char species[kAssocFieldWidth + 1];
    char quant[kAssocFieldWidth + 1];
    for (;;) {
      const TextLine got = ReadTextLine(file.get(), line);
      if (got == TextLine::kEnd) break;
      auto where = [&] { return At(kAssociationFile, lineNo); };
      if (got == TextLine::kTooLong) {
        SayTooLong(con, where());
        ++skipped;
        break;
      }
      if (lineNo > kMaxAssociationLines) {
        Diagnose(con, kAssociationFile,
                 Fmt("more than %d association lines; only the first %d are loaded",
                     kMaxAssociationLines, kMaxAssociationLines));
        ++skipped;
        break;
      }

      SpeciesTableLine& stored = GrowTo(ref.arrTbNVCToSpeciesJoinTable, lineNo);
      kept.lines.emplace_back();  // nothing kept of a line with a NUL
      if (got == TextLine::kNul) {
        // Nothing of the line can be trusted: it stays in the current block but takes no part.
        stored = SpeciesTableLine{0, 0};
        Diagnose(con, where(), kNulRefusal);
        ++skipped;
        ++lineNo;
        continue;
      }

      bool codeCut = false;
      bool speciesCut = false;
      bool quantCut = false;
      bool hasSpecies = false;
      bool hasQuant = false;
      const char* p = TakeField(line, code, kAssocFieldWidth, codeCut);
      p = NextField(p, species, kAssocFieldWidth, speciesCut, hasSpecies);
      NextField(p, quant, kAssocFieldWidth, quantCut, hasQuant);
      hasSpecies = hasSpecies && species[0] != '\0';
      hasQuant = hasQuant && quant[0] != '\0';

      if (code[0] == '\0') {
        // No community code: the line stays in the current block but takes no part.
        stored = SpeciesTableLine{0, 0};
        KeepLineText(kept, lineNo, line, false, 0, lastOfCode);
        Diagnose(con, where(), "no community code; the line takes no part");
        ++skipped;
        ++lineNo;
        continue;
      }

      if (std::strcmp(code, previous) != 0) {
        // A new block: find its unit by exact code (the first unit of that code).
        if (unitOfCode.empty()) {
          for (int m = ref.nNVCCount; m >= 1; --m) unitOfCode[ref.arrNVCData[m].szNVCType] = m;
        }
        const auto found = unitOfCode.find(code);
        int unit = found == unitOfCode.end() ? 0 : found->second;
        if (unit == 0) {
          // The range goes to the record after the last unit, which nothing reads.
          unit = ref.nNVCCount + 1;
          GrowTo(ref.arrNVCData, unit);
          Diagnose(con, where(), Fmt("community %s is not defined; its lines take no part", code));
        } else if (ref.arrNVCData[unit].nSpeciesTableEndIndex != 0) {
          Diagnose(con, where(),
                   Fmt("community %s comes again; its earlier lines take no part", code));
        }
        if (blockUnit > 0) ref.arrNVCData[blockUnit].nSpeciesTableEndIndex = lineNo - 1;
        std::memcpy(previous, code, sizeof previous);
        kept.blocks.push_back(AssociationBlock{code, lineNo});
        blockUnit = unit;
        ref.arrNVCData[blockUnit].nSpeciesTableStartIndex = lineNo;
        ref.arrNVCData[blockUnit].nSpeciesTableEndIndex = 0;
      }

      if (codeCut || speciesCut || quantCut) {
        Diagnose(con, where(),
                 Fmt("a field longer than %d characters was cut", kAssocFieldWidth));
      }
      // Both numbers must be read whole: a prefix of "1e308" or of a cut field
      // would credit the line to a real species or quant.
      const WholeNumber speciesNumber =
          hasSpecies && !speciesCut ? ReadWholeNumber(species) : WholeNumber{false, 0};
      const WholeNumber quantNumber =
          hasQuant && !quantCut ? ReadWholeNumber(quant) : WholeNumber{false, 0};
      std::string refusal;
      if (!hasSpecies || !hasQuant) {
        stored.nSpeciesCode = hasSpecies ? ClampToInt16(ReadLong(species)) : 0;
        stored.nQuant = 0;
        refusal = "species or quant field missing";
      } else {
        stored.nSpeciesCode = ClampToInt16(speciesNumber.value);
        stored.nQuant = ClampToInt16(quantNumber.value);
        if (!speciesNumber.whole) {
          refusal = speciesCut ? Fmt("species code longer than %d characters", kAssocFieldWidth)
                               : Fmt("species code \"%s\" is not a whole number", species);
        } else if (speciesNumber.value < 1 || speciesNumber.value > kMaxDictionaryCode) {
          refusal = Fmt("species code %ld outside 1..%d", speciesNumber.value, kMaxDictionaryCode);
        } else if (!quantNumber.whole) {
          refusal = quantCut ? Fmt("quant longer than %d characters", kAssocFieldWidth)
                             : Fmt("quant \"%s\" is not a whole number", quant);
        } else if (!IsValidQuant(stored.nQuant)) {
          refusal = Fmt("quant %ld outside 1..%d", quantNumber.value, kQuantCodes);
        }
      }
      if (!refusal.empty()) {
        // Every refused line holds a code or a quant that takes no part.
        assert(stored.nSpeciesCode < 1 || stored.nSpeciesCode > kMaxDictionaryCode ||
               !IsValidQuant(stored.nQuant));
        Diagnose(con, where(), refusal + "; the line takes no part");
        ++skipped;
      } else {
        ++usable;
        if (ref.nSpeciesCount > 2 && DictionaryRowOfCode(ref, stored.nSpeciesCode) == 0) {
          const auto [at, added] = unknownIndex.try_emplace(stored.nSpeciesCode, unknownCodes.size());
          if (added) unknownCodes.push_back(UnknownCode{stored.nSpeciesCode, lineNo, 0});
          ++unknownCodes[at->second].lines;
        }
      }
      KeepLineText(kept, lineNo, line, refusal.empty(), stored.nSpeciesCode, lastOfCode);
      ++lineNo;
    }
    if (!file.Close()) {
      Diagnose(con, kAssociationFile, "error reading the file; it was not read to its end");
      readFailed = true;
    }
    for (const UnknownCode& u : unknownCodes) {
      Diagnose(con, At(kAssociationFile, u.firstLine),
               Fmt("species code %d is not in the dictionary; its %d line%s take%s no part",
                   u.code, u.lines, u.lines == 1 ? "" : "s", u.lines == 1 ? "s" : ""));
    }
    if (usable == 0) Diagnose(con, kAssociationFile, "no usable association line was read");
  }

  if (blockUnit > 0) ref.arrNVCData[blockUnit].nSpeciesTableEndIndex = lineNo - 1;
  ref.nSpeciesTableCount = lineNo - 1;
  ref.arrTbNVCToSpeciesJoinTable.resize(
      static_cast<size_t>(std::max(kTableLineCapacity, ref.nSpeciesTableCount)) + 1);
  RegroupBySpeciesCode(ref);
  return readFailed ? -1 : skipped;
}
