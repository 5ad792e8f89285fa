// The program without a window: every exit code of -silent from a real situation, and the crash
// test: the update killed at random moments of its copy, then -restore-only.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "Setup.Manifest.h"
#include "Setup.Minisign.h"
#include "WizardTestSupport.h"
#include "platform/CodePages.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"
#include "support/ForeignLinks.h"
#include "support/RefusedPackageItems.h"

extern char** environ;

namespace {

struct TRun {
  int ExitCode = -1;  // -1 when killed
  std::string Output;
  std::string Errors;
};

class QuentaSetupUnattended : public ::testing::Test {
 protected:
  void SetUp() override {
    Program = Package.File("quenta-setup");
    platform::CopyFile(KV_QUENTA_SETUP, Program, false);
  }

  std::string Common(const std::string& rel) const { return Client.Root().File("common/Orvel/OrvelKvelo 7/Client/" + rel); }
  std::string Docs(const std::string& rel) const { return Client.Root().File("home/Documents/Орвел-Квело/" + rel); }
  std::string SettingsFolder() const { return Client.Root().File("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings/"); }
  std::string StateFolder() const { return Client.Root().File("home/.local/state/orvel/quenta-setup/"); }

  // Runs the program with Switch; with KillAfterLines > 0 it is killed by SIGKILL once it has
  // written that many lines to standard output.
  TRun Run(const std::string& Switch, int KillAfterLines = 0, std::vector<std::string> More = {}) {
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    const std::string errors = Scratch.File("stderr.txt");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> args{Program, Switch};
    args.insert(args.end(), More.begin(), More.end());
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, Program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    // A run that hangs is killed, so that it fails instead of blocking the tests.
    std::optional<TWatchdog> guard;
    if (TimeoutSeconds > 0) guard.emplace(TimeoutSeconds, [pid] { ::kill(pid, SIGKILL); });
    TRun run;
    int lines = 0;
    char buffer[4096];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
      run.Output.append(buffer, static_cast<std::size_t>(n));
      for (ssize_t i = 0; i < n; ++i) lines += buffer[i] == '\n';
      if (KillAfterLines > 0 && lines >= KillAfterLines) {
        ::kill(pid, SIGKILL);
        break;
      }
    }
    ::close(out[0]);
    siginfo_t ended{};
    ::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOWAIT);  // the pid stays the child's
    guard.reset();
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.Errors = ReadWholeFile(errors);
    return run;
  }

  std::vector<std::string> FilesOfState(const std::string& extension) const {
    std::vector<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(StateFolder()))
      if (e.path().extension() == extension) found.push_back(e.path().string());
    return found;
  }

  // Every file below root, by path relative to it, with its bytes; the backup folders left out.
  static std::map<std::string, std::string> Contents(const std::string& root) {
    std::map<std::string, std::string> files;
    if (!platform::DirectoryExists(root)) return files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
      const std::string rel = std::filesystem::relative(e.path(), root).string();
      if (e.is_regular_file() && !rel.starts_with("QuentaBackup")) files[rel] = ReadWholeFile(e.path().string());
    }
    return files;
  }

  TClientSandbox Client;
  TTempDir Package;
  TTempDir Scratch;
  std::string Program;
  int TimeoutSeconds = 0;
};

