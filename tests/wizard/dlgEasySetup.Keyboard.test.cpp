// The wizard driven by the keyboard alone, as the window system delivers keys: to the focused
// control of the active window, the form's own keys (Return, Escape) being those no control took.
// The questions are Qt's real message boxes, answered by keys too.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

#include "Artwork.h"
#include "OXCheckedTreeView.h"
#include "Ox.Types.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "Ox_Storage.ConnectionPool.h"
#include "WizardTestSupport.h"
#include "dlgEasySetup.h"
#include "platform/FileSystem.h"

namespace {

const std::string ExitCaption = "Завершение программы";
const std::string CloseQuestion = "Закрыть утилиту квента обновления?";
const std::string CancelQuestion = "Отменить процесс квента обновления?";
const QString CancelledText = "Квента установка отменена пользователем. Для завершения нажмите кнопку \"Готово\"";
const QString Host = QString::fromUtf8(WebServiceHost.data(), WebServiceHost.size());

void WaitActive(QWidget* window) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

// A key pressed and released in the window, delivered to whatever has its focus.
void Key(QWidget* window, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(window->windowHandle(), key, modifiers);
}

// Tab until the focus is on Target; false when it never gets there.
bool TabTo(QWidget* window, QWidget* target) {
  for (int i = 0; i < 12 && QApplication::focusWidget() != target; ++i) Key(window, Qt::Key_Tab);
  return QApplication::focusWidget() == target;
}

// Qt's boxes, shown for real; each is answered by the next script, run once the box is active.
class TKeyAnsweredBoxes : public IMessageBoxes {
 public:
  std::vector<TShownBox> Shown;
  std::deque<std::function<void(QMessageBox&)>> Scripts;

  void Warning(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    Show(mbkWarning, Owner, Text, Caption);
  }
  void Error(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    Show(mbkError, Owner, Text, Caption);
  }
  void Message(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    Show(mbkMessage, Owner, Text, Caption);
  }
  bool Question(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    return Show(mbkQuestion, Owner, Text, Caption) == QMessageBox::Yes;
  }

 private:
  int Show(TMessageBoxKind Kind, QWidget* Owner, const std::string& Text, const std::string& Caption) {
    Shown.push_back({Kind, Text, Caption});
    std::unique_ptr<QMessageBox> box = TQtMessageBoxes::Create(Kind, Owner, Text, Caption);
    std::function<void(QMessageBox&)> script;
    if (Scripts.empty()) {
      ADD_FAILURE() << "unexpected box: " << Text;
      script = [](QMessageBox& b) { b.done(QMessageBox::Cancel); };
    } else {
      script = Scripts.front();
      Scripts.pop_front();
    }
    QMessageBox* shown = box.get();
    QTimer::singleShot(0, shown, [shown, script] {
      WaitActive(shown);
      script(*shown);
    });
    const int answer = box->exec();
    // As a window manager gives the owner back its activation; the offscreen platform does not.
    if (Owner && Owner->isVisible()) WaitActive(Owner->window());
    return answer;
  }
};

// The box's answer by its keys: Return takes the focused button, the default "Нет" at first.
std::function<void(QMessageBox&)> PressReturn() {
  return [](QMessageBox& box) { Key(&box, Qt::Key_Return); };
}
// Tab to "Да", then Space on it.
std::function<void(QMessageBox&)> TabToYesAndSpace() {
  return [](QMessageBox& box) {
    EXPECT_TRUE(TabTo(&box, box.button(QMessageBox::Yes)));
    Key(&box, Qt::Key_Space);
  };
}

class WizardKeyboard : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeConnectionClasses();
    Client.InstallClient();
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Руководство.pdf", "pdf");
    Package.WriteFile("QuentaSetupData/Орвел-Квело/Нормативы/Сборник 01.txt", "2015");
    Client.Root().MakeDir("home/.local/share/Orvel/OrvelKvelo 7/Client/Settings");
  }

  TfrmEasySetup& Open() {
    Form = ShowForm(Package.Path(), Boxes);
    WaitActive(Form.get());
    return *Form;
  }
  void Press(Qt::Key key) { Key(Form.get(), key); }
  // Moves the tree's current node down to the one with the text.
  bool DownTo(const QString& text) {
    TOXCheckedTreeView* tree = Form->tvShortCuts;
    for (int i = 0; i < 12 && !(tree->currentItem() && tree->currentItem()->text(0) == text); ++i) Press(Qt::Key_Down);
    return tree->currentItem() && tree->currentItem()->text(0) == text;
  }
  std::vector<std::string> StoredCaptions() const {
    TConnectionsPool pool;
    pool.LoadFromOptionsStorage(false);
    std::vector<std::string> captions;
    for (const TConnection& c : pool.Connections()) captions.push_back(c.Caption());
    return captions;
  }

  TClientSandbox Client;
  TTempDir Package;
  TKeyAnsweredBoxes Boxes;
  std::unique_ptr<TfrmEasySetup> Form;
};

