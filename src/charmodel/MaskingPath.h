#pragma once

#include "graphics/Curve.h"
#include "graphics/ElementProtocols.h"
#include "graphics/Path.h"
#include "platform/Object.h"

#include <QColor>
#include <QList>
#include <memory>

namespace zandrel {

class ClassRegistry;

// One clipping outline of an image element: closed curves in the image's own pixel coordinates
// (origin top-left, y down). The image element clips its picture to the combined outline of all its
// masks under the even-odd rule and hit-tests against it. A mask is never filled; while visible it
// shows as a thin green line so that the image editor can see and reshape it. It keeps no cache: its
// path is built on every use.
//
// Archive: "segments" only (the array of curves); a decoded mask is visible and has no parent until
// its image element adopts it.
class MaskingPath : public Object, public virtual Path, public virtual GraphicElement {
public:
    ZDL_PROPERTIES

    // The outline colour, chosen to stand out against most pictures.
    static QColor outlineColor() { return QColor::fromRgbF(0.24f, 0.71f, 0.24f, 1.0f); }
    // How far the invalidation bounds reach beyond the outline, for the line and its handles.
    static constexpr double kInvalidationMargin = 10.0;

    MaskingPath() = default;
    // A deep copy of every segment; the copy is visible and has no parent.
    MaskingPath(const MaskingPath& other);
    MaskingPath& operator=(const MaskingPath&) = delete;
    ~MaskingPath() override = default;

    static std::shared_ptr<MaskingPath> initByCopying(const MaskingPath& other);

    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Path ---
    QList<CurvePtr> segments() const override;
    void setSegments(const QList<CurvePtr>& segments) override;
    std::size_t numSegments() const override;
    CurvePtr getSegmentAtIndex(std::size_t index) const override;
    void deleteCurvePoint(std::size_t pointIndex, std::size_t segmentIndex) override;
    DrawCommandList getDrawCommands() const override;
    // Built from the draw commands, with the even-odd rule that clipping and hit-testing use.
    CanvasPath createCGPath() const override;
    void flushCache() override;

    // --- GraphicElement ---
    Parent* parent() const override { return m_parent; }
    void setParent(Parent* parent) override { m_parent = parent; }
    ObjectPtr initByCopying() const override;
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    // Strokes the outline one screen point wide at any zoom; nothing while hidden.
    void drawIn(ZDLContext& context) override;
    // Inside the outline by the even-odd rule; the view scale plays no part.
    bool containsPt(const QPointF& point, float viewScale) const override;
    void flushCachesUsingColor() override;
    void flushCachedImage() override;
    // Applies a manipulator to the mask; a mask has no children to pass a notice to.
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override;

    // The union of the segments' bounds, whether the mask is visible or not: a hidden mask still
    // clips its image.
    QRectF getBounds() const override;
    QRectF getBoundsIgnoringVisibility() const override;
    QRectF getVisualBounds() const override;
    QRectF getInvalidationBounds() const override;
    QRectF getGeometryBounds() const override;
    QRectF getFilteredBounds() const override;
    QList<QRectF> getBoundsOfPaths() const override;

    bool validateData() override;

    bool visible() const override { return m_visible; }
    void setVisible(bool visible) override;

private:
    QList<CurvePtr> m_segments;
    bool m_visible = true;
    Parent* m_parent = nullptr;
};

using MaskingPathPtr = std::shared_ptr<MaskingPath>;

void registerMaskingPathClasses(ClassRegistry& registry);

} // namespace zandrel
