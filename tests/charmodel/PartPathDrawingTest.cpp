#include "charmodel/PartPath.h"
#include "charmodel/TestPartLeaf.h"
#include "graphics/NamedShapeStyle.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"
#include "support/TestSupport.h"

#include <QImage>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Draws on a white ground with the offscreen canvas current, as a view or an export would.
QImage render(const QSize& size, const std::function<void(ZDLContext&)>& draw)
{
    OffscreenImage offscreen(size);
    Canvas* canvas = offscreen.canvas();
    if (!canvas)
        return {};
    canvas->fillRect(QRectF(QPointF(0, 0), QSizeF(size)), QColor(Qt::white));
    {
        CanvasScope scope(canvas);
        ZDLContext context(1.0f);
        context.setBlurThreshold(0);
        draw(context);
    }
    return offscreen.takeImage().convertToFormat(QImage::Format_ARGB32);
}

PartPathPtr pathThrough(const QList<QPointF>& points, bool onCurve = true)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& p : points)
        curve->addPoint(p, onCurve);
    curve->setClosed(true);
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    return path;
}

// A filled square with a dashed outline, an ellipse whose contents are clipped to it, and a
// blurred square.
struct Scene {
    PartPathPtr dashed = pathThrough({ { 10, 10 }, { 50, 10 }, { 50, 50 }, { 10, 50 } });
    PartPathPtr clipping = pathThrough({ { 60, 10 }, { 100, 10 }, { 100, 50 }, { 60, 50 } }, false);
    PartPathPtr blurred = pathThrough({ { 115, 20 }, { 135, 20 }, { 135, 40 }, { 115, 40 } });

    Scene()
    {
        dashed->setFillColor(ZDLColor::colorFromHexNamed("#CC2020", "Red"));
        dashed->setFillAlpha(0.5f);
        dashed->setLineColor(ZDLColor::blackColor());
        dashed->setLineWeight(4);
        dashed->setLineDash(5); // 3 widths on, 2 off

        clipping->setFillColor(ZDLColor::colorFromHexNamed("#FFE060", "Yellow"));
        clipping->addPartElement(test::TestPartLeaf::make(QRectF(55, 5, 25, 50)));
        clipping->setLineColor(ZDLColor::colorFromHexNamed("#2040C0", "Blue"));
        clipping->setLineWeight(2);

        blurred->setFillColor(ZDLColor::blackColor());
        blurred->setBlur(3);
    }
    void drawIn(ZDLContext& context) const
    {
        for (const PartPathPtr& path : { dashed, clipping, blurred })
            path->drawIn(context);
    }
};

TEST(PartPathDrawingTest, FillContentsAndDashedOutline)
{
    Scene scene;
    const QImage image = render({ 150, 60 }, [&](ZDLContext& context) { scene.drawIn(context); });
    // Half of the red over white.
    EXPECT_NEAR(qRed(image.pixel(30, 30)), 229, 2);
    EXPECT_NEAR(qGreen(image.pixel(30, 30)), 143, 2);
    // The dash starts half a width into its first length: on to x 20, off to 28, on again.
    EXPECT_EQ(image.pixel(15, 10), qRgb(0, 0, 0));
    EXPECT_NE(image.pixel(24, 10), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(34, 10), qRgb(0, 0, 0));
    // The red child shows inside the ellipse only; beyond the child, the yellow fill.
    EXPECT_EQ(image.pixel(72, 30), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(61, 11), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(90, 30), qRgb(255, 224, 96));
    // The blur is soft on both sides of the square's edge and reaches beyond it.
    EXPECT_LT(qRed(image.pixel(125, 30)), 40);
    const int edge = qRed(image.pixel(115, 30));
    EXPECT_GT(edge, 90);
    EXPECT_LT(edge, 170);
    EXPECT_LT(qRed(image.pixel(111, 30)), 250);

    test::expectLikeReferenceImage(image, QStringLiteral("tests/charmodel/data/part-paths.png"), 3, 200);
}

