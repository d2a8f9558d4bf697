#pragma once

#include "graphics/Curve.h"
#include "graphics/DrawCommand.h"

#include <QString>
#include <gtest/gtest.h>
#include <initializer_list>
#include <ostream>

namespace zandrel {

// Makes test output readable: "move 0 0", "quad 10 0 10 5", "mark".
inline std::ostream& operator<<(std::ostream& out, const DrawCommand& c)
{
    static const char* names[] = { "move", "line", "quad", "close", "mark" };
    const int code = c.command();
    out << (code >= 0 && code <= 4 ? names[code] : "?") << ' ' << c.x1() << ' ' << c.y1();
    if (code == DrawCommandQuadCurve)
        out << ' ' << c.x2() << ' ' << c.y2();
    return out;
}

namespace test {

struct PointSpec {
    double x;
    double y;
    bool on;
};

inline std::shared_ptr<Curve> makeCurve(std::initializer_list<PointSpec> points, bool closed = false)
{
    auto curve = std::make_shared<Curve>();
    for (const PointSpec& p : points)
        curve->addPoint(QPointF(p.x, p.y), p.on);
    curve->setClosed(closed);
    return curve;
}

inline DrawCommand move(float x, float y)
{
    return DrawCommand::moveToX(x, y);
}
inline DrawCommand line(float x, float y)
{
    return DrawCommand::lineToX(x, y);
}
inline DrawCommand quad(float cx, float cy, float x, float y)
{
    return DrawCommand::quadCurveByX(cx, cy, x, y);
}
inline DrawCommand mark()
{
    return DrawCommand::mark();
}
inline DrawCommand close()
{
    return DrawCommand::close();
}

} // namespace test
} // namespace zandrel
