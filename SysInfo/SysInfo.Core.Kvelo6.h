#pragma once
// Where the estimating client of version 6 keeps its program, data, settings and documents. Every
// client path of the system comes from here or from TKvelo7Information (SysInfo.Core.Kvelo7.h);
// every folder ends with the separator. Paths are worked out on each call, so changes of the
// registry, the command line or the special folders are seen at once.

#include <string>

#include "SysInfo.Core.Application.h"

class TXMLNode;

// The two folders a client's "UserData.xml" may move elsewhere; each empty or ending with the
// separator.
struct TKveloFolderOverrides {
  std::string LocalSetting;
  std::string KveloProps;
};

// The class operations of TKvelo6Information, as static functions of Self.
template <class Self, class Parent>
class TKvelo6InformationOf : public TApplicationInformationOf<Self, Parent> {
 public:
  static std::string AppDataFolder() { return Self::MetaClass().AppDataFolder(); }
  static std::string CustomLocalSetting() { return Self::MetaClass().CustomLocalSetting(); }
  static std::string CommonDataFolder() { return Self::MetaClass().CommonDataFolder(); }
  static std::string CustomKveloPropsFolder() { return Self::MetaClass().CustomKveloPropsFolder(); }
  static std::string MyFolderRoot() { return Self::MetaClass().MyFolderRoot(); }
  static std::string AutoSaveFoder() { return Self::MetaClass().AutoSaveFoder(); }
  static std::string HistoryFolder() { return Self::MetaClass().HistoryFolder(); }
  static std::string RecentDocsSettingFilename() { return Self::MetaClass().RecentDocsSettingFilename(); }
  static std::string LocalHistorySettingFilename() { return Self::MetaClass().LocalHistorySettingFilename(); }
  static std::string CreateHistoryFilename() { return Self::MetaClass().CreateHistoryFilename(); }
  static std::string ExportHistoryFilename() { return Self::MetaClass().ExportHistoryFilename(); }
  static std::string CommonSettingFolder() { return Self::MetaClass().CommonSettingFolder(); }
  static std::string CommonSettingFilename() { return Self::MetaClass().CommonSettingFilename(); }
  static std::string ConnectionOptionsFilename() { return Self::MetaClass().ConnectionOptionsFilename(); }
  static std::string SessionSettingFilename() { return Self::MetaClass().SessionSettingFilename(); }
  static std::string RibbonSettingFilename() { return Self::MetaClass().RibbonSettingFilename(); }
  static std::string LoginHostSettingFilename() { return Self::MetaClass().LoginHostSettingFilename(); }
  static std::string NbDataSearchParamSettingFilename() { return Self::MetaClass().NbDataSearchParamSettingFilename(); }
  static std::string PriceTransferSettingFilename() { return Self::MetaClass().PriceTransferSettingFilename(); }
  static std::string NBFavoriteListSettingFilename() { return Self::MetaClass().NBFavoriteListSettingFilename(); }
  static std::string ElementsComparerSettingFilename() { return Self::MetaClass().ElementsComparerSettingFilename(); }
  static std::string UserDataFolderSettingFilename() { return Self::MetaClass().UserDataFolderSettingFilename(); }
  static std::string NetworkIniPath() { return Self::MetaClass().NetworkIniPath(); }
  static std::string RootNetworkIniPath() { return Self::MetaClass().RootNetworkIniPath(); }
  static std::string NormBasesFolder() { return Self::MetaClass().NormBasesFolder(); }
  static std::string NBCacheFolder() { return Self::MetaClass().NBCacheFolder(); }
  static std::string BootLogFolder() { return Self::MetaClass().BootLogFolder(); }
  static std::string DefaultNewDocsFolder() { return Self::MetaClass().DefaultNewDocsFolder(); }
  static std::string DocTemplatesFolder() { return Self::MetaClass().DocTemplatesFolder(); }
  static std::string ExpTemplatesFolder() { return Self::MetaClass().ExpTemplatesFolder(); }
  static std::string DefaultExpSettingFile() { return Self::MetaClass().DefaultExpSettingFile(); }
  static std::string TemplatesFolder() { return Self::MetaClass().TemplatesFolder(); }
  static std::string TemplateItogFilename() { return Self::MetaClass().TemplateItogFilename(); }
  static std::string UserParamFilename() { return Self::MetaClass().UserParamFilename(); }
  static std::string UserTemplatesFolder() { return Self::MetaClass().UserTemplatesFolder(); }
  static std::string LocalSetting() { return Self::MetaClass().LocalSetting(); }
  static std::string SignRootXMLFileName() { return Self::MetaClass().SignRootXMLFileName(); }
  static std::string OrgRootXMLFileName() { return Self::MetaClass().OrgRootXMLFileName(); }
  static std::string SignTypesXMLFileName() { return Self::MetaClass().SignTypesXMLFileName(); }
  static std::string CrossrkFileName() { return Self::MetaClass().CrossrkFileName(); }
  static std::string WintersFileName() { return Self::MetaClass().WintersFileName(); }
  static std::string CodeReplacementsFileName() { return Self::MetaClass().CodeReplacementsFileName(); }
  static std::string KveloPropsFolder() { return Self::MetaClass().KveloPropsFolder(); }
  static std::string MyDocuments() { return Self::MetaClass().MyDocuments(); }
  static std::string MyDocTemplates() { return Self::MetaClass().MyDocTemplates(); }
  static std::string MyExpTemplates() { return Self::MetaClass().MyExpTemplates(); }
  static std::string MyNBTemplatesFolder() { return Self::MetaClass().MyNBTemplatesFolder(); }
  static bool IsAppDataFolderHasWritePrivilege() { return Self::MetaClass().IsAppDataFolderHasWritePrivilege(); }
  static bool IsNBDataFolderHasWritePrivilege() { return Self::MetaClass().IsNBDataFolderHasWritePrivilege(); }
  static bool IsNBCacheFolderHasWritePrivilege() { return Self::MetaClass().IsNBCacheFolderHasWritePrivilege(); }
  static TKveloFolderOverrides ReadFolderOverrides() { return Self::MetaClass().ReadFolderOverrides(); }
  static void GetAutoSaveFolderInfo(std::string& Text) { Self::MetaClass().GetAutoSaveFolderInfo(Text); }
  static void GetModulesState(std::string& Text) { Self::MetaClass().GetModulesState(Text); }
  static void GetModulesState(const TXMLNode& Node) { Self::MetaClass().GetModulesState(Node); }
};

