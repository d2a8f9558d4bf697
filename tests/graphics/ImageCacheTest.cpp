#include "graphics/ImageCache.h"

#include "charmodel/ImageElement.h"
#include "charmodel/TestPartLeaf.h"
#include "graphics/PDFRenderCache.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLViewInterface.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"
#include "support/PdfBuilder.h"

#include <QImage>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// A leaf that takes a set time to draw on a fake clock, and counts its drawings.
class TimedLeaf : public test::TestPartLeaf {
public:
    TimedLeaf(const QRectF& rect, double* clock, double cost)
        : TestPartLeaf(rect)
        , m_clock(clock)
        , m_cost(cost)
    {
    }
    void drawIn(ZDLContext& context) override
    {
        ++draws;
        *m_clock += m_cost;
        TestPartLeaf::drawIn(context);
    }
    int draws = 0;

private:
    double* m_clock;
    double m_cost;
};

class FakeView : public ZDLViewInterface {
public:
    float viewScale() const override { return scale; }
    bool scalingViewInteractively() const override { return interactive; }
    bool needsToDrawRect(const QRectF&) const override { return true; }
    bool isInMainWindow() const override { return mainWindow; }

    float scale = 1.0f;
    bool interactive = false;
    bool mainWindow = true;
};

struct Fixture {
    double now = 100.0;
    std::shared_ptr<TimedLeaf> leaf;
    ElementList elements;
    ImageCache cache { [this] { return now; } };
    FakeView view;

    explicit Fixture(double cost, const QRectF& rect = QRectF(10, 10, 20, 10))
        : leaf(std::make_shared<TimedLeaf>(rect, &now, cost))
        , elements { leaf }
    {
    }
    // Draws through the cache into a white bitmap, scaled as the view is.
    QImage draw(const std::function<void(ZDLContext&)>& adjust = {})
    {
        OffscreenImage image(QSize(100, 80));
        Canvas* canvas = image.canvas();
        canvas->fillRect(QRectF(0, 0, 100, 80), QColor(Qt::white));
        canvas->scale(view.scale, view.scale);
        CanvasScope current(canvas);
        ZDLContext context(view);
        if (adjust)
            adjust(context);
        cache.drawAndOrCache(elements, context);
        return image.takeImage().convertToFormat(QImage::Format_ARGB32);
    }
};

TEST(ImageCacheTest, SlowRenderingsAreKeptAndFastOnesGiveUpCaching)
{
    Fixture slow(0.010);
    const QImage first = slow.draw();
    EXPECT_EQ(slow.leaf->draws, 1);
    ASSERT_FALSE(slow.cache.cache().isNull());
    EXPECT_EQ(slow.cache.cachedScale(), 1.0f);
    // The filtered bounds (grown by 3) at one pixel per unit.
    EXPECT_EQ(slow.cache.cache().size(), QSize(26, 16));
    const QImage second = slow.draw();
    EXPECT_EQ(slow.leaf->draws, 1);
    EXPECT_EQ(second, first);
    EXPECT_EQ(first.pixel(20, 15), qRgb(255, 0, 0));
    EXPECT_EQ(first.pixel(5, 5), qRgb(255, 255, 255));

    Fixture fast(0.001);
    // Rendered once into a bitmap that is drawn, then dropped.
    EXPECT_EQ(fast.draw().pixel(20, 15), qRgb(255, 0, 0));
    EXPECT_EQ(fast.leaf->draws, 1);
    EXPECT_FALSE(fast.cache.tryCaching());
    EXPECT_TRUE(fast.cache.cache().isNull());
    const QImage direct = fast.draw();
    EXPECT_EQ(fast.leaf->draws, 2);
    EXPECT_TRUE(fast.cache.cache().isNull());
    EXPECT_EQ(direct.pixel(20, 15), qRgb(255, 0, 0));
    // A scale change tries again.
    fast.view.scale = 2;
    fast.draw();
    EXPECT_EQ(fast.leaf->draws, 3);
    EXPECT_EQ(fast.cache.cachedScale(), 2.0f);
    EXPECT_FALSE(fast.cache.tryCaching());
}

