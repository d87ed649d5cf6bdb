// Synoptic tables: the units' tables as the association file gives them, a
// group's quadrats tallied species by species, the group pooled into one
// frequency sample, and the rows that set a group beside a unit.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>

#include "tables/csv.h"
#include "survey/survey.h"
#include "analyses/synoptic.h"

// ---- the units' floristic tables ------------------------------------------------------

const std::vector<UnitSpecies>* UnitTables::Of(std::string_view unit) const {
  auto it = units.find(unit);
  return it == units.end() ? nullptr : &it->second;
}

const std::string* UnitTables::NameOf(int code) const {
  auto it = names.find(code);
  return it == names.end() ? nullptr : &it->second;
}

void BuildUnitTables(const RefData& ref, UnitTables& tables) {
  tables = UnitTables{};
  const AssociationText& kept = ref.association;
  for (size_t b = 0; b < kept.blocks.size(); ++b) {
    const std::string_view unit = TrimView(kept.blocks[b].code);
    if (unit.empty()) continue;
    const int end = b + 1 < kept.blocks.size() ? kept.blocks[b + 1].firstLine : ref.nSpeciesTableCount + 1;
    std::vector<UnitSpecies>* current = nullptr;
    for (int u = kept.blocks[b].firstLine; u < end; ++u) {
      const AssociationLineText& line = kept.lines[static_cast<size_t>(u)];
      if (!line.usable) continue;
      const SpeciesTableLine& joined = ref.arrTbNVCToSpeciesJoinTable[static_cast<size_t>(u)];
      UnitSpecies sp;
      sp.code = joined.nSpeciesCode;
      sp.name = Trim(kept.Name(u));
      sp.constancy = line.constancy != 0 ? line.constancy : (joined.nQuant - 1) / 10 + 1;
      sp.domin = Trim(kept.Domin(u));
      if (!sp.name.empty()) tables.names.try_emplace(sp.code, sp.name);
      if (current == nullptr) current = &tables.units[std::string(unit)];
      current->push_back(std::move(sp));
    }
  }
}

// ---- constancy ------------------------------------------------------------------------

int ConstancyClass(int quadrats, int total) {
  if (quadrats <= 0 || total <= 0) return 0;
  // The least class c with 100 q / n <= 20 c, that is 5 q <= c n.
  const long c = (5L * quadrats + total - 1) / total;
  return static_cast<int>(std::min<long>(c, kConstancyClasses));
}

const char* ConstancyText(int constancyClass) {
  static const char* const kText[] = {"", "I", "II", "III", "IV", "V"};
  return constancyClass >= 1 && constancyClass <= kConstancyClasses ? kText[constancyClass] : "";
}

// ---- a group's tally ---------------------------------------------------------------------

GroupTally::GroupTally(const RefData& ref, const UnitTables* tables, std::string name, bool presence)
    : ref_(ref), tables_(tables), name_(std::move(name)), presence_(presence) {}

