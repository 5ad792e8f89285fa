#include "MessageBoxes.h"

#include <QAbstractButton>
#include <QMessageBox>

#include <cstdio>

const char* MessageBoxKindName(TMessageBoxKind Kind) {
  switch (Kind) {
    case mbkWarning: return "warning";
    case mbkError: return "error";
    case mbkMessage: return "message";
    case mbkQuestion: return "question";
  }
  return "?";
}

// --- TQtMessageBoxes -----------------------------------------------------------------------------

std::unique_ptr<QMessageBox> TQtMessageBoxes::Create(TMessageBoxKind Kind, QWidget* Owner, const std::string& Text,
                                                     const std::string& Caption) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (Kind) {
    case mbkWarning: icon = QMessageBox::Warning; break;
    case mbkError: icon = QMessageBox::Critical; break;
    case mbkMessage: icon = QMessageBox::NoIcon; break;
    case mbkQuestion: icon = QMessageBox::Question; break;
  }
  QMessageBox::StandardButtons buttons = Kind == mbkQuestion ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok;
  auto box = std::make_unique<QMessageBox>(icon, QString::fromStdString(Caption), QString::fromStdString(Text),
                                           buttons, Owner);
  box->setTextFormat(Qt::PlainText);
  // The user reads Russian only, on the buttons too.
  if (Kind == mbkQuestion) {
    box->button(QMessageBox::Yes)->setText("&Да");
    box->button(QMessageBox::No)->setText("&Нет");
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
  } else {
    box->button(QMessageBox::Ok)->setText("ОК");
  }
  return box;
}

void TQtMessageBoxes::Warning(QWidget* Owner, const std::string& Text, const std::string& Caption) {
  Create(mbkWarning, Owner, Text, Caption)->exec();
}

void TQtMessageBoxes::Error(QWidget* Owner, const std::string& Text, const std::string& Caption) {
  Create(mbkError, Owner, Text, Caption)->exec();
}

void TQtMessageBoxes::Message(QWidget* Owner, const std::string& Text, const std::string& Caption) {
  Create(mbkMessage, Owner, Text, Caption)->exec();
}

bool TQtMessageBoxes::Question(QWidget* Owner, const std::string& Text, const std::string& Caption) {
  return Create(mbkQuestion, Owner, Text, Caption)->exec() == QMessageBox::Yes;
}

// --- TLoggedMessageBoxes -------------------------------------------------------------------------

namespace {

std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n')
      out += "\\n";
    else if (c != '\r')
      out += c;
  }
  return out;
}

}  // namespace

std::string TLoggedMessageBoxes::FormatLine(TMessageBoxKind Kind, const std::string& Text, const std::string& Caption) {
  return std::string("message box: ") + MessageBoxKindName(Kind) + " | " + OneLine(Caption) + " | " + OneLine(Text);
}

void TLoggedMessageBoxes::Log(const std::string& Line) {
  std::fprintf(stderr, "quenta-setup: %s\n", Line.c_str());
  std::fflush(stderr);
}

void TLoggedMessageBoxes::Warning(QWidget*, const std::string& Text, const std::string& Caption) {
  Log(FormatLine(mbkWarning, Text, Caption));
}

void TLoggedMessageBoxes::Error(QWidget*, const std::string& Text, const std::string& Caption) {
  Log(FormatLine(mbkError, Text, Caption));
}

void TLoggedMessageBoxes::Message(QWidget*, const std::string& Text, const std::string& Caption) {
  Log(FormatLine(mbkMessage, Text, Caption));
}

bool TLoggedMessageBoxes::Question(QWidget*, const std::string& Text, const std::string& Caption) {
  Log(FormatLine(mbkQuestion, Text, Caption) + (FAnswer ? " -> yes" : " -> no"));
  return FAnswer;
}
