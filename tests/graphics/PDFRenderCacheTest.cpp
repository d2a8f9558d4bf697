#include "graphics/PDFRenderCache.h"

#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "platform/CurrentCanvas.h"
#include "platform/DecodingBudget.h"
#include "platform/NotificationCenter.h"
#include "platform/OffscreenImage.h"
#include "platform/PainterCanvas.h"
#include "support/PdfBuilder.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>
#include <poppler-qt6.h>

namespace zandrel {
namespace {

// A page of 100 x 80 points: a red square, a blue disc over it and a green diagonal.
QByteArray ordinaryPdf()
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setPageSize(QPageSize(QSizeF(100, 80), QPageSize::Point));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(72);
    QPainter p(&writer);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(QRectF(5, 5, 50, 50), Qt::red);
    p.setBrush(Qt::blue);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(30, 20, 55, 55));
    p.setPen(QPen(Qt::darkGreen, 3));
    p.drawLine(QPointF(0, 80), QPointF(100, 0));
    p.end();
    return bytes;
}

// Counts kImageRenderedNotification for one image.
struct RenderedCounter {
    explicit RenderedCounter(const ZDLImage* image)
    {
        NotificationCenter::defaultCenter().addObserver(
            this, kImageRenderedNotification, image, [this](const Notification&) { ++count; });
    }
    ~RenderedCounter() { NotificationCenter::defaultCenter().removeObserver(this); }
    int count = 0;
};

class PDFRenderCacheTest : public ::testing::Test {
protected:
    PDFRenderCache& cache = PDFRenderCache::shared();

    void SetUp() override { cache.clear(); }
    void TearDown() override
    {
        cache.waitForPendingRenders();
        cache.setBudget(PDFRenderBudget());
        cache.setMemoryCap(PDFRenderCache::kDefaultMemoryCap);
        cache.clear();
    }

    // Draws the image at (10, 10) in its page size into a white bitmap of the scale, as a screen
    // (in the background) or an export (waiting) would.
    static QImage draw(const ZDLImage& image, double scale, bool exporting)
    {
        OffscreenImage bitmap(QSize(int(120 * scale), int(100 * scale)), scale);
        Canvas* canvas = bitmap.canvas();
        canvas->fillRect(QRectF(0, 0, 120, 100), CanvasPaint(QColor(Qt::white)));
        CanvasScope current(canvas);
        ZDLContext context { float(scale) };
        context.setExporting(exporting);
        image.drawInRect(context, QRectF(QPointF(10, 10), image.size()));
        return bitmap.takeImage().convertToFormat(QImage::Format_ARGB32);
    }
};

// The generated files are well formed: poppler opens them without rebuilding the cross-reference
// table, and the hostile ones are a few kilobytes.
TEST_F(PDFRenderCacheTest, GeneratedFilesAreWellFormed)
{
    const struct {
        const char* name;
        QByteArray data;
        qsizetype maxBytes;
    } files[] = {
        { "nested", test::nestedFormsPdf(9, 10), 6000 },
        { "fan-out of forms", test::fanOutPdf(test::FanOut::Forms, 9, 10), 3000 },
        { "fills", test::manyFillsPdf(200000), 20000 },
        { "plain", test::onePagePdf(QSizeF(30, 40), "0 1 0 rg 0 0 30 40 re f", {}, true), 1000 },
    };
    for (const auto& file : files) {
        EXPECT_LE(file.data.size(), file.maxBytes) << file.name;
        const auto document = Poppler::Document::loadFromData(file.data);
        ASSERT_TRUE(document) << file.name;
        ASSERT_EQ(document->numPages(), 1) << file.name;
        EXPECT_FALSE(document->xrefWasReconstructed()) << file.name;
    }
    // The compressed stream decodes to what was written: the plain page renders green.
    const ZDLImagePtr plain = ZDLImage::initWithData(files[3].data);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->size(), QSizeF(30, 40));
    EXPECT_EQ(draw(*plain, 1, true).pixel(25, 30), qRgb(0, 255, 0));
}

