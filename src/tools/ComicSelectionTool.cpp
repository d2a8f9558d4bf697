#include "tools/ComicSelectionTool.h"

#include "app/core/ComicDocument.h"
#include "comicmodel/ComicModel.h"
#include "views/ComicView.h"

namespace zandrel {

ComicModel* ComicSelectionTool::comicModel() const
{
    const auto* comicView = dynamic_cast<ComicView*>(view());
    ComicDocument* document = comicView ? comicView->comicDoc() : nullptr;
    return document ? document->model().get() : nullptr;
}

void ComicSelectionTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    ComicModel* model = comicModel();
    if (!model || getHandleAt(point)) {
        SelectionTool::mouseDownAt(point, event);
        return;
    }
    const std::shared_ptr<ComicPage>& page = model->currentPage();
    if (!model->editBackground() && !model->focusOnPanel() && page
        && page->getChildAt(point, view()->viewScale())) {
        // A free object of the page: it is dragged by its own tracker.
        view()->deselectAll();
        return;
    }
    const auto current = model->currentPanel();
    if (current && current->isFree() && current->currentPanelFrameContains(point)) {
        // The grip band of a free panel moves the panel with its own tracker.
        return;
    }
    if (model->focusOnPanel()) {
        SelectionTool::mouseDownAt(point, event);
        return;
    }
    const std::shared_ptr<ComicPanel> panel = model->getPanelAt(point);
    if (!panel) {
        SelectionTool::mouseDownAt(point, event);
        return;
    }
    if (!panel->frameContains(point)) {
        // The gutter or margin beside a panel: the structure's edges and corners are dragged there.
        return;
    }
    // Not undoable: moving between panels is looking, not editing.
    if (panel != current)
        model->setCurrentPanel(panel);
    SelectionTool::mouseDownAt(point, event);
}

} // namespace zandrel
