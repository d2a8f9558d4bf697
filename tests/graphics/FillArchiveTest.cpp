#include "graphics/ColorFill.h"
#include "graphics/Gradient.h"
#include "graphics/GradientColorStop.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLColor.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/PropertyList.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using K = PropertyList::Kind;

class FillArchiveTest : public ::testing::Test {
protected:
    void SetUp() override { ClassRegistry::shared().registerOnce(&registerColorAndFillClasses); }

    static Value roundTrip(const Value& root, const QStringList& allowed)
    {
        return KeyedUnarchiver::unarchive(KeyedArchiver::archivedData(root), allowed);
    }
    template <class T> static std::shared_ptr<T> roundTrip(const ObjectPtr& object, const QString& className)
    {
        return roundTrip(Value(object), { className }).toObject<T>();
    }
};

// An archived object of another version: any keys under one of our class names.
class HandWritten : public Object {
public:
    HandWritten(QString className, std::function<void(KeyedArchiver&)> write)
        : m_className(std::move(className))
        , m_write(std::move(write))
    {
    }
    QString className() const override { return m_className; }
    void encodeWithCoder(KeyedArchiver& coder) const override { m_write(coder); }

private:
    QString m_className;
    std::function<void(KeyedArchiver&)> m_write;
};

// The keys of the root object in the order written (without "$class"), with their stored kinds.
std::pair<QStringList, QList<K>> rootKeys(const ObjectPtr& object, QString* className = nullptr)
{
    const PropertyList list = PropertyList::fromBinary(KeyedArchiver::archivedDataWithRootObject(object));
    const auto top = list.valueForKey(list.root(), u"$top");
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(top, u"root"))];
    QStringList keys;
    QList<K> kinds;
    for (qsizetype i = 0; i < list.count(root); ++i) {
        const QString key = list.string(list.keys(root)[i]);
        if (key == "$class")
            continue;
        keys.append(key);
        kinds.append(list.kind(list.values(root)[i]));
    }
    if (className) {
        const auto record = objects[list.uid(list.valueForKey(root, u"$class"))];
        *className = list.string(list.valueForKey(record, u"$classname"));
    }
    return { keys, kinds };
}

TEST_F(FillArchiveTest, KeysAndTypesWritten)
{
    struct Row {
        ObjectPtr object;
        QString className;
        QStringList keys;
        QList<K> kinds;
    } rows[] = {
        { ZDLColor::colorFromHexNamed("#102030", "Ink"), "ZDLColor", { "name", "color", "kind" },
            { K::Uid, K::Uid, K::Int } },
        { ZDLColor::blackColor(), "ZDLColor", { "name", "color", "kind" }, { K::Uid, K::Uid, K::Int } },
        { std::make_shared<ColorFill>(), "ColorFill", { "color", "adjust" }, { K::Uid, K::Real32 } },
        { std::make_shared<GradientFill>(), "GradientFill",
            { "gradient", "type", "xCenter", "yCenter", "angle" },
            { K::Uid, K::Int, K::Real32, K::Real32, K::Real32 } },
        { std::make_shared<Gradient>(), "Gradient", { "stops" }, { K::Uid } },
        { GradientColorStop::initWithColor(RgbColor(1, 0, 0), 0.5f), "GradientColorStop",
            { "color", "location" }, { K::Uid, K::Real32 } },
    };
    for (const Row& row : rows) {
        QString className;
        const auto [keys, kinds] = rootKeys(row.object, &className);
        EXPECT_EQ(className, row.className);
        EXPECT_EQ(keys, row.keys) << row.className.toStdString();
        EXPECT_EQ(kinds, row.kinds) << row.className.toStdString();
    }
}

