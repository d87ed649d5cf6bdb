// Text helpers: formatting into strings, fixed-width copies, the C library's
// number readings with defined results, and the diagnostics shape.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "common/common.h"

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

std::string Fmt(const char* fmt, ...) {
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFmt(fmt, ap);
  va_end(ap);
  return s;
}

std::string_view TrimView(std::string_view s) {
  size_t a = 0;
  size_t b = s.size();
  while (a < b && IsSpaceC(s[a])) ++a;
  while (b > a && IsSpaceC(s[b - 1])) --b;
  return s.substr(a, b - a);
}

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

std::string TrimBlanks(std::string_view s) {
  size_t a = 0;
  size_t b = s.size();
  while (a < b && s[a] == ' ') ++a;
  while (b > a && s[b - 1] == ' ') --b;
  return std::string(s.substr(a, b - a));
}

bool IsOneOf(std::string_view word, std::initializer_list<const char*> list) {
  for (const char* l : list) {
    if (word == l) return true;
  }
  return false;
}

int StripLineEnd(char* buf) {
  int n = static_cast<int>(std::strlen(buf));
  if (n > 0 && buf[n - 1] == '\n') buf[--n] = '\0';
  return n;
}

bool HoldsNul(const char* buf, int n) {
  return n > 0 && std::memchr(buf, '\0', static_cast<size_t>(n)) != nullptr;
}

WholeNumber ReadWholeNumber(const char* s) {
  const char* p = s;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '+' || *p == '-') ++p;
  if (*p < '0' || *p > '9') return WholeNumber{false, 0};
  while (*p >= '0' && *p <= '9') ++p;
  while (*p == ' ' || *p == '\t') ++p;
  if (*p != '\0') return WholeNumber{false, 0};
  return WholeNumber{true, ReadLong(s)};
}

void CopyField(char* dst, const char* src, int width) {
  const size_t n = width > 0 ? strnlen(src, static_cast<size_t>(width)) : 0;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

long ReadLong(const char* s) {
  // strtol's reading, written out because the loaders call it for every field:
  // leading white space, one sign, decimal digits; beyond the range of long the
  // value sticks at LONG_MAX or LONG_MIN.
  while (IsSpaceC(*s)) ++s;
  const bool negative = *s == '-';
  if (*s == '-' || *s == '+') ++s;
  unsigned long v = 0;
  const unsigned long limit = negative ? static_cast<unsigned long>(LONG_MAX) + 1 : LONG_MAX;
  bool over = false;
  for (; *s >= '0' && *s <= '9'; ++s) {
    const unsigned d = static_cast<unsigned>(*s - '0');
    if (v > (limit - d) / 10) over = true;
    if (!over) v = v * 10 + d;
  }
  if (over) return negative ? LONG_MIN : LONG_MAX;
  return negative ? static_cast<long>(0 - v) : static_cast<long>(v);
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

void AppendDiagnosis(std::string& out, std::string_view where, std::string_view what) {
  out += "vegmatch: ";
  if (!where.empty()) {
    out += where;
    out += ": ";
  }
  out += what;
  out += '\n';
}

void Diagnose(std::ostream& err, std::string_view where, std::string_view what) {
  // One write: the error stream is unbuffered, and a run may say thousands.
  std::string line;
  AppendDiagnosis(line, where, what);
  err << line;
}

void AppendAt(std::string& out, std::string_view file, long line) {
  out += file;
  out += ':';
  out += std::to_string(line);
}

std::string At(std::string_view file, long line) {
  std::string at;
  AppendAt(at, file, line);
  return at;
}

std::string_view TextStore::Keep(std::string_view text) {
  const size_t need = text.size() + 1;
  if (need > kChunk / 4) {  // a long text has a chunk of its own, before the last one
    auto own = std::unique_ptr<char[]>(new char[need]);
    std::memcpy(own.get(), text.data(), text.size());
    own[text.size()] = '\0';
    const std::string_view kept(own.get(), text.size());
    chunks_.insert(chunks_.end() - (chunks_.empty() ? 0 : 1), std::move(own));
    return kept;
  }
  if (kChunk - used_ < need) {
    chunks_.push_back(std::unique_ptr<char[]>(new char[kChunk]));  // not zeroed: only what is kept is read
    used_ = 0;
  }
  char* to = chunks_.back().get() + used_;
  if (!text.empty()) std::memcpy(to, text.data(), text.size());  // an empty view may view nothing
  to[text.size()] = '\0';
  used_ += need;
  return std::string_view(to, text.size());
}

std::string LowerAscii(std::string_view s) {
  std::string lower(s);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}
