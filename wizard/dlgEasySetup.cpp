#include "dlgEasySetup.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileIconProvider>
#include <QFont>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QScreen>
#include <QStringList>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "Artwork.h"
#include "FWOpenDirectory.h"
#include "MessageBoxes.h"
#include "OXCheckedTreeView.h"
#include "Ox.Types.h"
#include "Runtime.Exceptions.h"
#include "Runtime.Strings.h"
#include "Setup.Connections.h"
#include "Setup.ExternalFileExts.h"
#include "Setup.Host.h"
#include "Setup.Journal.h"
#include "Setup.PackageScan.h"
#include "Setup.PackageTrust.h"
#include "Setup.PackageSettings.h"
#include "Setup.RunLog.h"
#include "Setup.ShortCuts.h"
#include "Setup.SpaceCheck.h"
#include "Setup.Texts.h"
#include "Setup.UpdateSession.h"
#include "SysInfo.Core.Kvelo7.h"
#include "platform/FileSystem.h"
#include "platform/NameFolding.h"
#include "platform/NamedMutex.h"
#include "platform/OSError.h"

namespace {

const char ApplicationTitle[] = "Quenta Setup";

const char ClientRunningCaption[] = "Внимание !!!";
const char ExitCaption[] = "Завершение программы";
const char CloseQuestion[] = "Закрыть утилиту квента обновления?";
const char CancelQuestion[] = "Отменить процесс квента обновления?";
const char CancelledText[] = "Квента установка отменена пользователем. Для завершения нажмите кнопку \"Готово\"";
const char CopyFinishedText[] = "Копирование завершено. Для продолжения нажмите \"Далее>\"";
const char ConnectionsCaption[] = "Выберите папки которые необходимо подключить к Орвел Квело:";
const char DoneCaption[] = "Готово";
const char PreparingText[] = "Подготовка к работе";
const char NotInstalledCaption[] = "Ошибка.";
const char AbortedText[] = "Квента установка прервана из-за ошибки. Для завершения нажмите кнопку \"Готово\"";
const char UnknownErrorText[] = "Неизвестная ошибка.";
const char RestoreQuestion[] =
    "Предыдущее обновление ОРВЕЛ Квело было прервано, часть файлов осталась в резервной копии.\r\n"
    "Восстановить файлы из резервной копии?";
const char RestoreCaption[] = "Прерванное обновление";
const char RunLogText[] = "Журнал установки сохранен в файле:";

const char* const Introduction[] = {
    "",
    "Данное приложение выполнит обновление файлов программного комплекса ОРВЕЛ ",
    "Квело.",
    "",
    "Все измененные файлы будут сохранены в резервных копиях во избежании потери ",
    "информации.",
    "", "", "", "", "",
    "====================================================",
    "", "", "", "", "",
    "Для начала установки нажмите кнопку \"Далее >\"",
    "",
    "Для отмены установки нажмите кнопку \"Отмена\"",
};

// The form was drawn with Tahoma and MS Sans Serif at 8 points on a 96 dpi screen, 11 pixels high.
// Where they are not installed the fallbacks come close in width, so the texts fit their places.
const char TahomaFamily[] = "Tahoma";
const char MSSansSerifFamily[] = "MS Sans Serif";
const QStringList FallbackFamilies{"DejaVu Sans Condensed", "DejaVu Sans", "Liberation Sans", "Sans Serif"};
constexpr int EightPointPixels = 11;
// Of the images the form's list starts with (FormCreate): the folder and the plain file.
constexpr int FolderIconIndex = 5;
constexpr int FileIconIndex = 6;

QFont FormFont(const char* family, bool bold = false) {
  QFont font;
  font.setFamilies(QStringList{family} + FallbackFamilies);
  font.setPixelSize(EightPointPixels);
  font.setBold(bold);
  return font;
}

QString Q(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// Whether Folder holds the file Names[0]/Names[1]/..., every name compared without regard to letter
// case: the client's package was made on Windows, where "okvelo.exe" names its "OKvelo.exe".
bool HoldsPathIgnoringCase(const std::string& Folder, std::span<const std::string_view> Names) {
  if (Names.empty()) return false;
  const bool last = Names.size() == 1;
  std::vector<platform::TFileEntry> entries;
  try {
    entries = platform::ListDirectory(Folder);
  } catch (const Exception&) {
    return false;  // an unreadable folder holds nothing the wizard could use
  }
  for (const platform::TFileEntry& entry : entries) {
    if (!platform::SameName(entry.Name, Names.front()) || entry.IsDirectory == last) continue;
    if (last || HoldsPathIgnoringCase(Folder + entry.Name + PathDelim, Names.subspan(1))) return true;
  }
  return false;
}

void CollapseWithSubNodes(QTreeWidgetItem* node) {
  node->setExpanded(false);
  for (int i = 0; i < node->childCount(); ++i) CollapseWithSubNodes(node->child(i));
}

// Runs the callable when the scope ends, also when an exception leaves it.
template <class F>
class TFinally {
 public:
  explicit TFinally(F f) : FAction(std::move(f)) {}
  ~TFinally() { FAction(); }
  TFinally(const TFinally&) = delete;
  TFinally& operator=(const TFinally&) = delete;

 private:
  F FAction;
};

}  // namespace

const QColor TfrmEasySetup::DisabledLabelColor(96, 104, 112);

class TfrmEasySetup::TSetupHost : public ISetupHost {
 public:
  explicit TSetupHost(TfrmEasySetup& Form) : F(Form) {}

