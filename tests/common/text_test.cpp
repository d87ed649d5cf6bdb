#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/common.h"
#include "support/testkit.h"

namespace {

TEST(ReadFilePiece, CrLfReadsLikeLfAndLongLinesComeInPieces) {
  TempDir dir;
  dir.Write("f.txt", std::string("ab\r\ncd\n") + std::string(10, 'x') + "\nlast\r");
  std::FILE* fp = std::fopen(dir.File("f.txt").c_str(), "r");
  ASSERT_NE(fp, nullptr);
  char buf[6];
  EXPECT_EQ(ReadFilePiece(fp, buf, sizeof buf), 3);
  EXPECT_STREQ(buf, "ab\n");
  EXPECT_EQ(ReadFilePiece(fp, buf, sizeof buf), 3);
  EXPECT_STREQ(buf, "cd\n");
  EXPECT_EQ(ReadFilePiece(fp, buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "xxxxx");
  EXPECT_EQ(ReadFilePiece(fp, buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "xxxxx");
  EXPECT_EQ(ReadFilePiece(fp, buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "\n");
  // A lone carriage return at the end of the file is ordinary text.
  EXPECT_EQ(ReadFilePiece(fp, buf, sizeof buf), 5);
  EXPECT_STREQ(buf, "last\r");
  EXPECT_EQ(ReadFilePiece(fp, buf, sizeof buf), -1);
  EXPECT_STREQ(buf, "");
  std::fclose(fp);
}

TEST(NumberReading, ReadsAsTheCLibraryDoes) {
  EXPECT_EQ(ReadInt("  12abc"), 12);
  EXPECT_EQ(ReadInt("3.7"), 3);
  EXPECT_EQ(ReadInt("x1"), 0);
  EXPECT_EQ(ReadInt("-2"), -2);
  EXPECT_EQ(ReadInt("99999999999999999999"), 2147483647);
  EXPECT_DOUBLE_EQ(ReadDouble("12.3456"), 12.3456);
  EXPECT_DOUBLE_EQ(ReadDouble("+"), 0.0);
  EXPECT_EQ(ClampToInt16(70000), 32767);
  EXPECT_EQ(ClampToInt16(-70000), -32768);
}

TEST(Fmt, FormatsLongTextsWhole) {
  std::string s = Fmt("%s|%5d", std::string(1000, 'a').c_str(), 7);
  EXPECT_EQ(s.size(), 1006u);
  EXPECT_EQ(s.substr(1000), "|    7");
}

TEST(NumberReading, ReadLongAgreesWithStrtolOnEveryShapeOfField) {
  // ReadLong is written out for speed; strtol is what it must agree with.
  for (const char* text :
       {"0", "7", "+7", "-7", " \t\n\v\f\r42", "12abc", "--3", "+-3", "- 3", "", " ", "x", "1e308",
        "9223372036854775807", "9223372036854775808", "-9223372036854775808",
        "-9223372036854775809", "99999999999999999999999", "-99999999999999999999999",
        "000000000000000000000012", "32767", "32768", "-32769", "65537"}) {
    EXPECT_EQ(ReadLong(text), std::strtol(text, nullptr, 10)) << '"' << text << '"';
  }
}

}  // namespace
