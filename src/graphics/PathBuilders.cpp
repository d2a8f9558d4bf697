#include "graphics/PathBuilders.h"

#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// 2/3 in single precision: where a quadratic's control point puts the equivalent cubic's controls.
constexpr float kTwoThirds = 0.6666667f;
// A pattern tile wider than this many pixels is drawn at a lower resolution and scaled; the cells
// are flat colour, so nothing is lost but memory.
constexpr int kMaxTilePixels = 1024;

QPointF towards(const QPointF& from, const QPointF& to, float fraction)
{
    return from + (to - from) * fraction;
}

CanvasPath buildBezierPath(const DrawCommandList& commands, bool closeSubpaths)
{
    CanvasPath path;
    bool open = false;
    for (const DrawCommand& command : commands) {
        switch (command.command()) {
        case DrawCommandMove:
            if (closeSubpaths && open)
                path.close();
            open = true;
            path.moveTo(command.point1());
            break;
        case DrawCommandLine:
            path.lineTo(command.point1());
            break;
        case DrawCommandQuadCurve: {
            const QPointF c = path.currentPoint();
            const QPointF q = command.point1();
            const QPointF e = command.point2();
            path.cubicTo(towards(c, q, kTwoThirds), towards(e, q, kTwoThirds), e);
            break;
        }
        case DrawCommandClose:
            path.close();
            open = false;
            break;
        default:
            break;
        }
    }
    path.setWindingRule(WindingRule::EvenOdd);
    return path;
}

// Renders one cell into a tile at the canvas's device resolution and fills the rect with it,
// tiled from the base origin as a pattern in base space is.
template <class DrawCell>
void fillRectWithTile(Canvas* canvas, const QRectF& rect, float cellSize, bool flipCell, DrawCell drawCell)
{
    if (!canvas)
        canvas = currentCanvas();
    if (!canvas || !(cellSize > 0.0f) || !std::isfinite(cellSize) || rect.isEmpty())
        return;
    const double deviceScale = canvas->deviceScale() > 0.0 ? canvas->deviceScale() : 1.0;
    const double wanted = std::ceil(double(cellSize) * deviceScale - 1e-9);
    const int pixels
        = std::clamp(static_cast<int>(std::min(wanted, double(kMaxTilePixels))), 1, kMaxTilePixels);
    const double tileScale = pixels / double(cellSize);
    OffscreenImage tile(QSize(pixels, pixels), tileScale);
    Canvas* tileCanvas = tile.canvas();
    if (!tileCanvas)
        return;
    if (flipCell) {
        tileCanvas->translate(0.0, cellSize);
        tileCanvas->scale(1.0, -1.0);
    }
    drawCell(*tileCanvas);
    CanvasPattern pattern;
    pattern.tile = tile.takeImage();
    pattern.tileSize = QSizeF(cellSize, cellSize);
    pattern.origin = QPointF(0.0, 0.0);
    canvas->save();
    canvas->fillRect(rect, CanvasPaint(pattern));
    canvas->restore();
}

CanvasPath buildHatchPath(const QList<QList<QPointF>>& polygons)
{
    CanvasPath path;
    for (const QList<QPointF>& polygon : polygons) {
        path.moveTo(polygon.first());
        for (qsizetype i = 1; i < polygon.size(); ++i)
            path.lineTo(polygon[i]);
        path.close();
    }
    return path;
}

} // namespace

CanvasPath createCGPathFromDrawCommands(const DrawCommandList& commands)
{
    CanvasPath path;
    for (const DrawCommand& command : commands) {
        switch (command.command()) {
        case DrawCommandMove:
            path.moveTo(command.point1());
            break;
        case DrawCommandLine:
            path.lineTo(command.point1());
            break;
        case DrawCommandQuadCurve:
            path.quadTo(command.point1(), command.point2());
            break;
        case DrawCommandClose:
            path.close();
            break;
        default:
            break;
        }
    }
    // The platform fills such a path with the non-zero rule unless asked otherwise.
    path.setWindingRule(WindingRule::NonZero);
    return path;
}

CanvasPath createNSBezierPathFromDrawCommands(const DrawCommandList& commands)
{
    return buildBezierPath(commands, false);
}

CanvasPath createClosedNSBezierPathFromDrawCommands(const DrawCommandList& commands)
{
    return buildBezierPath(commands, true);
}

