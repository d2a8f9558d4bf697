#pragma once

#include "tools/SelectionTool.h"

namespace zandrel {

class ComicModel;

// The arrow tool of the comic view. Before the ordinary selection click it finds the panel under
// the pointer: a click inside another panel's frame makes that panel current (the view then edits
// its layer) and selects there. Grips of balloons and free panels, free objects of the page and the
// drags of structure edges belong to this tool too; their trackers come with the tool framework's
// comic trackers, and until then such a click only clears the selection.
class ComicSelectionTool : public SelectionTool {
public:
    ComicSelectionTool() = default;

    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;

private:
    // The comic of the view, when the view is a comic view.
    ComicModel* comicModel() const;
};

} // namespace zandrel
