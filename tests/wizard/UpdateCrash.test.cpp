// The unattended update stopped just before each of its changing system calls in turn, in a child
// process, with and without a power cut at the stop, then restored: every file of the client, its
// settings and the desktop is its original or its complete new version, nothing is left half
// written or as litter, and a rerun completes. The package is small so that every stopping point is
// tried (a few hundred of them).
//
// A power cut is modelled on what the file system keeps: names (renames, creations, removals are
// journalled) and the data of a file up to its last fsync, or the last syncfs of its file system;
// everything written after that is dropped (a new file's data entirely).

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "Common.XMLUtils.h"
#include "Setup.BackupFolder.h"
#include "Setup.Host.h"
#include "Setup.Unattended.h"
#include "WizardTestSupport.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/FormatSettings.h"
#include "platform/posix/SysCalls.h"

namespace fs = std::filesystem;
using platform::posix::Sys;
using platform::posix::SysCalls;

namespace {

class TQuietHost : public ISetupHost {
 public:
  void Log(const std::string& l) override { if (getenv("CRASH_DEBUG")) fprintf(stderr, "log: %s\n", l.c_str()); }
  void SetStatus(const std::string&) override {}
  void SetOverallMaximum(int) override {}
  void StepOverall() override {}
  void SetFileProgress(int) override {}
  void ProcessMessages() override {}
  void ShowMessage(const std::string& l) override { if (getenv("CRASH_DEBUG")) fprintf(stderr, "box: %s\n", l.c_str()); }
  void ShowError(const std::string& l) override { if (getenv("CRASH_DEBUG")) fprintf(stderr, "err: %s\n", l.c_str()); }
  bool CancelRequested() const override { return false; }
};

// --- the stop and the power cut, inside the child --------------------------------------------

struct TTrackedFile {
  int Dup = -1;           // kept open: the file may be renamed or unlinked meanwhile
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t SyncedLength = 0;
  bool Dirty = false;
};

SysCalls Real;
long StopAt = LONG_MAX;
long Calls = 0;
bool CutPower = false;
std::vector<TTrackedFile> Tracked;

TTrackedFile* TrackedOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return nullptr;
  for (TTrackedFile& file : Tracked)
    if (file.Device == st.st_dev && file.Inode == st.st_ino) return &file;
  return nullptr;
}

void Track(int fd, bool created) {
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || TrackedOf(fd)) return;
  Tracked.push_back({::dup(fd), st.st_dev, st.st_ino, created ? 0 : st.st_size, false});
}

void Written(int fd) {
  if (TTrackedFile* file = TrackedOf(fd)) file->Dirty = true;
}

void Synced(TTrackedFile& file) {
  struct stat st {};
  if (::fstat(file.Dup, &st) == 0) file.SyncedLength = st.st_size;
  file.Dirty = false;
}

void DropUnsyncedData() {
  for (TTrackedFile& file : Tracked)
    if (file.Dirty && ::ftruncate(file.Dup, file.SyncedLength) != 0) std::perror("ftruncate");
}

// Called before every changing call: the N-th one never happens.
void Step() {
  if (++Calls < StopAt) return;
  if (CutPower) DropUnsyncedData();
  ::_exit(77);
}

bool Changes(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC)) != 0; }

