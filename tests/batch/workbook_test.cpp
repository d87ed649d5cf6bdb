// Excel workbooks: each sheet of a workbook laid out as Excel writes it reads as
// the CSV file it was made from; damaged, encrypted and foreign files are refused
// with the reason; what WriteWorkbook writes reads back cell for cell.
#include <gtest/gtest.h>
#include <zip.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tables/csv.h"
#include "tables/workbook.h"
#include "outputs/workbook.h"
#include "support/testkit.h"

namespace {

struct Row {
  long line;
  std::vector<std::string> cells;
  bool operator==(const Row& o) const { return line == o.line && cells == o.cells; }
};
std::ostream& operator<<(std::ostream& os, const Row& r) {
  os << r.line << ":";
  for (const std::string& c : r.cells) os << " [" << c << "]";
  return os;
}

// The rows of CSV text as a sheet holds them: the header first, the first
// `dropped` columns left out, trailing empty cells and empty rows dropped.
std::vector<Row> CsvRows(const std::string& text, size_t dropped) {
  CsvTable table;
  std::string error;
  EXPECT_TRUE(ParseCsv(text, table, error)) << error;
  std::vector<Row> rows;
  const auto add = [&](long line, std::vector<std::string> cells) {
    cells.erase(cells.begin(), cells.begin() + static_cast<long>(std::min(dropped, cells.size())));
    while (!cells.empty() && cells.back().empty()) cells.pop_back();
    if (!cells.empty()) rows.push_back({line, cells});
  };
  add(1, table.header);
  for (const CsvRow& r : table.rows) add(r.line, r.fields);
  return rows;
}

std::vector<Row> GridRows(const Grid& grid) {
  std::vector<Row> rows;
  for (const GridRow& r : grid.rows) rows.push_back({r.line, r.cells});
  return rows;
}

std::string TestData(const std::string& name) { return ReadWholeFile(ProjectDir() + "/tests/data/" + name); }

// A zip archive in memory holding the given parts.
std::string Zip(const std::vector<std::pair<std::string, std::string>>& parts) {
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, nullptr);
  zip_source_keep(buffer);
  zip_t* zip = zip_open_from_source(buffer, ZIP_TRUNCATE, nullptr);
  for (const auto& [name, content] : parts) {
    zip_file_add(zip, name.c_str(), zip_source_buffer_create(content.data(), content.size(), 0, nullptr), 0);
  }
  EXPECT_EQ(zip_close(zip), 0);
  zip_stat_t stat;
  std::string bytes;
  if (zip_source_open(buffer) == 0 && zip_source_stat(buffer, &stat) == 0) {
    bytes.resize(stat.size);
    EXPECT_EQ(zip_source_read(buffer, bytes.data(), stat.size), static_cast<zip_int64_t>(stat.size));
    zip_source_close(buffer);
  }
  zip_source_free(buffer);
  return bytes;
}

