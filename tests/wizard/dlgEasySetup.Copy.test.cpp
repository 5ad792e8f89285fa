// The copy page on a real package: the update, its log and bars, cancel during the copy, and the
// errors that end the page's work.

#include <gtest/gtest.h>

#include <QApplication>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>

#include <filesystem>

#include "OXCheckedTreeView.h"
#include "WizardTestSupport.h"
#include "dlgEasySetup.h"
#include "Setup.Journal.h"
#include "Setup.Manifest.h"
#include "Setup.Minisign.h"
#include "platform/FileSystem.h"
#include "platform/NamedMutex.h"
#include "platform/OSError.h"
#include "platform/posix/SysCalls.h"
#include "support/RefusedPackageItems.h"

namespace {

using platform::posix::ScopedSysCall;
using platform::posix::SysCalls;

const QColor Disabled(96, 104, 112);
const QString CopyFinishedText = "Копирование завершено. Для продолжения нажмите \"Далее>\"";

class WizardCopy : public ::testing::Test {
 protected:
  void SetUp() override {
    Client.InstallClient();
    // The package: the common-data part replaces one file and adds two, the document part adds
    // a nested file and has an empty folder.
    Package.WriteFile("QuentaSetupData/Client/Templates/Itog.xlt", "Итог 2015");
    Package.WriteFile("QuentaSetupData/Client/Data/Регионы.txt", "77 Москва");
    Package.WriteFile("QuentaSetupData/Client/Data/empty.dat", "");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2015");
    Package.MakeDir("QuentaSetupData/Орвел-Квело/Пустая папка");
    // UTF-8 with its byte-order mark: without one the file reads as Windows-1251.
    Package.WriteFile("settings.ini", "\xEF\xBB\xBF[links]\nnorms=Нормативы\n[CommonSettings.XML]\nExternalFileExts=.pdf\n");
    Client.Root().WriteFile("common/Orvel/OrvelKvelo 7/Client/Templates/Itog.xlt", "Итог 2014");
    Client.Root().WriteFile("home/Documents/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2014");
    Client.Root().MakeDir("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings");
  }

  std::string Common(const std::string& rel) const { return Client.Root().File("common/Orvel/OrvelKvelo 7/Client/" + rel); }
  std::string Docs(const std::string& rel) const { return Client.Root().File("home/Documents/Орвел-Квело/" + rel); }
  std::string Settings() const {
    return Client.Root().File("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings/CommonSetting.xml");
  }

  TfrmEasySetup& Open() {
    Form = ShowForm(Package.Path(), Boxes);
    return *Form;
  }
  void Next() { QTest::mouseClick(Form->Image3, Qt::LeftButton); }
  void Cancel() { QTest::mouseClick(Form->Image2, Qt::LeftButton); }
  QStringList LogLines() const { return Form->memStatus->toPlainText().split('\n'); }
  // A backup folder of this run is left in the folder.
  static bool HasBackupOfThisRun(const std::string& root) {
    return platform::DirectoryExists(root + "QuentaBackup") && !platform::ListDirectory(root + "QuentaBackup").empty();
  }

