// Habitat correspondences: a sub-community takes its community's in the
// classifications it has none of; the wide habitat columns, the long habitats
// file and the full EUNIS names agree with habitats.csv; a habitats file that
// cannot be written fails the run and leaves an earlier one as it was.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::Col;
using batchtest::NvcTables;

TEST(Habitats, SubCommunitiesTakeTheirCommunitysClassificationsTheyHaveNoneOf) {
  struct Case {
    const char* unit;
    const char* classification;
    std::set<std::string> codes;
    const char* from;  // the community they are inherited from; "" the unit's own
  };
  const Case cases[] = {
      {"CG3c", "Phase 1 Habitat Classification", {"B32"}, ""},  // not CG3's B31
      {"CG3c", "EU Habitats Directive Annex I", {"H6210"}, "CG3"},
      {"CG3c", "EUNIS Classification", {"E1.26"}, "CG3"},
      {"CG3c", "UKHab - Level5", {"g2a5"}, ""},  // CG3's g2a6 not added to its own
      {"CG3a", "Phase 1 Habitat Classification", {"B31"}, "CG3"},
      {"W10e", "EU Habitats Directive Annex I", {"H91A0"}, ""},  // not W10's H9190
      {"W10e", "EUNIS Classification", {"G1.A11"}, "W10"},
      {"CG3", "EU Habitats Directive Annex I", {"H6210"}, ""},
  };
  UnitInfo info;
  std::string error;
  ASSERT_TRUE(LoadUnitInfo(NvcTables(), info, error)) << error;
  for (const Case& c : cases) {
    std::set<std::string> codes;
    for (const HabitatLink& l : info.habitats[c.unit]) {
      if (l.classification != c.classification) continue;
      codes.insert(l.code);
      EXPECT_EQ(l.inheritedFrom, c.from) << c.unit << " " << l.code;
    }
    EXPECT_EQ(codes, c.codes) << c.unit << " " << c.classification;
  }

  // A damaged file is refused, naming the file and its line.
  const struct {
    const char* file;
    const char* text;
    const char* error;
  } damaged[] = {
      {"habitats.csv",
       "nvc_code,classification,habitat_code,habitat_name,relationship\n"
       "X1,UKHab - Level2,g,Grassland | heath,associated with\n",
       "habitats.csv: line 2: \"Grassland | heath\" holds \" | \", which parts the items of a habitat column"},
      {"units.csv", "nvc_code,community_code,full_name\nA1,A1,\"Lemna gibba\n",
       "units.csv: line 2: a quoted field is never closed"},
      {"habitats.csv", "nvc_code,classification\n\"X1,UKHab\n", "habitats.csv: line 2: a quoted field is never closed"},
  };
  for (const auto& d : damaged) {
    TempDir tables;
    tables.Write(d.file, d.text);
    EXPECT_FALSE(LoadUnitInfo(tables.path(), info, error)) << d.text;
    EXPECT_EQ(error, d.error);
  }
}

CsvTable ReadCsvFile(const std::string& path) {
  CsvTable t;
  std::string error;
  EXPECT_TRUE(ParseCsv(ReadWholeFile(path), t, error)) << path << ": " << error;
  return t;
}

