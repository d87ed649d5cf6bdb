// Showing the sample back while it is entered (the short and full recaps) and
// writing it to the record file, in the form in which it was typed: codes still
// carry their "*" markers and covers are still tenths of the typed scale value.
#include <cassert>
#include <cstdio>
#include <cstring>
#include <istream>
#include <ostream>

#include "sample/sample.h"

namespace {

// The full recap lays entries out column by column on a 15 x 3 screen grid.
constexpr int kGridLines = 15;
constexpr int kGridColumns = 3;
constexpr int kScreenEntries = kGridLines * kGridColumns;
constexpr int kShortRecapEntries = 10;
constexpr int kCellSize = 32;  // an entry text is at most 21 characters

enum class Shape { kScreenLine, kCell, kRecordLine };

// Formats one entry; the frequency column is 2 wide before a decimal cover and
// 3 wide before a whole one, so that both line up with the cover's decimal point.
void FormatEntry(char* buf, int size, Shape shape, const SampleEntry& e, const char* shortName,
                 bool frequencyData) {
  const char* marker = "";
  if (e.nSpeciesCode > 2 * kMarkerStep) {
    marker = "**";
  } else if (e.nSpeciesCode > kMarkerStep) {
    marker = "*";
  }
  const char* lead = shape == Shape::kRecordLine ? "\n" : "";
  const char* tail = shape == Shape::kScreenLine ? "\n" : "";
  const size_t cap = static_cast<size_t>(size);
  if (e.nCover % 10 != 0) {
    double cover = e.nCover / 10.0;
    if (frequencyData) {
      std::snprintf(buf, cap, "%s %-9s%-2s%2d%6.1f%s", lead, shortName, marker, e.nFreq, cover,
                    tail);
    } else {
      std::snprintf(buf, cap, "%s %-9s%-2s%6.1f%s", lead, shortName, marker, cover, tail);
    }
  } else {
    int cover = e.nCover / 10;
    if (frequencyData) {
      std::snprintf(buf, cap, "%s %-9s%-2s%3d%4d%s", lead, shortName, marker, e.nFreq, cover,
                    tail);
    } else {
      std::snprintf(buf, cap, "%s %-9s%-2s%4d%s", lead, shortName, marker, cover, tail);
    }
  }
}

void PrintGrid(Console& con, char (*cells)[kGridColumns + 1][kCellSize], int lines,
               const char* cellFormat) {
  for (int l = 1; l <= lines; ++l) {
    for (int c = 1; c <= kGridColumns; ++c) Say(con, cellFormat, cells[l][c]);
    Say(con, "\n");
  }
}

}  // namespace

void ShowSampleEntries(Console& con, RecapMode mode, int n, const RefData& ref,
                       const SampleState& sample, const RunSettings& rs) {
  // Samples read from a data file are neither shown nor recorded.
  if (rs.nInputSource != 0) return;
  assert(n >= 0 && n <= kSampleCapacity);

  const bool frequencyData = sample.nMaxFreq > 0;
  char cells[kGridLines + 1][kGridColumns + 1][kCellSize];
  std::memset(cells, 0, sizeof cells);

  int first = 1;
  if (mode == RecapMode::kShort && n >= kShortRecapEntries) first = n - (kShortRecapEntries - 1);
  int count = 0;

  for (int k = first; k <= n; ++k) {
    const SampleEntry& e = sample.arrSample[k];
    if (e.nCover < 0) continue;  // entries not counted are never shown
    ++count;
    if (mode == RecapMode::kFull && count > kScreenEntries) {
      Say(con, "\n");
      PrintGrid(con, cells, kGridLines, "%21s   ");
      Say(con, " Press <RETURN> for next screen of data");
      con.out.flush();
      con.in.get();
      std::memset(cells, 0, sizeof cells);
      count = 1;
    }

    assert(e.nSpeciesIndex >= 1 && e.nSpeciesIndex <= ref.nSpeciesEntries);
    const char* shortName = ref.arrSpecies[e.nSpeciesIndex].szShortName;
    char text[kCellSize + 2];
    switch (mode) {
      case RecapMode::kShort:
        FormatEntry(text, sizeof text, Shape::kScreenLine, e, shortName, frequencyData);
        Say(con, "%s", text);
        break;
      case RecapMode::kRecord:
        FormatEntry(text, sizeof text, Shape::kRecordLine, e, shortName, frequencyData);
        FileSay(rs.fpRecordFile.get(), "%s", text);
        break;
      case RecapMode::kFull: {
        int line = (count - 1) % kGridLines + 1;
        int column = ((count - 1) / kGridLines + 1) % kGridColumns;
        if (column == 0) column = kGridColumns;
        FormatEntry(cells[line][column], kCellSize, Shape::kCell, e, shortName, frequencyData);
        break;
      }
    }
  }

  if (mode == RecapMode::kFull) {
    Say(con, "\n");
    PrintGrid(con, cells, count < kGridLines ? count : kGridLines, "%21s    ");
  } else if (mode == RecapMode::kRecord) {
    FileSay(rs.fpRecordFile.get(), "\n");
  }
}
