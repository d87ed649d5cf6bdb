// The tidy results of `vegmatch classify`: the rows of a scored sample, its
// species lists and its habitats. Each column of the results is one entry of
// one table (TidyColumns): its name, the type of its fields and how a field is
// written.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "analyses/confidence.h"
#include "analyses/indicators.h"
#include "outputs/survey_report.h"
#include "outputs/units.h"
#include "common/common.h"
#include "console/console.h"
#include "refdata/refdata.h"
#include "sample/sample.h"
#include "scoring/scoring.h"

// A code of the tables without its blanks ("CG3a").
std::string Compact(const char* s);

// What the scoring of one sample gives the survey outputs, worked out on the
// scoring thread that scored it.
struct SampleSummary {
  Confidence confidence{};
  IndicatorMeans indicators;
  ReportSample report;  // filled when a report is written
};

// The columns of the tidy results and what their rows hold.
struct TidyColumns {
  std::vector<std::string> habitats;  // classification keys, in the order asked; empty: none
  bool indicators = false;            // indicator values beside the unit's
  int16_t fits = 5;                   // ranks written per sample
  RankBy rankBy = RankBy::kConsensus;  // the ranking the rows are in
};

struct TidyRow;
// One column of the results: its name, the type of its fields and how the
// field of a row is written (appended to the line, after its comma); `arg`:
// which habitat key or indicator it is of.
struct TidyColumn {
  std::string name;
  FieldType type;
  void (*write)(const TidyRow& row, size_t arg, std::string& line);
  size_t arg = 0;
};
// The columns of the results for these options, in order, after the
// sample's identity.
std::vector<TidyColumn> ResultColumns(const TidyColumns& cols);
// The columns of the species lists and of the habitats.
const std::vector<ColumnSpec>& ListColumns();
const std::vector<ColumnSpec>& HabitatColumns();

// The tidy results: one row per sample and rank, every row the same columns.
// Each row starts with the sample's name in full and its identifying fields
// (one column per column that names the samples of the inputs).
struct TidyWriter {
  TidyWriter(const TidyColumns& cols, const RefData& r, const UnitInfo& i, std::vector<std::string> ids,
             bool withFile, const IndicatorTables* ind)
      : opt(cols), ref(r), info(i), idHeaders(std::move(ids)), fileColumn(withFile), indicators(ind),
        columns(ResultColumns(cols)) {}
  TidyColumns opt;
  const RefData& ref;
  const UnitInfo& info;
  std::vector<std::string> idHeaders;  // the identifying columns of the inputs
  bool fileColumn = false;             // the first of them is the input's name
  const IndicatorTables* indicators = nullptr;  // the units' indicator values (--indicators)
  std::vector<TidyColumn> columns;     // of the results, after the identity

  // The header line of the results, of the species lists and of the habitats.
  std::string Header() const;
  std::string ListsHeader() const;
  std::string HabitatsHeader() const;
  // The first fields of a sample's rows: its name in full and its identifying fields.
  std::string Identity(const SampleState& sample, const SampleInput& input) const;
  // The rows of a scored sample, appended to out.
  // `summary`: the confidence of the first place (and the indicator values,
  // with --indicators) that every row of the sample carries.
  void Rows(const SampleState& sample, const std::string& identity, const ScoringState& sc, int16_t nAnalysisType,
            const SampleSummary& summary, std::string& out) const;
  // The matching analysis of every rank: one row per species and list.
  void SpeciesLists(const SampleState& sample, const std::string& identity, const ScoringState& sc,
                    std::string& out) const;
  // The codes of the units the places of a scored sample name, in rank order
  // (as the results' nvc_code column holds them), appended to `codes`.
  void UnitCodes(const ScoringState& sc, std::vector<std::string>& codes) const;
  // The habitat correspondences of every rank that names a unit, one row each:
  // those of the classifications of --habitats, or all when it is not given.
  void Habitats(const std::string& identity, const ScoringState& sc, std::string& out) const;
};
