#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/CodePages.h"
#include "platform/RegistryFile.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

using namespace platform;

namespace {
const char* const kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{00C00000-0001-4A2E-8D31-700000000001}_is1";

const char* const kVersion5Body =
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "{00C00000-0001-4A2E-8D31-700000000001}_is1]\r\n"
    "\"InstallLocation\"=\"C:\\\\Program Files\\\\Orvel\\\\\"\r\n"
    "\"DisplayName\"=\"Орвел Квело Клиент\"\r\n"
    "@=\"default\"\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "; a comment line\r\n"
    "\"Count\"=dword:0000002a\r\n"
    "\"Path\"=hex(2):25,00,50,00,52,00,4f,00,47,00,25,00,5c,00,\\\r\n"
    "  1a,04,00,00\r\n"
    "\"Plain\"=hex(1):41,00,00,00,42,00\r\n"
    "\"Blob\"=hex:01,02,ff\r\n"
    "\"List\"=hex(7):61,00,00,00,00,00\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Orvel]\r\n"
    "\"A\"=\"1\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Alpha]\r\n";

std::string Utf16File(const std::string& utf8) { return "\xFF\xFE" + ConvertCodePage(utf8, kUtf8CodePage, kUtf16LECodePage); }

// A temporary registry folder for the test's lifetime.
class RegistryTest : public ::testing::Test {
 protected:
  RegistryTest() : FEnv("ORVEL_REGISTRY_DIR", FDir.Path()) { ReloadRegistry(); }
  ~RegistryTest() override { ReloadRegistry(); }

  void WriteHive(const std::string& name, const std::string& bytes) {
    FDir.WriteFile(name, bytes);
    ReloadRegistry();
  }

  TTempDir FDir;
  TScopedEnv FEnv;
};
}  // namespace

TEST_F(RegistryTest, ReadsEveryValueFormInEachEncoding) {
  const std::string text = std::string("Windows Registry Editor Version 5.00\r\n") + kVersion5Body;
  const std::pair<const char*, std::string> files[] = {
      {"UTF-16LE", Utf16File(text)}, {"UTF-8 with mark", "\xEF\xBB\xBF" + text}, {"UTF-8", text}};
  for (const auto& [encoding, bytes] : files) {
    SCOPED_TRACE(encoding);
    WriteHive("HKLM.reg", bytes);
    auto key = OpenKeyReadOnly(rhLocalMachine, kUninstallKey);
    ASSERT_TRUE(key);
    EXPECT_EQ(key->ReadString("InstallLocation"), "C:\\Program Files\\Orvel\\");
    EXPECT_EQ(key->ReadString("DisplayName"), "Орвел Квело Клиент");
    EXPECT_EQ(key->ReadString(""), "default");
    EXPECT_EQ(key->ReadString("Quote"), "say \"hi\"");
    EXPECT_EQ(key->ReadString("Path"), "%PROG%\\К");  // hex(2) across a continuation line
    EXPECT_EQ(key->FindValue("Path")->Type, kRegExpandString);
    EXPECT_EQ(key->ReadString("Plain"), "A");  // up to the first NUL
    EXPECT_EQ(key->FindValue("Count")->Data, (std::vector<std::uint8_t>{0x2a, 0, 0, 0}));
    EXPECT_EQ(key->FindValue("Blob")->Data, (std::vector<std::uint8_t>{1, 2, 0xff}));
    EXPECT_EQ(key->FindValue("List")->Type, kRegMultiString);
    EXPECT_EQ(key->ReadString("Missing"), "");
    EXPECT_FALSE(key->ValueExists("Missing"));
    EXPECT_EQ(key->GetValueNames(), (std::vector<std::string>{"InstallLocation", "DisplayName", "", "Quote", "Count",
                                                              "Path", "Plain", "Blob", "List"}));
    auto software = OpenKeyReadOnly(rhLocalMachine, "\\software\\");
    ASSERT_TRUE(software);
    EXPECT_EQ(software->GetKeyNames(), (std::vector<std::string>{"Microsoft", "Orvel", "Alpha"}));
  }
}

