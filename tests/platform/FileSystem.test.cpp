#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/TempDir.h"

using namespace platform;

TEST(FileSystem, ExistenceTellsFilesFromFolders) {
  TTempDir dir;
  std::string file = dir.WriteFile("a/b.txt", "xyz");
  EXPECT_TRUE(FileExists(file));
  EXPECT_FALSE(DirectoryExists(file));
  EXPECT_TRUE(DirectoryExists(dir.File("a")));
  EXPECT_TRUE(DirectoryExists(dir.File("a/")));
  EXPECT_EQ(GetFileEntry(dir.File("a/"))->Name, "a");
  EXPECT_FALSE(FileExists(dir.File("a")));
  EXPECT_FALSE(FileExists(dir.File("missing")));
  EXPECT_FALSE(FileExists(""));
  auto entry = GetFileEntry(file);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->Name, "b.txt");
  EXPECT_EQ(entry->Size, 3);
}

TEST(FileSystem, ForceDirectoriesCreatesParentsAndReportsFailures) {
  TTempDir dir;
  ForceDirectories(dir.File("x/y/z/"));
  EXPECT_TRUE(DirectoryExists(dir.File("x/y/z")));
  ForceDirectories(dir.File("x/y/z"));  // already there: nothing to do
  std::string file = dir.WriteFile("plain", "");
  EXPECT_THROW(ForceDirectories(file + "/sub"), EOSError);
}

TEST(FileSystem, CopyRenameDelete) {
  TTempDir dir;
  std::string a = dir.WriteFile("a.txt", "contents");
  CopyFile(a, dir.File("b.txt"), true);
  EXPECT_EQ(dir.ReadFile("b.txt"), "contents");
  EXPECT_THROW(CopyFile(a, dir.File("b.txt"), true), EOSError);
  dir.WriteFile("a.txt", "new");
  CopyFile(a, dir.File("b.txt"), false);
  EXPECT_EQ(dir.ReadFile("b.txt"), "new");
  EXPECT_THROW(CopyFile(dir.File("missing"), dir.File("c.txt"), false), EOSError);
  EXPECT_TRUE(RenameFile(dir.File("b.txt"), dir.File("c.txt")));
  EXPECT_FALSE(FileExists(dir.File("b.txt")));
  EXPECT_TRUE(DeleteFile(dir.File("c.txt")));
  EXPECT_FALSE(DeleteFile(dir.File("c.txt")));
  EXPECT_FALSE(RemoveDir(dir.Path()));  // not empty
}

TEST(FileSystem, ListDirectoryAndItsErrors) {
  TTempDir dir;
  dir.WriteFile("one.xml", "1");
  dir.MakeDir("sub");
  auto entries = ListDirectory(dir.Path());
  ASSERT_EQ(entries.size(), 2u);
  std::sort(entries.begin(), entries.end(), [](auto& l, auto& r) { return l.Name < r.Name; });
  EXPECT_EQ(entries[0].Name, "one.xml");
  EXPECT_FALSE(entries[0].IsDirectory);
  EXPECT_TRUE(entries[1].IsDirectory);
  EXPECT_THROW(ListDirectory(dir.File("missing")), EOSError);

  using posix::ScopedSysCall;
  using posix::SysCalls;
  ScopedSysCall<decltype(SysCalls::readdir)> failing(&SysCalls::readdir, [](DIR*) -> dirent* {
    errno = EIO;
    return nullptr;
  });
  EXPECT_THROW(ListDirectory(dir.Path()), EOSError);
}

// The Windows file system's order, whatever order the names were created in: upper-cased UTF-16
// code units ("_" after the letters, "ё" as "Ё" before "А", a surrogate pair before "ｚ" though its
// code point is higher), names equal but for letter case by their bytes.
TEST(FileSystem, ListsInTheOrderOfUpperCasedUtf16CodeUnits) {
  TTempDir dir;
  const std::vector<std::string> expected = {"1", "a", "A.txt", "a.txt", "B", "_x", "Ёлка", "ёлка", "Сборник 01.txt",
                                             "сборник 02.txt", "Я", "😀", "ｚ"};
  for (auto name = expected.rbegin(); name != expected.rend(); ++name) dir.WriteFile(*name, "x");
  std::vector<std::string> names;
  for (const TFileEntry& entry : ListDirectory(dir.Path())) names.push_back(entry.Name);
  EXPECT_EQ(names, expected);
}

TEST(FileSystem, MasksFollowTheSystemRules) {
  struct Case {
    const char* name;
    const char* mask;
    bool matches;
  };
  const Case cases[] = {
      {"base.oxd5", "*.oxd5", true},  {"BASE.OXD5", "*.oxd5", true}, {"base.oxd", "*.oxd5", false},
      {"README", "*.*", true},        {"README", "*", true},         {"a.b.c", "*.c", true},
      {"module.bpl", "m?dule.*", true}, {"module", "module.*", true}, {"x", "?", true},
      {"xy", "?", false},             {"", "*", true},               {"Квело.txt", "*.TXT", true},
  };
  for (const auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.matches) << c.name << " " << c.mask;
}
