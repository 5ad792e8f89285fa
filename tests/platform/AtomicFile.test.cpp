#include "platform/AtomicFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <algorithm>
#include <functional>

#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/TempDir.h"

using platform::WriteFileAtomically;
using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;
using ::testing::ElementsAre;

namespace {
std::vector<std::string> NamesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : platform::ListDirectory(folder)) names.push_back(entry.Name);
  std::sort(names.begin(), names.end());
  return names;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}
}  // namespace

TEST(AtomicFile, CreatesAndReplacesKeepingThePermissionBitsAndNoTemporary) {
  TTempDir dir;
  const std::string path = dir.File("Connections.xml");
  WriteFileAtomically(path, "first");
  EXPECT_EQ(dir.ReadFile("Connections.xml"), "first");

  ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
  WriteFileAtomically(path, "second, longer than the first");
  EXPECT_EQ(dir.ReadFile("Connections.xml"), "second, longer than the first");
  EXPECT_EQ(ModeOf(path), 0640u);
  EXPECT_THAT(NamesIn(dir.Path()), ElementsAre("Connections.xml"));
}

TEST(AtomicFile, GivenPermissionsWinOverTheOldFilesLessTheUmask) {
  TTempDir dir;
  const std::string path = dir.File("a.desktop");
  const mode_t mask = ::umask(022);
  WriteFileAtomically(path, "first", 0755);
  EXPECT_EQ(ModeOf(path), 0755u);
  WriteFileAtomically(path, "second", 0666);
  ::umask(mask);
  EXPECT_EQ(dir.ReadFile("a.desktop"), "second");
  EXPECT_EQ(ModeOf(path), 0644u);
  EXPECT_THAT(NamesIn(dir.Path()), ElementsAre("a.desktop"));
}

TEST(AtomicFile, ASymbolicLinkIsReplacedAndItsTargetLeftAlone) {
  TTempDir dir;
  const std::string target = dir.WriteFile("target.xml", "target");
  ASSERT_EQ(::symlink(target.c_str(), dir.File("link.xml").c_str()), 0);
  WriteFileAtomically(dir.File("link.xml"), "new");
  EXPECT_EQ(dir.ReadFile("target.xml"), "target");
  EXPECT_EQ(dir.ReadFile("link.xml"), "new");
}

// Each failure of the system leaves the old file whole, no temporary behind, and names the file.
TEST(AtomicFile, AFailureAtAnyStepLeavesTheOldFileAsItWas) {
  struct TCase {
    const char* Step;
    int Errno;
    std::function<void(const std::function<void()>&)> Under;
  };
  const TCase cases[] = {
      {"open", EACCES,
       [](const auto& save) {
         ScopedSysCall<decltype(SysCalls::openat)> fault(&SysCalls::openat, [](int, const char*, int, mode_t) {
           errno = EACCES;
           return -1;
         });
         save();
       }},
      {"write: the disk fills half way", ENOSPC,
       [](const auto& save) {
         static bool wroteOnce;
         wroteOnce = false;
         ScopedSysCall<decltype(SysCalls::write)> fault(&SysCalls::write, [](int fd, const void* buf, size_t n) {
           if (!wroteOnce) {
             wroteOnce = true;
             return ::write(fd, buf, n / 2);
           }
           errno = ENOSPC;
           return ssize_t(-1);
         });
         save();
       }},
      {"fsync", EIO,
       [](const auto& save) {
         ScopedSysCall<decltype(SysCalls::fsync)> fault(&SysCalls::fsync, [](int) {
           errno = EIO;
           return -1;
         });
         save();
       }},
      {"rename", EXDEV,
       [](const auto& save) {
         ScopedSysCall<decltype(SysCalls::renameat2)> fault(&SysCalls::renameat2, [](int, const char*, int, const char*, unsigned) {
           errno = EXDEV;
           return -1;
         });
         save();
       }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Step);
    TTempDir dir;
    const std::string path = dir.WriteFile("Connections.xml", "the client's sources");
    try {
      c.Under([&] { WriteFileAtomically(path, std::string(100000, 'x')); });
      ADD_FAILURE() << "no error";
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), c.Errno);
      EXPECT_THAT(e.Message(), ::testing::StartsWith(path + ": "));
    }
    EXPECT_EQ(dir.ReadFile("Connections.xml"), "the client's sources");
    EXPECT_THAT(NamesIn(dir.Path()), ElementsAre("Connections.xml"));
  }
}
