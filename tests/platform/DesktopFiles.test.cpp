#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/AssociatedApplication.h"
#include "platform/FileAttributes.h"
#include "platform/FileIcons.h"
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

// A database of its own, so that the answers do not hang on the machine's.
TEST(FileIcons, FoldersAndTheGenericIconOfTheNamesMediaType) {
  TTempDir dir;
  TScopedEnv home("XDG_DATA_HOME", dir.MakeDir("home"));
  TScopedEnv dirs("XDG_DATA_DIRS", dir.MakeDir("none") + ":" + dir.MakeDir("system"));
  dir.WriteFile("system/mime/globs2",
                "# weight:type:pattern\n"
                "50:application/pdf:*.pdf\n"
                "50:application/x-gzpdf:*.pdf.gz\n"
                "50:text/plain:*.txt\n"
                "80:application/x-readme:readme*\n"
                "50:image/x-big-c:*.C:cs\n"
                "50:text/x-csrc:*.c\n"
                "50:image/png:*.png\n");
  dir.WriteFile("system/mime/generic-icons",
                "application/pdf:x-office-document\napplication/x-gzpdf:package-x-generic\n");
  const std::pair<std::string, const char*> cases[] = {
      {dir.MakeDir("Нормативы"), "folder"},
      {"/data/Руководство.PDF", "x-office-document"},  // patterns ignore case
      {"/data/a.pdf.gz", "package-x-generic"},         // the longest pattern wins
      {"/data/README.txt", "application-x-generic"},   // the higher weight first
      {"/data/main.C", "image-x-generic"},             // a case-sensitive pattern
      {"/data/main.c", "text-x-generic"},
      {"/data/photo.png", "image-x-generic"},          // no generic icon: the media's
      {"/data/data.oxd5", "application-x-generic"},    // no type at all
      {"/data/missing folder/", "application-x-generic"},
  };
  for (const auto& [path, icon] : cases) EXPECT_EQ(platform::IconNameOf(path), icon) << path;

  // The user's own database comes first.
  dir.WriteFile("home/mime/globs2", "50:image/x-orvel:*.oxd5\n");
  EXPECT_EQ(platform::IconNameOf("/data/data.oxd5"), "image-x-generic");
}
