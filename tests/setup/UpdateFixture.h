#pragma once
// Two packages and their destinations in one temporary folder, and the update run over them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "Runtime.StringList.h"
#include "SetupTestSupport.h"
#include "Setup.FileUpdate.h"
#include "Setup.PackageScan.h"
#include "support/TempDir.h"

class UpdateFixture : public ::testing::Test {
 protected:
  // Package-relative paths: "c/..." the common-data package, "d/..." the document package.
  std::string Package(const std::string& rel) const { return Dir.File("package/" + rel); }
  std::string Common(const std::string& rel) const { return Dir.File("common/" + rel); }
  std::string Docs(const std::string& rel) const { return Dir.File("docs/" + rel); }

  TPackageRoots CommonRoots() const {
    return {Dir.File("package/c/"), Dir.File("common/"), Dir.File("common/QuentaBackup/09.12.2015 14-05-09/")};
  }
  TPackageRoots DocsRoots() const {
    return {Dir.File("package/d/"), Dir.File("docs/"), Dir.File("docs/QuentaBackup/09.12.2015 14-05-10/")};
  }

  TStringList Scan() const {
    TStringList dataList;
    for (int flag : {0, 1}) {
      std::string root = flag == 0 ? CommonRoots().Package : DocsRoots().Package;
      ScanFolder(root, "", root, nullptr, flag, dataList, nullptr);
    }
    return dataList;
  }

  bool Run() {
    DataList = Scan();
    TFileUpdate update(Host, CommonRoots(), DocsRoots());
    return update.Run(DataList);
  }

  static mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  }

  // Temporaries of the copy anywhere below the folder.
  std::vector<std::string> Leftovers() const {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::recursive_directory_iterator(Dir.Path()))
      if (e.path().filename().string().starts_with(".quenta-")) found.push_back(e.path().string());
    return found;
  }

  // The lines appear one right after the other somewhere in the log.
  ::testing::AssertionResult Logged(const std::vector<std::string>& lines) const {
    auto at = std::search(Host.Lines.begin(), Host.Lines.end(), lines.begin(), lines.end());
    if (at != Host.Lines.end()) return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "not in the log:";
    for (const auto& l : lines) failure << "\n  " << l;
    failure << "\nlog:";
    for (const auto& l : Host.Lines) failure << "\n  " << l;
    return failure;
  }

  TTempDir Dir;
  TRecordingHost Host;
  TStringList DataList;
};
