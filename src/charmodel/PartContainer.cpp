#include "charmodel/PartContainer.h"

#include "charmodel/ImageElement.h"
#include "charmodel/PartElement.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "platform/KeyedArchiver.h"

namespace zandrel {

PartContainer::PartContainer(const PartContainer& other)
    : GraphicElementBase(other)
    , m_children(this, other.m_children)
{
}

ElementList PartContainer::flattenedChildren() const
{
    return ArrayUtils::flattenPartElementsArray(m_children.items());
}

void PartContainer::addPartElement(const ObjectPtr& element)
{
    for (const ObjectPtr& accepted :
        m_children.acceptable({ element }, GraphicElementChildren::Repeats::Allowed))
        m_children.append(accepted);
}

void PartContainer::adoptChildren(const ElementList& children)
{
    m_children.adopt(m_children.acceptable(children, GraphicElementChildren::Repeats::Allowed));
}

void PartContainer::encodeChildren(KeyedArchiver& coder, const QString& key) const
{
    ValueList children;
    children.reserve(m_children.items().size());
    for (const ObjectPtr& child : m_children.items())
        children.append(Value(child));
    coder.encodeObject(Value(children), key);
}

void PartContainer::decodeChildren(KeyedUnarchiver& coder, const QString& key)
{
    m_children.adoptDecoded(coder, zdlDecodeElementsOfClasses(coder, partElementMemberClasses(), key));
}

void PartContainer::offsetBy(const QPointF& delta, bool /*directly*/)
{
    for (const ObjectPtr& child : m_children.items())
        asProtocol<GraphicElement>(child)->offsetBy(delta, false);
}

void PartContainer::transformBy(const QTransform& transform)
{
    for (const ObjectPtr& child : m_children.items())
        asProtocol<GraphicElement>(child)->transformBy(transform);
}

void PartContainer::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    for (const ObjectPtr& child : m_children.items())
        asProtocol<GraphicElement>(child)->perspectiveTransformFrom(source, quad);
}

bool PartContainer::containsPt(const QPointF& point, float viewScale) const
{
    for (const ObjectPtr& child : m_children.items()) {
        if (asProtocol<GraphicElement>(child)->containsPt(point, viewScale))
            return true;
    }
    return false;
}

void PartContainer::flushCachesUsingColor()
{
    for (const ObjectPtr& child : m_children.items())
        asProtocol<GraphicElement>(child)->flushCachesUsingColor();
}

QRectF PartContainer::boundsOfKind(BoundsKind kind) const
{
    return visible() ? ArrayUtils::unionOfBounds(m_children.items(), kind) : QRectF();
}

QRectF PartContainer::getBoundsIgnoringVisibility() const
{
    return ArrayUtils::unionOfBounds(m_children.items(), &GraphicElement::getBoundsIgnoringVisibility);
}

QStringList partElementMemberClasses()
{
    return { PartElement::kClassName, ImageElement::kClassName };
}

} // namespace zandrel
