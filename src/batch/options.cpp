// The options of `vegmatch classify`: one struct, its defaults in one function,
// read by CLI11, and a --help that shows every default.
#include <CLI/CLI.hpp>

#include <map>
#include <new>
#include <sstream>
#include <stdexcept>

#include "batch/options.h"
#include "outputs/units.h"

namespace {

const std::map<std::string, InputKind> kInputs = {{"blocks", InputKind::kBlocks},
                                                  {"csv", InputKind::kCsv}};
// The word of presence data on --scale: names alone, scored on the percent scale.
const char kPresenceWord[] = "presence";

// A --scale word: a cover scale of the settings, or presence data.
struct ScaleChoice {
  int16_t nCoverScale;
  ScaleKind scale;
};

std::map<std::string, ScaleChoice> ScaleChoices() {
  std::map<std::string, ScaleChoice> m;
  for (const CoverScaleInfo& s : CoverScales()) m[s.word] = ScaleChoice{s.nCoverScale, ScaleKind::kCover};
  m[kPresenceWord] = ScaleChoice{kPercentScale, ScaleKind::kPresence};
  return m;
}

// An analysis type is named by its word or its code.
std::map<std::string, int16_t> AnalysisChoices() {
  std::map<std::string, int16_t> m;
  for (const AnalysisTypeInfo& a : AnalysisTypes()) {
    m[a.word] = a.nAnalysisType;
    m[std::to_string(a.nAnalysisType)] = a.nAnalysisType;
  }
  return m;
}

std::map<std::string, int16_t> GroupChoices() {
  std::map<std::string, int16_t> m;
  for (const SpeciesGroupInfo& g : SpeciesGroups()) m[g.word] = g.nSpeciesGroupLimit;
  return m;
}

const std::map<std::string, OutputFormat> kFormats = {{"csv", OutputFormat::kCsv},
                                                      {"classic-csv", OutputFormat::kClassicCsv},
                                                      {"classic-text", OutputFormat::kClassicText}};

const std::map<std::string, RankBy> kRankings = {{"fit", RankBy::kFit},
                                                 {"consensus", RankBy::kConsensus},
                                                 {"czekanowski", RankBy::kCzekanowski}};

}  // namespace

RankBy RankingOf(const ClassifyOptions& opt) { return opt.format == OutputFormat::kCsv ? opt.rankBy : RankBy::kFit; }

InputRules InputRulesOf(const ClassifyOptions& opt) {
  InputRules r;
  r.files = opt.files;
  r.input = opt.input;
  r.layout = opt.layout;
  r.sampleCols = opt.sampleCols;
  r.poolBy = opt.poolBy;
  r.sheet = opt.sheet;
  r.nCoverScale = opt.nCoverScale;
  r.presence = opt.Presence();
  r.strict = opt.strict;
  r.allProblems = opt.allProblems;
  r.quiet = opt.quiet;
  return r;
}

TidyColumns TidyColumnsOf(const ClassifyOptions& opt) {
  return TidyColumns{opt.habitats, opt.indicators, opt.nFitsToOutput, RankingOf(opt)};
}

namespace {

template <typename T>
std::string Choices(const std::map<std::string, T>& m) {
  std::string s;
  for (const auto& [name, value] : m) s += (s.empty() ? "" : "|") + name;
  return s;
}

}  // namespace

int ParseCommand(CLI::App& app, int argc, const char* const* argv, Console& con,
                 const char* command) {
  try {
    std::vector<std::string> args;
    for (int i = argc - 1; i >= 1; --i) args.emplace_back(argv[i]);
    app.parse(args);
  } catch (const CLI::CallForHelp&) {
    con.out << app.help();
    return kClassifyOk;
  } catch (const CLI::ParseError& e) {
    Diagnose(con, command, e.what());
    con.err << app.help();
    return kClassifyUsage;
  }
  return -1;
}

void AddTablesAndInputOptions(CLI::App& app, std::string& tables, std::string& input,
                              const char* inputDefault) {
  app.add_option("--tables", tables, "folder with the three reference files")
      ->type_name("DIR")
      ->default_str("the bundled NVC tables; VEGMATCH_TABLES overrides");
  app.add_option("--input", input, "blocks (sample data-file format) or csv (a survey table; .xlsx workbooks are told by content)")
      ->type_name("KIND")
      ->check(CLI::IsMember({"auto", "blocks", "csv"}))
      ->default_str(inputDefault);
}

InputKind InputKindOf(const std::string& value) {
  return value == "blocks" ? InputKind::kBlocks : value == "csv" ? InputKind::kCsv : InputKind::kAuto;
}