class TKvelo6Information : public TKvelo6InformationOf<TKvelo6Information, TCustomApplicationInformation> {
 public:
  class TMetaClass : public TCustomApplicationInformation::TMetaClass {
   public:
    std::string ClassName() const override;
    std::string RegistryKey() const override;
    std::string ApplicationDisplayName() const override;
    std::string ApplicationExeName() const override;
    std::string DBaseFolder() const override;  // CommonDataFolder + "Data/"
    // The base folder + "Client/", except in the portable mode pmSwitch.
    std::string InstallFolder() const override;
    std::string MutexName() const override;
    std::string PortableRelativePath() const override;
    std::int32_t MajorVersionDigit() const override;

    // --- overridable roots; in the portable modes AppDataFolder and CommonDataFolder are InstallFolder ---
    // The client's folder in the user's roaming application data.
    virtual std::string AppDataFolder() const;
    // The local-setting folder that "UserData.xml" named at start-up, or "".
    virtual std::string CustomLocalSetting() const;
    // The client's folder in the application data of all users.
    virtual std::string CommonDataFolder() const;
    // The estimate-properties folder that "UserData.xml" named at start-up, or "".
    virtual std::string CustomKveloPropsFolder() const;

    // --- derived from the roots ---
    // The user's documents + "Орвел-Квело/" for every version; InstallFolder in the portable modes.
    std::string MyFolderRoot() const;
    std::string AutoSaveFoder() const;
    std::string HistoryFolder() const;
    std::string RecentDocsSettingFilename() const;
    std::string LocalHistorySettingFilename() const;
    std::string CreateHistoryFilename() const;
    std::string ExportHistoryFilename() const;
    std::string CommonSettingFolder() const;
    std::string CommonSettingFilename() const;
    std::string ConnectionOptionsFilename() const;
    std::string SessionSettingFilename() const;
    std::string RibbonSettingFilename() const;
    std::string LoginHostSettingFilename() const;
    std::string NbDataSearchParamSettingFilename() const;
    std::string PriceTransferSettingFilename() const;
    std::string NBFavoriteListSettingFilename() const;
    std::string ElementsComparerSettingFilename() const;
    std::string UserDataFolderSettingFilename() const;
    // CommonSettingFolder + "onclient.ini", first made a copy of RootNetworkIniPath when it is
    // missing or when the section "server" of the two differs in "ip_name", "port",
    // "message_port" or "bc_addr". A copy that fails is not reported.
    std::string NetworkIniPath() const;
    std::string RootNetworkIniPath() const;
    std::string NormBasesFolder() const;
    std::string NBCacheFolder() const;
    std::string BootLogFolder() const;
    std::string DefaultNewDocsFolder() const;
    std::string DocTemplatesFolder() const;
    std::string ExpTemplatesFolder() const;
    std::string DefaultExpSettingFile() const;
    std::string TemplatesFolder() const;
    std::string TemplateItogFilename() const;
    std::string UserParamFilename() const;
    std::string UserTemplatesFolder() const;
    // CustomLocalSetting, or CommonDataFolder + "LocalSetting/" without one.
    std::string LocalSetting() const;
    std::string SignRootXMLFileName() const;
    std::string OrgRootXMLFileName() const;
    std::string SignTypesXMLFileName() const;
    std::string CrossrkFileName() const;
    std::string WintersFileName() const;
    std::string CodeReplacementsFileName() const;
    // CustomKveloPropsFolder, or CommonDataFolder + "KveloProps/" without one.
    std::string KveloPropsFolder() const;
    std::string MyDocuments() const;
    std::string MyDocTemplates() const;
    std::string MyExpTemplates() const;
    std::string MyNBTemplatesFolder() const;
    // CheckFolderWritePrivilege of AppDataFolder, NormBasesFolder and NBCacheFolder.
    bool IsAppDataFolderHasWritePrivilege() const;
    bool IsNBDataFolderHasWritePrivilege() const;
    bool IsNBCacheFolderHasWritePrivilege() const;

