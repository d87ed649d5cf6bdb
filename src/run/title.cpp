// Title and help screens. (stubs, to be built)
#include "common/textio.h"
#include "run/run.h"

void ShowTitleScreen(Console& con, int helpPageLength) {
  (void)con;
  (void)helpPageLength;
}

void ShowHelpFile(Console& con, int pageLength) {
  (void)con;
  (void)pageLength;
}
