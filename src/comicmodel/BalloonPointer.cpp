#include "comicmodel/BalloonPointer.h"

#include "comicmodel/Balloon.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GraphicUtils.h"
#include "platform/ArchiveNames.h"
#include "platform/DecodingBudget.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>

namespace zandrel {

namespace {

// Archive keys.
const QString kXArchiveKey = QStringLiteral("x");
const QString kYArchiveKey = QStringLiteral("y");
const QString kXPosArchiveKey = QStringLiteral("xpos");
const QString kYPosArchiveKey = QStringLiteral("ypos");
const QString kPointsArchiveKey = QStringLiteral("pointerPoints");
// Older files keep the points as a list of point values.
const QString kLegacyPointsArchiveKey = QStringLiteral("points");

} // namespace

// --- BalloonPoint ---

const PropertyTable& BalloonPoint::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<BalloonPoint>(kPointValueKey, &BalloonPoint::pointValue, &BalloonPoint::setPointValue),
        });
    return table;
}

void BalloonPoint::setPointValue(const QPointF& point)
{
    changeValueForKey(kPointValueKey, [&] { m_point = point; });
}

QString BalloonPoint::className() const
{
    return kClassName;
}

void BalloonPoint::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeFloat(static_cast<float>(m_point.x()), kXArchiveKey);
    coder.encodeFloat(static_cast<float>(m_point.y()), kYArchiveKey);
}

ObjectPtr BalloonPoint::initWithCoder(KeyedUnarchiver& coder)
{
    m_point = QPointF(finiteOrZero(coder.decodeFloatForKey(kXArchiveKey)),
        finiteOrZero(coder.decodeFloatForKey(kYArchiveKey)));
    return shared_from_this();
}

// --- BalloonLine ---

void BalloonLine::applyTo(CanvasPath& path) const
{
    path.setDash(dash, dashPhase);
    path.setLineWidth(width);
}

// --- BalloonPointer ---

const PropertyTable& BalloonPointer::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<BalloonPointer>(kPointsKey, &BalloonPointer::points, &BalloonPointer::setPoints),
            property<BalloonPointer>(kXPosKey, &BalloonPointer::xPos, &BalloonPointer::setXPos),
            property<BalloonPointer>(kYPosKey, &BalloonPointer::yPos, &BalloonPointer::setYPos),
        });
    return table;
}

BalloonPointer::BalloonPointer()
{
    setDefaultPoints(m_points);
}

// No owner: a balloon that does not list the copy could not clear a link to itself.
BalloonPointer::BalloonPointer(const BalloonPointer& other)
    : Object(other)
    , m_xPos(other.m_xPos)
    , m_yPos(other.m_yPos)
{
    for (const BalloonPointPtr& point : other.m_points)
        m_points.push_back(point->copy());
}

BalloonPointer::~BalloonPointer() = default;

std::shared_ptr<BalloonPointer> BalloonPointer::initByCopying() const
{
    return std::make_shared<BalloonPointer>(*this);
}

void BalloonPointer::setDefaultPoints(BalloonPointList& points)
{
    points = { BalloonPoint::balloonPointWithPoint(QPointF(0, 0)),
        BalloonPoint::balloonPointWithPoint(QPointF(0, kDefaultTailLength)) };
}

BalloonPointList BalloonPointer::points() const
{
    BalloonPointList copies;
    copies.reserve(m_points.size());
    for (const BalloonPointPtr& point : m_points)
        copies.push_back(point->copy());
    return copies;
}

void BalloonPointer::setPoints(const BalloonPointList& points)
{
    changeValueForKey(kPointsKey, [&] {
        m_points.clear();
        for (const BalloonPointPtr& point : points) {
            if (point)
                m_points.push_back(point->copy());
        }
        if (m_points.size() < 2)
            setDefaultPoints(m_points);
        flushCache();
    });
}

QList<QPointF> BalloonPointer::pointValues() const
{
    QList<QPointF> values;
    values.reserve(qsizetype(m_points.size()));
    for (const BalloonPointPtr& point : m_points)
        values.append(point->pointValue());
    return values;
}

void BalloonPointer::setPointValues(const QList<QPointF>& points)
{
    BalloonPointList list;
    list.reserve(std::size_t(points.size()));
    for (const QPointF& point : points)
        list.push_back(BalloonPoint::balloonPointWithPoint(point));
    setPoints(list);
}

void BalloonPointer::setXPos(float xPos)
{
    changeValueForKey(kXPosKey, [&] {
        m_xPos = xPos;
        flushCache();
    });
}

void BalloonPointer::setYPos(float yPos)
{
    changeValueForKey(kYPosKey, [&] {
        m_yPos = yPos;
        flushCache();
    });
}

// The outline depends on the owner's text, shape and style.
void BalloonPointer::setOwner(Balloon* owner)
{
    if (owner == m_owner)
        return;
    m_owner = owner;
    flushCache();
}

void BalloonPointer::flushCache()
{
    m_path.reset();
    m_bubbles.reset();
}

QString BalloonPointer::className() const
{
    return kClassName;
}

void BalloonPointer::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeFloat(m_xPos, kXPosArchiveKey);
    coder.encodeFloat(m_yPos, kYPosArchiveKey);
    ValueList points;
    points.reserve(qsizetype(m_points.size()));
    for (const BalloonPointPtr& point : m_points)
        points.append(Value(point));
    coder.encodeObject(Value(points), kPointsArchiveKey);
}

ObjectPtr BalloonPointer::initWithCoder(KeyedUnarchiver& coder)
{
    m_xPos = finiteOrZero(coder.decodeFloatForKey(kXPosArchiveKey));
    m_yPos = finiteOrZero(coder.decodeFloatForKey(kYPosArchiveKey));
    // A point the file lists in several places (pointers) is copied there, at the budget's cost.
    BalloonPointList points;
    if (coder.containsValueForKey(kPointsArchiveKey)) {
        const Value list = zdlDecodeObjectOfClasses(
            coder, { PlatformClass::kArray, BalloonPoint::kClassName }, kPointsArchiveKey);
        for (const Value& member : list.toList()) {
            if (const auto point = member.toObject<BalloonPoint>())
                points.push_back(coder.claimOrCopy(point, DecodingBudget::objectCost<BalloonPoint>(),
                    [](const BalloonPoint& original) { return original.copy(); }));
        }
    } else {
        const Value list = zdlDecodeObjectOfClasses(
            coder, { PlatformClass::kArray, PlatformClass::kValue }, kLegacyPointsArchiveKey);
        for (const Value& member : list.toList()) {
            const QPointF point = member.toPoint();
            if (member.type() == Value::Type::Point && std::isfinite(point.x()) && std::isfinite(point.y()))
                points.push_back(BalloonPoint::balloonPointWithPoint(point));
        }
    }
    // Every outline needs a base and a tip.
    if (points.size() < 2)
        setDefaultPoints(points);
    m_points = std::move(points);
    flushCache();
    return shared_from_this();
}

} // namespace zandrel
