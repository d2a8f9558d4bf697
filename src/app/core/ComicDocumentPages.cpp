// The comic document's pages: adding and deleting them, the navigation between them, export names,
// editors and responder.
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/DocumentHost.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/Group.h"
#include "platform/Localization.h"

#include <algorithm>

namespace zandrel {

void ComicDocument::undoableAddPageAt(
    qsizetype index, int rows, int panels, int shape, qint64 lineStyle, float weight, float roundness)
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!comic || rows < 1 || panels < 1)
        return;
    auto page = std::make_shared<ComicPage>();
    page->initWithRect(QRectF(QPointF(0, 0), comic->size()), comic.get(), rows, panels);
    ComicPanel::setFrameOfPanelsIn(*page, shape, weight, lineStyle, roundness);
    ComicStructureList pages = comic->contents();
    pages.insert(pages.begin() + std::clamp<qsizetype>(index, 0, qsizetype(pages.size())), page);
    undoableSetContents(pages, comic);
    undoableSetPropertyFor(comic, ComicModel::kCurrentPageKey, Value(ObjectPtr(page)));
    undoableSetPropertyFor(comic, ComicModel::kCurrentPanelKey,
        Value(ObjectPtr(std::dynamic_pointer_cast<ComicPanel>(page->firstPanel()))));
    undoManager()->setActionName(localized("Insert Page"));
}

void ComicDocument::undoableDeleteCurrentPage()
{
    const std::shared_ptr<ComicModel> comic = model();
    if (!comic || comic->numPages() < 2)
        return;
    ComicStructureList pages = comic->contents();
    const auto deleted = std::find(pages.begin(), pages.end(), comic->currentPage());
    if (deleted == pages.end())
        return;
    const auto index = std::size_t(deleted - pages.begin());
    pages.erase(deleted);
    const auto next = pages.at(std::min(index, pages.size() - 1));
    undoableSetPropertyFor(comic, ComicModel::kCurrentPageKey, Value(ObjectPtr(next)));
    undoableSetContents(pages, comic);
    undoManager()->setActionName(localized("Delete page"));
}

void ComicDocument::currentPageChanged()
{
    updatePageControls();
}

void ComicDocument::numberOfPagesChanged()
{
    updatePageControls();
}

void ComicDocument::newComicPropertiesStarted()
{
    m_editingNewDocProps = true;
    if (m_windowLink)
        m_windowLink->newComicSheetShown(true);
}

void ComicDocument::doneEditingNewComicProperties()
{
    if (!m_editingNewDocProps)
        return;
    m_editingNewDocProps = false;
    if (m_windowLink)
        m_windowLink->newComicSheetShown(false);
    numberOfPagesChanged();
}

PageControls ComicDocument::pageControls() const
{
    PageControls controls;
    if (!m_model)
        return controls;
    controls.pageCount = m_model->numPages();
    controls.currentIndex = m_model->currentPageIndex();
    if (controls.pageCount < 2)
        return controls;
    // The page stays while its balloon text is typed, while an editor works on something of it (the
    // page's free objects, a part, a group) and while the new-comic sheet rebuilds the comic.
    const bool held
        = (m_windowLink && m_windowLink->textEditing()) || currentEditor() || m_editingNewDocProps;
    controls.visible = true;
    controls.previousEnabled = controls.currentIndex > 0 && !held;
    controls.nextEnabled = controls.currentIndex < controls.pageCount - 1 && !held;
    controls.popupEnabled = !held;
    return controls;
}

void ComicDocument::updatePageControls()
{
    if (m_windowLink)
        m_windowLink->showPageControls(pageControls());
}

void ComicDocument::gotoPrevPage()
{
    if (m_model)
        m_model->setCurrentPageIndex(m_model->currentPageIndex() - 1);
}

void ComicDocument::gotoNextPage()
{
    if (m_model)
        m_model->setCurrentPageIndex(m_model->currentPageIndex() + 1);
}

void ComicDocument::gotoSelectedPage(qsizetype index)
{
    if (m_model)
        m_model->setCurrentPageIndex(index);
}

QString ComicDocument::documentNameWithQualifier(ExportKind qualifier, const QString& extension) const
{
    const QString name = documentNameWithoutExtension();
    if (qualifier == ExportKind::Page && m_model)
        return withExtension(
            localized("%1 page %2").arg(name).arg(m_model->currentPageIndex() + 1), extension);
    if (qualifier == ExportKind::Panel && m_model)
        return withExtension(
            localized("%1 panel %2").arg(name).arg(m_model->currentPanelIndex() + 1), extension);
    return ZDLDocument::documentNameWithQualifier(qualifier, extension);
}

