// Files that close themselves, and reading and writing through stdio.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <istream>
#include <memory>
#include <string>

#include "common/common.h"

void File::UseBuffer(size_t bytes) {
  if (!fp_) return;
  auto buffer = std::make_unique<char[]>(bytes);
  if (std::setvbuf(fp_.get(), buffer.get(), _IOFBF, bytes) == 0) buffer_ = std::move(buffer);
}

bool File::WriteFailed(bool flush) const {
  if (!fp_) return false;
  bool failed = flush && std::fflush(fp_.get()) != 0;
  return std::ferror(fp_.get()) != 0 || failed;
}

bool File::Close() {
  if (!fp_) return true;
  // A write that failed earlier leaves the error flag set; the close flushes the rest.
  bool ok = std::ferror(fp_.get()) == 0;
  if (!fp_.get_deleter().owned) return std::fflush(fp_.release()) == 0 && ok;
  if (std::fclose(fp_.release()) != 0) ok = false;
  return ok;
}

void FileSay(std::FILE* fp, const char* fmt, ...) {
  if (fp == nullptr) return;
  va_list ap;
  va_start(ap, fmt);
  std::string s = VFmt(fmt, ap);
  va_end(ap);
  std::fwrite(s.data(), 1, s.size(), fp);
}

namespace {

// Reads past a UTF-8 byte-order mark at the read position; anything else is
// left to be read.
void SkipByteOrderMark(std::FILE* fp) {
  static const unsigned char kMark[] = {0xEF, 0xBB, 0xBF};
  for (unsigned char expected : kMark) {
    if (getc_unlocked(fp) != expected) {
      std::fseek(fp, 0, SEEK_SET);
      return;
    }
  }
}

// A whole line straight out of stdio's read buffer, when the buffer holds it
// and it needs no care: no carriage return, it fits, and it does not begin with
// the first byte of a byte-order mark. Returns its length, or 0 when the line
// is left to be read byte by byte. (glibc's getc_unlocked reads the same
// buffer; this only takes a line of it at once.)
int ReadBufferedLine(std::FILE* fp, char* buf, int size) {
#if defined(__GLIBC__)
  const char* from = fp->_IO_read_ptr;
  const char* end = fp->_IO_read_end;
  if (from == nullptr || from >= end) return 0;
  const size_t room = static_cast<size_t>(size - 1);
  const size_t avail = std::min(static_cast<size_t>(end - from), room);
  const void* lf = std::memchr(from, '\n', avail);
  if (lf == nullptr) return 0;
  const size_t n = static_cast<size_t>(static_cast<const char*>(lf) - from) + 1;
  if (static_cast<unsigned char>(from[0]) == 0xEF || std::memchr(from, '\r', n) != nullptr) return 0;
  std::memcpy(buf, from, n);
  buf[n] = '\0';
  fp->_IO_read_ptr += n;
  return static_cast<int>(n);
#else
  (void)fp;
  (void)buf;
  (void)size;
  return 0;
#endif
}

}  // namespace

int ReadFilePiece(std::FILE* fp, char* buf, int size, LoneCr loneCr) {
  if (size <= 0) return -1;
  buf[0] = '\0';
  if (fp == nullptr || size == 1) return -1;
  if (const int whole = ReadBufferedLine(fp, buf, size); whole > 0) return whole;
  int n = 0;
  // A file is read by one thread only, so stdio's per-call locking is skipped.
  int c = getc_unlocked(fp);
  // A byte-order mark can only begin the file: when a piece begins with its
  // first byte there, the file is read again from its start past the mark (only
  // a file that can seek tells its position).
  if (c == 0xEF && std::ftell(fp) == 1) {
    std::fseek(fp, 0, SEEK_SET);
    SkipByteOrderMark(fp);
    c = getc_unlocked(fp);
  }
  for (; c != EOF; c = getc_unlocked(fp)) {
    if (c == '\r') {
      int next = getc_unlocked(fp);
      if (next == '\n') {
        c = '\n';
      } else {
        if (next != EOF) std::ungetc(next, fp);
        if (loneCr == LoneCr::kEndsLine) c = '\n';
      }
    }
    buf[n++] = static_cast<char>(c);
    if (c == '\n' || n == size - 1) break;
  }
  buf[n] = '\0';
  return n > 0 ? n : -1;
}

bool ReadWholeStream(std::istream& in, std::string& text) {
  text.clear();
  char block[1 << 16];
  while (in.read(block, sizeof block) || in.gcount() > 0) {
    text.append(block, static_cast<size_t>(in.gcount()));
  }
  return !in.bad();
}

bool ReadFileText(const std::string& path, std::string& text) {
  text.clear();
  std::FILE* fp = std::fopen(path.c_str(), "rb");
  if (fp == nullptr) return false;
  // Read straight into the text, with room for the whole file where its size is
  // known: a text grown piece by piece copies a large input several times over.
  size_t room = 1 << 16;
  struct stat st {};
  if (fstat(fileno(fp), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) {
    // + 1: the read that meets the end; + 2: room for a block file's last line
    // end and its closing blank line, written over the text itself.
    room = static_cast<size_t>(st.st_size) + 3;
  }
  size_t have = 0;
  int readError = 0;  // errno of a failed read, kept past the close
  for (;;) {
    text.resize(have + room);
    const size_t n = std::fread(text.data() + have, 1, room, fp);
    have += n;
    if (n < room) {
      if (std::ferror(fp) != 0) readError = errno != 0 ? errno : EIO;
      break;
    }
    room = std::max(room, have);
  }
  text.resize(have);
  const bool closed = std::fclose(fp) == 0;
  if (readError != 0) errno = readError;
  return closed && readError == 0;
}

std::string SystemReason() {
  return errno != 0 ? std::strerror(errno) : "read or write failed";
}

std::string PathIn(const std::string& dir, std::string_view name) {
  if (dir.empty() || (!name.empty() && name[0] == '/')) return std::string(name);
  return dir + "/" + std::string(name);
}

bool FileExists(const std::string& dir, std::string_view name) {
  return static_cast<bool>(OpenIn(dir, name, "r"));
}

File OpenIn(const std::string& dir, std::string_view name, const char* mode) {
  return File(std::fopen(PathIn(dir, name).c_str(), mode));
}
