#pragma once
// A fresh folder under the temporary folder, removed with everything in it at the end of a test.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;

  // The folder, without trailing separator.
  const std::string& Path() const { return FPath; }
  // Path() + "/" + relative.
  std::string File(std::string_view relative) const;
  // Writes a file (creating its folders) and returns its full path.
  std::string WriteFile(std::string_view relative, std::string_view contents) const;
  std::string ReadFile(std::string_view relative) const;
  std::string MakeDir(std::string_view relative) const;

 private:
  std::string FPath;
};

// Whole-file helpers for absolute paths.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, std::string_view contents);
