#include "SysInfo.Core.Kvelo7.h"

#include <gtest/gtest.h>

#include <functional>

#include "ClientSandbox.h"
#include "Runtime.Strings.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

namespace {
std::string OwnFolder() { return ExtractFilePath(platform::ExecutableFileName()); }
}  // namespace

TEST(KveloInformation, ConstantsOfBothVersions) {
  EXPECT_EQ(TKvelo6Information::RegistryKey(), kKvelo6Key);
  EXPECT_EQ(TKvelo7Information::RegistryKey(), kKvelo7Key);
  EXPECT_EQ(TKvelo6Information::MajorVersionDigit(), 6);
  EXPECT_EQ(TKvelo7Information::MajorVersionDigit(), 7);
  EXPECT_EQ(TKvelo7Information::ApplicationDisplayName(), "Орвел Квело Клиент");
  EXPECT_EQ(TKvelo7Information::ApplicationExeName(), "OKvelo.exe");
  EXPECT_EQ(TKvelo7Information::MutexName(), "OrvelKvelo_client");
  EXPECT_EQ(TKvelo7Information::PortableRelativePath(), "Orvel/Orvelkvelo/");
  static_assert(std::is_base_of_v<TKvelo6Information, TKvelo7Information>);
  static_assert(std::is_base_of_v<TCustomApplicationInformation, TKvelo6Information>);
}

TEST(KveloInformation, InstalledForVersion7OnlyWithAVersion7Executable) {
  TClientSandbox sandbox;
  const std::string exe = sandbox.InstallClient(kKvelo7Key, "opt/Орвел Квело", {{7, 2, 0, 15}});
  const std::string client = sandbox.Path() + "/opt/Орвел Квело/Client/";
  EXPECT_EQ(TKvelo7Information::InstallFolder(), client);
  EXPECT_EQ(TKvelo7Information::ApplicationPath(), exe);
  EXPECT_TRUE(TKvelo7Information::IsApplicationInstalled());
  EXPECT_EQ(TKvelo7Information::ApplicationVersion().VerAsString(), "7.2.0.15");
  EXPECT_EQ(TKvelo7Information::ApplicationVersionInt(), 0x07020000u);
  EXPECT_FALSE(TKvelo6Information::IsApplicationInstalled());  // no entry of its own

  TClientSandbox::WriteExecutable(exe, {{6, 9, 3, 1}});
  EXPECT_TRUE(TKvelo7Information::IsApplicationPresent());
  EXPECT_FALSE(TKvelo7Information::IsApplicationInstalled());

  sandbox.InstallClient(kKvelo6Key, "opt/Орвел Квело", {{6, 9, 3, 1}});
  EXPECT_TRUE(TKvelo6Information::IsApplicationInstalled());
  EXPECT_FALSE(TKvelo7Information::IsApplicationInstalled());  // the entry is version 6's now
}

TEST(KveloInformation, EntryWithoutInstallLocation) {
  TClientSandbox sandbox;
  sandbox.WriteRegistry({{kKvelo7Key, std::nullopt}});
  EXPECT_EQ(TKvelo7Information::InstallFolder(), "/Client/");
  EXPECT_EQ(TKvelo7Information::ApplicationPath(), "/Client/OKvelo.exe");
  EXPECT_FALSE(TKvelo7Information::IsApplicationInstalled());
  EXPECT_EQ(TKvelo7Information::ApplicationVersion(), TDigitalFileVersionInfo{});
}