TEST_F(FillArchiveTest, ColoursReadBackEqualAndSharedOnesIdentical)
{
    const ZDLColorPtr ink = ZDLColor::colorFromHexWithAlphaNamed("#d5b332", 0.5f, "Ink");
    const ValueList palette { ZDLColor::noneColor(), ZDLColor::blackColor(), ZDLColor::whiteColor(), ink,
        ink };
    const ValueList read = roundTrip(Value(palette), { "NSArray", "ZDLColor" }).toList();
    ASSERT_EQ(read.size(), 5);
    EXPECT_EQ(read[0].toObject<ZDLColor>(), ZDLColor::noneColor());
    EXPECT_EQ(read[1].toObject<ZDLColor>(), ZDLColor::blackColor());
    EXPECT_EQ(read[2].toObject<ZDLColor>(), ZDLColor::whiteColor());
    const auto readInk = read[3].toObject<ZDLColor>();
    ASSERT_TRUE(readInk);
    EXPECT_NE(readInk, ink);
    EXPECT_EQ(read[4].toObject<ZDLColor>(), readInk); // one colour referred to twice stays one
    EXPECT_EQ(readInk->name(), "Ink");
    EXPECT_EQ(readInk->kind(), ColorKindOrdinary);
    EXPECT_EQ(readInk->color(), ink->color());
}

TEST_F(FillArchiveTest, FillsReferToTheSharedColoursAfterReading)
{
    // The fills come before the palette, so their colours are first met from inside a fill.
    auto onBlack = std::make_shared<ColorFill>();
    onBlack->setFillColor(ZDLColor::blackColor());
    auto onNone = std::make_shared<ColorFill>();
    onNone->setFillColor(ZDLColor::noneColor());
    const ValueList palette { ZDLColor::noneColor(), ZDLColor::blackColor(), ZDLColor::whiteColor() };
    const ValueList archived { onBlack, onNone, std::make_shared<ColorFill>(), Value(palette) };
    const ValueList read = roundTrip(Value(archived), { "NSArray", "ColorFill", "ZDLColor" }).toList();
    ASSERT_EQ(read.size(), 4);
    EXPECT_EQ(read[0].toObject<ColorFill>()->fillColor(), ZDLColor::blackColor());
    EXPECT_EQ(read[1].toObject<ColorFill>()->fillColor(), ZDLColor::noneColor());
    EXPECT_TRUE(read[1].toObject<ColorFill>()->isNone());
    EXPECT_EQ(read[2].toObject<ColorFill>()->fillColor(), ZDLColor::whiteColor());
    const ValueList readPalette = read[3].toList();
    ASSERT_EQ(readPalette.size(), 3);
    EXPECT_EQ(readPalette[1].toObject<ZDLColor>(), ZDLColor::blackColor());
}

TEST_F(FillArchiveTest, OlderColourArchives)
{
    using Write = std::function<void(KeyedArchiver&)>;
    enum Expect { None, Black, White, Nil, Ordinary };
    struct Row {
        const char* what;
        Write write;
        Expect expect;
        RgbColor value; // for ordinary colours; invalid: no value
    } rows[] = {
        { "none flag", [](KeyedArchiver& c) { c.encodeBool(true, "none"); }, None, {} },
        { "locked Black",
            [](KeyedArchiver& c) {
                c.encodeBool(true, "locked");
                c.encodeObject(Value("Black"), "name");
            },
            Black, {} },
        { "locked White",
            [](KeyedArchiver& c) {
                c.encodeBool(true, "locked");
                c.encodeObject(Value("White"), "name");
            },
            White, {} },
        { "locked, another name",
            [](KeyedArchiver& c) {
                c.encodeBool(true, "locked");
                c.encodeObject(Value("Grey"), "name");
            },
            Nil, {} },
        { "unlocked with components",
            [](KeyedArchiver& c) {
                c.encodeObject(Value("Old"), "name");
                c.encodeFloat(1.0f, "r");
                c.encodeFloat(0.5f, "g");
                c.encodeFloat(0.25f, "b");
            },
            Ordinary, RgbColor(1.0, 0.5, 0.25) },
        { "unlocked with a colour",
            [](KeyedArchiver& c) {
                c.encodeObject(Value("Old"), "name");
                c.encodeObject(Value(RgbColor(0.1, 0.3, 1.0 / 3)), "color");
            },
            Ordinary, RgbColor(0.1, 0.3, 1.0 / 3) },
        { "a colour of another class",
            [](KeyedArchiver& c) {
                c.encodeObject(Value("Old"), "name");
                c.encodeObject(Value("#0000FF"), "color");
            },
            Ordinary, RgbColor() },
        { "kind 1 wins over the name",
            [](KeyedArchiver& c) {
                c.encodeObject(Value("White"), "name");
                c.encodeInt32(1, "kind");
            },
            Black, {} },
        { "unknown kind",
            [](KeyedArchiver& c) {
                c.encodeObject(Value("Old"), "name");
                c.encodeObject(Value(RgbColor(0, 1, 0)), "color");
                c.encodeInt32(7, "kind");
            },
            Ordinary, RgbColor(0, 1, 0) },
        { "non-finite components",
            [](KeyedArchiver& c) {
                c.encodeFloat(std::numeric_limits<float>::quiet_NaN(), "r");
                c.encodeFloat(std::numeric_limits<float>::infinity(), "g");
                c.encodeFloat(-2.0f, "b");
            },
            Ordinary, RgbColor(0, 1, 0) },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const auto read
            = roundTrip(Value(std::make_shared<HandWritten>("ZDLColor", row.write)), { "ZDLColor" })
                  .toObject<ZDLColor>();
        switch (row.expect) {
        case None:
            EXPECT_EQ(read, ZDLColor::noneColor());
            break;
        case Black:
            EXPECT_EQ(read, ZDLColor::blackColor());
            break;
        case White:
            EXPECT_EQ(read, ZDLColor::whiteColor());
            break;
        case Nil:
            EXPECT_FALSE(read);
            break;
        case Ordinary:
            ASSERT_TRUE(read);
            EXPECT_EQ(read->kind(), ColorKindOrdinary);
            EXPECT_EQ(read->color(), row.value);
            break;
        }
    }
}

