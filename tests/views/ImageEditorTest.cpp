// The image editor through a real character window: reached as a user reaches it, each change one
// named undo step that undoes to the saved bytes; crop and resample keep every element sharing the
// picture where it was; the masks view draws, adds and reshapes masks.
#include "ImageEditorFixture.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLImageRep.h"
#include "support/PdfBuilder.h"
#include "tools/CroppingTool.h"
#include "views/EditingLevelControl.h"
#include "views/PartElementsView.h"

#include <QComboBox>
#include <QDir>
#include <cmath>

namespace zandrel::test {
namespace {

// The picture's pixel (px, py) in the character, for the first part's element.
QPointF placedPixel(const ImageElement& element, const QPointF& pixel)
{
    return element.transform().map(pixel);
}

void expectNear(const QPointF& a, const QPointF& b)
{
    EXPECT_NEAR(a.x(), b.x(), 1e-4);
    EXPECT_NEAR(a.y(), b.y(), 1e-4);
}

TEST_F(ImageEditorTest, DoubleClickingThePictureInThePartEditorOpensTheImageEditorAndTheBarLeavesIt)
{
    view->setSelection({ part(0) });
    choose(kEditObjectAction);
    endOfEvent();
    auto* elements = window->findChild<PartElementsView*>();
    ASSERT_TRUE(elements);
    // A pixel of the red quadrant inside the first mask: a masked picture is hit inside its masks.
    const ImageElementPtr image = imageIn(0);
    const QPointF inMask = placedPixel(*image, QPointF(30, 30));
    doubleClick(elements, elements->viewTransform().map(inMask).toPoint());
    endOfEvent();
    ASSERT_EQ(document->currentEditor(), editor);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(masks->editImage(), image);
    // The first entry offers the editor's help comic over it.
    HelpComicView* help = HelpComicView::getOpenHelp(QStringLiteral("image_view"), document);
    ASSERT_TRUE(help);
    EXPECT_EQ(help->parentWidget(), editor);
    EXPECT_EQ(help->numPages(), 3);
    if (const QString shots = qEnvironmentVariable("ZANDREL_SCREENSHOT_DIR"); !shots.isEmpty()) {
        QTest::qWait(800);
        window->grab().save(QDir(shots).filePath(QStringLiteral("image_view.png")));
    }
    closeHelp();
    EXPECT_EQ(masks->getContentBounds(), QRectF(0, 0, 200, 100));
    // The whole picture fits the view.
    EXPECT_LE(200 * masks->viewScale(), masks->scrollArea()->viewport()->width() + 1);
    EXPECT_LE(100 * masks->viewScale(), masks->scrollArea()->viewport()->height() + 1);
    EXPECT_EQ(editor->levelBar()->isVisible(), true);
    EXPECT_EQ(editor->levelControl().numLevels(), 3);
    EXPECT_EQ(editor->levelControl().representedObjectAtLevel(2), image);
    // For a look at the editor as the user sees it: the window and the file it shows.
    if (const QString shots = qEnvironmentVariable("ZANDREL_SCREENSHOT_DIR"); !shots.isEmpty()) {
        window->grab().save(QDir(shots).filePath(QStringLiteral("image-editor.png")));
        QFile::copy(
            dir.filePath(QStringLiteral("Pics.parts")), QDir(shots).filePath(QStringLiteral("Pics.parts")));
    }
    choose(kPopEditorAction);
    endOfEvent();
    EXPECT_EQ(document->currentEditor(), document->partEditingView());
    EXPECT_FALSE(masks->editImage());
}

TEST_F(ImageEditorTest, CroppingIsOneStepThatKeepsThePixelsInPlaceAndDropsMasksOutside)
{
    openImageEditor();
    const QByteArray before = bytes();
    const ImageElementPtr image = imageIn(0);
    const QPointF corner = placedPixel(*image, QPointF(20, 10));
    const QPointF maskCorner = placedPixel(*image, QPointF(30, 30));
    // The tool's button says how it is used.
    EXPECT_TRUE(
        editor->toolButton(ImageEditingView::Cropping)->toolTip().startsWith(QStringLiteral("Crop Tool\n")));
    clickButton(editor->toolButton(ImageEditingView::Cropping));
    masks->setViewScale(2.0f);
    dragPixels({ 20, 10 }, { 120, 60 });
    clickButton(editor->cropButton());
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(pictureSize(), QSizeF(100, 50));
    // The remaining pixels stay where they were; the picture's new top-left is the old (20, 10).
    expectNear(placedPixel(*image, QPointF(0, 0)), corner);
    // The mask over the top-left quadrant went along; the one in the bottom-right is gone.
    ASSERT_EQ(image->numChildren(), 1u);
    const auto mask = std::dynamic_pointer_cast<MaskingPath>(image->getChildAtIndex(0));
    EXPECT_EQ(mask->getBounds(), QRectF(-10, 0, 50, 50));
    expectNear(placedPixel(*image, QPointF(10, 20)), maskCorner);
    // The pixels are those of the crop: red left of x = 80, green right of it.
    const auto* bitmap = dynamic_cast<const ZDLBitmapImageRep*>(image->image()->imageRep().get());
    ASSERT_TRUE(bitmap);
    const QImage pixels = bitmap->image();
    EXPECT_EQ(pixels.pixelColor(79, 39), QColor(Qt::red));
    EXPECT_EQ(pixels.pixelColor(80, 39), QColor(Qt::green));
    EXPECT_EQ(pixels.pixelColor(80, 40), QColor(Qt::yellow));
    EXPECT_FALSE(editor->croppingTool()->croppingRectSet());
    EXPECT_FALSE(editor->cropButton()->isVisible());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Crop Image"));
    const QByteArray after = bytes();
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(pictureSize(), QSizeF(200, 100));
    choose(kRedoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), after);
}

TEST_F(ImageEditorTest, ResamplingKeepsPlacementMasksAndPivotAndUndoes)
{
    openImageEditor();
    const ImageElementPtr image = imageIn(0);
    masks->setPivotPoint(QPointF(40, 20));
    endOfEvent();
    const QByteArray before = bytes();
    const QRectF placed = image->getBounds();
    const QPointF pivot = placedPixel(*image, image->origin());
    editor->resampleImageByScale(0.5f);
    endOfEvent();
    EXPECT_EQ(pictureSize(), QSizeF(100, 50));
    EXPECT_NEAR(image->getBounds().x(), placed.x(), 1e-4);
    EXPECT_NEAR(image->getBounds().y(), placed.y(), 1e-4);
    EXPECT_NEAR(image->getBounds().width(), placed.width(), 1e-4);
    EXPECT_NEAR(image->getBounds().height(), placed.height(), 1e-4);
    EXPECT_EQ(image->origin(), QPointF(20, 10));
    expectNear(placedPixel(*image, image->origin()), pivot);
    EXPECT_EQ(image->getChildAtIndex(0).get()
            ? asProtocol<GraphicElement>(image->getChildAtIndex(0))->getBounds()
            : QRectF(),
        QRectF(5, 5, 25, 25));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Resample Image"));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
    // Factors that could not be undone change nothing.
    for (float factor : { 0.0f, -1.0f, NAN, INFINITY }) {
        editor->resampleImageByScale(factor);
        EXPECT_EQ(bytes(), before);
    }
}

class SharedImageEditorTest : public ImageEditorTest {
protected:
    bool sharedPicture() const override { return true; }
};

TEST_F(SharedImageEditorTest, ASharedPictureIsCroppedEverywhereOnlyAfterTheUserAgrees)
{
    openImageEditor();
    const QByteArray before = bytes();
    const ImageElementPtr first = imageIn(0);
    const ImageElementPtr second = imageIn(1);
    // The file keeps one picture for both.
    ASSERT_EQ(first->image(), second->image());
    const QPointF secondCorner = placedPixel(*second, QPointF(20, 10));
    clickButton(editor->toolButton(ImageEditingView::Cropping));
    masks->setViewScale(2.0f);
    dragPixels({ 20, 10 }, { 120, 60 });

    answers = { ModalAlert::kSecondButton };
    clickButton(editor->cropButton());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.at(0).message,
        QStringLiteral("This image is shared among 2 image elements in this document."));
    EXPECT_EQ(alerts.at(0).informativeText,
        QStringLiteral(
            "If you continue, the crop will be applied to all image elements that share this image."));
    EXPECT_EQ(alerts.at(0).buttons, (QStringList { QStringLiteral("Crop"), QStringLiteral("Cancel") }));
    EXPECT_EQ(bytes(), before);
    EXPECT_TRUE(editor->croppingTool()->croppingRectSet());

