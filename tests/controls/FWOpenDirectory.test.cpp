#include "FWOpenDirectory.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace {
// Qt's file dialog keeps its history and sidebar in the user's settings; the tests keep theirs apart.
[[maybe_unused]] const bool SettingsApart = [] {
  QStandardPaths::setTestModeEnabled(true);
  return true;
}();

struct TFlagsCase {
  TFWOpenDirStyles Style;
  std::uint32_t Flags;
};

QFileDialog* OpenDialog() { return qobject_cast<QFileDialog*>(QApplication::activeModalWidget()); }

QAbstractButton* OkButton(QFileDialog* dialog) {
  auto* box = dialog->findChild<QDialogButtonBox*>("buttonBox");
  for (QAbstractButton* button : box->buttons())
    if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) return button;
  return nullptr;
}

// Clicks the entry of a folder in the dialog's list, as a user picks it.
void ClickEntry(QFileDialog* dialog, const std::string& path) {
  auto* list = dialog->findChild<QListView*>("listView");
  ASSERT_TRUE(list);
  auto* model = qobject_cast<QFileSystemModel*>(list->model());
  ASSERT_TRUE(model);
  QModelIndex index;
  QTRY_VERIFY((index = model->index(QString::fromStdString(path))).isValid() && !list->visualRect(index).isEmpty());
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

// Runs the dialog of Execute() and drives it with Drive once it is open. The driver must close it.
bool ExecuteDriven(TFWOpenDirectory& component, const std::function<void(QFileDialog*)>& Drive) {
  bool driven = false;
  QTimer::singleShot(0, [&] {
    QFileDialog* dialog = nullptr;
    QTRY_VERIFY((dialog = OpenDialog()) != nullptr);
    driven = true;
    Drive(dialog);
    if (dialog->isVisible()) dialog->reject();  // a failed check must not leave the test waiting
  });
  bool result = component.Execute();
  EXPECT_TRUE(driven);
  return result;
}
}  // namespace

TEST(FWOpenDirectory, FlagsAreTheOrOfTheStylesFlags) {
  const std::vector<TFlagsCase> cases = {
      {{}, 0},
      {{odsReturnOnlyFSDirs, odsUseNewUI}, 0x0051},
      {{odsReturnOnlyFSDirs}, 0x0001},
      {{odsDontGoBelowDomain}, 0x0002},
      {{odsStatusText}, 0x0004},
      {{odsReturnFSAncestors}, 0x0008},
      {{odsEditBox}, 0x0010},
      {{odsValidate}, 0x0020},
      {{odsNewDialogStyle}, 0x0040},
      {{odsBrowseIncludeUrls}, 0x0080},
      {{odsBrowseForComputer}, 0x1000},
      {{odsBrowseForPrinter}, 0x2000},
      {{odsBrowseIncludeFiles}, 0x4000},
      {{odsShareable}, 0x8000},
      {{odsUseNewUI}, 0x0050},
      {{odsEditBox, odsNewDialogStyle, odsUseNewUI}, 0x0050},
      {{odsBrowseForComputer, odsBrowseForPrinter, odsBrowseIncludeFiles, odsShareable, odsStatusText}, 0xF004},
  };
  TFWOpenDirectory component;
  for (const TFlagsCase& c : cases) {
    component.SetStyle(c.Style);
    EXPECT_EQ(component.Flags(), c.Flags) << std::hex << c.Flags;
  }
}

TEST(FWOpenDirectory, Defaults) {
  QWidget owner;
  TFWOpenDirectory component(&owner);
  EXPECT_EQ(component.Style(), TFWOpenDirStyles{odsUseNewUI});
  EXPECT_EQ(component.StartDir(), "/");
  EXPECT_EQ(component.StatusText(), "Select Directory");
  EXPECT_TRUE(component.ShowScreenCenter());
  EXPECT_FALSE(component.EditReadOnly());
  EXPECT_EQ(component.Title(), "");
  EXPECT_EQ(component.RootDir(), "");
  EXPECT_EQ(component.DirName(), "");
}

