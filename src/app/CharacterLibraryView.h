#pragma once

#include "views/ZDLView.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>

class QDrag;
class QMimeData;

namespace zandrel {

class CharacterLibraryItem;
class ComicDocument;
class LibrarySelectionTool;

// The library area of a comic window's catalog and library panel: one parts file of the comic's
// character library, shown either as the whole character as drawn in its file or as a sheet of all
// its poses of one part type (a LibraryParent), from which the user drags parts into the comic.
//
// How the panel hosts it:
// - make the view, put it in a ZDLScrollArea, give it the comic document (setComicDocument) and the
//   controls the panel lays out (setControls: the view popup, the scale popup, the edit button);
//   buildLibraryArea does all of that in one widget for a panel that has no layout of its own;
// - show a library entry with setCurrentCharacter (null when the shown entry goes away); the view
//   keeps the entry's part type, sheet, scale and scroll point on the entry, so switching entries
//   and back restores them;
// - parts files dropped on the view go to the character file opener (setCharacterFileOpener); the
//   panel sets one that opens the file into the comic's library and shows it; without one the view
//   adds the file to the model's library and shows it itself;
// - at the document's close, documentClosing.
// Parts leave the view by a drag (the LibrarySelectionTool's) carrying the same payload as the
// clipboard, which the comic view's drop takes in as one "Drag in character parts" step. Part
// bitmaps are made on a 0.2 s timer, one part a tick, at the shown scale, so showing a large
// character never blocks the interface.
class CharacterLibraryView : public ZDLView {
    Q_OBJECT

public:
    // The fixed items at the head of the view popup: all poses (or scenes), every part type on one
    // sheet, and a separator; the part types follow.
    static constexpr int kFixedViewItems = 3;
    static constexpr int kBackgroundCacheIntervalMs = 200;
    // The sheet's width leaves room for a vertical scroll bar.
    static constexpr double kSheetWidthMargin = 16.0;

    explicit CharacterLibraryView(QWidget* parent = nullptr);
    ~CharacterLibraryView() override;

    // Takes the panel's controls: fills the scale popup with the zoom table and the view popup with
    // its fixed items, and wires all three to the view. Any may be null.
    void setControls(QComboBox* viewPopup, QComboBox* scalePopup, QAbstractButton* editCharacterButton);
    // A library area in the widget (which gets a layout): a scroll area holding a new view for the
    // document, under a bar with the view popup, the edit button and the scale popup; the bar's
    // controls go into the controls band instead when one is given (appended to its layout, or to
    // a new row).
    static CharacterLibraryView* buildLibraryArea(
        QWidget* area, ComicDocument* document, QWidget* controlsBand = nullptr);

    ComicDocument* comicDocument() const { return m_comicDocument; }
    void setComicDocument(ComicDocument* document) { m_comicDocument = document; }
    QComboBox* viewPopup() const { return m_viewPopup; }
    QComboBox* scalePopup() const { return m_scalePopup; }
    QAbstractButton* editCharacterButton() const { return m_editCharacterButton; }
    LibrarySelectionTool* libraryTool() const { return m_libraryTool.get(); }

    // --- What is shown ---
    const std::shared_ptr<CharacterLibraryItem>& currentCharacter() const { return m_currentCharacter; }
    void setCurrentCharacter(const std::shared_ptr<CharacterLibraryItem>& item);
    // The whole character.
    void viewAllWithPoses();
    // -1 the whole character, -2 every part type on one sheet, else the sheet of that part type.
    void viewPartType(int partType);
    // Opens a user's parts file for editing.
    void editLibraryCharacter();

    // --- Scale ---
    void setViewScale(float scale) override;
    // Selects the popup's entry for the scale, or puts a custom entry (and a separator) at its head.
    void setScalePopupValue(float scale);
    bool scalePopupShowsCustomSize() const { return m_scalePopupShowsCustomSize; }

    // --- Drawing and caching ---
    QRectF getContentBounds() const override;
    // One tick of background caching: makes at most one part's bitmap at the view's scale; true
    // when it made one. Nothing while the view is being scaled interactively.
    bool backgroundCache();
    bool backgroundCachingActive() const { return m_backgroundCachingTimer.isActive(); }
    // Whether the element can be drawn now without rendering its part's bitmap: a part is shown as
    // a placeholder until its bitmap at the shown scale is made, a few at a time between events.
    bool previewReady(const ObjectPtr& element) const;
    // Makes the bitmaps of the visible parts that lack one, for at most the time slice; true when
    // some remain.
    bool buildVisiblePreviews();
    // How long one pass of buildVisiblePreviews may take before it yields to the events.
    static constexpr int kPreviewSliceMs = 25;

    // --- Drags ---
    // Opens a dropped parts file into the comic's library.
    using CharacterFileOpener = std::function<void(const QString& path)>;
    void setCharacterFileOpener(CharacterFileOpener opener) { m_characterFileOpener = std::move(opener); }
    // Runs a drag out of the view; the default runs the platform's drag (QDrag::exec with copy only).
    // Tests replace it to deliver the drag's data to a view of their choice.
    using DragRunner = std::function<Qt::DropAction(QDrag& drag)>;
    static void setDragRunner(DragRunner runner);
    // Starts a drag of the data with the image, the hot spot in the image's pixels.
    Qt::DropAction beginDraggingSession(QMimeData* data, const QImage& image, const QPoint& hotSpot);

    // --- Hooks of the base ---
    void documentClosing() override;
    void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // What the view answers itself: with no character shown, nothing to select or zoom.
    static const ActionTable<CharacterLibraryView>& actionTable();

protected:
    void drawRect(const QRectF& dirtyRect) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void viewPopupActivated(int index);
    void scalePopupActivated(int index);
    void rebuildViewPopup();
    void updateControlsEnabled();
    // The dropped local files with the extension "parts".
    static QStringList droppedPartsFiles(const QMimeData* data);
    void schedulePreviews();

    std::shared_ptr<LibrarySelectionTool> m_libraryTool;
    std::shared_ptr<CharacterLibraryItem> m_currentCharacter;
    QTimer m_backgroundCachingTimer;
    QTimer m_previewTimer;
    // Parts that keep no bitmap at the shown scale (too large, still loading): drawn directly.
    QSet<const Object*> m_drawnDirectly;
    float m_drawnDirectlyScale = 0.0f;
    QPointer<QComboBox> m_scalePopup;
    bool m_scalePopupShowsCustomSize = false;
    ComicDocument* m_comicDocument = nullptr;
    QPointer<QComboBox> m_viewPopup;
    QPointer<QAbstractButton> m_editCharacterButton;
    CharacterFileOpener m_characterFileOpener;
};

} // namespace zandrel
