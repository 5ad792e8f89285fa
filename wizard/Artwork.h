#pragma once
// The wizard's pictures, painted in code: the window background and the two faces of its buttons.
// The form lays its white labels on the dark areas of the background (x = 200 from y = 72 down)
// and its dark button labels on the light faces; nothing here carries text.

#include <QImage>
#include <QSize>

class QPainter;

inline constexpr QSize WizardBackgroundSize{694, 497};
inline constexpr QSize ButtonFaceSize{77, 25};

QImage WizardBackground();
// 24 bits per pixel; both faces are painted over the background's button strip, so their
// rounded corners blend into it wherever the form puts them on that strip.
QImage ButtonFaceNormal();
QImage ButtonFacePressed();
// The keyboard focus mark of a button: a dotted frame inside the face's edge, in the dark of its
// frame, around the label.
void PaintButtonFocusMark(QPainter& painter, QSize face);
