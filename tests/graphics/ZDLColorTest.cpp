#include "graphics/ZDLColor.h"

#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// Colour values are held in 16 bits per component.
constexpr double kTolerance = 1.0 / 65535.0 + 1e-7;

void expectColor(const QColor& actual, double r, double g, double b, double a)
{
    ASSERT_TRUE(actual.isValid());
    EXPECT_NEAR(actual.redF(), r, kTolerance);
    EXPECT_NEAR(actual.greenF(), g, kTolerance);
    EXPECT_NEAR(actual.blueF(), b, kTolerance);
    EXPECT_NEAR(actual.alphaF(), a, kTolerance);
}

TEST(ZDLColorTest, ValidHexText)
{
    struct Row {
        QString text;
        bool valid;
    } rows[] = {
        { "#00ff7F", true },
        { "#d5b332", true },
        { "#00ff7", false }, // too short
        { "000ff7F", false }, // no "#"
        { "#00ff7G", false }, // not a digit
        { "#00ff7F0", false }, // too long
        { "# 0ff7F", false },
        { QString(), false },
    };
    for (const Row& row : rows)
        EXPECT_EQ(ZDLColor::validHexColor(row.text), row.valid) << row.text.toStdString();
}

TEST(ZDLColorTest, ReadsHexAsOneNumber)
{
    struct Row {
        QString text;
        float r, g, b;
    } rows[] = {
        { "#FF8000", 1.0f, 128.0f / 255.0f, 0.0f },
        { "#d5b332", 213.0f / 255.0f, 179.0f / 255.0f, 50.0f / 255.0f },
        { "#123", 0.0f, 1.0f / 255.0f, 35.0f / 255.0f }, // short text: one number, low bits first
        { "#FFFFFFFF", 65535.0f / 255.0f, 1.0f, 1.0f }, // red takes every bit from 16 up
        { "#", 0.0f, 0.0f, 0.0f },
        { "#zz", 0.0f, 0.0f, 0.0f },
    };
    for (const Row& row : rows) {
        float r = -1, g = -1, b = -1;
        ZDLColor::fromHex(row.text, &r, &g, &b);
        EXPECT_FLOAT_EQ(r, row.r) << row.text.toStdString();
        EXPECT_FLOAT_EQ(g, row.g) << row.text.toStdString();
        EXPECT_FLOAT_EQ(b, row.b) << row.text.toStdString();
    }
    ZDLColor::fromHex("#FF8000", nullptr, nullptr, nullptr); // no out-parameters: no crash

    expectColor(ZDLColor::colorFromHexNamed("#FF8000", "Orange")->color(), 1.0, 128.0 / 255.0, 0.0, 1.0);
    // An out-of-range red is clamped into the colour value.
    expectColor(ZDLColor::colorFromHexNamed("#FFFFFFFF", "")->color(), 1.0, 1.0, 1.0, 1.0);
    const ZDLColorPtr translucent = ZDLColor::colorFromHexWithAlphaNamed("#0000FF", 0.25f, "Glass");
    expectColor(translucent->color(), 0, 0, 1, 0.25);
    EXPECT_EQ(translucent->name(), "Glass");
    EXPECT_EQ(translucent->kind(), ColorKindOrdinary);

    const ZDLColorPtr xml = ZDLColor::initWithXMLAttributes({ { "name", "Skin" }, { "color", "#d5b332" } });
    EXPECT_EQ(xml->name(), "Skin");
    expectColor(xml->color(), 213.0 / 255.0, 179.0 / 255.0, 50.0 / 255.0, 1.0);
}

TEST(ZDLColorTest, SharedInstances)
{
    struct Row {
        ZDLColorPtr color;
        int kind;
        const char* name;
        double value;
    } rows[] = {
        { ZDLColor::noneColor(), ColorKindNone, "None", 1.0 },
        { ZDLColor::blackColor(), ColorKindBlack, "Black", 0.0 },
        { ZDLColor::whiteColor(), ColorKindWhite, "White", 1.0 },
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.color->kind(), row.kind);
        EXPECT_EQ(row.color->name(), row.name);
        EXPECT_TRUE(row.color->locked());
        EXPECT_EQ(row.color->isNone(), row.kind == ColorKindNone);
        expectColor(row.color->color(), row.value, row.value, row.value, 1.0);
        EXPECT_EQ(row.color->copy(), row.color); // never duplicated
    }
    EXPECT_EQ(ZDLColor::blackColor(), ZDLColor::blackColor());

    const ZDLColor fresh;
    EXPECT_EQ(fresh.name(), "");
    EXPECT_EQ(fresh.kind(), ColorKindOrdinary);
    EXPECT_FALSE(fresh.locked());
    expectColor(fresh.color(), 1, 1, 1, 1);
}