TEST_F(WizardKeyboard, WalkFromTheIntroductionToTheFinishWithKeysAlone) {
  TfrmEasySetup& form = Open();
  // The first tab stop of the introduction is the default button.
  EXPECT_EQ(QApplication::focusWidget(), form.Image3);
  Press(Qt::Key_Return);
  ASSERT_EQ(form.PageState(), psCopyData);
  ASSERT_FALSE(form.GetStartInstall());

  // The log keeps Return: no page change, no new line.
  ASSERT_TRUE(TabTo(&form, form.memStatus));
  const QString log = form.memStatus->toPlainText();
  Press(Qt::Key_Return);
  EXPECT_EQ(form.PageState(), psCopyData);
  EXPECT_EQ(form.memStatus->toPlainText(), log);

  // Escape asks, and Return takes the default "Нет".
  Boxes.Scripts = {PressReturn()};
  Press(Qt::Key_Escape);
  EXPECT_EQ(Boxes.Shown, (std::vector<TShownBox>{{mbkQuestion, CancelQuestion, ExitCaption}}));
  EXPECT_EQ(form.PageState(), psCopyData);
  EXPECT_FALSE(form.GetBreakInstall());
  EXPECT_TRUE(form.isVisible());

  // Space on the focused next button: down on the press, on the next page after the release.
  ASSERT_TRUE(TabTo(&form, form.Image3));
  QTest::keyPress(form.windowHandle(), Qt::Key_Space);
  EXPECT_EQ(form.Image3->Picture(), ButtonFacePressed());
  EXPECT_EQ(form.PageState(), psCopyData);
  QTest::keyRelease(form.windowHandle(), Qt::Key_Space);
  ASSERT_EQ(form.PageState(), psShortCuts);
  EXPECT_EQ(form.Image3->Picture(), ButtonFaceNormal());

  // The tree comes after the buttons round the tab chain; Space ticks the current node.
  ASSERT_TRUE(TabTo(&form, form.tvShortCuts));
  ASSERT_TRUE(DownTo("Руководство.pdf"));
  Press(Qt::Key_Space);
  EXPECT_TRUE(form.tvShortCuts->GetChecked(form.tvShortCuts->currentItem()));
  Press(Qt::Key_Return);  // the tree passes Return on to the default button
  ASSERT_EQ(form.PageState(), psConnections);
  EXPECT_EQ(form.GetShortCutList().Count(), 1u);
  EXPECT_TRUE(platform::FileExists(Client.Root().File("home/Desktop/Руководство.pdf.desktop")));

  ASSERT_TRUE(TabTo(&form, form.tvShortCuts));
  ASSERT_TRUE(DownTo(Host));
  Press(Qt::Key_Space);
  Press(Qt::Key_Return);
  ASSERT_EQ(form.PageState(), psDone);
  EXPECT_EQ(StoredCaptions(), std::vector<std::string>{std::string(WebServiceHost)});

  // Cancelling is over: Escape asks nothing and the cancel button is no tab stop.
  Press(Qt::Key_Escape);
  EXPECT_TRUE(form.isVisible());
  EXPECT_FALSE(TabTo(&form, form.Image2));
  EXPECT_EQ(QApplication::focusWidget(), form.Image3);
  Press(Qt::Key_Return);
  EXPECT_EQ(form.PageState(), psClose);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(Boxes.Shown.size(), 1u);
}

