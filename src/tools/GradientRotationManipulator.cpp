#include "tools/GradientRotationManipulator.h"

#include "charmodel/PartPath.h"
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

} // namespace zandrel
