#include "OXCheckedTreeView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

#include "Runtime.Exceptions.h"

namespace {

constexpr int NodeDataRole = Qt::UserRole;
constexpr int ItemStateRole = Qt::UserRole + 1;

}  // namespace

// Draws each node's box from its state word. It never toggles anything itself: the base class
// would flip Qt's check state on a click, and the state word must stay the only truth.
class TOXCheckedTreeView::TCheckBoxDelegate : public QStyledItemDelegate {
 public:
  explicit TCheckBoxDelegate(TOXCheckedTreeView* owner) : QStyledItemDelegate(owner), FOwner(owner) {}

  void InitOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    initStyleOption(option, index);
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (FOwner->CheckBox()) {
      option->features |= QStyleOptionViewItem::HasCheckIndicator;
      bool ticked = index.data(ItemStateRole).toUInt() & CheckedStateBit;
      option->checkState = ticked ? Qt::Checked : Qt::Unchecked;
    } else {
      option->features &= ~QStyleOptionViewItem::HasCheckIndicator;
    }
  }

  bool editorEvent(QEvent*, QAbstractItemModel*, const QStyleOptionViewItem&, const QModelIndex&) override {
    return false;
  }

 private:
  TOXCheckedTreeView* FOwner;
};

TOXCheckedTreeView::TOXCheckedTreeView(QWidget* parent)
    : QTreeWidget(parent), FDelegate(new TCheckBoxDelegate(this)) {
  setItemDelegate(FDelegate);
  setColumnCount(1);
  setHeaderHidden(true);
  // One column as wide as its widest node: long names scroll sideways instead of being cut.
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  setSelectionMode(QAbstractItemView::SingleSelection);
}

TOXCheckedTreeView::~TOXCheckedTreeView() = default;

bool TOXCheckedTreeView::GetChecked(const QTreeWidgetItem* Node) const {
  return ItemState(Node) & CheckedStateBit;
}

void TOXCheckedTreeView::SetChecked(QTreeWidgetItem* Node, bool Checked, bool CheckSubNodes) {
  ASSERT(Node);
  std::uint32_t image = Checked ? CheckedStateImage : UncheckedStateImage;
  SetItemState(Node, image << 12, StateImageMask);
  if (CheckSubNodes) {
    for (int i = 0; i < Node->childCount(); ++i) SetChecked(Node->child(i), Checked, true);
  }
}

std::uint32_t TOXCheckedTreeView::ItemState(const QTreeWidgetItem* Node) {
  ASSERT(Node);
  return Node->data(0, ItemStateRole).toUInt();
}

void TOXCheckedTreeView::SetItemState(QTreeWidgetItem* Node, std::uint32_t State, std::uint32_t Mask) {
  std::uint32_t word = (ItemState(Node) & ~Mask) | (State & Mask);
  Node->setData(0, ItemStateRole, word);  // the model tells the view, which repaints the row
  MirrorTick(Node);
}

// Assistive technology reads a node's tick, and whether it has one, from Qt's check state.
void TOXCheckedTreeView::MirrorTick(QTreeWidgetItem* Node) {
  Node->setData(0, Qt::CheckStateRole, (ItemState(Node) & CheckedStateBit) ? Qt::Checked : Qt::Unchecked);
}

int TOXCheckedTreeView::NodeData(const QTreeWidgetItem* Node) {
  ASSERT(Node);
  return Node->data(0, NodeDataRole).toInt();
}

void TOXCheckedTreeView::SetNodeData(QTreeWidgetItem* Node, int Data) {
  ASSERT(Node);
  Node->setData(0, NodeDataRole, Data);
}

QTreeWidgetItem* TOXCheckedTreeView::AddChild(QTreeWidgetItem* Parent, const QString& Text) {
  auto* node = new QTreeWidgetItem(QStringList{Text});
  MirrorTick(node);
  if (Parent)
    Parent->addChild(node);
  else
    addTopLevelItem(node);
  return node;
}

QTreeWidgetItem* TOXCheckedTreeView::AddChildFirst(QTreeWidgetItem* Parent, const QString& Text) {
  auto* node = new QTreeWidgetItem(QStringList{Text});
  MirrorTick(node);
  if (Parent)
    Parent->insertChild(0, node);
  else
    insertTopLevelItem(0, node);
  return node;
}

void TOXCheckedTreeView::SetCheckBox(bool Value) {
  FCheckBox = Value;
  // The box changes every row's width: lay the rows out again, then repaint.
  scheduleDelayedItemsLayout();
  viewport()->update();
}

QRect TOXCheckedTreeView::CheckBoxRect(const QTreeWidgetItem* Node) const {
  QModelIndex index = indexFromItem(Node);
  if (!FCheckBox || !index.isValid()) return {};
  QRect itemRect = visualRect(index);
  if (!itemRect.isValid()) return {};
  // The same option the delegate paints with, so the hit area is the drawn box.
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = itemRect;
  FDelegate->InitOption(&option, index);
  return style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
}

QTreeWidgetItem* TOXCheckedTreeView::CheckBoxAt(const QPoint& pos) const {
  QTreeWidgetItem* node = itemAt(pos);
  return node && CheckBoxRect(node).contains(pos) ? node : nullptr;
}

void TOXCheckedTreeView::ClickCheckBox(QTreeWidgetItem* Node) {
  bool newState = !GetChecked(Node);
  bool applyForSubNodes = true;
  if (FCheck) FCheck(this, Node, newState, applyForSubNodes);
  SetChecked(Node, newState, applyForSubNodes);
}

// A press on a box belongs to the box alone: no selection, no editing, no drag. The second press
// of a double click on a box is one more click on it, not an expand request.
bool TOXCheckedTreeView::PressCheckBox(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return false;
  QTreeWidgetItem* node = CheckBoxAt(event->position().toPoint());
  if (!node) return false;
  FBoxPressed = true;
  event->accept();
  ClickCheckBox(node);
  return true;
}

void TOXCheckedTreeView::mousePressEvent(QMouseEvent* event) {
  if (!PressCheckBox(event)) QTreeWidget::mousePressEvent(event);
}

void TOXCheckedTreeView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!PressCheckBox(event)) QTreeWidget::mouseDoubleClickEvent(event);
}

void TOXCheckedTreeView::mouseMoveEvent(QMouseEvent* event) {
  if (FBoxPressed && (event->buttons() & Qt::LeftButton)) {
    event->accept();
    return;
  }
  FBoxPressed = false;
  QTreeWidget::mouseMoveEvent(event);
}

void TOXCheckedTreeView::mouseReleaseEvent(QMouseEvent* event) {
  if (FBoxPressed && event->button() == Qt::LeftButton) {
    FBoxPressed = false;
    event->accept();
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

// Space toggles the current node by itself, without asking OnCheck, as the native tree does.
void TOXCheckedTreeView::keyPressEvent(QKeyEvent* event) {
  bool plainSpace = event->key() == Qt::Key_Space &&
                    (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (FCheckBox && plainSpace) {
    if (QTreeWidgetItem* node = currentItem()) SetChecked(node, !GetChecked(node), false);
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}
