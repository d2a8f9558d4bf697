#include "charmodel/PartTypes.h"

#include "platform/Localization.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

TEST(PartTypes, NamesOfEveryCode)
{
    const QStringList singular = { "Unspecified", "Head", "Hat", "Torso", "Arm", "Hand", "Hips", "Leg",
        "Foot", "Prop", "Costume", "Background", "Furniture", "Other", "Hair", "Ground", "Sky", "Foliage",
        "Animal", "Interior", "Structure", "Water", "Vehicle" };
    const QStringList plural = { "Unspecifieds", "Heads", "Hats", "Torsos", "Arms", "Hands", "Hips", "Legs",
        "Feet", "Props", "Costumes", "Backgrounds", "Furniture", "Others", "Hair", "Ground", "Sky", "Foliage",
        "Animals", "Interiors", "Structures", "Water", "Vehicles" };
    for (int type = 0; type < kNumberOfPartTypes; ++type) {
        EXPECT_EQ(PartTypes::singularNameForType(type), singular.at(type)) << type;
        EXPECT_EQ(PartTypes::pluralNameForType(type), plural.at(type)) << type;
    }
}

TEST(PartTypes, TextAndCodesOutsideTheTable)
{
    EXPECT_EQ(PartTypes::singularNameForType(PartTypeText), "Text");
    EXPECT_EQ(PartTypes::pluralNameForType(PartTypeText), "Text");
    for (int type : { 23, 9999, 10001, -1, std::numeric_limits<int>::min() }) {
        EXPECT_EQ(PartTypes::singularNameForType(type), "Other") << type;
        EXPECT_EQ(PartTypes::pluralNameForType(type), "Others") << type;
    }
}

TEST(PartTypes, TextIsLookedUpInTheApplicationsTableEachTime)
{
    const Translator previous = setTranslator([](const QString& english) {
        return english == QLatin1String("Text") ? QStringLiteral("Texte") : QString();
    });
    EXPECT_EQ(PartTypes::singularNameForType(PartTypeText), "Texte");
    EXPECT_EQ(PartTypes::pluralNameForType(PartTypeText), "Texte");
    setTranslator(previous);
    EXPECT_EQ(PartTypes::singularNameForType(PartTypeText), "Text");
}

TEST(PartTypes, DisplayOrder)
{
    const QList<PartType> expected
        = { 0, 1, 14, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 11, 15, 16, 21, 19, 20, 22, 17, 18, 13 };
    EXPECT_EQ(PartTypes::displayOrder(), expected);

    QList<PartType> numeric;
    for (int type = kNumberOfPartTypes - 1; type >= 0; --type)
        numeric.append(type);
    EXPECT_EQ(PartTypes::sortedTypes(numeric), expected);

    // Text and unknown values come after every listed type.
    EXPECT_EQ(PartTypes::sortedTypes({ 10000, 1 }), QList<PartType>({ 1, 10000 }));
    EXPECT_EQ(PartTypes::sortedTypes({ 500, 13, 10000, 0 }), QList<PartType>({ 0, 13, 500, 10000 }));
}

TEST(PartTypes, SortableTypeRanks)
{
    EXPECT_EQ(sortableType(PartTypeUnspecified).sortRank(), 0u);
    EXPECT_EQ(sortableType(PartTypeHair).sortRank(), 2u);
    EXPECT_EQ(sortableType(PartTypeOther).sortRank(), 22u);
    EXPECT_EQ(sortableType(PartTypeText).sortRank(), sortableType::kNotFound);
    EXPECT_EQ(sortableType(-4).sortRank(), sortableType::kNotFound);

    // The two accessors are independent.
    sortableType item(PartTypeHead);
    item.setPartType(PartTypeSky);
    EXPECT_EQ(item.sortRank(), 1u);
    item.setSortRank(7);
    EXPECT_EQ(item.partType(), PartTypeSky);
}

} // namespace
} // namespace zandrel
