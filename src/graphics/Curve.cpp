#include "graphics/Curve.h"

#include "graphics/CurveIterator.h"
#include "graphics/GeometryRecord.h"
#include "graphics/GraphicUtils.h"
#include "graphics/PathBuilders.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// Archive keys.
const QString kPointsArchiveKey = QStringLiteral("points");
const QString kClosedArchiveKey = QStringLiteral("closed");

// 1 - 1/sqrt(2) in single precision: where a quadratic control point puts a rounded corner's ends.
constexpr float kRoundFactor = 0.29289323f;

// Draw commands are single precision: coordinates go through the points' float x and y.
QPointF floatPoint(const CurvePoint& p)
{
    return QPointF(p.x(), p.y());
}

} // namespace

const PropertyTable& Curve::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<Curve>(kClosedKey, &Curve::closed, &Curve::setClosed),
            readOnlyProperty<Curve>(kPointsKey, &Curve::points),
        });
    return table;
}

Curve::Curve(const Curve& other)
    : Object(other)
    , m_closed(other.m_closed)
{
    m_points.reserve(other.m_points.size());
    for (const CurvePointPtr& p : other.m_points)
        m_points.push_back(CurvePoint::initByCopying(*p));
}

Curve& Curve::operator=(const Curve& other)
{
    if (this == &other)
        return *this;
    CurvePointList points;
    points.reserve(other.m_points.size());
    for (const CurvePointPtr& p : other.m_points)
        points.push_back(CurvePoint::initByCopying(*p));
    Object::operator=(other);
    m_points = std::move(points);
    m_closed = other.m_closed;
    flushCache();
    return *this;
}

Curve::~Curve() = default;

std::shared_ptr<Curve> Curve::initWithPolygonPoints(const QList<QPointF>& corners, float roundness)
{
    if (corners.size() < 3)
        return nullptr;
    auto curve = std::make_shared<Curve>();
    curve->m_closed = true;
    const qsizetype k = corners.size();
    if (roundness == 0.0f || std::isnan(roundness)) {
        curve->m_points.reserve(k);
        for (const QPointF& corner : corners)
            curve->addPoint(corner, true);
    } else if (roundness > 0.0f) {
        for (qsizetype i = 0; i < k; ++i)
            curve->addPointsForRoundedPolygonSideFrom(corners[i], corners[(i + 1) % k], roundness);
    } else {
        curve->m_points.reserve(2 * k);
        for (qsizetype i = 0; i < k; ++i) {
            const QPointF& a = corners[i];
            const QPointF& b = corners[(i + 1) % k];
            curve->addPoint(interpolatePoints(a, b, kRoundFactor), false);
            curve->addPoint(interpolatePoints(b, a, kRoundFactor), false);
        }
    }
    return curve;
}

std::shared_ptr<Curve> Curve::initWithRect(const QRectF& rect, float radius)
{
    const QList<QPointF> corners { QPointF(rect.left(), rect.top()), QPointF(rect.right(), rect.top()),
        QPointF(rect.right(), rect.bottom()), QPointF(rect.left(), rect.bottom()) };
    return initWithPolygonPoints(corners, radius);
}

std::shared_ptr<Curve> Curve::initWithEllipseIn(const QRectF& rect)
{
    return initWithRect(rect, -1.0f);
}

std::shared_ptr<Curve> Curve::initByCopying(const Curve& other)
{
    return std::make_shared<Curve>(other);
}

void Curve::addPointsForRoundedPolygonSideFrom(const QPointF& a, const QPointF& b, float radius)
{
    const float length = distanceBetweenPoints(a, b);
    if (length == 0.0f)
        addPoint(a, true);
    if (length <= 2.0f * radius) {
        addPoint(interpolatePoints(a, b, kRoundFactor), false);
        addPoint(interpolatePoints(b, a, kRoundFactor), false);
    } else {
        const float c = 2.0f * radius * kRoundFactor;
        addPoint(pointAtDistanceToward(a, b, c), false);
        addPoint(pointAtDistanceToward(a, b, radius), true);
        addPoint(pointAtDistanceToward(b, a, radius), true);
        addPoint(pointAtDistanceToward(b, a, c), false);
    }
}

CurvePointPtr Curve::getPointAtIndex(int index) const
{
    if (index < 0 || index >= numPoints())
        return nullptr;
    return m_points[index];
}

CurvePointPtr Curve::lastPoint() const
{
    return m_points.empty() ? nullptr : m_points.back();
}

void Curve::setClosed(bool closed)
{
    if (closed == m_closed)
        return;
    m_closed = closed;
    flushCache();
}

const DrawCommandList& Curve::getDrawCommands() const
{
    if (!m_drawCommandsCache) {
        DrawCommandList commands;
        buildDrawCommands(commands);
        m_drawCommandsCache = std::move(commands);
    }
    return *m_drawCommandsCache;
}

