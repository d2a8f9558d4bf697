#include "tools/SelectionTool.h"

#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ComicGraphicElementState.h"
#include "charmodel/ImageElement.h"
#include "charmodel/MaskingPath.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "platform/Localization.h"
#include "tools/SelectionTrackers.h"
#include "tools/TransformTrackers.h"
#include "views/ZDLEditingView.h"

namespace zandrel {

namespace {

constexpr unsigned kOriginHandleSize = 6;

bool holdsPartContent(const ElementList& selection)
{
    for (const ObjectPtr& object : ArrayUtils::flattenComicElementsArray(selection)) {
        if (dynamic_cast<const PartGroup*>(object.get()) || dynamic_cast<const Part*>(object.get())
            || dynamic_cast<const PartPath*>(object.get()) || dynamic_cast<const MaskingPath*>(object.get()))
            return true;
    }
    return false;
}

} // namespace

SelectionTool::SelectionTool()
    : m_partOriginCursor(
        appController()->getCursorResource(QStringLiteral("Cur_PartOrigin.tiff"), QPointF(8, 9)))
    , m_perspectiveCursor(appController()->getCursorResource(QStringLiteral("DistortCursor"), QPointF(4, 4)))
{
}

std::unique_ptr<ZDLTracker> SelectionTool::createDragTrackerAt(
    const QPointF& point, const ZDLEvent& event, const ElementList& selection)
{
    return std::make_unique<DragTracker>(point, event, selection);
}

std::unique_ptr<ZDLTracker> SelectionTool::createScaleTrackerAt(const QPointF& point,
    const ZDLHandlePtr& handle, const QPointF& origin, const ZDLEvent& event, const ElementList&)
{
    return std::make_unique<ScaleTracker>(point, handle, origin, event);
}

void SelectionTool::nudge(const QPointF& offset)
{
    if (m_allowEditing)
        ZDLTool::nudge(offset);
}

bool SelectionTool::usePerspectiveTool(const ZDLEvent& event, const ZDLHandlePtr& handle) const
{
    return handle && event.option() && handle->xFactor() != 0 && handle->yFactor() != 0 && view()
        && holdsPartContent(view()->selection());
}

QRectF SelectionTool::perspectiveFrame() const
{
    return view() ? ArrayUtils::getElementsBounds(view()->selection()) : QRectF();
}

void SelectionTool::handleMouseDown(const ZDLHandlePtr& handle, const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    const ElementList selection = shown->selection();
    const QString& type = handle->type();
    std::unique_ptr<ZDLTracker> tracker;
    if (type == kScaleHandleType) {
        if (usePerspectiveTool(event, handle))
            tracker = std::make_unique<PerspectiveTracker>(point, handle, event, perspectiveFrame());
        else
            tracker = createScaleTrackerAt(point, handle, transformOrigin(), event, selection);
    } else if (type == kRotateHandleType) {
        tracker = std::make_unique<RotateTracker>(point, transformOrigin(), event, selection);
    } else if (type == kSkewHorizHandleType || type == kSkewVertHandleType) {
        tracker = std::make_unique<SkewTracker>(point, transformOrigin(), event, selection, type);
    } else if (type == kOriginHandleType) {
        if (m_allowEditing)
            tracker = std::make_unique<OriginTracker>(point, event);
    } else if (type == kPartOriginHandleType) {
        const ObjectPtr root = shown->rootObject();
        const auto* pivoted = asProtocol<ComicGraphicElement>(root);
        ZDLDocument* document = editingView() ? editingView()->document() : nullptr;
        if (pivoted && pivoted->hasOrigin() && event.command()) {
            if (document) {
                document->undoableSetPropertyFor(root, ComicGraphicElementState::kHasOriginKey, Value(false));
                document->undoManager()->setActionName(localized("Reset Part Pivot Point"));
            }
        } else {
            tracker = std::make_unique<PartOriginTracker>(point, event);
        }
    }
    if (tracker)
        shown->setCurrentTracker(std::move(tracker));
}

void SelectionTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    const auto* root = shown ? asProtocol<Parent>(shown->rootObject()) : nullptr;
    if (!root || !root->canSelectContents())
        return;
    if (const ZDLHandlePtr handle = getHandleAt(point)) {
        handleMouseDown(handle, point, event);
        return;
    }
    if (event.command() && event.option() && shown->numSelected() == 0
        && asProtocol<ComicGraphicElement>(shown->rootObject())) {
        shown->setCurrentTracker(std::make_unique<PartOriginTracker>(point, event, shown->rootObject()));
        return;
    }
    const ObjectPtr element = shown->childAt(point);
    if (!selectOnPress(element, point, event))
        return;
    if (shown->isSelected(element) && m_allowEditing)
        shown->setCurrentTracker(createDragTrackerAt(point, event, shown->selection()));
}

