// Runs a fuzz target's body over saved inputs, without libFuzzer: each argument
// is a file, or a folder whose files are all fed in (in name order). Used as a
// test over the committed corpus; a folder without any input fails, since a
// pass over nothing would prove nothing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE_OR_FOLDER...\n", argv[0]);
    return 2;
  }
  size_t runs = 0;
  for (int a = 1; a < argc; ++a) {
    std::vector<fs::path> files;
    if (fs::is_directory(argv[a])) {
      for (const fs::directory_entry& e : fs::directory_iterator(argv[a])) {
        if (e.is_regular_file()) files.push_back(e.path());
      }
      std::sort(files.begin(), files.end());
      if (files.empty()) {
        std::fprintf(stderr, "%s: no input in %s\n", argv[0], argv[a]);
        return 1;
      }
    } else {
      files.emplace_back(argv[a]);
    }
    for (const fs::path& file : files) {
      std::ifstream f(file, std::ios::binary);
      if (!f) {
        std::fprintf(stderr, "%s: cannot read %s\n", argv[0], file.c_str());
        return 1;
      }
      const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++runs;
    }
  }
  std::printf("%zu inputs run\n", runs);
  return 0;
}
