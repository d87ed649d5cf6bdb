// The species dictionary loader: the input is SPECDICT3.txt, the definitions and
// association lines are the demonstration ones. Besides the promises of every
// load (CheckLoad), a load that says nothing has read only codes within
// 1..9000, and a file with a NUL byte never loads in silence.

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Load load = LoadWithFile(kDictionaryFile, bytes);
  if (!load.loaded) return 0;
  CheckLoad(load);
  const RefData* const ref = &load.ref;
  if (load.err.empty()) {
    for (int i = 3; i <= ref->nSpeciesCount; ++i) {
      const int code = ref->arrSpecies[i].nSpeciesCode;
      FUZZ_CHECK(code >= 1 && code <= kMaxDictionaryCode);
    }
    FUZZ_CHECK(!Holds(bytes, '\0'));
  }
  return 0;
}
