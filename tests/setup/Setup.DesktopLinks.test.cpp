#include "Setup.DesktopLinks.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "support/MessageOf.h"
#include "support/RunProgram.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {
std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const platform::TFileEntry& e : platform::ListDirectory(folder)) names.push_back(e.Name);
  std::sort(names.begin(), names.end());
  return names;
}
}  // namespace

TEST(DesktopLinks, WritesAnExecutableLinkEntry) {
  TTempDir dir;
  std::string desktop = dir.MakeDir("Desktop");
  std::string target = dir.MakeDir("Документы/Орвел-Квело/Нормативы 2024");
  std::string link = CreateDesktopLink(desktop, target, "Сборники нормативов");
  EXPECT_EQ(link, desktop + "/Сборники нормативов.desktop");
  EXPECT_EQ(ReadWholeFile(link),
            "[Desktop Entry]\nType=Link\nName=Сборники нормативов\nURL=file://" + dir.Path() +
                "/%D0%94%D0%BE%D0%BA%D1%83%D0%BC%D0%B5%D0%BD%D1%82%D1%8B/"
                "%D0%9E%D1%80%D0%B2%D0%B5%D0%BB-%D0%9A%D0%B2%D0%B5%D0%BB%D0%BE/"
                "%D0%9D%D0%BE%D1%80%D0%BC%D0%B0%D1%82%D0%B8%D0%B2%D1%8B%202024\nIcon=folder\n");
  struct stat st {};
  ASSERT_EQ(::stat(link.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
}

// The freedesktop reference checker, as a desktop would judge the entry.
TEST(DesktopLinks, EveryEntryPassesTheDesktopFileValidator) {
  TTempDir dir;
  const std::string desktop = dir.MakeDir("Desktop");
  const std::pair<std::string, std::string> links[] = {
      {dir.MakeDir("Нормативы 2024"), "Сборники нормативов"},
      {dir.WriteFile("docs/Manual.pdf", "%PDF"), "Manual.pdf"},
      {dir.WriteFile("docs/OKvelo.exe", "MZ"), " Quenta; 100% [x] #1 =a"},
      {dir.File("never copied/Readme.txt"), "Readme.txt"},
      {dir.WriteFile("docs/data.oxd5", ""), "Ярлык\tс табуляцией"},
  };
  for (const auto& [target, name] : links) {
    SCOPED_TRACE(name);
    const std::string link = CreateDesktopLink(desktop, target, name);
    const std::string report = dir.File("report.txt");
    EXPECT_EQ(RunProgram({"/usr/bin/desktop-file-validate", link}, report, report), 0);
    EXPECT_EQ(dir.ReadFile("report.txt"), "");
    EXPECT_NE(ReadWholeFile(link).find("\nIcon="), std::string::npos);
  }
}

TEST(DesktopLinks, FileUrlsEncodeWhatUrlsCannotHold) {
  EXPECT_EQ(FileUrlOf("/a b/c%d#e?f&g+h~i_j.k-l"), "file:///a%20b/c%25d%23e%3Ff%26g%2Bh~i_j.k-l");
  EXPECT_EQ(FileUrlOf("/я"), "file:///%D1%8F");
}

TEST(DesktopLinks, EntryValuesEscapeBackslashesAndLeadingBlanks) {
  TTempDir dir;
  std::string link = CreateDesktopLink(dir.Path(), "/data/Readme.txt", " Readme.txt");
  EXPECT_NE(ReadWholeFile(link).find("\nName=\\sReadme.txt\n"), std::string::npos);
}

TEST(DesktopLinks, ASecondLinkOfTheSameNameReplacesTheFirst) {
  TTempDir dir;
  std::string first = CreateDesktopLink(dir.Path(), "/data/A/Readme.txt", "Readme.txt");
  std::string second = CreateDesktopLink(dir.Path(), "/data/B/Readme.txt", "Readme.txt");
  EXPECT_EQ(first, second);
  EXPECT_NE(ReadWholeFile(second).find("URL=file:///data/B/Readme.txt\n"), std::string::npos);
  EXPECT_EQ(Names(dir.Path()), std::vector<std::string>{"Readme.txt.desktop"});
}

TEST(DesktopLinks, NamesThatLeaveTheDesktopAreRefusedAndNothingIsWritten) {
  TTempDir dir;
  std::string desktop = dir.MakeDir("home/Desktop");
  const std::vector<std::string> refused = {"", ".", "..", "../escape", "sub/name", "a\\b", std::string("nul\0x", 5)};
  for (const std::string& name : refused) {
    SCOPED_TRACE(name);
    EXPECT_EQ(MessageOf<EShortcutNameError>([&] { CreateDesktopLink(desktop, "/data/x", name); }),
              "Недопустимое имя ярлыка \"" + name + "\"");
  }
  EXPECT_TRUE(Names(desktop).empty());
  EXPECT_EQ(Names(dir.File("home")), std::vector<std::string>{"Desktop"});
  // A name that only looks like one of them is fine.
  EXPECT_EQ(CreateDesktopLink(desktop, "/data/x", "..."), desktop + "/....desktop");
}

TEST(DesktopLinks, TheUsersDesktopIsCreatedWhenMissing) {
  TTempDir dir;
  TScopedEnv home("HOME", dir.Path());
  TScopedEnv config("XDG_CONFIG_HOME", dir.MakeDir("config"));
  dir.WriteFile("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Рабочий стол\"\n");
  std::string link = CreateDesktopLink("/data/Readme.txt", "Readme.txt");
  EXPECT_EQ(link, dir.Path() + "/Рабочий стол/Readme.txt.desktop");
  EXPECT_TRUE(platform::FileExists(link));
}

TEST(DesktopLinks, AnUnwritableDesktopRaisesTheSystemError) {
  TTempDir dir;
  std::string blocker = dir.WriteFile("Desktop", "a file where the folder should be");
  EXPECT_THROW(CreateDesktopLink(blocker, "/data/x", "x"), EOSError);
  EXPECT_EQ(ReadWholeFile(blocker), "a file where the folder should be");
}