// The handler allows OK only for "Data": it is asked about StartDir on opening and about each folder
// the user then picks, and OK follows its answer.
TEST(FWOpenDirectory, ChangeFolderGovernsOkAndTheChoiceGivesDirName) {
  TTempDir dir;
  dir.MakeDir("Data");
  dir.MakeDir("Other");
  TFWOpenDirectory component;
  component.SetStartDir(dir.Path());
  std::vector<std::string> asked;
  component.SetOnChangeFolder([&](TFWOpenDirectory* sender, const std::string& path, bool& enable) {
    EXPECT_EQ(sender, &component);
    EXPECT_TRUE(enable);
    asked.push_back(path);
    enable = path == dir.File("Data/");
  });

  bool chosen = ExecuteDriven(component, [&](QFileDialog* dialog) {
    QAbstractButton* ok = OkButton(dialog);
    ASSERT_TRUE(ok);
    EXPECT_EQ(asked, std::vector<std::string>{dir.Path()});  // unchanged StartDir
    EXPECT_FALSE(ok->isEnabled());
    ClickEntry(dialog, dir.File("Data"));
    EXPECT_EQ(asked.back(), dir.File("Data/"));
    EXPECT_TRUE(ok->isEnabled());
    ClickEntry(dialog, dir.File("Other"));
    EXPECT_EQ(asked.back(), dir.File("Other/"));
    EXPECT_FALSE(ok->isEnabled());
    ok->click();  // refused while disabled
    EXPECT_TRUE(dialog->isVisible());
    ClickEntry(dialog, dir.File("Data"));
    ok->click();
  });
  EXPECT_TRUE(chosen);
  EXPECT_EQ(component.DirName(), dir.File("Data/"));
}

TEST(FWOpenDirectory, CancelGivesNoFolder) {
  TTempDir dir;
  TFWOpenDirectory component;
  component.SetStartDir(dir.Path());
  EXPECT_FALSE(ExecuteDriven(component, [](QFileDialog* dialog) { dialog->reject(); }));
  EXPECT_EQ(component.DirName(), "");
}

TEST(FWOpenDirectory, CaptionStatusCentringAndReadOnlyEdit) {
  TTempDir dir;
  TFWOpenDirectory component;
  component.SetStartDir(dir.Path());
  component.SetTitle("Browse For Folder");
  component.SetStatusText("Specify the directory:");
  component.SetStyle({odsUseNewUI, odsStatusText});
  component.SetEditReadOnly(true);
  ExecuteDriven(component, [&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->windowTitle(), "Browse For Folder");
    EXPECT_EQ(dialog->labelText(QFileDialog::LookIn), "Specify the directory:");
    auto* status = dialog->findChild<QLabel*>("statusText");
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), "Specify the directory:");
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(edit);
    EXPECT_FALSE(edit->isEnabled());
    const QRect screen = dialog->screen()->geometry();
    const QRect frame = dialog->frameGeometry();
    EXPECT_EQ(frame.topLeft(), QPoint((screen.width() - frame.width()) / 2, (screen.height() - frame.height()) / 2));
    dialog->reject();
  });
}

// A typed name that is no folder is refused in the dialog, with the status text saying so.
TEST(FWOpenDirectory, InvalidTypedNameIsRefusedInPlace) {
  TTempDir dir;
  TFWOpenDirectory component;
  component.SetStartDir(dir.Path());
  component.SetStyle({odsUseNewUI, odsValidate});
  ExecuteDriven(component, [&](QFileDialog* dialog) {
    auto* edit = dialog->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_TRUE(edit);
    edit->setText("missing");
    QMetaObject::invokeMethod(dialog, "accept");  // as Return in the name field does
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->findChild<QLabel*>("statusText")->text(), "The name entered was not valid.");
    EXPECT_FALSE(OkButton(dialog)->isEnabled());
    dialog->reject();
  });
  EXPECT_EQ(component.DirName(), "");
}

TEST(FWOpenDirectory, RootDirKeepsTheDialogBelowIt) {
  TTempDir dir;
  std::string root = dir.MakeDir("root");
  dir.MakeDir("root/inner");
  TFWOpenDirectory component;
  component.SetRootDir(root);
  component.SetStartDir(dir.Path());  // above the root: the dialog opens at the root
  bool chosen = ExecuteDriven(component, [&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->directory().absolutePath().toStdString(), root);
    auto* up = dialog->findChild<QAbstractButton*>("toParentButton");
    ASSERT_TRUE(up);
    up->click();
    EXPECT_EQ(dialog->directory().absolutePath().toStdString(), root);
    OkButton(dialog)->click();
  });
  EXPECT_TRUE(chosen);
  EXPECT_EQ(component.DirName(), root + "/");
  // The root was the dialog's only place; the user's places stay as they were.
  QSettings settings(QSettings::UserScope, "QtProject");
  EXPECT_FALSE(settings.value("FileDialog/shortcuts").toStringList().contains(QUrl::fromLocalFile(QString::fromStdString(root)).toString()));
}
