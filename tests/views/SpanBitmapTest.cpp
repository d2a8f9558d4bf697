// A bitmap laid over pixels by its runs gives what the raster engine's source-over gives, and a
// painter hands out its pixels only when it paints straight into them.
#include "views/SpanBitmap.h"

#include "support/ImageDifference.h"

#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QWidget>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

// Rows of transparent, opaque and partly transparent runs, premultiplied.
QImage mixedImage(const QSize& size, std::mt19937& random)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    std::uniform_int_distribution<int> kind(0, 2);
    std::uniform_int_distribution<int> length(1, 9);
    std::uniform_int_distribution<int> level(0, 255);
    for (int y = 0; y < size.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < size.width();) {
            const int run = kind(random);
            for (int end = std::min(size.width(), x + length(random)); x < end; ++x) {
                const int alpha = run == 0 ? 0 : run == 1 ? 255 : level(random);
                line[x] = qPremultiply(qRgba(level(random), level(random), level(random), alpha));
            }
        }
    }
    return image;
}

QImage opaqueImage(const QSize& size, std::mt19937& random)
{
    QImage image(size, QImage::Format_RGB32);
    std::uniform_int_distribution<int> level(0, 255);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x)
            image.setPixel(x, y, qRgb(level(random), level(random), level(random)));
    }
    return image;
}

using test::largestDifference;

TEST(SpanBitmapTest, LayingOverMatchesSourceOverWithAndWithoutACopyBeneath)
{
    std::mt19937 random(31);
    const QImage over = mixedImage(QSize(37, 23), random);
    const SpanBitmap spans(over);
    const QImage under = opaqueImage(QSize(60, 40), random);
    const SpanBitmap above(mixedImage(QSize(60, 40), random));
    struct Case {
        const char* name;
        QRect area; // of under's pixels
        QPoint origin; // of the bitmap in them
        QRect clip;
    };
    const std::vector<Case> cases {
        { "all of it", QRect(0, 0, 60, 40), QPoint(9, 7), QRect(0, 0, 60, 40) },
        { "an area cutting it", QRect(14, 3, 20, 15), QPoint(9, 7), QRect(0, 0, 60, 40) },
        { "a clip cutting it", QRect(0, 0, 60, 40), QPoint(9, 7), QRect(20, 12, 11, 30) },
        { "hanging off the top left", QRect(0, 0, 30, 20), QPoint(-5, -4), QRect(0, 0, 60, 40) },
        { "beside it", QRect(50, 0, 10, 40), QPoint(2, 2), QRect(0, 0, 60, 40) },
    };
    for (const Case& each : cases) {
        // What the raster engine makes of the same: the copy, then the bitmap over it in the clip.
        QImage expected = under.copy(each.area);
        {
            QPainter painter(&expected);
            painter.translate(-each.area.topLeft());
            painter.setClipRect(each.clip & each.area);
            painter.drawImage(each.origin, over);
        }
        QImage copied(each.area.size(), QImage::Format_RGB32);
        copied.fill(Qt::red);
        spans.drawOverCopyOf(under, each.area, each.origin, each.clip, copied.bits(), copied.bytesPerLine());
        EXPECT_LE(largestDifference(copied, expected), 1) << each.name;

        QImage laid(each.area.size(), QImage::Format_RGB32);
        laid.fill(Qt::red);
        SpanBitmap::copyPixels(under, each.area, laid.bits(), laid.bytesPerLine());
        const QRect part = each.area & each.clip & over.rect().translated(each.origin);
        if (!part.isEmpty()) {
            uchar* at = laid.bits() + qsizetype(part.top() - each.area.top()) * laid.bytesPerLine()
                + qsizetype(part.left() - each.area.left()) * 4;
            spans.drawOver(at, laid.bytesPerLine(), part.translated(-each.origin));
        }
        EXPECT_LE(largestDifference(laid, expected), 1) << each.name;

        // With a bitmap above laid in the same pass, exactly what laying it over afterwards makes.
        QImage twoPasses = copied;
        above.drawOver(twoPasses.bits(), twoPasses.bytesPerLine(), each.area);
        QImage onePass(each.area.size(), QImage::Format_RGB32);
        onePass.fill(Qt::red);
        spans.drawOverCopyOf(
            under, each.area, each.origin, each.clip, onePass.bits(), onePass.bytesPerLine(), &above);
        EXPECT_TRUE(onePass == twoPasses) << each.name;
    }
}