void GroupTally::Add(const SampleInput& input, const SampleEntries& sample) {
  ++quadrats_;
  // The tally's species a row stands for (its code, or its short name for a
  // species the tables do not hold); SIZE_MAX when not yet tallied.
  const auto find = [this](int row) {
    const SpeciesEntry& s = ref_.arrSpecies[static_cast<size_t>(row)];
    if (s.nSpeciesCode < kFirstNewSpeciesCode) {
      const size_t code = static_cast<size_t>(s.nSpeciesCode);
      return code < byCode_.size() && byCode_[code] > 0 ? static_cast<size_t>(byCode_[code] - 1) : SIZE_MAX;
    }
    auto it = byName_.find(s.szShortName);
    return it == byName_.end() ? SIZE_MAX : it->second;
  };

  // This quadrat's species (each entry is one species code) and the cover
  // written for each: the largest of its records (-1: none yet).
  here_.clear();
  for (int i = 1; i <= sample.nSampleEntries; ++i) {
    const SampleEntry& e = sample.arrSample[i];
    size_t k = find(e.nSpeciesIndex);
    if (k == SIZE_MAX) {
      const SpeciesEntry& s = ref_.arrSpecies[static_cast<size_t>(e.nSpeciesIndex)];
      GroupSpecies sp;
      sp.shortName = s.szShortName;
      if (s.nSpeciesCode < kFirstNewSpeciesCode) {
        sp.code = s.nSpeciesCode;
        sp.row = e.nSpeciesIndex;
        const std::string* named = tables_ != nullptr ? tables_->NameOf(sp.code) : nullptr;
        sp.name = named != nullptr ? *named : Trim(s.szFullName);
        if (byCode_.size() <= static_cast<size_t>(sp.code)) byCode_.resize(static_cast<size_t>(sp.code) + 1, 0);
        byCode_[static_cast<size_t>(sp.code)] = static_cast<int32_t>(species_.size() + 1);
      } else {
        sp.name = Trim(sp.shortName);  // until a record gives the name as written
        byName_.emplace(sp.shortName, species_.size());
      }
      k = species_.size();
      species_.push_back(std::move(sp));
      recorded_.push_back(false);
      markedIn_.push_back(0);
      coverHere_.push_back(-1.0);
    }
    GroupSpecies& sp = species_[k];
    if (markedIn_[k] != quadrats_) {
      markedIn_[k] = quadrats_;
      coverHere_[k] = -1.0;
      here_.push_back(k);
      ++sp.quadrats;
      sp.percentSum += e.nCover;
    }
  }

  for (const SampleRecord& r : input.records) {
    if (!r.ok || r.nul || r.leftOut || r.key.c_str()[0] == '\0') continue;
    // The row entry took the record under (the row the input resolved it to
    // when that row has the key's short name, else FindSpeciesRow).
    const bool resolved = r.row >= 3 && r.row <= ref_.nSpeciesCount &&
                          CompareShortName(r.key.c_str(), ref_.arrSpecies[static_cast<size_t>(r.row)].szShortName) == 0;
    const int row = resolved ? r.row : FindSpeciesRow(ref_, r.key.c_str());
    if (row == 0) continue;
    const size_t k = find(row);
    if (k == SIZE_MAX || markedIn_[k] != quadrats_) continue;  // not in the completed sample
    GroupSpecies& sp = species_[k];
    if (!recorded_[k]) {  // its first record
      recorded_[k] = true;
      sp.where = r.where;
      if (sp.code == 0 && !r.written.empty()) sp.name = Trim(r.written);
    }
    coverHere_[k] = std::max(coverHere_[k], r.dCover);
  }

  if (presence_) return;
  for (const size_t k : here_) {
    const double cover = coverHere_[k];
    if (cover < 0) continue;  // no record of it was found
    GroupSpecies& sp = species_[k];
    sp.coverMin = sp.covers == 0 ? cover : std::min(sp.coverMin, cover);
    sp.coverMax = sp.covers == 0 ? cover : std::max(sp.coverMax, cover);
    sp.coverSum += cover;
    ++sp.covers;
  }
}

