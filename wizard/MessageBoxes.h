#pragma once
// The modal message boxes of the wizard. The form asks every question and shows every message
// through IMessageBoxes, so that tests can answer them and a test run of the program can log them.

#include <memory>
#include <string>

class QMessageBox;
class QWidget;

class IMessageBoxes {
 public:
  virtual ~IMessageBoxes() = default;

  // Each box is owned by Owner (may be null), has an OK button and waits until it is dismissed.
  virtual void Warning(QWidget* Owner, const std::string& Text, const std::string& Caption) = 0;
  virtual void Error(QWidget* Owner, const std::string& Text, const std::string& Caption) = 0;
  // Without an icon.
  virtual void Message(QWidget* Owner, const std::string& Text, const std::string& Caption) = 0;
  // Yes and No with a question icon, No the default; true for Yes.
  virtual bool Question(QWidget* Owner, const std::string& Text, const std::string& Caption) = 0;
};

enum TMessageBoxKind : int { mbkWarning, mbkError, mbkMessage, mbkQuestion };

// The name of the kind as the log writes it: "warning", "error", "message", "question".
const char* MessageBoxKindName(TMessageBoxKind Kind);

// Qt's message boxes.
class TQtMessageBoxes : public IMessageBoxes {
 public:
  void Warning(QWidget* Owner, const std::string& Text, const std::string& Caption) override;
  void Error(QWidget* Owner, const std::string& Text, const std::string& Caption) override;
  void Message(QWidget* Owner, const std::string& Text, const std::string& Caption) override;
  bool Question(QWidget* Owner, const std::string& Text, const std::string& Caption) override;

  // The box as these operations show it, not yet shown.
  static std::unique_ptr<QMessageBox> Create(TMessageBoxKind Kind, QWidget* Owner, const std::string& Text,
                                             const std::string& Caption);
};

// Shows nothing: writes each box to stderr as one line and answers it at once. For test runs of
// the program, chosen by the environment variable AutoAnswerVariable (main.cpp):
//   quenta-setup: message box: warning | Внимание !!! | Для установки обновления , ...
// Line breaks in a text are written as "\n". Questions get the answer given to the constructor.
class TLoggedMessageBoxes : public IMessageBoxes {
 public:
  explicit TLoggedMessageBoxes(bool Answer) : FAnswer(Answer) {}

  void Warning(QWidget* Owner, const std::string& Text, const std::string& Caption) override;
  void Error(QWidget* Owner, const std::string& Text, const std::string& Caption) override;
  void Message(QWidget* Owner, const std::string& Text, const std::string& Caption) override;
  bool Question(QWidget* Owner, const std::string& Text, const std::string& Caption) override;

  // Any other event worth a line, such as the window being shown.
  static void Log(const std::string& Line);
  static std::string FormatLine(TMessageBoxKind Kind, const std::string& Text, const std::string& Caption);

 private:
  bool FAnswer;
};

// QUENTA_SETUP_AUTO_ANSWER: when set, the program uses TLoggedMessageBoxes; "yes" answers every
// question with Yes, any other value with No. Only tests set it.
inline constexpr char AutoAnswerVariable[] = "QUENTA_SETUP_AUTO_ANSWER";
