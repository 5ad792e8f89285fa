#include "OXCheckedTreeView.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QTest>

#include <vector>

namespace {

struct TCheckCall {
  TOXCheckedTreeView* Sender;
  QTreeWidgetItem* Node;
  bool NewState;
  bool ApplyForSubNodes;
};

// Folder > Child > Grandchild > Leaf (three levels below the folder), and a top-level File,
// every node with an icon as the wizard gives them.
class CheckedTreeView : public ::testing::Test {
 protected:
  void SetUp() override {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::darkYellow);
    QIcon icon(pixmap);
    Folder = Tree.AddChild(nullptr, "Folder");
    Child = Tree.AddChild(Folder, "Child");
    Grandchild = Tree.AddChild(Child, "Grandchild");
    Leaf = Tree.AddChild(Grandchild, "Leaf");
    File = Tree.AddChild(nullptr, "File.pdf");
    for (QTreeWidgetItem* node : Subtree()) node->setIcon(0, icon);
    File->setIcon(0, icon);
    Tree.SetCheckBox(true);
    Tree.expandAll();
    Tree.resize(320, 240);
    Tree.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Tree));
  }

  std::vector<QTreeWidgetItem*> Subtree() const { return {Folder, Child, Grandchild, Leaf}; }
  std::vector<bool> Ticks() const {
    std::vector<bool> ticks;
    for (QTreeWidgetItem* node : Subtree()) ticks.push_back(Tree.GetChecked(node));
    return ticks;
  }

  void RecordCalls() {
    Tree.SetOnCheck([this](TOXCheckedTreeView* sender, QTreeWidgetItem* node, bool& newState, bool& apply) {
      Calls.push_back({sender, node, newState, apply});
    });
  }

  void ClickBox(QTreeWidgetItem* node) {
    QRect box = Tree.CheckBoxRect(node);
    ASSERT_FALSE(box.isEmpty());
    ASSERT_TRUE(Tree.visualItemRect(node).contains(box));
    QTest::mouseClick(Tree.viewport(), Qt::LeftButton, {}, box.center());
  }

  // The right end of the row is the node's text: the column is as wide as its widest node.
  QPoint TextPoint(QTreeWidgetItem* node) const {
    QRect row = Tree.visualItemRect(node);
    return {row.right() - 3, row.center().y()};
  }

  QImage Grab() const { return Tree.viewport()->grab().toImage(); }

  TOXCheckedTreeView Tree;
  QTreeWidgetItem* Folder = nullptr;
  QTreeWidgetItem* Child = nullptr;
  QTreeWidgetItem* Grandchild = nullptr;
  QTreeWidgetItem* Leaf = nullptr;
  QTreeWidgetItem* File = nullptr;
  std::vector<TCheckCall> Calls;
};

TEST_F(CheckedTreeView, FreshNodeIsUntickedAndTickReadsBit13) {
  EXPECT_EQ(TOXCheckedTreeView::ItemState(File), 0u);
  EXPECT_FALSE(Tree.GetChecked(File));
  EXPECT_EQ(TOXCheckedTreeView::NodeData(File), 0);
  TOXCheckedTreeView::SetNodeData(File, 42);
  EXPECT_EQ(TOXCheckedTreeView::NodeData(File), 42);

  struct {
    std::uint32_t Image;
    bool Ticked;
  } cases[] = {{0, false}, {1, false}, {2, true}, {3, true}, {4, false}};
  for (auto c : cases) {
    TOXCheckedTreeView::SetItemState(File, c.Image << 12, TOXCheckedTreeView::StateImageMask);
    EXPECT_EQ(Tree.GetChecked(File), c.Ticked) << "state image " << c.Image;
  }
}

