#include "graphics/ZDLColor.h"

#include "ColorTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::expectColor;

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

    // The digits name n/255 exactly, so the value is the nearest double, not a float's rounding.
    EXPECT_EQ(ZDLColor::colorFromHexNamed("#FF8000", "Orange")->color(), RgbColor(1.0, 128.0 / 255.0, 0.0));
    // An out-of-range red is clamped into the colour value.
    expectColor(ZDLColor::colorFromHexNamed("#FFFFFFFF", "")->color(), 1.0, 1.0, 1.0, 1.0);
    const ZDLColorPtr translucent = ZDLColor::colorFromHexWithAlphaNamed("#0000FF", 0.25f, "Glass");
    expectColor(translucent->color(), 0, 0, 1, 0.25);
    EXPECT_EQ(translucent->name(), "Glass");
    EXPECT_EQ(translucent->kind(), ColorKindOrdinary);

    const ZDLColorPtr xml = ZDLColor::initWithXMLAttributes({ { "name", "Skin" }, { "color", "#d5b332" } });
    EXPECT_EQ(xml->name(), "Skin");
    EXPECT_EQ(xml->color(), RgbColor(213.0 / 255.0, 179.0 / 255.0, 50.0 / 255.0));
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
        // Shared by every document: an edit reaching one changes none of them.
        row.color->setName(QStringLiteral("Renamed"));
        row.color->setValueForKey(Value(RgbColor(0.5, 0, 0)), ZDLColor::kColorKey);
        EXPECT_EQ(row.color->name(), row.name);
        expectColor(row.color->color(), row.value, row.value, row.value, 1.0);
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
        RgbColor color;
        float a, d;
        double r, g, b, alpha;
    } rows[] = {
        { RgbColor(0.2, 0.6, 1.0, 0.8), 0.5f, -0.7f, 0.06, 0.18, 0.3, 0.4 },
        { RgbColor(0.2, 0.4, 0.6, 1.0), 1.0f, 0.5f, 0.6, 0.7, 0.8, 1.0 },
        { RgbColor(0.2, 0.4, 0.6, 1.0), 1.0f, 0.0f, 0.2, 0.4, 0.6, 1.0 },
        { RgbColor(0.2, 0.4, 0.6, 0.5), 0.5f, 0.0f, 0.2, 0.4, 0.6, 0.25 },
        { RgbColor(0.2, 0.4, 0.6, 1.0), 1.0f, -3.0f, 0.0, 0.0, 0.0, 1.0 }, // beyond black
        { RgbColor(0.2, 0.4, 0.6, 1.0), 1.0f, NAN, 0.2, 0.4, 0.6, 1.0 },
    };
    for (const Row& row : rows) {
        const ZDLColorPtr color = ZDLColor::colorFromNSColor(row.color, "");
        SCOPED_TRACE(testing::Message() << "a " << row.a << " d " << row.d);
        expectColor(color->getNSColorUsingAlphaAndAdjustment(row.a, row.d), row.r, row.g, row.b, row.alpha);
        expectColor(color->getCGColorUsingAlpha(row.a, row.d), row.r, row.g, row.b, row.alpha);
    }

    // The opaque form is the colour as it shows over white, then adjusted.
    struct OpaqueRow {
        RgbColor color;
        float d;
        double r, g, b;
    } opaqueRows[] = {
        { RgbColor(1, 0, 0, 0.25), 0.0f, 1.0, 0.75, 0.75 },
        { RgbColor(1, 0, 0, 0.5), -0.5f, 0.5, 0.25, 0.25 },
        { RgbColor(0, 0, 1, 1), 0.25f, 0.25, 0.25, 1.0 },
        { RgbColor(0, 0, 1, 0), 0.0f, 1.0, 1.0, 1.0 },
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
    color->setValueForKey(Value(RgbColor(0, 0, 1)), "color");
    ASSERT_EQ(seen.size(), 2);
    EXPECT_TRUE(seen[0].startsWith("name:"));
    EXPECT_TRUE(seen[1].startsWith("color:"));
    EXPECT_EQ(color->valueForKey("name").toString(), "Crimson");
    EXPECT_EQ(color->valueForKey("color").toColor(), RgbColor(0, 0, 1));
    color->removeObservers(this);
}

} // namespace
} // namespace zandrel
