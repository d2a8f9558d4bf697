#pragma once

#include "app/core/DocumentError.h"
#include "app/core/EditorContainer.h"
#include "app/core/FileFormat.h"
#include "app/core/Responder.h"
#include "graphics/ElementProtocols.h"
#include "platform/UndoManager.h"
#include "platform/Value.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <functional>
#include <memory>

namespace zandrel {

class CharacterModel;
class CurveToleranceAdjuster;
class DocumentHost;
enum class FileOperation;
class DocumentSettings;
class FileFormat;
class GeometryRecord;
class GraphicManipulator;
class ZDLColor;

// Notifications the document posts with itself as object, and the keys of their user info.
inline const QString kUpdateDocumentViewsNotification = QStringLiteral("updateDocumentViews");
inline const QString kModelPropertyChangeNotification = QStringLiteral("modelPropertyChange");
inline const QString kPropertyChangedNotification = QStringLiteral("propertyChanged");
inline const QString kEditViewChangedNotification = QStringLiteral("editViewChanged");
inline const QString kDocumentClosingNotification = QStringLiteral("documentClosing");
inline const QString kToleranceAdjusterChangedNotification = QStringLiteral("toleranceAdjusterChanged");
inline const QString kDirtyRectKey = QStringLiteral("dirtyRect");
inline const QString kAfterChangeKey = QStringLiteral("afterChange");
inline const QString kUnscaledOutsetKey = QStringLiteral("unscaledOutset");
// The objects whose own drawing is all that changed in the dirty rect, when the poster knows.
inline const QString kChangedObjectsKey = QStringLiteral("changedObjects");
// With the changed objects after a change: they only moved, all of them by this offset (model
// coordinates), and draw as they drew before but for that.
inline const QString kMovedByKey = QStringLiteral("movedBy");
inline const QString kPropertyKey = QStringLiteral("property");
inline const QString kOldValueKey = QStringLiteral("oldValue");

// How a document is written, with the platform's numeric codes: the catalogs hear of 0 and 4 only.
enum class SaveOperation : int { Save = 0, SaveAs = 1, SaveTo = 2, Autosave = 3, AutosaveInPlace = 4 };

// The base of the comic and character documents as the models see it: every undoable change of a
// model goes through one of its operations, which registers its own inverse and tells the views what
// to redraw. Views never poll the model; they redraw on the notifications posted here. The GUI adds
// windows, editors and file handling in subclasses.
class ZDLDocument : public Responder {
public:
    ZDLDocument();
    virtual ~ZDLDocument();
    ZDLDocument(const ZDLDocument&) = delete;
    ZDLDocument& operator=(const ZDLDocument&) = delete;

    UndoManager* undoManager() { return &m_undoManager; }

    // The windows showing the document; null without any.
    DocumentHost* host() const { return m_host; }
    void setHost(DocumentHost* host) { m_host = host; }

    // --- The model and its file (ZDLDocumentFile.cpp) ---
    // The root object the file holds; null in the base.
    virtual ObjectPtr rootModel() const { return nullptr; }
    // Makes the model of the data the document's model. False, with the error set, keeps the model
    // the document had (and undo registration stays on).
    virtual bool readFromData(const QByteArray& data, const FileFormat& format, DocumentError* error,
        const QString& sourcePath = QString());
    // The bytes of the model in the format.
    virtual QByteArray dataOfType(const FileFormat& format, DocumentError* error) const;

    // An empty path for an untitled document.
    const QString& filePath() const { return m_filePath; }
    void setFilePath(const QString& path);
    // The type name of the format the document saves in.
    const QString& fileType() const { return m_fileType; }
    void setFileType(const QString& type) { m_fileType = type; }
    // The file's name, or the untitled name the document controller gave ("Untitled", "Untitled 2").
    QString displayName() const;

