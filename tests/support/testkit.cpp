#include "support/testkit.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "vegmatch-test-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  if (made == nullptr) {
    ADD_FAILURE() << "cannot create a temporary folder";
    return;
  }
  path_ = made;
}

TempDir::~TempDir() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::ofstream f(File(name), std::ios::binary);
  f << content;
  if (!f) ADD_FAILURE() << "cannot write " << File(name);
}

std::string TempDir::Read(const std::string& name) const { return ReadWholeFile(File(name)); }

bool TempDir::Exists(const std::string& name) const { return fs::exists(File(name)); }

void TempDir::CopyIn(const std::string& fromPath, const std::string& name) const {
  std::error_code ec;
  fs::copy_file(fromPath, File(name), fs::copy_options::overwrite_existing, ec);
  if (ec) ADD_FAILURE() << "cannot copy " << fromPath << ": " << ec.message();
  // Copies of read-only shared files must stay writable for the clean-up.
  fs::permissions(File(name), fs::perms::owner_read | fs::perms::owner_write,
                  fs::perm_options::add, ec);
}

std::string ProjectDir() { return VM_SOURCE_DIR; }

std::string ReadWholeFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) {
    ADD_FAILURE() << "cannot read " << path;
    return std::string();
  }
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

int RunCommand(const std::string& command) {
  int status = std::system(command.c_str());
  if (status == -1) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return -1;
}
