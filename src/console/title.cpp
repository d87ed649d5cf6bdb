// Title screens and the paged help text.
#include <cstdio>
#include <istream>
#include <ostream>
#include <string>

#include "console/console.h"

namespace {

const char kHelpFile[] = "HELP.txt";
constexpr int kHelpPieceSize = kLineSize;  // at most 79 characters per read, line end included

// One pause: the characters typed at it are taken one by one, so anything typed
// ahead is left for the following pauses and questions.
int WaitKey(Console& con) {
  con.out.flush();
  return con.in.get();
}

void PressReturn(Console& con) {
  Say(con, "\n\n\n\n\n Press <RETURN> to continue\n");
  WaitKey(con);
}

}  // namespace

void ShowTitleScreen(Console& con, int helpPageLength) {
  Say(con, "\n\n\n\n\n\n\n\n\n\n");
  Say(con, "                   VEGMATCH  Version 4 (Beta 1)\n\n");
  Say(con, "             A program to identify types of vegetation\n");
  Say(con, "                  by measuring goodness-of-fit to \n");
  Say(con, "                         association tables\n\n\n");
  Say(con,
      "               Written and maintained by the VEGMATCH team\n\n"
      "      It compares a list of the plant species of a stand, with their\n"
      "      cover or frequency, with the association table of every community\n"
      "      and sub-community of the British National Vegetation Classification\n"
      "      and reports the communities that fit it best.\n");
  PressReturn(con);

  Say(con, "\n\n");
  Say(con,
      "  The association tables\n\n"
      "  The community definitions and association tables that VEGMATCH uses\n"
      "  are taken from the published floristic tables of the National\n"
      "  Vegetation Classification: for every community and sub-community, the\n"
      "  constancy class of each of its species and the range of its cover on\n"
      "  the Domin scale.\n");
  PressReturn(con);

  Say(con, "\n\n");
  Say(con,
      "  The habitat cross-reference\n\n"
      "  Every community and sub-community is cross-referred to the EUNIS\n"
      "  habitat classification; the EUNIS code and name are reported with\n"
      "  each fit.\n\n"
      "  Reporting problems\n\n"
      "  Faults in the program, its help text or its tables are reported on\n"
      "  the issue tracker of the VEGMATCH project.\n");
  Say(con, "\n\n\n\n\n");

  for (;;) {
    Say(con, " Press <RETURN> to continue, or type H for help\n");
    int c = WaitKey(con);
    // At the end of the console input no answer can come: the title screen ends
    // rather than asking for ever.
    if (c == std::char_traits<char>::eof() || c == '\n') return;
    if (c == 'H' || c == 'h') {
      ShowHelpFile(con, helpPageLength);
      return;
    }
  }
}

void ShowHelpFile(Console& con, int pageLength) {
  File help = OpenIn(con.dir, kHelpFile, "r");
  std::FILE* fp = help.get();
  if (fp == nullptr) {
    Say(con, " *** File HELP.txt is not available ***");
    return;
  }
  // A page must take at least one piece, or the file would never end.
  if (pageLength < 1) pageLength = 1;

  char piece[kHelpPieceSize];
  bool ended = false;
  while (!ended) {
    for (int line = 0; line < pageLength; ++line) {
      // The pages are shown as the file holds them, a lone carriage return included.
      if (ReadFilePiece(fp, piece, kHelpPieceSize, LoneCr::kText) < 0) {
        ended = true;
        break;
      }
      Say(con, "          %s", piece);
    }
    Say(con, "\n\n Press <RETURN> to continue\n");
    WaitKey(con);
    WaitKey(con);
  }
  if (!help.Close()) Diagnose(con, kHelpFile, "error reading the file");
}
