// Special folders from the freedesktop base directories and user-dirs.dirs, the file that
// xdg-user-dirs writes in shell syntax. We parse the few forms it writes instead of running a
// shell: a quoted or bare value that is "$HOME", starts with "$HOME/" or is an absolute path.

#include <cerrno>

#include "platform/Environment.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/KnownFolders.h"
#include "platform/KnownFoldersSys.h"

namespace platform {
namespace {
std::optional<std::string> AbsoluteVariable(const char* name) {
  auto value = GetEnvironmentVariable(name);
  if (value && !value->empty() && value->front() == '/') return value;
  return std::nullopt;
}

// A folder below the home folder; the home folder may be the root.
std::string BelowHome(const std::string& home, std::string_view relative) {
  return (home == "/" ? std::string() : home) + "/" + std::string(relative);
}

std::string RequireHome() {
  auto home = HomeFolder();
  if (!home) throw EOSError(ENOENT, "The home folder is not known");
  return *home;
}

std::string ReadTextFile(const std::string& fileName) {
  TMemoryStream stream;
  LoadStreamFromFile(stream, fileName);
  return std::string(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
}

// The shell word after "=": a double-quoted string with backslash escapes, or a bare word.
std::string ShellValue(std::string_view text) {
  std::string value;
  if (!text.empty() && text.front() == '"') {
    for (std::size_t i = 1; i < text.size() && text[i] != '"'; ++i) {
      if (text[i] == '\\' && i + 1 < text.size()) ++i;
      value += text[i];
    }
    return value;
  }
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '#') break;
    value += c;
  }
  return value;
}

// The value of one XDG_*_DIR entry of user-dirs.dirs, or nothing when the file or entry is missing
// or the value is of a form we do not accept. The last assignment wins, as in the shell.
std::optional<std::string> UserDirectory(const std::string& key, const std::string& home) {
  auto config = XdgConfigHome();
  if (!config) return std::nullopt;
  std::string fileName = *config + "/user-dirs.dirs";
  if (!FileExists(fileName)) return std::nullopt;
  std::string text;
  try {
    text = ReadTextFile(fileName);
  } catch (const Exception&) {
    return std::nullopt;  // an unreadable file counts as missing, as for xdg-user-dir
  }
  std::optional<std::string> result;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string_view line(text.data() + start, end - start);
    start = end + 1;
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != '=') continue;
    std::string value = ShellValue(line.substr(key.size() + 1));
    if (value == "$HOME") {
      result = home;
    } else if (value.rfind("$HOME/", 0) == 0) {
      result = BelowHome(home, value.substr(6));
    } else if (!value.empty() && value.front() == '/') {
      result = value;
    }
  }
  return result;
}
}  // namespace

std::optional<std::string> XdgConfigHome() {
  if (auto config = AbsoluteVariable("XDG_CONFIG_HOME")) return config;
  auto home = HomeFolder();
  if (!home) return std::nullopt;
  return BelowHome(*home, ".config");
}

std::string SpecialFolderPathSys(int csidl) {
  switch (csidl) {
    case CSIDL_APPDATA: {
      if (auto data = AbsoluteVariable("XDG_DATA_HOME")) return *data;
      return BelowHome(RequireHome(), ".local/share");
    }
    case CSIDL_LOCAL_APPDATA: {
      if (auto state = AbsoluteVariable("XDG_STATE_HOME")) return *state;
      return BelowHome(RequireHome(), ".local/state");
    }
    case CSIDL_COMMON_APPDATA:
      return GetEnvironmentVariableOr("ORVEL_COMMON_APPDATA", "/var/lib");
    case CSIDL_PERSONAL: {
      std::string home = RequireHome();
      return UserDirectory("XDG_DOCUMENTS_DIR", home).value_or(BelowHome(home, "Documents"));
    }
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY: {
      std::string home = RequireHome();
      return UserDirectory("XDG_DESKTOP_DIR", home).value_or(BelowHome(home, "Desktop"));
    }
    default:
      throw EOSError(EINVAL, "Unknown special folder " + std::to_string(csidl));
  }
}
}  // namespace platform
