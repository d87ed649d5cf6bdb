// Helpers shared by the tests: temporary working folders, files, in-process consoles.
#pragma once

#include <sstream>
#include <string>

#include "console/console.h"

// A fresh, empty folder that is removed with everything in it when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;
  bool Exists(const std::string& name) const;
  // Copies a file (by full path) into the folder under the given name.
  void CopyIn(const std::string& fromPath, const std::string& name) const;

 private:
  std::string path_;
};

// The project root.
std::string ProjectDir();

std::string ReadWholeFile(const std::string& path);

// A console whose input is a fixed text and whose output is captured.
struct ScriptedConsole {
  std::istringstream in;
  std::ostringstream out;
  std::ostringstream err;
  Console con;
  explicit ScriptedConsole(const std::string& input, const std::string& dir = std::string())
      : in(input), con(in, out, err, dir) {}
};

// Runs a shell command, returns its exit status (-1 if it could not run).
int RunCommand(const std::string& command);
