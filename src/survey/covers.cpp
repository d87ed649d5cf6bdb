// Cover values as surveys write them, read on the scale of the run.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "survey/covers.h"
#include "console/console.h"

namespace {

// A plain decimal number, with a point or a decimal comma; false otherwise.
bool ReadNumber(std::string_view t, double& value) {
  if (t.empty() || t.size() > 24) return false;
  std::string s(t);
  bool point = false;
  for (char& c : s) {
    if (c == ',') c = '.';
    if (c == '.') {
      if (point) return false;
      point = true;
    } else if (std::isdigit(static_cast<unsigned char>(c)) == 0) {
      return false;
    }
  }
  if (s == ".") return false;
  value = std::strtod(s.c_str(), nullptr);
  return true;
}

// Above this a double has no digit after the third decimal place that its
// text could round away: the text reads back as the value itself.
constexpr double kWholeThousandths = 8796093022208.0;  // 2^43

// v * scale (v >= 0, v * scale < 2^53) rounded to a whole number as printf
// rounds it: to the nearest, half to even on an exact tie. Each step's sign is
// exact: fma rounds the exact difference once, and no difference is so small
// that it rounds to zero.
int64_t RoundScaled(double v, double scale) {
  double k = std::floor(v * scale);
  if (std::fma(v, scale, -k) < 0) k -= 1;
  if (std::fma(v, scale, -(k + 1)) >= 0) k += 1;
  const double half = std::fma(v, scale, -(k + 0.5));
  const auto n = static_cast<int64_t>(k);
  if (half > 0 || (half == 0 && n % 2 != 0)) return n + 1;
  return n;
}

int DigitsOf(int64_t v) {
  int d = 1;
  for (; v >= 10; v /= 10) ++d;
  return d;
}

int64_t PowerOfTen(int n) {
  int64_t p = 1;
  while (n-- > 0) p *= 10;
  return p;
}

// Covers far beyond any scale are no covers (sample entry holds ten times a
// cover in 16 bits).
constexpr double kLargestCover = 1000.0;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

constexpr long kScaleCheckMinimum = 10;  // covers needed before the scale is judged

}  // namespace

double RoundedCover(double v) {
  if (!(v < kWholeThousandths)) return v;
  return static_cast<double>(RoundScaled(v, 1000)) / 1000;
}

double CoverTenths(double v) {
  if (!(v < kWholeThousandths)) return v;
  return static_cast<double>(RoundScaled(v, 10)) / 10;
}

