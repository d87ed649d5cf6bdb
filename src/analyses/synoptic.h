// Synoptic tables: the quadrats of a site or stand (a group) tallied species by
// species - how many quadrats hold each, its constancy class and the covers
// written - set beside the floristic table of an NVC unit as the association
// file gives it (constancy class and Domin range of each species); and the
// group pooled into one frequency sample that can be classified like any
// other.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/common.h"
#include "tables/csv.h"
#include "refdata/refdata.h"
#include "sample/sample.h"

// ---- the units' floristic tables ------------------------------------------------------
// A species line of a unit's table.
struct UnitSpecies {
  int code;           // dictionary code
  std::string name;   // the full name the table gives (the current name)
  int constancy;      // class 1..5 (I..V)
  std::string domin;  // Domin range as written ("3-10", "4"); empty when the line gives none
};

// The association file's tables by unit code: each unit's species in file
// order, and the name the tables give each species code.
struct UnitTables {
  std::map<std::string, std::vector<UnitSpecies>, std::less<>> units;
  std::map<int, std::string> names;  // code -> the name of its first line
  // The unit's species; null for a unit the file does not hold.
  const std::vector<UnitSpecies>* Of(std::string_view unit) const;
  // The name the tables give the code; null when no unit holds it.
  const std::string* NameOf(int code) const;
};

// The units' tables as the loaded association file gives them. A line's
// constancy is its fifth field (I..V), or where that is missing or no class,
// the one its quant stands for (quant = 10 (constancy - 1) + the largest Domin
// value). The lines the reference loader refused (and said), and those of a
// blank unit code, are passed over; a unit's lines of every block of its
// code are its species.
void BuildUnitTables(const RefData& ref, UnitTables& tables);

// ---- constancy ------------------------------------------------------------------------
// The constancy class of a species in `quadrats` of `total` quadrats: a class
// covers (lower, upper] in percent, I 0-20, II 20-40, III 40-60, IV 60-80,
// V 80-100; so 20 % is I, 20.5 % and 21 % are II, 80 % is IV. 0 for a species
// in no quadrat (or a group of none). Worked out in whole numbers, exactly.
int ConstancyClass(int quadrats, int total);
// "I".."V"; "" for 0.
const char* ConstancyText(int constancyClass);

// ---- a group's tally ---------------------------------------------------------------------
// A species of a group as the tally keeps it.
struct GroupSpecies {
  int code = 0;            // dictionary code; 0 for a species the tables do not hold
  std::string shortName;   // the short name when it was added (the key of those without a code)
  std::string name;        // shown: the current name of a dictionary species, else as written
  int row = 0;             // the dictionary row it was entered under (0: none)
  SourcePos where;         // its first record
  int quadrats = 0;        // quadrats holding it
  // Its cover in each quadrat as the input wrote it on its scale (the largest
  // of its records there): the quadrats with one, the least, the largest and
  // their sum. Not kept for presence data.
  int covers = 0;
  double coverMin = 0;
  double coverMax = 0;
  double coverSum = 0;
  // Its percent covers (completed entries) summed over the quadrats: the
  // number of quadrats times its mean percent cover where present.
  double percentSum = 0;
};

// The quadrats of one group, added one at a time in input order, each as its
// input gave it (the records, whose covers are as written) and as entry
// completed it (the species it holds, in percent cover). A species is told by
// its dictionary code; one the tables do not hold (codes from 9001, given per
// run and used again) by its short name when it is added. A record counts for
// the completed entry its name was entered under (the same lookup as entry's);
// records entry left out, or dropped at completion (beyond the species group),
// count for nothing.
class GroupTally {
 public:
  // `tables` (may be null) names the dictionary species; `presence`: the
  // inputs are presence data (--scale presence), whose records carry the
  // nominal cover kPresenceCover rather than a cover written, so the group has
  // no cover range (a record of cover data cannot tell a written 5 from it).
  GroupTally(const RefData& ref, const UnitTables* tables, std::string name, bool presence);

  // Adds one quadrat: its input and its completed sample. Call before the new
  // species of the run are forgotten (ForgetNewSpecies).
  void Add(const SampleInput& input, const SampleEntries& sample);

