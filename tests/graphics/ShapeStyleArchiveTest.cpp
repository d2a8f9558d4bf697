#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/NamedShapeStyle.h"
#include "graphics/ShapeStyle.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/PropertyList.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

class ShapeStyleArchiveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClassRegistry::shared().registerOnce(&registerColorAndFillClasses);
        ClassRegistry::shared().registerOnce(&registerShapeStyleClasses);
    }

    template <class T>
    static std::shared_ptr<T> roundTrip(const ObjectPtr& object, const QStringList& allowed)
    {
        const QByteArray data = KeyedArchiver::archivedDataWithRootObject(object);
        return KeyedUnarchiver::unarchive(data, allowed).toObject<T>();
    }
};

// Writes what a ShapeStyle archive of another version might hold: any subset of the keys.
class HandWrittenStyle : public Object {
public:
    explicit HandWrittenStyle(std::function<void(KeyedArchiver&)> write)
        : m_write(std::move(write))
    {
    }
    QString className() const override { return QStringLiteral("ShapeStyle"); }
    void encodeWithCoder(KeyedArchiver& coder) const override { m_write(coder); }

private:
    std::function<void(KeyedArchiver&)> m_write;
};

TEST_F(ShapeStyleArchiveTest, RoundTripKeepsEveryFieldAndSharedColours)
{
    auto blue = ZDLColor::colorFromHexNamed("#0000FF", "Blue");
    auto style = std::make_shared<NamedShapeStyle>();
    style->setName("Ink");
    style->setLineColor(blue);
    style->setFillColor(blue);
    style->setFillColorAdjust(-0.25f);
    style->setLineColorAdjust(0.1f);
    style->setLineAlpha(0.5f);
    style->setFillAlpha(0.75f);
    style->setLineWeight(2.5f);
    style->setBlur(3.0f);
    style->setLineDash(12);

    auto read = roundTrip<NamedShapeStyle>(style, { "NamedShapeStyle" });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->name(), "Ink");
    ASSERT_TRUE(read->lineColor());
    EXPECT_EQ(read->lineColor()->name(), "Blue");
    // The palette colour is written once and read back as one instance.
    EXPECT_EQ(read->fillColor(), read->lineColor());
    EXPECT_EQ(read->fillColorAdjust(), -0.25f);
    EXPECT_EQ(read->lineColorAdjust(), 0.1f);
    EXPECT_EQ(read->lineAlpha(), 0.5f);
    EXPECT_EQ(read->fillAlpha(), 0.75f);
    EXPECT_EQ(read->lineWeight(), 2.5f);
    EXPECT_EQ(read->blur(), 3.0f);
    EXPECT_EQ(read->lineDash(), 12);

    // A gradient fill, a shared black line and no name.
    auto plain = std::make_shared<NamedShapeStyle>();
    plain->setLineColor(ZDLColor::blackColor());
    auto gradient = std::make_shared<GradientFill>();
    gradient->setLinearAngle(30.0f);
    plain->setFill(gradient);
    auto readPlain = roundTrip<NamedShapeStyle>(plain, { "ShapeStyle" });
    ASSERT_TRUE(readPlain);
    EXPECT_TRUE(readPlain->name().isNull());
    EXPECT_EQ(readPlain->lineColor(), ZDLColor::blackColor());
    auto readGradient = std::dynamic_pointer_cast<GradientFill>(readPlain->fill());
    ASSERT_TRUE(readGradient);
    EXPECT_EQ(readGradient->linearAngle(), 30.0f);

    // A named style is no plain style.
    auto base = roundTrip<ShapeStyle>(std::make_shared<ShapeStyle>(), { "NamedShapeStyle" });
    EXPECT_FALSE(base);
}

TEST_F(ShapeStyleArchiveTest, KeysAreWrittenInOrderWithTheirTypes)
{
    auto style = std::make_shared<NamedShapeStyle>();
    style->setName("Ink");
    style->setLineColor(ZDLColor::blackColor());
    const PropertyList list = PropertyList::fromBinary(KeyedArchiver::archivedDataWithRootObject(style));

    const auto top = list.valueForKey(list.root(), u"$top");
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(top, u"root"))];
    ASSERT_EQ(list.kind(root), PropertyList::Kind::Dict);

    QStringList keys;
    QList<PropertyList::Kind> kinds;
    for (qsizetype i = 0; i < list.count(root); ++i) {
        const QString key = list.string(list.keys(root)[i]);
        if (key == "$class")
            continue;
        keys.append(key);
        kinds.append(list.kind(list.values(root)[i]));
    }
    using K = PropertyList::Kind;
    EXPECT_EQ(keys,
        (QStringList { "lineColor", "lineAlpha", "dash", "fill", "lineColorAdjust", "fillAlpha", "lineWeight",
            "blur", "name" }));
    EXPECT_EQ(kinds,
        (QList<K> { K::Uid, K::Real32, K::Int, K::Uid, K::Real32, K::Real32, K::Real32, K::Real32, K::Uid }));

    const auto classRecord = objects[list.uid(list.valueForKey(root, u"$class"))];
    EXPECT_EQ(list.string(list.valueForKey(classRecord, u"$classname")), "NamedShapeStyle");
    QStringList chain;
    for (auto item : list.items(list.valueForKey(classRecord, u"$classes")))
        chain.append(list.string(item));
    EXPECT_EQ(chain, (QStringList { "NamedShapeStyle", "ShapeStyle", "NSObject" }));
}

TEST_F(ShapeStyleArchiveTest, MissingKeysReadAsZeroAndNone)
{
    auto written = std::make_shared<HandWrittenStyle>([](KeyedArchiver& coder) {
        coder.encodeFloat(0.5f, "lineAlpha");
        coder.encodeInteger(4, "dash");
        coder.encodeFloat(2.0f, "lineWeight");
    });
    auto read = roundTrip<ShapeStyle>(written, { "ShapeStyle" });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->blur(), 0.0f);
    EXPECT_EQ(read->lineWeight(), 2.0f);
    EXPECT_EQ(read->lineAlpha(), 0.5f);
    EXPECT_EQ(read->lineDash(), 4);
    // Not the defaults of a new style: files rely on missing meaning zero.
    EXPECT_EQ(read->fillAlpha(), 0.0f);
    EXPECT_EQ(read->fill(), nullptr);
    EXPECT_EQ(read->fillType(), FillTypeGradient);
    EXPECT_EQ(read->fillColor(), nullptr);
    EXPECT_EQ(read->lineColor(), nullptr);
}

TEST_F(ShapeStyleArchiveTest, ForeignObjectsAndNonFiniteNumbersAreDropped)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    auto written = std::make_shared<HandWrittenStyle>([=](KeyedArchiver& coder) {
        coder.encodeObject(std::make_shared<ColorFill>(), "lineColor");
        coder.encodeFloat(nan, "lineAlpha");
        coder.encodeObject(ZDLColor::whiteColor(), "fill");
        coder.encodeFloat(inf, "lineWeight");
        coder.encodeFloat(-inf, "blur");
    });
    auto read = roundTrip<ShapeStyle>(written, { "ShapeStyle" });
    ASSERT_TRUE(read);
    EXPECT_EQ(read->lineColor(), nullptr);
    EXPECT_EQ(read->fill(), nullptr);
    EXPECT_EQ(read->lineAlpha(), 0.0f);
    EXPECT_EQ(read->lineWeight(), 0.0f);
    EXPECT_EQ(read->blur(), 0.0f);
}

} // namespace
} // namespace zandrel
