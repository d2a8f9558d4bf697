#pragma once

#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

namespace zandrel {

// The tool of the character library: it selects like the arrow tool but never edits. A press on a
// selected element starts a drag out of the library (DragAndDropTracker); a press on empty space a
// marquee. Selected elements show dashed frames only, without handles.
class LibrarySelectionTool : public ZDLTool {
public:
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    bool drawsNothing() const override { return false; }
};

// Turns the first drag of a press on a selected library element into a platform drag carrying the
// selection (as the clipboard carries it, with the character's identifier and colours and the press
// point) and a picture of it. Once the drag runs the tracker is done: the platform has the gesture.
class DragAndDropTracker : public ZDLTracker {
public:
    using ZDLTracker::ZDLTracker;

    // The longest side of the drag's picture, in pixels; a larger selection is shown smaller.
    static constexpr int kMaxDragImageSide = 768;

    bool editingDocument() const override { return false; }
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
};

} // namespace zandrel
