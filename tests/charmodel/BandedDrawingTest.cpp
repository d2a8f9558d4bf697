// Drawing a large image in bands on several threads gives the image of one pass: a character with
// blur groups, a lone blur, gradients, masked images, dashes, contents and sharp miter joins across
// the band edges, at scales 1 and 4.
#include "TestCharacters.h"
#include "graphics/ArrayUtils.h"
#include "graphics/BandedRendering.h"
#include "graphics/ZDLContext.h"
#include "platform/DryRunCanvas.h"
#include "platform/PainterCanvas.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

using test::closedCurve;
using test::square;

// A fresh scene for every drawing, so that the banded one starts from an unsettled model.
struct Scene {
    CharacterModelPtr model;
    ElementList parts;
    std::vector<PartPathPtr> blurred;
};

Scene makeScene()
{
    Scene scene;
    scene.model = std::make_shared<CharacterModel>();
    const auto red = ZDLColor::colorFromHexNamed(QStringLiteral("#CC2200"), QStringLiteral("Red"));
    const auto teal = ZDLColor::colorFromHexNamed(QStringLiteral("#208080"), QStringLiteral("Teal"));
    scene.model->addColor(red);
    scene.model->addColor(teal);
    std::mt19937 random(99);
    std::uniform_real_distribution<double> place(0, 280);

    ElementList paths;
    // A run of neighbouring blurs forms a group; one blur far off stays alone.
    for (int i = 0; i < 3; ++i) {
        auto path = square(QRectF(20 + 25 * i, 30, 30, 40), red, teal);
        path->setBlur(2.0f + 0.5f * float(i));
        scene.blurred.push_back(path);
        paths.append(path);
    }
    auto lone = square(QRectF(200, 160, 40, 30), teal, red);
    lone->setBlur(6.0f);
    scene.blurred.push_back(lone);
    paths.append(lone);
    // Dashed spikes whose miter joins reach across band edges.
    for (int i = 0; i < 12; ++i) {
        const QPointF c(place(random), place(random) * 0.7);
        auto spike = std::make_shared<PartPath>();
        spike->setSegments({ closedCurve({ c, c + QPointF(40, 3), c + QPointF(2, 9) }) });
        spike->setLineColor(i % 2 ? red : scene.model->blackColor());
        spike->setLineWeight(1.0f + float(i % 4));
        spike->setLineDash(i % 5);
        spike->setFillAlpha(0.7f);
        paths.append(spike);
    }
    // Gradients, linear and radial, one path with contents clipped to it.
    for (int type = 0; type < 2; ++type) {
        auto shaded = square(QRectF(40 + 120 * type, 110, 90, 70), red, red);
        auto fill = std::make_shared<GradientFill>();
        auto gradient = std::make_shared<Gradient>();
        gradient->setColor(RgbColor(0.1, 0.3, 0.9), 0);
        gradient->addColorStopAt(0.5f);
        fill->setGradient(gradient);
        fill->setGradientType(type);
        fill->setLinearAngle(35.0f);
        shaded->setFill(fill);
        shaded->setLineWeight(2.5f);
        if (type == 1)
            shaded->addPartElement(square(QRectF(150, 100, 40, 40), teal, teal));
        paths.append(shaded);
    }
    auto part = std::make_shared<Part>();
    part->setChildren(paths);
    part->setModel(scene.model);

    // A masked, turned picture in a second part.
    auto mask = std::make_shared<MaskingPath>();
    mask->setSegments({ closedCurve({ QPointF(0, 0), QPointF(4, 0), QPointF(2, 3) }) });
    auto picture = std::make_shared<ImageElement>();
    picture->setImage(test::blueImage());
    picture->setChildren({ mask });
    picture->setTransform(QTransform(12, 4, -4, 12, 150, 20));
    auto props = std::make_shared<Part>();
    props->setChildren({ picture });
    props->setModel(scene.model);

    scene.parts = { part, props };
    scene.model->setChildren(scene.parts);
    return scene;
}

QImage draw(const Scene& scene, float scale, int threads)
{
    const QRectF area(0, 0, 300, 220);
    return BandedRendering::render(
        area, scale, [&](ZDLContext& context, const QRectF& dirty) { scene.model->drawIn(context, dirty); },
        threads);
}

class BandedDrawingTest : public ::testing::TestWithParam<float> { };

