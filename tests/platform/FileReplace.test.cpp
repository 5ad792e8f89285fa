#include "platform/FileReplace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/TempDir.h"

using namespace platform;
using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

namespace {
std::vector<std::string> Names(const TTempDir& dir) {
  std::vector<std::string> names;
  for (const TFileEntry& e : ListDirectory(dir.Path())) names.push_back(e.Name);
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

TEST(FileReplace, WritesNewAndReplacesExistingWithTheGivenMode) {
  TTempDir dir;
  WriteFileReplacing(dir.File("a.desktop"), "first", 0755);
  EXPECT_EQ(dir.ReadFile("a.desktop"), "first");
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("a.desktop").c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);

  WriteFileReplacing(dir.File("a.desktop"), "second", 0644);
  EXPECT_EQ(dir.ReadFile("a.desktop"), "second");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"a.desktop"});  // no temporary left behind
}

TEST(FileReplace, ReplacesALinkItselfNotItsTarget) {
  TTempDir dir;
  std::string target = dir.WriteFile("target.txt", "precious");
  ASSERT_EQ(::symlink(target.c_str(), dir.File("link").c_str()), 0);
  WriteFileReplacing(dir.File("link"), "new", 0644);
  EXPECT_EQ(dir.ReadFile("target.txt"), "precious");
  EXPECT_EQ(dir.ReadFile("link"), "new");
  EXPECT_FALSE(GetFileEntry(dir.File("link"))->IsDirectory);
}

// Each failing step leaves the old file as it was and no temporary file.
TEST(FileReplace, FailureKeepsTheOldFileAndRemovesTheTemporary) {
  TTempDir dir;
  std::string file = dir.WriteFile("a.txt", "old");
  {
    ScopedSysCall fail(&SysCalls::write, +[](int, const void*, size_t) -> ssize_t {
      errno = ENOSPC;
      return -1;
    });
    try {
      WriteFileReplacing(file, "new", 0644);
      ADD_FAILURE() << "no error";
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), ENOSPC);
    }
  }
  {
    ScopedSysCall fail(&SysCalls::fsync, +[](int) {
      errno = EIO;
      return -1;
    });
    EXPECT_THROW(WriteFileReplacing(file, "new", 0644), EOSError);
  }
  {
    ScopedSysCall fail(&SysCalls::rename, +[](const char*, const char*) {
      errno = EXDEV;
      return -1;
    });
    EXPECT_THROW(WriteFileReplacing(file, "new", 0644), EOSError);
  }
  EXPECT_EQ(dir.ReadFile("a.txt"), "old");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"a.txt"});
  EXPECT_THROW(WriteFileReplacing(dir.File("missing/a.txt"), "x", 0644), EOSError);
}
