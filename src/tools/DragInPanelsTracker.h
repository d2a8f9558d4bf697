#pragma once

#include "tools/SelectionTrackers.h"

#include <memory>
#include <optional>

namespace zandrel {

class ComicModel;
class ComicPanel;
class ComicView;

// Moves the selection like the plain drag and carries it from panel to panel: when the pointer
// enters another panel's frame the elements leave the layer they are in for that panel's current
// layer, on top, and the panel becomes current. Over a gutter, a margin or off the page they stay in
// the panel entered last. At any moment the elements belong to one panel and every other panel has
// its list from before the gesture. On release the move (or the copy, with Option) and the change of
// panel are one undo step, whose undo returns to the start panel with the same selection.
class DragInPanelsTracker : public DragTracker {
public:
    using DragTracker::DragTracker;

    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    // Makes the panel current and selects the elements, as plain view state.
    void showInPanel(const std::shared_ptr<ComicPanel>& panel);

    ComicView* m_comicView = nullptr;
    ComicModel* m_comicModel = nullptr;
    std::shared_ptr<ComicPanel> m_startPanel;
    std::optional<ElementList> m_startPanelOrigChildren;
    std::optional<ElementList> m_currentPanelOrigChildren;
    ElementList m_selection;
};

} // namespace zandrel
