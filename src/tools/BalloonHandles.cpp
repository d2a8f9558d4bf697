#include "tools/BalloonHandles.h"

#include "app/core/ZDLAppController.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/BalloonPointer.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/Geometry.h"
#include "views/ZDLView.h"

namespace zandrel {

namespace {

// The base grip is larger than the grips of the further points, in screen points.
constexpr float kBaseGripSide = 8.0f;
constexpr float kPointGripSide = 6.0f;

QRectF squareAround(const QPointF& centre, float side, const ZDLView& view)
{
    const float length = side / view.viewScale();
    return view.centerScanRect(QRectF(centre.x() - length / 2.0, centre.y() - length / 2.0, length, length));
}

} // namespace

BalloonWidthHandle::BalloonWidthHandle(const QPointF& point, unsigned size, const ZDLView& view,
    const std::shared_ptr<Balloon>& balloon, bool atOrigin)
    : m_atOrigin(atOrigin)
    , m_balloon(balloon)
{
    setType(kBalloonWidthHandleType);
    setScale(view.viewScale());
    setBox(squareAround(point, float(size), view));
    setCursor(appController()->getCursorResource(QStringLiteral("Cur_ew-resize_Sm.tiff"), QPointF(8, 8)));
}

void BalloonWidthHandle::drawOn(Canvas& canvas) const
{
    canvas.save();
    canvas.fillRect(box(), CanvasPaint(appController()->selectionColor()));
    canvas.restore();
}

BalloonPointerHandle::BalloonPointerHandle(const ZDLView& view, const std::shared_ptr<Balloon>& balloon,
    qsizetype pointerIndex, qsizetype pointIndex)
    : m_deleteCursor(
        appController()->getCursorResource(QStringLiteral("Cur_DirectSelect_Del.tiff"), QPointF(1, 1)))
    , m_balloon(balloon)
    , m_pointerIndex(pointerIndex)
    , m_pointIndex(pointIndex)
{
    setType(pointIndex == 0 ? kBalloonPointerBaseHandleType : kBalloonPointerHandleType);
    setScale(view.viewScale());
    const BalloonPointer& pointer = *balloon->pointers().at(pointerIndex);
    m_position = balloon->origin() + pointer.pointerOffset() + pointer.points().at(pointIndex)->pointValue();
    const double inset = 0.5 / view.viewScale();
    setBox(insetRect(
        squareAround(m_position, pointIndex == 0 ? kBaseGripSide : kPointGripSide, view), inset, inset));
    setCursor(appController()->getCursorResource(QStringLiteral("Cur_DirectSelect.tiff"), QPointF(1, 1)));
}

void BalloonPointerHandle::drawOn(Canvas& canvas) const
{
    canvas.save();
    const CanvasPaint colour(appController()->selectionColor());
    CanvasPath shape = m_pointIndex == 0 ? CanvasPath::fromEllipse(box()) : CanvasPath::fromRect(box());
    shape.setWindingRule(WindingRule::EvenOdd);
    shape.setLineWidth(1.0 / scale());
    canvas.fillPath(shape, m_pointIndex == 0 ? CanvasPaint(Qt::white) : colour);
    canvas.strokePath(shape, colour);
    canvas.restore();
}

QCursor BalloonPointerHandle::getCursorFor(const ZDLEvent& event) const
{
    return event.command() ? m_deleteCursor : cursor();
}

} // namespace zandrel
