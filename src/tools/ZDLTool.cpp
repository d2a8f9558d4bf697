// The tool base: events, cursors, nudging and the drawing of the selection frame with its handles.
// The live transforms are in ZDLToolTransforms.cpp.
#include "tools/ZDLTool.h"

#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/PartGroup.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "graphics/Curve.h"
#include "graphics/Path.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "tools/PathPointHandles.h"
#include "tools/SelectionTrackers.h"
#include "tools/ZDLTracker.h"
#include "views/ZDLEditingView.h"

#include <QAbstractButton>
#include <algorithm>

namespace zandrel {

namespace {

// Lengths of the transform stalks in screen points.
constexpr double kSkewStalk = 10.0;
constexpr double kRotateStalk = 8.0;
// The origin handle of a part's own pivot, in screen points.
constexpr unsigned kPartOriginHandleSize = 6;
const QColor kGroupFrameColor = QColor::fromRgbF(0.24f, 0.71f, 0.99f, 0.2f);

// The side of the scale handles for a frame whose smaller side shows m screen points.
unsigned scaleHandleSide(float m)
{
    if (m < 10)
        return 3;
    if (m < 13)
        return 4;
    if (m < 16)
        return 5;
    return 6;
}

bool isGroupLike(const ObjectPtr& object)
{
    return dynamic_cast<const Group*>(object.get()) || dynamic_cast<const PartGroup*>(object.get());
}

} // namespace

ZDLTool::ZDLTool(QAbstractButton* button)
    : m_toolButton(button)
{
}

ZDLTool::~ZDLTool() = default;

void ZDLTool::setToolButton(QAbstractButton* button)
{
    m_toolButton = button;
    if (const QString tip = toolTip(); button && !tip.isEmpty())
        button->setToolTip(tip);
}

void ZDLTool::exitTool()
{
    m_currentHandles.clear();
}

void ZDLTool::setView(ZDLView* view)
{
    m_view = view;
    m_editingView = dynamic_cast<ZDLEditingView*>(view);
}

ElementList ZDLTool::rootChildren() const
{
    const auto* root = m_view ? asProtocol<Parent>(m_view->rootObject()) : nullptr;
    return root ? root->children() : ElementList();
}

std::unique_ptr<ZDLTracker> ZDLTool::createScaleTrackerAt(
    const QPointF&, const ZDLHandlePtr&, const QPointF&, const ZDLEvent&, const ElementList&)
{
    // The selection tools make their scale trackers; the base has none to make.
    return nullptr;
}

bool ZDLTool::selectOnPress(const ObjectPtr& element, const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    if (!shown)
        return false;
    if (!element) {
        if (!event.shift())
            shown->deselectAll();
        shown->setCurrentTracker(std::make_unique<MarqueeTracker>(point, event));
        return false;
    }
    const bool special = event.command() && selectSpecial(element, event.shift());
    if (!special) {
        if (event.shift())
            shown->toggleSelect(element);
        else
            shown->select(element, true);
    }
    return true;
}

bool ZDLTool::selectSpecial(const ObjectPtr& element, bool toggling)
{
    if (!m_view)
        return true;
    const ElementList children = rootChildren();
    ElementList chain { element };
    // The list grows while it is walked: each member brings in what overlaps it.
    for (qsizetype index = 0; index < chain.size(); ++index) {
        for (const ObjectPtr& child : children) {
            if (!chain.contains(child) && ArrayUtils::object(chain.at(index), child))
                chain.append(child);
        }
    }
    if (toggling) {
        const bool wasSelected = m_view->isSelected(element);
        for (const ObjectPtr& member : std::as_const(chain)) {
            if (wasSelected)
                m_view->deselect(member);
            else
                m_view->select(member, false);
        }
    } else {
        m_view->setSelection(chain);
    }
    return true;
}

// --- Events ---

void ZDLTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    zdlLog(QStringLiteral("Mouse down at %1, %2").arg(point.x()).arg(point.y()));
    if (m_view)
        m_view->setCurrentTracker(std::make_unique<ZDLTracker>(point, event));
}

void ZDLTool::doubleClickAt(const QPointF& point, const ZDLEvent&)
{
    zdlLog(QStringLiteral("Double-click at %1, %2").arg(point.x()).arg(point.y()));
}

void ZDLTool::mouseMovedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!setCursorAt(point, event) && m_view)
        m_view->setCursor(Qt::ArrowCursor);
}

bool ZDLTool::setCursorAt(const QPointF& point, const ZDLEvent& event)
{
    return setHandleCursorAt(point, event) || setObjectCursorAt(point, event);
}