TEST_F(QuentaSetupUnattended, UpdatesLikeAPersonPressingNextAndTellsByItsExitCode) {
  Client.InstallClient();
  Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2015");
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Примеры/Пример.txt", "пример");
  Package.WriteFile("settings.ini",  // UTF-8 with its byte-order mark, as the package's authors keep it
                    "\xEF\xBB\xBF[CommonSettings.XML]\nExternalFileExts=.pdf\n"
                    "[links]\nshowdialog=0\n1=Нормативы\\Сборник 01.txt\n2=Примеры\n"
                    "[connections]\n1=Нормативы\n2=docs.orvel-kvelo.ru\n");
  Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/Templates/Itog.xlt", "Итог 2014");
  Client.Root().MakeDir("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings");

  const TRun run = Run("/SILENT");
  EXPECT_EQ(run.ExitCode, 0) << run.Output << run.Errors;
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2015");
  EXPECT_EQ(ReadWholeFile(Docs("Нормативы/Сборник 01.txt")), "Сборник 2015");
  EXPECT_NE(ReadWholeFile(SettingsFolder() + "CommonSetting.xml").find(".pdf"), std::string::npos);
  // The shortcuts and data sources that settings.ini ticks, as the last pages would make them.
  EXPECT_NE(ReadWholeFile(Client.Root().File("home/Desktop/Сборник 01.txt.desktop")).find("Type=Link"), std::string::npos);
  EXPECT_TRUE(platform::FileExists(Client.Root().File("home/Desktop/Примеры.desktop")));
  const std::string connections = platform::AnsiToUtf8(ReadWholeFile(SettingsFolder() + "Connections.xml"));
  EXPECT_NE(connections.find("Address=\"" + Docs("Нормативы") + "\""), std::string::npos) << connections;
  EXPECT_EQ(connections.find("Примеры"), std::string::npos) << connections;
  EXPECT_NE(connections.find("Caption=\"docs.orvel-kvelo.ru\""), std::string::npos) << connections;
  EXPECT_NE(run.Output.find("Файл \"Templates/Itog.xlt\" сохранен в бэкапе."), std::string::npos) << run.Output;
  EXPECT_EQ(run.Errors, "");
  EXPECT_TRUE(FilesOfState(".journal").empty()) << "the journal of a completed run stays";
  // The run's log: every line with its time.
  const std::vector<std::string> logs = FilesOfState(".log");
  ASSERT_EQ(logs.size(), 1u);
  const std::string log = ReadWholeFile(logs[0]);
  EXPECT_TRUE(std::regex_search(log, std::regex("(^|\n)\\d\\d:\\d\\d:\\d\\d Файл \"Templates/Itog.xlt\" обновлен\\.\n"))) << log;

  const TRun elsewhere = Run("-silent", 0, {"-log", Scratch.File("run.log")});
  EXPECT_EQ(elsewhere.ExitCode, 0);
  EXPECT_NE(ReadWholeFile(Scratch.File("run.log")).find("Квента установка завершена."), std::string::npos);
  EXPECT_EQ(FilesOfState(".log").size(), 1u);
}

TEST_F(QuentaSetupUnattended, TouchesNothingWhileTheClientRunsOrIsMissing) {
  Package.WriteFile("QuentaSetupData/Client/a.txt", "new");
  {
    const TRun run = Run("-silent");
    EXPECT_EQ(run.ExitCode, 3);
    EXPECT_EQ(run.Errors, "Не удалось обнаружить установленную версию ОРВЕЛ Квело версии 7.0\n");
  }
  Client.InstallClient();
  platform::TNamedMutexHolder client("OrvelKvelo_client");
  const TRun run = Run("-silent");
  EXPECT_EQ(run.ExitCode, 2);
  EXPECT_EQ(run.Errors, "Для установки обновления , необходимо завершить работу клиента Орвел Квело.\n");
  EXPECT_FALSE(platform::FileExists(Common("a.txt")));
}

TEST_F(QuentaSetupUnattended, MalformedClientSettingsEndTheWorkWithNothingChanged) {
  Client.InstallClient();
  Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
  Package.WriteFile("settings.ini", "[CommonSettings.XML]\nExternalFileExts=.pdf\n");
  Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/Templates/Itog.xlt", "Итог 2014");
  Client.Root().WriteFile("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings/CommonSetting.xml", "<Options");

  const TRun run = Run("-silent");
  EXPECT_EQ(run.ExitCode, 4);
  EXPECT_NE(run.Errors.find("изменения отменены"), std::string::npos) << run.Errors;
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
  EXPECT_EQ(ReadWholeFile(SettingsFolder() + "CommonSetting.xml"), "<Options");
}

// A folder of the client that the update may not write: read-only for a user; for root, whom
// modes do not stop, reached through another user's link.
// With nobody to ask, a shortcut that cannot be made undoes the whole run, the links made before
// it included.
TEST_F(QuentaSetupUnattended, AShortcutThatCannotBeMadeRollsTheUpdateBack) {
  Client.InstallClient();
  Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Руководство.pdf", "pdf");
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник.txt", "сборник");
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/linkname.txt", "../escape");
  Package.WriteFile("settings.ini", "\xEF\xBB\xBF[links]\n1=Руководство.pdf\n2=Нормативы\n");
  Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/Templates/Itog.xlt", "Итог 2014");

  const TRun run = Run("-silent");
  EXPECT_EQ(run.ExitCode, 4) << run.Output << run.Errors;
  EXPECT_NE(run.Errors.find("изменения отменены"), std::string::npos) << run.Errors;
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
  EXPECT_FALSE(platform::FileExists(Client.Root().File("home/Desktop/Руководство.pdf.desktop")));
  EXPECT_FALSE(platform::FileExists(Client.Root().File("home/escape.desktop")));
  EXPECT_TRUE(FilesOfState(".journal").empty());
}

