#pragma once
// The plain controls the wizard form is built from: a picture and a label that report presses,
// releases, clicks and double clicks to their owner's handlers, a button face that makes a picture
// and its label one push button for the keyboard and assistive technology, the form that presents
// them so, a rich-text log, and the list of small icons that the tree's nodes draw from.
//
// Mouse events reach the handlers as the form's design expects them: a press, then on the release
// of a press that began here the click (when the release is still over the control) and after it
// the release. The second press of a double click is a double click followed by a press, and its
// release is no click, so a double click gives exactly one click and one double click.

#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QTextEdit>
#include <QWidget>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class QKeyEvent;
class QMouseEvent;
class TButtonFace;

// Whether the key is one of Keys, pressed without a modifier.
bool IsPlainKey(const QKeyEvent* event, std::initializer_list<int> keys);

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TMouseButtonEvent = std::function<void(QObject* Sender, Qt::MouseButton Button)>;

namespace kv::detail {

// The mouse events of a control and their dispatch, shared by the picture and the label.
class TMouseDispatch {
 public:
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseButtonEvent OnMouseDown;
  TMouseButtonEvent OnMouseUp;

 protected:
  void Press(QObject* sender, QMouseEvent* event);
  void DoubleClick(QObject* sender, QMouseEvent* event);
  void Release(QObject* sender, QMouseEvent* event, const QRect& bounds);

 private:
  bool FClicked = false;  // a left press began here and has not been released yet
};

}  // namespace kv::detail

// A picture drawn at the control's top left corner, unscaled.
class TImage : public QWidget, public kv::detail::TMouseDispatch {
 public:
  explicit TImage(QWidget* parent = nullptr);

  const QImage& Picture() const { return FPicture; }
  void SetPicture(const QImage& picture);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QImage FPicture;
};

// A transparent single-line text label. With AutoSize it is exactly as wide as its text; without
// it keeps its size, and with PathEllipsis a text too long for it is shown with an ellipsis in the
// middle, so that the start and the file name of a long path stay visible. Caption is always the
// whole text.
class TLabel : public QLabel, public kv::detail::TMouseDispatch {
 public:
  explicit TLabel(QWidget* parent = nullptr);

  const QString& Caption() const { return FCaption; }
  void SetCaption(const QString& caption);
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool value);
  void SetPathEllipsis(bool value);
  QColor FontColor() const;
  void SetFontColor(const QColor& colour);
  // The face this label is the text of (TButtonFace::SetLabel); null for a label of its own.
  TButtonFace* ButtonFace() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ShowCaption();

  friend class TButtonFace;

  QString FCaption;
  bool FAutoSize = true;
  bool FPathEllipsis = false;
  QPointer<TButtonFace> FButtonFace;  // either may go first when the window is destroyed
};

// The picture of a button with its label laid on it: one push button. Besides the mouse events of
// the picture and the label it takes the focus by Tab (a click leaves the focus where it is, so the
// mouse sees no change), shows a focus mark while it has the focus once the keyboard has been used
// on it (the window's activation alone shows none, so the mouse user's window looks as before), and
// is pressed from the keyboard: Space goes down on its press and clicks on its release, as the left mouse button does;
// Return clicks at once. To assistive technology it is a push button named by its label's caption,
// with the press action, disabled while IsEnabled says so; the label is part of it (TForm).
class TButtonFace : public TImage {
 public:
  explicit TButtonFace(QWidget* parent = nullptr);

  TLabel* Label() const { return FLabel; }
  void SetLabel(TLabel* label);
  // Whether the button can be pressed now; unset: always. Asked again whenever the label changes,
  // as the owner shows a disabled button by its label's colour.
  std::function<bool()> IsEnabled;
  bool Enabled() const { return !IsEnabled || IsEnabled(); }
  // A whole click as the mouse makes it, press, click and release, when the button is enabled: the
  // keyboard's and assistive technology's way to press it.
  void Press();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  friend class TLabel;
  void LabelChanged();

  QPointer<TLabel> FLabel;
  bool FSpaceDown = false;  // a Space press went down here and has not been released yet
  bool FWasEnabled = true;
  bool FKeyboardUsed = false;  // the focus came by Tab or a key was pressed here: the mark shows
};

// A window of the wizard, a fixed dialog. To assistive technology it is a dialog whose children
// are its controls: a button face with its label stands as one push button, and the plain
// pictures (background, stock faces) are decoration that is left out.
class TForm : public QWidget {
 public:
  explicit TForm(QWidget* parent = nullptr, Qt::WindowFlags flags = {});
};

// A rich-text box used as a log: lines are added as plain text. The Return key does nothing here:
// it never breaks a line of the log, nor reaches the window's default button.
class TRichEdit : public QTextEdit {
 public:
  explicit TRichEdit(QWidget* parent = nullptr);

  // Adds the text as a new last line.
  void AddLine(const QString& line);
  int LineCount() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  bool FHasLines = false;  // an empty first line looks like no line at all to the document
};

// Small icons addressed by index. Indexes stay valid: icons are only ever appended.
class TImageList {
 public:
  int Add(const QIcon& icon);  // the new icon's index
  int Count() const { return static_cast<int>(FIcons.size()); }
  const QIcon& Icon(int index) const;

 private:
  std::vector<QIcon> FIcons;
};
