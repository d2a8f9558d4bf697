#include "app/core/CharacterDocument.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/DocumentHost.h"
#include "app/core/ModalAlert.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/Group.h"
#include "graphics/ZDLImage.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/RegularFile.h"

#include <QFileInfo>

namespace zandrel {

CharacterDocument::CharacterDocument()
    : CharacterDocument(std::make_shared<CharacterModel>())
{
    m_displayNewDocDialog = true;
}

void CharacterDocument::doneEditingNewCharacterProperties()
{
    m_displayNewDocDialog = false;
    m_editingNewDocProps = false;
    refreshPathControl();
    updateViews();
}

CharacterDocument::CharacterDocument(const std::shared_ptr<CharacterModel>& model)
{
    adoptModel(model ? model : std::make_shared<CharacterModel>());
    // The character's name heads the level bar.
    NotificationCenter::defaultCenter().addObserver(
        this, kModelPropertyChangeNotification, this, [this](const Notification& notification) {
            if (notification.userInfo.value(kPropertyKey).toString() == CharacterModel::kCharacterNameKey) {
                refreshPathControl();
                if (navigationShown())
                    showNavigationForMode(m_navigationMode);
            }
        });
}

CharacterDocument::~CharacterDocument()
{
    if (m_model && m_model->document() == this)
        m_model->setDocument(nullptr);
}

void CharacterDocument::adoptModel(const std::shared_ptr<CharacterModel>& model)
{
    m_model = model;
    if (!m_model->documentSettings())
        m_model->setDocumentSettings(std::make_shared<DocumentSettings>());
    setDocumentSettings(m_model->documentSettings());
    setCurrentCharacter(m_model);
    m_model->setDocument(this);
}

ObjectPtr CharacterDocument::rootModel() const
{
    return m_model;
}

void CharacterDocument::installModel(const ObjectPtr& model)
{
    auto character = std::dynamic_pointer_cast<CharacterModel>(model);
    if (!character)
        return;
    if (m_model)
        m_model->retire();
    // A model read from a file is set up already.
    m_displayNewDocDialog = false;
    adoptModel(character);
}

void CharacterDocument::showNavigationForMode(const QString& title)
{
    m_navigationMode = title;
    m_navigationLevels.removeAllLevels();
    m_navigationLevels.insertLevel(0, title, QImage(), nullptr);
    if (m_model)
        m_navigationLevels.insertLevel(0, m_model->displayName(), m_model->pathIcon(), m_model);
    NotificationCenter::defaultCenter().post(kNavigationChangedNotification, this);
}

void CharacterDocument::hideNavigation()
{
    if (!navigationShown())
        return;
    m_navigationMode.clear();
    m_navigationLevels.removeAllLevels();
    NotificationCenter::defaultCenter().post(kNavigationChangedNotification, this);
}

void CharacterDocument::close()
{
    hideNavigation();
    edit(nullptr);
    if (m_model) {
        m_model->retire();
        m_model.reset();
    }
    setDocumentSettings(nullptr);
    setCurrentCharacter(nullptr);
    m_groupEditor = nullptr;
    setEditors(nullptr, nullptr, nullptr);
    ZDLDocument::close();
}

void CharacterDocument::tellAllGraphics(GraphicNotice notice, GraphicManipulator* object)
{
    if (m_model)
        m_model->tellAllGraphics(notice, object);
}

EditorContainer* CharacterDocument::editorForObject(const ObjectPtr& object) const
{
    // Only the exact class: subclasses of groups have editors of their own.
    if (object && object->className() == Group::kClassName)
        return m_groupEditor;
    return ZDLDocument::editorForObject(object);
}

void CharacterDocument::didSave(SaveOperation operation)
{
    if (operation == SaveOperation::Save || operation == SaveOperation::AutosaveInPlace)
        appController()->characterDocSavedByUser(*this);
}

// --- Pasted and dragged parts ---

void CharacterDocument::undoableInsertFromScrap(
    const ElementList& scrapChildren, InsertionView& view, bool fromDrag)
{
    if (!m_model)
        return;
    const ElementList elements = m_model->filterScrapObjects(scrapChildren);
    if (elements.isEmpty())
        return;
    const auto insert = [this, elements, fromDrag, &view] {
        undoableInsertPartsFromScrap(elements, view);
        undoManager()->setActionName(fromDrag ? localized("Drag Copy") : localized("Paste"));
    };
    if (m_model->pastedPartsAreFromThisCharacter(elements)) {
        insert();
        return;
    }
    ModalAlert alert;
    // The quotation mark in "file‘s" is the one these texts have always had.
    alert.message = fromDrag ? localized("The drag contains parts from a different Parts file.")
                             : localized("The clipboard contains parts from a different Parts file.");
    alert.informativeText = fromDrag
        ? localized("Colors may change in the dragged parts, and colors from the other parts file will be "
                    "merged into this file‘s colors.")
        : localized("Colors may change in the pasted parts, and colors from the other parts file will be "
                    "merged into this file‘s colors.");
    alert.buttons = { localized("Paste"), localized("Cancel") };
    // The answer may come later, from a window-modal alert: the document must still be open then.
    appController()->showAlert(alert, view.window(), [this, insert](int code) {
        if (code == ModalAlert::kFirstButton && m_model)
            insert();
    });
}

void CharacterDocument::undoableInsertPartsFromScrap(const ElementList& elements, InsertionView& view)
{
    if (elements.isEmpty() || !m_model)
        return;
    for (const ObjectPtr& element : elements)
        m_model->mergePastedColorsIn(element);
    const ObjectPtr root = view.rootObject();
    const auto* container = asProtocol<Parent>(root);
    if (!container)
        return;
    undoableSetChildren(container->children() + elements, root);
    view.undoableSetSelection(elements, false);
}

// --- Colours ---

void CharacterDocument::undoableDeleteColor(const std::shared_ptr<ZDLColor>& color, const ObjectPtr& model,
    const std::shared_ptr<ZDLColor>& replacement)
{
    if (!m_model || model != m_model)
        return;
    m_model->replaceColor(color, replacement, m_model, this);
    m_model->undoableDeleteColor(color);
    undoManager()->setActionName(localized("Delete Color"));
}

// --- Tracing image ---

bool CharacterDocument::openTracingImage(const QString& path, QString* reason)
{
    // An unreadable file would only remove the image there was; the caller tells the user instead.
    FileReadError error;
    const ZDLImagePtr image = ZDLImage::initByReferencingURL(path, &error);
    if (reason)
        *reason = error.message;
    if (!m_model || !image || image->pixelSize().isEmpty())
        return false;
    undoableSetPropertyFor(
        m_model, CharacterModel::kTracingImageKey, Value(std::static_pointer_cast<Object>(image)));
    undoableSetPropertyFor(m_model, CharacterModel::kTracingImageVisibleKey, Value(true));
    return true;
}

void CharacterDocument::clearTracingImage()
{
    if (m_model)
        undoableSetPropertyFor(m_model, CharacterModel::kTracingImageKey, Value(ObjectPtr()));
}

void CharacterDocument::toggleTracingImage()
{
    if (!m_model)
        return;
    m_model->setTracingImageVisible(!m_model->tracingImageVisible());
    // Saved with the file, so the autosave must see it although it is not undoable.
    updateChangeCount();
}

// --- Responder ---

void CharacterDocument::saveToCatalog()
{
    // A name that gives no file name (only dots or control characters) cannot be saved under.
    const QString fileName = proposedFileName();
    if (!m_model || m_model->characterName().isEmpty() || fileName.isEmpty())
        return;
    appController()->saveCharacter(
        *this, host() ? host()->alertWindow() : nullptr, CharacterLibraryItem::UserCatalog, fileName);
}

QString CharacterDocument::proposedFileName() const
{
    return proposedFileNameFor(m_model ? m_model->characterName() : QString(), QStringLiteral("parts"));
}

QString CharacterDocument::untitledDocumentName() const
{
    const QString proposed = namedAsCopy() ? QString() : proposedFileName();
    return proposed.isEmpty() ? displayName() : QFileInfo(proposed).completeBaseName();
}

QString CharacterDocument::documentTitle() const
{
    return m_model && !m_model->characterName().trimmed().isEmpty() ? m_model->characterName()
                                                                    : ZDLDocument::documentTitle();
}

const ActionTable<CharacterDocument>& CharacterDocument::actionTable()
{
    static const auto hasImage
        = [](CharacterDocument& document) { return document.m_model && document.m_model->tracingImage(); };
    // The sheets and windows of other subsystems are offered once those have installed them.
    static const auto openSheet = [](CharacterDocument& document, const ActionSender& sender) {
        return DocumentDialogs::open(
            sender.action, document, document.host() ? document.host()->alertWindow() : nullptr);
    };
    static const auto sheetUnlessNewProperties = [](CharacterDocument& document, MenuItemValidation& item) {
        item.enabled = DocumentDialogs::isInstalled(item.action) && !document.m_editingNewDocProps;
    };
    // Toolbar items follow the menu items' rules.
    static const ActionTable<CharacterDocument> table(
        {
            { .action = kClearTracingImageAction,
                .validate = [](CharacterDocument& document,
                                MenuItemValidation& item) { item.enabled = hasImage(document); },
                .perform = runs<&CharacterDocument::clearTracingImage> },
            { .action = kToggleTracingImageAction,
                .validate =
                    [](CharacterDocument& document, MenuItemValidation& item) {
                        item.enabled = hasImage(document);
                        // Without an image nothing is shown: the item reads off rather than on and
                        // disabled.
                        item.state = hasImage(document) && document.m_model->tracingImageVisible()
                            ? MenuItemValidation::State::On
                            : MenuItemValidation::State::Off;
                    },
                .perform = runs<&CharacterDocument::toggleTracingImage> },
            { .action = kTracingImageSettingsAction,
                .validate =
                    [](CharacterDocument& document, MenuItemValidation& item) {
                        item.enabled = hasImage(document) && DocumentDialogs::isInstalled(item.action);
                    },
                .perform = openSheet },
            { .action = kEditCharacterColorsAction,
                .validate = sheetUnlessNewProperties,
                .perform = openSheet },
            { .action = kPropertiesDialogAction, .validate = sheetUnlessNewProperties, .perform = openSheet },
            // An empty character has nothing to print.
            { .action = kPrintDocumentAction,
                .validate =
                    [](CharacterDocument& document, MenuItemValidation& item) {
                        item.enabled = DocumentDialogs::isInstalled(item.action) && document.m_model
                            && document.m_model->numChildren() > 0;
                    },
                .perform = openSheet },
            { .action = kSaveToCatalogAction,
                .validate =
                    [](CharacterDocument& document, MenuItemValidation& item) {
                        item.title = document.m_model && document.m_model->partsKind() != 0
                            ? localized("Save to Scenery")
                            : localized("Save to Vivaviv Izazuda");
                        item.enabled = !appController()->isCatalogFile(document.filePath());
                    },
                .perform = runs<&CharacterDocument::saveToCatalog> },
        },
        ToolbarItems::LikeMenuItems);
    return table;
}

bool CharacterDocument::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return ZDLDocument::tryToPerform(action, sender);
}

bool CharacterDocument::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ZDLDocument::validateMenuItem(item);
}

} // namespace zandrel
