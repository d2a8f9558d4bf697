#pragma once

#include "graphics/ElementProtocols.h"
#include "graphics/Fill.h"
#include "graphics/GraphicManipulator.h"

#include <QHash>

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

// The gradient fills of the paths a tree holds, as they are when it visits them (record), and
// puts each back on its path (restore). A pair recorded before and after a turn undoes and redoes
// it exactly, where turning back by the opposite angle may be off in the last bit of a float.
class GradientFillsManipulator : public GraphicManipulator {
public:
    void record(const ElementList& elements);
    void manipulate(GraphicElement& graphic) override;

private:
    bool m_recording = false;
    QHash<const GraphicElement*, FillPtr> m_fills;
};

} // namespace zandrel
