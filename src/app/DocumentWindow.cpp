#include "app/DocumentWindow.h"

#include "app/DocumentController.h"
#include "app/DocumentToolbar.h"
#include "app/EditingControllerView.h"
#include "app/FileDialogFolder.h"
#include "app/MainMenu.h"
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/FileFormat.h"
#include "app/core/ModalAlert.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/DocumentSettings.h"
#include "panels/HelpComicView.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "views/ZDLEditingView.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>
#include <QToolBar>

namespace zandrel {

namespace {

DocumentWindow::SavePathChooser& savePathChooser()
{
    static DocumentWindow::SavePathChooser chooser;
    return chooser;
}

QWidget* widgetOf(EditorContainer* editor)
{
    return dynamic_cast<QWidget*>(editor);
}

// The default editing view as an editor covering it lets it be asked: only for the commands it runs
// on the whole document, never for those that act on what it shows, which the user cannot see.
class WholeDocumentCommands : public Responder {
public:
    explicit WholeDocumentCommands(ZDLEditingView* view)
        : m_view(view)
    {
    }
    bool tryToPerform(const QString& action, const ActionSender& sender) override
    {
        return m_view && m_view->actsOnWholeDocument(action) && m_view->tryToPerform(action, sender);
    }
    bool validateMenuItem(MenuItemValidation& item) override
    {
        return m_view && m_view->actsOnWholeDocument(item.action) && m_view->validateMenuItem(item);
    }

private:
    QPointer<ZDLEditingView> m_view;
};

} // namespace

DocumentWindow::DocumentWindow(
    std::unique_ptr<ZDLDocument> document, const DocumentType& type, DocumentController& controller)
    : m_document(std::move(document))
    , m_controller(controller)
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_document->setHost(this);
    MainMenu::build(menuBar(), this);
    m_toolbar = addToolBar(localized("Toolbar"));
    m_toolbar->setObjectName(QStringLiteral("documentToolbar"));
    m_toolbar->setMovable(false);
    m_documentToolbar = new DocumentToolbar(*this, m_toolbar);
    if (type.makeWindowContents)
        type.makeWindowContents(*this);
    resize(1000, 720);
    updateTitle();
    // Focus moves change the chain, and selections what the items act on: the toolbar follows.
    connect(qApp, &QApplication::focusChanged, this, [this] { updateTitle(); });
    NotificationCenter::defaultCenter().addObserver(
        this, kUpdateViewSelectionNotification, nullptr, [this](const Notification&) {
            DeferredCalls::perform(this, QStringLiteral("validateToolbar"), 0, [this] { validateToolbar(); });
        });
    NotificationCenter::defaultCenter().addObserver(
        this, kHelpComicsChangedNotification, nullptr, [this](const Notification&) {
            DeferredCalls::perform(this, QStringLiteral("validateToolbar"), 0, [this] { validateToolbar(); });
        });
    if (ZDLView* view = visibleEditingView())
        m_documentToolbar->setScalePopupValue(view->viewScale());
    if (const auto settings = m_document->documentSettings())
        m_documentToolbar->showBackgroundStyle(settings->backgroundStyle());
}

DocumentWindow::~DocumentWindow()
{
    m_closing = true;
    disconnect(qApp, nullptr, this, nullptr);
    NotificationCenter::defaultCenter().removeObserver(this);
    DeferredCalls::cancelAll(this);
    // The document closes while its editors still exist (it closes the open one), then the contents
    // that refer to it go, then the document.
    m_document->close();
    m_document->setHost(nullptr);
    delete takeCentralWidget();
    m_controller.removeDocument(m_document.get());
}

void DocumentWindow::setSavePathChooser(SavePathChooser chooser)
{
    savePathChooser() = std::move(chooser);
}

void DocumentWindow::setEditingAreas(
    QWidget* wholeWindowArea, QWidget* primaryArea, QWidget* defaultEditingView)
{
    m_wholeWindowArea = wholeWindowArea;
    m_primaryArea = primaryArea;
    m_defaultEditingView = defaultEditingView;
    m_wholeDocumentCommands
        = std::make_unique<WholeDocumentCommands>(qobject_cast<ZDLEditingView*>(defaultEditingView));
}

void DocumentWindow::addEditor(EditingControllerView* editor)
{
    editor->hide();
}

