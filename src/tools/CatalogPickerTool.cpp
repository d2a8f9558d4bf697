#include "tools/CatalogPickerTool.h"

#include "views/CatalogView.h"

namespace zandrel {

void CatalogPickerTool::setView(ZDLView* view)
{
    ZDLTool::setView(view);
    m_catalogView = dynamic_cast<CatalogView*>(view);
}

void CatalogPickerTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    if (!m_catalogView)
        return;
    const qsizetype index = m_catalogView->itemIndexAt(point);
    if (index < 0) {
        m_catalogView->setSelectedItemIndex(-1);
        return;
    }
    m_catalogView->setCurrentTracker(std::make_unique<CatalogPickerTracker>(*this, point, event));
    // The view starts no gesture during a right click: that press only selects.
    m_tracking = m_catalogView->currentTracker() != nullptr;
    m_catalogView->setSelectedItemIndex(index);
}

void CatalogPickerTool::mouseMovedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!m_tracking) {
        ZDLTool::mouseMovedAt(point, event);
        return;
    }
    if (!m_catalogView || !m_catalogView->selectedItem())
        return;
    // The item leaves the view at once; nothing is opened when the button comes up.
    m_tracking = false;
    m_catalogView->startDragOfSelectedItem();
    m_catalogView->setSelectedItemIndex(-1);
}

bool CatalogPickerTool::setObjectCursorAt(const QPointF& point, const ZDLEvent&)
{
    if (!m_catalogView || m_catalogView->itemIndexAt(point) < 0)
        return false;
    m_catalogView->setCursor(Qt::PointingHandCursor);
    return true;
}

void CatalogPickerTool::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    m_tracking = false;
    if (m_catalogView && m_catalogView->selectedItem()) {
        m_catalogView->openCatalogCharacter();
        m_catalogView->setSelectedItemIndex(-1);
    }
}

CatalogPickerTracker::CatalogPickerTracker(
    CatalogPickerTool& tool, const QPointF& point, const ZDLEvent& event)
    : ZDLTracker(point, event)
    , m_tool(tool)
{
}

void CatalogPickerTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    // A press that stays within the threshold is still a click.
    if (movedOverMinimum(event))
        m_tool.mouseMovedAt(point, event);
}

void CatalogPickerTracker::mouseUpAt(const QPointF& point, const ZDLEvent& event)
{
    m_tool.mouseUpAt(point, event);
}

} // namespace zandrel
