#include "tools/ZDLHandle.h"

#include "app/core/ZDLAppController.h"
#include "graphics/ElementProtocols.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/Geometry.h"
#include "views/ZDLView.h"

namespace zandrel {

namespace {

// Cursor images of the handles and their hot spots, in image points.
const QString kNorthSouthCursor = QStringLiteral("Cur_ns-resize_Sm.tiff");
const QString kEastWestCursor = QStringLiteral("Cur_ew-resize_Sm.tiff");
const QString kNorthWestSouthEastCursor = QStringLiteral("Cur_nwse-resize_Sm.tiff");
const QString kNorthEastSouthWestCursor = QStringLiteral("Cur_nesw-resize_Sm.tiff");
const QString kRotateCursor = QStringLiteral("Cur_Rotate_1_1.tiff");
const QString kSkewVertCursor = QStringLiteral("Cur_SkewVert.tiff");
const QString kSkewHorizCursor = QStringLiteral("Cur_SkewHoriz.tiff");
const QString kDirectSelectCursor = QStringLiteral("Cur_DirectSelect.tiff");
const QString kDirectSelectDeleteCursor = QStringLiteral("Cur_DirectSelect_Del.tiff");

constexpr double kTransformHandleSide = 6.0;
// The cross of an origin handle reaches this far beyond its circle, in screen points.
constexpr double kOriginCrossReach = 2.0;

QCursor cursorNamed(const QString& name, const QPointF& hotSpot)
{
    return appController()->getCursorResource(name, hotSpot);
}

CanvasPath polygon(std::initializer_list<QPointF> points)
{
    CanvasPath path;
    bool first = true;
    for (const QPointF& point : points) {
        first ? path.moveTo(point) : path.lineTo(point);
        first = false;
    }
    path.close();
    return path;
}

} // namespace

bool ZDLHandle::contains(const QPointF& point) const
{
    return pointInRect(point, m_box);
}

QRectF ZDLHandle::squareAt(const QPointF& point, double side, const ZDLView& view)
{
    const double length = side / view.viewScale();
    return view.centerScanRect(QRectF(point.x() - length / 2, point.y() - length / 2, length, length));
}

// --- ScaleHandle ---

ScaleHandle::ScaleHandle(
    const QPointF& point, unsigned size, const ZDLView& view, float xFactor, float yFactor)
{
    setScale(view.viewScale());
    setType(kScaleHandleType);
    setXFactor(xFactor);
    setYFactor(yFactor);
    setBox(squareAt(point, size, view));
    const QPointF hotSpot(8, 8);
    if (xFactor == 0)
        setCursor(cursorNamed(kNorthSouthCursor, hotSpot));
    else if (yFactor == 0)
        setCursor(cursorNamed(kEastWestCursor, hotSpot));
    else if (xFactor == yFactor)
        setCursor(cursorNamed(kNorthWestSouthEastCursor, hotSpot));
    else
        setCursor(cursorNamed(kNorthEastSouthWestCursor, hotSpot));
}

void ScaleHandle::drawOn(Canvas& canvas) const
{
    canvas.fillRect(box(), CanvasPaint(appController()->selectionColor()));
}

// --- TransformHandle ---

const CanvasPath& TransformHandle::rotateHandlePath()
{
    static const CanvasPath path = CanvasPath::fromEllipse(QRectF(-3.5, -3.5, 7, 7));
    return path;
}

const CanvasPath& TransformHandle::verticalSkewHandlePath()
{
    static const CanvasPath path = polygon({ { -3.5, -2.5 }, { 3.5, -4.5 }, { 3.5, 2.5 }, { -3.5, 4.5 } });
    return path;
}

const CanvasPath& TransformHandle::horizontalSkewHandlePath()
{
    static const CanvasPath path = polygon({ { -4.5, -3.5 }, { -2.5, 3.5 }, { 4.5, 3.5 }, { 2.5, -3.5 } });
    return path;
}

TransformHandle::TransformHandle(const QPointF& point, const ZDLView& view, int transformType)
    : m_transformType(transformType)
{
    setScale(view.viewScale());
    setBox(squareAt(point, kTransformHandleSide, view));
    switch (transformType) {
    case 0:
        setType(kRotateHandleType);
        setCursor(cursorNamed(kRotateCursor, QPointF(1, 1)));
        m_handlePath = &rotateHandlePath();
        break;
    case 1:
        setType(kSkewVertHandleType);
        setCursor(cursorNamed(kSkewVertCursor, QPointF(6, 10)));
        m_handlePath = &verticalSkewHandlePath();
        break;
    case 2:
        setType(kSkewHorizHandleType);
        setCursor(cursorNamed(kSkewHorizCursor, QPointF(10, 6)));
        m_handlePath = &horizontalSkewHandlePath();
        break;
    default:
        break;
    }
}

void TransformHandle::drawOn(Canvas& canvas) const
{
    if (!m_handlePath)
        return;
    canvas.save();
    const QRectF frame = box();
    canvas.translate(frame.center().x(), frame.center().y());
    const double inverse = 1.0 / scale();
    canvas.scale(inverse, inverse);
    canvas.fillPath(*m_handlePath, CanvasPaint(Qt::white));
    CanvasPath outline = *m_handlePath;
    outline.setLineWidth(1.0);
    canvas.strokePath(outline, CanvasPaint(appController()->selectionColor()));
    canvas.restore();
}

// --- OriginHandle ---

OriginHandle::OriginHandle(const QPointF& point, unsigned size, const ZDLView& view)
{
    setScale(view.viewScale());
    setType(kOriginHandleType);
    const double half = 0.5 / view.viewScale();
    setBox(offsetRect(insetRect(squareAt(point, size, view), -half, -half), -half, -half));
    setCursor(cursorNamed(kDirectSelectCursor, QPointF(1, 1)));
    m_deleteCursor = cursorNamed(kDirectSelectDeleteCursor, QPointF(1, 1));
}

void OriginHandle::setElement(const ObjectPtr& element)
{
    m_element = element;
    setType(element ? kPartOriginHandleType : kOriginHandleType);
}

bool OriginHandle::elementHasOwnPivot() const
{
    const auto* pivoted = asProtocol<ComicGraphicElement>(m_element);
    return pivoted && pivoted->hasOrigin();
}

QCursor OriginHandle::getCursorFor(const ZDLEvent& event) const
{
    if (m_element && elementHasOwnPivot() && event.command())
        return m_deleteCursor;
    return cursor();
}

void OriginHandle::drawOn(Canvas& canvas) const
{
    const QRectF frame = box();
    const double reach = kOriginCrossReach / scale();
    CanvasPath path = CanvasPath::fromEllipse(frame);
    const QPointF centre = frame.center();
    path.moveTo(QPointF(frame.left() - reach, centre.y()));
    path.lineTo(QPointF(frame.right() + reach, centre.y()));
    path.moveTo(QPointF(centre.x(), frame.top() - reach));
    path.lineTo(QPointF(centre.x(), frame.bottom() + reach));
    path.setLineWidth(2.5 / scale());
    canvas.strokePath(path, CanvasPaint(Qt::white));
    path.setLineWidth(1.0 / scale());
    const bool gray = m_element && !elementHasOwnPivot();
    canvas.strokePath(path, CanvasPaint(gray ? QColor(Qt::gray) : appController()->selectionColor()));
}

} // namespace zandrel
