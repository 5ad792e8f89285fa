#pragma once
// The estimating client of version 7: the layout of version 6 with its own registry key, major
// version and folders. The wizard and the connections pool ask this class for every client path.

#include "SysInfo.Core.Kvelo6.h"

class TKvelo7Information : public TKvelo6InformationOf<TKvelo7Information, TKvelo6Information> {
 public:
  class TMetaClass : public TKvelo6Information::TMetaClass {
   public:
    std::string ClassName() const override;
    std::string RegistryKey() const override;
    std::int32_t MajorVersionDigit() const override;
    std::string CustomLocalSetting() const override;
    std::string CustomKveloPropsFolder() const override;

   protected:
    std::string ClientFolderPattern() const override;
  };

  static const TMetaClass& MetaClass();
};

// Reads the folder overrides of both versions from their "UserData.xml", version 6 first. Programs
// call it once at start, before anything asks for a client path; errors leave the overrides empty.
void InitializeKveloFolderOverrides();
// Forgets the overrides of both versions.
void ClearKveloFolderOverrides();
