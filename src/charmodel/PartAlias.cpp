#include "charmodel/PartAlias.h"

#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "comicmodel/Balloon.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GeometryRecord.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/Canvas.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <cmath>

namespace zandrel {

namespace {

// Archive keys.
const QString kPartArchiveKey = QStringLiteral("part");
const QString kLeftArchiveKey = QStringLiteral("left");
const QString kTopArchiveKey = QStringLiteral("top");

} // namespace

const PropertyTable& PartAlias::staticPropertyTable()
{
    static const PropertyTable table(&GraphicElementBase::staticPropertyTable(),
        {
            property<PartAlias>(
                ComicGraphicElementState::kPartTypeKey, &PartAlias::partType, &PartAlias::setPartType),
        });
    return table;
}

PartAlias::PartAlias(const ObjectPtr& realPart)
    : m_realPart(realPart)
{
    if (const GraphicElement* real = realGraphic()) {
        m_aliasBounds = real->getBounds();
        m_realPartBoundsOrigin = m_aliasBounds.topLeft();
    }
}

PartAlias::PartAlias(const PartAlias& other)
    : GraphicElementBase(other)
    , m_realPart(other.m_realPart)
    , m_realPartBoundsOrigin(other.m_realPartBoundsOrigin)
    , m_aliasBounds(other.m_aliasBounds)
{
}

ObjectPtr PartAlias::initByCopying() const
{
    return std::make_shared<PartAlias>(*this);
}

QString PartAlias::className() const
{
    return kClassName;
}

void PartAlias::encodeWithCoder(KeyedArchiver& coder) const
{
    coder.encodeObject(m_realPart, kPartArchiveKey);
    coder.encodeFloat(static_cast<float>(m_aliasBounds.x()), kLeftArchiveKey);
    coder.encodeFloat(static_cast<float>(m_aliasBounds.y()), kTopArchiveKey);
}

ObjectPtr PartAlias::initWithCoder(KeyedUnarchiver& coder)
{
    // Only single elements are shown: a list here would be drawn and hit-tested as nothing.
    m_realPart = zdlDecodeObjectOfClasses(
        coder, { Part::kClassName, ImageElement::kClassName, Balloon::kClassName }, kPartArchiveKey)
                     .toObject();
    // An element still being decoded would close an ownership cycle, and its bounds are not known yet.
    if (!realGraphic() || coder.isDecoding(m_realPart))
        m_realPart.reset();
    const GraphicElement* real = realGraphic();
    const QRectF bounds = real ? real->getBounds() : QRectF();
    m_realPartBoundsOrigin = bounds.topLeft();
    float left = coder.decodeFloatForKey(kLeftArchiveKey);
    float top = coder.decodeFloatForKey(kTopArchiveKey);
    // A position that is not a number would place the alias nowhere and break the sheet's layout.
    if (!std::isfinite(left) || !std::isfinite(top))
        left = top = 0.0f;
    m_aliasBounds = QRectF(QPointF(left, top), bounds.size());
    resetVisibility();
    return shared_from_this();
}

GraphicElement* PartAlias::realGraphic() const
{
    return asProtocol<GraphicElement>(m_realPart);
}

QPointF PartAlias::displayOffset() const
{
    return m_aliasBounds.topLeft() - m_realPartBoundsOrigin;
}

ObjectPtr PartAlias::extractPart()
{
    if (GraphicElement* real = realGraphic())
        real->offsetBy(displayOffset(), true);
    return m_realPart;
}

bool PartAlias::supportsPartType() const
{
    return dynamic_cast<const Part*>(m_realPart.get()) || dynamic_cast<const ImageElement*>(m_realPart.get());
}

int PartAlias::partType() const
{
    return supportsPartType() ? asProtocol<ComicElement>(m_realPart)->partType() : 0;
}

void PartAlias::setPartType(int partType)
{
    if (supportsPartType())
        asProtocol<ComicElement>(m_realPart)->setPartType(partType);
}

bool PartAlias::supportsOrigin() const
{
    return asProtocol<ComicGraphicElement>(m_realPart) != nullptr;
}

QPointF PartAlias::appliedOrigin() const
{
    const auto* real = asProtocol<ComicGraphicElement>(m_realPart);
    return real ? real->appliedOrigin() + displayOffset() : QPointF();
}

bool PartAlias::cacheIfNeededAtScale(float scale)
{
    auto* part = dynamic_cast<Part*>(m_realPart.get());
    return part && part->cacheIfNeededAtScale(scale);
}

void PartAlias::offsetBy(const QPointF& delta, bool /*directly*/)
{
    m_aliasBounds.translate(delta);
}

void PartAlias::transformBy(const QTransform& /*transform*/)
{
}

void PartAlias::perspectiveTransformFrom(const QRectF& /*source*/, const std::array<QPointF, 4>& /*quad*/)
{
}

void PartAlias::recordGeometry(GeometryRecord& record) const
{
    record.addRect(m_aliasBounds);
}

void PartAlias::restoreGeometry(GeometryReader& reader)
{
    if (const auto bounds = reader.readRect())
        m_aliasBounds = *bounds;
}

void PartAlias::drawIn(ZDLContext& context)
{
    GraphicElement* real = realGraphic();
    Canvas* canvas = context.canvas();
    if (!visible() || !real || !canvas)
        return;
    const QPointF offset = displayOffset();
    context.saveState();
    canvas->translate(offset.x(), offset.y());
    real->drawIn(context);
    context.restoreState();
}

bool PartAlias::containsPt(const QPointF& point, float viewScale) const
{
    const GraphicElement* real = realGraphic();
    return real && real->containsPt(point - displayOffset(), viewScale);
}

QRectF PartAlias::boundsOfKind(BoundsKind kind) const
{
    const GraphicElement* real = realGraphic();
    if (!real)
        return QRectF();
    const QPointF offset = displayOffset();
    return offsetRect((real->*kind)(), offset.x(), offset.y());
}

QList<QRectF> PartAlias::getBoundsOfPaths() const
{
    const GraphicElement* real = realGraphic();
    if (!real)
        return {};
    const QPointF offset = displayOffset();
    QList<QRectF> rects = real->getBoundsOfPaths();
    for (QRectF& rect : rects)
        rect = offsetRect(rect, offset.x(), offset.y());
    return rects;
}

void registerPartAliasClasses(ClassRegistry& registry)
{
    registry.registerClass<PartAlias>(PartAlias::kClassName, PlatformClass::kObject);
}

} // namespace zandrel
