#include "SysInfo.Core.CommonUtils.h"

#include "Common.SysUtils.h"
#include "Common.XMLUtils.h"
#include "Runtime.Strings.h"
#include "platform/CommandLine.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

namespace {
// Nothing in the system sets it; read without locking, as it never changes while others read.
std::string& PortableRoot() {
  static std::string root;
  return root;
}
}  // namespace

TPortableMode GetPortableMode() {
  if (platform::FindCmdLineSwitch("portable")) return pmSwitch;
  return GetPortableRoot().empty() ? pmNone : pmRoot;
}

std::string GetPortableRoot() { return PortableRoot(); }

void SetPortableRoot(std::string_view Root) {
  PortableRoot() = Root.empty() ? std::string() : IncludeTrailingPathDelimiter(Root);
}

std::string ReadLocalMachineString(const std::string& Key, const std::string& Name) {
  const std::optional<platform::TRegistryKey> key = platform::OpenKeyReadOnly(platform::rhLocalMachine, Key);
  if (!key || !key->ValueExists(Name)) return {};
  return key->ReadString(Name);
}

bool CheckFolderWritePrivilege(const std::string& Folder) {
  const std::string probe = IncludeTrailingPathDelimiter(Folder) + "CheckFolderWritePrivilege.bin";
  bool created = false;
  try {
    TFileStream stream(probe, fmCreate);
    created = true;
  } catch (const std::exception&) {
  }
  platform::DeleteFile(probe);
  return created;
}

std::string FormatByteSize(std::int64_t Size) {
  static constexpr const char* kUnits[] = {" байт", " Кбайт", " Мбайт", " Гбайт"};
  for (const char* unit : kUnits) {
    if (Size < 1024) return IntToStr(Size) + unit;
    Size /= 1024;
  }
  return IntToStr(Size) + " Тбайт";
}

std::string GetAttributeAsString(const TXMLNode& Node, std::string_view Name) {
  if (!Node) return {};
  std::string value = Node.Attribute(Name).value_or(std::string());
  value = FastStringReplace(value, "\r\n", "\n", {rfReplaceAll});
  return FastStringReplace(value, "\n", "\r\n", {rfReplaceAll});
}
