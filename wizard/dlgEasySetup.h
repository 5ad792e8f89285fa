#pragma once
// The wizard's one window. Its pages follow each other on "Далее >": the introduction, the copy of
// the package with backup, the choice of desktop shortcuts, the choice of folders to register as
// data sources, and the finish. "Отмена" and the title bar's close button ask before they close,
// and on the copy and shortcut pages they roll the update back.
//
// Without a mouse: Tab reaches the page's controls and then "Далее >" and "Отмена", Space and
// Return press the focused button, Return anywhere else presses "Далее >" (the default button;
// the log takes no Return and leaves it there), Escape is "Отмена".
//
// Everything runs on the GUI thread. The copy processes pending events between its steps, so the
// handlers below also run re-entrantly inside it; three flags keep that safe: StartInstall (the copy
// runs: no page change), BreakInstall (a confirmed cancel: the copy stops at its next check) and
// CloseStatus (the wizard itself decided to close: only then may the window close).
//
// An error raised by a page's work ends that work and is shown in an error box with its text; the
// wizard stays usable. The handlers catch it where they start the work, since an exception must
// not leave a Qt event handler.
//
// The package lies in the base folder given to the constructor (the executable's own folder):
//   settings.ini                     optional: pages to skip, items to pre-tick, extensions to merge
//   QuentaSetupData/Client/          copied into the client's common data folder
//   QuentaSetupData/Орвел-Квело/     copied into the user's document root; offered on the pages

#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

#include <vector>

#include "FormControls.h"
#include "Runtime.StringList.h"
#include "Setup.PackageEntries.h"

class IMessageBoxes;
class QCloseEvent;
class QPlainTextEdit;
class QProgressBar;
class QTreeWidgetItem;
class TFWOpenDirectory;
class TOXCheckedTreeView;
class TUpdateSession;
class TRunLog;

enum TPageState : int { psHello, psCopyData, psShortCuts, psConnections, psDone, psClose };

class TfrmEasySetup : public TForm {
 public:
  // The colour of a label that stands for a disabled button: "Далее >" while the copy runs,
  // "Отмена" once cancelling is no longer possible.
  static const QColor DisabledLabelColor;

  // BaseFolder holds "settings.ini" and "QuentaSetupData" (with or without a trailing separator).
  // Runs FormCreate: when the client is running, the process ends here with exit code 0.
  // Every log line also goes to RunLog when given; the finish page names its file.
  TfrmEasySetup(const std::string& BaseFolder, IMessageBoxes& MessageBoxes, QWidget* parent = nullptr,
                TRunLog* RunLog = nullptr);
  ~TfrmEasySetup() override;

  // Controls, back to front.
  TImage* Image1;        // background
  TLabel* Label1;
  TLabel* Label2;
  TImage* Image4;        // hidden: the normal button face
  TImage* Image5;        // hidden: the pressed button face
  TButtonFace* Image2;   // the cancel button's face
  TLabel* lblCancel;
  TButtonFace* Image3;   // the next button's face
  TLabel* lblNext;
  TLabel* lblStatus;
  TLabel* lblShortCuts;
  TLabel* lblFinish;
  QPlainTextEdit* memInfo;
  QProgressBar* pbStatus;
  TRichEdit* memStatus;
  TOXCheckedTreeView* tvShortCuts;
  QProgressBar* pbCurrentProgress;
  // Non-visual: a folder browse dialog that allows only a client's folder; the wizard never opens it.
  TFWOpenDirectory* FWOpenDirectory1;

