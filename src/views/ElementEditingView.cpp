#include "views/ElementEditingView.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/PasteboardParent.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartElement.h"
#include "comicmodel/ComicPage.h"
#include "graphics/ArrayUtils.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "tools/SelectionTool.h"

namespace zandrel {

namespace {

// The checkerboard behind edited elements: 8-unit cells in two light greys.
constexpr float kCheckerboardCell = 8.0f;
const QColor kCheckerboardLight = QColor::fromRgbF(0.88f, 0.88f, 0.88f);
const QColor kCheckerboardDark = QColor::fromRgbF(0.77f, 0.77f, 0.77f);

} // namespace

ElementEditingView::ElementEditingView(ZDLDocument* document, ScaleSetting scaleSetting, QWidget* parent)
    : BalloonEditingView(document, parent)
    , m_scaleSetting(scaleSetting)
{
    setCurrentTool(std::make_shared<SelectionTool>());
    // The right button selects under the pointer, so that the contextual menu acts on it.
    setRightClickTool(std::make_shared<SelectionTool>());
    const auto settings = document ? document->documentSettings() : nullptr;
    if (settings && scaleSetting == ScaleSetting::PartEditing)
        ZDLView::setViewScale(settings->partEditingViewScale());
}

void ElementEditingView::setRootObject(const ObjectPtr& root)
{
    const bool changed = root != rootObject();
    BalloonEditingView::setRootObject(root);
    if (changed && root) {
        const QRectF content = getContentBounds();
        if (!content.isEmpty())
            scrollToCenterDocPoint(content.center());
    }
}

QRectF ElementEditingView::getContentBounds() const
{
    const QRectF content = ZDLEditingView::getContentBounds();
    if (isEmptyRect(content))
        return content;
    const double scale = viewScale();
    return insetRect(content, -width() / (2 * scale), -height() / (2 * scale));
}

void ElementEditingView::setViewScale(float scale)
{
    BalloonEditingView::setViewScale(scale);
    // Kept with the file, so that it opens as it was left.
    const auto settings = document() ? document()->documentSettings() : nullptr;
    if (settings && m_scaleSetting == ScaleSetting::PartEditing)
        settings->setPartEditingViewScale(viewScale());
}

void ElementEditingView::insertFromScrap(const std::shared_ptr<PasteboardParent>& payload)
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!payload || !root || !document())
        return;
    ElementList elements;
    for (const ObjectPtr& child : payload->children()) {
        if (const auto* part = dynamic_cast<const Part*>(child.get()))
            elements += part->children();
        else if (dynamic_cast<const PartElement*>(child.get())
            || dynamic_cast<const ImageElement*>(child.get()))
            elements.append(child);
    }
    if (elements.isEmpty())
        return;
    if (const auto character = document()->currentCharacter()) {
        for (const ObjectPtr& element : std::as_const(elements))
            character->mergePastedColorsIn(element);
    }
    document()->undoableSetChildren(root->children() + elements, rootObject());
    undoableSetSelection(elements, false);
    document()->undoManager()->setActionName(localized("Paste"));
}

void ElementEditingView::fillBackground(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->fillRect(dirtyRect, CanvasPaint(Qt::white));
    const auto settings = document() ? document()->documentSettings() : nullptr;
    if (settings && settings->backgroundStyle() == 1)
        fillRectWithCheckerboard(canvas, kCheckerboardLight, kCheckerboardDark, dirtyRect, kCheckerboardCell);
}

void ElementEditingView::drawContent(ZDLContext& context, const QRectF& dirtyRect)
{
    const auto* root = asProtocol<Parent>(rootObject());
    if (!root)
        return;
    if (asProtocol<PartElementParent>(rootObject())) {
        ArrayUtils::drawPartElements(root->children(), context);
        return;
    }
    for (const ObjectPtr& child : root->children()) {
        auto* graphic = asProtocol<GraphicElement>(child);
        if (graphic && context.needsToDrawRect(graphic->getInvalidationBounds()))
            graphic->drawIn(context);
    }
}

void ElementEditingView::drawRect(const QRectF& dirtyRect)
{
    fillBackground(dirtyRect);
    ZDLContext context(*this);
    drawContent(context, dirtyRect);
    BalloonEditingView::drawRect(dirtyRect);
}

// --- Page mode ---

bool ElementEditingView::editingPage() const
{
    return dynamic_cast<const ComicPage*>(rootObject().get()) != nullptr;
}

const ActionTable<ElementEditingView>& ElementEditingView::actionTable()
{
    static const auto onPage = [](ElementEditingView& view) { return view.editingPage(); };
    static const ActionTable<ElementEditingView> table {
        { .action = kToggleFloatingAction,
            .validate =
                [](ElementEditingView& view, MenuItemValidation& item) {
                    item.title = localized("Restrict to Panel");
                    item.enabled = view.numSelected() > 0;
                },
            .perform =
                [](ElementEditingView& view, const ActionSender&) {
                    if (view.numSelected() > 0)
                        view.restrictElementsToPanel(view.getSelectionSorted());
                    return true;
                },
            .applies = onPage },
        { .action = kFreeObjectsEditorAction,
            .validate =
                [](ElementEditingView&, MenuItemValidation& item) {
                    item.enabled = true;
                    item.state = MenuItemValidation::State::On;
                },
            .perform =
                [](ElementEditingView& view, const ActionSender&) {
                    if (view.document())
                        view.document()->edit(nullptr);
                    return true;
                },
            .applies = onPage },
    };
    return table;
}

bool ElementEditingView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return BalloonEditingView::tryToPerform(action, sender);
}

bool ElementEditingView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || BalloonEditingView::validateMenuItem(item);
}

} // namespace zandrel
