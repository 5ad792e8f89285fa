#include "Setup.FileUpdate.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "Setup.Manifest.h"
#include "Setup.PackageTrust.h"
#include "UpdateFixture.h"
#include "platform/FileSystem.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/ForeignLinks.h"

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

namespace {
std::string Q(const std::string& s) { return "\"" + s + "\""; }
std::string Saved(const std::string& rel) { return "Файл " + Q(rel) + " сохранен в бэкапе."; }
std::string Updated(const std::string& rel) { return "Файл " + Q(rel) + " обновлен."; }
std::string Added(const std::string& rel) { return "Файл " + Q(rel) + " добавлен."; }
std::string Failed(const std::string& rel) { return "Ошибка обновления файла: " + Q(rel); }
std::string BackupFailed(const std::string& rel) { return "Ошибка создания резервной копии " + Q(rel); }
std::string Restored(const std::string& rel) { return "Файл " + Q(rel) + " возвращен из бэкапа."; }
std::string Created(const std::string& folder) { return "Создана директория " + Q(folder); }

// The path a folder-relative call names.
std::string PathAt(int folder, const char* name) {
  if (folder == AT_FDCWD || name[0] == '/') return name;
  char link[64], path[4096] = {};
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", folder);
  if (::readlink(link, path, sizeof path - 1) < 0) return name;
  return std::string(path) + "/" + name;
}

ssize_t NoCopyRange(int, off_t*, int, off_t*, size_t, unsigned) {
  errno = ENOSYS;
  return -1;
}
}  // namespace

using FileUpdate = UpdateFixture;

namespace {
// Only y spans blocks: three of them.
std::string Contents(const std::string& name) { return name == "y" ? std::string(3 * 65536, 'y') : "new " + name; }
}  // namespace