  TClientSandbox Client;
  TTempDir Package;
  TScriptedMessageBoxes Boxes;
  std::unique_ptr<TfrmEasySetup> Form;
};

TEST_F(WizardCopy, WholeRunUpdatesTheClientAndLogsEveryStep) {
  TfrmEasySetup& form = Open();
  Next();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(form.PageState(), psCopyData);
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2015");
  EXPECT_EQ(ReadWholeFile(Common("Data/Регионы.txt")), "77 Москва");
  EXPECT_EQ(ReadWholeFile(Docs("Нормативы/Сборник 01.txt")), "Сборник 2015");
  EXPECT_FALSE(platform::DirectoryExists(Docs("Пустая папка")));
  EXPECT_NE(ReadWholeFile(Settings()).find("ExternalFileExts=\".pdf\""), std::string::npos);

  const QStringList lines = LogLines();
  const int replaced = lines.indexOf("Файл \"Templates/Itog.xlt\" сохранен в бэкапе.");
  ASSERT_GE(replaced, 1);
  EXPECT_TRUE(lines[replaced - 1].startsWith("Создана директория \"" + QString::fromStdString(Common("QuentaBackup/"))));
  EXPECT_EQ(lines[replaced + 1], "Файл \"Templates/Itog.xlt\" обновлен.");
  EXPECT_TRUE(lines.contains("Файл \"Data/Регионы.txt\" добавлен."));
  EXPECT_TRUE(lines.contains("Файл \"Data/empty.dat\" добавлен."));
  EXPECT_LT(replaced, lines.indexOf("Файл \"Нормативы/Сборник 01.txt\" сохранен в бэкапе."));  // common first
  const int entries = 8;  // Templates, Itog.xlt, Data, Регионы.txt, empty.dat; Нормативы, Сборник 01.txt, Пустая папка
  EXPECT_EQ(lines.mid(lines.size() - 4),
            (QStringList{"Все файлы обновлены.", "Количество обновленных файлов: " + QString::number(entries), "",
                         "Для продолжения нажмите \"Далее>\""}));
  EXPECT_EQ(form.GetDataList().Count(), static_cast<std::size_t>(entries));
  EXPECT_EQ(form.pbStatus->maximum(), entries);
  EXPECT_EQ(form.pbStatus->value(), entries);
  EXPECT_EQ(form.pbCurrentProgress->value(), 100);
  EXPECT_FALSE(form.pbStatus->isVisible());
  EXPECT_FALSE(form.pbCurrentProgress->isVisible());
  EXPECT_EQ(form.lblStatus->Caption(), CopyFinishedText);
  EXPECT_EQ(form.lblNext->FontColor(), form.palette().color(QPalette::WindowText));

  // The document package is offered in the tree, its ticks from settings.ini.
  Next();
  ASSERT_EQ(form.PageState(), psShortCuts);
  TOXCheckedTreeView* tree = form.tvShortCuts;
  ASSERT_EQ(tree->topLevelItemCount(), 2);
  QTreeWidgetItem* norms = tree->findItems("Нормативы", Qt::MatchExactly).value(0);
  ASSERT_TRUE(norms);
  EXPECT_TRUE(tree->GetChecked(norms));
  EXPECT_TRUE(norms->isExpanded());
  EXPECT_EQ(norms->child(0)->text(0), "Сборник 01.txt");
  EXPECT_EQ(form.GetDataList()[static_cast<std::size_t>(TOXCheckedTreeView::NodeData(norms->child(0)))],
            "Нормативы/Сборник 01.txt");
}

// While the copy runs its page keeps the window alive: the status line names the file and "Далее >"
// looks disabled. A failing file's box shows that, and the copy goes on after it.
TEST_F(WizardCopy, DuringTheCopyTheStatusNamesTheFileAndAFailureIsShownAndSkipped) {
  static const std::string blocked = Package.File("QuentaSetupData/Client/Data/Регионы.txt");
  ScopedSysCall<decltype(SysCalls::open)> denied(&SysCalls::open, [](const char* path, int flags, mode_t mode) {
    if (blocked == path) {
      errno = EACCES;
      return -1;
    }
    return ::open(path, flags | O_CLOEXEC, mode);
  });
  TfrmEasySetup& form = Open();
  bool seen = false;
  Boxes.WhileShown = [&](const TShownBox&) {
    EXPECT_EQ(form.lblStatus->Caption().toStdString(), blocked);
    EXPECT_EQ(form.lblNext->FontColor(), Disabled);
    EXPECT_TRUE(form.pbStatus->isVisible());
    EXPECT_TRUE(form.GetStartInstall());
    seen = true;
  };
  Next();
  ASSERT_TRUE(seen);
  EXPECT_EQ(Boxes.Shown, (std::vector<TShownBox>{{mbkMessage, "Step: 1 - " + platform::SystemErrorText(EACCES), "Quenta Setup"}}));
  EXPECT_TRUE(LogLines().contains("Ошибка обновления файла: \"Data/Регионы.txt\""));
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2015");
  EXPECT_EQ(form.lblStatus->Caption(), CopyFinishedText);
}

// Whatever a package holds, only its own regular files reach the client, and the page finishes.
TEST_F(WizardCopy, ItemsThatAreNoFilesOfThePackageAreRefusedAndTheRestIsDone) {
  TTempDir outside;
  const std::string secret = "only root may read this";
  const std::vector<TRefusedItem> refused =
      PlantRefusedItems(Package.File("QuentaSetupData/Орвел-Квело/"), outside, secret);
  Package.WriteFile("settings.ini", "\xEF\xBB\xBF[links]\n1=folder\n2=secret.txt\n3=inside.txt\n"
                                    "[connections]\n1=folder\n");
  TfrmEasySetup& form = Open();
  {
    // The copy runs on the window's thread: a hang there ends the test program.
    TWatchdog guard(20, [] {
      std::fputs("the copy page hung\n", stderr);
      std::_Exit(1);
    });
    Next();
  }
  EXPECT_TRUE(Boxes.Shown.empty()) << Boxes.Shown.front().Text;
  EXPECT_EQ(form.lblStatus->Caption(), CopyFinishedText);
  const QStringList lines = LogLines();
  for (const TRefusedItem& item : refused) {
    EXPECT_TRUE(lines.contains(QString::fromStdString(item.Line))) << item.Line << "\n" << lines.join('\n').toStdString();
    EXPECT_FALSE(platform::FileOrLinkExists(Docs(item.RelativePath))) << item.RelativePath;
  }
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2015");
  EXPECT_EQ(ReadWholeFile(Docs("inside.txt")), "real");
  EXPECT_FALSE(std::filesystem::is_symlink(Docs("inside.txt")));
  EXPECT_TRUE(lines.contains("Файл \"inside.txt\" добавлен."));
  EXPECT_FALSE(AnyFileHolds(Client.Root().Path(), secret));

  // The shortcut and connection pages go by the copy's verdict: a refused item gets no shortcut,
  // and is offered as no data source.
  Next();
  ASSERT_EQ(form.PageState(), psShortCuts);
  Next();
  ASSERT_EQ(form.PageState(), psConnections);
  EXPECT_TRUE(platform::FileExists(Client.Root().File("home/Desktop/inside.txt.desktop")));
  EXPECT_FALSE(platform::FileOrLinkExists(Client.Root().File("home/Desktop/folder.desktop")));
  EXPECT_FALSE(platform::FileOrLinkExists(Client.Root().File("home/Desktop/secret.txt.desktop")));
  EXPECT_TRUE(form.tvShortCuts->findItems("folder", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
}

TEST_F(WizardCopy, CancelDuringTheCopy) {
  for (bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Yes" : "No");
    SetUp();  // the destination as before the update
    TfrmEasySetup& form = Open();
    Boxes.Shown.clear();
    // Runs at the first processing of events inside the copy.
    QTimer during;
    during.setInterval(0);
    QObject::connect(&during, &QTimer::timeout, &form, [&] {
      if (!form.GetStartInstall()) return;
      during.stop();
      Boxes.Answers = {yes};
      Cancel();
    });
    during.start();
    Next();
    during.stop();
    EXPECT_EQ(Boxes.Shown, (std::vector<TShownBox>{{mbkQuestion, "Отменить процесс квента обновления?", "Завершение программы"}}));
    if (yes) {
      EXPECT_FALSE(form.isVisible());
      EXPECT_TRUE(form.GetCloseStatus());
      EXPECT_TRUE(LogLines().contains("Произвожу процесс восстановления данных."));
      EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
      EXPECT_EQ(ReadWholeFile(Docs("Нормативы/Сборник 01.txt")), "Сборник 2014");
      EXPECT_FALSE(HasBackupOfThisRun(Common("")));
      EXPECT_FALSE(HasBackupOfThisRun(Docs("")));
    } else {
      EXPECT_TRUE(form.isVisible());
      EXPECT_FALSE(form.GetBreakInstall());
      EXPECT_EQ(LogLines().back(), "Для продолжения нажмите \"Далее>\"");
      EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2015");
      EXPECT_EQ(ReadWholeFile(Docs("Нормативы/Сборник 01.txt")), "Сборник 2015");
    }
    Form.reset();
  }
}

TEST_F(WizardCopy, MalformedClientSettingsStopThePageBeforeAnyCopy) {
  WriteWholeFile(Settings(), "<Options ExternalFileExts=\".doc\"");
  TfrmEasySetup& form = Open();
  Next();
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Kind, mbkError);
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
  EXPECT_FALSE(platform::FileExists(Common("Data/Регионы.txt")));
  EXPECT_EQ(ReadWholeFile(Settings()), "<Options ExternalFileExts=\".doc\"");
  EXPECT_EQ(form.PageState(), psCopyData);
  EXPECT_FALSE(form.GetStartInstall());
  EXPECT_EQ(form.lblStatus->Caption(), CopyFinishedText);
  Next();
  EXPECT_EQ(form.PageState(), psShortCuts);
}

// On a machine that trusts a key, an unsigned package ends the page with a box naming the reason,
// before anything is touched, and the wizard goes on to its last pages as when no client is found.
TEST_F(WizardCopy, AnUnsignedPackageIsRefusedWithNothingTouched) {
  Client.Root().WriteFile("trusted-keys/vendor.pub", MinisignPublicKeyText(NewMinisignKeyPair().Public));
  TfrmEasySetup& form = Open();
  Next();
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0], (TShownBox{mbkError,
                                      "Пакет обновления поврежден или не подписан доверенным ключом: нет описи пакета "
                                      "\"QuentaSetupData.manifest\".\r\nОбновление не выполнено, файлы не изменены.",
                                      "Quenta Setup"}));
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
  EXPECT_FALSE(platform::FileExists(Common("Data/Регионы.txt")));
  EXPECT_FALSE(platform::FileExists(Settings()));
  EXPECT_FALSE(form.GetStartInstall());
  EXPECT_TRUE(form.lblFinish->Caption().startsWith("Квента установка прервана из-за ошибки."));
}