TEST_F(FillArchiveTest, FillsAndGradientsReadBackEqual)
{
    const ZDLColorPtr paint = ZDLColor::colorFromHexNamed("#336699", "Paint");
    auto colorFill = std::make_shared<ColorFill>();
    colorFill->setFillColor(paint);
    colorFill->setFillColorAdjust(-0.3f);
    auto otherFill = std::make_shared<ColorFill>();
    otherFill->setFillColor(paint);

    auto gradientFill = std::make_shared<GradientFill>();
    GradientPtr gradient = gradientFill->gradient();
    gradient->addColorStopAt(0.25f);
    gradient->setColor(RgbColor(1, 0, 0, 0.5), 1);
    gradientFill->setGradient(gradient);
    gradientFill->setGradientType(GradientTypeRadial);
    gradientFill->setRelativeCenter({ 0.1, -0.3 });
    gradientFill->setLinearAngle(33.5f);

    const ValueList read = roundTrip(
        Value(ValueList { colorFill, otherFill, gradientFill }), { "NSArray", "ColorFill", "GradientFill" })
                               .toList();
    ASSERT_EQ(read.size(), 3);
    const auto readColor = read[0].toObject<ColorFill>();
    const auto readOther = read[1].toObject<ColorFill>();
    const auto readGradient = read[2].toObject<GradientFill>();
    ASSERT_TRUE(readColor && readOther && readGradient);
    ASSERT_TRUE(readColor->fillColor());
    EXPECT_EQ(readColor->fillColor()->name(), "Paint");
    EXPECT_EQ(readOther->fillColor(), readColor->fillColor()); // the palette colour stays shared
    EXPECT_EQ(readColor->fillColorAdjust(), -0.3f);

    EXPECT_EQ(readGradient->gradientType(), GradientTypeRadial);
    // The centre is stored in single precision.
    EXPECT_EQ(readGradient->relativeCenter(), QPointF(double(0.1f), double(-0.3f)));
    EXPECT_EQ(readGradient->linearAngle(), 33.5f);
    const Gradient* stops = readGradient->peekGradient();
    ASSERT_TRUE(stops);
    ASSERT_EQ(stops->numStops(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(stops->locationOfStopAtIndex(i), gradient->locationOfStopAtIndex(i));
        EXPECT_EQ(stops->colorOfStopAtIndex(i), gradient->colorOfStopAtIndex(i));
    }
}

TEST_F(FillArchiveTest, MissingKeysReadAsNothingOrZero)
{
    const auto colorFill = roundTrip<ColorFill>(
        std::make_shared<HandWritten>("ColorFill", [](KeyedArchiver&) {}), "ColorFill");
    ASSERT_TRUE(colorFill);
    EXPECT_FALSE(colorFill->fillColor());
    EXPECT_TRUE(colorFill->isNone());
    EXPECT_EQ(colorFill->fillColorAdjust(), 0.0f);

    // Without "angle" the angle is 0, not the 90 of a new fill.
    const auto gradientFill = roundTrip<GradientFill>(
        std::make_shared<HandWritten>("GradientFill",
            [](KeyedArchiver& c) { c.encodeObject(std::make_shared<Gradient>(), "gradient"); }),
        "GradientFill");
    ASSERT_TRUE(gradientFill);
    EXPECT_EQ(gradientFill->linearAngle(), 0.0f);
    EXPECT_EQ(gradientFill->gradientType(), GradientTypeLinear);
    EXPECT_EQ(gradientFill->relativeCenter(), QPointF(0, 0));
    ASSERT_TRUE(gradientFill->peekGradient());
    EXPECT_EQ(gradientFill->peekGradient()->numStops(), 2);

    const auto empty = roundTrip<GradientFill>(
        std::make_shared<HandWritten>("GradientFill", [](KeyedArchiver&) {}), "GradientFill");
    ASSERT_TRUE(empty);
    EXPECT_FALSE(empty->gradient());
    EXPECT_FALSE(empty->isNone());

    const auto stop = roundTrip<GradientColorStop>(
        std::make_shared<HandWritten>("GradientColorStop", [](KeyedArchiver&) {}), "GradientColorStop");
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->location(), 0.0f);
    EXPECT_FALSE(stop->color().isValid());
}

