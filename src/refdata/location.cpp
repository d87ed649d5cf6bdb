// Where the reference tables are found: the working folder when it holds all
// three files (users with their own tables keep working), else the NVC tables
// that come with the program. Never empty tables: a run that scored every sample
// against nothing would look successful.
#include <unistd.h>

#include <cstdlib>
#include <ostream>
#include <string>

#include "refdata/refdata.h"

namespace {

std::string JoinNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

// The folder of the running executable, or empty when it cannot be told.
std::string ExecutableFolder() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  buf[n] = '\0';
  std::string path(buf);
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

}  // namespace

std::string BundledTablesFolder() {
  if (const char* env = std::getenv("VEGMATCH_TABLES"); env != nullptr && *env != '\0') return env;
  // Installed: <prefix>/bin/vegmatch beside <prefix>/share/vegmatch/nvc.
  const std::string exe = ExecutableFolder();
  if (!exe.empty()) {
    const std::string installed = exe + "/../share/vegmatch/nvc";
    if (MissingReferenceFiles(installed).empty()) return installed;
  }
#ifdef VM_BUILD_TREE_TABLES
  // In the build tree the tables are read where they stand in the sources.
  return VM_BUILD_TREE_TABLES;
#else
  return exe.empty() ? std::string() : exe + "/../share/vegmatch/nvc";
#endif
}

std::optional<std::string> ChooseTablesFolder(Console& con, const std::string& bundled) {
  const std::vector<std::string> here = MissingReferenceFiles(con.dir);
  if (here.empty()) return con.dir;
  const std::vector<std::string> there =
      bundled.empty() ? std::vector<std::string>{kDictionaryFile, kDefinitionsFile, kAssociationFile}
                      : MissingReferenceFiles(bundled);
  if (!bundled.empty() && there.empty()) {
    Diagnose(con, "",
             "reference files not in the working folder; using the NVC tables in " + bundled);
    return bundled;
  }
  Diagnose(con, con.dir.empty() ? "." : con.dir, "missing " + JoinNames(here));
  Diagnose(con, bundled.empty() ? "(no bundled tables)" : bundled,
           "missing " + JoinNames(there));
  Diagnose(con, "", "no complete set of reference files; the run stops");
  return std::nullopt;
}
