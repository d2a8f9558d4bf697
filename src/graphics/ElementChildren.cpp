#include "graphics/ElementChildren.h"

#include "platform/Geometry.h"

namespace zandrel {

Parent* GraphicElementLinks::parentOf(const Object& member)
{
    const auto* element = dynamicCast<const ModelElement>(&member);
    return element ? element->parent() : nullptr;
}

void GraphicElementLinks::setParentOf(Object& member, Parent* owner)
{
    if (auto* element = dynamicCast<ModelElement>(&member))
        element->setParent(owner);
}

bool GraphicElementLinks::accepts(const Object* member)
{
    return dynamicCast<const GraphicElement>(member) != nullptr;
}

ObjectPtr GraphicElementLinks::copyOf(const ObjectPtr& member)
{
    const auto* graphic = asProtocol<GraphicElement>(member);
    ObjectPtr copy = graphic ? graphic->initByCopying() : nullptr;
    return asProtocol<GraphicElement>(copy) ? copy : nullptr;
}

GraphicElement* GraphicElementLinks::graphicOf(Object& member)
{
    return dynamicCast<GraphicElement>(&member);
}

bool GraphicElementLinks::isValid(const ObjectPtr& member)
{
    auto* graphic = asProtocol<GraphicElement>(member);
    return graphic && graphic->validateData();
}

const Object* GraphicElementLinks::objectOf(const Parent* owner)
{
    return dynamicCast<const Object>(owner);
}

const Object* GraphicElementLinks::parentObjectOf(const Object* link)
{
    const auto* element = dynamicCast<const ModelElement>(link);
    return element ? dynamicCast<const Object>(element->parent()) : nullptr;
}

QRectF unionOfBounds(const std::vector<GraphicElement*>& members, QRectF (GraphicElement::*bounds)() const)
{
    QRectF result;
    for (const GraphicElement* member : members) {
        if (member)
            result = unionRect(result, (member->*bounds)());
    }
    return result;
}

ElementList adoptDecodedElements(KeyedUnarchiver& coder, const ElementList& decoded, Parent* adopter)
{
    const ElementList kept = GraphicElementChildren::decodedToAdopt(coder, decoded);
    for (const ObjectPtr& member : kept)
        GraphicElementLinks::setParentOf(*member, adopter);
    return kept;
}

} // namespace zandrel
