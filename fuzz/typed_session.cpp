// A whole typed session, in-process: the input is what is typed at the console,
// and the program runs in a folder holding the demonstration data (reference
// files, help text and sample file), as VegmatchMain runs it with no argument.
// Whatever is typed, the run ends with status 0 and the asserts of every layer
// hold; the files it creates are removed after each input. A "/" typed in a
// file name would reach outside the folder, so every "/" is typed as "_".
#include <string>
#include <vector>

#include "fuzz_support.h"

namespace {

const std::vector<std::string> kDemoFiles = {kDictionaryFile, kDefinitionsFile, kAssociationFile,
                                             "HELP.txt", "SAMP.txt"};

const std::string& SessionFolder() {
  static const std::string folder = MakeRunFolder("session", kDemoFiles);
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 14)) return 0;
  std::string typed(reinterpret_cast<const char*>(data), size);
  for (char& c : typed) {
    if (c == '/') c = '_';
  }
  const std::string& folder = SessionFolder();
  const ProgramRun run = RunProgramIn(folder, typed);
  TidyRunFolder(folder, kDemoFiles);

  FUZZ_CHECK(run.status == 0);
  FUZZ_CHECK(!run.out.empty());
  return 0;
}
