#pragma once

#include "app/core/CharacterDocument.h"
#include "views/ZDLView.h"

#include <functional>
#include <memory>
#include <optional>

class QMimeData;

namespace zandrel {

class ComicDocument;
class ComicPanel;
struct ExportResult;
enum class ExportFileType : int;
class Curve;
class ImageElement;
class PasteboardParent;

// What the selection can be merged into: nothing, part groups, groups, parts, balloons or paths.
enum class MergeType : int { Nothing = 0, PartGroups = 1, Groups = 2, Parts = 3, Balloons = 4, Paths = 5 };

// The base of every view that edits a document. It links the view to its document, makes selection
// and child-list changes undoable, and holds the editing commands that do not depend on the kind of
// content: delete, cut, copy and paste through the pasteboard payload, the stacking order, flips and
// scaling about the transform origin, merging the selection, setting part types and the background,
// nudging with the arrow keys and opening an object's editor. Each command is one named undo step
// whose undo restores the model and the selection. Subclasses adapt it through the hooks: what a
// paste inserts, where pasted images go, and which drops they take.
class ZDLEditingView : public ZDLView, public InsertionView {
    Q_OBJECT

public:
    explicit ZDLEditingView(ZDLDocument* document, QWidget* parent = nullptr);
    ~ZDLEditingView() override;

    ZDLDocument* document() const { return m_document; }
    // Exactly one of the two is set while the view shows a document: the document as the kind it is.
    CharacterDocument* characterDoc() const { return m_characterDoc; }
    ComicDocument* comicDoc() const { return m_comicDoc; }
    virtual QString contentName() const { return m_contentName; }
    void setContentName(const QString& name) { m_contentName = name; }

    void documentClosing() override;
    void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object) override;
    void setViewScale(float scale) override;
    QPointF getCenterForZoom() const override;

    // --- Undoable view state ---
    // Selections are recorded for undo by these alone. Without bothWays undo returns to the present
    // selection; with it, undo and redo both land on the given one (after a change of children, where
    // the same objects must be selected on either side). A view whose root has changed meanwhile
    // ignores what is undone.
    virtual void undoableSetSelection(const ElementList& selection, const ObjectPtr& root, bool bothWays);
    void undoableSetSelection(const ElementList& selection, bool bothWays) override;
    void undoableSetChildren(const ElementList& children, const ObjectPtr& parent,
        const ElementList& selection, const ElementList& oldSelection);
    ObjectPtr rootObject() const override { return ZDLView::rootObject(); }
    QObject* window() const override { return QWidget::window(); }

    // --- Commands ---
    void deleteSelection();
    void cut();
    void copy();
    void paste();
    void editObject();
    void bringToFront();
    void bringForward();
    void sendToBack();
    void sendBackward();
    void flipHorizontal();
    void flipVertical();
    void merge();
    void setPartType(int partType);
    void setBackground(int style);
    // The arrow keys: one screen pixel, whatever the zoom.
    void nudge(const QPointF& screenOffset);

    // --- Drops and imported images (ZDLEditingViewDrops.cpp) ---
    // "Import Image": a PNG or JPEG file chosen by the user goes to the paste point.
    void importImage();
    // Asks for the image file to import; an empty answer imports nothing. Tests install their own.
    using ImageFileChooser = std::function<QString(QWidget* parent)>;
    static void setImageFileChooser(ImageFileChooser chooser);
    // The operation the view takes a drag of this data with: copy (link when only that is offered),
    // or none (Qt::IgnoreAction).
    Qt::DropAction dragOperationFor(const QMimeData* data, Qt::DropActions offered) const;
    // One undo step "Import image": the image is sized and placed for the root at the point,
    // appended to it and selected alone. A picture that could not be read is refused with an alert
    // giving the message (and the reason, when the file could not be read), and nothing changes;
    // answers whether it was inserted.
    bool insertImportedImage(const std::shared_ptr<ImageElement>& image, const QPointF& point,
        const QString& unreadableMessage, const QString& reason = QString());
    // Whether the data carries a picture (PDF or bitmap data, or an image this program put there),
    // and its insertion as above, PDF first.
    static bool hasPictureData(const QMimeData* data);
    bool insertPictureData(const QMimeData* data, const QPointF& point, const QString& unreadableMessage);

    // --- Export ---
    // Ask for a file in a save panel on the window and write what the view shows there (what is an
    // export kind: 0 the whole document, 1 the current page, 2 the selection, 3 the current panel);
    // a failure is told in an alert on the window.
    void exportJPEGOf(int what, bool withFloaters, float resolution, float quality);
    void exportPNGOf(int what, bool withFloaters, float resolution);
    void exportPDFOf(int what, bool withFloaters);
    // The selection, or the whole root when nothing is selected, as PNG at scale 1 and then, in a
    // second file named "@2x.png" after the first, at scale 2.
    void exportPNG();
    // The root's children, the view's content when a character is exported.
    ElementList rootChildren() const;
    // A failed export told in an alert on the window; nothing for a success.
    static void showExportResult(const ExportResult& result, QWidget* window);
    // The title of an export's save panel: "Export PNG".
    static QString exportTitle(ExportFileType type);

