#include "TempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/TempFolder.h"

namespace fs = std::filesystem;

TTempDir::TTempDir() {
  std::string pattern = platform::TempFolder() + "/kvtest-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed for " + pattern);
  FPath = pattern;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  // Tests may leave read-only folders behind; make them writable so that removal succeeds.
  for (auto it = fs::recursive_directory_iterator(FPath, fs::directory_options::skip_permission_denied, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(FPath, ec);
}

std::string TTempDir::File(std::string_view relative) const { return FPath + "/" + std::string(relative); }

std::string TTempDir::WriteFile(std::string_view relative, std::string_view contents) const {
  std::string path = File(relative);
  fs::create_directories(fs::path(path).parent_path());
  WriteWholeFile(path, contents);
  return path;
}

std::string TTempDir::ReadFile(std::string_view relative) const { return ReadWholeFile(File(relative)); }

std::string TTempDir::MakeDir(std::string_view relative) const {
  std::string path = File(relative);
  fs::create_directories(path);
  return path;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteWholeFile(const std::string& path, std::string_view contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
}
