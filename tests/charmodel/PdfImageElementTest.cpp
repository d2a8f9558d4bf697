#include "charmodel/CharacterModel.h"
#include "charmodel/CharacterModelClasses.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "graphics/PDFRenderCache.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLImage.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/NotificationCenter.h"
#include "platform/OffscreenImage.h"
#include "support/PdfBuilder.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

// A character whose one part holds a PDF image of 100 x 100 points at the origin.
struct PdfCharacter {
    std::shared_ptr<CharacterModel> model = std::make_shared<CharacterModel>();
    std::shared_ptr<Part> part = std::make_shared<Part>();
    ZDLImagePtr image;

    explicit PdfCharacter(const QByteArray& pdf)
        : image(ZDLImage::initWithData(pdf))
    {
        auto element = std::make_shared<ImageElement>();
        element->setImage(image);
        part->setChildren({ element });
        model->addPart(part);
    }
    // The part as a view at the zoom shows it.
    QImage drawOnScreen(float zoom = 1.0f) const
    {
        OffscreenImage bitmap(QSize(int(120 * zoom), int(120 * zoom)), zoom);
        CanvasScope current(bitmap.canvas());
        ZDLContext context(zoom);
        part->drawIn(context);
        return bitmap.takeImage();
    }
};

class PdfImageElementTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }
    void SetUp() override { PDFRenderCache::shared().clear(); }
    void TearDown() override
    {
        PDFRenderCache::shared().waitForPendingRenders();
        PDFRenderCache::shared().setBudget(PDFRenderBudget());
        PDFRenderCache::shared().clear();
    }
};

// Nine levels of forms, each drawing the next ten times: drawn, thumbnailed and hit-tested, each
// call returns; the placeholder shows until the rendering runs out of budget and stays.
TEST_F(PdfImageElementTest, NestedFormsNeverHangTheCharacter)
{
    PDFRenderCache::shared().setBudget({ 20, 600000 });
    const PdfCharacter character(test::nestedFormsPdf(9, 10));
    ASSERT_TRUE(character.image);
    int rendered = 0;
    NotificationCenter::defaultCenter().addObserver(&rendered, kImageRenderedNotification,
        character.image.get(), [&](const Notification&) { ++rendered; });

    EXPECT_EQ(character.drawOnScreen().pixel(50, 50), ZDLImage::kPlaceholderFill);
    // The thumbnail (280 x 200 from (10, 10) at 1.5) waits for its rendering, within the budget.
    const QImage thumbnail = character.model->getThumbnail();
    EXPECT_EQ(thumbnail.pixel(60, 60), ZDLImage::kPlaceholderFill);
    EXPECT_EQ(thumbnail.pixel(200, 60), 0u);
    EXPECT_TRUE(character.part->containsPt(QPointF(99, 99), 1.0f));
    PDFRenderCache::shared().waitForPendingRenders();
    EXPECT_EQ(rendered, 1);
    EXPECT_EQ(character.drawOnScreen().pixel(50, 50), ZDLImage::kPlaceholderFill);
    EXPECT_EQ(character.model->getThumbnail(), thumbnail);
    NotificationCenter::defaultCenter().removeObserver(&rendered);
}

// An ordinary PDF: the thumbnail takes a rendering the screen made when it covers the
// thumbnail's scale, and makes one otherwise, which the next thumbnail reuses.
TEST_F(PdfImageElementTest, ThumbnailReusesTheScreensRendering)
{
    PDFRenderCache& cache = PDFRenderCache::shared();
    const QByteArray pdf
        = test::onePagePdf(QSizeF(100, 100), "1 0 0 rg 0 0 50 100 re f 0 0 1 rg 50 0 50 100 re f");
    // The thumbnail at 1.5 wants a quarter-octave bucket of 2^(3/4) pixels a point (169 pixels).
    const struct {
        float zoom;
        qint64 thumbnailBytes;
    } cases[] = { { 2.0f, 0 }, { 1.0f, 169 * 169 * 4 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zoom);
        const PdfCharacter character(pdf);
        character.drawOnScreen(c.zoom);
        cache.waitForPendingRenders();
        const qint64 screenBytes = cache.memoryUsed();
        EXPECT_EQ(screenBytes, qint64(100 * c.zoom) * qint64(100 * c.zoom) * 4);
        const QImage screen = character.drawOnScreen(c.zoom);
        EXPECT_EQ(screen.pixel(int(25 * c.zoom), 50), qRgb(255, 0, 0));
        EXPECT_EQ(screen.pixel(int(75 * c.zoom), 50), qRgb(0, 0, 255));

        const QImage thumbnail = character.model->getThumbnail();
        EXPECT_EQ(thumbnail.pixel(15, 15), qRgb(255, 0, 0));
        EXPECT_EQ(thumbnail.pixel(100, 15), qRgb(0, 0, 255));
        EXPECT_EQ(cache.memoryUsed(), screenBytes + c.thumbnailBytes);
        EXPECT_EQ(character.model->getThumbnail(), thumbnail);
        EXPECT_EQ(cache.memoryUsed(), screenBytes + c.thumbnailBytes);
        cache.clear();
    }
}

} // namespace
} // namespace zandrel
