#include "platform/FileMove.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <algorithm>

#include "platform/FileSystem.h"
#include "platform/posix/SysCalls.h"
#include "support/ForeignLinks.h"
#include "support/TempDir.h"

using namespace platform;
using posix::ScopedSysCall;
using posix::SysCalls;

namespace {
mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}
time_t ModifiedOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
  return st.st_mtime;
}

// The source folder on another file system: renames out of it fail as across devices.
int CrossDevice(const char* from, const char* to) {
  if (std::strstr(from, "/from/")) {
    errno = EXDEV;
    return -1;
  }
  return ::rename(from, to);
}
}  // namespace

TEST(FileMove, ContentsMergeIntoTheDestinationKeepingModeAndTimes) {
  for (bool acrossFileSystems : {false, true}) {
    SCOPED_TRACE(acrossFileSystems ? "across file systems" : "one file system");
    TTempDir dir;
    std::string tool = dir.WriteFile("from/bin/tool", "new tool");
    ASSERT_EQ(::chmod(tool.c_str(), 0751), 0);
    struct timespec old[2] = {{1000000000, 0}, {1100000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, tool.c_str(), old, 0), 0);
    dir.WriteFile("from/Новая папка/a.txt", "a");
    ASSERT_EQ(::symlink("bin/tool", dir.File("from/link").c_str()), 0);
    dir.WriteFile("to/bin/tool", "old tool");
    dir.WriteFile("to/bin/other", "stays");

    std::optional<ScopedSysCall<decltype(SysCalls::rename)>> exdev;
    if (acrossFileSystems) exdev.emplace(&SysCalls::rename, CrossDevice);
    EXPECT_TRUE(MoveFolderContents(dir.File("from"), dir.File("to/")).empty());
    exdev.reset();

    EXPECT_EQ(dir.ReadFile("to/bin/tool"), "new tool");
    EXPECT_EQ(ModeOf(dir.File("to/bin/tool")), 0751u);
    EXPECT_EQ(ModifiedOf(dir.File("to/bin/tool")), 1100000000);
    EXPECT_EQ(dir.ReadFile("to/bin/other"), "stays");
    EXPECT_EQ(dir.ReadFile("to/Новая папка/a.txt"), "a");
    EXPECT_TRUE(GetLinkEntry(dir.File("to/link"))->IsSymbolicLink);
    EXPECT_TRUE(ListDirectory(dir.File("from")).empty());  // emptied folders go, the top one stays
  }
}

TEST(FileMove, FailuresAreReportedAndTheRestStillMoves) {
  TTempDir dir;
  TForeignLinks links;
  dir.WriteFile("from/a.txt", "a");
  dir.WriteFile("from/clash/x", "x");      // a folder where the destination has a file
  dir.WriteFile("from/planted/y", "y");    // a folder where someone else put a link
  dir.WriteFile("from/z.txt", "z");
  dir.WriteFile("to/clash", "a file");
  dir.MakeDir("elsewhere");
  links.Plant(dir.File("elsewhere"), dir.File("to/planted"));
  // One file refuses to move.
  ScopedSysCall<decltype(SysCalls::rename)> busy(&SysCalls::rename, [](const char* from, const char* to) {
    if (std::strstr(from, "z.txt")) {
      errno = EBUSY;
      return -1;
    }
    return ::rename(from, to);
  });

  auto failures = MoveFolderContents(dir.File("from"), dir.File("to"));
  std::vector<std::pair<std::string, int>> got;
  for (const auto& f : failures) got.emplace_back(f.Path, f.ErrorCode);
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::pair<std::string, int>>{{"clash/", ENOTDIR}, {"planted/", ENOTDIR}, {"z.txt", EBUSY}}));
  EXPECT_EQ(dir.ReadFile("to/a.txt"), "a");
  EXPECT_EQ(dir.ReadFile("from/planted/y"), "y");
  EXPECT_FALSE(FileExists(dir.File("elsewhere/y")));
  EXPECT_EQ(dir.ReadFile("from/z.txt"), "z");
  EXPECT_TRUE(MoveFolderContents(dir.File("missing"), dir.File("to")).size() == 1);
}

TEST(FileMove, OnlyLinksOfRootOrTheUserAreTrustedOnTheWay) {
  TTempDir dir;
  TForeignLinks links;
  dir.MakeDir("root/real/deeper");
  dir.MakeDir("elsewhere/sub");
  ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), dir.File("root/mine").c_str()), 0);
  links.Plant(dir.File("elsewhere"), dir.File("root/real/theirs"));
  struct {
    const char* Relative;
    std::optional<std::string> Untrusted;
  } cases[] = {
      {"", std::nullopt},
      {"real/deeper/", std::nullopt},
      {"not/yet/there/", std::nullopt},
      {"mine/sub/", std::nullopt},
      {"real/theirs/", dir.File("root/real/theirs")},
      {"real/theirs/sub/", dir.File("root/real/theirs")},
  };
  for (const auto& c : cases) EXPECT_EQ(FindUntrustedLink(dir.File("root/"), c.Relative), c.Untrusted) << c.Relative;
}
