// Start-up dialogues: the run settings (files, output format, input source,
// species group) and the parameters (cover scale, type of analysis).
#include <cstdio>
#include <ostream>
#include <string>

#include "common/textio.h"
#include "run/run.h"

namespace {

constexpr int kNameSize = 50;  // typed file names: at most 49 characters
const char kDefaultResults[] = "TABLOUT.TXT";
const char kDefaultSample[] = "SAMP.txt";

constexpr int16_t kAllSpecies = 10000;
constexpr int16_t kNoLichens = 4000;
constexpr int16_t kVascularOnly = 3000;

// Creates a typed file name that must be new. Null when the name is taken (a file
// of that name can be read) or the file cannot be created. The create is
// exclusive, so an existing file that merely cannot be read is never emptied.
std::FILE* CreateNewFile(Console& con, const char* name, const char* mode) {
  if (FileExists(con, name)) return nullptr;
  return OpenIn(con, name, mode);
}

// Opens an existing file for reading. A name that opens but cannot be read (a
// folder, for one) is refused like a missing file, since the samples could never
// be read from it.
std::FILE* OpenReadable(Console& con, const char* name) {
  std::FILE* fp = OpenIn(con, name, "r");
  if (fp == nullptr) return nullptr;
  std::fgetc(fp);
  bool unreadable = std::ferror(fp) != 0;
  if (unreadable) {
    std::fclose(fp);
    return nullptr;
  }
  std::rewind(fp);
  return fp;
}

void InputEnded(Console& con, const char* what) {
  con.err << "vegmatch: the console input ended before the " << what
          << " file could be opened; the run ends\n";
}

// The default file through the next free numbered name. On failure it says so
// (there is no file to write to) and the caller asks for a name again.
std::FILE* OpenDefaultFile(Console& con, const char* defaultName, const char* what) {
  char name[kNameSize];
  CopyField(name, defaultName, kNameSize - 1);
  std::FILE* fp = OpenNextFreeFile(con, name, kNameSize);
  if (fp == nullptr) {
    con.err << "vegmatch: cannot create the " << what << " file " << defaultName
            << " or a free numbered name for it; type another name\n";
  }
  return fp;
}

// An output file that must be new: RETURN takes the default through the next
// free numbered name; a typed name that is taken or cannot be created is
// refused (the results question names it in the refusal, the record question
// does not) and another name is read without asking again. False when the
// console input ended with no file open.
bool OpenNewOutputFile(Console& con, const char* defaultName, const char* what,
                       const char* mode, bool nameInRefusal, std::FILE*& fp) {
  char answer[kNameSize];
  for (;;) {
    bool got = ReadAnswerLine(con, answer, kNameSize);
    if (answer[0] == '\0') {
      fp = OpenDefaultFile(con, defaultName, what);
      if (fp != nullptr) return true;
      // Nothing more can be read, so the default would only fail again.
      if (!got) return false;
      continue;
    }
    fp = CreateNewFile(con, answer, mode);
    if (fp != nullptr) return true;
    if (nameInRefusal) {
      Say(con, "  *** ERROR *** File already exists/n Type another name, not %s\n", answer);
    } else {
      Say(con, "  *** ERROR *** File already exists/n Type another name\n");
    }
  }
}

bool OpenResultsFile(Console& con, RunSettings& rs) {
  Say(con, " Type name of output file for answers or press <RETURN> for default\n");
  return OpenNewOutputFile(con, kDefaultResults, "results", "w+x", true, rs.fpResults);
}

bool OpenDataFile(Console& con, RunSettings& rs) {
  Say(con, "\n\n Enter name of existing datafile\n     or press <RETURN> for default SAMP.txt\n");
  char answer[kNameSize];
  for (;;) {
    bool got = ReadAnswerLine(con, answer, kNameSize);
    rs.fpDataFile = OpenReadable(con, answer[0] != '\0' ? answer : kDefaultSample);
    if (rs.fpDataFile != nullptr) return true;
    Say(con, "\n  *** ERROR *** File does not exist\n Type another name\n");
    if (!got) return false;
  }
}

bool OpenRecordFile(Console& con, RunSettings& rs) {
  Say(con, "\n\n Enter name of file with record of data entry\n    or press <RETURN> for default SAMP.txt\n");
  return OpenNewOutputFile(con, kDefaultSample, "record", "wx", false, rs.fpRecordFile);
}

}  // namespace

bool RunSettingsDialogue(Console& con, RunSettings& rs) {
  Say(con, "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n Enter files and parameters to run VEGMATCH\n\n\n\n\n\n\n\n\n\n");

  if (!OpenResultsFile(con, rs)) {
    InputEnded(con, "results");
    return false;
  }

  Say(con, "\n\n Type 0 for output in new CSV format\n Type 1 for output in original tabulated text format\n");
  rs.nOutputFormat = 0;
  PromptInteger(con, rs.nOutputFormat, 0, 1);

  Say(con, "\n\n Type 0 for input of stand data from keyboard\n Type 1 for input from existing datafile\n");
  rs.nInputSource = 0;
  PromptInteger(con, rs.nInputSource, 0, 1);

  bool opened = rs.nInputSource == 1 ? OpenDataFile(con, rs) : OpenRecordFile(con, rs);
  if (!opened) {
    InputEnded(con, rs.nInputSource == 1 ? "data" : "record");
    CloseRunFiles(con, rs);
    return false;
  }

  Say(con,
      "\n\n Type 0 for all species to be included in analysis\n"
      " Type 1 for vascular plants + bryos (excluding lichens & algae)\n"
      " Type 2 to include only vascular plants\n\n");
  int16_t group = 0;
  PromptInteger(con, group, 0, 2);
  rs.nSpeciesGroupLimit = group == 1 ? kNoLichens : group == 2 ? kVascularOnly : kAllSpecies;
  return true;
}

void ParameterDialogue(Console& con, RunSettings& rs) {
  Say(con, "\n\n Set cover-abundance scale for samples");
  Say(con, "\n Possible values of scale parameter are\n");
  Say(con, "\t1= %% cover\n");
  Say(con, "\t2= Braun-Blanquet scale\n");
  Say(con, "\t3= Domin scale\n");
  PromptInteger(con, rs.nCoverScale, 1, 3);

  Say(con, " Set parameter to determine type of analysis\n");
  Say(con, " Possible values of analysis parameter are\n");
  Say(con, "\t1= Mixed composition and cover\n");
  Say(con, "\t2= Species composition only\n");
  Say(con, "\t3= Species cover only\n");
  Say(con, "\t4= Incomplete species list only\n");
  Say(con, "\t5= Top few spp, descndng abndnce, no quant\n");
  PromptInteger(con, rs.nAnalysisType, 1, 5);
}
