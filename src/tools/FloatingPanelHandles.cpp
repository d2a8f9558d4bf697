#include "tools/FloatingPanelHandles.h"

#include "app/core/ZDLAppController.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/GraphicUtils.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/Geometry.h"
#include "views/ZDLView.h"

namespace zandrel {

namespace {

// The grips are this many screen points square, whatever the zoom.
constexpr float kGripSide = 6.0f;
// Each grip sits this many screen points outside the panel, along each of its two edges.
constexpr float kGripOffset = 2.0f;
// The white rim around a grip, in document units.
constexpr double kGripRim = 1.0;

const QString& topLeft()
{
    return ComicStructureElement::kTopLeftKey;
}
const QString& topRight()
{
    return ComicStructureElement::kTopRightKey;
}
const QString& bottomLeft()
{
    return ComicStructureElement::kBottomLeftKey;
}
const QString& bottomRight()
{
    return ComicStructureElement::kBottomRightKey;
}

QCursor cursorNamed(const QString& name, double hotSpot)
{
    return appController()->getCursorResource(name, QPointF(hotSpot, hotSpot));
}

// The box keeps its unrounded size; only its origin is aligned to device pixels.
QRectF gripBox(const QPointF& point, const ZDLView& view)
{
    const float side = kGripSide / view.viewScale();
    const QRectF aligned
        = view.centerScanRect(QRectF(point.x() - side / 2.0, point.y() - side / 2.0, side, side));
    return QRectF(aligned.topLeft(), QSizeF(side, side));
}

void drawGrip(const QRectF& box, Canvas& canvas)
{
    canvas.save();
    CanvasPath rim = CanvasPath::fromRect(insetRect(box, -kGripRim, -kGripRim));
    rim.setWindingRule(WindingRule::EvenOdd);
    canvas.fillPath(rim, CanvasPaint(Qt::white));
    CanvasPath grip = CanvasPath::fromRect(box);
    grip.setWindingRule(WindingRule::EvenOdd);
    canvas.fillPath(grip, CanvasPaint(appController()->reshapeSelectionColor()));
    canvas.restore();
}

} // namespace

FloatingPanelCornerHandle::FloatingPanelCornerHandle(const QPointF& point, const ZDLView& view,
    const QString& direct, const QString& indirect1, const QString& indirect2, const QString& anchor)
    : m_distortCursor(cursorNamed(QStringLiteral("Cur_PanelDistortCorner.tiff"), 4))
    , m_direct(direct)
    , m_indirect1(indirect1)
    , m_indirect2(indirect2)
    , m_anchor(anchor)
{
    setType(kPanelCornerHandleType);
    setScale(view.viewScale());
    setBox(gripBox(point, view));
    // By the grip's name, not by where the corner lies on a distorted panel.
    const bool falling = direct == topLeft() || direct == bottomRight();
    setCursor(cursorNamed(
        falling ? QStringLiteral("Cur_nwse-resize_Sm.tiff") : QStringLiteral("Cur_nesw-resize_Sm.tiff"), 8));
}

void FloatingPanelCornerHandle::drawOn(Canvas& canvas) const
{
    drawGrip(box(), canvas);
}

QCursor FloatingPanelCornerHandle::getCursorFor(const ZDLEvent& event) const
{
    return event.command() ? m_distortCursor : cursor();
}

FloatingPanelSideHandle::FloatingPanelSideHandle(const QPointF& point, const ZDLView& view,
    const QString& direct1, const QString& direct2, const QString& anchor1, const QString& anchor2)
    : m_direct1(direct1)
    , m_direct2(direct2)
    , m_anchor1(anchor1)
    , m_anchor2(anchor2)
{
    setType(kPanelSideHandleType);
    setScale(view.viewScale());
    setBox(gripBox(point, view));
    const bool horizontalSide = (direct1 == topLeft() && direct2 == topRight())
        || (direct1 == bottomLeft() && direct2 == bottomRight());
    if (horizontalSide) {
        setCursor(cursorNamed(QStringLiteral("Cur_ns-resize_Sm.tiff"), 8));
        m_distortCursor = cursorNamed(QStringLiteral("Cur_PanelDistortSideHoriz.tiff"), 4);
    } else {
        setCursor(cursorNamed(QStringLiteral("Cur_ew-resize_Sm.tiff"), 8));
        m_distortCursor = cursorNamed(QStringLiteral("Cur_PanelDistortSideVert.tiff"), 4);
    }
}

void FloatingPanelSideHandle::drawOn(Canvas& canvas) const
{
    drawGrip(box(), canvas);
}

QCursor FloatingPanelSideHandle::getCursorFor(const ZDLEvent& event) const
{
    return event.command() ? m_distortCursor : cursor();
}

HandleList floatingPanelHandles(const ComicPanel& panel, const ZDLView& view)
{
    const float d = -kGripOffset / view.viewScale();
    // Each corner pushed outward along its top or bottom edge, then along its left or right edge.
    const QPointF tl1 = pointAtDistanceToward(panel.topLeft(), panel.topRight(), d);
    const QPointF tr1 = pointAtDistanceToward(panel.topRight(), tl1, d);
    const QPointF bl1 = pointAtDistanceToward(panel.bottomLeft(), panel.bottomRight(), d);
    const QPointF br1 = pointAtDistanceToward(panel.bottomRight(), bl1, d);
    const QPointF tl2 = pointAtDistanceToward(tl1, bl1, d);
    const QPointF tr2 = pointAtDistanceToward(tr1, br1, d);
    const QPointF bl2 = pointAtDistanceToward(bl1, tl2, d);
    const QPointF br2 = pointAtDistanceToward(br1, tr2, d);
    const auto corner = [&view](const QPointF& at, const QString& direct, const QString& indirect1,
                            const QString& indirect2, const QString& anchor) -> ZDLHandlePtr {
        return std::make_shared<FloatingPanelCornerHandle>(at, view, direct, indirect1, indirect2, anchor);
    };
    const auto side = [&view](const QPointF& at, const QString& direct1, const QString& direct2,
                          const QString& anchor1, const QString& anchor2) -> ZDLHandlePtr {
        return std::make_shared<FloatingPanelSideHandle>(at, view, direct1, direct2, anchor1, anchor2);
    };
    return {
        corner(tl2, topLeft(), topRight(), bottomLeft(), bottomRight()),
        corner(tr2, topRight(), topLeft(), bottomRight(), bottomLeft()),
        corner(br2, bottomRight(), topRight(), bottomLeft(), topLeft()),
        corner(bl2, bottomLeft(), topLeft(), bottomRight(), topRight()),
        side(interpolatePoints(tl2, tr2, 0.5f), topLeft(), topRight(), bottomLeft(), bottomRight()),
        side(interpolatePoints(tl2, bl2, 0.5f), topLeft(), bottomLeft(), topRight(), bottomRight()),
        side(interpolatePoints(bl2, br2, 0.5f), bottomLeft(), bottomRight(), topLeft(), topRight()),
        side(interpolatePoints(br2, tr2, 0.5f), topRight(), bottomRight(), topLeft(), bottomLeft()),
    };
}

} // namespace zandrel
