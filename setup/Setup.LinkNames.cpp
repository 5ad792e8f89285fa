#include "Setup.LinkNames.h"

#include <utility>

#include "Runtime.Streams.h"
#include "Runtime.Strings.h"
#include "platform/CodePages.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

namespace {
// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF. Cyrillic text in
// Windows-1251 practically never passes, so the check tells the two apart.
bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    std::size_t length;
    char32_t min;
    char32_t cp;
    if (b < 0x80) {
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      length = 2, min = 0x80, cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      length = 3, min = 0x800, cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      length = 4, min = 0x10000, cp = b & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::string SwapBytePairs(std::string_view bytes) {
  std::string swapped(bytes);
  for (std::size_t i = 0; i + 1 < swapped.size(); i += 2) std::swap(swapped[i], swapped[i + 1]);
  return swapped;
}

std::string ReadFileBytes(const std::string& fileName) {
  TMemoryStream stream;
  LoadStreamFromFile(stream, fileName);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}
}  // namespace

std::string DecodeLinkNameText(std::string_view Bytes) {
  using namespace platform;
  if (Bytes.starts_with("\xEF\xBB\xBF")) return std::string(Bytes.substr(3));
  if (Bytes.starts_with("\xFF\xFE")) return ConvertCodePage(Bytes.substr(2), kUtf16LECodePage, kUtf8CodePage);
  if (Bytes.starts_with("\xFE\xFF"))
    return ConvertCodePage(SwapBytePairs(Bytes.substr(2)), kUtf16LECodePage, kUtf8CodePage);
  if (IsValidUtf8(Bytes)) return std::string(Bytes);
  return AnsiToUtf8(Bytes);
}

std::string FirstLineOf(std::string_view Text) { return std::string(Text.substr(0, Text.find_first_of("\r\n"))); }

std::string ShortcutName(const std::string& Target, const std::string& PackagePath) {
  const std::string ownName = ExtractFileName(ExcludeTrailingPathDelimiter(Target));
  if (!platform::DirectoryExists(Target)) return ownName;
  const std::string nameFile = IncludeTrailingPathDelimiter(PackagePath) + LinkNameFileName;
  if (!platform::FileExists(nameFile)) return ownName;
  std::string name = FirstLineOf(DecodeLinkNameText(ReadFileBytes(nameFile)));
  return name.empty() ? ownName : name;
}
