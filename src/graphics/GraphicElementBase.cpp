#include "graphics/GraphicElementBase.h"

namespace zandrel {

const PropertyTable& GraphicElementBase::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<GraphicElementBase>(
                kVisibleKey, &GraphicElementBase::visible, &GraphicElementBase::setVisible),
        });
    return table;
}

GraphicElementBase::GraphicElementBase(const GraphicElementBase& other)
    : Object(other)
{
}

void GraphicElementBase::setParent(Parent* parent)
{
    m_parent = parent;
    m_parentGraphic = dynamic_cast<GraphicElement*>(parent);
}

void GraphicElementBase::flushCachedImage()
{
    if (m_parentGraphic)
        m_parentGraphic->flushCachedImage();
}

void GraphicElementBase::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    changeValueForKey(kVisibleKey, [&] { m_visible = visible; });
    visibilityChanged();
}

} // namespace zandrel
