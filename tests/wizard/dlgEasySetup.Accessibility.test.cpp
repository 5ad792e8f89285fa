// The wizard as assistive technology reads it, through Qt's accessibility interfaces (what the
// AT-SPI bridge hands to a screen reader): roles, names, actions and states on every page.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>
#include <QTimer>

#include <functional>

#include "OXCheckedTreeView.h"
#include "Ox.Types.h"
#include "WizardTestSupport.h"
#include "dlgEasySetup.h"

namespace {

const QString Host = QString::fromUtf8(WebServiceHost.data(), WebServiceHost.size());

QAccessibleInterface* Accessible(QObject* object) {
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
  EXPECT_TRUE(iface);
  return iface;
}

QString Name(QAccessibleInterface* iface) { return iface->text(QAccessible::Name); }

void Press(QAccessibleInterface* button) {
  button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  QCoreApplication::processEvents();  // the press arrives from the event loop, as from the bus
}

class WizardAccessibility : public ::testing::Test {
 protected:
  TfrmEasySetup& Open() {
    Form = ShowForm(Package.Path(), Boxes);
    return *Form;
  }

  // The window's children as presented, each checked to lead back to the window.
  std::vector<QAccessibleInterface*> Children() const {
    QAccessibleInterface* window = Accessible(Form.get());
    std::vector<QAccessibleInterface*> children;
    for (int i = 0; i < window->childCount(); ++i) {
      QAccessibleInterface* child = window->child(i);
      EXPECT_TRUE(child);
      if (!child) continue;
      EXPECT_EQ(child->parent(), window);
      EXPECT_EQ(window->indexOfChild(child), i);
      children.push_back(child);
    }
    return children;
  }
  // "name" of each push button, "-" before a disabled one.
  std::vector<QString> Buttons() const {
    std::vector<QString> buttons;
    for (QAccessibleInterface* child : Children())
      if (child->role() == QAccessible::Button) buttons.push_back((child->state().disabled ? "-" : "") + Name(child));
    return buttons;
  }
  bool Showing(QWidget* control) const { return !Accessible(control)->state().invisible; }

