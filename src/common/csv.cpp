// CSV text as spreadsheets, survey databases and the reference tables write it
// (RFC 4180).
//
// Written here rather than taken from libcsv: every refused row must be reported
// with the line it starts on, and libcsv's callbacks tell neither where a record
// starts nor about the blank lines they skip; keeping count of that around the
// library would take as much code as the reader itself.
#include <algorithm>

#include "common/common.h"
#include "common/csv.h"
#include "common/reader.h"

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

bool ParseCsvRecord(std::string_view record, char delim, std::vector<std::string>& fields, size_t maxFields) {
  // The fields' strings are used again from record to record: a table's
  // fields mostly fit in the room the last record's took.
  size_t n = 0;
  bool any = false;  // the record holds something besides its line end
  size_t i = 0;
  // The end of an unquoted run of a field: the delimiter or a line end.
  const auto runEnd = [&record, delim](size_t from) {
    while (from < record.size() && record[from] != delim && record[from] != '\n' && record[from] != '\r') ++from;
    return from;
  };
  for (;;) {
    if (n == fields.size()) fields.emplace_back();
    std::string& field = fields[n++];
    field.clear();
    if (i < record.size() && record[i] == '"') {
      any = true;
      ++i;
      while (i < record.size()) {
        // The run up to the next quote, in one piece unless it holds a CR.
        const size_t quote = std::min(record.find('"', i), record.size());
        const std::string_view run = record.substr(i, quote - i);
        if (run.find('\r') == std::string_view::npos) {
          field.append(run);
        } else {
          for (size_t k = 0; k < run.size(); ++k) {
            if (run[k] == '\r' && k + 1 < run.size() && run[k + 1] == '\n') continue;  // CR LF inside quotes
            field += run[k];
          }
        }
        i = quote;
        if (i >= record.size()) break;
        ++i;  // the quote
        if (i < record.size() && record[i] == '"') {
          field += '"';
          ++i;
          continue;
        }
        break;
      }
      // Anything between the closing quote and the delimiter is kept as written.
      const size_t end = runEnd(i);
      field.append(record, i, end - i);
      i = end;
    } else {
      const size_t end = runEnd(i);
      field.assign(record, i, end - i);
      i = end;
    }
    if (!field.empty()) any = true;
    if (i < record.size() && record[i] == delim && n < maxFields) {
      any = true;
      ++i;
      continue;
    }
    fields.resize(n);
    return any || i < record.size();
  }
}

bool ParseCsv(std::string_view text, CsvTable& table, std::string& error) {
  table = CsvTable{};
  RecordReader reader(text, RecordReader::Kind::kCsv);
  std::string_view record;
  long line = 0;
  bool haveHeader = false;
  char delim = ',';
  std::vector<std::string> fields;
  while (reader.Next(record, line)) {
    if (!haveHeader) {
      if (record.empty()) continue;
      // The delimiter is the header's, the first line that holds anything.
      table.delimiter = DetectDelimiter(record.substr(0, std::min(record.find('\n'), record.size())));
      delim = table.delimiter == 0 ? ',' : table.delimiter;
    }
    if (!ParseCsvRecord(record, delim, fields)) continue;  // a blank line
    if (!haveHeader) {
      table.header = std::move(fields);
      table.headerLine = line;
      haveHeader = true;
    } else {
      table.rows.push_back(CsvRow{line, std::move(fields)});
    }
    fields = std::vector<std::string>();
    fields.reserve(table.header.size());
  }
  for (const LongRecord& r : reader.TakeLong()) {
    error = "line " + std::to_string(r.line) + Fmt(": a line of %llu characters, longer than any record",
                                                   static_cast<unsigned long long>(r.length));
    return false;
  }
  if (reader.UnclosedQuote() != 0) {
    error = UnclosedQuoteText(reader.UnclosedQuote());
    return false;
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