// On screen the first drawing shows the placeholder and returns; once the background rendering
// is in, the image is told to redraw and then draws what poppler draws directly.
TEST_F(PDFRenderCacheTest, OrdinaryPdfRendersInTheBackgroundAndMatchesPoppler)
{
    const QByteArray pdf = ordinaryPdf();
    const ZDLImagePtr image = ZDLImage::initWithData(pdf);
    ASSERT_TRUE(image);
    RenderedCounter rendered(image.get());
    const quint64 pendingBefore = ZDLImage::pendingRenderingsDrawn();

    const QImage first = draw(*image, 2, false);
    EXPECT_EQ(ZDLImage::pendingRenderingsDrawn(), pendingBefore + 1);
    EXPECT_EQ(first.pixel(60, 60), ZDLImage::kPlaceholderFill); // inside the box
    EXPECT_EQ(first.pixel(60, 20), ZDLImage::kPlaceholderOutline); // its edge, one pixel wide
    EXPECT_EQ(first.pixel(60, 21), ZDLImage::kPlaceholderFill);
    EXPECT_EQ(first.pixel(20, 60), ZDLImage::kPlaceholderOutline);
    EXPECT_EQ(first.pixel(10, 10), qRgb(255, 255, 255)); // outside

    cache.waitForPendingRenders();
    EXPECT_EQ(rendered.count, 1);
    const QImage second = draw(*image, 2, false);
    EXPECT_EQ(ZDLImage::pendingRenderingsDrawn(), pendingBefore + 1);
    EXPECT_EQ(rendered.count, 1);

    // poppler's own rendering at the same resolution, over white.
    const auto document = Poppler::Document::loadFromData(pdf);
    document->setRenderHint(Poppler::Document::Antialiasing);
    QImage direct(240, 200, QImage::Format_ARGB32);
    direct.fill(Qt::white);
    QPainter(&direct).drawImage(20, 20, document->page(0)->renderToImage(144, 144));
    int worst = 0;
    for (int y = 0; y < direct.height(); ++y) {
        for (int x = 0; x < direct.width(); ++x) {
            const QRgb a = second.pixel(x, y);
            const QRgb b = direct.pixel(x, y);
            worst = std::max({ worst, std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                std::abs(qBlue(a) - qBlue(b)) });
        }
    }
    EXPECT_LE(worst, 8);
    EXPECT_EQ(second.pixel(40, 40), qRgb(255, 0, 0));
}

