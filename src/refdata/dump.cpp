// The reference table dump: nine tab-separated files A01..A09 that show every
// reference table, and two merged views of the join tables, as the loaders left
// them. Nothing in a normal run calls it.
#include <cassert>
#include <cstdio>
#include <ostream>

#include "refdata/refdata.h"

namespace {

// The unit's code with every blank removed (a code holds at most 6 characters).
struct PlainCode {
  char text[kTypeWidth + 1];
  explicit PlainCode(const NVCUnit& unit) {
    int n = 0;
    for (int i = 0; i < kTypeWidth && unit.szNVCType[i] != '\0'; ++i) {
      if (unit.szNVCType[i] != ' ') text[n++] = unit.szNVCType[i];
    }
    text[n] = '\0';
  }
};

// The full name of the first dictionary entry with the code; empty when none.
// Association lines may name codes beyond the code index.
const char* NameOfCode(const RefData& ref, int code) {
  if (code < 1 || code > LastRow(ref.arrSpeciesIndexByCode)) return "";
  const int index = ref.arrSpeciesIndexByCode[code];
  return index == 0 ? "" : ref.arrSpecies[index].szFullName;
}

// Creates one dump file, writes its three text lines and column header, lets
// `rows` write the body, and reports on the error stream when the file could not
// be created, written or closed.
template <typename Rows>
bool WriteDumpFile(Console& con, const char* name, const char* title, const char* line2,
                   const char* line3, const char* header, Rows rows) {
  File file = OpenIn(con.dir, name, "w+");
  if (!file) {
    Diagnose(con, PathIn(con.dir, name), "cannot create the dump file");
    return false;
  }
  std::fprintf(file.get(), "%s\n%s\n%s\n%s\n", title, line2, line3, header);
  rows(file.get());
  bool ok = file.Close();
  if (!ok) Diagnose(con, PathIn(con.dir, name), "cannot write the dump file");
  return ok;
}

const char kSpeciesNameNote[] =
    "Note that the species name displayed for each species code is simply the first name found "
    "for that code in the Sorted Species Array, and is only output for readability purposes";

// Writes A01: the dictionary rows, with their codes and names.
bool DumpSpecies(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A01-arrSpecies.txt", "Species Array",
      "This is the primary species database for Vegmatch.  Any species entered that are not "
      "found in this database are treated as new, unique species",
      "Used to recognise short names and full names and translate them to Vegmatch species codes",
      "nSpeciesIndex \tnSpeciesCode \tszShortName \tszFullName", [&](std::FILE* fp) {
        for (int i = 1; i <= LastRow(ref.arrSpecies); ++i) {
          const SpeciesEntry& e = ref.arrSpecies[i];
          std::fprintf(fp, "%d\t%d\t%s\t%s\n", i, e.nSpeciesCode, e.szShortName, e.szFullName);
        }
      });
}

// Writes A02: the dictionary rows sorted by species code.
bool DumpSortedSpecies(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A02-arrSortedSpecies.txt", "Sorted Species Array",
      "This array sorts species by Species Code and provides a link to the main Species array.",
      "Used for quickly finding a species from its species code.  Note that some codes link to "
      "more than one species, so when display the name for a code, Vegmatch displays the first "
      "species found with that code",
      "nSortedSpeciesIndex \tnSpeciesCode \tnSpeciesIndex", [&](std::FILE* fp) {
        for (int j = 1; j <= LastRow(ref.arrSortedSpecies); ++j) {
          const SortedSpeciesEntry& e = ref.arrSortedSpecies[j];
          std::fprintf(fp, "%d\t%d\t%d\n", j, e.nSpeciesCode, e.nSpeciesIndex);
        }
      });
}

