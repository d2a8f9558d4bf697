#pragma once

#include "comicmodel/ComicStructureElement.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/Curve.h"
#include "graphics/ElementFields.h"
#include "graphics/FileAllowance.h"
#include "graphics/Fill.h"
#include "graphics/GeometryRecord.h"
#include "platform/CanvasPath.h"

#include <functional>
#include <optional>

namespace zandrel {

class PanelComicServices;
class PanelPageServices;

// The frame's edge effect.
enum PanelShape : int {
    PanelShapePlain = 0,
    PanelShapeHandDrawn = 1,
    PanelShapeMarkedEdge = 2,
    PanelShapeRoughSpikes = 3,
    PanelShapeSpikes = 4,
};

// Where the fill is painted among the layers.
enum PanelFillLayer : int {
    PanelFillBelowBackLayer = 0,
    PanelFillBetweenLayers = 1,
};

// One picture box of a page: the leaf of the comic structure. Its quad, shrunk by half the gutter
// when the panel sits in a row, shaped by roundness and an edge effect, is its frame; bounds, hit
// tests and drawing use the frame. Its elements live in two layers, the back (background) and the
// front; its structure contents stay empty.
//
// A panel set directly on a page is free: floating above the rows, or inset into them (the panels
// beneath are cut around its outset frame). The page and the comic answer those questions through
// PanelPageServices and PanelComicServices.
//
// Its properties are declared once, in fields(): each with its property (editing goes through the
// document's undoable property changes by these names), its archive key, whether it is drawn and
// its popup in the properties sheet.
//
// Archive, after the structure element's keys, in writing order: "frontLayer", "backLayer",
// "shape" (integer), "roundness" (float), "dash" (integer, the line style), "weight" (float),
// "fill" (only when there is one), "fillLayer" (integer), "fillAlpha" (float).
class ComicPanel : public ComicStructureElement, public virtual InvalidationBoundsSource {
public:
    ZDL_PROPERTIES

    // Property names; the fill and its opacity go by the style keys, so styles apply to panels.
    static inline const QString kShapeKey = QStringLiteral("shape");
    static inline const QString kRoundnessKey = QStringLiteral("roundness");
    static inline const QString kWeightKey = QStringLiteral("weight");
    static inline const QString kLineStyleKey = QStringLiteral("lineStyle");
    static inline const QString kFillLayerKey = QStringLiteral("fillLayer");
    static inline const QString kFrontLayerKey = QStringLiteral("frontLayer");
    static inline const QString kBackLayerKey = QStringLiteral("backLayer");

    // Plain frame, weight 1, solid, no fill, two empty layers.
    ComicPanel();
    // A deep copy with copied layers and fill; no parent and no caches.
    ComicPanel(const ComicPanel& other);
    ~ComicPanel() override;
    ObjectPtr initByCopying() const override;

    // Every property of a panel beside those of a structure element, in the order of the archive.
    static const ElementFields<ComicPanel>& fields();

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ComicPanel");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // Files from before layers existed hold "elements" and "backElements" arrays instead.
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // Takes the other's frame and fill style (a copy of its fill); corners and layers stay.
    void copyPropertiesFrom(const ComicPanel& other);
    // Gives every panel inside the element (the element itself when it is one) this frame: how new
    // comics and pages are framed.
    static void setFrameOfPanelsIn(
        const ComicStructureElement& element, int shape, float weight, qint64 lineStyle, float roundness);
    // Whether the four points under "topLeft", "topRight", "bottomLeft" and "bottomRight" form a
    // convex, properly ordered quad; the corner trackers refuse anything else.
    static bool cornerValuesOK(const ValueMap& corners);

