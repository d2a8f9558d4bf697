#include "charmodel/MaskingPath.h"

#include "graphics/CoderExtensions.h"
#include "graphics/GraphicManipulator.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <QSet>
#include <cmath>

namespace zandrel {

const PropertyTable& MaskingPath::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<MaskingPath>("visible", &MaskingPath::visible, &MaskingPath::setVisible),
        });
    return table;
}

MaskingPath::MaskingPath(const MaskingPath& other)
    : Object(other)
{
    m_segments.reserve(other.m_segments.size());
    for (const CurvePtr& segment : other.m_segments)
        m_segments.append(Curve::initByCopying(*segment));
}

std::shared_ptr<MaskingPath> MaskingPath::initByCopying(const MaskingPath& other)
{
    return std::make_shared<MaskingPath>(other);
}

ObjectPtr MaskingPath::initByCopying() const
{
    return initByCopying(*this);
}

QString MaskingPath::className() const
{
    return QStringLiteral("MaskingPath");
}

void MaskingPath::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList segments;
    segments.reserve(m_segments.size());
    for (const CurvePtr& segment : m_segments)
        segments.append(Value(segment));
    coder.encodeObject(Value(segments), QStringLiteral("segments"));
}

ObjectPtr MaskingPath::initWithCoder(KeyedUnarchiver& coder)
{
    const ElementList decoded
        = zdlDecodeElementsOfClasses(coder, { QStringLiteral("Curve") }, QStringLiteral("segments"));
    // A curve named twice would be edited twice by every move and drawn twice; a file repeating one
    // large curve many times would also make the combined path grow with the square of its size.
    QSet<const Object*> seen;
    m_segments.clear();
    for (const ObjectPtr& object : decoded) {
        auto curve = std::dynamic_pointer_cast<Curve>(object);
        if (curve && !seen.contains(curve.get())) {
            seen.insert(curve.get());
            m_segments.append(curve);
        }
    }
    m_visible = true;
    return shared_from_this();
}

QList<CurvePtr> MaskingPath::segments() const
{
    QList<CurvePtr> copies;
    copies.reserve(m_segments.size());
    for (const CurvePtr& segment : m_segments)
        copies.append(Curve::initByCopying(*segment));
    return copies;
}

void MaskingPath::setSegments(const QList<CurvePtr>& segments)
{
    QList<CurvePtr> copies;
    copies.reserve(segments.size());
    for (const CurvePtr& segment : segments) {
        if (segment)
            copies.append(Curve::initByCopying(*segment));
    }
    m_segments = std::move(copies);
}

std::size_t MaskingPath::numSegments() const
{
    return static_cast<std::size_t>(m_segments.size());
}

CurvePtr MaskingPath::getSegmentAtIndex(std::size_t index) const
{
    if (index >= static_cast<std::size_t>(m_segments.size()))
        return nullptr;
    return m_segments.at(static_cast<qsizetype>(index));
}

void MaskingPath::deleteCurvePoint(std::size_t pointIndex, std::size_t segmentIndex)
{
    const CurvePtr segment = getSegmentAtIndex(segmentIndex);
    if (segment && pointIndex < static_cast<std::size_t>(segment->numPoints()))
        segment->deletePointAtIndex(static_cast<int>(pointIndex));
}

DrawCommandList MaskingPath::getDrawCommands() const
{
    DrawCommandList commands;
    for (const CurvePtr& segment : m_segments) {
        const DrawCommandList& own = segment->getDrawCommands();
        commands.insert(commands.end(), own.begin(), own.end());
    }
    return commands;
}

CanvasPath MaskingPath::createCGPath() const
{
    CanvasPath path = createCGPathFromDrawCommands(getDrawCommands());
    path.setWindingRule(WindingRule::EvenOdd);
    return path;
}

void MaskingPath::flushCache()
{
}

void MaskingPath::flushCachesUsingColor()
{
}

void MaskingPath::flushCachedImage()
{
}

bool MaskingPath::validateData()
{
    return true;
}

void MaskingPath::offsetBy(const QPointF& delta, bool /*directly*/)
{
    for (const CurvePtr& segment : m_segments)
        segment->offsetBy(delta);
}

void MaskingPath::transformBy(const QTransform& transform)
{
    for (const CurvePtr& segment : m_segments)
        segment->transformBy(transform);
}

void MaskingPath::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    for (const CurvePtr& segment : m_segments)
        segment->perspectiveTransformFrom(source, quad.data());
}

void MaskingPath::drawIn(ZDLContext& context)
{
    Canvas* canvas = context.canvas();
    if (!m_visible || !canvas)
        return;
    CanvasPath path = createCGPath();
    // One screen point at every zoom; a scale that cannot divide gives the thinnest device line.
    const float scale = context.scale();
    path.setLineWidth(scale > 0.0f && std::isfinite(scale) ? 1.0f / scale : 0.0);
    canvas->save();
    canvas->strokePath(path, CanvasPaint(outlineColor()));
    canvas->restore();
}

bool MaskingPath::containsPt(const QPointF& point, float /*viewScale*/) const
{
    return createCGPath().contains(point);
}

void MaskingPath::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    if (notice == GraphicNotice::ApplyManipulator && object)
        object->manipulate(*this);
}

QRectF MaskingPath::getBounds() const
{
    QRectF bounds;
    for (const CurvePtr& segment : m_segments)
        bounds = unionRect(bounds, segment->getBounds());
    return bounds;
}

QRectF MaskingPath::getBoundsIgnoringVisibility() const
{
    return getBounds();
}

QRectF MaskingPath::getVisualBounds() const
{
    return getBounds();
}

QRectF MaskingPath::getInvalidationBounds() const
{
    return insetRect(getBounds(), -kInvalidationMargin, -kInvalidationMargin);
}

QRectF MaskingPath::getGeometryBounds() const
{
    QRectF bounds;
    for (const CurvePtr& segment : m_segments)
        bounds = unionRect(bounds, segment->getGeometryBounds());
    return bounds;
}

QRectF MaskingPath::getFilteredBounds() const
{
    return getBounds();
}

QList<QRectF> MaskingPath::getBoundsOfPaths() const
{
    return { getVisualBounds() };
}

void MaskingPath::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    KeyChange change(*this, QStringLiteral("visible"));
    m_visible = visible;
}

void registerMaskingPathClasses(ClassRegistry& registry)
{
    registry.registerClass<MaskingPath>(QStringLiteral("MaskingPath"), QStringLiteral("NSObject"));
}

} // namespace zandrel
