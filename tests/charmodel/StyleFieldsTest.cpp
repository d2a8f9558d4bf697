// Every style field through every holder: a style, a path in a part and a character's defaults.
// Setting a field, by its typed setter or by its name, must change the value, the archive and
// (for a path) drop the cached renderings the field's declaration says it must.
#include "graphics/StyleFields.h"

#include "charmodel/CharacterModelClasses.h"
#include "charmodel/PartsFile.h"
#include "charmodel/TestCharacters.h"
#include "graphics/ShapeStyle.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <gtest/gtest.h>
#include <tuple>

namespace zandrel {
namespace {

QByteArray archived(const ObjectPtr& object)
{
    return object ? KeyedArchiver::archivedDataWithRootObject(object) : QByteArray();
}

// Fills are stored as copies and archives read back new objects, so objects compare by what they
// archive.
bool sameValue(const Value& a, const Value& b)
{
    if (a.toObject() || b.toObject())
        return archived(a.toObject()) == archived(b.toObject());
    return a == b;
}

// One row: the field, a value other than a new holder's, and the field's typed setter.
template <class T, class Setter> struct Row {
    const StyleField<T>& field;
    T value;
    Setter setTyped;
};
template <class T, class Setter> Row<T, Setter> row(const StyleField<T>& field, T value, Setter setter)
{
    return { field, std::move(value), setter };
}

// A path with a blurred image of its own, in a part whose bitmap is cached.
struct PathInPart {
    std::shared_ptr<Part> part = std::make_shared<Part>();
    PartPathPtr path = test::square(QRectF(0, 0, 20, 20), ZDLColor::blackColor(), ZDLColor::whiteColor());

    PathInPart()
    {
        path->setBlur(0.75f);
        part->setChildren({ path });
        fillCaches();
    }
    void fillCaches()
    {
        part->cacheIfNeededAtScale(1.0f);
        path->filteredImage();
    }
    bool cachesFull() const { return part->cachedImage() && !path->cachedFilteredImage().isNull(); }
    bool cachesEmpty() const { return !part->cachedImage() && path->cachedFilteredImage().isNull(); }
};

class StyleFieldsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerCharacterModelClasses); }

    // Sets the field on a new holder both ways and checks value, observation and archive.
    template <class Holder, class R>
    void checkHolder(const std::shared_ptr<Holder>& holder, const R& r,
        const std::function<QByteArray()>& archive, const std::function<Value(const QByteArray&)>& readBack,
        bool byName)
    {
        SCOPED_TRACE(byName ? "by name" : "typed setter");
        const QString& key = r.field.name;
        const Value wanted(r.value);
        const QByteArray before = archive();
        int told = 0;
        Value toldNew;
        holder->addObserver(key, this, [&](Object&, const QString&, const Value&, const Value& newValue) {
            ++told;
            toldNew = newValue;
        });
        if (byName)
            holder->setValueForKey(wanted, key);
        else
            r.setTyped(*holder, r.value);
        holder->removeObservers(this);

        EXPECT_TRUE(sameValue(holder->valueForKey(key), wanted));
        EXPECT_EQ(told, 1);
        EXPECT_TRUE(sameValue(toldNew, wanted));
        const QByteArray after = archive();
        EXPECT_NE(after, before) << "the archive does not hold the field";
        EXPECT_TRUE(sameValue(readBack(after), wanted)) << "the archive does not read back";
    }

    template <class R> void checkRow(const R& r)
    {
        SCOPED_TRACE(r.field.name.toStdString());
        const QString& key = r.field.name;
        for (const bool byName : { false, true }) {
            auto style = std::make_shared<ShapeStyle>();
            checkHolder(
                style, r, [&] { return archived(style); },
                [&](const QByteArray& data) {
                    return KeyedUnarchiver::unarchive(data, { QStringLiteral("ShapeStyle") })
                        .toObject()
                        ->valueForKey(key);
                },
                byName);

            PathInPart placed;
            ASSERT_TRUE(placed.cachesFull());
            checkHolder(
                placed.path, r, [&] { return archived(placed.path); },
                [&](const QByteArray& data) {
                    return KeyedUnarchiver::unarchive(data, { QStringLiteral("PartPath") })
                        .toObject()
                        ->valueForKey(key);
                },
                byName);
            EXPECT_EQ(placed.cachesEmpty(), r.field.flushesCaches) << "the path's and part's renderings";

            auto model = std::make_shared<CharacterModel>();
            if (&r.field == static_cast<const StyleFieldInfo*>(&stylefields::blur)) {
                // New paths start unblurred: the defaults offer no blur.
                EXPECT_FALSE(model->respondsToKey(key));
                continue;
            }
            checkHolder(
                model, r, [&] { return archivedPartsFile(*model); },
                [&](const QByteArray& data) { return readPartsFile(data)->valueForKey(key); }, byName);
        }
    }
};

TEST_F(StyleFieldsTest, EveryFieldSetThroughEveryHolderChangesValueArchiveAndCaches)
{
    const auto teal = ZDLColor::colorFromHexNamed(QStringLiteral("#208080"), QStringLiteral("Teal"));
    auto gradientFill = std::make_shared<GradientFill>();
    gradientFill->setLinearAngle(60.0f);
    using namespace stylefields;
    const auto rows = std::make_tuple(
        row(lineColor, teal, [](auto& holder, const ZDLColorPtr& v) { holder.setLineColor(v); }),
        row(lineColorAdjust, 0.35f, [](auto& holder, float v) { holder.setLineColorAdjust(v); }),
        row(lineAlpha, 0.4f, [](auto& holder, float v) { holder.setLineAlpha(v); }),
        row(lineDash, qint64(3), [](auto& holder, qint64 v) { holder.setLineDash(v); }),
        row(fill, FillPtr(gradientFill), [](auto& holder, const FillPtr& v) { holder.setFill(v); }),
        row(fillAlpha, 0.55f, [](auto& holder, float v) { holder.setFillAlpha(v); }),
        row(lineWeight, 2.5f, [](auto& holder, float v) { holder.setLineWeight(v); }),
        // The character's defaults have no blur setter at all.
        row(blur, 1.5f, [](auto& holder, float v) {
            if constexpr (requires { holder.setBlur(v); })
                holder.setBlur(v);
        }));

    // The table covers every field declared, in the order of the style keys.
    QStringList tabled;
    std::apply([&](const auto&... r) { (tabled.append(r.field.name), ...); }, rows);
    EXPECT_EQ(tabled, ShapeStyle::shapeStyleProperties());

    std::apply([&](const auto&... r) { (checkRow(r), ...); }, rows);
}

TEST_F(StyleFieldsTest, NewHoldersStartFromTheDeclaredValuesAndStylesCopyTheirFill)
{
    const auto model = std::make_shared<CharacterModel>();
    const auto style = std::make_shared<ShapeStyle>();
    const auto path = std::make_shared<PartPath>();
    forEachStyleField([&](const auto& field) {
        SCOPED_TRACE(field.name.toStdString());
        EXPECT_TRUE(sameValue(style->valueForKey(field.name), Value(field.initial())));
        EXPECT_TRUE(sameValue(path->valueForKey(field.name), Value(field.initial())));
    });
    // A character's defaults start from its palette: black lines over a white colour fill.
    EXPECT_EQ(model->lineColor(), ZDLColor::blackColor());
    EXPECT_EQ(model->fillColor(), ZDLColor::whiteColor());

    const ShapeStyle copy(*style);
    EXPECT_NE(copy.fill(), style->fill());
    EXPECT_EQ(archived(copy.fill()), archived(style->fill()));
}

} // namespace
} // namespace zandrel
