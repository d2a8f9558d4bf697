#include "charmodel/DocumentSettings.h"

#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/PropertyList.h"

#include <functional>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

// Writes what a settings archive of another version, or a damaged one, might hold.
class HandWrittenSettings : public Object {
public:
    explicit HandWrittenSettings(std::function<void(KeyedArchiver&)> write)
        : m_write(std::move(write))
    {
    }
    QString className() const override { return QStringLiteral("DocumentSettings"); }
    void encodeWithCoder(KeyedArchiver& coder) const override { m_write(coder); }

private:
    std::function<void(KeyedArchiver&)> m_write;
};

class DocumentSettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ClassRegistry::shared().registerOnce(&registerDocumentSettingsClasses); }

    static DocumentSettingsPtr roundTrip(const ObjectPtr& object)
    {
        const QByteArray data = KeyedArchiver::archivedDataWithRootObject(object);
        return KeyedUnarchiver::unarchive(data, { "DocumentSettings" }).toObject<DocumentSettings>();
    }
    static DocumentSettingsPtr readWritten(std::function<void(KeyedArchiver&)> write)
    {
        return roundTrip(std::make_shared<HandWrittenSettings>(std::move(write)));
    }
};

TEST_F(DocumentSettingsTest, DefaultsAndCopy)
{
    DocumentSettings settings;
    EXPECT_EQ(settings.backgroundStyle(), 0);
    EXPECT_EQ(settings.mainViewScale(), 1.0f);
    EXPECT_EQ(settings.partEditingViewScale(), 4.0f);

    settings.setBackgroundStyle(3);
    settings.setMainViewScale(0.5f);
    auto copy = settings.copy();
    settings.setPartEditingViewScale(8.0f);
    EXPECT_EQ(copy->backgroundStyle(), 3);
    EXPECT_EQ(copy->mainViewScale(), 0.5f);
    EXPECT_EQ(copy->partEditingViewScale(), 4.0f);
}

TEST_F(DocumentSettingsTest, RoundTripWritesExactKeysInOrder)
{
    auto settings = std::make_shared<DocumentSettings>();
    settings->setBackgroundStyle(2);
    settings->setMainViewScale(0.1f);
    settings->setPartEditingViewScale(6.5f);

    auto read = roundTrip(settings);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->backgroundStyle(), 2);
    EXPECT_EQ(read->mainViewScale(), 0.1f);
    EXPECT_EQ(read->partEditingViewScale(), 6.5f);

    const PropertyList list = PropertyList::fromBinary(KeyedArchiver::archivedDataWithRootObject(settings));
    const auto top = list.valueForKey(list.root(), u"$top");
    const auto objects = list.items(list.valueForKey(list.root(), u"$objects"));
    const auto root = objects[list.uid(list.valueForKey(top, u"root"))];
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
    EXPECT_EQ(keys, (QStringList { "backStyle", "mainScale", "partEdScale" }));
    EXPECT_EQ(kinds, (QList<K> { K::Int, K::Real32, K::Real32 }));
    const auto classRecord = objects[list.uid(list.valueForKey(root, u"$class"))];
    EXPECT_EQ(list.string(list.valueForKey(classRecord, u"$classname")), "DocumentSettings");
}

TEST_F(DocumentSettingsTest, OlderAndDamagedArchives)
{
    // An older file keeps only the style; the zooms open at their defaults.
    auto older = readWritten([](KeyedArchiver& coder) { coder.encodeInteger(1, "backStyle"); });
    ASSERT_TRUE(older);
    EXPECT_EQ(older->backgroundStyle(), 1);
    EXPECT_EQ(older->mainViewScale(), 1.0f);
    EXPECT_EQ(older->partEditingViewScale(), 4.0f);

    auto empty = readWritten([](KeyedArchiver&) {});
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->backgroundStyle(), 0);
    EXPECT_EQ(empty->partEditingViewScale(), 4.0f);

    // Zooms that are no size at all fall back to the defaults; huge or tiny ones are brought
    // into range; a style beyond int names no background.
    const float inf = std::numeric_limits<float>::infinity();
    auto bad = readWritten([inf](KeyedArchiver& coder) {
        coder.encodeInteger(qint64(1) << 40, "backStyle");
        coder.encodeFloat(std::numeric_limits<float>::quiet_NaN(), "mainScale");
        coder.encodeFloat(-inf, "partEdScale");
    });
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->backgroundStyle(), 0);
    EXPECT_EQ(bad->mainViewScale(), 1.0f);
    EXPECT_EQ(bad->partEditingViewScale(), 4.0f);

    auto extreme = readWritten([](KeyedArchiver& coder) {
        coder.encodeFloat(0.0f, "mainScale");
        coder.encodeFloat(1e30f, "partEdScale");
    });
    ASSERT_TRUE(extreme);
    EXPECT_EQ(extreme->mainViewScale(), 1.0f);
    EXPECT_EQ(extreme->partEditingViewScale(), DocumentSettings::kMaximumViewScale);
    auto tiny = readWritten([](KeyedArchiver& coder) { coder.encodeFloat(1e-9f, "mainScale"); });
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->mainViewScale(), DocumentSettings::kMinimumViewScale);
}

} // namespace
} // namespace zandrel
