#include "tools/DragInPanelsTracker.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/PanelLayer.h"
#include "views/ComicView.h"

namespace zandrel {

namespace {

ElementList without(ElementList list, const ElementList& members)
{
    for (const ObjectPtr& member : members)
        list.removeAll(member);
    return list;
}

} // namespace

void DragInPanelsTracker::showInPanel(const std::shared_ptr<ComicPanel>& panel)
{
    m_comicModel->setCurrentPanel(panel);
    m_comicView->setSelection(m_selection);
}

void DragInPanelsTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event))
        return;
    const bool first = !m_comicView;
    if (first) {
        m_comicView = dynamic_cast<ComicView*>(view());
        m_comicModel = m_comicView ? m_comicView->comicModel() : nullptr;
        m_startPanel = m_comicModel ? m_comicModel->currentPanel() : nullptr;
    }
    DragTracker::mouseDraggedAt(point, event);
    if (!m_comicModel || !m_startPanel)
        return;
    if (first)
        m_selection = view()->getSelectionSorted();
    if (m_comicModel->focusOnPanel())
        return;
    const auto panel = m_comicModel->getPanelAt(point);
    const auto current = m_comicModel->currentPanel();
    if (!panel || panel == current || !panel->frameContains(point) || !current)
        return;
    const PanelLayerPtr startLayer = m_startPanel->currentLayer();
    if (!m_startPanelOrigChildren) {
        m_startPanelOrigChildren = startLayer->children();
        startLayer->setChildren(without(*m_startPanelOrigChildren, m_selection));
    }
    // The panel being left gets back what it had.
    if (m_currentPanelOrigChildren)
        current->currentLayer()->setChildren(*m_currentPanelOrigChildren);
    m_comicModel->setCurrentPanel(panel);
    const PanelLayerPtr layer = panel->currentLayer();
    m_currentPanelOrigChildren = layer->children();
    if (panel != m_startPanel)
        layer->setChildren(*m_currentPanelOrigChildren + m_selection);
    else
        startLayer->setChildren(*m_startPanelOrigChildren);
    view()->setSelection(m_selection);
}

void DragInPanelsTracker::mouseUpAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!movedOverMinimum(event) || !m_comicModel || !m_startPanel || !document) {
        DragTracker::mouseUpAt(point, event);
        return;
    }
    const bool focused = m_comicModel->focusOnPanel();
    const auto reached = m_comicModel->currentPanel();
    // The move is recorded against the layer the elements came from.
    if (!focused)
        showInPanel(m_startPanel);
    DragTracker::mouseUpAt(point, event);
    if (!focused)
        showInPanel(reached);
    if (m_comicModel->currentPanel() == m_startPanel || !reached)
        return;
    const PanelLayerPtr startLayer = m_startPanel->currentLayer();
    if (!duplicating() && m_startPanelOrigChildren) {
        const ElementList left = startLayer->children();
        startLayer->setChildren(*m_startPanelOrigChildren);
        document->undoableSetChildren(left, startLayer);
    }
    const PanelLayerPtr layer = reached->currentLayer();
    if (m_currentPanelOrigChildren) {
        const ElementList now = layer->children();
        layer->setChildren(*m_currentPanelOrigChildren);
        document->undoableSetChildren(now, layer);
    }
    if (!focused)
        showInPanel(m_startPanel);
    m_comicView->undoableSetSelectionAndPanel(m_selection, reached, false);
}

} // namespace zandrel
