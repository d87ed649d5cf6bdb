// Surveys as tables: the layouts a survey is kept in, the columns a header
// names, and the samples and species records a table holds, each sample one
// combination of the identifying columns (site, year, group, quadrat).
//
//   long    one row per species record: sample columns, species, cover
//   wide    one row per species, one column per sample (covers in the cells);
//           rows above the species name the site, year, group or quadrat
//   matrix  one row per sample, one column per species (a community table)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "survey/problems.h"
#include "survey/columns.h"
#include "tables/grid.h"

enum class Layout { kAuto, kLong, kWide, kMatrix };
const char* LayoutName(Layout layout);
// What the three layouts are, for messages that refuse a table.
extern const char kLayoutsText[];


// One species record as the table holds it, with the cell it stands in. Its
// cover and frequency are numbers from the moment they are read: TakeCovers
// reads the cover written, the frequency is read with the row.
constexpr int16_t kNoFrequency = -1;
struct SurveyRecord {
  std::string species;
  std::string coverWritten;  // the cover as written, for TakeCovers and its messages
  double cover = 0;          // after TakeCovers: the cover read, to three decimals (RoundedCover)
  bool hasCover = false;     // after TakeCovers: false for presence data (no cover)
  bool meanCover = false;    // the mean of pooled covers, to one decimal (shown so)
  // The frequency: a whole number written in at most three digits (no leading
  // zero); kNoFrequency: none written, or one written otherwise, kept in
  // `oddFrequency` as sample entry reads its word (blanks dropped, a decimal
  // comma as a point).
  int16_t frequency = kNoFrequency;
  std::string oddFrequency;
  long line = 0;
  int col = -1;
};
// A record of a cell: its species, the cover written, and where it stands.
SurveyRecord CellRecord(std::string species, std::string coverWritten, long line, int col);
// Reads a frequency field into `rec` (see SurveyRecord::frequency).
void ReadFrequency(std::string_view written, SurveyRecord& rec);

// One sample: its identifying fields as written (one per identifying column of
// the table) and its name, their combination.
struct SurveySample {
  std::vector<std::string> ids;
  std::string name;
  long line;    // where it was first seen
  int maxFreq;  // 0: cover data; pooled samples: the number of samples pooled
  std::vector<SurveyRecord> records;
  int col = -1;
};
// A sample's name: its identifying fields that hold anything, one blank between.
std::string SampleName(const std::vector<std::string>& ids);

struct SurveyTable {
  Layout layout = Layout::kAuto;
  std::vector<std::string> idHeaders;  // the identifying columns, as their headers write them
  std::vector<SurveySample> samples;   // in order of first appearance
};

// How a table is read.
struct SurveyReading {
  Layout layout = Layout::kAuto;        // kAuto: told by content
  std::vector<std::string> sampleCols;  // the identifying columns (empty: those named so)
  std::vector<std::string> poolBy;      // identifying columns to pool by (they must exist)
  bool presence = false;                // no cover column needed
  bool checkEmptyFields = true;         // say identifying fields left empty (EmptyFieldCheck)
  Layout found = Layout::kAuto;         // told by content already (a table read in parts)
};

// True when a text's first line reads as the header of a table: a delimiter,
// and a column name this program knows or a second line of as many fields.
bool LooksLikeTable(std::string_view text);

// The samples of a grid. False, with the line and what is wrong in `error`,
// when the grid is in no layout this program reads or lacks a column it needs:
// the message names the columns found and those that would have been known.
bool ReadSurvey(const Grid& grid, const SurveyReading& how, SurveyTable& table,
                std::vector<InputProblem>& problems, std::string& error);

// An identifying field left empty where other samples fill it (a site written
// once above the rows it stands for, a merged cell of a workbook) is a value of
// its own: samples that belong together would be parted, or samples of
// different sites joined. Said once per column, for a table read whole or in
// parts (Add each part, then Say).
class EmptyFieldCheck {
 public:
  void Add(const SurveyTable& table);
  // Adds what a later part of the table held.
  void Merge(const EmptyFieldCheck& later);
  void Say(const std::vector<std::string>& idHeaders, std::vector<InputProblem>& problems) const;

 private:
  struct Column {
    long empty = 0;
    bool filled = false;
    long line = 0;  // the first sample without it
    int col = -1;
  };
  std::vector<Column> columns_;
};

// The columns (by their place in the header) whose fields a row of a long or
// matrix table is grouped by, as ReadSurvey groups it: the identifying
// columns, or of them those named by how.poolBy.
std::vector<size_t> SampleKeyColumns(const GridRow& header, const SurveyReading& how, Layout layout);