const CanvasPath& hatchPathA()
{
    static const CanvasPath path = buildHatchPath({
        { QPointF(0, 8), QPointF(4, 8), QPointF(0, 4) },
        { QPointF(8, 8), QPointF(8, 4), QPointF(4, 0), QPointF(0, 0) },
    });
    return path;
}

const CanvasPath& hatchPathB()
{
    static const CanvasPath path = buildHatchPath({
        { QPointF(8, 0), QPointF(4, 0), QPointF(8, 4) },
        { QPointF(8, 8), QPointF(4, 8), QPointF(0, 4), QPointF(0, 0) },
    });
    return path;
}

void drawColorPatternCell(const CheckerboardCell& cell, Canvas& canvas)
{
    const double h = cell.halfCellSize;
    canvas.fillRect(QRectF(0, 0, h, h), cell.first);
    canvas.fillRect(QRectF(h, h, h, h), cell.first);
    canvas.fillRect(QRectF(h, 0, h, h), cell.second);
    canvas.fillRect(QRectF(0, h, h, h), cell.second);
}

void drawPathPatternCell(const HatchCell& cell, Canvas& canvas)
{
    if (cell.colorA.isValid())
        canvas.fillPath(hatchPathA(), cell.colorA);
    if (cell.colorB.isValid())
        canvas.fillPath(hatchPathB(), cell.colorB);
}

void washOutAndOutline(Canvas& canvas, CanvasPath path, double lineWidth)
{
    path.setWindingRule(WindingRule::EvenOdd);
    canvas.fillPath(path, CanvasPaint(QColor::fromRgbF(0, 0, 0, 0.4f)));
    canvas.fillPath(path, CanvasPaint(QColor::fromRgbF(1, 1, 1, 0.6f)));
    path.setLineWidth(lineWidth);
    canvas.strokePath(path, CanvasPaint(QColor::fromRgbF(0.24f, 0.71f, 0.24f, 1.0f)));
}

void fillRectWithCheckerboard(
    Canvas* canvas, const QColor& first, const QColor& second, const QRectF& rect, float cellSize)
{
    const CheckerboardCell cell { first.isValid() ? first : QColor(Qt::white),
        second.isValid() ? second : QColor(Qt::black), cellSize / 2.0f };
    // The squares are symmetric under a flip, so the cell is drawn as it is.
    fillRectWithTile(canvas, rect, cellSize, false, [&](Canvas& tile) {
        tile.setAntialiasing(false);
        drawColorPatternCell(cell, tile);
    });
}

void fillRectWithHatchPattern(Canvas* canvas, const QColor& colorA, const QColor& colorB, const QRectF& rect)
{
    Canvas* target = canvas ? canvas : currentCanvas();
    if (!target)
        return;
    // The cell is laid out with y up; over a y-down base the tile is flipped so that the stripes
    // still rise to the right.
    const bool baseIsYUp = target->baseToDevice().m22() < 0.0;
    const HatchCell cell { colorA, colorB };
    constexpr float kTileSide = 8.0f;
    fillRectWithTile(
        target, rect, kTileSide, !baseIsYUp, [&](Canvas& tile) { drawPathPatternCell(cell, tile); });
}

void appendRoundedCorner(CanvasPath& path, const QPointF& corner, const QPointF& next, float radius)
{
    auto length = [](const QPointF& v) { return hypotf(float(v.x()), float(v.y())); };
    const QPointF c = path.currentPoint();
    const QPointF toCorner = corner - c;
    const float inLength = length(toCorner);
    const QPointF start = inLength == 0.0f ? c : c + toCorner * ((inLength - radius) / inLength);
    const QPointF toNext = next - corner;
    const float outLength = length(toNext);
    const QPointF end = outLength == 0.0f ? corner : corner + toNext * (radius / outLength);
    // Both control points 0.5519150 r from their ends: the usual cubic quarter circle.
    const QPointF startToCorner = corner - start;
    const float l1 = length(startToCorner);
    const QPointF cp1 = l1 == 0.0f ? start : start + startToCorner * (0.55191505f * radius / l1);
    const QPointF cornerToEnd = end - corner;
    const float l2 = length(cornerToEnd);
    const QPointF cp2 = l2 == 0.0f ? corner : corner + cornerToEnd * (0.44808495f * radius / l2);
    path.lineTo(start);
    path.cubicTo(cp1, cp2, end);
}

} // namespace zandrel
