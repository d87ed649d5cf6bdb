// Dictionary name resolution: exact lookup, the menu of similar names, and
// new species appended after the dictionary for the rest of the run.
#include <cstdio>
#include <cstring>
#include <ostream>

#include "common/textio.h"
#include "run/run.h"
#include "sample/sample.h"

namespace {

constexpr int kNameBytes = static_cast<int>(sizeof(SpeciesEntry::szShortName));
constexpr int kMenuItems = 75;      // items 1..75 can be chosen
constexpr int kMenuLines = 15;      // items r, r+15, r+30, r+45 share line r
constexpr int kMenuColumns = 4;     // so items 61..75 are never shown
constexpr int kRowNewName = 1;
constexpr int kRowDelete = 2;
constexpr int kMaxNewSpeciesCode = kMarkerStep;  // above it a code reads as a marked one

// Byte comparison as unsigned characters, never past a short name.
int CompareKey(const char* key, const char* name) { return std::strncmp(key, name, kNameBytes); }

int SortedCount(const RefData& ref) {
  int n = ref.nSpeciesCount;
  return n > kSpeciesCapacity ? kSpeciesCapacity : n;
}

int EntriesInUse(const SampleState& sample) {
  int n = sample.nSpeciesEntries;
  if (n > kSpeciesCapacity) n = kSpeciesCapacity;
  return n;
}

// The first characters of the two words of a short name or key, split at
// blanks as "%4s %4s" splits them; '\0' where a word is missing.
struct Initials {
  char first;
  char second;
};

Initials InitialsOf(const char* name) {
  char w1[5] = "";
  char w2[5] = "";
  char text[kNameBytes + 1];
  CopyField(text, name, kNameBytes);
  std::sscanf(text, "%4s %4s", w1, w2);
  return Initials{w1[0], w2[0]};
}

void ReportWrite(Console& con, bool ok, const char* what) {
  if (!ok) con.err << "vegmatch: could not write " << what << " to the results file\n";
}

// Appends the key as a new species. Returns the new row, or 0 when the name
// has to be refused (the table is full, or the codes are used up); existing
// rows are never touched.
int CreateNewSpecies(Console& con, AppState& st, const char* key) {
  RefData& ref = st.ref;
  SampleState& sample = st.sample;
  const char* refusal = nullptr;
  int last = sample.nSpeciesEntries;
  if (last < ref.nSpeciesCount) last = ref.nSpeciesCount;  // never overwrite the dictionary
  if (last >= kSpeciesCapacity) {
    refusal = " *** Species table full - no room for a new name; line ignored ***  %-9s\n";
  } else if (sample.nNextNewSpeciesCode >= kMaxNewSpeciesCode) {
    refusal = " *** No species codes left for new names; line ignored ***  %-9s\n";
  }
  if (refusal != nullptr) {
    Say(con, refusal, key);
    RunSettings& rs = st.settings;
    if (rs.nInputSource == 1 && rs.nOutputFormat == 1) {
      ReportWrite(con, FileSay(rs.fpResults, refusal, key), "a refused name");
    }
    return 0;
  }
  int row = last + 1;
  sample.nSpeciesEntries = static_cast<int16_t>(row);
  SpeciesEntry& e = ref.arrSpecies[row];
  CopyField(e.szShortName, key, kNameBytes - 1);
  e.szFullName[0] = '\0';
  e.nSpeciesCode = ++sample.nNextNewSpeciesCode;
  return row;
}

}  // namespace

NameBracket FindNameBracket(const RefData& ref, const char* key) {
  int lo = 1;
  int hi = SortedCount(ref);
  if (hi < 1) return NameBracket{1, hi < 0 ? 0 : hi, 0};
  while (hi - lo > 1) {
    int mid = (lo + hi) / 2;
    if (CompareKey(key, ref.arrSpecies[mid].szShortName) < 0) {
      hi = mid;
    } else {
      lo = mid;
    }
  }
  int equal = 0;
  if (CompareKey(key, ref.arrSpecies[lo].szShortName) == 0) {
    equal = lo;
  } else if (CompareKey(key, ref.arrSpecies[hi].szShortName) == 0) {
    equal = hi;
  }
  return NameBracket{lo, hi, equal};
}

int FindSpeciesRow(const RefData& ref, const SampleState& sample, const char* key) {
  NameBracket b = FindNameBracket(ref, key);
  if (b.equal != 0) return b.equal;
  // New names stand after the dictionary unsorted, in order of creation.
  int last = EntriesInUse(sample);
  for (int row = SortedCount(ref) + 1; row <= last; ++row) {
    if (CompareKey(key, ref.arrSpecies[row].szShortName) == 0) return row;
  }
  return 0;
}

int ResolveUnknownName(Console& con, AppState& st, const char* key) {
  RefData& ref = st.ref;
  RunSettings& rs = st.settings;

  if (rs.nInputSource == 1) {
    // A data file runs without questions: the name is taken as a new species.
    Say(con, "      *** Name not in dictionary ***  %-9s\n", key);
    if (rs.nOutputFormat == 1) {
      ReportWrite(con, FileSay(rs.fpResults, "      *** Name not in dictionary ***  %-9s\n", key),
                  "a name not in the dictionary");
    }
    return CreateNewSpecies(con, st, key);
  }

  Say(con, "     *** Name not in dictionary ***  %-s\n\n", key);
  Say(con, "     Select correct name from menu\n     or accept as new name or delete entry\n");

  Initials typed = InitialsOf(key);

  // The dictionary rows that begin with the same letter lie between these two
  // brackets, so only they need be looked at.
  char probe[kNameBytes];
  std::snprintf(probe, sizeof probe, "%caaaaaaaa", typed.first);
  int start = FindNameBracket(ref, probe).hi;
  std::snprintf(probe, sizeof probe, "%czzzzzzzz", typed.first);
  int end = FindNameBracket(ref, probe).lo;

  int items[kMenuItems + 1] = {0};
  int count = 2;
  items[1] = kRowNewName;
  items[2] = kRowDelete;
  auto consider = [&](int row) {
    const SpeciesEntry& e = ref.arrSpecies[row];
    if (e.nSpeciesCode > kMaxNewSpeciesCode) return;
    Initials cand = InitialsOf(e.szShortName);
    if (cand.first != typed.first) return;
    // A one-word key has no second letter to hold against the candidates.
    if (typed.second != '\0' && cand.second != typed.second) return;
    if (count < kMenuItems) {
      items[++count] = row;
    } else {
      Say(con, " *** Beware - list too long *** ");
      items[kMenuItems] = row;
    }
  };
  for (int row = start; row <= end; ++row) consider(row);
  int last = EntriesInUse(st.sample);
  for (int row = SortedCount(ref) + 1; row <= last; ++row) consider(row);

  int lines = count < kMenuLines ? count : kMenuLines;
  for (int r = 1; r <= lines; ++r) {
    std::string text = "  ";
    for (int c = 0; c < kMenuColumns; ++c) {
      int item = r + c * kMenuLines;
      if (item > count) break;
      std::string cell = Fmt("%2d %9s", item, ref.arrSpecies[items[item]].szShortName);
      text += Fmt("    %12s   ", cell.c_str());
    }
    text += "\n";
    con.out << text;
  }

  Say(con, "\n Type number of choice\n");
  con.out.flush();
  char answer[50];
  ReadAnswerLine(con, answer, sizeof answer);  // end of input reads as empty: DELETE
  int choice = ReadInt(answer);
  if (choice < 1 || choice > count) choice = 2;

  if (choice == 1) return CreateNewSpecies(con, st, key);
  if (choice == 2) return 0;
  return items[choice];
}
