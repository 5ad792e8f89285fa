// Runs the wizard on a package and writes a PNG of every page, and of the questions it asks, into
// a folder. Questions are answered No so that the walk goes on; each box is pictured over the
// window it belongs to. The offscreen platform has no window frames, so the pictures get a plain
// title bar with the window's caption.
//   wizard-screenshots <package folder> <output folder>
// The client is whatever the environment points at (tools/make-demo-sandbox.sh prepares one).

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>

#include <cstdio>
#include <memory>
#include <string>

#include "MessageBoxes.h"
#include "Ox_KveloStorage.WebDAV.h"
#include "SysInfo.Core.Kvelo7.h"
#include "Setup.RunLog.h"
#include "dlgEasySetup.h"

namespace {

QImage Framed(const QImage& content, const QString& title) {
  constexpr int Bar = 24;
  QImage framed(content.width() + 2, content.height() + Bar + 1, QImage::Format_RGB32);
  framed.fill(QColor(0x3c, 0x3f, 0x44));
  QPainter p(&framed);
  p.drawImage(1, Bar, content);
  QFont font("DejaVu Sans");
  font.setPixelSize(12);
  font.setBold(true);
  p.setFont(font);
  p.setPen(QColor(0xe8, 0xe8, 0xe8));
  p.drawText(QRect(8, 0, framed.width() - 16, Bar), Qt::AlignVCenter | Qt::AlignLeft, title);
  return framed;
}

class TScreenshots {
 public:
  explicit TScreenshots(QDir folder) : FFolder(std::move(folder)) {}

  bool Save(const QImage& image, const QString& name) {
    QString path = FFolder.filePath(QString("%1-%2.png").arg(++FCount, 2, 10, QChar('0')).arg(name));
    if (!image.save(path, "PNG")) {
      std::fprintf(stderr, "wizard-screenshots: cannot write %s\n", qPrintable(path));
      FFailed = true;
      return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
  }

  void Window(QWidget* window, const QString& name) {
    QApplication::processEvents();
    Save(Framed(window->grab().toImage(), window->windowTitle()), name);
  }

  bool Failed() const { return FFailed; }

 private:
  QDir FFolder;
  int FCount = 0;
  bool FFailed = false;
};

// Shows each box as the wizard would, pictures it over its owner, then dismisses it (No for a
// question).
class TPicturedMessageBoxes : public IMessageBoxes {
 public:
  explicit TPicturedMessageBoxes(TScreenshots& shots) : FShots(shots) {}

  QString NextName = "message";

  void Warning(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    Picture(mbkWarning, Owner, Text, Caption);
  }
  void Error(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    Picture(mbkError, Owner, Text, Caption);
  }
  void Message(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    Picture(mbkMessage, Owner, Text, Caption);
  }
  bool Question(QWidget* Owner, const std::string& Text, const std::string& Caption) override {
    Picture(mbkQuestion, Owner, Text, Caption);
    return false;
  }

 private:
  void Picture(TMessageBoxKind kind, QWidget* owner, const std::string& text, const std::string& caption) {
    std::unique_ptr<QMessageBox> box = TQtMessageBoxes::Create(kind, owner, text, caption);
    box->show();
    QApplication::processEvents();
    QImage boxImage = Framed(box->grab().toImage(), box->windowTitle());
    box->hide();
    QImage scene = owner ? Framed(owner->grab().toImage(), owner->windowTitle()) : boxImage;
    if (owner) {
      QPainter p(&scene);
      QPoint topLeft = scene.rect().center() - boxImage.rect().center();
      p.fillRect(QRect(topLeft + QPoint(4, 4), boxImage.size()), QColor(0, 0, 0, 90));  // a shadow
      p.drawImage(topLeft, boxImage);
    }
    FShots.Save(scene, NextName);
    NextName = "message";
  }

  TScreenshots& FShots;
};

void Click(QWidget* widget) {
  QPointF pos = QRectF(widget->rect()).center();
  QMouseEvent press(QEvent::MouseButtonPress, pos, widget->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(widget, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, pos, widget->mapToGlobal(pos), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(widget, &release);
}

const char* PageName(TPageState page) {
  switch (page) {
    case psHello: return "hello";
    case psCopyData: return "copydata";
    case psShortCuts: return "shortcuts";
    case psConnections: return "connections";
    case psDone: return "done";
    case psClose: return "close";
  }
  return "page";
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // As the program starts: stored connections must be recognised, or a save would drop them.
  InitializeKveloFolderOverrides();
  InitializeConnectionClasses();
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: wizard-screenshots <package folder> <output folder>\n");
    return 2;
  }
  QDir folder(QString::fromLocal8Bit(argv[2]));
  if (!folder.mkpath(".")) {
    std::fprintf(stderr, "wizard-screenshots: cannot create %s\n", argv[2]);
    return 1;
  }
  for (const QString& old : folder.entryList({"*.png"}, QDir::Files)) folder.remove(old);

  TScreenshots shots(folder);
  TPicturedMessageBoxes boxes(shots);
  // The run's log beside the pictures: what the copy page said, the package check first.
  TRunLog log(folder.filePath("wizard.log").toStdString());
  TfrmEasySetup form(argv[1], boxes, nullptr, &log);
  form.show();
  shots.Window(&form, "hello");
  // The keyboard's focus on "Далее >", brought there by Tab: with its focus mark.
  form.activateWindow();
  QApplication::processEvents();
  form.Image2->setFocus(Qt::TabFocusReason);
  form.Image3->setFocus(Qt::TabFocusReason);
  shots.Window(&form, "hello-focus");
  form.Image3->clearFocus();
  boxes.NextName = "hello-close-question";
  Click(form.Image2);

  // Every "Далее >" until the finish; a page skipped by settings.ini is simply not pictured.
  while (form.isVisible() && form.PageState() != psDone) {
    TPageState before = form.PageState();
    boxes.NextName = "after-" + QString(PageName(before)) + "-message";
    Click(form.Image3);
    if (form.PageState() == before) break;  // stuck: an error kept the wizard on its page
    shots.Window(&form, PageName(form.PageState()));
    if (form.PageState() == psCopyData) {
      boxes.NextName = "copydata-cancel-question";
      Click(form.Image2);
    }
  }
  if (form.PageState() != psDone) {
    std::fprintf(stderr, "wizard-screenshots: the walk stopped on page %s\n", PageName(form.PageState()));
    return 1;
  }
  Click(form.Image3);  // "Готово"
  return shots.Failed() ? 1 : 0;
}
