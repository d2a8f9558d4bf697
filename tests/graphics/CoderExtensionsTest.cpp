#include "graphics/CoderExtensions.h"

#include "platform/KeyedArchiver.h"
#include "platform/Object.h"

#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

class CoderTestShape : public Object {
public:
    QString className() const override { return QStringLiteral("CoderTestShape"); }
};

class CoderTestCircle : public CoderTestShape {
public:
    QString className() const override { return QStringLiteral("CoderTestCircle"); }
};

class CoderTestLabel : public Object {
public:
    QString className() const override { return QStringLiteral("CoderTestLabel"); }
};

// Archives a few objects and lists under fixed keys and runs a check while it is decoded, as a
// model class's initWithCoder would.
class CoderTestHolder : public Object {
public:
    QString className() const override { return QStringLiteral("CoderTestHolder"); }

    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        coder.encodeObject(std::make_shared<CoderTestCircle>(), "circle");
        coder.encodeObject(std::make_shared<CoderTestShape>(), "shape");
        coder.encodeObject(std::make_shared<CoderTestLabel>(), "label");
        coder.encodeObject(ValueList({ Value(std::make_shared<CoderTestShape>()),
                               Value(std::make_shared<CoderTestCircle>()) }),
            "shapes");
        coder.encodeObject(ValueList({ Value(std::make_shared<CoderTestShape>()),
                               Value(std::make_shared<CoderTestLabel>()) }),
            "mixed");
        coder.encodeObject(ValueList({ Value(std::make_shared<CoderTestShape>()), Value() }), "holes");
    }

    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        s_check(coder);
        return shared_from_this();
    }

    static inline std::function<void(KeyedUnarchiver&)> s_check;
};

void registerCoderTestClasses(ClassRegistry& registry)
{
    registry.registerClass<CoderTestShape>("CoderTestShape", "NSObject");
    registry.registerClass<CoderTestCircle>("CoderTestCircle", "CoderTestShape");
    registry.registerClass<CoderTestLabel>("CoderTestLabel", "NSObject");
    registry.registerClass<CoderTestHolder>("CoderTestHolder", "NSObject");
}

// Decodes the holder's archive and runs the check inside its decoding.
void decodeWith(std::function<void(KeyedUnarchiver&)> check)
{
    ClassRegistry::shared().registerOnce(&registerCoderTestClasses);
    bool ran = false;
    CoderTestHolder::s_check = [&](KeyedUnarchiver& coder) {
        check(coder);
        ran = true;
    };
    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(std::make_shared<CoderTestHolder>());
    KeyedUnarchiver::unarchive(data, { "CoderTestHolder" });
    CoderTestHolder::s_check = nullptr;
    EXPECT_TRUE(ran);
}

TEST(CoderExtensions, SubclassesPassAndOtherClassesDecodeAsNull)
{
    decodeWith([](KeyedUnarchiver& coder) {
        const Value circle = zdlDecodeObjectOfClass(coder, "CoderTestShape", "circle");
        EXPECT_TRUE(circle.toObject<CoderTestCircle>());
        EXPECT_TRUE(zdlDecodeObjectOfClass<CoderTestCircle>(coder, "circle"));

        EXPECT_TRUE(zdlDecodeObjectOfClass(coder, "CoderTestShape", "label").isNull());
        EXPECT_FALSE(zdlDecodeObjectOfClass<CoderTestShape>(coder, "label"));
        // A superclass is not a subclass.
        EXPECT_TRUE(zdlDecodeObjectOfClass(coder, "CoderTestCircle", "shape").isNull());
        EXPECT_TRUE(zdlDecodeObjectOfClass(coder, "CoderTestShape", "shape").toObject<CoderTestShape>());
        EXPECT_TRUE(zdlDecodeObjectOfClass(coder, "CoderTestShape", "missing").isNull());

        const Value either
            = zdlDecodeObjectOfClasses(coder, { "CoderTestLabel", "CoderTestCircle" }, "label");
        EXPECT_TRUE(either.toObject<CoderTestLabel>());
    });
}

TEST(CoderExtensions, CollectionsKeepOnlyTheirAllowedMembers)
{
    decodeWith([](KeyedUnarchiver& coder) {
        const Value shapes = zdlDecodeObjectOfClasses(coder, { "NSArray", "CoderTestShape" }, "shapes");
        EXPECT_EQ(shapes.toList().size(), 2);
        // Without the collection class the array itself is refused.
        EXPECT_TRUE(zdlDecodeObjectOfClasses(coder, { "CoderTestShape" }, "shapes").isNull());
        // A member of another class is dropped; the others stay.
        const ValueList mixed
            = zdlDecodeObjectOfClasses(coder, { "NSArray", "CoderTestShape" }, "mixed").toList();
        ASSERT_EQ(mixed.size(), 1);
        EXPECT_TRUE(mixed[0].toObject<CoderTestShape>());

        const ElementList elements = zdlDecodeElementsOfClasses(coder, { "CoderTestShape" }, "shapes");
        ASSERT_EQ(elements.size(), 2);
        EXPECT_TRUE(std::dynamic_pointer_cast<CoderTestCircle>(elements.at(1)));
        EXPECT_EQ(zdlDecodeElementsOfClasses(coder, { "CoderTestShape" }, "mixed").size(), 1);
        EXPECT_TRUE(zdlDecodeElementsOfClasses(coder, { "CoderTestShape" }, "missing").isEmpty());
        EXPECT_EQ(zdlDecodeElementsOfClasses(coder, { "CoderTestShape" }, "holes").size(), 1);
    });
}

} // namespace
} // namespace zandrel
