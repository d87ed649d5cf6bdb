// Dictionary name resolution: exact lookup, the menu of similar names, and
// new species appended after the dictionary for the rest of the run.
#include <cassert>
#include <cstdio>
#include <cstring>
#include <ostream>

#include "sample/sample.h"

namespace {

constexpr int kNameBytes = kShortNameBytes;
constexpr int kMenuItems = 75;      // items 1..75 can be chosen
constexpr int kMenuLines = 15;      // items r, r+15, r+30, r+45 share line r
constexpr int kMenuColumns = 4;     // so items 61..75 are never shown
constexpr int kRowNewName = 1;
constexpr int kRowDelete = 2;

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

// Appends the key as a new species. Returns the new row, or 0 when the name
// has to be refused (the table is full, or the codes are used up).
int CreateNewSpecies(Console& con, RefData& ref, const RunSettings& rs, const char* key) {
  const NewSpecies added = AppendNewSpecies(ref, key);
  if (added.result == NewSpeciesResult::kAdded) return added.row;
  const char* refusal =
      added.result == NewSpeciesResult::kTableFull
          ? " *** Species table full - no room for a new name; line ignored ***  %-9s\n"
          : " *** No species codes left for new names; line ignored ***  %-9s\n";
  Say(con, refusal, key);
  if (rs.nInputSource == 1 && rs.nOutputFormat == 1) FileSay(rs.fpResults.get(), refusal, key);
  return 0;
}

}  // namespace

int FindSpeciesRow(const RefData& ref, const char* key) {
  const int row = DictionaryRowOfName(ref, key);
  if (row != 0) return row;
  // New names stand after the dictionary unsorted, in order of creation.
  for (int row = ref.nSpeciesCount + 1; row <= ref.nSpeciesEntries; ++row) {
    if (CompareShortName(key, ref.arrSpecies[row].szShortName) == 0) return row;
  }
  return 0;
}

NameChoice ResolveUnknownName(Console& con, RefData& ref, const RunSettings& rs, const char* key) {
  if (rs.nInputSource == 1) {
    // A data file runs without questions: the name is taken as a new species.
    Say(con, "      *** Name not in dictionary ***  %-9s\n", key);
    if (rs.nOutputFormat == 1) {
      FileSay(rs.fpResults.get(), "      *** Name not in dictionary ***  %-9s\n", key);
    }
    return NameChoice{CreateNewSpecies(con, ref, rs, key), true};
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
  for (int row = ref.nSpeciesCount + 1; row <= ref.nSpeciesEntries; ++row) consider(row);

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
  // The end of the input reads as an empty answer: DELETE.
  const bool answered = ReadAnswerLine(con, answer, sizeof answer);
  int choice = ReadInt(answer);
  if (choice < 1 || choice > count) choice = 2;

  if (choice == 1) return NameChoice{CreateNewSpecies(con, ref, rs, key), answered};
  if (choice == 2) return NameChoice{0, answered};
  return NameChoice{items[choice], answered};
}
