// The support tool kvelo-info, run as a program against a sandbox machine.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ClientSandbox.h"
#include "Common.XMLUtils.h"
#include "NormativeBases.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/FormatSettings.h"
#include "support/RunProgram.h"

namespace {
struct TRun {
  int ExitCode = -1;
  std::string Output;
  std::vector<std::string> Names;  // of the Name=Value lines, in order
  std::map<std::string, std::string> Values;
};

// Runs the tool with the test's environment; its output goes through a file of the sandbox.
TRun RunKveloInfo(const TClientSandbox& sandbox, std::vector<std::string> args) {
  args.insert(args.begin(), KV_KVELO_INFO);
  const std::string outFile = sandbox.Dir().File("kvelo-info.out");
  TRun run;
  run.ExitCode = RunProgram(std::move(args), outFile);
  if (run.ExitCode == -1) return run;
  run.Output = ReadWholeFile(outFile);
  for (const std::string& line : SplitString(run.Output, '\n')) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    run.Names.push_back(line.substr(0, eq));
    run.Values[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return run;
}

std::size_t IndexOf(const TRun& run, const std::string& name) {
  return std::find(run.Names.begin(), run.Names.end(), name) - run.Names.begin();
}
}  // namespace

TEST(KveloInfo, TellsWhereTheInstalledClientIs) {
  TClientSandbox sandbox;
  sandbox.InstallClient(kKvelo7Key, "opt/kvelo", {{7, 2, 0, 15}});
  const TRun run = RunKveloInfo(sandbox, {});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string client = sandbox.Path() + "/opt/kvelo/Client/";
  const std::string data = sandbox.Data() + "/Orvel/OrvelKvelo 7/Client/";
  const std::map<std::string, std::string> expected = {
      {"PortableMode", "pmNone"},
      {"RegistryFile", sandbox.Registry() + "/HKLM.reg"},
      {"RegistryKey", kKvelo7Key},
      {"InstallFolder", client},
      {"ApplicationPath", client + "OKvelo.exe"},
      {"IsApplicationInstalled", "true"},
      {"IsApplicationRuning", "false"},
      {"MajorVersionDigit", "7"},
      {"ApplicationVersion", "7.2.0.15"},
      {"ApplicationVersionInt", std::to_string(0x07020000)},
      {"CommonDataFolder", sandbox.Common() + "/Orvel/OrvelKvelo 7/Client/"},
      {"MyFolderRoot", sandbox.Documents() + "/Орвел-Квело/"},
      {"AutoSaveFoder", data + "Autosave/"},
      {"ConnectionOptionsFilename", data + "Settings/Connections.xml"},
      {"CustomLocalSetting", ""},
      {"IsAppDataFolderHasWritePrivilege", "false"},
  };
  for (const auto& [name, value] : expected) {
    ASSERT_TRUE(run.Values.count(name)) << name << "\n" << run.Output;
    // Another program may run the client's mutex check at the same time; its value is not ours.
    if (name != "IsApplicationRuning") {
      EXPECT_EQ(run.Values.at(name), value) << name;
    }
  }
  // The application's operations, then the roots, then the paths derived from them.
  EXPECT_EQ(IndexOf(run, "RegistryKey"), 2u);
  EXPECT_LT(IndexOf(run, "IsApplicationPresent"), IndexOf(run, "AppDataFolder"));
  EXPECT_LT(IndexOf(run, "MyFolderRoot"), IndexOf(run, "AutoSaveFoder"));
  EXPECT_EQ(run.Names.back(), "IsNBCacheFolderHasWritePrivilege");
  EXPECT_EQ(std::set<std::string>(run.Names.begin(), run.Names.end()).size(), run.Names.size());

  const TRun six = RunKveloInfo(sandbox, {"--client", "6"});
  ASSERT_EQ(six.ExitCode, 0);
  EXPECT_EQ(six.Values.at("RegistryKey"), kKvelo6Key);
  EXPECT_EQ(six.Values.at("IsApplicationInstalled"), "false");
  EXPECT_EQ(six.Values.at("InstallFolder"), "/Client/");
  EXPECT_EQ(six.Names, run.Names);
}

TEST(KveloInfo, FollowsTheOverridesAndThePortableSwitch) {
  TClientSandbox sandbox;
  const std::string shared = sandbox.Dir().MakeDir("Shared");
  sandbox.Dir().WriteFile("data/Orvel/OrvelKvelo 7/Client/Settings/UserData.xml",
                          "<UserData LocalSetting=\"" + shared + "\"/>");
  TRun run = RunKveloInfo(sandbox, {});
  EXPECT_EQ(run.Values.at("CustomLocalSetting"), shared + "/");
  EXPECT_EQ(run.Values.at("SignRootXMLFileName"), shared + "/Signs.xml");

  run = RunKveloInfo(sandbox, {"/PORTABLE"});
  const std::string own = ExtractFilePath(KV_KVELO_INFO);
  EXPECT_EQ(run.Values.at("PortableMode"), "pmSwitch");
  EXPECT_EQ(run.Values.at("InstallFolder"), own);
  EXPECT_EQ(run.Values.at("CommonDataFolder"), own);
}

TEST(KveloInfo, AFailingOperationIsReportedAndTheRestFollows) {
  TClientSandbox sandbox;
  sandbox.WriteRegistry({}, "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                                std::string(kKvelo7Key) + "]\r\n\"InstallLocation\"=dword:00000001\r\n");
  const TRun run = RunKveloInfo(sandbox, {});
  ASSERT_EQ(run.ExitCode, 0);
  EXPECT_EQ(run.Values.at("InstallFolder"), "!Invalid data type for 'InstallLocation'");
  EXPECT_EQ(run.Values.at("ApplicationPath"), "!Invalid data type for 'InstallLocation'");
  EXPECT_EQ(run.Values.at("IsApplicationInstalled"), "!Invalid data type for 'InstallLocation'");
  EXPECT_EQ(run.Values.at("ConnectionOptionsFilename"),
            sandbox.Data() + "/Orvel/OrvelKvelo 7/Client/Settings/Connections.xml");
}

