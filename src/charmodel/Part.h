#pragma once

#include "charmodel/ComicGraphicElementState.h"
#include "charmodel/PartContainer.h"
#include "charmodel/PartTypes.h"

#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <memory>

namespace zandrel {

class ClassRegistry;
class ImageCache;
class Part;

using PartPtr = std::shared_ptr<Part>;

// One reusable piece of a character or a scenery set: a head, an arm, a hat, a tree. Its drawing is
// an ordered list of part elements (paths, groups, images) with a part type and an optional pivot.
// A part placed in a comic keeps a link to the character model it came from, and it keeps its
// rendering as a bitmap (ImageCache) so that a page full of characters redraws quickly.
//
// Archive, in writing order: "elements", "type", "originX" and "originY" (floats, only with a
// pivot), "model" (only when linked; in a parts file a reference back to the root), "characterId"
// (only while the pasteboard is written). Older files may carry "hScale" and "vScale", applied on
// reading. Visibility is not archived.
class Part : public PartContainer, public ComicGraphicElementState {
public:
    ZDL_PROPERTIES

    Part() = default;
    // Linked to the character model it belongs to, without owning it.
    explicit Part(const ObjectPtr& characterModel);
    // The elements copied by their own classes and adopted by the copy; the same parent link, model
    // link, character identifier, part type and pivot. The copy is visible and has no cached image.
    Part(const Part& other);
    Part& operator=(const Part&) = delete;
    ~Part() override = default;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("Part");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // Removes the elements that fail validation, last to first, logging each. False when none is
    // left: an empty part is removed by its own container.
    bool validateData() override;
    // The drawing as one element: the only element, unlinked from the part; otherwise a new
    // PartGroup holding all of them (empty when the part has none).
    ObjectPtr convertToPartElement();

    // --- Names ---
    static QString singularNameForType(PartType type);
    static QString pluralNameForType(PartType type);
    static const QList<PartType>& displayOrder();
    // "Part", or "Part (Head)" and the like for a part with a type.
    QString displayName() const override;
    QImage pathIcon() const override;

    // --- Pivot: the stored one when set, else the centre of the bounds ignoring visibility.
    QPointF appliedOrigin() const override;
    // The centre of all elements' geometry bounds, visible or not; (0, 0) without elements.
    QPointF getCenter() const;

    // The linked character model; else the nearest CharacterModel among the ancestors; else null.
    Object* model() const override;

    // --- Children: both adopt without flushing the cached image.
    void setChildren(const ElementList& children) override;

    // --- Drawing and caching ---
    // Draws the elements through the cached bitmap; nothing while hidden.
    void drawIn(ZDLContext& context) override;
    // Renders the bitmap ahead of drawing (views' idle timer); true when this call rendered one.
    bool cacheIfNeededAtScale(float scale);
    // Drops the bitmap, except while the whole part is being moved. Stops the flush chain: the
    // part's own container keeps no rendering of it.
    void flushCachedImage() override;
    // A colour changed: the elements forget theirs and the bitmap goes, even during a move.
    void flushCachesUsingColor() override;
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override;
    bool protectCachedImage() const { return m_protectCachedImage; }
    void setProtectCachedImage(bool protect) { m_protectCachedImage = protect; }
    // The bitmap cache, null before the first draw and after a flush.
    const std::shared_ptr<ImageCache>& cachedImage() const { return m_cachedImage; }
    // The bitmap cache, made when there is none.
    ImageCache& imageCache();
    // Changes whenever the part's rendering or place may have changed (its bitmap is dropped, a
    // colour changed, it moved): a drawing of the part kept elsewhere holds while this does.
    quint64 renderingStamp() const { return m_renderingStamp; }

    // --- Hit testing and overlap ---
    QList<QRectF> getBoundsOfPaths() const override;
    // The elements with every PartGroup replaced by its children, recursively.
    ElementList getTopLevelPaths() const;
    // Whether a path rectangle of each of the two intersect, once their visual bounds do.
    bool overlaps(const GraphicElement& other) const;

    // --- Moving and transforming: the pivot moves along ---
    // The elements move with directly false and the bitmap is kept: the drawing itself is unchanged.
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;

    ObjectPtr initByCopying() const override;

    // --- Element trees: scale the line weights and blurs of every path inside the element.
    static void scaleMarksIn(const ObjectPtr& element, float factor);
    static void scaleLineWeightsIn(const ObjectPtr& element, float factor);
    static void scaleBlursIn(const ObjectPtr& element, float factor);

protected:
    QPointF defaultOrigin() const override;

private:
    // Files before "hScale"/"vScale" were folded into the geometry stored them beside it.
    void applyLegacyScale(float hScale, float vScale);

    static quint64 nextRenderingStamp();

    std::shared_ptr<ImageCache> m_cachedImage;
    bool m_protectCachedImage = false;
    quint64 m_renderingStamp = nextRenderingStamp();
};

void registerPartClasses(ClassRegistry& registry);

} // namespace zandrel