void DocumentWindow::updateTitle()
{
    if (!m_document)
        return;
    // A file that stays as it is says so, as editors mark a file they only show.
    const QString name = m_document->isLocked() ? localized("%1 [Read Only]").arg(m_document->displayName())
                                                : m_document->displayName();
    setWindowTitle(name + QStringLiteral("[*]"));
    setWindowFilePath(m_document->filePath());
    setWindowModified(m_document->isDocumentEdited());
    validateToolbar();
}

void DocumentWindow::validateToolbar()
{
    // Toolbar items have no shortcuts to keep alive: they show their state as it is.
    if (!m_toolbar || !m_document)
        return;
    const QList<Responder*> chain = MenuActions::responderChain(this);
    for (QAction* item : m_toolbar->actions()) {
        if (!MenuActions::actionOf(item).isEmpty())
            MenuActions::validate(item, chain);
    }
    if (const auto settings = m_document->documentSettings()) {
        m_documentToolbar->showBackgroundStyle(settings->backgroundStyle());
        // The background is a choice of the editors that draw one.
        m_documentToolbar->backgroundStylePopup()->setEnabled(
            !visibleEditingViewRefuses(kSetBackgroundAction, settings->backgroundStyle()));
    }
}

ZDLView* DocumentWindow::visibleEditingView() const
{
    if (auto* editor = dynamic_cast<EditingControllerView*>(m_document->currentEditor()))
        return editor->editingView();
    return qobject_cast<ZDLView*>(m_defaultEditingView);
}

bool DocumentWindow::visibleEditingViewRefuses(const QString& action, int tag) const
{
    ZDLView* view = visibleEditingView();
    MenuItemValidation item;
    item.action = action;
    item.tag = tag;
    return !view || (view->validateMenuItem(item) && !item.enabled);
}

void DocumentWindow::sendToVisibleEditingView(const QString& action, const ActionSender& sender)
{
    // A popup's choice goes only where the menu item would go: a view that has no use for it (the
    // comic view draws no editing background) is left as it is.
    if (!visibleEditingViewRefuses(action, sender.tag))
        visibleEditingView()->tryToPerform(action, sender);
    validateToolbar();
}

void DocumentWindow::setScalePopupValue(float scale)
{
    m_documentToolbar->setScalePopupValue(scale);
}

// --- DocumentHost ---

QObject* DocumentWindow::alertWindow() const
{
    return const_cast<DocumentWindow*>(this);
}

void DocumentWindow::documentStateChanged()
{
    updateTitle();
}

void DocumentWindow::presentError(const DocumentError& error, FileOperation operation)
{
    if (error.isUserCancelled())
        return;
    ModalAlert alert;
    alert.message = operation == FileOperation::Open
        ? localized("The document “%1” could not be opened.").arg(m_document->displayName())
        : localized("The document “%1” could not be saved.").arg(m_document->displayName());
    alert.informativeText
        = QStringList { error.failureReason, error.recoverySuggestion }.join(QLatin1Char(' ')).trimmed();
    alert.buttons = { localized("OK") };
    appController()->showAlert(alert, this, {});
}

void DocumentWindow::transitionToNewEditor(EditorContainer* current, EditorContainer* next)
{
    QWidget* currentWidget = widgetOf(current);
    QWidget* nextWidget = widgetOf(next);
    // The view coming into sight at another zoom than the one left keeps its cached renderings for
    // a moment, as it does while the user zooms, rather than drawing everything anew at once.
    const auto viewOf = [this](EditorContainer* editor) -> ZDLView* {
        if (auto* container = dynamic_cast<EditingControllerView*>(editor))
            return container->editingView();
        return qobject_cast<ZDLView*>(m_defaultEditingView);
    };
    ZDLView* leaving = viewOf(current);
    ZDLView* coming = viewOf(next);
    if (leaving && coming && coming != leaving && coming->viewScale() != leaving->viewScale())
        coming->temporarilySuspendImageFlushingWhileScaling();
    const auto areaFor = [this](EditorContainer* editor) {
        return editor->usesWholeWindow() ? m_wholeWindowArea : m_primaryArea;
    };
    if (current && (!next || areaFor(current) != areaFor(next))) {
        if (QWidget* area = areaFor(current))
            area->show();
    }
    if (next) {
        if (QWidget* area = areaFor(next))
            area->hide();
    }
    if (currentWidget)
        currentWidget->hide();
    if (nextWidget) {
        if (QWidget* area = areaFor(next))
            nextWidget->setGeometry(area->geometry());
        nextWidget->show();
        nextWidget->raise();
        nextWidget->update();
    }
    // Back at the default view, it catches up with what the editor changed.
    auto* defaultView = qobject_cast<ZDLEditingView*>(m_defaultEditingView);
    if (!next && defaultView) {
        defaultView->updateViewSize();
        defaultView->reenterAfterEditing();
        defaultView->validateSelection();
        // What is still selected there comes back into the middle of the view.
        if (defaultView->numSelected() > 0)
            defaultView->scrollToCenterDocPoint(defaultView->getCenterForZoom());
    }
    // The scale popup shows the zoom of the view now in sight.
    if (auto* editor = dynamic_cast<EditingControllerView*>(next))
        setScalePopupValue(editor->editingView()->viewScale());
    else if (auto* view = qobject_cast<ZDLView*>(m_defaultEditingView))
        setScalePopupValue(view->viewScale());
    validateToolbar();
}

