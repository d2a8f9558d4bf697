#include "platform/Object.h"
#include "platform/Value.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

class Thing : public Object {
public:
    QString className() const override { return QStringLiteral("Thing"); }
};
class OtherThing : public Object { };

TEST(Value, constructorsPickTheType)
{
    using T = Value::Type;
    auto thing = std::make_shared<Thing>();
    const std::vector<std::pair<Value, T>> cases {
        { Value(), T::Null },
        { Value(nullptr), T::Null },
        { Value(std::shared_ptr<Thing>()), T::Null },
        { Value(true), T::Bool },
        { Value(3), T::Integer },
        { Value(qint64(1) << 40), T::Integer },
        { Value(7L), T::Integer },
        { Value(2u), T::Integer },
        { Value(Qt::AlignRight), T::Integer },
        { Value(1.5f), T::Float },
        { Value(1.5), T::Double },
        { Value(QPointF(1, 2)), T::Point },
        { Value(QSizeF(1, 2)), T::Size },
        { Value(QRectF(1, 2, 3, 4)), T::Rect },
        { Value("text"), T::String },
        { Value(QString()), T::String },
        { Value(QByteArray("x")), T::Data },
        { Value(RgbColor(1, 0, 0)), T::Color },
        { Value(QTransform().rotate(30)), T::Transform },
        { Value(thing), T::Object },
        { Value(ObjectPtr(thing)), T::Object },
        { Value(ValueList { 1, "a" }), T::List },
        { Value(ValueMap { { "k", 1 } }), T::Map },
    };
    for (const auto& [value, type] : cases)
        EXPECT_EQ(value.type(), type) << value.toDebugString().toStdString();
}

TEST(Value, numbersConvertAndOtherTypesGiveZeroOrEmpty)
{
    EXPECT_EQ(Value(true).toInt(), 1);
    EXPECT_EQ(Value(2.9).toInt(), 2);
    EXPECT_EQ(Value(-2.9f).toInteger(), -2);
    EXPECT_EQ(Value(7).toDouble(), 7.0);
    EXPECT_TRUE(Value(0.25f).toBool());
    EXPECT_FALSE(Value(0).toBool());
    EXPECT_EQ(Value(0.1).toFloat(), 0.1f);
    // Non-finite reals do not invoke undefined conversions.
    EXPECT_EQ(Value(std::nan("")).toInteger(), 0);
    EXPECT_EQ(Value(1e300).toInteger(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(Value(-INFINITY).toInteger(), std::numeric_limits<qint64>::min());

    const Value text("12");
    EXPECT_EQ(text.toInt(), 0);
    EXPECT_FALSE(text.toBool());
    EXPECT_EQ(text.toPoint(), QPointF());
    EXPECT_EQ(text.toSize(), QSizeF(0, 0));
    EXPECT_TRUE(text.toRect().isNull());
    EXPECT_TRUE(Value(3).toString().isNull());
    EXPECT_TRUE(text.toData().isNull());
    EXPECT_FALSE(text.toColor().isValid());
    EXPECT_TRUE(text.toTransform().isIdentity());
    EXPECT_EQ(text.toObject(), nullptr);
    EXPECT_TRUE(text.toList().isEmpty());
    EXPECT_TRUE(text.toMap().isEmpty());

    auto thing = std::make_shared<Thing>();
    EXPECT_EQ(Value(thing).toObject<Thing>(), thing);
    EXPECT_EQ(Value(thing).toObject<OtherThing>(), nullptr);
    EXPECT_EQ(Value(QTransform(1, 2, 3, 4, 5, 6)).toTransform(), QTransform(1, 2, 3, 4, 5, 6));
}

TEST(Value, equality)
{
    const double nan = std::nan("");
    auto a = std::make_shared<Thing>();
    auto b = std::make_shared<Thing>();
    // Same type and contents; objects by identity; NaN equals NaN.
    EXPECT_EQ(Value(a), Value(a));
    EXPECT_NE(Value(a), Value(b));
    EXPECT_EQ(Value(nan), Value(nan));
    EXPECT_EQ(Value(QPointF(nan, 1)), Value(QPointF(nan, 1)));
    EXPECT_EQ(Value(QRectF(0, 0, nan, 1)), Value(QRectF(0, 0, nan, 1)));
    EXPECT_NE(Value(nan), Value(1.0));
    EXPECT_NE(Value(1), Value(1.0));
    EXPECT_NE(Value(1.0f), Value(1.0));
    EXPECT_NE(Value(), Value(0));
    EXPECT_NE(Value(""), Value());
    // QPointF's own operator is fuzzy; values compare exactly.
    EXPECT_NE(Value(QPointF(1, 1)), Value(QPointF(1 + 1e-13, 1)));
    EXPECT_EQ(Value(QTransform().translate(1, 2)), Value(QTransform().translate(1, 2)));
    EXPECT_NE(Value(QTransform().translate(1, 2)), Value(QTransform()));
    EXPECT_EQ(Value(ValueList { 1, a, ValueList { nan } }), Value(ValueList { 1, a, ValueList { nan } }));
    EXPECT_NE(Value(ValueList { 1, a }), Value(ValueList { 1, b }));
    EXPECT_EQ(Value(ValueMap { { "x", RgbColor(0.1, 0.2, 0.3) } }),
        Value(ValueMap { { "x", RgbColor(0.1, 0.2, 0.3) } }));
}

TEST(Value, debugStringNamesTheContents)
{
    auto thing = std::make_shared<Thing>();
    EXPECT_EQ(Value().toDebugString(), "null");
    EXPECT_EQ(Value(ValueList { 1, 0.5f, "a" }).toDebugString(), "(1, 0.5f, \"a\")");
    EXPECT_EQ(Value(QRectF(1, 2, 3, 4)).toDebugString(), "{{1, 2}, {3, 4}}");
    EXPECT_TRUE(Value(thing).toDebugString().startsWith("<Thing "));
}

TEST(Value, staysSmall)
{
    // Lists of values hold many of them: a transform must not make every value large.
    EXPECT_LE(sizeof(Value), 48u);
}

} // namespace
} // namespace zandrel
