#include "Setup.PackageScan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <any>

#include "Runtime.StringList.h"
#include "Runtime.Strings.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

namespace {

// A tree of names, built as the wizard's tree is: folders as first children, files as last.
struct TNode {
  std::string Text;
  int Index = 0;
  std::vector<TNode*> Children;
};

class TTree : public IPackageTree {
 public:
  TNode Top;
  std::vector<std::unique_ptr<TNode>> Nodes;

  void* AddItem(void* Parent, const TPackageItem& Item) override {
    auto* parent = Parent ? static_cast<TNode*>(Parent) : &Top;
    Nodes.push_back(std::make_unique<TNode>(TNode{Item.Name, Item.Index, {}}));
    if (Item.IsFolder)
      parent->Children.insert(parent->Children.begin(), Nodes.back().get());
    else
      parent->Children.push_back(Nodes.back().get());
    return Nodes.back().get();
  }
};

std::vector<std::string> Lines(const TStringList& list) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}

std::vector<std::string> Names(const TNode& node) {
  std::vector<std::string> names;
  for (const TNode* child : node.Children) names.push_back(child->Text);
  return names;
}

}  // namespace

TEST(PackageScan, ListsItemsBeforeTheirContentsAndBuildsTheTree) {
  TTempDir package;
  package.WriteFile("Нормативы/Сборник 02.txt", "2");
  package.WriteFile("Нормативы/Сборник 01.txt", "1");
  package.WriteFile("Нормативы/linkname.txt", "name");
  package.WriteFile("Нормативы/LinkName.txt", "kept: letter case counts");
  package.WriteFile("Руководство.pdf", "m");
  package.WriteFile("a.txt", "a");
  package.WriteFile(".settings", "hidden");
  package.WriteFile(".cache/inside.txt", "hidden");
  package.MakeDir("Пустая папка");
  package.MakeDir("Примеры/2015");
  package.WriteFile("Примеры/2015/Пример.txt", "p");
  // A link to a file is that file; links to folders (here a loop back to the root) are left out.
  ASSERT_EQ(::symlink("a.txt", package.File("alias.txt").c_str()), 0);
  ASSERT_EQ(::symlink(package.Path().c_str(), package.File("Примеры/loop").c_str()), 0);
  ASSERT_EQ(::symlink("missing", package.File("dangling").c_str()), 0);

  TStringList dataList;
  dataList.AddObject("earlier", std::any(0));
  TTree tree;
  const std::string root = package.Path() + "/";
  ScanFolder(root, "", root, nullptr, 1, dataList, &tree);

  // Every machine lists alike (the Windows file system's order): each folder's entry before its
  // contents; in the tree subfolders first, in reverse, then the files.
  EXPECT_EQ(Lines(dataList), (std::vector<std::string>{"earlier", "a.txt", "alias.txt", "Нормативы",
                                                       "Нормативы/LinkName.txt", "Нормативы/Сборник 01.txt",
                                                       "Нормативы/Сборник 02.txt", "Примеры", "Примеры/2015",
                                                       "Примеры/2015/Пример.txt", "Пустая папка", "Руководство.pdf"}));
  for (std::size_t i = 0; i < dataList.Count(); ++i)
    EXPECT_EQ(std::any_cast<int>(dataList.Objects(i)), i == 0 ? 0 : 1);
  EXPECT_EQ(Names(tree.Top), (std::vector<std::string>{"Пустая папка", "Примеры", "Нормативы", "a.txt", "alias.txt",
                                                       "Руководство.pdf"}));
  for (const TNode* node : tree.Top.Children) {
    EXPECT_EQ(dataList[static_cast<std::size_t>(node->Index)], node->Text);
    if (node->Text == "Нормативы") {
      EXPECT_EQ(Names(*node), (std::vector<std::string>{"LinkName.txt", "Сборник 01.txt", "Сборник 02.txt"}));
    }
    if (node->Text == "Примеры") {
      EXPECT_EQ(Names(*node), std::vector<std::string>{"2015"});
    }
  }
}

TEST(PackageScan, LongPathsAreCutAndAMissingPackageIsEmpty) {
  TTempDir package;
  const std::string folder(150, 'd');
  std::string name;
  for (int i = 0; i < 120; ++i) name += "ж";
  name += ".txt";  // 124 characters in 244 bytes: 275 characters in all
  package.WriteFile(folder + "/" + name, "x");
  TStringList dataList;
  const std::string root = package.Path() + "/";
  ScanFolder(root, "", root, nullptr, 0, dataList, nullptr);
  ASSERT_EQ(dataList.Count(), 2u);
  EXPECT_EQ(dataList[1], Utf16Left(folder + "/" + name, 260));
  EXPECT_EQ(Utf16Length(dataList[1]), 260u);

  ScanFolder(package.File("missing/"), "", package.File("missing/"), nullptr, 0, dataList, nullptr);
  EXPECT_EQ(dataList.Count(), 2u);
}