// A file whose bytes changed after the signing (its size kept, so the check before the copy passes)
// is found by the copy's hash: the update is rolled back, a box names the file, and the window
// ends as after a cancel.
TEST_F(WizardCopy, AFileChangedSinceTheCheckRollsTheUpdateBackWithABox) {
  const TMinisignKeyPair vendor = NewMinisignKeyPair();
  Client.Root().WriteFile("trusted-keys/vendor.pub", MinisignPublicKeyText(vendor.Public));
  const std::string manifest = BuildPackageManifest(Package.Path(), "7.2.0.16").Text();
  Package.WriteFile(ManifestFileName, manifest);
  Package.WriteFile(ManifestSignatureFileName, MinisignSignatureText(vendor.Secret, manifest, "file:QuentaSetupData.manifest"));
  Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "Сборник 2016");
  TfrmEasySetup& form = Open();
  Next();
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0], (TShownBox{mbkError,
                                      "Пакет обновления поврежден или не подписан доверенным ключом: изменено содержимое "
                                      "файла \"QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt\".\r\nОбновление не "
                                      "выполнено, файлы не изменены.",
                                      "Quenta Setup"}));
  EXPECT_TRUE(form.GetCloseStatus());
  EXPECT_TRUE(LogLines().contains("Произвожу процесс восстановления данных."));
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
  EXPECT_EQ(ReadWholeFile(Docs("Нормативы/Сборник 01.txt")), "Сборник 2014");
  EXPECT_FALSE(platform::FileOrLinkExists(Common("Data/Регионы.txt")));
  EXPECT_FALSE(platform::FileOrLinkExists(Common("Data")));
  EXPECT_FALSE(HasBackupOfThisRun(Common("")));
  EXPECT_FALSE(HasBackupOfThisRun(Docs("")));
}

}  // namespace