void DocumentWindow::focusDefaultEditingView()
{
    if (m_defaultEditingView) {
        m_defaultEditingView->setFocus();
        m_defaultEditingView->update();
    }
}

// --- File actions ---

QString DocumentWindow::chooseSavePath()
{
    const FileFormatPtr format = FileFormatRegistry::shared().formatForType(m_document->fileType());
    // A named comic or character proposes its name rather than "Untitled 2".
    QString suggested = m_document->proposedFileName();
    if (suggested.isEmpty())
        suggested = m_document->displayName();
    if (format && QFileInfo(suggested).suffix().isEmpty())
        suggested += QStringLiteral(".") + format->extensions().value(0);
    if (savePathChooser())
        return savePathChooser()(*this, suggested);
    // Not beside a file that may not be written: nothing could be saved there either.
    const QString beside = m_document->isLocked() ? QString() : m_document->filePath();
    QString path = QFileDialog::getSaveFileName(this, localized("Save"),
        FileDialogFolder::proposedPath(beside, suggested), format ? format->nameFilter() : QString());
    if (!path.isEmpty() && format && QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".") + format->extensions().value(0);
    FileDialogFolder::remember(path);
    return path;
}

bool DocumentWindow::saveDocument()
{
    if (m_document->filePath().isEmpty() || !m_document->autosavesInPlace())
        return saveDocumentAs();
    DocumentError error;
    if (!m_document->saveToFile(m_document->filePath(), SaveOperation::Save, &error)) {
        presentError(error, FileOperation::Save);
        return false;
    }
    return true;
}

bool DocumentWindow::saveDocumentAs(const QString& chosen)
{
    const QString path = chosen.isEmpty() ? chooseSavePath() : chosen;
    if (path.isEmpty())
        return false;
    DocumentError error;
    if (!m_document->saveToFile(path, SaveOperation::SaveAs, &error)) {
        presentError(error, FileOperation::Save);
        return false;
    }
    m_controller.noteRecentDocument(path);
    return true;
}

bool DocumentWindow::saveDocumentTo(const QString& chosen)
{
    const QString path = chosen.isEmpty() ? chooseSavePath() : chosen;
    if (path.isEmpty())
        return false;
    DocumentError error;
    if (!m_document->saveToFile(path, SaveOperation::SaveTo, &error)) {
        presentError(error, FileOperation::Save);
        return false;
    }
    return true;
}

bool DocumentWindow::revertDocumentToSaved()
{
    ModalAlert question;
    question.message
        = localized("Do you want to revert to the most recently saved version of the document “%1”?")
              .arg(m_document->displayName());
    question.informativeText = localized("Your current changes will be lost.");
    question.buttons = { localized("Revert"), localized("Cancel") };
    if (appController()->runModalAlert(question) != ModalAlert::kFirstButton)
        return false;
    DocumentError error;
    if (!m_document->revertToSaved(&error)) {
        presentError(error, FileOperation::Open);
        return false;
    }
    return true;
}

bool DocumentWindow::reviewChangesBeforeClosing()
{
    if (m_document->autosavesInPlace() && m_document->autosaveNow())
        return true;
    if (!m_document->isDocumentEdited())
        return true;
    // At quit the windows are asked about one after another, whichever is in front: the one a
    // question names comes forward first, and the question stands over it.
    bringToFront();
    ModalAlert question;
    question.message = localized("Do you want to save the changes made to the document “%1”?")
                           .arg(m_document->displayName());
    question.informativeText = localized("Your changes will be lost if you don’t save them.");
    question.buttons = { localized("Save"), localized("Cancel"), localized("Don’t Save") };
    question.window = this;
    switch (appController()->runModalAlert(question)) {
    case ModalAlert::kFirstButton:
        return saveDocument();
    case ModalAlert::kThirdButton:
        return true;
    default:
        return false;
    }
}

