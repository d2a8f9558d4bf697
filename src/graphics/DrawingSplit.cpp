#include "graphics/DrawingSplit.h"

#include "platform/GatedCanvas.h"

namespace zandrel {

DrawingSplit::DrawingSplit(
    Slice slice, GatedCanvas& gate, const Object* layer, const Object* layerOwner, const ElementList& held)
    : m_slice(slice)
    , m_gate(gate)
    , m_layer(layer)
    , m_layerOwner(layerOwner)
    , m_held(held)
{
    m_gate.setOpen(slice == Slice::Below);
}

bool DrawingSplit::isOpen() const
{
    return m_gate.isOpen();
}

void DrawingSplit::drawLayer(
    const Object& layer, const ElementList& children, const std::function<void(const ElementList&)>& draw)
{
    qsizetype first = -1;
    qsizetype last = -1;
    if (&layer == m_layer) {
        for (qsizetype i = 0; i < children.size(); ++i) {
            if (m_held.contains(children.at(i))) {
                if (first < 0)
                    first = i;
                last = i;
            }
        }
    }
    // Not the held layer, or none of the held children are in it: the whole layer is in whatever
    // slice the drawing has reached.
    if (first < 0) {
        if (m_gate.isOpen())
            draw(children);
        return;
    }
    const auto drawRange = [&](qsizetype from, qsizetype to) {
        if (from < to)
            draw(children.mid(from, to - from));
    };
    switch (m_slice) {
    case Slice::Below:
        if (m_gate.isOpen())
            drawRange(0, first);
        m_gate.setOpen(false);
        break;
    case Slice::Held:
        m_gate.setOpen(true);
        if (m_probe)
            m_probe();
        else
            drawRange(first, last + 1);
        m_gate.setOpen(false);
        break;
    case Slice::Above:
        m_gate.setOpen(true);
        drawRange(last + 1, children.size());
        break;
    }
}

} // namespace zandrel