// Writes A03: the community units, with the range of their association lines.
bool DumpUnits(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A03-arrNVCData.txt", "NVC Data Array",
      "This is the NVC data index, which holds details about every NVC Unit recognised by "
      "Vegmatch, and also indicates the list of species in the species table associated with "
      "each unit.  Woodland Communities are recognised as starting with W or O.",
      "The first part of the table is used throughout Vegmatch to look up names associated with "
      "each unit. The species lookup is used in the 2018 addition to Vegmatch for matching "
      "analysis in top communities",
      "nNVCIndex \tszNVCType \tszNVCCommonName \tszNVCSubName \tszEunisCode \tszEunisName "
      "\tnSpeciesTableStartIndex \tnSpeciesTableEndIndex",
      [&](std::FILE* fp) {
        for (int n = 1; n <= LastRow(ref.arrNVCData); ++n) {
          const NVCUnit& u = ref.arrNVCData[n];
          std::fprintf(fp, "%d\t%s\t%s\t%s\t%s\t%s\t%d\t%d\n", n, PlainCode(u).text,
                       u.szNVCCommonName, u.szNVCSubName, u.szEunisCode, u.szEunisName,
                       u.nSpeciesTableStartIndex, u.nSpeciesTableEndIndex);
        }
      });
}

// Writes A04: the association lines as read, a species code and a quant each.
bool DumpAssociationLines(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A04-arrTbNVCToSpeciesJoinTable.txt", "Species Join Table",
      "This table lists species codes and quant values associated with the NVC Units",
      "Lines associated with a given NVC Unit are looked up in the NVC Data Array and used for "
      "the 2018 matching analysis only",
      "nSpeciesTableIndex \tnSpeciesCode \tnQuant", [&](std::FILE* fp) {
        for (int l = 1; l <= LastRow(ref.arrTbNVCToSpeciesJoinTable); ++l) {
          const SpeciesTableLine& t = ref.arrTbNVCToSpeciesJoinTable[l];
          std::fprintf(fp, "%d\t%d\t%d\n", l, t.nSpeciesCode, t.nQuant);
        }
      });
}

// Writes A05: every unit beside each of its association lines.
bool DumpUnitsWithLines(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A05-arrNVCData-arrTbNVCToSpeciesJoinTable.txt",
      "Combined NVC Data Array and Species Table",
      "This table merges the NVC Data Array (A03) with the Species Table (A04) to show the full "
      "details stored in Vegmatch by NVC Unit",
      kSpeciesNameNote,
      "nNVCIndex \tszNVCType \tszNVCCommonName \tszNVCSubName \tszEunisCode \tszEunisName "
      "\tnSpeciesTableStartIndex \tnSpeciesTableEndIndex \tnSpeciesTableIndex \tnSpeciesCode "
      "\tszFullName \tnQuant",
      [&](std::FILE* fp) {
        for (int n = 1; n <= LastRow(ref.arrNVCData); ++n) {
          const NVCUnit& u = ref.arrNVCData[n];
          PlainCode code(u);
          // A record that was never filled has the range (0, 0) and so shows line 0.
          for (int g = u.nSpeciesTableStartIndex; g <= u.nSpeciesTableEndIndex; ++g) {
            assert(g >= 0 && g <= ref.nSpeciesTableCount);
            const SpeciesTableLine& t = ref.arrTbNVCToSpeciesJoinTable[g];
            std::fprintf(fp, "%d\t%s\t%s\t%s\t%s\t%s\t%d\t%d\t%d\t%d\t%s\t%d\n", n, code.text,
                         u.szNVCCommonName, u.szNVCSubName, u.szEunisCode, u.szEunisName,
                         u.nSpeciesTableStartIndex, u.nSpeciesTableEndIndex, g, t.nSpeciesCode,
                         NameOfCode(ref, t.nSpeciesCode), t.nQuant);
          }
        }
      });
}

// Writes A06: the range of regrouped lines of each dictionary row.
bool DumpRangesBySpeciesIndex(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A06-arrSpeciesBySpeciesIndex.txt", "Species Data Array",
      "This array is the index to the NVC Table, which lists all NVC units associated with a "
      "given species index.  In fact the association is by species code, so where a code has "
      "more than one species, the table entries are duplicated for each species",
      "This is one of the primary tables used by Vegmatch when carrying out calculations.  There "
      "is an alternative index, looking up entries by species code, where there is no "
      "duplication",
      "nSpeciesIndex \tnStartIndex \tnEndIndex", [&](std::FILE* fp) {
        for (int i = 1; i <= LastRow(ref.arrSpeciesBySpeciesIndex); ++i) {
          const TableRange& r = ref.arrSpeciesBySpeciesIndex[i];
          std::fprintf(fp, "%d\t%d\t%d\n", i, r.nStartIndex, r.nEndIndex);
        }
      });
}