  TClientSandbox Client;
  TTempDir Package;
  TScriptedMessageBoxes Boxes;
  std::unique_ptr<TfrmEasySetup> Form;
};

TEST_F(WizardAccessibility, TheWindowIsADialogWithTwoPushButtonsOnEveryPage) {
  TfrmEasySetup& form = Open();
  QAccessibleInterface* window = Accessible(&form);
  EXPECT_EQ(window->role(), QAccessible::Dialog);
  EXPECT_EQ(Name(window), "Quenta Setup");

  // The faces are the buttons; their labels and the plain pictures are not presented apart.
  std::vector<QObject*> presented;
  for (QAccessibleInterface* child : Children()) presented.push_back(child->object());
  for (QObject* hidden : std::initializer_list<QObject*>{form.lblNext, form.lblCancel, form.Image1, form.Image4, form.Image5})
    EXPECT_EQ(std::count(presented.begin(), presented.end(), hidden), 0);
  for (QObject* shown : std::initializer_list<QObject*>{form.Image2, form.Image3, form.memInfo, form.memStatus,
                                                        form.tvShortCuts, form.pbStatus, form.pbCurrentProgress,
                                                        form.Label1, form.lblFinish})
    EXPECT_EQ(std::count(presented.begin(), presented.end(), shown), 1);
  EXPECT_EQ(Buttons(), (std::vector<QString>{"Отмена", "Далее >"}));
  for (TButtonFace* face : {form.Image2, form.Image3}) {
    QAccessibleInterface* button = Accessible(face);
    ASSERT_TRUE(button->actionInterface());
    EXPECT_TRUE(button->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    EXPECT_TRUE(button->state().focusable);
    EXPECT_FALSE(button->state().invisible);
  }
  EXPECT_EQ(Accessible(form.tvShortCuts)->role(), QAccessible::Tree);
  EXPECT_EQ(Accessible(form.pbStatus)->role(), QAccessible::ProgressBar);
  EXPECT_EQ(Accessible(form.pbCurrentProgress)->role(), QAccessible::ProgressBar);
  EXPECT_EQ(Accessible(form.lblFinish)->role(), QAccessible::StaticText);
  // Only the introduction's controls show.
  EXPECT_TRUE(Showing(form.memInfo));
  for (QWidget* control : std::initializer_list<QWidget*>{form.memStatus, form.tvShortCuts, form.pbStatus,
                                                          form.pbCurrentProgress, form.lblStatus, form.lblShortCuts,
                                                          form.lblFinish})
    EXPECT_FALSE(Showing(control));

  // "Отмена" pressed by its action asks as a click does.
  Boxes.Answers = {false};
  Press(Accessible(form.Image2));
  ASSERT_EQ(Boxes.Shown.size(), 1u);
  EXPECT_EQ(Boxes.Shown[0].Text, "Закрыть утилиту квента обновления?");

  // No client: "Далее >" goes straight to the connection page, whose tree shows with its node.
  Press(Accessible(form.Image3));
  ASSERT_EQ(form.PageState(), psConnections);
  EXPECT_FALSE(Showing(form.memInfo));
  EXPECT_TRUE(Showing(form.tvShortCuts));
  QAccessibleInterface* tree = Accessible(form.tvShortCuts);
  auto hostNode = [&]() -> QAccessibleInterface* {
    for (int i = 0; i < tree->childCount(); ++i)
      if (QAccessibleInterface* c = tree->child(i); c && c->role() == QAccessible::TreeItem) return c;
    return nullptr;
  };
  ASSERT_TRUE(hostNode());
  EXPECT_EQ(Name(hostNode()), Host);
  EXPECT_FALSE(hostNode()->state().checked);
  form.tvShortCuts->setCurrentItem(form.tvShortCuts->topLevelItem(0));
  QTest::keyClick(form.tvShortCuts, Qt::Key_Space);
  EXPECT_TRUE(hostNode()->state().checked);

  // The finish: the next button is "Готово", the cancel button disabled and no tab stop, and its
  // action does nothing; "Готово" closes.
  Press(Accessible(form.Image3));
  ASSERT_EQ(form.PageState(), psDone);
  EXPECT_EQ(Buttons(), (std::vector<QString>{"-Отмена", "Готово"}));
  EXPECT_FALSE(Accessible(form.Image2)->state().focusable);
  EXPECT_FALSE(Showing(form.tvShortCuts));
  EXPECT_TRUE(Showing(form.lblFinish));
  Press(Accessible(form.Image2));
  EXPECT_EQ(Boxes.Shown.size(), 2u);  // the client-missing message, nothing more
  EXPECT_TRUE(form.isVisible());
  Press(Accessible(form.Image3));
  EXPECT_FALSE(form.isVisible());
}

// While the copy runs its bars show with their values and "Далее >" is disabled; afterwards the
// bars are hidden again.
TEST_F(WizardAccessibility, ProgressBarsAnnounceTheCopy) {
  Client.InstallClient();
  for (int i = 0; i < 3; ++i) Package.WriteFile("QuentaSetupData/Client/file" + std::to_string(i) + ".txt", "x");
  TfrmEasySetup& form = Open();
  bool seen = false;
  // Looked at from the copy's event processing (the press of the face processes events first).
  std::function<void()> look = [&] {
    if (!form.GetStartInstall()) {
      QTimer::singleShot(0, &form, look);
      return;
    }
    seen = true;
    QAccessibleInterface* overall = Accessible(form.pbStatus);
    EXPECT_FALSE(overall->state().invisible);
    ASSERT_TRUE(overall->valueInterface());
    EXPECT_EQ(overall->valueInterface()->maximumValue().toInt(), 3);
    EXPECT_EQ(overall->valueInterface()->currentValue().toInt(), form.pbStatus->value());
    QAccessibleInterface* file = Accessible(form.pbCurrentProgress);
    EXPECT_FALSE(file->state().invisible);
    EXPECT_EQ(file->valueInterface()->maximumValue().toInt(), 100);
    EXPECT_EQ(Buttons(), (std::vector<QString>{"Отмена", "-Далее >"}));
  };
  QTimer::singleShot(0, &form, look);
  QTest::mouseClick(form.Image3, Qt::LeftButton);
  ASSERT_TRUE(seen) << "the copy let no event through";
  EXPECT_EQ(Buttons(), (std::vector<QString>{"Отмена", "Далее >"}));
  EXPECT_TRUE(Accessible(form.pbStatus)->state().invisible);
  EXPECT_EQ(Accessible(form.pbStatus)->valueInterface()->currentValue().toInt(), 3);
}

}  // namespace
