#include "app/DocumentController.h"

#include "app/AppController.h"
#include "app/CharacterWindowContents.h"
#include "app/ComicWindowContents.h"
#include "app/DocumentWindow.h"
#include "app/FileDialogFolder.h"
#include "app/MenuActions.h"
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ComicDocument.h"
#include "app/core/ModalAlert.h"
#include "platform/Localization.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

namespace zandrel {

namespace {

const QString kRecentDocumentsKey = QStringLiteral("recentDocuments");

QString canonical(const QString& path)
{
    const QFileInfo info(path);
    const QString resolved = info.canonicalFilePath();
    return resolved.isEmpty() ? info.absoluteFilePath() : resolved;
}

DocumentController::ImportPathChooser& importPathChooser()
{
    static DocumentController::ImportPathChooser chooser;
    return chooser;
}

} // namespace

void DocumentController::setImportPathChooser(ImportPathChooser chooser)
{
    importPathChooser() = std::move(chooser);
}

struct DocumentController::Open {
    QPointer<DocumentWindow> window;
};

DocumentController::DocumentController() = default;

DocumentController::~DocumentController()
{
    closeAllDocuments();
}

void DocumentController::registerStandardTypes()
{
    registerType(DocumentType { kComicDocumentType, localized("Comic"),
        [] { return std::make_unique<ComicDocument>(); }, &buildComicWindowContents });
    registerType(DocumentType { kCharacterDocumentType, localized("Character"),
        [] { return std::make_unique<CharacterDocument>(); }, &buildCharacterWindowContents });
}

void DocumentController::registerType(const DocumentType& type)
{
    m_types.removeIf([&type](const DocumentType& known) { return known.typeName == type.typeName; });
    m_types.append(type);
}

const DocumentType* DocumentController::typeNamed(const QString& typeName) const
{
    for (const DocumentType& type : m_types) {
        if (type.typeName == typeName)
            return &type;
    }
    return nullptr;
}

const DocumentType* DocumentController::typeForFile(const QString& path) const
{
    const FileFormatPtr format = FileFormatRegistry::shared().formatForFile(path);
    return format ? typeNamed(format->typeName()) : nullptr;
}

QList<ZDLDocument*> DocumentController::documents() const
{
    QList<ZDLDocument*> result;
    for (const auto& open : m_open) {
        if (open->window && open->window->document())
            result.append(open->window->document());
    }
    return result;
}

DocumentWindow* DocumentController::windowFor(const ZDLDocument* document) const
{
    for (const auto& open : m_open) {
        if (open->window && open->window->document() == document)
            return open->window;
    }
    return nullptr;
}

ZDLDocument* DocumentController::documentForFile(const QString& path) const
{
    const QString wanted = canonical(path);
    for (ZDLDocument* document : documents()) {
        if (!document->filePath().isEmpty() && canonical(document->filePath()) == wanted)
            return document;
    }
    return nullptr;
}

ZDLDocument* DocumentController::adopt(
    std::unique_ptr<ZDLDocument> document, const DocumentType& type, const QRect& place)
{
    auto open = std::make_unique<Open>();
    auto* window = new DocumentWindow(std::move(document), type, *this);
    // Placed before it is shown, so that the window manager maps it there: a window moved once shown
    // is moved by its frame only when the manager has already told its decoration, which it may not
    // have yet.
    if (place.isValid())
        window->setGeometry(place);
    open->window = window;
    m_open.push_back(std::move(open));
    window->show();
    window->raise();
    window->activateWindow();
    return window->document();
}

ZDLDocument* DocumentController::openDocument(const QString& path, DocumentError* error)
{
    if (ZDLDocument* open = documentForFile(path)) {
        if (DocumentWindow* window = windowFor(open)) {
            window->raise();
            window->activateWindow();
        }
        return open;
    }
    const DocumentType* type = typeForFile(path);
    if (!type) {
        if (error)
            *error = DocumentError::fileError(
                DocumentError::kFileReadUnknownCode, localized("Zandrel cannot open files of this kind."));
        return nullptr;
    }
    std::unique_ptr<ZDLDocument> document = type->makeDocument();
    if (!document->readFromFile(path, error))
        return nullptr;
    if (document->filePath().isEmpty())
        document->setUntitledName(nextUntitledName());
    else
        noteRecentDocument(document->filePath());
    // The empty comic the program started with goes once a file is opened, if nobody touched it:
    // the file takes its place on the screen.
    DocumentWindow* replaced = nullptr;
    if (const QList<ZDLDocument*> open = documents(); open.size() == 1 && open.first()->isPristine())
        replaced = windowFor(open.first());
    // The same client area under the same decoration: the same frame.
    const QRect place = replaced && !replaced->isMaximized() ? replaced->geometry() : QRect();
    ZDLDocument* opened = adopt(std::move(document), *type, place);
    if (replaced)
        replaced->closeWithoutReview();
    return opened;
}

ZDLDocument* DocumentController::openDocumentShowingErrors(const QString& path)
{
    DocumentError error;
    ZDLDocument* document = openDocument(path, &error);
    if (!document && !error.isUserCancelled()) {
        ModalAlert alert;
        alert.message = localized("The document “%1” could not be opened.").arg(QFileInfo(path).fileName());
        alert.informativeText
            = QStringList { error.failureReason, error.recoverySuggestion }.join(QLatin1Char(' ')).trimmed();
        alert.buttons = { localized("OK") };
        appController()->showAlert(alert, QApplication::activeWindow(), {});
    }
    return document;
}

QString DocumentController::nextUntitledName()
{
    ++m_untitledCount;
    return m_untitledCount == 1 ? localized("Untitled") : localized("Untitled %1").arg(m_untitledCount);
}

ZDLDocument* DocumentController::makeUntitledDocument(const QString& typeName)
{
    const DocumentType* type = typeNamed(typeName);
    if (!type)
        return nullptr;
    std::unique_ptr<ZDLDocument> document = type->makeDocument();
    document->setFileType(typeName);
    document->setUntitledName(nextUntitledName());
    return adopt(std::move(document), *type);
}

ZDLDocument* DocumentController::openUntitledDocumentFromData(
    const QByteArray& data, const QString& typeName, DocumentError* error)
{
    const DocumentType* type = typeNamed(typeName);
    const FileFormatPtr format = FileFormatRegistry::shared().formatForType(typeName);
    if (!type || !format) {
        if (error)
            *error = DocumentError::fileError(
                DocumentError::kFileReadUnknownCode, localized("Zandrel cannot open files of this kind."));
        return nullptr;
    }
    std::unique_ptr<ZDLDocument> document = type->makeDocument();
    if (!document->readFromData(data, *format, error))
        return nullptr;
    document->setFileType(typeName);
    document->setUntitledName(nextUntitledName());
    ZDLDocument* opened = adopt(std::move(document), *type);
    // It has no file yet: closing it asks whether to save.
    opened->updateChangeCount();
    return opened;
}

void DocumentController::removeDocument(ZDLDocument* document)
{
    std::erase_if(m_open, [document](const std::unique_ptr<Open>& open) {
        return !open->window || open->window->document() == document;
    });
}

QStringList DocumentController::recentDocumentURLs() const
{
    return UserDefaults::standard().stringArray(kRecentDocumentsKey);
}

void DocumentController::noteRecentDocument(const QString& path)
{
    QStringList recent = recentDocumentURLs();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kMaxRecentDocuments)
        recent.removeLast();
    UserDefaults::standard().set(kRecentDocumentsKey, recent);
}