    // What an export is of, for the file name it proposes.
    enum class ExportKind : int { Comic = 0, Page = 1, Selection = 2, Panel = 3 };
    // The file's name without its extension; for a document never saved, untitledDocumentName.
    QString documentNameWithoutExtension() const;
    // The name followed by the extension, with a "." put in front of the extension when missing.
    QString documentNameWithExtension(const QString& extension) const;
    // "Story selection.png" for the selection; the comic document names pages and panels.
    virtual QString documentNameWithQualifier(ExportKind qualifier, const QString& extension) const;
    void setUntitledName(const QString& name)
    {
        m_untitledName = name;
        m_namedAsCopy = false;
    }
    // The name of a duplicate ("Pip copy"), which its window shows.
    void setCopyName(const QString& name)
    {
        m_untitledName = name;
        m_namedAsCopy = true;
    }
    // The name a save proposes: the file's, or for an untitled document the name its model was
    // given (the comic's or the character's, "/" made "-", with the document's extension); empty
    // when there is neither, and the display name is proposed.
    virtual QString proposedFileName() const { return QString(); }
    // What a printed or exported document calls itself (a PDF's or EPS's title): the name its
    // model was given, else the file's name without its extension.
    virtual QString documentTitle() const { return documentNameWithoutExtension(); }

    // How the document prints, kept for as long as it is open: at a scaling (1 is one point of
    // paper for a unit of the model), or with each page made to fit the paper.
    struct PageSetup {
        float scalingFactor = 1.0f;
        bool fitsPaper = false;
    };
    const PageSetup& pageSetup() const { return m_pageSetup; }
    void setPageSetup(const PageSetup& setup) { m_pageSetup = setup; }

    // No document file is larger; the archive reader would refuse it anyway, after reading it whole.
    static constexpr qint64 kMaxFileBytes = qint64(1) << 30;

    // Reads the file and makes it the document's file. The bytes read are the revert point.
    bool readFromFile(const QString& path, DocumentError* error);
    // Writes the document through a save file, so that a failure or a crash leaves the old file whole.
    // Save and save-as make the path the document's file and the bytes the revert point; save-to
    // writes a copy; autosaves write without moving the revert point.
    bool saveToFile(const QString& path, SaveOperation operation, DocumentError* error);
    // Returns to the last explicit save (or the file as opened), in memory and on disk; nothing
    // changes when that fails.
    virtual bool revertToSaved(DocumentError* error);

    // Changes not yet written anywhere: the title marks them.
    bool isDocumentEdited() const;
    // An untitled document nobody has changed yet, with nothing to undo or redo: opening a file may
    // take its place.
    bool isPristine() const;
    // Changes since the last explicit save or open: what a revert would undo.
    bool hasChangesSinceExplicitSave() const { return m_changedSinceExplicitSave; }
    // A change the undo manager does not see (a non-undoable toggle); the autosave picks it up.
    void updateChangeCount();
    // A document with a file it may write and a format that writes saves itself in place.
    bool autosavesInPlace() const;
    // The document's file may not be changed where it is: a file of the built-in catalog, or one
    // without the permission to replace it. Such a document is never written in place; its first
    // change offers to go on in a duplicate (or to leave the file as it is).
    bool isLocked() const { return m_locked; }
    // May the program replace the file at the path? Never inside the built-in catalog; never a file,
    // or a file in a folder, that the system would not let the user write or that carries no write
    // permission at all (an administrator, whom permissions do not stop, keeps to them too).
    static bool mayWriteFile(const QString& path);
    // May the program write new files into the folder? By the same rules as mayWriteFile.
    static bool mayWriteInFolder(const QString& folder);
    // Writes now when there is something to write; false only when writing failed.
    bool autosaveNow();
    // The timed autosave: the model is archived now and the archive encoded and written on another
    // thread, so that a large document does not stop the program while its file is written. The
    // outcome is applied back here from the event loop: the edited state becomes that of the
    // archived model (later changes stay edited and are written next time) and a failure is told
    // as autosaveNow tells it. Every other save, revert and close first waits for the write.
    void autosaveInBackground();
    bool isWritingInBackground() const { return m_backgroundWrite != nullptr; }
    // Waits for the background write, if any, and applies its outcome; false when it failed.
    bool finishBackgroundWrite();
    // For tests: the worker calls holdWorker before it encodes; the waiting thread calls
    // beforeWaiting before it blocks on a running write (so a test may let the worker go then).
    struct BackgroundWriteSeam {
        std::function<void()> holdWorker;
        std::function<void()> beforeWaiting;
    };
    static void setBackgroundWriteSeam(BackgroundWriteSeam seam);
    // How long after the last change the document saves itself.
    static int autosaveDelayMs();
    static void setAutosaveDelayMs(int milliseconds);

