// What a run gathers beside its rows for the survey outputs: the confidence of
// each sample's first place and its indicator values, the groups of samples
// (--group-by; without it the whole run is one group) with their synoptic
// tables, each group classified as one pooled sample, and the report.
#pragma once

#include <future>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analyses/confidence.h"
#include "analyses/indicators.h"
#include "survey/inputs.h"
#include "batch/options.h"
#include "outputs/survey_report.h"
#include "analyses/synoptic.h"
#include "outputs/units.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "scoring/scoring.h"

class SurveySummary {
 public:
  SurveySummary(const ClassifyOptions& opt, const RefData& ref, const UnitInfo& info);
  // Starts making the tables the outputs read (the units' floristic tables
  // from the loaded association table, the indicator values) on a thread of
  // their own, once the reference tables are loaded, while the inputs open.
  void StartLoading(const std::string& folder);
  // The tables read and the columns that group the samples; false when they
  // cannot be had (said).
  bool Open(Console& con, const std::string& folder, const RunInputs& inputs);
  // Whether the samples are gathered into groups (a synoptic table or a report).
  bool Grouping() const { return grouping_; }
  const IndicatorTables& Indicators() const { return indicators_; }

  // On a scoring thread, after the sample is scored.
  void Summarise(const SampleState& sample, const SampleInput& input, const ScoringState& sc,
                 SampleSummary& out) const;
  // In input order: the sample into its group, and its part of the report.
  void Add(const SampleInput& input, const SampleState& sample, SampleSummary& s);
  // After the last sample: each group entered as one pooled frequency sample
  // and scored; its first unit is the group's unit.
  void ClassifyGroups(Console& quiet, RefData& ref, RunSettings& rs, ScoringState& sc);

  // The synoptic tables of every group beside its unit, as tidy CSV.
  std::string SynopticCsv() const;
  // The report: the run's inputs with the samples each gave, and what the run
  // said so far.
  std::string ReportHtml(const std::string& folder, const RunInputs& inputs, const std::vector<long>& samplesOfFile,
                         const std::vector<Message>& said);

 private:
  struct Group {
    std::vector<std::string> values;  // of the group columns
    std::unique_ptr<GroupTally> tally;
    std::string unit;  // its unit, once classified
  };
  std::string GroupName(const std::vector<std::string>& values) const;
  const ClassifyOptions& opt_;
  const RefData& ref_;
  const UnitInfo& info_;
  bool grouping_ = false;
  bool report_wanted_ = false;
  UnitTables units_;
  IndicatorTables indicators_;
  std::vector<size_t> groupColumns_;      // in the run's identifying columns
  std::vector<std::string> groupHeaders_;
  std::vector<Group> groups_;
  std::map<std::vector<std::string>, size_t> groupIndex_;
  SurveyReport report_;
  std::future<std::string> loaded_;  // the error of the tables' reading; empty: read
};
