#pragma once
// The items the user (or an unattended run's settings) chose from an update package, as DataList
// names them, and where each package lies and was installed.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/FileKind.h"

class TStringList;

// A DataList entry: the item's path relative to its package root (folders without trailing
// separator) and its package flag.
struct TPackageEntry {
  static constexpr int CommonPackage = 0;    // "QuentaSetupData/Client/"
  static constexpr int DocumentPackage = 1;  // "QuentaSetupData/Орвел-Квело/"

  std::string RelativePath;
  int Flag = DocumentPackage;
};

// The entry at Index of DataList (its string and its attached int).
TPackageEntry PackageEntryOf(const TStringList& DataList, std::size_t Index);

// An entry as an update plans it: what its package item is, and whether something is at its target.
// The verdict is taken once, when the entry is planned, and everything after goes by it: a refused
// item (a link out of its package, dangling or looping, a pipe, socket or device) is never opened.
struct TUpdateEntry {
  enum class TKind { ukUnknown, ukMissing, ukFolder, ukFile, ukRefused };
  TPackageEntry Entry;
  TKind Kind = TKind::ukUnknown;  // of the package item; unknown until looked at
  platform::TFileVerdict Verdict;  // ukFile: copied from its OpenPath
  bool Replaces = false;           // something was at the target when the update was planned
};
using TUpdateEntries = std::vector<TUpdateEntry>;

// Every entry of DataList, in order, not looked at yet.
TUpdateEntries UpdateEntriesOf(const TStringList& DataList);

// Every folder ends with the separator.
struct TPackageFolders {
  std::string CommonPackage;        // the package's "QuentaSetupData/Client/"
  std::string DocumentPackage;      // the package's "QuentaSetupData/Орвел-Квело/"
  std::string CommonDestination;    // the client's common data folder
  std::string DocumentDestination;  // the user's document root

  // The item inside its package, and its installed copy.
  std::string PackagePathOf(const TPackageEntry& Entry) const;
  std::string InstalledPathOf(const TPackageEntry& Entry) const;
};