void DocumentWindow::bringToFront()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void DocumentWindow::closeWithoutReview()
{
    m_closing = true;
    close();
}

void DocumentWindow::closeEvent(QCloseEvent* event)
{
    if (!m_closing && !reviewChangesBeforeClosing()) {
        event->ignore();
        return;
    }
    m_closing = true;
    event->accept();
}

void DocumentWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Leaving the window writes the document, so that what the user sees elsewhere is on disk.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && !m_closing && m_document)
        m_document->autosaveInBackground();
}

// --- Responder ---

QList<Responder*> DocumentWindow::windowResponders() const
{
    // With the focus outside the editing views (the menu bar after Escape closed a menu, the
    // toolbar, an inspector field, nothing at all), the view the user edits in still answers its
    // commands: the open editor's, else the default view.
    QList<Responder*> responders;
    if (auto* editor
        = m_document ? dynamic_cast<EditingControllerView*>(m_document->currentEditor()) : nullptr) {
        if (ZDLView* edited = editor->editingView(); edited && edited->isVisible())
            responders.append(edited);
    }
    // A view disabled under a sheet that covers it takes no commands either; one hidden under an
    // editor takes those it runs on the whole document.
    if (auto* view = dynamic_cast<Responder*>(m_defaultEditingView);
        view && m_defaultEditingView->isEnabled()) {
        if (m_defaultEditingView->isVisible())
            responders.append(view);
        else if (m_document && m_document->currentEditor() && m_wholeDocumentCommands)
            responders.append(m_wholeDocumentCommands.get());
    }
    responders.append(m_document.get());
    return responders;
}

const ActionTable<DocumentWindow>& DocumentWindow::actionTable()
{
    // A file command's own outcome (saved, cancelled, failed and told) is no reason to beep.
    static const ActionTable<DocumentWindow> table {
        {
            { .action = kSaveDocumentAction,
                .validate = alwaysEnabled<DocumentWindow>,
                .perform =
                    [](DocumentWindow& window, const ActionSender&) {
                        window.saveDocument();
                        return true;
                    } },
            { .action = kSaveDocumentAsAction,
                .validate = alwaysEnabled<DocumentWindow>,
                .perform =
                    [](DocumentWindow& window, const ActionSender&) {
                        window.saveDocumentAs();
                        return true;
                    } },
            { .action = kSaveDocumentToAction,
                .validate = alwaysEnabled<DocumentWindow>,
                .perform =
                    [](DocumentWindow& window, const ActionSender&) {
                        window.saveDocumentTo();
                        return true;
                    } },
            { .action = kRevertDocumentAction,
                .validate =
                    [](DocumentWindow& window, MenuItemValidation& item) {
                        item.enabled = !window.m_document->filePath().isEmpty()
                            && window.m_document->hasChangesSinceExplicitSave();
                    },
                .perform =
                    [](DocumentWindow& window, const ActionSender&) {
                        window.revertDocumentToSaved();
                        return true;
                    } },
            { .action = kCloseDocumentAction,
                .validate = alwaysEnabled<DocumentWindow>,
                .perform =
                    [](DocumentWindow& window, const ActionSender&) {
                        window.close();
                        return true;
                    } },
            { .action = kPopEditorAction,
                .validate =
                    [](DocumentWindow& window, MenuItemValidation& item) {
                        item.enabled = window.m_document->currentEditor() != nullptr;
                    },
                .perform =
                    [](DocumentWindow& window, const ActionSender&) {
                        window.m_document->popEditor();
                        return true;
                    } },
            { .action = kToggleFullScreenAction,
                .validate = alwaysEnabled<DocumentWindow>,
                .perform =
                    [](DocumentWindow& window, const ActionSender&) {
                        window.isFullScreen() ? window.showNormal() : window.showFullScreen();
                        return true;
                    } },
        },
        ToolbarItems::LikeMenuItems
    };
    return table;
}

bool DocumentWindow::tryToPerform(const QString& action, const ActionSender& sender)
{
    return actionTable().perform(*this, action, sender).value_or(false);
}

bool DocumentWindow::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item);
}

} // namespace zandrel
