#pragma once

#include "graphics/ElementProtocols.h"

#include <functional>

namespace zandrel {

class GatedCanvas;

// One pass of a view's drawing that paints only a slice of its content in depth order, split at a
// span of held elements of one layer (from the first held child to the last): what lies below the
// span, the span itself, or what lies above it. Laid over each other, the three slices are the
// whole drawing, so a view can keep the first and last as bitmaps and draw only the span while it
// moves. The pass draws through a GatedCanvas, which the split opens and shuts as the drawing
// crosses the span; layers and containers that cannot paint while it is shut skip their work.
class DrawingSplit {
public:
    enum class Slice { Below, Held, Above };

    // The layer is the parent whose children are held; its owner the container that draws it.
    DrawingSplit(Slice slice, GatedCanvas& gate, const Object* layer, const Object* layerOwner,
        const ElementList& held);

    Slice slice() const { return m_slice; }
    // Whether anything drawn now would paint.
    bool isOpen() const;
    // Whether the container draws the held layer, so that drawing it may open the gate.
    bool drawsHeldLayer(const Object& container) const { return &container == m_layerOwner; }
    // Draws the part of a layer's children that belongs to this slice, opening and shutting the gate
    // around the held span; draw gets consecutive children. A layer that is not the held one is
    // drawn whole while the gate is open and skipped while it is shut.
    void drawLayer(const Object& layer, const ElementList& children,
        const std::function<void(const ElementList&)>& draw);
    // Of the held slice: the probe runs in place of the held span, with the gate open, so that it
    // paints under the very state (transform, clips) the span would.
    void setHeldSpanProbe(std::function<void()> probe) { m_probe = std::move(probe); }

private:
    Slice m_slice;
    GatedCanvas& m_gate;
    const Object* m_layer;
    const Object* m_layerOwner;
    ElementList m_held;
    std::function<void()> m_probe;
};

} // namespace zandrel
