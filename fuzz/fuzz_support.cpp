#include "fuzz_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/app.h"

namespace fs = std::filesystem;

void FuzzCheckFailed(const char* what, const char* file, int line) {
  std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", what, file, line);
  std::abort();
}

namespace {

void RemoveFuzzFolder() {
  std::error_code ec;
  fs::remove_all(FuzzFolder(), ec);
}

template <size_t kN>
bool Terminated(const char (&field)[kN]) {
  for (char c : field) {
    if (c == '\0') return true;
  }
  return false;
}

}  // namespace

const std::string& FuzzFolder() {
  static const std::string folder = [] {
    // In memory where the system offers it: every input is written to a file.
    std::error_code ec;
    const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm")
                                                           : fs::temp_directory_path();
    std::string pattern = (base / "vegmatch-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("vegmatch fuzz: cannot create a working folder");
      std::abort();
    }
    return pattern;
  }();
  static const bool cleanUp = std::atexit(RemoveFuzzFolder) == 0;
  (void)cleanUp;
  return folder;
}

std::string MakeRunFolder(const std::string& name, const std::vector<std::string>& files) {
  const std::string folder = FuzzFolder() + "/" + name;
  fs::create_directory(folder);
  for (const std::string& f : files) CopyDemoFile(f, folder);
  return folder;
}

void TidyRunFolder(const std::string& folder, const std::vector<std::string>& keep) {
  for (const fs::directory_entry& e : fs::directory_iterator(folder)) {
    const std::string file = e.path().filename().string();
    if (std::find(keep.begin(), keep.end(), file) == keep.end()) fs::remove_all(e.path());
  }
}

ProgramRun RunProgramIn(const std::string& folder, const std::string& typed) {
  std::istringstream in(typed);
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err, folder);
  const char* argv[] = {"vegmatch"};
  ProgramRun run{VegmatchMain(1, argv, con), out.str(), err.str()};
  FUZZ_CHECK(run.err.find(kDictionaryFile) == std::string::npos);
  FUZZ_CHECK(run.err.find(kAssociationFile) == std::string::npos);
  return run;
}

std::string DemoFolder() { return VM_DEMO_DATA; }

void WriteFileBytes(const std::string& path, std::string_view bytes) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(f.good());
}

void CopyDemoFile(const std::string& name, const std::string& folder) {
  fs::copy_file(DemoFolder() + "/" + name, folder + "/" + name,
                fs::copy_options::overwrite_existing);
}

Split TakeSelector(const uint8_t* data, size_t size) {
  if (size == 0) return Split{0, std::string_view()};
  return Split{data[0], std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1)};
}

int LinesTakingPart(const RefData& ref) {
  int n = 0;
  for (int t = 1; t <= ref.nSpeciesTableCount; ++t) {
    if (ref.arrTbSpeciesToNVCJoinTable[t].nNVCIndex != 0) ++n;
  }
  return n;
}

void CheckLoadedTables(const RefData& ref) {
  CheckReferenceTables(ref);
  CheckTextsAndJoins(ref);
}

void CheckTextsAndJoins(const RefData& ref) {
  FUZZ_CHECK(ref.nSpeciesCount >= 2 && ref.nSpeciesCount <= LastRow(ref.arrSpecies));
  FUZZ_CHECK(ref.nNVCCount >= 0 && ref.nNVCCount + 1 <= LastRow(ref.arrNVCData));
  FUZZ_CHECK(ref.nSpeciesTableCount >= 0 &&
             ref.nSpeciesTableCount <= LastRow(ref.arrTbNVCToSpeciesJoinTable));
  // The rows in use and the one after them (rows further on are never written).
  for (int i = 0; i <= ref.nSpeciesEntries + 1 && i <= LastRow(ref.arrSpecies); ++i) {
    const SpeciesEntry& e = ref.arrSpecies[i];
    FUZZ_CHECK(Terminated(e.szShortName) && Terminated(e.szFullName));
  }
  for (int m = 0; m <= ref.nNVCCount + 1; ++m) {
    const NVCUnit& u = ref.arrNVCData[m];
    FUZZ_CHECK(Terminated(u.szNVCType) && Terminated(u.szNVCCommonName) &&
               Terminated(u.szNVCSubName) && Terminated(u.szEunisCode) &&
               Terminated(u.szEunisName));
  }
  for (int m = 1; m <= ref.nNVCCount + 1; ++m) {
    const NVCUnit& u = ref.arrNVCData[m];
    FUZZ_CHECK(u.nSpeciesTableEndIndex == 0 ||
               (u.nSpeciesTableStartIndex >= 1 &&
                u.nSpeciesTableStartIndex <= u.nSpeciesTableEndIndex &&
                u.nSpeciesTableEndIndex <= ref.nSpeciesTableCount));
  }
  // Every regrouped line belongs to a dictionary code within 1..9000, to a real
  // unit, and has a valid quant.
  for (int i = 3; i <= ref.nSpeciesCount; ++i) {
    const int code = ref.arrSpecies[i].nSpeciesCode;
    const TableRange& r = ref.arrSpeciesBySpeciesIndex[i];
    if (r.nEndIndex == 0) continue;
    FUZZ_CHECK(code >= 1 && code <= kMaxDictionaryCode);
    FUZZ_CHECK(r.nStartIndex >= 1 && r.nEndIndex <= ref.nSpeciesTableCount);
    for (int t = r.nStartIndex; t <= r.nEndIndex; ++t) {
      const NVCTableLine& line = ref.arrTbSpeciesToNVCJoinTable[t];
      FUZZ_CHECK(line.nNVCIndex >= 1 && line.nNVCIndex <= ref.nNVCCount);
      FUZZ_CHECK(IsValidQuant(line.nQuant));
    }
  }
  FUZZ_CHECK(ref.nSpeciesEntries >= ref.nSpeciesCount);
}

