#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "common/common.h"
#include "support/testkit.h"

namespace {

// The pieces ReadFilePiece gives for a file, joined by "|" ("-1" at the end).
std::string Pieces(const std::string& content, int size, LoneCr loneCr) {
  TempDir dir;
  dir.Write("f.txt", content);
  std::FILE* fp = std::fopen(dir.File("f.txt").c_str(), "r");
  if (fp == nullptr) return "cannot open";
  std::vector<char> buf(static_cast<size_t>(size));
  std::string out;
  for (int k = 0; k < 20; ++k) {
    const int n = ReadFilePiece(fp, buf.data(), size, loneCr);
    if (n < 0) {
      out += "-1";
      break;
    }
    out += std::string(buf.data(), static_cast<size_t>(n)) + "|";
  }
  std::fclose(fp);
  return out;
}

TEST(ReadFilePiece, LineEndsByteOrderMarksAndLongLines) {
  const std::string bom = "\xEF\xBB\xBF";
  struct Case {
    const char* name;
    std::string content;
    LoneCr loneCr;
    std::string pieces;
  };
  const Case cases[] = {
      {"CR LF reads like LF; long lines come in pieces", "ab\r\ncd\n" + std::string(10, 'x') + "\n",
       LoneCr::kEndsLine, "ab\n|cd\n|xxxxx|xxxxx|\n|-1"},
      {"a lone CR ends a line, at the end of the file too", "ab\rcd\r\r\nef\r", LoneCr::kEndsLine,
       "ab\n|cd\n|\n|ef\n|-1"},
      {"a lone CR read as text", "a\rb\r\nlast\r", LoneCr::kText, "a\rb\n|last\r|-1"},
      {"a byte-order mark at the start is skipped", bom + "ab\n" + bom + "\n", LoneCr::kEndsLine,
       "ab\n|" + bom + "\n|-1"},
      {"in either mode", bom + "a\rb", LoneCr::kText, "a\rb|-1"},
      {"a file of a mark alone is empty", bom, LoneCr::kEndsLine, "-1"},
      {"a part of a mark is text", "\xEF\xBBx\n", LoneCr::kEndsLine, "\xEF\xBBx\n|-1"},
      {"so is its first byte alone", "\xEF", LoneCr::kEndsLine, "\xEF|-1"},
      {"a mark after the first byte is text", "a" + bom + "\n", LoneCr::kEndsLine,
       "a" + bom + "\n|-1"},
      {"NUL bytes are counted and kept", std::string("a\0b\n\0\n", 6), LoneCr::kEndsLine,
       std::string("a\0b\n|\0\n|-1", 10)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Pieces(c.content, 6, c.loneCr), c.pieces) << c.name;
  }
}

// Lines are taken from stdio's buffer at once where they can be, and byte by
// byte where the buffer is too small, a line end is a carriage return, or a
// byte-order mark may begin. A stream without a buffer reads every line byte by
// byte: the two must give the same pieces for any text, any piece size.
TEST(ReadFilePiece, LinesFromTheBufferReadAsByteByByte) {
  std::mt19937 rng(20261208);
  const char alphabet[] = {'a', 'b', ' ', '\n', '\n', '\r', '\0', '\xEF', '\xBB', '\xBF'};
  TempDir dir;
  for (int round = 0; round < 300; ++round) {
    std::string content;
    const size_t length = rng() % 400;
    for (size_t i = 0; i < length; ++i) content += alphabet[rng() % sizeof alphabet];
    if (round % 3 == 0) content = "\xEF\xBB\xBF" + content;
    dir.Write("f.txt", content);
    const int size = 2 + static_cast<int>(rng() % 40);
    const LoneCr loneCr = round % 2 == 0 ? LoneCr::kEndsLine : LoneCr::kText;
    std::string read[2];
    for (int unbuffered = 0; unbuffered < 2; ++unbuffered) {
      std::FILE* fp = std::fopen(dir.File("f.txt").c_str(), "r");
      ASSERT_NE(fp, nullptr);
      // A small buffer ends mid-line often; none at all reads byte by byte.
      char small[16];
      if (unbuffered == 1) {
        std::setvbuf(fp, nullptr, _IONBF, 0);
      } else if (round % 4 == 1) {
        std::setvbuf(fp, small, _IOFBF, sizeof small);
      }
      std::vector<char> buf(static_cast<size_t>(size));
      for (int n; (n = ReadFilePiece(fp, buf.data(), size, loneCr)) >= 0;) {
        ASSERT_LT(n, size);
        read[unbuffered] += std::string(buf.data(), static_cast<size_t>(n)) + "|";
      }
      std::fclose(fp);
    }
    EXPECT_EQ(read[0], read[1]) << "round " << round << ", piece size " << size;
  }
}

TEST(ReadFilePiece, NothingIsReadIntoBuffersTooSmallForText) {
  char buf[1] = {'x'};
  EXPECT_EQ(ReadFilePiece(nullptr, buf, 1), -1);
  EXPECT_EQ(buf[0], '\0');
}

TEST(WholeNumbers, OnlyAWholeFieldOfDigitsIsANumber) {
  struct Case {
    const char* text;
    bool whole;
    long value;
  };
  const Case cases[] = {
      {"12", true, 12},     {" -7 ", true, -7},   {"+3\t", true, 3},
      {"0", true, 0},       {"0012", true, 12},   {"99999999999", true, 99999999999L},
      {"", false, 0},       {" ", false, 0},      {"1e308", false, 0},
      {"12abc", false, 0},  {"2.5", false, 0},    {"- 3", false, 0},
      {"1 2", false, 0},    {"+", false, 0},      {"0x1F", false, 0},
  };
  for (const Case& c : cases) {
    const WholeNumber n = ReadWholeNumber(c.text);
    EXPECT_EQ(n.whole, c.whole) << '"' << c.text << '"';
    EXPECT_EQ(n.value, c.value) << '"' << c.text << '"';
  }
  EXPECT_TRUE(HoldsNul("a\0b", 3));
  EXPECT_FALSE(HoldsNul("a\0b", 1));
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

TEST(Trimming, TrimTakesAllWhiteSpaceTrimBlanksOnlyBlanks) {
  // Unit names keep a tab or carriage return at their ends; survey fields do not.
  struct Case {
    std::string text;
    std::string trimmed;
    std::string blanksTrimmed;
  };
  const Case cases[] = {
      {"  Quercus robur  ", "Quercus robur", "Quercus robur"},
      {"\t Quercus\r\n", "Quercus", "\t Quercus\r\n"},
      {" \tin the middle\t ", "in the middle", "\tin the middle\t"},
      {" \v\f ", "", "\v\f"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Trim(c.text), c.trimmed) << '"' << c.text << '"';
    EXPECT_EQ(TrimBlanks(c.text), c.blanksTrimmed) << '"' << c.text << '"';
  }
}

}  // namespace