TEST(KveloInformation, EveryPathOfANormalInstallation) {
  TClientSandbox sandbox;
  const std::string data = sandbox.Data() + "/Orvel/OrvelKvelo 7/Client/";
  const std::string common = sandbox.Common() + "/Orvel/OrvelKvelo 7/Client/";
  const std::string mine = sandbox.Documents() + "/Орвел-Квело/";
  using K7 = TKvelo7Information;
  const std::pair<std::function<std::string()>, std::string> paths[] = {
      {K7::AppDataFolder, data},
      {K7::CommonDataFolder, common},
      {K7::MyFolderRoot, mine},
      {K7::DBaseFolder, common + "Data/"},
      {K7::AutoSaveFoder, data + "Autosave/"},
      {K7::HistoryFolder, data + "History/"},
      {K7::RecentDocsSettingFilename, data + "History/RecentDocs.xml"},
      {K7::LocalHistorySettingFilename, data + "History/History.xml"},
      {K7::CreateHistoryFilename, data + "History/CreateHistory.xml"},
      {K7::ExportHistoryFilename, data + "History/ExportHistory.xml"},
      {K7::CommonSettingFolder, data + "Settings/"},
      {K7::CommonSettingFilename, data + "Settings/CommonSetting.xml"},
      {K7::ConnectionOptionsFilename, data + "Settings/Connections.xml"},
      {K7::SessionSettingFilename, data + "Settings/SessionSetting.xml"},
      {K7::RibbonSettingFilename, data + "Settings/Ribbon.xml"},
      {K7::LoginHostSettingFilename, data + "Settings/LoginHost.xml"},
      {K7::NbDataSearchParamSettingFilename, data + "Settings/NbDataSearchParam.xml"},
      {K7::PriceTransferSettingFilename, data + "Settings/PriceTransfer.xml"},
      {K7::NBFavoriteListSettingFilename, data + "Settings/NbFavoriteList.xml"},
      {K7::ElementsComparerSettingFilename, data + "Settings/ElementsComparer.xml"},
      {K7::UserDataFolderSettingFilename, data + "Settings/UserData.xml"},
      {K7::NetworkIniPath, data + "Settings/onclient.ini"},
      {K7::RootNetworkIniPath, common + "onclient.ini"},
      {K7::NormBasesFolder, common + "Data/"},
      {K7::NBCacheFolder, common + "NbCache/"},
      {K7::BootLogFolder, common + "BootLog/"},
      {K7::DefaultNewDocsFolder, common + "DefaultNewDocs/"},
      {K7::DocTemplatesFolder, common + "DocTemplates/"},
      {K7::ExpTemplatesFolder, common + "ExpTemplates/"},
      {K7::DefaultExpSettingFile, common + "ExpTemplates/ExpDefault.xml"},
      {K7::TemplatesFolder, common + "Templates/"},
      {K7::TemplateItogFilename, common + "Templates/Itog.xlt"},
      {K7::UserParamFilename, common + "Templates/Doc.ini"},
      {K7::UserTemplatesFolder, common + "UserTemplates/"},
      {K7::LocalSetting, common + "LocalSetting/"},
      {K7::SignRootXMLFileName, common + "LocalSetting/Signs.xml"},
      {K7::OrgRootXMLFileName, common + "LocalSetting/DocOrgs.xml"},
      {K7::SignTypesXMLFileName, common + "LocalSetting/Signtypes.xml"},
      {K7::CrossrkFileName, common + "LocalSetting/Crossrk.xml"},
      {K7::WintersFileName, common + "LocalSetting/Winters.xml"},
      {K7::CodeReplacementsFileName, common + "LocalSetting/CodeReplacements.xml"},
      {K7::KveloPropsFolder, common + "KveloProps/"},
      {K7::MyDocuments, mine + "Мои Квело/"},
      {K7::MyDocTemplates, mine + "Мои шаблоны/"},
      {K7::MyExpTemplates, mine + "Мои формы/"},
      {K7::MyNBTemplatesFolder, mine + "Мои базы/"},
      {K7::CustomLocalSetting, ""},
      {K7::CustomKveloPropsFolder, ""},
  };
  for (const auto& [operation, expected] : paths) EXPECT_EQ(operation(), expected);

  // Version 6's layout differs only in the folder name; the documents root is shared.
  EXPECT_EQ(TKvelo6Information::ConnectionOptionsFilename(),
            sandbox.Data() + "/Orvel/OrvelKvelo 6/Client/Settings/Connections.xml");
  EXPECT_EQ(TKvelo6Information::NormBasesFolder(), sandbox.Common() + "/Orvel/OrvelKvelo 6/Client/Data/");
  EXPECT_EQ(TKvelo6Information::MyDocuments(), mine + "Мои Квело/");
}

TEST(KveloInformation, AMissingSpecialFolderFailsOnlyWhatNeedsIt) {
  TClientSandbox sandbox;
  TScopedEnv noHome("HOME", std::nullopt), noData("XDG_DATA_HOME", std::nullopt);
  ScopedSysCall<decltype(SysCalls::getpwuid_r)> noUser(
      &SysCalls::getpwuid_r, [](uid_t, passwd*, char*, size_t, passwd** result) { return *result = nullptr, ENOENT; });
  EXPECT_THROW(TKvelo7Information::ConnectionOptionsFilename(), EOSError);
  EXPECT_THROW(TKvelo7Information::MyDocuments(), EOSError);
  EXPECT_EQ(TKvelo7Information::NBCacheFolder(), sandbox.Common() + "/Orvel/OrvelKvelo 7/Client/NbCache/");
  EXPECT_THROW(TKvelo7Information::IsAppDataFolderHasWritePrivilege(), EOSError);     // the root, not the probe, fails
  const TKveloFolderOverrides overrides = TKvelo7Information::ReadFolderOverrides();  // swallowed
  EXPECT_EQ(overrides.LocalSetting, "");
  EXPECT_EQ(overrides.KveloProps, "");
}

