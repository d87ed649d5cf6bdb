// A whole typed session, in-process: the input is what is typed at the console,
// and the program runs in a folder holding the demonstration data (reference
// files, help text and sample file), as VegmatchMain runs it with no argument.
// Whatever is typed, the run ends with status 0 and the asserts of every layer
// hold; the files it creates are removed after each input. A "/" typed in a
// file name would reach outside the folder, so every "/" is typed as "_".
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "app/app.h"
#include "fuzz_support.h"

namespace fs = std::filesystem;

namespace {

const char* const kDemoFiles[] = {kDictionaryFile, kDefinitionsFile, kAssociationFile, "HELP.txt",
                                  "SAMP.txt"};

const std::string& SessionFolder() {
  static const std::string folder = [] {
    const std::string f = FuzzFolder() + "/session";
    fs::create_directory(f);
    for (const char* name : kDemoFiles) CopyDemoFile(name, f);
    return f;
  }();
  return folder;
}

// Removes what a run left in the folder besides the demonstration files.
void Tidy(const std::string& folder) {
  static const std::set<std::string> keep(std::begin(kDemoFiles), std::end(kDemoFiles));
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    if (keep.count(e.path().filename().string()) == 0) fs::remove_all(e.path());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 14)) return 0;
  std::string typed(reinterpret_cast<const char*>(data), size);
  for (char& c : typed) {
    if (c == '/') c = '_';
  }
  const std::string& folder = SessionFolder();
  std::istringstream in(typed);
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err, folder);
  const char* argv[] = {"vegmatch"};
  const int status = VegmatchMain(1, argv, con);
  Tidy(folder);

  FUZZ_CHECK(status == 0);
  FUZZ_CHECK(!out.str().empty());
  // The tables of the folder are whole: nothing about them is ever said.
  FUZZ_CHECK(err.str().find(kDictionaryFile) == std::string::npos);
  FUZZ_CHECK(err.str().find(kAssociationFile) == std::string::npos);
  return 0;
}
