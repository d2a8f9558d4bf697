#include "tools/GradientRotationManipulator.h"

#include "charmodel/PartPath.h"
#include "graphics/ElementProtocols.h"
#include "graphics/GradientFill.h"

namespace zandrel {

void GradientRotationManipulator::manipulate(GraphicElement& graphic)
{
    auto* path = dynamic_cast<PartPath*>(&graphic);
    if (!path || path->fillType() != FillTypeGradient)
        return;
    const auto gradient = std::dynamic_pointer_cast<GradientFill>(path->fillGradient());
    if (!gradient)
        return;
    // A turned copy, set back so that the path hears of the change: the old fill may be held by an
    // undo step.
    auto turned = std::make_shared<GradientFill>(*gradient);
    turned->rotate(m_rotateAngle);
    path->setFillGradient(turned);
}

void GradientFillsManipulator::record(const ElementList& elements)
{
    m_recording = true;
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->notifyAllGraphicsOf(GraphicNotice::ApplyManipulator, this);
    }
    m_recording = false;
}

void GradientFillsManipulator::manipulate(GraphicElement& graphic)
{
    auto* path = dynamic_cast<PartPath*>(&graphic);
    if (!path)
        return;
    if (m_recording) {
        // Fills are replaced, never changed in place, so holding this one keeps it as it is now.
        if (path->fillType() == FillTypeGradient && path->fillGradient())
            m_fills.insert(path, path->fillGradient());
    } else if (const FillPtr fill = m_fills.value(path)) {
        path->setFillGradient(fill);
    }
}

} // namespace zandrel
