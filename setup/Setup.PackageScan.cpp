#include "Setup.PackageScan.h"

#include <any>
#include <vector>

#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "platform/FileSystem.h"

namespace {
constexpr char LinkNameFile[] = "linkname.txt";

int AddEntry(TStringList& DataList, const std::string& FullPath, const std::string& PackageRoot, int Flag) {
  return DataList.AddObject(Utf16Left(std::string_view(FullPath).substr(PackageRoot.size()), MaxDataListPath),
                            std::any(Flag));
}
}  // namespace

void ScanFolder(const std::string& Folder, const std::string& Prefix, const std::string& PackageRoot, void* Parent,
                int Flag, TStringList& DataList, IPackageTree* Tree) {
  if (!platform::DirectoryExists(Folder)) return;
  for (platform::TFileEntry entry : platform::ListDirectory(Folder, false)) {
    if (entry.Name.starts_with('.') || entry.Name == LinkNameFile) continue;
    const std::string full = Folder + entry.Name;
    if (entry.IsSymbolicLink) {
      auto target = platform::GetFileEntry(full);
      if (!target || target->IsDirectory) continue;
      entry.IsDirectory = false;
    }
    TPackageItem item{entry.Name, full, Prefix + entry.Name, entry.IsDirectory, static_cast<int>(DataList.Count())};
    if (item.IsFolder) item.RelativePath += '/';
    void* node = Tree ? Tree->AddItem(Parent, item) : nullptr;
    AddEntry(DataList, full, PackageRoot, Flag);
    if (item.IsFolder) ScanFolder(full + "/", item.RelativePath, PackageRoot, node, Flag, DataList, Tree);
  }
}
