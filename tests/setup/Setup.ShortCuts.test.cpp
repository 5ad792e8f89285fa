#include "Setup.ShortCuts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Runtime.StringList.h"
#include "Setup.DesktopLinks.h"
#include "platform/FileSystem.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace {

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (const std::string& line : list) lines.push_back(line);
  return lines;
}

// A package and its installed copy; the desktop is HOME's.
class ShortCutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir.WriteFile("package/Docs/Нормативы/linkname.txt", "Сборники нормативов\r\nвторая строка");
    Dir.MakeDir("docs/Нормативы");
    Dir.WriteFile("docs/Руководство.pdf", "pdf");
    Dir.WriteFile("common/Templates/Руководство.pdf", "pdf");
  }
  std::string Desktop(const std::string& name) const { return Dir.File("home/Desktop/" + name); }

  TTempDir Dir;
  TScopedEnv Home{"HOME", Dir.File("home")};
  TScopedEnv Config{"XDG_CONFIG_HOME", Dir.File("home/.config")};
  TPackageFolders Folders{Dir.File("package/Client/"), Dir.File("package/Docs/"), Dir.File("common/"),
                          Dir.File("docs/")};
};

// Names from "linkname.txt" and from the items; two of the same name share one file, listed twice.
TEST_F(ShortCutsTest, CreatesOneLinkPerItemInOrder) {
  TStringList list;
  CreateShortCuts({{"Нормативы", 1}, {"Руководство.pdf", 1}, {"Templates/Руководство.pdf", 0}}, Folders, list);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{Desktop("Сборники нормативов.desktop"),
                                                   Desktop("Руководство.pdf.desktop"),
                                                   Desktop("Руководство.pdf.desktop")}));
  EXPECT_NE(ReadWholeFile(list[1]).find("URL=" + FileUrlOf(Dir.File("common/Templates/Руководство.pdf")) + "\n"), std::string::npos);
}

TEST_F(ShortCutsTest, ABadNameStopsTheRunAndKeepsWhatWasMade) {
  Dir.WriteFile("package/Docs/Нормативы/linkname.txt", "../../escape");
  TStringList list;
  EXPECT_THROW(CreateShortCuts({{"Руководство.pdf", 1}, {"Нормативы", 1}}, Folders, list), EShortcutNameError);
  EXPECT_EQ(Lines(list), std::vector<std::string>{Desktop("Руководство.pdf.desktop")});
  EXPECT_TRUE(platform::FileExists(list[0]));
}

TEST_F(ShortCutsTest, DeleteSkipsAMissingLinkAndKeepsTheList) {
  TStringList list;
  CreateShortCuts({{"Руководство.pdf", 1}, {"Нормативы", 1}}, Folders, list);
  platform::DeleteFile(list[0]);
  DeleteShortCuts(list);
  EXPECT_FALSE(platform::FileExists(list[1]));
  EXPECT_EQ(list.Count(), 2u);
}

}  // namespace
