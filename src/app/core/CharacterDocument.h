#pragma once

#include "app/core/EditorContainer.h"
#include "app/core/ZDLDocument.h"

#include <QString>
#include <memory>

class QObject;

namespace zandrel {

class CharacterModel;
class ZDLColor;

// Posted with the document as object when the navigation bar of a parts-view mode appears, changes
// or goes.
inline const QString kNavigationChangedNotification = QStringLiteral("navigationChanged");

// What inserting pasted or dragged parts needs of the editing view they go into.
class InsertionView {
public:
    virtual ~InsertionView() = default;
    // The container the parts are appended to.
    virtual ObjectPtr rootObject() const = 0;
    // Selects the new elements; with bothWays undo and redo both end on them.
    virtual void undoableSetSelection(const ElementList& selection, bool bothWays) = 0;
    // The window the colour question is asked on; null asks without one.
    virtual QObject* window() const { return nullptr; }
};

// The document of one parts file: a character, or a set of scenery, held in a CharacterModel. It
// reads and writes the whole file through the parts-file format, inserts pasted and dragged parts
// (asking before it merges another file's colours), deletes colours undoably, keeps the tracing
// image and tells the application after each plain save or autosave in place.
class CharacterDocument : public ZDLDocument {
public:
    // A new character.
    CharacterDocument();
    // Around a model made elsewhere (the imports).
    explicit CharacterDocument(const std::shared_ptr<CharacterModel>& model);
    ~CharacterDocument() override;

    const std::shared_ptr<CharacterModel>& model() const { return m_model; }
    ObjectPtr rootModel() const override;

    // Lets go of the editors and the model; nothing of it is used afterwards.
    void close() override;
    void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object) override;
    EditorContainer* editorForObject(const ObjectPtr& object) const override;
    void setGroupEditor(EditorContainer* editor) { m_groupEditor = editor; }
    EditorContainer* groupEditingView() const override { return m_groupEditor; }

    // --- Pasted and dragged parts ---
    // Inserts what the model accepts of the pasteboard's children into the view's root object. Parts
    // of another character are inserted only once the user agrees to merging their colours. The
    // step is named here ("Drag Copy" or "Paste"): after that question no caller is left to name it.
    void undoableInsertFromScrap(const ElementList& scrapChildren, InsertionView& view, bool fromDrag);
    void undoableInsertPartsFromScrap(const ElementList& elements, InsertionView& view);

    // --- A new file ---
    // A new character's window shows the new-character sheet until it ends; files read and
    // imports never do.
    bool displaysNewCharacterSheet() const { return m_displayNewDocDialog; }
    // The sheet is on show over the window: the colour window and the properties sheet, which would
    // work on what the sheet is about to replace, wait until it is done.
    void newCharacterPropertiesStarted() { m_editingNewDocProps = true; }
    bool editingNewDocProps() const { return m_editingNewDocProps; }
    // The sheet has written the name, kind and palette into the model: the window shows it.
    void doneEditingNewCharacterProperties();

    // --- Colours ---
    // Only for this document's model: every use of the colour becomes the replacement, then the
    // colour leaves the palette, as one "Delete Color" step.
    void undoableDeleteColor(const std::shared_ptr<ZDLColor>& color, const ObjectPtr& model,
        const std::shared_ptr<ZDLColor>& replacement) override;

    // --- Tracing image ---
    // Sets the image of the file and shows it, as two undoable property changes. A file that is not
    // a readable image changes nothing and returns false, so the user can be told (with the reason,
    // when the file itself could not be read).
    bool openTracingImage(const QString& path, QString* reason = nullptr);
    void clearTracingImage();
    // Not undoable: the model's setter redraws the views.
    void toggleTracingImage();

    // Saves the character into the user catalog, under the file's name or, untitled, the
    // character's; nothing without a character name.
    void saveToCatalog();
    // The file's name, or for an untitled character its name ("/" made "-") with the parts
    // extension; empty for an untitled character without a name.
    QString proposedFileName() const override;
    // The character's name, else the file's.
    QString documentTitle() const override;

    // --- The navigation bar of a mode of the parts view (the thumbnail editor) ---
    // The bar above the parts view reads: the character, then the mode's title. Clicking the
    // character leaves the mode.
    void showNavigationForMode(const QString& title);
    void hideNavigation();
    bool navigationShown() const { return !m_navigationMode.isEmpty(); }
    const EditingLevels& navigationLevels() const { return m_navigationLevels; }

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the document with when it is offered.
    static const ActionTable<CharacterDocument>& actionTable();

protected:
    void installModel(const ObjectPtr& model) override;
    // Untitled, the character is called by its name ("/" made "-"), as a save would call its file;
    // a duplicate, or a character without a name, by its window's name ("Pip copy", "Untitled 2").
    QString untitledDocumentName() const override;
    void didSave(SaveOperation operation) override;

private:
    void adoptModel(const std::shared_ptr<CharacterModel>& model);

    std::shared_ptr<CharacterModel> m_model;
    EditorContainer* m_groupEditor = nullptr;
    bool m_displayNewDocDialog = false;
    bool m_editingNewDocProps = false;
    QString m_navigationMode;
    EditingLevels m_navigationLevels;
};

} // namespace zandrel
