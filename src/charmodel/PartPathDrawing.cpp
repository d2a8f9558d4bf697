// PartPath: drawing, blurred renderings, hit testing, bounds, moving and pixel alignment.

#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/PartPath.h"
#include "graphics/GeometryRecord.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/GaussianBlur.h"
#include "platform/Geometry.h"
#include "platform/OffscreenImage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace zandrel {

namespace {

// An unfilled path can always be picked along a band at least this wide, in screen points.
constexpr float kMinimumPickWidth = 3.0f;
// What a view redraws around a path at least, for its handles.
constexpr double kMinimumInvalidationMargin = 3.0;

// How far a blur of the radius spreads beyond the drawing: three sigma of whole units.
double blurReach(float radius)
{
    return std::ceil(radius) * 3.0;
}

QRectF grownBy(const QRectF& rect, double amount)
{
    return amount > 0 ? insetRect(rect, -amount, -amount) : rect;
}

} // namespace

bool PartPath::fillIsNone() const
{
    return !m_style.fill || m_style.fill->isNone();
}

bool PartPath::lineShows() const
{
    return m_style.lineColor && !m_style.lineColor->isNone() && m_style.lineAlpha > 0;
}

bool PartPath::lineDrawn() const
{
    return lineShows() && m_style.lineWeight > 0;
}

// --- Drawing ---

void PartPath::drawIn(ZDLContext& context)
{
    if (!visible())
        return;
    if (m_blurMaster == this) {
        // Members moved apart (one group of the part moved, not the whole part) make the image
        // stale: the group is made again from where they are now.
        if (!blurGroupArrangementKept()) {
            const QList<PartPath*> members = m_blurGroup;
            setBlurGroup(members);
            if (m_blurMaster != this) {
                doDrawIn(context);
                return;
            }
        }
        QRectF bounds;
        for (const PartPath* member : std::as_const(m_blurGroup))
            bounds = unionRect(bounds, member->getVisualBounds());
        drawBlurredImage(context, bounds);
        return;
    }
    if (m_blurMaster)
        return;
    if (context.showBlur(m_style.blur)) {
        // Past the pass's allowance of blurring the path is left out, and its bitmap with it. A
        // bitmap larger than the whole allowance cannot be made; the path is drawn sharp, below.
        const double cost = blurredRenderingCost({ this }, m_style.blur);
        if (cost <= double(DrawingWork::kBlurredPixels)) {
            if (!context.work().takeBlur(cost)) {
                m_filteredImage = QImage();
                m_filteredOffset = QPoint();
                return;
            }
            const QImage& blurred = filteredImage();
            if (!blurred.isNull()) {
                drawBlurredImage(context, getVisualBounds());
                return;
            }
        }
    }
    // A blur whose bitmap cannot be made (an enormous path) is drawn sharp rather than not at all.
    if (context.canShow(drawnBounds()))
        doDrawIn(context);
}

void PartPath::doDrawIn(ZDLContext& context)
{
    Canvas* canvas = context.canvas();
    if (!canvas)
        return;
    // Fills draw into the current canvas.
    CanvasScope current(canvas);
    const CanvasPath outline = drawingBezier();

    if (!fillIsNone() && m_style.fillAlpha > 0) {
        context.saveState();
        canvas->setAlpha(m_style.fillAlpha);
        m_style.fill->fillNSPath(outline);
        context.restoreState();
    }

    if (m_contentVisible && numChildren() > 0) {
        context.saveState();
        canvas->clipToPath(outline);
        PartElement::drawIn(context);
        context.restoreState();
    }

    if (lineDrawn()) {
        context.saveState();
        CanvasPath stroke = outline;
        if (m_style.lineDash != 0) {
            appController()
                ->getDashAtIndex(m_style.lineDash)
                .setDashOnBezierPath(stroke, m_style.lineWeight, m_style.lineWeight / 2);
        } else {
            stroke.setDash({}, 0.0);
            stroke.setLineWidth(m_style.lineWeight);
        }
        canvas->strokePath(
            stroke, m_style.lineColor->getCGColorUsingAlpha(m_style.lineAlpha, m_style.lineColorAdjust));
        context.restoreState();
    }
}

