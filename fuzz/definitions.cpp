// The community definitions loader: the input is VegmatchNVCDef3.txt, the
// dictionary and association lines are the demonstration ones. Besides the
// promises of every load (CheckLoad), a file with a NUL byte never loads in
// silence.

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Load load = LoadWithFile(kDefinitionsFile, bytes);
  if (!load.loaded) return 0;
  CheckLoad(load);
  if (load.err.empty()) FUZZ_CHECK(!Holds(bytes, '\0'));
  return 0;
}
