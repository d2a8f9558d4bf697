#pragma once

#include "app/core/ActionTable.h"
#include "app/core/DocumentError.h"
#include "app/core/FileFormat.h"
#include "app/core/Responder.h"

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QWidget;

namespace zandrel {

class DocumentWindow;
class ZDLDocument;

// A kind of document: the type name its format saves under, how to make an empty one, and how to
// fill its window. The comic document registers itself here beside the character document.
struct DocumentType {
    QString typeName;
    // "Comic", "Character": what menus and dialogs call it.
    QString displayName;
    std::function<std::unique_ptr<ZDLDocument>()> makeDocument;
    // Builds the window's contents and its editors around the document.
    std::function<void(DocumentWindow&)> makeWindowContents;
};

// Keeps the open documents and their windows: opens files by extension (their format's document
// type), makes untitled documents, remembers recent files, and reviews unsaved documents at quit.
class DocumentController : public Responder {
public:
    static constexpr int kMaxRecentDocuments = 10;

    DocumentController();
    ~DocumentController() override;

    // The comic and the character document.
    void registerStandardTypes();
    void registerType(const DocumentType& type);
    const DocumentType* typeNamed(const QString& typeName) const;
    const DocumentType* typeForFile(const QString& path) const;

    // Shows the window of the document already open for the file, else reads the file into a new
    // document and shows it. Null with the error set when it cannot be read.
    ZDLDocument* openDocument(const QString& path, DocumentError* error);
    // Opens the file and tells the user when it cannot be read ("user cancelled" aside).
    ZDLDocument* openDocumentShowingErrors(const QString& path);
    ZDLDocument* makeUntitledDocument(const QString& typeName);
    // A document of the type read from the bytes (a download), untitled and marked changed, shown in
    // its window. Null with the error set when the bytes do not read.
    ZDLDocument* openUntitledDocumentFromData(
        const QByteArray& data, const QString& typeName, DocumentError* error);
    ZDLDocument* documentForFile(const QString& path) const;
    QList<ZDLDocument*> documents() const;
    DocumentWindow* windowFor(const ZDLDocument* document) const;
    // Called by a window that closed its document.
    void removeDocument(ZDLDocument* document);

    QStringList recentDocumentURLs() const;
    void noteRecentDocument(const QString& path);
    void clearRecentDocuments();

    // Asks about every untitled document with changes (save, discard or cancel); documents with a
    // file are saved in place. False when the user cancelled the quit.
    bool reviewUnsavedDocuments();
    void closeAllDocuments();

    // Open dialogs run with the window of the action, or none.
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command on documents as a whole (new, open, import, recent files) with when it is offered.
    static const ActionTable<DocumentController>& actionTable();

    // Asks for the file to import (empty: cancelled); a file dialog unless one is set (tests).
    using ImportPathChooser = std::function<QString(QWidget* parent, const QString& nameFilter)>;
    static void setImportPathChooser(ImportPathChooser chooser);

    // The name filter of every file the program opens, for the open dialog.
    QString openNameFilter() const;

private:
    struct Open;
    // Shows the document's window, with its client area at the place when one is given.
    ZDLDocument* adopt(
        std::unique_ptr<ZDLDocument> document, const DocumentType& type, const QRect& place = QRect());
    QString nextUntitledName();

    QList<DocumentType> m_types;
    std::vector<std::unique_ptr<Open>> m_open;
    int m_untitledCount = 0;
};

} // namespace zandrel
