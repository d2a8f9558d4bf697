#pragma once

#include "tools/ZDLTool.h"
#include "tools/ZDLTracker.h"

namespace zandrel {

class CatalogView;

// The catalog view's tool. A press on an item selects it (elsewhere the selection is cleared); a
// drag of the selected item carries it out of the view at once; a release with the item still
// selected (a click) opens it into the comic's library. Over an item the cursor is the pointing
// hand. Items are found on the shelf the view shows.
class CatalogPickerTool : public ZDLTool {
public:
    CatalogPickerTool() = default;

    void setView(ZDLView* view) override;
    CatalogView* catalogView() const { return m_catalogView; }
    bool tracking() const { return m_tracking; }

    void mouseDownAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseMovedAt(const QPointF& point, const ZDLEvent& event) override;
    bool setObjectCursorAt(const QPointF& point, const ZDLEvent& event) override;
    // The end of a press: a click opens the selected item; either way the selection goes.
    void mouseUpAt(const QPointF& point, const ZDLEvent& event);

private:
    CatalogView* m_catalogView = nullptr;
    bool m_tracking = false;
};

// The gesture of a press on a catalog item: drags and the release go back to the tool. It edits
// nothing, so the view may shrink under it and does not scroll.
class CatalogPickerTracker : public ZDLTracker {
public:
    CatalogPickerTracker(CatalogPickerTool& tool, const QPointF& point, const ZDLEvent& event);

    bool wantsAutoScroll() const override { return false; }
    bool editingDocument() const override { return false; }
    void mouseDraggedAt(const QPointF& point, const ZDLEvent& event) override;
    void mouseUpAt(const QPointF& point, const ZDLEvent& event) override;

private:
    CatalogPickerTool& m_tool;
};

} // namespace zandrel