bool ZDLTool::setHandleCursorAt(const QPointF& point, const ZDLEvent& event)
{
    const ZDLHandlePtr handle = getHandleAt(point);
    if (!handle || !m_view)
        return false;
    m_view->setCursor(handle->getCursorFor(event));
    return true;
}

bool ZDLTool::setObjectCursorAt(const QPointF& point, const ZDLEvent&)
{
    if (!m_view)
        return false;
    const ObjectPtr child = m_view->childAt(point);
    if (!child)
        m_view->setCursor(appController()->marqueeCursor());
    else if (m_view->isSelected(child))
        m_view->setCursor(Qt::PointingHandCursor);
    else
        m_view->setCursor(Qt::ArrowCursor);
    return true;
}

void ZDLTool::nudge(const QPointF& offset)
{
    if (!m_view || !m_editingView || m_view->numSelected() == 0 || !m_editingView->document())
        return;
    const ElementList selection = m_view->selection();
    ZDLDocument* document = m_editingView->document();
    document->undoableOffsetObjects(selection, offset, false);
    m_editingView->undoableSetSelection(selection, true);
    document->undoManager()->setActionName(localized("Nudge Objects"));
}

// --- Selection frame ---

HandleList ZDLTool::getHandlesFromFrame(const QRectF& frame)
{
    HandleList handles;
    if (!m_view)
        return handles;
    const double scale = m_view->viewScale();
    const double x = frame.x();
    const double y = frame.y();
    const double w = frame.width();
    const double h = frame.height();
    float m = static_cast<float>(std::min(w, h) * scale);
    if (m == 0.0f)
        m = static_cast<float>(std::max(w, h) * scale);
    const unsigned side = scaleHandleSide(m);
    const auto add = [&](double px, double py, float xFactor, float yFactor) {
        handles.append(std::make_shared<ScaleHandle>(QPointF(px, py), side, *m_view, xFactor, yFactor));
    };
    if (w > 0 && h > 0) {
        add(x, y, -1, -1);
        add(x + w, y, 1, -1);
        add(x + w, y + h, 1, 1);
        add(x, y + h, -1, 1);
    }
    if (h > 0) {
        add(x + w / 2, y, 0, -1);
        add(x + w / 2, y + h, 0, 1);
    }
    if (w > 0) {
        add(x + w, y + h / 2, 1, 0);
        add(x, y + h / 2, -1, 0);
    }
    handles.append(std::make_shared<OriginHandle>(m_transformOrigin, side, *m_view));
    return handles;
}

void ZDLTool::drawBoundsFrame(
    const QRectF& frame, Canvas& canvas, const CanvasPath& stylePath, const QColor& color) const
{
    const double half = m_view ? 0.5 / m_view->viewScale() : 0.5;
    CanvasPath path = stylePath;
    path.clear();
    if (frame.width() != 0 && frame.height() != 0) {
        path.addRect(insetRect(frame, -half, -half));
    } else {
        path.moveTo(frame.topLeft());
        path.lineTo(frame.bottomRight());
    }
    canvas.strokePath(path, CanvasPaint(color));
}

void ZDLTool::addVisibleTransformHandlesFromFrame(const QRectF& frame, HandleList& handles)
{
    Canvas* canvas = currentCanvas();
    if (!m_view)
        return;
    const double scale = m_view->viewScale();
    const double x = frame.x();
    const double y = frame.y();
    const double w = frame.width();
    const double h = frame.height();
    const QRectF skewVertStalk = m_view->centerScanRect(QRectF(x + w, y + h / 2, kSkewStalk / scale, 1.0));
    const QRectF skewHorizStalk = m_view->centerScanRect(QRectF(x + w / 2, y + h, 1.0, kSkewStalk / scale));
    const QRectF rotateStalk
        = m_view->centerScanRect(QRectF(x + w, y + h, kRotateStalk / scale, kRotateStalk / scale));
    // The stalks run along their rectangles: right, down and diagonally out of the corner.
    const QPointF skewVertEnd(skewVertStalk.right(), skewVertStalk.top());
    const QPointF skewHorizEnd(skewHorizStalk.left(), skewHorizStalk.bottom());
    const QPointF rotateEnd = rotateStalk.bottomRight();
    CanvasPath stalks;
    stalks.moveTo(skewVertStalk.topLeft());
    stalks.lineTo(skewVertEnd);
    stalks.moveTo(skewHorizStalk.topLeft());
    stalks.lineTo(skewHorizEnd);
    stalks.moveTo(rotateStalk.topLeft());
    stalks.lineTo(rotateEnd);
    stalks.setLineWidth(1.0 / scale);
    if (canvas)
        canvas->strokePath(stalks, CanvasPaint(appController()->selectionColor()));
    handles.append(std::make_shared<TransformHandle>(skewVertEnd, *m_view, 1));
    handles.append(std::make_shared<TransformHandle>(skewHorizEnd, *m_view, 2));
    handles.append(std::make_shared<TransformHandle>(rotateEnd, *m_view, 0));
}

