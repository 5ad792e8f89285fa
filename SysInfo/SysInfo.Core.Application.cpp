#include "SysInfo.Core.Application.h"

#include "Runtime.Strings.h"
#include "SysInfo.Core.CommonUtils.h"
#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"
#include "platform/OSError.h"

using TMetaClass = TCustomApplicationInformation::TMetaClass;

const TMetaClass& TCustomApplicationInformation::MetaClass() {
  static const TMetaClass metaClass;
  return metaClass;
}

std::string TMetaClass::ClassName() const { return "TCustomApplicationInformation"; }

void TMetaClass::NotImplemented(std::string_view Operation) const {
  throw ECustomApplication(ClassName() + " exception. " + std::string(Operation) + "() not implemented.");
}

std::string TMetaClass::RegistryKey() const { NotImplemented("RegistryKey"); }
std::string TMetaClass::ApplicationDisplayName() const { NotImplemented("ApplicationDisplayName"); }
std::string TMetaClass::ApplicationExeName() const { NotImplemented("ApplicationExeName"); }
std::string TMetaClass::DBaseFolder() const { NotImplemented("DBaseFolder"); }
std::string TMetaClass::MutexName() const { NotImplemented("MutexName"); }
std::string TMetaClass::PortableRelativePath() const { NotImplemented("PortableRelativePath"); }
std::int32_t TMetaClass::MajorVersionDigit() const { NotImplemented("MajorVersionDigit"); }

std::string TMetaClass::ApplicationPath() const {
  // The folder first, so that a class missing both operations reports the folder's.
  std::string path = IncludeTrailingPathDelimiter(InstallFolder());
  return path + ApplicationExeName();
}

std::string TMetaClass::InstallFolder() const {
  switch (GetPortableMode()) {
    case pmRoot:
      return IncludeTrailingPathDelimiter(GetPortableRoot() + PortableRelativePath());
    case pmSwitch:
      return ExtractFilePath(platform::ExecutableFileName());
    case pmNone:
      break;
  }
  const std::string location =
      ReadLocalMachineString(std::string(kUninstallRegistryKey) + RegistryKey(), "InstallLocation");
  return IncludeTrailingPathDelimiter(location);
}

bool TMetaClass::IsApplicationPresent() const { return platform::FileExists(ApplicationPath()); }

bool TMetaClass::IsApplicationInstalled() const {
  if (!IsApplicationPresent()) return false;
  if (!AnsiSameText(ExtractFilePath(ApplicationPath()), InstallFolder())) return false;
  return ApplicationVersion().Major == MajorVersionDigit();
}

bool TMetaClass::IsApplicationRuning() const {
  const std::string name = MutexName();
  try {
    return platform::NamedMutexExists(name);
  } catch (const EOSError&) {
    return false;  // no handle: nothing says it runs
  }
}

TDigitalFileVersionInfo TMetaClass::ApplicationVersion() const {
  const std::string path = ApplicationPath();
  TFileVersionInfo info;
  if (platform::FileExists(path)) info.ReadFromFile(path);
  return info.DigitalFileVersion;
}

std::uint32_t TMetaClass::ApplicationVersionInt() const { return ApplicationVersion().AsCardinal(); }