void CheckCompletedSample(const RefData& ref, const SampleState& sample, const RunSettings& rs) {
  FUZZ_CHECK(Terminated(sample.szSampleName));
  FUZZ_CHECK(std::strlen(sample.szSampleName) <= static_cast<size_t>(kSampleNameWidth));
  FUZZ_CHECK(sample.nSampleEntries >= 0 && sample.nSampleEntries <= kSampleCapacity);
  FUZZ_CHECK(sample.nMaxFreq >= 0 && sample.nMaxFreq <= 100);
  for (int k = 1; k <= sample.nSampleEntries; ++k) {
    const SampleEntry& e = sample.arrSample[k];
    FUZZ_CHECK(e.nCover >= 0 && e.nCover <= 100);
    FUZZ_CHECK(e.nSpeciesCode >= 0 && e.nSpeciesCode <= rs.nSpeciesGroupLimit);
    FUZZ_CHECK(e.nSpeciesIndex >= 1 && e.nSpeciesIndex <= ref.nSpeciesEntries);
    FUZZ_CHECK(ref.arrSpecies[e.nSpeciesIndex].nSpeciesCode == e.nSpeciesCode);
    // One row per code.
    for (int j = 1; j < k; ++j) FUZZ_CHECK(sample.arrSample[j].nSpeciesCode != e.nSpeciesCode);
  }
}

void CheckTopFits(const RefData& ref, const ScoringState& sc, int nFits) {
  FUZZ_CHECK(nFits >= 1 && nFits < kTopFitsRecords);
  const int real = nFits < ref.nNVCCount ? nFits : ref.nNVCCount;
  for (int i = 1; i <= real; ++i) {
    const TopFit& t = sc.arrTopFits[i];
    FUZZ_CHECK(t.nNVCIndex >= 1 && t.nNVCIndex <= ref.nNVCCount);
    FUZZ_CHECK(std::isfinite(t.dMeanGoF) && t.dMeanGoF >= 0.0);
    FUZZ_CHECK(t.dMeanGoF == sc.arrNVCFit[t.nNVCIndex].dMeanGoF);
    if (i > 1) FUZZ_CHECK(sc.arrTopFits[i - 1].dMeanGoF >= t.dMeanGoF);
    for (int j = 1; j < i; ++j) FUZZ_CHECK(sc.arrTopFits[j].nNVCIndex != t.nNVCIndex);
  }
}

namespace {

// The first lines of the demonstration association file: its first three units
// (CG2, H12, M19), which keep a load short when the input is another file.
std::string FirstAssociationUnits() {
  std::ifstream f(DemoFolder() + "/" + kAssociationFile, std::ios::binary);
  std::string text;
  std::string units;
  for (std::string line; std::getline(f, line);) {
    const std::string unit = line.substr(0, line.find('\t'));
    if (units.find("|" + unit + "|") == std::string::npos) {
      if (std::count(units.begin(), units.end(), '|') == 6) break;
      units += "|" + unit + "|";
    }
    text += line + "\n";
  }
  FUZZ_CHECK(!text.empty());
  return text;
}

}  // namespace

Load LoadWithFile(const char* fileName, std::string_view bytes) {
  // A process fuzzes one file: the folder is laid out for the first one asked.
  static const std::string folder = [fileName] {
    const std::string f = FuzzFolder() + "/tables";
    fs::create_directory(f);
    CopyDemoFile(kDictionaryFile, f);
    CopyDemoFile(kDefinitionsFile, f);
    if (std::string_view(fileName) == kAssociationFile) {
      CopyDemoFile(kAssociationFile, f);
    } else {
      WriteFileBytes(f + "/" + kAssociationFile, FirstAssociationUnits());
    }
    return f;
  }();
  static RefData* const ref = [] {
    auto* r = new RefData();
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    Console con(in, out, err, folder);
    FUZZ_CHECK(LoadReferenceData(con, *r) && err.str().empty());
    return r;
  }();
  if (bytes.size() > kMaxLoaderInput) return Load{false, false, std::string(), *ref};
  WriteFileBytes(folder + "/" + fileName, bytes);

  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Console con(in, out, err, folder);
  const std::string_view name = fileName;
  std::array<int, 3> skipped = {0, 0, 0};
  if (name == kDictionaryFile) skipped[0] = LoadSpeciesDictionary(con, *ref, folder);
  skipped[1] = LoadCommunityDefinitions(con, *ref, folder);
  skipped[2] = LoadAssociationTables(con, *ref, folder);
  const bool whole = FinishReferenceData(con, *ref, skipped);
  return Load{true, whole, err.str(), *ref};
}

void CheckLoad(const Load& load) {
  if (!load.loaded) return;
  const RefData& ref = load.ref;
  // FinishReferenceData has run CheckReferenceTables.
  CheckTextsAndJoins(ref);
  const int taking = LinesTakingPart(ref);
  if (load.whole) FUZZ_CHECK(taking > 0 && ref.nSpeciesCount > 2);
  if (load.err.empty()) {
    FUZZ_CHECK(load.whole);
    FUZZ_CHECK(taking == ref.nSpeciesTableCount);
  }
}