TEST(KveloInfo, HelpAndBadArguments) {
  TClientSandbox sandbox;
  const TRun help = RunKveloInfo(sandbox, {"--help"});
  EXPECT_EQ(help.ExitCode, 0);
  for (const char* variable : {"ORVEL_REGISTRY_DIR", "ORVEL_COMMON_APPDATA", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME",
                               "user-dirs.dirs", "Client/OKvelo.exe"})
    EXPECT_NE(help.Output.find(variable), std::string::npos) << variable;
  EXPECT_EQ(RunKveloInfo(sandbox, {"--client", "8"}).ExitCode, 2);
  EXPECT_EQ(RunKveloInfo(sandbox, {"--verbose"}).ExitCode, 2);
  EXPECT_EQ(RunKveloInfo(sandbox, {"--client"}).ExitCode, 2);
}

namespace {
// A client with bases as support meets them: Cyrillic names (stored in Windows-1251), one in a
// subfolder, one whose description is cut short, and a file of the auto-save folder.
struct TReportClient {
  std::string Moscow, Sub, Damaged, AutoSave;
};

TReportClient WriteReportClient() {
  TReportClient client;
  const std::string data = TKvelo7Information::DBaseFolder();
  client.Moscow = WriteBaseFile(data + "NB177001.oxd5",
                                BaseInfo(77001, kpl2001, "Москва", "ЦФО", nbpTerritorial, 12, 45000.25));
  client.Sub = WriteBaseFile(data + "Архив/NB412345.oxd5",
                             BaseInfo(12345, kpl1984, "Тверская область", "", nbpFederal, 2, 30000));
  const std::string full = DescriptionBytes(BaseInfo(2, kpl2001, "Обрезанная", "", nbpFederal, 1, 45000));
  client.Damaged = WriteBaseFile(data + "NB100002.oxd5", full.substr(0, 20));
  client.AutoSave = TKvelo7Information::AutoSaveFoder();
  platform::ForceDirectories(client.AutoSave);
  WriteWholeFile(client.AutoSave + "Смета.tmp", std::string(3000, 's'));
  return client;
}
}  // namespace