void InstallStopper() {
  SysCalls& sys = Sys();
  Real = sys;
  sys.open = [](const char* path, int flags, mode_t mode) {
    if (!Changes(flags)) return Real.open(path, flags, mode);
    Step();
    const bool existed = ::access(path, F_OK) == 0;
    int fd = Real.open(path, flags, mode);
    Track(fd, !existed || (flags & O_TRUNC));
    return fd;
  };
  sys.openat = [](int folder, const char* name, int flags, mode_t mode) {
    if (!Changes(flags)) return Real.openat(folder, name, flags, mode);
    Step();
    const bool existed = ::faccessat(folder, name, F_OK, AT_SYMLINK_NOFOLLOW) == 0;
    int fd = Real.openat(folder, name, flags, mode);
    Track(fd, !existed || (flags & O_TRUNC));
    return fd;
  };
  sys.write = [](int fd, const void* buffer, size_t count) {
    Step();
    Written(fd);
    return Real.write(fd, buffer, count);
  };
  sys.copy_file_range = [](int in, off_t* inOffset, int out, off_t* outOffset, size_t length, unsigned flags) {
    Step();
    Written(out);
    return Real.copy_file_range(in, inOffset, out, outOffset, length, flags);
  };
  sys.ftruncate = [](int fd, off_t length) {
    Step();
    Written(fd);
    return Real.ftruncate(fd, length);
  };
  // Syncs are simulated: the model is what they promise, and the test stays fast.
  sys.fsync = [](int fd) {
    Step();
    if (TTrackedFile* file = TrackedOf(fd)) Synced(*file);
    return 0;
  };
  sys.syncfs = [](int fd) {
    Step();
    struct stat st {};
    if (::fstat(fd, &st) == 0)
      for (TTrackedFile& file : Tracked)
        if (file.Device == st.st_dev) Synced(file);
    return 0;
  };
  sys.mkdir = [](const char* path, mode_t mode) { return Step(), Real.mkdir(path, mode); };
  sys.mkdirat = [](int folder, const char* name, mode_t mode) { return Step(), Real.mkdirat(folder, name, mode); };
  sys.unlink = [](const char* path) { return Step(), Real.unlink(path); };
  sys.unlinkat = [](int folder, const char* name, int flags) { return Step(), Real.unlinkat(folder, name, flags); };
  sys.rmdir = [](const char* path) { return Step(), Real.rmdir(path); };
  sys.rename = [](const char* from, const char* to) { return Step(), Real.rename(from, to); };
  sys.renameat2 = [](int fromFolder, const char* from, int toFolder, const char* to, unsigned flags) {
    return Step(), Real.renameat2(fromFolder, from, toFolder, to, flags);
  };
  sys.fchmod = [](int fd, mode_t mode) { return Step(), Real.fchmod(fd, mode); };
  sys.chmod = [](const char* path, mode_t mode) { return Step(), Real.chmod(path, mode); };
  sys.futimens = [](int fd, const struct timespec times[2]) { return Step(), Real.futimens(fd, times); };
  sys.symlink = [](const char* target, const char* path) { return Step(), Real.symlink(target, path); };
  sys.acl_set_fd = [](int fd, acl_t acl) { return Step(), Real.acl_set_fd(fd, acl); };
}

// --- the parent's side ---------------------------------------------------------------------------

using TFiles = std::map<std::string, std::string>;  // path relative to the sandbox -> bytes

class UpdateTransaction : public ::testing::Test {
 protected:
  const std::string CommonRoot = "common/Orvel/OrvelKvelo 7/Client/";
  const std::string DocsRoot = "home/Documents/Орвел-Квело/";
  const std::string SettingsRoot = "home/.local/share/Orvel/OrvelKvelo 7/Client/Settings/";

