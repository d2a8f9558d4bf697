// A gated canvas paints only while open but follows every state change, so that the three slices a
// view draws of its page lay over each other as the page.
#include "platform/GatedCanvas.h"

#include "CanvasTestSupport.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(GatedCanvas, SlicesDrawnThroughTheGateLayOverEachOtherAsTheWholeDrawing)
{
    // Three shapes under a transform and a clip set before the first and changed between them.
    const auto drawAll = [](Canvas& canvas, int from, int to) {
        GatedCanvas gate(canvas, false);
        canvas.save();
        gate.translate(5, 3);
        gate.clipToRect(QRectF(0, 0, 60, 60));
        for (int i = 0; i < 3; ++i) {
            gate.setOpen(i >= from && i < to);
            gate.setAlpha(0.5 + 0.2 * i);
            gate.fillRect(QRectF(10 * i, 8 * i, 40, 30), QColor::fromHsv(100 * i, 200, 220));
            gate.beginTransparencyLayer(0.8);
            gate.fillPath(CanvasPath::fromEllipse(QRectF(20, 10 * i, 30, 20)), Qt::black);
            gate.endTransparencyLayer();
        }
        canvas.restore();
        return gate.painted();
    };
    const QImage whole = test::renderCanvas(QSize(80, 80), [&](Canvas& canvas) { drawAll(canvas, 0, 3); });
    const QImage sliced = test::renderCanvas(QSize(80, 80), [&](Canvas& canvas) {
        for (const auto& [from, to] : { std::pair(0, 1), std::pair(1, 2), std::pair(2, 3) })
            EXPECT_TRUE(drawAll(canvas, from, to));
    });
    EXPECT_EQ(sliced, whole);
    const QImage none
        = test::renderCanvas(QSize(80, 80), [&](Canvas& canvas) { EXPECT_FALSE(drawAll(canvas, 3, 3)); });
    EXPECT_EQ(test::alphaSum(none), 0);
}

// A bitmap blitted onto whole pixels (a cache on the grid it was drawn on) lands as it is, and one
// placed between pixels is still filtered.
TEST(PainterCanvas, BitmapsOnWholePixelsAreCopiedAndOthersFiltered)
{
    QImage tile(4, 3, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x)
            tile.setPixel(x, y, qRgba(40 * x, 60 * y, 200, 255));
    }
    const QImage whole = test::renderCanvas(QSize(12, 10), [&](Canvas& canvas) {
        canvas.translate(2, 1);
        canvas.drawImage(tile, QRectF(3, 4, 4, 3));
    });
    EXPECT_EQ(whole.copy(5, 5, 4, 3), tile);
    const QImage between = test::renderCanvas(
        QSize(12, 10), [&](Canvas& canvas) { canvas.drawImage(tile, QRectF(5.5, 5, 4, 3)); });
    EXPECT_NE(between.copy(5, 5, 4, 3), tile);
    EXPECT_GT(test::alphaAt(between, 9, 6), 0) << "the last column spreads over the next pixel";
}

} // namespace
} // namespace zandrel
