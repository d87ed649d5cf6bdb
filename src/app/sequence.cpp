// The run sequence: title, settings, loading, then the sample loop; and the
// command-line dispatch in front of it.
#include <cstring>
#include <ostream>

#include "app/app.h"

namespace {

constexpr int kHelpPageLength = 23;
constexpr int16_t kDefaultFits = 5;

const char kUsage[] =
    "usage: vegmatch [--dump-tables | --help | --version]\n"
    "       vegmatch classify [options] FILE...\n"
    "       vegmatch names [--tables DIR] FILE...\n"
    "  (no argument)   run the interactive program in the working directory\n"
    "  classify        classify every sample of the files (sample blocks or a survey\n"
    "                  CSV) without a question; 'vegmatch classify --help' lists\n"
    "                  its options and their defaults\n"
    "  names           check the species names of the files against the dictionary\n"
    "  --dump-tables   load the reference files and write the table dump files\n"
    "                  A01..A09 in the working directory\n"
    "  --version       show the version\n"
    "  --help          show this text\n";
const char kVersion[] = "vegmatch 4.1.0\n";

}  // namespace

int RunVegmatch(Console& con, AppState& st, const std::string& bundledTables) {
  RunSettings& rs = st.settings;
  const std::optional<std::string> tables = ChooseTablesFolder(con, bundledTables);
  if (!tables) return 1;
  ShowTitleScreen(con, kHelpPageLength);
  if (!RunSettingsDialogue(con, rs)) {
    CloseRunFiles(con, rs);
    con.out.flush();
    return 0;
  }
  rs.nCoverScale = 1;
  rs.nAnalysisType = 1;
  ParameterDialogue(con, rs);
  rs.nSampleCounter = 1;
  Say(con, "\n\n\n\n\n Enter number of fitted communities to be output\n");
  rs.nFitsToOutput = kDefaultFits;
  PromptInteger(con, rs.nFitsToOutput, 1, static_cast<int16_t>(kMaxFits));

  if (!LoadReferenceData(con, st.ref, *tables)) {
    Diagnose(con.err, "", "the reference tables could not be loaded (see above); the run stops");
    CloseRunFiles(con, rs);
    con.out.flush();
    return 1;
  }
  BuildQuantTables(st.scoring);
  BuildNVCTotals(st.ref, st.scoring);

  for (;;) {
    if (EnterSample(con, st.ref, st.sample, rs) == EntryResult::kRunEnded) break;
    ++rs.nSampleCounter;
    ScoreSample(st.ref, st.sample, rs.nAnalysisType, st.scoring);
    RankTopFits(st.ref, rs.nFitsToOutput, st.scoring);
    if (ReportFits(con, st.ref, st.sample, st.scoring, rs) == 0) break;
  }
  CloseRunFiles(con, rs);
  con.out.flush();
  return 0;
}

int VegmatchMain(int argc, const char* const* argv, Console& con) {
  if (argc <= 1) {
    std::unique_ptr<AppState> st = NewAppState();
    return RunVegmatch(con, *st);
  }
  if (std::strcmp(argv[1], "classify") == 0) return ClassifyMain(argc - 1, argv + 1, con);
  if (std::strcmp(argv[1], "names") == 0) return NamesMain(argc - 1, argv + 1, con);
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    con.out << kVersion;
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    con.out << kUsage;
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--dump-tables") == 0) {
    std::unique_ptr<AppState> st = NewAppState();
    const std::optional<std::string> tables = ChooseTablesFolder(con, BundledTablesFolder());
    if (!tables) return 1;
    bool ok = LoadReferenceData(con, st->ref, *tables) && DumpReferenceTables(con, st->ref);
    con.out.flush();
    return ok ? 0 : 1;
  }
  con.err << kUsage;
  return 2;
}
