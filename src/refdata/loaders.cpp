// Loaders of the three reference files. (stubs, to be built)
#include "common/textio.h"
#include "refdata/refdata.h"

void LoadSpeciesDictionary(Console& con, RefData& ref) { (void)con; (void)ref; }
void LoadCommunityDefinitions(Console& con, RefData& ref) { (void)con; (void)ref; }
void LoadAssociationTables(Console& con, RefData& ref) { (void)con; (void)ref; }

void LoadReferenceData(Console& con, RefData& ref) {
  LoadSpeciesDictionary(con, ref);
  LoadCommunityDefinitions(con, ref);
  LoadAssociationTables(con, ref);
}

void SortSpecies(SortedSpeciesEntry* arr, int n) { (void)arr; (void)n; }
int FindSortedRowByCode(const RefData& ref, int code) { (void)ref; (void)code; return 0; }
