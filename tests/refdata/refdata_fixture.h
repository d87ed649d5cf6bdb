// A temporary working folder with the three reference files and a fresh state to
// load them into.
#pragma once

#include <memory>
#include <string>

#include "common/state.h"
#include "refdata/refdata.h"
#include "support/testkit.h"

constexpr const char* kDictName = "SPECDICT3.txt";
constexpr const char* kDefsName = "VegmatchNVCDef3.txt";
constexpr const char* kDataName = "VegmatchNVCData3.txt";

class RefFolder {
 public:
  RefFolder() : sc("", dir.path()), st(NewAppState()) {}

  void Dict(const std::string& text) { dir.Write(kDictName, text); }
  void Defs(const std::string& text) { dir.Write(kDefsName, text); }
  void Data(const std::string& text) { dir.Write(kDataName, text); }

  RefData& Load() {
    LoadReferenceData(sc.con, st->ref);
    return st->ref;
  }
  RefData& ref() { return st->ref; }
  std::string Out() const { return sc.out.str(); }
  std::string Err() const { return sc.err.str(); }

  TempDir dir;
  ScriptedConsole sc;
  std::unique_ptr<AppState> st;
};

// The messages of a load in which all three files open.
inline std::string LoadMessages() {
  return "\n Reading in dictionary from file SPECDICT.txt"
         "\n Reading NVC Types from file VegmatchNVCDef3.txt"
         "\n Reading in NVC tables from file VegmatchNVCData3.txt\n";
}

// Number of occurrences of a piece of text.
inline int CountOf(const std::string& text, const std::string& piece) {
  int n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}