  // The state, for whoever watches the wizard.
  const std::string& BaseFolder() const { return FBaseFolder; }
  TPageState PageState() const { return FPageState; }
  bool GetCloseStatus() const { return CloseStatus; }
  bool GetStartInstall() const { return StartInstall; }
  bool GetBreakInstall() const { return BreakInstall; }
  const TImageList& GetImageList() const { return *ImageListHandle; }
  std::int32_t GetImageListCount() const { return ImageListCount; }
  const TStringList& GetDataList() const { return *DataList; }
  const TStringList& GetShortCutList() const { return *ShortCutList; }
  const TStringList& GetAutoLinks() const { return *AutoLinks; }
  const TStringList& GetAutoConnections() const { return *AutoConnections; }
  bool GetShowLinksDialog() const { return ShowLinksDialog; }
  bool GetShowConnectionsDialog() const { return ShowConnectionsDialog; }
  const std::string& GetExternalFileExts() const { return ExternalFileExts; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateControls();

  // Event handlers.
  void FormCreate();
  void FormCloseQuery(bool& CanClose);
  void FormDestroy();
  void Image3Click(QObject* Sender);
  void Image2Click(QObject* Sender);
  void Image3MouseDown(QObject* Sender, Qt::MouseButton Button);
  void Image3MouseUp(QObject* Sender, Qt::MouseButton Button);
  void lblNextMouseDown(QObject* Sender, Qt::MouseButton Button);
  void lblNextMouseUp(QObject* Sender, Qt::MouseButton Button);
  void lblCancelMouseDown(QObject* Sender, Qt::MouseButton Button);
  void lblCancelMouseUp(QObject* Sender, Qt::MouseButton Button);
  void tvShortCutsCheck(TOXCheckedTreeView* Sender, QTreeWidgetItem* ANode, bool& NewState, bool& ApplyForSubNodes);
  void FWOpenDirectory1ChangeFolder(TFWOpenDirectory* Sender, const std::string& Path, bool& EnableButton);

  void LoadSettings();
  // Before the introduction: a run that died half way through its copy is put back, or not.
  void OfferRestoreOfInterruptedUpdate();
  // The update can no longer be undone by this window: it is committed and its journal goes.
  void RetireJournal();
  void SetPageState(TPageState Page);
  // The closing steps of the copy page, after CopyData returned or raised.
  void FinishCopyPage();
  bool IsAutoLink(const std::string& Path) const;
  bool IsAutoConnection(const std::string& Path) const;

  // The pages' work.
  void CopyData();
  void Rollback();
  void CreateShortCuts();
  void CreateLink(const std::string& Target, const std::string& Name);
  void RegisterConnections();
  // What the shortcut and connection pages work on: the packages, the tree's nodes in tree order
  // (a parent before its children) and a node's DataList entry.
  TPackageFolders PackageFolders() const;
  std::vector<QTreeWidgetItem*> TreeNodes() const;
  TPackageEntry EntryOf(const QTreeWidgetItem* Node) const;
  bool Offered(const QTreeWidgetItem* Node) const;
  void MergeExternalFileExts();
  // The index of the item's small icon in ImageListHandle; an ".exe" gets an icon of its own.
  int GetIconIndex(const std::string& Path);

  // The update engine's view of the form, and the builder of the document package's tree.
  class TSetupHost;
  class TPackageTreeBuilder;

  // Runs a handler's body; an error it raises goes to ShowException.
  template <class F>
  void Guarded(F&& body);
  // The default error report: an error box with the error's text.
  void ShowException(const std::string& Text);
  void ProcessMessages();
  void Log(const std::string& Line);
  static bool HasDisabledColor(const TLabel* Label);

  bool CloseStatus = false;
  TPageState FPageState = psHello;
  std::unique_ptr<TImageList> ImageListHandle;
  std::int32_t ImageListCount = 0;
  std::string KveloCommonFolder;
  std::string KveloAppFolder;
  std::string BackUpCommonFolder;
  std::string BackUpAppFolder;
  std::unique_ptr<TStringList> DataList;
  std::unique_ptr<TStringList> ShortCutList;
  bool BreakInstall = false;
  bool StartInstall = false;
  std::unique_ptr<TStringList> AutoLinks;
  std::unique_ptr<TStringList> AutoConnections;
  bool ShowLinksDialog = true;
  bool ShowConnectionsDialog = true;
  std::string ExternalFileExts;

  std::string FBaseFolder;  // ends with the separator
  IMessageBoxes& FMessageBoxes;
  std::unique_ptr<TSetupHost> FSetupHost;
  std::unique_ptr<TUpdateSession> FSession;  // from the copy on
  TRunLog* FRunLog = nullptr;  // from the copy until the update cannot be cancelled
};
