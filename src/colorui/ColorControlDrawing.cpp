#include "colorui/ColorControlDrawing.h"

#include "graphics/PathBuilders.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"

#include <QWidget>

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

QWidget* topLevelOf(const QWidget* widget)
{
    return widget ? widget->window() : nullptr;
}

} // namespace zandrel
