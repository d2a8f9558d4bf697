#pragma once

#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/PanelServices.h"
#include "graphics/ElementChildren.h"

#include <QImage>
#include <QSizeF>

namespace zandrel {

class ComicDocument;

using ComicPanelList = std::vector<std::shared_ptr<ComicPanel>>;

// One page of a comic: a stack of rows laid out inside four margins, with three free lists beside
// the rows: inset panels (set into the rows, cut out of the panels beneath), floating panels (lying
// over the rows) and floating elements (free objects lying over every panel). Later entries of each
// list lie in front of earlier ones. As a Parent the page is the "Free Objects" level of the editing
// breadcrumb, whose children are the floating elements.
//
// The page tells its panels whether they are free and which inset panels cut into them
// (PanelPageServices), answers the stacking questions of bringing a free panel forward or sending it
// back, lays its rows out inside its margins, and follows a resize by moving its free panels and
// free objects so that each keeps its relative place.
class ComicPage : public ComicStack, public virtual Parent, public PanelPageServices {
public:
    ZDL_PROPERTIES

    // The margins by name: the document sets them for undo.
    static inline const QString kTopMarginKey = QStringLiteral("topMargin");
    static inline const QString kLeftMarginKey = QStringLiteral("leftMargin");
    static inline const QString kRightMarginKey = QStringLiteral("rightMargin");
    static inline const QString kBottomMarginKey = QStringLiteral("bottomMargin");

    // The rows, stacks and panels one page may hold, its free panels included. Each of them costs
    // its drawing whenever the whole page is drawn (a thumbnail, an export, a view zoomed out), so
    // a page of tens of thousands keeps the program busy for minutes: a file with more on a page
    // is refused as corrupt, and a page with more is not saved, since it would not read back. Real
    // pages hold tens; the sheets make at most 2,550 at once (50 rows of 50 panels).
    static constexpr std::size_t kMaxStructureElements = 4096;

    // No rows, no free panels or objects, margins 0.
    ComicPage() = default;
    // A deep copy: rows, free panels and free objects copied by their own classes and adopted.
    ComicPage(const ComicPage& other);
    ~ComicPage() override = default;
    ObjectPtr initByCopying() const override;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ComicPage");
    QString className() const override;
    // The structure keys, then "insetPanels", "floatingPanels", "floatingElements" and the margins.
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Parent: the free objects ---
    ElementList children() const override { return m_floatingElements.items(); }
    std::size_t numChildren() const override { return m_floatingElements.size(); }
    ObjectPtr getChildAtIndex(std::size_t index) const override { return m_floatingElements.at(index); }
    bool hasChild(const Object* element) const override { return m_floatingElements.contains(element); }
    // Elements that leave keep their link to the page (an undo may put them back).
    void setChildren(const ElementList& children) override;
    // The frontmost free object containing the point.
    ObjectPtr getChildAt(const QPointF& point, float viewScale) const override;
    // The comic's rectangle; a page on its own answers its corner bounds.
    QRectF getBounds() const override;
    QRectF getGeometryBounds() const override;
    QString displayName() const override;
    QImage pathIcon() const override;
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }

    // --- Free panels ---
    const ComicPanelList& insetPanels() const { return m_insetPanels.items(); }
    const ComicPanelList& floatingPanels() const { return m_floatingPanels.items(); }
    // The inset panels followed by the floating panels.
    ComicPanelList freePanels() const;
    // Replace a list without undo or redraw; the document's undoable operations call them. A panel
    // that leaves both lists loses its link to the page.
    void setInsetPanels(const ComicPanelList& panels);
    void setFloatingPanels(const ComicPanelList& panels);
    bool panelIsInset(const ComicPanel& panel) const override;
    bool panelIsFloating(const ComicPanel& panel) const override;
    // The inset panels that come within the gutter of the panel (half of it for a panel that is not
    // inset; an inset panel only meets those in front of it); none is an empty list.
    std::vector<std::shared_ptr<ComicPanel>> getInsetPanelsAffecting(const ComicPanel& panel) const override;
    ElementList floatingElements() const override { return m_floatingElements.items(); }
    // The nearest panel in front of (behind) the free panel in its own list whose bounds meet the
    // panel's, grown by the gutter for inset panels; null for none and for a panel of a row.
    std::shared_ptr<ComicPanel> panelToMovePanelInFrontOf(const ComicPanel& panel) const;
    std::shared_ptr<ComicPanel> panelToMovePanelBehind(const ComicPanel& panel) const;

