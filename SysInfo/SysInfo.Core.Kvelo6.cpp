#include "SysInfo.Core.Kvelo6.h"

#include "Common.SysUtils.h"
#include "Common.XMLUtils.h"
#include "Runtime.Strings.h"
#include "SysInfo.Core.CommonUtils.h"
#include "SysInfo.Core.KveloDBase.h"
#include "platform/FileSystem.h"
#include "platform/FormatSettings.h"
#include "platform/PrivateProfile.h"
#include "platform/KnownFolders.h"

using TMetaClass = TKvelo6Information::TMetaClass;

namespace {
// Set once at start-up, before anything reads them.
TKveloFolderOverrides& Kvelo6Overrides() {
  static TKveloFolderOverrides overrides;
  return overrides;
}

bool IsPortable() { return GetPortableMode() != pmNone; }

// The special folder formatted into a client folder pattern.
std::string ClientFolderIn(const std::string& pattern, int csidl) {
  return Format(pattern, GetSpecialFolder(csidl) + PathDelim);
}

std::string ExistingFolderOrEmpty(const std::string& path) {
  if (path.empty() || !platform::DirectoryExists(path)) return {};
  return IncludeTrailingPathDelimiter(path);
}

// Text an attribute can hold: names and paths from outside may carry anything.
std::string XmlText(std::string_view S) { return RemoveInvalidXmlChars(Utf16ToUtf8(Utf8ToUtf16(S))); }

std::string_view PriceLevelXmlYear(TKveloPriceLevel Level) {
  switch (Level) {
    case kpl1984: return "1984";
    case kpl2001: return "2001";
    default: return "unknown";
  }
}

void SetBaseAttributes(TXMLNode& Item, const TNB_InfoStruct& Info) {
  Item.SetAttribute("region", XmlText(RecodeAs1251(Info.RegionName)));
  Item.SetAttribute("version", IntToStr(Info.ReleaseNumber));
  Item.SetAttribute("code", IntToStr(Info.Code.IntDBCode()));
  Item.SetAttribute("date", IsCalendarDateTime(Info.CreationDate)
                                ? DateTimeToStr(Info.CreationDate, platform::FormatSettings())
                                : std::string());
  Item.SetAttribute("publisher", PublisherName(Info.Publidher));
  Item.SetAttribute("year", PriceLevelXmlYear(Info.Code.Year));
  Item.SetAttribute("district", XmlText(Info.DistrictName));
}

void CopyIgnoringFailure(const std::string& from, const std::string& to) {
  try {
    platform::CopyFile(from, to, false);
  } catch (const std::exception&) {
  }
}
}  // namespace

const TMetaClass& TKvelo6Information::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

std::string TMetaClass::ClassName() const { return "TKvelo6Information"; }
std::string TMetaClass::RegistryKey() const { return "{00C00000-0001-4A2E-8D31-600000000001}_is1"; }
std::string TMetaClass::ApplicationDisplayName() const { return "Орвел Квело Клиент"; }
std::string TMetaClass::ApplicationExeName() const { return "OKvelo.exe"; }
std::string TMetaClass::MutexName() const { return "OrvelKvelo_client"; }
std::string TMetaClass::PortableRelativePath() const { return "Orvel/Orvelkvelo/"; }
std::int32_t TMetaClass::MajorVersionDigit() const { return 6; }
std::string TMetaClass::ClientFolderPattern() const { return "%sOrvel/OrvelKvelo 6/Client/"; }

std::string TMetaClass::InstallFolder() const {
  const std::string folder = TCustomApplicationInformation::TMetaClass::InstallFolder();
  return GetPortableMode() == pmSwitch ? folder : folder + "Client/";
}

std::string TMetaClass::DBaseFolder() const { return CommonDataFolder() + "Data/"; }

std::string TMetaClass::AppDataFolder() const {
  return IsPortable() ? InstallFolder() : ClientFolderIn(ClientFolderPattern(), platform::CSIDL_APPDATA);
}

std::string TMetaClass::CommonDataFolder() const {
  return IsPortable() ? InstallFolder() : ClientFolderIn(ClientFolderPattern(), platform::CSIDL_COMMON_APPDATA);
}

std::string TMetaClass::CustomLocalSetting() const { return Kvelo6Overrides().LocalSetting; }
std::string TMetaClass::CustomKveloPropsFolder() const { return Kvelo6Overrides().KveloProps; }

std::string TMetaClass::MyFolderRoot() const {
  if (IsPortable()) return InstallFolder();
  return GetSpecialFolder(platform::CSIDL_PERSONAL) + PathDelim + "Орвел-Квело/";
}