TEST(KveloInfo, TextReportOfTheAutoSaveFolderAndTheBases) {
  TClientSandbox sandbox;
  TScopedEnv locale("LC_ALL", "C");
  const TFormatSettings formats = platform::FormatSettingsFromLocale();
  const TReportClient client = WriteReportClient();
  EXPECT_NE(ReadWholeFile(client.Moscow).find(platform::Utf8ToAnsi("Москва")), std::string::npos);

  const TRun run = RunKveloInfo(sandbox, {"--report"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const std::string head = "    Каталог автосохранения:\r\n      - путь: " + client.AutoSave +
                           "\r\n      - файлов: 1\r\n      - размер: 2 Кбайт\r\n    Список доступных баз:";
  const std::vector<std::string> bases = {
      "\r\n      - Путь: " + client.Moscow + "\r\n        - Наименование: Москва\r\n        - Версия базы: 12"
      "\r\n        - Код базы: 177001\r\n        - Дата создания: " + DateToStr(45000, formats) +
      "\r\n        - Издатель: Территориальный\r\n        - Тип базы: 2001 года\r\n        - Округ: ЦФО",
      "\r\n      - Путь: " + client.Sub + "\r\n        - Наименование: Тверская область"
      "\r\n        - Версия базы: 2\r\n        - Код базы: 412345\r\n        - Дата создания: " +
      DateToStr(30000, formats) +
      "\r\n        - Издатель: Федеральный\r\n        - Тип базы: 1984 года\r\n        - Округ: ",
      "\r\n      - Путь: " + client.Damaged + "\r\n        - Ошибка чтения: Stream read error",
  };
  ASSERT_EQ(run.Output.substr(0, head.size()), head) << run.Output;
  std::size_t length = head.size() + 2;  // and the line end after the last base
  for (const std::string& base : bases) {
    EXPECT_NE(run.Output.find(base), std::string::npos) << base << "\nin\n" << run.Output;
    length += base.size();
  }
  EXPECT_EQ(run.Output.size(), length) << run.Output;
  EXPECT_EQ(run.Output.substr(run.Output.size() - 2), "\r\n");
}

TEST(KveloInfo, XmlReportOfTheBases) {
  TClientSandbox sandbox;
  TScopedEnv locale("LC_ALL", "C");
  const TFormatSettings formats = platform::FormatSettingsFromLocale();
  const TReportClient client = WriteReportClient();

  const TRun run = RunKveloInfo(sandbox, {"--report-xml"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  TXMLDocument document;
  document.LoadFromXML(run.Output);
  ASSERT_EQ(document.DocumentElement().NodeName(), "report");
  const TXMLNodeList items = SelectNodes(document.DocumentElement(), "dbase/item");
  ASSERT_EQ(items.Count(), 2) << run.Output;  // the base in the subfolder is not listed
  const TXMLNode moscow = SelectNode(document.DocumentElement(), "dbase/item[@path='" + client.Moscow + "']");
  ASSERT_TRUE(moscow) << run.Output;
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"path", client.Moscow},       {"region", "Москва"},
      {"version", "12"},             {"code", "177001"},
      {"date", DateTimeToStr(45000.25, formats)}, {"publisher", "Территориальный"},
      {"year", "2001"},              {"district", "ЦФО"}};
  std::vector<std::pair<std::string, std::string>> actual;
  for (const std::string& name : moscow.AttributeNames()) actual.emplace_back(name, *moscow.Attribute(name));
  EXPECT_EQ(actual, expected);
  const TXMLNode damaged = SelectNode(document.DocumentElement(), "dbase/item[@path='" + client.Damaged + "']");
  EXPECT_EQ(GetAttrDef(damaged, "error", ""), "Stream read error") << run.Output;
  EXPECT_FALSE(damaged.HasAttribute("region"));
}
