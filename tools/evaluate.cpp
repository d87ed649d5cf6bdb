// Accuracy of tidy classify results against the units the samples came from:
//   evaluate [--tables DIR] TRUTH.csv RESULTS.csv...
// TRUTH holds "sample,nvc_code" rows. For each results file it prints how often
// the source unit is ranked first and within the first five, exactly and at
// community level. A sub-community without association lines of its own counts
// as found when its community is.
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "tables/csv.h"
#include "survey/inputs.h"
#include "batch/options.h"
#include "outputs/tidy.h"
#include "outputs/units.h"

namespace {

std::string Community(const std::string& unit) {
  std::string c = unit;
  while (!c.empty() && c.back() >= 'a' && c.back() <= 'z') c.pop_back();
  return c;
}

bool ReadTable(const std::string& path, CsvTable& table) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string error;
  return ParseCsv(text, table, error);
}

int Column(const CsvTable& t, const char* name) {
  for (size_t i = 0; i < t.header.size(); ++i) {
    if (t.header[i] == name) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string tables = BundledTablesFolder();
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() >= 2 && args[0] == "--tables") {
    tables = args[1];
    args.erase(args.begin(), args.begin() + 2);
  }
  if (args.size() < 2) {
    std::cerr << "usage: evaluate [--tables DIR] TRUTH.csv RESULTS.csv...\n";
    return 2;
  }
  // Units with association lines of their own.
  std::set<std::string> withLines;
  std::ifstream data(PathIn(tables, kAssociationFile));
  for (std::string line; std::getline(data, line);) withLines.insert(line.substr(0, line.find('\t')));

  CsvTable truthTable;
  if (!ReadTable(args[0], truthTable)) {
    std::cerr << "evaluate: cannot read " << args[0] << "\n";
    return 1;
  }
  std::map<std::string, std::string> truth;
  for (const CsvRow& row : truthTable.rows) {
    if (row.fields.size() >= 2) truth[row.fields[0]] = row.fields[1];
  }
  std::cout << "results                 samples  exact top-1  exact top-5  community top-1  "
               "community top-5\n";
  for (size_t f = 1; f < args.size(); ++f) {
    CsvTable results;
    if (!ReadTable(args[f], results)) {
      std::cerr << "evaluate: cannot read " << args[f] << "\n";
      return 1;
    }
    const int sample = Column(results, "sample");
    const int rank = Column(results, "rank");
    const int code = Column(results, "nvc_code");
    if (sample < 0 || rank < 0 || code < 0) {
      std::cerr << "evaluate: " << args[f] << " is no tidy results file\n";
      return 1;
    }
    std::map<std::string, std::vector<std::string>> ranked;
    for (const CsvRow& row : results.rows) {
      ranked[row.fields[static_cast<size_t>(sample)]].push_back(row.fields[static_cast<size_t>(code)]);
    }
    int n = 0, exact1 = 0, exact5 = 0, comm1 = 0, comm5 = 0;
    for (const auto& [name, unit] : truth) {
      auto it = ranked.find(name);
      if (it == ranked.end()) continue;
      ++n;
      const bool ownLines = withLines.count(unit) != 0;
      // The first rank that names the unit, and the first that names its community.
      size_t exactAt = 99;
      size_t communityAt = 99;
      for (size_t r = 0; r < it->second.size() && r < 5; ++r) {
        const std::string& got = it->second[r];
        if (exactAt == 99 && (got == unit || (!ownLines && got == Community(unit)))) exactAt = r;
        if (communityAt == 99 && !got.empty() && Community(got) == Community(unit)) communityAt = r;
      }
      exact1 += exactAt == 0;
      exact5 += exactAt < 5;
      comm1 += communityAt == 0;
      comm5 += communityAt < 5;
    }
    auto pct = [n](int k) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "%5.1f %%", n == 0 ? 0.0 : 100.0 * k / n);
      return std::string(buf);
    };
    std::string label = args[f].substr(args[f].rfind('/') + 1);
    label.resize(22, ' ');
    std::printf("%s  %7d  %11s  %11s  %15s  %15s\n", label.c_str(), n, pct(exact1).c_str(),
                pct(exact5).c_str(), pct(comm1).c_str(), pct(comm5).c_str());
  }
  return 0;
}
