// Cover values as surveys write them: numbers with a point or a decimal comma,
// the field codes for a trace ("+", "r") and for presence ("p", "x"), missing
// values, and what a scale's data should look like.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "survey/layouts.h"

enum class CoverCode {
  kNumber,
  kTrace,         // "+" or "r": the scale's lowest class, present
  kPresenceMark,  // "p", "present", "x"
  kMissing,       // empty, "NA"
  kPercentSign,   // "25%"
  kRange,         // "5-10": its midpoint
  kAboveScale,    // a number above the scale's maximum
  kUnreadable,    // a word, a negative number, anything else
};
struct CoverValue {
  CoverCode code;
  double value;  // on the scale; 0 where nothing could be read
};
// The lowest class of every scale, given for a trace.
constexpr double kTraceCover = 1.0;
CoverValue ReadCoverValue(std::string_view text, double scaleLimit);

// ---- covers as numbers -------------------------------------------------------------
// A cover is kept to three decimals, as its text (CoverText) writes it: the
// value of that text, without writing it. Exact: the rounding is that of the
// text (half to even on an exact tie), and the result the double the text
// reads as.
double RoundedCover(double v);
// The same to one decimal (the mean of pooled covers).
double CoverTenths(double v);
// A cover as text: fixed, with a point, at most three decimals ("12.5", "3").
std::string CoverText(double v);
// A cover of RoundedCover as a species line of sample entry writes it
// (CoverText): how many characters it takes, and the value sample entry reads
// from it (its first six characters; as a decimal number where they hold a
// point, else as a whole one).
struct CoverWord {
  size_t length;
  double value;
};
CoverWord CoverWordOf(double cover);

struct CoverRules {
  int16_t nCoverScale;
  bool presence;  // the names alone count: covers are not read
  bool strict;    // what is doubtful is refused, not read as it most likely means
};
// Reads the cover of every record of the table: it becomes a number (its
// RoundedCover; no cover for presence data), or the record is left out. What is
// doubtful is said with its cell. When the covers do not look like the scale's
// (whole numbers 1-10 throughout read as percent; percent-like values on a class
// scale), one warning names the likely scale.
void TakeCovers(SurveyTable& table, const CoverRules& rules, std::vector<InputProblem>& problems);

// What the numbers of a survey's covers look like, for a table read in parts:
// TakeCovers adds each part's covers, CheckScale judges them all at the end.
struct CoverScaleSeen {
  long numbers = 0;
  long wholeOneToTen = 0;  // whole numbers 1..10
  double max = 0;
  long fractions = 0;
  void Add(double v);
  void Merge(const CoverScaleSeen& later);
};
void TakeCovers(SurveyTable& table, const CoverRules& rules, std::vector<InputProblem>& problems,
                CoverScaleSeen& seen);
void CheckScale(const CoverScaleSeen& seen, int16_t nCoverScale, std::vector<InputProblem>& problems);
