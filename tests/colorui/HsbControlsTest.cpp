#include "colorui/HsbControls.h"

#include "colorui/ColorUiTestSupport.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <vector>

namespace zandrel::test {

namespace {

// A square of 178 points: its active box is (9, 9, 160, 160).
class SquareFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        square.setFixedSize(178, 178);
        hue.setFixedSize(26, 178);
        alpha.setFixedSize(26, 178);
        square.linkSliders(&hue, &alpha);
    }
    SaturationBrightnessControl square;
    HueSlider hue;
    AlphaSlider alpha;
};

struct DragCase {
    const char* why;
    double startSaturation;
    double startBrightness;
    QPointF pressAt;
    std::vector<QPointF> dragTo;
    double saturation;
    double brightness;
    int actions;
};

const DragCase kDrags[] = {
    { "a press inside sets both", 0.2, 0.2, { 89, 49 }, {}, 0.5, 0.75, 1 },
    { "dragging beyond the square clamps", 0.2, 0.2, { 89, 49 }, { { 200, 300 } }, 1.0, 0.0, 2 },
    { "dragging beyond the other corner clamps", 0.2, 0.2, { 89, 49 }, { { -30, -40 } }, 0.0, 1.0, 2 },
    { "the margin beside the square sets only the brightness, for the whole drag", 0.2, 0.2, { 3, 89 },
        { { 100, 129 } }, 0.2, 0.25, 2 },
    { "the margin above the square sets only the saturation, for the whole drag", 0.2, 0.2, { 49, 3 },
        { { 129, 170 } }, 0.75, 0.2, 2 },
    { "a press on the indicator moves nothing; the drag keeps the grab offset", 0.5, 0.5, { 92, 92 },
        { { 111.5, 71.5 } }, 0.625, 0.625, 1 },
    { "a drag that stays on one value reports once", 0.2, 0.2, { 89, 49 }, { { 89, 49 } }, 0.5, 0.75, 1 },
};

} // namespace

TEST_F(SquareFixture, DragsSetSaturationAndBrightnessExactly)
{
    for (const DragCase& c : kDrags) {
        SCOPED_TRACE(c.why);
        square.setSaturationValue(c.startSaturation);
        square.setBrightnessValue(c.startBrightness);
        QSignalSpy actions(&square, &SaturationBrightnessControl::action);
        press(&square, c.pressAt);
        for (const QPointF& at : c.dragTo)
            dragTo(&square, at);
        release(&square, c.dragTo.empty() ? c.pressAt : c.dragTo.back());
        EXPECT_DOUBLE_EQ(square.saturationValue(), c.saturation);
        EXPECT_DOUBLE_EQ(square.brightnessValue(), c.brightness);
        EXPECT_EQ(actions.count(), c.actions);
        EXPECT_EQ(alpha.color(), square.colorValue());
    }
}

TEST_F(SquareFixture, SlidersFollowAndReport)
{
    QSignalSpy actions(&square, &SaturationBrightnessControl::action);
    // The hue slider's gauge runs from y 9 (hue 1) to y 169 (hue 0).
    press(&hue, QPointF(13, 129));
    release(&hue, QPointF(13, 129));
    EXPECT_DOUBLE_EQ(square.hueValue(), 0.25);
    EXPECT_EQ(actions.count(), 1);
    EXPECT_DOUBLE_EQ(hue.yFromValue(1.0), hue.gaugeBox().top());
    EXPECT_DOUBLE_EQ(hue.yFromValue(0.0), hue.gaugeBox().bottom());

    // A colour of the same opacity sends nothing; another opacity makes one change.
    actions.clear();
    square.setColorValue(RgbColor(0, 1, 0, 1));
    EXPECT_EQ(actions.count(), 0);
    EXPECT_DOUBLE_EQ(square.hueValue(), 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(hue.hueValue(), 1.0 / 3.0);
    square.setColorValue(RgbColor(0, 1, 0, 0.5));
    EXPECT_EQ(actions.count(), 1);
    EXPECT_DOUBLE_EQ(square.alpha(), 0.5);
    const RgbColor green = square.colorValue();
    EXPECT_NEAR(green.red(), 0.0, 1e-12);
    EXPECT_NEAR(green.green(), 1.0, 1e-12);
    EXPECT_NEAR(green.blue(), 0.0, 1e-12);
    EXPECT_EQ(green.alpha(), 0.5);
}

TEST(HsbConversionTest, RoundTripsThroughTheSquare)
{
    const RgbColor colors[] = { RgbColor(1, 0, 0), RgbColor(0.2, 0.4, 0.6, 0.3), RgbColor(0.5, 0.5, 0.5),
        RgbColor(0.9, 0.1, 0.7), RgbColor(0, 0, 0) };
    for (const RgbColor& color : colors) {
        const HsbColor hsb = hsbFromRgb(color);
        const RgbColor back = rgbFromHsb(hsb.hue, hsb.saturation, hsb.brightness, hsb.alpha);
        EXPECT_NEAR(back.red(), color.red(), 1e-12);
        EXPECT_NEAR(back.green(), color.green(), 1e-12);
        EXPECT_NEAR(back.blue(), color.blue(), 1e-12);
        EXPECT_EQ(back.alpha(), color.alpha());
    }
}

// The square as drawn: white at the left, the pure hue at the right, black rising from the bottom.
TEST_F(SquareFixture, DrawsTheColoursItChooses)
{
    square.setHueValue(0.6);
    square.setSaturationValue(0.0);
    square.setBrightnessValue(1.0);
    const QImage image = rendered(&square);
    const QRectF box = square.activeBox();
    // Away from the indicator, at the top-left corner.
    for (double s : { 0.25, 0.5, 0.75, 0.99 }) {
        for (double b : { 0.1, 0.4, 0.7 }) {
            const QPointF at(box.left() + s * box.width(), box.top() + (1 - b) * box.height());
            const QColor expected = rgbFromHsb(0.6, s, b).toQColor();
            const QColor drawn = image.pixelColor(at.toPoint());
            EXPECT_LE(colorDistance(drawn, expected), 6) << "s " << s << " b " << b;
        }
    }
    // The margin stays clear of the colours.
    const QColor margin = image.pixelColor(2, 90);
    EXPECT_TRUE(margin.red() == margin.green() && margin.green() == margin.blue());
}

} // namespace zandrel::test