TEST(ImageCacheTest, ZoomExportBackgroundWindowsAndGrowth)
{
    Fixture f(0.010);
    f.draw();
    ASSERT_EQ(f.leaf->draws, 1);

    // While zooming the old bitmap is stretched; the new one comes when the zoom settles.
    f.view.scale = 2;
    f.view.interactive = true;
    const QImage stretched = f.draw();
    EXPECT_EQ(f.leaf->draws, 1);
    EXPECT_EQ(f.cache.cachedScale(), 1.0f);
    EXPECT_EQ(stretched.pixel(40, 30), qRgb(255, 0, 0));
    f.view.interactive = false;
    f.draw();
    EXPECT_EQ(f.leaf->draws, 2);
    EXPECT_EQ(f.cache.cachedScale(), 2.0f);
    EXPECT_EQ(f.cache.cache().size(), QSize(52, 32));

    // Exports draw directly and leave the bitmap alone.
    const qint64 key = f.cache.cache().cacheKey();
    f.draw([](ZDLContext& context) { context.setExporting(true); });
    EXPECT_EQ(f.leaf->draws, 3);
    EXPECT_EQ(f.cache.cache().cacheKey(), key);
    // Also at another scale: an export never drops the screen's bitmap.
    f.draw([](ZDLContext& context) {
        context.setExporting(true);
        context.setScale(5);
    });
    EXPECT_EQ(f.leaf->draws, 4);
    EXPECT_EQ(f.cache.cache().cacheKey(), key);
    EXPECT_EQ(f.cache.cachedScale(), 2.0f);

    // A background window uses an existing bitmap but never makes one.
    f.view.mainWindow = false;
    f.draw();
    EXPECT_EQ(f.leaf->draws, 4);
    f.cache.resetCache();
    f.draw();
    f.draw();
    EXPECT_EQ(f.leaf->draws, 6);
    EXPECT_TRUE(f.cache.cache().isNull());

    // Grown bounds drop the bitmap at the next draw; a plain move keeps it.
    f.view.mainWindow = true;
    f.draw();
    EXPECT_EQ(f.leaf->draws, 7);
    f.leaf->m_rect.translate(5, 0);
    f.draw();
    EXPECT_EQ(f.leaf->draws, 7);
    f.leaf->m_rect.setWidth(25);
    f.draw();
    EXPECT_EQ(f.leaf->draws, 8);
    EXPECT_EQ(f.cache.elementsSize(), QSizeF(31, 16));
}

TEST(ImageCacheTest, DegenerateAndHugeBoundsAreDrawnDirectly)
{
    // Filtered bounds of zero width: the leaf answers none when its rectangle is empty.
    Fixture flat(0.010, QRectF(10, 10, 0, 10));
    flat.draw();
    flat.draw();
    EXPECT_EQ(flat.leaf->draws, 2);
    EXPECT_FALSE(flat.cache.cacheIfNeeded(flat.elements, 1.0f));

    // However small the scale, positive sizes give at least a pixel each.
    Fixture tiny(0.010);
    tiny.view.scale = 0.001f;
    tiny.draw();
    EXPECT_EQ(tiny.cache.cache().size(), QSize(1, 1));

    // A bitmap far beyond any sensible size is never allocated.
    Fixture huge(0.010, QRectF(0, 0, 1e6, 1e6));
    huge.view.scale = 0.01f;
    huge.draw([](ZDLContext& context) { context.setScale(12.0f); });
    EXPECT_EQ(huge.leaf->draws, 1);
    EXPECT_TRUE(huge.cache.cache().isNull());
    EXPECT_FALSE(huge.cache.cacheIfNeeded(huge.elements, 12.0f));

    Fixture empty(0.010);
    EXPECT_FALSE(empty.cache.cacheIfNeeded({}, 1.0f));
    empty.cache.drawAndOrCache({}, *std::make_unique<ZDLContext>());
}