// --- Blur groups ---

double PartPath::blurredRenderingCost(const QList<PartPath*>& paths, float radius)
{
    // Each path is drawn into the bitmap, which is then blurred whole, padding included.
    double cost = 0;
    QRectF bounds;
    for (const PartPath* path : paths) {
        const QRectF visual = path->getVisualBounds();
        if (isEmptyRect(visual))
            continue;
        cost += visual.width() * visual.height();
        bounds = unionRect(bounds, visual);
    }
    if (isEmptyRect(bounds))
        return cost;
    const double padding = 2.0 * gaussianBlurPadding(radius);
    return cost + (bounds.width() + padding) * (bounds.height() + padding);
}

void PartPath::renderBlurredImage(const QList<PartPath*>& paths, const QRectF& bounds, float radius)
{
    m_filteredImage = QImage();
    m_filteredOffset = QPoint();
    if (isEmptyRect(bounds))
        return;
    // One pixel per document unit whatever the view scale; the target's transform scales it.
    const QSize size = OffscreenImage::pixelSizeFor(bounds.size(), 1.0);
    if (size.isEmpty())
        return;
    OffscreenImage bitmap(size);
    Canvas* canvas = bitmap.canvas();
    if (!canvas)
        return;
    canvas->translate(-bounds.x(), -bounds.y());
    {
        CanvasScope current(canvas);
        ZDLContext context(1.0f);
        for (PartPath* path : paths)
            path->doDrawIn(context);
    }
    BlurredImage blurred = gaussianBlur(
        bitmap.takeImage(), radius, gaussianBlurThreadsFor(qint64(size.width()) * size.height()));
    m_filteredImage = std::move(blurred.image);
    m_filteredOffset = blurred.offset;
}

void PartPath::drawBlurredImage(ZDLContext& context, const QRectF& bounds) const
{
    Canvas* canvas = context.canvas();
    if (!canvas || m_filteredImage.isNull())
        return;
    // The blur spreads beyond the rendered bitmap: the whole output is drawn, offset by its padding.
    const QRectF target(bounds.x() + m_filteredOffset.x(), bounds.y() + m_filteredOffset.y(),
        m_filteredImage.width(), m_filteredImage.height());
    if (context.canShow(target))
        canvas->drawImage(m_filteredImage, target);
}

const QImage& PartPath::filteredImage()
{
    if (m_filteredImage.isNull() && m_style.blur > 0)
        renderBlurredImage({ this }, getVisualBounds(), m_style.blur);
    return m_filteredImage;
}

void PartPath::setBlurGroup(const QList<PartPath*>& group)
{
    for (PartPath* member : std::as_const(m_blurGroup)) {
        if (member->m_blurMaster == this)
            member->m_blurMaster = nullptr;
    }
    m_blurGroup.clear();
    m_blurGroupBounds.clear();
    m_filteredImage = QImage();
    m_filteredOffset = QPoint();

    // A path already rendered by another group would be drawn twice; it stays with that group.
    QList<PartPath*> members;
    for (PartPath* member : group) {
        if (member && (!member->m_blurMaster || member->m_blurMaster == this) && !members.contains(member))
            members.append(member);
    }
    if (members.isEmpty())
        return;

    QRectF bounds;
    float blurSum = 0.0f;
    for (const PartPath* member : std::as_const(members)) {
        bounds = unionRect(bounds, member->getVisualBounds());
        blurSum += member->m_style.blur;
    }
    renderBlurredImage(members, bounds, blurSum / static_cast<float>(members.size()));
    // Without an image the members are not linked, so each draws on its own.
    if (m_filteredImage.isNull())
        return;
    m_blurGroup = members;
    for (PartPath* member : std::as_const(members)) {
        member->m_blurMaster = this;
        m_blurGroupBounds.append(member->getVisualBounds());
    }
}