void SelectionTool::doubleClickAt(const QPointF& point, const ZDLEvent&)
{
    ZDLView* shown = view();
    const auto* root = shown ? asProtocol<Parent>(shown->rootObject()) : nullptr;
    if (!root || !root->canSelectContents() || !editingView())
        return;
    ObjectPtr element = shown->childAt(point);
    if (const auto* alias = dynamic_cast<const PartAlias*>(element.get()))
        element = alias->realPart();
    if (element) {
        editingView()->doEditObject(element);
        return;
    }
    // Double-clicking empty space of a character, or of a group of a character's parts, starts a
    // new part there with the pen.
    const ObjectPtr container = shown->rootObject();
    if (dynamic_cast<const CharacterModel*>(container.get())
        || (dynamic_cast<const Group*>(container.get()) && editingView()->characterDoc()))
        editingView()->editNewPartIn(asProtocol<Parent>(container), point);
}

bool SelectionTool::setCursorAt(const QPointF& point, const ZDLEvent& event)
{
    if (view() && usePerspectiveTool(event, getHandleAt(point))) {
        view()->setCursor(m_perspectiveCursor);
        return true;
    }
    return ZDLTool::setCursorAt(point, event);
}

bool SelectionTool::setHandleCursorAt(const QPointF& point, const ZDLEvent& event)
{
    return m_allowEditing && ZDLTool::setHandleCursorAt(point, event);
}

bool SelectionTool::setObjectCursorAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    if (shown && event.command() && event.option() && shown->numSelected() == 0) {
        const ObjectPtr root = shown->rootObject();
        if (dynamic_cast<const Part*>(root.get()) || dynamic_cast<const ImageElement*>(root.get())) {
            shown->setCursor(m_partOriginCursor);
            return true;
        }
    }
    return ZDLTool::setObjectCursorAt(point, event);
}

void SelectionTool::draw()
{
    drawStandardGraphicsSelection(m_allowEditing, m_allowEditing);
}

QString SelectionTool::toolTip() const
{
    return localized("Select\n"
                     "Click: select; Shift-click: add or remove; Ctrl-click: with all it overlaps\n"
                     "Drag: move (Shift: straight); Alt-drag: duplicate\n"
                     "Drag on empty space: select by area\n"
                     "Double-click: edit the element\n"
                     "Corner grip: scale in proportion (Ctrl: freely; Alt: perspective)\n"
                     "Ctrl+Alt-click with nothing selected: set the part's pivot point");
}

bool SelectionTool::drawsNothing() const
{
    // Without a selection the root part's origin may show.
    return !view() || (view()->numSelected() > 0 && view()->selectionHiddenWhileTracking());
}

HandleList SelectionTool::getHandlesFromFrame(const QRectF& frame)
{
    if (m_allowEditing)
        return ZDLTool::getHandlesFromFrame(frame);
    HandleList handles;
    if (!view() || view()->numSelected() != 1)
        return handles;
    const ObjectPtr only = view()->firstSelected();
    const auto* alias = dynamic_cast<const PartAlias*>(only.get());
    if (dynamic_cast<const Balloon*>(only.get()) || (alias && !alias->supportsOrigin()))
        return handles;
    handles.append(std::make_shared<OriginHandle>(transformOrigin(), kOriginHandleSize, *view()));
    return handles;
}

void SelectionTool::addVisibleTransformHandlesFromFrame(const QRectF& frame, HandleList& handles)
{
    if (m_allowEditing)
        ZDLTool::addVisibleTransformHandlesFromFrame(frame, handles);
}

} // namespace zandrel
