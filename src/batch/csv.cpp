// CSV text as spreadsheets and survey databases write it (RFC 4180).
//
// Written here rather than taken from libcsv: every refused row must be reported
// with the line it starts on, and libcsv's callbacks tell neither where a record
// starts nor about the blank lines they skip; keeping count of that around the
// library would take as much code as the reader itself.
#include <algorithm>

#include "batch/batch.h"
#include "batch/csv.h"

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

char DetectDelimiter(std::string_view headerLine) {
  int comma = 0;
  int semicolon = 0;
  int tab = 0;
  bool quoted = false;
  for (char c : headerLine) {
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    if (c == ',') ++comma;
    if (c == ';') ++semicolon;
    if (c == '\t') ++tab;
  }
  if (comma == 0 && semicolon == 0 && tab == 0) return 0;
  if (tab >= comma && tab >= semicolon) return '\t';
  return semicolon > comma ? ';' : ',';
}

bool ParseCsv(std::string_view text, CsvTable& table, std::string& error) {
  table = CsvTable{};
  if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
  // The delimiter is the header's, the first line that holds anything.
  const size_t headerStart = std::min(text.find_first_not_of("\r\n"), text.size());
  const size_t firstEnd = std::min(text.find('\n', headerStart), text.size());
  table.delimiter = DetectDelimiter(text.substr(headerStart, firstEnd - headerStart));
  const char delim = table.delimiter == 0 ? ',' : table.delimiter;

  long line = 1;
  size_t i = 0;
  bool haveHeader = false;
  // The end of an unquoted run of a field: the delimiter or a line end.
  const auto runEnd = [&text, delim](size_t from) {
    while (from < text.size() && text[from] != delim && text[from] != '\n' && text[from] != '\r') ++from;
    return from;
  };
  while (i < text.size()) {
    CsvRow row;
    row.line = line;
    row.fields.reserve(table.header.size());
    std::string field;
    bool rowEnded = false;
    bool any = false;  // the row holds something besides its line end
    while (!rowEnded) {
      field.clear();
      if (i < text.size() && text[i] == '"') {
        any = true;
        const long opened = line;
        ++i;
        for (;;) {
          if (i >= text.size()) {
            error = "line " + std::to_string(opened) + ": a quoted field is never closed";
            return false;
          }
          const char c = text[i++];
          if (c == '"') {
            if (i < text.size() && text[i] == '"') {
              field += '"';
              ++i;
              continue;
            }
            break;
          }
          if (c == '\n') ++line;
          if (c == '\r' && i < text.size() && text[i] == '\n') continue;  // CR LF inside quotes
          field += c;
        }
        // Anything between the closing quote and the delimiter is kept as written.
        const size_t end = runEnd(i);
        field.append(text, i, end - i);
        i = end;
      } else {
        const size_t end = runEnd(i);
        field.assign(text, i, end - i);
        i = end;
      }
      if (!field.empty()) any = true;
      row.fields.push_back(std::move(field));
      if (i < text.size() && text[i] == delim) {
        any = true;
        ++i;
        continue;
      }
      // The end of the row: CR LF, LF, a lone CR, or the end of the text.
      if (i < text.size() && text[i] == '\r') ++i;
      if (i < text.size() && text[i] == '\n') ++i;
      ++line;
      rowEnded = true;
    }
    if (!any) continue;  // a blank line
    if (!haveHeader) {
      table.header = std::move(row.fields);
      table.headerLine = row.line;
      haveHeader = true;
    } else {
      table.rows.push_back(std::move(row));
    }
  }
  return true;
}

void AppendCsvField(std::string& line, std::string_view field) {
  // One pass over the field (find_first_of searches the set once per character).
  const bool plain = std::none_of(field.begin(), field.end(), [](char c) {
    return c == ',' || c == ';' || c == '\t' || c == '"' || c == '\r' || c == '\n';
  });
  if (plain) {
    line.append(field);
    return;
  }
  line += '"';
  for (char c : field) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

Grid GridOf(CsvTable table) {
  Grid grid;
  grid.rows.reserve(table.rows.size() + 1);
  grid.rows.push_back(GridRow{table.headerLine, std::move(table.header)});
  for (CsvRow& row : table.rows) grid.rows.push_back(GridRow{row.line, std::move(row.fields)});
  return grid;
}