bool PartPath::blurGroupArrangementKept() const
{
    if (m_blurGroupBounds.size() != m_blurGroup.size())
        return false;
    QPointF shift;
    for (qsizetype i = 0; i < m_blurGroup.size(); ++i) {
        const QRectF now = m_blurGroup.at(i)->getVisualBounds();
        const QRectF then = m_blurGroupBounds.at(i);
        const QPointF delta = now.topLeft() - then.topLeft();
        if (i == 0)
            shift = delta;
        // Bounds come from float points, so a common move may differ in the last bits.
        constexpr double slack = 1e-3;
        if (std::abs(delta.x() - shift.x()) > slack || std::abs(delta.y() - shift.y()) > slack
            || std::abs(now.width() - then.width()) > slack || std::abs(now.height() - then.height()) > slack)
            return false;
    }
    return true;
}

void PartPath::leaveBlurGroup()
{
    if (m_blurMaster && m_blurMaster != this) {
        PartPath* master = m_blurMaster;
        master->setBlurGroup({});
    }
    if (!m_blurGroup.isEmpty())
        setBlurGroup({});
    m_blurMaster = nullptr;
}

void PartPath::flushCachedImage()
{
    m_filteredImage = QImage();
    m_filteredOffset = QPoint();
    // The whole group is rebuilt when one of its members changes.
    if (m_blurMaster && m_blurMaster != this)
        m_blurMaster->flushCachedImage();
    if (!m_blurGroup.isEmpty())
        setBlurGroup({});
    PartElement::flushCachedImage();
}

void PartPath::flushCache()
{
    m_bezier.reset();
    flushCachedImage();
}

void PartPath::flushCachesUsingColor()
{
    PartElement::flushCachesUsingColor();
    flushCachedImage();
}

void PartPath::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    PartElement::notifyAllGraphicsOf(notice, object);
    if (notice == GraphicNotice::ZoomChanged || notice == GraphicNotice::ParentChanged)
        flushCachedImage();
}

// --- Hit testing ---

bool PartPath::containsPt(const QPointF& point, float viewScale) const
{
    const bool noFill = fillIsNone();
    if (bezier().contains(point)) {
        if (!noFill || getChildAt(point, viewScale))
            return true;
    }
    float width = m_style.lineWeight;
    if (!noFill) {
        if (!lineDrawn())
            return false;
    } else {
        // An unfilled path is always pickable along a band at least 3 screen points wide. A scale
        // that is no usable number would make the band infinite or empty.
        const float scale = std::isfinite(viewScale) && viewScale > 0 ? viewScale : 1.0f;
        width = std::max(m_style.lineWeight * scale, kMinimumPickWidth) / scale;
    }
    for (const CurvePtr& curve : curves()) {
        if (curve->isPointOnCurve(point, width))
            return true;
    }
    return false;
}

// --- Bounds ---

QRectF PartPath::getGeometryBounds() const
{
    return visible() ? unionOfCurves(&Curve::getGeometryBounds) : QRectF();
}

QRectF PartPath::getVisualBounds() const
{
    const QRectF bounds = getBounds();
    if (isEmptyRect(bounds) || !lineShows())
        return bounds;
    // Half the line's width beyond the outline, and further at the tips of sharp mitred corners.
    QRectF visual;
    for (const CurvePtr& curve : curves())
        visual = unionRect(visual, curve->getStrokeBounds(m_style.lineWeight));
    return visual;
}

QRectF PartPath::getFilteredBounds() const
{
    const QRectF bounds = getVisualBounds();
    return isEmptyRect(bounds) ? bounds : grownBy(bounds, blurReach(m_style.blur));
}

QRectF PartPath::drawnBounds() const
{
    // The contents are clipped to the outline; the outline's miter joins reach furthest.
    const QRectF bounds = getBounds();
    return isEmptyRect(bounds) || !lineDrawn()
        ? bounds
        : grownBy(bounds, m_style.lineWeight / 2.0 * CanvasPath::kDefaultMiterLimit);
}