    // --- Editor stack (ZDLDocumentEditors.cpp) ---
    // The editor of an object, or null for the default editing view: an exact Group in the group
    // editor (subclasses), parts and part elements in the part editor, balloon groups and images in
    // theirs.
    virtual EditorContainer* editorForObject(const ObjectPtr& object) const;
    // Makes the object the edited one; null returns to the default editing view.
    virtual void edit(const ObjectPtr& object);
    EditorContainer* currentEditor() const { return m_currentEditor; }
    // The root object of the current editor, null without one.
    ObjectPtr currentEditObject() const;
    // Leaves one level: edits the parent, or returns to the default view from the outermost level.
    void popEditor();
    // The action of a level bar: edits the level's object once the bar has finished with the click.
    void levelControlClicked(const ObjectPtr& represented);
    // Rebuilds the current editor's level bar.
    void refreshPathControl();
    // Fills a level bar with the chain from the outermost level down to the object.
    void setEditingLevelControlLevelsIn(EditingLevels& levels, const ObjectPtr& object) const;
    // Repairs the stack after undo, redo or deletion.
    void validateEditingObjectsExistence();
    // After the user deleted objects from the parent: editors check themselves and groups left with
    // fewer than two children dissolve.
    virtual void objectsDeletedByUserInParent(const ObjectPtr& parent);
    void setEditors(
        EditorContainer* partEditor, EditorContainer* imageEditor, EditorContainer* balloonGroupEditor);
    EditorContainer* partEditingView() const { return m_partEditor; }
    EditorContainer* imageEditingView() const { return m_imageEditor; }
    EditorContainer* balloonGroupEditingView() const { return m_balloonGroupEditor; }
    // The refit of the last pencil stroke, which the properties inspector offers; null for none.
    const std::shared_ptr<CurveToleranceAdjuster>& toleranceAdjuster() const { return m_toleranceAdjuster; }
    // Posts "toleranceAdjusterChanged" so that the inspector offers the new refit.
    void setToleranceAdjuster(const std::shared_ptr<CurveToleranceAdjuster>& adjuster);
    // The editor of groups (and of a comic page's free objects); documents that have one answer it.
    virtual EditorContainer* groupEditingView() const { return nullptr; }

    // Posts "documentClosing" and forgets pending work. Subclasses do their own work first and end
    // with this.
    virtual void close();

    // --- View notifications ---
    // Every view redraws whole (and recomputes its size).
    void updateViews();
    // The views redraw the rectangle (model coordinates): the area before a change (afterChange
    // false) or after it (true).
    void updateViewsRect(const QRectF& rect, bool afterChange);
    // The same, for a change of these objects' own drawing and nothing else: a view may keep what
    // it drew of everything else there.
    void updateViewsRect(const QRectF& rect, bool afterChange, const ElementList& changedObjects);
    // The same with a margin in screen points around the rectangle, independent of the zoom.
    void updateViewsRect(const QRectF& rect, float unscaledOutset, bool afterChange);
    // Moves the elements by the offset as a gesture does, step by step and not undoably (the
    // gesture records the whole move at its end): the views hear of the area the elements leave
    // and the area they cover, and that they only moved, so that a view may move what it drew of
    // them.
    void moveElementsLive(const ElementList& elements, const QPointF& offset);
    // Called by the models for changes that are not element geometry; a null old value is passed on
    // as null.
    void notifyModelPropertyChange(const QString& property, const Value& oldValue);
    // Posts "propertyChanged"; the property operations call it once per key per pass of the event loop.
    void notifyPropertyChange(const QString& property);
    // Hands a graphic notice to every element of the model; the base has no model.
    virtual void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object);

