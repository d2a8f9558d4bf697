#pragma once

#include "tools/TransformTrackers.h"

#include <optional>

namespace zandrel {

// The scale grips of the comic tool: the selection scales like the plain scale grip's, and the line
// weights and blurs of the character parts in it scale along, so that a figure made larger keeps
// its look. Equal factors f scale the marks by |f|; unequal ones by their geometric mean.
class ComicScaleTracker : public ScaleTracker {
public:
    using ScaleTracker::ScaleTracker;

    // The one factor the marks of parts scale by for these horizontal and vertical factors.
    static float markFactor(float sx, float sy);

protected:
    void scaledBy(float sx, float sy) override;

private:
    // The parts among the scaled copies, groups opened; taken at the first step.
    std::optional<ElementList> m_selection;
    float m_appliedMarkScale = 1.0f;
};

} // namespace zandrel