TEST(KveloInformation, PortableLayouts) {
  TClientSandbox sandbox;
  sandbox.InstallClient(kKvelo7Key, "opt/kvelo", {{7, 2, 0, 15}});  // ignored by both modes
  for (const char* spelling : {"-PORTABLE", "/portable"}) {
    SCOPED_TRACE(spelling);
    platform::ScopedCommandLine portable({"wizard", spelling});
    EXPECT_EQ(TKvelo7Information::InstallFolder(), OwnFolder());  // no "Client/"
    EXPECT_EQ(TKvelo7Information::AppDataFolder(), OwnFolder());
    EXPECT_EQ(TKvelo7Information::CommonDataFolder(), OwnFolder());
    EXPECT_EQ(TKvelo7Information::MyFolderRoot(), OwnFolder());
    EXPECT_EQ(TKvelo7Information::ConnectionOptionsFilename(), OwnFolder() + "Settings/Connections.xml");
    EXPECT_EQ(TKvelo7Information::DBaseFolder(), OwnFolder() + "Data/");
  }
  SetPortableRoot(sandbox.Path() + "/stick");
  const std::string root = sandbox.Path() + "/stick/Orvel/Orvelkvelo/Client/";
  for (auto folder :
       {TKvelo7Information::InstallFolder, TKvelo7Information::AppDataFolder, TKvelo7Information::CommonDataFolder,
        TKvelo7Information::MyFolderRoot, TKvelo6Information::InstallFolder, TKvelo6Information::MyFolderRoot})
    EXPECT_EQ(folder(), root);
  EXPECT_EQ(TKvelo7Information::MyDocuments(), root + "Мои Квело/");
}

TEST(KveloInformation, FolderOverridesFromUserData) {
  TClientSandbox sandbox;
  const std::string shared = sandbox.Dir().MakeDir("Shared");
  const std::string props = sandbox.Dir().MakeDir("Props");
  const std::string file7 = TKvelo7Information::UserDataFolderSettingFilename();
  const std::string defaultLocal = TKvelo7Information::CommonDataFolder() + "LocalSetting/";
  const std::string defaultProps = TKvelo7Information::CommonDataFolder() + "KveloProps/";
  struct Case {
    const char* name;
    std::string xml;
    std::string local, kveloProps;
  };
  const Case cases[] = {
      {"both", "<UserData LocalSetting=\"" + shared + "\" KveloProps=\"" + props + "/\"/>", shared + "/", props + "/"},
      {"root of another case", "<userdata LocalSetting=\"" + shared + "\"/>", defaultLocal, defaultProps},
      {"missing folder", "<UserData LocalSetting=\"" + shared + "/gone\" KveloProps=\"" + props + "\"/>", defaultLocal,
       props + "/"},
      {"not well-formed", "<UserData LocalSetting=\"" + shared + "\">", defaultLocal, defaultProps},
      {"empty file", "", defaultLocal, defaultProps},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    platform::ForceDirectories(ExtractFilePath(file7));
    WriteWholeFile(file7, c.xml);
    InitializeKveloFolderOverrides();
    EXPECT_EQ(TKvelo7Information::LocalSetting(), c.local);
    EXPECT_EQ(TKvelo7Information::KveloPropsFolder(), c.kveloProps);
    EXPECT_EQ(TKvelo7Information::SignRootXMLFileName(), c.local + "Signs.xml");
    EXPECT_EQ(TKvelo6Information::LocalSetting(), TKvelo6Information::CommonDataFolder() + "LocalSetting/");
    ClearKveloFolderOverrides();
    EXPECT_EQ(TKvelo7Information::LocalSetting(), defaultLocal);
  }

  // Each version reads its own file into its own folders.
  platform::DeleteFile(file7);
  const std::string file6 = TKvelo6Information::UserDataFolderSettingFilename();
  platform::ForceDirectories(ExtractFilePath(file6));
  WriteWholeFile(file6, "<UserData LocalSetting=\"" + shared + "\"/>");
  InitializeKveloFolderOverrides();
  EXPECT_EQ(TKvelo6Information::CustomLocalSetting(), shared + "/");
  EXPECT_EQ(TKvelo6Information::OrgRootXMLFileName(), shared + "/DocOrgs.xml");
  EXPECT_EQ(TKvelo7Information::CustomLocalSetting(), "");
  EXPECT_EQ(TKvelo7Information::LocalSetting(), defaultLocal);
}