QString ComicDocument::proposedFileName() const
{
    return proposedFileNameFor(m_model ? m_model->name() : QString(), QStringLiteral("comic"));
}

QString ComicDocument::documentTitle() const
{
    return m_model && !m_model->name().trimmed().isEmpty() ? m_model->name() : ZDLDocument::documentTitle();
}

EditorContainer* ComicDocument::editorForObject(const ObjectPtr& object) const
{
    // Only the exact class: balloon groups have an editor of their own.
    if (object && (object->className() == Group::kClassName || dynamic_cast<const ComicPage*>(object.get())))
        return m_groupEditor;
    return ZDLDocument::editorForObject(object);
}

ObjectPtr ComicDocument::nextLevelObject(const ObjectPtr& object) const
{
    // A page's free objects sit above the panels: leaving them goes back to the edited panel.
    const auto* page = dynamic_cast<const ComicPage*>(object.get());
    if (!page)
        return ZDLDocument::nextLevelObject(object);
    const auto* owner = dynamic_cast<const ComicModel*>(page->parent());
    const auto panel = owner ? owner->currentPanel() : nullptr;
    return panel ? ObjectPtr(panel->frontLayer()) : nullptr;
}

bool ComicDocument::revertToSaved(DocumentError* error)
{
    edit(nullptr);
    const bool reverted = ZDLDocument::revertToSaved(error);
    numberOfPagesChanged();
    if (reverted && m_catalogController)
        m_catalogController->comicModelReplaced();
    return reverted;
}

const ActionTable<ComicDocument>& ComicDocument::actionTable()
{
    using State = MenuItemValidation::State;
    // The colour window, the properties sheet and the sharing menu come with their own parts of the
    // program; until they are installed they are not offered.
    static const auto openSheet = [](ComicDocument& document, const ActionSender& sender) {
        return DocumentDialogs::open(
            sender.action, document, document.host() ? document.host()->alertWindow() : nullptr);
    };
    static const auto sheetUnlessNewProperties = [](ComicDocument& document, MenuItemValidation& item) {
        item.enabled = DocumentDialogs::isInstalled(item.action) && !document.m_editingNewDocProps;
    };
    static const auto sheet = [](ComicDocument&, MenuItemValidation& item) {
        item.enabled = DocumentDialogs::isInstalled(item.action);
    };
    // Toolbar items follow the menu items' rules.
    static const ActionTable<ComicDocument> table(
        {
            { .action = kGotoPrevPageAction,
                .validate
                = [](ComicDocument& document,
                      MenuItemValidation& item) { item.enabled = document.pageControls().previousEnabled; },
                .perform = runs<&ComicDocument::gotoPrevPage> },
            { .action = kGotoNextPageAction,
                .validate
                = [](ComicDocument& document,
                      MenuItemValidation& item) { item.enabled = document.pageControls().nextEnabled; },
                .perform = runs<&ComicDocument::gotoNextPage> },
            { .action = kGotoSelectedPageAction,
                .validate =
                    [](ComicDocument& document, MenuItemValidation& item) {
                        const PageControls controls = document.pageControls();
                        item.enabled = controls.popupEnabled;
                        item.state = item.tag == controls.currentIndex ? State::On : State::Off;
                    },
                .perform =
                    [](ComicDocument& document, const ActionSender& sender) {
                        document.gotoSelectedPage(sender.tag);
                        return true;
                    } },
            { .action = kToggleCatalogViewAction,
                .validate =
                    [](ComicDocument& document, MenuItemValidation& item) {
                        item.enabled = document.m_model != nullptr;
                        item.state = document.isCatalogViewOpen() ? State::On : State::Off;
                    },
                .perform =
                    [](ComicDocument& document, const ActionSender&) {
                        document.setIsCatalogViewOpen(!document.isCatalogViewOpen());
                        return true;
                    } },
            { .action = kEditCharacterColorsAction,
                .validate = sheetUnlessNewProperties,
                .perform = openSheet },
            { .action = kPropertiesDialogAction,
                .validate =
                    [](ComicDocument& document, MenuItemValidation& item) {
                        sheetUnlessNewProperties(document, item);
                        // The shared menu item names a character; here it opens the comic's own sheet.
                        if (!item.isToolbarItem)
                            item.title = localized("Comic Properties…");
                    },
                .perform = openSheet },
            { .action = kShareAction, .validate = sheet, .perform = openSheet },
            { .action = kPrintDocumentAction, .validate = sheet, .perform = openSheet },
        },
        ToolbarItems::LikeMenuItems);
    return table;
}

bool ComicDocument::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return ZDLDocument::tryToPerform(action, sender);
}

bool ComicDocument::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ZDLDocument::validateMenuItem(item);
}

} // namespace zandrel
