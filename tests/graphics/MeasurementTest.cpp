#include "graphics/Measurement.h"

#include "app/core/ZDLAppController.h"
#include "graphics/DefaultsExtensions.h"
#include "platform/UserDefaults.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

namespace zandrel {
namespace {

class MeasurementTest : public testing::Test {
protected:
    void SetUp() override { ZDLAppController::install(std::make_unique<ZDLAppController>()); }
    void TearDown() override { ZDLAppController::install(std::make_unique<ZDLAppController>()); }
};

TEST_F(MeasurementTest, FollowsTheDisplayUnits)
{
    appController()->setMeasurementUnits(ZDLAppController::Inches);
    Measurement length(144.0f);
    EXPECT_EQ(length.pixels(), 144.0f);
    EXPECT_EQ(length.units(), 2.0f);

    appController()->setMeasurementUnits(ZDLAppController::Centimetres);
    EXPECT_FLOAT_EQ(length.units(), 5.08f);
    EXPECT_EQ(length.units(), 144.0f / 28.346457f);
    EXPECT_EQ(length.pixels(), 144.0f);

    appController()->setMeasurementUnits(ZDLAppController::Pixels);
    EXPECT_EQ(length.units(), 144.0f);
    EXPECT_EQ(length.pixels(), 144.0f);
}

TEST_F(MeasurementTest, SettersKeepBothValuesInStep)
{
    appController()->setMeasurementUnits(ZDLAppController::Inches);
    Measurement length;
    EXPECT_EQ(length.units(), 0.0f);
    EXPECT_EQ(length.pixels(), 0.0f);
    length.setUnits(1.0f);
    EXPECT_EQ(length.pixels(), 72.0f);
    length.setPixels(36.0f);
    EXPECT_EQ(length.units(), 0.5f);

    appController()->setMeasurementUnits(ZDLAppController::Pixels);
    length.setUnits(1.0f);
    EXPECT_EQ(length.pixels(), 1.0f);

    // By name, as bound fields set them.
    length.setValueForKey(Value(3.0), QStringLiteral("pixels"));
    EXPECT_EQ(length.units(), 3.0f);
}

TEST_F(MeasurementTest, RoundingNeverBouncesBetweenTheSetters)
{
    appController()->setMeasurementUnits(ZDLAppController::Centimetres);
    Measurement length;
    // Many of these do not survive a round trip through the two float conversions; the value the
    // caller set must stay exactly as given and the exchange must end.
    for (int i = 1; i < 2000; ++i) {
        const float units = static_cast<float>(i) * 0.013f;
        length.setUnits(units);
        EXPECT_EQ(length.units(), units);
        EXPECT_EQ(length.pixels(), appController()->getPixelsFromUnits(units));

        const float pixels = static_cast<float>(i) * 0.37f;
        length.setPixels(pixels);
        EXPECT_EQ(length.pixels(), pixels);
        EXPECT_EQ(length.units(), appController()->getUnitsFromPixels(pixels));
    }
}

TEST_F(MeasurementTest, ObserversOfBothKeysHearOneChangeEach)
{
    appController()->setMeasurementUnits(ZDLAppController::Inches);
    auto length = std::make_shared<Measurement>(72.0f);
    QStringList heard;
    const auto record = [&](Object&, const QString& key, const Value& oldValue, const Value& newValue) {
        heard.append(QStringLiteral("%1 %2->%3").arg(key).arg(oldValue.toFloat()).arg(newValue.toFloat()));
    };
    length->addObserver(QString(), this, record);

    length->setPixels(144.0f);
    heard.sort();
    EXPECT_EQ(heard, QStringList({ "pixels 72->144", "units 1->2" }));

    heard.clear();
    appController()->setMeasurementUnits(ZDLAppController::Pixels);
    EXPECT_EQ(heard, QStringList({ "units 2->144" }));

    // Setting what is already stored converts to the same value and stops there.
    heard.clear();
    length->setUnits(144.0f);
    EXPECT_EQ(heard, QStringList({ "units 144->144" }));
}

TEST_F(MeasurementTest, NilLeavesTheLengthAsItWas)
{
    appController()->setMeasurementUnits(ZDLAppController::Inches);
    Measurement length(144.0f);
    length.setValueForKey(Value(), QStringLiteral("units"));
    length.setValueForKey(Value(), QStringLiteral("pixels"));
    EXPECT_EQ(length.units(), 2.0f);
    EXPECT_EQ(length.pixels(), 144.0f);
}

TEST_F(MeasurementTest, DestroyedMeasurementStopsListening)
{
    auto length = std::make_unique<Measurement>(10.0f);
    length.reset();
    // Would reach freed memory if the measurement still observed the units.
    appController()->setMeasurementUnits(ZDLAppController::Centimetres);
    Measurement other(28.346457f);
    EXPECT_EQ(other.units(), 1.0f);
}

TEST(DefaultsExtensions, ColoursRoundTripThroughTheDefaults)
{
    UserDefaults defaults;
    const QString key = QStringLiteral("testHairColor");
    defaults.remove(key);
    EXPECT_FALSE(zdlColorForKey(defaults, key).has_value());

    const QColor color = QColor::fromRgbF(0.2f, 0.4f, 0.6f, 0.5f);
    zdlSetColor(defaults, color, key);
    const auto stored = zdlColorForKey(defaults, key);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->rgba(), color.rgba());

    // An invalid colour stores nothing rather than something that reads back differently.
    zdlSetColor(defaults, QColor(), key);
    EXPECT_FALSE(zdlColorForKey(defaults, key).has_value());
}

} // namespace
} // namespace zandrel
