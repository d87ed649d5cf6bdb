// The loader of the community definitions: one unit a line, its code, names and
// EUNIS code and name in tab-separated fields.
#include <algorithm>
#include <string>

#include "refdata/loading.h"

int LoadCommunityDefinitions(Console& con, RefData& ref, const std::string& folder) {
  Say(con, "\n Reading NVC Types from file %s", kDefinitionsFile);
  File file = OpenIn(folder, kDefinitionsFile, "r");
  ZeroTable(ref.arrNVCData, kNVCCapacity + 1);
  int k = 0;
  int skipped = 0;
  bool readFailed = false;
  if (!file) {
    Say(con, "Error opening %s\n", kDefinitionsFile);
  } else {
    char line[kLineBufferSize];
    int lineNo = 0;
    for (;;) {
      const TextLine got = ReadTextLine(file.get(), line);
      if (got == TextLine::kEnd) break;
      ++lineNo;
      auto where = [&] { return At(kDefinitionsFile, lineNo); };
      if (got == TextLine::kNul) {
        Diagnose(con, where(), kNulRefusal);
        ++skipped;
        continue;
      }
      if (got == TextLine::kTooLong) {
        SayTooLong(con, where());
        ++skipped;
        break;
      }
      if (k == kMaxUnits) {
        Diagnose(con, where(), Fmt("more than %d units; reading stops here", kMaxUnits));
        ++skipped;
        break;
      }
      ++k;
      NVCUnit& unit = GrowTo(ref.arrNVCData, k);
      bool cut = false;
      bool present = true;
      const char* p = TakeField(line, unit.szNVCType, kTypeWidth, cut);
      p = NextField(p, unit.szNVCCommonName, kCommonNameWidth, cut, present);
      p = NextField(p, unit.szNVCSubName, kSubNameWidth, cut, present);
      p = NextField(p, unit.szEunisCode, kEunisCodeWidth, cut, present);
      NextField(p, unit.szEunisName, kEunisNameWidth, cut, present);
      if (!present) {
        Diagnose(con, where(), "fewer than 5 fields; the missing ones are left empty");
      }
      if (cut) Diagnose(con, where(), "text longer than its field was cut to fit");
    }
    if (!file.Close()) {
      Diagnose(con, kDefinitionsFile, "error reading the file; it was not read to its end");
      readFailed = true;
    }
    if (k == 0) Diagnose(con, kDefinitionsFile, "no unit was read");
  }
  ref.nNVCCount = k;
  // One record past the last unit takes the lines of communities that are not defined.
  ref.arrNVCData.resize(static_cast<size_t>(std::max(kNVCCapacity, k + 1)) + 1);
  return readFailed ? -1 : skipped;
}