// Files that draw their drawings billions of times run out of budget: the call returns, the
// placeholder stays, and the page is not rendered again, on screen, in exports or for hit tests.
// Budgets counted in poppler's stop questions, or a time limit they always exceed, make the
// outcome the same on every machine.
TEST_F(PDFRenderCacheTest, HostilePdfsRunOutOfBudgetAndKeepThePlaceholder)
{
    const struct {
        const char* name;
        QByteArray data;
        PDFRenderBudget budget;
    } cases[] = {
        { "nested forms, checks", test::nestedFormsPdf(9, 10), { 20, 600000 } },
        { "nested forms, time", test::nestedFormsPdf(9, 10), { qint64(1) << 40, 1 } },
        { "many fills, checks", test::manyFillsPdf(400000), { 50, 600000 } },
        { "fan-out of forms, checks", test::fanOutPdf(test::FanOut::Forms, 9, 10), { 2000, 600000 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        cache.clear();
        cache.setBudget(c.budget);
        const ZDLImagePtr image = ZDLImage::initWithData(c.data);
        ASSERT_TRUE(image);
        RenderedCounter rendered(image.get());
        const quint64 pendingBefore = ZDLImage::pendingRenderingsDrawn();

        EXPECT_EQ(draw(*image, 1, false).pixel(60, 60), ZDLImage::kPlaceholderFill);
        cache.waitForPendingRenders();
        EXPECT_EQ(rendered.count, 1);
        EXPECT_EQ(ZDLImage::pendingRenderingsDrawn(), pendingBefore + 1);
        // Nothing new starts: no pending drawing, no notification.
        for (const bool exporting : { false, true })
            EXPECT_EQ(draw(*image, 2, exporting).pixel(120, 120), ZDLImage::kPlaceholderFill);
        cache.waitForPendingRenders();
        EXPECT_EQ(rendered.count, 1);
        EXPECT_EQ(ZDLImage::pendingRenderingsDrawn(), pendingBefore + 1);
        EXPECT_TRUE(image->hitTestRect(QRectF(99, 99, 1, 1), QRectF(0, 0, 100, 100)));
        EXPECT_FALSE(image->hitTestRect(QRectF(100, 50, 1, 1), QRectF(0, 0, 100, 100)));
        EXPECT_EQ(cache.memoryUsed(), 0);

        // A fresh image waited for (an export or a thumbnail) runs out within the call.
        const ZDLImagePtr fresh = ZDLImage::initWithData(c.data);
        EXPECT_EQ(draw(*fresh, 1, true).pixel(60, 60), ZDLImage::kPlaceholderFill);
        EXPECT_TRUE(fresh->imageRep()->imageForDeviceSize(QSize(50, 50)).isNull());
    }
}

// Trees of streams of a few operators each, every one drawing the next ten times: poppler never
// asks whether to stop inside them, but each stream it enters is read from the file again. The
// rendering runs out within its steps and then stops: a few steps more, however large the tree.
// A small tree of each kind, and an ordinary page, render exactly as poppler renders them alone.
TEST_F(PDFRenderCacheTest, FanOutsRunOutWithinTheirSteps)
{
    PDFRenderBudget budget;
    budget.maxChecks = 3000;
    budget.maxMilliseconds = 600000;
    // The rendering 20 pixels square and the steps it took.
    const auto render = [&](const QByteArray& pdf) {
        const auto allowance = std::make_shared<PDFWorkAllowance>();
        const std::optional<QImage> image = PDFRenderCache::renderPage(
            { PDFRenderCache::newKey(), pdf, QSizeF(100, 100), allowance }, QSize(20, 20), budget);
        return std::make_pair(image, allowance->checks);
    };
    const auto popplerAlone = [](const QByteArray& pdf) {
        const auto document = PDFRenderCache::loadDocument(pdf);
        return document->page(0)->renderToImage(14.4, 14.4, 0, 0, 20, 20);
    };
    const std::pair<test::FanOut, int> trees[]
        = { { test::FanOut::Forms, 5 }, { test::FanOut::SoftMasks, 4 }, { test::FanOut::Patterns, 4 } };
    for (const auto& [kind, levels] : trees) {
        SCOPED_TRACE(int(kind));
        const auto [image, steps] = render(test::fanOutPdf(kind, levels, 10));
        EXPECT_FALSE(image);
        EXPECT_GT(steps, budget.maxChecks);
        EXPECT_LE(steps, budget.maxChecks + 50);

        const QByteArray small = test::fanOutPdf(kind, 2, 2);
        const std::optional<QImage> drawn = render(small).first;
        ASSERT_TRUE(drawn);
        EXPECT_EQ(*drawn, popplerAlone(small));
        EXPECT_EQ(drawn->pixel(10, 10), qRgb(0, 0, 255));
        EXPECT_EQ(drawn->pixel(2, 2), 0u);
    }
    EXPECT_FALSE(render(test::nestedFormsPdf(5, 10)).first);
    EXPECT_EQ(render(ordinaryPdf()).first, popplerAlone(ordinaryPdf()));
}

// Vector output (a PDF export, printing) draws the page as a bitmap of at least 300 pixels an inch,
// made within the same budget: an ordinary page arrives as one image whose pixels are poppler's,
// and a page over budget leaves the placeholder within the call.
TEST_F(PDFRenderCacheTest, VectorOutputDrawsTheBitmapOrThePlaceholder)
{
    const auto exportPage = [](const ZDLImage& image) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QSizeF(120, 100), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        {
            PainterCanvas canvas(&writer, CanvasTarget::Pdf);
            CanvasScope current(&canvas);
            ZDLContext context { 1.0f };
            context.setExporting(true);
            image.drawInRect(context, QRectF(QPointF(10, 10), image.size()));
        }
        return bytes;
    };
    const auto renderAt72 = [](const QByteArray& pdf) {
        const auto document = Poppler::Document::loadFromData(pdf);
        return document->page(0)->renderToImage(72, 72).convertToFormat(QImage::Format_RGB32);
    };

    const ZDLImagePtr ordinary = ZDLImage::initWithData(
        test::onePagePdf(QSizeF(100, 80), "1 0 0 rg 0 0 50 80 re f 0 0 1 rg 50 0 50 80 re f"));
    const QByteArray exported = exportPage(*ordinary);
    EXPECT_TRUE(exported.contains("/Subtype /Image"));
    // One rendering at the print scale's bucket (2^(17/8) rounded up to a quarter octave).
    const QSize printed
        = static_cast<const ZDLPDFImageRep&>(*ordinary->imageRep()).renderSizeForScale(300.0 / 72);
    EXPECT_EQ(cache.memoryUsed(), qint64(printed.width()) * printed.height() * 4);
    const QImage page = renderAt72(exported);
    // The writer may compress the bitmap with loss: a few levels of tolerance.
    const auto near = [](QRgb a, QRgb b) {
        return std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                   std::abs(qBlue(a) - qBlue(b)) })
            <= 4;
    };
    EXPECT_TRUE(near(page.pixel(30, 50), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(page.pixel(90, 50), qRgb(0, 0, 255)));

    cache.setBudget({ 20, 600000 });
    const ZDLImagePtr hostile = ZDLImage::initWithData(test::nestedFormsPdf(9, 10));
    const QImage placeholder = renderAt72(exportPage(*hostile));
    EXPECT_TRUE(near(placeholder.pixel(60, 50), ZDLImage::kPlaceholderFill));
    EXPECT_EQ(placeholder.pixel(5, 5), qRgb(255, 255, 255));
}

