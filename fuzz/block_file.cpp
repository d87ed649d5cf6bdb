// A block file as classify reads it (AppendBlockFile; TakeBlockFile alike),
// under every set of rules the first byte picks: strict, presence data, covers
// left unchecked, names rewritten through the resolver of the demonstration
// tables. Whatever the text, every line of the blocks keeps its input line, in
// order, with its tables one row per line; problems come in line order; under
// the plain rules the blocks are the input itself, line for line (lines of
// white space alone emptied, tabs made blanks, a cover's decimal comma made a
// point), then the blank line that ends the file; and the text taken gives the
// same blocks as the text viewed.
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

  BlockText blocks;
  std::vector<InputProblem> problems;
  AppendBlockFile(text, rules, 1, blocks, problems);

  size_t lines = 0;
  for (char c : blocks.text) lines += c == '\n' ? 1 : 0;
  FUZZ_CHECK(!blocks.text.empty() && blocks.text.back() == '\n');
  FUZZ_CHECK(blocks.sourceFile.size() == lines + 1 && blocks.sourceLine.size() == lines + 1);
  FUZZ_CHECK(blocks.writtenName.size() == lines + 1 && blocks.sourceText.size() == lines + 1);
  FUZZ_CHECK(blocks.resolvedRow.size() == lines + 1);
  FUZZ_CHECK(blocks.sourceLine[lines] == 0);  // the blank line that ends the file
  long previous = 0;
  for (size_t k = 1; k < lines; ++k) {
    FUZZ_CHECK(blocks.sourceFile[k] == 1);
    FUZZ_CHECK(blocks.sourceLine[k] > previous && blocks.sourceLine[k] <= inputLines);
    previous = blocks.sourceLine[k];
    // A name as written is its words, each once blank apart.
    const std::string_view name = blocks.writtenName[k];
    FUZZ_CHECK(name.empty() || (name.front() != ' ' && name.back() != ' '));
    FUZZ_CHECK(name.find("  ") == std::string_view::npos);
  }
  previous = 0;
  for (const InputProblem& p : problems) {
    FUZZ_CHECK(p.line > previous && p.line <= inputLines);
    FUZZ_CHECK(p.refused == rules.strict);
    previous = p.line;
  }
  if (!rules.strict && !rules.presence && rules.resolver == nullptr) {
    size_t b = 0;  // where the block line of the input line starts
    for (size_t a = 0; a < text.size();) {
      size_t end = text.find('\n', a);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(a, end - a);
      const size_t blockEnd = blocks.text.find('\n', b);
      FUZZ_CHECK(blockEnd != std::string::npos);
      const std::string_view block = std::string_view(blocks.text).substr(b, blockEnd - b);
      if (line.find_first_not_of(" \t\n\v\f\r") == std::string_view::npos) {
        FUZZ_CHECK(block.empty());
      } else if (block != line) {
        // Only tabs made blanks and at most one comma a point, the line's CR
        // dropped with them.
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        FUZZ_CHECK(block.size() == line.size());
        size_t commas = 0;
        for (size_t k = 0; k < line.size(); ++k) {
          if (block[k] == line[k] || (line[k] == '\t' && block[k] == ' ')) continue;
          FUZZ_CHECK(line[k] == ',' && block[k] == '.');
          ++commas;
        }
        FUZZ_CHECK(commas <= 1);
      }
      b = blockEnd + 1;
      a = end + 1;
    }
    FUZZ_CHECK(std::string_view(blocks.text).substr(b) == "\n");
    for (size_t k = 1; k < lines; ++k) FUZZ_CHECK(blocks.sourceLine[k] == static_cast<long>(k));
  }

  // Taking the text (its lines written over it where none can grow) gives the
  // same blocks and says the same.
  std::optional<NameResolver> takenResolver;
  BlockRules takenRules = rules;
  if (rules.resolver != nullptr) takenRules.resolver = &takenResolver.emplace(DemoResolver());
  BlockText taken;
  std::vector<InputProblem> takenProblems;
  std::string owned(text);
  TakeBlockFile(owned, takenRules, 1, taken, takenProblems);
  FUZZ_CHECK(owned.empty());
  FUZZ_CHECK(taken.text == blocks.text);
  FUZZ_CHECK(taken.sourceFile == blocks.sourceFile && taken.sourceLine == blocks.sourceLine);
  FUZZ_CHECK(taken.resolvedRow == blocks.resolvedRow);
  for (size_t k = 0; k <= lines; ++k) {
    FUZZ_CHECK(taken.writtenName[k] == blocks.writtenName[k] && taken.sourceText[k] == blocks.sourceText[k]);
  }
  FUZZ_CHECK(takenProblems.size() == problems.size());
  for (size_t p = 0; p < problems.size(); ++p) {
    FUZZ_CHECK(takenProblems[p].line == problems[p].line && takenProblems[p].what == problems[p].what);
  }
  return 0;
}
