// Reference data: the species dictionary, the community definitions and the
// association tables, loaded and joined once at start-up; and the table dump.
#pragma once

#include <cstdint>

#include "common/state.h"

// A quant code that takes part in any calculation lies in 1..50.
inline bool IsValidQuant(int q) { return q >= 1 && q <= kQuantCodes; }

// The three loaders, in the order LoadReferenceData runs them.
void LoadSpeciesDictionary(Console& con, RefData& ref);
void LoadCommunityDefinitions(Console& con, RefData& ref);
void LoadAssociationTables(Console& con, RefData& ref);
void LoadReferenceData(Console& con, RefData& ref);

// Sorts entries 1..n of the sorted index by (code, index), in place.
void SortSpecies(SortedSpeciesEntry* arr, int n);

// Halving lower-bound search over arrSortedSpecies rows 1..nSpeciesCount for the
// first row with the given code; returns that row of arrSortedSpecies, or 0.
int FindSortedRowByCode(const RefData& ref, int code);

// Writes the nine dump files A01..A09 into the console's directory.
// Returns false (after saying which) when a file could not be written.
bool DumpReferenceTables(Console& con, const RefData& ref);
