#include "charmodel/PartPath.h"
#include "graphics/Curve.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <QImage>
#include <QTransform>
#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// An ellipse from eight control points on its circumscribed octagon, whose sides lie along the
// axes and diagonals when untilted, started at control point `start`.
PartPathPtr octagonEllipse(const QPointF& centre, double rx, double ry, double tilt, int start)
{
    auto curve = std::make_shared<Curve>();
    const double k = 1.0 / std::cos(M_PI / 8);
    for (int i = 0; i < 8; ++i) {
        const double a = M_PI / 4 * ((start + i) % 8) + M_PI / 8 + tilt;
        curve->addPoint(centre + QPointF(std::cos(a) * rx * k, std::sin(a) * ry * k), false);
    }
    curve->setClosed(true);
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    return path;
}

struct Style {
    float weight;
    float blur;
    double scale;
};

QImage render(const PartPathPtr& path, const Style& style, const QSize& size)
{
    path->setFillColor(ZDLColor::colorFromHexNamed("#804020", "Brown"));
    path->setLineColor(ZDLColor::blackColor());
    path->setLineWeight(style.weight);
    path->setBlur(style.blur);
    OffscreenImage offscreen(size);
    Canvas* canvas = offscreen.canvas();
    if (!canvas)
        return {};
    canvas->fillRect(QRectF(QPointF(0, 0), QSizeF(size)), QColor(Qt::white));
    canvas->scale(style.scale, style.scale);
    {
        CanvasScope scope(canvas);
        ZDLContext context(float(style.scale));
        context.setBlurThreshold(0);
        context.setExporting(true);
        path->drawIn(context);
    }
    return offscreen.takeImage().convertToFormat(QImage::Format_ARGB32);
}

int differingPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 60)
                ++count;
        }
    }
    return count;
}

TEST(ClosedControlOutlineTest, DrawsTheSameFromEveryStart)
{
    const Style styles[]
        = { { 1.1f, 0, 2 }, { 0, 0.6f, 2 }, { 1.1f, 0.6f, 2 }, { 0.5f, 0.6f, 4 }, { 2, 1.3f, 1 } };
    const QPointF centres[] = { { 10.3, 11.7 }, { 12, 12 }, { 13.37, 10.91 } };
    const double radii[][2] = { { 3.9, 4.5 }, { 5.2, 6.8 }, { 6, 6 }, { 2.1, 2.5 } };
    for (const Style& style : styles) {
        for (const QPointF& centre : centres) {
            for (const auto& r : radii) {
                for (double tilt : { 0.0, 0.2 }) {
                    const QSize size(int(26 * style.scale), int(26 * style.scale));
                    const QImage reference = render(octagonEllipse(centre, r[0], r[1], tilt, 1), style, size);
                    for (int start = 0; start < 8; ++start) {
                        const QImage image
                            = render(octagonEllipse(centre, r[0], r[1], tilt, start), style, size);
                        EXPECT_LE(differingPixels(image, reference), 2)
                            << "weight " << style.weight << " blur " << style.blur << " scale " << style.scale
                            << " centre " << centre.x() << "," << centre.y() << " radii " << r[0] << ","
                            << r[1] << " tilt " << tilt << " start " << start;
                    }
                }
            }
        }
    }
}

