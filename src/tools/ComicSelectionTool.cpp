#include "tools/ComicSelectionTool.h"

#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/PanelLayer.h"
#include "platform/CurrentCanvas.h"
#include "tools/ComicScaleTracker.h"
#include "tools/DragInPanelsTracker.h"
#include "tools/FloatingElementDragTracker.h"
#include "tools/FloatingPanelHandles.h"
#include "tools/FloatingPanelTrackers.h"
#include "tools/StructureTrackers.h"
#include "views/BalloonEditingView.h"
#include "views/ComicView.h"

namespace zandrel {

namespace {

// The structure cursors' hot spot lies at the centre of their image.
constexpr double kStructureCursorHotSpot = 17.0;

} // namespace

ComicModel* ComicSelectionTool::comicModel() const
{
    const auto* comicView = dynamic_cast<ComicView*>(view());
    ComicDocument* document = comicView ? comicView->comicDoc() : nullptr;
    return document ? document->model().get() : nullptr;
}

std::unique_ptr<ZDLTracker> ComicSelectionTool::createDragTrackerAt(
    const QPointF& point, const ZDLEvent& event, const ElementList& selection)
{
    if (dynamic_cast<ComicView*>(view()))
        return std::make_unique<DragInPanelsTracker>(point, event, selection);
    return SelectionTool::createDragTrackerAt(point, event, selection);
}

std::unique_ptr<ZDLTracker> ComicSelectionTool::createScaleTrackerAt(const QPointF& point,
    const ZDLHandlePtr& handle, const QPointF& origin, const ZDLEvent& event, const ElementList&)
{
    return std::make_unique<ComicScaleTracker>(point, handle, origin, event);
}

std::unique_ptr<ZDLTracker> ComicSelectionTool::freePanelGripTracker(
    const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event) const
{
    ComicModel* model = comicModel();
    const auto panel = model ? model->currentPanel() : nullptr;
    if (!panel)
        return nullptr;
    if (auto corner = std::dynamic_pointer_cast<FloatingPanelCornerHandle>(handle))
        return std::make_unique<FloatingPanelCornerTracker>(point, event, corner, panel);
    if (auto side = std::dynamic_pointer_cast<FloatingPanelSideHandle>(handle))
        return std::make_unique<FloatingPanelSideTracker>(point, event, side, panel);
    return nullptr;
}

bool ComicSelectionTool::selectSpecial(const ObjectPtr& element, bool toggling)
{
    auto* balloonView = dynamic_cast<BalloonEditingView*>(view());
    if (!balloonView)
        return false;
    if (!balloonView->comicDoc())
        return SelectionTool::selectSpecial(element, toggling);
    const auto* clicked = asProtocol<ComicElement>(element);
    const Object* character = clicked ? clicked->model() : nullptr;
    if (!character)
        return false;
    ElementList group;
    for (const ObjectPtr& child : rootChildren()) {
        const auto* member = asProtocol<ComicElement>(child);
        if (member && member->model() == character)
            group.append(child);
    }
    if (!toggling) {
        view()->setSelection(group);
    } else if (view()->isSelected(element)) {
        for (const ObjectPtr& member : std::as_const(group))
            view()->deselect(member);
    } else {
        for (const ObjectPtr& member : std::as_const(group))
            view()->select(member, false);
    }
    return true;
}

void ComicSelectionTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    ComicModel* model = comicModel();
    const ZDLHandlePtr handle = getHandleAt(point);
    if (handle) {
        if (auto tracker = freePanelGripTracker(handle, point, event))
            view()->setCurrentTracker(std::move(tracker));
        else
            SelectionTool::mouseDownAt(point, event);
        return;
    }
    if (!model) {
        SelectionTool::mouseDownAt(point, event);
        return;
    }
    const std::shared_ptr<ComicPage>& page = model->currentPage();
    if (!model->editBackground() && !model->focusOnPanel() && page) {
        if (const ObjectPtr free = page->getChildAt(point, view()->viewScale())) {
            view()->deselectAll();
            view()->setCurrentTracker(std::make_unique<FloatingElementDragTracker>(point, event, free));
            return;
        }
    }
    const auto current = model->currentPanel();
    if (current && current->isFree() && current->currentPanelFrameContains(point)) {
        view()->setCurrentTracker(std::make_unique<FloatingPanelDragTracker>(point, event, current));
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
        // The gutter or margin beside a panel: the boundaries of rows and panels are dragged there.
        if (auto tracker = getStructureEditingTrackerAt(point, event, *panel))
            view()->setCurrentTracker(std::move(tracker));
        return;
    }
    // Not undoable: moving between panels is looking, not editing.
    if (panel != current)
        model->setCurrentPanel(panel);
    SelectionTool::mouseDownAt(point, event);
}