TEST(ZDLColorTest, CopiesAndComparisons)
{
    const ZDLColorPtr red = ZDLColor::colorFromHexNamed("#FF0000", "Red");
    const ZDLColorPtr copy = red->copy();
    EXPECT_NE(copy, red);
    EXPECT_EQ(copy->name(), "Red");
    EXPECT_EQ(copy->kind(), ColorKindOrdinary);
    EXPECT_EQ(copy->color(), red->color());

    const ZDLColorPtr otherRed = ZDLColor::colorFromHexNamed("#FF0000", "Scarlet");
    const ZDLColorPtr white = ZDLColor::colorFromHexNamed("#FFFFFF", "Paper");
    EXPECT_TRUE(red->isSameColorAs(otherRed)); // names do not count
    EXPECT_FALSE(red->isSameColorAs(white));
    EXPECT_FALSE(ZDLColor::noneColor()->isSameColorAs(white)); // equal values, but one is none
    EXPECT_TRUE(ZDLColor::whiteColor()->isSameColorAs(white));
    EXPECT_FALSE(red->isSameColorAs(nullptr));

    EXPECT_TRUE(red->description().startsWith("ZDLColor Red "));
}

TEST(ZDLColorTest, Adjustments)
{
    // (colour, alpha factor, adjustment) -> expected; the adjustment keeps the alpha.
    struct Row {
        QColor color;
        float a, d;
        double r, g, b, alpha;
    } rows[] = {
        { QColor::fromRgbF(0.2f, 0.6f, 1.0f, 0.8f), 0.5f, -0.7f, 0.06, 0.18, 0.3, 0.4 },
        { QColor::fromRgbF(0.2f, 0.4f, 0.6f, 1.0f), 1.0f, 0.5f, 0.6, 0.7, 0.8, 1.0 },
        { QColor::fromRgbF(0.2f, 0.4f, 0.6f, 1.0f), 1.0f, 0.0f, 0.2, 0.4, 0.6, 1.0 },
        { QColor::fromRgbF(0.2f, 0.4f, 0.6f, 0.5f), 0.5f, 0.0f, 0.2, 0.4, 0.6, 0.25 },
        { QColor::fromRgbF(0.2f, 0.4f, 0.6f, 1.0f), 1.0f, -3.0f, 0.0, 0.0, 0.0, 1.0 }, // beyond black
        { QColor::fromRgbF(0.2f, 0.4f, 0.6f, 1.0f), 1.0f, NAN, 0.2, 0.4, 0.6, 1.0 },
    };
    for (const Row& row : rows) {
        const ZDLColorPtr color = ZDLColor::colorFromNSColor(row.color, "");
        SCOPED_TRACE(testing::Message() << "a " << row.a << " d " << row.d);
        expectColor(color->getNSColorUsingAlphaAndAdjustment(row.a, row.d), row.r, row.g, row.b, row.alpha);
        expectColor(color->getCGColorUsingAlpha(row.a, row.d), row.r, row.g, row.b, row.alpha);
    }

    // The opaque form is the colour as it shows over white, then adjusted.
    struct OpaqueRow {
        QColor color;
        float d;
        double r, g, b;
    } opaqueRows[] = {
        { QColor::fromRgbF(1, 0, 0, 0.25f), 0.0f, 1.0, 0.75, 0.75 },
        { QColor::fromRgbF(1, 0, 0, 0.5f), -0.5f, 0.5, 0.25, 0.25 },
        { QColor::fromRgbF(0, 0, 1, 1), 0.25f, 0.25, 0.25, 1.0 },
        { QColor::fromRgbF(0, 0, 1, 0), 0.0f, 1.0, 1.0, 1.0 },
    };
    for (const OpaqueRow& row : opaqueRows) {
        const ZDLColorPtr color = ZDLColor::colorFromNSColor(row.color, "");
        expectColor(color->getOpaqueColorUsingAdjustment(row.d), row.r, row.g, row.b, 1.0);
    }
}

TEST(ZDLColorTest, NameAndColorAreObservable)
{
    const ZDLColorPtr color = ZDLColor::colorFromHexNamed("#FF0000", "Red");
    QStringList seen;
    color->addObserver(
        QString(), this, [&seen](Object&, const QString& key, const Value& oldValue, const Value& newValue) {
            seen << key + ":" + oldValue.toDebugString() + "->" + newValue.toDebugString();
        });
    color->setName("Crimson");
    color->setValueForKey(Value(QColor(Qt::blue)), "color");
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].startsWith("name:"));
    EXPECT_TRUE(seen[1].startsWith("color:"));
    EXPECT_EQ(color->valueForKey("name").toString(), "Crimson");
    EXPECT_EQ(color->valueForKey("color").toColor(), QColor(Qt::blue));
    color->removeObservers(this);
}

} // namespace
} // namespace zandrel
