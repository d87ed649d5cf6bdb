// The messages of a run: said on the error stream in the one shape every
// message has, and kept as records for those who show them otherwise.
#include <cctype>
#include <utility>

#include "console/console.h"

std::string KindOfText(std::string_view what) {
  std::string key;
  bool quoted = false;
  for (char c : what) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c != '"' && std::isdigit(static_cast<unsigned char>(c)) == 0) key += c;
  }
  return key;
}

void SayMessages(Console& con, std::vector<Message> messages) {
  // One write: the error stream is unbuffered, and a run may say thousands.
  std::string text;
  for (const Message& m : messages) AppendDiagnosis(text, m.where, m.what);
  con.err << text;
  if (con.log == nullptr) return;
  for (Message& m : messages) {
    if (m.kind.empty()) m.kind = KindOfText(m.what);
    con.log->Add(std::move(m));
  }
}

void Diagnose(Console& con, std::string_view where, std::string_view what) {
  std::vector<Message> one(1);
  one[0].where = where;
  one[0].what = what;
  SayMessages(con, std::move(one));
}

void DiagnoseInput(Console& con, const std::string& file, long line, std::string_view what) {
  std::vector<Message> one(1);
  one[0].where = line > 0 ? At(file, line) : file;
  one[0].what = what;
  one[0].file = file;
  if (line > 0) one[0].lines.push_back(line);
  SayMessages(con, std::move(one));
}
