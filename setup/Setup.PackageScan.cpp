#include "Setup.PackageScan.h"

#include <any>
#include <vector>


#include "Runtime.Format.h"
#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"

namespace {
constexpr char LinkNameFile[] = "linkname.txt";

int AddEntry(TStringList& DataList, const std::string& FullPath, const std::string& PackageRoot, int Flag) {
  return DataList.AddObject(Utf16Left(std::string_view(FullPath).substr(PackageRoot.size()), MaxDataListPath),
                            std::any(Flag));
}

const char RefusedFileText[] = "Файл \"%s\" не скопирован: %s.";

std::string RefusalReason(const platform::TFileVerdict& Verdict) {
  using enum platform::TFileKind;
  switch (Verdict.Kind) {
    case fkLinkOutside: return "символическая ссылка ведет за пределы пакета";
    case fkLinkBroken:
      return platform::IsLinkLoopError(Verdict.ErrorCode) ? "символическая ссылка зациклена" : "символическая ссылка никуда не ведет";
    case fkPipe: return "это именованный канал, а не обычный файл";
    case fkSocket: return "это сокет, а не обычный файл";
    case fkDevice: return "это файл устройства, а не обычный файл";
    case fkMissing: return "файл не найден";
    default: return "это не обычный файл";
  }
}
}  // namespace

platform::TFileVerdict JudgePackageFile(const std::string& PackageRoot, const std::string& RelativePath) {
  return platform::JudgeFileWithin(PackageRoot, PackageRoot + RelativePath);
}

std::string RefusedPackageFileLine(const std::string& RelativePath, const platform::TFileVerdict& Verdict) {
  return Format(RefusedFileText, RelativePath, RefusalReason(Verdict));
}

void ScanFolder(const std::string& Folder, const std::string& Prefix, const std::string& PackageRoot, void* Parent,
                int Flag, TStringList& DataList, IPackageTree* Tree) {
  if (!platform::DirectoryExists(Folder)) return;
  for (const platform::TFileEntry& entry : platform::ListDirectory(Folder, false)) {
    if (entry.Name.starts_with('.') || entry.Name == LinkNameFile) continue;
    const std::string full = Folder + entry.Name;
    platform::TFileVerdict verdict = JudgePackageFile(PackageRoot, Prefix + entry.Name);
    if (verdict.Kind == platform::TFileKind::fkMissing) continue;  // gone since the listing
    const bool isFolder = verdict.Kind == platform::TFileKind::fkFolder;
    if (isFolder && verdict.IsLink) continue;
    TPackageItem item{entry.Name, full, Prefix + entry.Name, isFolder, static_cast<int>(DataList.Count()),
                      std::move(verdict)};
    if (item.IsFolder) item.RelativePath += '/';
    void* node = Tree ? Tree->AddItem(Parent, item) : nullptr;
    AddEntry(DataList, full, PackageRoot, Flag);
    if (item.IsFolder) ScanFolder(full + "/", item.RelativePath, PackageRoot, node, Flag, DataList, Tree);
  }
}
