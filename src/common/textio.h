// Small text and file helpers shared by every part of the program.
#pragma once

#include <cstdio>
#include <string>

#include "common/state.h"

#if defined(__GNUC__)
#define VM_PRINTF(fmt_index, first_arg) __attribute__((format(printf, fmt_index, first_arg)))
#else
#define VM_PRINTF(fmt_index, first_arg)
#endif

// printf-style formatting into a std::string (any length).
std::string Fmt(const char* fmt, ...) VM_PRINTF(1, 2);

// printf-style output to the console's output stream.
void Say(Console& con, const char* fmt, ...) VM_PRINTF(2, 3);

// printf-style output to an open file; false when the write failed or fp is null.
bool FileSay(std::FILE* fp, const char* fmt, ...) VM_PRINTF(2, 3);

// Reads one line piece the way fgets does: at most size-1 characters, up to and
// including the line end, zero-terminated. A carriage return directly before a
// line feed belongs to the line end and is dropped, so CRLF files read like LF
// files. Returns the number of characters stored, or -1 when the file had ended
// before any character was read.
int ReadFilePiece(std::FILE* fp, char* buf, int size);

// Removes one trailing line feed, if any. Returns the new length.
int StripLineEnd(char* buf);

// Copies at most width characters of src into dst (dst has width+1 bytes) and
// zero-terminates it.
void CopyField(char* dst, const char* src, int width);

// The path of a file name inside the console's directory.
std::string PathIn(const Console& con, const std::string& name);

// True when a file of that name can be opened for reading.
bool FileExists(const Console& con, const std::string& name);

// Opens a file in the console's directory (fopen modes).
std::FILE* OpenIn(const Console& con, const std::string& name, const char* mode);

// Integer conversion as the C library's atoi reads it (leading blanks, one sign,
// digits up to the first non-digit; no number gives 0). Out-of-range values are
// clamped to the int range instead of being undefined.
long ReadLong(const char* s);
int ReadInt(const char* s);

// Decimal conversion as strtod reads it (no number gives 0).
double ReadDouble(const char* s);

// Clamps an int to the 16-bit signed range (for values bound for int16 fields).
int16_t ClampToInt16(long v);
