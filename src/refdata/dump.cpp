// The reference table dump. (stub, to be built)
#include "common/textio.h"
#include "refdata/refdata.h"

bool DumpReferenceTables(Console& con, const RefData& ref) { (void)con; (void)ref; return true; }
