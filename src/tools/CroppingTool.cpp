#include "tools/CroppingTool.h"

#include "app/core/ZDLAppController.h"
#include "charmodel/ImageElement.h"
#include "graphics/PathBuilders.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "views/ZDLView.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

const QColor kFrameColor = QColor::fromRgbF(0.24f, 0.71f, 0.24f, 1.0f);
// The corner brackets show only on a rectangle larger than this on screen (points).
constexpr double kBracketMinimumSide = 20.0;
constexpr double kBracketLongestArm = 20.0;
constexpr double kBracketThickness = 4.0;

struct GripLayout {
    // Moves x, moves y; cursor image.
    bool adjustX;
    bool adjustY;
    const char* cursorImage;
};
const GripLayout kGrips[8] = {
    { false, true, "Cur_ns-resize_Sm.tiff" },
    { true, false, "Cur_ew-resize_Sm.tiff" },
    { false, true, "Cur_ns-resize_Sm.tiff" },
    { true, false, "Cur_ew-resize_Sm.tiff" },
    { true, true, "Cur_nwse-resize_Sm.tiff" },
    { true, true, "Cur_nesw-resize_Sm.tiff" },
    { true, true, "Cur_nwse-resize_Sm.tiff" },
    { true, true, "Cur_nesw-resize_Sm.tiff" },
};

QRectF boundsOfPoints(const QPointF& a, const QPointF& b)
{
    return QRectF(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
        QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
}

// An L hugging the corner (cx, cy) from outside; sx and sy point from the corner into the rect.
void appendBracket(
    CanvasPath& path, double cx, double cy, double sx, double sy, double arm, double gap, double thickness)
{
    const auto at = [&](double u, double v) { return QPointF(cx + sx * u, cy + sy * v); };
    const double outer = -gap - thickness;
    path.moveTo(at(outer, outer));
    path.lineTo(at(arm - gap, outer));
    path.lineTo(at(arm - gap, -gap));
    path.lineTo(at(-gap, -gap));
    path.lineTo(at(-gap, arm - gap));
    path.lineTo(at(outer, arm - gap));
    path.close();
}

} // namespace

CroppingTool::CroppingTool(QAbstractButton* button)
    : ZDLTool(button)
{
}

ImageElement* CroppingTool::editedImage() const
{
    return view() ? dynamic_cast<ImageElement*>(view()->rootObject().get()) : nullptr;
}

void CroppingTool::setCroppingRect(const QRectF& rect)
{
    const ImageElement* element = editedImage();
    const QRectF bounds
        = element && element->image() ? QRectF(QPointF(0, 0), element->image()->pixelSize()) : QRectF();
    m_croppingRectSet = intersectsRect(rect, bounds);
    if (m_croppingRectSet) {
        const QRectF inside = intersectionRect(rect, bounds);
        const float x0 = std::roundf(float(inside.x()));
        const float y0 = std::roundf(float(inside.y()));
        const float x1 = std::roundf(float(inside.x() + inside.width()));
        const float y1 = std::roundf(float(inside.y() + inside.height()));
        m_croppingRect = QRectF(x0, y0, x1 - x0, y1 - y0);
        // A sliver at the edge can round to nothing; there is then nothing to crop to.
        m_croppingRectSet = x1 > x0 && y1 > y0;
    }
    if (m_controller)
        m_controller->setCroppingButtonsVisibility(m_croppingRectSet);
    if (view())
        view()->update();
}

void CroppingTool::cancelCroppingRect()
{
    if (!m_croppingRectSet)
        return;
    m_croppingRectSet = false;
    if (view())
        view()->update();
    if (m_controller)
        m_controller->setCroppingButtonsVisibility(false);
    currentHandles().clear();
}

QString CroppingTool::toolTip() const
{
    return localized("Crop Tool\n"
                     "Drag: the rectangle to keep; drag its edges and corners to adjust it\n"
                     "Then Crop, or Cancel");
}

void CroppingTool::exitTool()
{
    ZDLTool::exitTool();
    cancelCroppingRect();
}

void CroppingTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    if (!view())
        return;
    if (const ZDLHandlePtr handle = getHandleAt(point)) {
        if (auto grip = std::dynamic_pointer_cast<CroppingFrameHandle>(handle))
            view()->setCurrentTracker(std::make_unique<CroppingFrameResizeTracker>(point, event, this, grip));
        return;
    }
    view()->setCurrentTracker(std::make_unique<CroppingCreationTracker>(point, event, this));
}

bool CroppingTool::setCursorAt(const QPointF& point, const ZDLEvent& event)
{
    if (!setHandleCursorAt(point, event) && view())
        view()->setCursor(Qt::CrossCursor);
    return true;
}