void DocumentController::clearRecentDocuments()
{
    UserDefaults::standard().remove(kRecentDocumentsKey);
}

bool DocumentController::reviewUnsavedDocuments()
{
    // Documents with a file are written first, whatever the user answers about the others.
    for (ZDLDocument* document : documents())
        document->autosaveNow();
    for (ZDLDocument* document : documents()) {
        DocumentWindow* window = windowFor(document);
        if (window && !window->reviewChangesBeforeClosing())
            return false;
    }
    return true;
}

void DocumentController::closeAllDocuments()
{
    // The windows go now, not later from the event loop: they refer to this controller.
    QList<QPointer<DocumentWindow>> windows;
    for (const auto& open : m_open)
        windows.append(open->window);
    m_open.clear();
    for (const QPointer<DocumentWindow>& window : std::as_const(windows)) {
        if (window) {
            window->closeWithoutReview();
            delete window.data();
        }
    }
}

QString DocumentController::openNameFilter() const
{
    QStringList patterns;
    QStringList filters;
    for (const FileFormatPtr& format : FileFormatRegistry::shared().formats()) {
        if (!format->canWrite())
            continue;
        for (const QString& extension : format->extensions())
            patterns.append(QStringLiteral("*.") + extension);
        filters.append(format->nameFilter());
    }
    filters.prepend(localized("Zandrel documents (%1)").arg(patterns.join(QLatin1Char(' '))));
    return filters.join(QStringLiteral(";;"));
}

