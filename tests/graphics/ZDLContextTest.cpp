#include "graphics/ZDLContext.h"

#include "graphics/ZDLViewInterface.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"

#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class FakeView : public ZDLViewInterface {
public:
    float viewScale() const override { return m_scale; }
    bool scalingViewInteractively() const override { return m_zooming; }
    bool needsToDrawRect(const QRectF& rect) const override { return m_dirty.intersects(rect); }
    bool isInMainWindow() const override { return m_main; }

    float m_scale = 2.5f;
    bool m_zooming = false;
    bool m_main = false;
    QRectF m_dirty = QRectF(0, 0, 10, 10);
};

TEST(ZDLContext, BareContextAnswersWithoutAView)
{
    ZDLContext context;
    EXPECT_EQ(context.scale(), 1.0f);
    EXPECT_EQ(context.partScaleX(), 1.0f);
    EXPECT_EQ(context.partScaleY(), 1.0f);
    EXPECT_EQ(context.blurThreshold(), 0.8f);
    EXPECT_EQ(context.imageAlpha(), 1.0f);
    EXPECT_FALSE(context.exporting());
    EXPECT_TRUE(context.showCurrentPanelFrame());
    EXPECT_EQ(context.canvas(), nullptr);
    EXPECT_EQ(context.updatingView(), nullptr);

    EXPECT_TRUE(context.needsToDrawRect(QRectF(500, 500, 1, 1)));
    EXPECT_FALSE(context.scalingViewInteractively());
    EXPECT_FALSE(context.isInMainWindow());
    // Nothing to save into: must not crash.
    context.saveState();
    context.restoreState();
}

TEST(ZDLContext, ShowBlurThresholds)
{
    ZDLContext context;
    EXPECT_FALSE(context.showBlur(0.8f));
    EXPECT_TRUE(context.showBlur(0.81f));

    context.setScale(2.0f);
    EXPECT_TRUE(context.showBlur(0.5f));
    EXPECT_FALSE(context.showBlur(0.4f));

    // The smaller part scale counts; one that is not a number is ignored.
    context.setScale(1.0f);
    context.setPartScaleX(0.5f);
    context.setPartScaleY(4.0f);
    EXPECT_FALSE(context.showBlur(1.6f));
    EXPECT_TRUE(context.showBlur(1.7f));
    context.setPartScaleX(NAN);
    EXPECT_TRUE(context.showBlur(0.3f));
    context.setPartScaleX(1.0f);
    context.setPartScaleY(1.0f);

    context.setBlurThreshold(0.0f);
    EXPECT_FALSE(context.showBlur(0.0f));
    EXPECT_TRUE(context.showBlur(0.0001f));
    EXPECT_FALSE(context.showBlur(-1.0f));
}

TEST(ZDLContext, OffscreenTakesTheCurrentCanvas)
{
    {
        CanvasScope none(nullptr);
        ZDLContext context(3.0f);
        EXPECT_EQ(context.scale(), 3.0f);
        EXPECT_EQ(context.canvas(), nullptr);
    }

    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    PainterCanvas canvas(&image);
    CanvasScope scope(&canvas);
    ZDLContext context(2.0f);
    EXPECT_EQ(context.canvas(), &canvas);
    EXPECT_EQ(context.updatingView(), nullptr);
    EXPECT_TRUE(context.needsToDrawRect(QRectF(100, 100, 1, 1)));

    const int depth = canvas.saveDepth();
    context.saveState();
    EXPECT_EQ(canvas.saveDepth(), depth + 1);
    context.restoreState();
    EXPECT_EQ(canvas.saveDepth(), depth);
}

TEST(ZDLContext, ViewContextAsksTheView)
{
    FakeView view;
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    PainterCanvas canvas(&image);
    CanvasScope scope(&canvas);

    ZDLContext context(view);
    EXPECT_EQ(context.scale(), 2.5f);
    EXPECT_EQ(context.canvas(), &canvas);
    EXPECT_EQ(context.updatingView(), &view);
    EXPECT_EQ(context.blurThreshold(), 0.8f);

    EXPECT_TRUE(context.needsToDrawRect(QRectF(5, 5, 2, 2)));
    EXPECT_FALSE(context.needsToDrawRect(QRectF(50, 50, 2, 2)));
    EXPECT_FALSE(context.scalingViewInteractively());
    EXPECT_FALSE(context.isInMainWindow());
    view.m_zooming = true;
    view.m_main = true;
    EXPECT_TRUE(context.scalingViewInteractively());
    EXPECT_TRUE(context.isInMainWindow());
}

} // namespace
} // namespace zandrel
