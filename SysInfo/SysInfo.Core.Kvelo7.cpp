#include "SysInfo.Core.Kvelo7.h"

using TMetaClass = TKvelo7Information::TMetaClass;

namespace {
// Apart from version 6's: a user may keep both clients with different folders.
TKveloFolderOverrides& Kvelo7Overrides() {
  static TKveloFolderOverrides overrides;
  return overrides;
}
}  // namespace

const TMetaClass& TKvelo7Information::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

std::string TMetaClass::ClassName() const { return "TKvelo7Information"; }
std::string TMetaClass::RegistryKey() const { return "{00C00000-0001-4A2E-8D31-700000000001}_is1"; }
std::int32_t TMetaClass::MajorVersionDigit() const { return 7; }
std::string TMetaClass::ClientFolderPattern() const { return "%sOrvel/OrvelKvelo 7/Client/"; }
std::string TMetaClass::CustomLocalSetting() const { return Kvelo7Overrides().LocalSetting; }
std::string TMetaClass::CustomKveloPropsFolder() const { return Kvelo7Overrides().KveloProps; }

void InitializeKveloFolderOverrides() {
  InitializeKvelo6FolderOverrides();
  Kvelo7Overrides() = TKvelo7Information::MetaClass().ReadFolderOverrides();
}

void ClearKveloFolderOverrides() {
  ClearKvelo6FolderOverrides();
  Kvelo7Overrides() = {};
}
