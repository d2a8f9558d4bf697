#pragma once

#include "tools/SelectionTool.h"

namespace zandrel {

class ComicModel;
class BalloonPointerHandle;
class Canvas;
class ComicPanel;
class StructureTracker;

// The arrow tool of the comic view. Before the ordinary selection click it looks at the page: a
// free object of the page is moved by its own tracker (a click opens the page's free objects); the
// band just outside the current free panel moves that panel, and its eight grips reshape it; a click
// inside another panel's frame makes that panel current (the view then edits its layer) and selects
// there; a press in the gutter beside a panel drags the boundary of rows or panels found there.
class ComicSelectionTool : public SelectionTool {
public:
    ComicSelectionTool() = default;

    // In a comic view the selection is carried from panel to panel as it is dragged.
    std::unique_ptr<ZDLTracker> createDragTrackerAt(
        const QPointF& point, const ZDLEvent& event, const ElementList& selection) override;
    // Scaling also scales the line weights and blurs of the character parts selected.
    std::unique_ptr<ZDLTracker> createScaleTrackerAt(const QPointF& point, const ZDLHandlePtr& handle,
        const QPointF& origin, const ZDLEvent& event, const ElementList& selection) override;
    // Command-click in a comic selects every element of the edited container that comes from the
    // clicked element's character (balloons without one share the comic's own colours).
    bool selectSpecial(const ObjectPtr& element, bool toggling) override;
    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    bool setCursorAt(const QPointF& point, const ZDLEvent& event) override;
    // Outside the current panel: the arrow over an element another panel would select, else the
    // marquee.
    bool setObjectCursorAt(const QPointF& point, const ZDLEvent& event) override;
    void draw() override;
    // While a gesture hides a selection, nothing of it is drawn.
    bool drawsNothing() const override;

    // The drag of the row or panel boundary that a press at the point on the panel's structure would
    // start; null where no boundary may be dragged (the page's outer edges, a single row or panel).
    std::unique_ptr<StructureTracker> getStructureEditingTrackerAt(
        const QPointF& point, const ZDLEvent& event, const ComicPanel& panel) const;

    // The grip of the tail point before which a press at the point would insert a new point: the
    // press lies within 2 screen points of the segment that ends at that grip.
    std::shared_ptr<BalloonPointerHandle> getBalloonPointerPointInsertionHandleAt(const QPointF& point) const;
    // Command-clicks on tail grips: the whole tail, or one of its points, goes as one step.
    void deleteBalloonPointer(const BalloonPointerHandle& handle);
    void deleteBalloonPointerPoint(const BalloonPointerHandle& handle);

private:
    // The comic of the view, when the view is a comic view.
    ComicModel* comicModel() const;
    // The tracker a balloon grip starts, or the Command-click deletion it makes; false for any other.
    bool balloonGripMouseDown(const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event);
    // A press on a tail's segment inserts a point there and drags it.
    bool insertBalloonPointerPoint(const QPointF& point, const ZDLEvent& event);
    // With only balloons selected: their width grips and tail grips instead of the scale grips.
    void drawBalloonGrips(Canvas& canvas);
    // The tracker a grip of the current free panel starts; null for any other handle.
    std::unique_ptr<ZDLTracker> freePanelGripTracker(
        const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event) const;
};

} // namespace zandrel