TEST_P(BandedDrawingTest, BandsGiveTheOnePassImage)
{
    const float scale = GetParam();
    const Scene banded = makeScene();
    const QImage inBands = draw(banded, scale, 4);
    const Scene plain = makeScene();
    const QImage onePass = draw(plain, scale, 1);
    ASSERT_FALSE(onePass.isNull());
    ASSERT_EQ(inBands.size(), onePass.size());
    ASSERT_EQ(inBands.size(), QSize(int(300 * scale), int(220 * scale)));

    ASSERT_GT(BandedRendering::bandsFor(inBands.height(), 4), 4);
    // Antialiased edges may round one level apart: the rasteriser works from the top of its clip
    // (the few differing pixels lie along clip paths in a band's first rows). More is a bug.
    const test::PixelDifference d = test::pixelDifference(inBands, onePass);
    EXPECT_LE(d.largest, 1);
    EXPECT_LE(d.pixels, inBands.width() * inBands.height() / 2000);
    int drawn = 0;
    for (int y = 0; y < inBands.height(); ++y)
        drawn += qAlpha(inBands.pixel(inBands.width() / 3, y)) > 0 ? 1 : 0;
    EXPECT_GT(drawn, inBands.height() / 4);

    // The dry run before the bands formed the same blur group as the one pass did.
    EXPECT_EQ(banded.blurred[0]->blurGroup().size(), 3);
    EXPECT_EQ(plain.blurred[0]->blurGroup().size(), 3);
    EXPECT_EQ(banded.blurred[2]->blurMaster(), banded.blurred[0].get());
    EXPECT_FALSE(banded.blurred[3]->cachedFilteredImage().isNull());
}

INSTANTIATE_TEST_SUITE_P(Scales, BandedDrawingTest, ::testing::Values(1.0f, 4.0f));

TEST(BandedDrawing, SmallImagesAndRefusedSizes)
{
    // Bands are kMinBandRows high at least; an image of fewer rows is one band.
    EXPECT_EQ(BandedRendering::bandEdges(100, 1), (std::vector<int> { 0, 100 }));
    EXPECT_EQ(BandedRendering::bandEdges(100, 8), (std::vector<int> { 0, 33, 66, 100 }));
    EXPECT_EQ(BandedRendering::bandEdges(20, 8), (std::vector<int> { 0, 20 }));
    // Many more bands than threads, so that threads done early take more; one thread draws in one pass.
    EXPECT_GE(BandedRendering::bandsFor(4000, 2), 8);
    EXPECT_EQ(BandedRendering::bandsFor(4000, 1), 1);
    EXPECT_EQ(BandedRendering::bandsFor(40, 8), 1);
    const auto nothing = [](ZDLContext&, const QRectF&) {};
    EXPECT_TRUE(BandedRendering::render(QRectF(0, 0, 0, 10), 1.0f, nothing).isNull());
    EXPECT_TRUE(BandedRendering::render(QRectF(0, 0, 1e9, 10), 1.0f, nothing).isNull());
    EXPECT_TRUE(BandedRendering::render(QRectF(0, 0, qQNaN(), 10), 1.0f, nothing).isNull());
}

// Bands of equal estimated work, their edges moved to rows that cut cheap paths when one lies
// within a third of a share; without any work, the even bands.
TEST(BandedDrawing, BandsShareTheEstimatedWork)
{
    const std::vector<double> even(640, 1.0);
    std::vector<double> gutters(640, 100.0);
    for (int row : { 150, 330, 490, 600 })
        gutters[size_t(row)] = 0.0;
    std::vector<double> topHeavy(640, 0.0);
    for (size_t row = 0; row < 100; ++row)
        topHeavy[row] = 4.0;
    const struct {
        std::vector<double> rows;
        std::vector<double> edges;
        int bands;
        std::vector<int> expected;
    } cases[] = {
        { even, {}, 4, { 0, 160, 320, 480, 640 } },
        { even, gutters, 4, { 0, 150, 330, 490, 640 } },
        // Bands are kMinBandRows high at least, and the rest share what is left.
        { topHeavy, {}, 4, { 0, 32, 64, 96, 640 } },
        { std::vector<double>(640, 0.0), {}, 4, BandedRendering::bandEdges(640, 4) },
        { even, {}, 1, { 0, 640 } },
        { even, {}, 2, { 0, 320, 640 } },
        { std::vector<double>(40, 1.0), {}, 8, { 0, 40 } },
    };
    for (const auto& c : cases)
        EXPECT_EQ(BandedRendering::bandEdges(c.rows, c.edges, c.bands), c.expected) << c.rows.size();
}

