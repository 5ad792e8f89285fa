#include "dlgEasySetup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTextBlock>

#include <optional>
#include <vector>

#include "Artwork.h"
#include "OXCheckedTreeView.h"
#include "Ox.Types.h"
#include "WizardTestSupport.h"
#include "platform/CodePages.h"
#include "platform/NamedMutex.h"

namespace {

const std::string ExitCaption = "Завершение программы";
const std::string CloseQuestion = "Закрыть утилиту квента обновления?";
const std::string CancelQuestion = "Отменить процесс квента обновления?";
const std::string NotInstalledText = "Не удалось обнаружить установленную версию ОРВЕЛ Квело версии 7.0";
const QString CancelledText = "Квента установка отменена пользователем. Для завершения нажмите кнопку \"Готово\"";
const QString AbortedText = "Квента установка прервана из-за ошибки. Для завершения нажмите кнопку \"Готово\"";
const QString FinishedText = "Квента установка завершена. Для завершения нажмите кнопку \"Готово\"";
const QString CopyFinishedText = "Копирование завершено. Для продолжения нажмите \"Далее>\"";
const QString ShortCutsCaption = "Выберите файл или папку на которые вы хотели бы создать ярлык:";
const QString ConnectionsCaption = "Выберите папки которые необходимо подключить к Орвел Квело:";
const QString Host = QString::fromUtf8(WebServiceHost.data(), WebServiceHost.size());
const QColor Disabled(96, 104, 112);

TShownBox Asked(const std::string& question) { return {mbkQuestion, question, ExitCaption}; }

void SendMouse(QWidget* widget, QEvent::Type type, Qt::MouseButton button = Qt::LeftButton) {
  QPointF pos = QRectF(widget->rect()).center();
  Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
  QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, buttons, Qt::NoModifier);
  QApplication::sendEvent(widget, &event);
}

// Press, release, double click, release: what the window system delivers for a double click.
void DoubleClick(QWidget* widget) {
  SendMouse(widget, QEvent::MouseButtonPress);
  SendMouse(widget, QEvent::MouseButtonRelease);
  SendMouse(widget, QEvent::MouseButtonDblClick);
  SendMouse(widget, QEvent::MouseButtonRelease);
}

class WizardForm : public ::testing::Test {
 protected:
  TfrmEasySetup& Open() {
    Form = ShowForm(Package.Path(), Boxes);
    return *Form;
  }

  void WriteSettings(std::string_view text) { Package.WriteFile("settings.ini", text); }
  std::string Document(std::string_view relative) const {
    return "QuentaSetupData/Орвел-Квело/" + std::string(relative);
  }

  void Next() { QTest::mouseClick(Form->Image3, Qt::LeftButton); }
  void Cancel() { QTest::mouseClick(Form->Image2, Qt::LeftButton); }
  // Clicks where the user sees the button: the window decides which control is hit.
  void ClickInWindow(QWidget* control) {
    QPoint pos = control->geometry().center();
    QTest::mouseClick(Form->windowHandle(), Qt::LeftButton, {}, pos);
  }

  bool IsShowing() const { return Form->isVisible(); }
  QColor WindowText() const { return Form->palette().color(QPalette::WindowText); }
  std::vector<QString> TopLevelTexts() const {
    std::vector<QString> texts;
    for (int i = 0; i < Form->tvShortCuts->topLevelItemCount(); ++i)
      texts.push_back(Form->tvShortCuts->topLevelItem(i)->text(0));
    return texts;
  }

  TClientSandbox Client;
  TTempDir Package;
  TScriptedMessageBoxes Boxes;
  std::unique_ptr<TfrmEasySetup> Form;
};

// --- the form as designed ------------------------------------------------------------------------

