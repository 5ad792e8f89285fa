#include "FormControls.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <mutex>

#include "Artwork.h"
#include "Runtime.Exceptions.h"

namespace kv::detail {

void TMouseDispatch::Press(QObject* sender, QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FClicked = true;
  if (OnMouseDown) OnMouseDown(sender, event->button());
}

void TMouseDispatch::DoubleClick(QObject* sender, QMouseEvent* event) {
  // The second press of a double click is no start of a click: its release must not click again.
  if (event->button() == Qt::LeftButton) {
    FClicked = false;
    if (OnDblClick) OnDblClick(sender);
  }
  if (OnMouseDown) OnMouseDown(sender, event->button());
}

void TMouseDispatch::Release(QObject* sender, QMouseEvent* event, const QRect& bounds) {
  bool click = false;
  if (event->button() == Qt::LeftButton) {
    click = FClicked && bounds.contains(event->position().toPoint());
    FClicked = false;
  }
  if (click && OnClick) OnClick(sender);
  if (OnMouseUp) OnMouseUp(sender, event->button());
}

}  // namespace kv::detail

// The keypad's Enter carries a modifier of its own.
bool IsPlainKey(const QKeyEvent* event, std::initializer_list<int> keys) {
  if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  return std::find(keys.begin(), keys.end(), event->key()) != keys.end();
}

namespace {

class TAccessibleButtonFace : public QAccessibleWidget {
 public:
  explicit TAccessibleButtonFace(TButtonFace* face) : QAccessibleWidget(face, QAccessible::Button) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && Face()->Label()) return Face()->Label()->Caption();
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    if (!Face()->Enabled()) s.disabled = true;
    return s;
  }

  QStringList actionNames() const override { return QStringList{pressAction()} << QAccessibleWidget::actionNames(); }

  QStringList keyBindingsForAction(const QString& name) const override {
    if (name == pressAction()) return {"Space"};
    return QAccessibleWidget::keyBindingsForAction(name);
  }

  // Later, from the event loop: the click may open a modal question, and the caller of the action
  // (a screen reader on the bus) must have its answer before that.
  void doAction(const QString& name) override {
    if (name != pressAction()) return QAccessibleWidget::doAction(name);
    QPointer<TButtonFace> face = Face();
    QTimer::singleShot(0, face, [face] {
      if (face) face->Press();
    });
  }

 private:
  TButtonFace* Face() const { return static_cast<TButtonFace*>(widget()); }
};

class TAccessibleForm : public QAccessibleWidget {
 public:
  explicit TAccessibleForm(TForm* form) : QAccessibleWidget(form, QAccessible::Dialog) {}

  int childCount() const override { return static_cast<int>(Presented().size()); }

  QAccessibleInterface* child(int index) const override {
    const QList<QWidget*> children = Presented();
    return index >= 0 && index < children.size() ? QAccessible::queryAccessibleInterface(children[index]) : nullptr;
  }

  int indexOfChild(const QAccessibleInterface* child) const override {
    if (!child) return -1;
    return static_cast<int>(Presented().indexOf(qobject_cast<QWidget*>(child->object())));
  }

 private:
  // Back to front, as the base class lists them.
  QList<QWidget*> Presented() const {
    QList<QWidget*> presented;
    for (QObject* object : widget()->children()) {
      auto* w = qobject_cast<QWidget*>(object);
      if (!w || w->isWindow()) continue;
      if (auto* image = dynamic_cast<TImage*>(w); image && !dynamic_cast<TButtonFace*>(image)) continue;
      if (auto* label = dynamic_cast<TLabel*>(w); label && label->ButtonFace()) continue;
      presented.push_back(w);
    }
    return presented;
  }
};

QAccessibleInterface* AccessibleOf(const QString&, QObject* object) {
  if (auto* face = dynamic_cast<TButtonFace*>(object)) return new TAccessibleButtonFace(face);
  if (auto* form = dynamic_cast<TForm*>(object)) return new TAccessibleForm(form);
  return nullptr;
}

void InstallAccessibleFactory() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(AccessibleOf); });
}

}  // namespace

// --- TImage --------------------------------------------------------------------------------------

TImage::TImage(QWidget* parent) : QWidget(parent) {}

void TImage::SetPicture(const QImage& picture) {
  FPicture = picture;
  update();
}

void TImage::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter painter(this);
  painter.drawImage(0, 0, FPicture);
}

void TImage::mousePressEvent(QMouseEvent* event) { Press(this, event); }
void TImage::mouseDoubleClickEvent(QMouseEvent* event) { DoubleClick(this, event); }
void TImage::mouseReleaseEvent(QMouseEvent* event) { Release(this, event, rect()); }

// --- TLabel --------------------------------------------------------------------------------------

TLabel::TLabel(QWidget* parent) : QLabel(parent) {
  // Captions are file paths and fixed texts, never markup.
  setTextFormat(Qt::PlainText);
  setAlignment(Qt::AlignLeft | Qt::AlignTop);
}

void TLabel::SetCaption(const QString& caption) {
  FCaption = caption;
  ShowCaption();
  if (FButtonFace) FButtonFace->LabelChanged();
}

void TLabel::SetAutoSize(bool value) {
  FAutoSize = value;
  ShowCaption();
}

void TLabel::SetPathEllipsis(bool value) {
  FPathEllipsis = value;
  ShowCaption();
}

QColor TLabel::FontColor() const { return palette().color(QPalette::WindowText); }

