// A page printed in bands on several threads is the page drawn in one pass: panels of every edge
// effect, an inset and a floating panel, balloons with tails, a character with a dashed blurred
// path and a masked image, and a part with a blur group and a gradient, at scales 1 and 4.
#include "comicmodel/TestComics.h"
#include "graphics/BandedRendering.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLContext.h"
#include "platform/Geometry.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

ComicModelPtr pageWithEverything()
{
    const ComicModelPtr comic = test::referenceComic();
    const auto red = ZDLColor::colorFromHexNamed(QStringLiteral("#CC2200"), QStringLiteral("Red"));
    ElementList paths;
    for (int i = 0; i < 3; ++i) {
        auto path = test::square(QRectF(12 + 9 * i, 104, 10, 14), red, red);
        path->setBlur(1.5f + 0.3f * float(i));
        paths.append(path);
    }
    auto shaded = test::square(QRectF(40, 100, 36, 40), red, red);
    auto fill = std::make_shared<GradientFill>();
    auto gradient = std::make_shared<Gradient>();
    gradient->setColor(RgbColor(0.1, 0.3, 0.9), 0);
    fill->setGradient(gradient);
    fill->setGradientType(1);
    shaded->setFill(fill);
    shaded->setLineDash(3);
    paths.append(shaded);
    auto part = std::make_shared<Part>();
    part->setChildren(paths);
    test::panelNumber(*comic->currentPage(), 3)->frontLayer()->setChildren({ part });
    // Thick borders reach well beyond the corners: bands crossing only a border still draw it.
    test::panelNumber(*comic->currentPage(), 1)->setWeight(9);
    test::panelNumber(*comic->currentPage(), 2)->setWeight(5);
    test::panelNumber(*comic->currentPage(), 2)->setLineStyle(2);
    return comic;
}

QImage print(const ComicModel& comic, float scale, int threads)
{
    const auto page = comic.currentPage();
    return BandedRendering::render(
        comic.bounds(), scale,
        [&](ZDLContext& context, const QRectF& dirty) { page->drawIn(context, dirty); }, threads);
}

class BandedPageTest : public ::testing::TestWithParam<float> {
protected:
    void TearDown() override { QCoreApplication::processEvents(); }
};

TEST_P(BandedPageTest, BandsGiveTheOnePassPage)
{
    const float scale = GetParam();
    const QImage onePass = print(*pageWithEverything(), scale, 1);
    ASSERT_EQ(onePass.size(), QSize(int(240 * scale), int(160 * scale)));
    // As many bands as threads, their edges wherever the work estimate puts them.
    for (const int threads : { 2, 4, 8 }) {
        // Fresh comics, so that the banded one starts unsettled: its dry run forms the blur groups.
        const QImage inBands = print(*pageWithEverything(), scale, threads);
        const test::PixelDifference d = test::pixelDifference(inBands, onePass);
        EXPECT_LE(d.largest, 1) << threads;
        EXPECT_LE(d.pixels, inBands.width() * inBands.height() / 2000) << threads;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, BandedPageTest, ::testing::Values(1.0f, 4.0f));

// The rectangle of the painted pixels of an image.
QRect paintedArea(const QImage& image)
{
    QRect painted;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                painted |= QRect(x, y, 1, 1);
        }
    }
    return painted;
}

// What bands cull by: every pixel that a panel or a row paints lies inside its drawn bounds (one
// pixel of antialiasing aside), borders of every shape, weight and dash included.
TEST(BandedPageBounds, PanelsAndRowsPaintInsideTheirDrawnBounds)
{
    const ComicModelPtr comic = pageWithEverything();
    const auto page = comic->currentPage();
    test::panelNumber(*page, 4)->setWeight(14);
    constexpr float kScale = 4;
    const QRectF area = insetRect(comic->bounds(), -40, -40);
    ComicStructureList structures = page->contents();
    page->getPanelsInArray(structures);
    ASSERT_GE(structures.size(), 8u);
    for (const auto& structure : structures) {
        const QImage image = BandedRendering::render(
            area, kScale,
            [&](ZDLContext& context, const QRectF& dirty) { structure->drawIn(context, dirty); }, 1);
        const QRect painted = paintedArea(image);
        ASSERT_FALSE(painted.isEmpty());
        const QRectF drawn = structure->drawnBounds().translated(-area.topLeft());
        const QRectF allowed(drawn.topLeft() * kScale, drawn.size() * kScale);
        EXPECT_TRUE(allowed.adjusted(-1, -1, 1, 1).contains(QRectF(painted)))
            << structure->className().toStdString() << " painted " << painted.x() << "," << painted.y() << " "
            << painted.width() << "x" << painted.height();
        // Not so loose that nothing would ever be culled: the border's reach at most.
        EXPECT_LT(allowed.width(), painted.width() + 2 * 14 * 5 * kScale + 2);
    }
}

} // namespace
} // namespace zandrel
