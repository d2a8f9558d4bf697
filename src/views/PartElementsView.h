#pragma once

#include "graphics/NamedShapeStyle.h"
#include "views/ZDLEditingView.h"

#include <memory>

namespace zandrel {

class ShapeStyle;

class ComicView;
class ImageCache;
class CanvasPath;
class Part;

// What the part elements view needs of the editor that hosts it: the character whose part is
// edited, tool changes and keeping the edited part in its parent. The part editor implements it.
class PartEditor {
public:
    virtual ~PartEditor() = default;
    virtual std::shared_ptr<CharacterModel> model() const = 0;
    virtual void setCurrentTool(int index) = 0;
    virtual void checkToAddOrDeleteCurrentPart() = 0;
};

// The drawing surface of the part editor: the paths, groups and images of one part, or of a group or
// compound path inside it, drawn over the context the part lives in (the rest of the character or
// the comic page, dimmed) and edited. Beside the editing view's commands it groups and ungroups
// (compound paths split into their curves), splits the selection off into a new part, pastes from
// other parts files with a merge of colours, snaps path points, gives paths a hand-drawn look,
// copies, pastes and applies styles, sets the part's pivot point and hides elements for a while.
// Every edit is one named undo step. Pictures can be dropped in; dragged parts cannot, since a part
// holds no parts. Nor does it make lettering, which belongs to comics and characters, not to a part.
class PartElementsView : public ZDLEditingView {
    Q_OBJECT

public:
    explicit PartElementsView(ZDLDocument* document, QWidget* parent = nullptr);
    ~PartElementsView() override;

    // The part that holds the root (the root itself when it is a part).
    const std::shared_ptr<Part>& currentPart() const { return m_currentPart; }
    PartEditor* editor() const { return m_editor; }
    void setEditor(PartEditor* editor) { m_editor = editor; }
    // In a comic document, the comic view of the same window: its current panel is framed.
    ComicView* comicView() const { return m_comicView; }
    void setComicView(ComicView* view) { m_comicView = view; }
    // The bitmap of the rest of the part behind an inner root; null until drawn or after a drop.
    const std::shared_ptr<ImageCache>& imageCache() const { return m_imageCache; }

    void setRootObject(const ObjectPtr& root) override;
    void setViewScale(float scale) override;
    void documentClosing() override;
    QRectF getContentBounds() const override;
    ObjectPtr createPathWith(const std::shared_ptr<Curve>& curve) override;
    void setToDefaultTool() override;
    void setToReshapingTool() override;
    bool acceptsImages() const override { return true; }
    void sizeAndPositionImportedImage(
        ImageElement& image, const ObjectPtr& parent, const QPointF& point) override;
    void scrollToCenterRoot();
    bool anyHidden() const;
    bool allSelectedAreCompoundPaths() const;

    // --- Clipboard ---
    void copyToClipboard() override;
    // Asks before elements of another parts file come in with their colours.
    void insertFromScrap(const std::shared_ptr<PasteboardParent>& payload) override;
    void insertPartElements(const ElementList& elements);

    // --- Commands ---
    void group();
    void ungroup();
    // The split sheet's answer: the selection moves into a new part of the type, frontmost.
    void splitSelectionToPartWithType(int partType);
    void alignPathPoints();
    void makePathLookHanddrawn();
    void copyFont();
    void pasteFont();
    void applyStyle(int index);
    // What "Save as Style" names: a new style of the character's defaults with nothing selected, of
    // the one selected path, else none.
    NamedShapeStylePtr newStyleFromSelection() const;
    // The character of the edited part, whose colours and styles the commands use.
    std::shared_ptr<CharacterModel> editorModel() const;
    // The pivot at the point the contextual menu was opened on.
    void setPivotPoint(const QPointF& point);
    void resetPivotPoint();
    // Viewing aids, not edits: nothing is recorded for undo.
    void hideSelection();
    void showAll();

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the view with when it is offered.
    static const ActionTable<PartElementsView>& actionTable();

protected:
    void drawRect(const QRectF& dirtyRect) override;

private:
    // Gives the style to the selected elements as one step, or, with nothing selected, makes it
    // the defaults of new paths (not an edit of the drawing).
    void applyStyleToSelection(const ShapeStyle& style, const QString& actionName);
    void setCurrentPart(const std::shared_ptr<Part>& part);
    void dropImageCache();
    // Drawing, step by step.
    void drawContextBackground(ZDLContext& context, const QRectF& dirtyRect);
    void drawRestOfPart(ZDLContext& context);
    void framePanel();
    void washOutsideRootPath(CanvasPath rootPath);
    // Rebuilds the contextual style menu from the character's styles.
    void rebuildStyleMenu() const;
    bool allSelectedArePaths() const;

    std::shared_ptr<Part> m_currentPart;
    ComicView* m_comicView = nullptr;
    std::shared_ptr<ImageCache> m_imageCache;
    PartEditor* m_editor = nullptr;
};

} // namespace zandrel
