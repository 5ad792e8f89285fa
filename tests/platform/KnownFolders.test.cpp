#include "platform/KnownFolders.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include "platform/Environment.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

using namespace platform;
using posix::ScopedSysCall;
using posix::SysCalls;

namespace {
// A scratch home with none of the variables that move the folders.
class KnownFoldersTest : public ::testing::Test {
 protected:
  TTempDir FHome;
  TScopedEnv FHomeVar{"HOME", FHome.Path() + "/"};
  TScopedEnv FData{"XDG_DATA_HOME", std::nullopt};
  TScopedEnv FConfig{"XDG_CONFIG_HOME", std::nullopt};
  TScopedEnv FState{"XDG_STATE_HOME", std::nullopt};
  TScopedEnv FCommon{"ORVEL_COMMON_APPDATA", std::nullopt};
};

int FailingGetpwuid(uid_t, struct passwd*, char*, size_t, struct passwd** result) {
  *result = nullptr;
  return ENOENT;
}

int FakeGetpwuid(uid_t, struct passwd* entry, char* buffer, size_t size, struct passwd** result) {
  std::memset(entry, 0, sizeof *entry);
  std::strncpy(buffer, "/home/from-passwd", size);
  entry->pw_dir = buffer;
  *result = entry;
  return 0;
}
}  // namespace

TEST_F(KnownFoldersTest, DefaultsLieBelowTheHomeFolder) {
  const std::string home = FHome.Path();
  EXPECT_EQ(HomeFolder(), home);  // the trailing separator of $HOME is dropped
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), home + "/.local/share");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA), home + "/.local/state");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_COMMON_APPDATA), "/var/lib");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_PERSONAL), home + "/Documents");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOP), home + "/Desktop");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY), home + "/Desktop");
  EXPECT_EQ(XdgConfigHome(), home + "/.config");
}

TEST_F(KnownFoldersTest, VariablesMoveTheFoldersWhenAbsolute) {
  {
    TScopedEnv data("XDG_DATA_HOME", "/srv/data//");
    TScopedEnv common("ORVEL_COMMON_APPDATA", FHome.File("common/"));
    TScopedEnv state("XDG_STATE_HOME", "/srv/state/");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), "/srv/data");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA), "/srv/state");
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_COMMON_APPDATA), FHome.File("common"));
  }
  TScopedEnv relative("XDG_DATA_HOME", "data");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), FHome.File(".local/share"));
  TScopedEnv relativeState("XDG_STATE_HOME", "state");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA), FHome.File(".local/state"));
  TScopedEnv root("ORVEL_COMMON_APPDATA", "/");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_COMMON_APPDATA), "/");
}

TEST_F(KnownFoldersTest, UserDirsFileNamesDocumentsAndDesktop) {
  TScopedEnv config("XDG_CONFIG_HOME", FHome.File("cfg"));
  FHome.WriteFile("cfg/user-dirs.dirs",
                  "# written by xdg-user-dirs-update\n"
                  "XDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                  "XDG_DOCUMENTS_DIR=\"$HOME/Мои \\\"документы\\\"/\"\n"
                  "  XDG_DESKTOP_DIR=\"/srv/desk top\"\n"
                  "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_PERSONAL), FHome.File("Мои \"документы\""));
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY), "/srv/desk top");  // the last assignment wins

  FHome.WriteFile("cfg/user-dirs.dirs",
                  "XDG_DOCUMENTS_DIR=\"relative/docs\"\n"
                  "XDG_DESKTOP_DIR=$HOME\n");
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_PERSONAL), FHome.File("Documents"));  // not a form we accept
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_DESKTOP), FHome.Path());
}

TEST_F(KnownFoldersTest, WithoutHomeTheUserFoldersAreUnavailable) {
  TScopedEnv noHome("HOME", std::nullopt);
  {
    ScopedSysCall<decltype(SysCalls::getpwuid_r)> passwd(&SysCalls::getpwuid_r, FakeGetpwuid);
    EXPECT_EQ(GetSpecialFolderPath(CSIDL_APPDATA), "/home/from-passwd/.local/share");
  }
  ScopedSysCall<decltype(SysCalls::getpwuid_r)> passwd(&SysCalls::getpwuid_r, FailingGetpwuid);
  EXPECT_FALSE(HomeFolder());
  for (int csidl : {CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_PERSONAL, CSIDL_DESKTOP, CSIDL_DESKTOPDIRECTORY}) {
    try {
      GetSpecialFolderPath(csidl);
      ADD_FAILURE() << csidl;
    } catch (const EOSError& e) {
      EXPECT_EQ(e.ErrorCode(), ENOENT);
    }
  }
  EXPECT_EQ(GetSpecialFolderPath(CSIDL_COMMON_APPDATA), "/var/lib");  // needs no home
  try {
    GetSpecialFolderPath(99);
    ADD_FAILURE();
  } catch (const EOSError& e) {
    EXPECT_EQ(e.ErrorCode(), EINVAL);
  }
}