std::string CoverText(double v) {
  if (v == std::floor(v) && std::fabs(v) < 1e9) return std::to_string(static_cast<long>(v));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.3f", v);
  std::string s = buf;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

CoverWord CoverWordOf(double cover) {
  constexpr size_t kWordRead = 6;  // characters of a cover word sample entry reads
  if (!(cover >= 0 && cover < kWholeThousandths)) return {CoverText(cover).size(), 0};
  const int64_t k = RoundScaled(cover, 1000);
  const int64_t whole = k / 1000;
  const int64_t thousandths = k % 1000;
  const int digits = DigitsOf(whole);
  const int decimals = thousandths == 0 ? 0 : thousandths % 100 == 0 ? 1 : thousandths % 10 == 0 ? 2 : 3;
  const size_t length = static_cast<size_t>(digits + (decimals > 0 ? 1 + decimals : 0));
  if (length <= kWordRead) return {length, static_cast<double>(k) / 1000};
  // Cut to its first six characters: digits of the whole part alone, or the
  // whole part, the point and the decimals that still fit.
  const int kept = static_cast<int>(kWordRead) - digits - 1;
  if (kept < 0) return {length, static_cast<double>(whole / PowerOfTen(digits - static_cast<int>(kWordRead)))};
  const int64_t cut = whole * PowerOfTen(kept) + thousandths / PowerOfTen(3 - kept);
  return {length, static_cast<double>(cut) / static_cast<double>(PowerOfTen(kept))};
}

void CoverScaleSeen::Add(double v) {
  ++numbers;
  max = std::max(max, v);
  const bool whole = std::floor(v) == v;
  if (!whole) ++fractions;
  if (whole && v >= 1 && v <= 10) ++wholeOneToTen;
}

void CoverScaleSeen::Merge(const CoverScaleSeen& later) {
  numbers += later.numbers;
  wholeOneToTen += later.wholeOneToTen;
  max = std::max(max, later.max);
  fractions += later.fractions;
}

void CheckScale(const CoverScaleSeen& seen, int16_t nCoverScale, std::vector<InputProblem>& problems) {
  if (seen.numbers < kScaleCheckMinimum) return;
  if (nCoverScale == kPercentScale && seen.wholeOneToTen == seen.numbers) {
    const char* likely = seen.max <= 5 ? "Domin or Braun-Blanquet classes" : "Domin classes";
    problems.push_back({0,
                        Fmt("every cover is a whole number from 1 to 10 (%ld covers), read as percent: the data look "
                            "like %s; if so, use --scale %s",
                            seen.numbers, likely, seen.max <= 5 ? "domin or --scale braun-blanquet" : "domin"),
                        false});
    return;
  }
  const double limit = CoverScaleOf(nCoverScale).limit;
  if (nCoverScale != kPercentScale && (seen.max > limit || seen.fractions > 0)) {
    problems.push_back({0,
                        Fmt("covers above %g or with decimals (largest %g, %ld with decimals) read as %s classes: the "
                            "data look like percent covers; if so, use --scale percent",
                            limit, seen.max, seen.fractions, CoverScaleOf(nCoverScale).word),
                        false});
  }
}


CoverValue ReadCoverValue(std::string_view text, double scaleLimit) {
  const std::string t = LowerAscii(Trim(text));
  if (t.empty() || t == "na" || t == "n/a" || t == "nan") return {CoverCode::kMissing, 0};
  if (t == "+" || t == "r") return {CoverCode::kTrace, kTraceCover};
  if (t == "p" || t == "present" || t == "x") return {CoverCode::kPresenceMark, kTraceCover};
  double v = 0;
  if (ReadNumber(t, v)) return {v > scaleLimit ? CoverCode::kAboveScale : CoverCode::kNumber, v};
  if (t.size() > 1 && t.back() == '%' && ReadNumber(Trim(std::string_view(t).substr(0, t.size() - 1)), v)) {
    return {CoverCode::kPercentSign, v};
  }
  // A range: two numbers around a hyphen, an en dash or "to", a percent sign at the end.
  std::string r = t;
  if (!r.empty() && r.back() == '%') r.pop_back();
  for (const char* dash : {"\xE2\x80\x93", " to ", "-"}) {
    const size_t at = r.find(dash);
    if (at == std::string::npos || at == 0) continue;
    double lo = 0;
    double hi = 0;
    if (ReadNumber(Trim(std::string_view(r).substr(0, at)), lo) &&
        ReadNumber(Trim(std::string_view(r).substr(at + std::string_view(dash).size())), hi) && lo <= hi) {
      return {CoverCode::kRange, (lo + hi) / 2};
    }
  }
  return {CoverCode::kUnreadable, 0};
}

void TakeCovers(SurveyTable& table, const CoverRules& rules, std::vector<InputProblem>& problems) {
  CoverScaleSeen seen;
  TakeCovers(table, rules, problems, seen);
  CheckScale(seen, rules.nCoverScale, problems);
}

namespace {

// Reads one record's cover: false when the record is left out. What is
// doubtful is said with its cell, or refuses the record under --strict.
bool TakeCover(SurveyRecord& rec, const CoverRules& rules, const CoverScaleInfo& scale,
               std::vector<InputProblem>& problems, CoverScaleSeen& seen) {
  if (rules.presence) {
    rec.hasCover = false;
    return true;
  }
  const CoverValue c = ReadCoverValue(rec.coverWritten, scale.limit);
  if (c.code == CoverCode::kNumber || c.code == CoverCode::kTrace) {  // the usual cover: nothing to say
    if (c.code == CoverCode::kNumber) seen.Add(c.value);
    rec.cover = RoundedCover(c.value);
    rec.hasCover = true;
    return true;
  }
  const std::string written = Quoted(rec.coverWritten);
  std::string doubt;  // read as it most likely means, said; refused under --strict
  switch (c.code) {
    case CoverCode::kNumber:
    case CoverCode::kTrace:
      break;
    case CoverCode::kAboveScale:
      if (c.value > kLargestCover) {
        problems.push_back({rec.line, "cover " + written + " is far above the scale's maximum; the record is left out",
                            true, rec.col});
        return false;
      }
      // Sample entry says it and takes it, as the typed run does.
      if (rules.strict) doubt = Fmt("cover %s is above the scale's maximum %g", written.c_str(), scale.limit);
      break;
    case CoverCode::kMissing:
      problems.push_back({rec.line,
                          "no cover (" + (rec.coverWritten.empty() ? std::string("empty") : written) +
                              "); the record is left out (presence data: use --scale presence)",
                          true, rec.col});
      return false;
    case CoverCode::kUnreadable:
      problems.push_back({rec.line, "cover " + written + " is no cover value; the record is left out", true, rec.col});
      return false;
    case CoverCode::kPresenceMark:
      doubt = "cover " + written + " marks presence only; read as the scale's lowest class, " + CoverText(kTraceCover);
      break;
    case CoverCode::kPercentSign:
      if (rules.nCoverScale != kPercentScale) {
        problems.push_back({rec.line, "cover " + written + " is a percentage in " + scale.word +
                                          " data; the record is left out",
                            true, rec.col});
        return false;
      }
      doubt = "cover " + written + " has a percent sign; read as " + CoverText(c.value);
      break;
    case CoverCode::kRange:
      doubt = "cover " + written + " is a range; read as its midpoint " + CoverText(c.value);
      break;
  }
  if (!doubt.empty()) {
    if (rules.strict) {
      problems.push_back({rec.line, doubt.substr(0, doubt.find(';')) + "; the record is left out (--strict)", true,
                          rec.col});
      return false;
    }
    problems.push_back({rec.line, doubt, false, rec.col});
  }
  if (c.code == CoverCode::kAboveScale) seen.Add(c.value);
  rec.cover = RoundedCover(c.value);
  rec.hasCover = true;
  return true;
}

}  // namespace

void TakeCovers(SurveyTable& table, const CoverRules& rules, std::vector<InputProblem>& problems,
                CoverScaleSeen& seen) {
  const CoverScaleInfo& scale = CoverScaleOf(rules.nCoverScale);
  for (SurveySample& s : table.samples) {
    // The records kept are moved up over those left out, in place.
    size_t kept = 0;
    for (SurveyRecord& rec : s.records) {
      if (!TakeCover(rec, rules, scale, problems, seen)) continue;
      if (&s.records[kept] != &rec) s.records[kept] = std::move(rec);
      ++kept;
    }
    s.records.resize(kept);
  }
}
