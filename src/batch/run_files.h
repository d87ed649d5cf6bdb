// The files a run of `vegmatch classify` writes: the results, the species
// lists and the habitats, each written a whole sample at a time beside its
// final name (or, for a workbook, into temporary files whose text becomes its
// sheets at the end); the synoptic tables and the report, written whole once
// the run is over. Every one is put in place only when the run ends well.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "batch/options.h"
#include "outputs/sink.h"
#include "outputs/tidy.h"
#include "outputs/units.h"

// The units the results name, each once, in order of their first row.
class NamedUnits {
 public:
  void Add(const std::vector<std::string>& codes) {
    for (const std::string& c : codes) {
      if (seen_.insert(c).second) order_.push_back(c);
    }
  }
  const std::vector<std::string>& InOrder() const { return order_; }

 private:
  std::unordered_set<std::string> seen_;
  std::vector<std::string> order_;
};

class RunFiles {
 public:
  Sink results;
  Sink lists;
  Sink habitats;
  Sink book;  // the workbook, when the results go to one (results and lists then in memory)
  Sink synoptic;
  Sink report;
  std::optional<RowWriter> resultRows;
  std::optional<RowWriter> listRows;
  std::optional<RowWriter> habitatRows;
  NamedUnits named;  // for the workbook's habitats sheet

  bool Open(Console& con, const ClassifyOptions& opt, const TidyWriter& writer);
  // The synoptic tables and the report, written whole once the run is over.
  void WriteSurvey(const ClassifyOptions& opt, const std::string& synopticCsv, const std::string& html);
  // False when some of it could not be written (SayFailed names what).
  bool Finish(const ClassifyOptions& opt);
  // Puts the files in place (`keep`) or removes what was written; false when
  // something could not be written.
  bool Close(Console& con, const ClassifyOptions& opt, const UnitInfo& info, bool keep);
  // Says which files could not be written, each once.
  void SayFailed(Console& con) const;

 private:
  static bool WriteAll(std::FILE* fp, const std::string& text);
  // The species lists go to their own file, or to a sheet of the workbook.
  void FailLists(const ClassifyOptions& opt);
  void Fail(const std::string& path, const char* what);
  std::vector<std::pair<std::string, const char*>> failed_;

  // The results, species lists and habitats as the sheets of the workbook,
  // written under the name its sink puts in place.
  bool WriteResultsWorkbook(Console& con, const ClassifyOptions& opt, const UnitInfo& info);
};