namespace {

// What a run killed during its copy leaves: a journal whose process is gone, an original in the
// backup folder and a temporary beside the new file.
class WizardInterruptedUpdate : public WizardCopy {
 protected:
  void SetUp() override {
    WizardCopy::SetUp();
    const std::string backup = Common("QuentaBackup/09.12.2015 14-05-09/");
    TUpdateJournal journal(Client.Root().File("home/.local/state/orvel/quenta-setup/"));
    journal.BackupFolder(backup, Common(""));
    journal.Moved(Common("Templates/Itog.xlt"), backup + "Templates/Itog.xlt");
    platform::ForceDirectories(backup + "Templates");
    ASSERT_TRUE(platform::RenameFile(Common("Templates/Itog.xlt"), backup + "Templates/Itog.xlt"));
    Temporary = Common("Templates/.quenta-0123456789ab.tmp");
    journal.Temporary(Temporary);
    WriteWholeFile(Temporary, "Итог 20");
    JournalFolder = Client.Root().File("home/.local/state/orvel/quenta-setup");
  }

  std::string Temporary;
  std::string JournalFolder;
};

TEST_F(WizardInterruptedUpdate, YesRestoresTheFilesBeforeTheIntroduction) {
  Boxes.Answers = {true};
  TfrmEasySetup& form = Open();
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Kind, mbkQuestion);
  EXPECT_EQ(Boxes.Shown[0].Caption, "Прерванное обновление");
  EXPECT_EQ(form.PageState(), psHello);
  EXPECT_EQ(ReadWholeFile(Common("Templates/Itog.xlt")), "Итог 2014");
  EXPECT_FALSE(platform::FileExists(Temporary));
  EXPECT_TRUE(std::filesystem::is_empty(JournalFolder));
}

TEST_F(WizardInterruptedUpdate, NoKeepsEverythingAndAsksNoMore) {
  Boxes.Answers = {false};
  Open();
  EXPECT_FALSE(platform::FileExists(Common("Templates/Itog.xlt")));
  EXPECT_EQ(ReadWholeFile(Common("QuentaBackup/09.12.2015 14-05-09/Templates/Itog.xlt")), "Итог 2014");
  EXPECT_TRUE(std::filesystem::is_empty(JournalFolder));
  Form.reset();
  Boxes.Shown.clear();
  Open();
  EXPECT_TRUE(Boxes.Shown.empty());
}

// A whole run leaves no journal; a run still open keeps its own, which nobody else restores.
TEST_F(WizardCopy, TheJournalLivesFromTheCopyUntilTheUpdateCannotBeCancelled) {
  const std::string journals = Client.Root().File("home/.local/state/orvel/quenta-setup");
  Open();
  Next();
  Next();
  ASSERT_EQ(Form->PageState(), psShortCuts);
  ASSERT_EQ(std::distance(std::filesystem::directory_iterator(journals), {}), 1);
  EXPECT_TRUE(FindInterruptedJournals(journals).empty());
  Next();
  EXPECT_TRUE(std::filesystem::is_empty(journals));
}

}  // namespace