TEST(Habitats, WideColumnsLongFileAndEunisNamesAgreeWithHabitatsCsv) {
  // A wide item as far as the relationship: "CODE NAME (RELATIONSHIP".
  const auto start = [](const std::string& code, const std::string& name, const std::string& relationship) {
    return (code.empty() ? "" : code + " ") + name + " (" + relationship;
  };
  // unit -> classification -> the lines of habitats.csv, as the start of their items
  std::map<std::string, std::map<std::string, std::set<std::string>>> source;
  std::map<std::string, std::string> eunisName, communityOf;
  for (const CsvRow& r : ReadCsvFile(NvcTables() + "/habitats.csv").rows) {
    const std::vector<std::string>& f = r.fields;
    source[f[0]][f[1]].insert(start(f[2], f[3], f[4]));
    if (f[1] == "EUNIS Classification") eunisName[f[2]] = f[3];
  }
  for (const CsvRow& r : ReadCsvFile(NvcTables() + "/units.csv").rows) communityOf[r.fields[0]] = r.fields[1];

  TempDir dir;
  const batchtest::Run run =
      batchtest::Classify(dir.path(), {"--tables", NvcTables(), "-q", "--habitats", "all", "-o", "r.csv",
                                       "--habitats-out", "h.csv", ProjectDir() + "/tests/data/survey_long.csv"});
  ASSERT_EQ(run.status, 0) << run.err;

  const CsvTable h = ReadCsvFile(dir.File("h.csv"));
  ASSERT_EQ(h.header, (std::vector<std::string>{"sample", "Site", "Year", "Group", "Quadrat", "rank", "nvc_code",
                                                "classification", "habitat_code", "habitat_name", "relationship",
                                                "inherited", "ranked_by"}));
  // Every long row is a line of habitats.csv, of the unit or of the community
  // it is inherited from; as a wide item it reads "CODE NAME (RELATIONSHIP, inherited from C)".
  const std::regex inherited("(.*) \\(inherited from (.*)\\)");
  std::map<std::string, std::set<std::string>> longItems;  // "sample/rank" -> items
  for (const CsvRow& r : h.rows) {
    const std::vector<std::string>& f = r.fields;
    ASSERT_EQ(f.size(), h.header.size()) << "h.csv:" << r.line;
    std::smatch m;
    const bool isInherited = std::regex_match(f[10], m, inherited);
    EXPECT_EQ(f[11], isInherited ? "TRUE" : "FALSE") << "h.csv:" << r.line;
    const std::string relationship = isInherited ? m[1].str() : f[10];
    const std::string from = isInherited ? m[2].str() : f[6];
    EXPECT_EQ(isInherited ? communityOf[f[6]] : f[6], from) << "h.csv:" << r.line;
    EXPECT_EQ(source[from][f[7]].count(start(f[8], f[9], relationship)), 1u) << "h.csv:" << r.line;
    longItems[f[0] + "/" + f[5]].insert(start(f[8], f[9], relationship) +
                                        (isInherited ? ", inherited from " + from : "") + ")");
  }

  const CsvTable res = ReadCsvFile(dir.File("r.csv"));
  const std::vector<std::string> wide = {"ukhab", "annex1", "priority_habitat", "phase1", "eunis_habitat"};
  int inheritedAnnex = 0;
  for (const CsvRow& r : res.rows) {
    const std::vector<std::string>& f = r.fields;
    const std::string unit = f[Col(res.header, "nvc_code")];
    const std::string eunis = f[Col(res.header, "eunis_code")];
    EXPECT_EQ(f[Col(res.header, "eunis_name")], eunis.empty() ? "" : eunisName[eunis]) << unit;
    std::set<std::string> items;
    for (const std::string& column : wide) {
      const std::string& cell = f[Col(res.header, column)];
      for (size_t at = 0; !cell.empty();) {
        const size_t bar = cell.find(" | ", at);
        items.insert(cell.substr(at, bar - at));
        if (bar == std::string::npos) break;
        at = bar + 3;
      }
    }
    EXPECT_EQ(items, longItems[f[0] + "/" + f[Col(res.header, "rank")]]) << f[0] << " " << unit;
    // A best fit has the Annex I and EUNIS habitats of its community where it has none of its own.
    if (f[Col(res.header, "rank")] != "1" || unit.empty()) continue;
    for (const char* cls : {"EU Habitats Directive Annex I", "EUNIS Classification"}) {
      const bool own = !source[unit][cls].empty();
      for (const std::string& want : source[own ? unit : communityOf[unit]][cls]) {
        bool found = false;
        for (const std::string& item : items) found = found || item.rfind(want, 0) == 0;
        EXPECT_TRUE(found) << f[0] << " " << unit << " lacks " << want;
        inheritedAnnex += !own && std::string(cls) == "EU Habitats Directive Annex I" ? 1 : 0;
      }
    }
  }
  EXPECT_GT(inheritedAnnex, 0);
}

TEST(Habitats, AHabitatsFileThatCannotBeWrittenFailsTheRunAndKeepsTheEarlierOne) {
  struct Case {
    const char* name;
    std::vector<std::string> args;
    const char* shell;
    int status;
    std::string said;
  };
  const std::string survey = ProjectDir() + "/tests/data/pquads_small.txt";
  const std::vector<Case> cases = {
      {"file size limit", {"--habitats-out", "h.csv", survey}, "trap '' XFSZ; ulimit -f 8; ", 4,
       "h.csv: the habitats could not be written"},
      {"input missing", {"--habitats-out", "h.csv", survey, "missing.csv"}, "", 1,
       "h.csv: not written, as the run failed"},
  };
  const std::string earlier = "sample,rank\nfrom an earlier run,1\n";
  for (const Case& c : cases) {
    TempDir dir;
    dir.Write("h.csv", earlier);
    dir.Write("r.csv", earlier);
    std::vector<std::string> args = {"classify", "--tables", NvcTables(), "-q", "--fits", "20", "-o", "r.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const batchtest::Run r = batchtest::Binary(dir, args, "", c.shell);
    EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
    EXPECT_NE(r.err.find("vegmatch: " + c.said), std::string::npos) << c.name << "\n" << r.err;
    EXPECT_EQ(dir.Read("h.csv"), earlier) << c.name;
    EXPECT_EQ(dir.Read("r.csv"), earlier) << c.name;
  }
}

}  // namespace
