#pragma once

#include "platform/RgbColor.h"

#include <QColor>
#include <QRectF>

namespace zandrel {

class Canvas;
class CanvasPath;

// What the hand-drawn colour controls share: their greys, the checkerboard that shows through
// translucent colours, swatches and the little triangle that marks a popup well.

// The platform's light grey, the outline of wells, popups and handles.
QColor lightGrayOutline();
// A calibrated grey level, opaque.
QColor grayLevel(double white, double alpha = 1.0);
// White and mid-grey squares of 4 points under every swatch and gradient.
void fillCheckerboard(Canvas& canvas, const QRectF& rect);
// The colour over the checkerboard where it is translucent, plainly where it is opaque.
void drawSwatchInRect(Canvas& canvas, const RgbColor& color, const QRectF& rect);
// A closed triangle 10 points wide and 5 deep, pointing toward growing y.
const CanvasPath& wellTriangle();

// The light grey edge of a well and, near its lower-right corner, the black, white-edged triangle
// that says a click opens a popup: at three quarters of its size on a small well.
void drawWellFrameAndTriangle(Canvas& canvas, const QRectF& bounds, bool large);

} // namespace zandrel
