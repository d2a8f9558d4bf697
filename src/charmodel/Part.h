#pragma once

#include "charmodel/PartTypes.h"
#include "graphics/ElementProtocols.h"
#include "platform/Object.h"

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
class Part : public Object, public virtual ComicGraphicElement, public virtual PartElementParent {
public:
    ZDL_PROPERTIES

    Part();
    // Linked to the character model it belongs to, without owning it.
    explicit Part(const ObjectPtr& characterModel);
    // The elements copied by their own classes and adopted by the copy; the same parent link, model
    // link, character identifier, part type and pivot. The copy is visible and has no cached image.
    Part(const Part& other);
    Part& operator=(const Part&) = delete;
    // Elements outliving the part (held by an undo action) must not keep a link to it.
    ~Part() override;

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

    // --- Pivot ---
    // The stored pivot when set, else the centre of the bounds ignoring visibility.
    QPointF origin() const override;
    // Stores the pivot and marks it as set.
    void setOrigin(const QPointF& origin) override;
    QPointF appliedOrigin() const override;
    bool hasOrigin() const override { return m_hasOrigin; }
    void setHasOrigin(bool hasOrigin) override { m_hasOrigin = hasOrigin; }
    // The centre of all elements' geometry bounds, visible or not; (0, 0) without elements.
    QPointF getCenter() const;

    // --- Links ---
    Parent* parent() const override { return m_parent; }
    void setParent(Parent* parent) override { m_parent = parent; }
    // The linked character model; else the nearest CharacterModel among the ancestors; else null.
    Object* model() const override;
    // Links without owning: a character that goes away leaves the part unlinked.
    void setModel(const ObjectPtr& model);
    QString characterId() const { return m_characterId; }
    void setCharacterId(const QString& characterId) { m_characterId = characterId; }

    // --- Children ---
    ElementList children() const override;
    ElementList flattenedChildren() const override;
    std::size_t numChildren() const override;
    ObjectPtr getChildAtIndex(std::size_t index) const override;
    bool hasChild(const Object* element) const override;
    // Both adopt without flushing the cached image. The part itself is never taken in.
    void setChildren(const ElementList& children) override;
    void addPartElement(const ObjectPtr& element) override;
    // The topmost visible element that contains the point, or null.
    ObjectPtr getChildAt(const QPointF& point, float viewScale) const override;
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }

    // --- Plain flags (no flush) ---
    bool visible() const override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }
    int partType() const override { return m_partType; }
    void setPartType(int partType) override { m_partType = partType; }

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

    // --- Hit testing and overlap ---
    // Any element containing the point, visible or not.
    bool containsPt(const QPointF& point, float viewScale) const override;
    QList<QRectF> getBoundsOfPaths() const override;
    // The elements with every PartGroup replaced by its children, recursively.
    ElementList getTopLevelPaths() const;
    // Whether a path rectangle of each of the two intersect, once their visual bounds do.
    bool overlaps(const GraphicElement& other) const;

    // --- Moving and transforming ---
    // The elements move with directly false and the bitmap is kept: the drawing itself is unchanged.
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;

    // --- Bounds: the empty rectangle while hidden or empty, else the union of the elements'.
    QRectF getBounds() const override;
    QRectF getBoundsIgnoringVisibility() const override;
    QRectF getVisualBounds() const override;
    QRectF getInvalidationBounds() const override;
    QRectF getGeometryBounds() const override;
    QRectF getFilteredBounds() const override;

    ObjectPtr initByCopying() const override;

    // --- Element trees: scale the line weights and blurs of every path inside the element.
    static void scaleMarksIn(const ObjectPtr& element, float factor);
    static void scaleLineWeightsIn(const ObjectPtr& element, float factor);
    static void scaleBlursIn(const ObjectPtr& element, float factor);

private:
    // Files before "hScale"/"vScale" were folded into the geometry stored them beside it.
    void applyLegacyScale(float hScale, float vScale);
    // The elements of the list that may be adopted: graphic elements, never the part itself.
    ElementList adoptable(const ElementList& elements);

    ElementList m_elements;
    Parent* m_parent = nullptr;
    std::weak_ptr<Object> m_model;
    QString m_characterId;
    std::shared_ptr<ImageCache> m_cachedImage;
    bool m_protectCachedImage = false;
    QPointF m_origin;
    bool m_hasOrigin = false;
    bool m_visible = true;
    int m_partType = 0;
};

void registerPartClasses(ClassRegistry& registry);

} // namespace zandrel