    clickButton(editor->cropButton());
    EXPECT_EQ(alerts.size(), 2);
    EXPECT_EQ(first->image(), second->image());
    EXPECT_EQ(second->image()->pixelSize(), QSizeF(100, 50));
    expectNear(placedPixel(*second, QPointF(0, 0)), secondCorner);
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

TEST_F(ImageEditorTest, InACharacterAnElementCroppedOffTheOriginIsBroughtBack)
{
    openImageEditor();
    const ImageElementPtr image = imageIn(0);
    // Placed so that a crop of its right end would lie left of x = 0 and above y = 0.
    image->setTransform(QTransform(1, 0, 0, 1, -195, -95));
    image->setChildren({});
    clickButton(editor->toolButton(ImageEditingView::Cropping));
    masks->setViewScale(2.0f);
    dragPixels({ 188, 88 }, { 200, 100 });
    clickButton(editor->cropButton());
    // 12 by 12 pixels from (-7, -7): each edge reaches less than 10 past the origin, so moves to 0.
    EXPECT_EQ(image->getBounds(), QRectF(0, 0, 12, 12));
    // One reaching 10 or more past it stays where it is.
    choose(kUndoAction);
    endOfEvent();
    image->setTransform(QTransform(1, 0, 0, 1, -180, -95));
    dragPixels({ 160, 88 }, { 200, 100 });
    clickButton(editor->cropButton());
    EXPECT_EQ(image->getBounds(), QRectF(-20, 0, 40, 12));
}

TEST_F(ImageEditorTest, MasksAreDrawnWithTheToolsAndWashOutTheRest)
{
    openImageEditor();
    const ImageElementPtr image = imageIn(0);
    masks->setViewScale(2.0f);
    const QImage shown = masks->grab().toImage();
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3
            && std::abs(a.blue() - b.blue()) <= 3;
    };
    // Inside a mask the picture shows as it is; outside, washed out.
    EXPECT_TRUE(near(shown.pixelColor(pixelAt({ 30, 30 })), Qt::red));
    EXPECT_TRUE(near(shown.pixelColor(pixelAt({ 150, 30 })), QColor(153, 214, 153)));
    EXPECT_TRUE(near(shown.pixelColor(pixelAt({ 170, 80 })), Qt::yellow));

