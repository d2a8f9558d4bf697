// Pages and panels rendered as exports, images and prints take them, and the comic drawn as its
// window does in focus mode.
#include "comicmodel/PanelTestSupport.h"
#include "comicmodel/TestComics.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class ComicRenderingTest : public ::testing::Test {
protected:
    void TearDown() override { QCoreApplication::processEvents(); }
};

TEST_F(ComicRenderingTest, PagesMatchTheirReferencesAtScalesOneAndFour)
{
    const ComicModelPtr comic = test::referenceComic();
    const QImage one = comic->getImageOfPage(0, 1.0f);
    const QImage four = comic->getImageOfPage(0, 4.0f);
    EXPECT_EQ(one.size(), QSize(240, 160));
    EXPECT_EQ(four.size(), QSize(960, 640));
    test::expectLikeReferenceImage(one, QStringLiteral("tests/comicmodel/data/comic-page-1x.png"), 24, 500);
    test::expectLikeReferenceImage(four, QStringLiteral("tests/comicmodel/data/comic-page-4x.png"), 24, 500);
}

TEST_F(ComicRenderingTest, ImagesAreSizedByThePageOrThePanelAndItsFloaters)
{
    const ComicModelPtr comic = std::make_shared<ComicModel>();
    comic->setupWithSize(QSizeF(600, 250), 2, 3);
    EXPECT_EQ(comic->getImageOfPage(0, 2.0f).size(), QSize(1200, 500));
    EXPECT_EQ(comic->getImageOfPage(0, 0.333f).size(), QSize(200, 84));
    EXPECT_TRUE(comic->getImageOfPage(1, 1.0f).isNull());
    EXPECT_TRUE(comic->getImageOfPage(0, 1e6f).isNull()) << "beyond what a bitmap holds";

    // The frame (5.5 to 195.5 by 5.5 to 120.5) grown by half the border's weight of 3.
    const auto panel = test::panelNumber(*comic, 0);
    panel->setWeight(3);
    EXPECT_EQ(comic->getImageOfPanel(panel, false, 1.0f).size(), QSize(193, 118));
    // A free object over the panel widens the picture when floaters are asked for.
    comic->currentPage()->setChildren({ test::TestComicLeaf::make(QRectF(150, 100, 100, 60)) });
    EXPECT_EQ(comic->getImageOfPanel(panel, false, 1.0f).size(), QSize(193, 118));
    const QImage withFloaters = comic->getImageOfPanel(panel, true, 1.0f);
    EXPECT_EQ(withFloaters.size(), QSize(249, 159));
    EXPECT_EQ(withFloaters.pixel(240, 150), qRgb(255, 0, 0)) << "the free object drawn over the panel";
}

TEST_F(ComicRenderingTest, FocusModeVeilsThePageAndShowsTheCurrentPanelOverIt)
{
    const ComicModelPtr comic = test::referenceComic();
    const auto current = test::panelNumber(*comic, 2);
    comic->setCurrentPanel(current);
    comic->setFocusOnPanel(true);
    const auto render = [&](bool exporting) {
        OffscreenImage image { QSize(240, 160) };
        {
            CanvasScope scope(image.canvas());
            ZDLContext context(1.0f);
            context.setExporting(exporting);
            comic->drawIn(context, QRectF(0, 0, 240, 160));
        }
        return image.takeImage();
    };
    const QImage screen = render(false);
    const QImage exported = render(true);
    // A point inside the current panel (the first of the rows, at the left) and one in another.
    const QPoint inCurrent(30, 30);
    const QPoint elsewhere(200, 40);
    EXPECT_EQ(screen.pixel(inCurrent), exported.pixel(inCurrent));
    EXPECT_NE(screen.pixel(elsewhere), exported.pixel(elsewhere)) << "the veil";
    EXPECT_EQ(exported.pixel(elsewhere), qRgb(255, 255, 255));
}

} // namespace
} // namespace zandrel