QRectF PartPath::getInvalidationBounds() const
{
    const QRectF bounds = getVisualBounds();
    return isEmptyRect(bounds)
        ? bounds
        : grownBy(bounds, std::max(blurReach(m_style.blur), kMinimumInvalidationMargin));
}

QList<QRectF> PartPath::getBoundsOfPaths() const
{
    // Like getBoundsIgnoringVisibility, this answers for a hidden path too.
    QList<QRectF> rects;
    const double width = lineShows() ? m_style.lineWeight : 0.0;
    for (const CurvePtr& curve : curves())
        rects.append(curve->getStrokeBounds(width));
    return rects;
}

// --- Moving ---

void PartPath::offsetBy(const QPointF& delta, bool directly)
{
    changeValueForKey(kSegmentsKey, [&] {
        PartElement::offsetBy(delta, directly);
        offsetCurves(delta);
        m_bezier.reset();
        // A lone path keeps its blurred image, which is placed by its bounds; a group's image holds
        // the members where they were, so a moved member rebuilds it.
        if (directly && m_blurMaster)
            flushCachedImage();
        else
            PartElement::flushCachedImage();
    });
}

void PartPath::transformBy(const QTransform& transform)
{
    changeValueForKey(kSegmentsKey, [&] {
        PartElement::transformBy(transform);
        transformCurves(transform);
        setSegments(segments());
        flushCache();
    });
}

void PartPath::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    changeValueForKey(kSegmentsKey, [&] {
        PartElement::perspectiveTransformFrom(source, quad);
        perspectiveTransformCurves(source, quad);
        setSegments(segments());
        flushCache();
    });
}

void PartPath::recordGeometry(GeometryRecord& record) const
{
    PartElement::recordGeometry(record);
    recordCurves(record);
}

void PartPath::restoreGeometry(GeometryReader& reader)
{
    changeValueForKey(kSegmentsKey, [&] {
        PartElement::restoreGeometry(reader);
        restoreCurves(reader);
        flushCache();
    });
}

void PartPath::alignPathPointsWithUndoDocument(ZDLDocument* document)
{
    const QList<CurvePtr> curves = segments();

    bool odd = false;
    if (lineShows()) {
        const float width = std::round(std::max(m_style.lineWeight, 0.5f));
        // Widths beyond an int would overflow the cast; they are not odd pixel counts anyway.
        if (width > 0 && width < 1e9f)
            odd = static_cast<long long>(width) % 2 == 1;
    }
    auto snap = [odd](float v) { return odd ? std::floor(v) + 0.5f : std::round(v); };
    constexpr float tolerance = std::numbers::pi_v<float> / 12.0f;

    bool snapped = false;
    for (const CurvePtr& curve : curves) {
        const CurvePointList& points = curve->points();
        const std::size_t count = points.size();
        for (std::size_t i = 0; i < count; ++i) {
            const CurvePoint* previous
                = i > 0 ? points[i - 1].get() : (curve->closed() ? points[count - 1].get() : nullptr);
            const CurvePoint* next
                = i + 1 < count ? points[i + 1].get() : (curve->closed() ? points[0].get() : nullptr);
            CurvePoint& point = *points[i];
            const PointAlignment before
                = previous ? point.getPointAlignmentWith(*previous, tolerance) : PointAlignmentNone;
            const PointAlignment after
                = next ? point.getPointAlignmentWith(*next, tolerance) : PointAlignmentNone;
            if (before == PointAlignmentVertical || after == PointAlignmentVertical) {
                point.setX(snap(point.x()));
                snapped = true;
            }
            if (before == PointAlignmentHorizontal || after == PointAlignmentHorizontal) {
                point.setY(snap(point.y()));
                snapped = true;
            }
        }
        curve->flushCache();
    }
    if (!snapped)
        return;
    if (document) {
        ValueList list;
        for (const CurvePtr& curve : curves)
            list.append(Value(curve));
        document->undoableSetPropertyFor(shared_from_this(), kSegmentsKey, Value(list), Value());
    } else {
        setSegments(curves);
    }
}

} // namespace zandrel