TEST_F(RegistryTest, NamesIgnoreLetterCaseAndNonStringsRefuseToReadAsText) {
  WriteHive("HKLM.reg", std::string("Windows Registry Editor Version 5.00\n") + kVersion5Body +
                            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Орвел]\n\"Ключ\"=\"к\"\n");
  auto key = OpenKeyReadOnly(rhLocalMachine, "software\\MICROSOFT\\windows\\currentversion\\UNINSTALL\\"
                                             "{00c00000-0001-4a2e-8d31-700000000001}_IS1");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("installlocation"), "C:\\Program Files\\Orvel\\");
  auto cyrillic = OpenKeyReadOnly(rhLocalMachine, "Software\\ОРВЕЛ");
  ASSERT_TRUE(cyrillic);
  EXPECT_EQ(cyrillic->ReadString("КЛЮЧ"), "к");
  for (const char* name : {"Count", "Blob", "List"}) {
    try {
      key->ReadString(name);
      ADD_FAILURE() << name;
    } catch (const ERegistryException& e) {
      EXPECT_EQ(e.Message(), std::string("Invalid data type for '") + name + "'");
    }
  }
  EXPECT_FALSE(OpenKeyReadOnly(rhLocalMachine, "SOFTWARE\\Missing"));
  EXPECT_FALSE(OpenKeyReadOnly(rhCurrentUser, "SOFTWARE\\Orvel"));  // the other hive
}

