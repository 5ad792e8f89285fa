#include "FWOpenDirectory.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <cmath>

namespace {
const char DefaultStartDir[] = "/";  // the system drive's root of the original
const char DefaultStatusText[] = "Select Directory";

QString Q(const std::string& text) { return QString::fromStdString(text); }

std::string WithSeparator(const QString& path) {
  std::string s = path.toStdString();
  if (s.empty() || s.back() != '/') s += '/';
  return s;
}

int FloorHalf(int value) { return static_cast<int>(std::floor(value / 2.0)); }

// Qt's folder dialog with the component's rules: OK follows the component's answer (Qt's own
// updates of the button cannot enable it against that answer), a typed name that is no folder
// is refused in place, the status line follows the selection, and the window is centred once.
class TFolderDialog : public QFileDialog {
 public:
  TFolderDialog(QWidget* owner, TFWOpenDirectory& component) : QFileDialog(owner), FComponent(component) {
    setObjectName("FWOpenDirectoryDialog");
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::Directory);
    const TFWOpenDirStyles style = component.Style();
    setOption(QFileDialog::ShowDirsOnly, !style.Contains(odsBrowseIncludeFiles));
    if (!component.Title().empty()) setWindowTitle(Q(component.Title()));
    // The text above the tree.
    setLabelText(QFileDialog::LookIn, Q(component.StatusText()));

    FStatus = new QLabel(Q(component.StatusText()), this);
    FStatus->setObjectName("statusText");
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) grid->addWidget(FStatus, grid->rowCount(), 0, 1, -1);
    FStatus->setVisible(style.Contains(odsStatusText));

    FEdit = findChild<QLineEdit*>("fileNameEdit");
    if (!style.Contains(odsEditBox)) {
      if (FEdit) FEdit->hide();
      if (auto* label = findChild<QLabel*>("fileNameLabel")) label->hide();
    }
    if (FEdit && component.EditReadOnly()) FEdit->setEnabled(false);

    if (auto* box = findChild<QDialogButtonBox*>("buttonBox"))
      for (QAbstractButton* button : box->buttons())
        if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) FOk = button;
    if (FOk) FOk->installEventFilter(this);

    const QString root = component.RootDir().empty() ? QString() : QDir::cleanPath(Q(component.RootDir()));
    if (!root.isEmpty() && QFileInfo(root).isDir()) {
      FRoot = root;
      FUserSidebar = sidebarUrls();
      setSidebarUrls({QUrl::fromLocalFile(root)});
    }
    const QString start = Q(component.StartDir());
    setDirectory(FRoot.isEmpty() || IsInsideRoot(QDir::cleanPath(start)) ? start : FRoot);

    // The first question is about StartDir as the owner wrote it.
    Ask(component.StartDir());
    connect(this, &QFileDialog::currentChanged, this, [this](const QString& path) {
      if (!path.isEmpty() && QFileInfo(path).isDir()) SelectionChanged(path);
    });
    connect(this, &QFileDialog::directoryEntered, this, [this](const QString& dir) {
      if (!FRoot.isEmpty() && !IsInsideRoot(QDir::cleanPath(dir))) {
        setDirectory(FRoot);  // enters the root again, which asks about it
        return;
      }
      SelectionChanged(dir);
    });
  }

  // Qt stores the sidebar among the user's settings when the dialog goes: the root must not
  // replace the places the user keeps there.
  ~TFolderDialog() override {
    if (!FRoot.isEmpty()) setSidebarUrls(FUserSidebar);
  }

  void accept() override {
    if (!FEnabled) return;
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty() || !QFileInfo(chosen.first()).isDir() ||
        (!FRoot.isEmpty() && !IsInsideRoot(QDir::cleanPath(chosen.first())))) {
      // Qt would put up a message box of its own; the name is refused where it was typed.
      SetOk(false);
      FStatus->setText(TFWOpenDirectory::InvalidNameText);
      if (FComponent.Style().Contains(odsValidate)) FStatus->show();
      return;
    }
    QFileDialog::accept();
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == FOk && event->type() == QEvent::EnabledChange && FOk->isEnabled() && !FEnabled)
      FOk->setEnabled(false);
    return QFileDialog::eventFilter(watched, event);
  }

  void showEvent(QShowEvent* event) override {
    QFileDialog::showEvent(event);
    if (FCentred || !FComponent.ShowScreenCenter()) return;
    FCentred = true;
    if (QScreen* s = screen()) {
      const QRect area = s->geometry();
      const QRect frame = frameGeometry();
      move(area.x() + FloorHalf(area.width() - frame.width()), area.y() + FloorHalf(area.height() - frame.height()));
    }
  }

 private:
  bool IsInsideRoot(const QString& path) const {
    return path == FRoot || path.startsWith(FRoot.endsWith('/') ? FRoot : FRoot + '/');
  }

  void Ask(const std::string& path) {
    bool enable = true;
    FComponent.ChangeFolder(path, enable);
    SetOk(enable);
  }

  void SelectionChanged(const QString& path) {
    const std::string folder = WithSeparator(path);
    Ask(folder);
    FStatus->setText(Q(folder));
  }

  void SetOk(bool enable) {
    FEnabled = enable;
    if (FOk) FOk->setEnabled(enable);
  }

  TFWOpenDirectory& FComponent;
  QLabel* FStatus = nullptr;
  QLineEdit* FEdit = nullptr;
  QAbstractButton* FOk = nullptr;
  QString FRoot;
  QList<QUrl> FUserSidebar;
  bool FEnabled = true;
  bool FCentred = false;
};
}  // namespace

TFWOpenDirectory::TFWOpenDirectory(QObject* AOwner)
    : QObject(AOwner), FStatusText(DefaultStatusText), FStartDir(DefaultStartDir), FStyle{odsUseNewUI} {
  if (auto* widget = qobject_cast<QWidget*>(AOwner)) FHandle = widget->window();
}

TFWOpenDirectory::~TFWOpenDirectory() = default;

bool TFWOpenDirectory::Execute() { return Execute(FHandle.data()); }

bool TFWOpenDirectory::Execute(QWidget* OwnerHandle) {
  FDirName.clear();
  TFolderDialog dialog(OwnerHandle, *this);
  if (dialog.exec() != QDialog::Accepted) return false;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.first().isEmpty()) return false;
  FDirName = WithSeparator(chosen.first());
  return true;
}

void TFWOpenDirectory::ChangeFolder(const std::string& Path, bool& EnableButton) {
  if (FOnChangeFolder) FOnChangeFolder(this, Path, EnableButton);
}

std::uint32_t TFWOpenDirectory::Flags() const {
  std::uint32_t flags = 0;
  for (int i = 0; i < StyleCount; ++i)
    if (FStyle.Contains(static_cast<TFWOpenDirStyle>(i))) flags |= StyleFlags[static_cast<std::size_t>(i)];
  return flags;
}
