// The files a run of `vegmatch classify` writes, opened, filled, and put in
// place or removed.
#include <cstdio>

#include "batch/run_files.h"
#include "outputs/workbook.h"
#include "tables/csv.h"

namespace {

constexpr const char* kResults = "results";
constexpr const char* kHabitats = "habitats";

// True when results go to a workbook.
bool ToWorkbook(const std::string& path) {
  return path.size() > 5 && path.compare(path.size() - 5, 5, ".xlsx") == 0;
}

// The habitats of the units the results name (in order of their first row):
// one row per unit and correspondence, of the classifications asked for (all
// when none are).
std::string HabitatRows(const std::vector<std::string>& codes, const UnitInfo& info,
                        const std::vector<std::string>& keys) {
  std::string out = "nvc_code,classification,habitat_code,habitat_name,relationship,inherited\n";
  for (const std::string& code : codes) {
    auto unit = info.habitats.find(code);
    if (unit == info.habitats.end()) continue;
    for (const HabitatLink& link : unit->second) {
      if (!HabitatAsked(link, keys)) continue;
      std::string line;
      AppendCsvField(line, code);
      line += ',';
      AppendHabitatFields(line, link);
      out += line + "\n";
    }
  }
  return out;
}

}  // namespace

bool RunFiles::Open(Console& con, const ClassifyOptions& opt, const TidyWriter& writer) {
  const bool workbook = opt.format == OutputFormat::kCsv && ToWorkbook(opt.output);
  if (!(workbook ? OpenSink(con, opt.output, book) && OpenMemorySink(results)
                 : OpenSink(con, opt.output, results))) {
    Diagnose(con, opt.output, "cannot create the results file: " + SystemReason());
    return false;
  }
  if (!opt.speciesLists.empty() && !OpenSink(con, opt.speciesLists, lists)) {
    Diagnose(con, opt.speciesLists, "cannot create the species lists file: " + SystemReason());
    return false;
  }
  if (workbook && opt.speciesLists.empty() && !OpenMemorySink(lists)) {
    Diagnose(con, opt.output, "cannot create a temporary file: " + SystemReason());
    return false;
  }
  if (!opt.habitatsOut.empty() && !OpenSink(con, opt.habitatsOut, habitats)) {
    Diagnose(con, opt.habitatsOut, "cannot create the habitats file: " + SystemReason());
    return false;
  }
  if (!opt.synoptic.empty() && !OpenSink(con, opt.synoptic, synoptic)) {
    Diagnose(con, opt.synoptic, "cannot create the synoptic tables file: " + SystemReason());
    return false;
  }
  if (!opt.report.empty() && !OpenSink(con, opt.report, report)) {
    Diagnose(con, opt.report, "cannot create the report file: " + SystemReason());
    return false;
  }
  resultRows.emplace(results.file);
  listRows.emplace(lists.file);
  habitatRows.emplace(habitats.file);
  if (opt.format == OutputFormat::kCsv) resultRows->Add(writer.Header());
  if (lists.file) listRows->Add(writer.ListsHeader());
  if (habitats.file) habitatRows->Add(writer.HabitatsHeader());
  return true;
}

void RunFiles::WriteSurvey(const ClassifyOptions& opt, const std::string& synopticCsv, const std::string& html) {
  if (synoptic.file && !WriteAll(synoptic.file.get(), synopticCsv)) Fail(opt.synoptic, "synoptic tables");
  if (report.file && !WriteAll(report.file.get(), html)) Fail(opt.report, "report");
}

bool RunFiles::Finish(const ClassifyOptions& opt) {
  if (!resultRows->Finish()) Fail(opt.output, kResults);
  if (!listRows->Finish()) FailLists(opt);
  if (!habitatRows->Finish()) Fail(opt.habitatsOut, kHabitats);
  return failed_.empty();
}

bool RunFiles::Close(Console& con, const ClassifyOptions& opt, const UnitInfo& info, bool keep) {
  const bool sheets = !book.file || !keep || WriteResultsWorkbook(con, opt, info);
  if (!CloseSink(con, book, keep && sheets) || !sheets) Fail(opt.output, kResults);
  if (!CloseSink(con, results, keep)) Fail(opt.output, kResults);
  if (!CloseSink(con, lists, keep)) FailLists(opt);
  if (!CloseSink(con, habitats, keep)) Fail(opt.habitatsOut, kHabitats);
  if (!CloseSink(con, synoptic, keep)) Fail(opt.synoptic, "synoptic tables");
  if (!CloseSink(con, report, keep)) Fail(opt.report, "report");
  return failed_.empty();
}

void RunFiles::SayFailed(Console& con) const {
  for (const auto& [path, what] : failed_) Diagnose(con, path, std::string("the ") + what + " could not be written");
}

bool RunFiles::WriteAll(std::FILE* fp, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), fp) == text.size() && std::fflush(fp) == 0;
}

void RunFiles::FailLists(const ClassifyOptions& opt) {
  if (opt.speciesLists.empty()) {
    Fail(opt.output, kResults);
  } else {
    Fail(opt.speciesLists, "species lists");
  }
}

void RunFiles::Fail(const std::string& path, const char* what) {
  const std::string shown = path.empty() ? "-" : path;
  for (const auto& f : failed_) {
    if (f.first == shown) return;
  }
  failed_.emplace_back(shown, what);
}

bool RunFiles::WriteResultsWorkbook(Console& con, const ClassifyOptions& opt, const UnitInfo& info) {
  std::vector<WorkbookSheet> sheets(3);
  sheets[0].name = "results";
  sheets[1].name = "species lists";
  sheets[2].name = "habitats";
  if (!ReadSinkText(results, sheets[0].csv) || !ReadSinkText(lists, sheets[1].csv)) return false;
  sheets[2].csv = HabitatRows(named.InOrder(), info, opt.habitats);
  std::string error;
  if (!WriteWorkbook(book.temp.empty() ? book.path : book.temp, sheets, error)) {
    Diagnose(con, opt.output, error);
    return false;
  }
  return true;
}
