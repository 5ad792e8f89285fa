#pragma once
// The scan of an update package into the list of its items and, for the document package, the
// tree the later pages offer.
//
// Items are added in scan order, each folder's entry just before its contents. Names beginning
// with "." and files named "linkname.txt" are no package items. Every item carries its verdict
// (JudgePackageFile): a link resolving to a file inside its package root counts as that file; a
// link to a folder inside it is left out, so the scan never leaves the package nor loops. Links
// leaving the package, dangling or looping, pipes, sockets and devices stay items, as files the
// copy refuses and reports (RefusedPackageFileLine), never opens.

#include <string>

#include "platform/FileKind.h"

class TStringList;

// The package beside the wizard: items for the client's common data folder (flag 0) and for the
// user's document root (flag 1), and the file that tunes the wizard.
inline constexpr char CommonPackageFolder[] = "QuentaSetupData/Client/";
inline constexpr char DocumentPackageFolder[] = "QuentaSetupData/Орвел-Квело/";
inline constexpr char SettingsFileName[] = "settings.ini";

// DataList holds each item's path relative to its package root, cut to 260 characters, with the
// package flag attached as an int object.
inline constexpr std::size_t MaxDataListPath = 260;

struct TPackageItem {
  std::string Name;
  std::string FullPath;
  std::string RelativePath;  // as in settings.ini: folders end with "/"
  bool IsFolder = false;
  int Index = 0;  // of the item's DataList entry
  platform::TFileVerdict Verdict;
};

// What the package file at RelativePath of PackageRoot (ending with "/") is: the one verdict the
// scan, the copy, the space check and the pages go by. A link is followed only when it resolves
// inside the same package root (a link from one package into the other leaves its package). Only a
// verdict that IsCopyable may be copied, from its OpenPath, through platform::TBlockSource.
platform::TFileVerdict JudgePackageFile(const std::string& PackageRoot, const std::string& RelativePath);

// The log line for a package file whose verdict refuses it (neither copyable nor a folder), e.g.
// "Файл \"a/b.txt\" не скопирован: символическая ссылка ведет за пределы пакета."
std::string RefusedPackageFileLine(const std::string& RelativePath, const platform::TFileVerdict& Verdict);

// Builds the tree: gets each item with the node of its folder (null at the top) and returns the
// item's own node.
class IPackageTree {
 public:
  virtual ~IPackageTree() = default;
  virtual void* AddItem(void* Parent, const TPackageItem& Item) = 0;
};

// Adds the items below Folder (ending with "/"), whose path relative to PackageRoot is Prefix. A
// package folder that does not exist has no items. Tree may be null.
void ScanFolder(const std::string& Folder, const std::string& Prefix, const std::string& PackageRoot, void* Parent,
                int Flag, TStringList& DataList, IPackageTree* Tree);