    const QByteArray before = bytes();
    clickButton(editor->toolButton(ImageEditingView::Rect));
    dragPixels({ 110, 10 }, { 180, 40 });
    ASSERT_EQ(image->numChildren(), 3u);
    EXPECT_EQ(masks->selection(), ElementList { image->getChildAtIndex(2) });
    // The drawing tools hand over to the reshaping tool.
    EXPECT_EQ(editor->currentTool(), int(ImageEditingView::Reshaping));
    EXPECT_TRUE(near(masks->grab().toImage().pixelColor(pixelAt({ 150, 30 })), Qt::green));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);

    // A gesture of fewer than three points makes no mask.
    EXPECT_FALSE(masks->createPathWith(std::make_shared<Curve>()));
    // Delete removes the selected masks as one step.
    masks->setSelection({ image->getChildAtIndex(1) });
    choose(kDeleteAction);
    endOfEvent();
    EXPECT_EQ(image->numChildren(), 1u);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Delete object"));
}

TEST_F(ImageEditorTest, APictureSmallerThanTheWindowSitsInItsMiddle)
{
    openImageEditor();
    const auto centredIn = [this](const QRect& port) {
        const QRectF picture = masks->viewTransform().mapRect(QRectF(0, 0, 200, 100));
        EXPECT_NEAR(picture.center().x(), port.center().x() + 0.5, 1.0);
        EXPECT_NEAR(picture.center().y(), port.center().y() + 0.5, 1.0);
    };
    // Fitted to the window: it fills one way and is centred the other.
    centredIn(masks->rect());
    // Zoomed out with the menu until it is smaller than the window both ways.
    masks->setFocus();
    while (masks->viewScale() * 200 >= masks->width() / 2.0 && masks->viewScale() > masks->minViewScale())
        choose(kZoomOutAction);
    endOfEvent();
    ASSERT_LT(masks->viewScale() * 200, masks->width());
    centredIn(masks->rect());
    const QImage shown = masks->grab().toImage();
    const QColor corner = shown.pixelColor(2, 2);
    EXPECT_TRUE(corner.red() == corner.green() && corner.green() == corner.blue() && corner.red() > 200)
        << "no picture in the corner, only the washed-out white around it";
    EXPECT_EQ(shown.pixelColor(pixelAt({ 35, 35 })), QColor(Qt::red)) << "inside the first mask";
    // Still centred in a larger window, and a click lands on the pixel under it.
    window->resize(window->size() + QSize(120, 60));
    endOfEvent();
    centredIn(masks->rect());
    clickButton(editor->toolButton(ImageEditingView::Selection));
    QTest::mouseClick(masks, Qt::LeftButton, {}, pixelAt({ 170, 80 }));
    EXPECT_EQ(masks->selection(), ElementList { imageIn(0)->getChildAtIndex(1) });
}

