#pragma once

#include "graphics/DrawCommand.h"

#include <QPointF>
#include <QRectF>
#include <vector>

namespace zandrel {

class Curve;

// A saved walking position of a CurveIterator.
class CurveIteratorState {
public:
    float traverseDistance() const { return m_traverseDistance; }
    void setTraverseDistance(float d) { m_traverseDistance = d; }
    float segmentDistance() const { return m_segmentDistance; }
    void setSegmentDistance(float d) { m_segmentDistance = d; }
    int segmentIndex() const { return m_segmentIndex; }
    void setSegmentIndex(int index) { m_segmentIndex = index; }

private:
    float m_traverseDistance = 0.0f;
    float m_segmentDistance = 0.0f;
    int m_segmentIndex = 0;
};

// Flattens a curve into a polyline once, then answers questions by arc length: the total length,
// the bounds, the lengths at the stored on-curve points (marks), the point at a distance, and hit
// tests. It keeps no link to the curve and does not follow later changes of it.
class CurveIterator {
public:
    static constexpr int kDefaultPrecision = 16;
    // Flattening steps per quadratic segment are clamped to this range so that a bad precision
    // neither drops curve segments nor exhausts memory.
    static constexpr int kMaxPrecision = 4096;

    // An iterator over an empty curve at precision 16.
    CurveIterator();
    explicit CurveIterator(const Curve& curve, int precision = kDefaultPrecision);
    // Over a list of draw commands, as a curve would give them.
    explicit CurveIterator(const DrawCommandList& commands, int precision = kDefaultPrecision);

    // Flattens afresh and puts the position at 0.
    void generateFromCurve(const Curve& curve);
    void generateFromDrawCommands(const DrawCommandList& commands);

    int precision() const { return m_precision; }
    const QRectF& bounds() const { return m_bounds; }
    float length() const { return m_length; }
    // Move targets and line targets of the flattened outline, in order.
    const DrawCommandList& lineCommands() const { return m_lineCommands; }
    // Non-decreasing lengths at the curve's mark commands.
    const std::vector<float>& marks() const { return m_marks; }

    float traverseDistance() const { return m_position.traverseDistance(); }
    float segmentDistance() const { return m_position.segmentDistance(); }
    int segmentIndex() const { return m_position.segmentIndex(); }
    // Walks to distance d; beyond the length it wraps around (a closed outline walked on), and the
    // walk never leaves the outline. A negative distance counts as 0; a non-finite one is ignored.
    void setTraverseDistance(float d);
    QPointF currentPoint() const;
    // The point at distance d; the position is left as it was.
    QPointF pointAt(float d) const;
    CurveIteratorState saveState() const { return m_position; }
    void restoreState(const CurveIteratorState& state) { m_position = state; }

    // The first mark strictly beyond the position, or the length when there is none.
    float nextMark() const;
    // The step length nearest d that divides the outline into whole steps (0 for an empty outline).
    float getDivisibleSegmentLengthNear(float d) const;
    // True when p lies within half the weight of a straight piece of the outline.
    bool isPointOnCurve(const QPointF& p, float weight) const;

private:
    void walk(CurveIteratorState& position, float d) const;
    QPointF pointAtPosition(const CurveIteratorState& position) const;

    QRectF m_bounds;
    int m_precision = kDefaultPrecision;
    CurveIteratorState m_position;
    float m_length = 0.0f;
    DrawCommandList m_lineCommands;
    std::vector<float> m_marks;
    // Length of the piece from line command i to line command i + 1, for walking.
    std::vector<float> m_segmentLengths;
};

} // namespace zandrel
