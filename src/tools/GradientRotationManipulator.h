#pragma once

#include "graphics/GraphicManipulator.h"

namespace zandrel {

// Turns the gradient fills of the paths it reaches by an angle, so that a rotated shape's gradient
// turns with it; a pair of these with opposite angles makes the turn undoable.
class GradientRotationManipulator : public GraphicManipulator {
public:
    explicit GradientRotationManipulator(float degrees)
        : m_rotateAngle(degrees)
    {
    }

    void manipulate(GraphicElement& graphic) override;
    float rotateAngle() const { return m_rotateAngle; }

private:
    float m_rotateAngle;
};

} // namespace zandrel
