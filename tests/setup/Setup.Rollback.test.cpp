#include "Setup.Rollback.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "UpdateFixture.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

namespace {

struct TFileState {
  std::string Contents;
  mode_t Mode;
  bool operator==(const TFileState&) const = default;
};

class Rollback : public UpdateFixture {
 protected:
  // Twenty-two package files in nested folders with Cyrillic names, an empty one and one of four
  // blocks; half of them exist at the destination already, with modes of their own.
  void MakePackage() {
    int n = 0;
    for (const char* rel : {"c/Data/a.xml", "c/Data/Регионы.txt", "c/Data/Вложенная/глубже/b.xml", "c/bin/tool",
                            "c/Templates/Итог.xlt", "c/Templates/empty.dat", "c/big.bin", "c/one.txt",
                            "c/Шаблоны/1.xlt", "c/Шаблоны/2.xlt", "c/Шаблоны/3.xlt", "d/Нормативы/Сборник 01.txt",
                            "d/Нормативы/Сборник 02.txt", "d/Примеры/2015/Пример 1.txt", "d/Примеры/2015/Пример 2.txt",
                            "d/Руководство.pdf", "d/a/b/c/d.txt", "d/x1.txt", "d/x2.txt", "d/x3.txt", "d/x4.txt",
                            "d/Мои шаблоны/Локальная смета.xlt"}) {
      std::string contents = "new " + std::string(rel);
      if (std::strstr(rel, "empty")) contents.clear();
      if (std::strstr(rel, "big")) contents = std::string(200 * 1024, 'B');
      Dir.WriteFile(std::string("package/") + rel, contents);
      if (n++ % 2 == 0) Existing[rel] = {"old " + std::string(rel) + std::string(n * 1000, 'o'), n % 4 ? 0640u : 0755u};
    }
  }

  std::string DestinationOf(const std::string& rel) const {
    return rel[0] == 'c' ? Common(rel.substr(2)) : Docs(rel.substr(2));
  }

  void ResetDestination() {
    std::filesystem::remove_all(Dir.File("common"));
    std::filesystem::remove_all(Dir.File("docs"));
    Dir.MakeDir("common");
    Dir.MakeDir("docs");
    for (const auto& [rel, state] : Existing) {
      WriteWholeFileAt(DestinationOf(rel), state.Contents);
      EXPECT_EQ(::chmod(DestinationOf(rel).c_str(), state.Mode), 0);
    }
  }

  static void WriteWholeFileAt(const std::string& path, const std::string& contents) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteWholeFile(path, contents);
  }

  std::vector<std::pair<std::string, std::string>> Backups() const {
    return {{CommonRoots().Backup, CommonRoots().Destination}, {DocsRoots().Backup, DocsRoots().Destination}};
  }

  std::map<std::string, TFileState> Existing;
};

}  // namespace

// Whenever the user cancels, after any block of any file or between any two files, the two
// rollbacks of a cancel put every replaced file back as it was.
TEST_F(Rollback, ACancelAnywhereRestoresEveryReplacedFile) {
  MakePackage();
  const TStringList items = Scan();
  int cancels = 0;
  for (int at = 1;; ++at) {
    SCOPED_TRACE(testing::Message() << "cancel at event pump " << at);
    ResetDestination();
    Host = {};
    Host.OnPump = [&](int pump) {
      if (pump != at) return;
      Host.Cancel = true;
      RollbackBackups(Host, Backups());  // the cancel runs inside the copy's event processing
    };
    const bool finished = Run();
    if (!Host.Cancel) {
      EXPECT_TRUE(finished);
      break;
    }
    ++cancels;  // a cancel at the last entry's end lets the loop finish with its closing lines
    RollbackBackups(Host, Backups());  // and again once the copy has stopped

    for (const auto& [rel, state] : Existing) {
      struct stat st {};
      ASSERT_EQ(::stat(DestinationOf(rel).c_str(), &st), 0) << rel;
      EXPECT_TRUE(ReadWholeFile(DestinationOf(rel)) == state.Contents) << rel;
      EXPECT_EQ(st.st_mode & 07777, state.Mode) << rel;
    }
    for (std::size_t i = 0; i < items.Count(); ++i) {  // an added file is there whole or not at all
      const std::string rel = std::string(std::any_cast<int>(items.Objects(i)) == 0 ? "c/" : "d/") + items[i];
      if (Existing.count(rel) || !platform::FileExists(DestinationOf(rel))) continue;
      EXPECT_TRUE(ReadWholeFile(DestinationOf(rel)) == ReadWholeFile(Package(rel))) << rel;
    }
    EXPECT_TRUE(Leftovers().empty());
    EXPECT_FALSE(platform::DirectoryExists(CommonRoots().Backup));
    EXPECT_FALSE(platform::DirectoryExists(DocsRoots().Backup));
    const bool backedUp = std::any_of(Host.Lines.begin(), Host.Lines.end(),
                                      [](const std::string& l) { return l.ends_with("сохранен в бэкапе."); });
    if (backedUp) {
      EXPECT_TRUE(platform::DirectoryExists(Common("QuentaBackup")) || platform::DirectoryExists(Docs("QuentaBackup")));
    }
    EXPECT_TRUE(Host.Errors.empty());
  }
  // Four blocks of the large file and every file boundary were among the places.
  EXPECT_GT(cancels, 40);
}

TEST_F(Rollback, WhatCannotGoBackStaysInTheBackupAndIsListedOnce) {
  Dir.WriteFile("common/QuentaBackup/s/Data/a.xml", "old a");
  Dir.WriteFile("common/QuentaBackup/s/Data/busy.xml", "old busy");
  Dir.WriteFile("docs/QuentaBackup/t/b.txt", "old b");
  Dir.MakeDir("common/Data");  // merged file by file
  ScopedSysCall<decltype(SysCalls::rename)> busy(&SysCalls::rename, [](const char* from, const char* to) {
    if (std::strstr(from, "busy.xml")) {
      errno = EBUSY;
      return -1;
    }
    return ::rename(from, to);
  });
  RollbackBackups(Host, {{Common("QuentaBackup/s/"), Common("")}, {Docs("QuentaBackup/t/"), Docs("")}, {"", ""}});
  EXPECT_EQ(Dir.ReadFile("common/Data/a.xml"), "old a");
  EXPECT_EQ(Dir.ReadFile("docs/b.txt"), "old b");
  EXPECT_FALSE(platform::DirectoryExists(Docs("QuentaBackup/t")));
  EXPECT_TRUE(platform::DirectoryExists(Docs("QuentaBackup")));
  EXPECT_EQ(Dir.ReadFile("common/QuentaBackup/s/Data/busy.xml"), "old busy");
  EXPECT_EQ(Host.Errors, std::vector<std::string>{"Не удалось вернуть на место из резервной копии:\r\n" +
                                                  Common("QuentaBackup/s/") + "Data/busy.xml (" +
                                                  platform::SystemErrorText(EBUSY) +
                                                  ")\r\nЭти файлы остались в папке резервной копии, их можно вернуть вручную."});
}
