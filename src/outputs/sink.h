// Where results go: a file or standard output, written beside the final name
// and put in place only when the run ends well, through a writer that never
// leaves half a sample.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "common/common.h"
#include "console/console.h"

// Where results go: a file, or standard output (the process's own when the
// console is the process's, else the console's stream, through a temporary
// file). A file is written beside its final name and renamed into place when
// the run ends well: a failed or killed run leaves an earlier file untouched.
struct Sink {
  Sink() = default;
  Sink(const Sink&) = delete;
  Sink& operator=(const Sink&) = delete;
  // A sink never closed (a run stopped by an error) leaves nothing beside its final name.
  ~Sink();
  File file;
  bool toConsole = false;
  bool toMemory = false;  // a temporary file read back at the end (workbooks)
  std::string path;       // the final name
  std::string temp;       // the name written, beside it
};
bool OpenSink(Console& con, const std::string& path, Sink& sink);
// A temporary file whose text is read back at the end.
bool OpenMemorySink(Sink& sink);
// The text written to a memory sink.
bool ReadSinkText(Sink& sink, std::string& text);
// Closes the sink: copies a temporary file to the console, or renames the file
// written into place (`keep`) or removes it. False when writing failed.
bool CloseSink(Console& con, Sink& sink, bool keep = true);

// The rows of each sample, written through a large buffer. When writing fails,
// the file is cut back to the end of the last sample it holds whole, so the
// results never end inside a row.
class RowWriter {
 public:
  explicit RowWriter(File& file);
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;
  void Add(const std::string& rows);
  // Writes what is left; false when some rows could not be written.
  bool Finish();

 private:
  static constexpr size_t kBufferSize = 1 << 20;
  void Fail();
  std::FILE* fp_;
  off_t given_ = 0;
  std::vector<off_t> ends_;
  bool failed_ = false;
};