  void Log(const std::string& Line) override { F.Log(Line); }
  void SetStatus(const std::string& Text) override { F.lblStatus->SetCaption(Q(Text)); }
  void SetOverallMaximum(int Maximum) override { F.pbStatus->setMaximum(Maximum); }
  void StepOverall() override {
    F.pbStatus->setValue(std::max(F.pbStatus->value(), 0) + 1);
    FScrollDue = true;
  }
  void SetFileProgress(int Percent) override { F.pbCurrentProgress->setValue(Percent); }
  // The window is repainted and asked for a cancel some 40 times a second, not after every file
  // and block: with thousands of small files painting would cost more than the copy itself.
  void ProcessMessages() override {
    const auto now = std::chrono::steady_clock::now();
    if (now - FLastPump < PumpInterval) return;
    FLastPump = now;
    if (FScrollDue) {
      QScrollBar* bar = F.memStatus->verticalScrollBar();
      bar->setValue(bar->maximum());
      FScrollDue = false;
    }
    F.ProcessMessages();
    FLastPump = std::chrono::steady_clock::now();
  }
  void ShowMessage(const std::string& Text) override { F.FMessageBoxes.Message(&F, Text, ApplicationTitle); }
  void ShowError(const std::string& Text) override { F.FMessageBoxes.Error(&F, Text, ApplicationTitle); }
  bool CancelRequested() const override { return F.BreakInstall; }

 private:
  static constexpr std::chrono::milliseconds PumpInterval{25};
  TfrmEasySetup& F;
  std::chrono::steady_clock::time_point FLastPump{};
  bool FScrollDue = false;
};

// Folders become first children and files last ones, so within a folder the subfolders come
// first, in the reverse of the order the file system lists them.
class TfrmEasySetup::TPackageTreeBuilder : public IPackageTree {
 public:
  explicit TPackageTreeBuilder(TfrmEasySetup& Form) : F(Form) {}

  void* AddItem(void* Parent, const TPackageItem& Item) override {
    auto* parent = static_cast<QTreeWidgetItem*>(Parent);
    TOXCheckedTreeView* tree = F.tvShortCuts;
    QTreeWidgetItem* node = Item.IsFolder ? tree->AddChildFirst(parent, Q(Item.Name)) : tree->AddChild(parent, Q(Item.Name));
    node->setIcon(0, F.ImageListHandle->Icon(F.GetIconIndex(Item.FullPath)));
    TOXCheckedTreeView::SetNodeData(node, Item.Index);
    if (F.IsAutoLink(Item.RelativePath)) {
      tree->SetChecked(node, true, true);
      for (QTreeWidgetItem* n = node; n; n = n->parent()) n->setExpanded(true);
    }
    return node;
  }

 private:
  TfrmEasySetup& F;
};

template <class F>
void TfrmEasySetup::Guarded(F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    ShowException(ExceptionText(e));
  } catch (...) {
    ShowException(UnknownErrorText);
  }
}

