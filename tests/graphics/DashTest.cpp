#include "graphics/Dash.h"

#include "app/core/ZDLAppController.h"
#include "platform/Canvas.h"
#include "platform/CanvasPath.h"
#include "platform/Localization.h"
#include "platform/OffscreenImage.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(DashTest, SolidHasNoLengths)
{
    Dash solid;
    EXPECT_TRUE(solid.isSolid());
    EXPECT_EQ(solid.count(), 0);
    EXPECT_TRUE(solid.sizeLengths(3.0).isEmpty());
    EXPECT_FALSE(solid.name().isEmpty());
    EXPECT_TRUE(Dash(QList<double>()).isSolid());
    EXPECT_TRUE(Dash(nullptr, 2).isSolid());
}

TEST(DashTest, NamesFollowTheLengths)
{
    const struct {
        QList<double> lengths;
        const char* name;
    } cases[] = {
        { { 1, 1 }, "1 - 1" },
        { { 3, 2 }, "3 - 2" },
        { { 5, 4 }, "5 - 4" },
        { { 1.5, 0.25 }, "1.5 - 0.25" },
        { { 4, 2, 1, 2 }, "4 - 2 - 1 - 2" },
        { { 7 }, "7" },
    };
    for (const auto& c : cases) {
        Dash dash(c.lengths);
        EXPECT_EQ(dash.name(), QString::fromLatin1(c.name));
        EXPECT_EQ(dash.lengths(), c.lengths);
        EXPECT_EQ(dash.count(), c.lengths.size());
    }
    const double raw[] = { 2, 3 };
    EXPECT_EQ(Dash(raw, 2).name(), QStringLiteral("2 - 3"));
}

TEST(DashTest, SizedLengthsAreRewrittenOnEveryUse)
{
    Dash dash { 3, 2 };
    EXPECT_EQ(dash.sizeLengths(2.0), (QList<double> { 6, 4 }));
    EXPECT_EQ(dash.sizeLengths(0.5), (QList<double> { 1.5, 1 }));
    EXPECT_EQ(dash.sizedLengths(), (QList<double> { 1.5, 1 }));
    EXPECT_EQ(dash.lengths(), (QList<double> { 3, 2 }));
    // Dashing a path leaves the work array alone, so bands may dash paths at the same time.
    EXPECT_EQ(dash.lengthsForWidth(4.0), (QList<double> { 12, 8 }));
    CanvasPath path;
    dash.setDashOnBezierPath(path, 3.0, 0.0);
    EXPECT_EQ(path.dashPattern(), (QVector<double> { 9, 6 }));
    EXPECT_EQ(dash.sizedLengths(), (QList<double> { 1.5, 1 }));
}

TEST(DashTest, SetsScaledPatternAndWidthOnAPath)
{
    CanvasPath path;
    path.moveTo(QPointF(0, 0));
    path.lineTo(QPointF(100, 0));

    Dash { 3, 2 }.setDashOnBezierPath(path, 2.0, 1.5);
    EXPECT_EQ(path.dashPattern(), (QList<double> { 6, 4 }));
    EXPECT_DOUBLE_EQ(path.dashPhase(), 1.5);
    EXPECT_DOUBLE_EQ(path.lineWidth(), 2.0);

    // The solid dash clears an earlier pattern.
    Dash().setDashOnContext(path, 3.0, 0.0);
    EXPECT_FALSE(path.isDashed());
    EXPECT_DOUBLE_EQ(path.lineWidth(), 3.0);
}

TEST(DashTest, ApplicationTableNamesAndFallback)
{
    const ZDLAppController* app = appController();
    ASSERT_EQ(app->numberOfDashes(), 15);
    const Dash& solid = app->getDashAtIndex(0);
    EXPECT_TRUE(solid.isSolid());
    EXPECT_EQ(solid.name(), localized("Solid"));

    const char* names[] = { "1 - 1", "2 - 1", "3 - 1", "2 - 2", "3 - 2", "4 - 2", "2 - 3", "3 - 3", "4 - 3",
        "5 - 3", "2 - 4", "3 - 4", "4 - 4", "5 - 4" };
    for (int i = 1; i < 15; ++i)
        EXPECT_EQ(app->getDashAtIndex(i).name(), QString::fromLatin1(names[i - 1])) << "index " << i;

    EXPECT_EQ(&app->getDashAtIndex(15), &solid);
    EXPECT_EQ(&app->getDashAtIndex(-1), &solid);
}

// Lengths of the alternating painted and empty runs along a pixel row, starting with a painted one.
QList<int> runsAlongRow(const QImage& image, int y)
{
    QList<int> runs;
    bool painted = true;
    int length = 0;
    for (int x = 0; x < image.width(); ++x) {
        const bool here = qAlpha(image.pixel(x, y)) > 127;
        if (here == painted) {
            ++length;
            continue;
        }
        runs.append(length);
        painted = here;
        length = 1;
    }
    runs.append(length);
    return runs;
}

TEST(DashTest, DrawnDashesAreScaledByTheLineWidth)
{
    OffscreenImage image(QSize(100, 20));
    ASSERT_TRUE(image.isValid());
    CanvasPath path;
    path.moveTo(QPointF(0, 10));
    path.lineTo(QPointF(100, 10));
    Dash { 3, 2 }.setDashOnContext(path, 2.0, 0.0);
    image.canvas()->strokePath(path, QColor(Qt::black));
    const QImage drawn = image.takeImage();

    // The two-point line covers rows 9 and 10 whole; dashes start at x = 0 with butt caps.
    for (int y : { 9, 10 }) {
        const QList<int> runs = runsAlongRow(drawn, y);
        ASSERT_EQ(runs.size(), 20) << "row " << y;
        for (int i = 0; i < runs.size(); ++i)
            EXPECT_EQ(runs[i], i % 2 == 0 ? 6 : 4) << "row " << y << " run " << i;
    }
    EXPECT_EQ(runsAlongRow(drawn, 8), (QList<int> { 0, 100 }));
    EXPECT_EQ(runsAlongRow(drawn, 11), (QList<int> { 0, 100 }));
}

} // namespace
} // namespace zandrel
