// Header and species line parsing. (stubs, to be built)
#include "common/textio.h"
#include "sample/sample.h"

const char* CoverScaleTag(int16_t nCoverScale) {
  switch (nCoverScale) {
    case 1: return "COVR%";
    case 2: return "BR-BL";
    case 3: return "DOMIN";
    default: return "";
  }
}

double CoverScaleLimit(int16_t nCoverScale) {
  switch (nCoverScale) {
    case 2: return 5.0;
    case 3: return 10.0;
    default: return 100.0;
  }
}

void ParseSampleHeader(Console& con, AppState& st, const char* line, char* szName,
                       int16_t& nMaxFreq, bool& refused) {
  (void)con; (void)st; (void)line; szName[0] = '\0'; nMaxFreq = 0; refused = false;
}

void ParseSpeciesLine(const char* line, char* key, int16_t nMaxFreq, int16_t& nFreq,
                      double& dCover, int16_t& nStatus) {
  (void)line; (void)nMaxFreq; key[0] = '\0'; nFreq = 1; dCover = 0; nStatus = 0;
}