    // --- The whole page ---
    ComicStack* page() const override;
    bool isComicPage() const override { return true; }
    // Floating panels, inset panels, then the panels of the rows.
    void getPanelsInArray(ComicStructureList& panels) const override;
    // The rows, stacks and panels below the page, free panels included, counted no further than
    // one past the limit.
    std::size_t structureElementCount(std::size_t limit = kMaxStructureElements) const;
    // The free objects, the rows, then the free panels.
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override;
    // The rows, then the free panels and free objects: a file's free lists are as untrusted as
    // its rows.
    bool validateData() override;
    void retire() override;
    // The parts of that very character among the free objects, groups opened.
    ElementList floatingPartsFromCharacter(const Object* character) const;
    // The free objects of the archived class (or a subclass), groups opened.
    ElementList allComicElementsOfClass(const QString& className) const;

    // --- Margins and layout (ComicPageLayout.cpp) ---
    float topMargin() const { return m_topMargin; }
    float leftMargin() const { return m_leftMargin; }
    float rightMargin() const { return m_rightMargin; }
    float bottomMargin() const { return m_bottomMargin; }
    // Plain stores, for the document's property setting; the rows stay where they are.
    void setTopMargin(float margin) { m_topMargin = margin; }
    void setLeftMargin(float margin) { m_leftMargin = margin; }
    void setRightMargin(float margin) { m_rightMargin = margin; }
    void setBottomMargin(float margin) { m_bottomMargin = margin; }
    // Records each changed margin through the document, then lays the rows out, always. The caller
    // names the undo step.
    void setMarginsTop(float top, float left, float right, float bottom);
    // The corners the rows fill: the top and left margins are page coordinates, the right and
    // bottom ones are measured from the page's right and bottom corners.
    QPointF childrenTopLeft() const override;
    QPointF childrenTopRight() const override;
    QPointF childrenBottomLeft() const override;
    QPointF childrenBottomRight() const override;
    // Stacks the rows inside the inner corners, each keeping its share of the height on each side.
    void layoutChildren();
    // A resize: records the page's corners, lays the rows out, and moves each free panel (kept a
    // point inside the page) and free object so that its centre keeps its relative place.
    void setTopLeftTopRightBottomLeftBottomRight(const QPointF& topLeft, const QPointF& topRight,
        const QPointF& bottomLeft, const QPointF& bottomRight) override;

    // --- Drawing (ComicPageDrawing.cpp) ---
    // Rows, inset panels, floating panels, free objects; the free objects faded while the panels'
    // backgrounds are edited on screen.
    void drawIn(ZDLContext& context, const QRectF& dirtyRect) override;
    // The free objects at 15 per cent opacity.
    void drawTransparentInContext(ZDLContext& context, const QRectF& dirtyRect);
    // A drop shadow under the frame of every panel of the page.
    void drawPanelShadowsIn(ZDLContext& context, const QSizeF& offset, float blur);

private:
    // The overlapping free panel of the same kind next in front of (or behind) the panel.
    std::shared_ptr<ComicPanel> panelToMovePanel(const ComicPanel& panel, bool inFront) const;
    using PanelLinks = TypedLinks<ComicPanel, ComicStructureElement, ComicPanelList>;

    // Every free panel linked to the page again: a panel moving between the lists must not lose
    // its link when the list it leaves is set after the one it joins.
    void relinkFreePanels();
    ComicDocument* comicDocument() const;
    const PanelComicServices* comicServices() const;

    ElementChildren<PanelLinks> m_insetPanels { this };
    // The bounds of the inset panels while the page draws, in their order: every panel drawn asks
    // which insets cut into it, and a page of thousands would measure each thousands of times.
    std::vector<QRectF> m_insetBoundsWhileDrawing;
    ElementChildren<PanelLinks> m_floatingPanels { this };
    GraphicElementChildren m_floatingElements { this };
    float m_topMargin = 0.0f;
    float m_leftMargin = 0.0f;
    float m_rightMargin = 0.0f;
    float m_bottomMargin = 0.0f;
};

using ComicPagePtr = std::shared_ptr<ComicPage>;

} // namespace zandrel
