#include "charmodel/PartTypes.h"

#include "platform/Localization.h"

#include <QStringList>
#include <algorithm>
#include <array>

namespace zandrel {

namespace {

// The English names are the keys of the translation table.
constexpr std::array<const char*, kNumberOfPartTypes> kSingularNames = {
    "Unspecified",
    "Head",
    "Hat",
    "Torso",
    "Arm",
    "Hand",
    "Hips",
    "Leg",
    "Foot",
    "Prop",
    "Costume",
    "Background",
    "Furniture",
    "Other",
    "Hair",
    "Ground",
    "Sky",
    "Foliage",
    "Animal",
    "Interior",
    "Structure",
    "Water",
    "Vehicle",
};

constexpr std::array<const char*, kNumberOfPartTypes> kPluralNames = {
    "Unspecifieds",
    "Heads",
    "Hats",
    "Torsos",
    "Arms",
    "Hands",
    "Hips",
    "Legs",
    "Feet",
    "Props",
    "Costumes",
    "Backgrounds",
    "Furniture",
    "Others",
    "Hair",
    "Ground",
    "Sky",
    "Foliage",
    "Animals",
    "Interiors",
    "Structures",
    "Water",
    "Vehicles",
};

// Translated once and kept for the run, as the menus and the library ask for names often.
QStringList translatedTable(const std::array<const char*, kNumberOfPartTypes>& keys)
{
    QStringList names;
    for (const char* key : keys)
        names.append(localized(key));
    return names;
}

QString nameForType(PartType type, const QStringList& table)
{
    if (type == PartTypeText)
        return localized("Text");
    if (type < 0 || type >= kNumberOfPartTypes)
        type = PartTypeOther;
    return table.at(type);
}

} // namespace

QString PartTypes::singularNameForType(PartType type)
{
    static const QStringList names = translatedTable(kSingularNames);
    return nameForType(type, names);
}

QString PartTypes::pluralNameForType(PartType type)
{
    static const QStringList names = translatedTable(kPluralNames);
    return nameForType(type, names);
}

const QList<PartType>& PartTypes::displayOrder()
{
    static const QList<PartType> order = {
        PartTypeUnspecified,
        PartTypeHead,
        PartTypeHair,
        PartTypeHat,
        PartTypeTorso,
        PartTypeArm,
        PartTypeHand,
        PartTypeHips,
        PartTypeLeg,
        PartTypeFoot,
        PartTypeProp,
        PartTypeCostume,
        PartTypeFurniture,
        PartTypeBackground,
        PartTypeGround,
        PartTypeSky,
        PartTypeWater,
        PartTypeInterior,
        PartTypeStructure,
        PartTypeVehicle,
        PartTypeFoliage,
        PartTypeAnimal,
        PartTypeOther,
    };
    return order;
}

QList<PartType> PartTypes::sortedTypes(const QList<PartType>& types)
{
    std::vector<sortableType> sortable;
    sortable.reserve(static_cast<std::size_t>(types.size()));
    for (PartType type : types)
        sortable.emplace_back(type);
    // Stable, so that unlisted types, which share one rank, keep a predictable order.
    std::stable_sort(sortable.begin(), sortable.end(),
        [](const sortableType& a, const sortableType& b) { return a.sortRank() < b.sortRank(); });
    QList<PartType> result;
    result.reserve(types.size());
    for (const sortableType& item : sortable)
        result.append(item.partType());
    return result;
}

sortableType::sortableType(PartType type)
    : m_partType(type)
    , m_sortRank(kNotFound)
{
    const QList<PartType>& order = PartTypes::displayOrder();
    const qsizetype index = order.indexOf(type);
    if (index >= 0)
        m_sortRank = static_cast<std::uint64_t>(index);
}

} // namespace zandrel
