#pragma once

#include "platform/Object.h"

#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <memory>

namespace zandrel {

// How two points line up, as the "align path points" command asks it.
enum PointAlignment : int {
    PointAlignmentNone = 0,
    PointAlignmentVertical = 1, // they share an x within the tolerance
    PointAlignmentHorizontal = 2, // they share a y
    PointAlignmentEqual = 3,
};

// The double rounded to single precision, kept opaque to the optimiser: GCC 12.2 at -O2 vectorises
// a pair of double -> float -> double conversions into nothing, losing the rounding that draw
// commands and archived points are compared by.
inline float roundedToFloat(double value)
{
    float f = static_cast<float>(value);
#if defined(__GNUC__)
    asm("" : "+g"(f));
#endif
    return f;
}

// One point of a Curve: an on-curve vertex or the control point of a quadratic segment.
// The position is kept in double; x() and y() round it to float, and the archive holds floats,
// so a point read back from a file equals the float-rounded point that was written.
class CurvePoint : public Object {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kXKey = QStringLiteral("x");
    static inline const QString kYKey = QStringLiteral("y");
    static inline const QString kPointKey = QStringLiteral("point");
    static inline const QString kOnCurveKey = QStringLiteral("onCurve");

    CurvePoint() = default;
    CurvePoint(float x, float y, bool onCurve);
    // A copy with the same position and flag.
    CurvePoint(const CurvePoint& other) = default;
    CurvePoint& operator=(const CurvePoint& other) = default;
    ~CurvePoint() override = default;

    static std::shared_ptr<CurvePoint> curvePointAtX(float x, float y, bool onCurve);
    static std::shared_ptr<CurvePoint> initByCopying(const CurvePoint& other);

    float x() const { return roundedToFloat(m_point.x()); }
    void setX(float x) { m_point.setX(x); }
    float y() const { return roundedToFloat(m_point.y()); }
    void setY(float y) { m_point.setY(y); }
    const QPointF& point() const { return m_point; }
    void setPoint(const QPointF& point) { m_point = point; }
    bool onCurve() const { return m_onCurve; }
    void setOnCurve(bool onCurve) { m_onCurve = onCurve; }

    // Halfway to the other point, whose coordinates are taken through its float x() and y().
    QPointF midwayPointTo(const CurvePoint& other) const;
    void offsetBy(const QPointF& delta) { m_point += delta; }
    void transformBy(const QTransform& transform) { m_point = transform.map(m_point); }
    // The point's relative position in from, mapped bilinearly into the quad (four points in the
    // order (minX, minY), (maxX, minY), (minX, maxY), (maxX, maxY)).
    void perspectiveTransformFrom(const QRectF& from, const QPointF* quad);
    float distanceTo(const CurvePoint& other) const;
    // tolerance is an angle in radians, clamped to [0, pi/4].
    PointAlignment getPointAlignmentWith(const CurvePoint& other, float tolerance) const;

    // Archived as "x", "y" (floats) and "onCurve"; missing keys read as 0 and NO.
    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("CurvePoint");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    QPointF m_point;
    bool m_onCurve = false;
};

using CurvePointPtr = std::shared_ptr<CurvePoint>;

} // namespace zandrel