void CroppingTool::draw()
{
    Canvas* canvas = currentCanvas();
    if (!m_croppingRectSet || !canvas || !view())
        return;
    const double scale = view()->viewScale();
    const QRectF frame = insetRect(view()->centerScanRect(m_croppingRect), -0.5 / scale, -0.5 / scale);
    CanvasPath outside;
    outside.addRect(frame);
    outside.addRect(insetRect(view()->viewBounds(), -2, -2));
    washOutAndOutline(*canvas, outside, 1.0 / scale);
    if (frame.width() / scale > kBracketMinimumSide && frame.height() / scale > kBracketMinimumSide) {
        const double arm
            = std::min(std::min(frame.width(), frame.height()) / 3.0, kBracketLongestArm) / scale;
        CanvasPath brackets;
        const double gap = 1.0 / scale;
        const double thickness = kBracketThickness / scale;
        appendBracket(brackets, frame.left(), frame.top(), 1, 1, arm, gap, thickness);
        appendBracket(brackets, frame.right(), frame.top(), -1, 1, arm, gap, thickness);
        appendBracket(brackets, frame.right(), frame.bottom(), -1, -1, arm, gap, thickness);
        appendBracket(brackets, frame.left(), frame.bottom(), 1, -1, arm, gap, thickness);
        brackets.setLineWidth(1.0 / scale);
        canvas->fillPath(brackets, CanvasPaint(Qt::white));
        canvas->strokePath(brackets, CanvasPaint(kFrameColor));
    }
    // Not drawn: the cursors show them. Appended in number order, so the corners, hit-tested first,
    // win where they overlap the strips. They sit on the rectangle itself, not on the outline drawn
    // half a pixel outside it: a grip's fixed side must stay where it is when the rectangle is
    // rounded again, or every drag would grow it by a pixel.
    for (int number = 0; number < 8; ++number)
        currentHandles().append(std::make_shared<CroppingFrameHandle>(m_croppingRect, number, *view()));
}

// --- Grips ---

CroppingFrameHandle::CroppingFrameHandle(const QRectF& frame, int number, const ZDLView& view)
{
    const GripLayout& layout = kGrips[std::clamp(number, 0, 7)];
    const float scale = view.viewScale();
    const double z = (number < 4 ? 8.0 : 16.0) / scale;
    const double x = frame.x();
    const double y = frame.y();
    const double w = frame.width();
    const double h = frame.height();
    setScale(scale);
    setType(kCroppingHandleType);
    setCursor(appController()->getCursorResource(QString::fromLatin1(layout.cursorImage), QPointF(8, 8)));
    m_adjustX = layout.adjustX;
    m_adjustY = layout.adjustY;
    const QPointF topLeft(x, y);
    const QPointF topRight(x + w, y);
    const QPointF bottomRight(x + w, y + h);
    const QPointF bottomLeft(x, y + h);
    const auto square
        = [z](const QPointF& centre) { return QRectF(centre.x() - z / 2, centre.y() - z / 2, z, z); };
    switch (number) {
    case 0:
        m_fixedPoint = bottomRight;
        m_moveablePoint = topLeft;
        setBox(QRectF(x, y - z / 2, w, z));
        break;
    case 1:
        m_fixedPoint = bottomLeft;
        m_moveablePoint = topRight;
        setBox(QRectF(x + w - z / 2, y, z, h));
        break;
    case 2:
        m_fixedPoint = topRight;
        m_moveablePoint = bottomLeft;
        setBox(QRectF(x, y + h - z / 2, w, z));
        break;
    case 3:
        m_fixedPoint = bottomRight;
        m_moveablePoint = topLeft;
        setBox(QRectF(x - z / 2, y, z, h));
        break;
    case 4:
        m_fixedPoint = bottomRight;
        m_moveablePoint = topLeft;
        setBox(square(topLeft));
        break;
    case 5:
        m_fixedPoint = bottomLeft;
        m_moveablePoint = topRight;
        setBox(square(topRight));
        break;
    case 6:
        m_fixedPoint = topLeft;
        m_moveablePoint = bottomRight;
        setBox(square(bottomRight));
        break;
    default:
        m_fixedPoint = topRight;
        m_moveablePoint = bottomLeft;
        setBox(square(bottomLeft));
        break;
    }
}

// --- Trackers ---

CroppingCreationTracker::CroppingCreationTracker(
    const QPointF& point, const ZDLEvent& event, CroppingTool* tool)
    : ZDLTracker(point, event)
    , m_croppingTool(tool)
{
}

void CroppingCreationTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent&)
{
    m_croppingTool->setCroppingRect(boundsOfPoints(startPt(), point));
}

CroppingFrameResizeTracker::CroppingFrameResizeTracker(const QPointF& point, const ZDLEvent& event,
    CroppingTool* tool, std::shared_ptr<CroppingFrameHandle> handle)
    : ZDLTracker(point, event)
    , m_croppingTool(tool)
    , m_handle(std::move(handle))
{
}

void CroppingFrameResizeTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent&)
{
    QPointF moved = m_handle->moveablePoint();
    if (m_handle->adjustX())
        moved.rx() += point.x() - startPt().x();
    if (m_handle->adjustY())
        moved.ry() += point.y() - startPt().y();
    m_croppingTool->setCroppingRect(boundsOfPoints(m_handle->fixedPoint(), moved));
}

} // namespace zandrel
