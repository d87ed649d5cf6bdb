// A species name resolved against the bundled NVC tables, and the same bytes
// read as a names map. Whatever the bytes: a name reaches a dictionary row
// exactly when its status says it does, an ambiguous name lists the rows it may
// be (the one scored first), every other name keeps words of its own to be
// scored under (a record of no taxon none needed), a copy of the resolver
// resolves alike, and every name to use a map accepts reaches an entry by its
// full name or names no taxon.
#include <memory>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "names/names_map.h"

namespace {

struct Bundled {
  RefData ref;
  std::unique_ptr<NameResolver> resolver;
};

const Bundled& Tables() {
  static Bundled* tables = [] {
    auto* b = new Bundled();
    std::istringstream in;
    std::ostringstream out;
    Console con(in, out, out, FuzzFolder());
    const std::string folder = DemoFolder() + "/nvc";
    FUZZ_CHECK(LoadReferenceData(con, b->ref, folder));
    b->resolver = std::make_unique<NameResolver>(b->ref, folder);
    return b;
  }();
  return *tables;
}

bool Reaches(NameStatus s) {
  return s == NameStatus::kExact || s == NameStatus::kOlderName || s == NameStatus::kNormalised ||
         s == NameStatus::kAggregate || s == NameStatus::kShortName || s == NameStatus::kAmbiguous;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Bundled& t = Tables();
  const std::string written(reinterpret_cast<const char*>(data), size);
  const NameMatch m = t.resolver->Resolve(written);
  FUZZ_CHECK((m.row != 0) == Reaches(m.status));
  if (m.row != 0) {
    FUZZ_CHECK(m.row >= 3 && m.row <= t.ref.nSpeciesCount);
    FUZZ_CHECK(!m.lookupWords.empty());
    FUZZ_CHECK(!t.resolver->CurrentName(m.row).empty());
  } else if (m.status != NameStatus::kNotTaxon && !m.normalised.words.empty()) {
    FUZZ_CHECK(!m.lookupWords.empty());
  }
  FUZZ_CHECK(m.candidates.empty() != (m.status == NameStatus::kAmbiguous));
  if (!m.candidates.empty()) FUZZ_CHECK(m.candidates.front() == m.row);
  const uint8_t note = NoteOfStatus(m.status);
  if (note != 0) FUZZ_CHECK(StatusOfNote(note) == m.status);
  const NameResolver copy(*t.resolver);
  const NameMatch again = copy.Resolve(written);
  FUZZ_CHECK(again.row == m.row && again.status == m.status && again.lookupWords == m.lookupWords);

  const std::string path = FuzzFolder() + "/map.csv";
  WriteFileBytes(path, written);
  std::map<std::string, std::string> map;
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err);
  const bool read = ReadNamesMap(path, *t.resolver, map, con);
  FUZZ_CHECK(read == err.str().empty());
  for (const auto& [name, use] : map) {
    const NameStatus s = t.resolver->Resolve(use).status;
    FUZZ_CHECK(s == NameStatus::kExact || s == NameStatus::kOlderName || s == NameStatus::kNormalised ||
               s == NameStatus::kAggregate || s == NameStatus::kNotTaxon);
  }
  return 0;
}