    // --- Style; shape and roundness rebuild the frame ---
    int shape() const { return m_shape; }
    void setShape(int shape);
    float roundness() const { return m_roundness; }
    void setRoundness(float roundness);
    float weight() const { return m_weight; }
    // At most kMaxLineWeight, as lines are.
    void setWeight(float weight);
    // An index into the application's dash table, 0 solid.
    qint64 lineStyle() const { return m_lineStyle; }
    void setLineStyle(qint64 lineStyle) { m_lineStyle = lineStyle; }
    const FillPtr& fill() const { return m_fill; }
    void setFill(const FillPtr& fill) { m_fill = fill; }
    float fillAlpha() const { return m_fillAlpha; }
    void setFillAlpha(float alpha) { m_fillAlpha = alpha; }
    int fillLayer() const { return m_fillLayer; }
    void setFillLayer(int layer) { m_fillLayer = layer; }

    const PanelLayerPtr& frontLayer() const { return m_frontLayer; }
    const PanelLayerPtr& backLayer() const { return m_backLayer; }
    // The layer being edited: the back one while the comic edits backgrounds.
    PanelLayerPtr currentLayer() const;

    // --- Status on the page ---
    bool isFloating() const;
    bool isInset() const;
    bool isFree() const;
    std::shared_ptr<ComicStructureElement> firstPanel() const override;
    std::shared_ptr<ComicStructureElement> lastPanel() const override;
    void getPanelsInArray(ComicStructureList& panels) const override;

    // --- Frame, built lazily and cached until flushCache ---
    // The quad moved inward by half the gutter (not at all for a free panel), pixel aligned.
    void calcFrameTopLeft(
        QPointF& topLeft, QPointF& topRight, QPointF& bottomLeft, QPointF& bottomRight) const;
    // The quad moved outward by the gutter (free panel) or half of it (fixed), not aligned.
    void getOutsetControlPointsTopLeft(
        QPointF& topLeft, QPointF& topRight, QPointF& bottomLeft, QPointF& bottomRight) const;
    CurvePtr panelFrame() const;
    // The frame as a path with the even-odd rule.
    const CanvasPath& panelFramePath() const;
    // The frame grown by the gutter, unshaped; inset panels cut it out of the panels beneath.
    CurvePtr outsetFrame() const;
    // The outline with the edge effect of the shape, spikes turned inward or outward; null for
    // the plain shape, which has none.
    static CurvePtr outlineWithEdgeEffect(const Curve& outline, int shape, bool inward);
    // The steps an edge effect takes along the outline: what it costs of an EdgeEffectAllowance.
    static qint64 edgeEffectSteps(const Curve& outline, int shape);
    void flushCache();

    QRectF getBounds() const;
    QRectF getGeometryBounds() const;
    QRectF getInvalidationBounds() const override;
    // The frame's control points grown by the reach of the border's stroke: the contents are
    // clipped to the frame.
    QRectF drawnBounds() const override;
    QSizeF minimumSize() const override;
    void setTopLeft(const QPointF& point) override;
    void setTopRight(const QPointF& point) override;
    void setBottomLeft(const QPointF& point) override;
    void setBottomRight(const QPointF& point) override;
    // Records the new corners and moves each character's elements as a block, undoably, so that a
    // figure keeps its shape and its relative place in the panel; the balloons in the comic's
    // colours move with the rest of them, and each element without a model alone. Nothing changes
    // size. A block that showed in the frame and would end wholly outside the new one is brought
    // back to reach into it as far as it did.
    void setTopLeftTopRightBottomLeftBottomRight(const QPointF& topLeft, const QPointF& topRight,
        const QPointF& bottomLeft, const QPointF& bottomRight) override;

    // --- Hit tests ---
    // A free panel by its frame, a fixed one by its quad.
    bool contains(const QPointF& point) const override;
    bool frameContains(const QPointF& point) const;
    // The grip band just outside the frame of the comic's current free panel.
    bool currentPanelFrameContains(const QPointF& point) const;