// Renderings are shared across scales (a larger one serves a smaller request), kept under the
// memory cap least recently used first, and dropped with their image.
TEST_F(PDFRenderCacheTest, RenderingsAreSharedCappedAndForgotten)
{
    const QByteArray pdf = test::onePagePdf(QSizeF(100, 50), "1 0 0 rg 0 0 50 50 re f");
    const ZDLImagePtr image = ZDLImage::initWithData(pdf);
    const auto& rep = static_cast<const ZDLPDFImageRep&>(*image->imageRep());
    // Quarter-octave buckets: scales at a bucket stay, others round up; sizes are capped.
    EXPECT_EQ(rep.renderSizeForScale(1.0), QSize(100, 50));
    EXPECT_EQ(rep.renderSizeForScale(2.0), QSize(200, 100));
    EXPECT_EQ(rep.renderSizeForScale(1.1), QSize(119, 60)); // 2^(1/4)
    EXPECT_EQ(rep.renderSizeForScale(1000.0), QSize(8192, 4096));
    EXPECT_EQ(rep.renderSizeForScale(1e300), QSize(8192, 4096));
    EXPECT_EQ(rep.renderSizeForScale(INFINITY), QSize());
    EXPECT_EQ(rep.renderSizeForScale(0.0), QSize());
    EXPECT_EQ(rep.renderSizeForScale(std::nan("")), QSize());

    const PDFRendering large = rep.renderingAtScale(2.0, PDFRenderingMode::Wait);
    ASSERT_EQ(large.state, PDFRenderState::Ready);
    const qint64 largeBytes = 200 * 100 * 4;
    EXPECT_EQ(cache.memoryUsed(), largeBytes);
    // The thumbnail's smaller request, the hit test and a background request reuse it.
    EXPECT_EQ(rep.renderingAtScale(0.5, PDFRenderingMode::Wait).image.cacheKey(), large.image.cacheKey());
    EXPECT_TRUE(image->hitTestRect(QRectF(10, 10, 1, 1), QRectF(0, 0, 100, 50)));
    EXPECT_FALSE(image->hitTestRect(QRectF(60, 10, 1, 1), QRectF(0, 0, 100, 50)));
    EXPECT_EQ(rep.renderingAtScale(1.0, PDFRenderingMode::InBackground).state, PDFRenderState::Ready);
    EXPECT_EQ(cache.memoryUsed(), largeBytes);

    // Under a cap for about one rendering, a second image's rendering pushes out the first.
    cache.setMemoryCap(largeBytes + 100);
    ZDLImagePtr other = ZDLImage::initWithData(pdf);
    const auto& otherRep = static_cast<const ZDLPDFImageRep&>(*other->imageRep());
    ASSERT_EQ(otherRep.renderingAtScale(2.0, PDFRenderingMode::Wait).state, PDFRenderState::Ready);
    EXPECT_EQ(cache.memoryUsed(), largeBytes);
    // In the background the first image's request starts anew and shows nothing meanwhile.
    const PDFRendering again = rep.renderingAtScale(2.0, PDFRenderingMode::InBackground);
    EXPECT_EQ(again.state, PDFRenderState::Pending);
    EXPECT_TRUE(again.image.isNull());
    cache.waitForPendingRenders();
    EXPECT_EQ(cache.memoryUsed(), largeBytes);

    cache.setMemoryCap(PDFRenderCache::kDefaultMemoryCap);
    ASSERT_EQ(otherRep.renderingAtScale(2.0, PDFRenderingMode::Wait).state, PDFRenderState::Ready);
    EXPECT_EQ(cache.memoryUsed(), 2 * largeBytes);
    other.reset();
    EXPECT_EQ(cache.memoryUsed(), largeBytes);
}

