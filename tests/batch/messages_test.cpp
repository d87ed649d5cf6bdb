// The messages of a run as records: every line said on the error stream is one
// record, in order, with the input and lines it stands on and its kind; the
// report lists the records said before it was written, and names-map messages
// stand on the map's own lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch_kit.h"

namespace {

using batchtest::NvcTables;

// A long survey whose rows 3, 4, 6 and 8 say something (a range, an unknown
// name twice, a cover that is no cover value).
const char kSurvey[] =
    "Site,Quadrat,Species,Cover\n"
    "Box Hill,1,Festuca ovina,20\n"
    "Box Hill,1,Bromopsis erecta,5-10\n"
    "Box Hill,1,Festuca foobarensis,5\n"
    "Box Hill,2,Festuca ovina,30\n"
    "Box Hill,2,Festuca foobarensis,5\n"
    "Box Hill,2,Carex flacca,10\n"
    "Box Hill,2,Briza media,lots\n";

struct Said {
  int status;
  std::string err;
  std::string report;
  std::vector<Message> records;
};

Said RunKept(const TempDir& dir, std::vector<std::string> extra) {
  ScriptedConsole sc("", dir.path());
  MessageLog log;
  sc.con.log = &log;
  std::vector<std::string> args = {"--tables", NvcTables(), dir.File("survey.csv"), "-o", dir.File("out.csv")};
  args.insert(args.end(), extra.begin(), extra.end());
  std::vector<const char*> argv{"classify"};
  for (const std::string& a : args) argv.push_back(a.c_str());
  Said s;
  s.status = ClassifyMain(static_cast<int>(argv.size()), argv.data(), sc.con);
  s.err = sc.err.str();
  s.records = log.All();
  if (dir.Exists("report.html")) s.report = dir.Read("report.html");
  return s;
}

const Message* Find(const std::vector<Message>& records, const std::string& part) {
  for (const Message& m : records) {
    if (m.what.find(part) != std::string::npos) return &m;
  }
  return nullptr;
}

TEST(MessageRecords, EveryLineSaidIsOneRecordWithItsInputLinesAndKind) {
  TempDir dir;
  dir.Write("survey.csv", kSurvey);
  const Said s = RunKept(dir, {"--all-problems"});
  ASSERT_EQ(s.status, 0) << s.err;

  // The error stream is the records, each in the one shape, in order.
  std::string rendered;
  for (const Message& m : s.records) {
    rendered += "vegmatch: " + (m.where.empty() ? std::string() : m.where + ": ") + m.what + "\n";
  }
  EXPECT_EQ(rendered, s.err);

  const std::string survey = dir.File("survey.csv");
  struct Case {
    const char* part;             // a piece of the message's text
    std::vector<long> lines;      // the lines it stands on
    const char* kind;             // its kind, when the sayer names one (else: checked non-empty)
  };
  const Case cases[] = {
      {"is a range", {3}, nullptr},
      {"unknown name \"Festuca foobarensis\"", {4, 6}, nullptr},
      {"is no cover value", {8}, nullptr},
      {"samples read", {}, kSamplesReadKind},
  };
  for (const Case& c : cases) {
    const Message* m = Find(s.records, c.part);
    ASSERT_NE(m, nullptr) << c.part << "\n" << s.err;
    EXPECT_EQ(m->file, survey) << c.part;
    EXPECT_EQ(m->lines, c.lines) << c.part;
    if (c.kind != nullptr) {
      EXPECT_EQ(m->kind, c.kind) << c.part;
    } else {
      EXPECT_FALSE(m->kind.empty()) << c.part;
      EXPECT_EQ(m->kind.find_first_of("0123456789"), std::string::npos) << c.part << ": " << m->kind;
    }
  }
  // What is said of the run as a whole stands on no input.
  const Message* summary = Find(s.records, "species records, ");
  ASSERT_NE(summary, nullptr);
  EXPECT_TRUE(summary->file.empty());
  EXPECT_TRUE(summary->where.empty());
}

TEST(MessageRecords, TheReportListsWhatWasSaidBeforeIt) {
  TempDir dir;
  dir.Write("survey.csv", kSurvey);
  const Said s = RunKept(dir, {"--report", dir.File("report.html"), "--quiet"});
  ASSERT_EQ(s.status, 0) << s.err;
  ASSERT_FALSE(s.records.empty());
  EXPECT_NE(s.report.find(std::to_string(s.records.size()) + " messages of the run"), std::string::npos);
  for (const Message& m : s.records) {
    // The report escapes what it shows; these messages hold quotes only.
    std::string shown = m.what;
    for (size_t at = 0; (at = shown.find('"', at)) != std::string::npos; at += 6) shown.replace(at, 1, "&quot;");
    EXPECT_NE(s.report.find(shown), std::string::npos) << m.what;
    if (!m.where.empty()) {
      EXPECT_NE(s.report.find("<code>" + m.where + "</code>"), std::string::npos) << m.where;
    }
  }
}

TEST(MessageRecords, ANamesMapIsSaidAtItsOwnLines) {
  TempDir dir;
  dir.Write("survey.csv", kSurvey);
  dir.Write("map.csv", "name,use\nFestuca foobarensis,Festuca ovina\nBromopsis erecta,Nonesuch nonesuchii\n");
  const Said s = RunKept(dir, {"--names-map", dir.File("map.csv")});
  EXPECT_NE(s.status, 0);
  const Message* m = Find(s.records, "Nonesuch nonesuchii");
  ASSERT_NE(m, nullptr) << s.err;
  EXPECT_EQ(m->file, dir.File("map.csv"));
  EXPECT_EQ(m->lines, std::vector<long>{3});
  EXPECT_EQ(m->where, dir.File("map.csv") + ":3");
}

}  // namespace
