#pragma once

#include <QPointF>
#include <vector>

namespace zandrel {

// What a draw command does; the values are stable because tools and tests name them.
enum DrawCommandCode : int {
    DrawCommandMove = 0,
    DrawCommandLine = 1,
    DrawCommandQuadCurve = 2,
    DrawCommandClose = 3,
    // Follows a segment that ends at a stored on-curve point: path builders skip it and the curve
    // iterator records the length reached there.
    DrawCommandMark = 4,
};

// One step of building a path. Coordinates are single precision on purpose: outlines are compared
// with and hit-tested against float results. (x1, y1) is the target of a move or line and the
// control point of a quadratic curve; (x2, y2) is the end of a quadratic curve and 0 otherwise.
// A plain value: lists of commands are copied, never shared.
class DrawCommand {
public:
    DrawCommand() = default;
    constexpr DrawCommand(int command, float x1, float y1, float x2 = 0.0f, float y2 = 0.0f)
        : m_command(command)
        , m_x1(x1)
        , m_y1(y1)
        , m_x2(x2)
        , m_y2(y2)
    {
    }

    static constexpr DrawCommand moveToX(float x, float y) { return { DrawCommandMove, x, y }; }
    static constexpr DrawCommand lineToX(float x, float y) { return { DrawCommandLine, x, y }; }
    static constexpr DrawCommand quadCurveByX(float cx, float cy, float x, float y)
    {
        return { DrawCommandQuadCurve, cx, cy, x, y };
    }
    static constexpr DrawCommand close() { return { DrawCommandClose, 0.0f, 0.0f }; }
    static constexpr DrawCommand mark() { return { DrawCommandMark, 0.0f, 0.0f }; }

    int command() const { return m_command; }
    void setCommand(int command) { m_command = command; }
    float x1() const { return m_x1; }
    void setX1(float x) { m_x1 = x; }
    float y1() const { return m_y1; }
    void setY1(float y) { m_y1 = y; }
    float x2() const { return m_x2; }
    void setX2(float x) { m_x2 = x; }
    float y2() const { return m_y2; }
    void setY2(float y) { m_y2 = y; }

    QPointF point1() const { return QPointF(m_x1, m_y1); }
    QPointF point2() const { return QPointF(m_x2, m_y2); }

    // Moves the target (and, for a quadratic curve, the end point); sums in double, stored as float.
    void offsetBy(const QPointF& delta)
    {
        m_x1 = static_cast<float>(m_x1 + delta.x());
        m_y1 = static_cast<float>(m_y1 + delta.y());
        if (m_command == DrawCommandQuadCurve) {
            m_x2 = static_cast<float>(m_x2 + delta.x());
            m_y2 = static_cast<float>(m_y2 + delta.y());
        }
    }

    bool operator==(const DrawCommand&) const = default;

private:
    int m_command = DrawCommandMove;
    float m_x1 = 0.0f;
    float m_y1 = 0.0f;
    float m_x2 = 0.0f;
    float m_y2 = 0.0f;
};

using DrawCommandList = std::vector<DrawCommand>;

} // namespace zandrel