TEST_F(CheckedTreeView, SetCheckedChangesOnlyStateImageBitsOfNodeOrSubtree) {
  for (QTreeWidgetItem* node : Subtree()) TOXCheckedTreeView::SetItemState(node, 0x0A5A, 0xFFFF);

  Tree.SetChecked(Folder, true, true);
  for (QTreeWidgetItem* node : Subtree()) EXPECT_EQ(TOXCheckedTreeView::ItemState(node), 0x2A5Au);

  Tree.SetChecked(Folder, false, false);
  EXPECT_EQ(TOXCheckedTreeView::ItemState(Folder), 0x1A5Au);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, true, true}));

  Tree.SetChecked(Child, false, true);
  EXPECT_EQ(TOXCheckedTreeView::ItemState(Leaf), 0x1A5Au);
  EXPECT_FALSE(Tree.GetChecked(File));

  // A node of another tree is served just the same.
  TOXCheckedTreeView other;
  QTreeWidgetItem* stranger = other.AddChild(nullptr, "x");
  Tree.SetChecked(stranger, true, false);
  EXPECT_TRUE(other.GetChecked(stranger));
}

TEST_F(CheckedTreeView, ClickOnBoxTicksSubtreeWithoutSelectingOrExpanding) {
  RecordCalls();
  Tree.setCurrentItem(File);
  ClickBox(Folder);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true, true}));
  ASSERT_EQ(Calls.size(), 1u);
  EXPECT_EQ(Calls[0].Sender, &Tree);
  EXPECT_EQ(Calls[0].Node, Folder);
  EXPECT_TRUE(Calls[0].NewState);
  EXPECT_TRUE(Calls[0].ApplyForSubNodes);
  EXPECT_EQ(Tree.currentItem(), File);
  EXPECT_EQ(Tree.selectedItems(), QList<QTreeWidgetItem*>{File});

  ClickBox(Grandchild);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, false, false}));
  ASSERT_EQ(Calls.size(), 2u);
  EXPECT_FALSE(Calls[1].NewState);

  // A double click is two clicks on the box, and does not fold the node. It goes through the
  // window, as a real one does: press, release, double click, release.
  QPoint box = Tree.viewport()->mapTo(&Tree, Tree.CheckBoxRect(Folder).center());
  QTest::mouseDClick(Tree.windowHandle(), Qt::LeftButton, {}, box);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, true, true, true}));  // off, then on for all
  EXPECT_EQ(Calls.size(), 4u);
  EXPECT_TRUE(Folder->isExpanded());
  EXPECT_EQ(Tree.currentItem(), File);
}

TEST_F(CheckedTreeView, ClickOnTextSelectsAndKeepsTheTick) {
  RecordCalls();
  Tree.SetChecked(Child, true, false);
  ASSERT_FALSE(Tree.CheckBoxRect(Child).contains(TextPoint(Child)));
  QTest::mouseClick(Tree.viewport(), Qt::LeftButton, {}, TextPoint(Child));
  EXPECT_EQ(Tree.currentItem(), Child);
  EXPECT_TRUE(Child->isSelected());
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, true, false, false}));
  EXPECT_TRUE(Calls.empty());
}

TEST_F(CheckedTreeView, HandlerKeepsTheTickToTheNode) {
  // As the wizard's shortcut page does: ticking a folder never touches what lies below it.
  Tree.SetOnCheck([](TOXCheckedTreeView*, QTreeWidgetItem*, bool&, bool& apply) { apply = false; });
  ClickBox(Folder);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, false, false}));
  Tree.SetChecked(Leaf, true, false);
  ClickBox(Folder);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false, true}));
}

TEST_F(CheckedTreeView, HandlerThatRefusesTheChangeStillSpreadsTheState) {
  Tree.SetOnCheck([](TOXCheckedTreeView* sender, QTreeWidgetItem* node, bool& newState, bool&) {
    newState = sender->GetChecked(node);
  });
  Tree.SetChecked(Child, true, true);
  ClickBox(Folder);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false, false}));
  EXPECT_EQ(TOXCheckedTreeView::ItemState(Folder), 0x1000u);  // image 1 now, no longer 0
}

