#pragma once

#include "views/BalloonEditingView.h"

#include <QColor>
#include <memory>

namespace zandrel {

class ComicDocument;
class ComicModel;
class ComicPanel;
class ComicViewBacking;
class DrawingSplit;
struct Notification;

// The main editing view of a comic document. It shows one page, the comic's current page, inside
// the comic's bounds (the rest is the window background, shaded), and edits one container: its root
// object is always the current layer of the current panel, so selection, paste, drops and new
// balloons act there. It follows the comic's current panel, edited layer, focus mode and page as the
// model announces them, redraws only what the document's notifications name, and carries the page,
// row and panel commands and those of free panels and layers (ComicViewCommands.cpp).
class ComicView : public BalloonEditingView {
    Q_OBJECT

public:
    // The current-row highlight: green at half opacity.
    static const QColor kCurrentRowColor;
    // Objects that stick out of the page keep this many screen points of room around them.
    static constexpr double kContentMargin = 14.0;

    explicit ComicView(ComicDocument* document, QWidget* parent = nullptr);
    ~ComicView() override;

    ComicModel* comicModel() const;
    std::shared_ptr<ComicPanel> currentPanel() const;

    bool showCurrentRow() const { return m_showCurrentRow; }
    // The insert-row and delete-row sheets show the row they act on.
    void setShowCurrentRow(bool show);

    // The bitmaps of the page below and above the selection.
    ComicViewBacking& backing() const { return *m_backing; }

    // The handler of the document's "modelPropertyChange".
    void modelPropertyChanged(const Notification& notification);
    // Sets the selection and the comic's current panel together, as one undoable step.
    void undoableSetSelectionAndPanel(
        const ElementList& selection, const std::shared_ptr<ComicPanel>& panel, bool bothWays);
    // The character all selected objects that have one come from; null for none or several.
    Object* selectedCharacter() const;

    // --- Overrides of the bases ---
    void setViewScale(float scale) override;
    QRectF getContentBounds() const override;
    QPointF graphicPastePoint() const override;
    // Undoing a selection made in another panel makes that panel current again first.
    void undoableSetSelection(const ElementList& selection, const ObjectPtr& root, bool bothWays) override;
    using BalloonEditingView::undoableSetSelection;
    void sizeAndPositionImportedImage(
        ImageElement& image, const ObjectPtr& parent, const QPointF& point) override;
    // A whole-view update (a revert, a new model) also puts the root back on the current layer.
    void updateView(const Notification& notification) override;
    void documentClosing() override;

    // --- Page, row and panel commands (ComicViewCommands.cpp) ---
    void deletePage();
    void insertPanel(bool after);
    void deletePanel(const QString& actionName);
    void splitPanelIntoRows(int rows, int panels);
    void toggleFocusOnPanel();
    // --- Free panels and layers (ComicViewCommands.cpp) ---
    void newFreePanel(bool inset, const QString& actionName);
    void movePanelInOrder(bool forward, const QString& actionName);
    void toggleEditBackground();
    void moveToLayer(const QString& actionName);
    // --- Free objects (ComicViewCommands.cpp) ---
    // Frees the selected objects from their panel: they become free objects of the page, above the
    // others, and the page's free objects open in their editor.
    void toggleFloating(const QString& actionName);
    // Opens the page's free objects in their editor; the object given is selected alone there.
    void openFreeObjectsEditor(const ObjectPtr& selecting = nullptr);
    // Puts the right-clicked free object into the panel it overlaps most, which becomes current
    // with the object selected; nothing outside the free-object menu.
    void restrictToPanel();
    // The free object that was right-clicked, while its menu is up; null at all other times.
    const ObjectPtr& clickedFreeElement() const { return m_clickedFreeElement; }
    // The menu of a right click on a free object of the page.
    QMenu* freeElementContextMenu();

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;

protected:
    void drawRect(const QRectF& dirtyRect) override;
    // While something is selected the page comes from the view's backing (ComicViewBacking).
    void paintRegion(QPainter& painter, const QRegion& region) override;
    // And on screen the backing's bitmaps are written into the window's pixels before any painter.
    void paintEventRegion(const QRegion& region) override;
    // Drops land only in panels: the panel whose frame is under the pointer becomes current, so a
    // drop goes into its current layer.
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragScrolledUnder(const QPointF& documentPoint) override;
    void dropEvent(QDropEvent* event) override;
    // The page stays as it is when the edited layer changes: the model names the panels to redraw.
    void redisplayAfterRootChange() override { }
    // Paging is held while text is typed in place.
    void textEditingChanged() override;
    // A right click on a free object of the page shows the free-object menu instead of the view's.
    void rightMouseDown(const ZDLEvent& event, const QPoint& globalPos) override;

private:
    friend class ComicViewBacking;
    // The page, the current row and the shade off the page: everything drawRect draws but the
    // tool's handles and the balloon being edited. A split draws one slice of it.
    void drawContent(const QRectF& dirtyRect, DrawingSplit* split);
    // What is drawn over the content: the balloon being edited, the tool's handles and the tracker.
    void drawDecorations(const QRectF& dirtyRect);
    // Whether drawDecorations would draw nothing now.
    bool decorationsDrawNothing() const;

    // Takes the selection out of the view's root, undoably; used by layer moves and freeing.
    ElementList takeSelectionFromRoot(const Parent& root);
    // The root becomes the current panel's current layer.
    void followCurrentPanel();
    // Each command of the view with when it is offered.
    static const ActionTable<ComicView>& actionTable();
    // The whole view, page and the margins around it.
    QRectF currentRowBounds() const;
    // The panel a drag at the point would drop into, made current when the point lies inside its
    // frame; null outside every panel.
    std::shared_ptr<ComicPanel> panelUnderDrag(const QPointF& point);

    bool m_showCurrentRow = false;
    QMenu* m_freeElementContextMenu = nullptr;
    std::unique_ptr<ComicViewBacking> m_backing;
    ObjectPtr m_clickedFreeElement;
};

} // namespace zandrel
