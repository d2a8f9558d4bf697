#pragma once

#include "graphics/GraphicElementBase.h"

#include <QPointF>
#include <QRectF>
#include <memory>

namespace zandrel {

class ClassRegistry;
class PartAlias;

using PartAliasPtr = std::shared_ptr<PartAlias>;

// Shows a real element of a character (a part, an image or a balloon) somewhere else without
// moving or copying it: the library and catalog sheets lay aliases out side by side while the real
// parts stay where they are in the character. Drawing, hit tests, bounds, part type and pivot are
// the real element's, shifted by the display offset (aliasBounds.origin - realPartBoundsOrigin);
// every change of shape is ignored. Dragging an alias out hands over the real element, moved to
// the alias's place (extractPart).
//
// Archive, in writing order: "part" (the real element), "left" and "top" (floats, the display
// position). The rest is taken from the real element's bounds on reading.
class PartAlias : public GraphicElementBase, public BoundsByKind {
public:
    ZDL_PROPERTIES

    PartAlias() = default;
    // Shows the element where it stands: the alias rect is its bounds, the offset zero.
    explicit PartAlias(const ObjectPtr& realPart);
    // The same real element (shared, not copied) at the same place; visible, without a parent.
    PartAlias(const PartAlias& other);
    PartAlias& operator=(const PartAlias&) = delete;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("PartAlias");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // The real element moved (directly) to where the alias shows it.
    ObjectPtr extractPart();
    QPointF displayOffset() const;

    // True for a real Part or ImageElement; others (balloons, nothing) answer type 0 and ignore
    // setPartType.
    bool supportsPartType() const;
    int partType() const;
    void setPartType(int partType);
    // True when the real element has a pivot; appliedOrigin is then that pivot shifted.
    bool supportsOrigin() const;
    QPointF appliedOrigin() const;
    // Prepares the real part's bitmap ahead of drawing; false for anything but a part.
    bool cacheIfNeededAtScale(float scale);

    const ObjectPtr& realPart() const { return m_realPart; }
    void setRealPart(const ObjectPtr& realPart) { m_realPart = realPart; }
    QRectF aliasBounds() const { return m_aliasBounds; }
    void setAliasBounds(const QRectF& bounds) { m_aliasBounds = bounds; }
    QPointF realPartBoundsOrigin() const { return m_realPartBoundsOrigin; }
    void setRealPartBoundsOrigin(const QPointF& origin) { m_realPartBoundsOrigin = origin; }

    // --- GraphicElement ---
    ObjectPtr initByCopying() const override;
    // Moves the alias rect only: the library lays aliases out this way.
    void offsetBy(const QPointF& delta, bool directly) override;
    // Scaling, rotating and distorting an alias change nothing.
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;
    void drawIn(ZDLContext& context) override;
    bool containsPt(const QPointF& point, float viewScale) const override;
    // The real element's caches belong to its character, which flushes them itself.
    void flushCachesUsingColor() override { }
    void flushCachedImage() override { }
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override { }

    // The alias rect, visible or not; every other kind is the real element's, shifted to the
    // alias's place.
    QRectF getBounds() const override { return m_aliasBounds; }
    QRectF getBoundsIgnoringVisibility() const override { return m_aliasBounds; }
    QList<QRectF> getBoundsOfPaths() const override;

    bool validateData() override { return true; }

private:
    GraphicElement* realGraphic() const;
    QRectF boundsOfKind(BoundsKind kind) const override;

    ObjectPtr m_realPart;
    QPointF m_realPartBoundsOrigin;
    QRectF m_aliasBounds;
};

void registerPartAliasClasses(ClassRegistry& registry);

} // namespace zandrel
