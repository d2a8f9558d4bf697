#pragma once

#include "graphics/Curve.h"
#include "graphics/GraphicElementBase.h"
#include "graphics/PathSegments.h"

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
class MaskingPath : public GraphicElementBase, public PathSegments {
public:
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

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("MaskingPath");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Path: the curves come from PathSegments ---
    // Built from the draw commands, with the even-odd rule that clipping and hit-testing use.
    CanvasPath createCGPath() const override;
    void flushCache() override;

    // --- GraphicElement ---
    ObjectPtr initByCopying() const override;
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;
    // Strokes the outline one screen point wide at any zoom; nothing while hidden.
    void drawIn(ZDLContext& context) override;
    // Inside the outline by the even-odd rule; the view scale plays no part.
    bool containsPt(const QPointF& point, float viewScale) const override;
    void flushCachesUsingColor() override;
    void flushCachedImage() override;
    void changeSegments(const std::function<void()>& change) override;
    // Applies a manipulator to the mask; a mask has no children to pass a notice to.
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override;

    // The union of the segments' bounds, whether the mask is visible or not: a hidden mask still
    // clips its image. The line and its handles reach kInvalidationMargin beyond.
    QRectF getBounds() const override { return getBoundsIgnoringVisibility(); }
    QRectF getBoundsIgnoringVisibility() const override;
    QRectF getInvalidationBounds() const override;
    QRectF getGeometryBounds() const override;

    bool validateData() override;
};

using MaskingPathPtr = std::shared_ptr<MaskingPath>;

void registerMaskingPathClasses(ClassRegistry& registry);

} // namespace zandrel