TEST_F(ImageEditorTest, PivotAndPartTypeAreNamedStepsThatTheControlsFollow)
{
    openImageEditor();
    const ImageElementPtr image = imageIn(0);
    const QByteArray before = bytes();
    // From anywhere but the contextual menu there is no point to set.
    masks->tryToPerform(kSetPivotPointAction, ActionSender {});
    endOfEvent();
    EXPECT_FALSE(image->hasOrigin());
    masks->tryToPerform(
        kSetPivotPointAction, ActionSender { 0, QString(), kContextualMenuSender, kSetPivotPointAction });
    endOfEvent();
    EXPECT_TRUE(image->hasOrigin());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Image Pivot Point"));
    choose(kResetPivotPointAction);
    endOfEvent();
    EXPECT_FALSE(image->hasOrigin());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Reset Image Pivot Point"));
    choose(kUndoAction);
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(bytes(), before);

    QComboBox* popup = editor->partTypePopup();
    const int hat = popup->findData(int(PartTypeHat));
    popup->setCurrentIndex(hat);
    emit popup->activated(hat);
    endOfEvent();
    EXPECT_EQ(image->partType(), int(PartTypeHat));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Set Part Type"));
    choose(kUndoAction);
    endOfEvent();
    EXPECT_EQ(popup->currentData().toInt(), 0);
    EXPECT_EQ(bytes(), before);
}

TEST_F(ImageEditorTest, AVectorPictureHasNoCropToolNorResampling)
{
    openImageEditor();
    clickButton(editor->toolButton(ImageEditingView::Cropping));
    // Back to the parts view, through the part editor.
    choose(kPopEditorAction);
    endOfEvent();
    choose(kPopEditorAction);
    endOfEvent();
    imageIn(0)->setImage(ZDLImage::initWithData(onePagePdf(QSizeF(200, 100), "0 0 1 rg 0 0 200 100 re f")));
    ASSERT_TRUE(imageIn(0)->image()->isVector());
    openImageEditor();
    EXPECT_FALSE(editor->toolButton(ImageEditingView::Cropping)->isVisible());
    EXPECT_FALSE(editor->resampleButton()->isVisible());
    EXPECT_EQ(editor->currentTool(), int(ImageEditingView::Selection));
    const QByteArray before = bytes();
    editor->resampleImageByScale(0.5f);
    editor->croppingTool()->setCroppingRect(QRectF(10, 10, 50, 50));
    editor->crop();
    EXPECT_EQ(bytes(), before);
    // A bitmap again: both come back.
    choose(kPopEditorAction);
    endOfEvent();
    choose(kPopEditorAction);
    endOfEvent();
    imageIn(0)->setImage(ZDLImage::initWithData(ZDLImage::encodedBitmapData(quadrantPicture(), true, 1.0f)));
    openImageEditor();
    EXPECT_TRUE(editor->toolButton(ImageEditingView::Cropping)->isVisible());
    EXPECT_TRUE(editor->resampleButton()->isVisible());
}

} // namespace
} // namespace zandrel::test
