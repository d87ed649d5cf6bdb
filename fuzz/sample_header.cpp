// A sample header line: ParseSampleHeader with the sample counter (from the
// first byte). The name is terminated and at most 30 characters, never empty
// unless the header is refused, and a refusal is said on the console; the
// maximum frequency lies in 0..100 and a tag is one of the three the record
// writes.
#include <cstring>
#include <sstream>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Split in = TakeSelector(data, size);
  const std::string line(in.rest);
  std::istringstream input;
  std::ostringstream out;
  std::ostringstream err;
  Console con(input, out, err);
  const int32_t counter = 1 + in.selector * 400;  // up to 102001, past the 5 digits of SAMPL
  const SampleHeader h = ParseSampleHeader(con, line.c_str(), counter);

  FUZZ_CHECK(std::memchr(h.szName, '\0', sizeof h.szName) != nullptr);
  const size_t length = std::strlen(h.szName);
  FUZZ_CHECK(length <= static_cast<size_t>(kSampleNameWidth));
  FUZZ_CHECK(h.nMaxFreq >= 0 && h.nMaxFreq <= 100);
  FUZZ_CHECK(h.refused == !out.str().empty());
  if (!h.refused) FUZZ_CHECK(length >= 1);
  if (h.tag != nullptr) {
    FUZZ_CHECK(std::strcmp(h.tag, "COVR%") == 0 || std::strcmp(h.tag, "BR-BL") == 0 ||
               std::strcmp(h.tag, "DOMIN") == 0);
  }
  FUZZ_CHECK(err.str().empty());
  return 0;
}
