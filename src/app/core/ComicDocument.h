#pragma once

#include "app/core/ZDLDocument.h"

#include <memory>
#include <unordered_map>
#include <vector>

namespace zandrel {

class ArchiveTape;
class CharacterLibraryItem;
class ComicModel;
class ComicPage;
class ComicPanel;
class ComicStructureElement;
class ComicRow;

// Whether an operation on a free panel makes it the comic's current panel.
enum class PanelSelection { Select, Keep };

// What the window's page navigation shows: hidden with fewer than two pages; the buttons and the
// popup wait while balloon text is edited in place.
struct PageControls {
    bool visible = false;
    bool previousEnabled = false;
    bool nextEnabled = false;
    bool popupEnabled = false;
    qsizetype pageCount = 0;
    // The popup's selected item, tagged with the page index from 0; -1 for none.
    qsizetype currentIndex = -1;
    bool operator==(const PageControls&) const = default;
};

// What the comic document asks of its window: the page navigation shows the controls, and the
// comic view says whether balloon text is being edited in place.
class ComicWindowLink {
public:
    virtual ~ComicWindowLink() = default;
    virtual void showPageControls(const PageControls& controls) = 0;
    virtual bool textEditing() const { return false; }
    // The new-comic sheet came up over the comic (true) or is done (false).
    virtual void newComicSheetShown(bool) { }
};

// What the comic document asks of the catalog and library panel of its window: show a parts file of
// the comic's library, and open or close the pane.
class CatalogPanelLink {
public:
    virtual ~CatalogPanelLink() = default;
    virtual void showCharacterLibraryItem(const std::shared_ptr<CharacterLibraryItem>& item) = 0;
    virtual void catalogViewOpenChanged(bool open) = 0;
    // The document reads its comic again (a revert): the library and the pane's state are the file's.
    virtual void comicModelReplaced() { }
};

// The document of one comic file, as the model sees it: the ComicModel it owns and links back to
// itself, and the undoable operations of the comic's structure (pages, rows and panels added,
// deleted and split, free panels, structure contents, panel moves, colours deleted from the comic). The
// window half (page menu, sheets, views) extends it through the virtual hooks.
class ComicDocument : public ZDLDocument {
public:
    // A new comic: a fresh model, not yet laid out.
    ComicDocument();
    ~ComicDocument() override;

    const std::shared_ptr<ComicModel>& model() const { return m_model; }
    // How many pages the next autosave writes from the tapes it kept (for tests and benchmarks).
    size_t keptPageTapes() const { return m_pageTapes.size(); }
    ObjectPtr rootModel() const override;
    // Makes the model the document's: the old one is retired, the new one linked, its view
    // settings taken, and the views redrawn.
    void setModel(const std::shared_ptr<ComicModel>& model);

    // Retires the model.
    void close() override;
    // Back at the comic view first; afterwards the page controls show the reverted comic.
    bool revertToSaved(DocumentError* error) override;
    void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object) override;

    // --- The model's calls and the page navigation (ComicDocumentPages.cpp) ---
    // The page controls of the window follow the model.
    virtual void currentPageChanged();
    virtual void numberOfPagesChanged();
    void updatePageControls();
    PageControls pageControls() const;
    void setWindowLink(ComicWindowLink* link) { m_windowLink = link; }
    ComicWindowLink* windowLink() const { return m_windowLink; }
    // The model ignores an index outside its pages.
    void gotoPrevPage();
    void gotoNextPage();
    void gotoSelectedPage(qsizetype index);
    // "Story page 3.jpg" for the current page, "Story panel 2.png" for the current panel.
    QString documentNameWithQualifier(ExportKind qualifier, const QString& extension) const override;
    // The file's name, or for an untitled comic its name with the comic extension.
    QString proposedFileName() const override;
    // The comic's name, else the file's.
    QString documentTitle() const override;

    // --- The new-comic sheet ---
    // The sheet over a new comic rebuilds it with every change, so while it is up the comic's own
    // commands wait, and so do the colour window and the properties sheet.
    bool editingNewDocProps() const { return m_editingNewDocProps; }
    void newComicPropertiesStarted();
    // The sheet is done: the comic view takes the keys and the page controls are built.
    void doneEditingNewComicProperties();