    // --- Undoable operations ---
    // None opens an undo group: the event-loop grouping makes one user action one undo step.

    // Sets a property by name. A null old value means "read the current value first". The inverse
    // passes a null old value, so that redo sets the value read when the undo runs.
    void undoableSetPropertyFor(const ObjectPtr& object, const QString& property, const Value& value,
        const Value& oldValue = Value());
    // The same with another undo manager (a text editor's own, while text is edited in place).
    void undoableSetPropertyFor(const ObjectPtr& object, const QString& property, const Value& value,
        const Value& oldValue, UndoManager* undoManager);
    // Replaces the children of a container (anything adopting Parent).
    void undoableSetChildren(const ElementList& children, const ObjectPtr& parent);
    // alreadyDone: the caller has moved, transformed or manipulated the elements live already, so only
    // the inverse is registered. The inverses always pass false. Moves and transforms are undone and
    // redone by putting back the geometry recorded before and after (GeometryRecord), bit for bit;
    // only the first undo of a live change, which left no record, moves or transforms back.
    void undoableOffsetObjects(const ElementList& objects, const QPointF& offset, bool alreadyDone);
    // The caller has moved the elements live from the geometry recorded before (recordGeometry of
    // the same list): the undo puts that back exactly.
    void undoableOffsetObjects(const ElementList& objects, const GeometryRecord& before);
    // Puts the geometry recorded for the elements back; its undo puts back the geometry they have
    // now. The caller names the step.
    void undoableSetGeometry(const ElementList& objects, const GeometryRecord& geometry);
    void undoableTransformObjects(
        const ElementList& objects, const QTransform& transform, const QString& actionName, bool alreadyDone);
    void undoableManipulateGraphics(const ElementList& graphics,
        const std::shared_ptr<GraphicManipulator>& manipulator,
        const std::shared_ptr<GraphicManipulator>& undoManipulator, bool alreadyDone);

    // Deletes a colour of the model's palette, first replacing its uses with another colour. Only the
    // documents know where their colours are used; the base deletes nothing.
    virtual void undoableDeleteColor(const std::shared_ptr<ZDLColor>& color, const ObjectPtr& model,
        const std::shared_ptr<ZDLColor>& replacement);

    // --- Model links ---
    // Shared with the model: the view settings of the document.
    std::shared_ptr<DocumentSettings> documentSettings() const { return m_documentSettings; }
    void setDocumentSettings(const std::shared_ptr<DocumentSettings>& settings)
    {
        m_documentSettings = settings;
    }
    // In a character document its own model; in a comic document the character last opened in the
    // part editor.
    std::shared_ptr<CharacterModel> currentCharacter() const { return m_currentCharacter; }
    void setCurrentCharacter(const std::shared_ptr<CharacterModel>& character)
    {
        m_currentCharacter = character;
    }

    // --- Responder: undo and redo reach the document through the chain ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the document with when it is offered.
    static const ActionTable<ZDLDocument>& actionTable();

protected:
    // The name followed by the extension, with a "." put in front of the extension when missing.
    static QString withExtension(const QString& name, const QString& extension);
    // The file's name when the document has one, else the model's name ("/" made "-") with the
    // extension; empty for an untitled document whose model has no name.
    QString proposedFileNameFor(const QString& modelName, const QString& extension) const;
    // What exports call a document never saved: "Untitled" in the base.
    virtual QString untitledDocumentName() const;
    bool namedAsCopy() const { return m_namedAsCopy; }
    // The object following the given one on the way out of a level bar: its parent in the base.
    virtual ObjectPtr nextLevelObject(const ObjectPtr& object) const;
    // Installs a model read from a file; called only once reading succeeded.
    virtual void installModel(const ObjectPtr& model) { }
    // After a successful write, with the operation that wrote.
    virtual void didSave(SaveOperation operation) { }
    void presentError(const DocumentError& error, FileOperation operation) const;