void Curve::buildDrawCommands(DrawCommandList& commands) const
{
    const std::size_t n = m_points.size();
    // Quadratic curves and lines each come with at most one mark.
    commands.reserve(2 * n + 3);
    auto move = [&](const QPointF& p) {
        commands.push_back(DrawCommand::moveToX(static_cast<float>(p.x()), static_cast<float>(p.y())));
    };
    auto line = [&](const QPointF& p) {
        commands.push_back(DrawCommand::lineToX(static_cast<float>(p.x()), static_cast<float>(p.y())));
    };
    auto quad = [&](const QPointF& control, const QPointF& end) {
        commands.push_back(DrawCommand::quadCurveByX(static_cast<float>(control.x()),
            static_cast<float>(control.y()), static_cast<float>(end.x()), static_cast<float>(end.y())));
    };
    auto mark = [&] { commands.push_back(DrawCommand::mark()); };

    if (n >= 2) {
        // The last point of an open curve always ends the outline, whatever its stored flag.
        auto on = [&](std::size_t i) { return (!m_closed && i == n - 1) || m_points[i]->onCurve(); };
        const CurvePoint& first = *m_points[0];
        const CurvePoint& second = *m_points[1];
        const CurvePoint& last = *m_points[n - 1];
        std::size_t i = 1;
        // Where the outline starts, and so where a closed one must end: a closing point a rounding
        // error away would make the closing line a sliver that turns back against the curve, and
        // the stroke's join there a long spike.
        QPointF start;
        if (!m_closed || on(0)) {
            start = floatPoint(first);
            move(start);
        } else {
            // A closed curve starting off the curve starts where its last segment ends.
            start = on(n - 1) ? floatPoint(last) : first.midwayPointTo(last);
            move(start);
            if (!on(1)) {
                quad(floatPoint(first), first.midwayPointTo(second));
            } else {
                quad(floatPoint(first), floatPoint(second));
                i = 2;
            }
        }
        while (i < n) {
            const CurvePoint& p = *m_points[i];
            if (on(i)) {
                line(floatPoint(p));
                mark();
                ++i;
                continue;
            }
            const bool wraps = i + 1 >= n;
            const CurvePoint& q = wraps ? first : *m_points[i + 1];
            const bool qOn = wraps ? on(0) : on(i + 1);
            if (!qOn) {
                quad(floatPoint(p), wraps ? start : p.midwayPointTo(q));
                ++i;
            } else {
                quad(floatPoint(p), floatPoint(q));
                mark();
                i += 2;
            }
        }
        if (m_closed && on(n - 1) && on(0)) {
            line(floatPoint(first));
            mark();
        }
    }
    if (m_closed)
        commands.push_back(DrawCommand::close());
}

std::shared_ptr<CurveIterator> Curve::getCurveIteratorCaching(bool caching) const
{
    if (m_curveIteratorCache)
        return m_curveIteratorCache;
    auto iterator = std::make_shared<CurveIterator>(*this, 8);
    if (caching)
        m_curveIteratorCache = iterator;
    return iterator;
}

QRectF Curve::getBounds() const
{
    if (!m_boundsValid) {
        m_bounds = getCurveIteratorCaching(false)->bounds();
        m_boundsValid = true;
    }
    return m_bounds;
}

QRectF Curve::getStrokeBounds(double lineWidth) const
{
    if (!(lineWidth > 0))
        return getBounds();
    if (!m_strokeOutlineCache)
        m_strokeOutlineCache = strokeOutlineOf(getDrawCommands(), CanvasPath::kDefaultMiterLimit);
    return strokeBounds(*m_strokeOutlineCache, lineWidth);
}

QRectF Curve::getGeometryBounds() const
{
    BoundsAccumulator acc;
    boundsAccumulatorInit(&acc);
    for (const CurvePointPtr& p : m_points)
        boundsAccumulatorAddPoint(&acc, p->point());
    return boundsAccumulatorRect(&acc);
}

CanvasPath Curve::createCGPath() const
{
    return createCGPathFromDrawCommands(getDrawCommands());
}

CanvasPath Curve::createNSBezierPath() const
{
    return createNSBezierPathFromDrawCommands(getDrawCommands());
}

QString Curve::className() const
{
    return kClassName;
}

void Curve::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList points;
    points.reserve(static_cast<qsizetype>(m_points.size()));
    for (const CurvePointPtr& p : m_points)
        points.append(Value(p));
    // Handed over, so that the archiver sees a list no one else holds and need not keep it.
    coder.encodeObject(Value(std::move(points)), kPointsArchiveKey);
    coder.encodeBool(m_closed, kClosedArchiveKey);
}