// Writes A07: the range of regrouped lines of each species code.
bool DumpRangesBySpeciesCode(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A07-arrSpeciesBySpeciesCode.txt", "Species Code Data Array",
      "This is the alternative way of looking up NVC units for species, this time organised by "
      "species code rather than species index.  If there are no entries in the table associated "
      "with a given species code, both entries are zero",
      "This is the primary index that Vegmatch uses for its calculations",
      "nSpeciesCode \tnStartIndex \tnEndIndex", [&](std::FILE* fp) {
        for (int c = 1; c <= LastRow(ref.arrSpeciesBySpeciesCode); ++c) {
          const TableRange& r = ref.arrSpeciesBySpeciesCode[c];
          std::fprintf(fp, "%d\t%d\t%d\n", c, r.nStartIndex, r.nEndIndex);
        }
      });
}

// Writes A08: the regrouped lines, a unit and a quant each.
bool DumpRegroupedLines(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A08-arrTbSpeciesToNVCJoinTable.txt", "NVC Join Table",
      "This table lists NVC units and quant values associated with the various species codes",
      "Lines associated with a given species code are looked up in the Species Code Data Array "
      "(A07) or the Species Data Array (A06) and used in all Vegmatch calculations",
      "nNVCTableIndex \tnNVCIndex \tnQuant", [&](std::FILE* fp) {
        for (int e = 1; e <= LastRow(ref.arrTbSpeciesToNVCJoinTable); ++e) {
          const NVCTableLine& t = ref.arrTbSpeciesToNVCJoinTable[e];
          std::fprintf(fp, "%d\t%d\t%d\n", e, t.nNVCIndex, t.nQuant);
        }
      });
}

// Writes A09: every species code beside each of its regrouped lines and their unit.
bool DumpCodesWithLines(Console& con, const RefData& ref) {
  return WriteDumpFile(
      con, "A09-arrSpeciesBySpeciesCode-arrTbSpeciesToNVCJoinTable.txt",
      "Combined Species Code Data Array and NVC Table",
      "This table merges the Species Code Data Array (A07) with the NVC Table (A08) to show the "
      "full details stored in Vegmatch by Species Code",
      kSpeciesNameNote,
      "nSpeciesCode \tszFullName \tnStartIndex \tnEndIndex \tnNVCTableIndex \tnNVCIndex "
      "\tszNVCType \tnQuant",
      [&](std::FILE* fp) {
        for (int c = 1; c <= LastRow(ref.arrSpeciesIndexByCode); ++c) {
          if (ref.arrSpeciesIndexByCode[c] <= 0) continue;
          const TableRange& r = ref.arrSpeciesBySpeciesCode[c];
          if (r.nStartIndex <= 0) continue;
          for (int t = r.nStartIndex; t <= r.nEndIndex; ++t) {
            const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[t];
            std::fprintf(fp, "%d\t%s\t%d\t%d\t%d\t%d\t%s\t%d\n", c, NameOfCode(ref, c),
                         r.nStartIndex, r.nEndIndex, t, line.nNVCIndex,
                         PlainCode(ref.arrNVCData[line.nNVCIndex]).text, line.nQuant);
          }
        }
      });
}

}  // namespace

bool DumpReferenceTables(Console& con, const RefData& ref) {
  bool ok = true;
  // Every file is written, in this order, even when an earlier one failed.
  for (auto dump : {DumpSpecies, DumpSortedSpecies, DumpUnits, DumpAssociationLines,
                    DumpUnitsWithLines, DumpRangesBySpeciesIndex, DumpRangesBySpeciesCode,
                    DumpRegroupedLines, DumpCodesWithLines}) {
    ok &= dump(con, ref);
  }
  return ok;
}
