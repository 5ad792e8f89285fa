#include "Setup.PackageScan.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
  // A link to a file is that file; links to folders (here a loop back to the root) are left out; a
  // dangling link stays, for the copy to refuse.
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
  EXPECT_EQ(Lines(dataList), (std::vector<std::string>{"earlier", "a.txt", "alias.txt", "dangling", "Нормативы",
                                                       "Нормативы/LinkName.txt", "Нормативы/Сборник 01.txt",
                                                       "Нормативы/Сборник 02.txt", "Примеры", "Примеры/2015",
                                                       "Примеры/2015/Пример.txt", "Пустая папка", "Руководство.pdf"}));
  for (std::size_t i = 0; i < dataList.Count(); ++i)
    EXPECT_EQ(std::any_cast<int>(dataList.Objects(i)), i == 0 ? 0 : 1);
  EXPECT_EQ(Names(tree.Top), (std::vector<std::string>{"Пустая папка", "Примеры", "Нормативы", "a.txt", "alias.txt",
                                                       "dangling", "Руководство.pdf"}));
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

// Whatever a package holds, the scan returns at once (it opens nothing) and every entry that is
// no file of the package stays an item the copy refuses, with a line that says why.
TEST(PackageScan, RefusedEntriesStayItemsWithTheirVerdictAndLine) {
  TTempDir dir;
  const std::string root = dir.MakeDir("package") + "/";
  const std::string secret = dir.WriteFile("outside/shadow", "root-only secret");
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  dir.WriteFile("package/Нормативы/Сборник 01.txt", "1");
  dir.WriteFile("other/x.txt", "the other package");
  auto link = [&](const std::string& target, const std::string& name) {
    ASSERT_EQ(::symlink(target.c_str(), (root + name).c_str()), 0) << name;
  };
  link("Нормативы/Сборник 01.txt", "inside.txt");
  link("Нормативы", "folder inside");
  link(secret, "shadow");
  link(dir.File("outside"), "outside folder");
  link("../other/x.txt", "other package.txt");
  link("nowhere", "dangling");
  link("loop2", "loop1");
  link("loop1", "loop2");
  link("/dev/zero", "zero");
  ASSERT_EQ(::mkfifo((root + "pipe").c_str(), 0644), 0);
  const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  (root + "socket").copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);

  struct TItem {
    std::string RelativePath;
    platform::TFileVerdict Verdict;
  };
  struct TRecorder : IPackageTree {
    std::vector<TItem> Items;
    void* AddItem(void*, const TPackageItem& Item) override {
      Items.push_back({Item.RelativePath, Item.Verdict});
      return nullptr;
    }
  } tree;
  TStringList dataList;
  ScanFolder(root, "", root, nullptr, 1, dataList, &tree);
  ::close(sock);

  const std::pair<const char*, const char*> expected[] = {
      {"dangling", "символическая ссылка никуда не ведет"},
      {"inside.txt", nullptr},
      {"loop1", "символическая ссылка зациклена"},
      {"loop2", "символическая ссылка зациклена"},
      {"other package.txt", "символическая ссылка ведет за пределы пакета"},
      {"outside folder", "символическая ссылка ведет за пределы пакета"},
      {"pipe", "это именованный канал, а не обычный файл"},
      {"shadow", "символическая ссылка ведет за пределы пакета"},
      {"socket", "это сокет, а не обычный файл"},
      {"zero", "символическая ссылка ведет за пределы пакета"},
      {"Нормативы/", nullptr},
      {"Нормативы/Сборник 01.txt", nullptr},
  };
  ASSERT_EQ(tree.Items.size(), std::size(expected));
  ASSERT_EQ(dataList.Count(), std::size(expected));
  for (std::size_t i = 0; i < tree.Items.size(); ++i) {
    const auto& [path, reason] = expected[i];
    const TItem& item = tree.Items[i];
    SCOPED_TRACE(path);
    EXPECT_EQ(item.RelativePath, path);
    EXPECT_EQ(item.Verdict.IsCopyable() || item.Verdict.Kind == platform::TFileKind::fkFolder, reason == nullptr);
    if (reason) {
      EXPECT_EQ(RefusedPackageFileLine(item.RelativePath, item.Verdict),
                "Файл \"" + item.RelativePath + "\" не скопирован: " + reason + ".");
      EXPECT_EQ(item.Verdict.OpenPath, "");
    }
    const platform::TFileVerdict again = JudgePackageFile(root, ExcludeTrailingPathDelimiter(item.RelativePath));
    EXPECT_EQ(again.Kind, item.Verdict.Kind);
    EXPECT_EQ(again.OpenPath, item.Verdict.OpenPath);
  }
  // The link inside is copied from the file it resolves to.
  EXPECT_NE(tree.Items[1].Verdict.OpenPath.find("/package/Нормативы/Сборник 01.txt"), std::string::npos);
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
