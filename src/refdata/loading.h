// Internal to src/refdata: what the loaders of the three reference files share.
// loaders.cpp reads the tab-separated lines and fields of the definitions and
// association files; dictionary.cpp, definitions.cpp and associations.cpp each
// load one file. Nothing outside this folder includes it.
#pragma once

#include <cstdio>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "refdata/refdata.h"

// A table of the given number of rows, every row zero (as a value-initialised
// row is), reusing the room of an earlier load: tables are loaded again and
// again in the tests and the fuzz runs, and filling row by row dominated that.
template <typename T>
void ZeroTable(std::vector<T>& table, size_t rows) {
  static_assert(std::is_trivially_copyable_v<T>, "rows are zeroed as bytes");
  table.resize(rows);
  std::memset(static_cast<void*>(table.data()), 0, rows * sizeof(T));
}

// A row of a growing table: the table is doubled when the row is past its end.
template <typename T>
T& GrowTo(std::vector<T>& table, int row) {
  if (static_cast<size_t>(row) >= table.size()) table.resize(2 * static_cast<size_t>(row));
  return table[static_cast<size_t>(row)];
}

// Lines of the definitions and association files hold at most 511 characters;
// one more than that (plus the line end and terminator) tells a longer line.
constexpr int kMaxLineLength = 511;
constexpr int kLineBufferSize = kMaxLineLength + 2;

// What is said of a line that holds a NUL byte.
constexpr const char kNulRefusal[] = "the line holds a NUL byte; it is skipped";

// ---- tab-separated lines (loaders.cpp) -------------------------------------------

// Reads one line of at most 511 characters (line end not kept).
enum class TextLine { kLine, kEnd, kTooLong, kNul };
TextLine ReadTextLine(std::FILE* fp, char* buf);

// The fields of a line, and the word on a line too long to read.
const char* TakeField(const char* p, char* dst, int width, bool& cut);
const char* NextField(const char* p, char* dst, int width, bool& cut, bool& present);
void SayTooLong(Console& con, const std::string& where);