TEST(ImageCacheTest, CachingAhead)
{
    Fixture slow(0.010);
    EXPECT_TRUE(slow.cache.cacheIfNeeded(slow.elements, 2.0f));
    EXPECT_FALSE(slow.cache.cacheIfNeeded(slow.elements, 2.0f));
    EXPECT_EQ(slow.leaf->draws, 1);
    EXPECT_EQ(slow.cache.cachedScale(), 2.0f);
    // A different scale starts over.
    EXPECT_TRUE(slow.cache.cacheIfNeeded(slow.elements, 1.0f));
    EXPECT_EQ(slow.leaf->draws, 2);
    // The bitmap made ahead is the one drawn.
    slow.draw();
    EXPECT_EQ(slow.leaf->draws, 2);

    Fixture fast(0.001);
    EXPECT_TRUE(fast.cache.cacheIfNeeded(fast.elements, 1.0f));
    EXPECT_TRUE(fast.cache.cache().isNull());
    EXPECT_FALSE(fast.cache.tryCaching());
    EXPECT_FALSE(fast.cache.cacheIfNeeded(fast.elements, 1.0f));
    EXPECT_EQ(fast.leaf->draws, 1);
}

TEST(ImageCacheTest, CachedDrawingMatchesDirectDrawing)
{
    // At a fractional origin and scale 2 the bitmap lands where the elements would draw, up to
    // the resampling of a bitmap placed at a fraction of a device pixel: every cached pixel lies
    // within the range of its direct neighbourhood.
    Fixture f(0.010, QRectF(10.5, 7.25, 20, 12.5));
    f.view.scale = 2;
    const QImage cached = f.draw();
    ASSERT_FALSE(f.cache.cache().isNull());
    const QImage direct = f.draw([](ZDLContext& context) { context.setExporting(true); });
    ASSERT_EQ(f.leaf->draws, 2);
    int different = 0;
    for (int y = 1; y + 1 < direct.height(); ++y) {
        for (int x = 1; x + 1 < direct.width(); ++x) {
            int low = 255, high = 0;
            for (int dy = -1; dy <= 1; ++dy) {
                for (int dx = -1; dx <= 1; ++dx) {
                    low = std::min(low, qGreen(direct.pixel(x + dx, y + dy)));
                    high = std::max(high, qGreen(direct.pixel(x + dx, y + dy)));
                }
            }
            const int value = qGreen(cached.pixel(x, y));
            if (value < low - 8 || value > high + 8)
                ++different;
        }
    }
    EXPECT_EQ(qGreen(cached.pixel(40, 28)), 0);
    EXPECT_EQ(qGreen(cached.pixel(18, 28)), 255);
    EXPECT_EQ(different, 0);
}

// A bitmap that shows a PDF image's placeholder would outlive the rendering: it is drawn once and
// dropped, without giving up caching, until the rendering is in.
TEST(ImageCacheTest, BitmapsWithRenderingsUnderWayAreNotKept)
{
    Fixture f(0.010);
    auto pdf = std::make_shared<ImageElement>();
    pdf->setImage(ZDLImage::initWithData(test::onePagePdf(QSizeF(20, 20), "0 0 1 rg 0 0 20 20 re f")));
    pdf->setTransform(QTransform::fromTranslate(40, 40));
    f.elements.append(pdf);

    {
        // The rendering stays under way, however loaded the machine, until the hold ends.
        const PDFRenderCache::BackgroundHold hold(PDFRenderCache::shared());
        const QImage first = f.draw();
        EXPECT_EQ(first.pixel(50, 50), ZDLImage::kPlaceholderFill);
        EXPECT_TRUE(f.cache.cache().isNull());
        EXPECT_TRUE(f.cache.tryCaching());
        EXPECT_FALSE(f.cache.cacheIfNeeded(f.elements, 1.0f));
        EXPECT_TRUE(f.cache.cache().isNull());
        EXPECT_EQ(f.leaf->draws, 2);
    }

    PDFRenderCache::shared().waitForPendingRenders();
    const QImage second = f.draw();
    EXPECT_EQ(second.pixel(50, 50), qRgb(0, 0, 255));
    EXPECT_EQ(second.pixel(20, 15), qRgb(255, 0, 0));
    EXPECT_FALSE(f.cache.cache().isNull());
}

} // namespace
} // namespace zandrel
