// The printed pages of a comic: how many printer pages each comic page takes at a scaling, which
// tile each printer page shows, and that a tile is the model's own page drawing.
#include "app/core/ComicPrintView.h"

#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/TestComics.h"
#include "platform/OffscreenImage.h"

#include <QPainter>
#include <QRandomGenerator>
#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// A comic of pages of the size, each of one panel with a part in a corner.
ComicModelPtr comicOfPages(const QSizeF& size, int pages)
{
    auto comic = test::referenceComic();
    comic->setupWithSize(size, 1, 1);
    ComicStructureList contents;
    for (int i = 0; i < pages; ++i) {
        auto page = std::make_shared<ComicPage>();
        page->initWithRect(QRectF(QPointF(0, 0), size), comic.get(), 2, 2);
        contents.push_back(page);
    }
    comic->setContents(contents);
    comic->setCurrentPage(std::dynamic_pointer_cast<ComicPage>(contents.front()));
    return comic;
}

class ComicPrintViewTest : public ::testing::Test {
protected:
    void SetUp() override { ZDLAppController::install(std::make_unique<ZDLAppController>()); }
    ComicDocument document;
};

TEST_F(ComicPrintViewTest, PagesAndTilesTable)
{
    const struct {
        const char* name;
        QSizeF comicPage;
        int pages;
        QSizeF paper;
        float scaling;
        int last;
        int tilesPerRow;
        int rowsPerPage;
    } cases[] = {
        { "two across", { 900, 300 }, 3, { 540, 720 }, 1.0f, 6, 2, 1 },
        { "scaled to fit", { 900, 300 }, 3, { 540, 720 }, 0.5f, 3, 1, 1 },
        { "exactly one paper", { 540, 720 }, 1, { 540, 720 }, 1.0f, 1, 1, 1 },
        { "one point over, both ways", { 541, 721 }, 2, { 540, 720 }, 1.0f, 8, 2, 2 },
        { "paper of no width", { 900, 300 }, 1, { 0, 720 }, 1.0f, 0, 1, 1 },
        { "scaling of no size", { 900, 300 }, 1, { 540, 720 }, 0.0f, 0, 1, 1 },
        { "scaling not a number", { 900, 300 }, 1, { 540, 720 }, NAN, 0, 1, 1 },
        { "absurd tiling", { 90000, 90000 }, 1, { 5, 5 }, 1.0f, 0, 1, 1 },
    };
    for (const auto& c : cases) {
        document.setModel(comicOfPages(c.comicPage, c.pages));
        ComicPrintView view(document);
        EXPECT_EQ(view.knowsPageRange(QRectF(QPointF(36, 36), c.paper), c.scaling), c.last) << c.name;
        EXPECT_EQ(view.tilesPerRow(), c.tilesPerRow) << c.name;
        EXPECT_EQ(view.rowsPerPage(), c.rowsPerPage) << c.name;
    }
}

// Fitting gives the largest scaling at which each comic page takes one sheet, enlarging small
// pages too; random sizes, whose exact ratio rounds either way in single precision, never spill.
TEST_F(ComicPrintViewTest, FittingPutsEachPageOnOneSheet)
{
    document.setModel(comicOfPages(QSizeF(900, 300), 3));
    ComicPrintView view(document);
    EXPECT_FLOAT_EQ(view.scalingToFit(QRectF(36, 36, 540, 720)), 0.6f);
    EXPECT_EQ(view.knowsPageRange(QRectF(36, 36, 540, 720), view.scalingToFit(QRectF(36, 36, 540, 720))), 3);
    document.setModel(comicOfPages(QSizeF(100, 360), 1));
    EXPECT_FLOAT_EQ(view.scalingToFit(QRectF(0, 0, 540, 720)), 2.0f) << "a small page is enlarged";
    EXPECT_EQ(view.scalingToFit(QRectF(0, 0, 0, 720)), 0.0f) << "no paper";

    QRandomGenerator random(7);
    for (int trial = 0; trial < 200; ++trial) {
        const QSizeF page(100 + random.bounded(5000.0), 100 + random.bounded(5000.0));
        const QRectF paper(0, 0, 50 + random.bounded(1000.0), 50 + random.bounded(1000.0));
        document.setModel(comicOfPages(page, 2));
        const float s = view.scalingToFit(paper);
        EXPECT_EQ(view.knowsPageRange(paper, s), 2) << trial;
        const QSizeF made = document.model()->bounds().size();
        const double exact = std::min(paper.width() / made.width(), paper.height() / made.height());
        EXPECT_GT(double(s), exact * (1 - 1e-5)) << trial;
    }
}

