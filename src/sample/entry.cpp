// The sample entry loop and completion. (stubs, to be built)
#include "common/textio.h"
#include "sample/sample.h"

void CompleteSample(SampleState& sample, const RunSettings& rs) { (void)sample; (void)rs; }

EntryResult EnterSample(Console& con, AppState& st) {
  (void)con; (void)st; return EntryResult::kSampleReady;
}
