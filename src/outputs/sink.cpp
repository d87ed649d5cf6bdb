// Results files written beside their final names and renamed into place, or
// standard output; rows written a whole sample at a time.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "outputs/sink.h"

namespace {

// A name beside `path` to write it under, created empty (mode as a new file of
// the user's), or empty when it cannot be made.
std::string CreateBeside(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = dir + "." + base + ".vegmatch-XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) return std::string();
  // A new file of the user's: what the process's umask leaves of rw-rw-rw-.
  const mode_t mask = umask(0);
  umask(mask);
  const bool ok = fchmod(fd, 0666 & ~mask) == 0;
  close(fd);
  if (!ok) {
    unlink(temp.c_str());
    return std::string();
  }
  return temp;
}

// The file a path names (a link resolved); `regular`: it is a regular file or
// does not exist yet, so it can be replaced by renaming.
std::string FinalName(const std::string& path, bool& regular) {
  // A link names the file it points to: that is the file replaced.
  std::string final = path;
  char* real = realpath(path.c_str(), nullptr);
  if (real != nullptr) {
    final = real;
    std::free(real);
  }
  struct stat st {};
  regular = stat(final.c_str(), &st) != 0 ? errno == ENOENT : S_ISREG(st.st_mode);
  return final;
}

}  // namespace

bool OpenSink(Console& con, const std::string& path, Sink& sink) {
  if (!path.empty() && path != "-") {
    bool regular = true;
    sink.path = FinalName(PathIn(con.dir, path), regular);
    if (!regular) {
      // A device or a pipe is written as it is: there is nothing to keep.
      sink.file = File(std::fopen(sink.path.c_str(), "w"));
      return static_cast<bool>(sink.file);
    }
    sink.temp = CreateBeside(sink.path);
    if (sink.temp.empty()) return false;
    sink.file = File(std::fopen(sink.temp.c_str(), "w"));
    if (!sink.file) {
      unlink(sink.temp.c_str());
      sink.temp.clear();
    }
    return static_cast<bool>(sink.file);
  }
  if (&con.out == &std::cout) {
    std::cout.flush();
    const int fd = dup(STDOUT_FILENO);
    sink.file = File(fd < 0 ? nullptr : fdopen(fd, "w"));
  } else {
    sink.file = File(std::tmpfile());
    sink.toConsole = true;
  }
  return static_cast<bool>(sink.file);
}

bool OpenMemorySink(Sink& sink) {
  sink.file = File(std::tmpfile());
  sink.toMemory = true;
  return static_cast<bool>(sink.file);
}

bool ReadSinkText(Sink& sink, std::string& text) {
  std::FILE* fp = sink.file.get();
  text.clear();
  if (fp == nullptr) return true;
  if (std::fflush(fp) != 0 || std::ferror(fp) != 0) return false;
  std::rewind(fp);
  char buf[65536];
  for (size_t n; (n = std::fread(buf, 1, sizeof buf, fp)) > 0;) text.append(buf, n);
  return std::ferror(fp) == 0;
}

Sink::~Sink() {
  if (temp.empty()) return;
  file.Close();
  unlink(temp.c_str());
}

bool CloseSink(Console& con, Sink& sink, bool keep) {
  if (!sink.file) return true;
  bool ok = true;
  if (sink.toConsole) {
    std::string text;
    ok = ReadSinkText(sink, text);
    if (ok) con.out.write(text.data(), static_cast<std::streamsize>(text.size()));
  }
  ok = sink.file.Close() && ok;
  if (sink.temp.empty()) return ok;
  if (keep && ok) ok = std::rename(sink.temp.c_str(), sink.path.c_str()) == 0;
  if (!keep || !ok) unlink(sink.temp.c_str());
  sink.temp.clear();
  return ok;
}

RowWriter::RowWriter(File& file) : fp_(file.get()) { file.UseBuffer(kBufferSize); }

void RowWriter::Add(const std::string& rows) {
  if (fp_ == nullptr || failed_ || rows.empty()) return;
  if (std::fwrite(rows.data(), 1, rows.size(), fp_) != rows.size()) {
    Fail();
    return;
  }
  given_ += static_cast<off_t>(rows.size());
  ends_.push_back(given_);
}

bool RowWriter::Finish() {
  if (fp_ != nullptr && !failed_ && std::fflush(fp_) != 0) Fail();
  return !failed_;
}

void RowWriter::Fail() {
  failed_ = true;
  std::clearerr(fp_);
  struct stat st {};
  if (fstat(fileno(fp_), &st) != 0 || !S_ISREG(st.st_mode)) return;
  // The last sample end the file reaches.
  off_t keep = 0;
  for (off_t end : ends_) {
    if (end <= st.st_size) keep = end;
  }
  if (ftruncate(fileno(fp_), keep) != 0) return;
}
