#include "charmodel/PartTypes.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <array>

namespace zandrel {

namespace {

// The English names are the keys of the translation table.
constexpr std::array<const char*, kNumberOfPartTypes> kSingularNames = {
    QT_TRANSLATE_NOOP("PartType", "Unspecified"),
    QT_TRANSLATE_NOOP("PartType", "Head"),
    QT_TRANSLATE_NOOP("PartType", "Hat"),
    QT_TRANSLATE_NOOP("PartType", "Torso"),
    QT_TRANSLATE_NOOP("PartType", "Arm"),
    QT_TRANSLATE_NOOP("PartType", "Hand"),
    QT_TRANSLATE_NOOP("PartType", "Hips"),
    QT_TRANSLATE_NOOP("PartType", "Leg"),
    QT_TRANSLATE_NOOP("PartType", "Foot"),
    QT_TRANSLATE_NOOP("PartType", "Prop"),
    QT_TRANSLATE_NOOP("PartType", "Costume"),
    QT_TRANSLATE_NOOP("PartType", "Background"),
    QT_TRANSLATE_NOOP("PartType", "Furniture"),
    QT_TRANSLATE_NOOP("PartType", "Other"),
    QT_TRANSLATE_NOOP("PartType", "Hair"),
    QT_TRANSLATE_NOOP("PartType", "Ground"),
    QT_TRANSLATE_NOOP("PartType", "Sky"),
    QT_TRANSLATE_NOOP("PartType", "Foliage"),
    QT_TRANSLATE_NOOP("PartType", "Animal"),
    QT_TRANSLATE_NOOP("PartType", "Interior"),
    QT_TRANSLATE_NOOP("PartType", "Structure"),
    QT_TRANSLATE_NOOP("PartType", "Water"),
    QT_TRANSLATE_NOOP("PartType", "Vehicle"),
};

constexpr std::array<const char*, kNumberOfPartTypes> kPluralNames = {
    QT_TRANSLATE_NOOP("PartType", "Unspecifieds"),
    QT_TRANSLATE_NOOP("PartType", "Heads"),
    QT_TRANSLATE_NOOP("PartType", "Hats"),
    QT_TRANSLATE_NOOP("PartType", "Torsos"),
    QT_TRANSLATE_NOOP("PartType", "Arms"),
    QT_TRANSLATE_NOOP("PartType", "Hands"),
    QT_TRANSLATE_NOOP("PartType", "Hips"),
    QT_TRANSLATE_NOOP("PartType", "Legs"),
    QT_TRANSLATE_NOOP("PartType", "Feet"),
    QT_TRANSLATE_NOOP("PartType", "Props"),
    QT_TRANSLATE_NOOP("PartType", "Costumes"),
    QT_TRANSLATE_NOOP("PartType", "Backgrounds"),
    QT_TRANSLATE_NOOP("PartType", "Furniture"),
    QT_TRANSLATE_NOOP("PartType", "Others"),
    QT_TRANSLATE_NOOP("PartType", "Hair"),
    QT_TRANSLATE_NOOP("PartType", "Ground"),
    QT_TRANSLATE_NOOP("PartType", "Sky"),
    QT_TRANSLATE_NOOP("PartType", "Foliage"),
    QT_TRANSLATE_NOOP("PartType", "Animals"),
    QT_TRANSLATE_NOOP("PartType", "Interiors"),
    QT_TRANSLATE_NOOP("PartType", "Structures"),
    QT_TRANSLATE_NOOP("PartType", "Water"),
    QT_TRANSLATE_NOOP("PartType", "Vehicles"),
};

QString translated(const char* key)
{
    return QCoreApplication::translate("PartType", key);
}

// Translated once and kept for the run, as the menus and the library ask for names often.
QStringList translatedTable(const std::array<const char*, kNumberOfPartTypes>& keys)
{
    QStringList names;
    for (const char* key : keys)
        names.append(translated(key));
    return names;
}

QString nameForType(PartType type, const QStringList& table)
{
    if (type == PartTypeText)
        return translated(QT_TRANSLATE_NOOP("PartType", "Text"));
    if (type < 0 || type >= kNumberOfPartTypes)
        type = PartTypeOther;
    return table.at(type);
}

}  // namespace

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

}  // namespace zandrel
