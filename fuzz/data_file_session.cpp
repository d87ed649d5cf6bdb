// A whole run of the program over a data file, in-process: the input's first
// byte picks the output format, cover scale and type of analysis, the rest is
// the data file, and the answers choose that file, as VegmatchMain runs it with
// no argument. The samples are scored and reported on other threads while the
// next ones are entered; whatever the file holds, the run ends with status 0,
// the asserts of every layer hold, and the results file is there. The files a
// run creates are removed after each input.
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "app/app.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kKept[] = {kDictionaryFile, kDefinitionsFile, kAssociationFile};

const std::string& RunFolder() {
  static const std::string folder = [] {
    const std::string f = FuzzFolder() + "/data_file_session";
    fs::create_directory(f);
    for (const char* name : kKept) CopyDemoFile(name, f);
    return f;
  }();
  return folder;
}

// Removes what a run left in the folder besides the reference files.
void Tidy(const std::string& folder) {
  static const std::set<std::string> keep(std::begin(kKept), std::end(kKept));
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    if (keep.count(e.path().filename().string()) == 0) fs::remove_all(e.path());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 16)) return 0;
  const int pick = data[0];
  const std::string& folder = RunFolder();
  {
    std::ofstream file(folder + "/fuzz.txt", std::ios::binary);
    file.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    FUZZ_CHECK(static_cast<bool>(file));
  }
  // Title pauses and help; results file; format; a data file and its name;
  // species group; cover scale; analysis type; fits; then RETURN for whatever
  // the run asks on the way (a cover scale that differs from the file's).
  const std::string answers = "\n\n\n\n" + std::to_string(pick & 1) + "\n1\nfuzz.txt\n\n" +
                              std::to_string(1 + (pick >> 1) % 3) + "\n" +
                              std::to_string(1 + (pick >> 3) % 5) + "\n5\n" + std::string(8, '\n');
  std::istringstream in(answers);
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err, folder);
  const char* argv[] = {"vegmatch"};
  const int status = VegmatchMain(1, argv, con);
  const bool results = fs::exists(folder + "/TABLOUT.TXT");
  Tidy(folder);

  FUZZ_CHECK(status == 0);
  FUZZ_CHECK(results);
  // The tables of the folder are whole: nothing about them is ever said.
  FUZZ_CHECK(err.str().find(kDictionaryFile) == std::string::npos);
  FUZZ_CHECK(err.str().find(kAssociationFile) == std::string::npos);
  return 0;
}
