// The private parts of InputStream: an input being read (Source) and a part of
// a table read into samples on a thread of its own (TablePart). Only the files
// of this folder include it (inputs.cpp and table_parts.cpp, which between them
// implement InputStream); everyone else uses survey/inputs.h.
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <future>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "survey/covers.h"
#include "survey/inputs.h"
#include "survey/layouts.h"
#include "survey/problems.h"
#include "survey/reporter.h"
#include "tables/grid.h"
#include "common/reader.h"

// A part of a table read into samples, on a thread of its own: it shares
// nothing that changes but what it is given.
struct TablePart {
  SampleBatch batch;
  Grid grid;  // its rows, handed back for their room
  std::vector<InputProblem> problems;
  CoverScaleSeen seen;
  EmptyFieldCheck empty;
  std::string error;  // the part could not be read: said at the header's line
};

// An input being read (the stream's own).
struct InputStream::Source {
  enum class Kind {
    kRefused,
    kBlocks,
    kTable,  // a long or matrix table, read a part at a time
    kWhole,  // a wide table or a workbook, read whole when opened
  };
  struct FileCloser {
    void operator()(std::FILE* fp) const { std::fclose(fp); }
  };
  // Rows of one sample (or pooled group) while its last row is still to come.
  struct Pending {
    std::vector<GridRow> rows;
    bool complete = false;
  };

  size_t index = 0;  // in the run's files
  Kind kind = Kind::kRefused;
  std::unique_ptr<std::FILE, FileCloser> fp;
  std::unique_ptr<RecordReader> reader;
  std::string layoutText;
  std::vector<size_t> placeOf;  // the run's column of each identifying column (SIZE_MAX: none)
  bool started = false;
  bool firstInput = false;
  bool failed = false;  // refused part way: said already
  // A table read a part at a time: its header, layout and the columns a row's
  // sample is told by; the last row of each sample (from a first reading).
  GridRow header;
  char delim = ',';
  Layout layout = Layout::kAuto;
  std::vector<std::string> tableIdHeaders;  // before pooling
  std::vector<size_t> keyColumns;
  bool indexed = false;
  std::unordered_map<uint64_t, uint64_t> lastRow;  // by key hash
  std::deque<Pending> pending;  // in order of first row
  std::unordered_map<uint64_t, uint64_t> inFlight;  // key hash -> place in pending + popped
  uint64_t popped = 0;
  uint64_t rowNo = 0;
  bool firstPart = true;
  std::vector<GridRow> spare;  // rows read before, their cells' room used again
  bool rowsDone = false;       // every row gathered into parts
  std::future<TablePart> reading;  // the part being read into samples
  // A table read whole, its samples ready.
  SurveyTable whole;
  std::vector<InputProblem> wholeProblems;
  // Said once per input, at its end.
  ProblemCounter counter;
  CoverScaleSeen seen;
  EmptyFieldCheck empty;
  long samples = 0;
  long records = 0;
};
