#include "views/BalloonGroupView.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/ComicDocument.h"
#include "app/core/PasteboardParent.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/ComicSelectionTool.h"
#include "tools/SelectionTool.h"
#include "views/EditorBackgrounds.h"

namespace zandrel {

BalloonGroupView::BalloonGroupView(ZDLDocument* document, QWidget* parent)
    : ElementEditingView(document, ScaleSetting::None, parent)
{
    ZDLView::setViewScale(1.0f);
    setCurrentTool(std::make_shared<ComicSelectionTool>());
    setRightClickTool(std::make_shared<SelectionTool>());
}

std::shared_ptr<BalloonGroup> BalloonGroupView::editBalloonGroup() const
{
    return std::dynamic_pointer_cast<BalloonGroup>(rootObject());
}

void BalloonGroupView::documentClosing()
{
    ElementEditingView::documentClosing();
    setRootObject(nullptr);
}

QRectF BalloonGroupView::getContentBounds() const
{
    const auto group = editBalloonGroup();
    if (!group)
        return QRectF();
    QRectF bounds = group->getBounds();
    if (EditorBackgrounds::backgroundStyle(*this) == EditorBackgrounds::kContext) {
        if (const auto comic = comicDoc() ? comicDoc()->model() : nullptr)
            bounds = unionRect(bounds, comic->bounds());
        else if (const auto character = characterDoc() ? characterDoc()->model() : nullptr)
            bounds = unionRect(bounds, character->getBounds());
    }
    return bounds;
}

void BalloonGroupView::insertFromScrap(const std::shared_ptr<PasteboardParent>& payload)
{
    const auto group = editBalloonGroup();
    if (!payload || !group || !document())
        return;
    const ElementList balloons = ArrayUtils::membersOfOfKindOfClass<Balloon>(
        ArrayUtils::flattenComicElementsArray(payload->children()));
    if (balloons.isEmpty())
        return;
    if (const auto comic = comicDoc() ? comicDoc()->model() : nullptr) {
        comic->mergeInCharactersAndColors(balloons);
        if (const auto panel = comic->currentPanel())
            panel->adjustPastedObjects(balloons);
    }
    document()->undoableSetChildren(group->children() + balloons, rootObject());
    undoableSetSelection(balloons, false);
    document()->undoManager()->setActionName(localized("Paste"));
}

// A balloon group holds balloons only: no groups inside it, no parts.
const ActionTable<BalloonGroupView>& BalloonGroupView::actionTable()
{
    static const ActionTable<BalloonGroupView> table {
        { .action = kCreateNewPartAction,
            .validate = neverEnabled<BalloonGroupView>,
            .validateToolbarItem = neverEnabled<BalloonGroupView> },
        { .action = kGroupAction, .validate = neverEnabled<BalloonGroupView> },
    };
    return table;
}

bool BalloonGroupView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ElementEditingView::validateMenuItem(item);
}

void BalloonGroupView::drawRect(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->fillRect(dirtyRect, CanvasPaint(Qt::white));
    if (!isVisible())
        return;
    ZDLContext context(*this);
    canvas->save();
    const auto group = editBalloonGroup();
    EditorBackgrounds::drawBehind(
        *this, context, dirtyRect, EditorBackgrounds::backgroundStyle(*this), group.get());
    if (group) {
        for (const ObjectPtr& child : group->children()) {
            if (auto* graphic = asProtocol<GraphicElement>(child))
                graphic->drawIn(context);
        }
    }
    // What lies outside the current panel shows greyed, balloons included.
    const auto comic = comicDoc() ? comicDoc()->model() : nullptr;
    if (const auto panel = comic ? comic->currentPanel() : nullptr)
        EditorBackgrounds::greyOutside(canvas, panel->panelFramePath(), viewBounds());
    canvas->restore();
    BalloonEditingView::drawRect(dirtyRect);
}

} // namespace zandrel