TEST_F(CheckedTreeView, SpaceTogglesTheCurrentNodeAloneWithoutEvent) {
  RecordCalls();
  Tree.setCurrentItem(Folder);
  Tree.setFocus();
  QTest::keyClick(&Tree, Qt::Key_Space);
  EXPECT_EQ(Ticks(), (std::vector<bool>{true, false, false, false}));
  QTest::keyClick(&Tree, Qt::Key_Space);
  EXPECT_EQ(Ticks(), (std::vector<bool>{false, false, false, false}));
  EXPECT_TRUE(Calls.empty());
  EXPECT_EQ(Tree.currentItem(), Folder);

  Tree.SetCheckBox(false);
  QTest::keyClick(&Tree, Qt::Key_Space);
  EXPECT_FALSE(Tree.GetChecked(Folder));
}

// Assistive technology reads a node as a check box of the tree with its tick, however it changed.
TEST_F(CheckedTreeView, AssistiveTechnologyReadsEveryNodesTick) {
  QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(&Tree);
  ASSERT_TRUE(tree);
  EXPECT_EQ(tree->role(), QAccessible::Tree);
  auto cell = [&](QTreeWidgetItem* node) -> QAccessibleInterface* {
    for (int i = 0; i < tree->childCount(); ++i)
      if (QAccessibleInterface* c = tree->child(i); c && c->role() == QAccessible::TreeItem && c->text(QAccessible::Name) == node->text(0))
        return c;
    return nullptr;
  };
  auto read = [&] {
    std::vector<bool> ticks;
    for (QTreeWidgetItem* node : {Folder, Child, Grandchild, Leaf, File}) {
      QAccessibleInterface* c = cell(node);
      EXPECT_TRUE(c) << node->text(0).toStdString();
      if (!c) return ticks;
      // Qt 6.4 reports no "checkable" for tree items; later versions take it from the check
      // state, which every node has.
      EXPECT_TRUE(node->data(0, Qt::CheckStateRole).isValid());
      ticks.push_back(c->state().checked);
    }
    return ticks;
  };
  EXPECT_EQ(read(), (std::vector<bool>{false, false, false, false, false}));
  Tree.SetChecked(Child, true, true);
  EXPECT_EQ(read(), (std::vector<bool>{false, true, true, true, false}));
  ClickBox(File);
  Tree.setCurrentItem(Grandchild);
  Tree.setFocus();
  QTest::keyClick(&Tree, Qt::Key_Space);
  EXPECT_EQ(read(), (std::vector<bool>{false, true, false, true, true}));
  TOXCheckedTreeView::SetItemState(Child, 0, TOXCheckedTreeView::StateImageMask);
  EXPECT_EQ(read(), (std::vector<bool>{false, false, false, true, true}));
}

TEST_F(CheckedTreeView, BoxIsDrawnWhereItIsHitAndFollowsTheStateWord) {
  QRect box = Tree.CheckBoxRect(File);
  QImage unticked = Grab().copy(box);
  Tree.SetChecked(File, true, false);
  QImage ticked = Grab().copy(box);
  EXPECT_NE(ticked, unticked);
  // State images 0 and 1 both draw the empty box.
  Tree.SetChecked(File, false, false);
  EXPECT_EQ(Grab().copy(box), unticked);
  // A check state set through Qt's own item API neither shows nor counts.
  File->setCheckState(0, Qt::Checked);
  EXPECT_EQ(Grab().copy(box), unticked);
  EXPECT_FALSE(Tree.GetChecked(File));
}

TEST_F(CheckedTreeView, HiddenBoxesAreNeitherDrawnNorClicked) {
  RecordCalls();
  QPoint formerBox = Tree.CheckBoxRect(File).center();
  Tree.SetChecked(File, true, false);
  QImage ticked = Grab();
  Tree.SetCheckBox(false);
  EXPECT_TRUE(Tree.CheckBoxRect(File).isEmpty());
  QImage hidden = Grab();
  Tree.SetChecked(File, false, false);
  EXPECT_NE(hidden, ticked);
  EXPECT_EQ(Grab(), hidden);  // the tick no longer shows at all

  QTest::mouseClick(Tree.viewport(), Qt::LeftButton, {}, formerBox);
  EXPECT_FALSE(Tree.GetChecked(File));
  EXPECT_TRUE(Calls.empty());

  Tree.SetCheckBox(true);
  ClickBox(File);
  EXPECT_TRUE(Tree.GetChecked(File));
}

}  // namespace
