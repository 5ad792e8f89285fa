// Writes the wizard's artwork as PNG files into a folder, plus two previews with the form's
// labels and boxes laid on top and the faces enlarged, so the pictures can be judged as the user will see them.
//   render-artwork <folder>

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QPainter>

#include <cstdio>

#include "Artwork.h"

namespace {

void Label(QPainter& p, int x, int y, const QString& text, const QColor& colour, bool bold = false) {
  QFont font("Sans Serif");
  font.setPixelSize(11);
  font.setBold(bold);
  p.setFont(font);
  p.setPen(colour);
  p.drawText(QRect(x, y, 468, 13), Qt::AlignLeft | Qt::AlignTop, text);
}

void Box(QPainter& p, const QRect& r) {
  p.fillRect(r, Qt::white);
  p.setPen(QColor(0x80, 0x80, 0x80));
  p.drawRect(r.adjusted(0, 0, -1, -1));
}

// The introduction page: title labels, the white information box, both faces up.
QImage HelloPreview() {
  QImage image = WizardBackground();
  QPainter p(&image);
  Label(p, 200, 72, "Центр ОРВЕЛ", Qt::white, true);
  Label(p, 200, 91, "Квента обновление программного комплекса ОРВЕЛ - Квело 7", Qt::white, true);
  Box(p, QRect(200, 122, 468, 290));
  Label(p, 203, 140, "Данное приложение выполнит обновление файлов программного комплекса ОРВЕЛ", Qt::black);
  p.drawImage(377, 462, ButtonFaceNormal());
  Label(p, 394, 468, "Далее >", Qt::black);
  p.drawImage(602, 462, ButtonFaceNormal());
  Label(p, 621, 468, "Отмена", Qt::black);
  return image;
}

// The copy page: log, status line and progress bars, the next label disabled, cancel pressed.
QImage CopyPreview() {
  QImage image = WizardBackground();
  QPainter p(&image);
  Label(p, 200, 72, "Центр ОРВЕЛ", Qt::white, true);
  Label(p, 200, 91, "Квента обновление программного комплекса ОРВЕЛ - Квело 7", Qt::white, true);
  Box(p, QRect(200, 122, 468, 254));
  Label(p, 200, 382, "/home/user/Documents/Орвел-Квело/Нормативы/...Сборник 01.oxd5", Qt::white);
  Box(p, QRect(200, 401, 468, 17));
  p.fillRect(QRect(201, 402, 300, 15), QColor(0x3d, 0x8b, 0xd0));
  Box(p, QRect(200, 424, 468, 17));
  p.fillRect(QRect(201, 425, 120, 15), QColor(0x3d, 0x8b, 0xd0));
  p.drawImage(377, 462, ButtonFaceNormal());
  Label(p, 394, 468, "Далее >", QColor(96, 104, 112));
  p.drawImage(602, 462, ButtonFacePressed());
  Label(p, 621, 468, "Отмена", Qt::black);
  return image;
}

// Both faces with their labels, normal and pressed, four times enlarged.
QImage FacesPreview() {
  QImage strip = WizardBackground().copy(370, 455, 320, 40);
  QPainter p(&strip);
  p.drawImage(7, 7, ButtonFaceNormal());
  Label(p, 24, 13, "Далее >", Qt::black);
  p.drawImage(92, 7, ButtonFacePressed());
  Label(p, 109, 13, "Далее >", Qt::black);
  p.drawImage(177, 7, ButtonFaceNormal());
  Label(p, 196, 13, "Отмена", QColor(96, 104, 112));
  p.end();
  return strip.scaled(strip.size() * 4);
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);  // the previews draw text
  if (argc != 2) {
    std::fprintf(stderr, "usage: render-artwork <folder>\n");
    return 2;
  }
  QDir folder(QString::fromLocal8Bit(argv[1]));
  if (!folder.mkpath(".")) {
    std::fprintf(stderr, "render-artwork: cannot create %s\n", argv[1]);
    return 1;
  }
  const struct {
    const char* Name;
    QImage Image;
  } files[] = {
      {"background.png", WizardBackground()},
      {"button-normal.png", ButtonFaceNormal()},
      {"button-pressed.png", ButtonFacePressed()},
      {"preview-hello.png", HelloPreview()},
      {"preview-copy.png", CopyPreview()},
      {"preview-faces.png", FacesPreview()},
  };
  for (const auto& file : files) {
    QString path = folder.filePath(file.Name);
    if (!file.Image.save(path, "PNG")) {
      std::fprintf(stderr, "render-artwork: cannot write %s\n", qPrintable(path));
      return 1;
    }
    std::printf("%s\n", qPrintable(path));
  }
  return 0;
}