TEST(SpanBitmapTest, RowsDrawnAgainAreLaidOverAsTheyAreNow)
{
    SpanBitmap spans(QImage(8, 4, QImage::Format_ARGB32_Premultiplied));
    spans.image().fill(Qt::transparent);
    spans.refreshRows(0, 3);
    spans.image().setPixel(3, 2, qRgba(0, 0, 255, 255));
    QImage target(8, 4, QImage::Format_RGB32);
    target.fill(Qt::white);
    spans.drawOver(target.bits(), target.bytesPerLine(), spans.rect());
    EXPECT_EQ(target.pixel(3, 2), qRgb(255, 255, 255)) << "the runs are those last found";
    spans.refreshRows(2, 2);
    spans.drawOver(target.bits(), target.bytesPerLine(), spans.rect());
    EXPECT_EQ(target.pixel(3, 2), qRgb(0, 0, 255));
}

// Any 32-bit values, transparent ones with colour left in them too: what runs lay over a pixel
// follows from the pixel alone, however many are laid at once.
TEST(SpanBitmapTest, RunsLaidFourAtATimeGiveThePixelsOfOneAtATime)
{
    std::mt19937 random(77);
    std::uniform_int_distribution<quint32> any;
    std::uniform_int_distribution<int> alphaKind(0, 3);
    for (int count = 0; count < 40; ++count) {
        std::vector<quint32> over(std::size_t(count) + 1);
        std::vector<quint32> under(over.size());
        for (std::size_t i = 0; i < over.size(); ++i) {
            const int kind = alphaKind(random);
            const quint32 alpha = kind == 0 ? 0 : kind == 1 ? 0xff : any(random) >> 24;
            over[i] = (alpha << 24) | (any(random) & 0xffffff);
            under[i] = any(random);
        }
        std::vector<quint32> fast(over.size(), 0x12345678);
        std::vector<quint32> slow(fast);
        SpanBitmap::layRun(fast.data(), over.data(), under.data(), count);
        SpanBitmap::layRunOneByOne(slow.data(), over.data(), under.data(), count);
        EXPECT_EQ(fast, slow) << count << " pixels";
        // In place, as a bitmap above is laid.
        std::vector<quint32> inPlace(under);
        SpanBitmap::layRun(inPlace.data(), over.data(), inPlace.data(), count);
        std::copy(under.begin() + count, under.end(), slow.begin() + count);
        EXPECT_EQ(inPlace, slow) << count << " pixels in place";
    }
}

// The pixels a composite one at a time gives: under, this bitmap within the clip, then above.
QImage composed(const QImage& under, const QRect& area, const QImage& over, const QPoint& origin,
    const QRect& clip, const QImage* above)
{
    QImage result = under.copy(area).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < area.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(result.scanLine(y));
        for (int x = 0; x < area.width(); ++x) {
            const QPoint at = area.topLeft() + QPoint(x, y);
            if (clip.contains(at) && over.rect().contains(at - origin)) {
                const quint32 pixel = over.pixel(at - origin);
                SpanBitmap::layRunOneByOne(line + x, &pixel, line + x, 1);
            }
            if (above) {
                const quint32 pixel = above->pixel(at);
                SpanBitmap::layRunOneByOne(line + x, &pixel, line + x, 1);
            }
        }
    }
    return result;
}

TEST(SpanBitmapTest, LayingOverGivesExactlyThePixelsOfACompositeOneAtATime)
{
    std::mt19937 random(1208);
    std::uniform_int_distribution<int> coordinate(-12, 70);
    std::uniform_int_distribution<int> extent(1, 60);
    for (int round = 0; round < 40; ++round) {
        QImage overImage = mixedImage(QSize(extent(random), extent(random)), random);
        // Transparent pixels that still hold colour are left as transparent ones.
        overImage.setPixel(0, 0, 0x00ff8040);
        const SpanBitmap over(overImage);
        const QImage under = opaqueImage(QSize(64, 48), random);
        const QImage aboveImage = mixedImage(under.size(), random);
        const SpanBitmap above(aboveImage);
        const QRect area
            = QRect(QPoint(coordinate(random), coordinate(random)), QSize(extent(random), extent(random)))
            & under.rect();
        const QPoint origin(coordinate(random), coordinate(random));
        const QRect clip(
            QPoint(coordinate(random), coordinate(random)), QSize(extent(random), extent(random)));
        if (area.isEmpty())
            continue;
        for (const SpanBitmap* withAbove : { static_cast<const SpanBitmap*>(nullptr), &above }) {
            QImage laid(area.size(), QImage::Format_ARGB32_Premultiplied);
            laid.fill(Qt::red);
            over.drawOverCopyOf(under, area, origin, clip, laid.bits(), laid.bytesPerLine(), withAbove);
            const QImage expected
                = composed(under, area, overImage, origin, clip, withAbove ? &aboveImage : nullptr);
            EXPECT_TRUE(laid == expected)
                << "round " << round << (withAbove ? " with" : " without") << " above";
        }
        // Laid over what is there, the bitmap above alone.
        QImage laid = under.copy(area).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        above.drawOver(laid.bits(), laid.bytesPerLine(), area);
        EXPECT_TRUE(laid == composed(under, area, overImage, origin, QRect(), &aboveImage))
            << "round " << round;
    }
}

