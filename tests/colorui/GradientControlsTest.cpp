#include "colorui/ColorPopups.h"
#include "colorui/ColorUiTestSupport.h"
#include "colorui/GradientGeometryControl.h"
#include "colorui/GradientPopups.h"
#include "colorui/GradientRuler.h"

#include <QPushButton>
#include <QSignalSpy>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

namespace zandrel::test {

namespace {

// Stops at 0, 0.3, 0.6 and 1: red, green, blue, white.
GradientPtr fourStops()
{
    auto gradient = std::make_shared<Gradient>();
    gradient->setColor(RgbColor(1, 0, 0), 0);
    gradient->setColor(RgbColor(1, 1, 1), 1);
    gradient->setColor(RgbColor(0, 1, 0), gradient->addColorStopAt(0.3f));
    gradient->setColor(RgbColor(0, 0, 1), gradient->addColorStopAt(0.6f));
    return gradient;
}

// A ruler 100 wide and 300 high: its gauge is (80, 11, 20, 278).
class RulerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        window.resize(300, 400);
        ruler = new GradientRuler(&window);
        ruler->setGeometry(150, 20, 100, 300);
        window.show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        if (ruler->stopColorButton())
            ruler->stopColorButton()->popupController()->close();
    }
    // A point on the handle of a stop.
    QPointF handleOf(int index) const
    {
        return QPointF(10, ruler->yFromLocation(ruler->peekGradient().locationOfStopAtIndex(index)));
    }
    bool stopPopupShown() const
    {
        return ruler->stopColorButton() && ruler->stopColorButton()->popupController()->isShown();
    }
    QWidget window;
    GradientRuler* ruler = nullptr;
};

} // namespace

TEST_F(RulerFixture, GaugeGeometry)
{
    EXPECT_EQ(ruler->gaugeBox(), QRectF(80, 11, 20, 278));
    EXPECT_FLOAT_EQ(ruler->yFromLocation(0), 11.5f);
    EXPECT_FLOAT_EQ(ruler->yFromLocation(1), 288.5f);
    EXPECT_FLOAT_EQ(ruler->locationFromY(0), 0.0f);
    EXPECT_FLOAT_EQ(ruler->locationFromY(400), 1.0f);
    EXPECT_FALSE(ruler->isHorizontal());
}

TEST_F(RulerFixture, AClickOnTheGaugeAddsAStopAndOpensItsColour)
{
    QSignalSpy actions(ruler, &GradientRuler::action);
    click(ruler, QPointF(90, 150));
    ASSERT_EQ(ruler->peekGradient().numStops(), 3);
    EXPECT_EQ(ruler->selectedStop(), 1);
    EXPECT_FLOAT_EQ(ruler->peekGradient().locationOfStopAtIndex(1), ruler->locationFromY(150));
    EXPECT_EQ(actions.count(), 1);
    EXPECT_TRUE(stopPopupShown());

    // A colour chosen in the popup goes into the stop and is reported.
    ColorPopupButton* well = ruler->stopColorButton();
    well->setColor(RgbColor(0, 0, 1));
    well->sendAction();
    EXPECT_EQ(ruler->peekGradient().colorOfStopAtIndex(1), RgbColor(0, 0, 1));
    EXPECT_EQ(actions.count(), 2);

    // Outside the gauge's extent a click deselects and adds nothing.
    well->popupController()->close();
    click(ruler, QPointF(90, 5));
    EXPECT_EQ(ruler->peekGradient().numStops(), 3);
    EXPECT_EQ(ruler->selectedStop(), -1);
}

TEST_F(RulerFixture, DraggedStopsSnapOntoNeighboursAndPassThemFurtherOn)
{
    ruler->setGradientValue(fourStops());
    QSignalSpy actions(ruler, &GradientRuler::action);
    const float successor = ruler->yFromLocation(0.6f);
    press(ruler, handleOf(1));
    EXPECT_EQ(ruler->selectedStop(), 1);
    dragTo(ruler, QPointF(10, successor + 8));
    EXPECT_FLOAT_EQ(ruler->peekGradient().locationOfStopAtIndex(1), 0.6f);
    EXPECT_EQ(ruler->selectedStop(), 1);
    // Sitting on each other, the two stops show as halves; the upper half is the lower index.
    EXPECT_TRUE(ruler->useBeforeHalfForStop(1));
    EXPECT_TRUE(ruler->useAfterHalfForStop(2));
    dragTo(ruler, QPointF(10, successor + 15));
    EXPECT_EQ(ruler->selectedStop(), 2);
    EXPECT_FLOAT_EQ(ruler->peekGradient().locationOfStopAtIndex(2), ruler->locationFromY(successor + 15));
    EXPECT_EQ(ruler->peekGradient().colorOfStopAtIndex(2), RgbColor(0, 1, 0));
    release(ruler, QPointF(10, successor + 15));
    EXPECT_EQ(actions.count(), 2);
    // Moving a stop does not open its colour.
    EXPECT_FALSE(stopPopupShown());
}

