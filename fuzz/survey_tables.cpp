// The tables a survey report reads beside the reference files, from a folder
// the user may give (--tables): the units' floristic tables (constancy and Domin
// range of each association line) and the indicator values of species and
// units. Whatever the bytes: a loader succeeds or gives an error naming what,
// a unit's species have constancy classes I-V, and an indicator value or
// share read back is a number or none.
#include <cmath>
#include <filesystem>
#include <string>

#include "analyses/indicators.h"
#include "analyses/synoptic.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Split in = TakeSelector(data, size);
  const std::string folder = FuzzFolder() + "/tables";
  std::error_code made;
  std::filesystem::create_directories(folder, made);
  if (in.selector % 3 == 0) {
    // The units' tables as the loaded association file gives them.
    const Load load = LoadWithFile("VegmatchNVCData3.txt", in.rest);
    if (!load.loaded) return 0;
    UnitTables units;
    BuildUnitTables(load.ref, units);
    for (const auto& [unit, species] : units.units) {
      for (const UnitSpecies& s : species) FUZZ_CHECK(s.constancy >= 1 && s.constancy <= 5);
    }
    return 0;
  }
  const char* file = in.selector % 3 == 1 ? "indicators.csv" : "unit_indicators.csv";
  for (const char* name : {"indicators.csv", "unit_indicators.csv"}) {
    WriteFileBytes(folder + "/" + name, std::string(name) == file ? in.rest : std::string());
  }
  std::string error;
  IndicatorTables indicators;
  if (LoadIndicators(folder, indicators, error)) {
    for (const auto& [code, values] : indicators.species) {
      for (double v : values) FUZZ_CHECK(std::isnan(v) || std::isfinite(v));
    }
    std::string line;
    for (const auto& [unit, values] : indicators.units) AppendIndicatorFields(line, IndicatorMeans{}, &values);
  } else {
    FUZZ_CHECK(!error.empty());
  }
  return 0;
}