// A one-sheet workbook ("Sheet1") of the given <sheetData> content and shared strings.
std::string SmallWorkbook(const std::string& sheetData, const std::string& sharedStrings = "") {
  const std::string ns = "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"";
  std::vector<std::pair<std::string, std::string>> parts = {
      {"xl/workbook.xml", "<workbook " + ns +
                              " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
                              "<sheets><sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
      {"xl/_rels/workbook.xml.rels",
       "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
       "<Relationship Id=\"rId1\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
      {"xl/worksheets/sheet1.xml", "<worksheet " + ns + "><sheetData>" + sheetData + "</sheetData></worksheet>"}};
  if (!sharedStrings.empty()) parts.push_back({"xl/sharedStrings.xml", "<sst " + ns + ">" + sharedStrings + "</sst>"});
  return Zip(parts);
}

TEST(Workbook, EachSheetReadsAsTheCsvFileItWasMadeFrom) {
  const std::string book = TestData("survey.xlsx");
  EXPECT_TRUE(LooksLikeWorkbook(book));
  struct Case {
    std::string asked;  // empty: the first sheet
    std::string sheet;
    std::string csv;
    size_t dropped;  // the long file's row names
  };
  for (const Case& c : {Case{"", "Long", "survey_long.csv", 1}, Case{"Wide", "Wide", "survey_wide.csv", 0},
                        Case{"wide", "Wide", "survey_wide.csv", 0}}) {
    SCOPED_TRACE("sheet \"" + c.asked + "\"");
    Grid grid;
    std::string error;
    ASSERT_TRUE(ReadWorkbook(book, c.asked, grid, error)) << error;
    EXPECT_EQ(grid.sheet, c.sheet);
    EXPECT_EQ(GridRows(grid), CsvRows(TestData(c.csv), c.dropped));
  }
}

TEST(Workbook, CellsReadAsTheTextTheyShow) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<c r=\"A2\"><v>5.0</v></c>", "5"},
      {"<c r=\"A2\"><v>12.300000000000001</v></c>", "12.3"},  // the same double
      {"<c r=\"A2\"><v>0.30000000000000004</v></c>", "0.30000000000000004"},
      {"<c r=\"A2\"><v>1.2E-3</v></c>", "0.0012"},
      {"<c r=\"A2\" t=\"n\"><v>1971</v></c>", "1971"},
      {"<c r=\"A2\"><v>1E+21</v></c>", "1e+21"},
      {"<c r=\"A2\" t=\"b\"><v>1</v></c>", "TRUE"},
      {"<c r=\"A2\" t=\"e\"><f>NA()</f><v>#N/A</v></c>", "#N/A"},
      {"<c r=\"A2\" t=\"str\"><f>B1&amp;\"x\"</f><v>Carex x</v></c>", "Carex x"},
      {"<c r=\"A2\" t=\"inlineStr\"><is><r><t>Carex</t></r><r><t xml:space=\"preserve\"> flacca</t></r></is></c>",
       "Carex flacca"},
      {"<c r=\"A2\" t=\"inlineStr\"><is><t>Q1_x000D_\nQ2 _x005F_x0041_ _x00E9_</t></is></c>",
       "Q1\r\nQ2 _x0041_ \u00e9"},
  };
  for (const auto& [cell, text] : cases) {
    SCOPED_TRACE(cell);
    Grid grid;
    std::string error;
    ASSERT_TRUE(ReadWorkbook(SmallWorkbook("<row r=\"2\">" + cell + "</row>"), "", grid, error)) << error;
    EXPECT_EQ(GridRows(grid), (std::vector<Row>{{2, {text}}}));
  }
}

