#include "graphics/CurveIterator.h"

#include "graphics/Curve.h"
#include "graphics/GraphicUtils.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

int clampPrecision(int precision)
{
    return std::clamp(precision, 1, CurveIterator::kMaxPrecision);
}

} // namespace

CurveIterator::CurveIterator()
    : m_precision(kDefaultPrecision)
{
    generateFromDrawCommands({});
}

CurveIterator::CurveIterator(const Curve& curve, int precision)
    : m_precision(clampPrecision(precision))
{
    generateFromCurve(curve);
}

CurveIterator::CurveIterator(const DrawCommandList& commands, int precision)
    : m_precision(clampPrecision(precision))
{
    generateFromDrawCommands(commands);
}

void CurveIterator::generateFromCurve(const Curve& curve)
{
    generateFromDrawCommands(curve.getDrawCommands());
}

void CurveIterator::generateFromDrawCommands(const DrawCommandList& commands)
{
    m_position = CurveIteratorState();
    m_length = 0.0f;
    m_lineCommands.clear();
    m_marks.clear();
    BoundsAccumulator acc;
    boundsAccumulatorInit(&acc);

    std::size_t quads = 0;
    for (const DrawCommand& command : commands)
        quads += command.command() == DrawCommandQuadCurve;
    m_lineCommands.reserve(commands.size() + quads * std::size_t(m_precision));

    QPointF c(0.0, 0.0);
    for (const DrawCommand& command : commands) {
        switch (command.command()) {
        case DrawCommandMove:
        case DrawCommandLine: {
            const QPointF p = command.point1();
            m_lineCommands.push_back(command);
            boundsAccumulatorAddPoint(&acc, p);
            if (command.command() == DrawCommandLine)
                m_length += distanceBetweenPoints(c, p);
            c = p;
            break;
        }
        case DrawCommandQuadCurve: {
            const QPointF control = command.point1();
            const QPointF end = command.point2();
            QPointF previous = c;
            for (int k = 1; k <= m_precision; ++k) {
                const float t = static_cast<float>(k) / static_cast<float>(m_precision);
                const QPointF p = pointOnQuadCurve(c, control, end, t);
                m_length += distanceBetweenPoints(previous, p);
                boundsAccumulatorAddPoint(&acc, p);
                m_lineCommands.push_back(
                    DrawCommand::lineToX(static_cast<float>(p.x()), static_cast<float>(p.y())));
                previous = p;
            }
            c = end;
            break;
        }
        case DrawCommandMark:
            m_marks.push_back(m_length);
            break;
        default:
            // A closed curve's commands already return to the start point.
            break;
        }
    }
    m_bounds = boundsAccumulatorRect(&acc);

    m_segmentLengths.clear();
    if (m_lineCommands.size() >= 2) {
        m_segmentLengths.reserve(m_lineCommands.size() - 1);
        for (std::size_t i = 0; i + 1 < m_lineCommands.size(); ++i)
            m_segmentLengths.push_back(
                distanceBetweenPoints(m_lineCommands[i].point1(), m_lineCommands[i + 1].point1()));
    }
}

void CurveIterator::setTraverseDistance(float d)
{
    walk(m_position, d);
}

void CurveIterator::walk(CurveIteratorState& position, float d) const
{
    if (!std::isfinite(d))
        return;
    if (d > m_length)
        d = m_length > 0.0f ? fmodf(d, m_length) : 0.0f;
    if (d < 0.0f)
        d = 0.0f;
    if (d == position.traverseDistance())
        return;
    if (d == 0.0f || m_segmentLengths.empty()) {
        position = CurveIteratorState();
        return;
    }
    float delta = d - position.traverseDistance();
    position.setTraverseDistance(d);
    const int lastSegment = static_cast<int>(m_segmentLengths.size()) - 1;
    int index = std::clamp(position.segmentIndex(), 0, lastSegment);
    float along = position.segmentDistance();
    if (delta > 0.0f) {
        for (;;) {
            const float rest = m_segmentLengths[index] - along;
            if (rest >= delta) {
                along += delta;
                break;
            }
            delta -= rest;
            ++index;
            along = 0.0f;
            if (index > lastSegment) {
                // Parks at the end of the outline.
                index = lastSegment;
                along = m_segmentLengths[index];
                break;
            }
        }
    } else {
        float back = -delta;
        while (along < back) {
            back -= along;
            if (index == 0) {
                // Never walks before the start.
                along = 0.0f;
                back = 0.0f;
                break;
            }
            --index;
            along = m_segmentLengths[index];
            if (back == 0.0f)
                break;
        }
        along -= back;
    }
    position.setSegmentIndex(index);
    position.setSegmentDistance(along);
}

QPointF CurveIterator::pointAtPosition(const CurveIteratorState& position) const
{
    if (m_lineCommands.empty())
        return QPointF(0.0, 0.0);
    if (m_lineCommands.size() == 1)
        return m_lineCommands.front().point1();
    const int index = std::clamp(position.segmentIndex(), 0, static_cast<int>(m_lineCommands.size()) - 2);
    return pointAtDistanceToward(
        m_lineCommands[index].point1(), m_lineCommands[index + 1].point1(), position.segmentDistance());
}

QPointF CurveIterator::currentPoint() const
{
    return pointAtPosition(m_position);
}

QPointF CurveIterator::pointAt(float d) const
{
    if (d == m_position.traverseDistance())
        return currentPoint();
    CurveIteratorState position = m_position;
    walk(position, d);
    return pointAtPosition(position);
}

float CurveIterator::nextMark() const
{
    const float here = m_position.traverseDistance();
    for (float mark : m_marks) {
        if (mark > here)
            return mark;
    }
    return m_length;
}

float CurveIterator::getDivisibleSegmentLengthNear(float d) const
{
    if (m_length == 0.0f)
        return 0.0f;
    const float count = roundf(m_length / d);
    // A step longer than twice the outline, or no usable step at all: one step around.
    if (!(count >= 1.0f) || std::isinf(count))
        return m_length;
    return m_length / count;
}

bool CurveIterator::isPointOnCurve(const QPointF& p, float weight) const
{
    QPointF previous(0.0, 0.0);
    for (const DrawCommand& command : m_lineCommands) {
        const QPointF target = command.point1();
        if (command.command() == DrawCommandLine && isPointNearSegment(previous, target, p, weight))
            return true;
        previous = target;
    }
    return false;
}

} // namespace zandrel