TEST_F(RulerFixture, StopsComeOffAwayFromTheRulerAndBackNearIt)
{
    ruler->setGradientValue(fourStops());
    const QPointF start = handleOf(2);
    press(ruler, start);
    dragTo(ruler, QPointF(-41, start.y()));
    EXPECT_EQ(ruler->peekGradient().numStops(), 3);
    EXPECT_EQ(ruler->selectedStop(), -1);
    dragTo(ruler, start);
    ASSERT_EQ(ruler->peekGradient().numStops(), 4);
    EXPECT_EQ(ruler->selectedStop(), 2);
    EXPECT_EQ(ruler->peekGradient().colorOfStopAtIndex(2), RgbColor(0, 0, 1));
    EXPECT_NEAR(ruler->peekGradient().locationOfStopAtIndex(2), 0.6f, 0.005f);
    dragTo(ruler, QPointF(131, start.y()));
    release(ruler, QPointF(131, start.y()));
    EXPECT_EQ(ruler->peekGradient().numStops(), 3);

    // Two stops are the least a gradient has.
    ruler->setGradientValue(std::make_shared<Gradient>());
    press(ruler, handleOf(0));
    dragTo(ruler, QPointF(-100, 40));
    release(ruler, QPointF(-100, 40));
    EXPECT_EQ(ruler->peekGradient().numStops(), 2);
}

TEST_F(RulerFixture, AClickOnAHandleOpensItsColourAndTheGaugeShowsTheGradient)
{
    ruler->setGradientValue(fourStops());
    click(ruler, handleOf(3));
    EXPECT_EQ(ruler->selectedStop(), 3);
    ASSERT_TRUE(stopPopupShown());
    EXPECT_EQ(ruler->stopColorButton()->color(), RgbColor(1, 1, 1));
    ruler->stopColorButton()->popupController()->close();
    ruler->deselectHandle();

    // The gauge, probed clear of the handles' points, against the gradient's own colours.
    const QImage image = rendered(ruler);
    for (float t : { 0.05f, 0.15f, 0.45f, 0.8f, 0.95f }) {
        const QColor drawn = image.pixelColor(95, int(ruler->yFromLocation(t)));
        const QColor expected = ruler->peekGradient().interpolatedColorAtLocation(t).toQColor();
        EXPECT_LE(colorDistance(drawn, expected), 8) << "at " << t;
    }
}

TEST(TurnedRulerTest, WorksAlongItsWidth)
{
    QWidget window;
    auto* ruler = new GradientRuler(&window);
    ruler->setGeometry(10, 10, 200, 48);
    window.resize(240, 100);
    window.show();
    QApplication::processEvents();
    ASSERT_TRUE(ruler->isHorizontal());
    // Location 0 at the left: a click on the gauge near the left adds a stop there.
    const float y = ruler->yFromLocation(0.25f);
    const QPointF onGauge = ruler->rulerToWidget().map(QPointF(ruler->gaugeBox().center().x(), y));
    click(ruler, onGauge);
    ASSERT_EQ(ruler->peekGradient().numStops(), 3);
    EXPECT_NEAR(ruler->peekGradient().locationOfStopAtIndex(1), 0.25f, 0.01f);
    EXPECT_LT(onGauge.y(), 24.0);
    ruler->stopColorButton()->popupController()->close();
}

namespace {

struct AngleCase {
    const char* why;
    double degrees; // direction of the drag from the centre, y downward
    Qt::KeyboardModifiers modifiers;
    float angle;
};

const AngleCase kAngles[] = {
    { "straight right", 0, Qt::NoModifier, 0.0f },
    { "straight up", -90, Qt::NoModifier, -90.0f },
    { "43 degrees sticks to 45", 43, Qt::NoModifier, 45.0f },
    { "43 degrees with Ctrl stays", 43, Qt::ControlModifier, 43.0f },
    { "-138 degrees sticks to -135", -138, Qt::NoModifier, -135.0f },
    { "30 degrees stays", 30, Qt::NoModifier, 30.0f },
};

} // namespace

