#include "graphics/GraphicManipulator.h"

#include "graphics/ElementProtocols.h"

namespace zandrel {

void GraphicManipulator::manipulate(GraphicElement&)
{
}

void BreakdownModelManipulator::manipulate(GraphicElement& graphic)
{
    graphic.setParent(nullptr);
}

} // namespace zandrel
