// The comic view's commands on pages, rows and panels, free panels and layers, and their menu
// validation. Each command is one undo step; the structure changes go through the comic document.
#include "app/EditingControllerView.h"
#include "app/core/ActionNames.h"
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

// The sheets of the dialogs subsystem; a command whose sheet is not installed is not offered.
bool isSheetAction(const QString& action)
{
    static const QStringList sheets { kNewPageAction, kInsertRowAction, kDeleteRowAction, kSplitPanelAction,
        kPanelPropertiesAction, kResizeComicAction, kSetPageMarginsAction, kGutterSizeAction,
        kCreateNewPartAction, kExportDialogAction };
    return sheets.contains(action);
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

bool ComicView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (action == kDeletePageAction)
        deletePage();
    else if (action == kInsertPanelBeforeAction || action == kInsertPanelAfterAction)
        insertPanel(action == kInsertPanelAfterAction);
    else if (action == kDeletePanelAction)
        deletePanel(sender.title);
    else if (action == kToggleFocusOnPanelAction)
        toggleFocusOnPanel();
    else if (action == kNewFloatingPanelAction || action == kNewInsetPanelAction)
        newFreePanel(action == kNewInsetPanelAction, sender.title);
    else if (action == kBringPanelForwardAction || action == kSendPanelBackwardAction)
        movePanelInOrder(action == kBringPanelForwardAction, sender.title);
    else if (action == kToggleEditBackgroundAction)
        toggleEditBackground();
    else if (action == kMoveToLayerAction)
        moveToLayer(sender.title);
    else if (action == kToggleFloatingAction)
        toggleFloating(sender.title);
    else if (action == kFreeObjectsEditorAction)
        openFreeObjectsEditor();
    else if (action == kEditFreeObjectsLayerAction)
        openFreeObjectsEditor(m_clickedFreeElement);
    else if (action == kRestrictToPanelAction)
        restrictToPanel();
    else if (isSheetAction(action)) {
        // What is being typed belongs in the export.
        if (action == kExportDialogAction)
            exitTextEditing();
        return document() && DocumentDialogs::open(action, *document(), QWidget::window());
    } else
        return BalloonEditingView::tryToPerform(action, sender);
    return true;
}

bool ComicView::validateComicItem(MenuItemValidation& item)
{
    const QString& action = item.action;
    ComicModel* model = comicModel();
    const auto panel = currentPanel();
    const auto& page = model ? model->currentPage() : nullptr;
    const bool fixedPanel = panel && !panel->isFree();
    // While a balloon's text is typed in place the page and its panels stay as they are: a command
    // that changed them would take the balloon being typed in away from under the typing.
    const bool typing = textEditing();
    const auto on
        = [](bool state) { return state ? MenuItemValidation::State::On : MenuItemValidation::State::Off; };
    if (isSheetAction(action)) {
        // The sheets come with the dialogs; until one is installed its command is not offered.
        bool allowed = !typing;
        if (action == kSetPageMarginsAction || action == kExportDialogAction)
            allowed = true;
        else if (action == kInsertRowAction || action == kSplitPanelAction)
            allowed = !typing && fixedPanel;
        else if (action == kDeleteRowAction)
            allowed = !typing && fixedPanel && page && page->numContents() >= 2;
        item.enabled = allowed && DocumentDialogs::isInstalled(action);
    } else if (action == kDeletePageAction) {
        item.enabled = !typing && model && model->numPages() >= 2;
    } else if (action == kInsertPanelBeforeAction || action == kInsertPanelAfterAction) {
        item.enabled = !typing && fixedPanel && dynamic_cast<ComicRow*>(panel->parent());
    } else if (action == kDeletePanelAction) {
        // Without a current panel the item stays enabled and the command does nothing.
        const ComicStructureElement* parent = panel ? panel->parent() : nullptr;
        item.enabled = !panel
            || (!typing
                && (panel->isFree()
                    || (parent
                        && (parent->getElementBefore(panel.get()) || parent->getElementAfter(panel.get())))));
    } else if (action == kToggleFocusOnPanelAction) {
        item.enabled = !typing;
        item.state = on(model && model->focusOnPanel());
    } else if (action == kNewFloatingPanelAction || action == kNewInsetPanelAction) {
        item.enabled = page != nullptr;
    } else if (action == kBringPanelForwardAction) {
        item.enabled = page && panel && page->panelToMovePanelInFrontOf(*panel);
    } else if (action == kSendPanelBackwardAction) {
        item.enabled = page && panel && page->panelToMovePanelBehind(*panel);
    } else if (action == kToggleEditBackgroundAction) {
        item.enabled = !typing;
        item.state = on(model && model->editBackground());
    } else if (action == kMoveToLayerAction) {
        item.enabled = numSelected() > 0;
        item.title = model && model->editBackground() ? localized("Move to Foreground Layer")
                                                      : localized("Move to Background Layer");
    } else if (action == kToggleFloatingAction) {
        item.enabled = numSelected() > 0;
        item.title = localized("Free from Panel");
    } else if (action == kFreeObjectsEditorAction) {
        item.enabled = true;
        item.state = MenuItemValidation::State::Off;
    } else if (action == kEditFreeObjectsLayerAction || action == kRestrictToPanelAction) {
        item.enabled = true;
    } else if (action == kSetBackgroundAction) {
        item.enabled = false;
        item.state = MenuItemValidation::State::Off;
    } else {
        return false;
    }
    return true;
}

bool ComicView::validateMenuItem(MenuItemValidation& item)
{
    if (item.isToolbarItem) {
        if (item.action == kCreateNewPartAction || item.action == kPanelPropertiesAction) {
            // A new part and the panel's properties wait until the typing ends.
            item.enabled = DocumentDialogs::isInstalled(item.action) && !textEditing();
            return true;
        }
        return BalloonEditingView::validateMenuItem(item);
    }
    return validateComicItem(item) || BalloonEditingView::validateMenuItem(item);
}

} // namespace zandrel
