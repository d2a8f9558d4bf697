#pragma once

#include "graphics/DrawCommand.h"
#include "platform/CanvasPath.h"

#include <QColor>
#include <QPointF>
#include <QRectF>
#include <cmath>

namespace zandrel {

class Canvas;

// Between the model's draw commands and the canvas: path builders, the checkerboard and hatch
// pattern fills, and a rounded-corner step for hand-made controls.

// Moves, lines, quadratic curves and closes; marks are skipped. Filled with the non-zero rule.
CanvasPath createCGPathFromDrawCommands(const DrawCommandList& commands);
// The same with every quadratic raised to a cubic (control points 2/3 of the way to the quadratic's
// control, in single precision) and the even-odd rule.
CanvasPath createNSBezierPathFromDrawCommands(const DrawCommandList& commands);
// As createNSBezierPathFromDrawCommands, and every subpath that a later move starts is closed first;
// the last subpath is left as the commands leave it.
CanvasPath createClosedNSBezierPathFromDrawCommands(const DrawCommandList& commands);

// One cell of the checkerboard: squares of half the cell size, the first colour at the cell's origin
// and on its diagonal, the second colour on the other two.
struct CheckerboardCell {
    QColor first;
    QColor second;
    float halfCellSize = 4.0f;
};

// One cell of the hatch: 8 x 8 units of 45-degree stripes, each path filled with its colour when both
// are present.
struct HatchCell {
    QColor colorA;
    QColor colorB;
};

// Fills the rect with a checkerboard tiled from the canvas's base origin, the way semi-transparent
// colours are shown. An invalid colour stands for none: white for the first, black for the second.
// A null canvas draws into currentCanvas().
void fillRectWithCheckerboard(
    Canvas* canvas, const QColor& first, const QColor& second, const QRectF& rect, float cellSize);
// Fills the rect with diagonal stripes in two colours, laid over areas that are not being edited.
// An invalid colour leaves its stripes empty.
void fillRectWithHatchPattern(Canvas* canvas, const QColor& colorA, const QColor& colorB, const QRectF& rect);
// Washes out what the path covers under the even-odd rule (the outside of a frame, or of an image's
// masks, when the path also holds a rect around the view): 40 per cent black, then 60 per cent
// white over it; then outlines the path in green with the line width.
void washOutAndOutline(Canvas& canvas, CanvasPath path, double lineWidth);
// Draw one pattern cell at the origin of the canvas's user space.
void drawColorPatternCell(const CheckerboardCell& cell, Canvas& canvas);
void drawPathPatternCell(const HatchCell& cell, Canvas& canvas);
// The two stripe paths of the hatch cell (y up), built once and shared for the whole run.
const CanvasPath& hatchPathA();
const CanvasPath& hatchPathB();

// Appends a line to the point the radius before the corner and a quarter-circle-like cubic to the
// point the radius after it, toward next.
void appendRoundedCorner(CanvasPath& path, const QPointF& corner, const QPointF& next, float radius);

// The absolute value; line weights follow the absolute horizontal factor of a scale.
inline float floatAbs(float x)
{
    return std::fabs(x);
}

} // namespace zandrel
