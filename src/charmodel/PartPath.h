#pragma once

#include "charmodel/PartElement.h"
#include "graphics/Curve.h"
#include "graphics/PathSegments.h"
#include "graphics/StyleFields.h"
#include "platform/CanvasPath.h"

#include <QImage>
#include <QList>
#include <QMap>
#include <QPoint>
#include <functional>
#include <optional>
#include <vector>

namespace zandrel {

class ZDLDocument;
class PartPath;
using PartPathPtr = std::shared_ptr<PartPath>;

// The vector drawing element of a character part: one or more curves drawn as one shape with a
// fill, an outline and an optional Gaussian blur. Its children are contents, drawn clipped to the
// outline between the fill and the outline (a face inside a head shape). Colours are palette
// entries, referenced, so that editing the palette recolours the path.
class PartPath : public PartElement, public PathSegments, public StyleHolder<PartPath> {
public:
    ZDL_PROPERTIES

    // Property names beside the style keys and the path's "segments".
    static inline const QString kContentVisibleKey = QStringLiteral("contentVisible");

    // No curves, no line colour, a white colour fill, opacities and weight 1, no blur.
    PartPath();
    // Deep copies of the children and curves, the same palette colour, a copy of the fill and the
    // same blurred image; the copy shows its contents and belongs to no blur group.
    PartPath(const PartPath& other);
    // A member of a blur group that goes away must not leave the group pointing at it.
    ~PartPath() override;

    // The path of a "Curve" element of the XML character import. Colour names are looked up with
    // colorFromName (the character model's palette); an unknown name gives null.
    using ColorLookup = std::function<ZDLColorPtr(const QString& name)>;
    static PartPathPtr initWithXMLAttributes(
        const QMap<QString, QString>& attributes, const ColorLookup& colorFromName);
    // "p x y c x y ..." curves separated by "|"; an incomplete last triple is dropped.
    static QList<CurvePtr> curvesFromCurveData(const QString& curveData, bool closed);

    // --- Archiving: "children", then the style keys; contents visibility and caches are not kept.
    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("PartPath");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;
    ObjectPtr initByCopying() const override;

    // --- Path: the curves come from PathSegments; changing them tells the observers of
    // "segments" and drops the caches.
    CanvasPath createCGPath() const override;
    void flushCache() override;
    // Closed outline for hit tests, built once and kept until the curves change.
    const CanvasPath& bezier() const;
    // A new even-odd outline on every call, for drawing.
    CanvasPath drawingBezier() const;
    // The part the path belongs to, through any groups and paths around it, or nullptr.
    Object* ownerPart() const;

    // --- Style: the fields and their setters come from StyleHolder; every setter ends by flushing
    // the cached image. A colour fill answers type 0, its colour and adjustment; anything else
    // type 1, null and 0.
    // A type the path already has changes nothing. Type 1 makes a gradient from the colour fill's
    // colour to white; type 0 a new colour fill.
    void setFillType(int type);
    void setFillColor(const ZDLColorPtr& color);
    void setFillColorAdjust(float adjust);
    void setFillGradient(const FillPtr& fill) { setFill(fill); }

    bool contentVisible() const { return m_contentVisible; }
    void setContentVisible(bool visible);

    // --- Blur groups. A run of neighbouring blurred paths is rendered into one bitmap and blurred
    // once; the group lives on its first path (the master) until one member changes.
    const QList<PartPath*>& blurGroup() const { return m_blurGroup; }
    // Makes this path the master of the group (null or empty dissolves it) and renders the
    // group's blurred image.
    void setBlurGroup(const QList<PartPath*>& group);
    PartPath* blurMaster() const { return m_blurMaster; }
    void setBlurMaster(PartPath* master) { m_blurMaster = master; }
    // The path's own blurred image, made and cached on first use; null without blur.
    const QImage& filteredImage();
    const QImage& cachedFilteredImage() const { return m_filteredImage; }
    // The pixels a blurred rendering of the paths draws: each path's visual bounds, and the
    // bitmap of them all with the blur's padding.
    static double blurredRenderingCost(const QList<PartPath*>& paths, float radius);

    // --- Drawing and hit testing ---
    void drawIn(ZDLContext& context) override;
    // Fill, contents clipped to the outline, then the outline.
    void doDrawIn(ZDLContext& context);
    bool containsPt(const QPointF& point, float viewScale) const override;

    // --- Moving ---
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;
    // Snaps the points of near-horizontal and near-vertical runs to the pixel grid (pixel centres
    // for an odd line width), as one undoable change when a document is given.
    void alignPathPointsWithUndoDocument(ZDLDocument* document);

    // --- Caches and notices ---
    void flushCachedImage() override;
    void flushCachesUsingColor() override;
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override;

    // --- Bounds: the curves only, never the children. Hidden or without curves, a path answers the
    // zero rectangle but for getBoundsIgnoringVisibility and getBoundsOfPaths.
    QRectF getBounds() const override { return GraphicElement::getBounds(); }
    QRectF getBoundsIgnoringVisibility() const override { return unionOfCurves(&Curve::getBounds); }
    QRectF getVisualBounds() const override;
    QRectF getInvalidationBounds() const override;
    QRectF getGeometryBounds() const override;
    QRectF getFilteredBounds() const override;
    QList<QRectF> getBoundsOfPaths() const override;
    // Everything a sharp drawing of the path can touch, miter joins included.
    QRectF drawnBounds() const;

    // Merges the colours into the palette, drops invalid curves; true while a curve is left.
    bool validateData() override;
    // While one lives on a thread, paths validated there (elements the pasteboard carries, inside a
    // part or not) keep their colours without a word: they have no palette yet, and theirs are
    // merged into the palette of the character they are inserted into.
    class LooseValidation {
    public:
        LooseValidation();
        ~LooseValidation();
        LooseValidation(const LooseValidation&) = delete;
        LooseValidation& operator=(const LooseValidation&) = delete;
        static bool active();
    };

    QString displayName() const override;
    QImage pathIcon() const override;
    bool canEditContents() const override;
    bool canSelectContents() const override;

private:
    bool fillIsNone() const;
    // The outline is drawn, and so widens the visual bounds.
    bool lineShows() const;
    // The line colour is set, not none, with a positive weight and alpha.
    bool lineDrawn() const;
    void styleFieldChanged(const StyleFieldInfo& field) override;
    void changeSegments(const std::function<void()>& change) override;
    // Where the character model comes in: colours merged into its palette, and the default fill
    // colour of a new colour fill. Both need the owner part's model.
    void mergeColorsIntoPalette();
    ZDLColorPtr defaultFillColorOfModel() const;
    // Renders the paths plainly into a bitmap over bounds and blurs it with radius.
    void renderBlurredImage(const QList<PartPath*>& paths, const QRectF& bounds, float radius);
    void drawBlurredImage(ZDLContext& context, const QRectF& bounds) const;
    void leaveBlurGroup();
    // Whether the members still stand as they did when the group's image was made, up to one
    // common move (the whole part moved).
    bool blurGroupArrangementKept() const;

    // The blurred rendering and the offset of its top-left pixel from the rendered bounds' origin
    // (the blur spreads beyond the bitmap on every side).
    QImage m_filteredImage;
    QPoint m_filteredOffset;
    bool m_contentVisible = true;
    // Links, not ownership: the paths belong to their containers.
    QList<PartPath*> m_blurGroup;
    QList<QRectF> m_blurGroupBounds;
    PartPath* m_blurMaster = nullptr;
    mutable std::optional<CanvasPath> m_bezier;
};

void registerPartPathClasses(ClassRegistry& registry);

} // namespace zandrel
