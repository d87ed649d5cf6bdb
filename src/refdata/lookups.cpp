// Finding dictionary rows: by code through the sorted index, by short name
// through the halving search and the hash index built on it; and the species
// appended during the run.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "refdata/refdata.h"

// Halving lower-bound search: the first row of the sorted index with this code.
// With only the two fixed entries nothing is found.
int FindSortedRowByCode(const RefData& ref, int code) {
  const int n = ref.nSpeciesCount;
  assert(n >= 0 && n <= LastRow(ref.arrSortedSpecies));
  if (n <= 2) return 0;
  const SortedSpeciesEntry* first = ref.arrSortedSpecies.data() + 1;
  const SortedSpeciesEntry* last = ref.arrSortedSpecies.data() + n + 1;
  const SortedSpeciesEntry* at = std::lower_bound(
      first, last, code, [](const SortedSpeciesEntry& e, int c) { return e.nSpeciesCode < c; });
  if (at == last || at->nSpeciesCode != code) return 0;
  return static_cast<int>(at - ref.arrSortedSpecies.data());
}

int DictionaryRowOfCodeSearched(const RefData& ref, int code) {
  const int row = FindSortedRowByCode(ref, code);
  return row == 0 ? 0 : ref.arrSortedSpecies[row].nSpeciesIndex;
}

int CompareShortName(const char* key, const char* name) {
  return std::strncmp(key, name, kShortNameBytes);
}

NameBracket FindNameBracket(const RefData& ref, const char* key) {
  int lo = 1;
  int hi = ref.nSpeciesCount;
  assert(hi >= 2 && hi <= LastRow(ref.arrSpecies));
  while (hi - lo > 1) {
    int mid = (lo + hi) / 2;
    if (CompareShortName(key, ref.arrSpecies[mid].szShortName) < 0) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  int equal = 0;
  if (CompareShortName(key, ref.arrSpecies[lo].szShortName) == 0) {
    equal = lo;
  } else if (CompareShortName(key, ref.arrSpecies[hi].szShortName) == 0) {
    equal = hi;
  }
  return NameBracket{lo, hi, equal};
}

namespace {

// FNV-1a over the bytes of a short name (to its end or its width).
uint32_t HashOfName(const char* name) {
  uint32_t h = 2166136261u;
  for (int i = 0; i < kShortNameBytes && name[i] != '\0'; ++i) {
    h = (h ^ static_cast<unsigned char>(name[i])) * 16777619u;
  }
  return h;
}

}  // namespace

void BuildNameIndex(RefData& ref) {
  size_t slots = 64;
  while (slots < 2 * static_cast<size_t>(ref.nSpeciesCount)) slots *= 2;
  ref.arrNameIndex.assign(slots, 0);
  ref.nNameIndexCount = ref.nSpeciesCount;
  const size_t mask = slots - 1;
  for (int row = 1; row <= ref.nSpeciesCount; ++row) {
    const char* name = ref.arrSpecies[row].szShortName;
    // A name shared by several rows (or out of order) is found as the halving
    // search finds it.
    const int found = FindNameBracket(ref, name).equal;
    if (found == 0) continue;
    size_t s = HashOfName(name) & mask;
    while (ref.arrNameIndex[s] != 0 &&
           CompareShortName(name, ref.arrSpecies[ref.arrNameIndex[s]].szShortName) != 0) {
      s = (s + 1) & mask;
    }
    ref.arrNameIndex[s] = found;
  }
}

int DictionaryRowOfName(const RefData& ref, const char* key) {
  if (ref.arrNameIndex.empty() || ref.nNameIndexCount != ref.nSpeciesCount) {
    return FindNameBracket(ref, key).equal;
  }
  const size_t mask = ref.arrNameIndex.size() - 1;
  for (size_t s = HashOfName(key) & mask;; s = (s + 1) & mask) {
    const int row = ref.arrNameIndex[s];
    if (row == 0) return 0;
    if (CompareShortName(key, ref.arrSpecies[row].szShortName) == 0) return row;
  }
}

NewSpecies AppendNewSpecies(RefData& ref, std::string_view shortName) {
  assert(ref.nSpeciesEntries >= ref.nSpeciesCount &&
         ref.nSpeciesEntries <= LastRow(ref.arrSpecies));
  if (ref.nSpeciesEntries >= LastRow(ref.arrSpecies)) {
    return NewSpecies{NewSpeciesResult::kTableFull, 0};
  }
  if (ref.nNextNewSpeciesCode >= kMaxNewSpeciesCode) {
    return NewSpecies{NewSpeciesResult::kNoCodesLeft, 0};
  }
  const int row = ++ref.nSpeciesEntries;
  SpeciesEntry& e = ref.arrSpecies[row];
  const size_t n = std::min(shortName.size(), static_cast<size_t>(kShortNameWidth));
  std::memcpy(e.szShortName, shortName.data(), n);
  e.szShortName[n] = '\0';
  e.szFullName[0] = '\0';
  e.nSpeciesCode = ++ref.nNextNewSpeciesCode;
  return NewSpecies{NewSpeciesResult::kAdded, row};
}

bool RoomForNewSpecies(const RefData& ref, int n) {
  return ref.nSpeciesEntries + n <= LastRow(ref.arrSpecies) && ref.nNextNewSpeciesCode + n <= kMaxNewSpeciesCode;
}

void ForgetNewSpecies(RefData& ref) {
  ref.nSpeciesEntries = ref.nSpeciesCount;
  ref.nNextNewSpeciesCode = static_cast<int16_t>(kFirstNewSpeciesCode - 1);
}
