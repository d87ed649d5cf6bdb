// Start-up dialogues. (stubs, to be built)
#include "common/textio.h"
#include "run/run.h"

bool RunSettingsDialogue(Console& con, RunSettings& rs) {
  (void)con;
  (void)rs;
  return true;
}

void ParameterDialogue(Console& con, RunSettings& rs) {
  (void)con;
  (void)rs;
}
