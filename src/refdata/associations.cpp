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

// The first three fields of an association line as read, each cut to its width:
// the community code, the species code and the quant.
struct AssociationFields {
  char code[kAssocFieldWidth + 1];
  char species[kAssocFieldWidth + 1];
  char quant[kAssocFieldWidth + 1];
  bool codeCut = false;
  bool speciesCut = false;
  bool quantCut = false;
  bool hasSpecies = false;  // present and not empty
  bool hasQuant = false;    // present and not empty
};

// Splits a line into its first three fields.
void SplitAssociationLine(const char* line, AssociationFields& f) {
  const char* p = TakeField(line, f.code, kAssocFieldWidth, f.codeCut);
  p = NextField(p, f.species, kAssocFieldWidth, f.speciesCut, f.hasSpecies);
  NextField(p, f.quant, kAssocFieldWidth, f.quantCut, f.hasQuant);
  f.hasSpecies = f.hasSpecies && f.species[0] != '\0';
  f.hasQuant = f.hasQuant && f.quant[0] != '\0';
}

// Stores the species code and quant of a line; says why the line takes no part,
// or gives the empty text when it takes part.
std::string StoreCodeAndQuant(const AssociationFields& f, SpeciesTableLine& stored) {
  if (!f.hasSpecies || !f.hasQuant) {
    stored.nSpeciesCode = f.hasSpecies ? ClampToInt16(ReadLong(f.species)) : 0;
    stored.nQuant = 0;
    return "species or quant field missing";
  }
  // Both numbers must be read whole: a prefix of "1e308" or of a cut field
  // would credit the line to a real species or quant.
  const WholeNumber species = f.speciesCut ? WholeNumber{false, 0} : ReadWholeNumber(f.species);
  const WholeNumber quant = f.quantCut ? WholeNumber{false, 0} : ReadWholeNumber(f.quant);
  stored.nSpeciesCode = ClampToInt16(species.value);
  stored.nQuant = ClampToInt16(quant.value);
  if (!species.whole) {
    return f.speciesCut ? Fmt("species code longer than %d characters", kAssocFieldWidth)
                        : Fmt("species code \"%s\" is not a whole number", f.species);
  }
  if (species.value < 1 || species.value > kMaxDictionaryCode) {
    return Fmt("species code %ld outside 1..%d", species.value, kMaxDictionaryCode);
  }
  if (!quant.whole) {
    return f.quantCut ? Fmt("quant longer than %d characters", kAssocFieldWidth)
                      : Fmt("quant \"%s\" is not a whole number", f.quant);
  }
  if (!IsValidQuant(stored.nQuant)) {
    return Fmt("quant %ld outside 1..%d", quant.value, kQuantCodes);
  }
  return std::string();
}

// One load of the association file: the tables it fills line by line, where it
// is in the file, and what it counts on the way.
class AssociationLoad {
 public:
  AssociationLoad(Console& con, RefData& ref, const std::string& folder);

  // Reads the lines of the open file, then says what was wrong with the file as
  // a whole; false when the file could not be read to its end.
  bool ReadLines(File& file);

  // Closes the last block, counts the lines and regroups them by species code.
  void Finish();

  int Skipped() const { return skipped_; }

 private:
  // A code within range that the dictionary lacks: reported once, at its first
  // line, with the number of its lines.
  struct UnknownCode {
    int code;
    int firstLine;
    int lines;
  };

  // Takes one line as read; false when the reading stops at it.
  bool TakeLine(TextLine got, const char* line);

  // Takes the fields of a line that has a community code.
  void TakeFields(const AssociationFields& f, const char* line, SpeciesTableLine& stored);

  // Opens the block of a new community code at the current line.
  void StartBlock(const char* code);

  // Counts a usable line whose species code the dictionary lacks.
  void CountUnknownCode(int code);

  // Says, after the last line, what was wrong with the file as a whole.
  void ReportFile();

  // The place of the current line.
  std::string Where() const { return At(kAssociationFile, lineNo_); }

  Console& con_;
  RefData& ref_;
  AssociationText& kept_;
  std::vector<int32_t> lastOfCode_;  // last usable line of each code, for KeepLineText
  char previous_[kAssocFieldWidth + 1] = "0";
  int blockUnit_ = 0;  // unit of the current block; 0 before the first block
  int lineNo_ = 1;     // number of the next line
  int skipped_ = 0;
  int usable_ = 0;     // lines whose three fields were read whole and within their ranges
  std::unordered_map<std::string, int> unitOfCode_;
  std::vector<UnknownCode> unknownCodes_;  // in order of their first line
  std::unordered_map<int, size_t> unknownIndex_;
};

AssociationLoad::AssociationLoad(Console& con, RefData& ref, const std::string& folder)
    : con_(con), ref_(ref), kept_(ref.association) {
  ZeroTable(ref_.arrTbNVCToSpeciesJoinTable, kTableLineCapacity + 1);
  kept_ = AssociationText{};
  kept_.path = PathIn(folder, kAssociationFile);
  kept_.lines.emplace_back();
  lastOfCode_.assign(kMaxDictionaryCode + 1, 0);
}

bool AssociationLoad::ReadLines(File& file) {
  char line[kLineBufferSize];
  for (;;) {
    const TextLine got = ReadTextLine(file.get(), line);
    if (got == TextLine::kEnd || !TakeLine(got, line)) break;
  }
  bool readToEnd = file.Close();
  if (!readToEnd) {
    Diagnose(con_, kAssociationFile, "error reading the file; it was not read to its end");
  }
  ReportFile();
  return readToEnd;
}

