// A species name as surveys write it: FoldToAscii and NormaliseName. Whatever
// the bytes, the normalised words are lower-case ASCII letters, digits and
// hyphens, none empty, a hybrid sign never first, and the text is the words
// joined by blanks.
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string written(reinterpret_cast<const char*>(data), size);
  for (char c : FoldToAscii(written)) FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
  const NormalisedName n = NormaliseName(written);
  std::string joined;
  for (size_t i = 0; i < n.words.size(); ++i) {
    const std::string& w = n.words[i];
    FUZZ_CHECK(!w.empty());
    for (char c : w) {
      FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-');
    }
    if (i == 0) FUZZ_CHECK(w != "x");
    joined += (i == 0 ? "" : " ") + w;
  }
  FUZZ_CHECK(joined == n.text);
  return 0;
}
