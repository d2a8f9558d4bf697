// The crop tool in a real image editor, driven by mouse events: the rectangle follows drags in whole
// image pixels within the image, its grips move edges and corners, the editor's crop buttons show
// exactly while there is a rectangle, and the veil outside it is drawn as the user sees it.
#include "tools/CroppingTool.h"

#include "views/ImageEditorFixture.h"

#include <QComboBox>
#include <QDir>

namespace zandrel {
namespace {

class CroppingToolTest : public test::ImageEditorTest {
protected:
    void SetUp() override
    {
        ImageEditorTest::SetUp();
        openImageEditor();
        // At 200 per cent a pointer position lies within a quarter pixel of the pixel aimed at.
        masks->setViewScale(2.0f);
        clickButton(editor->toolButton(ImageEditingView::Cropping));
        tool = editor->croppingTool();
        ASSERT_EQ(masks->currentTool(), tool);
    }
    bool cropButtonsShown() const
    {
        const bool crop = editor->cropButton()->isVisible();
        EXPECT_EQ(editor->cancelCropButton()->isVisible(), crop);
        EXPECT_EQ(editor->resampleButton()->isVisible(), !crop);
        EXPECT_EQ(editor->partTypePopup()->isVisible(), !crop);
        return crop;
    }
    // Shared: the next paint builds the grips anew.
    std::shared_ptr<const CroppingFrameHandle> grip(int number)
    {
        masks->grab();
        const HandleList& handles = tool->currentHandles();
        return number < handles.size()
            ? std::dynamic_pointer_cast<const CroppingFrameHandle>(handles.at(number))
            : nullptr;
    }

    CroppingTool* tool = nullptr;
};

TEST_F(CroppingToolTest, DragsMakeWholePixelRectanglesInsideThePicture)
{
    struct Case {
        const char* name;
        QPointF from;
        QPointF to;
        bool set;
        QRectF rect;
    };
    const QList<Case> cases {
        { "inside", { 20, 10 }, { 120, 60 }, true, { 20, 10, 100, 50 } },
        { "upward and left", { 120, 60 }, { 20, 10 }, true, { 20, 10, 100, 50 } },
        { "beyond the right and bottom", { 150, 80 }, { 260, 140 }, true, { 150, 80, 50, 20 } },
        { "beyond the top-left", { 40, 30 }, { -30, -20 }, true, { 0, 0, 40, 30 } },
        { "wholly outside", { 210, 10 }, { 260, 60 }, false, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh start: a press on a grip of the last rectangle would move that grip.
        if (editor->cancelCropButton()->isVisible())
            clickButton(editor->cancelCropButton());
        dragPixels(c.from, c.to);
        EXPECT_EQ(tool->croppingRectSet(), c.set);
        EXPECT_EQ(cropButtonsShown(), c.set);
        if (c.set) {
            EXPECT_EQ(tool->croppingRect(), c.rect);
        }
        // Only a rectangle shown has grips.
        EXPECT_EQ(grip(0) != nullptr, c.set);
    }
}

TEST_F(CroppingToolTest, AClickMakesNoRectangleAndLeavesAnExistingOneUntilTheMouseMoves)
{
    QTest::mouseClick(masks, Qt::LeftButton, {}, pixelAt({ 50, 50 }));
    endOfEvent();
    EXPECT_FALSE(tool->croppingRectSet());
    EXPECT_FALSE(cropButtonsShown());
    dragPixels({ 20, 10 }, { 120, 60 });
    ASSERT_TRUE(tool->croppingRectSet());
    QTest::mouseClick(masks, Qt::LeftButton, {}, pixelAt({ 160, 80 }));
    endOfEvent();
    EXPECT_TRUE(tool->croppingRectSet());
    EXPECT_EQ(tool->croppingRect(), QRectF(20, 10, 100, 50));
}

TEST_F(CroppingToolTest, GripsMoveTheirEdgeOrCornerAndTurnTheRectangleOver)
{
    dragPixels({ 20, 10 }, { 120, 60 });
    // At 200 per cent: strips 4 units thick, corner squares 8 units wide.
    const auto right = grip(1);
    const auto corner = grip(4);
    ASSERT_TRUE(right && corner);
    EXPECT_EQ(right->type(), kCroppingHandleType);
    EXPECT_DOUBLE_EQ(right->box().width(), 4.0);
    EXPECT_DOUBLE_EQ(right->box().height(), 50.0);
    EXPECT_DOUBLE_EQ(corner->box().width(), 8.0);
    EXPECT_EQ(corner->box().center(), QPointF(20, 10));

    struct Case {
        const char* name;
        QPointF from;
        QPointF to;
        QRectF rect;
    };
    const QList<Case> cases {
        { "right edge: only the width", { 120, 35 }, { 150, 5 }, { 20, 10, 130, 50 } },
        { "top-left corner: both coordinates", { 20, 10 }, { 30, 25 }, { 30, 25, 120, 35 } },
        { "bottom edge past the top", { 90, 60 }, { 90, 5 }, { 30, 5, 120, 20 } },
        { "left edge past the picture", { 30, 15 }, { -40, 15 }, { 0, 5, 150, 20 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dragPixels(c.from, c.to);
        EXPECT_EQ(tool->croppingRect(), c.rect);
        EXPECT_TRUE(cropButtonsShown());
    }
}

TEST_F(CroppingToolTest, OtherToolsAndTheCancelButtonRemoveTheRectangle)
{
    dragPixels({ 20, 10 }, { 120, 60 });
    clickButton(editor->cancelCropButton());
    EXPECT_FALSE(tool->croppingRectSet());
    EXPECT_FALSE(cropButtonsShown());
    dragPixels({ 20, 10 }, { 120, 60 });
    clickButton(editor->toolButton(ImageEditingView::Selection));
    EXPECT_FALSE(tool->croppingRectSet());
    EXPECT_FALSE(cropButtonsShown());
    EXPECT_TRUE(tool->currentHandles().isEmpty());
    // Nothing of it went into the document.
    EXPECT_FALSE(document->undoManager()->canUndo());
}

TEST_F(CroppingToolTest, WhatLiesOutsideTheRectangleIsVeiled)
{
    // No masks, so that the picture shows as it is.
    masks->editImage()->setChildren({});
    dragPixels({ 20, 10 }, { 120, 60 });
    const QImage shown = masks->grab().toImage();
    if (const QString shots = qEnvironmentVariable("ZANDREL_SCREENSHOT_DIR"); !shots.isEmpty())
        window->grab().save(QDir(shots).filePath(QStringLiteral("crop-mode.png")));
    const auto colourAt = [&](const QPointF& pixel) { return shown.pixelColor(pixelAt(pixel)); };
    const auto near = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3
            && std::abs(a.blue() - b.blue()) <= 3;
    };
    // Inside: the picture itself.
    EXPECT_TRUE(near(colourAt({ 50, 30 }), Qt::red));
    EXPECT_TRUE(near(colourAt({ 110, 30 }), Qt::green));
    // Outside: 40 per cent black, then 60 per cent white over it.
    EXPECT_TRUE(near(colourAt({ 150, 30 }), QColor(153, 214, 153)))
        << colourAt({ 150, 30 }).name().toStdString();
    EXPECT_TRUE(near(colourAt({ 50, 80 }), QColor(153, 153, 214)))
        << colourAt({ 50, 80 }).name().toStdString();
    // The outline in green runs along the edge.
    const QColor edge = shown.pixelColor(pixelAt({ 20, 30 }) - QPoint(1, 0));
    EXPECT_GT(edge.green(), edge.red() + 60) << edge.name().toStdString();
}

} // namespace
} // namespace zandrel
