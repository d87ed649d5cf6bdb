// Fit report and matching analysis. (stubs, to be built)
#include <cmath>

#include "common/textio.h"
#include "report/report.h"

int PercentFit(double value) { return static_cast<int>(std::floor(value * 100.1)); }

const char* FitClass(int nMeanFit) {
  if (nMeanFit < 50) return "very poor";
  if (nMeanFit < 60) return "poor";
  if (nMeanFit < 70) return "fair";
  if (nMeanFit < 80) return "good";
  return "very good";
}

int16_t ReportFits(Console& con, AppState& st) { (void)con; (void)st; return 0; }
void WriteMatchingAnalysis(const AppState& st) { (void)st; }