ObjectPtr Curve::initWithCoder(KeyedUnarchiver& coder)
{
    m_points.clear();
    const Value decoded
        = coder.decodeObjectOfClasses({ PlatformClass::kArray, CurvePoint::kClassName }, kPointsArchiveKey);
    const ValueList list = decoded.toList();
    coder.decodingBudget().spend(qint64(list.size()) * qint64(sizeof(CurvePointPtr)));
    m_points.reserve(static_cast<std::size_t>(list.size()));
    // A damaged file may name one point twice, or in two curves; each curve point must be its own
    // object, or editing one would move the other.
    for (const Value& item : list) {
        if (CurvePointPtr point = item.toObject<CurvePoint>())
            m_points.push_back(coder.claimOrCopy(
                point, DecodingBudget::objectCost<CurvePoint>(), &CurvePoint::initByCopying));
    }
    m_closed = coder.decodeBoolForKey(kClosedArchiveKey);
    flushCache();
    return shared_from_this();
}

qint64 Curve::copyCost() const
{
    return DecodingBudget::objectCost<Curve>()
        + qint64(m_points.size()) * DecodingBudget::objectCost<CurvePoint>();
}

void registerCurveClasses(ClassRegistry& registry)
{
    registry.registerClass<Curve>(Curve::kClassName, PlatformClass::kObject);
    registry.registerClass<CurvePoint>(CurvePoint::kClassName, PlatformClass::kObject);
}

bool Curve::isPointOnCurve(const QPointF& p, float weight) const
{
    return getCurveIteratorCaching(true)->isPointOnCurve(p, weight);
}

CurvePointPtr Curve::addPointAtX(float x, float y, bool onCurve)
{
    CurvePointPtr point = CurvePoint::curvePointAtX(x, y, onCurve);
    m_points.push_back(point);
    flushCache();
    return point;
}

CurvePointPtr Curve::addPoint(const QPointF& p, bool onCurve)
{
    return addPointAtX(static_cast<float>(p.x()), static_cast<float>(p.y()), onCurve);
}

CurvePointPtr Curve::insertPointAtIndex(int index, float x, float y, bool onCurve)
{
    if (index < 0 || index > numPoints())
        return nullptr;
    CurvePointPtr point = CurvePoint::curvePointAtX(x, y, onCurve);
    m_points.insert(m_points.begin() + index, point);
    flushCache();
    return point;
}

void Curve::deletePointAtIndex(int index)
{
    if (index < 0 || index >= numPoints())
        return;
    m_points.erase(m_points.begin() + index);
    flushCache();
}

void Curve::deletePointsInRange(int location, int length)
{
    if (location < 0 || length <= 0 || location >= numPoints())
        return;
    const int end = location + std::min(length, numPoints() - location);
    m_points.erase(m_points.begin() + location, m_points.begin() + end);
    flushCache();
}

void Curve::appendPointsFrom(const Curve& other)
{
    // Copies first, so that a curve may append itself.
    CurvePointList copies;
    copies.reserve(other.m_points.size());
    for (const CurvePointPtr& p : other.m_points)
        copies.push_back(CurvePoint::initByCopying(*p));
    m_points.insert(m_points.end(), copies.begin(), copies.end());
    flushCache();
}

void Curve::setFirstPoint(int index)
{
    if (index <= 0 || index >= numPoints())
        return;
    std::rotate(m_points.begin(), m_points.begin() + index, m_points.end());
    flushCache();
}

void Curve::reverse()
{
    if (m_points.size() < 2)
        return;
    std::reverse(m_points.begin(), m_points.end());
    flushCache();
}

void Curve::transformBy(const QTransform& transform)
{
    for (const CurvePointPtr& p : m_points)
        p->transformBy(transform);
    flushCache();
}

void Curve::perspectiveTransformFrom(const QRectF& from, const QPointF* quad)
{
    if (!quad)
        return;
    for (const CurvePointPtr& p : m_points)
        p->perspectiveTransformFrom(from, quad);
    flushCache();
}

void Curve::offsetBy(const QPointF& delta)
{
    for (const CurvePointPtr& p : m_points)
        p->offsetBy(delta);
    if (m_drawCommandsCache) {
        for (DrawCommand& command : *m_drawCommandsCache) {
            // Marks and closes carry no point.
            if (command.command() <= DrawCommandQuadCurve)
                command.offsetBy(delta);
        }
    }
    m_curveIteratorCache.reset();
    if (m_boundsValid)
        m_bounds.translate(delta);
    if (m_strokeOutlineCache) {
        m_strokeOutlineCache->bounds.translate(delta);
        for (MiterTip& tip : m_strokeOutlineCache->tips)
            tip.corner += delta;
    }
}

void Curve::recordPoints(GeometryRecord& record) const
{
    record.addCount(m_points.size());
    for (const CurvePointPtr& p : m_points)
        record.addPoint(p->point());
}

void Curve::restorePoints(GeometryReader& reader)
{
    if (!reader.readCount(m_points.size()))
        return;
    for (const CurvePointPtr& p : m_points) {
        if (const auto point = reader.readPoint())
            p->setPoint(*point);
    }
    flushCache();
}

void Curve::flushCache()
{
    m_drawCommandsCache.reset();
    m_curveIteratorCache.reset();
    m_boundsValid = false;
    m_strokeOutlineCache.reset();
}

} // namespace zandrel
