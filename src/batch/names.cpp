// `vegmatch names`: the species names of survey files checked against the
// dictionary, one row per distinct name as written.
#include <map>
#include <memory>
#include <sstream>

#include <CLI/CLI.hpp>

#include "batch/batch.h"
#include "batch/inputs.h"
#include "batch/options.h"
#include "batch/results.h"
#include "batch/units.h"

namespace {

const char* StatusName(NameStatus status) {
  switch (status) {
    case NameStatus::kExact: return "exact";
    case NameStatus::kOlderName: return "older-name";
    case NameStatus::kNormalised: return "normalised";
    default: return "unknown";
  }
}

}  // namespace

namespace {

int RunNames(int argc, const char* const* argv, Console& con) {
  ClassifyOptions opt = DefaultClassifyOptions();
  CLI::App app("Checks the species names of survey files against the dictionary: one CSV row "
               "per distinct name\nas written (name, records, status, code, dictionary_name, "
               "suggestions). Exit status 0\nwhen every name resolved, 1 otherwise.",
               "vegmatch names");
  std::string input = "auto";
  AddTablesAndInputOptions(app, opt.tables, input, "by content");
  std::string layout = "auto";
  AddSurveyOptions(app, opt, layout);
  app.add_option("-o,--output", opt.output, "where the CSV goes")
      ->type_name("FILE")
      ->default_str("standard output");
  app.add_option("FILE", opt.files, "inputs; - or none: standard input");
  const int parsed = ParseCommand(app, argc, argv, con, "names");
  if (parsed >= 0) return parsed;
  opt.input = InputKindOf(input);
  TakeSurveyOptions(layout, opt);
  // Names need no cover: every row is taken.
  opt.scale = ScaleKind::kPresence;

  std::istringstream noInput;
  NullBuffer nullBuffer;
  std::ostream screen(&nullBuffer);
  Console quiet(noInput, screen, con.err, con.dir);
  auto ref = std::make_unique<RefData>();
  std::string folder;
  if (!LoadBatchTables(con, quiet, opt.tables, folder, *ref)) return kClassifyTablesFailed;
  const NameResolver resolver(*ref, folder);
  BlockRules rules;
  rules.presence = true;
  rules.checkCovers = false;
  rules.sayRepeats = false;
  Tally tally;
  InputStream stream(con, opt, tally);
  stream.Open();

  // Distinct names as written, in order of first appearance.
  std::vector<std::string> order;
  std::map<std::string, long> records;
  while (std::shared_ptr<SampleBatch> batch = stream.Next(rules)) {
    for (const SampleInput& s : batch->samples) {
      for (const SampleRecord& r : s.records) {
        if (r.nameGuessed || r.written.empty()) continue;
        const std::string written(r.written);
        if (records[written]++ == 0) order.push_back(written);
      }
    }
  }
  Sink sink;
  if (!OpenSink(con, opt.output, sink)) {
    Diagnose(con.err, opt.output, "cannot create the output file: " + SystemReason());
    return kClassifyOutputFailed;
  }
  std::string out = "name,records,status,code,dictionary_name,suggestions\n";
  bool allResolved = true;
  for (const std::string& written : order) {
    const NameMatch& m = resolver.Resolve(written);
    std::string line;
    AppendCsvField(line, written);
    line += "," + std::to_string(records[written]) + "," + StatusName(m.status) + ",";
    if (m.row != 0) {
      line += std::to_string(ref->arrSpecies[m.row].nSpeciesCode) + ",";
      AppendCsvField(line, ref->arrSpecies[m.row].szFullName);
      line += ",";
    } else {
      allResolved = false;
      std::string suggestions;
      for (const std::string& s : resolver.Suggest(written)) {
        suggestions += (suggestions.empty() ? "" : "; ") + s;
      }
      line += ",,";
      AppendCsvField(line, suggestions);
    }
    out += line + "\n";
  }
  FileSay(sink.file.get(), "%s", out.c_str());
  if (!CloseSink(con, sink)) {
    Diagnose(con.err, opt.output.empty() ? "-" : opt.output, "the output could not be written");
    return kClassifyOutputFailed;
  }
  if (tally.inputFailed) return kClassifyInputFailed;
  return allResolved ? kClassifyOk : kClassifyInputFailed;
}


}  // namespace

int NamesMain(int argc, const char* const* argv, Console& con) {
  return StopsCleanly(con, [&] { return RunNames(argc, argv, con); });
}