TEST_F(QuentaSetupUnattended, AFileThatCannotBeUpdatedIsNamedAndTheRestIsDone) {
  Client.InstallClient();
  Package.WriteFile("QuentaSetupData/Client/Locked/a.txt", "new a");
  Package.WriteFile("QuentaSetupData/Client/b.txt", "new b");
  Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/b.txt", "old b");
  TForeignLinks links;
  if (::geteuid() == 0) {
    links.Plant(Scratch.MakeDir("elsewhere"), Common("Locked"));
  } else {
    Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/Locked/a.txt", "old a");
    ::chmod(Common("Locked").c_str(), 0555);
  }

  const TRun run = Run("-silent");
  ::chmod(Common("Locked").c_str(), 0755);
  EXPECT_EQ(run.ExitCode, 1) << run.Output << run.Errors;
  EXPECT_NE(run.Output.find("Ошибка обновления файла: \"Locked/a.txt\""), std::string::npos) << run.Output;
  EXPECT_EQ(ReadWholeFile(Common("b.txt")), "new b");
  EXPECT_FALSE(platform::FileExists(Scratch.File("elsewhere/a.txt")));
}

// Whatever a package holds, only its own regular files reach the client, and the run ends.
TEST_F(QuentaSetupUnattended, ItemsThatAreNoFilesOfThePackageAreRefusedAndTheRestIsDone) {
  Client.InstallClient();
  const std::string secret = "only root may read this";
  const std::vector<TRefusedItem> refused =
      PlantRefusedItems(Package.File("QuentaSetupData/Орвел-Квело/"), Scratch, secret);
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/b.txt", "new b");
  // Shortcuts and data sources go by the same verdict: none for a refused item.
  Package.WriteFile("settings.ini", "\xEF\xBB\xBF[links]\n1=folder\n2=secret.txt\n3=inside.txt\n"
                                    "[connections]\n1=folder\n2=Нормативы\n");
  Client.Root().WriteFile("home/Documents/Орвел-Квело/Нормативы/b.txt", "old b");
  Client.Root().WriteFile("home/Documents/Орвел-Квело/pipe", "old pipe");
  Client.Root().MakeDir("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings");

  TimeoutSeconds = 20;
  const TRun run = Run("-silent");
  ASSERT_NE(run.ExitCode, -1) << "the update hung\n" << run.Output;
  EXPECT_EQ(run.ExitCode, 1) << run.Output << run.Errors;
  for (const TRefusedItem& item : refused) {
    EXPECT_NE(run.Output.find(item.Line), std::string::npos) << item.RelativePath << "\n" << run.Output;
    if (item.RelativePath != "pipe") {
      EXPECT_FALSE(platform::FileOrLinkExists(Docs(item.RelativePath))) << item.RelativePath;
    }
  }
  EXPECT_EQ(run.Output.find("Step: "), std::string::npos) << run.Output;
  EXPECT_EQ(ReadWholeFile(Docs("pipe")), "old pipe");  // nothing of a refused item is touched
  EXPECT_FALSE(AnyFileHolds(Docs("QuentaBackup"), "old pipe"));
  EXPECT_EQ(ReadWholeFile(Docs("Нормативы/b.txt")), "new b");
  EXPECT_EQ(ReadWholeFile(Docs("real.txt")), "real");
  EXPECT_FALSE(std::filesystem::is_symlink(Docs("inside.txt")));
  EXPECT_EQ(ReadWholeFile(Docs("inside.txt")), "real");
  EXPECT_FALSE(AnyFileHolds(Client.Root().Path(), secret));
  EXPECT_TRUE(platform::FileExists(Client.Root().File("home/Desktop/inside.txt.desktop")));
  EXPECT_FALSE(platform::FileOrLinkExists(Client.Root().File("home/Desktop/folder.desktop")));
  EXPECT_FALSE(platform::FileOrLinkExists(Client.Root().File("home/Desktop/secret.txt.desktop")));
  const std::string connections = platform::AnsiToUtf8(ReadWholeFile(SettingsFolder() + "Connections.xml"));
  EXPECT_NE(connections.find("Address=\"" + Docs("Нормативы") + "\""), std::string::npos) << connections;
  EXPECT_EQ(connections.find("folder"), std::string::npos) << connections;
  EXPECT_TRUE(FilesOfState(".journal").empty());
}

