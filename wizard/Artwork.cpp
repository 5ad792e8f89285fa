#include "Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>
#include <QRadialGradient>

namespace {

// Regions of the window, in client pixels.
constexpr int BandWidth = 180;  // the dark band on the left
constexpr int FooterTop = 448;  // the strip that carries the buttons
constexpr int ButtonTop = 462;
constexpr int ContentLeft = 200;
constexpr int ContentRight = 668;
constexpr int HeaderRule = 113;  // between the title labels (72..104) and the page (122..)

const QColor BandTop(0x1b, 0x27, 0x35);
const QColor BandBottom(0x22, 0x31, 0x42);
const QColor MainTop(0x2a, 0x3a, 0x4c);
const QColor MainBottom(0x33, 0x46, 0x5a);
const QColor FooterTopColour(0x1f, 0x2b, 0x39);
const QColor FooterBottomColour(0x19, 0x23, 0x2f);
const QColor Steel(0x8f, 0xa8, 0xc2);
const QColor Accent(0xd0, 0xa5, 0x5a);

QColor WithAlpha(QColor colour, int alpha) {
  colour.setAlpha(alpha);
  return colour;
}

void FillVertical(QPainter& p, const QRect& r, const QColor& top, const QColor& bottom) {
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  p.fillRect(r, g);
}

// A faint drawing-paper grid, the trade's own texture.
void PaintGrid(QPainter& p, const QRect& r, int step, int alpha) {
  p.save();
  p.setClipRect(r);
  p.setPen(QPen(WithAlpha(Steel, alpha), 1));
  for (int x = r.left() + step; x < r.right(); x += step) p.drawLine(x, r.top(), x, r.bottom());
  for (int y = r.top() + step; y < r.bottom(); y += step) p.drawLine(r.left(), y, r.right(), y);
  p.restore();
}

// Three isometric columns stepping down towards the viewer: a quiet emblem for the band. They are
// painted back to front, so their solid faces hide what lies behind.
void PaintColumns(QPainter& p, QPointF origin, double size) {
  const int heights[] = {3, 2, 1};
  const double dx = size * 0.866, dy = size * 0.5;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(WithAlpha(Steel, 120), 1.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
  for (int i = 0; i < 3; ++i) {
    QPointF down(0, heights[i] * size);
    QPointF top = origin + QPointF(i * dx, i * dy) - down;
    QPointF left = top + QPointF(-dx, dy), right = top + QPointF(dx, dy), front = top + QPointF(0, 2 * dy);
    p.setBrush(QColor(0x3d, 0x52, 0x69));
    p.drawPolygon(QPolygonF{top, right, front, left});
    p.setBrush(QColor(0x26, 0x35, 0x46));
    p.drawPolygon(QPolygonF{left, front, front + down, left + down});
    p.setBrush(QColor(0x30, 0x42, 0x56));
    p.drawPolygon(QPolygonF{front, right, right + down, front + down});
  }
  p.restore();
}

// A light face with a one-pixel frame over the button strip; pressed = darker, lit from below,
// with a shadow along the top and left edges.
QImage ButtonFace(bool pressed) {
  QImage face = WizardBackground().copy(QRect(QPoint(ContentLeft, ButtonTop), ButtonFaceSize));
  QPainter p(&face);
  p.setRenderHint(QPainter::Antialiasing);
  QRectF body = QRectF(face.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QLinearGradient fill(body.topLeft(), body.bottomLeft());
  if (pressed) {
    fill.setColorAt(0, QColor(0xc3, 0xcc, 0xd6));
    fill.setColorAt(1, QColor(0xd9, 0xdf, 0xe6));
  } else {
    fill.setColorAt(0, QColor(0xfb, 0xfc, 0xfd));
    fill.setColorAt(0.5, QColor(0xee, 0xf1, 0xf5));
    fill.setColorAt(1, QColor(0xdb, 0xe1, 0xe8));
  }
  p.setPen(QPen(pressed ? QColor(0x44, 0x52, 0x61) : QColor(0x6d, 0x7c, 0x8c), 1));
  p.setBrush(fill);
  p.drawRoundedRect(body, 3, 3);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (pressed) {
    p.setPen(QColor(0x8e, 0x9a, 0xa7));
    p.drawLine(2, 1, face.width() - 3, 1);
    p.drawLine(1, 2, 1, face.height() - 3);
    p.setPen(QColor(0xab, 0xb5, 0xc1));
    p.drawLine(2, 2, face.width() - 3, 2);
    p.drawLine(2, 3, 2, face.height() - 3);
  } else {
    p.setPen(QColor(0xff, 0xff, 0xff));
    p.drawLine(3, 1, face.width() - 4, 1);
  }
  p.end();
  return face.convertToFormat(QImage::Format_RGB888);
}

}  // namespace

QImage WizardBackground() {
  QImage image(WizardBackgroundSize, QImage::Format_RGB32);
  QPainter p(&image);
  const int w = image.width(), h = image.height();

  QRect main(BandWidth, 0, w - BandWidth, FooterTop);
  FillVertical(p, main, MainTop, MainBottom);
  // A soft light behind the title, fading out before the page area.
  QRadialGradient glow(QPointF(ContentRight - 40, 20), 420);
  glow.setColorAt(0, WithAlpha(Steel, 34));
  glow.setColorAt(1, WithAlpha(Steel, 0));
  p.fillRect(main, glow);
  PaintGrid(p, main, 24, 7);

  QRect band(0, 0, BandWidth, FooterTop);
  FillVertical(p, band, BandTop, BandBottom);
  PaintGrid(p, band, 12, 10);
  PaintGrid(p, band, 48, 14);
  PaintColumns(p, QPointF(BandWidth / 2.0 - 22, 232), 26);
  // The band's edge: a dark line with a faint light one beside it.
  p.setPen(QColor(0x12, 0x1a, 0x24));
  p.drawLine(BandWidth, 0, BandWidth, FooterTop - 1);
  p.setPen(WithAlpha(Steel, 40));
  p.drawLine(BandWidth + 1, 0, BandWidth + 1, FooterTop - 1);

  // Title marker and the rule under the title.
  p.fillRect(QRect(ContentLeft - 10, 72, 3, 32), Accent);
  QLinearGradient rule(QPointF(ContentLeft, 0), QPointF(ContentRight, 0));
  rule.setColorAt(0, WithAlpha(Steel, 150));
  rule.setColorAt(1, WithAlpha(Steel, 10));
  p.fillRect(QRect(ContentLeft, HeaderRule, ContentRight - ContentLeft, 1), rule);
  p.fillRect(QRect(ContentLeft, HeaderRule + 1, ContentRight - ContentLeft, 1), QColor(0, 0, 0, 50));

  QRect footer(0, FooterTop, w, h - FooterTop);
  FillVertical(p, footer, FooterTopColour, FooterBottomColour);
  p.setPen(QColor(0x10, 0x17, 0x20));
  p.drawLine(0, FooterTop, w - 1, FooterTop);
  p.setPen(WithAlpha(Steel, 46));
  p.drawLine(0, FooterTop + 1, w - 1, FooterTop + 1);
  p.end();
  return image;
}

void PaintButtonFocusMark(QPainter& painter, QSize face) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, false);
  QPen pen(QColor(0x44, 0x52, 0x61), 1, Qt::CustomDashLine);
  pen.setDashPattern({1, 1});
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(QRect(QPoint(3, 3), face - QSize(7, 7)));
  painter.restore();
}

QImage ButtonFaceNormal() { return ButtonFace(false); }

QImage ButtonFacePressed() { return ButtonFace(true); }
