#pragma once

#include "graphics/ElementChildren.h"
#include "platform/Object.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <memory>
#include <vector>

namespace zandrel {

class ClassRegistry;
class ComicRow;
class ComicStack;
class ComicStructureElement;
class GraphicManipulator;
class ZDLContext;
class ZDLDocument;

using ComicStructureList = std::vector<std::shared_ptr<ComicStructureElement>>;

// The part of an element's quad under a point: which edge or corner a drag would move.
enum class FramePart : int {
    None = 0,
    LeftEdge = 1,
    RightEdge = 2,
    TopEdge = 3,
    BottomEdge = 4,
    TopLeft = 5,
    TopRight = 6,
    BottomLeft = 7,
    BottomRight = 8,
};

// How an element orders its children.
enum class ContentArrangement : int {
    None = 0,
    StackedTopToBottom = 1,
    SideBySide = 2,
};

// A node of the tree that gives a comic its shape (model, pages, stacks, rows, panels): a quad of
// four corners in page coordinates (y down) that need not form a rectangle, so panels can be dragged
// corner by corner and rows and stacks skewed, and an ordered list of owned children.
//
// Corner changes that should be undoable and laid out go through
// setTopLeftTopRightBottomLeftBottomRight, which subclasses override to place their children first;
// the single-corner setters are the plain key-value targets the undo machinery uses.
//
// The root answers the comic-wide services (document, gutter, focus mode) through the hooks below;
// a detached subtree has no document, so its corner changes record and change nothing.
class ComicStructureElement : public Object {
public:
    ZDL_PROPERTIES

    // Every walk of the tree (layout, drawing, copying, archiving, release) recurses, so a file may
    // nest elements at most this deep; a deeper one is refused as corrupt. Comics nest a handful.
    static constexpr int kMaxNestingDepth = 256;

    // The corners by name, as undo records them.
    static inline const QString kTopLeftKey = QStringLiteral("topLeft");
    static inline const QString kTopRightKey = QStringLiteral("topRight");
    static inline const QString kBottomLeftKey = QStringLiteral("bottomLeft");
    static inline const QString kBottomRightKey = QStringLiteral("bottomRight");

    // All four corners at the origin, no children, no parent.
    ComicStructureElement() = default;
    // A deep copy: the children are copied by their own classes and adopted by the copy, which has
    // no parent yet.
    ComicStructureElement(const ComicStructureElement& other);
    ComicStructureElement& operator=(const ComicStructureElement&) = delete;
    ~ComicStructureElement() override = default;

    // The parent link and the rect's corners (y grows downward). The parent's contents are left to
    // the caller.
    void initWithRect(const QRectF& rect, ComicStructureElement* parent);
    virtual ObjectPtr initByCopying() const;

    // --- Archiving: the eight corner coordinates as floats, then "contents" ---
    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ComicStructureElement");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // Passed down to every child; subclasses release what they cache or observe.
    virtual void retire();
    // Removes the children that fail validation, last to first, logging each; answers true.
    virtual bool validateData();

    // --- Tree ---
    ComicStructureList contents() const { return m_contents.items(); }
    std::size_t numContents() const { return m_contents.size(); }
    // The child's position in contents, or -1.
    int indexOfChild(const ComicStructureElement* child) const;
    // Replaces the children and adopts each. The element itself, its ancestors and null are never
    // taken in: a tree containing itself would make every walk endless. A child that leaves loses
    // its link to this element, which may not outlive it.
    virtual void setContents(const ComicStructureList& contents);
    ComicStructureElement* parent() const { return m_parent; }
    void setParent(ComicStructureElement* parent) { m_parent = parent; }
    // The root of the tree: the comic model, once attached.
    ComicStructureElement* owner() const;
    // The page holding the element; the page answers itself, the model nothing.
    virtual ComicStack* page() const;
    // The first page on the way up from the element itself.
    ComicStack* getPage() const;
    // The first row on the way up from the element itself whose parent is a page.
    ComicRow* getTopLevelRowContainer() const;
    void fixParents();
    std::shared_ptr<ComicStructureElement> getElementBefore(const ComicStructureElement* child) const;
    std::shared_ptr<ComicStructureElement> getElementAfter(const ComicStructureElement* child) const;
    // A panel answers itself to both.
    virtual std::shared_ptr<ComicStructureElement> firstPanel() const;
    virtual std::shared_ptr<ComicStructureElement> lastPanel() const;
    // Depth first; a panel appends itself.
    virtual void getPanelsInArray(ComicStructureList& panels) const;
    virtual void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object);

