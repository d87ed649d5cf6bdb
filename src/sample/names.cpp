// Dictionary name resolution. (stubs, to be built)
#include "common/textio.h"
#include "sample/sample.h"

NameBracket FindNameBracket(const RefData& ref, const char* key) {
  (void)ref; (void)key; return NameBracket{1, 1, 0};
}
int FindSpeciesRow(const RefData& ref, const SampleState& sample, const char* key) {
  (void)ref; (void)sample; (void)key; return 0;
}
int ResolveUnknownName(Console& con, AppState& st, const char* key) {
  (void)con; (void)st; (void)key; return 0;
}
