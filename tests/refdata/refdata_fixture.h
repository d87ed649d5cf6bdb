// A temporary working folder with the three reference files and fresh reference
// tables to load them into.
#pragma once

#include <memory>
#include <string>

#include "refdata/refdata.h"
#include "support/testkit.h"

constexpr const char* kDictName = "SPECDICT3.txt";
constexpr const char* kDefsName = "VegmatchNVCDef3.txt";
constexpr const char* kDataName = "VegmatchNVCData3.txt";

// Zero-filled tables, as the program allocates them.
inline std::unique_ptr<RefData> NewRefData() { return std::unique_ptr<RefData>(new RefData()); }

class RefFolder {
 public:
  RefFolder() : sc("", dir.path()), ref_(NewRefData()) {}

  void Dict(const std::string& text) { dir.Write(kDictName, text); }
  void Defs(const std::string& text) { dir.Write(kDefsName, text); }
  void Data(const std::string& text) { dir.Write(kDataName, text); }

  RefData& Load() {
    LoadReferenceData(sc.con, *ref_);
    return *ref_;
  }
  RefData& ref() { return *ref_; }
  std::string Out() const { return sc.out.str(); }
  std::string Err() const { return sc.err.str(); }

  TempDir dir;
  ScriptedConsole sc;

 private:
  std::unique_ptr<RefData> ref_;
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
