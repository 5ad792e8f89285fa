#include "Setup.LinkNames.h"

#include "Runtime.Streams.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

namespace {
std::string ReadFileBytes(const std::string& fileName) {
  TMemoryStream stream;
  LoadStreamFromFile(stream, fileName);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}
}  // namespace

std::string FirstLineOf(std::string_view Text) { return std::string(Text.substr(0, Text.find_first_of("\r\n"))); }

std::string ShortcutName(const std::string& Target, const std::string& PackagePath) {
  const std::string ownName = ExtractFileName(ExcludeTrailingPathDelimiter(Target));
  if (!platform::DirectoryExists(Target)) return ownName;
  const std::string nameFile = IncludeTrailingPathDelimiter(PackagePath) + LinkNameFileName;
  if (!platform::FileExists(nameFile)) return ownName;
  std::string name = FirstLineOf(platform::DecodeText(ReadFileBytes(nameFile)));
  return name.empty() ? ownName : name;
}