void AddSurveyOptions(CLI::App& app, ClassifyOptions& opt, std::string& layout) {
  app.add_option("--sample-cols", opt.sampleCols,
                 "the columns that name a sample (e.g. Site,Year,Plot), carried to the results")
      ->type_name("COLUMNS")
      ->allow_extra_args(false)
      ->delimiter(',')
      ->default_str("site, year, group and quadrat columns by their usual names");
  app.add_option("--layout", layout,
                 "survey table: long (a row per species record), wide (a row per species, a column per "
                 "sample) or matrix (a row per sample, a column per species)")
      ->type_name("LAYOUT")
      ->check(CLI::IsMember({"auto", "long", "wide", "matrix"}))
      ->default_str("by content");
  app.add_option("--sheet", opt.sheet, "the sheet of an .xlsx workbook that holds the survey")
      ->type_name("NAME")
      ->default_str("the first");
}

void TakeSurveyOptions(const std::string& layout, ClassifyOptions& opt) {
  opt.layout = layout == "long" ? Layout::kLong : layout == "wide" ? Layout::kWide
             : layout == "matrix" ? Layout::kMatrix : Layout::kAuto;
  for (std::vector<std::string>* list : {&opt.poolBy, &opt.sampleCols}) {
    std::vector<std::string> kept;
    for (const std::string& c : *list) {
      if (!Trim(c).empty()) kept.push_back(Trim(c));
    }
    *list = kept;
  }
}

ClassifyOptions DefaultClassifyOptions() {
  ClassifyOptions o;
  o.input = InputKind::kAuto;
  o.nCoverScale = kPercentScale;
  o.scale = ScaleKind::kCover;
  o.nAnalysisType = 0;
  o.nSpeciesGroupLimit = kAllSpecies;
  o.nFitsToOutput = 5;
  o.format = OutputFormat::kCsv;
  o.rankBy = RankBy::kConsensus;
  o.indicators = false;
  o.layout = Layout::kAuto;
  o.jobs = 0;
  o.strict = false;
  o.quiet = false;
  o.allProblems = false;
  return o;
}