TEST(Workbook, WhatCannotBeReadIsRefusedWithTheReason) {
  const std::string notes = Zip({{"notes.txt", "Quadrat notes."}});
  struct Case {
    const char* name;
    std::string bytes;
    std::string sheet;
    std::string phrase;
  };
  const std::vector<Case> cases = {
      {"half a workbook", TestData("damaged.xlsx"), "", "the workbook is damaged: the zip container cannot be read"},
      {"encrypted", TestData("encrypted.xlsx"), "", "an encrypted (password-protected) workbook or an old .xls"},
      {"a zip of a text file", notes, "", "the zip archive is not an Excel workbook"},
      {"no such sheet", TestData("survey.xlsx"), "Data", "no sheet \"Data\"; the workbook has sheets: Long, Wide"},
      {"column beyond XFD", SmallWorkbook("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"), "", "beyond column XFD"},
      {"row beyond the last", SmallWorkbook("<row r=\"1048577\"><c><v>1</v></c></row>"), "",
       "row \"1048577\" is not a row number from 1 to 1048576"},
      {"rows out of order", SmallWorkbook("<row r=\"4\"><c><v>1</v></c></row><row r=\"2\"/>"), "",
       "row 2 comes after row 4"},
      {"shared string out of range", SmallWorkbook("<row><c t=\"s\"><v>1</v></c></row>", "<si><t>x</t></si>"), "",
       "cell A1 refers to shared string \"1\", but the workbook has 1"},
      {"a number that is not", SmallWorkbook("<row><c><v>five</v></c></row>"), "", "\"five\" as a number"},
      {"malformed XML", SmallWorkbook("<row><c><v>1</c></row>"), "", "sheet1.xml, line 1: mismatched tag"},
      {"a document type", Zip({{"xl/workbook.xml", "<!DOCTYPE workbook [<!ENTITY a \"aaaa\">]><workbook/>"}}), "",
       "declares a document type"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Grid grid;
    std::string error;
    EXPECT_FALSE(ReadWorkbook(c.bytes, c.sheet, grid, error));
    EXPECT_NE(error.find(c.phrase), std::string::npos) << error;
    EXPECT_TRUE(grid.rows.empty());
  }
}

TEST(Workbook, WrittenSheetsReadBackCellForCell) {
  const std::vector<WorkbookSheet> sheets = {
      {"Fits",
       "sample,unit,fit,note\n"
       "\"Plot 1, north\",W10a,71.5,1\n"
       "Q2,010,-3.25,\"H10a, with \"\"quotes\"\"\"\n"
       "Q3,1e5,,0.000001\n"
       "Q4,12345678901234567,0,1971\n"},
      {"Species", "species,records\nQuercus robur,12\nHedera helix,\n\"two\r\nlines\",3\n"}};
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteWorkbook(dir.File("results.xlsx"), sheets, error)) << error;
  const std::string book = dir.Read("results.xlsx");
  for (const WorkbookSheet& s : sheets) {
    SCOPED_TRACE(s.name);
    Grid grid;
    ASSERT_TRUE(ReadWorkbook(book, s.name, grid, error)) << error;
    EXPECT_EQ(GridRows(grid), CsvRows(s.csv, 0));
  }
  // Numbers are number cells and codes text; the header is frozen and filtered.
  zip_source_t* source = zip_source_buffer_create(book.data(), book.size(), 0, nullptr);
  zip_t* zip = zip_open_from_source(source, ZIP_RDONLY, nullptr);
  ASSERT_NE(zip, nullptr);
  zip_file_t* part = zip_fopen(zip, "xl/worksheets/sheet1.xml", 0);
  ASSERT_NE(part, nullptr);
  std::string xml(1 << 16, '\0');
  xml.resize(static_cast<size_t>(zip_fread(part, xml.data(), xml.size())));
  zip_fclose(part);
  zip_discard(zip);
  for (const char* expected :
       {"<c r=\"C2\"><v>71.5</v></c>", "<c r=\"B3\" t=\"s\">", "<c r=\"B4\" t=\"s\">", "<c r=\"D4\"><v>",
        "<c r=\"B5\" t=\"s\">", "state=\"frozen\"", "<autoFilter ref=\"A1:D5\"/>"}) {
    EXPECT_NE(xml.find(expected), std::string::npos) << expected;
  }
}

TEST(Workbook, WritingFailsWithTheReason) {
  TempDir dir;
  const std::vector<WorkbookSheet> good = {{"Fits", "sample,fit\nQ1,70\n"}};
  const std::vector<WorkbookSheet> longName = {{std::string(32, 'n'), "sample,fit\nQ1,70\n"}};
  std::string error;
  EXPECT_FALSE(WriteWorkbook(dir.File("missing/results.xlsx"), good, error));
  EXPECT_NE(error.find("the workbook cannot be written (No such file or directory)"), std::string::npos) << error;
  EXPECT_FALSE(WriteWorkbook(dir.File("results.xlsx"), longName, error));
  EXPECT_NE(error.find("31 characters"), std::string::npos) << error;
  EXPECT_FALSE(dir.Exists("results.xlsx"));
}

TEST(Workbook, CellNames) {
  EXPECT_EQ(CellName(7, 0), "A7");
  EXPECT_EQ(CellName(1, 25), "Z1");
  EXPECT_EQ(CellName(3, 26), "AA3");
  EXPECT_EQ(CellName(1, 27), "AB1");
  EXPECT_EQ(CellName(1048576, 16383), "XFD1048576");
}

}  // namespace