TEST(KveloInformation, NetworkIniPathTakesTheCommonServerSettings) {
  TClientSandbox sandbox;
  const std::string local = TKvelo7Information::CommonSettingFolder() + "onclient.ini";
  const std::string root = TKvelo7Information::RootNetworkIniPath();
  const std::string server =
      "[server]\r\nip_name=kvelo-srv\r\nport=2100\r\nmessage_port=2101\r\nbc_addr=10.0.0.255\r\n";

  EXPECT_EQ(TKvelo7Information::NetworkIniPath(), local);  // neither file, nor the folder: nothing to do
  EXPECT_FALSE(platform::FileExists(local));

  platform::ForceDirectories(TKvelo7Information::CommonSettingFolder());
  platform::ForceDirectories(TKvelo7Information::CommonDataFolder());
  WriteWholeFile(root, server + "timeout=5\r\n");
  EXPECT_EQ(TKvelo7Information::NetworkIniPath(), local);
  EXPECT_EQ(ReadWholeFile(local), server + "timeout=5\r\n");  // copied when missing

  struct Case {
    const char* name;
    std::string localText;
    bool replaced;
  };
  const Case cases[] = {
      // The user's other settings and the spelling of the file stay when the server is the same.
      {"same server",
       "; mine\r\n[SERVER]\r\nIP_NAME = kvelo-srv\r\nport=2100\r\nmessage_port=2101\r\n"
       "bc_addr=10.0.0.255\r\ntimeout=60\r\n[view]\r\nzoom=2\r\n",
       false},
      {"other port", "[server]\r\nip_name=kvelo-srv\r\nport=2200\r\nmessage_port=2101\r\nbc_addr=10.0.0.255\r\n", true},
      {"letter case of a value",
       "[server]\r\nip_name=KVELO-SRV\r\nport=2100\r\nmessage_port=2101\r\n"
       "bc_addr=10.0.0.255\r\n",
       true},
      {"a value missing", "[server]\r\nip_name=kvelo-srv\r\nport=2100\r\nmessage_port=2101\r\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteWholeFile(local, c.localText);
    EXPECT_EQ(TKvelo7Information::NetworkIniPath(), local);
    EXPECT_EQ(ReadWholeFile(local), c.replaced ? server + "timeout=5\r\n" : c.localText);
  }

  platform::DeleteFile(root);
  WriteWholeFile(local, "[server]\r\nport=1\r\n");
  EXPECT_EQ(TKvelo7Information::NetworkIniPath(), local);
  EXPECT_EQ(ReadWholeFile(local), "[server]\r\nport=1\r\n");  // nothing to compare with
}

TEST(KveloInformation, WriteChecksOfTheClientFolders) {
  TClientSandbox sandbox;
  EXPECT_FALSE(TKvelo7Information::IsAppDataFolderHasWritePrivilege());
  EXPECT_FALSE(TKvelo7Information::IsNBDataFolderHasWritePrivilege());
  EXPECT_FALSE(TKvelo7Information::IsNBCacheFolderHasWritePrivilege());
  platform::ForceDirectories(TKvelo7Information::AppDataFolder());
  platform::ForceDirectories(TKvelo7Information::NormBasesFolder());
  EXPECT_TRUE(TKvelo7Information::IsAppDataFolderHasWritePrivilege());
  EXPECT_TRUE(TKvelo7Information::IsNBDataFolderHasWritePrivilege());
  EXPECT_FALSE(TKvelo7Information::IsNBCacheFolderHasWritePrivilege());
  EXPECT_FALSE(TKvelo6Information::IsAppDataFolderHasWritePrivilege());
}

TEST(KveloInformation, RunningWhileTheClientHoldsItsMutex) {
  // Another test program may hold the client's mutex at the same moment; it exists either way.
  std::optional<platform::TNamedMutexHolder> client;
  try {
    client.emplace(TKvelo7Information::MutexName());
  } catch (const EOSError&) {
  }
  EXPECT_TRUE(TKvelo7Information::IsApplicationRuning());
  EXPECT_TRUE(TKvelo6Information::IsApplicationRuning());
}