// The PDF images read from one file share an allowance beside each one's own budget: of many
// distinct pages, each well within its budget, the first render and the rest stay placeholders
// without being tried. Other sizes of a page already rendered, and images made outside a file, are
// not held to it.
TEST_F(PDFRenderCacheTest, ManyPdfsOfOneFileShareOneAllowance)
{
    const auto page = [](int i) { return test::manyFillsPdf(3000 + i); };
    // How many stop questions one page answers.
    const auto measured = std::make_shared<PDFWorkAllowance>();
    ASSERT_TRUE(PDFRenderCache::renderPage(
        { PDFRenderCache::newKey(), page(0), QSizeF(100, 80), measured }, QSize(20, 16), PDFRenderBudget()));
    const qint64 one = measured->checks;
    ASSERT_GT(one, 100);
    PDFRenderBudget budget;
    budget.maxChecks = 4 * one;
    budget.maxMilliseconds = 600000;
    budget.maxFileChecks = 2 * one + one / 2;
    budget.maxFileMilliseconds = 600000;
    cache.setBudget(budget);

    std::vector<ZDLImagePtr> images;
    {
        const auto reading = DecodingBudget::withAllowance(qint64(1) << 30);
        const DecodingBudget::Scope scope(*reading);
        for (int i = 0; i < 10; ++i) {
            images.push_back(ZDLImage::initWithData(page(i)));
            ASSERT_TRUE(images.back());
        }
    }
    std::vector<bool> rendered;
    for (const ZDLImagePtr& image : images)
        rendered.push_back(!image->imageRep()->imageForDeviceSize(QSize(50, 40)).isNull());
    EXPECT_EQ(
        rendered, std::vector<bool>({ true, true, false, false, false, false, false, false, false, false }));
    EXPECT_FALSE(images[0]->imageRep()->imageForDeviceSize(QSize(90, 72)).isNull());
    EXPECT_FALSE(images[1]->imageRep()->imageForDeviceSize(QSize(30, 24)).isNull());

    const ZDLImagePtr alone = ZDLImage::initWithData(page(9));
    ASSERT_TRUE(alone);
    EXPECT_FALSE(alone->imageRep()->imageForDeviceSize(QSize(50, 40)).isNull());
}

} // namespace
} // namespace zandrel
