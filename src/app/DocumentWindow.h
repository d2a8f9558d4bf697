#pragma once

#include "app/MenuActions.h"
#include "app/core/ActionTable.h"
#include "app/core/DocumentHost.h"
#include "app/core/Responder.h"
#include "app/core/ZDLDocument.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QToolBar;

namespace zandrel {

class DocumentController;
class DocumentToolbar;
class EditingControllerView;
class ZDLView;
struct DocumentType;

// The window of one document, with its own menu bar and toolbar. It owns the document: closing the
// window closes the document. It writes the document in place when it loses the focus and when it
// closes, asks before an untitled document with changes is lost, shows the title with its edited
// mark, shows editors over its editing areas and answers the file actions of its menus.
class DocumentWindow : public QMainWindow, public Responder, public ResponderWindow, public DocumentHost {
    Q_OBJECT

public:
    DocumentWindow(
        std::unique_ptr<ZDLDocument> document, const DocumentType& type, DocumentController& controller);
    ~DocumentWindow() override;

    ZDLDocument* document() const { return m_document.get(); }
    QToolBar* toolbar() const { return m_toolbar; }
    DocumentToolbar& documentToolbar() const { return *m_documentToolbar; }
    // The editing view the user sees: the open editor's, else the default one.
    ZDLView* visibleEditingView() const;
    // Sends an action of the toolbar's popups to that view, unless it disables the action.
    void sendToVisibleEditingView(const QString& action, const ActionSender& sender);
    // There is no such view, or it knows the action and disables it.
    bool visibleEditingViewRefuses(const QString& action, int tag) const;

    // The areas editors cover: the whole editing area (under the toolbar) and the primary editing
    // area inside it (the default editing view, or the part of the window around which a comic's
    // catalog pane stays visible).
    void setEditingAreas(QWidget* wholeWindowArea, QWidget* primaryArea, QWidget* defaultEditingView);
    // Places an editor over the whole editing area, hidden until it edits something.
    void addEditor(EditingControllerView* editor);
    QWidget* defaultEditingView() const { return m_defaultEditingView; }

    // --- File actions ---
    // Save: in place, or through the save dialog for an untitled document.
    bool saveDocument();
    // Save as and save a copy; with an empty path the save dialog asks.
    bool saveDocumentAs(const QString& path = QString());
    bool saveDocumentTo(const QString& path = QString());
    bool revertDocumentToSaved();
    // The question asked before changes of an untitled document are lost; documents with a file are
    // written in place. False when the user cancelled.
    bool reviewChangesBeforeClosing();
    void closeWithoutReview();
    // Shown again when minimised, raised above the other windows and made the active one.
    void bringToFront();

    // Tests answer the save dialog: given the window and the suggested name, a path or nothing.
    using SavePathChooser = std::function<QString(DocumentWindow&, const QString& suggestedName)>;
    static void setSavePathChooser(SavePathChooser chooser);

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    QList<Responder*> windowResponders() const override;
    // Each file and window command with when it is offered.
    static const ActionTable<DocumentWindow>& actionTable();

    // --- DocumentHost ---
    QObject* alertWindow() const override;
    void documentStateChanged() override;
    void presentError(const DocumentError& error, FileOperation operation) override;
    void transitionToNewEditor(EditorContainer* current, EditorContainer* next) override;
    void focusDefaultEditingView() override;
    void setScalePopupValue(float scale) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString chooseSavePath();
    void updateTitle();
    // Toolbar items show what their responders allow now.
    void validateToolbar();

    std::unique_ptr<ZDLDocument> m_document;
    DocumentController& m_controller;
    QToolBar* m_toolbar = nullptr;
    DocumentToolbar* m_documentToolbar = nullptr;
    QWidget* m_wholeWindowArea = nullptr;
    QWidget* m_primaryArea = nullptr;
    QWidget* m_defaultEditingView = nullptr;
    // The default view's whole-document commands, answered while an editor covers the view.
    std::unique_ptr<Responder> m_wholeDocumentCommands;
    bool m_closing = false;
};

} // namespace zandrel
