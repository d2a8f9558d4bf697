#include "platform/Canvas.h"

namespace zandrel {

std::recursive_mutex& fontEngineMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

void Canvas::strokeRect(const QRectF& rect, const CanvasPaint& paint, double width)
{
    CanvasPath path = CanvasPath::fromRect(rect);
    path.setLineWidth(width);
    strokePath(path, paint);
}

void Canvas::strokeEllipse(const QRectF& rect, const CanvasPaint& paint, double width)
{
    CanvasPath path = CanvasPath::fromEllipse(rect);
    path.setLineWidth(width);
    strokePath(path, paint);
}

void Canvas::strokeLine(const QPointF& from, const QPointF& to, const CanvasPaint& paint, double width)
{
    CanvasPath path;
    path.moveTo(from);
    path.lineTo(to);
    path.setLineWidth(width);
    strokePath(path, paint);
}

} // namespace zandrel
