#include "views/GroupView.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/Group.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ArrayUtils.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "tools/ComicSelectionTool.h"
#include "tools/SelectionTool.h"
#include "views/EditorBackgrounds.h"

namespace zandrel {

namespace {

// Room around the members, in screen points, so that their handles can be reached.
constexpr double kContentMargin = 14.0;
// An image imported onto a page is fitted into this many points.
constexpr float kPageImageSize = 300.0f;

// The lighter dimming over the panels behind a page's free objects.
const QColor kPageHatchA = QColor::fromRgbF(0.7f, 0.7f, 0.7f, 0.4f);
const QColor kPageHatchB = QColor::fromRgbF(0.6f, 0.6f, 0.6f, 0.4f);

} // namespace

GroupView::GroupView(ZDLDocument* document, QWidget* parent)
    : ElementEditingView(document, ScaleSetting::None, parent)
{
    ZDLView::setViewScale(1.0f);
    auto tool = std::make_shared<ComicSelectionTool>();
    if (characterDoc())
        tool->setPartsViewSpecialColoring(true);
    setCurrentTool(tool);
    setRightClickTool(std::make_shared<SelectionTool>());
}

bool GroupView::editingGroup() const
{
    return dynamic_cast<const Group*>(rootObject().get()) != nullptr;
}

void GroupView::documentClosing()
{
    ElementEditingView::documentClosing();
    setRootObject(nullptr);
}

QRectF GroupView::getContentBounds() const
{
    const double margin = kContentMargin / viewScale();
    // What the members draw: a thick outline's mitres may reach past the margin.
    QRectF bounds = getDrawnContentBounds();
    if (!isEmptyRect(bounds))
        bounds = insetRect(bounds, -margin, -margin);
    if (const auto comic = comicDoc() ? comicDoc()->model() : nullptr)
        bounds = unionRect(bounds, comic->bounds());
    else if (const auto character = characterDoc() ? characterDoc()->model() : nullptr)
        bounds = unionRect(bounds, character->getTracingImageBounds());
    return bounds;
}

void GroupView::adjustPastedObjects(const ElementList& objects)
{
    if (!editingPage())
        ElementEditingView::adjustPastedObjects(objects);
}

void GroupView::sizeAndPositionImportedImage(
    ImageElement& image, const ObjectPtr& parent, const QPointF& point)
{
    if (dynamic_cast<const ComicPage*>(parent.get()))
        image.fitToSize(kPageImageSize, point);
    else
        ElementEditingView::sizeAndPositionImportedImage(image, parent, point);
}

void GroupView::insertFromScrap(const std::shared_ptr<PasteboardParent>& payload)
{
    // Not the element editing view's: a group holds what the comic or parts view holds.
    BalloonEditingView::insertFromScrap(payload);
}

void GroupView::createNewPart()
{
    if (comicDoc()) {
        DocumentDialogs::open(kCreateNewPartAction, *document(), QWidget::window());
        return;
    }
    editNewPartIn(asProtocol<Parent>(rootObject()));
}

// --- Responder ---

const ActionTable<GroupView>& GroupView::actionTable()
{
    // A group of a panel or a character, not the page's free objects (the base's page commands).
    static const auto offPage = [](GroupView& view) { return !view.editingPage(); };
    // In a comic the new part's sheet asks for its character; until it exists the item is off.
    static const auto newPart = [](GroupView& view, MenuItemValidation& item) {
        item.enabled
            = view.rootObject() && (view.characterDoc() || DocumentDialogs::isInstalled(item.action));
    };
    static const ActionTable<GroupView> table {
        { .action = kCreateNewPartAction,
            .validate = newPart,
            .perform = runs<&GroupView::createNewPart>,
            .validateToolbarItem = newPart },
        { .action = kEditStylesAction,
            .validate =
                [](GroupView& view, MenuItemValidation& item) {
                    item.enabled = view.characterDoc() && DocumentDialogs::isInstalled(item.action);
                },
            .perform =
                [](GroupView& view, const ActionSender& sender) {
                    if (view.characterDoc())
                        DocumentDialogs::open(sender.action, *view.document(), view.QWidget::window());
                    return true;
                } },
        { .action = kToggleFloatingAction,
            .validate = neverEnabled<GroupView>,
            .perform = [](GroupView&, const ActionSender&) { return true; },
            .applies = offPage },
        { .action = kFreeObjectsEditorAction,
            .validate =
                [](GroupView& view, MenuItemValidation& item) {
                    item.enabled = view.comicDoc() != nullptr;
                    item.state = MenuItemValidation::State::Off;
                },
            .perform =
                [](GroupView& view, const ActionSender&) {
                    if (view.document())
                        view.document()->edit(nullptr);
                    return true;
                },
            .applies = offPage },
    };
    return table;
}

bool GroupView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return ElementEditingView::tryToPerform(action, sender);
}