SampleInput GroupAsSample(const GroupTally& group, TextStore& store) {
  SampleInput in;
  const int n = group.Quadrats();
  // The header's name as a survey's pooled sample has it: 30 columns, "+" for
  // "*" (which starts a maximum frequency), no control bytes.
  std::string name = group.Name().substr(0, kSampleNameWidth);
  for (char& c : name) {
    if (c == '*') c = '+';
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  std::memcpy(in.header.szName, name.c_str(), name.size() + 1);
  in.header.nMaxFreq = static_cast<int16_t>(std::min(n, kMaxFrequency));
  in.label = group.Name();
  const double presenceCover = std::strtod(kPresenceCover, nullptr);
  for (const GroupSpecies& sp : group.Species()) {
    if (in.records.empty()) in.where = sp.where;
    SampleRecord& rec = in.records.emplace_back();
    rec.where = sp.where;
    rec.written = store.Keep(sp.name);
    rec.row = sp.code > 0 ? sp.row : 0;
    CopyField(rec.key.text, sp.shortName.c_str(), kShortNameWidth);
    // Above kMaxFrequency quadrats, frequencies keep their share on that scale;
    // a species present stays present.
    rec.nFreq = static_cast<int16_t>(
        n > kMaxFrequency ? std::max(1L, std::lround(kMaxFrequency * static_cast<double>(sp.quadrats) / n))
                          : sp.quadrats);
    rec.dCover = presenceCover;
    if (!group.Presence() && sp.covers > 0) {
      char buf[32];  // the mean as PoolSamples writes it, read back
      std::snprintf(buf, sizeof buf, "%.1f", sp.coverSum / sp.covers);
      rec.dCover = std::strtod(buf, nullptr);
    }
  }
  return in;
}

// ---- the group beside a unit --------------------------------------------------------------

std::vector<SynopticRow> SynopticTable(const GroupTally& group, const UnitTables& tables, std::string_view unit) {
  const std::vector<UnitSpecies>* table = unit.empty() ? nullptr : tables.Of(unit);
  std::map<int, const UnitSpecies*> inUnit;  // the first line of each code
  if (table != nullptr) {
    for (const UnitSpecies& u : *table) inUnit.emplace(u.code, &u);
  }
  const int n = group.Quadrats();
  std::vector<SynopticRow> rows;
  std::set<int> inGroup;
  for (const GroupSpecies& sp : group.Species()) {
    SynopticRow r;
    r.species = sp.name;
    r.code = sp.code;
    r.groupQuadrats = sp.quadrats;
    r.groupFrequency = n > 0 ? 100.0 * sp.quadrats / n : 0.0;
    r.groupConstancy = ConstancyClass(sp.quadrats, n);
    r.hasCover = !group.Presence() && sp.covers > 0;
    r.coverMin = sp.coverMin;
    r.coverMax = sp.coverMax;
    auto u = sp.code > 0 ? inUnit.find(sp.code) : inUnit.end();
    if (u != inUnit.end()) {
      r.unitConstancy = u->second->constancy;
      r.unitDomin = u->second->domin;
    } else if (table != nullptr && r.groupConstancy >= 4) {
      r.note = kGroupConstantNotInUnit;
    }
    if (sp.code > 0) inGroup.insert(sp.code);
    rows.push_back(std::move(r));
  }
  std::stable_sort(rows.begin(), rows.end(), [](const SynopticRow& a, const SynopticRow& b) {
    if (a.groupQuadrats != b.groupQuadrats) return a.groupQuadrats > b.groupQuadrats;
    return a.species < b.species;
  });
  const size_t groupRows = rows.size();
  for (const auto& [code, u] : inUnit) {
    if (inGroup.count(code) != 0) continue;
    SynopticRow r;
    r.species = u->name;
    r.code = code;
    r.unitConstancy = u->constancy;
    r.unitDomin = u->domin;
    if (u->constancy >= 4) r.note = kUnitConstantMissing;
    rows.push_back(std::move(r));
  }
  std::stable_sort(rows.begin() + static_cast<std::ptrdiff_t>(groupRows), rows.end(),
                   [](const SynopticRow& a, const SynopticRow& b) {
                     if (a.unitConstancy != b.unitConstancy) return a.unitConstancy > b.unitConstancy;
                     return a.species < b.species;
                   });
  return rows;
}

const std::vector<ColumnSpec>& SynopticColumns() {
  static const std::vector<ColumnSpec> columns = {
      {"group", FieldType::kText},          {"quadrats", FieldType::kWhole},
      {"unit", FieldType::kText},           {"species", FieldType::kText},
      {"code", FieldType::kWhole},          {"group_quadrats", FieldType::kWhole},
      {"group_frequency", FieldType::kNumber}, {"group_constancy", FieldType::kText},
      {"cover_min", FieldType::kNumber},    {"cover_max", FieldType::kNumber},
      {"unit_constancy", FieldType::kText}, {"unit_domin", FieldType::kText},
      {"note", FieldType::kText}};
  return columns;
}

std::string SynopticHeader(const std::string& prefixHeader) {
  return prefixHeader + (prefixHeader.empty() ? "" : ",") + ColumnNames(SynopticColumns()) + "\n";
}

namespace {

std::string OneDecimal(double v) {
  char buf[320];  // room for any double in fixed notation
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
  return std::string(buf, r.ptr);
}

}  // namespace

void AppendSynopticRows(std::string& out, const std::string& prefix, const GroupTally& group,
                        const UnitTables& tables, std::string_view unit) {
  std::string start = prefix;
  if (!prefix.empty()) start += ',';
  AppendCsvField(start, group.Name());
  start += ',' + std::to_string(group.Quadrats()) + ',';
  AppendCsvField(start, unit);
  for (const SynopticRow& r : SynopticTable(group, tables, unit)) {
    std::string line = start;
    line += ',';
    AppendCsvField(line, r.species);
    line += ',' + (r.code > 0 ? std::to_string(r.code) : std::string());
    line += ',' + std::to_string(r.groupQuadrats);
    line += ',' + OneDecimal(r.groupFrequency);
    line += std::string(",") + ConstancyText(r.groupConstancy);
    line += ',' + (r.hasCover ? ShortNumber(r.coverMin) : std::string());
    line += ',' + (r.hasCover ? ShortNumber(r.coverMax) : std::string());
    line += std::string(",") + ConstancyText(r.unitConstancy) + ',';
    AppendCsvField(line, r.unitDomin);
    line += ',';
    AppendCsvField(line, r.note);
    out += line + '\n';
  }
}

UnitConstantsOfSample UnitConstants(const UnitTables& tables, std::string_view unit,
                                    const std::vector<int>& sampleCodes) {
  UnitConstantsOfSample result;
  const std::vector<UnitSpecies>* table = tables.Of(unit);
  if (table == nullptr) return result;
  std::vector<const UnitSpecies*> constants;
  for (const UnitSpecies& u : *table) {
    if (u.constancy >= 4) constants.push_back(&u);
  }
  std::stable_sort(constants.begin(), constants.end(), [](const UnitSpecies* a, const UnitSpecies* b) {
    if (a->constancy != b->constancy) return a->constancy > b->constancy;
    return a->name < b->name;
  });
  const std::set<int> held(sampleCodes.begin(), sampleCodes.end());
  std::set<int> said;
  for (const UnitSpecies* u : constants) {
    if (!said.insert(u->code).second) continue;
    (held.count(u->code) != 0 ? result.present : result.missing).push_back(u->name);
  }
  return result;
}

std::string ShortNumber(double v) {
  char buf[64];
  const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}
