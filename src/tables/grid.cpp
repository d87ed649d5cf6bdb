// Cell names as a spreadsheet shows them.
#include "tables/grid.h"

std::string CellName(long row, int column) {
  // Column letters are bijective base 26: A..Z, AA..AZ, ..., XFD.
  std::string letters;
  for (long c = column; c >= 0; c = c / 26 - 1) letters.insert(letters.begin(), static_cast<char>('A' + c % 26));
  return letters + std::to_string(row);
}
