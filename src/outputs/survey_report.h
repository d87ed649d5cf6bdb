// The survey report: a classification run as one web page a survey team can
// hand to a client. The run fills the plain model below; SurveyReportHtml
// renders it as a self-contained file (inline CSS and SVG, a little script to
// sort tables and filter samples, nothing fetched) that prints well.
//
// Fits, consensus, Czekanowski, margins and probabilities are fractions (0..1)
// as scoring gives them, shown as percentages like the tidy results; the
// indicator values are on the 0..12 scale of the Ellenberg-type indices.
#pragma once

#include <cmath>
#include <string>
#include <utility>
#include <vector>

struct ReportFit {
  std::string unit, name, fitClass;
  double meanFit = 0, consensus = 0, czekanowski = 0;
};
// An indicator (F L N R S): the sample's or group's value against the unit's
// mean +- sd; NaN where there is none.
struct ReportIndicator {
  char letter = '?';
  double value = NAN, unitMean = NAN, unitSd = NAN;
  bool outside = false;
};
struct ReportSample {
  std::string name;   // the sample's name in full
  std::string group;  // the group it belongs to
  int species = 0;
  std::vector<ReportFit> fits;         // the top fits, in the ranking's order
  std::string agreement, confidence;   // "all"/"two"/"none"; "high"/"medium"/"low"
  double margin = 0, pCorrect = 0;
  std::vector<std::string> constantsPresent, constantsMissing;  // the first unit's constants (IV-V)
  std::vector<ReportIndicator> indicators;
};
// A row of a group's synoptic table; frequency is a percentage of the group's
// quadrats (0..100). A note of "unit constant missing" or "group constant not
// in unit" marks the row.
struct ReportSynopticRow {
  std::string species;
  int quadrats = 0;
  double frequency = 0;
  std::string constancy, coverRange, unitConstancy, unitDomin, note;
};
struct ReportHabitat {
  std::string classification, code, name, relationship;
  bool inherited = false;
};
struct ReportGroup {
  std::string name;
  int quadrats = 0;
  std::string unit, unitName;                // the best unit of the group pooled as one sample
  std::vector<ReportSynopticRow> synoptic;   // the group's species, then the unit's the group lacks
  std::vector<ReportIndicator> indicators;   // group mean against the unit's mean +- sd
  std::vector<ReportHabitat> habitats;       // the unit's habitat correspondences
};
struct ReportMessage {
  std::string where, what;  // every refused row and unknown name as the run said it
};
struct ReportRun {
  std::string tables, ranking;                                // tables folder; "consensus", "fit" or "czekanowski"
  std::vector<std::pair<std::string, std::string>> settings;  // option -> value
  std::vector<std::pair<std::string, long>> inputs;           // input -> samples read
  std::vector<ReportMessage> messages;
};
struct SurveyReport {
  ReportRun run;
  std::vector<ReportGroup> groups;
  std::vector<ReportSample> samples;
};

// The page, whole.
std::string SurveyReportHtml(const SurveyReport& report);
