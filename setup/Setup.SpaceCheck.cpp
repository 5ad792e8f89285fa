#include "Setup.SpaceCheck.h"

#include <any>
#include <map>

#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "Setup.PackageScan.h"
#include "platform/DiskSpace.h"
#include "platform/FileSystem.h"

namespace {

// The folder itself or its nearest existing parent: where a missing folder would be created.
std::string ExistingFolderOf(std::string folder) {
  folder = ExcludeTrailingPathDelimiter(folder);
  while (!folder.empty() && !platform::DirectoryExists(folder)) folder = ExcludeTrailingPathDelimiter(ExtractFilePath(folder));
  return folder.empty() ? std::string("/") : folder;
}

struct TNeed {
  std::string Folder;
  std::uint64_t Bytes = 0;
};

}  // namespace

std::optional<TSpaceShortage> FindSpaceShortage(const TStringList& DataList, const TPackageRoots& Common,
                                                const TPackageRoots& Documents) {
  std::map<std::uint64_t, TNeed> needs;  // by file system
  // A package has many files per folder: each folder is looked up once.
  std::map<std::string, std::pair<std::string, std::uint64_t>> folders;  // folder -> existing one, its file system
  auto placeOf = [&folders](const std::string& folder) -> const std::pair<std::string, std::uint64_t>& {
    auto it = folders.find(folder);
    if (it == folders.end()) {
      std::string existing = ExistingFolderOf(folder);
      const std::uint64_t fileSystem = platform::FileSystemOf(existing);
      it = folders.emplace(folder, std::make_pair(std::move(existing), fileSystem)).first;
    }
    return it->second;
  };
  auto add = [&needs, &placeOf](const std::string& folder, std::uint64_t bytes) {
    const auto& [existing, fileSystem] = placeOf(folder);
    TNeed& need = needs[fileSystem];
    if (need.Folder.empty()) need.Folder = existing;
    need.Bytes += bytes;
  };
  for (std::size_t i = 0; i < DataList.Count(); ++i) {
    const TPackageRoots& roots = std::any_cast<int>(DataList.Objects(i)) == 0 ? Common : Documents;
    const std::string& rel = DataList[i];
    // Only what the copy will copy: a refused file takes no space.
    const platform::TFileVerdict verdict = JudgePackageFile(roots.Package, rel);
    if (!verdict.IsCopyable()) continue;
    const auto source = platform::GetFileEntry(verdict.OpenPath);
    if (!source) continue;
    const std::string target = roots.Destination + rel;
    add(ExtractFilePath(target), static_cast<std::uint64_t>(source->Size));
    if (const auto original = platform::GetLinkEntry(target); original && !original->IsDirectory) {
      const std::string backupFolder = ExtractFilePath(roots.Backup + rel);
      if (placeOf(backupFolder).second != placeOf(ExtractFilePath(target)).second)
        add(backupFolder, static_cast<std::uint64_t>(original->Size));
    }
  }
  for (const auto& [id, need] : needs)
    if (const std::uint64_t free = platform::FreeDiskSpace(need.Folder); free < need.Bytes)
      return TSpaceShortage{need.Folder, need.Bytes, free};
  return std::nullopt;
}

std::string ReadableSize(std::uint64_t Bytes) {
  static const char* const Units[] = {"байт", "КБ", "МБ", "ГБ", "ТБ"};
  if (Bytes < 1024) return std::to_string(Bytes) + " " + Units[0];
  double value = static_cast<double>(Bytes);
  int unit = 0;
  while (value >= 1024 && unit < 4) {
    value /= 1024;
    ++unit;
  }
  const auto tenths = static_cast<std::uint64_t>(value * 10 + 0.5);
  std::string text = std::to_string(tenths / 10);
  if (tenths % 10 != 0) text += "," + std::to_string(tenths % 10);
  return text + " " + Units[unit];
}

std::string SpaceShortageText(const TSpaceShortage& Shortage) {
  return "Недостаточно места на диске для обновления (папка \"" + Shortage.Folder + "\"): нужно " +
         ReadableSize(Shortage.Needed) + ", свободно " + ReadableSize(Shortage.Free) +
         ". Освободите место и запустите обновление снова. Файлы не изменены.";
}
