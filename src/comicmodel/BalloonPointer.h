#pragma once

#include "graphics/Curve.h"
#include "graphics/ElementProtocols.h"
#include "platform/Object.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QVector>
#include <memory>
#include <optional>
#include <vector>

namespace zandrel {

class Balloon;
class ClassRegistry;
class GradientFill;
class ZDLContext;

// One point of a balloon pointer's polyline, relative to the pointer's anchor. Archived as "x" and
// "y" in single precision.
class BalloonPoint : public Object {
public:
    ZDL_PROPERTIES

    static inline const QString kPointValueKey = QStringLiteral("pointValue");

    BalloonPoint() = default;
    explicit BalloonPoint(const QPointF& point)
        : m_point(point)
    {
    }
    BalloonPoint(const BalloonPoint& other) = default;

    static std::shared_ptr<BalloonPoint> balloonPointWithPoint(const QPointF& point)
    {
        return std::make_shared<BalloonPoint>(point);
    }
    std::shared_ptr<BalloonPoint> copy() const { return std::make_shared<BalloonPoint>(*this); }

    QPointF pointValue() const { return m_point; }
    void setPointValue(const QPointF& point);

    static inline const QString kClassName = QStringLiteral("BalloonPoint");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    // A coordinate that is not finite reads as 0.
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    QPointF m_point;
};

using BalloonPointPtr = std::shared_ptr<BalloonPoint>;
using BalloonPointList = std::vector<BalloonPointPtr>;

// How a balloon strokes its outline and its pointers: the colour, the width and the dash lengths
// (absolute, with their phase), set once by the balloon for both.
struct BalloonLine {
    QColor color;
    double width = 1.0;
    QVector<double> dash;
    double dashPhase = 0.0;

    void applyTo(CanvasPath& path) const;
};

// A tail of a balloon: a polyline of points hung from an anchor inside the balloon's text body,
// drawn by the owner's shape and style as a tapering wedge, as a line (text blocks) or as a row of
// shrinking thought bubbles (style 1).
//
// Pointer coordinates are the owner's local coordinates moved by pointerOffset(); bounds are in the
// coordinates of the owner's parent. The outline and the bubbles are built on demand and cached
// until flushCache, which the owner calls when its text, width, shape or style change.
//
// Archive, in writing order: "xpos", "ypos" (floats), "pointerPoints" (the point list). Older files
// hold the points as point values under "points".
class BalloonPointer : public Object, public virtual InvalidationBoundsSource {
public:
    ZDL_PROPERTIES

    // Property names, through which the tools change pointers undoably.
    static inline const QString kPointsKey = QStringLiteral("points");
    static inline const QString kXPosKey = QStringLiteral("xPos");
    static inline const QString kYPosKey = QStringLiteral("yPos");

    // The anchor of a new pointer, as fractions of the body's width and height, and its tail.
    static constexpr float kDefaultXPos = 0.5f;
    static constexpr float kDefaultYPos = 0.75f;
    static constexpr double kDefaultTailLength = 72.0;
    // How far the wedge reaches either side of its base.
    static constexpr float kWedgeHalfWidth = 10.0f;
    // A hostile file could describe a tail long enough for millions of bubbles.
    static constexpr int kMaxBubbles = 10000;

    // The anchor at (0.5, 0.75) of the body, a tail straight down of kDefaultTailLength, no owner.
    BalloonPointer();
    // The same anchor and copies of the points; no owner until a balloon takes the copy.
    BalloonPointer(const BalloonPointer& other);
    BalloonPointer& operator=(const BalloonPointer&) = delete;
    ~BalloonPointer() override;

    std::shared_ptr<BalloonPointer> initByCopying() const;

    // Copies of the points: changing them does not change the pointer.
    BalloonPointList points() const;
    // Keeps copies of the points and drops the caches. Fewer than two points (or null ones) give
    // the default tail, since every outline needs a base and a tip.
    void setPoints(const BalloonPointList& points);
    QList<QPointF> pointValues() const;
    void setPointValues(const QList<QPointF>& points);
    float xPos() const { return m_xPos; }
    // Both drop the caches, even for the value held.
    void setXPos(float xPos);
    float yPos() const { return m_yPos; }
    void setYPos(float yPos);
    Balloon* owner() const { return m_owner; }
    void setOwner(Balloon* owner);

    void flushCache();
    // The anchor in the owner's local coordinates: the owner's visible text body at (xPos, yPos);
    // (0, 0) without an owner.
    QPointF pointerOffset() const;
    // The outline in pointer coordinates, or null (a text-block tail whose tip lies in the text).
    CurvePtr pointerPath() const;
    // The bubbles of a pointer of a style-1 balloon, in pointer coordinates; none otherwise, or
    // without a path.
    std::optional<QList<QRectF>> bubbleRects() const;

    QRectF getBounds() const;
    QRectF getInvalidationBounds() const override;
    QRectF getGeometryBounds() const;
    // The point is in the owner's local coordinates.
    bool containsPt(const QPointF& point) const;

    // The three drawing passes, within the owner's: the canvas is already translated to the
    // owner's origin. A wedge is stroked with round joins, so that its ink ends within a line
    // weight of the tip, as the outline's does of the outline.
    void drawOutlineIn(ZDLContext& context, const BalloonLine& line) const;
    void drawFillIn(ZDLContext& context, const QColor& color) const;
    // The gradient spans rect, given in the owner's local coordinates, so that it lines up with
    // the owner's fill.
    void drawFillIn(ZDLContext& context, const GradientFill& gradient, const QRectF& rect) const;

    static inline const QString kClassName = QStringLiteral("BalloonPointer");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    // The owner's shape and style, as a pointer without owner sees them (a plain wedge).
    bool ownerIsTextBlock() const;
    int ownerStyle() const;
    bool drawsAsBubbles() const { return ownerStyle() == 1; }
    // The part of the polyline outside the text body (text blocks); empty when the tip is inside.
    QList<QPointF> textBlockTail() const;
    CurvePtr buildPath() const;
    CurvePtr wedgePath(const QList<QPointF>& points) const;
    static void setDefaultPoints(BalloonPointList& points);

    BalloonPointList m_points;
    mutable CurvePtr m_path;
    mutable std::optional<QList<QRectF>> m_bubbles;
    float m_xPos = kDefaultXPos;
    float m_yPos = kDefaultYPos;
    Balloon* m_owner = nullptr;
};

using BalloonPointerPtr = std::shared_ptr<BalloonPointer>;
using BalloonPointerList = QList<BalloonPointerPtr>;

} // namespace zandrel
