// Recaps and the record file. (stub, to be built)
#include "common/textio.h"
#include "sample/sample.h"

void ShowSampleEntries(Console& con, RecapMode mode, int n, AppState& st) {
  (void)con; (void)mode; (void)n; (void)st;
}