  void SetUp() override {
    Client.InstallClient();
    // Both packages: a replaced file of four blocks, a replaced small one, new folders with new
    // files; the merge of CommonSetting.xml, a shortcut and a registered folder.
    Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", std::string(3 * 65536 + 1000, 'n'));
    Package.WriteFile("QuentaSetupData/Client/Data/Новые/b.xml", "<b/>");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2015");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Примеры/Пример.txt", "пример");
    Package.WriteFile("settings.ini",  // UTF-8 with its byte-order mark, as the package's authors keep it
                      "\xEF\xBB\xBF[CommonSettings.XML]\nExternalFileExts=.pdf\n"
                      "[links]\nshowdialog=0\n1=Примеры\n[connections]\nshowdialog=0\n1=Нормативы\n");
  }

  std::string At(const std::string& rel) const { return Client.Root().File(rel); }

  // The client as the user had it before the update.
  void LayOriginals() {
    for (const char* top : {"common", "home"}) fs::remove_all(At(top));
    for (const char* folder : {"common", "home/.config", "home/.local/share", "home/Desktop"}) fs::create_directories(At(folder));
    Client.Root().WriteFile(CommonRoot + "Templates/Itog.xlt", std::string(2 * 65536 + 7, 'o'));
    Client.Root().WriteFile(CommonRoot + "Templates/Свой.xlt", "the user's own");
    Client.Root().WriteFile(DocsRoot + "Нормативы/Сборник 01.txt", "Сборник 2014");
    Client.Root().WriteFile(SettingsRoot + "CommonSetting.xml",
                            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Options ExternalFileExts=\".doc\"/>\n");
    Client.Root().WriteFile("home/Desktop/Мой.desktop", "[Desktop Entry]\nType=Link\nName=Мой\nURL=file:///\n");
  }

  // Every file of the client's folders, the settings and the desktop; backups and the wizard's
  // own state apart.
  TFiles Snapshot() const {
    TFiles files;
    for (const char* top : {"common", "home"})
      for (const auto& e : fs::recursive_directory_iterator(At(top))) {
        const std::string rel = fs::relative(e.path(), Client.Root().Path()).string();
        if (e.is_regular_file() && rel.find("/QuentaBackup/") == std::string::npos &&
            !rel.starts_with("home/.local/state/"))
          files[rel] = ReadWholeFile(e.path().string());
      }
    // Each registration draws a new instance id.
    for (auto& [rel, bytes] : files)
      if (rel.ends_with("Connections.xml")) bytes = std::regex_replace(bytes, std::regex("InstanceUID=\"[0-9A-F]*\""), "");
    return files;
  }

  static std::string NewVersionOf(const TFiles& files, const std::string& rel) {
    return files.count(rel) ? files.at(rel) : std::string();
  }

  // The paths whose bytes differ, for a short report.
  static std::string Differences(const TFiles& a, const TFiles& b) {
    std::string text;
    for (const auto& [rel, bytes] : a)
      if (!b.count(rel) || b.at(rel) != bytes) text += " " + rel;
    for (const auto& [rel, bytes] : b)
      if (!a.count(rel)) text += " +" + rel;
    return text;
  }

  std::vector<std::string> Temporaries() const {
    std::vector<std::string> found;
    for (const char* top : {"common", "home"})
      for (const auto& e : fs::recursive_directory_iterator(At(top)))
        if (platform::IsTemporaryName(e.path().filename().string()) || e.path().extension() == ".tmp")
          found.push_back(e.path().string());
    return found;
  }

  // An original not at its place must be whole in a backup folder of its root.
  bool InBackup(const std::string& rel, const std::string& bytes) const {
    for (const std::string& root : {CommonRoot, DocsRoot}) {
      if (!rel.starts_with(root)) continue;
      const std::string backups = At(root + "QuentaBackup");
      if (!fs::is_directory(backups)) return false;
      for (const auto& stamp : fs::directory_iterator(backups)) {
        const fs::path kept = stamp.path() / rel.substr(root.size());
        if (fs::is_regular_file(kept) && ReadWholeFile(kept.string()) == bytes) return true;
      }
    }
    return false;
  }

  // Runs the update in a child stopped before its StopAt-th changing call; its exit code (77 when
  // stopped). With CountTo the child writes how many changing calls a whole run made.
  int RunChild(long stopAt, bool cutPower, const std::string& countTo = {}) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      StopAt = stopAt;
      CutPower = cutPower;
      InstallStopper();
      TQuietHost host;
      const TUnattendedResult result = RunUnattendedUpdate(host, Package.Path(), State());
      if (cutPower) DropUnsyncedData();  // a cut right after the run
      if (!countTo.empty()) {
        FILE* out = std::fopen(countTo.c_str(), "w");
        std::fprintf(out, "%ld\n", Calls);
        std::fclose(out);
      }
      ::_exit(static_cast<int>(result));
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string State() const { return At("home/.local/state/orvel/quenta-setup/"); }

  // After the restore: each file its original or its complete new version, nothing else.
  void CheckRestored(const std::string& when) {
    const TFiles now = Snapshot();
    for (const auto& [rel, bytes] : Originals) {
      auto it = now.find(rel);
      if (it == now.end()) {
        ADD_FAILURE() << when << ": original lost: " << rel;
      } else if (it->second != bytes) {
        if (NewVersion.count(rel) == 0 || it->second != NewVersion.at(rel)) ADD_FAILURE() << when << ": broken: " << rel;
        else if (!rel.starts_with(SettingsRoot) && !InBackup(rel, bytes))
          ADD_FAILURE() << when << ": original not in a backup: " << rel;
      }
    }
    for (const auto& [rel, bytes] : now)
      if (Originals.count(rel) == 0 && (NewVersion.count(rel) == 0 || NewVersion.at(rel) != bytes))
        ADD_FAILURE() << when << ": stray or half-written: " << rel << " (" << bytes.size() << " bytes)";
    for (const std::string& path : Temporaries()) ADD_FAILURE() << when << ": temporary left: " << path;
    for (const char* file : {"CommonSetting.xml", "Connections.xml"}) {
      const std::string path = At(SettingsRoot + file);
      if (!fs::exists(path)) continue;
      TXMLDocument document;
      EXPECT_NO_THROW(document.LoadFromFile(path)) << when << ": " << file;
    }
  }

  TClientSandbox Client;
  TTempDir Package;
  TTempDir Scratch;
  TFiles Originals, NewVersion;
};

