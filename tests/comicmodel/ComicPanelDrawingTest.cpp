#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelTestSupport.h"
#include "graphics/ColorFill.h"
#include "graphics/ZDLColor.h"
#include "graphics/ZDLContext.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::TestComicLeaf;

// A fixed panel over (10, 10)-(90, 90) in a comic without gutter: its frame runs from 10.5 to
// 90.5. The back layer holds a green block reaching out of the panel, the front layer a red
// square, and the fill is half-transparent blue.
class ComicPanelDrawingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerComicModelClasses); }

    void SetUp() override
    {
        panel->initWithRect(QRectF(10, 10, 80, 80), nullptr);
        comic->setPanelGutter(0);
        comic->setContents({ panel });
        back = TestComicLeaf::make(QRectF(0, 0, 40, 100), nullptr, QColor(0, 255, 0));
        front = TestComicLeaf::make(QRectF(40, 40, 20, 20), nullptr, QColor(255, 0, 0));
        panel->backLayer()->setChildren({ back });
        panel->frontLayer()->setChildren({ front });
        auto fill = std::make_shared<ColorFill>();
        fill->setFillColor(ZDLColor::colorFromHexNamed("0000FF", "Blue"));
        panel->setFill(fill);
        panel->setFillAlpha(0.5f);
    }

    QImage render(bool exporting = false, const QRectF& dirty = QRectF(0, 0, 100, 100))
    {
        OffscreenImage image(QSize(100, 100));
        {
            CanvasScope scope(image.canvas());
            ZDLContext context(1.0f);
            context.setExporting(exporting);
            panel->drawIn(context, dirty);
        }
        return image.takeImage();
    }

    std::shared_ptr<ComicModel> comic = std::make_shared<ComicModel>();
    std::shared_ptr<ComicPanel> panel = std::make_shared<ComicPanel>();
    std::shared_ptr<TestComicLeaf> back;
    std::shared_ptr<TestComicLeaf> front;
};

