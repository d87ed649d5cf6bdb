// Records read a block at a time: CSV records across line ends inside quotes,
// every kind of line end, and records too long to hold passed over once.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/reader.h"

namespace {

struct Read {
  std::vector<std::pair<long, std::string>> records;
  std::vector<std::pair<long, uint64_t>> longOnes;
  long unclosed;
};

Read ReadAll(RecordReader& reader) {
  Read r;
  std::string_view record;
  long line = 0;
  while (reader.Next(record, line)) r.records.emplace_back(line, std::string(record));
  for (const LongRecord& l : reader.TakeLong()) r.longOnes.emplace_back(l.line, l.length);
  r.unclosed = reader.UnclosedQuote();
  return r;
}

// The same text read from memory and from a file in blocks.
Read ReadBoth(const std::string& text, RecordReader::Kind kind) {
  RecordReader fromMemory(text, kind);
  const Read a = ReadAll(fromMemory);
  std::FILE* fp = std::tmpfile();
  EXPECT_NE(fp, nullptr);
  std::fwrite(text.data(), 1, text.size(), fp);
  std::rewind(fp);
  RecordReader fromFile(fp, kind);
  const Read b = ReadAll(fromFile);
  std::fclose(fp);
  EXPECT_EQ(a.records, b.records);
  EXPECT_EQ(a.longOnes, b.longOnes);
  EXPECT_EQ(a.unclosed, b.unclosed);
  return b;
}

}  // namespace

TEST(RecordReader, RecordsKeepTheLineTheyStartOn) {
  using Kind = RecordReader::Kind;
  const std::string longField(kLongestRecord + 10, 'x');
  struct Case {
    const char* name;
    Kind kind;
    std::string text;
    std::vector<std::pair<long, std::string>> records;
    std::vector<std::pair<long, uint64_t>> longOnes;
    long unclosed;
  };
  const std::vector<Case> cases = {
      {"line ends of every kind", Kind::kCsv, "a,b\r\nc,d\re,f\ng,h",
       {{1, "a,b"}, {2, "c,d"}, {3, "e,f"}, {4, "g,h"}}, {}, 0},
      {"line ends inside quotes join lines", Kind::kCsv, "a,\"x\ny\",b\nc,\"\"\"q\"\"\r\nz\"\n",
       {{1, "a,\"x\ny\",b"}, {3, "c,\"\"\"q\"\"\r\nz\""}}, {}, 0},
      {"a quote never closed", Kind::kCsv, "a,b\nc,\"open\nd,e\n", {{1, "a,b"}}, {}, 2},
      {"blank lines are records of nothing", Kind::kCsv, "a\n\n\nb\n", {{1, "a"}, {2, ""}, {3, ""}, {4, "b"}}, {}, 0},
      {"a record too long is passed over once", Kind::kCsv, "a,b\nc," + longField + "\nd,e\n",
       {{1, "a,b"}, {3, "d,e"}}, {{2, kLongestRecord + 12}}, 0},
      {"an open quote does not hold a long record", Kind::kCsv, "a\n\"" + longField + "\nb\n",
       {{1, "a"}, {3, "b"}}, {{2, kLongestRecord + 11}}, 0},
      {"a long last line without its line end", Kind::kLines, "a\n" + longField, {{1, "a"}},
       {{2, kLongestRecord + 10}}, 0},
      {"lines keep their CR and quotes", Kind::kLines, "Plot \"1\"\r\nQuercus robur 5\n",
       {{1, "Plot \"1\"\r"}, {2, "Quercus robur 5"}}, {}, 0},
  };
  for (const Case& c : cases) {
    const Read r = ReadBoth(c.text, c.kind);
    EXPECT_EQ(r.records, c.records) << c.name;
    EXPECT_EQ(r.longOnes, c.longOnes) << c.name;
    EXPECT_EQ(r.unclosed, c.unclosed) << c.name;
  }
}

TEST(RecordReader, RecordsAcrossTheBlocksOfAFileAreWhole) {
  // Records of every length around the block size, one a long record across
  // a block's end: each comes back whole, on its line.
  std::string text;
  std::vector<std::pair<long, std::string>> want;
  long line = 1;
  for (int i = 0; text.size() < 3u * (1u << 20); ++i) {
    std::string record = "\"q" + std::to_string(i) + "\n\"," + std::string(static_cast<size_t>(i % 997), 'a');
    text += record + (i % 2 == 0 ? "\r\n" : "\n");
    want.emplace_back(line, record);
    line += 2;
  }
  text += std::string(kLongestRecord * 3, 'b') + "\nlast";
  want.emplace_back(line + 1, "last");
  const Read r = ReadBoth(text, RecordReader::Kind::kCsv);
  EXPECT_EQ(r.records, want);
  ASSERT_EQ(r.longOnes.size(), 1u);
  EXPECT_EQ(r.longOnes[0], std::make_pair(line, static_cast<uint64_t>(kLongestRecord * 3)));
}