// A client folder on a file system too small for the package: a small memory file system mounted
// there, where the machine lets the test mount one (the system-call table cannot reach into the
// program; the space check's unit tests go through it).
TEST_F(QuentaSetupUnattended, TooLittleSpaceTouchesNothing) {
  Client.InstallClient();
  Package.WriteFile("QuentaSetupData/Client/big.bin", std::string(200000, 'b'));
  Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/old.txt", "old");
  const std::string mountPoint = Client.Root().MakeDir("home/Documents/Орвел-Квело");
  Package.WriteFile("QuentaSetupData/Орвел-Квело/norm.bin", std::string(100000, 'n'));
  if (::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "no small file system can be mounted here: " << std::strerror(errno);
  const TRun run = Run("-silent");
  ::umount(mountPoint.c_str());
  EXPECT_EQ(run.ExitCode, 5) << run.Output << run.Errors;
  EXPECT_NE(run.Errors.find("Недостаточно места на диске"), std::string::npos) << run.Errors;
  EXPECT_FALSE(platform::FileExists(Common("big.bin")));
  EXPECT_TRUE(FilesOfState(".journal").empty());
}

// With a trusted key, a package that is not exactly what a trusted vendor signed is refused before
// anything is touched: exit code 6, the client's folders as they were, no journal, no backup.
TEST_F(QuentaSetupUnattended, APackageNotAsATrustedKeySignedItIsRefusedWithNothingTouched) {
  Client.InstallClient();
  Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/Templates/Itog.xlt", "Итог 2014");
  Client.Root().WriteFile("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings/CommonSetting.xml",
                          "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n<Options ExternalFileExts=\".doc\"/>\n");
  const TMinisignKeyPair vendor = NewMinisignKeyPair(), stranger = NewMinisignKeyPair();
  Client.Root().WriteFile("trusted-keys/vendor.pub", MinisignPublicKeyText(vendor.Public));
  auto sign = [this](const std::string& manifest, const TMinisignSecretKey& key) {
    Package.WriteFile(ManifestFileName, manifest);
    Package.WriteFile(ManifestSignatureFileName, MinisignSignatureText(key, manifest, "file:QuentaSetupData.manifest"));
  };
  auto freshPackage = [&] {
    for (const char* item : {"QuentaSetupData", "settings.ini", ManifestFileName, ManifestSignatureFileName})
      std::filesystem::remove_all(Package.File(item));
    Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2015");
    Package.WriteFile("settings.ini", "[CommonSettings.XML]\nExternalFileExts=.pdf\n");
    sign(BuildPackageManifest(Package.Path(), "7.2.0.16").Text(), vendor.Secret);
  };
  auto withLine = [&](const std::string& line) {
    sign(ReadWholeFile(Package.File(ManifestFileName)) + line + "\n", vendor.Secret);
  };
  const std::string hash = crypto::HexEncode(crypto::BytesOf(crypto::Sha256("x")));
  const std::vector<std::pair<std::string, std::function<void()>>> tamperings = {
      {"one byte more", [&] { Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015!"); }},
      {"a file removed", [&] { std::filesystem::remove(Package.File("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt")); }},
      {"a file added", [&] { Package.WriteFile("QuentaSetupData/Client/Tools/extra.exe", "MZ"); }},
      {"settings.ini changed", [&] { Package.WriteFile("settings.ini", "[CommonSettings.XML]\nExternalFileExts=.exe\n"); }},
      {"another key", [&] { sign(ReadWholeFile(Package.File(ManifestFileName)), stranger.Secret); }},
      {"damaged signature", [&] {
         std::string signature = ReadWholeFile(Package.File(ManifestSignatureFileName));
         const std::size_t at = signature.find('\n') + 20;
         signature[at] = signature[at] == 'A' ? 'B' : 'A';
         Package.WriteFile(ManifestSignatureFileName, signature);
       }},
      {"no signature", [&] { std::filesystem::remove(Package.File(ManifestSignatureFileName)); }},
      {"no manifest", [&] { std::filesystem::remove(Package.File(ManifestFileName)); }},
      {"a path leaving the package", [&] { withLine("file 1 " + hash + " ../x"); }},
      {"an absolute path", [&] { withLine("file 1 " + hash + " /etc/passwd"); }},
  };
  const auto common = Contents(Common("")), docs = Contents(Docs("")), settings = Contents(SettingsFolder());
  for (const auto& [name, tamper] : tamperings) {
    freshPackage();
    tamper();
    const TRun run = Run("-silent");
    EXPECT_EQ(run.ExitCode, 6) << name << ": " << run.Output << run.Errors;
    EXPECT_TRUE(run.Errors.starts_with("Пакет обновления поврежден или не подписан доверенным ключом: ")) << name << run.Errors;
    EXPECT_EQ(Contents(Common("")), common) << name;
    EXPECT_EQ(Contents(Docs("")), docs) << name;
    EXPECT_EQ(Contents(SettingsFolder()), settings) << name;
    EXPECT_FALSE(platform::DirectoryExists(Common("QuentaBackup"))) << name;
    EXPECT_TRUE(FilesOfState(".journal").empty()) << name;
  }

  freshPackage();
  const TRun run = Run("-silent");
  EXPECT_EQ(run.ExitCode, 0) << run.Output << run.Errors;
  EXPECT_NE(run.Output.find("Пакет обновления проверен: подписан доверенным ключом " + KeyIdText(vendor.Public.Id) +
                            ", версия пакета 7.2.0.16."), std::string::npos) << run.Output;
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2015");
}

// The check before the copy reads no contents: a file whose bytes changed since the signing but
// not its size is found by the copy, which hashes the very bytes it writes. The file is the last
// one copied, so the update is rolled back: the replaced original back, the added file gone.
TEST_F(QuentaSetupUnattended, AFileChangedSinceTheCheckRollsTheUpdateBack) {
  Client.InstallClient();
  Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/Templates/Itog.xlt", "Итог 2014");
  const TMinisignKeyPair vendor = NewMinisignKeyPair();
  Client.Root().WriteFile("trusted-keys/vendor.pub", MinisignPublicKeyText(vendor.Public));
  Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
  Package.WriteFile("QuentaSetupData/Client/Tools/new.bin", std::string(300000, 'n'));
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2015");
  const std::string manifest = BuildPackageManifest(Package.Path(), "7.2.0.16").Text();
  Package.WriteFile(ManifestFileName, manifest);
  Package.WriteFile(ManifestSignatureFileName, MinisignSignatureText(vendor.Secret, manifest, "file:QuentaSetupData.manifest"));
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2016");
  const auto common = Contents(Common("")), docs = Contents(Docs(""));

  const TRun run = Run("-silent");
  EXPECT_EQ(run.ExitCode, 6) << run.Output << run.Errors;
  EXPECT_NE(run.Errors.find("Пакет обновления поврежден или не подписан доверенным ключом: изменено содержимое файла "
                            "\"QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt\""),
            std::string::npos) << run.Errors;
  EXPECT_NE(run.Output.find("Файл \"Templates/Itog.xlt\" обновлен."), std::string::npos) << run.Output;
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
  EXPECT_FALSE(platform::FileOrLinkExists(Common("Tools/new.bin")));
  EXPECT_FALSE(platform::FileOrLinkExists(Common("Tools")));
  EXPECT_FALSE(platform::FileOrLinkExists(Docs("Нормативы/Сборник 01.txt")));
  EXPECT_TRUE(FilesOfState(".journal").empty());
  // What is left is at most the empty folder that held the run's backups.
  auto withoutBackups = [](std::map<std::string, std::string> files) {
    std::erase_if(files, [](const auto& item) { return item.first.starts_with("QuentaBackup"); });
    return files;
  };
  EXPECT_EQ(withoutBackups(Contents(Common(""))), withoutBackups(common));
  EXPECT_EQ(withoutBackups(Contents(Docs(""))), withoutBackups(docs));
}

// The journal is written through before every step; on a disk that makes the 30 runs slow, so the
// crash test keeps its folders in memory where the machine has a memory file system.
struct TMemoryTemporaryFolder {
  std::optional<TScopedEnv> Folder;
  TMemoryTemporaryFolder() {
    if (platform::DirectoryExists("/dev/shm") && ::access("/dev/shm", W_OK) == 0) Folder.emplace("TMPDIR", "/dev/shm");
  }
};

class QuentaSetupKilled : private TMemoryTemporaryFolder, public QuentaSetupUnattended {};

// The update killed at 30 moments of its copy, each over a fresh copy of the client's folders:
// -restore-only alone must give back every replaced original byte for byte and leave no temporary
// file, and the next unattended run must give the whole update.
TEST_F(QuentaSetupKilled, AKilledUpdateIsRestoredWholeAndThenCompletes) {
  Client.InstallClient();
  std::mt19937 random(20151209);
  std::map<std::string, std::string> newFiles, oldFiles;  // by path below "QuentaSetupData/"
  // 200 files; three of them large enough for many blocks each, so kills land inside a copy too.
  for (int i = 0; i < 200; ++i) {
    const std::string package = i % 2 == 0 ? "Client/" : "Орвел-Квело/";
    const std::string rel = package + "Папка " + std::to_string(i % 7) + "/file " + std::to_string(i) + ".dat";
    const std::size_t size = i < 3 ? (1 << 20) + 4321 : 200 + random() % 3000;
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    newFiles[rel] = bytes;
    if (i % 4 < 2) oldFiles[rel] = "original " + std::to_string(i) + std::string(random() % 5000, 'o');
  }
  for (const auto& [rel, bytes] : newFiles) Package.WriteFile("QuentaSetupData/" + rel, bytes);
  const std::string commonRoot = Common(""), docsRoot = Docs("");
  auto destinationOf = [&](const std::string& rel) {
    return rel.starts_with("Client/") ? commonRoot + rel.substr(7) : docsRoot + rel.substr(std::string("Орвел-Квело/").size());
  };
  auto freshDestination = [&] {
    std::filesystem::remove_all(commonRoot);
    std::filesystem::remove_all(docsRoot);
    for (const auto& [rel, bytes] : oldFiles) {
      std::filesystem::create_directories(std::filesystem::path(destinationOf(rel)).parent_path());
      WriteWholeFile(destinationOf(rel), bytes);
    }
  };

  // The lines of a whole run, to spread the kills over.
  freshDestination();
  const TRun whole = Run("-silent");
  ASSERT_EQ(whole.ExitCode, 0) << whole.Errors;
  const int lines = static_cast<int>(std::count(whole.Output.begin(), whole.Output.end(), '\n'));

  int lost = 0, leftovers = 0, incomplete = 0;
  std::uniform_int_distribution<int> moment(1, lines - 3);
  for (int kill = 0; kill < 30; ++kill) {
    freshDestination();
    const int after = moment(random);
    const TRun killed = Run("-silent", after);
    const TRun restore = Run("-restore-only");
    EXPECT_EQ(restore.ExitCode, 0) << "killed after line " << after << ": " << restore.Errors;
    // A kill that lands after the run committed finds nothing to restore: the update is then
    // whole, each original in the run's backup.
    const bool committed = restore.Output.find("Восстановление файлов после прерванного обновления.") == std::string::npos;
    auto backedUp = [&](const std::string& rel, const std::string& bytes) {
      const std::string target = destinationOf(rel);
      const std::string root = rel.starts_with("Client/") ? commonRoot : docsRoot;
      for (const auto& stamp : std::filesystem::directory_iterator(root + "QuentaBackup")) {
        const auto kept = stamp.path() / target.substr(root.size());
        if (std::filesystem::is_regular_file(kept) && ReadWholeFile(kept.string()) == bytes) return true;
      }
      return false;
    };
    for (const auto& [rel, bytes] : oldFiles) {
      const bool inPlace = platform::FileExists(destinationOf(rel)) && ReadWholeFile(destinationOf(rel)) == bytes;
      const bool updated = committed && ReadWholeFile(destinationOf(rel)) == newFiles.at(rel) && backedUp(rel, bytes);
      if (!inPlace && !updated) {
        ++lost;
        ADD_FAILURE() << "killed after line " << after << ": " << rel << " not restored";
      }
    }
    for (const std::string& root : {commonRoot, docsRoot})
      for (const auto& e : std::filesystem::recursive_directory_iterator(root))
        if (e.path().filename().string().starts_with(".quenta-")) {
          ++leftovers;
          ADD_FAILURE() << "killed after line " << after << ": " << e.path() << " left";
        }
    EXPECT_TRUE(FilesOfState(".journal").empty()) << "killed after line " << after;

    const TRun again = Run("-silent");
    EXPECT_EQ(again.ExitCode, 0) << again.Errors;
    for (const auto& [rel, bytes] : newFiles)
      if (ReadWholeFile(destinationOf(rel)) != bytes) ++incomplete;
  }
  EXPECT_EQ(lost, 0);
  EXPECT_EQ(leftovers, 0);
  EXPECT_EQ(incomplete, 0);
  std::cout << "files lost across 30 kills: " << lost << "\n";
}

}  // namespace