    // --- The catalog and library panel (ComicDocumentLibrary.cpp) ---
    void setCatalogController(CatalogPanelLink* link) { m_catalogController = link; }
    CatalogPanelLink* catalogController() const { return m_catalogController; }
    // Finds or adds the parts file in the comic's character library and shows it in the panel; null
    // when the file is not a catalog's and cannot be read.
    std::shared_ptr<CharacterLibraryItem> openAndShowCharacterFile(const QString& path);
    // The pane is open; the comic keeps the flag so that it is saved with it.
    bool isCatalogViewOpen() const;
    void setIsCatalogViewOpen(bool open);

    // --- Editors ---
    // A page's free objects and exact groups open in the group editor.
    EditorContainer* editorForObject(const ObjectPtr& object) const override;
    void setGroupEditor(EditorContainer* editor) { m_groupEditor = editor; }
    EditorContainer* groupEditingView() const override { return m_groupEditor; }
    // Redraws the panel and its highlight (6 screen points around it); null redraws nothing.
    void updatePanel(const ComicPanel* panel, bool afterChange);

    // --- Undoable operations ---
    // Moves a free panel with its contents, "Move Floating Panel". alreadyDone: the panel was
    // moved live, only the inverse is registered. With Select the panel becomes current; a page
    // resize moves panels with Keep, so that the user stays where they are, also when it is undone.
    void undoableOffsetPanel(const std::shared_ptr<ComicPanel>& panel, const QPointF& offset,
        bool alreadyDone, PanelSelection selection = PanelSelection::Select);
    // Replaces a page's free panels of one kind and makes the panel current; panels that leave hear
    // that their parent changed. The caller names the step.
    void undoableSetFloatingPanels(const std::vector<std::shared_ptr<ComicPanel>>& panels,
        const std::shared_ptr<ComicPage>& page, const std::shared_ptr<ComicPanel>& selecting);
    void undoableSetInsetPanels(const std::vector<std::shared_ptr<ComicPanel>>& panels,
        const std::shared_ptr<ComicPage>& page, const std::shared_ptr<ComicPanel>& selecting);
    // Replaces the contents of the comic, a page or a row; members that leave hear that their parent
    // changed. The caller names the step.
    void undoableSetContents(const std::vector<std::shared_ptr<ComicStructureElement>>& contents,
        const std::shared_ptr<ComicStructureElement>& parent);
    // Every use of the colour in the comic's panels and pages becomes the replacement, then the
    // colour leaves its character's palette: "Delete Color".
    void undoableDeleteColor(const std::shared_ptr<ZDLColor>& color, const ObjectPtr& model,
        const std::shared_ptr<ZDLColor>& replacement) override;

    // --- Pages (ComicDocumentPages.cpp) ---
    // A new page of rows x panels at the index, its panels framed as given, the page and its first
    // panel current: "Insert Page".
    void undoableAddPageAt(
        qsizetype index, int rows, int panels, int shape, qint64 lineStyle, float weight, float roundness);
    // Removes the current page, the one after it (the one before, for the last) becoming current:
    // "Delete page". A comic's only page stays.
    void undoableDeleteCurrentPage();