std::unique_ptr<StructureTracker> ComicSelectionTool::getStructureEditingTrackerAt(
    const QPointF& point, const ZDLEvent& event, const ComicPanel& panel) const
{
    if (!panel.parent())
        return nullptr;
    // The panel and each ancestor below the root may be the one whose boundary is meant; a corner
    // outranks an edge, and on a tie the element higher up wins.
    const ComicStructureElement* best = nullptr;
    FramePart bestPart = FramePart::None;
    int bestPriority = 1;
    for (const ComicStructureElement* element = &panel; element && element->parent();
         element = element->parent()) {
        const FramePart part = element->getFramePart(point);
        const int priority = ComicStructureElement::editingPriorityOf(part);
        if (priority >= bestPriority && element->parent()->canEditChild(element, part)) {
            best = element;
            bestPart = part;
            bestPriority = priority;
        }
    }
    if (!best)
        return nullptr;
    const ComicStructureElement& parent = *best->parent();
    bool before = false;
    switch (parent.contentArrangement()) {
    case ContentArrangement::StackedTopToBottom:
        if (bestPart == FramePart::TopEdge || bestPart == FramePart::TopLeft
            || bestPart == FramePart::TopRight)
            before = true;
        else if (bestPart != FramePart::BottomEdge && bestPart != FramePart::BottomLeft
            && bestPart != FramePart::BottomRight)
            return nullptr;
        break;
    case ContentArrangement::SideBySide:
        if (bestPart == FramePart::LeftEdge || bestPart == FramePart::TopLeft
            || bestPart == FramePart::BottomLeft)
            before = true;
        else if (bestPart != FramePart::RightEdge && bestPart != FramePart::TopRight
            && bestPart != FramePart::BottomRight)
            return nullptr;
        break;
    default:
        return nullptr;
    }
    const auto self = std::dynamic_pointer_cast<ComicStructureElement>(
        const_cast<ComicStructureElement*>(best)->shared_from_this());
    StructurePtr element1 = self;
    StructurePtr element2 = self;
    FramePart part1 = bestPart;
    FramePart part2 = bestPart;
    if (before) {
        element1 = parent.getElementBefore(best);
        part1 = parent.getCorrespondingFramePart(bestPart);
    } else {
        element2 = parent.getElementAfter(best);
        part2 = parent.getCorrespondingFramePart(bestPart);
    }
    if (!element1 || !element2)
        return nullptr;
    if (ComicStructureElement::editingPriorityOf(part1) == 1)
        return std::make_unique<StructureEdgeTracker>(point, event, element1, part1, element2);
    return std::make_unique<StructureCornerTracker>(point, event, element1, part1, element2, part2);
}

bool ComicSelectionTool::setCursorAt(const QPointF& point, const ZDLEvent& event)
{
    ComicModel* model = comicModel();
    if (!model || getHandleAt(point))
        return SelectionTool::setCursorAt(point, event);
    const std::shared_ptr<ComicPage>& page = model->currentPage();
    if (page && page->getChildAt(point, view()->viewScale())) {
        view()->setCursor(Qt::ArrowCursor);
        return true;
    }
    const auto current = model->currentPanel();
    if (current && current->isFree() && current->currentPanelFrameContains(point)) {
        view()->setCursor(Qt::PointingHandCursor);
        return true;
    }
    const auto panel = model->getPanelAt(point);
    if (panel && !panel->frameContains(point) && !model->focusOnPanel()) {
        if (const auto tracker = getStructureEditingTrackerAt(point, event, *panel)) {
            view()->setCursor(appController()->getCursorResource(
                tracker->cursorName(), QPointF(kStructureCursorHotSpot, kStructureCursorHotSpot)));
            return true;
        }
    }
    return SelectionTool::setCursorAt(point, event);
}

bool ComicSelectionTool::setObjectCursorAt(const QPointF& point, const ZDLEvent& event)
{
    ComicModel* model = comicModel();
    const auto current = model ? model->currentPanel() : nullptr;
    if (!model || (current && current->frameContains(point)))
        return SelectionTool::setObjectCursorAt(point, event);
    const auto panel = model->getPanelAt(point);
    const PanelLayerPtr layer
        = panel ? (model->editBackground() ? panel->backLayer() : panel->frontLayer()) : nullptr;
    if (layer && layer->getChildAt(point, view()->viewScale()))
        view()->setCursor(Qt::ArrowCursor);
    else
        view()->setCursor(appController()->marqueeCursor());
    return true;
}

void ComicSelectionTool::draw()
{
    ComicModel* model = comicModel();
    const auto panel = model ? model->currentPanel() : nullptr;
    Canvas* canvas = currentCanvas();
    // The grips hide with the selection while a gesture runs.
    if (panel && panel->isFree() && canvas && !view()->selectionHiddenWhileTracking()) {
        for (const ZDLHandlePtr& grip : floatingPanelHandles(*panel, *view())) {
            grip->drawOn(*canvas);
            currentHandles().append(grip);
        }
    }
    SelectionTool::draw();
}

} // namespace zandrel