TEST_F(ComicPrintViewTest, EachPrinterPageIsATileOfItsComicPage)
{
    document.setModel(comicOfPages(QSizeF(900, 300), 3));
    document.model()->setCurrentPage(document.model()->pageAtIndex(2));
    ComicPrintView view(document);
    EXPECT_EQ(view.pageIndex(), 2) << "the current page until a page is asked for";
    ASSERT_EQ(view.knowsPageRange(QRectF(0, 0, 540, 720), 1.0f), 6);
    const struct {
        int page;
        int pageIndex;
        QRectF rect;
    } tiles[] = { { 1, 0, { 0, 0, 540, 720 } }, { 2, 0, { 540, 0, 540, 720 } }, { 3, 1, { 0, 0, 540, 720 } },
        { 4, 1, { 540, 0, 540, 720 } }, { 6, 2, { 540, 0, 540, 720 } } };
    for (const auto& t : tiles) {
        EXPECT_EQ(view.rectForPage(t.page), t.rect) << t.page;
        EXPECT_EQ(view.pageIndex(), t.pageIndex) << t.page;
    }
    EXPECT_TRUE(view.rectForPage(0).isNull());
}

// Printer page 4 is the right-hand 360 points of comic page 2, drawn as the model draws that page.
TEST_F(ComicPrintViewTest, ATileIsThePageDrawingOfTheModel)
{
    document.setModel(comicOfPages(QSizeF(900, 300), 3));
    const auto page = document.model()->pageAtIndex(1);
    const auto panel = std::dynamic_pointer_cast<ComicPanel>(page->firstPanel());
    ASSERT_TRUE(panel);
    panel->frontLayer()->setChildren(
        { test::placedPart(document.model()->characters().back(), 0, QPointF(600, 40)) });
    ComicPrintView view(document);
    ASSERT_EQ(view.knowsPageRange(QRectF(0, 0, 540, 720), 1.0f), 6);
    const QRectF tile = view.rectForPage(4);

    constexpr double kScale = 2.0;
    OffscreenImage printed(OffscreenImage::pixelSizeFor(tile.size(), kScale), kScale);
    printed.canvas()->translate(-tile.x(), -tile.y());
    view.drawRect(*printed.canvas(), tile);
    QImage onPaper(printed.takeImage().convertToFormat(QImage::Format_ARGB32));

    const QImage whole
        = document.model()->getImageOfPage(1, float(kScale)).convertToFormat(QImage::Format_ARGB32);
    const QImage expected
        = whole.copy(QRect(int(tile.x() * kScale), 0, int((900 - tile.x()) * kScale), int(300 * kScale)));
    int differing = 0;
    int inked = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb a = onPaper.pixel(x, y);
            const QRgb b = expected.pixel(x, y);
            inked += qAlpha(b) > 0 && qGray(b) < 200;
            differing += std::abs(qRed(a) - qRed(b)) > 24 || std::abs(qGreen(a) - qGreen(b)) > 24
                || std::abs(qBlue(a) - qBlue(b)) > 24 || std::abs(qAlpha(a) - qAlpha(b)) > 24;
        }
    }
    EXPECT_GT(inked, 500) << "the tile holds the part and the panel borders";
    EXPECT_LT(differing, expected.width() * expected.height() / 1000);
    // Below the comic page the paper stays blank.
    EXPECT_EQ(qAlpha(onPaper.pixel(10, int(310 * kScale))), 0);
}

} // namespace
} // namespace zandrel