int ParseClassifyOptions(int argc, const char* const* argv, Console& con, ClassifyOptions& opt) {
  opt = DefaultClassifyOptions();
  CLI::App app("Classifies every sample of the files (sample blocks or a survey CSV) against "
               "the NVC tables,\nwithout a question, and writes the best fits.",
               "vegmatch classify");
  app.get_formatter()->column_width(34);
  const std::map<std::string, ScaleChoice> kScales = ScaleChoices();
  const std::map<std::string, int16_t> kAnalyses = AnalysisChoices();
  const std::map<std::string, int16_t> kGroups = GroupChoices();
  std::string input = "auto";
  std::string scale = CoverScaleOf(opt.nCoverScale).word;
  std::string analysis;
  std::string group = SpeciesGroupOf(opt.nSpeciesGroupLimit).word;
  std::string format = "csv";
  std::string habitats;
  int fits = opt.nFitsToOutput;
  std::string rankBy = RankingWord(opt.rankBy);

  AddTablesAndInputOptions(app, opt.tables, input,
                           "by content: a header with sample and species columns is csv");
  app.add_option("--scale", scale, "cover scale: " + Choices(kScales))
      ->type_name("SCALE")
      ->check(CLI::IsMember(kScales))
      ->capture_default_str();
  app.add_option("--analysis", analysis, "analysis: " + Choices(kAnalyses))
      ->type_name("TYPE")
      ->check(CLI::IsMember(kAnalyses))
      ->default_str(Fmt("%s; %s for --scale %s", AnalysisTypeOf(kMixedAnalysis).word,
                        AnalysisTypeOf(kCompositionAnalysis).word, kPresenceWord));
  app.add_option("--species-group", group, "species taken: " + Choices(kGroups))
      ->type_name("GROUP")
      ->check(CLI::IsMember(kGroups))
      ->capture_default_str();
  app.add_option("--fits", fits, "number of fits reported per sample")
      ->type_name("N")
      ->check(CLI::Range(1, kMaxFits))
      ->capture_default_str();
  app.add_option("--format", format, "results: " + Choices(kFormats))
      ->type_name("FORMAT")
      ->check(CLI::IsMember(kFormats))
      ->capture_default_str();
  app.add_option("-o,--output", opt.output, "results file")
      ->type_name("FILE")
      ->default_str("standard output");
  app.add_option("--species-lists", opt.speciesLists, "the matching analysis as tidy CSV")
      ->type_name("FILE")
      ->default_str("none");
  app.add_option("--habitats", habitats,
                 "habitat columns (and the classifications of --habitats-out), comma-separated: "
                 "ukhab,annex1,priority,phase1,eunis,all")
      ->type_name("LIST")
      ->default_str("none");
  app.add_option("--habitats-out", opt.habitatsOut,
                 "the habitat correspondences of each fit as tidy CSV, a row each (every classification "
                 "unless --habitats)")
      ->type_name("FILE")
      ->default_str("none");
  app.add_option("--pool-by", opt.poolBy,
                 "sample columns (e.g. Site,Year) whose quadrats are pooled into one frequency sample")
      ->type_name("COLUMNS")
      ->allow_extra_args(false)
      ->delimiter(',')
      ->default_str("none");
  std::string layout = "auto";
  AddSurveyOptions(app, opt, layout);
  app.add_option("--rank-by", rankBy,
                 "ranking of the tidy outputs (the classic formats rank by fit): consensus (mean fit x "
                 "Czekanowski), fit or czekanowski")
      ->type_name("RANKING")
      ->check(CLI::IsMember(kRankings))
      ->capture_default_str();
  app.add_option("--jobs", opt.jobs, "threads that score samples (results are the same, in input order)")
      ->type_name("N")
      ->check(CLI::Range(1, 256))
      ->default_str("the number of cores");
  app.add_option("--group-by", opt.groupBy,
                 "sample columns (e.g. Site,Year) whose samples form a group of the synoptic tables and the "
                 "report, each group also classified as one pooled sample")
      ->type_name("COLUMNS")
      ->allow_extra_args(false)
      ->delimiter(',')
      ->default_str("the whole input is one group");
  app.add_option("--synoptic", opt.synoptic,
                 "the synoptic table of each group beside its unit's table, as tidy CSV")
      ->type_name("FILE")
      ->default_str("none");
  app.add_flag("--indicators", opt.indicators,
               "indicator values (Ellenberg F, L, N, R, S) of each sample beside its unit's, in the tidy results");
  app.add_option("--report", opt.report, "a self-contained HTML report of the survey")
      ->type_name("FILE")
      ->default_str("none");
  app.add_option("--names-map", opt.namesMap,
                 "CSV of names as written and the names to use instead (as vegmatch names --map-out writes it)")
      ->type_name("FILE")
      ->default_str("none");
  app.add_flag("--strict", opt.strict, "a refused line or unknown name makes the exit status 1");
  app.add_flag("-q,--quiet", opt.quiet, "no progress and no summary");
  app.add_flag("--all-problems", opt.allProblems,
               "every problem said, each unknown name with all its lines (by default the first ten of each kind)");
  app.add_option("FILE", opt.files, "inputs; - or none: standard input");

  const int parsed = ParseCommand(app, argc, argv, con, "classify");
  if (parsed >= 0) return parsed;

  opt.input = InputKindOf(input);
  TakeSurveyOptions(layout, opt);
  opt.nCoverScale = kScales.at(scale).nCoverScale;
  opt.scale = kScales.at(scale).scale;
  opt.nAnalysisType = analysis.empty()
                          ? (opt.Presence() ? kCompositionAnalysis : kMixedAnalysis)
                          : kAnalyses.at(analysis);
  opt.nSpeciesGroupLimit = kGroups.at(group);
  opt.nFitsToOutput = static_cast<int16_t>(fits);
  opt.format = kFormats.at(format);
  opt.rankBy = kRankings.at(rankBy);

  std::stringstream list(habitats);
  for (std::string key; std::getline(list, key, ',');) {
    if (key.empty()) continue;
    bool known = key == "all";
    for (const HabitatKey& h : HabitatKeys()) known = known || key == h.key;
    if (!known) {
      Diagnose(con, "classify", "--habitats: unknown classification " + key);
      con.err << app.help();
      return kClassifyUsage;
    }
    if (key == "all") {
      for (const HabitatKey& h : HabitatKeys()) opt.habitats.emplace_back(h.key);
    } else {
      opt.habitats.push_back(key);
    }
  }
  // Each classification once, in the order first asked.
  std::vector<std::string> unique;
  for (const std::string& h : opt.habitats) {
    if (std::find(unique.begin(), unique.end(), h) == unique.end()) unique.push_back(h);
  }
  opt.habitats = unique;
  return -1;
}

int StopsCleanly(Console& con, const std::function<int()>& run) {
  try {
    return run();
  } catch (const std::bad_alloc&) {
    Diagnose(con, "", "out of memory: the input cannot be held (a table read whole, or a sample or line too large)");
  } catch (const std::exception& e) {
    Diagnose(con, "", std::string("stopped: ") + e.what());
  }
  return kClassifyInputFailed;
}
