// The image editor in a comic window: an image in a panel is reached by double-clicking it on the
// page, and a crop that would leave it outside its panel brings it back in, in the same one step.
#include "ComicWindowFixture.h"
#include "ImageEditorFixture.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "tools/CroppingTool.h"

namespace zandrel::test {
namespace {

class ComicImageEditorTest : public ComicWindowTest {
protected:
    // The reference comic with the picture at half size in its first panel, its right half hanging
    // out past the panel's right edge.
    void SetUp() override
    {
        WindowTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        const ComicModelPtr comic = referenceComic();
        ASSERT_TRUE(comic->currentPage());
        const ComicStructureList rows = comic->currentPage()->contents();
        ASSERT_FALSE(rows.empty());
        const ComicStructureList cells = rows.front()->contents();
        ASSERT_FALSE(cells.empty());
        const auto first = std::dynamic_pointer_cast<ComicPanel>(cells.front());
        ASSERT_TRUE(first);
        const QRectF frame = first->getBounds();
        const ImageElementPtr image = ImageElement::initFromImage(quadrantPicture());
        image->setTransform(QTransform(0.5, 0, 0, 0.5, frame.right() - 50, frame.top() + 20));
        first->frontLayer()->setChildren(first->frontLayer()->children() + ElementList { image });
        window = openComic(QStringLiteral("Pictures"), comic);
        ASSERT_TRUE(window);
        document = dynamic_cast<ComicDocument*>(window->document());
        view = window->findChild<ComicView*>();
        ASSERT_TRUE(document && view);
        editor = window->findChild<ImageEditingView*>(QStringLiteral("imageEditor"));
        ASSERT_TRUE(editor);
    }
    ImageElementPtr picture() const
    {
        for (const ObjectPtr& child : panel(0)->frontLayer()->children()) {
            if (auto image = std::dynamic_pointer_cast<ImageElement>(child))
                return image;
        }
        return nullptr;
    }

    ImageEditingView* editor = nullptr;
};

TEST_F(ComicImageEditorTest, ACropOutsideThePanelIsPulledBackInTheSameStep)
{
    const ImageElementPtr image = picture();
    ASSERT_TRUE(image);
    // A pixel of the red quadrant, inside the panel.
    const QPoint onPicture = at(image->transform().map(QPointF(40, 20)));
    QTest::mouseClick(view, Qt::LeftButton, {}, onPicture);
    endOfEvent();
    doubleClick(view, onPicture);
    endOfEvent();
    ASSERT_EQ(document->currentEditor(), editor);
    ASSERT_EQ(editor->masksView()->editImage(), image);

    const QByteArray before = bytes();
    ImageMasksView* masks = editor->masksView();
    QTest::mouseClick(editor->toolButton(ImageEditingView::Cropping), Qt::LeftButton);
    masks->setViewScale(2.0f);
    // The right half of the picture, which lies wholly outside the panel.
    const auto pixel = [masks](const QPointF& p) { return masks->viewTransform().map(p).toPoint(); };
    QTest::mousePress(masks, Qt::LeftButton, {}, pixel({ 120, 10 }));
    QTest::mouseMove(masks, pixel({ 160, 50 }));
    QTest::mouseMove(masks, pixel({ 190, 90 }));
    QTest::mouseRelease(masks, Qt::LeftButton, {}, pixel({ 190, 90 }));
    endOfEvent();
    ASSERT_EQ(editor->croppingTool()->croppingRect(), QRectF(120, 10, 70, 80));
    QTest::mouseClick(editor->cropButton(), Qt::LeftButton);
    endOfEvent();
    EXPECT_EQ(image->image()->pixelSize(), QSizeF(70, 80));
    // Where the crop alone would have left it, it met the panel nowhere; now it does.
    EXPECT_EQ(panel(0)->getOffsetToEnsureInPanel(image), QPointF(0, 0));
    EXPECT_LE(image->getBounds().left(), panel(0)->getBounds().right());
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Crop Image"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

} // namespace
} // namespace zandrel::test