std::string TMetaClass::AutoSaveFoder() const { return AppDataFolder() + "Autosave/"; }
std::string TMetaClass::HistoryFolder() const { return AppDataFolder() + "History/"; }
std::string TMetaClass::RecentDocsSettingFilename() const { return HistoryFolder() + "RecentDocs.xml"; }
std::string TMetaClass::LocalHistorySettingFilename() const { return HistoryFolder() + "History.xml"; }
std::string TMetaClass::CreateHistoryFilename() const { return HistoryFolder() + "CreateHistory.xml"; }
std::string TMetaClass::ExportHistoryFilename() const { return HistoryFolder() + "ExportHistory.xml"; }
std::string TMetaClass::CommonSettingFolder() const { return AppDataFolder() + "Settings/"; }
std::string TMetaClass::CommonSettingFilename() const { return CommonSettingFolder() + "CommonSetting.xml"; }
std::string TMetaClass::ConnectionOptionsFilename() const { return CommonSettingFolder() + "Connections.xml"; }
std::string TMetaClass::SessionSettingFilename() const { return CommonSettingFolder() + "SessionSetting.xml"; }
std::string TMetaClass::RibbonSettingFilename() const { return CommonSettingFolder() + "Ribbon.xml"; }
std::string TMetaClass::LoginHostSettingFilename() const { return CommonSettingFolder() + "LoginHost.xml"; }
std::string TMetaClass::NbDataSearchParamSettingFilename() const {
  return CommonSettingFolder() + "NbDataSearchParam.xml";
}
std::string TMetaClass::PriceTransferSettingFilename() const { return CommonSettingFolder() + "PriceTransfer.xml"; }
std::string TMetaClass::NBFavoriteListSettingFilename() const { return CommonSettingFolder() + "NbFavoriteList.xml"; }
std::string TMetaClass::ElementsComparerSettingFilename() const {
  return CommonSettingFolder() + "ElementsComparer.xml";
}
std::string TMetaClass::UserDataFolderSettingFilename() const { return CommonSettingFolder() + "UserData.xml"; }
std::string TMetaClass::RootNetworkIniPath() const { return CommonDataFolder() + "onclient.ini"; }
std::string TMetaClass::NormBasesFolder() const { return DBaseFolder(); }
std::string TMetaClass::NBCacheFolder() const { return CommonDataFolder() + "NbCache/"; }
std::string TMetaClass::BootLogFolder() const { return CommonDataFolder() + "BootLog/"; }
std::string TMetaClass::DefaultNewDocsFolder() const { return CommonDataFolder() + "DefaultNewDocs/"; }
std::string TMetaClass::DocTemplatesFolder() const { return CommonDataFolder() + "DocTemplates/"; }
std::string TMetaClass::ExpTemplatesFolder() const { return CommonDataFolder() + "ExpTemplates/"; }
std::string TMetaClass::DefaultExpSettingFile() const { return ExpTemplatesFolder() + "ExpDefault.xml"; }
std::string TMetaClass::TemplatesFolder() const { return CommonDataFolder() + "Templates/"; }
std::string TMetaClass::TemplateItogFilename() const { return TemplatesFolder() + "Itog.xlt"; }
std::string TMetaClass::UserParamFilename() const { return TemplatesFolder() + "Doc.ini"; }
std::string TMetaClass::UserTemplatesFolder() const { return CommonDataFolder() + "UserTemplates/"; }
std::string TMetaClass::SignRootXMLFileName() const { return LocalSetting() + "Signs.xml"; }
std::string TMetaClass::OrgRootXMLFileName() const { return LocalSetting() + "DocOrgs.xml"; }
std::string TMetaClass::SignTypesXMLFileName() const { return LocalSetting() + "Signtypes.xml"; }
std::string TMetaClass::CrossrkFileName() const { return LocalSetting() + "Crossrk.xml"; }
std::string TMetaClass::WintersFileName() const { return LocalSetting() + "Winters.xml"; }
std::string TMetaClass::CodeReplacementsFileName() const { return LocalSetting() + "CodeReplacements.xml"; }
std::string TMetaClass::MyDocuments() const { return MyFolderRoot() + "Мои Квело/"; }
std::string TMetaClass::MyDocTemplates() const { return MyFolderRoot() + "Мои шаблоны/"; }
std::string TMetaClass::MyExpTemplates() const { return MyFolderRoot() + "Мои формы/"; }
std::string TMetaClass::MyNBTemplatesFolder() const { return MyFolderRoot() + "Мои базы/"; }
bool TMetaClass::IsAppDataFolderHasWritePrivilege() const { return CheckFolderWritePrivilege(AppDataFolder()); }
bool TMetaClass::IsNBDataFolderHasWritePrivilege() const { return CheckFolderWritePrivilege(NormBasesFolder()); }
bool TMetaClass::IsNBCacheFolderHasWritePrivilege() const { return CheckFolderWritePrivilege(NBCacheFolder()); }