bool GroupView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ElementEditingView::validateMenuItem(item);
}

// --- Drawing ---

void GroupView::drawRect(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->fillRect(dirtyRect, CanvasPaint(Qt::white));
    const auto* container = asProtocol<Parent>(rootObject());
    if (!isVisible() || !container)
        return;
    ZDLContext context(*this);
    canvas->save();
    const int style = EditorBackgrounds::backgroundStyle(*this);
    if (editingPage())
        drawPageBackground(context, dirtyRect);
    else
        EditorBackgrounds::drawBehind(
            *this, context, dirtyRect, style, asProtocol<GraphicElement>(rootObject()));

    const auto comic = comicDoc() ? comicDoc()->model() : nullptr;
    // Outside the page's panels is greyed under the members, which stay readable over it.
    const bool inLayer = ArrayUtils::getAncestorOfClass<PanelLayer>(rootObject().get()) != nullptr;
    if (comic && editingGroup() && style != EditorBackgrounds::kContext) {
        // A panel's layer does not lead up to its page: the page it lies on is the one shown.
        const ComicPage* page = ArrayUtils::getAncestorOfClass<ComicPage>(rootObject().get());
        if (!page && inLayer)
            page = comic->currentPage().get();
        if (page) {
            ComicStructureList panels;
            page->getPanelsInArray(panels);
            CanvasPath frames;
            for (const auto& element : panels) {
                if (const auto* panel = dynamic_cast<const ComicPanel*>(element.get()))
                    frames.appendPath(panel->panelFramePath());
            }
            EditorBackgrounds::greyOutside(canvas, frames, viewBounds());
        }
    }
    for (const ObjectPtr& child : container->children()) {
        auto* graphic = asProtocol<GraphicElement>(child);
        if (graphic && context.needsToDrawRect(graphic->getInvalidationBounds()))
            graphic->drawIn(context);
    }
    // What reaches out of the panel the group lies in shows greyed, members included.
    const auto panel = comic ? comic->currentPanel() : nullptr;
    if (panel && editingGroup() && inLayer)
        EditorBackgrounds::greyOutside(canvas, panel->panelFramePath(), viewBounds());
    if (const auto character = characterDoc() ? characterDoc()->model() : nullptr)
        character->drawTracingImageIn(*canvas);
    canvas->restore();
    drawPasteboardOverlay();
    BalloonEditingView::drawRect(dirtyRect);
}

void GroupView::drawPageBackground(ZDLContext& context, const QRectF& dirtyRect)
{
    const auto* page = dynamic_cast<const ComicPage*>(rootObject().get());
    if (!page)
        return;
    // The page without its free objects, which this view draws itself.
    for (const auto& row : page->contents())
        row->drawIn(context, dirtyRect);
    context.setShowCurrentPanelFrame(false);
    for (const auto& panel : page->freePanels()) {
        if (intersectsRect(panel->getBounds(), dirtyRect))
            panel->drawIn(context, dirtyRect);
    }
    context.setShowCurrentPanelFrame(true);
    fillRectWithHatchPattern(context.canvas(), kPageHatchA, kPageHatchB, viewBounds());
}

} // namespace zandrel