TEST_F(FileUpdate, BacksUpWhatItReplacesAndAddsTheRest) {
  Dir.WriteFile("package/c/Data/a.xml", "new a");
  Dir.WriteFile("package/c/Data/Новые/b.xml", "new b");
  Dir.WriteFile("package/c/bin/tool", "new tool");
  Dir.WriteFile("package/d/empty.txt", "");
  Dir.MakeDir("package/d/Пустая папка");
  Dir.WriteFile("common/Data/a.xml", "old a");
  Dir.WriteFile("common/bin/tool", "old tool");
  ASSERT_EQ(::chmod(Common("bin/tool").c_str(), 0750), 0);
  ASSERT_EQ(::chmod(Package("c/bin/tool").c_str(), 0755), 0);

  ASSERT_TRUE(Run());
  const std::string backup = CommonRoots().Backup;
  EXPECT_TRUE(Logged({Created(backup + "Data/"), Saved("Data/a.xml"), Updated("Data/a.xml")}));
  EXPECT_TRUE(Logged({Created(backup + "bin/"), Saved("bin/tool"), Updated("bin/tool")}));
  EXPECT_TRUE(Logged({Created(Common("Data/Новые/")), Added("Data/Новые/b.xml")}));
  EXPECT_TRUE(Logged({Added("empty.txt")}));
  const std::size_t entries = DataList.Count();
  EXPECT_EQ(entries, 8u);  // three folders and two files of the first package, a file and a folder of the second
  EXPECT_EQ(std::vector<std::string>(Host.Lines.end() - 4, Host.Lines.end()),
            (std::vector<std::string>{"Все файлы обновлены.", "Количество обновленных файлов: 8", "",
                                      "Для продолжения нажмите \"Далее>\""}));
  EXPECT_EQ(Host.OverallSteps, 8);
  EXPECT_TRUE(Host.Boxes.empty());

  EXPECT_EQ(Dir.ReadFile("common/Data/a.xml"), "new a");
  EXPECT_EQ(Dir.ReadFile("common/Data/Новые/b.xml"), "new b");
  EXPECT_EQ(Dir.ReadFile("docs/empty.txt"), "");
  EXPECT_FALSE(platform::DirectoryExists(Docs("Пустая папка")));
  EXPECT_FALSE(platform::DirectoryExists(DocsRoots().Backup));  // nothing replaced there
  // The backup is the original itself: content and mode.
  EXPECT_EQ(ReadWholeFile(backup + "Data/a.xml"), "old a");
  EXPECT_EQ(ReadWholeFile(backup + "bin/tool"), "old tool");
  EXPECT_EQ(ModeOf(backup + "bin/tool"), 0750u);
  // Copies give everyone access, executables stay executable.
  EXPECT_EQ(ModeOf(Common("Data/a.xml")), 0666u);
  EXPECT_EQ(ModeOf(Common("bin/tool")), 0777u);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(FileUpdate, PerFileProgressMovesByWholePercentsPerBlock) {
  struct {
    std::size_t Size;
    std::vector<int> Progress;
  } cases[] = {
      {65537, {100}},  // 65536 of 65537 rounds to 100, the last byte adds nothing
      {65536 * 3 + 32768, {29, 57, 86, 100}},
      {1, {100}},
      {0, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Size);
    Dir.WriteFile("package/c/file", std::string(c.Size, 'x'));
    std::filesystem::remove_all(Dir.File("common/QuentaBackup"));  // each run makes its own
    Host = {};
    ASSERT_TRUE(Run());
    EXPECT_EQ(Host.FileProgress, c.Progress);
    EXPECT_EQ(Dir.ReadFile("common/file").size(), c.Size);
  }
}

// Sizes are 64-bit: a source past 4 GiB, read as zeros and written nowhere, goes through whole.
TEST_F(FileUpdate, FilesOfFourGibibytesAndMoreCopyWhole) {
  static const off_t Size = (off_t{1} << 32) + 5;
  static std::uint64_t written = 0;
  written = 0;
  Dir.WriteFile("package/c/huge", "");
  ScopedSysCall<decltype(SysCalls::copy_file_range)> plain(&SysCalls::copy_file_range, NoCopyRange);
  ScopedSysCall<decltype(SysCalls::fstat)> size(&SysCalls::fstat, [](int fd, struct stat* st) {
    int r = ::fstat(fd, st);
    if (r == 0 && st->st_size == 0 && S_ISREG(st->st_mode)) st->st_size = Size;
    return r;
  });
  ScopedSysCall<decltype(SysCalls::pread)> zeros(&SysCalls::pread, [](int, void* buf, size_t n, off_t at) -> ssize_t {
    auto count = static_cast<size_t>(std::min<off_t>(static_cast<off_t>(n), Size - at));
    std::memset(buf, 0, count);
    return static_cast<ssize_t>(count);
  });
  ScopedSysCall<decltype(SysCalls::write)> nowhere(&SysCalls::write, [](int, const void*, size_t n) -> ssize_t {
    written += n;
    return static_cast<ssize_t>(n);
  });
  ASSERT_TRUE(Run());
  EXPECT_EQ(written, static_cast<std::uint64_t>(Size));
  EXPECT_EQ(Host.FileProgress.back(), 100);
  EXPECT_TRUE(Logged({Added("huge")}));
}

// Each fault strikes "y/y.dat" alone; "x/x.dat" and "z/z.dat" are updated all the same, and the
// original of y is where it was, with its content and mode.
TEST_F(FileUpdate, FaultsOfOneFileLoseNothingAndTheOthersAreUpdated) {
  static std::string ySource;
  static int blockWrites = 0;
  enum TFault { DiskFull, TargetDenied, ReadError, TargetVanishes, BackupFolderDenied, SourceShrinks };
  struct {
    TFault Fault;
    bool Box;           // the copy says why in a box
    bool BackedUp;      // the original went into the backup before the copy failed
    std::string BoxStart;
  } cases[] = {
      {DiskFull, true, true, "Ошибка при записи:\r\n" + platform::SystemErrorText(ENOSPC)},
      {TargetDenied, true, true, "Step: 2 - " + platform::SystemErrorText(EACCES)},
      {ReadError, true, true, platform::SystemErrorText(EIO) + "\r\nТекущая позиция = 65536\r\n"},
      {TargetVanishes, false, false, ""},
      {BackupFolderDenied, false, false, ""},
      {SourceShrinks, true, true, platform::SystemErrorText(ENODATA) + "\r\nТекущая позиция = 131072\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Fault);
    for (const char* folder : {"package", "common"}) std::filesystem::remove_all(Dir.File(folder));
    Host = {};
    for (const char* name : {"x", "y", "z"}) {
      Dir.WriteFile(std::string("package/c/") + name + "/" + name + ".dat", Contents(name));
      Dir.WriteFile(std::string("common/") + name + "/" + name + ".dat", std::string("old ") + name);
      ASSERT_EQ(::chmod(Common(std::string(name) + "/" + name + ".dat").c_str(), 0640), 0);
    }
    ySource = Package("c/y/y.dat");
    blockWrites = 0;

    ScopedSysCall<decltype(SysCalls::copy_file_range)> plain(&SysCalls::copy_file_range, NoCopyRange);
    std::optional<ScopedSysCall<decltype(SysCalls::write)>> write;
    std::optional<ScopedSysCall<decltype(SysCalls::openat)>> open;
    std::optional<ScopedSysCall<decltype(SysCalls::pread)>> pread;
    std::optional<ScopedSysCall<decltype(SysCalls::renameat2)>> rename;
    std::optional<ScopedSysCall<decltype(SysCalls::mkdirat)>> mkdir;
    switch (c.Fault) {
      case DiskFull:  // the disk fills at y's second block
        write.emplace(&SysCalls::write, [](int fd, const void* b, size_t n) -> ssize_t {
          if (n == 65536 && ++blockWrites == 2) {
            errno = ENOSPC;
            return -1;
          }
          return ::write(fd, b, n);
        });
        break;
      case TargetDenied:
        open.emplace(&SysCalls::openat, [](int folder, const char* name, int flags, mode_t mode) {
          if (PathAt(folder, name).find("/common/y/.quenta-") != std::string::npos) {
            errno = EACCES;
            return -1;
          }
          return ::openat(folder, name, flags | O_CLOEXEC, mode);
        });
        break;
      case ReadError:
        pread.emplace(&SysCalls::pread, [](int fd, void* b, size_t n, off_t at) -> ssize_t {
          char link[64], path[4096] = {};
          std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
          if (at == 65536 && ::readlink(link, path, sizeof path - 1) > 0 && ySource == path) {
            errno = EIO;
            return -1;
          }
          return ::pread(fd, b, n, at);
        });
        break;
      case TargetVanishes:  // someone removes it just before it is moved into the backup
        rename.emplace(&SysCalls::renameat2, [](int fromFolder, const char* from, int toFolder, const char* to,
                                                unsigned flags) {
          if (PathAt(fromFolder, from).ends_with("/common/y/y.dat")) ::unlinkat(fromFolder, from, 0);
          return ::renameat2(fromFolder, from, toFolder, to, flags);
        });
        break;
      case BackupFolderDenied:
        mkdir.emplace(&SysCalls::mkdirat, [](int folder, const char* name, mode_t mode) {
          const std::string path = PathAt(folder, name);
          if (path.find("QuentaBackup") != std::string::npos && path.ends_with("/y")) {
            errno = EACCES;
            return -1;
          }
          return ::mkdirat(folder, name, mode);
        });
        break;
      case SourceShrinks:
        // Cut short after its second block, while the copy is on it.
        Host.OnPump = [&](int) {
          if (Host.Status == ySource && !Host.FileProgress.empty() && Host.FileProgress.back() == 33) {
            ASSERT_EQ(::truncate(ySource.c_str(), 10), 0);
          }
        };
        break;
    }
    ASSERT_TRUE(Run());

    for (const char* name : {"x", "z"}) {
      std::string rel = std::string(name) + "/" + name + ".dat";
      EXPECT_TRUE(Dir.ReadFile("common/" + rel) == Contents(name)) << rel;
      EXPECT_TRUE(Logged({Saved(rel), Updated(rel)}));
    }
    if (c.Fault != TargetVanishes) {
      EXPECT_EQ(Dir.ReadFile("common/y/y.dat"), "old y");
      EXPECT_EQ(ModeOf(Common("y/y.dat")), 0640u);
    }
    if (c.BackedUp) {
      EXPECT_TRUE(Logged({Saved("y/y.dat"), Failed("y/y.dat"), Restored("y/y.dat")}));
    } else {
      EXPECT_TRUE(Logged({BackupFailed("y/y.dat"), Failed("y/y.dat")}));
    }
    if (c.Fault == BackupFolderDenied) {
      EXPECT_TRUE(Logged({"Не удалось создать директорию " + Q(CommonRoots().Backup + "y/") + ": " +
                              platform::SystemErrorText(EACCES),
                          BackupFailed("y/y.dat")}));
    }
    ASSERT_EQ(Host.Boxes.size(), c.Box ? 1u : 0u);
    if (c.Box) {
      EXPECT_TRUE(Host.Boxes[0].starts_with(c.BoxStart)) << Host.Boxes[0];
    }
    EXPECT_EQ(Host.Lines.back(), "Для продолжения нажмите \"Далее>\"");
    EXPECT_TRUE(Leftovers().empty());
  }
}

TEST_F(FileUpdate, NoLinkOfSomeoneElseLeadsTheUpdateOutOfTheFolders) {
  TForeignLinks links;
  std::string secret = Dir.WriteFile("outside/secret", "secret");
  std::string theirs = Dir.WriteFile("outside/folder/y.dat", "outside y");
  ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
  ASSERT_EQ(::chmod(theirs.c_str(), 0640), 0);
  Dir.WriteFile("package/c/x/x.dat", "new x");
  Dir.WriteFile("package/c/y/y.dat", "new y");
  Dir.WriteFile("package/c/z/z.dat", "new z");
  Dir.MakeDir("common/x");
  links.Plant(secret, Common("x/x.dat"));                   // a link at a target
  links.Plant(Dir.File("outside/folder"), Common("y"));     // a folder link on the way
  ASSERT_EQ(::symlink(Dir.File("outside/mine").c_str(), Common("z").c_str()), 0);  // our own: followed
  Dir.MakeDir("outside/mine");

  ASSERT_TRUE(Run());
  EXPECT_EQ(Dir.ReadFile("outside/secret"), "secret");
  EXPECT_EQ(ModeOf(secret), 0600u);
  EXPECT_EQ(Dir.ReadFile("outside/folder/y.dat"), "outside y");
  EXPECT_EQ(ModeOf(theirs), 0640u);
  // The link at the target went into the backup as itself and a file took its place.
  EXPECT_TRUE(Logged({Saved("x/x.dat"), Updated("x/x.dat")}));
  EXPECT_TRUE(platform::GetLinkEntry(CommonRoots().Backup + "x/x.dat")->IsSymbolicLink);
  EXPECT_FALSE(platform::GetLinkEntry(Common("x/x.dat"))->IsSymbolicLink);
  EXPECT_EQ(Dir.ReadFile("common/x/x.dat"), "new x");
  EXPECT_TRUE(Logged({"Путь проходит через чужую символическую ссылку " + Q(Common("y")) + ", файл не обновлен.",
                      Failed("y/y.dat")}));
  EXPECT_EQ(Dir.ReadFile("outside/mine/z.dat"), "new z");
  EXPECT_TRUE(Host.Boxes.empty());
}

// Where the backup folder lies on another file system the original is copied with its mode and
// times, so a rolled-back executable is still executable.
TEST_F(FileUpdate, BackupAcrossFileSystemsKeepsModeAndTimes) {
  Dir.WriteFile("package/c/tool", "new");
  Dir.WriteFile("common/tool", "old");
  ASSERT_EQ(::chmod(Common("tool").c_str(), 0755), 0);
  struct timespec old[2] = {{1000000000, 0}, {1100000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, Common("tool").c_str(), old, 0), 0);
  ScopedSysCall<decltype(SysCalls::renameat2)> exdev(&SysCalls::renameat2, [](int fromFolder, const char* from,
                                                                                int toFolder, const char* to, unsigned flags) {
    if (!std::strstr(from, ".quenta-")) {
      errno = EXDEV;
      return -1;
    }
    return ::renameat2(fromFolder, from, toFolder, to, flags);
  });
  ASSERT_TRUE(Run());
  EXPECT_TRUE(Logged({Saved("tool"), Updated("tool")}));
  const std::string kept = CommonRoots().Backup + "tool";
  EXPECT_EQ(ReadWholeFile(kept), "old");
  EXPECT_EQ(ModeOf(kept), 0755u);
  struct stat st {};
  ASSERT_EQ(::stat(kept.c_str(), &st), 0);
  EXPECT_EQ(st.st_mtime, 1100000000);
}

// With a verified manifest every block passes through memory and is hashed as written; a file
// that is not as listed when the copy reads it (changed after the check: here through the
// system-call table, while its blocks are read) raises before it replaces anything, its original
// back in place and no temporary left. Without a change the copy is the plain one, byte for byte.
TEST_F(FileUpdate, AManifestHashesTheWrittenBlocksAndAChangedFileRaises) {
  static std::string ySource;
  static bool flipSecondBlock = false;
  static int copyRanges = 0;
  enum TChange { None, BytesWhileCopied, SizeSinceCheck, AddedSinceCheck };
  for (const TChange change : {None, BytesWhileCopied, SizeSinceCheck, AddedSinceCheck}) {
    SCOPED_TRACE(change);
    for (const char* folder : {"package", "common"}) std::filesystem::remove_all(Dir.File(folder));
    Host = {};
    TPackageManifest manifest;
    for (const char* name : {"x", "y", "z"}) {
      const std::string rel = std::string(name) + "/" + name + ".dat";
      Dir.WriteFile("package/c/" + rel, Contents(name));
      Dir.WriteFile("common/" + rel, std::string("old ") + name);
      manifest.Entries.push_back({CommonPackageFolder + rel, false, Contents(name).size(), crypto::Sha256(Contents(name))});
    }
    for (const char* folder : {"x", "y", "z"}) manifest.Entries.push_back({CommonPackageFolder + std::string(folder), true});
    std::sort(manifest.Entries.begin(), manifest.Entries.end(), [](auto& a, auto& b) { return a.Path < b.Path; });
    if (change == SizeSinceCheck) Dir.WriteFile("package/c/y/y.dat", Contents("y") + "!");
    if (change == AddedSinceCheck) Dir.WriteFile("package/c/y/extra.dat", "extra");
    ySource = Package("c/y/y.dat");
    flipSecondBlock = change == BytesWhileCopied;
    copyRanges = 0;
    ScopedSysCall<decltype(SysCalls::copy_file_range)> counted(
        &SysCalls::copy_file_range, [](int in, off_t* at, int out, off_t* outAt, size_t n, unsigned flags) -> ssize_t {
          ++copyRanges;
          return ::copy_file_range(in, at, out, outAt, n, flags);
        });
    ScopedSysCall<decltype(SysCalls::pread)> pread(&SysCalls::pread, [](int fd, void* buf, size_t n, off_t at) -> ssize_t {
      const ssize_t r = ::pread(fd, buf, n, at);
      if (flipSecondBlock && at == 65536 && r > 0 && PathAt(fd, "") == ySource + "/") static_cast<char*>(buf)[7] ^= 1;
      return r;
    });
    DataList = Scan();
    TFileUpdate update(Host, CommonRoots(), DocsRoots());
    update.SetManifest(&manifest);
    if (change == None) {
      ASSERT_TRUE(update.Run(DataList));
      for (const char* name : {"x", "y", "z"}) EXPECT_EQ(Dir.ReadFile(std::string("common/") + name + "/" + name + ".dat"), Contents(name));
      EXPECT_EQ(copyRanges, 0);
      continue;
    }
    const char* expected[] = {"", "изменено содержимое файла \"QuentaSetupData/Client/y/y.dat\"",
                              "изменен размер файла \"QuentaSetupData/Client/y/y.dat\"",
                              "файл \"y/extra.dat\" не указан в описи пакета"};
    try {
      update.Run(DataList);
      ADD_FAILURE() << "no EPackageChanged";
    } catch (const EPackageChanged& e) {
      EXPECT_NE(e.Message().find(expected[change]), std::string::npos) << e.Message();
    }
    EXPECT_EQ(Dir.ReadFile("common/x/x.dat"), Contents("x"));  // the session's rollback takes it back
    EXPECT_EQ(Dir.ReadFile("common/y/y.dat"), "old y");
    EXPECT_EQ(Dir.ReadFile("common/z/z.dat"), "old z");
    EXPECT_FALSE(platform::FileOrLinkExists(Common("y/extra.dat")));
    EXPECT_TRUE(Leftovers().empty());
  }
}