TEST_F(RegistryTest, Regedit4IsWindows1251AndDeletionsAreHonoured) {
  const std::string text =
      "REGEDIT4\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\MicroSoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
      "\"Desktop\"=\"C:\\\\Users\\\\Иван\\\\Desktop\"\r\n"
      "\"Temp\"=hex(2):25,54,4d,50,25,5c,c8,00\r\n"
      "\"Gone\"=\"x\"\r\n"
      "\"Gone\"=-\r\n"
      "[HKEY_CURRENT_USER\\Software\\Old\\Sub]\r\n"
      "\"v\"=\"1\"\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
      "\"ignored\"=hex:01,\\\r\n"
      "  02\r\n"
      "[HKEY_CURRENT_USER\\Software\\MicroSoft]\r\n"
      "\"Later\"=\"y\"\r\n";
  WriteHive("HKCU.reg", Utf8ToAnsi(text));
  auto key = OpenKeyReadOnly(rhCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
  ASSERT_TRUE(key);
  EXPECT_EQ(key->ReadString("Desktop"), "C:\\Users\\Иван\\Desktop");
  EXPECT_EQ(key->ReadString("Temp"), "%TMP%\\И");
  EXPECT_FALSE(key->ValueExists("Gone"));
  EXPECT_FALSE(OpenKeyReadOnly(rhCurrentUser, "Software\\Old"));
  EXPECT_EQ(OpenKeyReadOnly(rhCurrentUser, "Software")->GetKeyNames(), std::vector<std::string>{"MicroSoft"});
  EXPECT_EQ(OpenKeyReadOnly(rhCurrentUser, "Software\\Microsoft")->ReadString("Later"), "y");
}

TEST_F(RegistryTest, MissingOrEmptyFilesAreEmptyHives) {
  auto root = OpenKeyReadOnly(rhLocalMachine, "");
  ASSERT_TRUE(root);
  EXPECT_FALSE(root->HasSubKeys());
  EXPECT_FALSE(OpenKeyReadOnly(rhLocalMachine, "Software"));
  WriteHive("HKCU.reg", "\r\n\r\n");
  EXPECT_FALSE(OpenKeyReadOnly(rhCurrentUser, "")->HasSubKeys());
}

TEST_F(RegistryTest, MalformedFilesNameTheFileAndLine) {
  struct Case {
    const char* text;
    int line;
  };
  const Case cases[] = {
      {"REGEDIT5\n[HKEY_LOCAL_MACHINE\\A]\n", 1},
      {"REGEDIT4\n\"v\"=\"value before any key\"\n", 2},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"unterminated\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:123456789\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=dword:xyz\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:01,\\\n 0g\n", 4},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex:01,,02\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=hex(zz):01\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"x\" trailing\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=text\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"\n", 3},
      {"REGEDIT4\n\n[HKEY_CURRENT_USER\\A]\n", 3},
      {"REGEDIT4\n[HKEY_LOCAL_MACHINE\\A\n", 2},
      {"REGEDIT4\n[-HKEY_LOCAL_MACHINE]\n", 2},
      {"REGEDIT4\nplain words\n", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WriteHive("HKLM.reg", c.text);
    try {
      OpenKeyReadOnly(rhLocalMachine, "A");
      ADD_FAILURE();
    } catch (const ERegistryException& e) {
      std::string prefix = "Registry file \"" + FDir.File("HKLM.reg") + "\", line " + std::to_string(c.line) + ": ";
      EXPECT_EQ(e.Message().substr(0, prefix.size()), prefix) << e.Message();
    }
  }
}

TEST_F(RegistryTest, EachFileIsParsedOnceUntilTheCacheIsDropped) {
  WriteHive("HKLM.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"old\"\n");
  auto key = OpenKeyReadOnly(rhLocalMachine, "A");
  FDir.WriteFile("HKLM.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\A]\n\"v\"=\"new\"\n");
  EXPECT_EQ(OpenKeyReadOnly(rhLocalMachine, "A")->ReadString("v"), "old");
  ReloadRegistry();
  EXPECT_EQ(OpenKeyReadOnly(rhLocalMachine, "A")->ReadString("v"), "new");
  EXPECT_EQ(key->ReadString("v"), "old");  // an opened key keeps its hive
}

TEST_F(RegistryTest, FileLocationsFollowTheVariables) {
  EXPECT_EQ(RegistryFileName(rhLocalMachine), FDir.File("HKLM.reg"));
  EXPECT_EQ(RegistryFileName(rhCurrentUser), FDir.File("HKCU.reg"));
  TScopedEnv noDir("ORVEL_REGISTRY_DIR", std::nullopt);
  TScopedEnv config("XDG_CONFIG_HOME", FDir.File("config"));
  EXPECT_EQ(RegistryFileName(rhLocalMachine), "/etc/orvel/registry/HKLM.reg");
  EXPECT_EQ(RegistryFileName(rhCurrentUser), FDir.File("config/orvel/registry/HKCU.reg"));
  FDir.WriteFile("config/orvel/registry/HKCU.reg", "REGEDIT4\n[HKEY_CURRENT_USER\\Software]\n");
  ReloadRegistry();
  EXPECT_TRUE(OpenKeyReadOnly(rhCurrentUser, "Software"));
  TScopedEnv relativeConfig("XDG_CONFIG_HOME", "relative");
  TScopedEnv home("HOME", FDir.Path());
  EXPECT_EQ(RegistryFileName(rhCurrentUser), FDir.File(".config/orvel/registry/HKCU.reg"));
}

TEST(RegistryFile, CutsAndCorruptionsGiveAnErrorOrAHiveNeverACrash) {
  const std::string valid = Utf16File(std::string("Windows Registry Editor Version 5.00\r\n") + kVersion5Body);
  for (std::size_t length = 0; length <= valid.size(); ++length) {
    try {
      ParseRegistryFile(std::string_view(valid).substr(0, length), "cut.reg", "HKEY_LOCAL_MACHINE");
    } catch (const ERegistryException&) {
    }
  }
  std::string corrupt = valid;
  std::uint32_t seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    seed = seed * 1103515245 + 12345;
    corrupt[seed % corrupt.size()] = static_cast<char>(seed >> 16);
    try {
      ParseRegistryFile(corrupt, "corrupt.reg", "HKEY_LOCAL_MACHINE");
    } catch (const ERegistryException&) {
    }
  }
}