    // --- Contents, front layer first (ComicPanelContents.cpp) ---
    // The distinct models of the layers' direct children, in order of first appearance.
    QList<Object*> characters() const;
    // The direct children whose model is the character (null: the children without one).
    ElementList toplevelContentsFromCharacter(const Object* character) const;
    // The parts of the character, groups opened.
    ElementList partsFromCharacter(const Object* character) const;
    ElementList allComicElementsOfClass(const QString& className) const;
    // The page's floating elements over the panel's quad, in page order.
    ElementList overlappingFloatingElements() const;
    void centerObjectsInPanel(const ElementList& elements);
    // The offset that brings the element's bounds to touch the panel's; zero when they meet.
    QPointF getOffsetToEnsureInPanel(const ObjectPtr& element) const;
    void ensureObjectsInPanel(const ElementList& elements);
    // Pasted elements that miss the panel are centred in it and pulled in; if all meet it, none moves.
    void adjustPastedObjects(const ElementList& elements);
    // Moves a free panel and everything in it, without undo (the caller records it).
    void offsetBy(const QPointF& offset);
    // The corners and the positions of everything in the layers, which offsetBy changes, and
    // putting them back exactly, redrawn like a move: how a move of the panel is undone.
    GeometryRecord recordPlacement() const;
    void restorePlacement(const GeometryRecord& placement);
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override;

    // Takes the fill's colour from the comic's palette, validates the layers (an emptied layer
    // stays), then the base answers.
    bool validateData() override;
    void retire() override;

    // --- Drawing (ComicPanelDrawing.cpp) ---
    // Bottom to top: a white ground, the fill at layer 0, the back layer, the fill at layer 1, the
    // front layer, the outlines of inset cut-outs, the border. Focus mode and background editing
    // change what shows; an export ignores both.
    void drawIn(ZDLContext& context, const QRectF& dirtyRect) override;
    // The highlight band around the comic's current panel, outside its frame.
    void drawCurrentPanelFrameIn(ZDLContext& context, const QRectF& dirtyRect) const;
    // The elements at 15 per cent opacity, limited to the panel.
    void drawTransparent(const ElementList& elements, ZDLContext& context, const QRectF& dirtyRect) const;

    // The comic and page services, when the tree has them.
    const PanelComicServices* comicServices() const;
    const PanelPageServices* pageServices() const;

private:
    // Each character's elements, then each element without a model, as they lie before a change
    // of the corners.
    std::vector<ElementList> contentBlocks() const;
    // The shift, beyond the move by the corners, that brings back a block that showed in the old
    // frame and would end wholly outside the new one: on each axis where it would miss the frame,
    // it reaches in as far as it did before. Zero otherwise.
    static QPointF keepBlockShowing(
        const QRectF& block, const QPointF& offset, const QRectF& oldFrame, const QRectF& newFrame);
    // Redraws what the panel covers before and after the change of its place.
    void changePlacement(const std::function<void()>& change);
    void adoptLayers();
    // The layer under the key, or an empty one for a layer that is missing or already owned.
    PanelLayerPtr decodedLayer(KeyedUnarchiver& coder, const QString& key) const;
    // The frame corners moved aside by d on every edge (inward for positive d).
    void insetCorners(
        float d, QPointF& topLeft, QPointF& topRight, QPointF& bottomLeft, QPointF& bottomRight) const;

    int m_shape = PanelShapePlain;
    float m_roundness = 0.0f;
    float m_weight = 1.0f;
    qint64 m_lineStyle = 0;
    mutable CurvePtr m_panelFrame;
    mutable std::optional<CanvasPath> m_cgPath;
    FillPtr m_fill;
    PanelLayerPtr m_frontLayer;
    PanelLayerPtr m_backLayer;
    int m_fillLayer = PanelFillBelowBackLayer;
    float m_fillAlpha = 1.0f;
    mutable CurvePtr m_outsetFrame;
    // The allowance of the file the panel was read from (none: made here), and what the edge of
    // its frame now takes of it.
    std::shared_ptr<EdgeEffectAllowance> m_edgeAllowance;
    mutable qint64 m_edgeStepsTaken = 0;
};

using ComicPanelPtr = std::shared_ptr<ComicPanel>;

} // namespace zandrel