// The dry run's estimate: a path costs its elements on the device rows it covers and its pixels,
// spread evenly; an edge through it costs its elements again.
TEST(BandedDrawing, DryRunEstimatesTheWorkOfEachRow)
{
    DryRunCanvas dry;
    dry.estimateRowCosts(100);
    dry.scale(2, 2);
    const CanvasPath square = CanvasPath::fromRect(QRectF(10, 10, 10, 20)); // rows 20 to 59
    dry.fillPath(square, CanvasPaint(Qt::red));
    CanvasPath line;
    line.moveTo(QPointF(0, 45));
    line.lineTo(QPointF(30, 45));
    line.setLineWidth(0.2); // reaches 1 point, rows 88 to 91
    dry.strokePath(line, CanvasPaint(Qt::red));
    dry.fillRect(QRectF(0, 200, 10, 10), CanvasPaint(Qt::red)); // below the bitmap

    const double squareCost = DryRunCanvas::kElementCost * square.elementCount() + 20.0 * 40.0;
    const double lineCost = DryRunCanvas::kElementCost * 2 + 64.0 * 4.0;
    const std::vector<double> rows = dry.rowCosts();
    const std::vector<double> edges = dry.edgeCosts();
    ASSERT_EQ(rows.size(), 100u);
    const struct {
        int row;
        double cost;
        double edge;
    } probes[] = {
        { 19, 0, 0 },
        { 20, squareCost / 40, 0 },
        { 21, squareCost / 40, DryRunCanvas::kElementCost * square.elementCount() },
        { 59, squareCost / 40, DryRunCanvas::kElementCost * square.elementCount() },
        { 60, 0, 0 },
        { 88, lineCost / 4, 0 },
        { 91, lineCost / 4, DryRunCanvas::kElementCost * 2 },
        { 92, 0, 0 },
    };
    for (const auto& p : probes) {
        EXPECT_DOUBLE_EQ(rows[size_t(p.row)], p.cost) << p.row;
        EXPECT_DOUBLE_EQ(edges[size_t(p.row)], p.edge) << p.row;
    }
}

TEST(BandedDrawing, AnExceptionWhileDrawingReachesTheCaller)
{
    int calls = 0;
    EXPECT_THROW(BandedRendering::render(
                     QRectF(0, 0, 100, 400), 1.0f,
                     [&](ZDLContext&, const QRectF&) {
                         ++calls;
                         throw std::runtime_error("drawing");
                     },
                     3),
        std::runtime_error);
    EXPECT_EQ(calls, 1); // the model is drawn once, into the recording the bands replay
}

// Culling: an element draws only where its bounds meet the clip, widened by two device pixels.
TEST(BandedDrawing, ContextCullsByClipAndDirtyArea)
{
    QImage image(100, 100, QImage::Format_ARGB32_Premultiplied);
    PainterCanvas canvas(&image);
    canvas.scale(2, 2);
    canvas.clipToRect(QRectF(10, 10, 20, 20));
    ZDLContext context;
    EXPECT_FALSE(context.canShow(QRectF(12, 12, 1, 1))); // no canvas
    context.setCanvas(&canvas);
    const struct {
        QRectF bounds;
        bool shows;
    } cases[] = {
        { QRectF(12, 12, 1, 1), true },
        { QRectF(0, 0, 5, 5), false },
        { QRectF(0, 0, 9.5, 9.5), true }, // within a pixel of the clip
        { QRectF(0, 0, 8.9, 50), false },
        { QRectF(31, 31, 5, 5), true },
        { QRectF(31.2, 10, 5, 5), false },
        { QRectF(20, 0, 0, 50), true }, // a line of no width
        { QRectF(qQNaN(), 0, 1, 1), true },
    };
    for (const auto& c : cases)
        EXPECT_EQ(context.canShow(c.bounds), c.shows) << c.bounds.x() << "," << c.bounds.width();

    DryRunCanvas dry;
    context.setCanvas(&dry);
    EXPECT_TRUE(context.canShow(QRectF(1e6, -1e6, 1, 1)));
}

} // namespace
} // namespace zandrel