    // --- Rows, panels and the comic's size (ComicDocumentRows.cpp) ---
    // A new panel at the index of the row, styled as the current panel, the row laid out again, the
    // new panel current: "Insert Panel".
    void undoableInsertPanelInRow(const std::shared_ptr<ComicRow>& row, qsizetype index);
    // The same, before or after a panel of a row; nothing for a panel of no row.
    void undoableInsertPanelBeside(const std::shared_ptr<ComicPanel>& panel, bool after);
    // Removes the panel. A free panel leaves its page's free panels and the page's first panel
    // becomes current; a panel of a row or stack leaves it, the others spreading over its space, and
    // the panel after it (else the one before) becomes current. The only panel of its row or stack
    // stays. The caller names the step.
    void undoableDeletePanel(const std::shared_ptr<ComicPanel>& panel, const QString& actionName);
    // Splits a panel of a row or stack into rows of panels, each styled as it; the panel keeps its
    // contents as the first of them and becomes current. A row left holding only the grid gives way
    // to the grid's rows: "Split panel".
    void undoableSplitPanel(const std::shared_ptr<ComicPanel>& panel, int rows, int panels);
    // Removes the page's row; a height above 0 also takes that much off the comic's height, unless the
    // panels left would not fit: "Remove Row".
    void undoableDeleteRowInPage(const std::shared_ptr<ComicPage>& page, qsizetype index, float height);
    // A row of that many panels, styled as the current panel, at the index; a height above 0 is the
    // row's own and the comic grows by it, else the row takes an equal share of the page: "Insert Row".
    void undoableInsertRowInPage(
        const std::shared_ptr<ComicPage>& page, qsizetype index, float height, int panels);
    // Whether the structure lets the current panel and its page take each operation, as the menus
    // offer them: a row inserted beside or a split of a panel that is not free; a row deleted from a
    // page of two rows or more, beside such a panel; a panel inserted beside a panel of a row; a free
    // panel, or one with a neighbour in its row or stack, deleted. False without a current panel.
    bool canInsertRow() const;
    bool canDeleteRow() const;
    bool canInsertPanel() const;
    bool canDeletePanel() const;
    bool canSplitPanel() const;
    // Lays every page out at the size and records the comic's "size", all undoably; the caller names
    // the step.
    void undoableSetComicSize(const QSizeF& size);
    // Scales the objects by (sx, sy) around the centre: parts and images are transformed, parts'
    // line weights and blurs multiplied by the mark factor, and a balloon keeps its shape, taking
    // the width scaled by sx with its top middle carried as the transform carries it. Other objects
    // stay. A factor of 0 or one that is not finite changes nothing. The caller names the step
    // (ComicDocumentScale.cpp).
    void undoableScale(
        const ElementList& objects, float sx, float sy, const QPointF& centre, float markFactor);

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the document with when it is offered.
    static const ActionTable<ComicDocument>& actionTable();

protected:
    // A comic read from a file.
    void installModel(const ObjectPtr& model) override;
    // Out of a page's free objects the level bar goes to the front layer of the current panel.
    ObjectPtr nextLevelObject(const ObjectPtr& object) const override;
    // A change drops what the autosave kept of the pages it touched; a change outside the pages, or
    // of unknown objects, drops all of it.
    void modelChanged(const ElementList* objects) override;
    // The autosave of a comic records only the pages that changed since the last one (and the
    // comic's own fields, its cast and colours); the pages that did not keep their tapes.
    FileFormat::Encoder prepareBackgroundWrite(
        const FileFormat& format, const Object& model, DocumentError* error) override;

private:
    void adoptModel(const std::shared_ptr<ComicModel>& model);
    // Registers an undo that puts the panel back where it is now, with its contents, and selects it
    // as undoableOffsetPanel does; that undo registers the same for the place it leaves.
    void registerPanelPlacementUndo(const std::shared_ptr<ComicPanel>& panel, PanelSelection selection);
    // Registers an undo that puts back what scaling changes of the objects (ComicDocumentScale.cpp).
    void registerScaleUndo(
        const ElementList& objects, float sx, float sy, const QPointF& centre, float markFactor);
    // Sets the free panels of one kind and the current panel, registering the inverse.
    void setFreePanels(bool inset, const std::vector<std::shared_ptr<ComicPanel>>& panels,
        const std::shared_ptr<ComicPage>& page, const std::shared_ptr<ComicPanel>& selecting);

    std::shared_ptr<ComicModel> m_model;
    // The tapes of the pages that did not change since the autosave recorded them (ArchiveTape.h),
    // and the model they are of.
    std::unordered_map<const Object*, std::shared_ptr<const ArchiveTape>> m_pageTapes;
    const Object* m_pageTapesModel = nullptr;
    EditorContainer* m_groupEditor = nullptr;
    ComicWindowLink* m_windowLink = nullptr;
    CatalogPanelLink* m_catalogController = nullptr;
    bool m_editingNewDocProps = false;
};

} // namespace zandrel
