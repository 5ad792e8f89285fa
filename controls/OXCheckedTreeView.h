#pragma once
// A tree view with a check box in front of every node. The tick is not a property of the node
// object: like the native tree's state image it lives in bits 12-15 of the node's item-state word
// (index 1 = unchecked box, 2 = checked box; bit 13 reads as ticked). Qt's own check state only
// mirrors it for assistive technology and is never read, so nothing but this class changes a tick. A left click on a box asks OnCheck for the new
// state and whether it spreads to the subnodes; the space key toggles the current node alone.

#include <QTreeWidget>

#include <cstdint>
#include <functional>
#include <utility>

class QKeyEvent;
class QMouseEvent;
class TOXCheckedTreeView;

// NewState and ApplyForSubNodes come in with the proposed answer and may be changed.
using TOnCheckEvent = std::function<void(TOXCheckedTreeView* Sender, QTreeWidgetItem* ANode,
                                         bool& NewState, bool& ApplyForSubNodes)>;

class TOXCheckedTreeView : public QTreeWidget {
  Q_OBJECT

 public:
  static constexpr std::uint32_t StateImageMask = 0xF000;
  static constexpr std::uint32_t CheckedStateBit = 0x2000;
  static constexpr std::uint32_t UncheckedStateImage = 1;
  static constexpr std::uint32_t CheckedStateImage = 2;

  explicit TOXCheckedTreeView(QWidget* parent = nullptr);
  ~TOXCheckedTreeView() override;

  // Both work on the node's own state word, whichever tree the node belongs to.
  bool GetChecked(const QTreeWidgetItem* Node) const;
  // Gives the node state image 2 or 1, touching no other state bits; with CheckSubNodes the
  // whole subtree below it gets the same.
  void SetChecked(QTreeWidgetItem* Node, bool Checked, bool CheckSubNodes);

  // The item-state word of a node; 0 for a node whose state was never set.
  static std::uint32_t ItemState(const QTreeWidgetItem* Node);
  // Replaces the bits of Mask with those of State.
  static void SetItemState(QTreeWidgetItem* Node, std::uint32_t State, std::uint32_t Mask);

  // The integer a node carries for its owner; 0 until set.
  static int NodeData(const QTreeWidgetItem* Node);
  static void SetNodeData(QTreeWidgetItem* Node, int Data);

  // A new node with the text as the last (AddChild) or first (AddChildFirst) child of Parent;
  // a null Parent makes it a top-level node.
  QTreeWidgetItem* AddChild(QTreeWidgetItem* Parent, const QString& Text);
  QTreeWidgetItem* AddChildFirst(QTreeWidgetItem* Parent, const QString& Text);

  bool CheckBox() const { return FCheckBox; }
  void SetCheckBox(bool Value);  // shows or hides the boxes and repaints
  // Stored for the owner; nothing in the control reads it.
  bool ControlCheckState() const { return FCSControl; }
  void SetControlCheckState(bool Value) { FCSControl = Value; }
  const TOnCheckEvent& OnCheck() const { return FCheck; }
  void SetOnCheck(TOnCheckEvent Value) { FCheck = std::move(Value); }

  // Where the node's box is drawn and hit, in viewport coordinates; empty while the boxes are
  // hidden or the node is not laid out (below a collapsed node).
  QRect CheckBoxRect(const QTreeWidgetItem* Node) const;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  class TCheckBoxDelegate;

  static void MirrorTick(QTreeWidgetItem* Node);
  QTreeWidgetItem* CheckBoxAt(const QPoint& pos) const;
  void ClickCheckBox(QTreeWidgetItem* Node);
  bool PressCheckBox(QMouseEvent* event);  // true when the press was on a check box and is consumed

  bool FCheckBox = false;
  bool FCSControl = false;
  TOnCheckEvent FCheck;
  TCheckBoxDelegate* FDelegate;
  // A left press was taken by a box: its moves and release are not the view's either.
  bool FBoxPressed = false;
};
