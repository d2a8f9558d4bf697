#include "colorui/ColorControlDrawing.h"

#include "graphics/PathBuilders.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"

namespace zandrel {

namespace {

// Checkerboard cells are 8 points: four squares of 4.
constexpr float kCheckerCell = 8.0f;

} // namespace

QColor lightGrayOutline()
{
    return grayLevel(2.0 / 3.0);
}

QColor grayLevel(double white, double alpha)
{
    return QColor::fromRgbF(float(white), float(white), float(white), float(alpha));
}

void fillCheckerboard(Canvas& canvas, const QRectF& rect)
{
    fillRectWithCheckerboard(&canvas, QColor(Qt::white), grayLevel(0.5), rect, kCheckerCell);
}

void drawSwatchInRect(Canvas& canvas, const RgbColor& color, const QRectF& rect)
{
    if (!color.isValid())
        return;
    if (color.alpha() < 1.0)
        fillCheckerboard(canvas, rect);
    canvas.fillRect(rect, CanvasPaint(color.toQColor()));
}

const CanvasPath& wellTriangle()
{
    static const CanvasPath triangle = [] {
        CanvasPath path;
        path.moveTo(QPointF(0.5, 0.5));
        path.lineTo(QPointF(10.5, 0.5));
        path.lineTo(QPointF(5.5, 5.5));
        path.close();
        return path;
    }();
    return triangle;
}

void drawWellFrameAndTriangle(Canvas& canvas, const QRectF& bounds, bool large)
{
    CanvasPath edge = CanvasPath::fromRect(bounds.adjusted(0.5, 0.5, -0.5, -0.5));
    edge.setLineWidth(1.0);
    canvas.strokePath(edge, CanvasPaint(lightGrayOutline()));
    CanvasPath triangle = wellTriangle();
    canvas.save();
    if (large) {
        canvas.translate(bounds.width() - 16, bounds.height() - 10);
        triangle.setLineWidth(1.0);
    } else {
        // One point wide once scaled.
        canvas.translate(bounds.width() - 10, bounds.height() - 6);
        canvas.scale(0.75, 0.75);
        triangle.setLineWidth(4.0 / 3.0);
    }
    canvas.fillPath(triangle, CanvasPaint(QColor(Qt::black)));
    canvas.strokePath(triangle, CanvasPaint(QColor(Qt::white)));
    canvas.restore();
}

} // namespace zandrel
