// A species line as typed or read from a data file: ParseSpeciesLine with the
// maximum frequency of the sample (the first byte: 0 for cover data, else
// 1..100). Whatever the line, the key is a terminated lower-case text of at most
// 9 characters, and a line taken as good has a frequency within the sample's
// range and a cover whose tenfold fits the 16-bit entry.
#include <cmath>
#include <cstring>
#include <string>

#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Split in = TakeSelector(data, size);
  const int16_t nMaxFreq = static_cast<int16_t>(in.selector % 101);
  const std::string line(in.rest);  // read as a C string: up to a NUL byte
  const SpeciesLine parsed = ParseSpeciesLine(line.c_str(), nMaxFreq);

  const char* key = parsed.key.text;
  FUZZ_CHECK(std::memchr(key, '\0', sizeof parsed.key.text) != nullptr);
  for (const char* p = key; *p != '\0'; ++p) FUZZ_CHECK(!(*p >= 'A' && *p <= 'Z'));
  if (key[0] == '\0') {
    // Only a blank line has no key.
    for (const char* p = line.c_str(); *p != '\0' && p < line.c_str() + kLineSize; ++p) {
      FUZZ_CHECK(*p == ' ');
    }
  }
  if (parsed.ok && key[0] != '\0') {
    if (nMaxFreq > 0) {
      FUZZ_CHECK(parsed.nFreq >= 0 && parsed.nFreq <= nMaxFreq);
    } else {
      FUZZ_CHECK(parsed.nFreq == 1);
    }
    const double tenfold = std::floor(parsed.dCover * 10.0 + 0.001);
    FUZZ_CHECK(tenfold >= INT16_MIN && tenfold <= INT16_MAX);
  }
  return 0;
}