    // The overrides that UserDataFolderSettingFilename sets: a root element named exactly
    // "UserData" whose attributes "LocalSetting" and "KveloProps" name existing folders. Any error
    // (a special folder missing, a file that cannot be read or parsed) gives no overrides.
    TKveloFolderOverrides ReadFolderOverrides() const;

    // --- diagnostic reports for support, appended to what the caller passes ---
    // The "*.tmp" files of AutoSaveFoder (no subfolders): the folder, their count and total size;
    // a missing folder counts none.
    void GetAutoSaveFolderInfo(std::string& Text) const;
    // The "*.oxd5" bases below DBaseFolder, subfolders included, one BaseDescription each (lines
    // joined by CR LF). A base that cannot be read is reported with its error and the list goes on.
    void GetModulesState(std::string& Text) const;
    // A child "dbase" of Node with an "item" per base of DBaseFolder itself (no subfolders): the
    // attributes path, region, version, code, date, publisher, year, district; a base that cannot
    // be read gets path and error.
    void GetModulesState(const TXMLNode& Node) const;

   protected:
    // The client's folder below an application-data folder, "%s" standing for that folder.
    virtual std::string ClientFolderPattern() const;
  };

  static const TMetaClass& MetaClass();
};

// Version 6's overrides from its "UserData.xml", read once at start-up (InitializeKveloFolderOverrides
// of SysInfo.Core.Kvelo7.h does this for both versions); Clear forgets them.
void InitializeKvelo6FolderOverrides();
void ClearKvelo6FolderOverrides();