TEST_F(FillArchiveTest, DamagedGradientsAreRepaired)
{
    auto stop = [](Qt::GlobalColor color, float location) {
        return Value(GradientColorStop::initWithColor(RgbColor::fromQColor(color), location));
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Row {
        const char* what;
        ValueList stops;
        std::vector<float> expected;
    } rows[] = {
        { "no stops", {}, { 0, 1 } },
        { "one stop", { stop(Qt::red, 0.5f) }, { 0, 1 } },
        { "out of order", { stop(Qt::red, 0.8f), stop(Qt::blue, 0.2f), stop(Qt::green, 0.5f) },
            { 0.2f, 0.5f, 0.8f } },
        { "out of range", { stop(Qt::red, -1.0f), stop(Qt::blue, 7.0f) }, { 0, 1 } },
        { "not a number", { stop(Qt::red, nan), stop(Qt::blue, 0.5f) }, { 0, 0.5f } },
        // A member of another class is dropped; the stops stay.
        { "a member of another class", { Value("stop"), stop(Qt::red, 0.1f), stop(Qt::blue, 0.9f) },
            { 0.1f, 0.9f } },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const ValueList stops = row.stops;
        const auto read
            = roundTrip<Gradient>(std::make_shared<HandWritten>("Gradient",
                                      [stops](KeyedArchiver& c) { c.encodeObject(Value(stops), "stops"); }),
                "Gradient");
        ASSERT_TRUE(read);
        std::vector<float> locations;
        for (int i = 0; i < read->numStops(); ++i)
            locations.push_back(read->locationOfStopAtIndex(i));
        EXPECT_EQ(locations, row.expected);
        EXPECT_EQ(read->nsGradient().size(), read->numStops());
    }

    // Non-finite scalars of a fill read as 0.
    const auto fill
        = roundTrip<GradientFill>(std::make_shared<HandWritten>("GradientFill",
                                      [](KeyedArchiver& c) {
                                          c.encodeFloat(std::numeric_limits<float>::infinity(), "angle");
                                          c.encodeFloat(std::numeric_limits<float>::quiet_NaN(), "xCenter");
                                          c.encodeInteger(qint64(1) << 40, "type");
                                      }),
            "GradientFill");
    ASSERT_TRUE(fill);
    EXPECT_EQ(fill->linearAngle(), 0.0f);
    EXPECT_EQ(fill->relativeCenter(), QPointF(0, 0));
    EXPECT_NE(fill->gradientType(), GradientTypeLinear); // a large type stays radial
}

} // namespace
} // namespace zandrel