TEST(PartPathDrawingTest, BlurGroupsDrawOnceAndDissolveOnChange)
{
    Scene scene;
    auto second = pathThrough({ { 120, 25 }, { 130, 25 }, { 130, 35 }, { 120, 35 } });
    second->setFillColor(ZDLColor::whiteColor());
    second->setBlur(3);

    scene.blurred->setBlurGroup({ scene.blurred.get(), second.get() });
    EXPECT_EQ(scene.blurred->blurMaster(), scene.blurred.get());
    EXPECT_EQ(second->blurMaster(), scene.blurred.get());
    ASSERT_FALSE(scene.blurred->cachedFilteredImage().isNull());
    const QImage grouped = render({ 150, 60 }, [&](ZDLContext& context) {
        scene.blurred->drawIn(context);
        second->drawIn(context); // drawn by the group's image only
    });
    // The white square inside the black one lightens the centre of the shared blur.
    EXPECT_GT(qRed(grouped.pixel(125, 30)), 100);

    // Moving the whole group keeps its image; moving one member alone (its own group of the part
    // moved) makes the group again at the next drawing.
    const qint64 groupKey = scene.blurred->cachedFilteredImage().cacheKey();
    scene.blurred->offsetBy({ 2, 0 }, false);
    second->offsetBy({ 2, 0 }, false);
    render({ 150, 60 }, [&](ZDLContext& context) { scene.blurred->drawIn(context); });
    EXPECT_EQ(scene.blurred->cachedFilteredImage().cacheKey(), groupKey);
    second->offsetBy({ 0, 10 }, false);
    render({ 150, 60 }, [&](ZDLContext& context) { scene.blurred->drawIn(context); });
    EXPECT_NE(scene.blurred->cachedFilteredImage().cacheKey(), groupKey);
    EXPECT_EQ(second->blurMaster(), scene.blurred.get());

    // A lone path keeps its image through a plain move.
    scene.dashed->setBlur(2);
    const QImage* image = &scene.dashed->filteredImage();
    ASSERT_FALSE(image->isNull());
    const qint64 key = image->cacheKey();
    scene.dashed->offsetBy({ 5, 0 }, true);
    EXPECT_EQ(scene.dashed->cachedFilteredImage().cacheKey(), key);

    // A change of any member dissolves the whole group.
    second->setLineColor(ZDLColor::blackColor());
    EXPECT_EQ(second->blurMaster(), nullptr);
    EXPECT_EQ(scene.blurred->blurMaster(), nullptr);
    EXPECT_TRUE(scene.blurred->blurGroup().isEmpty());
    EXPECT_TRUE(scene.blurred->cachedFilteredImage().isNull());

    // A member that goes away leaves no link behind.
    scene.blurred->setBlurGroup({ scene.blurred.get(), second.get() });
    second.reset();
    EXPECT_EQ(scene.blurred->blurMaster(), nullptr);
    EXPECT_TRUE(scene.blurred->blurGroup().isEmpty());
}

TEST(PartPathDrawingTest, StylePreviewsDrawTheSampleStroke)
{
    NamedShapeStyle style;
    style.setLineColor(ZDLColor::blackColor());
    style.setLineWeight(2);
    style.setFillColor(ZDLColor::colorFromHexNamed("#20C040", "Green"));

    const QImage small = style.image();
    EXPECT_EQ(small.size(), QSize(30, 16));
    // The stroke begins at (5, 3); the fill lies inside the curve and its chord; the corners stay clear.
    EXPECT_GT(qAlpha(small.pixel(5, 3)), 200);
    EXPECT_LT(qGreen(small.pixel(5, 3)), 60);
    EXPECT_EQ(small.pixel(8, 9), qRgb(0x20, 0xC0, 0x40));
    EXPECT_EQ(qAlpha(small.pixel(29, 15)), 0);
    EXPECT_EQ(qAlpha(small.pixel(0, 0)), 0);
    // Every request draws a new image of the same picture.
    const QImage again = style.image();
    EXPECT_NE(again.cacheKey(), small.cacheKey());
    EXPECT_EQ(again, small);

    const QImage large = style.largeImage();
    EXPECT_EQ(large.size(), QSize(60, 52));
    EXPECT_GT(qAlpha(large.pixel(6, 4)), 200);
    EXPECT_EQ(qAlpha(large.pixel(59, 51)), 0);
    // At device scale 2 the same picture in twice the pixels.
    const QImage sharp = style.largeImage(2.0);
    EXPECT_EQ(sharp.size(), QSize(120, 104));
    EXPECT_EQ(sharp.devicePixelRatio(), 2.0);
}

} // namespace
} // namespace zandrel
