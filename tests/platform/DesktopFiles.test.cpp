#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/AssociatedApplication.h"
#include "platform/FileAttributes.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

namespace {
mode_t ModeOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0);
  return st.st_mode & 07777;
}

// The file a fake opener writes, once it has been written (the opener runs on its own).
std::string WaitForFile(const std::string& path) {
  for (int i = 0; i < 500 && !platform::FileExists(path + ".done"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return platform::FileExists(path + ".done") ? ReadWholeFile(path) : "(the opener did not run)";
}
}  // namespace

TEST(FileAttributes, ReadOnlyTakesEveryWriteBitAndWritableGivesTheOwnerOne) {
  TTempDir dir;
  const std::string file = dir.WriteFile("report.pdf", "x");
  ::chmod(file.c_str(), 0666);
  EXPECT_FALSE(platform::FileIsReadOnly(file));
  platform::SetFileReadOnly(file, true);
  EXPECT_EQ(ModeOf(file), 0444u);
  EXPECT_TRUE(platform::FileIsReadOnly(file));
  platform::SetFileReadOnly(file, false);
  EXPECT_EQ(ModeOf(file), 0644u);

  EXPECT_THROW(platform::SetFileReadOnly(dir.File("missing"), true), EOSError);
  EXPECT_FALSE(platform::FileIsReadOnly(dir.File("missing")));
  ScopedSysCall refuse(&SysCalls::chmod, +[](const char*, mode_t) {
    errno = EPERM;
    return -1;
  });
  try {
    platform::SetFileReadOnly(file, true);
    FAIL() << "no error";
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), EPERM);
    EXPECT_THAT(e.Message(), ::testing::HasSubstr(file));
  }
  EXPECT_EQ(ModeOf(file), 0644u);
}

// The opener gets the path as its only argument, whatever characters it holds: no shell sees it.
TEST(AssociatedApplication, TheOpenerGetsThePathAsOneArgument) {
  TTempDir dir;
  const std::string bin = dir.MakeDir("bin");
  const std::string out = dir.File("opened");
  const std::string opener = dir.WriteFile(
      "bin/xdg-open", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" > '" + out + "'\ntouch '" + out + ".done'\n");
  ::chmod(opener.c_str(), 0755);
  TScopedEnv path("PATH", bin + ":/usr/bin:/bin");

  const std::string hostile = dir.File("a b; $(touch pwned) `id`.pdf");
  EXPECT_TRUE(platform::OpenWithAssociatedApplication(hostile));
  EXPECT_EQ(WaitForFile(out), "1|" + hostile);
  EXPECT_FALSE(platform::FileExists(dir.File("pwned")));
  EXPECT_FALSE(platform::FileExists("pwned"));

  platform::DeleteFile(out + ".done");
  EXPECT_TRUE(platform::OpenWithAssociatedApplication("-v"));
  EXPECT_EQ(WaitForFile(out), "1|./-v");
}

TEST(AssociatedApplication, AnOpenerThatCannotStartIsReported) {
  TTempDir dir;
  TScopedEnv path("PATH", dir.Path());
  EXPECT_FALSE(platform::OpenWithAssociatedApplication(dir.File("report.pdf")));
}
