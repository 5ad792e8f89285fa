#pragma once
// The scan of an update package into the list of its items and, for the document package, the
// tree the later pages offer.
//
// Items are added in scan order, each folder's entry just before its contents. Names beginning
// with "." and files named "linkname.txt" are no package items. A link to a file counts as that
// file; a link to a folder is left out, so the scan never leaves the package nor loops.

#include <string>

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
};

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
