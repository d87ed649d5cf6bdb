// Start-up dialogues: the run settings (files, output format, input source,
// species group) and the parameters (cover scale, type of analysis).
#include <cstdio>
#include <ostream>
#include <string>

#include "console/console.h"

namespace {

// The buffer of the results file.
constexpr size_t kResultsBuffer = size_t{1} << 20;

const char kDefaultResults[] = "TABLOUT.TXT";
const char kDefaultSample[] = "SAMP.txt";

// Creates a typed file name that must be new. Null when the name is taken (a file
// of that name can be read) or the file cannot be created. The create is
// exclusive, so an existing file that merely cannot be read is never emptied.
File CreateNewFile(Console& con, const char* name, const char* mode) {
  if (FileExists(con.dir, name)) return File();
  return OpenIn(con.dir, name, mode);
}

// Opens an existing file for reading. A name that opens but cannot be read (a
// folder, for one) is refused like a missing file, since the samples could never
// be read from it.
File OpenReadable(Console& con, const char* name) {
  File fp = OpenIn(con.dir, name, "r");
  if (!fp) return fp;
  std::fgetc(fp.get());
  if (std::ferror(fp.get()) != 0) return File();
  std::rewind(fp.get());
  return fp;
}

void InputEnded(Console& con, const char* what) {
  Diagnose(con, "",
           Fmt("the console input ended before the %s file could be opened; the run ends", what));
}

// The default file through the next free numbered name. On failure it says so
// (there is no file to write to) and the caller asks for a name again.
File OpenDefaultFile(Console& con, const char* defaultName, const char* what) {
  char name[kFileNameSize];
  CopyField(name, defaultName, kFileNameSize - 1);
  File fp = OpenNextFreeFile(con, name, kFileNameSize);
  if (!fp) {
    Diagnose(con, defaultName,
             Fmt("cannot create the %s file or a free numbered name for it; type another name",
                 what));
  }
  return fp;
}

// An output file that must be new: RETURN takes the default through the next
// free numbered name; a typed name that is taken or cannot be created is
// refused (the results question names it in the refusal, the record question
// does not) and another name is read without asking again. False when the
// console input ended with no file open.
bool OpenNewOutputFile(Console& con, const char* defaultName, const char* what,
                       const char* mode, bool nameInRefusal, File& fp) {
  char answer[kFileNameSize];
  for (;;) {
    bool got = ReadAnswerLine(con, answer, kFileNameSize);
    if (answer[0] == '\0') {
      fp = OpenDefaultFile(con, defaultName, what);
      if (fp) return true;
      // Nothing more can be read, so the default would only fail again.
      if (!got) return false;
      continue;
    }
    fp = CreateNewFile(con, answer, mode);
    if (fp) return true;
    if (nameInRefusal) {
      Say(con, "  *** ERROR *** File already exists/n Type another name, not %s\n", answer);
    } else {
      Say(con, "  *** ERROR *** File already exists/n Type another name\n");
    }
  }
}

bool OpenResultsFile(Console& con, RunSettings& rs) {
  Say(con, " Type name of output file for answers or press <RETURN> for default\n");
  if (!OpenNewOutputFile(con, kDefaultResults, "results", "w+x", true, rs.fpResults)) return false;
  // A data-file run writes its results in large blocks (a typed run flushes
  // them after every sample).
  rs.fpResults.UseBuffer(kResultsBuffer);
  return true;
}

bool OpenDataFile(Console& con, RunSettings& rs) {
  Say(con, "\n\n Enter name of existing datafile\n     or press <RETURN> for default SAMP.txt\n");
  char answer[kFileNameSize];
  for (;;) {
    bool got = ReadAnswerLine(con, answer, kFileNameSize);
    const char* name = answer[0] != '\0' ? answer : kDefaultSample;
    rs.fpDataFile = OpenReadable(con, name);
    if (rs.fpDataFile) {
      CopyField(rs.szDataFileName, name, kFileNameSize - 1);
      rs.nDataFileLine = 0;
      return true;
    }
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
    return false;
  }

  Say(con,
      "\n\n Type 0 for all species to be included in analysis\n"
      " Type 1 for vascular plants + bryos (excluding lichens & algae)\n"
      " Type 2 to include only vascular plants\n\n");
  int16_t group = 0;
  PromptInteger(con, group, 0, 2);
  static constexpr int16_t kGroupLimits[] = {kAllSpecies, kNoLichens, kVascularOnly};
  rs.nSpeciesGroupLimit = kGroupLimits[group];
  return true;
}

void ParameterDialogue(Console& con, RunSettings& rs) {
  Say(con, "\n\n Set cover-abundance scale for samples");
  Say(con, "\n Possible values of scale parameter are\n");
  Say(con, "\t1= %% cover\n");
  Say(con, "\t2= Braun-Blanquet scale\n");
  Say(con, "\t3= Domin scale\n");
  PromptInteger(con, rs.nCoverScale, kPercentScale, kDominScale);

  Say(con, " Set parameter to determine type of analysis\n");
  Say(con, " Possible values of analysis parameter are\n");
  Say(con, "\t1= Mixed composition and cover\n");
  Say(con, "\t2= Species composition only\n");
  Say(con, "\t3= Species cover only\n");
  Say(con, "\t4= Incomplete species list only\n");
  Say(con, "\t5= Top few spp, descndng abndnce, no quant\n");
  PromptInteger(con, rs.nAnalysisType, kMixedAnalysis, kTopFewAnalysis);
}
