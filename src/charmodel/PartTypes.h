#pragma once

#include <QList>
#include <QString>
#include <cstdint>
#include <limits>

namespace zandrel {

// What a part is: a head, a hat, sky, a vehicle. Stored as a plain int in files, so any value can
// turn up; values outside the table are named like Other.
using PartType = int;

enum PartTypeCode : int {
    PartTypeUnspecified = 0,
    PartTypeHead = 1,
    PartTypeHat = 2,
    PartTypeTorso = 3,
    PartTypeArm = 4,
    PartTypeHand = 5,
    PartTypeHips = 6,
    PartTypeLeg = 7,
    PartTypeFoot = 8,
    PartTypeProp = 9,
    PartTypeCostume = 10,
    PartTypeBackground = 11,
    PartTypeFurniture = 12,
    PartTypeOther = 13,
    PartTypeHair = 14,
    PartTypeGround = 15,
    PartTypeSky = 16,
    PartTypeFoliage = 17,
    PartTypeAnimal = 18,
    PartTypeInterior = 19,
    PartTypeStructure = 20,
    PartTypeWater = 21,
    PartTypeVehicle = 22,
    // Balloons and other text elements.
    PartTypeText = 10000,
};

// The 23 ordinary types are 0 to 22.
inline constexpr int kNumberOfPartTypes = 23;

// Names and display order of part types. Part exposes the names as its own class operations.
class PartTypes {
public:
    // Localised names; a type outside the table gives the name of Other.
    static QString singularNameForType(PartType type);
    static QString pluralNameForType(PartType type);

    // The ordinary types in the order the library and the menus list them: Hair follows Head,
    // Furniture comes before Background, Other comes last.
    static const QList<PartType>& displayOrder();
    // The types sorted into display order; types not in the order (text and unknown values) come
    // last, in the order they were given.
    static QList<PartType> sortedTypes(const QList<PartType>& types);
};

// A type together with its position in the display order, for sorting by "sortRank".
class sortableType {
public:
    // The rank of a type that is not in the display order: after every listed type.
    static constexpr std::uint64_t kNotFound
        = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());

    explicit sortableType(PartType type);

    PartType partType() const { return m_partType; }
    // Setting the type alone does not look up a new rank.
    void setPartType(PartType type) { m_partType = type; }
    std::uint64_t sortRank() const { return m_sortRank; }
    void setSortRank(std::uint64_t rank) { m_sortRank = rank; }

private:
    PartType m_partType;
    std::uint64_t m_sortRank;
};

} // namespace zandrel