TEST_F(UpdateTransaction, EveryStopAndEveryPowerCutIsRestoredAndARerunCompletes) {
  // A syncing run in the parent would flush the whole disk each time; the model needs none.
  platform::posix::ScopedSysCall<decltype(SysCalls::syncfs)> noSyncfs(&SysCalls::syncfs, [](int) { return 0; });
  platform::posix::ScopedSysCall<decltype(SysCalls::fsync)> noFsync(&SysCalls::fsync, [](int) { return 0; });
  LayOriginals();
  Originals = Snapshot();
  const std::string count = Scratch.File("count");
  ASSERT_EQ(RunChild(LONG_MAX, false, count), 0);
  NewVersion = Snapshot();
  ASSERT_NE(NewVersion.at(CommonRoot + "Templates/Itog.xlt"), Originals.at(CommonRoot + "Templates/Itog.xlt"));
  ASSERT_TRUE(NewVersion.count("home/Desktop/Примеры.desktop"));
  ASSERT_TRUE(NewVersion.count(SettingsRoot + "Connections.xml"));
  const long total = std::stol(ReadWholeFile(count));
  ASSERT_GT(total, 20);
  std::cout << "changing calls of the whole run, each one a stopping point: " << total << "\n";

  TQuietHost host;
  for (bool cut : {false, true}) {
    for (long n = 1; n <= total + 1; ++n) {
      const std::string when = std::string(cut ? "power cut" : "stop") + " before changing call " + std::to_string(n);
      LayOriginals();
      const int exit = RunChild(n, cut);
      ASSERT_TRUE(exit == 77 || (n > total && exit == 0)) << when << ": exit " << exit;
      RestoreInterruptedUpdates(host, State());
      CheckRestored(when);
      ASSERT_EQ(RunUnattendedUpdate(host, Package.Path(), State()), TUnattendedResult::urDone) << when;
      EXPECT_EQ(Differences(Snapshot(), NewVersion), "") << when << ": the rerun";
      EXPECT_TRUE(Temporaries().empty()) << when << ": the rerun";
      if (HasFailure()) return;  // one stopping point's report is enough to go on
    }
  }
}

// A cut a moment after a finished run: what the run committed is on the disk.
TEST_F(UpdateTransaction, PowerCutRightAfterAFinishedRunLosesNothing) {
  platform::posix::ScopedSysCall<decltype(SysCalls::syncfs)> noSyncfs(&SysCalls::syncfs, [](int) { return 0; });
  platform::posix::ScopedSysCall<decltype(SysCalls::fsync)> noFsync(&SysCalls::fsync, [](int) { return 0; });
  LayOriginals();
  Originals = Snapshot();
  ASSERT_EQ(RunChild(LONG_MAX, false), 0);
  NewVersion = Snapshot();
  LayOriginals();
  ASSERT_EQ(RunChild(LONG_MAX, true), 0);
  EXPECT_EQ(Differences(Snapshot(), NewVersion), "");
  TQuietHost host;
  EXPECT_EQ(RestoreInterruptedUpdates(host, State()), 0);
  CheckRestored("after the run");
  EXPECT_EQ(RunUnattendedUpdate(host, Package.Path(), State()), TUnattendedResult::urDone);
}

// Runs a moment apart share a stamp: each takes a backup folder of its own and never moves a file
// into one it did not make, so every original survives both.
TEST_F(UpdateTransaction, TwoRunsInOneSecondKeepEveryOriginal) {
  platform::posix::ScopedSysCall<decltype(SysCalls::syncfs)> noSyncfs(&SysCalls::syncfs, [](int) { return 0; });
  platform::posix::ScopedSysCall<decltype(SysCalls::fsync)> noFsync(&SysCalls::fsync, [](int) { return 0; });
  LayOriginals();
  Originals = Snapshot();
  // Someone's backups under the stamps of the next seconds: whatever second the runs start in,
  // its stamp is taken.
  std::vector<std::string> foreign;
  for (const std::string& root : {CommonRoot, DocsRoot})
    for (int second = 0; second < 4; ++second) {
      const std::string folder = BackupFolderOf(At(root), platform::Now() + second / 86400.0, platform::FormatSettings());
      fs::create_directories(folder + "Templates");
      WriteWholeFile(folder + "Templates/Itog.xlt", "another run's original");
      foreign.push_back(folder);
    }
  TQuietHost host;
  ASSERT_EQ(RunUnattendedUpdate(host, Package.Path(), State()), TUnattendedResult::urDone);
  const TFiles first = Snapshot();
  ASSERT_EQ(RunUnattendedUpdate(host, Package.Path(), State()), TUnattendedResult::urDone);
  for (const auto& [rel, bytes] : Originals)
    if (!rel.starts_with(SettingsRoot) && bytes != NewVersionOf(first, rel)) {
      EXPECT_TRUE(InBackup(rel, bytes)) << rel << ": the original is gone";
    }
  for (const std::string& folder : foreign) {
    std::size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(folder)) files += e.is_regular_file();
    EXPECT_EQ(files, 1u) << folder;
    EXPECT_EQ(ReadWholeFile(folder + "Templates/Itog.xlt"), "another run's original") << folder;
  }
}

}  // namespace