TEST_F(WizardKeyboard, QuestionsAreAnsweredYesByKeys) {
  // On the introduction: Space on the focused "Отмена", then "Да": the window closes.
  {
    TfrmEasySetup& form = Open();
    ASSERT_TRUE(TabTo(&form, form.Image2));
    Boxes.Scripts = {TabToYesAndSpace()};
    Press(Qt::Key_Space);
    EXPECT_EQ(Boxes.Shown, (std::vector<TShownBox>{{mbkQuestion, CloseQuestion, ExitCaption}}));
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.GetCloseStatus());
  }
  // On the shortcut page: Escape, then "Да": the update is rolled back and the wizard goes on.
  Boxes.Shown.clear();
  TfrmEasySetup& form = Open();
  Press(Qt::Key_Return);
  Press(Qt::Key_Return);
  ASSERT_EQ(form.PageState(), psShortCuts);
  Boxes.Scripts = {TabToYesAndSpace()};
  Press(Qt::Key_Escape);
  EXPECT_EQ(Boxes.Shown, (std::vector<TShownBox>{{mbkQuestion, CancelQuestion, ExitCaption}}));
  EXPECT_TRUE(form.GetBreakInstall());
  EXPECT_EQ(form.PageState(), psConnections);
  Press(Qt::Key_Return);
  EXPECT_EQ(form.PageState(), psDone);
  EXPECT_EQ(form.lblFinish->Caption(), CancelledText);
}

// Keys that must not act: a held key's repeats, keys with modifiers, Space on a disabled button.
TEST_F(WizardKeyboard, RepeatsAndModifiedKeysDoNothing) {
  TfrmEasySetup& form = Open();
  struct {
    const char* Name;
    QKeyEvent Event;
    QWidget* Target;
  } cases[] = {
      {"repeated Return on the window", {QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true}, &form},
      {"repeated Return on the button", {QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r", true}, form.Image3},
      {"Ctrl+Return", {QEvent::KeyPress, Qt::Key_Return, Qt::ControlModifier}, &form},
      {"Shift+Escape", {QEvent::KeyPress, Qt::Key_Escape, Qt::ShiftModifier}, &form},
      {"Alt+Space on the button", {QEvent::KeyPress, Qt::Key_Space, Qt::AltModifier, " "}, form.Image3},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.Name);
    QApplication::sendEvent(c.Target, &c.Event);
    EXPECT_EQ(form.PageState(), psHello);
    EXPECT_EQ(form.Image3->Picture(), ButtonFaceNormal());
    EXPECT_TRUE(Boxes.Shown.empty());
  }

  // A Space press whose button loses the focus before the release is no click.
  QTest::keyPress(form.windowHandle(), Qt::Key_Space);
  EXPECT_EQ(form.Image3->Picture(), ButtonFacePressed());
  ASSERT_TRUE(TabTo(&form, form.Image2));
  EXPECT_EQ(form.Image3->Picture(), ButtonFaceNormal());
  QTest::keyRelease(form.windowHandle(), Qt::Key_Space);
  EXPECT_EQ(form.PageState(), psHello);
  EXPECT_TRUE(Boxes.Shown.empty());
}

// The focus mark is a frame inside the face, around its label, and only while focused. The focus
// that the window's activation gives shows none until the keyboard is used: to the mouse user
// the window looks as it did.
TEST_F(WizardKeyboard, FocusMarkFramesTheLabelInsideTheFace) {
  TfrmEasySetup& form = Open();
  ASSERT_EQ(QApplication::focusWidget(), form.Image3);
  EXPECT_EQ(form.Image3->grab().toImage().convertToFormat(QImage::Format_RGB888), ButtonFaceNormal());
  ASSERT_TRUE(TabTo(&form, form.Image2));
  const QImage unfocused = form.Image3->grab().toImage().convertToFormat(QImage::Format_RGB888);
  EXPECT_EQ(unfocused, ButtonFaceNormal());
  ASSERT_TRUE(TabTo(&form, form.Image3));
  const QImage focused = form.Image3->grab().toImage().convertToFormat(QImage::Format_RGB888);
  QRect changed;
  for (int y = 0; y < focused.height(); ++y)
    for (int x = 0; x < focused.width(); ++x)
      if (focused.pixel(x, y) != unfocused.pixel(x, y)) changed |= QRect(x, y, 1, 1);
  EXPECT_FALSE(changed.isEmpty());
  EXPECT_TRUE(QRect(2, 2, 73, 21).contains(changed)) << changed.x() << "," << changed.y() << " " << changed.width()
                                                     << "x" << changed.height();
  // The label lies within the mark.
  const QRect label = form.lblNext->geometry().translated(-form.Image3->pos());
  EXPECT_TRUE(changed.contains(label)) << label.x() << "," << label.y() << " " << label.width() << "x"
                                       << label.height();
}

}  // namespace
