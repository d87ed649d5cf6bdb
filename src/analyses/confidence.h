// How sure the first place of a scored sample is: whether the three rankings
// (mean fit, consensus, Czekanowski) name the same first unit or at least the
// same community, how far the first stands ahead of the second in the ranking
// the results use, and from those a class and the estimated probability that the
// first unit is the right one, looked up in a calibration table.
//
// The table (confidence_table.inc) is made by tools/calibrate.cpp from samples
// drawn from the association tables themselves with DrawSample below; the
// method and the figures are in docs/confidence.md.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "refdata/refdata.h"
#include "scoring/scoring.h"

// How many of the three rankings name the same first unit.
enum class Agreement : uint8_t { kNone, kTwo, kAll };
enum class ConfidenceClass : uint8_t { kLow, kMedium, kHigh };

// The measurable part: read off the fits, no table needed.
struct FirstPlaces {
  // The first unit of each ranking, indexed by RankBy (fit, consensus,
  // Czekanowski); ties go to the lower unit index, as the ranking breaks them.
  std::array<int32_t, 3> first;
  int32_t second;  // the second unit of the ranking used
  Agreement agreement;
  bool communityAgrees;  // the three first units belong to one community (CG3a, CG3b, CG3)
  // First minus second of the ranking used: for the fit in percent points of the
  // mean fit; for the consensus and Czekanowski's coefficient in percent of the
  // first's value, so that 10 means the second reaches 90 % of the first.
  double margin;
  bool scored;  // the first unit's key is above zero: the sample reached some unit
};

// One bin of the calibration: the samples of a ranking and an agreement level
// whose margin is at least marginFrom (and below the next bin's), and the share
// of them whose first unit was right.
struct CalibrationRow {
  RankBy by;
  Agreement agreement;
  bool communityAgrees;
  double marginFrom;
  double pCorrect;
  int32_t samples;  // drawn samples the share was estimated from
};
struct CalibrationTable {
  const CalibrationRow* rows;  // a group's bins in order of marginFrom, the first from 0
  size_t count;
  double highFrom;    // p_correct from which the class is high
  double mediumFrom;  // ... and medium; below it low
};
// The table the program ships (confidence_table.inc).
const CalibrationTable& ShippedCalibration();

struct Confidence {
  FirstPlaces places;
  ConfidenceClass level;
  double pCorrect;
};

// The first places of the fits of a scored sample (after ScoreAndRank, by any
// ranking): one pass over the units, the three rankings side by side.
FirstPlaces ReadFirstPlaces(const RefData& ref, const ScoringState& sc, RankBy by);
// The class and probability of first places under a table. A sample that
// reached no unit is low, with probability 0.
Confidence GradeFirstPlaces(const CalibrationTable& table, RankBy by, const FirstPlaces& places);
// Both, with the shipped table.
inline Confidence AssessConfidence(const RefData& ref, const ScoringState& sc, RankBy by) {
  return GradeFirstPlaces(ShippedCalibration(), by, ReadFirstPlaces(ref, sc, by));
}
// The class a probability falls in under a table.
ConfidenceClass ClassOf(const CalibrationTable& table, double pCorrect);

// The unit code without its sub-community letters: "CG3a" -> "CG3".
std::string CommunityOf(const char* unitCode);
// "all", "two", "none"; "high", "medium", "low".
const char* AgreementWord(Agreement a);
const char* ConfidenceWord(ConfidenceClass c);

// The columns of the tidy results: ",agreement,margin,confidence,p_correct",
// and a sample's fields (margin to one decimal, p_correct to two).
// The confidence's columns of the tidy results (agreement, margin, confidence,
// p_correct) and the field of each.
constexpr size_t kConfidenceColumns = 4;
const char* ConfidenceColumnName(size_t column);
void AppendConfidenceField(std::string& line, const Confidence& c, size_t column);
// Their names, and their fields, each after a comma.
void AppendConfidenceHeader(std::string& line);
void AppendConfidenceFields(std::string& line, const Confidence& c);

// ---- samples drawn from the tables -----------------------------------------------
// The least Domin class of every association line, by its row of
// arrTbNVCToSpeciesJoinTable (its line number in the file), from the Domin
// range the loaded association file gives it ("3-10", the last field of its
// sixth on); row 0 holds 0. False, with "FILE:LINE: what", when a line gives
// no range.
bool LeastDominOf(const RefData& ref, std::vector<int8_t>& least, std::string& error);

// A generator of its own, so that a seed draws the same samples with every
// standard library: SplitMix64.
class DrawRng {
 public:
  explicit DrawRng(uint64_t seed) : state_(seed) {}
  uint64_t Next();
  double Uniform();              // [0, 1)
  int Between(int lo, int hi);  // lo..hi, each alike

 private:
  uint64_t state_;
};

// Probability that a species of constancy class I..V is in a stand: the midpoint
// of the class (I 1-20 % -> 10.5 %, ..., V 81-100 % -> 90.5 %).
double PresenceOfClass(int constancyClass);

// A stand of a unit as its table describes it, as cover data in percent: each
// species of the unit's lines is present with the probability of its constancy
// class, its Domin class drawn alike from the line's range and turned into
// percent as the scoring tables map it (sc.nDominPercent). A draw with no
// species is drawn again.
void DrawSample(const RefData& ref, const ScoringState& sc, const std::vector<int8_t>& leastDomin, int unit,
                DrawRng& rng, SampleEntries& sample);
