#include "platform/FileSystem.h"

#include <algorithm>
#include <utility>

#include "Runtime.Strings.h"
#include "platform/NameFolding.h"
#include "platform/OSError.h"

namespace platform {

void SortInFileSystemOrder(std::vector<TFileEntry>& entries) {
  // One key per name, not one per comparison: packages hold thousands of files.
  std::vector<std::pair<std::u16string, TFileEntry>> keyed;
  keyed.reserve(entries.size());
  for (TFileEntry& entry : entries) keyed.emplace_back(FileSystemOrderKey(entry.Name), std::move(entry));
  std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
    return a.first != b.first ? a.first < b.first : a.second.Name < b.second.Name;
  });
  for (std::size_t i = 0; i < keyed.size(); ++i) entries[i] = std::move(keyed[i].second);
}

bool FileExists(const std::string& path) {
  auto entry = GetFileEntry(path);
  return entry && !entry->IsDirectory;
}

bool DirectoryExists(const std::string& path) {
  auto entry = GetFileEntry(path);
  return entry && entry->IsDirectory;
}

bool FileOrLinkExists(const std::string& path) {
  auto entry = GetLinkEntry(path);
  return entry && (!entry->IsDirectory || entry->IsSymbolicLink);
}

std::optional<std::string> FindUntrustedLink(const std::string& root, std::string_view relativeFolder) {
  std::string path = ExcludeTrailingPathDelimiter(root);
  std::size_t start = 0;
  while (start < relativeFolder.size()) {
    std::size_t end = relativeFolder.find('/', start);
    if (end == std::string_view::npos) end = relativeFolder.size();
    if (end > start) {
      path += '/';
      path.append(relativeFolder.substr(start, end - start));
      auto entry = GetLinkEntry(path);
      if (!entry) return std::nullopt;
      if (entry->IsSymbolicLink && entry->OwnerId != 0 && entry->OwnerId != CurrentUserId()) return path;
    }
    start = end + 1;
  }
  return std::nullopt;
}

void ForceDirectories(const std::string& path) {
  std::string folder = ExcludeTrailingPathDelimiter(path);
  if (folder.empty() || DirectoryExists(folder)) return;
  std::string parent = ExtractFileDir(folder);
  if (!parent.empty() && parent != folder) ForceDirectories(parent);
  if (CreateDir(folder)) return;
  const int error = LastErrorCode();
  if (!DirectoryExists(folder)) throw EOSError(error, folder);  // created meanwhile by someone else is fine
}

namespace {
char Fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool Match(std::string_view name, std::string_view mask) {
  std::size_t n = 0, m = 0, starM = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || Fold(mask[m]) == Fold(name[n]))) {
      ++n;
      ++m;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string_view::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}
}  // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
  if (mask == "*.*" || mask == "*") return true;
  // "name.*" also matches "name" without extension, as the system's masks do.
  if (mask.size() > 2 && mask.substr(mask.size() - 2) == ".*" && Match(name, mask.substr(0, mask.size() - 2)))
    return true;
  return Match(name, mask);
}

}  // namespace platform
