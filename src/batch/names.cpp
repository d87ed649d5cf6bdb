// `vegmatch names`: the species names of survey files checked against the
// dictionary, one row per distinct name as written.
#include <map>
#include <memory>
#include <sstream>

#include <CLI/CLI.hpp>

#include "batch/batch.h"
#include "names/names_map.h"
#include "survey/inputs.h"
#include "tables/csv.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/sink.h"
#include "outputs/units.h"

namespace {

// Names that reached an entry by their full name (or name no taxon) need no look.
bool Sure(NameStatus status) {
  return status == NameStatus::kExact || status == NameStatus::kOlderName || status == NameStatus::kNormalised ||
         status == NameStatus::kAggregate || status == NameStatus::kNotTaxon;
}

// What a name may have meant: for an ambiguous name the entries it may be,
// for a name read by its short name or unknown the close names; none for others.
std::string SuggestionsOf(const NameResolver& resolver, const std::string& written, const NameMatch& m) {
  std::vector<std::string> names;
  if (m.status == NameStatus::kAmbiguous) {
    for (int row : m.candidates) names.push_back(resolver.CurrentName(row));
  } else if (m.status == NameStatus::kShortName || m.status == NameStatus::kUnknown) {
    names = resolver.Suggest(written);
  }
  std::string joined;
  for (const std::string& n : names) joined += (joined.empty() ? "" : "; ") + n;
  return joined;
}

// One row of the names list, or of the names map.
struct NameRow {
  std::string written;
  long records;
  NameMatch match;
};

}  // namespace

const std::vector<ColumnSpec>& NamesColumns() {
  static const std::vector<ColumnSpec> columns = {
      {"name", FieldType::kText},   {"records", FieldType::kWhole},         {"status", FieldType::kText},
      {"code", FieldType::kWhole},  {"dictionary_name", FieldType::kText},  {"suggestions", FieldType::kText}};
  return columns;
}

const std::vector<ColumnSpec>& NamesMapColumns() {
  static const std::vector<ColumnSpec> columns = {{"name", FieldType::kText},
                                                  {"use", FieldType::kText},
                                                  {"status", FieldType::kText},
                                                  {"suggestions", FieldType::kText}};
  return columns;
}

namespace {

std::string NamesList(const std::vector<NameRow>& rows, const RefData& ref, const NameResolver& resolver) {
  std::string out = ColumnNames(NamesColumns()) + "\n";
  for (const NameRow& r : rows) {
    const NameMatch& m = r.match;
    AppendCsvField(out, r.written);
    out += "," + std::to_string(r.records) + "," + NameStatusWord(m.status) + ",";
    if (m.row != 0) {
      out += std::to_string(ref.arrSpecies[m.row].nSpeciesCode) + ",";
      AppendCsvField(out, resolver.CurrentName(m.row));
    } else {
      out += ",";
    }
    out += ",";
    AppendCsvField(out, SuggestionsOf(resolver, r.written, m));
    out += "\n";
  }
  return out;
}

// The names map: name as written, the name to use (the dictionary name
// reached), then the status and suggestions.
std::string NamesMap(const std::vector<NameRow>& rows, const NameResolver& resolver) {
  std::string out = ColumnNames(NamesMapColumns()) + "\n";
  for (const NameRow& r : rows) {
    const NameMatch& m = r.match;
    AppendCsvField(out, r.written);
    out += ",";
    if (m.row != 0 && m.status != NameStatus::kGenusOnly) AppendCsvField(out, resolver.CurrentName(m.row));
    out += std::string(",") + NameStatusWord(m.status) + ",";
    AppendCsvField(out, SuggestionsOf(resolver, r.written, m));
    out += "\n";
  }
  return out;
}

// Writes `text` to `path` (standard output for "" or "-"), beside it first.
bool WriteOut(Console& con, const std::string& path, const std::string& text, const char* what) {
  Sink sink;
  if (!OpenSink(con, path, sink)) {
    Diagnose(con, path, std::string("cannot create the ") + what + " file: " + SystemReason());
    return false;
  }
  FileSay(sink.file.get(), "%s", text.c_str());
  if (!CloseSink(con, sink)) {
    Diagnose(con, path.empty() ? "-" : path, std::string("the ") + what + " could not be written");
    return false;
  }
  return true;
}

}  // namespace

namespace {

int RunNames(int argc, const char* const* argv, Console& con) {
  ClassifyOptions opt = DefaultClassifyOptions();
  CLI::App app("Checks the species names of survey files against the dictionary: one CSV row "
               "per distinct name\nas written (name, records, status, code, dictionary_name, "
               "suggestions). Exit status 0\nwhen every name reached an entry by its full name (or names no taxon), 1 otherwise.",
               "vegmatch names");
  std::string input = "auto";
  AddTablesAndInputOptions(app, opt.tables, input, "by content");
  std::string layout = "auto";
  AddSurveyOptions(app, opt, layout);
  app.add_option("-o,--output", opt.output, "where the CSV goes")
      ->type_name("FILE")
      ->default_str("standard output");
  app.add_option("--names-map", opt.namesMap, "a names map to check: names are listed as classify reads them with it")
      ->type_name("FILE")
      ->default_str("none");
  std::string mapOut;
  app.add_option("--map-out", mapOut,
                 "a names map to edit: name, name to use, status, suggestions (for classify --names-map)")
      ->type_name("FILE")
      ->default_str("none");
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
  NameResolver resolver(*ref, folder);
  if (!opt.namesMap.empty()) {
    std::map<std::string, std::string> map;
    if (!ReadNamesMap(opt.namesMap, resolver, map, con)) return kClassifyInputFailed;
    resolver.SetNamesMap(std::move(map));
  }
  BlockRules rules;
  rules.presence = true;
  rules.checkCovers = false;
  rules.sayRepeats = false;
  Tally tally;
  const InputRules inputRules = InputRulesOf(opt);
  InputStream stream(con, inputRules, tally);
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
  std::vector<NameRow> rows;
  bool allSure = true;
  for (const std::string& written : order) {
    const NameMatch& m = resolver.Resolve(written);
    allSure = allSure && Sure(m.status);
    rows.push_back(NameRow{written, records[written], m});
  }
  if (!mapOut.empty() && !WriteOut(con, mapOut, NamesMap(rows, resolver), "names map")) return kClassifyOutputFailed;
  if (!WriteOut(con, opt.output, NamesList(rows, *ref, resolver), "output")) return kClassifyOutputFailed;
  if (tally.inputFailed) return kClassifyInputFailed;
  return allSure ? kClassifyOk : kClassifyInputFailed;
}


}  // namespace

int NamesMain(int argc, const char* const* argv, Console& con) {
  return StopsCleanly(con, [&] { return RunNames(argc, argv, con); });
}