TEST(GradientGeometryTest, DragsTurnTheLinearAngle)
{
    GradientGeometryControl control;
    control.setFixedSize(100, 100);
    for (const AngleCase& c : kAngles) {
        SCOPED_TRACE(c.why);
        const double radians = c.degrees * std::numbers::pi / 180;
        const QPointF at(50 + 40 * std::cos(radians), 50 + 40 * std::sin(radians));
        press(&control, at, c.modifiers);
        release(&control, at);
        EXPECT_NEAR(control.gradientFillValue()->linearAngle(), c.angle, 1e-3);
    }
}

TEST(GradientGeometryTest, DragsMoveTheRadialCentreAndTheTypeReportsOnlyChanges)
{
    GradientGeometryControl control;
    control.setFixedSize(100, 100);
    SegmentedControl type({ QStringLiteral("Linear"), QStringLiteral("Radial") });
    GradientRuler ruler;
    ruler.setFixedSize(40, 200);
    control.linkControls(&ruler, &type);
    EXPECT_EQ(type.selectedSegment(), 0);
    QSignalSpy actions(&control, &GradientGeometryControl::action);
    type.setSelectedSegment(1);
    emit type.action();
    EXPECT_EQ(control.gradientFillValue()->gradientType(), GradientTypeRadial);
    emit type.action();
    EXPECT_EQ(actions.count(), 1);

    // The preview is (4, 4, 92, 92).
    press(&control, QPointF(96, 96));
    EXPECT_EQ(control.gradientFillValue()->relativeCenter(), QPointF(1, 1));
    dragTo(&control, QPointF(130, 120));
    EXPECT_EQ(control.gradientFillValue()->relativeCenter(), QPointF(1, 1));
    dragTo(&control, QPointF(52, 27));
    release(&control, QPointF(52, 27));
    EXPECT_EQ(control.gradientFillValue()->relativeCenter().x(), 0.0);
    EXPECT_FLOAT_EQ(float(control.gradientFillValue()->relativeCenter().y()), -0.5f);

    // Setting a fill loads the linked controls and reports nothing.
    actions.clear();
    GradientFill fill;
    fill.setGradient(fourStops());
    control.setGradientFillValue(fill);
    EXPECT_EQ(actions.count(), 0);
    EXPECT_EQ(type.selectedSegment(), 0);
    EXPECT_EQ(ruler.peekGradient().numStops(), 4);
    // The ruler's edits come back into the fill.
    ruler.setGradientValue(std::make_shared<Gradient>());
    emit ruler.action();
    EXPECT_EQ(control.gradientFillValue()->peekGradient()->numStops(), 2);
    EXPECT_EQ(actions.count(), 1);
}

TEST(GradientPopupTest, ModalAndModelessWellsReportAsTheyShould)
{
    QWidget window;
    window.resize(300, 200);
    auto* well = new GradientPopupButton(&window);
    well->setGeometry(20, 20, 60, 24);
    window.show();
    QApplication::processEvents();
    QSignalSpy actions(well, &GradientPopupButton::action);
    int commits = 0;
    well->setCommitHandler([&](PopupWell*) { ++commits; });

    // A copy is handed out.
    well->gradientFillValue()->setLinearAngle(10);
    EXPECT_EQ(well->gradientFillValue()->linearAngle(), 90.0f);

    GradientPopupController* popup = well->popupController();
    click(well, QPointF(10, 10));
    ASSERT_TRUE(popup->isShown());
    EXPECT_FALSE(popup->cancelButton()->isHidden());
    press(popup->gradientControl(), QPointF(140, 75));
    release(popup->gradientControl(), QPointF(140, 75));
    EXPECT_EQ(well->gradientFillValue()->linearAngle(), 0.0f);
    EXPECT_EQ(actions.count(), 0);
    popup->okButton()->click();
    EXPECT_EQ(actions.count(), 1);
    EXPECT_EQ(commits, 1);
    EXPECT_FALSE(popup->isShown());

    // Cancel puts back the value of the opening and reports nothing.
    click(well, QPointF(10, 10));
    press(popup->gradientControl(), QPointF(75, 10));
    release(popup->gradientControl(), QPointF(75, 10));
    popup->cancelButton()->click();
    EXPECT_EQ(well->gradientFillValue()->linearAngle(), 0.0f);
    EXPECT_EQ(actions.count(), 1);

    // A modeless well without a cancel handler has no Cancel and reports every change.
    well->setModeless(true);
    click(well, QPointF(10, 10));
    EXPECT_TRUE(popup->cancelButton()->isHidden());
    press(popup->gradientControl(), QPointF(75, 10));
    release(popup->gradientControl(), QPointF(75, 10));
    EXPECT_EQ(actions.count(), 2);
    popup->close();

    // A disabled well does not open.
    well->setEnabled(false);
    click(well, QPointF(10, 10));
    EXPECT_FALSE(popup->isShown());
}

} // namespace zandrel::test