  const std::string& Name() const { return name_; }
  bool Presence() const { return presence_; }
  int Quadrats() const { return quadrats_; }
  // In order of first appearance.
  const std::vector<GroupSpecies>& Species() const { return species_; }

 private:
  const RefData& ref_;
  const UnitTables* tables_;
  std::string name_;
  bool presence_;
  int quadrats_ = 0;
  std::vector<GroupSpecies> species_;
  std::vector<bool> recorded_;  // by species: a record of it was met
  // Every sample of a survey passes here, in the one thread that writes: the
  // species of a code are found by index, and a quadrat's own by a mark.
  std::vector<int32_t> byCode_;  // code -> species + 1 (0: none yet)
  std::map<std::string, size_t> byName_;
  std::vector<int32_t> markedIn_;   // by species: the quadrat that last held it
  std::vector<double> coverHere_;   // by species: its cover written in that quadrat (-1: none)
  std::vector<size_t> here_;        // the species of the quadrat being added
};

// The group as one frequency sample, as PoolSamples pools a survey: the
// header's maximum frequency is the number of quadrats (above kMaxFrequency,
// kMaxFrequency, and every frequency scaled to it, rounded, at least 1); one
// record per species, in order of first appearance, with its dictionary row
// and lookup key (its short name), frequency = its quadrats, cover = the mean
// of its covers as written, to one decimal as PoolSamples writes it (presence
// data: kPresenceCover). A species the tables do not hold has row 0 and its
// short name as key, so entry finds it or makes it a new species again. The
// header is named by the group's name (its first 30 characters); its position
// and the records' are those of their first record. The names the records
// view are kept in `store`.
SampleInput GroupAsSample(const GroupTally& group, TextStore& store);

// ---- the group beside a unit --------------------------------------------------------------
// One row of a synoptic table: a species of the group, or of the unit's table
// and absent from the group.
struct SynopticRow {
  std::string species;  // the name shown
  int code = 0;         // dictionary code; 0: the tables do not hold it
  int groupQuadrats = 0;
  double groupFrequency = 0;  // percent of the group's quadrats
  int groupConstancy = 0;     // 1..5; 0: absent from the group
  bool hasCover = false;      // cover range known (a species of the group, cover data)
  double coverMin = 0;
  double coverMax = 0;
  int unitConstancy = 0;  // 1..5; 0: not in the unit's table
  std::string unitDomin;
  std::string note;  // kUnitConstantMissing, kGroupConstantNotInUnit or empty
};
inline constexpr const char kUnitConstantMissing[] = "unit constant missing";
inline constexpr const char kGroupConstantNotInUnit[] = "group constant not in unit";
// The columns of the synoptic rows.
const std::vector<ColumnSpec>& SynopticColumns();

// The group's species, by falling frequency and then name, then the species of
// the unit's table absent from the group, by falling constancy and then name.
// A unit constant (IV-V) absent from the group is noted, and so is a group
// constant (IV-V) the unit's table lacks. A unit the file does not hold (or
// none, "") gives the group's rows alone, with no unit fields and no notes.
// A cover as short as it reads back ("0.5", "3", "25").
std::string ShortNumber(double v);

std::vector<SynopticRow> SynopticTable(const GroupTally& group, const UnitTables& tables, std::string_view unit);

// The header line: `prefixHeader` (the caller's identifying columns; empty:
// none), a comma, the synoptic columns, a line end.
std::string SynopticHeader(const std::string& prefixHeader);
// The rows of SynopticTable as CSV lines appended to `out`, each beginning
// with `prefix` (the caller's identifying fields, without a comma at its end;
// empty: none) and then group,quadrats,unit and the row's fields. Frequency to
// one decimal; covers as short as they read back; constancy as I..V.
void AppendSynopticRows(std::string& out, const std::string& prefix, const GroupTally& group,
                        const UnitTables& tables, std::string_view unit);

// The unit's constants (classes IV and V) that a sample holds and those it
// lacks, by the names the tables give them, in order of falling constancy and
// then name. `sampleCodes`: the species codes of the sample (any order).
struct UnitConstantsOfSample {
  std::vector<std::string> present;
  std::vector<std::string> missing;
};
UnitConstantsOfSample UnitConstants(const UnitTables& tables, std::string_view unit,
                                    const std::vector<int>& sampleCodes);
