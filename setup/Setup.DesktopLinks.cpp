#include "Setup.DesktopLinks.h"

#include "Runtime.Format.h"
#include "Runtime.Strings.h"
#include "platform/AtomicFile.h"
#include "platform/FileIcons.h"
#include "platform/FileSystem.h"
#include "platform/KnownFolders.h"

namespace {
const char InvalidNameText[] = "Недопустимое имя ярлыка \"%s\"";
const char LinkExtension[] = ".desktop";
// Desktops run or open only entries marked executable.
constexpr unsigned LinkPermissions = 0755;

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

// A string value of a desktop entry: backslashes, line breaks, tabs and a leading blank escaped.
std::string EntryValue(std::string_view text) {
  std::string value;
  for (std::size_t i = 0; i < text.size(); ++i) {
    switch (char c = text[i]) {
      case '\\': value += "\\\\"; break;
      case '\n': value += "\\n"; break;
      case '\r': value += "\\r"; break;
      case '\t': value += "\\t"; break;
      case ' ': value += i == 0 ? "\\s" : " "; break;
      default: value += c;
    }
  }
  return value;
}

void CheckName(const std::string& Name) {
  if (Name.empty() || Name == "." || Name == ".." || Name.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos)
    throw EShortcutNameError(Format(InvalidNameText, Name));
}

}  // namespace

std::string DesktopFolder() { return platform::GetSpecialFolderPath(platform::CSIDL_DESKTOPDIRECTORY); }

std::string FileUrlOf(const std::string& Path) {
  static const char Hex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (char ch : Path) {
    auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c) || c == '/') {
      url += ch;
    } else {
      url += '%';
      url += Hex[c >> 4];
      url += Hex[c & 0x0F];
    }
  }
  return url;
}

std::string DesktopLinkFile(const std::string& DesktopFolder, const std::string& Name) {
  CheckName(Name);
  return IncludeTrailingPathDelimiter(DesktopFolder) + Name + LinkExtension;
}

std::string CreateDesktopLink(const std::string& DesktopFolder, const std::string& Target, const std::string& Name) {
  const std::string linkFile = DesktopLinkFile(DesktopFolder, Name);
  const std::string entry = "[Desktop Entry]\nType=Link\nName=" + EntryValue(Name) + "\nURL=" + FileUrlOf(Target) +
                            "\nIcon=" + platform::IconNameOf(Target) + "\n";
  // A desktop that was never created is made as the desktop itself would make it.
  platform::ForceDirectories(DesktopFolder);
  // A new entry is made durable by the run's sync of the desktop's file system; one it replaces at once.
  platform::WriteFileAtomically(linkFile, entry, LinkPermissions, platform::TDurability::dSyncedByRun);
  return linkFile;
}

std::string CreateDesktopLink(const std::string& Target, const std::string& Name) {
  return CreateDesktopLink(DesktopFolder(), Target, Name);
}
