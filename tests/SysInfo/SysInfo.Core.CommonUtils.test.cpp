#include "SysInfo.Core.CommonUtils.h"

#include <gtest/gtest.h>

#include "ClientSandbox.h"
#include "Common.XMLUtils.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"

TEST(FormatByteSize, LargestUnitBelow1024) {
  const std::int64_t KB = 1024, TB = KB * KB * KB * KB;
  const std::pair<std::int64_t, const char*> rows[] = {
      {0, "0 байт"},        {1023, "1023 байт"},       {-5, "-5 байт"},
      {1024, "1 Кбайт"},    {1536, "1 Кбайт"},         {KB * KB - 1, "1023 Кбайт"},
      {KB * KB, "1 Мбайт"}, {KB * KB * KB, "1 Гбайт"}, {TB - 1, "1023 Гбайт"},
      {TB, "1 Тбайт"},      {2048 * TB, "2048 Тбайт"},
  };
  for (const auto& [size, text] : rows) EXPECT_EQ(FormatByteSize(size), text) << size;
}

TEST(GetAttributeAsString, EveryLineBreakBecomesCrLf) {
  TXMLDocument doc;
  TXMLNode root = doc.AddChild("UserData");
  root.SetAttribute("Text", "a\nb\r\nc\rd");
  EXPECT_EQ(GetAttributeAsString(root, "Text"), "a\r\nb\r\nc\rd");  // a lone CR stays
  EXPECT_EQ(GetAttributeAsString(root, "Missing"), "");
  EXPECT_EQ(GetAttributeAsString(TXMLNode(), "Text"), "");
}

TEST(CheckFolderWritePrivilege, ProbesWithAFileItRemoves) {
  TTempDir dir;
  EXPECT_TRUE(CheckFolderWritePrivilege(dir.Path()));
  EXPECT_TRUE(CheckFolderWritePrivilege(dir.Path() + "/"));
  EXPECT_FALSE(platform::FileExists(dir.File("CheckFolderWritePrivilege.bin")));
  dir.WriteFile("CheckFolderWritePrivilege.bin", "left over");  // truncated and removed
  EXPECT_TRUE(CheckFolderWritePrivilege(dir.Path()));
  EXPECT_FALSE(platform::FileExists(dir.File("CheckFolderWritePrivilege.bin")));
  EXPECT_FALSE(CheckFolderWritePrivilege(dir.File("missing")));
  dir.WriteFile("file", "");
  EXPECT_FALSE(CheckFolderWritePrivilege(dir.File("file")));  // not a folder
}

TEST(PortableMode, SwitchInEitherSpellingWinsOverARoot) {
  TClientSandbox sandbox;
  {
    platform::ScopedCommandLine none({"wizard"});
    EXPECT_EQ(GetPortableMode(), pmNone);
    SetPortableRoot(sandbox.Path());
    EXPECT_EQ(GetPortableRoot(), sandbox.Path() + "/");
    EXPECT_EQ(GetPortableMode(), pmRoot);
  }
  for (const char* spelling : {"-PORTABLE", "/portable"}) {
    platform::ScopedCommandLine portable({"wizard", spelling});
    EXPECT_EQ(GetPortableMode(), pmSwitch) << spelling;
  }
  platform::ScopedCommandLine notTheSwitch({"wizard", "--portable", "portable"});
  EXPECT_EQ(GetPortableMode(), pmRoot);
  SetPortableRoot("");
  EXPECT_EQ(GetPortableRoot(), "");
  EXPECT_EQ(GetPortableMode(), pmNone);
}

TEST(ReadLocalMachineString, StringsOnlyAndEmptyForWhatIsMissing) {
  TClientSandbox sandbox;
  EXPECT_EQ(ReadLocalMachineString("SOFTWARE\\Orvel", "Path"), "");  // no hive file at all
  sandbox.WriteRegistry({},
                        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvel]\r\n\"Path\"=\"/opt/orvel\"\r\n"
                        "\"Count\"=dword:00000002\r\n");
  EXPECT_EQ(ReadLocalMachineString("SOFTWARE\\Orvel", "Path"), "/opt/orvel");
  EXPECT_EQ(ReadLocalMachineString("software\\orvel\\", "path"), "/opt/orvel");
  EXPECT_EQ(ReadLocalMachineString("SOFTWARE\\Orvel", "Missing"), "");
  EXPECT_EQ(ReadLocalMachineString("SOFTWARE\\Missing", "Path"), "");
  try {
    ReadLocalMachineString("SOFTWARE\\Orvel", "Count");
    FAIL() << "a DWORD read as a string";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'Count'");
  }
}
