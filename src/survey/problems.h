// The problem a reader of survey inputs finds with one row or cell: the shape
// every reader of this folder (layouts, covers, block files, the stream) hands
// back its messages in, said as FILE:LINE: what once the input is known.
#pragma once

#include <string>

// A problem with one row or cell of an input, said as FILE:LINE: what.
struct InputProblem {
  long line;
  std::string what;
  bool refused;  // the row or cell is left out (counts for --strict)
  int col = -1;  // the cell's column, where a workbook names cells
  const char* kind = nullptr;  // what is counted as one kind (null: the text without numbers and quotes)
};