TEST_F(WizardForm, ShowsTheDesignedWindowAndControls) {
  TfrmEasySetup& form = Open();
  EXPECT_EQ(form.windowTitle(), "Quenta Setup");
  EXPECT_EQ(form.size(), QSize(694, 497));
  EXPECT_EQ(form.minimumSize(), form.maximumSize());
  EXPECT_FALSE(form.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
  EXPECT_EQ(form.font().family(), "Tahoma");
  EXPECT_EQ(form.font().pixelSize(), 11);

  struct {
    const char* Name;
    QWidget* Control;
    QRect Bounds;  // an empty width or height: sized to its text
    bool Visible;
  } controls[] = {
      {"Image1", form.Image1, {0, 0, 694, 497}, true},
      {"Label1", form.Label1, {200, 72, 0, 0}, true},
      {"Label2", form.Label2, {200, 91, 0, 0}, true},
      {"Image4", form.Image4, {296, 424, 77, 25}, false},
      {"Image5", form.Image5, {376, 424, 77, 25}, false},
      {"Image2", form.Image2, {602, 462, 77, 25}, true},
      {"lblCancel", form.lblCancel, {621, 468, 0, 0}, true},
      {"Image3", form.Image3, {377, 462, 77, 25}, true},
      {"lblNext", form.lblNext, {394, 468, 0, 0}, true},
      {"lblStatus", form.lblStatus, {200, 382, 468, 13}, false},
      {"lblShortCuts", form.lblShortCuts, {200, 128, 0, 0}, false},
      {"lblFinish", form.lblFinish, {200, 152, 0, 0}, false},
      {"memInfo", form.memInfo, {200, 122, 468, 290}, true},
      {"pbStatus", form.pbStatus, {200, 401, 468, 17}, false},
      {"memStatus", form.memStatus, {200, 122, 468, 254}, false},
      {"tvShortCuts", form.tvShortCuts, {200, 147, 468, 292}, false},
      {"pbCurrentProgress", form.pbCurrentProgress, {200, 424, 468, 17}, false},
  };
  QList<QWidget*> backToFront;
  for (QObject* child : form.children())
    if (auto* w = qobject_cast<QWidget*>(child)) backToFront.push_back(w);
  ASSERT_EQ(backToFront.size(), static_cast<qsizetype>(std::size(controls)));
  for (std::size_t i = 0; i < std::size(controls); ++i) {
    const auto& c = controls[i];
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(backToFront[static_cast<qsizetype>(i)], c.Control);
    EXPECT_EQ(c.Control->pos(), c.Bounds.topLeft());
    if (!c.Bounds.isEmpty()) {
      EXPECT_EQ(c.Control->size(), c.Bounds.size());
    }
    EXPECT_EQ(c.Control->isVisible(), c.Visible);
  }

  struct {
    TLabel* Label;
    QString Caption;
    const char* Family;
    bool Bold;
    QColor Colour;
  } labels[] = {
      {form.Label1, "Центр ОРВЕЛ", "MS Sans Serif", true, Qt::white},
      {form.Label2, "Квента обновление программного комплекса ОРВЕЛ - Квело 7", "MS Sans Serif", true, Qt::white},
      {form.lblCancel, "Отмена", "MS Sans Serif", false, WindowText()},
      {form.lblNext, "Далее >", "MS Sans Serif", false, WindowText()},
      {form.lblStatus, "lblStatus", "Tahoma", false, Qt::white},
      {form.lblShortCuts, ShortCutsCaption, "Tahoma", false, Qt::white},
      {form.lblFinish, FinishedText, "Tahoma", false, Qt::white},
  };
  for (const auto& l : labels) {
    SCOPED_TRACE(l.Caption.toStdString());
    EXPECT_EQ(l.Label->Caption(), l.Caption);
    EXPECT_EQ(l.Label->font().family(), l.Family);
    EXPECT_EQ(l.Label->font().pixelSize(), 11);
    EXPECT_EQ(l.Label->font().bold(), l.Bold);
    EXPECT_EQ(l.Label->FontColor(), l.Colour);
    EXPECT_FALSE(l.Label->autoFillBackground());
    if (l.Label->AutoSize()) {
      EXPECT_EQ(l.Label->width(), l.Label->sizeHint().width());
    }
  }
  EXPECT_NE(WindowText(), Disabled);

  EXPECT_EQ(form.Image1->Picture(), WizardBackground());
  EXPECT_EQ(form.Image4->Picture(), ButtonFaceNormal());
  EXPECT_EQ(form.Image5->Picture(), ButtonFacePressed());
  EXPECT_EQ(form.Image2->Picture(), ButtonFaceNormal());
  EXPECT_EQ(form.Image3->Picture(), ButtonFaceNormal());

  EXPECT_TRUE(form.memInfo->isReadOnly());
  EXPECT_FALSE(form.memInfo->focusPolicy() & Qt::TabFocus);
  EXPECT_EQ(form.memInfo->palette().color(QPalette::Base), QColor(Qt::white));
  EXPECT_EQ(form.memInfo->palette().color(QPalette::Text), QColor(Qt::black));
  EXPECT_EQ(form.memStatus->lineWrapMode(), QTextEdit::NoWrap);
  EXPECT_EQ(form.pbCurrentProgress->minimum(), 0);
  EXPECT_EQ(form.pbCurrentProgress->maximum(), 100);
  EXPECT_TRUE(form.tvShortCuts->CheckBox());
  EXPECT_FALSE(form.tvShortCuts->ControlCheckState());
  EXPECT_EQ(form.tvShortCuts->indentation(), 19);
  const std::vector<QWidget*> tabOrder = {form.memInfo,           form.pbStatus, form.memStatus, form.tvShortCuts,
                                          form.pbCurrentProgress, form.Image3,   form.Image2};
  std::vector<QWidget*> chain;
  QWidget* w = form.memInfo;
  for (int i = 0; i < 500 && chain.size() < tabOrder.size(); ++i, w = w->nextInFocusChain())
    if (std::find(tabOrder.begin(), tabOrder.end(), w) != tabOrder.end() &&
        std::find(chain.begin(), chain.end(), w) == chain.end())
      chain.push_back(w);
  EXPECT_EQ(chain, tabOrder);

  EXPECT_EQ(form.PageState(), psHello);
  EXPECT_GT(form.GetImageListCount(), 0);
  EXPECT_EQ(form.GetImageListCount(), form.GetImageList().Count());
  EXPECT_EQ(form.BaseFolder(), Package.Path() + "/");
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(WizardForm, IntroductionHasItsTwentyLines) {
  const std::vector<QString> expected = {
      "",
      "Данное приложение выполнит обновление файлов программного комплекса ОРВЕЛ ",
      "Квело.",
      "",
      "Все измененные файлы будут сохранены в резервных копиях во избежании потери ",
      "информации.",
      "", "", "", "", "",
      QString(52, '='),
      "", "", "", "", "",
      "Для начала установки нажмите кнопку \"Далее >\"",
      "",
      "Для отмены установки нажмите кнопку \"Отмена\"",
  };
  TfrmEasySetup& form = Open();
  std::vector<QString> lines;
  for (QTextBlock b = form.memInfo->document()->begin(); b.isValid(); b = b.next()) lines.push_back(b.text());
  EXPECT_EQ(lines, expected);
}

TEST_F(WizardForm, StatusLineShortensLongPathsInTheMiddle) {
  TfrmEasySetup& form = Open();
  const QString path = "/home/user/Documents/Орвел-Квело/" + QString("Нормативы/").repeated(12) + "Сборник 01.oxd5";
  form.lblStatus->SetCaption(path);
  EXPECT_EQ(form.lblStatus->Caption(), path);
  const QString shown = form.lblStatus->text();
  EXPECT_LE(form.lblStatus->fontMetrics().horizontalAdvance(shown), 468);
  ASSERT_TRUE(shown.contains(QChar(0x2026))) << shown.toStdString();
  EXPECT_TRUE(path.startsWith(shown.section(QChar(0x2026), 0, 0)));
  EXPECT_TRUE(shown.endsWith("oxd5"));
  EXPECT_EQ(form.lblStatus->size(), QSize(468, 13));

  form.lblStatus->SetCaption("/short/path.txt");
  EXPECT_EQ(form.lblStatus->text(), "/short/path.txt");
}

// --- settings.ini --------------------------------------------------------------------------------

struct TSettingsCase {
  const char* Name;
  std::string Settings;
  std::vector<std::string> AutoLinks;
  std::vector<std::string> AutoConnections;
  bool ShowLinks = true;
  bool ShowConnections = true;
  std::string ExternalFileExts;
};

TEST_F(WizardForm, LoadSettingsKeepsExistingItemsInFileOrder) {
  Package.WriteFile(Document("Docs/Manual.pdf"), "pdf");
  Package.MakeDir(Document("Templates/Sub"));
  Package.WriteFile(Document("Readme.txt"), "txt");
  const std::string host(WebServiceHost);
  const TSettingsCase cases[] = {
      {"the example file",
       "[links]\nshowdialog=1\na=Docs\\Manual.pdf\nb=Templates\n"
       "[connections]\nshowdialog=0\nc=Templates\nd=" + host + "\n"
       "[CommonSettings.XML]\nExternalFileExts=.pdf;.xls\n",
       {"Docs/Manual.pdf", "Templates/"}, {"Templates/", host}, true, false, ".pdf;.xls"},
      {"folders with and without a trailing separator, missing items dropped",
       "[links]\nx=Templates\\\ny=Templates/Sub\nz=Missing.doc\nw=Docs\\Missing\\\nv=Readme.txt\n"
       "[connections]\np=Templates\\Sub\\\nq=Readme.txt\nr=Nowhere\ns=Templates\n",
       {"Templates/", "Templates/Sub/", "Readme.txt"}, {"Templates/Sub/", "Templates/"}, true, true, ""},
      {"the reserved value in other letter case is kept as written",
       "[connections]\nweb=DOCS.Orvel-Kvelo.RU\nempty=\n",
       {}, {"DOCS.Orvel-Kvelo.RU", ""}, true, true, ""},
      {"names ignore letter case; showdialog as a number",
       "[LINKS]\nShowDialog=0x0\n[Connections]\nSHOWDIALOG=abc\n[commonsettings.xml]\nexternalfileexts= .doc \n",
       {}, {}, false, true, ".doc"},
      {"an empty file", "", {}, {}, true, true, ""},
  };
  for (const TSettingsCase& c : cases) {
    SCOPED_TRACE(c.Name);
    WriteSettings(c.Settings);
    TfrmEasySetup& form = Open();
    EXPECT_EQ(form.GetAutoLinks().ToStringArray(), c.AutoLinks);
    EXPECT_EQ(form.GetAutoConnections().ToStringArray(), c.AutoConnections);
    EXPECT_EQ(form.GetShowLinksDialog(), c.ShowLinks);
    EXPECT_EQ(form.GetShowConnectionsDialog(), c.ShowConnections);
    EXPECT_EQ(form.GetExternalFileExts(), c.ExternalFileExts);
  }
}

TEST_F(WizardForm, LoadSettingsReadsWindowsFilesAndTreatsAMissingFileAsEmpty) {
  TfrmEasySetup& bare = Open();
  EXPECT_TRUE(bare.GetAutoLinks().IsEmpty());
  EXPECT_TRUE(bare.GetAutoConnections().IsEmpty());
  EXPECT_TRUE(bare.GetShowLinksDialog());
  EXPECT_TRUE(bare.GetShowConnectionsDialog());
  EXPECT_EQ(bare.GetExternalFileExts(), "");

  // As written on a Russian Windows: the ANSI code page and CR LF.
  Package.MakeDir(Document("Нормативы"));
  WriteSettings(platform::Utf8ToAnsi("[links]\r\nn=Нормативы\r\n[connections]\r\nn=Нормативы\\\r\n"));
  TfrmEasySetup& form = Open();
  EXPECT_EQ(form.GetAutoLinks().ToStringArray(), std::vector<std::string>{"Нормативы/"});
  EXPECT_EQ(form.GetAutoConnections().ToStringArray(), std::vector<std::string>{"Нормативы/"});
}

// --- the page walk -------------------------------------------------------------------------------

TEST_F(WizardForm, WalkWithoutClientGoesFromTheErrorToTheFinish) {
  TfrmEasySetup& form = Open();
  Next();
  ASSERT_EQ(Boxes.Shown, (std::vector<TShownBox>{{mbkMessage, NotInstalledText, "Ошибка."}}));
  EXPECT_EQ(form.PageState(), psConnections);
  EXPECT_FALSE(form.GetStartInstall());
  EXPECT_FALSE(form.memInfo->isVisible());
  EXPECT_FALSE(form.memStatus->isVisible());
  EXPECT_FALSE(form.lblStatus->isVisible());
  EXPECT_FALSE(form.pbStatus->isVisible());
  EXPECT_FALSE(form.pbCurrentProgress->isVisible());
  EXPECT_TRUE(form.tvShortCuts->isVisible());
  EXPECT_EQ(TopLevelTexts(), std::vector<QString>{Host});
  EXPECT_FALSE(form.tvShortCuts->GetChecked(form.tvShortCuts->topLevelItem(0)));
  EXPECT_EQ(form.lblShortCuts->Caption(), ConnectionsCaption);
  EXPECT_EQ(form.lblStatus->Caption(), CopyFinishedText);
  EXPECT_EQ(form.lblNext->FontColor(), WindowText());
  EXPECT_FALSE(form.lblFinish->isVisible());

  Next();
  EXPECT_EQ(form.PageState(), psDone);
  EXPECT_FALSE(form.tvShortCuts->isVisible());
  EXPECT_FALSE(form.lblShortCuts->isVisible());
  EXPECT_TRUE(form.lblFinish->isVisible());
  EXPECT_EQ(form.lblFinish->Caption(), AbortedText);
  EXPECT_EQ(form.lblNext->Caption(), "Готово");
  EXPECT_EQ(form.lblNext->width(), form.lblNext->sizeHint().width());
  EXPECT_EQ(form.lblCancel->FontColor(), Disabled);

  Next();
  EXPECT_EQ(form.PageState(), psClose);
  EXPECT_TRUE(form.GetCloseStatus());
  EXPECT_FALSE(IsShowing());
  EXPECT_EQ(Boxes.Shown.size(), 1u);
}

TEST_F(WizardForm, WalkWithClientVisitsEveryPage) {
  Client.InstallClient();
  TfrmEasySetup& form = Open();
  Next();
  EXPECT_TRUE(Boxes.Shown.empty());
  EXPECT_EQ(form.PageState(), psCopyData);
  EXPECT_FALSE(form.GetStartInstall());
  EXPECT_FALSE(form.memInfo->isVisible());
  EXPECT_FALSE(form.pbStatus->isVisible());
  EXPECT_EQ(form.lblStatus->Caption(), CopyFinishedText);
  EXPECT_EQ(form.lblNext->FontColor(), WindowText());

  Next();
  EXPECT_EQ(form.PageState(), psShortCuts);
  EXPECT_TRUE(form.lblShortCuts->isVisible());
  EXPECT_EQ(form.lblShortCuts->Caption(), ShortCutsCaption);
  EXPECT_TRUE(form.tvShortCuts->isVisible());
  EXPECT_FALSE(form.memStatus->isVisible());
  EXPECT_FALSE(form.lblStatus->isVisible());
  EXPECT_TRUE(TopLevelTexts().empty());

  Next();
  EXPECT_EQ(form.PageState(), psConnections);
  EXPECT_EQ(form.lblShortCuts->Caption(), ConnectionsCaption);
  EXPECT_EQ(TopLevelTexts(), std::vector<QString>{Host});

  Next();
  EXPECT_EQ(form.PageState(), psDone);
  EXPECT_EQ(form.lblFinish->Caption(), FinishedText);
  EXPECT_TRUE(form.lblFinish->isVisible());

  ClickInWindow(form.lblNext);
  EXPECT_FALSE(IsShowing());
  EXPECT_TRUE(Boxes.Shown.empty());
}

TEST_F(WizardForm, ErrorOfThePageWorkIsReportedAndTheWizardGoesOn) {
  Client.WriteMachineRegistry("\"InstallLocation\"=dword:00000001\n");
  TfrmEasySetup& form = Open();
  Next();
  EXPECT_EQ(Boxes.Shown, (std::vector<TShownBox>{{mbkError, "Invalid data type for 'InstallLocation'", "Quenta Setup"}}));
  // The copy page's closing steps ran before the report.
  EXPECT_EQ(form.PageState(), psCopyData);
  EXPECT_FALSE(form.GetStartInstall());
  EXPECT_EQ(form.lblStatus->Caption(), CopyFinishedText);
  EXPECT_EQ(form.lblNext->FontColor(), WindowText());
  Next();
  EXPECT_EQ(form.PageState(), psShortCuts);
  EXPECT_EQ(Boxes.Shown.size(), 1u);
}

TEST_F(WizardForm, ShowDialogZeroSkipsItsPage) {
  Client.InstallClient();
  struct {
    const char* Settings;
    std::vector<TPageState> Pages;  // after each "Далее >"
  } cases[] = {
      {"", {psCopyData, psShortCuts, psConnections, psDone, psClose}},
      {"[links]\nshowdialog=0\n", {psCopyData, psConnections, psDone, psClose}},
      {"[connections]\nshowdialog=0\n", {psCopyData, psShortCuts, psDone, psClose}},
      {"[links]\nshowdialog=0\n[connections]\nshowdialog=0\n", {psCopyData, psDone, psClose}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Settings);
    WriteSettings(c.Settings);
    TfrmEasySetup& form = Open();
    std::vector<TPageState> pages;
    while (IsShowing() && pages.size() < 6) {
      Next();
      pages.push_back(form.PageState());
    }
    EXPECT_EQ(pages, c.Pages);
  }
}

TEST_F(WizardForm, SkippedShortcutPageStillCaptionsTheConnectionPage) {
  Client.InstallClient();
  WriteSettings("[links]\nshowdialog=0\n");
  TfrmEasySetup& form = Open();
  Next();
  Next();
  EXPECT_EQ(form.PageState(), psConnections);
  EXPECT_TRUE(form.lblShortCuts->isVisible());
  EXPECT_EQ(form.lblShortCuts->Caption(), ConnectionsCaption);
  EXPECT_TRUE(form.tvShortCuts->isVisible());
}

TEST_F(WizardForm, WebServiceNodeIsTickedOnlyByTheExactHost) {
  struct {
    std::string Value;
    bool Ticked;
  } cases[] = {{std::string(WebServiceHost), true}, {"DOCS.Orvel-Kvelo.RU", false}, {"", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    WriteSettings("[connections]\nweb=" + c.Value + "\n");
    TfrmEasySetup& form = Open();
    Next();  // no client: straight to the connection page
    ASSERT_EQ(form.PageState(), psConnections);
    ASSERT_EQ(TopLevelTexts(), std::vector<QString>{Host});
    EXPECT_EQ(form.tvShortCuts->GetChecked(form.tvShortCuts->topLevelItem(0)), c.Ticked);
  }
}

// --- cancel and close ----------------------------------------------------------------------------

TEST_F(WizardForm, CancelAndCloseAskOnEveryPage) {
  Client.InstallClient();
  enum TTrigger { ByFace, ByLabel, ByWindowClose };
  struct {
    TPageState Page;
    int NextPresses;
    std::optional<std::string> Question;  // none: nothing is asked
    TPageState AfterYes;
    bool ClosedByYes;
  } pages[] = {
      {psHello, 0, CloseQuestion, psHello, true},
      {psCopyData, 1, CancelQuestion, psConnections, false},
      {psShortCuts, 2, CancelQuestion, psConnections, false},
      {psConnections, 3, CloseQuestion, psConnections, true},
      {psDone, 4, std::nullopt, psDone, false},
  };
  for (const auto& p : pages) {
    for (TTrigger trigger : {ByFace, ByLabel, ByWindowClose}) {
      for (bool yes : {false, true}) {
        SCOPED_TRACE(testing::Message() << "page " << static_cast<int>(p.Page) << ", trigger " << trigger
                                        << ", answer " << (yes ? "yes" : "no"));
        Boxes.Shown.clear();
        TfrmEasySetup& form = Open();
        for (int i = 0; i < p.NextPresses; ++i) Next();
        ASSERT_EQ(form.PageState(), p.Page);
        if (p.Question) Boxes.Answers = {yes};
        if (trigger == ByFace) Cancel();
        if (trigger == ByLabel) QTest::mouseClick(form.lblCancel, Qt::LeftButton);
        if (trigger == ByWindowClose) form.close();

        if (p.Question)
          EXPECT_EQ(Boxes.Shown, std::vector<TShownBox>{Asked(*p.Question)});
        else
          EXPECT_TRUE(Boxes.Shown.empty());
        EXPECT_TRUE(Boxes.Answers.empty());
        const bool closed = yes && p.ClosedByYes;
        EXPECT_EQ(IsShowing(), !closed);
        EXPECT_EQ(form.GetCloseStatus(), closed);
        EXPECT_EQ(form.PageState(), yes ? p.AfterYes : p.Page);
        EXPECT_EQ(form.GetBreakInstall(), yes && p.Question == CancelQuestion);
      }
    }
  }
}

TEST_F(WizardForm, ConfirmedCancelLeadsToTheCancelledFinish) {
  Client.InstallClient();
  for (int presses : {1, 2}) {  // on the copy page and on the shortcut page
    SCOPED_TRACE(presses);
    TfrmEasySetup& form = Open();
    for (int i = 0; i < presses; ++i) Next();
    Boxes.Answers = {true};
    Cancel();
    EXPECT_EQ(form.PageState(), psConnections);
    EXPECT_FALSE(form.memStatus->isVisible());
    EXPECT_FALSE(form.lblStatus->isVisible());
    EXPECT_TRUE(form.tvShortCuts->isVisible());
    EXPECT_EQ(TopLevelTexts(), std::vector<QString>{Host});
    Next();
    EXPECT_EQ(form.PageState(), psDone);
    EXPECT_EQ(form.lblFinish->Caption(), CancelledText);
    EXPECT_TRUE(form.lblFinish->isVisible());
    // Cancelling is over: the label says so, and neither button nor title bar asks again.
    EXPECT_EQ(form.lblCancel->FontColor(), Disabled);
    Cancel();
    form.close();
    EXPECT_TRUE(IsShowing());
    Next();
    EXPECT_FALSE(IsShowing());
  }
}

// While the copy runs its page's work lets events through; the client check's error box does so
// here, as a real box would.
TEST_F(WizardForm, DuringTheCopyNextIsIgnoredAndCancelNoLetsItGoOn) {
  TfrmEasySetup& form = Open();
  bool ran = false;
  Boxes.WhileShown = [&](const TShownBox& box) {
    if (box.Kind != mbkMessage) return;
    ASSERT_TRUE(form.GetStartInstall());
    Next();
    EXPECT_EQ(form.PageState(), psCopyData);
    Boxes.Answers = {false};
    Cancel();
    EXPECT_EQ(Boxes.Shown.back(), Asked(CancelQuestion));
    // A press on either face is refused while the copy runs.
    SendMouse(form.Image2, QEvent::MouseButtonPress);
    SendMouse(form.Image3, QEvent::MouseButtonPress);
    EXPECT_EQ(form.Image2->Picture(), ButtonFaceNormal());
    EXPECT_EQ(form.Image3->Picture(), ButtonFaceNormal());
    ran = true;
  };
  Next();
  ASSERT_TRUE(ran);
  EXPECT_FALSE(form.GetBreakInstall());
  EXPECT_EQ(form.PageState(), psConnections);  // the copy page's own ending, untouched
  EXPECT_EQ(form.lblFinish->Caption(), AbortedText);
  EXPECT_TRUE(IsShowing());
}

TEST_F(WizardForm, CancelConfirmedDuringTheCopyRestoresAndCloses) {
  TfrmEasySetup& form = Open();
  Boxes.WhileShown = [&](const TShownBox& box) {
    if (box.Kind != mbkMessage) return;
    Boxes.Answers = {true};
    form.close();  // the title bar asks the same as "Отмена"
    EXPECT_TRUE(form.GetBreakInstall());
    EXPECT_TRUE(IsShowing());  // not yet: the copy still runs
    EXPECT_EQ(form.lblFinish->Caption(), CancelledText);
  };
  Next();
  ASSERT_EQ(Boxes.Shown.size(), 2u);
  EXPECT_EQ(Boxes.Shown[1], Asked(CancelQuestion));
  EXPECT_FALSE(IsShowing());
  EXPECT_TRUE(form.GetCloseStatus());
  EXPECT_FALSE(form.GetStartInstall());
  EXPECT_EQ(form.memStatus->toPlainText(), "Произвожу процесс восстановления данных.");
}

// --- the button faces ----------------------------------------------------------------------------

TEST_F(WizardForm, FacesShowThePressAndFollowTheirLabels) {
  TfrmEasySetup& form = Open();
  struct {
    QWidget* Target;
    TImage* Face;
  } targets[] = {{form.Image3, form.Image3}, {form.lblNext, form.Image3},
                 {form.Image2, form.Image2}, {form.lblCancel, form.Image2}};
  for (const auto& t : targets) {
    SendMouse(t.Target, QEvent::MouseButtonPress, Qt::RightButton);
    EXPECT_EQ(t.Face->Picture(), ButtonFaceNormal());
    SendMouse(t.Target, QEvent::MouseButtonPress);
    EXPECT_EQ(t.Face->Picture(), ButtonFacePressed());
    SendMouse(t.Target, QEvent::MouseButtonRelease, Qt::RightButton);
    EXPECT_EQ(t.Face->Picture(), ButtonFacePressed());
    // Moved off before the release: no click, and the face comes up again.
    QPointF outside(-5, -5);
    QMouseEvent release(QEvent::MouseButtonRelease, outside, t.Target->mapToGlobal(outside), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(t.Target, &release);
    EXPECT_EQ(t.Face->Picture(), ButtonFaceNormal());
  }
  EXPECT_EQ(form.PageState(), psHello);
  EXPECT_TRUE(Boxes.Shown.empty());

  // On the finish page the cancel face no longer goes down; the next face still does.
  Next();
  Next();
  ASSERT_EQ(form.PageState(), psDone);
  SendMouse(form.lblCancel, QEvent::MouseButtonPress);
  SendMouse(form.Image2, QEvent::MouseButtonPress);
  EXPECT_EQ(form.Image2->Picture(), ButtonFaceNormal());
  SendMouse(form.lblNext, QEvent::MouseButtonPress);
  EXPECT_EQ(form.Image3->Picture(), ButtonFacePressed());
}

TEST_F(WizardForm, DoubleClickOnNextMakesTwoRequests) {
  Client.InstallClient();
  TfrmEasySetup& form = Open();
  Next();
  ASSERT_EQ(form.PageState(), psCopyData);
  DoubleClick(form.Image3);
  EXPECT_EQ(form.PageState(), psConnections);
  DoubleClick(form.lblNext);
  EXPECT_EQ(form.PageState(), psClose);
  EXPECT_FALSE(IsShowing());
}

TEST_F(WizardForm, DoubleClickOnHelloStartsTheCopyAndTheSecondRequestIsIgnored) {
  TfrmEasySetup& form = Open();
  // The second half of the double click arrives while the first click's copy runs.
  Boxes.WhileShown = [&](const TShownBox&) {
    SendMouse(form.Image3, QEvent::MouseButtonDblClick);
    SendMouse(form.Image3, QEvent::MouseButtonRelease);
  };
  SendMouse(form.Image3, QEvent::MouseButtonPress);
  SendMouse(form.Image3, QEvent::MouseButtonRelease);
  EXPECT_EQ(form.PageState(), psConnections);  // not psDone
  EXPECT_EQ(form.Image3->Picture(), ButtonFaceNormal());
  EXPECT_EQ(Boxes.Shown.size(), 1u);
}

// --- the tree ------------------------------------------------------------------------------------

TEST_F(WizardForm, TreeTicksOnlyTheClickedNode) {
  Client.InstallClient();
  TfrmEasySetup& form = Open();
  Next();
  Next();
  ASSERT_EQ(form.PageState(), psShortCuts);
  TOXCheckedTreeView& tree = *form.tvShortCuts;
  QTreeWidgetItem* folder = tree.AddChild(nullptr, "Нормативы");
  QTreeWidgetItem* child = tree.AddChild(folder, "Сборники");
  QTreeWidgetItem* grandchild = tree.AddChild(child, "2015");
  QTreeWidgetItem* leaf = tree.AddChild(grandchild, "Сборник 01.oxd5");
  tree.expandAll();
  auto ticks = [&] {
    return std::vector<bool>{tree.GetChecked(folder), tree.GetChecked(child), tree.GetChecked(grandchild),
                             tree.GetChecked(leaf)};
  };

  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, tree.CheckBoxRect(folder).center());
  EXPECT_EQ(ticks(), (std::vector<bool>{true, false, false, false}));
  QRect row = tree.visualItemRect(child);
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(row.right() - 3, row.center().y()));
  EXPECT_EQ(tree.currentItem(), child);
  EXPECT_EQ(ticks(), (std::vector<bool>{true, false, false, false}));

  tree.SetChecked(child, true, true);
  EXPECT_EQ(ticks(), (std::vector<bool>{true, true, true, true}));
  tree.SetChecked(folder, false, false);
  EXPECT_EQ(ticks(), (std::vector<bool>{false, true, true, true}));
}

}  // namespace
