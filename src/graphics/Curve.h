#pragma once

#include "graphics/CurvePoint.h"
#include "graphics/DrawCommand.h"
#include "graphics/StrokeReach.h"
#include "platform/CanvasPath.h"
#include "platform/Object.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <memory>
#include <optional>
#include <vector>

namespace zandrel {

class ClassRegistry;
class CurveIterator;
class GeometryReader;
class GeometryRecord;

using CurvePointList = std::vector<CurvePointPtr>;

// One outline of the system: an open or closed quadratic spline of on-curve and off-curve points.
// Between two consecutive off-curve points an on-curve point is implied midway; in an open curve the
// last point always counts as on-curve. The curve caches its draw commands, an iterator and its
// bounds and what its stroke reaches; every change through the curve empties the caches (offsetBy moves them
// instead). Changing a CurvePoint obtained from getPointAtIndex does not reach the caches: call flushCache.
class Curve : public Object {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kClosedKey = QStringLiteral("closed");
    static inline const QString kPointsKey = QStringLiteral("points");

    Curve() = default;
    // A deep copy: new points, the same closed flag, empty caches.
    Curve(const Curve& other);
    Curve& operator=(const Curve& other);
    ~Curve() override;

    // A closed curve around the corners, or null for fewer than 3. Roundness 0 gives a sharp
    // polygon, a positive one rounds each corner with that radius, a negative one gives an outline
    // of off-curve points only (an ellipse over a rectangle).
    static std::shared_ptr<Curve> initWithPolygonPoints(const QList<QPointF>& corners, float roundness);
    // The corners (minX, minY), (maxX, minY), (maxX, maxY), (minX, maxY) with the radius as roundness.
    static std::shared_ptr<Curve> initWithRect(const QRectF& rect, float radius);
    static std::shared_ptr<Curve> initWithEllipseIn(const QRectF& rect);
    static std::shared_ptr<Curve> initByCopying(const Curve& other);
    // What a copy of the curve costs a decoding budget.
    qint64 copyCost() const;

    // Appends the points of one side of a rounded polygon from a toward b.
    void addPointsForRoundedPolygonSideFrom(const QPointF& a, const QPointF& b, float radius);

    bool validateData() const { return m_points.size() >= 2; }
    int numPoints() const { return static_cast<int>(m_points.size()); }
    const CurvePointList& points() const { return m_points; }
    // The point itself, not a copy; null for an index outside the list.
    CurvePointPtr getPointAtIndex(int index) const;
    CurvePointPtr lastPoint() const;
    bool closed() const { return m_closed; }
    void setClosed(bool closed);

    // Move, line, quadratic, close and mark commands in single precision. The list stays valid until
    // the curve next changes.
    const DrawCommandList& getDrawCommands() const;
    // The cached iterator when there is one; else a new one at precision 8, kept when caching.
    std::shared_ptr<CurveIterator> getCurveIteratorCaching(bool caching) const;
    // Bounds of the flattened outline (control points excluded); cached.
    QRectF getBounds() const;
    // Bounds of all points, off-curve points included; never thinner than 0.1.
    QRectF getGeometryBounds() const;
    // Bounds of what a stroke of the width paints as the canvas strokes outlines (butt caps, miter
    // joins up to the default miter limit): the curve's exact bounds grown by half the width, and
    // further where a sharp corner's miter reaches; getBounds for no width. Cached like the bounds.
    QRectF getStrokeBounds(double lineWidth) const;
    bool isPointOnCurve(const QPointF& p, float weight) const;
    // Paths built from the draw commands: quadratic and non-zero, or raised to cubics and even-odd.
    CanvasPath createCGPath() const;
    CanvasPath createNSBezierPath() const;

    // Archived as "points" and "closed"; a missing "points" leaves the curve empty (and invalid).
    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("Curve");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    CurvePointPtr addPointAtX(float x, float y, bool onCurve);
    CurvePointPtr addPoint(const QPointF& p, bool onCurve);
    // Inserts before the index (which may equal the count); null when the index is outside.
    CurvePointPtr insertPointAtIndex(int index, float x, float y, bool onCurve);
    // Indices and ranges outside the list are ignored (a range is cut to the list).
    void deletePointAtIndex(int index);
    void deletePointsInRange(int location, int length);
    // Appends copies of the other curve's points; its closed flag is ignored.
    void appendPointsFrom(const Curve& other);
    // Rotates the list so that the point at the index comes first.
    void setFirstPoint(int index);
    void reverse();
    void transformBy(const QTransform& transform);
    void perspectiveTransformFrom(const QRectF& from, const QPointF* quad);
    void offsetBy(const QPointF& delta);
    void flushCache();
    // The positions of the points, and putting them back (nothing when the count differs).
    void recordPoints(GeometryRecord& record) const;
    void restorePoints(GeometryReader& reader);

    // Freehand simplification (CurveSimplification.cpp).

    // Keeps the first, the last and every on-curve point, and between two of them the points that
    // carry the shape at the tolerance (Ramer-Douglas-Peucker).
    void reducePointsWithTolerance(double tolerance);
    // A tolerance of 8 screen pixels at that zoom.
    void reducePointsDrawnAtScale(float scale);
    // Replaces the points from index from through to (both included) by those kept between them.
    void reducePointsFrom(int from, int to, float tolerance);
    // The indices strictly between first and last that are kept at the tolerance, in the order
    // found (unsorted).
    static std::vector<int> douglasPeuckerReduceSection(
        const CurvePointList& points, int first, int last, double tolerance);
    // The sorted indices kept over the whole list; empty for 2 points or fewer.
    std::vector<int> douglasPeuckerReduction(const CurvePointList& points, double tolerance) const;
    // Turns on-curve input points that lie nearly on the chord of their neighbours into off-curve ones.
    void cleanUpMouseInput();
    void moveOffcurvePointsToHitInputPoints();
    // Moves each off-curve point of the range so that the spline passes near its drawn position.
    void moveOffcurvePointsToHitInputPointsFrom(int from, int to);

private:
    void buildDrawCommands(DrawCommandList& commands) const;

    CurvePointList m_points;
    bool m_closed = false;
    mutable std::optional<DrawCommandList> m_drawCommandsCache;
    mutable std::shared_ptr<CurveIterator> m_curveIteratorCache;
    mutable QRectF m_bounds;
    mutable bool m_boundsValid = false;
    mutable std::optional<StrokeOutline> m_strokeOutlineCache;
};

using CurvePtr = std::shared_ptr<Curve>;

// Registers "Curve" and "CurvePoint" for decoding.
void registerCurveClasses(ClassRegistry& registry);

} // namespace zandrel
