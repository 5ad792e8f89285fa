// Writes the wizard's artwork as PNG files into a folder, with the two faces and their labels
// enlarged, so the faces can be judged closely (./run.sh screenshots shows the real pages).
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
  QGuiApplication app(argc, argv);  // the faces preview draws text
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