    // --- Geometry ---
    // The bounding rect of the corners, never thinner than 0.1.
    virtual QRectF bounds() const;
    // Strictly inside the quad; a point on an edge is outside.
    virtual bool contains(const QPointF& point) const;
    virtual std::shared_ptr<ComicStructureElement> getDeepestElementAt(const QPointF& point) const;
    virtual QSizeF minimumSize() const;
    // Where the children go: the element's own corners, or a page's corners inside its margins.
    virtual QPointF childrenTopLeft() const;
    virtual QPointF childrenTopRight() const;
    virtual QPointF childrenBottomLeft() const;
    virtual QPointF childrenBottomRight() const;
    // Draws the children in order; outside focus mode only those whose drawn bounds meet the dirty
    // rect and the canvas's clip (a band of a large image draws the panels it crosses).
    virtual void drawIn(ZDLContext& context, const QRectF& dirtyRect);
    // All that drawIn can paint outside focus mode, borders at their full width included: here
    // the corners' bounds and the children's drawn bounds.
    virtual QRectF drawnBounds() const;

    // --- Corners ---
    // Subclasses lay out their children inside the new quad first; the base only records.
    virtual void setTopLeftTopRightBottomLeftBottomRight(const QPointF& topLeft, const QPointF& topRight,
        const QPointF& bottomLeft, const QPointF& bottomRight);
    // Records each corner that differs, in the order top-left, top-right, bottom-left, bottom-right,
    // through the document, which sets it by name and keeps the inverse.
    void undoableSetTopLeft(const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft,
        const QPointF& bottomRight);
    void copyCornersOf(const ComicStructureElement& other);
    QPointF topLeft() const { return m_topLeft; }
    QPointF topRight() const { return m_topRight; }
    QPointF bottomLeft() const { return m_bottomLeft; }
    QPointF bottomRight() const { return m_bottomRight; }
    // Plain stores, without undo, layout or redraw.
    virtual void setTopLeft(const QPointF& point);
    virtual void setTopRight(const QPointF& point);
    virtual void setBottomLeft(const QPointF& point);
    virtual void setBottomRight(const QPointF& point);

    // --- Frame parts, for the trackers that drag edges and corners ---
    // Corners first (within gutter + 10), then edges (within half the gutter).
    FramePart getFramePart(const QPointF& point) const;
    // 0 for none, 1 for an edge, 2 for a corner.
    static int editingPriorityOf(FramePart part);
    // Whether a child's part may be dragged inside this container.
    virtual bool canEditChild(const ComicStructureElement* child, FramePart part) const;
    virtual ContentArrangement contentArrangement() const;
    // The part of the neighbouring child that moves with a dragged part.
    FramePart getCorrespondingFramePart(FramePart part) const;

    // --- Answered by the root (the comic model); the base answers as a detached tree ---
    virtual ZDLDocument* document() const;
    virtual float panelGutter() const;
    virtual bool focusOnPanel() const;
    // True for a page.
    virtual bool isComicPage() const;

protected:
    // The element as its owners hold it; null while no shared pointer holds it.
    std::shared_ptr<ComicStructureElement> self() const;
    // Appends an adopted child; the layout constructors use it.
    void appendChild(const std::shared_ptr<ComicStructureElement>& child);

private:
    ElementChildren<TypedLinks<ComicStructureElement, ComicStructureElement, ComicStructureList>> m_contents {
        this
    };
    ComicStructureElement* m_parent = nullptr;
    QPointF m_topLeft;
    QPointF m_topRight;
    QPointF m_bottomLeft;
    QPointF m_bottomRight;
};

void registerComicStructureClasses(ClassRegistry& registry);

} // namespace zandrel