// An eye: a white with an outline, and inside it, clipped to it, a blurred iris, a pupil and a
// highlight, every outline started at `start`.
TEST(ClosedControlOutlineTest, NestedOutlinesDrawTheSameFromEveryStart)
{
    auto eye = [](const QPointF& at, int start) {
        PartPathPtr white = octagonEllipse(at, 5.2, 6.8, 0, start);
        PartPathPtr iris = octagonEllipse(at + QPointF(0.7, 0.4), 3.9, 4.5, 0, start);
        iris->setFillColor(ZDLColor::colorFromHexNamed("#804020", "Brown"));
        iris->setLineColor(ZDLColor::colorFromHexNamed("#804020", "Brown"));
        iris->setLineWeight(0.5f);
        iris->setBlur(0.6f);
        PartPathPtr pupil = octagonEllipse(at + QPointF(0.8, 0.5), 2.1, 2.5, 0, start);
        pupil->setFillColor(ZDLColor::blackColor());
        white->setFillColor(ZDLColor::whiteColor());
        white->setLineColor(ZDLColor::blackColor());
        white->setLineWeight(1.1f);
        white->setChildren({ iris, pupil });
        return white;
    };
    for (const QPointF& at :
        { QPointF(10.3, 11.7), QPointF(12, 12), QPointF(13.37, 10.91), QPointF(9.55, 12.25) }) {
        auto draw = [&](int start) {
            PartPathPtr white = eye(at, start);
            OffscreenImage offscreen(QSize(60, 60));
            Canvas* canvas = offscreen.canvas();
            canvas->fillRect(QRectF(0, 0, 60, 60), QColor(Qt::white));
            canvas->scale(2, 2);
            CanvasScope scope(canvas);
            ZDLContext context(2.0f);
            context.setBlurThreshold(0);
            context.setExporting(true);
            white->drawIn(context);
            return offscreen.takeImage().convertToFormat(QImage::Format_ARGB32);
        };
        const QImage reference = draw(1);
        for (int start = 0; start < 8; ++start)
            EXPECT_LE(differingPixels(draw(start), reference), 2)
                << at.x() << "," << at.y() << " start " << start;
    }
}

// A placed part's points lie anywhere in double precision, while its outline is drawn in single
// precision: the last curve must still end exactly where the outline started, or the stroke's
// closing join meets a sliver of a line running back against the curve and draws a long spike.
CurvePtr placedEllipse(const QTransform& placement, double tilt, int start, bool singlePrecision)
{
    auto curve = std::make_shared<Curve>();
    const double k = 1.0 / std::cos(M_PI / 8);
    for (int i = 0; i < 8; ++i) {
        const double a = M_PI / 4 * ((start + i) % 8) + M_PI / 8 + tilt;
        curve->addPoint(QPointF(55.6 + std::cos(a) * 5.2 * k, 59.4 + std::sin(a) * 6.8 * k), false);
    }
    curve->setClosed(true);
    curve->transformBy(placement);
    if (!singlePrecision)
        return curve;
    // The same points rounded as a newly added point is.
    auto rounded = std::make_shared<Curve>();
    for (const CurvePointPtr& point : curve->points())
        rounded->addPoint(point->point(), false);
    rounded->setClosed(true);
    return rounded;
}

PartPathPtr pathOf(const CurvePtr& curve)
{
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    return path;
}

TEST(ClosedControlOutlineTest, PlacedOutlinesCloseWhereTheyStart)
{
    // Eye whites as the catalog's characters place them, and a few other placements.
    const QTransform placements[] = { QTransform(1.019575834274292, 0, 0, 1.019575834274292, 22.2335868,
                                          -13.8662298),
        QTransform::fromScale(0.87331479787826538, 0.87331479787826538).translate(33.1652505, -6.9756021),
        QTransform(0.9, 0.3, -0.3, 0.9, 1.7, 2.9), QTransform::fromTranslate(-23.4778, 0.0000001) };
    const Style style { 1.1f, 0, 1 };
    int spiked = 0;
    for (const QTransform& placement : placements) {
        for (double tilt : { 0.0, 0.2, 1.3 }) {
            for (int start = 0; start < 8; ++start) {
                const CurvePtr curve = placedEllipse(placement, tilt, start, false);
                const DrawCommandList& commands = curve->getDrawCommands();
                ASSERT_GE(commands.size(), 3u);
                const DrawCommand& end = commands[commands.size() - 2];
                ASSERT_EQ(end.command(), DrawCommandQuadCurve);
                EXPECT_EQ(end.point2(), commands.front().point1()) << "tilt " << tilt << " start " << start;
                const QImage image = render(pathOf(curve), style, QSize(100, 100));
                const QImage reference
                    = render(pathOf(placedEllipse(placement, tilt, start, true)), style, QSize(100, 100));
                if (differingPixels(image, reference) > 2)
                    ++spiked;
            }
        }
    }
    EXPECT_EQ(spiked, 0);
}

} // namespace
} // namespace zandrel
