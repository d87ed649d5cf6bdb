// A whole run of the program over a data file, in-process: the input's first
// byte picks the output format, cover scale and type of analysis, the rest is
// the data file, and the answers choose that file, as VegmatchMain runs it with
// no argument. The samples are scored and reported on other threads while the
// next ones are entered; whatever the file holds, the run ends with status 0,
// the asserts of every layer hold, and the results file is there. The files a
// run creates are removed after each input.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"

namespace {

const std::vector<std::string> kKept = {kDictionaryFile, kDefinitionsFile, kAssociationFile};

const std::string& RunFolder() {
  static const std::string folder = MakeRunFolder("data_file_session", kKept);
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1 << 16)) return 0;
  const int pick = data[0];
  const std::string& folder = RunFolder();
  WriteFileBytes(folder + "/fuzz.txt", std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
  // Title pauses and help; results file; format; a data file and its name;
  // species group; cover scale; analysis type; fits; then RETURN for whatever
  // the run asks on the way (a cover scale that differs from the file's).
  const std::string answers = "\n\n\n\n" + std::to_string(pick & 1) + "\n1\nfuzz.txt\n\n" +
                              std::to_string(1 + (pick >> 1) % 3) + "\n" +
                              std::to_string(1 + (pick >> 3) % 5) + "\n5\n" + std::string(8, '\n');
  const ProgramRun run = RunProgramIn(folder, answers);
  const bool results = std::filesystem::exists(folder + "/TABLOUT.TXT");
  TidyRunFolder(folder, kKept);

  FUZZ_CHECK(run.status == 0);
  FUZZ_CHECK(results);
  return 0;
}
