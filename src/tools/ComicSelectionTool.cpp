#include "tools/ComicSelectionTool.h"

#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/GraphicUtils.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/Localization.h"
#include "platform/PropertyTable.h"
#include "tools/BalloonHandles.h"
#include "tools/BalloonTrackers.h"
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
// Balloon width grips, in screen points.
constexpr unsigned kBalloonWidthGripSide = 6;
// A press this many screen points wide around a tail's segment inserts a point.
constexpr float kTailSegmentReach = 4.0f;

bool onlyBalloons(const ElementList& selection)
{
    return std::all_of(selection.begin(), selection.end(),
        [](const ObjectPtr& object) { return dynamic_cast<const Balloon*>(object.get()) != nullptr; });
}

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

bool ComicSelectionTool::balloonGripMouseDown(
    const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event)
{
    if (const auto* width = dynamic_cast<const BalloonWidthHandle*>(handle.get())) {
        view()->setCurrentTracker(std::make_unique<BalloonWidthTracker>(point, event, *width));
        return true;
    }
    const auto* grip = dynamic_cast<const BalloonPointerHandle*>(handle.get());
    if (!grip)
        return false;
    const BalloonPointerPtr pointer = grip->balloon()->pointers().at(grip->pointerIndex());
    if (event.command()) {
        // A tail needs two points: taking one of two takes the tail.
        if (grip->pointIndex() == 0 || pointer->points().size() < 3)
            deleteBalloonPointer(*grip);
        else
            deleteBalloonPointerPoint(*grip);
    } else if (grip->pointIndex() == 0) {
        view()->setCurrentTracker(std::make_unique<BalloonPointerBaseTracker>(point, event, *grip));
    } else {
        view()->setCurrentTracker(std::make_unique<BalloonPointerPointTracker>(
            point, event, pointer, grip->pointIndex(), std::nullopt));
    }
    return true;
}

bool ComicSelectionTool::insertBalloonPointerPoint(const QPointF& point, const ZDLEvent& event)
{
    const auto target = getBalloonPointerPointInsertionHandleAt(point);
    ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
    if (!target || !document)
        return false;
    const Balloon& balloon = *target->balloon();
    const BalloonPointerPtr pointer = balloon.pointers().at(target->pointerIndex());
    const BalloonPointList before = pointer->points();
    BalloonPointList points = BalloonPointerPointTracker::deepCopy(before);
    // Tail points are kept relative to the balloon's origin moved by the tail's offset.
    points.insert(points.begin() + target->pointIndex(),
        BalloonPoint::balloonPointWithPoint(point - (balloon.origin() + pointer->pointerOffset())));
    pointer->setPoints(points);
    view()->setCurrentTracker(
        std::make_unique<BalloonPointerPointTracker>(point, event, pointer, target->pointIndex(), before));
    document->updateViewsRect(pointer->getInvalidationBounds(), false);
    return true;
}

std::shared_ptr<BalloonPointerHandle> ComicSelectionTool::getBalloonPointerPointInsertionHandleAt(
    const QPointF& point) const
{
    if (!view())
        return nullptr;
    const float reach = kTailSegmentReach / view()->viewScale();
    std::shared_ptr<BalloonPointerHandle> previous;
    for (const ZDLHandlePtr& handle : currentHandles()) {
        auto grip = std::dynamic_pointer_cast<BalloonPointerHandle>(handle);
        // The grips of one tail are drawn one after another, base first: a segment never joins two.
        if (grip && previous && grip->type() == kBalloonPointerHandleType
            && isPointNearSegment(previous->position(), grip->position(), point, reach))
            return grip;
        previous = grip;
    }
    return nullptr;
}

void ComicSelectionTool::deleteBalloonPointer(const BalloonPointerHandle& handle)
{
    ZDLEditingView* editing = editingView();
    if (!editing || !editing->document())
        return;
    const std::shared_ptr<Balloon>& balloon = handle.balloon();
    BalloonPointerList pointers = balloon->pointers();
    pointers.removeAt(handle.pointerIndex());
    editing->document()->undoableSetPropertyFor(balloon, Balloon::kPointersKey,
        detail::toValue(std::vector<BalloonPointerPtr>(pointers.begin(), pointers.end())));
    editing->undoableSetSelection(editing->selection(), true);
    editing->document()->undoManager()->setActionName(localized("Delete Balloon Pointer"));
}

