#include "Artwork.h"

#include <gtest/gtest.h>

#include <QColor>

#include <algorithm>
#include <cmath>

namespace {

double Luminance(QColor c) {
  auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
  return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double Contrast(QColor a, QColor b) {
  double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The lowest contrast of text in the given colour against any pixel of the area.
double WorstContrast(const QImage& image, const QRect& area, QColor text) {
  double worst = 21;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) worst = std::min(worst, Contrast(image.pixelColor(x, y), text));
  return worst;
}

double MeanLuminance(const QImage& image) {
  double sum = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) sum += Luminance(image.pixelColor(x, y));
  return sum / (image.width() * image.height());
}

TEST(Artwork, SizesAndFormatsFitTheForm) {
  QImage background = WizardBackground();
  EXPECT_EQ(background.size(), QSize(694, 497));
  EXPECT_FALSE(background.hasAlphaChannel());
  for (const QImage& face : {ButtonFaceNormal(), ButtonFacePressed()}) {
    EXPECT_EQ(face.size(), QSize(77, 25));
    EXPECT_EQ(face.depth(), 24);
  }
}

// Contrast 4.5 is the usual floor for small text.
TEST(Artwork, WhiteLabelsStandOnDarkGround) {
  QImage background = WizardBackground();
  const QRect labelRows[] = {
      {200, 72, 468, 32},   // the two title labels
      {200, 128, 468, 13},  // page caption above the tree
      {200, 152, 468, 13},  // finish text
      {200, 382, 468, 13},  // status line of the copy
  };
  for (const QRect& row : labelRows)
    EXPECT_GE(WorstContrast(background, row, Qt::white), 4.5) << row.y();
}

TEST(Artwork, DarkLabelsReadOnFacesAndPressedFaceIsSunken) {
  QImage normal = ButtonFaceNormal(), pressed = ButtonFacePressed();
  const QRect label(8, 5, 61, 15);
  const QColor disabled(96, 104, 112);
  EXPECT_GE(WorstContrast(normal, label, Qt::black), 7.0);
  EXPECT_GE(WorstContrast(pressed, label, Qt::black), 7.0);
  // The disabled colour is only ever shown on a face at rest.
  EXPECT_GE(WorstContrast(normal, label, disabled), 3.0);
  EXPECT_LT(MeanLuminance(pressed), MeanLuminance(normal) - 0.05);
}

}  // namespace