    // --- Helpers ---
    virtual void copyToClipboard();
    ElementList getSelectedTypeableElements() const;
    bool canMoveForward() const;
    bool canMoveBackward() const;
    MergeType getMergeType() const;
    // One undoable transform of the selection about the transform origin; factors of zero or that
    // are not finite change nothing, since their step could not be undone.
    void scaleSelection(float sx, float sy, const QString& actionName);
    void undoableScaleMarksInElements(
        const ElementList& elements, float factor, bool scalingLines, bool scalingBlurs);
    // The panel the element overlaps most, the first one on ties; null when it overlaps none.
    static std::shared_ptr<ComicPanel> bestPanelForElement(
        const ObjectPtr& element, const QList<std::shared_ptr<ComicPanel>>& panels);
    // Puts free objects of the current page into the front layer of the panel each overlaps most,
    // where they are; objects that overlap no panel stay free. One step, "Restrict to Panel".
    void restrictElementsToPanel(const ElementList& elements);
    // Whether every object lies on the current page itself (an empty list does).
    bool elementsAreFree(const ElementList& elements) const;
    // Shades what lies outside the comic or right of a character's page.
    void drawPasteboardOverlay();
    bool validatePartTypeItem(MenuItemValidation& item) const;

    // --- Hooks ---
    virtual ObjectPtr createPathWith(const std::shared_ptr<Curve>& curve) { return nullptr; }
    virtual void doEditObject(const ObjectPtr& object);
    // A new, empty part of the container opens in the part editor with the pen; the container
    // takes it only once it has something to show. The part editor centres the given point, else
    // where the user right-clicked for the contextual menu.
    void editNewPartIn(Parent* container, std::optional<QPointF> centre = std::nullopt);
    virtual bool acceptsImages() const { return false; }
    virtual bool acceptsLibraryDrags() const { return false; }
    virtual QPointF graphicPastePoint() const { return getCenterOfVisibleRect(); }
    // Inserts what the view's root can hold of a pasted payload; the base inserts nothing.
    virtual void insertFromScrap(const std::shared_ptr<PasteboardParent>& payload) { }
    virtual void reenterAfterEditing() { }
    virtual void sizeAndPositionImportedImage(
        ImageElement& image, const ObjectPtr& parent, const QPointF& point);
    virtual bool canEditBalloon() const { return false; }
    // Commands the view runs on the whole document rather than on what it shows (a character's
    // exports, say): the window lets these, and only these, reach it while an editor covers it.
    virtual bool actsOnWholeDocument(const QString& action) const { return false; }

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the view with when it is offered.
    static const ActionTable<ZDLEditingView>& actionTable();

protected:
    // Gathers the sorted selection into the new group, which takes the stacking place of the
    // frontmost grouped element and is selected, as one "Group" step.
    void groupSelectionInto(const ObjectPtr& group, const ElementList& sorted);
    bool performKeyEquivalent(const ZDLEvent& event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    // Scrolls for a drag near the edge, then answers it as on entering.
    void dragMoveEvent(QDragMoveEvent* event) override;
    // Takes the drag with the operation, or refuses it for none; answers the operation.
    static Qt::DropAction answerDrag(QDragMoveEvent* event, Qt::DropAction operation);
    void dropEvent(QDropEvent* event) override;
    // Inserts what a drop of data at the point carries; false when nothing could be taken.
    bool performDrop(const QMimeData* data, Qt::DropActions offered, const QPointF& point);
    // Objects dragged in from a library, a catalog or another view, moved so that the point where
    // the drag started lands on the drop point.
    void insertLibraryDrop(const std::shared_ptr<PasteboardParent>& payload, const QPointF& point);
    // A comic holds no aliases: each alias gives the element it shows, moved to where the alias
    // shows it, as dragging an alias out does. Other objects are kept; none comes twice.
    static ElementList resolveAliases(const ElementList& objects);
    // A dropped image file that is not there yet: a sheet waits for it, and once it is whole it is
    // inserted at the point as any dropped file (and removed when it was written into our temporary
    // folder). Answers true: the drop is taken.
    bool waitForPromisedFile(const QString& path, const QPointF& point);

private:
    void setSelectionFromUndo(const ElementList& selection, const ObjectPtr& root);
    void reorder(const ElementList& children, const QString& actionName);
    void mergeIntoContainer(MergeType type, const ElementList& sorted, ElementList children);
    void mergePaths(const ElementList& sorted, ElementList children);
    void registerRelinkOnUndo(const ElementList& containers);
    QString editObjectTitle(bool* enabled) const;

    ZDLDocument* m_document = nullptr;
    QString m_contentName;
    ComicDocument* m_comicDoc = nullptr;
    CharacterDocument* m_characterDoc = nullptr;
};

} // namespace zandrel