TEST(SpanBitmapTest, RowsFoundAgainInTheMiddleLeaveTheRunsOfTheOthers)
{
    std::mt19937 random(5);
    SpanBitmap spans(mixedImage(QSize(30, 12), random));
    const QImage under = opaqueImage(spans.rect().size(), random);
    // Rows 4 to 6 get many more runs, then row 8 fewer; the rows below each keep theirs.
    for (int y = 4; y <= 6; ++y) {
        for (int x = 0; x < under.width(); ++x)
            spans.image().setPixel(x, y, x % 2 ? 0u : qPremultiply(qRgba(200, 10, 10, 128)));
    }
    spans.refreshRows(4, 6);
    for (int x = 0; x < under.width(); ++x)
        spans.image().setPixel(x, 8, x < 20 ? qRgb(0, 0, 255) : 0u);
    spans.refreshRows(8, 8);
    QImage laid(under.size(), QImage::Format_ARGB32_Premultiplied);
    spans.drawOverCopyOf(under, under.rect(), QPoint(), under.rect(), laid.bits(), laid.bytesPerLine());
    EXPECT_TRUE(laid == composed(under, under.rect(), spans.image(), QPoint(), under.rect(), nullptr));
}

TEST(SpanBitmapTest, APainterHandsOutItsPixelsOnlyWhenItPaintsStraightIntoThem)
{
    QImage image(40, 30, QImage::Format_RGB32);
    struct Case {
        const char* name;
        std::function<void(QPainter&)> setUp;
        bool direct;
    };
    const std::vector<Case> cases {
        { "plain", [](QPainter&) {}, true },
        { "translated", [](QPainter& p) { p.translate(3, 2); }, false },
        { "clipped", [](QPainter& p) { p.setClipRect(0, 0, 5, 5); }, false },
        { "half opaque", [](QPainter& p) { p.setOpacity(0.5); }, false },
        { "another mode", [](QPainter& p) { p.setCompositionMode(QPainter::CompositionMode_Multiply); },
            false },
    };
    for (const Case& each : cases) {
        QPainter painter(&image);
        each.setUp(painter);
        SpanBitmap::Target target;
        EXPECT_EQ(SpanBitmap::directTarget(painter, 1.0, target), each.direct) << each.name;
        if (each.direct) {
            EXPECT_EQ(target.image, &image);
            EXPECT_EQ(target.offset, QPoint());
        }
    }
    // What Qt lets it paint is its engine's clip, cut to the bitmap where it reaches past it.
    const struct {
        QRegion clip;
        QRegion writable;
    } clips[] {
        { QRegion(), QRegion(image.rect()) },
        { QRegion(2, 3, 5, 4) + QRegion(20, 10, 6, 6), QRegion(2, 3, 5, 4) + QRegion(20, 10, 6, 6) },
        { QRegion(30, 20, 20, 20) + QRegion(0, 0, 4, 4), QRegion(30, 20, 10, 10) + QRegion(0, 0, 4, 4) },
    };
    for (const auto& each : clips) {
        image.paintEngine()->setSystemClip(each.clip);
        QPainter painter(&image);
        SpanBitmap::Target target;
        ASSERT_TRUE(SpanBitmap::directTarget(painter, 1.0, target));
        EXPECT_EQ(target.writable, each.writable) << each.clip.boundingRect().x();
        painter.end();
        image.paintEngine()->setSystemClip(QRegion());
    }
    // Another ratio than the painter's, a format of another size.
    QPainter painter(&image);
    SpanBitmap::Target target;
    EXPECT_FALSE(SpanBitmap::directTarget(painter, 2.0, target));
    painter.end();
    QImage small(10, 10, QImage::Format_RGB16);
    painter.begin(&small);
    EXPECT_FALSE(SpanBitmap::directTarget(painter, 1.0, target));
    painter.end();
}

