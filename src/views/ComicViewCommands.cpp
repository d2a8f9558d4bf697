// The comic view's commands on pages, rows and panels, free panels and layers, and their menu
// validation. Each command is one undo step; the structure changes go through the comic document.
#include "app/EditingControllerView.h"
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/GraphicUtils.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "views/ComicView.h"
#include "views/ElementEditingView.h"

#include <algorithm>

namespace zandrel {

namespace {

// A free panel made from a panel of a row takes half its size, but no less than this.
constexpr double kSmallestNewFreePanel = 100.0;
// New free panels stay this far inside the page.
constexpr double kFreePanelPageMargin = 1.0;

template <class T> std::shared_ptr<T> sharedOf(T* object)
{
    return object ? std::dynamic_pointer_cast<T>(object->shared_from_this()) : nullptr;
}

template <class List, class T> List without(List list, const T& member)
{
    list.erase(std::remove(list.begin(), list.end(), member), list.end());
    return list;
}

} // namespace

// --- Pages, rows and panels ---

void ComicView::deletePage()
{
    if (ComicDocument* document = comicDoc())
        document->undoableDeleteCurrentPage();
}

void ComicView::insertPanel(bool after)
{
    if (ComicDocument* document = comicDoc())
        document->undoableInsertPanelBeside(currentPanel(), after);
}

void ComicView::deletePanel(const QString& actionName)
{
    if (ComicDocument* document = comicDoc())
        document->undoableDeletePanel(currentPanel(), actionName);
}

void ComicView::splitPanelIntoRows(int rows, int panels)
{
    if (ComicDocument* document = comicDoc())
        document->undoableSplitPanel(currentPanel(), rows, panels);
}

void ComicView::toggleFocusOnPanel()
{
    if (ComicModel* model = comicModel())
        model->setFocusOnPanel(!model->focusOnPanel());
}

// --- Free panels and layers ---

void ComicView::newFreePanel(bool inset, const QString& actionName)
{
    ComicDocument* document = comicDoc();
    const auto& model = document ? document->model() : nullptr;
    const auto& page = model ? model->currentPage() : nullptr;
    if (!page)
        return;
    const auto current = model->currentPanel();
    const QRectF bounds = current ? current->bounds() : QRectF();
    const double gutter = model->panelGutter();
    QRectF rect;
    const bool fromFree = current && current->isFree();
    if (fromFree) {
        rect = bounds.translated(bounds.width() + gutter, 0);
    } else {
        const double width = std::max<double>(float(bounds.width()) / 2.0f, kSmallestNewFreePanel);
        const double height = std::max<double>(float(bounds.height()) / 2.0f, kSmallestNewFreePanel);
        rect = insetRect(QRectF(bounds.topLeft(), QSizeF(width, height)), gutter, gutter);
    }
    // An inset panel made from a panel of a row may stick out of the page; nothing else does.
    if (!inset || fromFree)
        rect
            = keepRectInsideRect(rect, insetRect(page->bounds(), kFreePanelPageMargin, kFreePanelPageMargin));
    auto panel = std::make_shared<ComicPanel>();
    panel->initWithRect(rect, page.get());
    if (current)
        panel->copyPropertiesFrom(*current);
    auto list = inset ? page->insetPanels() : page->floatingPanels();
    list.push_back(panel);
    if (inset)
        document->undoableSetInsetPanels(list, page, panel);
    else
        document->undoableSetFloatingPanels(list, page, panel);
    document->undoManager()->setActionName(actionName);
}

void ComicView::movePanelInOrder(bool forward, const QString& actionName)
{
    ComicDocument* document = comicDoc();
    const auto& model = document ? document->model() : nullptr;
    const auto& page = model ? model->currentPage() : nullptr;
    const auto panel = model ? model->currentPanel() : nullptr;
    if (!page || !panel || !panel->isFree())
        return;
    const auto other
        = forward ? page->panelToMovePanelInFrontOf(*panel) : page->panelToMovePanelBehind(*panel);
    if (!other)
        return;
    auto list = without(panel->isFloating() ? page->floatingPanels() : page->insetPanels(), panel);
    auto at = std::find(list.begin(), list.end(), other);
    list.insert(forward ? at + 1 : at, panel);
    if (panel->isFloating())
        document->undoableSetFloatingPanels(list, page, panel);
    else
        document->undoableSetInsetPanels(list, page, panel);
    document->undoManager()->setActionName(actionName);
}

void ComicView::toggleEditBackground()
{
    deselectAll();
    if (ComicModel* model = comicModel())
        model->setEditBackground(!model->editBackground());
}

// Takes the selected elements out of the view's root, undoably, and returns them back to front.
ElementList ComicView::takeSelectionFromRoot(const Parent& root)
{
    const ElementList moved = getSelectionSorted();
    ElementList remaining = root.children();
    for (const ObjectPtr& object : moved)
        remaining.removeAll(object);
    const ObjectPtr source = rootObject();
    undoableSetSelection({}, false);
    document()->undoableSetChildren(remaining, source);
    document()->objectsDeletedByUserInParent(source);
    return moved;
}

void ComicView::moveToLayer(const QString& actionName)
{
    ComicModel* model = comicModel();
    const auto panel = currentPanel();
    const auto* root = asProtocol<Parent>(rootObject());
    if (!model || !panel || !root || numSelected() == 0 || !document())
        return;
    const ElementList moved = takeSelectionFromRoot(*root);
    const PanelLayerPtr target = model->editBackground() ? panel->frontLayer() : panel->backLayer();
    document()->undoableSetChildren(target->children() + moved, target);
    model->setEditBackground(!model->editBackground());
    undoableSetSelection(moved, false);
    document()->undoManager()->setActionName(actionName);
}

// --- Free objects ---

void ComicView::toggleFloating(const QString& actionName)
{
    ComicModel* model = comicModel();
    const auto& page = model ? model->currentPage() : nullptr;
    const auto* root = asProtocol<Parent>(rootObject());
    if (!page || !root || numSelected() == 0 || !document())
        return;
    const ElementList moved = takeSelectionFromRoot(*root);
    // Where they are, above the page's other free objects.
    document()->undoableSetChildren(page->children() + moved, page);
    undoableSetSelection(moved, false);
    document()->undoManager()->setActionName(actionName);
    document()->edit(page);
}

void ComicView::openFreeObjectsEditor(const ObjectPtr& selecting)
{
    ComicModel* model = comicModel();
    const auto& page = model ? model->currentPage() : nullptr;
    if (!page || !document())
        return;
    document()->edit(page);
    auto* editor = dynamic_cast<EditingControllerView*>(document()->currentEditor());
    ZDLEditingView* editing = editor ? editor->editingView() : nullptr;
    if (selecting && editing && editing->rootObject() == ObjectPtr(page))
        editing->select(selecting, true);
}

void ComicView::restrictToPanel()
{
    const ObjectPtr element = m_clickedFreeElement;
    if (!element)
        return;
    restrictElementsToPanel({ element });
    const auto* member = asProtocol<ModelElement>(element);
    const auto* layer = member ? dynamic_cast<const PanelLayer*>(member->parent()) : nullptr;
    const auto panel = layer ? sharedOf(layer->parent()) : nullptr;
    if (panel)
        undoableSetSelectionAndPanel({ element }, panel, false);
}

// --- Responder ---

const ActionTable<ComicView>& ComicView::actionTable()
{
    using State = MenuItemValidation::State;
    // What the structure allows the comic document knows. While a balloon's text is typed in place
    // the page and its panels stay as they are: a command that changed them would take the balloon
    // being typed in away from under the typing.
    static const auto structureAllows = [](ComicView& view, bool (ComicDocument::*allows)() const) {
        return !view.textEditing() && view.comicDoc() && (view.comicDoc()->*allows)();
    };
    static const auto currentPage = [](ComicView& view) {
        ComicModel* model = view.comicModel();
        return model ? model->currentPage() : nullptr;
    };
    static const auto on = [](bool state) { return state ? State::On : State::Off; };
    // The sheets come with the dialogs; until one is installed its command is not offered.
    static const auto offerSheet = [](MenuItemValidation& item, bool allowed) {
        item.enabled = allowed && DocumentDialogs::isInstalled(item.action);
    };
    static const auto unlessTyping
        = [](ComicView& view, MenuItemValidation& item) { offerSheet(item, !view.textEditing()); };
    static const auto openSheet = [](ComicView& view, const ActionSender& sender) {
        return view.document()
            && DocumentDialogs::open(sender.action, *view.document(), view.QWidget::window());
    };
    // On the toolbar a new part and the panel's properties wait until the typing ends.
    static const auto offerToolbarSheet = [](ComicView& view, MenuItemValidation& item) {
        item.enabled = DocumentDialogs::isInstalled(item.action) && !view.textEditing();
    };
    static const auto validateInsertPanel = [](ComicView& view, MenuItemValidation& item) {
        item.enabled = structureAllows(view, &ComicDocument::canInsertPanel);
    };
    static const ActionTable<ComicView> table {
        { .action = kNewPageAction, .validate = unlessTyping, .perform = openSheet },
        { .action = kDeletePageAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    ComicModel* model = view.comicModel();
                    item.enabled = !view.textEditing() && model && model->numPages() >= 2;
                },
            .perform = runs<&ComicView::deletePage> },
        { .action = kInsertRowAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    offerSheet(item, structureAllows(view, &ComicDocument::canInsertRow));
                },
            .perform = openSheet },
        { .action = kDeleteRowAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    offerSheet(item, structureAllows(view, &ComicDocument::canDeleteRow));
                },
            .perform = openSheet },
        { .action = kInsertPanelBeforeAction,
            .validate = validateInsertPanel,
            .perform =
                [](ComicView& view, const ActionSender&) {
                    view.insertPanel(false);
                    return true;
                } },
        { .action = kInsertPanelAfterAction,
            .validate = validateInsertPanel,
            .perform =
                [](ComicView& view, const ActionSender&) {
                    view.insertPanel(true);
                    return true;
                } },
        { .action = kDeletePanelAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    // Without a current panel the item stays enabled and the command does nothing.
                    item.enabled
                        = !view.currentPanel() || structureAllows(view, &ComicDocument::canDeletePanel);
                },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    view.deletePanel(sender.title);
                    return true;
                } },
        { .action = kSplitPanelAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    offerSheet(item, structureAllows(view, &ComicDocument::canSplitPanel));
                },
            .perform = openSheet },
        { .action = kToggleFocusOnPanelAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    ComicModel* model = view.comicModel();
                    item.enabled = !view.textEditing();
                    item.state = on(model && model->focusOnPanel());
                },
            .perform = runs<&ComicView::toggleFocusOnPanel> },
        { .action = kPanelPropertiesAction,
            .validate = unlessTyping,
            .perform = openSheet,
            .validateToolbarItem = offerToolbarSheet },
        { .action = kResizeComicAction, .validate = unlessTyping, .perform = openSheet },
        { .action = kSetPageMarginsAction,
            .validate = [](ComicView&, MenuItemValidation& item) { offerSheet(item, true); },
            .perform = openSheet },
        { .action = kGutterSizeAction, .validate = unlessTyping, .perform = openSheet },
        { .action = kCreateNewPartAction,
            .validate = unlessTyping,
            .perform = openSheet,
            .validateToolbarItem = offerToolbarSheet },
        { .action = kExportDialogAction,
            .validate = [](ComicView&, MenuItemValidation& item) { offerSheet(item, true); },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    // What is being typed belongs in the export.
                    view.exitTextEditing();
                    return openSheet(view, sender);
                } },
        { .action = kNewFloatingPanelAction,
            .validate
            = [](ComicView& view, MenuItemValidation& item) { item.enabled = currentPage(view) != nullptr; },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    view.newFreePanel(false, sender.title);
                    return true;
                } },
        { .action = kNewInsetPanelAction,
            .validate
            = [](ComicView& view, MenuItemValidation& item) { item.enabled = currentPage(view) != nullptr; },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    view.newFreePanel(true, sender.title);
                    return true;
                } },
        { .action = kBringPanelForwardAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    const auto page = currentPage(view);
                    const auto panel = view.currentPanel();
                    item.enabled = page && panel && page->panelToMovePanelInFrontOf(*panel);
                },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    view.movePanelInOrder(true, sender.title);
                    return true;
                } },
        { .action = kSendPanelBackwardAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    const auto page = currentPage(view);
                    const auto panel = view.currentPanel();
                    item.enabled = page && panel && page->panelToMovePanelBehind(*panel);
                },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    view.movePanelInOrder(false, sender.title);
                    return true;
                } },
        { .action = kToggleEditBackgroundAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    ComicModel* model = view.comicModel();
                    item.enabled = !view.textEditing();
                    item.state = on(model && model->editBackground());
                },
            .perform = runs<&ComicView::toggleEditBackground> },
        { .action = kMoveToLayerAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    ComicModel* model = view.comicModel();
                    item.enabled = view.numSelected() > 0;
                    item.title = model && model->editBackground() ? localized("Move to Foreground Layer")
                                                                  : localized("Move to Background Layer");
                },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    view.moveToLayer(sender.title);
                    return true;
                } },
        { .action = kToggleFloatingAction,
            .validate =
                [](ComicView& view, MenuItemValidation& item) {
                    item.enabled = view.numSelected() > 0;
                    item.title = localized("Free from Panel");
                },
            .perform =
                [](ComicView& view, const ActionSender& sender) {
                    view.toggleFloating(sender.title);
                    return true;
                } },
        { .action = kFreeObjectsEditorAction,
            .validate =
                [](ComicView&, MenuItemValidation& item) {
                    item.enabled = true;
                    item.state = State::Off;
                },
            .perform =
                [](ComicView& view, const ActionSender&) {
                    view.openFreeObjectsEditor();
                    return true;
                } },
        { .action = kEditFreeObjectsLayerAction,
            .validate = alwaysEnabled<ComicView>,
            .perform =
                [](ComicView& view, const ActionSender&) {
                    view.openFreeObjectsEditor(view.m_clickedFreeElement);
                    return true;
                } },
        { .action = kRestrictToPanelAction,
            .validate = alwaysEnabled<ComicView>,
            .perform = runs<&ComicView::restrictToPanel> },
        // Comics are drawn on their own paper; the choice is the parts views'.
        { .action = kSetBackgroundAction,
            .validate =
                [](ComicView&, MenuItemValidation& item) {
                    item.enabled = false;
                    item.state = State::Off;
                } },
    };
    return table;
}

bool ComicView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return BalloonEditingView::tryToPerform(action, sender);
}

bool ComicView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || BalloonEditingView::validateMenuItem(item);
}

} // namespace zandrel