void ComicSelectionTool::deleteBalloonPointerPoint(const BalloonPointerHandle& handle)
{
    ZDLEditingView* editing = editingView();
    if (!editing || !editing->document())
        return;
    const BalloonPointerPtr pointer = handle.balloon()->pointers().at(handle.pointerIndex());
    BalloonPointList points = pointer->points();
    points.erase(points.begin() + handle.pointIndex());
    editing->document()->undoableSetPropertyFor(pointer, BalloonPointer::kPointsKey, detail::toValue(points));
    editing->undoableSetSelection(editing->selection(), true);
    editing->document()->undoManager()->setActionName(localized("Edit Balloon Pointer"));
}

void ComicSelectionTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    ComicModel* model = comicModel();
    const ZDLHandlePtr handle = getHandleAt(point);
    if (handle) {
        if (auto tracker = freePanelGripTracker(handle, point, event))
            view()->setCurrentTracker(std::move(tracker));
        else if (!balloonGripMouseDown(handle, point, event))
            SelectionTool::mouseDownAt(point, event);
        return;
    }
    if (insertBalloonPointerPoint(point, event))
        return;
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
    if (getHandleAt(point))
        return SelectionTool::setCursorAt(point, event);
    if (const auto target = getBalloonPointerPointInsertionHandleAt(point)) {
        // Straight segments on a spiky balloon, curved ones elsewhere.
        const bool straight = target->balloon()->style() == int(BalloonStyle::Spikes);
        view()->setCursor(
            appController()->getCursorResource(straight ? QStringLiteral("Cur_DirectSelect_AddPoint.tiff")
                                                        : QStringLiteral("Cur_DirectSelect_AddCurve.tiff"),
                QPointF(1, 1)));
        return true;
    }
    if (!model)
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
    if (!onlyBalloons(view()->selection())) {
        SelectionTool::draw();
        return;
    }
    drawStandardGraphicsSelection(true, false);
    // Like every other handle, the balloons' grips hide while the selection is dragged.
    if (canvas && !view()->selectionHiddenWhileTracking())
        drawBalloonGrips(*canvas);
}

bool ComicSelectionTool::drawsNothing() const
{
    // The free panel's grips hide with the selection.
    return SelectionTool::drawsNothing();
}

void ComicSelectionTool::drawBalloonGrips(Canvas& canvas)
{
    const double scale = view()->viewScale();
    canvas.save();
    CanvasPath tails;
    tails.setLineWidth(1.0 / scale);
    tails.setDash({ 2.0 / scale, 2.0 / scale }, 0.5 / scale);
    HandleList grips;
    for (const ObjectPtr& selected : view()->selection()) {
        const auto balloon = std::dynamic_pointer_cast<Balloon>(selected);
        const QPointF origin = balloon->origin();
        grips.append(
            std::make_shared<BalloonWidthHandle>(origin, kBalloonWidthGripSide, *view(), balloon, true));
        grips.append(std::make_shared<BalloonWidthHandle>(QPointF(origin.x() + balloon->width(), origin.y()),
            kBalloonWidthGripSide, *view(), balloon, false));
        const BalloonPointerList& pointers = balloon->pointers();
        for (qsizetype i = 0; i < pointers.size(); ++i) {
            const std::size_t count = pointers.at(i)->points().size();
            for (std::size_t j = 0; j < count; ++j) {
                auto grip = std::make_shared<BalloonPointerHandle>(*view(), balloon, i, qsizetype(j));
                j == 0 ? tails.moveTo(grip->position()) : tails.lineTo(grip->position());
                grips.append(grip);
            }
        }
    }
    currentHandles().append(grips);
    canvas.strokePath(tails, CanvasPaint(appController()->selectionColor()));
    canvas.restore();
    for (const ZDLHandlePtr& grip : std::as_const(grips))
        grip->drawOn(canvas);
}

} // namespace zandrel