TEST(SpanBitmapTest, TheWindowsBitmapIsHandedOutWhereQtClipsItToThePaintRegion)
{
    // A widget at (17, 11) of its window, painting its left 30 by 50 logical pixels.
    const QPoint redirection(-17, -11);
    const QRegion region(0, 0, 30, 50);
    struct Case {
        const char* name;
        qreal ratio;
        QRegion clip; // device pixels
        bool direct;
        QPoint offset;
    };
    const std::vector<Case> cases {
        { "one device pixel a pixel", 1.0, QRegion(17, 11, 30, 50), true, QPoint(17, 11) },
        { "two", 2.0, QRegion(34, 22, 60, 100), true, QPoint(34, 22) },
        { "no clip", 1.0, QRegion(), false, QPoint() },
        { "a clip elsewhere", 1.0, QRegion(0, 0, 30, 50), false, QPoint() },
        { "a clip in logical pixels", 2.0, QRegion(17, 11, 30, 50), false, QPoint() },
    };
    for (const Case& each : cases) {
        QImage image(200, 150, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(each.ratio);
        image.paintEngine()->setSystemClip(each.clip);
        SpanBitmap::Target target;
        ASSERT_EQ(SpanBitmap::directTarget(&image, redirection, region, target), each.direct) << each.name;
        if (each.direct) {
            EXPECT_EQ(target.image, &image);
            EXPECT_EQ(target.offset, each.offset) << each.name;
            EXPECT_EQ(target.writable, each.clip) << each.name;
        }
    }
    // Not while a painter paints it, nor another device.
    QImage image(200, 150, QImage::Format_RGB32);
    image.paintEngine()->setSystemClip(QRegion(17, 11, 30, 50));
    SpanBitmap::Target target;
    QPainter painter(&image);
    EXPECT_FALSE(SpanBitmap::directTarget(&image, redirection, region, target));
    painter.end();
    QPixmap pixmap(200, 150);
    EXPECT_FALSE(SpanBitmap::directTarget(&pixmap, redirection, region, target));
}

// A widget inside a window, which in its paint event takes the window's pixels from where Qt
// redirects its painting and fills what it may write, or paints with a painter where it may not.
class DirectWidget : public QWidget {
public:
    using QWidget::QWidget;
    quint32 colour = 0xff2060a0u;
    int direct = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QPoint redirection;
        SpanBitmap::Target target;
        if (!sharedPainter()
            && SpanBitmap::directTarget(redirected(&redirection), redirection, event->region(), target)) {
            ++direct;
            for (const QRect& rect : target.writable) {
                for (int y = rect.top(); y <= rect.bottom(); ++y) {
                    auto* line = reinterpret_cast<quint32*>(target.image->scanLine(y));
                    std::fill(line + rect.left(), line + rect.right() + 1, colour);
                }
            }
            // The widget's own top left, where the region holds it.
            if (event->region().contains(QPoint()))
                reinterpret_cast<quint32*>(target.image->scanLine(target.offset.y()))[target.offset.x()]
                    = 0xffff0000u;
            return;
        }
        QPainter painter(this);
        painter.fillRect(rect(), QColor::fromRgb(colour));
        painter.fillRect(QRect(0, 0, 1, 1), Qt::red);
    }
};

TEST(SpanBitmapTest, AWidgetWritesTheWindowsPixelsWhereItLiesAndOnlyInItsPaintRegion)
{
    QWidget window;
    window.resize(120, 90);
    window.setAutoFillBackground(true);
    window.setPalette(QPalette(Qt::white));
    auto* widget = new DirectWidget(&window);
    widget->setGeometry(17, 11, 60, 50);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    widget->repaint();
    widget->colour = 0xff40a020u;
    widget->repaint(QRect(0, 0, 30, 50));
    ASSERT_GE(widget->direct, 2) << "the window's bitmap is written straight";
    const QImage shown
        = window.screen()->grabWindow(window.winId()).toImage().convertToFormat(QImage::Format_RGB32);
    const QPoint at(17, 11);
    EXPECT_EQ(shown.pixel(at), qRgb(255, 0, 0)) << "its top left where it lies";
    EXPECT_EQ(shown.pixel(at + QPoint(20, 30)), qRgb(0x40, 0xa0, 0x20)) << "painted again";
    EXPECT_EQ(shown.pixel(at + QPoint(40, 30)), qRgb(0x20, 0x60, 0xa0)) << "outside the region painted";
    EXPECT_EQ(shown.pixel(at - QPoint(1, 1)), qRgb(255, 255, 255)) << "nothing outside it";

    // A grab paints into a bitmap of its own, through a painter.
    const int direct = widget->direct;
    const QImage grabbed = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(widget->direct, direct);
    EXPECT_EQ(grabbed.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(grabbed.pixel(40, 30), qRgb(0x40, 0xa0, 0x20));
}

} // namespace
} // namespace zandrel
