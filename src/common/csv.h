// CSV text as spreadsheets, R and the reference tables write it: reading with
// the delimiter found from the header, and writing fields quoted as RFC 4180
// says.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A table read from CSV text: the header's names, and every row with the line it
// starts on (a quoted field may hold line ends).
struct CsvRow {
  long line;
  std::vector<std::string> fields;
};
struct CsvTable {
  char delimiter;
  long headerLine = 1;  // the line the header stands on
  std::vector<std::string> header;
  std::vector<CsvRow> rows;
};

// The delimiter of a header line: the one of comma, semicolon and tab that occurs
// most often outside quotes, or 0 when none occurs.
char DetectDelimiter(std::string_view headerLine);

// RFC 4180 reading: quoted fields, "" inside quotes, line ends inside quotes;
// CR LF or LF; a UTF-8 byte-order mark skipped; blank lines skipped. The delimiter
// is detected from the header line. False (with the line in `error`) when a quote
// is never closed.
bool ParseCsv(std::string_view text, CsvTable& table, std::string& error);
// The fields of one record (a line, or lines joined where a quoted field holds
// line ends) read the same way, up to `maxFields` of them. False when it holds
// nothing: a blank line.
bool ParseCsvRecord(std::string_view record, char delim, std::vector<std::string>& fields,
                    size_t maxFields = SIZE_MAX);

// Appends one field to a CSV line, quoted when it holds the delimiter, a quote or
// a line end (quotes doubled), as RFC 4180 writes it.
void AppendCsvField(std::string& line, std::string_view field);
