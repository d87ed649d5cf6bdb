// The columns of every file the commands write, as the engine names and types
// them for its readers (the R package): each file's header is those names, and
// every field is of its column's type.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::NvcTables;
using batchtest::ReadRfc4180;

// True when `field` is a field of a column of `type` (empty is missing in each).
bool OfType(const std::string& field, FieldType type) {
  if (field.empty()) return true;
  char* end = nullptr;
  switch (type) {
    case FieldType::kText: return true;
    case FieldType::kNumber: std::strtod(field.c_str(), &end); return *end == '\0';
    case FieldType::kWhole: std::strtol(field.c_str(), &end, 10); return *end == '\0';
    case FieldType::kLogical: return field == "TRUE" || field == "FALSE";
  }
  return false;
}

TEST(OutputColumns, EachFileHasItsColumnsAndEveryFieldItsType) {
  TempDir dir;
  const std::string survey = ProjectDir() + "/tests/data/survey_long.csv";
  const batchtest::Run run = batchtest::Classify(
      dir.path(), {"--tables", NvcTables(), survey, "--quiet", "--habitats", "all", "--indicators", "-o", "results.csv",
                   "--species-lists", "lists.csv", "--habitats-out", "habitats.csv", "--synoptic", "synoptic.csv"});
  ASSERT_EQ(run.status, 0) << run.err;
  // The survey's own columns that name its samples come after "sample" (and
  // before every other column of the results, lists and habitats).
  const std::vector<std::string> ids = {"Site", "Year", "Group", "Quadrat"};
  struct Case {
    const char* file;
    const char* what;
    size_t idsAfter;  // where the identifying columns stand; SIZE_MAX: none
  };
  const Case cases[] = {{"results.csv", "results", 1},
                        {"lists.csv", "lists", 1},
                        {"habitats.csv", "habitats", 1},
                        {"synoptic.csv", "synoptic", SIZE_MAX}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::vector<ColumnSpec> want = OutputColumns(c.what);
    ASSERT_FALSE(want.empty());
    if (c.idsAfter == SIZE_MAX) {
      // The synoptic rows begin with the group's columns, here none.
    } else {
      if (c.idsAfter == 1 && want[0].name != "sample") want.insert(want.begin(), {"sample", FieldType::kText});
      for (size_t k = 0; k < ids.size(); ++k) want.insert(want.begin() + 1 + k, {ids[k], FieldType::kText});
    }
    const batchtest::Table t = ReadRfc4180(dir.Read(c.file));
    ASSERT_TRUE(t.ok);
    ASSERT_GT(t.rows.size(), 1u);
    std::vector<std::string> names;
    for (const ColumnSpec& w : want) names.push_back(w.name);
    EXPECT_EQ(t.rows[0], names);
    for (size_t r = 1; r < t.rows.size(); ++r) {
      ASSERT_EQ(t.rows[r].size(), want.size()) << "row " << r;
      for (size_t k = 0; k < want.size(); ++k) {
        EXPECT_TRUE(OfType(t.rows[r][k], want[k].type))
            << "row " << r << " column " << want[k].name << " (" << FieldTypeWord(want[k].type) << "): \""
            << t.rows[r][k] << "\"";
      }
    }
  }
  // The names command's table and map, through the binary's own command.
  ScriptedConsole sc("");
  const std::string out = dir.File("names.csv");
  const std::string map = dir.File("map.csv");
  const std::string tables = NvcTables();
  std::vector<const char*> argv{"names", "--tables", tables.c_str(), survey.c_str(), "-o", out.c_str(),
                                "--map-out", map.c_str()};
  ASSERT_EQ(NamesMain(static_cast<int>(argv.size()), argv.data(), sc.con), 0) << sc.err.str();
  for (const auto& [file, what] : {std::pair<std::string, const char*>{out, "names"}, {map, "map"}}) {
    const batchtest::Table t = ReadRfc4180(dir.Read(file.substr(dir.path().size() + 1)));
    ASSERT_TRUE(t.ok) << file;
    std::vector<std::string> names;
    for (const ColumnSpec& w : OutputColumns(what)) names.push_back(w.name);
    EXPECT_EQ(t.rows[0], names) << what;
    for (size_t r = 1; r < t.rows.size(); ++r) {
      for (size_t k = 0; k < names.size() && k < t.rows[r].size(); ++k) {
        EXPECT_TRUE(OfType(t.rows[r][k], OutputColumns(what)[k].type)) << what << " " << names[k] << " row " << r;
      }
    }
  }
  EXPECT_TRUE(OutputColumns("nothing").empty());
}

}  // namespace
