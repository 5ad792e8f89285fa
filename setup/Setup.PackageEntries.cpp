#include "Setup.PackageEntries.h"

#include <any>

#include "Runtime.StringList.h"

TPackageEntry PackageEntryOf(const TStringList& DataList, std::size_t Index) {
  const std::any& flag = DataList.Objects(Index);
  return {DataList[Index], flag.has_value() ? std::any_cast<int>(flag) : TPackageEntry::DocumentPackage};
}

std::string TPackageFolders::PackagePathOf(const TPackageEntry& Entry) const {
  return (Entry.Flag == TPackageEntry::CommonPackage ? CommonPackage : DocumentPackage) + Entry.RelativePath;
}

std::string TPackageFolders::InstalledPathOf(const TPackageEntry& Entry) const {
  return (Entry.Flag == TPackageEntry::CommonPackage ? CommonDestination : DocumentDestination) + Entry.RelativePath;
}

TUpdateEntries UpdateEntriesOf(const TStringList& DataList) {
  TUpdateEntries entries;
  entries.reserve(DataList.Count());
  for (std::size_t i = 0; i < DataList.Count(); ++i) {
    TUpdateEntry& entry = entries.emplace_back();
    entry.Entry = PackageEntryOf(DataList, i);
  }
  return entries;
}
