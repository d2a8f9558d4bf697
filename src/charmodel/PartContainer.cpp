#include "charmodel/PartContainer.h"

#include "charmodel/ImageElement.h"
#include "charmodel/PartElement.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GeometryRecord.h"
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
    for (GraphicElement* child : m_children.graphics())
        child->offsetBy(delta, false);
}

void PartContainer::transformBy(const QTransform& transform)
{
    for (GraphicElement* child : m_children.graphics())
        child->transformBy(transform);
}

void PartContainer::perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad)
{
    for (GraphicElement* child : m_children.graphics())
        child->perspectiveTransformFrom(source, quad);
}

void PartContainer::recordGeometry(GeometryRecord& record) const
{
    recordMembers(m_children.graphics(), record);
}

void PartContainer::restoreGeometry(GeometryReader& reader)
{
    restoreMembers(m_children.graphics(), reader);
}

bool PartContainer::containsPt(const QPointF& point, float viewScale) const
{
    for (const GraphicElement* child : m_children.graphics()) {
        if (child->containsPt(point, viewScale))
            return true;
    }
    return false;
}

void PartContainer::flushCachesUsingColor()
{
    for (GraphicElement* child : m_children.graphics())
        child->flushCachesUsingColor();
}

QRectF PartContainer::boundsOfKind(BoundsKind kind) const
{
    return visible() ? unionOfBounds(m_children.graphics(), kind) : QRectF();
}

QRectF PartContainer::getBoundsIgnoringVisibility() const
{
    return unionOfBounds(m_children.graphics(), &GraphicElement::getBoundsIgnoringVisibility);
}

QStringList partElementMemberClasses()
{
    return { PartElement::kClassName, ImageElement::kClassName };
}

} // namespace zandrel
