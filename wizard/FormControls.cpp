#include "FormControls.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTextBlock>
#include <QTextCursor>

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
}

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
    event->ignore();
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