std::string TMetaClass::LocalSetting() const {
  const std::string custom = CustomLocalSetting();
  return custom.empty() ? CommonDataFolder() + "LocalSetting/" : custom;
}

std::string TMetaClass::KveloPropsFolder() const {
  const std::string custom = CustomKveloPropsFolder();
  return custom.empty() ? CommonDataFolder() + "KveloProps/" : custom;
}

std::string TMetaClass::NetworkIniPath() const {
  const std::string local = CommonSettingFolder() + "onclient.ini";
  const std::string root = RootNetworkIniPath();
  if (!platform::FileExists(local)) {
    CopyIgnoringFailure(root, local);
  } else if (platform::FileExists(root)) {
    // Only the server address counts; the user's other settings in the local copy stay.
    const platform::TIniFileReader localIni(local), rootIni(root);
    for (const char* key : {"ip_name", "port", "message_port", "bc_addr"}) {
      if (localIni.ReadString("server", key, "") != rootIni.ReadString("server", key, "")) {
        CopyIgnoringFailure(root, local);
        break;
      }
    }
  }
  return local;
}

TKveloFolderOverrides TMetaClass::ReadFolderOverrides() const {
  try {
    TKveloFolderOverrides overrides;
    const std::string file = UserDataFolderSettingFilename();
    if (!platform::FileExists(file)) return overrides;
    const TXMLDocument document = LoadXmlFile(file);
    const TXMLNode root = document.DocumentElement();
    if (!root || root.NodeName() != "UserData") return overrides;
    overrides.LocalSetting = ExistingFolderOrEmpty(GetAttributeAsString(root, "LocalSetting"));
    overrides.KveloProps = ExistingFolderOrEmpty(GetAttributeAsString(root, "KveloProps"));
    return overrides;
  } catch (const std::exception&) {
    return {};  // the client starts with its default folders then, and so do we
  }
}

void InitializeKvelo6FolderOverrides() { Kvelo6Overrides() = TKvelo6Information::MetaClass().ReadFolderOverrides(); }
void ClearKvelo6FolderOverrides() { Kvelo6Overrides() = {}; }

// --- diagnostic reports ------------------------------------------------------------------------

void TMetaClass::GetAutoSaveFolderInfo(std::string& Text) const {
  const std::string folder = AutoSaveFoder();
  std::int64_t count = 0;
  std::int64_t size = 0;
  const TStringList files = GetFileList(folder, "*.tmp", false);
  for (std::size_t i = 0; i < files.Count(); ++i) {
    ++count;
    // A file gone since the listing still counted; its size is unknown.
    if (const auto entry = platform::GetFileEntry(files[i])) size += entry->Size;
  }
  Text += "    Каталог автосохранения:\r\n";
  Text += "      - путь: " + folder + "\r\n";
  Text += "      - файлов: " + IntToStr(count) + "\r\n";
  Text += "      - размер: " + FormatByteSize(size) + "\r\n";
}

void TMetaClass::GetModulesState(std::string& Text) const {
  Text += "    Список доступных баз:";
  const TStringList files = GetFileList(DBaseFolder(), "*.oxd5", true);
  for (std::size_t i = 0; i < files.Count(); ++i) {
    Text += "\r\n";
    // One damaged base must not hide the others from support.
    try {
      Text += BaseDescription(files[i]);
    } catch (const std::exception& e) {
      Text += BaseReadErrorDescription(files[i], e.what());
    }
  }
  if (files.IsEmpty()) Text += "\r\n      - Отсутствуют";
}

void TMetaClass::GetModulesState(const TXMLNode& Node) const {
  TXMLNode parent = Node;  // a handle: the element itself gains the child
  TXMLNode dbase = parent.AddChild("dbase");
  const TStringList files = GetFileList(DBaseFolder(), "*.oxd5", false);
  for (std::size_t i = 0; i < files.Count(); ++i) {
    TXMLNode item = dbase.AddChild("item");
    try {
      item.SetAttribute("path", XmlText(files[i]));
      TNB_InfoStruct info;
      ReadBaseInfo(files[i], info);
      SetBaseAttributes(item, info);
    } catch (const std::exception& e) {
      item.SetAttribute("error", XmlText(e.what()));
    }
  }
}
