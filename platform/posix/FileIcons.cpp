#include "platform/FileIcons.h"

#include <string_view>
#include <vector>

#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "platform/Environment.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"

// The shared MIME database lies in "mime/" of each XDG data folder: "globs2" maps file-name
// patterns to media types ("weight:type:pattern[:flags]"), "generic-icons" media types to the
// generic icons every icon theme carries. Where a type has no generic icon, the database's rule
// is its top-level media with "-x-generic" ("image/png" -> "image-x-generic").
namespace platform {
namespace {
constexpr char FolderIcon[] = "folder";
constexpr char UnknownType[] = "application/octet-stream";

std::vector<std::string> MimeFolders() {
  std::vector<std::string> folders;
  if (auto home = HomeFolder()) folders.push_back(GetEnvironmentVariableOr("XDG_DATA_HOME", *home + "/.local/share"));
  const std::string dirs = GetEnvironmentVariableOr("XDG_DATA_DIRS", "/usr/local/share:/usr/share");
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    if (end > start) folders.push_back(dirs.substr(start, end - start));
    start = end + 1;
  }
  for (std::string& folder : folders) folder = IncludeTrailingPathDelimiter(folder) + "mime/";
  return folders;
}

// The lines of a database file; none when it is missing or unreadable (no database, no icons).
std::vector<std::string> LinesOf(const std::string& fileName) {
  std::vector<std::string> lines;
  if (!FileExists(fileName)) return lines;
  std::string text;
  try {
    TMemoryStream stream;
    LoadStreamFromFile(stream, fileName);
    text.assign(reinterpret_cast<const char*>(stream.Memory()), static_cast<std::size_t>(stream.Size()));
  } catch (const Exception&) {
    return lines;
  }
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    if (end > start && text[start] != '#') lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t start = 0;;) {
    std::size_t end = line.find(':', start);
    fields.push_back(line.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return fields;
    start = end + 1;
  }
}

char FoldAscii(char c, bool ignoreCase) { return ignoreCase && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// A pattern with "*" and "?" (any run of bytes, one byte; enough for the extensions that matter),
// letter case folded for A to Z only, whatever the caller's locale.
bool GlobMatches(std::string_view pattern, std::string_view name, bool ignoreCase) {
  if (pattern.empty()) return name.empty();
  if (pattern.front() == '*') {
    for (std::size_t skip = 0; skip <= name.size(); ++skip)
      if (GlobMatches(pattern.substr(1), name.substr(skip), ignoreCase)) return true;
    return false;
  }
  if (name.empty()) return false;
  if (pattern.front() != '?' && FoldAscii(pattern.front(), ignoreCase) != FoldAscii(name.front(), ignoreCase))
    return false;
  return GlobMatches(pattern.substr(1), name.substr(1), ignoreCase);
}

// The type of the highest-weighted matching pattern, the longest among equal weights; patterns
// ignore letter case unless flagged "cs".
std::string MediaTypeOfName(const std::string& name, const std::vector<std::string>& folders) {
  std::string best = UnknownType;
  int bestWeight = -1;
  std::size_t bestLength = 0;
  for (const std::string& folder : folders) {
    for (const std::string& line : LinesOf(folder + "globs2")) {
      const std::vector<std::string_view> f = Fields(line);
      if (f.size() < 3) continue;
      const int weight = StrToIntDef(std::string(f[0]), -1);
      const bool caseSensitive = f.size() > 3 && f[3].find("cs") != std::string_view::npos;
      const std::string pattern(f[2]);
      if (weight < bestWeight || (weight == bestWeight && pattern.size() <= bestLength)) continue;
      if (pattern.find('[') != std::string::npos || !GlobMatches(pattern, name, !caseSensitive)) continue;
      best = std::string(f[1]);
      bestWeight = weight;
      bestLength = pattern.size();
    }
    if (bestWeight >= 0) break;  // the first folder that knows the name decides
  }
  return best;
}

std::string GenericIconOf(const std::string& mediaType, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders)
    for (const std::string& line : LinesOf(folder + "generic-icons"))
      if (line.size() > mediaType.size() && line.starts_with(mediaType) && line[mediaType.size()] == ':')
        return line.substr(mediaType.size() + 1);
  return mediaType.substr(0, mediaType.find('/')) + "-x-generic";
}
}  // namespace

std::string IconNameOf(const std::string& path) {
  if (DirectoryExists(path)) return FolderIcon;
  const std::vector<std::string> folders = MimeFolders();
  return GenericIconOf(MediaTypeOfName(ExtractFileName(path), folders), folders);
}
}  // namespace platform