// Channels within 2 of the expected colour (blending rounds differently on some backends).
::testing::AssertionResult near(QRgb actual, QRgb expected)
{
    const auto close = [](int a, int b) { return std::abs(a - b) <= 2; };
    if (close(qRed(actual), qRed(expected)) && close(qGreen(actual), qGreen(expected))
        && close(qBlue(actual), qBlue(expected)) && close(qAlpha(actual), qAlpha(expected)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "0x" << actual << " instead of 0x" << expected;
}

TEST_F(ComicPanelDrawingTest, LayersFillAndBorderInOrder)
{
    struct Probe {
        QPoint at;
        QRgb fillBelow;
        QRgb fillBetween;
    };
    const Probe probes[] = {
        { QPoint(5, 50), 0, 0 }, // the back block, clipped away
        { QPoint(10, 50), qRgb(0, 0, 0), qRgb(0, 0, 0) }, // the border, 1 point wide
        { QPoint(20, 50), qRgb(0, 255, 0), qRgb(0, 128, 128) }, // back layer under the fill or not
        { QPoint(70, 20), qRgb(128, 128, 255), qRgb(128, 128, 255) }, // white ground under the fill
        { QPoint(50, 50), qRgb(255, 0, 0), qRgb(255, 0, 0) }, // the front layer on top
        { QPoint(95, 95), 0, 0 },
    };
    const QImage below = render();
    panel->setFillLayer(1);
    const QImage between = render();
    for (const Probe& p : probes) {
        EXPECT_TRUE(near(below.pixel(p.at), p.fillBelow)) << p.at.x() << "," << p.at.y();
        EXPECT_TRUE(near(between.pixel(p.at), p.fillBetween)) << p.at.x() << "," << p.at.y();
    }
    if (qEnvironmentVariableIsSet("ZANDREL_KEEP_RENDERINGS"))
        between.save(QStringLiteral("/tmp/panel-fill-between.png"));

    // A panel whose area misses the dirty rect draws nothing.
    EXPECT_EQ(render(false, QRectF(200, 200, 10, 10)).pixel(50, 50), 0u);
}

TEST_F(ComicPanelDrawingTest, BackgroundEditingAndFocus)
{
    panel->setFillLayer(1);
    comic->setEditBackground(true);
    // The fill at layer 1 is left out and the front layer shows at 15 per cent.
    QImage image = render();
    EXPECT_TRUE(near(image.pixel(70, 20), qRgb(255, 255, 255)));
    EXPECT_TRUE(near(image.pixel(50, 50), qRgb(255, 217, 217)));
    EXPECT_TRUE(near(image.pixel(20, 50), qRgb(0, 255, 0)));
    // An export draws everything opaque.
    image = render(true);
    EXPECT_TRUE(near(image.pixel(50, 50), qRgb(255, 0, 0)));
    EXPECT_TRUE(near(image.pixel(70, 20), qRgb(128, 128, 255)));

    // In focus mode the current panel draws only in the second pass, others only in the first.
    comic->setEditBackground(false);
    comic->setCurrentPanel(panel);
    comic->setFocusOnPanel(true);
    EXPECT_EQ(render().pixel(70, 20), 0u);
    comic->setDrawingCurrentPanel(true);
    // The front layer being edited shows whole; the back layer stays in the frame.
    front->m_rect = QRectF(0, 40, 20, 20);
    back->m_rect = QRectF(0, 70, 20, 20);
    image = render();
    EXPECT_TRUE(near(image.pixel(5, 50), qRgb(255, 0, 0)));
    EXPECT_EQ(image.pixel(5, 80), 0u);
    // Another panel becoming current ends focus mode; back in it, this panel is not drawn.
    comic->setCurrentPanel(nullptr);
    comic->setFocusOnPanel(true);
    EXPECT_EQ(render().pixel(70, 20), 0u);
}

TEST_F(ComicPanelDrawingTest, InsetPanelsCutHolesIntoFixedOnes)
{
    auto page = std::make_shared<ComicPage>();
    auto row = std::make_shared<ComicRow>();
    auto inset = test::makePanel(QRectF(60, 60, 60, 60));
    comic->setContents({ page });
    page->initWithRect(QRectF(0, 0, 100, 100), comic.get());
    page->setContents({ row });
    row->setContents({ panel });
    page->setInsetPanels({ inset });
    panel->setFill(nullptr);
    panel->frontLayer()->setChildren({});
    panel->setWeight(2);

    // The hole is the inset's quad itself (no gutter); its edge gets a band as wide as the weight.
    QImage image = render();
    EXPECT_TRUE(near(image.pixel(70, 70), 0));
    EXPECT_TRUE(near(image.pixel(58, 70), qRgb(0, 0, 0)));
    EXPECT_TRUE(near(image.pixel(56, 70), qRgb(255, 255, 255)));
    panel->setWeight(0);
    image = render();
    EXPECT_TRUE(near(image.pixel(58, 70), qRgb(255, 255, 255)));

    // A floating panel is never cut.
    row->setContents({});
    page->setFloatingPanels({ panel });
    EXPECT_TRUE(near(render().pixel(70, 70), qRgb(255, 255, 255)));
}

TEST_F(ComicPanelDrawingTest, HighlightBandOfTheCurrentPanel)
{
    auto page = std::make_shared<ComicPage>();
    comic->setContents({ page });
    page->initWithRect(QRectF(0, 0, 100, 100), comic.get());
    page->setContents({ panel });
    comic->setCurrentPanel(panel);
    const auto highlight = [&](bool exporting) {
        OffscreenImage image(QSize(100, 100));
        {
            CanvasScope scope(image.canvas());
            ZDLContext context(1.0f);
            context.setExporting(exporting);
            panel->drawCurrentPanelFrameIn(context, QRectF(0, 0, 100, 100));
        }
        return image.takeImage();
    };
    // A fixed panel: a band of 3.5 points outside the frame, in one colour.
    QImage image = highlight(false);
    EXPECT_TRUE(near(image.pixel(8, 50), qRgb(61, 181, 252)));
    EXPECT_EQ(image.pixel(6, 50), 0u);
    EXPECT_EQ(image.pixel(12, 50), 0u);
    EXPECT_EQ(highlight(true).pixel(8, 50), 0u);

    // A free panel: a 4.5-point band striped a point high.
    page->setContents({});
    page->setFloatingPanels({ panel });
    image = highlight(false);
    EXPECT_NE(image.pixel(7, 50), image.pixel(7, 51));
    EXPECT_EQ(qAlpha(image.pixel(7, 50)), 255);
    EXPECT_EQ(image.pixel(5, 50), 0u);
}

} // namespace
} // namespace zandrel
