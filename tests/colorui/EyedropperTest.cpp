#include "colorui/ColorEyedropperOverlay.h"
#include "colorui/ColorUiTestSupport.h"
#include "support/TestSupport.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <gtest/gtest.h>

namespace zandrel::test {

namespace {

// Every pixel a colour of its own, one red pixel at (30, 40).
QImage numberedImage(qreal devicePixelRatio)
{
    QImage image(100, 80, QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor(0, x, y));
    }
    image.setPixelColor(30, 40, QColor(255, 0, 0));
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

struct SampleCase {
    const char* why;
    qreal ratio;
    QPointF point;
    QColor expected; // invalid: no colour
};

const SampleCase kSamples[] = {
    { "the pixel under the point", 1, { 30.5, 40.5 }, QColor(255, 0, 0) },
    { "anywhere inside that pixel", 1, { 30.99, 40.01 }, QColor(255, 0, 0) },
    { "the first pixel", 1, { 0.2, 0.3 }, QColor(0, 0, 0) },
    { "two pixels a point", 2, { 15.25, 20.4 }, QColor(255, 0, 0) },
    { "two pixels a point, the next one", 2, { 15.5, 20.4 }, QColor(0, 31, 40) },
    { "off the image", 1, { -5, 10 }, QColor() },
};

} // namespace

TEST(EyedropperSamplingTest, TheCentreIsThePixelUnderThePoint)
{
    for (const SampleCase& c : kSamples) {
        SCOPED_TRACE(c.why);
        const MagnifierSample sample = sampleMagnifier(numberedImage(c.ratio), c.point);
        ASSERT_EQ(sample.pixels.size(), QSize(20, 20));
        if (!c.expected.isValid()) {
            EXPECT_FALSE(sample.color.isValid());
            continue;
        }
        EXPECT_EQ(sample.color.toQColor().toRgb(), c.expected);
        EXPECT_EQ(sample.pixels.pixelColor(MagnifierSample::kColumn, MagnifierSample::kRow), c.expected);
    }
    // Around the edge the magnifier shows nothing where the screen ends.
    const MagnifierSample corner = sampleMagnifier(numberedImage(1), QPointF(0.5, 0.5));
    EXPECT_EQ(corner.pixels.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(corner.pixels.pixelColor(10, 11), QColor(0, 1, 1));
}

TEST(EyedropperOverlayTest, AClickHandsBackTheColourUnderTheMouse)
{
    QWidget swatch;
    QPalette palette = swatch.palette();
    palette.setColor(QPalette::Window, QColor::fromRgbF(0.2f, 0.6f, 0.4f));
    swatch.setPalette(palette);
    swatch.setAutoFillBackground(true);
    swatch.setGeometry(100, 100, 120, 90);
    swatch.show();
    QApplication::processEvents();

    RgbColor picked;
    int commits = 0;
    ColorEyedropperOverlay overlay([&](ColorEyedropperOverlay* o) {
        ++commits;
        picked = o->color();
        o->close();
    });
    const QPointF target = swatch.mapToGlobal(QPointF(60, 45));
    overlay.moveToMouse(&target);
    EyedropperContentView* panel = overlay.currentPanel();
    ASSERT_TRUE(panel);
    EXPECT_EQ(overlay.currentScreen(), ColorEyedropperOverlay::screenContainingPoint(target));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
    // The magnifier is drawn around the mouse, the panel otherwise shows the screen.
    const QImage drawn = rendered(panel);
    const QPointF local = target - QPointF(panel->geometry().topLeft());
    EXPECT_LE(colorDistance(drawn.pixelColor(local.toPoint()), QColor::fromRgbF(0.2f, 0.6f, 0.4f)), 2);

    press(panel, local);
    release(panel, local);
    EXPECT_EQ(commits, 1);
    EXPECT_LE(colorDistance(picked.toQColor(), QColor::fromRgbF(0.2f, 0.6f, 0.4f)), 2);
    EXPECT_FALSE(overlay.isRunning());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST(EyedropperOverlayTest, EscapeEndsItWithoutAColour)
{
    int commits = 0;
    int cancels = 0;
    ColorEyedropperOverlay overlay([&](ColorEyedropperOverlay*) { ++commits; },
        [&](ColorEyedropperOverlay* o) {
            ++cancels;
            o->close();
        });
    const QPointF target(50, 50);
    overlay.moveToMouse(&target);
    ASSERT_TRUE(overlay.currentPanel());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(overlay.currentPanel(), &escape);
    EXPECT_EQ(commits, 0);
    EXPECT_EQ(cancels, 1);
    EXPECT_FALSE(overlay.isRunning());
}

} // namespace zandrel::test