TfrmEasySetup::TfrmEasySetup(const std::string& BaseFolder, IMessageBoxes& MessageBoxes, QWidget* parent,
                             TRunLog* RunLog)
    : TForm(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      FBaseFolder(BaseFolder.empty() ? std::string() : IncludeTrailingPathDelimiter(BaseFolder)),
      FMessageBoxes(MessageBoxes),
      FSetupHost(std::make_unique<TSetupHost>(*this)),
      FRunLog(RunLog) {
  CreateControls();
  FormCreate();
}

TfrmEasySetup::~TfrmEasySetup() { FormDestroy(); }

// --- the form's description ----------------------------------------------------------------------

void TfrmEasySetup::CreateControls() {
  setWindowTitle(ApplicationTitle);
  // Geometry is in device-independent pixels and fonts in pixels: the form looks as designed at
  // 96 dpi whatever the screen's font size.
  setFixedSize(WizardBackgroundSize);
  QPalette windowPalette = palette();
  windowPalette.setColor(QPalette::Window, windowPalette.color(QPalette::Button));
  setPalette(windowPalette);
  setAutoFillBackground(true);
  setFont(FormFont(TahomaFamily));
  const QColor windowText = palette().color(QPalette::WindowText);

  auto label = [this](int left, int top, const char* caption, const QFont& font, const QColor& colour) {
    auto* l = new TLabel(this);
    l->setFont(font);
    l->SetFontColor(colour);
    l->move(left, top);
    l->SetCaption(caption);
    return l;
  };
  auto picture = [](auto* control, const QRect& bounds, const QImage& image) {
    control->setGeometry(bounds);
    control->SetPicture(image);
    return control;
  };

  Image1 = picture(new TImage(this), {0, 0, 694, 497}, WizardBackground());
  Label1 = label(200, 72, "Центр ОРВЕЛ", FormFont(MSSansSerifFamily, true), Qt::white);
  Label2 = label(200, 91, "Квента обновление программного комплекса ОРВЕЛ - Квело 7",
                 FormFont(MSSansSerifFamily, true), Qt::white);
  Image4 = picture(new TImage(this), {296, 424, 77, 25}, ButtonFaceNormal());
  Image4->hide();
  Image5 = picture(new TImage(this), {376, 424, 77, 25}, ButtonFacePressed());
  Image5->hide();
  Image2 = picture(new TButtonFace(this), {602, 462, 77, 25}, Image4->Picture());
  lblCancel = label(621, 468, "Отмена", FormFont(MSSansSerifFamily), windowText);
  Image3 = picture(new TButtonFace(this), {377, 462, 77, 25}, Image4->Picture());
  lblNext = label(394, 468, "Далее >", FormFont(MSSansSerifFamily), windowText);
  // A label in the disabled colour stands for a disabled button.
  Image2->IsEnabled = [this] { return !HasDisabledColor(lblCancel); };
  Image2->SetLabel(lblCancel);
  Image3->IsEnabled = [this] { return !HasDisabledColor(lblNext); };
  Image3->SetLabel(lblNext);

  lblStatus = new TLabel(this);
  lblStatus->setFont(FormFont(TahomaFamily));
  lblStatus->SetFontColor(Qt::white);
  lblStatus->SetAutoSize(false);
  lblStatus->SetPathEllipsis(true);
  lblStatus->setGeometry(200, 382, 468, 13);
  lblStatus->SetCaption("lblStatus");
  lblStatus->hide();
  lblShortCuts = label(200, 128, "Выберите файл или папку на которые вы хотели бы создать ярлык:",
                       FormFont(TahomaFamily), Qt::white);
  lblShortCuts->hide();
  lblFinish = label(200, 152, "Квента установка завершена. Для завершения нажмите кнопку \"Готово\"",
                    FormFont(TahomaFamily), Qt::white);
  lblFinish->hide();

  memInfo = new QPlainTextEdit(this);
  memInfo->setGeometry(200, 122, 468, 290);
  memInfo->setReadOnly(true);
  memInfo->setFocusPolicy(Qt::ClickFocus);
  memInfo->setFont(FormFont(TahomaFamily));
  QPalette infoPalette = memInfo->palette();
  infoPalette.setColor(QPalette::Base, Qt::white);
  infoPalette.setColor(QPalette::Text, Qt::black);
  memInfo->setPalette(infoPalette);
  memInfo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memInfo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QStringList introduction;
  for (const char* line : Introduction) introduction << line;
  memInfo->setPlainText(introduction.join('\n'));

  pbStatus = new QProgressBar(this);
  pbStatus->setGeometry(200, 401, 468, 17);
  pbStatus->setTextVisible(false);
  pbStatus->hide();

  memStatus = new TRichEdit(this);
  memStatus->setGeometry(200, 122, 468, 254);
  memStatus->setFont(FormFont(TahomaFamily));
  memStatus->setLineWrapMode(QTextEdit::NoWrap);
  memStatus->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  memStatus->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  memStatus->hide();

  tvShortCuts = new TOXCheckedTreeView(this);
  tvShortCuts->setGeometry(200, 147, 468, 292);
  tvShortCuts->SetControlCheckState(false);
  tvShortCuts->setIndentation(19);
  tvShortCuts->SetOnCheck([this](TOXCheckedTreeView* sender, QTreeWidgetItem* node, bool& newState, bool& apply) {
    Guarded([&] { tvShortCutsCheck(sender, node, newState, apply); });
  });
  tvShortCuts->hide();

  pbCurrentProgress = new QProgressBar(this);
  pbCurrentProgress->setGeometry(200, 424, 468, 17);
  pbCurrentProgress->setRange(0, 100);
  pbCurrentProgress->setTextVisible(false);
  pbCurrentProgress->hide();

  FWOpenDirectory1 = new TFWOpenDirectory(this);
  FWOpenDirectory1->SetStatusText("Specify the directory:");
  FWOpenDirectory1->SetStartDir("/");
  FWOpenDirectory1->SetTitle("Browse For Folder");
  FWOpenDirectory1->SetOnChangeFolder([this](TFWOpenDirectory* sender, const std::string& path, bool& enable) {
    Guarded([&] { FWOpenDirectory1ChangeFolder(sender, path, enable); });
  });

  setTabOrder(memInfo, pbStatus);
  setTabOrder(pbStatus, memStatus);
  setTabOrder(memStatus, tvShortCuts);
  setTabOrder(tvShortCuts, pbCurrentProgress);
  setTabOrder(pbCurrentProgress, Image3);
  setTabOrder(Image3, Image2);

  // Each button is a face with a label on it; the label's mouse events act on the face below.
  auto next = [this](QObject* sender) { Guarded([&] { Image3Click(sender); }); };
  auto cancel = [this](QObject* sender) { Guarded([&] { Image2Click(sender); }); };
  auto faceDown = [this](QObject* sender, Qt::MouseButton button) { Guarded([&] { Image3MouseDown(sender, button); }); };
  auto faceUp = [this](QObject* sender, Qt::MouseButton button) { Guarded([&] { Image3MouseUp(sender, button); }); };
  Image3->OnClick = next;
  Image3->OnDblClick = next;
  lblNext->OnClick = next;
  lblNext->OnDblClick = next;
  Image2->OnClick = cancel;
  lblCancel->OnClick = cancel;
  for (TImage* face : {Image2, Image3}) {
    face->OnMouseDown = faceDown;
    face->OnMouseUp = faceUp;
  }
  lblNext->OnMouseDown = [this](QObject* sender, Qt::MouseButton button) {
    Guarded([&] { lblNextMouseDown(sender, button); });
  };
  lblNext->OnMouseUp = [this](QObject* sender, Qt::MouseButton button) {
    Guarded([&] { lblNextMouseUp(sender, button); });
  };
  lblCancel->OnMouseDown = [this](QObject* sender, Qt::MouseButton button) {
    Guarded([&] { lblCancelMouseDown(sender, button); });
  };
  lblCancel->OnMouseUp = [this](QObject* sender, Qt::MouseButton button) {
    Guarded([&] { lblCancelMouseUp(sender, button); });
  };

  if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

// --- start and end -------------------------------------------------------------------------------

void TfrmEasySetup::FormCreate() {
  // The running client holds the mutex; updating its files under it would break them.
  if (platform::NamedMutexExists(ClientMutexName)) {
    FMessageBoxes.Warning(this, ClientRunningText, ClientRunningCaption);
    std::_Exit(0);
  }
  // Qt paints every widget through a back buffer already.
  FPageState = psHello;
  CloseStatus = false;
  DataList = std::make_unique<TStringList>();
  ImageListHandle = std::make_unique<TImageList>();
  QFileIconProvider icons;
  for (auto type : {QFileIconProvider::Computer, QFileIconProvider::Desktop, QFileIconProvider::Trashcan,
                    QFileIconProvider::Network, QFileIconProvider::Drive, QFileIconProvider::Folder,
                    QFileIconProvider::File})
    ImageListHandle->Add(icons.icon(type));
  ImageListCount = ImageListHandle->Count();
  tvShortCuts->setIconSize(QSize(16, 16));
  tvShortCuts->SetCheckBox(true);
  AutoLinks = std::make_unique<TStringList>();
  ShortCutList = std::make_unique<TStringList>();
  AutoConnections = std::make_unique<TStringList>();
  LoadSettings();
  OfferRestoreOfInterruptedUpdate();
}

void TfrmEasySetup::OfferRestoreOfInterruptedUpdate() {
  std::vector<std::string> journals;
  try {
    journals = FindInterruptedJournals(SetupStateFolder());
  } catch (const EOSError&) {
    return;  // without a home folder no run could have left a journal
  }
  if (journals.empty()) return;
  const bool restore = FMessageBoxes.Question(this, RestoreQuestion, RestoreCaption);
  for (const std::string& journal : journals) {
    if (restore)
      RestoreFromJournal(*FSetupHost, journal);
    else
      ::RetireJournal(journal);
  }
}

// The session stays: a cancel rolls back from inside the copy, which is still running in it.
void TfrmEasySetup::RetireJournal() {
  if (FSession) FSession->Commit();
}

void TfrmEasySetup::FormDestroy() {
  RetireJournal();
  AutoConnections.reset();
  ShortCutList.reset();
  AutoLinks.reset();
  DataList.reset();
}

void TfrmEasySetup::LoadSettings() {
  const TPackageSettings settings = ReadPackageSettings(FBaseFolder);
  ShowLinksDialog = settings.ShowLinksDialog;
  ShowConnectionsDialog = settings.ShowConnectionsDialog;
  for (const std::string& entry : settings.AutoLinks) AutoLinks->Add(entry);
  for (const std::string& entry : settings.AutoConnections) AutoConnections->Add(entry);
  ExternalFileExts = settings.ExternalFileExts;
}

bool TfrmEasySetup::IsAutoLink(const std::string& Path) const {
  for (const std::string& entry : *AutoLinks)
    if (entry == Path) return true;
  return false;
}

bool TfrmEasySetup::IsAutoConnection(const std::string& Path) const {
  for (const std::string& entry : *AutoConnections)
    if (entry == Path) return true;
  return false;
}

// --- pages ---------------------------------------------------------------------------------------

void TfrmEasySetup::SetPageState(TPageState Page) {
  if (StartInstall) return;  // no page change while the copy runs
  FPageState = Page;
  switch (Page) {
    case psHello:
      StartInstall = false;
      break;
    case psCopyData:
      StartInstall = true;
      try {
        CopyData();
      } catch (...) {
        FinishCopyPage();
        throw;
      }
      FinishCopyPage();
      break;
    case psShortCuts:
      lblShortCuts->show();
      memStatus->hide();
      lblStatus->hide();
      if (ShowLinksDialog)
        tvShortCuts->show();
      else
        SetPageState(psConnections);
      break;
    case psConnections: {
      lblShortCuts->SetCaption(ConnectionsCaption);
      CreateShortCuts();
      RetireJournal();
      QTreeWidgetItem* service = tvShortCuts->AddChild(nullptr, Q(WebServiceHost));
      if (IsAutoConnection(std::string(WebServiceHost))) tvShortCuts->SetChecked(service, true, true);
      if (ShowConnectionsDialog)
        tvShortCuts->show();
      else
        SetPageState(psDone);
      break;
    }
    case psDone:
      tvShortCuts->hide();
      lblShortCuts->hide();
      RegisterConnections();
      lblCancel->SetFontColor(DisabledLabelColor);
      lblNext->SetCaption(DoneCaption);
      if (FRunLog) lblFinish->SetCaption(lblFinish->Caption() + "\n" + RunLogText + "\n" + Q(FRunLog->Path()));
      lblFinish->show();
      break;
    case psClose:
      CloseStatus = true;
      close();
      break;
  }
}

void TfrmEasySetup::FinishCopyPage() {
  TFinally finish([this] {
    // The log's last lines in view: during the copy it scrolls only when the window is repainted.
    memStatus->verticalScrollBar()->setValue(memStatus->verticalScrollBar()->maximum());
    lblNext->SetFontColor(palette().color(QPalette::WindowText));
    pbStatus->hide();
    pbCurrentProgress->hide();
    lblStatus->SetCaption(CopyFinishedText);
    StartInstall = false;
  });
  if (BreakInstall) {
    // A cancel during the copy rolled back at once; this second pass moves back what the
    // interrupted step left in the backup.
    Log(RestoreLine);
    ProcessMessages();
    Rollback();
    CloseStatus = true;
    close();
  }
}

void TfrmEasySetup::CopyData() {
  lblStatus->SetCaption(PreparingText);
  BreakInstall = false;
  memInfo->hide();
  if (!TKvelo7Information::IsApplicationInstalled()) {
    FMessageBoxes.Message(this, NotInstalledText, NotInstalledCaption);
    StartInstall = false;
    memStatus->hide();
    lblStatus->hide();
    lblFinish->SetCaption(AbortedText);
    SetPageState(psConnections);
    return;
  }
  // The contents are hashed by the copy itself, from the bytes it writes.
  TPackageCheck check = CheckPackage(*FSetupHost, FBaseFolder, false);
  if (check.Refused()) {
    StartInstall = false;
    lblFinish->SetCaption(AbortedText);
    SetPageState(psConnections);
    return;
  }
  KveloCommonFolder = TKvelo7Information::CommonDataFolder();
  KveloAppFolder = TKvelo7Information::MyFolderRoot();
  memStatus->show();
  lblStatus->show();
  pbStatus->show();
  pbCurrentProgress->show();
  lblNext->SetFontColor(DisabledLabelColor);
  FSession = std::make_unique<TUpdateSession>(*FSetupHost, PackageFolders(), TKvelo7Information::CommonSettingFolder());
  FSession->SetManifest(std::move(check.Manifest));
  BackUpCommonFolder = FSession->CommonRoots().Backup;
  BackUpAppFolder = FSession->DocumentRoots().Backup;

  const std::string commonPackage = FBaseFolder + CommonPackageFolder;
  const std::string documentPackage = FBaseFolder + DocumentPackageFolder;
  ScanFolder(commonPackage, "", commonPackage, nullptr, 0, *DataList, nullptr);
  TPackageTreeBuilder tree(*this);
  ScanFolder(documentPackage, "", documentPackage, nullptr, 1, *DataList, &tree);
  tvShortCuts->scrollToTop();
  if (const auto shortage = FindSpaceShortage(*DataList, {commonPackage, KveloCommonFolder, BackUpCommonFolder},
                                              {documentPackage, KveloAppFolder, BackUpAppFolder})) {
    FMessageBoxes.Error(this, SpaceShortageText(*shortage), ApplicationTitle);
    StartInstall = false;
    memStatus->hide();
    lblStatus->hide();
    lblFinish->SetCaption(AbortedText);
    SetPageState(psConnections);
    return;
  }
  FSession->Begin(*DataList, SetupStateFolder());
  MergeExternalFileExts();
  pbStatus->setRange(0, static_cast<int>(DataList->Count()));
  pbStatus->setValue(0);
  try {
    FSession->CopyData();
  } catch (const EPackageChanged& e) {
    // Rolled back before the box, then the window ends as after a cancel of the copy.
    Log(RestoreLine);
    Rollback();
    FMessageBoxes.Error(this, e.Message(), ApplicationTitle);
    BreakInstall = true;
  }
}

void TfrmEasySetup::Rollback() {
  if (FSession)
    FSession->Rollback(*ShortCutList);
  else
    DeleteShortCuts(*ShortCutList);
}

TPackageFolders TfrmEasySetup::PackageFolders() const {
  return {FBaseFolder + CommonPackageFolder, FBaseFolder + DocumentPackageFolder, KveloCommonFolder, KveloAppFolder};
}

std::vector<QTreeWidgetItem*> TfrmEasySetup::TreeNodes() const {
  std::vector<QTreeWidgetItem*> nodes;
  for (QTreeWidgetItemIterator it(tvShortCuts); *it; ++it) nodes.push_back(*it);
  return nodes;
}

TPackageEntry TfrmEasySetup::EntryOf(const QTreeWidgetItem* Node) const {
  return PackageEntryOf(*DataList, static_cast<std::size_t>(TOXCheckedTreeView::NodeData(Node)));
}

// An item the copy refused is no file of the package: no shortcut leads to it, nor a data source.
bool TfrmEasySetup::Offered(const QTreeWidgetItem* Node) const {
  return !FSession || FSession->Offers(static_cast<std::size_t>(TOXCheckedTreeView::NodeData(Node)));
}

// The links of the ticked items first; then the same tree becomes the connection page's: fresh
// ticks from "connections", and the installed files left out, as only folders can be sources.
void TfrmEasySetup::CreateShortCuts() {
  std::vector<TPackageEntry> chosen;
  for (QTreeWidgetItem* node : TreeNodes())
    if (tvShortCuts->GetChecked(node) && Offered(node)) chosen.push_back(EntryOf(node));
  if (FSession)
    FSession->CreateShortCuts(chosen, *ShortCutList);
  else
    ::CreateShortCuts(chosen, PackageFolders(), *ShortCutList);

  if (QTreeWidgetItem* first = tvShortCuts->topLevelItem(0)) CollapseWithSubNodes(first);
  const TPackageFolders folders = PackageFolders();
  std::vector<QTreeWidgetItem*> nodes = TreeNodes();
  // From the last node up: deleting one never disturbs those still to be visited.
  for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
    QTreeWidgetItem* node = *it;
    const TPackageEntry entry = EntryOf(node);
    const bool ticked = IsAutoConnection(IncludeTrailingPathDelimiter(entry.RelativePath));
    tvShortCuts->SetChecked(node, ticked, false);
    if (platform::FileExists(folders.InstalledPathOf(entry)) || !Offered(node))
      delete node;
    else if (ticked)
      for (QTreeWidgetItem* n = node; n; n = n->parent()) n->setExpanded(true);
  }
}

void TfrmEasySetup::CreateLink(const std::string& Target, const std::string& Name) {
  ::CreateLink(Target, Name, *ShortCutList);
}

void TfrmEasySetup::RegisterConnections() {
  std::vector<TPackageEntry> folders;
  bool webService = false;
  for (QTreeWidgetItem* node : TreeNodes()) {
    if (!tvShortCuts->GetChecked(node)) continue;
    if (SameText(node->text(0).toStdString(), WebServiceHost))
      webService = true;
    else
      folders.push_back(EntryOf(node));
  }
  ::RegisterConnections(folders, webService, PackageFolders());
}

void TfrmEasySetup::MergeExternalFileExts() {
  ::MergeExternalFileExts(TKvelo7Information::CommonSettingFolder(), ExternalFileExts);
}

// Other items share the list's folder and file icons.
int TfrmEasySetup::GetIconIndex(const std::string& Path) {
  if (ExtractFileExt(Path) == ".exe") {
    QIcon icon = QIcon::fromTheme("application-x-executable");
    if (icon.isNull()) icon = QFileIconProvider().icon(QFileIconProvider::File);
    return ImageListHandle->Add(icon);
  }
  return platform::DirectoryExists(Path) ? FolderIconIndex : FileIconIndex;
}

// --- buttons -------------------------------------------------------------------------------------

void TfrmEasySetup::Image3Click(QObject*) {
  Image3MouseUp(Image3, Qt::LeftButton);
  if (FPageState == psClose) return;  // the window is closing: there is no page after it
  SetPageState(static_cast<TPageState>(static_cast<int>(FPageState) + 1));
}

void TfrmEasySetup::Image2Click(QObject*) {
  if (HasDisabledColor(lblCancel)) return;
  if (!StartInstall && FPageState != psCopyData && FPageState != psShortCuts) {
    if (FMessageBoxes.Question(this, CloseQuestion, ExitCaption)) {
      CloseStatus = true;
      close();
    }
    return;
  }
  if (!FMessageBoxes.Question(this, CancelQuestion, ExitCaption)) return;
  BreakInstall = true;
  if (FPageState == psCopyData || FPageState == psShortCuts) {
    Rollback();
    memStatus->hide();
    lblStatus->hide();
    lblFinish->SetCaption(CancelledText);
    SetPageState(psConnections);  // does nothing while the copy still runs
  }
}

void TfrmEasySetup::Image3MouseDown(QObject* Sender, Qt::MouseButton Button) {
  if (Button != Qt::LeftButton || StartInstall) return;
  if (Sender == Image2 && HasDisabledColor(lblCancel)) return;
  auto* face = dynamic_cast<TImage*>(Sender);
  ASSERT(face);
  face->SetPicture(Image5->Picture());
  ProcessMessages();
}

void TfrmEasySetup::Image3MouseUp(QObject* Sender, Qt::MouseButton Button) {
  if (Button != Qt::LeftButton) return;
  auto* face = dynamic_cast<TImage*>(Sender);
  ASSERT(face);
  face->SetPicture(Image4->Picture());
  ProcessMessages();
}

void TfrmEasySetup::lblNextMouseDown(QObject*, Qt::MouseButton Button) { Image3MouseDown(Image3, Button); }
void TfrmEasySetup::lblNextMouseUp(QObject*, Qt::MouseButton Button) { Image3MouseUp(Image3, Button); }
void TfrmEasySetup::lblCancelMouseDown(QObject*, Qt::MouseButton Button) { Image3MouseDown(Image2, Button); }
void TfrmEasySetup::lblCancelMouseUp(QObject*, Qt::MouseButton Button) { Image3MouseUp(Image2, Button); }

// Ticking a node never changes its subnodes.
void TfrmEasySetup::tvShortCutsCheck(TOXCheckedTreeView*, QTreeWidgetItem*, bool&, bool& ApplyForSubNodes) {
  ApplyForSubNodes = false;
}

// OK only for the folder of an installed client.
void TfrmEasySetup::FWOpenDirectory1ChangeFolder(TFWOpenDirectory*, const std::string& Path, bool& EnableButton) {
  static constexpr std::string_view ClientExecutable[] = {"Client", "okvelo.exe"};
  EnableButton = HoldsPathIgnoringCase(IncludeTrailingPathDelimiter(Path), ClientExecutable);
}

bool TfrmEasySetup::HasDisabledColor(const TLabel* Label) { return Label->FontColor() == DisabledLabelColor; }

// --- closing -------------------------------------------------------------------------------------

void TfrmEasySetup::FormCloseQuery(bool& CanClose) {
  if (!CloseStatus) Image2Click(nullptr);
  CanClose = CloseStatus;
}

void TfrmEasySetup::closeEvent(QCloseEvent* event) {
  bool canClose = false;
  Guarded([&] { FormCloseQuery(canClose); });
  event->setAccepted(canClose);
}

// Keys that no control took: those of the window's default and cancel buttons.
void TfrmEasySetup::keyPressEvent(QKeyEvent* event) {
  if (IsPlainKey(event, {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})) {
    event->accept();
    if (event->isAutoRepeat()) return;  // held down it would run through the pages
    (event->key() == Qt::Key_Escape ? Image2 : Image3)->Press();
    return;
  }
  TForm::keyPressEvent(event);
}

// --- support -------------------------------------------------------------------------------------

void TfrmEasySetup::ShowException(const std::string& Text) { FMessageBoxes.Error(this, Text, ApplicationTitle); }

void TfrmEasySetup::ProcessMessages() { QCoreApplication::processEvents(); }

void TfrmEasySetup::Log(const std::string& Line) {
  memStatus->AddLine(Q(Line));
  if (FRunLog) FRunLog->Write(Line);
}
