#pragma once
// A non-visual component that shows a folder-selection dialog and returns the chosen folder. The
// owner gives the start folder, a root folder, the caption, the status text and the style set, and
// is asked, on opening and on every change of the selected folder, whether OK may be pressed.
//
// The dialog is Qt's own folder dialog (never the desktop's native one, whose OK button cannot be
// governed). The style set keeps the system's flag values, so Flags() is what the system would be
// given; here only odsStatusText (a status line under the tree), odsEditBox (the name field),
// odsBrowseIncludeFiles (files are listed too) and odsValidate (a typed name that is no folder is
// reported in the status line) change the dialog. Every choice is a file-system folder, so the
// other flags have nothing to act on.

#include <QObject>
#include <QPointer>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

class QWidget;
class TFWOpenDirectory;

enum TFWOpenDirStyle : int {
  odsReturnOnlyFSDirs,
  odsDontGoBelowDomain,
  odsStatusText,
  odsReturnFSAncestors,
  odsEditBox,
  odsValidate,
  odsNewDialogStyle,
  odsBrowseIncludeUrls,
  odsBrowseForComputer,
  odsBrowseForPrinter,
  odsBrowseIncludeFiles,
  odsShareable,
  odsUseNewUI,
};

// A set of styles.
class TFWOpenDirStyles {
 public:
  constexpr TFWOpenDirStyles() = default;
  constexpr TFWOpenDirStyles(std::initializer_list<TFWOpenDirStyle> Styles) {
    for (TFWOpenDirStyle s : Styles) Include(s);
  }
  constexpr bool Contains(TFWOpenDirStyle Style) const { return (FBits & Bit(Style)) != 0; }
  constexpr TFWOpenDirStyles& Include(TFWOpenDirStyle Style) {
    FBits |= Bit(Style);
    return *this;
  }
  constexpr TFWOpenDirStyles& Exclude(TFWOpenDirStyle Style) {
    FBits &= ~Bit(Style);
    return *this;
  }
  constexpr bool operator==(const TFWOpenDirStyles&) const = default;

 private:
  static constexpr std::uint32_t Bit(TFWOpenDirStyle Style) { return 1u << static_cast<int>(Style); }
  std::uint32_t FBits = 0;
};

// Path is the selected folder with a trailing separator (in the first call, made on opening, the
// unchanged StartDir). EnableButton comes in true; OK is enabled by the value it has afterwards.
using TFWChangeFolderEvent = std::function<void(TFWOpenDirectory* Sender, const std::string& Path, bool& EnableButton)>;

class TFWOpenDirectory : public QObject {
  Q_OBJECT

 public:
  static constexpr int StyleCount = 13;
  // The system's dialog flag of each style, in the styles' order; odsUseNewUI is the new dialog
  // style together with the edit box.
  static constexpr std::array<std::uint32_t, StyleCount> StyleFlags = {
      0x0001, 0x0002, 0x0004, 0x0008, 0x0010, 0x0020, 0x0040, 0x0080, 0x1000, 0x2000, 0x4000, 0x8000, 0x0050};
  static constexpr char InvalidNameText[] = "The name entered was not valid.";

  // The dialog's owner window is AOwner's window when AOwner is a widget, else none (the desktop).
  explicit TFWOpenDirectory(QObject* AOwner = nullptr);
  ~TFWOpenDirectory() override;

  // Shows the dialog modally over the owner window (Execute()) or over OwnerHandle, and returns
  // whether a folder was chosen; DirName is then that folder, else empty.
  bool Execute();
  bool Execute(QWidget* OwnerHandle);

  // Asked whenever the selected folder changes; calls OnChangeFolder when set.
  virtual void ChangeFolder(const std::string& Path, bool& EnableButton);

  // The bitwise or of the dialog flags of the styles in Style.
  std::uint32_t Flags() const;

  const std::string& About() const { return FAbout; }
  void SetAbout(std::string Value) { FAbout = std::move(Value); }
  const std::string& Title() const { return FTitle; }
  void SetTitle(std::string Value) { FTitle = std::move(Value); }
  const std::string& StatusText() const { return FStatusText; }
  void SetStatusText(std::string Value) { FStatusText = std::move(Value); }
  // The chosen folder, ending with the separator; empty until a folder is chosen.
  const std::string& DirName() const { return FDirName; }
  const std::string& StartDir() const { return FStartDir; }
  void SetStartDir(std::string Value) { FStartDir = std::move(Value); }
  // The top of the folder tree: the dialog does not go above it. Empty, or not an existing
  // folder: the whole file system.
  const std::string& RootDir() const { return FRootDir; }
  void SetRootDir(std::string Value) { FRootDir = std::move(Value); }
  TFWOpenDirStyles Style() const { return FStyle; }
  void SetStyle(TFWOpenDirStyles Value) { FStyle = Value; }
  bool ShowScreenCenter() const { return FShowScreenCenter; }
  void SetShowScreenCenter(bool Value) { FShowScreenCenter = Value; }
  bool EditReadOnly() const { return FEditReadOnly; }
  void SetEditReadOnly(bool Value) { FEditReadOnly = Value; }
  const TFWChangeFolderEvent& OnChangeFolder() const { return FOnChangeFolder; }
  void SetOnChangeFolder(TFWChangeFolderEvent Value) { FOnChangeFolder = std::move(Value); }

 private:
  std::string FAbout;
  std::string FTitle;
  std::string FStatusText;
  std::string FDirName;
  std::string FStartDir;
  std::string FRootDir;
  TFWOpenDirStyles FStyle;
  QPointer<QWidget> FHandle;
  bool FShowScreenCenter = true;
  bool FEditReadOnly = false;
  TFWChangeFolderEvent FOnChangeFolder;
};