    // Every change of the model is told here, with the objects it changed, or without (null) when
    // anything may have changed: what a document keeps of the parts of its file that did not change
    // (ComicDocument) it drops here. The changes of an undoable operation are told with its objects
    // when it starts and when it ends; a view notification outside any operation counts as a change
    // of anything, unless it names its objects.
    virtual void modelChanged(const ElementList* objects) { }
    // The part of an autosave that reads the model, done now on this thread; the encoder returned
    // encodes and may run on another. The format's own by default.
    virtual FileFormat::Encoder prepareBackgroundWrite(
        const FileFormat& format, const Object& model, DocumentError* error);
    // What an encoder sets, in the error's domain, when it found that what it was given does not
    // agree with itself: the write is made again from the model, with nothing kept.
    static inline const QString kStaleSnapshotDomain = QStringLiteral("ZandrelStaleSnapshot");

    // The changes made while one lives are the operation's, told as its objects' changes.
    class ChangeScope {
    public:
        ChangeScope(ZDLDocument& document, ElementList objects);
        ~ChangeScope();
        ChangeScope(const ChangeScope&) = delete;
        ChangeScope& operator=(const ChangeScope&) = delete;

    private:
        ZDLDocument& m_document;
        ElementList m_objects;
    };

private:
    struct BackgroundWrite;

    void undoStateChanged();
    // A change of a locked document: once the event that made it is over, the user is asked whether
    // to go on in a duplicate; either way the document returns to its file.
    void lockedDocumentChanged();
    void offerToDuplicate();
    void applyBackgroundWrite(BackgroundWrite& write);
    // Lets the worker end without applying what it did: the document is going.
    void abandonBackgroundWrite();
    // Tells of a failed autosave, once until a write succeeds again.
    void autosaveFailed(const DocumentError& error);
    void scheduleAutosave();
    static bool writeFile(const QString& path, const QByteArray& data, DocumentError* error);
    void didUndoOrRedo();
    void transitionToNewEditor(EditorContainer* editor);
    void dissolveIfUnderpopulated(const ObjectPtr& parent);

    // A view notification: outside an operation it tells of a change of anything (or of these objects).
    void viewsNotified(const ElementList* objects = nullptr);

    // Posts the element's invalidation bounds; false when it has none.
    bool announceBounds(const ObjectPtr& object, bool afterChange);
    void schedulePropertyChanged(const QString& property);
    // Registers an undo that puts back the geometry the elements have now.
    void registerGeometryUndo(const ElementList& objects);
    // Changes each graphic element of the list between announcements of its bounds before and after.
    void changeGeometry(const ElementList& objects, const std::function<void(GraphicElement&)>& change);

    UndoManager m_undoManager;
    DocumentHost* m_host = nullptr;
    QString m_filePath;
    QString m_fileType;
    QString m_untitledName;
    bool m_namedAsCopy = false;
    PageSetup m_pageSetup;
    QByteArray m_savedSnapshot;
    bool m_changedSinceExplicitSave = false;
    bool m_changedSinceWrite = false;
    bool m_locked = false;
    bool m_askingToDuplicate = false;
    // Expires with the document, for answers that come after it went.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    // An autosave that failed is reported once, until a write succeeds again.
    bool m_autosaveFailed = false;
    // Counts the changes the undo manager does not see, so that a write knows whether one came
    // after the state it wrote.
    quint64 m_unseenChanges = 0;
    std::shared_ptr<BackgroundWrite> m_backgroundWrite;
    // An autosave came due while the background write ran.
    bool m_autosaveDueAgain = false;
    // Undoable operations under way, whose changes are told with their objects.
    int m_changeScopes = 0;
    EditorContainer* m_currentEditor = nullptr;
    ObjectPtr m_currentEditObject;
    EditorContainer* m_partEditor = nullptr;
    EditorContainer* m_imageEditor = nullptr;
    EditorContainer* m_balloonGroupEditor = nullptr;
    std::shared_ptr<CurveToleranceAdjuster> m_toleranceAdjuster;
    std::shared_ptr<DocumentSettings> m_documentSettings;
    std::shared_ptr<CharacterModel> m_currentCharacter;
};

} // namespace zandrel
