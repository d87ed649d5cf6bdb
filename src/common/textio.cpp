#include "common/textio.h"

#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <vector>

namespace {

std::string VFmt(const char* fmt, va_list ap) {
  char small[512];
  va_list copy;
  va_copy(copy, ap);
  int n = std::vsnprintf(small, sizeof small, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (n < static_cast<int>(sizeof small)) return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), fmt, ap);
  return std::string(big.data(), static_cast<size_t>(n));
}

}  // namespace

std::string Fmt(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFmt(fmt, ap);
  va_end(ap);
  return s;
}

void Say(Console& con, const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFmt(fmt, ap);
  va_end(ap);
  con.out << s;
}

bool FileSay(std::FILE* fp, const char* fmt, ...) {
  if (fp == nullptr) return false;
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFmt(fmt, ap);
  va_end(ap);
  return std::fwrite(s.data(), 1, s.size(), fp) == s.size();
}

int ReadFilePiece(std::FILE* fp, char* buf, int size) {
  if (size <= 0) return -1;
  buf[0] = '\0';
  if (fp == nullptr || size == 1) return -1;
  int n = 0;
  bool any = false;
  while (n < size - 1) {
    int c = std::fgetc(fp);
    if (c == EOF) break;
    any = true;
    if (c == '\r') {
      int next = std::fgetc(fp);
      if (next == '\n') {
        c = '\n';
      } else if (next != EOF) {
        std::ungetc(next, fp);
      }
    }
    buf[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buf[n] = '\0';
  return any ? n : -1;
}

int StripLineEnd(char* buf) {
  int n = static_cast<int>(std::strlen(buf));
  if (n > 0 && buf[n - 1] == '\n') buf[--n] = '\0';
  return n;
}

void CopyField(char* dst, const char* src, int width) {
  int i = 0;
  for (; i < width && src[i] != '\0'; ++i) dst[i] = src[i];
  dst[i] = '\0';
}

std::string PathIn(const Console& con, const std::string& name) {
  if (con.dir.empty()) return name;
  return con.dir + "/" + name;
}

bool FileExists(const Console& con, const std::string& name) {
  std::FILE* fp = std::fopen(PathIn(con, name).c_str(), "r");
  if (fp == nullptr) return false;
  std::fclose(fp);
  return true;
}

std::FILE* OpenIn(const Console& con, const std::string& name, const char* mode) {
  return std::fopen(PathIn(con, name).c_str(), mode);
}

long ReadLong(const char* s) {
  errno = 0;
  long v = std::strtol(s, nullptr, 10);
  return v;
}

int ReadInt(const char* s) {
  long v = ReadLong(s);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

double ReadDouble(const char* s) { return std::strtod(s, nullptr); }

int16_t ClampToInt16(long v) {
  if (v > INT16_MAX) return INT16_MAX;
  if (v < INT16_MIN) return INT16_MIN;
  return static_cast<int16_t>(v);
}