void ZDLTool::drawRootPartTransformOriginHandle()
{
    if (!m_view || m_view->numSelected() > 0)
        return;
    const ObjectPtr root = m_view->rootObject();
    const auto* pivoted = asProtocol<ComicGraphicElement>(root);
    Canvas* canvas = currentCanvas();
    if (!pivoted || !canvas)
        return;
    auto handle = std::make_shared<OriginHandle>(pivoted->origin(), kPartOriginHandleSize, *m_view);
    handle->setElement(root);
    handle->drawOn(*canvas);
    m_currentHandles.append(handle);
}

void ZDLTool::drawStandardGraphicsSelection(bool groupFrame, bool handles)
{
    if (!m_view)
        return;
    if (m_view->numSelected() == 0) {
        drawRootPartTransformOriginHandle();
        return;
    }
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    // While a gesture hides the selection nothing of it is drawn: its frames and handles are left
    // as they were until it shows again.
    if (m_view->selectionHiddenWhileTracking())
        return;
    const double scale = m_view->viewScale();
    canvas->save();
    QRectF group;
    bool first = true;
    for (const ObjectPtr& element : m_view->selection()) {
        const auto* graphic = asProtocol<GraphicElement>(element);
        if (!graphic)
            continue;
        CanvasPath style;
        style.setLineWidth(1.0 / scale);
        if (isGroupLike(element))
            style.setDash({ 5.0 / scale, 2.0 / scale }, 0.5 / scale);
        else
            style.setDash({ 2.0 / scale, 1.0 / scale }, 0.5 / scale);
        const QRectF frame = m_view->centerScanRect(graphic->getBounds());
        const auto* typed = asProtocol<ComicGraphicElement>(element);
        const bool unspecified = m_partsViewSpecialColoring && typed && typed->partType() == 0;
        drawBoundsFrame(frame, *canvas, style,
            unspecified ? appController()->unspecifiedPartSelectionColor()
                        : appController()->selectionColor());
        const QRectF grown = insetRect(frame, -0.5 / scale, -0.5 / scale);
        group = first ? grown : unionRect(group, grown);
        first = false;
    }
    group = insetRect(group, 0.5 / scale, 0.5 / scale);
    if (groupFrame)
        canvas->strokeRect(group, CanvasPaint(kGroupFrameColor), 1.0 / scale);
    m_transformOrigin = m_editingView ? m_editingView->transformOrigin() : m_view->transformOrigin();
    if (handles) {
        HandleList made = getHandlesFromFrame(group);
        addVisibleTransformHandlesFromFrame(group, made);
        for (const ZDLHandlePtr& handle : std::as_const(made)) {
            handle->drawOn(*canvas);
            m_currentHandles.append(handle);
        }
    }
    canvas->restore();
}

void ZDLTool::deselectNonExtendableParts()
{
    if (!m_view)
        return;
    for (const ObjectPtr& element : m_view->selection()) {
        const auto* path = asProtocol<Path>(element);
        bool extendable = false;
        for (std::size_t index = 0; path && index < path->numSegments() && !extendable; ++index) {
            const auto segment = path->getSegmentAtIndex(index);
            extendable = segment && !segment->closed();
        }
        if (!extendable)
            m_view->deselect(element);
    }
}

void ZDLTool::drawEndpointHandles()
{
    Canvas* canvas = currentCanvas();
    if (!m_view || !canvas)
        return;
    for (const ObjectPtr& element : m_view->selection()) {
        const auto* path = asProtocol<Path>(element);
        for (std::size_t index = 0; path && index < path->numSegments(); ++index) {
            const auto segment = path->getSegmentAtIndex(index);
            if (!segment || segment->closed() || segment->numPoints() < 2)
                continue;
            for (const int end : { 0, segment->numPoints() - 1 }) {
                auto handle = std::make_shared<PathPointHandle>(segment->getPointAtIndex(end)->point(),
                    *m_view, nullptr, PathPointHandleSelection { element, int(index), end });
                handle->drawOn(*canvas);
                m_currentHandles.append(handle);
            }
        }
    }
}

ZDLHandlePtr ZDLTool::getHandleAt(const QPointF& point) const
{
    for (auto it = m_currentHandles.crbegin(); it != m_currentHandles.crend(); ++it) {
        if ((*it)->contains(point))
            return *it;
    }
    return nullptr;
}

} // namespace zandrel