bool AssociationLoad::TakeLine(TextLine got, const char* line) {
  if (got == TextLine::kTooLong) {
    SayTooLong(con_, Where());
    ++skipped_;
    return false;
  }
  if (lineNo_ > kMaxAssociationLines) {
    Diagnose(con_, kAssociationFile,
             Fmt("more than %d association lines; only the first %d are loaded",
                 kMaxAssociationLines, kMaxAssociationLines));
    ++skipped_;
    return false;
  }

  SpeciesTableLine& stored = GrowTo(ref_.arrTbNVCToSpeciesJoinTable, lineNo_);
  kept_.lines.emplace_back();  // nothing kept of a line with a NUL
  if (got == TextLine::kNul) {
    // Nothing of the line can be trusted: it stays in the current block but takes no part.
    stored = SpeciesTableLine{0, 0};
    Diagnose(con_, Where(), kNulRefusal);
    ++skipped_;
  } else {
    AssociationFields f;
    SplitAssociationLine(line, f);
    if (f.code[0] == '\0') {
      // No community code: the line stays in the current block but takes no part.
      stored = SpeciesTableLine{0, 0};
      KeepLineText(kept_, lineNo_, line, false, 0, lastOfCode_);
      Diagnose(con_, Where(), "no community code; the line takes no part");
      ++skipped_;
    } else {
      TakeFields(f, line, stored);
    }
  }
  ++lineNo_;
  return true;
}

void AssociationLoad::TakeFields(const AssociationFields& f, const char* line,
                                 SpeciesTableLine& stored) {
  if (std::strcmp(f.code, previous_) != 0) StartBlock(f.code);
  if (f.codeCut || f.speciesCut || f.quantCut) {
    Diagnose(con_, Where(), Fmt("a field longer than %d characters was cut", kAssocFieldWidth));
  }
  const std::string refusal = StoreCodeAndQuant(f, stored);
  if (!refusal.empty()) {
    // Every refused line holds a code or a quant that takes no part.
    assert(stored.nSpeciesCode < 1 || stored.nSpeciesCode > kMaxDictionaryCode ||
           !IsValidQuant(stored.nQuant));
    Diagnose(con_, Where(), refusal + "; the line takes no part");
    ++skipped_;
  } else {
    ++usable_;
    CountUnknownCode(stored.nSpeciesCode);
  }
  KeepLineText(kept_, lineNo_, line, refusal.empty(), stored.nSpeciesCode, lastOfCode_);
}

void AssociationLoad::StartBlock(const char* code) {
  // The block's unit is found by exact code (the first unit of that code).
  if (unitOfCode_.empty()) {
    for (int m = ref_.nNVCCount; m >= 1; --m) unitOfCode_[ref_.arrNVCData[m].szNVCType] = m;
  }
  const auto found = unitOfCode_.find(code);
  int unit = found == unitOfCode_.end() ? 0 : found->second;
  if (unit == 0) {
    // The range goes to the record after the last unit, which nothing reads.
    unit = ref_.nNVCCount + 1;
    GrowTo(ref_.arrNVCData, unit);
    Diagnose(con_, Where(), Fmt("community %s is not defined; its lines take no part", code));
  } else if (ref_.arrNVCData[unit].nSpeciesTableEndIndex != 0) {
    Diagnose(con_, Where(), Fmt("community %s comes again; its earlier lines take no part", code));
  }
  if (blockUnit_ > 0) ref_.arrNVCData[blockUnit_].nSpeciesTableEndIndex = lineNo_ - 1;
  std::memcpy(previous_, code, sizeof previous_);
  kept_.blocks.push_back(AssociationBlock{code, lineNo_});
  blockUnit_ = unit;
  ref_.arrNVCData[blockUnit_].nSpeciesTableStartIndex = lineNo_;
  ref_.arrNVCData[blockUnit_].nSpeciesTableEndIndex = 0;
}

void AssociationLoad::CountUnknownCode(int code) {
  if (ref_.nSpeciesCount <= 2 || DictionaryRowOfCode(ref_, code) != 0) return;
  const auto [at, added] = unknownIndex_.try_emplace(code, unknownCodes_.size());
  if (added) unknownCodes_.push_back(UnknownCode{code, lineNo_, 0});
  ++unknownCodes_[at->second].lines;
}

void AssociationLoad::ReportFile() {
  for (const UnknownCode& u : unknownCodes_) {
    Diagnose(con_, At(kAssociationFile, u.firstLine),
             Fmt("species code %d is not in the dictionary; its %d line%s take%s no part", u.code,
                 u.lines, u.lines == 1 ? "" : "s", u.lines == 1 ? "s" : ""));
  }
  if (usable_ == 0) Diagnose(con_, kAssociationFile, "no usable association line was read");
}

void AssociationLoad::Finish() {
  if (blockUnit_ > 0) ref_.arrNVCData[blockUnit_].nSpeciesTableEndIndex = lineNo_ - 1;
  ref_.nSpeciesTableCount = lineNo_ - 1;
  ref_.arrTbNVCToSpeciesJoinTable.resize(
      static_cast<size_t>(std::max(kTableLineCapacity, ref_.nSpeciesTableCount)) + 1);
  RegroupBySpeciesCode(ref_);
}

}  // namespace

int LoadAssociationTables(Console& con, RefData& ref, const std::string& folder) {
  Say(con, "\n Reading in NVC tables from file %s\n", kAssociationFile);
  File file = OpenIn(folder, kAssociationFile, "r");
  if (!file) Say(con, "Error opening %s\n", kAssociationFile);
  AssociationLoad load(con, ref, folder);
  const bool readToEnd = !file || load.ReadLines(file);
  load.Finish();
  return readToEnd ? load.Skipped() : -1;
}