void TLabel::SetFontColor(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  setPalette(p);
  if (FButtonFace) FButtonFace->LabelChanged();
}

TButtonFace* TLabel::ButtonFace() const { return FButtonFace; }

void TLabel::ShowCaption() {
  if (FAutoSize) {
    setText(FCaption);
    resize(sizeHint());
  } else if (FPathEllipsis) {
    setText(fontMetrics().elidedText(FCaption, Qt::ElideMiddle, width()));
  } else {
    setText(FCaption);
  }
}

void TLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  if (FPathEllipsis && !FAutoSize) ShowCaption();
}

void TLabel::mousePressEvent(QMouseEvent* event) { Press(this, event); }
void TLabel::mouseDoubleClickEvent(QMouseEvent* event) { DoubleClick(this, event); }
void TLabel::mouseReleaseEvent(QMouseEvent* event) { Release(this, event, rect()); }

// --- TButtonFace --------------------------------------------------------------------------------

TButtonFace::TButtonFace(QWidget* parent) : TImage(parent) {
  InstallAccessibleFactory();
  setFocusPolicy(Qt::TabFocus);
}

void TButtonFace::SetLabel(TLabel* label) {
  if (FLabel) FLabel->FButtonFace = nullptr;
  FLabel = label;
  if (FLabel) FLabel->FButtonFace = this;
  LabelChanged();
}

void TButtonFace::Press() {
  if (!Enabled()) return;
  // Each step may run the event loop (the handlers repaint the face, a click may ask a question),
  // where this button can go away with its window.
  QPointer<TButtonFace> self = this;
  if (OnMouseDown) OnMouseDown(this, Qt::LeftButton);
  if (self && OnClick) OnClick(this);
  if (self && OnMouseUp) OnMouseUp(this, Qt::LeftButton);
}

// A disabled button is no tab stop; the owner keeps the focus where it is when it disables one.
void TButtonFace::LabelChanged() {
  const bool enabled = Enabled();
  setFocusPolicy(enabled ? Qt::TabFocus : Qt::NoFocus);
  if (enabled != FWasEnabled) {
    FWasEnabled = enabled;
    QAccessible::State changed;
    changed.disabled = true;
    QAccessibleStateChangeEvent event(this, changed);
    QAccessible::updateAccessibility(&event);
  }
  QAccessibleEvent event(this, QAccessible::NameChanged);
  QAccessible::updateAccessibility(&event);
}

void TButtonFace::paintEvent(QPaintEvent* event) {
  TImage::paintEvent(event);
  if (!hasFocus() || !FKeyboardUsed) return;
  QPainter painter(this);
  PaintButtonFocusMark(painter, size());
}

void TButtonFace::keyPressEvent(QKeyEvent* event) {
  if (!FKeyboardUsed) {
    FKeyboardUsed = true;
    update();
  }
  if (IsPlainKey(event, {Qt::Key_Space})) {
    event->accept();
    if (event->isAutoRepeat() || FSpaceDown || !Enabled()) return;
    FSpaceDown = true;
    if (OnMouseDown) OnMouseDown(this, Qt::LeftButton);
  } else if (IsPlainKey(event, {Qt::Key_Return, Qt::Key_Enter})) {
    // Held down it would run through the pages: one press, one click.
    event->accept();
    if (!event->isAutoRepeat()) Press();
  } else {
    TImage::keyPressEvent(event);
  }
}

void TButtonFace::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !FSpaceDown) return TImage::keyReleaseEvent(event);
  event->accept();
  FSpaceDown = false;
  QPointer<TButtonFace> self = this;
  if (OnClick) OnClick(this);
  if (self && OnMouseUp) OnMouseUp(this, Qt::LeftButton);
}

void TButtonFace::focusInEvent(QFocusEvent* event) {
  TImage::focusInEvent(event);
  if (event->reason() == Qt::TabFocusReason || event->reason() == Qt::BacktabFocusReason) FKeyboardUsed = true;
  update();
}

// Space released elsewhere is no click here: the face only comes up again.
void TButtonFace::focusOutEvent(QFocusEvent* event) {
  TImage::focusOutEvent(event);
  if (FSpaceDown) {
    FSpaceDown = false;
    if (OnMouseUp) OnMouseUp(this, Qt::LeftButton);
  }
  update();
}

// --- TForm ---------------------------------------------------------------------------------------

TForm::TForm(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) { InstallAccessibleFactory(); }

// --- TRichEdit -----------------------------------------------------------------------------------

TRichEdit::TRichEdit(QWidget* parent) : QTextEdit(parent) {
  setAcceptRichText(false);
  setTabChangesFocus(true);
}

void TRichEdit::AddLine(const QString& line) {
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  // A new document holds one empty block: the first line goes into it.
  if (FHasLines) cursor.insertBlock();
  cursor.insertText(line);
  FHasLines = true;
}

int TRichEdit::LineCount() const { return FHasLines ? document()->blockCount() : 0; }

void TRichEdit::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QTextEdit::keyPressEvent(event);
}

// --- TImageList ----------------------------------------------------------------------------------

int TImageList::Add(const QIcon& icon) {
  FIcons.push_back(icon);
  return Count() - 1;
}

const QIcon& TImageList::Icon(int index) const {
  ASSERT(index >= 0 && index < Count(), "Image list index out of bounds");
  return FIcons[static_cast<std::size_t>(index)];
}
