// A block file as classify reads it (AppendBlockInputs), under every set of
// rules the first byte picks: strict, presence data, covers left unchecked,
// names looked up through the resolver of the demonstration tables. Whatever
// the text, samples and their records keep their input lines, in order; a
// record quotes its own input line; names as written are words one blank
// apart; problems come in line order; and the records are what the typed
// run's parser makes of the lines.
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "fuzz_support.h"

namespace {

// The resolver as loaded, before any name is resolved; each input gets a copy
// of it, so that what earlier inputs resolved neither changes nor piles up.
const NameResolver& DemoResolver() {
  static std::unique_ptr<RefData> ref;
  static std::unique_ptr<NameResolver> resolver;
  if (!resolver) {
    ref = std::make_unique<RefData>();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    Console con(in, out, err, DemoFolder());
    FUZZ_CHECK(LoadReferenceData(con, *ref));
    resolver = std::make_unique<NameResolver>(*ref, DemoFolder());
  }
  return *resolver;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Split in = TakeSelector(data, size);
  std::optional<NameResolver> resolver;
  BlockRules rules;
  rules.strict = (in.selector & 1) != 0;
  rules.presence = (in.selector & 2) != 0;
  rules.checkCovers = (in.selector & 4) == 0;
  if ((in.selector & 8) != 0) {
    rules.resolver = &resolver.emplace(DemoResolver());
    rules.rewriteBlockNames = true;
  }
  const std::string_view text = in.rest;
  long inputLines = 0;
  for (char c : text) inputLines += c == '\n' ? 1 : 0;
  if (!text.empty() && text.back() != '\n') ++inputLines;

  TextStore store;
  std::vector<SampleInput> samples;
  std::vector<InputProblem> problems;
  AppendBlockInputs(text, rules, 1, true, store, samples, problems);

  // The input's lines, without their CR, by number from 1 (a byte-order mark
  // passed over).
  std::vector<std::string_view> lines(1);
  const size_t bom = text.substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  for (size_t a = bom; a < text.size();) {
    size_t end = text.find('\n', a);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(a, end - a);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    a = end + 1;
  }
  long previous = 0;
  for (const SampleInput& s : samples) {
    // A line with a CR alone in it is read as two: a sample may start on the
    // line where the one before ends.
    FUZZ_CHECK(s.where.file == 1 && s.where.line >= previous && s.where.line >= 1 && s.where.line <= inputLines);
    previous = s.where.line;
    FUZZ_CHECK(std::strlen(s.header.szName) <= static_cast<size_t>(kSampleNameWidth));
    FUZZ_CHECK(!s.header.refused || s.header.nMaxFreq == 0);
    FUZZ_CHECK(s.header.nMaxFreq >= 0 && s.header.nMaxFreq <= 100);
    for (const SampleRecord& r : s.records) {
      // Pieces of a long line share its number.
      FUZZ_CHECK(r.where.file == 1 && r.where.line >= previous && r.where.line <= inputLines);
      previous = r.where.line;
      if (r.nul) continue;
      FUZZ_CHECK(r.key.c_str()[0] != '\0');  // a blank line ends a sample, it is no record
      FUZZ_CHECK(r.markers >= 0 && r.markers <= kMaxMarkers);
      // A bad line is quoted as written (up to a NUL byte, which a later piece of it may hold).
      if (!r.ok) {
        const std::string_view line = lines[static_cast<size_t>(r.where.line)];
        FUZZ_CHECK(r.quoted != nullptr && r.shown != nullptr && std::string_view(r.quoted) == line.substr(0, line.find('\0')));
      }
      if (r.ok) {
        FUZZ_CHECK(std::floor(r.dCover * 10.0 + 0.001) >= -32768.0 && std::floor(r.dCover * 10.0 + 0.001) <= 32767.0);
        FUZZ_CHECK(s.header.nMaxFreq == 0 || (r.nFreq >= 0 && r.nFreq <= s.header.nMaxFreq));
      }
      if (!r.nameGuessed) {
        // A name as written is its words, each once blank apart.
        FUZZ_CHECK(!r.written.empty() && r.written.front() != ' ' && r.written.back() != ' ');
        FUZZ_CHECK(r.written.find("  ") == std::string_view::npos);
      }
      if (rules.resolver == nullptr) FUZZ_CHECK(r.row == 0);
    }
  }
  previous = 0;
  for (const InputProblem& p : problems) {
    FUZZ_CHECK(p.line > previous && p.line <= inputLines);
    previous = p.line;
  }
  return 0;
}
