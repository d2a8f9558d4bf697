#include "tools/LibrarySelectionTool.h"

#include "app/CharacterLibraryView.h"
#include "app/Pasteboard.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "graphics/ArrayUtils.h"
#include "tools/SelectionTrackers.h"
#include "views/ZDLView.h"

#include <QPointer>
#include <algorithm>

namespace zandrel {

void LibrarySelectionTool::mouseDownAt(const QPointF& point, const ZDLEvent& event)
{
    ZDLView* shown = view();
    const auto* root = shown ? asProtocol<Parent>(shown->rootObject()) : nullptr;
    if (!root || !root->canSelectContents())
        return;
    const ObjectPtr element = root->getChildAt(point, shown->viewScale());
    if (!selectOnPress(element, point, event))
        return;
    if (shown->isSelected(element))
        shown->setCurrentTracker(std::make_unique<DragAndDropTracker>(point, event));
}

void LibrarySelectionTool::draw()
{
    drawStandardGraphicsSelection(false, false);
}

void DragAndDropTracker::mouseDraggedAt(const QPointF&, const ZDLEvent&)
{
    const QPointer<ZDLView> shown(view());
    if (!shown)
        return;
    const ElementList elements = shown->getSelectionSorted();
    if (elements.isEmpty()) {
        shown->setCurrentTracker(nullptr);
        return;
    }
    PasteboardParentPtr payload = PasteboardParent::initWithChildren(elements);
    payload->setClickPoint(startPt());
    auto* library = qobject_cast<CharacterLibraryView*>(shown.data());
    const std::shared_ptr<CharacterLibraryItem> item = library ? library->currentCharacter() : nullptr;
    if (const CharacterModelPtr character = item ? item->character() : nullptr) {
        payload->setCharacterId(character->characterId());
        payload->setColors(character->colors());
    }

    // The picture stands where the elements are on the screen, the pointer on the pressed point.
    const float scale = shown->viewScale();
    const QRectF bounds = ArrayUtils::getElementsFilteredBounds(elements);
    float imageScale = scale;
    const double side = std::max(bounds.width(), bounds.height()) * scale;
    if (side > kMaxDragImageSide)
        imageScale = float(scale * kMaxDragImageSide / side);
    const QImage image = ArrayUtils::getNSImageForElements(elements, imageScale);
    const QPoint hotSpot = ((startPt() - bounds.topLeft()) * imageScale).toPoint();
    auto* data = new PasteboardMimeData(std::move(payload));

    // The drag runs its own loop until the drop; this tracker is gone by then.
    shown->setCurrentTracker(nullptr);
    if (library)
        library->beginDraggingSession(data, image, hotSpot);
    else
        delete data;
}

} // namespace zandrel
