// The panel print of a comic and the prints of a character's parts: the pages they take, the
// rectangle each page shows, and that content away from the origin lands at the page's corner.
#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/ComicPrintView.h"
#include "app/core/PartsPrintView.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/TestComics.h"
#include "graphics/ArrayUtils.h"
#include "platform/OffscreenImage.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

class PrintViewsTest : public ::testing::Test {
protected:
    void SetUp() override { ZDLAppController::install(std::make_unique<ZDLAppController>()); }

    // A character of one red square part of the rectangle.
    static CharacterModelPtr squareCharacter(const QRectF& square)
    {
        auto model = std::make_shared<CharacterModel>();
        const auto red = ZDLColor::colorFromHexNamed(QStringLiteral("#FF0000"), QStringLiteral("Red"));
        model->addColor(red);
        auto part = std::make_shared<Part>();
        auto path = test::square(square, red, red);
        path->setLineWeight(0);
        part->setChildren({ path });
        part->setModel(model);
        model->setChildren({ part });
        return model;
    }
};

TEST_F(PrintViewsTest, APanelPrintsOnOnePageOfItsDrawnBounds)
{
    ComicDocument document;
    document.setModel(test::referenceComic());
    const auto panel = test::panelNumber(*document.model()->currentPage(), 0);
    panel->setWeight(4);
    const QRectF bounds = panel->getBounds();
    for (const QSizeF paper : { QSizeF(540, 720), QSizeF(10, 10) }) {
        ComicPrintView view(panel, {}, document);
        EXPECT_EQ(view.knowsPageRange(QRectF(QPointF(), paper), 1.0f), 1);
        EXPECT_EQ(view.rectForPage(1), QRectF(0, 0, bounds.width() + 4, bounds.height() + 4));
        EXPECT_EQ(view.contentOffset(), bounds.topLeft() - QPointF(2, 2));
        EXPECT_TRUE(view.rectForPage(2).isNull());
    }
    const ElementList floaters = panel->overlappingFloatingElements();
    ComicPrintView withFloaters(panel, floaters, document);
    withFloaters.knowsPageRange(QRectF(0, 0, 540, 720), 1.0f);
    EXPECT_EQ(withFloaters.docBounds().size(), ComicModel::panelImageRect(*panel, floaters).size());
}

TEST_F(PrintViewsTest, PartsTileRowByRowOrShowOnlyTheElementsGiven)
{
    CharacterDocument document(squareCharacter(QRectF(100, 50, 900, 300)));
    PartsPrintView view(document);
    EXPECT_EQ(view.knowsPageRange(QRectF(36, 36, 540, 720), 1.0f), 2);
    EXPECT_EQ(view.pagesPerRow(), 2);
    EXPECT_EQ(view.rectForPage(2), QRectF(540, 0, 540, 720));
    EXPECT_EQ(view.currentPage(), 1);
    EXPECT_EQ(view.knowsPageRange(QRectF(36, 36, 540, 720), 0.5f), 1) << "half the size fits one page";
    EXPECT_EQ(view.knowsPageRange(QRectF(36, 36, 100, 100), 1.0f), 9 * 3);
    EXPECT_EQ(view.rectForPage(10), QRectF(0, 100, 100, 100)) << "the second row starts at the left";

    view.showOnlyElements(document.model()->children());
    EXPECT_EQ(view.knowsPageRange(QRectF(0, 0, 5, 5), 1.0f), 1);
    EXPECT_EQ(view.rectForPage(1), QRectF(0, 0, 900, 300));

    CharacterDocument empty(std::make_shared<CharacterModel>());
    PartsPrintView nothing(empty);
    EXPECT_EQ(nothing.knowsPageRange(QRectF(0, 0, 540, 720), 1.0f), 0);
}

// The square starts at (100, 50): printed, it fills the page from its top-left corner.
TEST_F(PrintViewsTest, ContentAwayFromTheOriginLandsAtThePageCorner)
{
    CharacterDocument document(squareCharacter(QRectF(100, 50, 40, 30)));
    PartsPrintView view(document);
    ASSERT_EQ(view.knowsPageRange(QRectF(0, 0, 540, 720), 1.0f), 1);
    const QRectF page = view.rectForPage(1);
    OffscreenImage printed(QSize(60, 50));
    view.drawRect(*printed.canvas(), page);
    const QImage image = printed.takeImage();
    EXPECT_EQ(image.pixelColor(1, 1).red(), 255);
    EXPECT_EQ(image.pixelColor(38, 28).red(), 255);
    EXPECT_EQ(image.pixelColor(45, 35).alpha(), 0);

    PDFCopyView copy(document.model()->children());
    EXPECT_EQ(copy.frame(), QRectF(0, 0, 40, 30));
    EXPECT_TRUE(copy.pdfData().startsWith("%PDF"));
    EXPECT_TRUE(PDFCopyView({}).pdfData().isEmpty());
}

} // namespace
} // namespace zandrel