const ActionTable<DocumentController>& DocumentController::actionTable()
{
    static const auto importFile = [](DocumentController& controller, const ActionSender& sender) {
        QWidget* parent = QApplication::activeWindow();
        const QString extension
            = sender.action == kImportAction ? kXMLCharacterExtension : kLegacyPartsExtension;
        const FileFormatPtr format = FileFormatRegistry::shared().formatForExtension(extension);
        const QString filter = format ? format->nameFilter() : QString();
        const QString path = importPathChooser() ? importPathChooser()(parent, filter)
                                                 : QFileDialog::getOpenFileName(parent, localized("Import"),
                                                     FileDialogFolder::startingFolder(), filter);
        FileDialogFolder::remember(path);
        if (!path.isEmpty())
            controller.openDocumentShowingErrors(path);
        return true;
    };
    static const ActionTable<DocumentController> table {
        {
            { .action = kNewComicAction,
                .validate =
                    [](DocumentController& controller, MenuItemValidation& item) {
                        // Comics open once their document type is registered.
                        item.enabled = controller.typeNamed(kComicDocumentType) != nullptr;
                    },
                .perform =
                    [](DocumentController& controller, const ActionSender&) {
                        controller.makeUntitledDocument(kComicDocumentType);
                        return true;
                    } },
            { .action = kNewCharacterAction,
                .validate = alwaysEnabled<DocumentController>,
                .perform =
                    [](DocumentController& controller, const ActionSender&) {
                        controller.makeUntitledDocument(kCharacterDocumentType);
                        return true;
                    } },
            { .action = kOpenDocumentAction,
                .validate = alwaysEnabled<DocumentController>,
                .perform =
                    [](DocumentController& controller, const ActionSender&) {
                        const QStringList paths
                            = QFileDialog::getOpenFileNames(QApplication::activeWindow(), localized("Open"),
                                FileDialogFolder::startingFolder(), controller.openNameFilter());
                        FileDialogFolder::remember(paths.value(0));
                        for (const QString& path : paths)
                            controller.openDocumentShowingErrors(path);
                        return true;
                    } },
            { .action = kImportAction, .validate = alwaysEnabled<DocumentController>, .perform = importFile },
            { .action = kImport86PartsAction,
                .validate = alwaysEnabled<DocumentController>,
                .perform = importFile },
            // The items of Open Recent are the recent files by index, titled with their names.
            { .action = kOpenRecentAction,
                .validate =
                    [](DocumentController& controller, MenuItemValidation& item) {
                        const QStringList recent = controller.recentDocumentURLs();
                        item.enabled = item.tag >= 0 && item.tag < recent.size();
                        if (item.enabled)
                            item.title = MenuActions::titleForName(QFileInfo(recent.at(item.tag)).fileName());
                    },
                .perform =
                    [](DocumentController& controller, const ActionSender& sender) {
                        const QStringList recent = controller.recentDocumentURLs();
                        if (sender.tag >= 0 && sender.tag < recent.size())
                            controller.openDocumentShowingErrors(recent.at(sender.tag));
                        return true;
                    } },
            { .action = kClearRecentAction,
                .validate =
                    [](DocumentController& controller, MenuItemValidation& item) {
                        item.enabled = !controller.recentDocumentURLs().isEmpty();
                    },
                .perform = runs<&DocumentController::clearRecentDocuments> },
        },
        ToolbarItems::LikeMenuItems
    };
    return table;
}

bool DocumentController::tryToPerform(const QString& action, const ActionSender& sender)
{
    return actionTable().perform(*this, action, sender).value_or(false);
}

bool DocumentController::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item);
}

} // namespace zandrel
