#include "graphics/ElementProtocols.h"

#include "graphics/GraphicManipulator.h"
#include "platform/Object.h"

namespace zandrel {

void GraphicElement::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    // The container is manipulated before its children, so a manipulator sees a parent in the
    // state it had before any of its members changed.
    if (notice == GraphicNotice::ApplyManipulator && object)
        object->manipulate(*this);
    if (const auto* container = dynamicCast<const Parent>(this))
        notifyChildrenOf(*container, notice, object);
}

void GraphicElement::flushCachedImage()
{
    flushParentCachedImage(*this);
}

QRectF GraphicElement::getBounds() const
{
    return visible() ? getBoundsIgnoringVisibility() : QRectF();
}

QRectF GraphicElement::getVisualBounds() const
{
    return getBounds();
}

QRectF GraphicElement::getInvalidationBounds() const
{
    return getVisualBounds();
}

QRectF GraphicElement::getGeometryBounds() const
{
    return getBounds();
}

QRectF GraphicElement::getFilteredBounds() const
{
    return getVisualBounds();
}

QList<QRectF> GraphicElement::getBoundsOfPaths() const
{
    return { getVisualBounds() };
}

std::size_t Parent::numChildren() const
{
    return static_cast<std::size_t>(children().size());
}

ObjectPtr Parent::getChildAtIndex(std::size_t index) const
{
    const ElementList list = children();
    if (index >= static_cast<std::size_t>(list.size()))
        return nullptr;
    return list.at(static_cast<qsizetype>(index));
}

bool Parent::hasChild(const Object* element) const
{
    if (!element)
        return false;
    for (const ObjectPtr& child : children()) {
        if (child.get() == element)
            return true;
    }
    return false;
}

ObjectPtr Parent::getChildAt(const QPointF& point, float viewScale) const
{
    const ElementList list = children();
    for (auto it = list.crbegin(); it != list.crend(); ++it) {
        const auto* graphic = asProtocol<GraphicElement>(*it);
        if (graphic && graphic->visible() && graphic->containsPt(point, viewScale))
            return *it;
    }
    return nullptr;
}

QImage Parent::pathIcon() const
{
    return QImage();
}

void notifyChildrenOf(const Parent& container, GraphicNotice notice, GraphicManipulator* object)
{
    // Walk a snapshot: a manipulator may detach or replace members on the way, and the snapshot
    // keeps each member alive until it has had the notice.
    const ElementList list = container.children();
    for (const ObjectPtr& child : list) {
        if (auto* graphic = asProtocol<GraphicElement>(child))
            graphic->notifyAllGraphicsOf(notice, object);
    }
}

void flushParentCachedImage(const ModelElement& element)
{
    if (auto* graphic = dynamicCast<GraphicElement>(element.parent()))
        graphic->flushCachedImage();
}

} // namespace zandrel
